// The platform layer in a browser or in Node: the engine runs as WebAssembly in a
// worker, which passes it one command line per message and sends each line it
// writes out as one message (web/engine-worker.js).
//
// Two builds. With threads (__EMSCRIPTEN_PTHREADS__) the command loop runs on a
// thread of its own; the worker's thread hands it lines through a queue in C++.
// Without threads the search runs on the only thread, which the worker's own
// message handling shares: the lines wait in a queue in JavaScript, and the
// engine takes them when it waits for input or yields.
#include "Platform.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The line being read, with its line feed, and how much of it was handed out
std::string PendingLine;
size_t PendingAt = 0;

constexpr size_t TableAlignment = 64;

// The most the table may take, in MB; 0: as much as the module's memory can grow
// to. Memory that has grown never shrinks, so the page sets a small share of the
// device's here (engine-worker.js), and a larger table is refused as the desktop's
// system refuses one: the engine says so and goes on with a smaller one
size_t TableLimitBytes() {
    const int megabytes = MAIN_THREAD_EM_ASM_INT({ return Module.varnokTableLimitMb | 0; });
    return megabytes > 0 ? size_t(megabytes) << 20 : SIZE_MAX;
}

}  // namespace

#ifdef __EMSCRIPTEN_PTHREADS__

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

std::mutex InputMutex;
std::condition_variable InputArrived;
std::deque<std::string> InputLines;   // under InputMutex

bool NextInputLine(std::string& line) {
    std::unique_lock lock(InputMutex);
    InputArrived.wait(lock, [] { return !InputLines.empty(); });
    line = std::move(InputLines.front());
    InputLines.pop_front();
    return true;
}

}  // namespace

// Called by the worker's thread for each message: one command line
extern "C" EMSCRIPTEN_KEEPALIVE void varnok_input(const char* line) {
    {
        std::lock_guard lock(InputMutex);
        InputLines.emplace_back(line);
    }
    InputArrived.notify_one();
}

// The command loop has a thread of its own, and reads its input itself
bool TakeArrivedLine(std::string&) { return false; }
void YieldToHost(int) {}

#else  // one thread, Asyncify

// The worker queues lines while the engine runs or sleeps: calling into the
// module during an Asyncify pause would corrupt it, so the engine pulls them
EM_JS(int, NextQueuedLineBytes, (), {
    const queue = Module.varnokInput;
    return queue.length ? lengthBytesUTF8(queue[0]) : -1;
});
EM_JS(void, TakeQueuedLine, (char* buffer, int bytes), {
    stringToUTF8(Module.varnokInput.shift(), buffer, bytes + 1);
});

namespace {

constexpr int IdleWaitMs = 5;   // between two looks at the queue while no line waits

bool NextInputLine(std::string& line) {
    while (!TakeArrivedLine(line))
        emscripten_sleep(IdleWaitMs);
    return true;
}

}  // namespace

// Past PendingLine: ReadLine never leaves part of a line there
bool TakeArrivedLine(std::string& line) {
    const int bytes = NextQueuedLineBytes();
    if (bytes < 0)
        return false;
    line.resize(size_t(bytes) + 1);
    TakeQueuedLine(line.data(), bytes);
    line.resize(size_t(bytes));
    return true;
}

// The worker's message handler runs while the module sleeps
void YieldToHost(int waitMs) { emscripten_sleep(unsigned(waitMs)); }

#endif

bool ReadInputByte(char& byte) {
    if (PendingAt == PendingLine.size()) {
        if (!NextInputLine(PendingLine))
            return false;
        PendingLine += '\n';
        PendingAt = 0;
    }
    byte = PendingLine[PendingAt++];
    return true;
}

// The worker's thread posts the line; with threads the call waits until it has
void WriteOutput(const char* data, size_t count) {
    MAIN_THREAD_EM_ASM({ Module.varnokOutput(UTF8ToString($0, $1)); }, data, count);
}

uint64_t MonotonicMs() { return uint64_t(emscripten_get_now()); }

// calloc: the table must read as zero, and the memory may hold an old table's words
TableMemory ObtainTableMemory(size_t bytes) {
    TableMemory memory;
    if (bytes > TableLimitBytes())
        return memory;
    void* block = std::calloc(1, bytes + TableAlignment);
    if (!block)
        return memory;
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + TableAlignment - 1) & ~uintptr_t(TableAlignment - 1);
    memory.table = reinterpret_cast<void*>(aligned);
    memory.block = block;
    memory.blockBytes = bytes + TableAlignment;
    return memory;
}

void ReleaseTableMemory(TableMemory& memory) {
    std::free(memory.block);
    memory = TableMemory{};
}

// The page has no folders of tables: a path list is POSIX's, and Fathom writes nowhere
char PathListSeparator() { return ':'; }

void RunWithoutErrorOutput(void (*work)()) { work(); }
