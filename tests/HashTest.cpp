// The transposition table: sizing, the probe's answers, the replacement rules.
#include <gtest/gtest.h>

#include "Hash.h"

namespace {

constexpr uint64_t KeyA = 0x123456789ABCDEF0ULL;
constexpr uint64_t KeyA2 = 0x0FEDCBA987654321ULL;
constexpr uint64_t KeyB = KeyA + (uint64_t(1) << 40);   // same slot as KeyA, another position
constexpr Move SomeMove = 0xC000170C;                   // e2e4 from the start position
constexpr Move OtherMove = 0x00001D8E;

class HashTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateHash(HashMinMegabytes);
    }
};

TEST(HashSizing, EntriesAreTheLargestPowerOfTwoNotAbove32768PerMegabyte) {
    const struct { int megabytes; uint32_t entries; } cases[] = {
        {4, 131072}, {5, 131072}, {8, 262144}, {100, 2097152}, {256, 8388608}, {1024, 33554432},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HashEntriesFor(c.megabytes), c.entries) << c.megabytes << " MB";
}

TEST(HashSizing, AllocationClampsToTheOptionRange) {
    EXPECT_EQ(AllocateHash(2), 4);
    EXPECT_EQ(HashSize, 131072u);
    EXPECT_EQ(AllocateHash(5), 4);
    EXPECT_EQ(HashSize, 131072u);
    EXPECT_EQ(AllocateHash(5000), 1024);
    EXPECT_EQ(HashSize, 33554432u);
    AllocateHash(HashMinMegabytes);
}

TEST_F(HashTest, ProbeOfAnotherPositionFindsNothingAndNoMove) {
    StoreHash(5, 40, BoundExact, KeyA, KeyA2, 0, SomeMove);
    HashMove = OtherMove;
    EXPECT_EQ(ProbeHash(1, -100, 100, KeyB, KeyA2), NoValue);
    EXPECT_EQ(HashMove, 0u);
    EXPECT_EQ(ProbeHash(1, -100, 100, KeyA, KeyA2 ^ 1), NoValue);   // the second key is compared too
    EXPECT_EQ(HashMove, 0u);
}

TEST_F(HashTest, ShallowEntryGivesItsMoveButNoValue) {
    StoreHash(3, 40, BoundExact, KeyA, KeyA2, 0, SomeMove);
    EXPECT_EQ(ProbeHash(4, -100, 100, KeyA, KeyA2), NoValue);
    EXPECT_EQ(HashMove, SomeMove);
    EXPECT_EQ(ProbeHash(3, -100, 100, KeyA, KeyA2), 40);
}

TEST_F(HashTest, BoundsAnswerWithTheWindowEdge) {
    const struct { uint8_t flag; int value, alpha, beta, expected; } cases[] = {
        {BoundExact, 40, 100, 200, 40},            // exact: the value, whatever the window
        {BoundUpper, 50, 50, 100, 50},             // v <= alpha: alpha
        {BoundUpper, 30, 50, 100, 50},
        {BoundUpper, 70, 50, 100, ValueSkipNull},  // alpha < v < beta: a null move would fail
        {BoundUpper, 100, 50, 100, NoValue},       // v >= beta: nothing
        {BoundLower, 100, 50, 100, 100},           // v >= beta: beta
        {BoundLower, 300, 50, 100, 100},
        {BoundLower, 99, 50, 100, NoValue},
        {BoundLower, -9990, -32000, 32000, NoValue},
        {BoundExact, -9990, -32000, 32000, -9990}, // mate scores are kept as they are
    };
    for (const auto& c : cases) {
        ClearHash();
        StoreHash(6, c.value, c.flag, KeyA, KeyA2, 0, SomeMove);
        EXPECT_EQ(ProbeHash(6, c.alpha, c.beta, KeyA, KeyA2), c.expected)
            << "flag " << int(c.flag) << " value " << c.value << " window " << c.alpha << ".." << c.beta;
    }
}

TEST_F(HashTest, ResultWithMoveIsNotReplacedByUpperBoundOrMovelessResult) {
    StoreHash(2, 40, BoundLower, KeyA, KeyA2, 0, SomeMove);
    StoreHash(9, -70, BoundUpper, KeyA, KeyA2, 0, OtherMove);
    StoreHash(9, 80, BoundExact, KeyA, KeyA2, 0, 0);
    const Hash& slot = HashSlot(KeyA);
    EXPECT_EQ(slot.profondeur, 2);
    EXPECT_EQ(slot.valeur, 40);
    EXPECT_EQ(slot.flags, BoundLower);
    EXPECT_EQ(slot.best, SomeMove);

    StoreHash(9, 80, BoundExact, KeyA, KeyA2, 0, OtherMove);   // a deeper result with a move does
    EXPECT_EQ(slot.profondeur, 9);
    EXPECT_EQ(slot.best, OtherMove);
}

TEST_F(HashTest, LowerPriorityKeepsTheSlotEqualPriorityReplaces) {
    StoreHash(6, 10, BoundLower, KeyA, KeyA2, 10, SomeMove);     // priority 16
    StoreHash(5, 20, BoundLower, KeyB, KeyA2, 10, OtherMove);    // 15 < 16: kept
    EXPECT_EQ(HashSlot(KeyA).key1, KeyA);
    StoreHash(3, 20, BoundExact, KeyB, KeyA2, 10, OtherMove);    // 10 + 3 + 3 = 16: replaces
    EXPECT_EQ(HashSlot(KeyA).key1, KeyB);
    EXPECT_EQ(HashSlot(KeyA).priority, 16);
    EXPECT_EQ(HashBestMove(KeyB, KeyA2), OtherMove);
    EXPECT_EQ(HashBestMove(KeyA, KeyA2), 0u);
    EXPECT_EQ(HashSlotMove(KeyA), OtherMove);                    // the slot's move, keys not compared
}

TEST_F(HashTest, EntryFromALaterRootIsStale) {
    StoreHash(10, 10, BoundLower, KeyA, KeyA2, 60, SomeMove);    // priority 70, written at root ply 60
    StoreHash(1, 20, BoundUpper, KeyB, KeyA2, 57, OtherMove);    // 70 - 10 = 60 <= 60: not stale, kept
    EXPECT_EQ(HashSlot(KeyA).key1, KeyA);
    StoreHash(1, 20, BoundUpper, KeyB, KeyA2, 20, OtherMove);    // 60 > 23: stale, replaced
    EXPECT_EQ(HashSlot(KeyA).key1, KeyB);
    EXPECT_EQ(HashSlot(KeyA).priority, 21);
}

TEST_F(HashTest, UsedCountsFirstStoresOnlyAndClearResetsEverything) {
    EXPECT_EQ(HashUsed, 0u);
    StoreHash(1, 0, BoundExact, KeyA, KeyA2, 0, SomeMove);
    StoreHash(2, 0, BoundExact, KeyA, KeyA2, 0, SomeMove);
    StoreHash(3, 0, BoundExact, KeyB, KeyA2, 0, SomeMove);       // same slot, another position
    EXPECT_EQ(HashUsed, 1u);
    StoreHash(1, 0, BoundExact, KeyA + 1, KeyA2, 0, SomeMove);
    EXPECT_EQ(HashUsed, 2u);
    EXPECT_EQ(HashFullPermille(), 0);
    ClearHash();
    EXPECT_EQ(HashUsed, 0u);
    const Hash& slot = HashSlot(KeyA);
    EXPECT_EQ(slot.key1, 0u);
    EXPECT_EQ(slot.best, 0u);
    EXPECT_EQ(slot.priority, 0);
    EXPECT_EQ(ProbeHash(0, -100, 100, KeyA, KeyA2), NoValue);
}

TEST_F(HashTest, FullnessIsInPermilleTruncated) {
    for (uint32_t i = 0; i < 1311; ++i)   // 1311 / 131072 = 10.002 permille
        StoreHash(1, 0, BoundExact, uint64_t(i) * 7 % HashSize + 1, 1, 0, 0);
    EXPECT_EQ(HashUsed, 1311u);
    EXPECT_EQ(HashFullPermille(), 10);
}

}  // namespace
