#include "ThreadPool.h"

#include <string>
#include <system_error>

#include "Console.h"
#include "Platform.h"
#include "Search.h"
#include "Strength.h"

ThreadPool SearchThreads;

ThreadPool::ThreadPool() : session(NewSearchSession()) {}

ThreadPool::~ThreadPool() { JoinSearchThreads(); }

// Stops the helper threads of the running search and waits until they have ended
void ThreadPool::EndHelperSearches(SearchSession& current) {
    std::unique_lock lock(mutex);
    if (helpersRunning == 0)
        return;
    current.StopSearch = true;
    done.wait(lock, [&] { return helpersRunning == 0; });
}

// The main search thread's part: the iterations, then, once the helpers have
// stopped, the answer (a level's choice among the search's lines when one plays)
void ThreadPool::MainSearch(SearchSession& current) {
    IterativeDeepening(current);
    EndHelperSearches(current);
    ConcludeSearch(current);
    PlayLevelLine(current);
    const SearchAnswer answer = ComposeAnswer(current);
    current.Searching = false;
    if (quitRequested)
        return;
    if (!answer.AnswerScoreText.empty())
        WriteLine(answer.AnswerScoreText);
    WriteLine(answer.BestMoveText);
}

// A search thread's life: wait for a search, copy its root, search, say it is done
void ThreadPool::ThreadLoop(int id, uint64_t seenGeneration) {
    {
        std::lock_guard lock(mutex);
        counters[id] = ThisThreadCounters();
        ++threadsReady;
    }
    done.notify_all();
    for (;;) {
        SearchSession* current;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return closing || generation != seenGeneration; });
            if (closing)
                return;
            seenGeneration = generation;
            current = session.get();
        }
        Position = searchRoot;
        if (id == 0)
            MainSearch(*current);
        else
            HelperIterativeDeepening(*current, id);
        {
            std::lock_guard lock(mutex);
            if (id == 0)
                mainSearchRunning = false;
            else
                --helpersRunning;
        }
        done.notify_all();
    }
}

void ThreadPool::JoinSearchThreads() {
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
    std::lock_guard lock(mutex);
    closing = false;
    threadsReady = 0;
}

// Without a thread there is no search, but the GUI still gets its one answer
void ThreadPool::AnswerWithoutSearch() {
    AnnounceTimeBudget(*session);
    WriteLine("info string the search thread could not be started");
    WriteLine(BestMoveLine(*session));
}

void ThreadPool::StartSearchThreads(int count) {
    if constexpr (SingleThreaded) {
        if (count > 1)
            WriteLine("info string only 1 search threads could be started");
        return;
    }
    JoinSearchThreads();
    try {
        while (int(threads.size()) < count)
            threads.emplace_back(&ThreadPool::ThreadLoop, this, int(threads.size()), generation);
    } catch (const std::system_error&) {
        WriteLine("info string only " + std::to_string(threads.size()) + " search threads could be started");
    }
    // A helper's node counters are known once its thread runs
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return threadsReady == int(threads.size()); });
}

void ThreadPool::WaitForSearch() {
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return !mainSearchRunning; });
}

void ThreadPool::HaltSearch() {
    HaltSession(*session);
    if (searchingInline)
        throw SearchStillRunning{};   // the one thread cannot wait for itself
    if (searchStarted)
        WaitForSearch();
}

// The console thread searches; the clock checks serve the console meanwhile
void ThreadPool::SearchInline(SearchSession& current) {
    ++gameSearchCount;
    current.MainPastFirstIteration = false;
    NodeCounters own = ThisThreadCounters();
    own.full->store(0);
    own.quiescence->store(0);
    current.Counters = {};
    searchingInline = true;
    MainSearch(current);
    searchingInline = false;
}

void ThreadPool::StartSearch(std::unique_ptr<SearchSession> next) {
    // Progress lines of the new search start from where the last one's clock stood
    next->LastElapsed = session->LastElapsed.load();
    session = std::move(next);
    SearchSession& current = *session;
    current.Pondering = current.Limits.Ponder;
    current.NoTimeLimit = current.Limits.Untimed;
    current.InfiniteSearch = current.Limits.Infinite;
    current.GameSearchCount = gameSearchCount;
    searchStarted = true;
    // Cleared here, not in the search thread, so that a "stop" right after "go" is never lost
    current.StopSearch = false;
    ExpectTimeBudget(current);
    if constexpr (SingleThreaded)
        return SearchInline(current);
    if (threads.empty()) {
        AnswerWithoutSearch();
        return;
    }
    ++gameSearchCount;
    searchRoot = Position;
    current.MainPastFirstIteration = false;
    // No count of the last search is seen by the next
    for (size_t i = 0; i < threads.size(); ++i) {
        counters[i].full->store(0);
        counters[i].quiescence->store(0);
        counters[i].tableHits->store(0);
    }
    current.Counters = std::span<const NodeCounters>(counters, threads.size());
    {
        std::lock_guard lock(mutex);
        ++generation;
        mainSearchRunning = true;
        helpersRunning = int(threads.size()) - 1;
    }
    wake.notify_all();
}

void ThreadPool::EndSearchThreads() {
    quitRequested = true;
    HaltSearch();
    JoinSearchThreads();
}
