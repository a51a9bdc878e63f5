// The platform layer on Linux and other POSIX systems.
#include "Platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// Blocks until input can be read. False when the reader of our output has gone
// (a GUI that closed the pipe): no answer can reach it any more, so the engine
// ends as on "quit" instead of searching and writing into nothing
bool WaitForInput() {
    pollfd console[2] = {{STDIN_FILENO, POLLIN, 0}, {STDOUT_FILENO, 0, 0}};
    for (;;) {
        if (poll(console, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return true;  // the read itself reports what is wrong
        }
        if (console[1].revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
        if (console[0].revents)
            return true;
    }
}

constexpr size_t HugePageBytes = size_t(2) << 20;

}  // namespace

bool ReadInputByte(char& byte) {
    for (;;) {
        if (!WaitForInput())
            return false;
        ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        return got == 1;
    }
}

// Threads search beside the command loop here, which reads its input itself
bool TakeArrivedLine(std::string&) { return false; }
void YieldToHost(int) {}

void WriteOutput(const char* data, size_t count) {
    while (count > 0) {
        ssize_t written = write(STDOUT_FILENO, data, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;  // a reader that has gone is noticed by the wait for input
        data += written;
        count -= size_t(written);
    }
}

uint64_t MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

// The table starts at the first huge-page boundary of its block. On huge pages a
// probe into a large table no longer misses the address translation too.
TableMemory ObtainTableMemory(size_t bytes) {
    TableMemory memory;
    const size_t blockBytes = bytes + HugePageBytes;
    void* block = mmap(nullptr, blockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return memory;
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + HugePageBytes - 1) & ~uintptr_t(HugePageBytes - 1);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);   // a hint: refused, it changes nothing
#endif
    memory.table = reinterpret_cast<void*>(aligned);
    memory.block = block;
    memory.blockBytes = blockBytes;
    return memory;
}

void ReleaseTableMemory(TableMemory& memory) {
    if (memory.block)
        munmap(memory.block, memory.blockBytes);
    memory = TableMemory{};
}

char PathListSeparator() { return ':'; }

void RunWithoutErrorOutput(void (*work)()) {
    const int saved = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (saved >= 0 && nowhere >= 0)
        dup2(nowhere, STDERR_FILENO);
    work();
    if (saved >= 0 && nowhere >= 0)
        dup2(saved, STDERR_FILENO);
    if (nowhere >= 0)
        close(nowhere);
    if (saved >= 0)
        close(saved);
}
