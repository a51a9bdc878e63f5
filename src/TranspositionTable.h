// The transposition table: one directly mapped slot per index, replaced by
// priority (root ply + draft).
#pragma once

#include <cstdint>

#include "Types.h"

// One transposition-table entry (32 bytes)
struct Hash {
    uint64_t key1;          // 0 in an empty slot
    uint64_t key2;
    uint8_t depth;          // remaining depth of the stored result
    uint8_t flags;          // 0 empty, 1 exact, 2 upper bound, 3 lower bound
    int16_t value;          // from the side to move's point of view
    uint16_t priority;      // root ply + depth, +3 for an exact score
    Move best;              // best or refuting move, 0 if none
};

constexpr uint8_t BoundExact = 1;
constexpr uint8_t BoundUpper = 2;
constexpr uint8_t BoundLower = 3;

// A probe's answer: an upper bound lies below beta, so a null move would fail
constexpr int ValueSkipNull = -41999;

constexpr int HashMinMegabytes = 4;
constexpr int HashMaxMegabytes = 1024;
constexpr int HashDefaultMegabytes = 256;

#include <atomic>

// A slot as it lies in the table: four words that search threads read and write
// without a lock. The first holds the first key mixed with both data words, so a
// slot whose words come from two different stores fails the key test: at worst a miss.
struct HashCell {
    uint64_t keyCheck;      // key1 ^ data ^ extra
    uint64_t key2;
    uint64_t data;          // best | value << 32 | priority << 48
    uint64_t extra;         // depth | flags << 8
};

extern HashCell* HashTable;               // on cache lines of their own: every probe reads them
extern uint32_t HashSize;                 // entries, a power of two
extern std::atomic<uint32_t> HashUsed;    // slots filled since the last clear (approximate with several threads)

// Entries for a table of the given megabytes: the largest power of two not
// above megabytes x 32768, at least 1024.
uint32_t HashEntriesFor(int megabytes);

// Resizes and clears the table. When the memory cannot be had, keeps the
// largest table that can; returns the megabytes the table now holds. A thread
// maps the new table's memory in the background: see WaitForHashReady.
int AllocateHash(int megabytes);

// Returns once the table's memory is mapped; "isready" calls it, so that GUIs,
// which send it before the first "go", start no search before. A search that
// starts earlier may use the table meanwhile: the background writes never undo
// a store, and the search maps the pages it reaches first itself.
void WaitForHashReady();

// Megabytes the current table holds
int HashMegabytes();

// Zeroes the table (and waits until it is ready)
void ClearHash();

// What a probe found: the value to use (NoValue when the entry settles nothing,
// ValueSkipNull when a null move would fail) and the entry's move when both
// keys matched (else 0)
struct HashProbe {
    int value;
    Move move;
};
HashProbe ProbeHash(int depth, int alpha, int beta, uint64_t key1, uint64_t key2);
void StoreHash(int depth, int value, int flag, uint64_t key1, uint64_t key2, int rootPly, Move move);

// Starts loading the slot key1 addresses, so that a probe soon after finds it in cache
void PrefetchSlot(uint64_t key1);

// The slot's move when both keys match, else 0
Move HashBestMove(uint64_t key1, uint64_t key2);

// The move of the slot key1 addresses, whatever position wrote it
Move HashSlotMove(uint64_t key1);

// Fill of the table in permille
int HashFullPermille();

// The entry in the slot key1 addresses, whatever position wrote it
Hash HashSlot(uint64_t key1);
