// The search threads. The main search thread answers each "go"; helper threads
// search the same root beside it and share only the transposition table. All
// of them live from start-up (or a change of "Threads") to exit and wait,
// blocked, between searches.
#pragma once

#include "SearchControl.h"

// Ends the running threads, then starts the main search thread and count - 1
// helpers; fewer when the system refuses threads, which is reported
void StartSearchThreads(int count);
// How many search threads run: 1 + the helpers
int SearchThreadsStarted();

// Starts a search of the console thread's position under limits; the main
// search thread writes its answer
void StartSearch(const SearchLimits& limits);
// Ends the running search, if any, and returns once its answer is written.
// Clearing the hold-back flags first lets a search holding its answer finish at once.
void HaltSearch();
// Returns once the running search, if any, has written its answer
void WaitForSearch();

// At exit: ends the running search without its answer, then every thread
void EndSearchThreads();
