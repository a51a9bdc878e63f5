#include "SearchControl.h"

#include <chrono>

uint64_t SearchedNodes() {
    const std::span<const NodeCounters> counters = Session().Counters;
    if (counters.empty())
        return ThreadNodes();
    uint64_t nodes = 0;
    for (const NodeCounters& thread : counters)
        nodes += thread.full->load(std::memory_order_relaxed) + thread.quiescence->load(std::memory_order_relaxed);
    return nodes;
}

void AnnounceTimeBudget(SearchSession& session) {
    {
        std::lock_guard lock(session.ControlMutex);
        session.BudgetReady = true;
    }
    session.ControlChanged.notify_all();
}

void SignalSearchControl(SearchSession& session) {
    { std::lock_guard lock(session.ControlMutex); }
    session.ControlChanged.notify_all();
}

void ExpectTimeBudget(SearchSession& session) {
    std::lock_guard lock(session.ControlMutex);
    session.BudgetReady = false;
}

void WaitForTimeBudget(SearchSession& session) {
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait(lock, [&] { return session.BudgetReady; });
}

// Pondering, and searches without a time limit, hold their answer; infinite
// analysis holds it until "stop"
void WaitWhileHeld(SearchSession& session) {
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait(
        lock, [&] { return !session.NoTimeLimit && !session.Pondering && !session.InfiniteSearch; });
}

void HaltSession(SearchSession& session) {
    session.NoTimeLimit = false;
    session.Pondering = false;
    session.InfiniteSearch = false;
    session.StopSearch = true;
    {
        std::lock_guard lock(session.ControlMutex);
        session.Halted = true;
    }
    session.ControlChanged.notify_all();
}

void PauseUnlessHalted(SearchSession& session, uint64_t ms) {
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait_for(lock, std::chrono::milliseconds(ms), [&] { return session.Halted.load(); });
}
