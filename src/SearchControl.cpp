#include "SearchControl.h"

#include <condition_variable>
#include <mutex>

SearchLimits Limits;

std::atomic<bool> StopSearch{false};
std::atomic<bool> Pondering{false};
std::atomic<bool> NoTimeLimit{false};
std::atomic<bool> InfiniteSearch{false};
std::atomic<bool> Searching{false};
std::atomic<bool> MainPastFirstIteration{false};
std::atomic<uint64_t> SearchStartTime{0};
std::atomic<uint64_t> MoveTimeStart{0};

namespace {

std::mutex ControlMutex;
std::condition_variable ControlChanged;
bool BudgetReady = true;   // under ControlMutex

}  // namespace

void AnnounceTimeBudget() {
    {
        std::lock_guard lock(ControlMutex);
        BudgetReady = true;
    }
    ControlChanged.notify_all();
}

void SignalSearchControl() {
    { std::lock_guard lock(ControlMutex); }
    ControlChanged.notify_all();
}

void ExpectTimeBudget() {
    std::lock_guard lock(ControlMutex);
    BudgetReady = false;
}

void WaitForTimeBudget() {
    std::unique_lock lock(ControlMutex);
    ControlChanged.wait(lock, [] { return BudgetReady; });
}

// Pondering, and searches without a time limit, hold their answer; infinite
// analysis holds it until "stop"
void WaitWhileHeld() {
    std::unique_lock lock(ControlMutex);
    ControlChanged.wait(lock, [] { return !NoTimeLimit && !Pondering && !InfiniteSearch; });
}
