// King safety: the danger table, the pawn shelter and when danger counts.
#include <gtest/gtest.h>

#include <string>

#include "EvalSupport.h"
#include "Evaluation.h"

TEST(KingDangerTable, GrowsQuadraticallyThenByThirtyUpToTheCap) {
    // index: value before the weight
    const struct {
        int index;
        int32_t base;
    } shape[] = {{0, 0}, {1, 0}, {2, 1}, {3, 3}, {4, 6}, {5, 10}, {10, 40}, {38, 577}, {39, 607},
                 {40, 637}, {61, 1267}, {62, 1280}, {99, 1280}, {100, 1280}};
    for (int root = White; root <= Black; ++root) {
        InitKingDangerTable(root);
        for (const auto& entry : shape) {
            EXPECT_EQ(KingDanger[root][entry.index], ApplyWeight(entry.base, 247)) << entry.index;
            EXPECT_EQ(KingDanger[root ^ 1][entry.index], ApplyWeight(entry.base, 259)) << entry.index;
        }
    }
    InitKingDangerTable(White);
    EXPECT_EQ(KingDanger[White][99], 1235);
    EXPECT_EQ(KingDanger[Black][99], 1295);
}

TEST(PawnShelter, PawnsOneTwoAndThreeRanksAheadInTheKingsBand) {
    const struct {
        std::string fen;
        int side;
        int32_t shelter;
    } cases[] = {
        {"4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", White, 3 * 64},
        {"4k3/8/8/8/7P/6P1/5P2/6K1 w - - 0 1", White, 64 + 32 + 16},
        {"4k3/8/8/8/8/1P6/P1P5/K7 w - - 0 1", White, 64 + 32},       // c2 is outside the a-king's band
        {"6k1/5pp1/7p/8/8/8/8/4K3 b - - 0 1", Black, 2 * 64 + 32},
        {"6k1/8/8/8/8/8/8/4K3 b - - 0 1", Black, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        EXPECT_EQ(PawnShelter(c.side, Position.kingSquare[c.side]), c.shelter) << c.fen;
    }
}

TEST(KingSafety, KingOnItsFifthRankHasNoShelter) {
    // King e4 behind d5 e5 f5: table 119, shelter 192; king e5 behind d6 e6 f6: table 94 only
    Score sheltered = TermAlone("4k3/8/8/3PPP2/4K3/8/8/8 w - - 0 1", [] { EvalKing(White); });
    EXPECT_EQ(sheltered.mg, 119 + 192);
    EXPECT_EQ(sheltered.eg, 251);
    Score exposed = TermAlone("4k3/8/3PPP2/4K3/8/8/8/8 w - - 0 1", [] { EvalKing(White); });
    EXPECT_EQ(exposed.mg, 94);
    EXPECT_EQ(exposed.eg, 251);
    Score black = TermAlone("8/8/8/8/4k3/3ppp2/8/4K3 w - - 0 1", [] { EvalKing(Black); });
    EXPECT_EQ(black.mg, -94);
}

namespace {

// The value with each side in turn as the root side of the search
std::pair<int32_t, int32_t> ByRootSide(const std::string& fen) {
    if (!LoadFen(fen))
        return {0, 0};
    InitKingDangerTable(White);
    const int32_t whiteRoot = Evaluate();
    InitKingDangerTable(Black);
    return {whiteRoot, Evaluate()};
}

}  // namespace

TEST(KingSafety, DangerDependsOnWhichSideIsTheRoot) {
    // Queen, knight and bishop bear down on the castled king
    const auto [whiteRoot, blackRoot] = ByRootSide("r1b2rk1/ppp2ppp/2n5/3q2N1/3P4/3B4/PP3PPP/R2Q1RK1 b - - 0 1");
    EXPECT_NE(whiteRoot, blackRoot);
}

TEST(KingSafety, WithoutAQueenThereIsNoDanger) {
    // The same attack without the white queen: both roots agree
    const auto [whiteRoot, blackRoot] = ByRootSide("r1b2rk1/ppp2ppp/2n5/3q2N1/3P4/3B4/PP3PPP/R4RK1 b - - 0 1");
    EXPECT_EQ(whiteRoot, blackRoot);
}

TEST(KingSafety, WithASingleAttackerThereIsNoDanger) {
    const auto [whiteRoot, blackRoot] = ByRootSide("r1b2rk1/ppp2ppp/2n5/3q4/3P4/8/PP3PPP/R2Q1RK1 b - - 0 1");
    EXPECT_EQ(whiteRoot, blackRoot);
}
