// The platform layer on Windows.
#include "Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <system_error>
#include <thread>

namespace {

HANDLE StdOut() {
    static const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return handle;
}

HANDLE StdIn() {
    static const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    return handle;
}

// The errors of a write into a pipe whose reader has closed it
bool ReaderHasGone(DWORD error) {
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
}

// Nothing can reach a GUI that closed the engine's output: the engine ends at
// once, as a POSIX process does on SIGPIPE
void EndForGoneReader() { TerminateProcess(GetCurrentProcess(), 0); }

constexpr DWORD OutputProbeMs = 250;

// A pipe gives no sign of its reader leaving until something is written into it.
// Every 250 ms a write of no bytes asks, and changes nothing for the reader. A
// pipe in message mode would carry it as an empty message, so it is not asked.
void WatchOutput() {
    const HANDLE output = StdOut();
    DWORD flags = 0;
    if (GetFileType(output) != FILE_TYPE_PIPE
        || (GetNamedPipeInfo(output, &flags, nullptr, nullptr, nullptr) && (flags & PIPE_TYPE_MESSAGE)))
        return;
    for (;;) {
        Sleep(OutputProbeMs);
        DWORD written;
        if (!WriteFile(output, "", 0, &written, nullptr) && ReaderHasGone(GetLastError()))
            EndForGoneReader();
    }
}

// The watch begins with the first read: a command given on the command line reads
// nothing. Not std::call_once, whose thread-locals in the prebuilt libstdc++ only
// g++'s emulated ones reach.
void StartOutputWatch() {
    [[maybe_unused]] static const bool started = [] {
        try {
            std::thread(WatchOutput).detach();
        } catch (const std::system_error&) {
            // without the watch, the next failed write ends the engine
        }
        return true;
    }();
}

// Counts per second of the performance counter, which Windows keeps monotonic
LONGLONG CounterFrequency() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) ? f.QuadPart : 0;
    }();
    return frequency;
}

// Large pages need the privilege to lock memory, which an administrator grants
// to an account; without it the system refuses them
bool EnableLargePages() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool enabled = LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid)
                         && AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)
                         && GetLastError() == ERROR_SUCCESS;   // not ERROR_NOT_ALL_ASSIGNED
    CloseHandle(token);
    return enabled;
}

void* ObtainLargePages(size_t bytes) {
    static const bool granted = EnableLargePages();
    const size_t largePage = GetLargePageMinimum();
    if (!granted || largePage == 0)
        return nullptr;
    const size_t rounded = (bytes + largePage - 1) / largePage * largePage;
    return VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
}

}  // namespace

bool ReadInputByte(char& byte) {
    StartOutputWatch();
    DWORD got = 0;
    return ReadFile(StdIn(), &byte, 1, &got, nullptr) && got == 1;
}

// Threads search beside the command loop here, which reads its input itself
bool TakeArrivedLine(std::string&) { return false; }
void YieldToHost(int) {}

void WriteOutput(const char* data, size_t count) {
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(StdOut(), data, DWORD(count), &written, nullptr)) {
            if (ReaderHasGone(GetLastError()))
                EndForGoneReader();
            return;
        }
        if (written == 0)
            return;
        data += written;
        count -= written;
    }
}

// The counter's value split so that the product never overflows
uint64_t MonotonicMs() {
    const LONGLONG frequency = CounterFrequency();
    LARGE_INTEGER counter;
    if (frequency == 0 || !QueryPerformanceCounter(&counter))
        return GetTickCount64();
    const uint64_t count = uint64_t(counter.QuadPart), perSecond = uint64_t(frequency);
    return count / perSecond * 1000 + count % perSecond * 1000 / perSecond;
}

TableMemory ObtainTableMemory(size_t bytes) {
    TableMemory memory;
    void* block = ObtainLargePages(bytes);
    if (!block)
        block = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block)
        return memory;
    memory.table = block;
    memory.block = block;
    memory.blockBytes = bytes;
    return memory;
}

void ReleaseTableMemory(TableMemory& memory) {
    if (memory.block)
        VirtualFree(memory.block, 0, MEM_RELEASE);
    memory = TableMemory{};
}

char PathListSeparator() { return ';'; }

// Fathom's Windows code writes to standard error only when the system refuses
// to unmap a table
void RunWithoutErrorOutput(void (*work)()) { work(); }
