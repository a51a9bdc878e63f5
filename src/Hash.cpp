#include "Hash.h"

#include <cstdlib>
#include <cstring>

Hash* HashTable = nullptr;
uint32_t HashSize = 0;
uint32_t HashUsed = 0;
Move HashMove = 0;
int32_t RootPly = 0;

namespace {

constexpr uint32_t EntriesPerMegabyte = (1u << 20) / 32;
constexpr uint32_t MinimumEntries = 1024;

// The block the table lives in, as obtained (the table starts at the first
// cache-line boundary inside it)
void* HashBlock = nullptr;

// Last resort when no block at all can be had, so that the search still runs
alignas(64) Hash FallbackTable[MinimumEntries];

// A fresh block reads as zero; only a table that received stores needs zeroing
bool HashDirty = false;

bool ObtainTable(uint32_t entries) {
    void* block = std::calloc(size_t(entries) * sizeof(Hash) + 64, 1);
    if (!block)
        return false;
    std::free(HashBlock);
    HashBlock = block;
    uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + 63) & ~uintptr_t(63);
    HashTable = reinterpret_cast<Hash*>(aligned);
    HashSize = entries;
    HashUsed = 0;
    HashDirty = false;
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
    static_assert(sizeof(Hash) == 32, "32768 entries make one megabyte");
    if (megabytes < HashMinMegabytes)
        megabytes = HashMinMegabytes;
    if (megabytes > HashMaxMegabytes)
        megabytes = HashMaxMegabytes;
    uint32_t wanted = HashEntriesFor(megabytes);

    // First try while still holding the old table, so that it survives a failure
    if (!ObtainTable(wanted)) {
        std::free(HashBlock);
        HashBlock = nullptr;
        uint32_t entries = wanted;
        while (entries >= MinimumEntries && !ObtainTable(entries))
            entries /= 2;
        if (entries < MinimumEntries) {
            HashTable = FallbackTable;
            HashSize = MinimumEntries;
            HashDirty = true;
        }
    }
    ClearHash();
    return HashMegabytes();
}

int HashMegabytes() { return int(HashSize / EntriesPerMegabyte); }

void ClearHash() {
    HashUsed = 0;
    if (HashDirty)
        std::memset(static_cast<void*>(HashTable), 0, size_t(HashSize) * sizeof(Hash));
    HashDirty = false;
}

int ProbeHash(int depth, int alpha, int beta, uint64_t key1, uint64_t key2) {
    HashMove = 0;
    const Hash& slot = HashSlot(key1);
    if (slot.key1 != key1 || slot.key2 != key2)
        return NoValue;
    HashMove = slot.best;
    if (depth > slot.profondeur)
        return NoValue;
    int value = slot.valeur;
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

void StoreHash(int depth, int value, int flag, uint64_t key1, uint64_t key2, int rootPly, Move move) {
    Hash& slot = HashSlot(key1);
    int priority = rootPly + depth + (flag == BoundExact ? 3 : 0);

    // An entry written from a later root (a new game, a take-back) is stale
    if (int(slot.priority) - int(slot.profondeur) > rootPly + 3)
        slot.priority = 0;
    if (priority < int(slot.priority))
        return;

    // A result with a move is not replaced by one without, nor by an upper bound
    if (slot.key1 == key1 && slot.key2 == key2 && slot.best != 0 && (move == 0 || flag == BoundUpper))
        return;

    HashDirty = true;
    slot.best = move;
    if (slot.key1 == 0)
        ++HashUsed;
    slot.key1 = key1;
    slot.key2 = key2;
    slot.valeur = int16_t(value);
    slot.flags = uint8_t(flag);
    slot.profondeur = uint8_t(depth);
    slot.priority = uint16_t(priority);
}

Move HashBestMove(uint64_t key1, uint64_t key2) {
    const Hash& slot = HashSlot(key1);
    return slot.key1 == key1 && slot.key2 == key2 ? slot.best : 0;
}

Move HashSlotMove(uint64_t key1) { return HashSlot(key1).best; }

int HashFullPermille() { return int(double(HashUsed) / double(HashSize) * 1000.0); }
