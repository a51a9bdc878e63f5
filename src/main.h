// Search-control state shared by the command loop and the search thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Flags and budgets that the two threads poll are atomic; the limits are
// written only while no search runs, so the search reads settled values.
extern std::atomic<bool> StopSearch;
extern std::atomic<bool> Pondering;
extern std::atomic<bool> NoTimeLimit;
extern std::atomic<bool> Searching;
extern std::atomic<uint64_t> SearchStartTime;
extern std::atomic<uint32_t> TimeBudget;
extern std::atomic<uint32_t> TimeMaximum;

extern int32_t WhiteTime;
extern int32_t BlackTime;
extern int32_t WhiteIncrement;
extern int32_t BlackIncrement;
extern int32_t MovesToGo;
extern int32_t DepthLimit;
extern bool SearchMovesActive;
extern int32_t GameSearchCount;
extern std::string BestMoveText;
extern std::string AnswerScoreText;   // the result line written right before it, or empty

// Limits of the "go" keywords beyond the clock; 0 when absent
extern std::atomic<bool> InfiniteSearch;     // "infinite": the answer waits for "stop"
extern uint64_t NodeLimit;                   // "nodes"
extern int32_t MoveTimeLimit;                // "movetime", ms
extern std::atomic<uint64_t> MoveTimeStart;  // when the movetime began: the "go" line, or "ponderhit"
extern int32_t MateLimit;                    // "mate", in moves
extern bool ClockBudgetApplies;              // false when only movetime, nodes or mate limit the search

// Options beyond the table size
constexpr int MoveOverheadDefault = 880;
extern int32_t MultiPV;                      // lines reported per iteration
extern int32_t MoveOverhead;                 // ms the budget keeps back for the GUI's delays

// Stops the helper threads of the running search and waits until they have
// ended; the main search thread calls it when its iterations end
void EndHelperSearches();

// Runs the engine: start-up, banner, then the command loop, or the one command
// line the arguments form. Returns the exit code.
int RunEngine(int argc = 0, char** argv = nullptr);


// Handles one trimmed command line as the command loop does; false on "quit".
// For drivers other than the console (the command fuzzer).
bool HandleCommand(const std::string& line);
