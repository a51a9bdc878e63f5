// The search threads. The main search thread answers each "go"; helper threads
// search the same root beside it and share only the transposition table. All
// of them live from start-up (or a change of "Threads") to exit and wait,
// blocked, between searches. The pool owns the session of the running (or
// last) search from its "go" until the next one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "SearchControl.h"
#include "Thread.h"
#include "Types.h"

constexpr int MaxSearchThreads = 256;

// Thrown by HaltSearch when the engine has one thread (Platform.h: SingleThreaded)
// and a command served during the search needs the search ended first: the search
// has been told to stop, and the command runs once it has answered
struct SearchStillRunning {};

class ThreadPool {
public:
    ThreadPool();
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Ends the running threads, then starts the main search thread and count - 1
    // helpers; fewer when the system refuses threads, which is reported. With one
    // thread there are none: each search runs on the console thread.
    void StartSearchThreads(int count);
    // How many search threads run: 1 + the helpers
    int SearchThreadsStarted() const { return int(threads.size()); }

    // Starts the search the session describes, of the console thread's
    // position; the main search thread writes its answer
    void StartSearch(std::unique_ptr<SearchSession> session);
    // Ends the running search, if any, and returns once its answer is written.
    // Clearing the hold-back flags first lets a search holding its answer finish at once.
    void HaltSearch();
    // Returns once the running search, if any, has written its answer
    void WaitForSearch();
    // True while the console thread itself searches (one thread only)
    bool SearchingInline() const { return searchingInline; }
    // At exit: ends the running search without its answer, then every thread
    void EndSearchThreads();

    // The running search, or the last one (the clock values a "go" keeps come
    // from it). The console thread alone may hold on to it: the next "go" replaces it.
    SearchSession& CurrentSession() { return *session; }

    // "ucinewgame": the next search is the first of a game
    void NewGame() { gameSearchCount = 0; }
    // Searches of this game so far
    int32_t GameSearchCount() const { return gameSearchCount; }

private:
    void ThreadLoop(int id, uint64_t generation);
    void MainSearch(SearchSession& current);
    void EndHelperSearches(SearchSession& current);
    void JoinSearchThreads();
    void AnswerWithoutSearch();
    void SearchInline(SearchSession& current);

    std::vector<std::thread> threads;          // [0] the main search thread, then the helpers
    NodeCounters counters[MaxSearchThreads]{}; // of each thread, registered when it starts
    std::unique_ptr<SearchSession> session;
    // The position every search thread copies when its search starts; written only while none runs
    PositionRecord searchRoot{};
    int32_t gameSearchCount = 0;
    bool searchStarted = false;
    bool searchingInline = false;
    std::atomic<bool> quitRequested{false};   // the search that "quit" ends writes no "bestmove"

    std::mutex mutex;
    std::condition_variable wake;   // a new search, or the threads are to end
    std::condition_variable done;   // a thread has finished its part of a search
    uint64_t generation = 0;        // counts searches; under mutex
    bool closing = false;           // under mutex
    bool mainSearchRunning = false; // under mutex
    int helpersRunning = 0;         // under mutex
    int threadsReady = 0;           // threads waiting for their first search; under mutex
};

// The engine's search threads
extern ThreadPool SearchThreads;
