#include "SearchControl.h"

#include <chrono>

#include "Console.h"
#include "Platform.h"

namespace {

ConsoleService Service = nullptr;
constexpr int WaitStepMs = 5;   // how long one step of a wait on the one thread lets the host run

// The one thread's wait: the host runs, then the console is served, until done() holds
template <typename Done>
void ServeConsoleUntil(Done done) {
    while (!done()) {
        YieldToHost(WaitStepMs);
        if (Service)
            Service();
    }
}

}  // namespace

void SetConsoleService(ConsoleService service) { Service = service; }

void ServeConsoleDuringSearch() {
    if constexpr (SingleThreaded) {
        static uint64_t LastService = 0;
        const uint64_t now = ClockMs();
        if (now - LastService < ConsoleServiceMs)
            return;
        YieldToHost(0);
        if (Service)
            Service();
        LastService = ClockMs();
    }
}

uint64_t SearchedNodes() {
    const std::span<const NodeCounters> counters = Session().Counters;
    if (counters.empty())
        return ThreadNodes();
    uint64_t nodes = 0;
    for (const NodeCounters& thread : counters)
        nodes += thread.full->load(std::memory_order_relaxed) + thread.quiescence->load(std::memory_order_relaxed);
    return nodes;
}

uint64_t SearchedTableHits() {
    const std::span<const NodeCounters> counters = Session().Counters;
    if (counters.empty())
        return ThisThread.TableHits.load(std::memory_order_relaxed);
    uint64_t hits = 0;
    for (const NodeCounters& thread : counters)
        hits += thread.tableHits->load(std::memory_order_relaxed);
    return hits;
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
    // The one thread serves the console only once the search has set its budget
    if constexpr (SingleThreaded)
        return;
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait(lock, [&] { return session.BudgetReady; });
}

// Pondering, and searches without a time limit, hold their answer; infinite
// analysis holds it until "stop"
void WaitWhileHeld(SearchSession& session) {
    const auto released = [&] { return !session.NoTimeLimit && !session.Pondering && !session.InfiniteSearch; };
    if constexpr (SingleThreaded)
        return ServeConsoleUntil(released);
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait(lock, released);
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
    if constexpr (SingleThreaded) {
        const uint64_t end = ClockMs() + ms;
        return ServeConsoleUntil([&] { return session.Halted.load() || ClockMs() >= end; });
    }
    std::unique_lock lock(session.ControlMutex);
    session.ControlChanged.wait_for(lock, std::chrono::milliseconds(ms), [&] { return session.Halted.load(); });
}
