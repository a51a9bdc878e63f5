// Perft and divide against published node counts.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "Perft.h"
#include "TestSupport.h"

namespace {

constexpr uint64_t QuickNodes = 5000000;

void ExpectCounts(const std::vector<PerftCase>& cases, bool deep) {
    int run = 0;
    for (const PerftCase& c : cases) {
        if ((c.nodes > QuickNodes) != deep)
            continue;
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(PerftNodes(c.depth), c.nodes) << c.fen << " depth " << c.depth;
        ++run;
    }
    EXPECT_GT(run, 0);
}

TEST(Perft, PublishedPositionsAtQuickDepths) { ExpectCounts(ReadPerftCases("perft_standard.txt"), false); }

TEST(Perft, PositionsBuiltAroundOneRuleEach) { ExpectCounts(ReadPerftCases("perft_rules.txt"), false); }

TEST(SlowPerft, PublishedPositionsAtDeepDepths) { ExpectCounts(ReadPerftCases("perft_standard.txt"), true); }

TEST(Perft, CountsNothingBelowCheckmateAndStalemate) {
    for (const char* fen : {"R5k1/5ppp/8/8/8/8/8/4K3 b - - 0 1", "7k/5Q2/8/8/8/8/8/4K3 b - - 0 1"}) {
        ASSERT_TRUE(Load(fen));
        EXPECT_EQ(PerftNodes(1), 0u) << fen;
        EXPECT_EQ(PerftNodes(2), 0u) << fen;
        EXPECT_EQ(PerftNodes(0), 1u) << fen;
    }
}

TEST(Perft, LeavesThePositionAsItFoundIt) {
    ASSERT_TRUE(Load("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
    ASSERT_TRUE(Play("a2a4"));
    static PositionRecord before;
    std::memcpy(&before, &Position, sizeof Position);
    const uint64_t first = PerftNodes(3);
    EXPECT_EQ(std::memcmp(&before, &Position, offsetof(PositionRecord, states)), 0);
    for (int i = 0; i <= Position.stateIndex; ++i)
        EXPECT_EQ(std::memcmp(&before.states[i], &Position.states[i], sizeof(StateRecord)), 0);
    EXPECT_EQ(PerftNodes(3), first);
}

TEST(Divide, SumsTheRootMovesAndCountsThem) {
    ASSERT_TRUE(Load(StartFen));
    ::testing::internal::CaptureStdout();
    DivideDepth = 3;
    const uint64_t total = DivideNodes(3);
    const std::string lines = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(total, 8902u);
    EXPECT_EQ(DivideMoveCount, 20);
    EXPECT_EQ(lines.substr(0, 35), "a2a3 noeuds 380\nb2b3 noeuds 420\nc2c");
    EXPECT_NE(lines.find("\ng1h3 noeuds 400\n"), std::string::npos);
    DivideDepth = 1;
    EXPECT_EQ(DivideNodes(1), 20u);
    EXPECT_EQ(DivideMoveCount, 20);
}

}  // namespace

// Divide builds every move of the last ply; perft only counts them
TEST(Perft, CountingTheLastPlyAgreesWithBuildingIt) {
    for (const PerftCase& c : ReadPerftCases("perft_rules.txt")) {
        ASSERT_TRUE(Load(c.fen));
        const int depth = std::min(c.depth, 3);
        DivideDepth = depth + 1;  // not the root: no lines written
        EXPECT_EQ(DivideNodes(depth), PerftNodes(depth)) << c.fen;
    }
}
