// Perft against published node counts (lines FEN;depth;nodes of the data files);
// divide, which generates full move lists where perft only counts moves, against perft.
#include <algorithm>

#include "Perft.h"
#include "TestSupport.h"

namespace {

void ExpectCounts(const char* file, bool deep) {
    int run = 0;
    for (const DataLine& line : ReadData(file)) {
        const int depth = std::stoi(line.fields[1]);
        const uint64_t nodes = std::stoull(line.fields[2]);
        if ((nodes > 5000000) != deep || !Load(line.fields[0]))
            continue;
        EXPECT_EQ(PerftNodes(depth), nodes) << line.fields[0] << " depth " << depth << ": " << line.rule;
        if (!deep) {
            int32_t rootMoves = 0;
            const int divided = std::min(depth, 3);   // below a root one ply up: no lines written
            EXPECT_EQ(DivideNodes(divided, divided + 1, rootMoves), PerftNodes(divided)) << line.fields[0];
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
