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
