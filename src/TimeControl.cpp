#include "TimeControl.h"

#include <algorithm>
#include <cmath>

int32_t MoveOverhead = MoveOverheadDefault;

namespace {

constexpr uint64_t MoveTimeMargin = 3;   // ms: the answer still has to travel after the stop

}  // namespace

void ComputeTimeBudget(SearchSession& session) {
    const SearchLimits& limits = session.Limits;
    const bool white = Position.sideToMove == White;
    // An overdrawn clock counts as an empty one
    const int32_t time = std::max(white ? limits.WhiteTime : limits.BlackTime, 0);
    const int32_t increment = std::max(white ? limits.WhiteIncrement : limits.BlackIncrement, 0);
    const uint32_t movesToGo = uint32_t(std::max(limits.MovesToGo, 1));

    session.TimeBudget = 0;
    ThisThread.PollCounter = 0;
    // What the GUI and the system take between moves is kept back
    const uint32_t avail = time > MoveOverhead + 40 ? uint32_t(time - MoveOverhead) : 40;
    const uint32_t inc = uint32_t(std::nearbyint(double(increment) * 0.6));
    uint32_t slice = uint32_t(double(avail) / double(movesToGo));
    if (session.GameSearchCount == 0)
        slice *= 2;
    else if (session.GameSearchCount == 1)
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
    session.TimeMaximum = maximum;
    session.TimeBudget = budget;
    ++session.GameSearchCount;
}

void AdjustBudgetOnPonderHit(SearchSession& session, uint64_t elapsed) {
    const uint32_t budget = session.TimeBudget, maximum = session.TimeMaximum;
    const uint64_t high = uint64_t(std::nearbyint(1.5 * budget));
    if (elapsed >= high)
        return;
    const uint64_t renewed = uint64_t(std::nearbyint(0.5 * budget)) < elapsed ? high : budget + elapsed;
    session.TimeMaximum = uint32_t(renewed) + (maximum - budget);
    session.TimeBudget = uint32_t(renewed);
}

namespace {

// Tools' fixed time per move; stops a little early so the answer is in on time
bool MoveTimeUp(const SearchSession& session) {
    const int32_t moveTime = session.Limits.MoveTimeLimit;
    return moveTime != 0 && !session.Pondering && ThisThread.IterationDepth > 2
        && ClockMs() - session.MoveTimeStart.load() + MoveTimeMargin >= uint64_t(moveTime);
}

// The first iteration always completes, and nothing but a stop ends a search without a time limit
bool ClockMayStop(const SearchSession& session) { return !session.NoTimeLimit && ThisThread.IterationDepth > 2; }

}  // namespace

// Any search thread may see the node limit reached: a busy machine may not run
// the main thread for a while
void StopAtNodeLimit() {
    SearchSession& session = Session();
    const bool watching = ThisThread.OwnsClock ? ThisThread.IterationDepth > 2 : session.MainPastFirstIteration.load();
    if (watching && SearchedNodes() >= session.Limits.NodeLimit)
        session.StopSearch = true;
}

void CheckClock() {
    SearchSession& session = Session();
    if (!session.Searching || !ThisThread.OwnsClock)
        return;
    ServeConsoleDuringSearch();   // the one thread's console: "stop" and the like act from here
    if (session.Limits.ClockBudgetApplies) {
        const uint64_t elapsed = ElapsedMs();
        if (elapsed > session.TimeMaximum.load() && ClockMayStop(session))
            session.StopSearch = true;
        // Past the budget a search ends only during the first move of an iteration, not in a re-search
        if (elapsed > session.TimeBudget.load() && !ThisThread.RootResearch && !ThisThread.FirstRootMoveDone
            && ClockMayStop(session))
            session.StopSearch = true;
    }
    if (MoveTimeUp(session))
        session.StopSearch = true;
}

void IterationClockCheck() {
    SearchSession& session = Session();
    if (session.Searching && session.Limits.ClockBudgetApplies && ElapsedMs() > session.TimeBudget.load()
        && ClockMayStop(session))
        session.StopSearch = true;
    if (session.Searching && MoveTimeUp(session))
        session.StopSearch = true;
    CheckNodeLimit();
}
