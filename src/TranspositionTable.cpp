#include "TranspositionTable.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "Platform.h"


alignas(64) HashCell* HashTable = nullptr;
alignas(64) uint32_t HashSize = 0;
// Written by the stores of every search thread: a cache line of its own, away from
// the table's address and size that every probe reads
alignas(64) std::atomic<uint32_t> HashUsed{0};

namespace {

constexpr uint32_t EntriesPerMegabyte = (1u << 20) / 32;
constexpr uint32_t MinimumEntries = 1024;

// The memory the table lives in, as the system gave it
TableMemory HashMemory;

// Last resort when no block at all can be had, so that the search still runs
alignas(64) HashCell FallbackTable[MinimumEntries];

// A fresh block reads as zero; only a table that received stores needs zeroing
alignas(64) std::atomic<bool> HashDirty{false};

// Every word of the table is read and written whole, also when threads meet in a
// slot. The compiler's atomic built-ins, which std::atomic_ref wraps: the libc++
// of the WebAssembly toolchain has no atomic_ref yet
uint64_t LoadWord(uint64_t& word) { return __atomic_load_n(&word, __ATOMIC_RELAXED); }
void StoreWord(uint64_t& word, uint64_t value) { __atomic_store_n(&word, value, __ATOMIC_RELAXED); }

HashCell& CellFor(uint64_t key1) { return HashTable[uint32_t(key1) & (HashSize - 1)]; }

Hash Decode(HashCell& cell) {
    const uint64_t data = LoadWord(cell.data), extra = LoadWord(cell.extra);
    Hash entry;
    entry.key1 = LoadWord(cell.keyCheck) ^ data ^ extra;
    entry.key2 = LoadWord(cell.key2);
    entry.best = Move(data);
    entry.value = int16_t(uint16_t(data >> 32));
    entry.priority = uint16_t(data >> 48);
    entry.depth = uint8_t(extra);
    entry.flags = uint8_t(extra >> 8);
    return entry;
}

void Encode(HashCell& cell, const Hash& entry) {
    const uint64_t data = uint64_t(entry.best) | uint64_t(uint16_t(entry.value)) << 32
                        | uint64_t(entry.priority) << 48;
    const uint64_t extra = uint64_t(entry.depth) | uint64_t(entry.flags) << 8;
    StoreWord(cell.keyCheck, entry.key1 ^ data ^ extra);
    StoreWord(cell.key2, entry.key2);
    StoreWord(cell.data, data);
    StoreWord(cell.extra, extra);
}

// ---------------------------------------------------------------------------
// A fresh table's memory is mapped page by page as it is first written. A thread
// writes into every page while the engine waits for commands, so that the first
// search does not pay for it on its clock. Only the command thread starts, stops
// or waits for it.

// A thread with a stop request, joined at exit (std::jthread, which the libc++ of
// the WebAssembly toolchain lacks)
struct PageToucher {
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    void request_stop() { stopRequested = true; }
    bool joinable() const { return thread.joinable(); }
    void join() { thread.join(); }
    ~PageToucher() {
        request_stop();
        if (joinable())
            join();
    }
};
PageToucher Preparer;

constexpr size_t PageStride = 4096;   // no system has smaller pages

// One write per page. A word is written only while it holds zero, in one atomic
// step, so that a store a search makes meanwhile is never undone
void TouchPages(char* table, size_t bytes) {
    for (size_t offset = 0; offset < bytes && !Preparer.stopRequested; offset += PageStride) {
        uint64_t zero = 0;
        __atomic_compare_exchange_n(reinterpret_cast<uint64_t*>(table + offset), &zero, uint64_t(0), false,
                                    __ATOMIC_RELAXED, __ATOMIC_RELAXED);
    }
}

void StartPreparing() {
    try {
        Preparer.stopRequested = false;
        Preparer.thread = std::thread(TouchPages, reinterpret_cast<char*>(HashTable), size_t(HashSize) * sizeof(HashCell));
    } catch (const std::system_error&) {
        // without the thread, the search maps the pages as it goes
    }
}

void StopPreparing() {
    Preparer.request_stop();
    WaitForHashReady();
}

// ---------------------------------------------------------------------------

void ReleaseBlock() {
    StopPreparing();
    ReleaseTableMemory(HashMemory);
}

bool ObtainTable(uint32_t entries) {
    TableMemory memory = ObtainTableMemory(size_t(entries) * sizeof(HashCell));
    if (!memory.table)
        return false;
    ReleaseBlock();
    HashMemory = memory;
    HashTable = static_cast<HashCell*>(memory.table);
    HashSize = entries;
    HashUsed = 0;
    HashDirty.store(false);
    StartPreparing();
    return true;
}

}  // namespace

uint32_t HashEntriesFor(int megabytes) {
    uint64_t entries = MinimumEntries;
    while (entries * 64 <= uint64_t(megabytes < 0 ? 0 : megabytes) << 20)
        entries *= 2;
    return uint32_t(entries);
}

int AllocateHash(int megabytes) {
    static_assert(sizeof(HashCell) == 32, "32768 entries make one megabyte");
    if (megabytes < HashMinMegabytes)
        megabytes = HashMinMegabytes;
    if (megabytes > HashMaxMegabytes)
        megabytes = HashMaxMegabytes;
    uint32_t wanted = HashEntriesFor(megabytes);

    // First try while still holding the old table, so that it survives a failure
    if (!ObtainTable(wanted)) {
        ReleaseBlock();
        uint32_t entries = wanted;
        while (entries >= MinimumEntries && !ObtainTable(entries))
            entries /= 2;
        if (entries < MinimumEntries) {
            HashTable = FallbackTable;
            HashSize = MinimumEntries;
            HashDirty.store(true);
            ClearHash();
        }
    }
    return HashMegabytes();
}

int HashMegabytes() { return int(HashSize / EntriesPerMegabyte); }

void ClearHash() {
    HashUsed = 0;
    if (HashDirty.load()) {
        StopPreparing();   // zeroing the table maps every page anyway
        std::memset(static_cast<void*>(HashTable), 0, size_t(HashSize) * sizeof(HashCell));
    } else
        WaitForHashReady();
    HashDirty.store(false);
}

void WaitForHashReady() {
    if (Preparer.joinable())
        Preparer.join();
}

namespace {

// The stored value as the probing node may use it: exact, a bound that settles
// the window, or nothing (NoValue) when the entry is too shallow or settles nothing
int UsableValue(const Hash& slot, int depth, int alpha, int beta) {
    if (depth > slot.depth)
        return NoValue;
    const int value = slot.value;
    switch (slot.flags) {
    case BoundExact:
        return value;
    case BoundUpper:
        if (value <= alpha)
            return alpha;
        if (value < beta)
            return ValueSkipNull;
        return NoValue;
    case BoundLower:
        return value >= beta ? beta : NoValue;
    default:
        return NoValue;
    }
}

}  // namespace

HashProbe ProbeHash(int depth, int alpha, int beta, uint64_t key1, uint64_t key2) {
    const Hash slot = Decode(CellFor(key1));
    if (slot.key1 != key1 || slot.key2 != key2)
        return {NoValue, 0};
    return {UsableValue(slot, depth, alpha, beta), slot.best};
}

void StoreHash(int depth, int value, int flag, uint64_t key1, uint64_t key2, int rootPly, Move move) {
    HashCell& cell = CellFor(key1);
    Hash slot = Decode(cell);
    int priority = rootPly + depth + (flag == BoundExact ? 3 : 0);

    // An entry written from a later root (a new game, a take-back) is stale
    if (int(slot.priority) - int(slot.depth) > rootPly + 3) {
        slot.priority = 0;
        Encode(cell, slot);
    }
    if (priority < int(slot.priority))
        return;

    // A result with a move is not replaced by one without, nor by an upper bound
    if (slot.key1 == key1 && slot.key2 == key2 && slot.best != 0 && (move == 0 || flag == BoundUpper))
        return;

    if (!HashDirty.load(std::memory_order_relaxed))   // written once, read by every store
        HashDirty.store(true, std::memory_order_relaxed);
    if (slot.key1 == 0)
        HashUsed.store(HashUsed.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    slot.best = move;
    slot.key1 = key1;
    slot.key2 = key2;
    slot.value = int16_t(value);
    slot.flags = uint8_t(flag);
    slot.depth = uint8_t(depth);
    slot.priority = uint16_t(priority);
    Encode(cell, slot);
}

void PrefetchSlot(uint64_t key1) { __builtin_prefetch(&CellFor(key1)); }

Move HashBestMove(uint64_t key1, uint64_t key2) {
    const Hash slot = Decode(CellFor(key1));
    return slot.key1 == key1 && slot.key2 == key2 ? slot.best : 0;
}

Move HashSlotMove(uint64_t key1) { return Move(LoadWord(CellFor(key1).data)); }

Hash HashSlot(uint64_t key1) { return Decode(CellFor(key1)); }

int HashFullPermille() { return int(double(HashUsed.load()) / double(HashSize) * 1000.0); }
