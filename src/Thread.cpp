#include "Thread.h"

#include <cstdlib>
#include <new>

alignas(ThreadLocalAlignment) thread_local constinit PositionRecord Position{};
thread_local constinit SearchThread ThisThread{};

namespace {

// The cache blocks of a thread, freed when the thread ends
struct OwnedBlocks {
    void* blocks[4]{};
    int count = 0;
    ~OwnedBlocks() {
        for (int i = 0; i < count; ++i)
            std::free(blocks[i]);
    }
};
thread_local OwnedBlocks ThreadCaches;

// The node counters of the search threads, so that any of them can add up the
// nodes of all; changed only while no search runs
struct ThreadCounters {
    std::atomic<uint64_t>* full;
    std::atomic<uint64_t>* quiescence;
};
ThreadCounters SearchThreadCounters[MaxSearchThreads];
std::atomic<int> SearchThreadCount{0};

}  // namespace

void* AllocateThreadCache(size_t bytes) {
    void* block = std::calloc(1, bytes);
    if (!block || ThreadCaches.count == int(std::size(ThreadCaches.blocks)))
        throw std::bad_alloc();
    ThreadCaches.blocks[ThreadCaches.count++] = block;
    return block;
}

uint64_t ThreadNodes() {
    return ThisThread.NodeCount.load(std::memory_order_relaxed)
         + ThisThread.QuiescenceNodeCount.load(std::memory_order_relaxed);
}

uint64_t SearchedNodes() {
    if (ThisThread.SearchThreadIndex < 0)
        return ThreadNodes();
    uint64_t nodes = 0;
    const int threads = SearchThreadCount.load(std::memory_order_relaxed);
    for (int i = 0; i < threads; ++i)
        nodes += SearchThreadCounters[i].full->load(std::memory_order_relaxed)
               + SearchThreadCounters[i].quiescence->load(std::memory_order_relaxed);
    return nodes;
}

void RegisterSearchThread(int index) {
    ThisThread.SearchThreadIndex = index;
    SearchThreadCounters[index] = {&ThisThread.NodeCount, &ThisThread.QuiescenceNodeCount};
}

void SetSearchThreadCount(int threads) { SearchThreadCount = threads; }

void ResetSearchThreadCounters() {
    for (int i = 0; i < SearchThreadCount; ++i) {
        SearchThreadCounters[i].full->store(0);
        SearchThreadCounters[i].quiescence->store(0);
    }
}
