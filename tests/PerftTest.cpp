// Perft against published node counts; divide, which generates full move lists
// where perft only counts moves, against perft.
#include <algorithm>

#include "Perft.h"
#include "TestSupport.h"

namespace {

void ExpectCounts(const char* file, bool deep) {
    int run = 0;
    for (const PerftCase& c : ReadPerftCases(file))
        if ((c.nodes > 5000000) == deep) {
            ASSERT_TRUE(Load(c.fen));
            EXPECT_EQ(PerftNodes(c.depth), c.nodes) << c.fen << " depth " << c.depth;
            if (!deep) {
                const int depth = std::min(c.depth, 3);
                DivideDepth = depth + 1;  // not the root: no lines written
                EXPECT_EQ(DivideNodes(depth), PerftNodes(depth)) << c.fen;
            }
            ++run;
        }
    EXPECT_GT(run, 0);
}

TEST(Perft, PublishedPositionsAtQuickDepths) { ExpectCounts("perft_standard.txt", false); }

TEST(Perft, PositionsBuiltAroundOneRuleEach) { ExpectCounts("perft_rules.txt", false); }

TEST(Perft, FischerRandomPositionsAndOneCastlingRuleEach) {
    Chess960Rules rules;
    ExpectCounts("perft_960.txt", false);
}

TEST(SlowPerft, PublishedPositionsAtDeepDepths) { ExpectCounts("perft_standard.txt", true); }

TEST(SlowPerft, FischerRandomPositionsAtDeepDepths) {
    Chess960Rules rules;
    ExpectCounts("perft_960.txt", true);
}

}  // namespace
