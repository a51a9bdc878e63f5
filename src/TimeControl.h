// The time a search may take and the checks that end it: the clock's budget,
// a fixed time per move and a node limit.
#pragma once

#include <atomic>
#include <cstdint>

#include "Console.h"
#include "SearchControl.h"
#include "Thread.h"

constexpr int MoveOverheadDefault = 880;
extern int32_t MoveOverhead;                // ms of the clock kept back for the GUI's and the system's delays

constexpr int ClockPollInterval = 5000;     // nodes between two readings of the clock, less one

// Sets the session's TimeBudget and TimeMaximum for the side to move from the
// clock of its limits; counts the search among the game's
void ComputeTimeBudget(SearchSession& session);

// "ponderhit" after elapsed ms: an early hit gives the whole budget again after
// it, a later one 1.5 budgets from the "go", a very late one nothing; the
// margin between budget and hard limit stays the same
void AdjustBudgetOnPonderHit(SearchSession& session, uint64_t elapsed);

// Milliseconds since the search began
inline uint64_t ElapsedMs() { return ClockMs() - Session().SearchStartTime.load(); }

// Sets StopSearch when the nodes of all search threads reach the limit
void StopAtNodeLimit();
inline void CheckNodeLimit() {
    if (Session().Limits.NodeLimit != 0)
        StopAtNodeLimit();
}

// Sets StopSearch when the budget, the hard limit or the fixed time is spent
void CheckClock();

// At every full-width node: the node limit, and the clock every 5001st node
inline void PollClock() {
    CheckNodeLimit();
    if (++ThisThread.PollCounter <= ClockPollInterval)
        return;
    ThisThread.PollCounter = 0;
    CheckClock();
}

// After each root move
inline void RootClockCheck() { CheckClock(); }

// After each iteration: the budget alone counts, not the hard limit
void IterationClockCheck();
