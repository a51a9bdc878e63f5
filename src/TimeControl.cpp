#include "TimeControl.h"

#include <algorithm>
#include <cmath>

std::atomic<uint32_t> TimeBudget{0};
std::atomic<uint32_t> TimeMaximum{0};
int32_t GameSearchCount = 0;
int32_t MoveOverhead = MoveOverheadDefault;

namespace {

constexpr uint64_t MoveTimeMargin = 3;   // ms: the answer still has to travel after the stop

}  // namespace

void ComputeTimeBudget() {
    const bool white = Position.sideToMove == White;
    // An overdrawn clock counts as an empty one
    const int32_t time = std::max(white ? Limits.WhiteTime : Limits.BlackTime, 0);
    const int32_t increment = std::max(white ? Limits.WhiteIncrement : Limits.BlackIncrement, 0);
    const uint32_t movesToGo = uint32_t(std::max(Limits.MovesToGo, 1));

    TimeBudget = 0;
    ThisThread.PollCounter = 0;
    // What the GUI and the system take between moves is kept back
    const uint32_t avail = time > MoveOverhead + 40 ? uint32_t(time - MoveOverhead) : 40;
    const uint32_t inc = uint32_t(std::nearbyint(double(increment) * 0.6));
    uint32_t slice = uint32_t(double(avail) / double(movesToGo));
    if (GameSearchCount == 0)
        slice *= 2;
    else if (GameSearchCount == 1)
        slice = uint32_t(std::nearbyint(double(slice) * 1.5));

    uint32_t budget = slice + inc;
    uint32_t maximum = 2 * slice + inc;
    if (inc == 0) {
        if (movesToGo > 3 ? maximum > avail / 2 : maximum > avail)
            budget = maximum = 40;
    } else if (maximum > avail) {
        budget = avail / 2;
        maximum = avail / 2 + avail / 8;
    }
    if (budget <= 40) {
        if (avail >= 320)
            budget = maximum = 40;
        else
            budget = maximum = avail / 8 + 2;
    }
    TimeMaximum = maximum;
    TimeBudget = budget;
    ++GameSearchCount;
}

void AdjustBudgetOnPonderHit(uint64_t elapsed) {
    const uint32_t budget = TimeBudget, maximum = TimeMaximum;
    const uint64_t high = uint64_t(std::nearbyint(1.5 * budget));
    if (elapsed >= high)
        return;
    const uint64_t renewed = uint64_t(std::nearbyint(0.5 * budget)) < elapsed ? high : budget + elapsed;
    TimeMaximum = uint32_t(renewed) + (maximum - budget);
    TimeBudget = uint32_t(renewed);
}

namespace {

// Tools' fixed time per move; stops a little early so the answer is in on time
bool MoveTimeUp() {
    return Limits.MoveTimeLimit != 0 && !Pondering && ThisThread.IterationDepth > 2
        && ClockMs() - MoveTimeStart.load() + MoveTimeMargin >= uint64_t(Limits.MoveTimeLimit);
}

// The first iteration always completes, and nothing but a stop ends a search without a time limit
bool ClockMayStop() { return !NoTimeLimit && ThisThread.IterationDepth > 2; }

}  // namespace

// Any search thread may see the node limit reached: a busy machine may not run
// the main thread for a while
void StopAtNodeLimit() {
    const bool watching = ThisThread.OwnsClock ? ThisThread.IterationDepth > 2 : MainPastFirstIteration.load();
    if (watching && SearchedNodes() >= Limits.NodeLimit)
        StopSearch = true;
}

void CheckClock() {
    if (!Searching || !ThisThread.OwnsClock)
        return;
    if (Limits.ClockBudgetApplies) {
        const uint64_t elapsed = ElapsedMs();
        if (elapsed > TimeMaximum.load() && ClockMayStop())
            StopSearch = true;
        // Past the budget a search ends only during the first move of an iteration, not in a re-search
        if (elapsed > TimeBudget.load() && !ThisThread.RootResearch && !ThisThread.FirstRootMoveDone && ClockMayStop())
            StopSearch = true;
    }
    if (MoveTimeUp())
        StopSearch = true;
}

void IterationClockCheck() {
    if (Searching && Limits.ClockBudgetApplies && ElapsedMs() > TimeBudget.load() && ClockMayStop())
        StopSearch = true;
    if (Searching && MoveTimeUp())
        StopSearch = true;
    CheckNodeLimit();
}
