#include "ThreadPool.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "Console.h"
#include "Search.h"
#include "Strength.h"
#include "Thread.h"

namespace {

bool SearchThreadStarted = false;
// After "quit" the search that is being ended writes no "bestmove"
std::atomic<bool> QuitRequested{false};

std::vector<std::thread> SearchThreads;   // [0] the main search thread, then the helpers
std::mutex PoolMutex;
std::condition_variable PoolWake;         // a new search, or the threads are to end
std::condition_variable PoolDone;         // a thread has finished its part of a search
uint64_t SearchGeneration = 0;            // counts searches; under PoolMutex
bool PoolClosing = false;                 // under PoolMutex
bool MainSearchRunning = false;           // under PoolMutex
int HelpersRunning = 0;                   // under PoolMutex
int ThreadsReady = 0;                     // threads waiting for their first search; under PoolMutex
// The position every search thread copies when its search starts; written only while none runs
PositionRecord SearchRoot;

// Stops the helper threads of the running search and waits until they have ended
void EndHelperSearches() {
    std::unique_lock lock(PoolMutex);
    if (HelpersRunning == 0)
        return;
    StopSearch = true;
    PoolDone.wait(lock, [] { return HelpersRunning == 0; });
}

// The main search thread's part: the iterations, then, once the helpers have
// stopped, the answer
void MainSearch() {
    IterativeDeepening();
    EndHelperSearches();
    const SearchAnswer answer = ConcludeSearch();
    Searching = false;
    if (QuitRequested)
        return;
    if (!answer.AnswerScoreText.empty())
        WriteLine(answer.AnswerScoreText);
    WriteLine(answer.BestMoveText);
}

// A search thread's life: wait for a search, copy its root, search, say it is done
void SearchThreadLoop(int id, uint64_t generation) {
    RegisterSearchThread(id);
    {
        std::lock_guard lock(PoolMutex);
        ++ThreadsReady;
    }
    PoolDone.notify_all();
    for (;;) {
        {
            std::unique_lock lock(PoolMutex);
            PoolWake.wait(lock, [&] { return PoolClosing || SearchGeneration != generation; });
            if (PoolClosing)
                return;
            generation = SearchGeneration;
        }
        Position = SearchRoot;
        if (id == 0)
            MainSearch();
        else
            HelperIterativeDeepening(id);
        {
            std::lock_guard lock(PoolMutex);
            if (id == 0)
                MainSearchRunning = false;
            else
                --HelpersRunning;
        }
        PoolDone.notify_all();
    }
}

void JoinSearchThreads() {
    {
        std::lock_guard lock(PoolMutex);
        PoolClosing = true;
    }
    PoolWake.notify_all();
    for (std::thread& thread : SearchThreads)
        thread.join();
    SearchThreads.clear();
    SetSearchThreadCount(0);
    std::lock_guard lock(PoolMutex);
    PoolClosing = false;
    ThreadsReady = 0;
}

// Without a thread there is no search, but the GUI still gets its one answer
void AnswerWithoutSearch() {
    AnnounceTimeBudget();
    WriteLine("info string the search thread could not be started");
    std::fill(std::begin(ThisThread.BestLine), std::end(ThisThread.BestLine), Move(0));
    WriteLine(BestMoveLine());
}

}  // namespace

void StartSearchThreads(int count) {
    JoinSearchThreads();
    try {
        while (int(SearchThreads.size()) < count)
            SearchThreads.emplace_back(SearchThreadLoop, int(SearchThreads.size()), SearchGeneration);
    } catch (const std::system_error&) {
        WriteLine("info string only " + std::to_string(SearchThreads.size()) + " search threads could be started");
    }
    // A helper's node counters are known once its thread runs
    std::unique_lock lock(PoolMutex);
    PoolDone.wait(lock, [] { return ThreadsReady == int(SearchThreads.size()); });
    SetSearchThreadCount(int(SearchThreads.size()));
}

int SearchThreadsStarted() { return int(SearchThreads.size()); }

void WaitForSearch() {
    std::unique_lock lock(PoolMutex);
    PoolDone.wait(lock, [] { return !MainSearchRunning; });
}

void HaltSearch() {
    NoTimeLimit = false;
    Pondering = false;
    InfiniteSearch = false;
    StopSearch = true;
    SignalSearchControl();
    CutLevelPause();
    if (SearchThreadStarted)
        WaitForSearch();
}

void StartSearch(const SearchLimits& limits) {
    Limits = limits;
    Pondering = limits.Ponder;
    NoTimeLimit = limits.Untimed;
    InfiniteSearch = limits.Infinite;
    SearchThreadStarted = true;
    // Cleared here, not in the search thread, so that a "stop" right after "go" is never lost
    StopSearch = false;
    ExpectTimeBudget();
    if (SearchThreads.empty()) {
        AnswerWithoutSearch();
        return;
    }
    SearchRoot = Position;
    MainPastFirstIteration = false;
    ResetSearchThreadCounters();
    {
        std::lock_guard lock(PoolMutex);
        ++SearchGeneration;
        MainSearchRunning = true;
        HelpersRunning = int(SearchThreads.size()) - 1;
    }
    PoolWake.notify_all();
}

void EndSearchThreads() {
    QuitRequested = true;
    HaltSearch();
    JoinSearchThreads();
}
