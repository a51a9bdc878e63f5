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

// Runs the engine: start-up, banner, command loop. Returns the exit code.
int RunEngine();

// Handles one trimmed command line as the command loop does; false on "quit".
// For drivers other than the console (the command fuzzer).
bool HandleCommand(const std::string& line);
