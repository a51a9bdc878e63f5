// What the engine needs from the operating system: the console, a monotonic
// millisecond clock and the memory of the transposition table. One
// implementation per system, chosen by the build: PlatformPosix.cpp,
// PlatformWindows.cpp and PlatformWeb.cpp (WebAssembly in a browser's worker or
// in Node). Threads are the standard library's on all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The WebAssembly build without threads, for pages that cannot have them: the
// search runs on the command loop's one thread, which lets the host run now and
// then so that input can arrive (the clock checks serve the console meanwhile)
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool SingleThreaded = true;
#else
constexpr bool SingleThreaded = false;
#endif

// Reads one byte of standard input, blocking until there is one. False at the
// end of input, on a read failure, or once the reader of standard output has
// gone: no answer can reach a GUI that closed the engine's output.
bool ReadInputByte(char& byte);

// Where SingleThreaded: the next line of input if one has arrived, without its
// line feed and without waiting. Elsewhere never one: the command loop reads.
bool TakeArrivedLine(std::string& line);

// Where SingleThreaded: lets the host run, at least waitMs (0: only what waits
// for the thread, such as messages). Elsewhere nothing.
void YieldToHost(int waitMs);

// Writes count bytes to standard output with one system call (a partial write is
// finished, not dropped). Nothing is buffered.
void WriteOutput(const char* data, size_t count);

// The alignment thread-locals can count on. They start on a cache line, except
// on Windows, which gives each thread a block for them aligned to 16 bytes only:
// the compiler must not count on more, or its aligned vector moves fault there.
#ifdef _WIN32
constexpr size_t ThreadLocalAlignment = 16;
#else
constexpr size_t ThreadLocalAlignment = 64;
#endif

// Milliseconds from an arbitrary zero point; never goes back
uint64_t MonotonicMs();

// Memory of the transposition table. Reads as zero, costs nothing until touched,
// and lies on large pages where the system grants them, on normal pages otherwise.
struct TableMemory {
    void* table = nullptr;   // the table's first byte; nullptr when the memory could not be had
    void* block = nullptr;   // what the system gave, for the release
    size_t blockBytes = 0;
};
TableMemory ObtainTableMemory(size_t bytes);
void ReleaseTableMemory(TableMemory& memory);

// What separates the folders of a list of paths, as the system's own lists do:
// ':' on POSIX systems, ';' on Windows, whose paths hold ':' after the drive
char PathListSeparator();

// Runs `work` with standard error sent nowhere. Fathom, the library that reads
// the endgame tables, writes there on POSIX systems whenever it unmaps a table.
void RunWithoutErrorOutput(void (*work)());
