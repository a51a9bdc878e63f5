// What a "go" asks, and the flags through which the command loop and the
// search threads talk while a search runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "MoveText.h"
#include "Types.h"

// What a "go" asks. The "go" handler builds it; the search reads it from
// Limits, which changes only while no search runs.
struct SearchLimits {
    int32_t WhiteTime = 0;           // ms left on the clocks; a "go" without them keeps the last ones
    int32_t BlackTime = 0;
    int32_t WhiteIncrement = 0;
    int32_t BlackIncrement = 0;
    int32_t MovesToGo = 30;          // moves to the next time control, this one included
    int32_t DepthLimit = MaxSearchPlies;
    uint64_t NodeLimit = 0;          // "nodes"; 0 when absent, as the three below
    int32_t MoveTimeLimit = 0;       // "movetime", ms
    int32_t MateLimit = 0;           // "mate", in moves
    bool Infinite = false;           // the answer waits for "stop"
    bool Ponder = false;             // the answer waits for "ponderhit" or "stop"
    bool Untimed = false;            // "infinite", "ponder" or "depth": the clock never stops the search
    bool ClockBudgetApplies = true;  // false when only movetime, nodes or mate limit the search
    bool SearchMovesActive = false;  // the root searches SearchMoves only
    SearchMoveList SearchMoves{};
};

// The limits of the running (or last) search
extern SearchLimits Limits;

// Polled by both sides while a search runs
extern std::atomic<bool> StopSearch;       // every node returns at once
extern std::atomic<bool> Pondering;        // the answer is held until "ponderhit" or "stop"
extern std::atomic<bool> NoTimeLimit;      // the clock never stops the search; the answer is held
extern std::atomic<bool> InfiniteSearch;   // the answer is held until "stop"
extern std::atomic<bool> Searching;        // the clock checks act only while it is set
extern std::atomic<bool> MainPastFirstIteration;   // helpers watch a node limit only from then on
extern std::atomic<uint64_t> SearchStartTime;      // when the search began: the clock runs from here
extern std::atomic<uint64_t> MoveTimeStart;        // when the fixed time per move began: "go" or "ponderhit"

// Hand-over between the command loop and a search holding back its result
void SignalSearchControl();   // after clearing Pondering, NoTimeLimit or InfiniteSearch
void ExpectTimeBudget();      // before a search thread starts
void WaitForTimeBudget();     // returns once the running search has set its budget
void AnnounceTimeBudget();    // the budget is set (or no search will set one)
void WaitWhileHeld();         // returns once the answer may be given
