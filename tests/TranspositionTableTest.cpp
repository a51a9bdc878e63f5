// The transposition table: sizing, the probe's answers, the replacement rules.
#include <gtest/gtest.h>

#include <tuple>

#include "TranspositionTable.h"

namespace {

constexpr uint64_t KeyA = 0x123456789ABCDEF0ULL, KeyA2 = 0x0FEDCBA987654321ULL;
constexpr uint64_t KeyB = KeyA + (uint64_t(1) << 40);   // same slot as KeyA, another position
constexpr Move SomeMove = 0xC000170C, OtherMove = 0x00001D8E;

TEST(HashTable, TheOptionIsClampedToFourToOneThousandAndTwentyFourMegabytes) {
    EXPECT_EQ(AllocateHash(5000), 1024);
    EXPECT_EQ(AllocateHash(2), 4);
    EXPECT_EQ(AllocateHash(5), 4);   // whole powers of two only
}

TEST(HashTable, ProbeAnswersByBoundAndDepthAndGivesTheMoveOfItsOwnPositionOnly) {
    AllocateHash(HashMinMegabytes);
    const struct { int depth; uint8_t flag; int value, alpha, beta; uint64_t key, key2; int expected; } cases[] = {
        {6, BoundExact, 40, 100, 200, KeyA, KeyA2, 40},              // exact: the value, whatever the window
        {7, BoundExact, 40, -100, 100, KeyA, KeyA2, NoValue},        // too shallow: only the move
        {6, BoundExact, 40, -100, 100, KeyB, KeyA2, NoValue},        // another position: nothing, no move
        {6, BoundExact, 40, -100, 100, KeyA, KeyA2 ^ 1, NoValue},    // the second key is compared too
        {6, BoundUpper, 50, 50, 100, KeyA, KeyA2, 50},               // v <= alpha: alpha
        {6, BoundUpper, 70, 50, 100, KeyA, KeyA2, ValueSkipNull},    // alpha < v < beta: a null move would fail
        {6, BoundUpper, 100, 50, 100, KeyA, KeyA2, NoValue},
        {6, BoundLower, 100, 50, 100, KeyA, KeyA2, 100},             // v >= beta: beta
        {6, BoundLower, 99, 50, 100, KeyA, KeyA2, NoValue},
        {6, BoundExact, -9990, -32000, 32000, KeyA, KeyA2, -9990},   // mate scores are kept as they are
    };
    for (const auto& c : cases) {
        ClearHash();
        StoreHash(6, c.value, c.flag, KeyA, KeyA2, 0, SomeMove);
        const HashProbe probe = ProbeHash(c.depth, c.alpha, c.beta, c.key, c.key2);
        EXPECT_EQ(probe.value, c.expected) << &c - cases;
        EXPECT_EQ(probe.move, c.key == KeyA && c.key2 == KeyA2 ? SomeMove : 0u) << &c - cases;
    }
}

TEST(HashTable, ReplacementByPriorityStalenessAndKeepingResultsWithMoves) {
    AllocateHash(HashMinMegabytes);
    struct Store { int depth; uint8_t flag; uint64_t key; int rootPly; Move move; };
    const struct { Store first, second; bool replaced; } cases[] = {
        {{2, BoundLower, KeyA, 0, SomeMove}, {9, BoundUpper, KeyA, 0, OtherMove}, false},   // not by an upper bound
        {{2, BoundLower, KeyA, 0, SomeMove}, {9, BoundExact, KeyA, 0, 0}, false},           // nor by no move
        {{2, BoundLower, KeyA, 0, SomeMove}, {9, BoundExact, KeyA, 0, OtherMove}, true},
        {{2, BoundLower, KeyA, 0, 0}, {9, BoundUpper, KeyA, 0, OtherMove}, true},
        {{6, BoundLower, KeyA, 10, SomeMove}, {5, BoundLower, KeyB, 10, OtherMove}, false},  // priority 15 < 16
        {{6, BoundLower, KeyA, 10, SomeMove}, {3, BoundExact, KeyB, 10, OtherMove}, true},   // 10 + 3 + 3 = 16
        {{10, BoundLower, KeyA, 60, SomeMove}, {1, BoundUpper, KeyB, 57, OtherMove}, false}, // 70 - 10 <= 57 + 3
        {{10, BoundLower, KeyA, 60, SomeMove}, {1, BoundUpper, KeyB, 56, OtherMove}, true},  // from a later root: stale
    };
    for (const auto& c : cases) {
        ClearHash();
        for (const Store& s : {c.first, c.second})
            StoreHash(s.depth, 0, s.flag, s.key, KeyA2, s.rootPly, s.move);
        const Store& kept = c.replaced ? c.second : c.first;
        const Hash& slot = HashSlot(KeyA);
        EXPECT_EQ(std::make_tuple(slot.key1, int(slot.depth), slot.best),
                  std::make_tuple(kept.key, kept.depth, kept.move)) << &c - cases;
        EXPECT_EQ(HashUsed, 1u);   // only a store into an empty slot counts
    }
    for (uint32_t i = 1; i < 1311; ++i)   // 1311 / 131072 = 10.002 permille
        StoreHash(1, 0, BoundExact, KeyA + i, 1, 0, 0);
    EXPECT_EQ(HashFullPermille(), 10);
}

// A fresh table's pages are touched in the background; a search may store before that ends
TEST(HashTable, StoresMadeWhileTheTableIsBeingPreparedAreKept) {
    AllocateHash(HashDefaultMegabytes);
    const uint64_t stride = HashSize / 1024;   // slots 256 kB apart, each the first of its page
    const uint64_t otherBits = uint64_t(1) << 40;
    for (uint64_t slot = HashSize - stride; slot > 0; slot -= stride)   // the last pages first, ahead of the toucher
        StoreHash(5, 7, BoundExact, slot + otherBits, KeyA2, 0, SomeMove);
    WaitForHashReady();
    for (uint64_t slot = HashSize - stride; slot > 0; slot -= stride)
        ASSERT_EQ(ProbeHash(5, -100, 100, slot + otherBits, KeyA2).value, 7) << slot;
    AllocateHash(HashMinMegabytes);
}

}  // namespace
