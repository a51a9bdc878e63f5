// The evaluation driver: phase, scale factors, tempo, blend and rounding.
#include <gtest/gtest.h>

#include <string>

#include "EvalSupport.h"
#include "Evaluation.h"
#include "Findepartie.h"

TEST(EvaluationDriver, StartPositionIsWorthTheTempoToEitherSide) {
    ASSERT_TRUE(LoadFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
    InitKingDangerTable(White);
    EXPECT_EQ(Evaluate(), 24);
    EXPECT_EQ(GamePhase(), 128);
    ASSERT_TRUE(LoadFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"));
    EXPECT_EQ(Evaluate(), 24);
}

TEST(EvaluationDriver, GamePhaseRunsFromAllPiecesToNone) {
    const struct {
        int32_t material;   // both sides together
        int32_t phase;
    } cases[] = {{0, 0}, {3998, 0}, {3999, 0}, {4089, 1}, {10000, 66}, {15580, 127}, {15581, 128}, {16734, 128}};
    ASSERT_TRUE(LoadFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    for (const auto& c : cases) {
        Position.material[White] = c.material / 2;
        Position.material[Black] = c.material - c.material / 2;
        EXPECT_EQ(GamePhase(), c.phase) << c.material;
    }
}

TEST(EvaluationDriver, EveryValueIsAMultipleOfEightUnlessAnEndgameRuleGaveIt) {
    int checked = 0;
    for (const std::string& fen : VariedPositions()) {
        ASSERT_TRUE(LoadFen(fen));
        InitKingDangerTable(Position.sideToMove);
        const int32_t value = Evaluate();
        const bool ruled = GamePhase() == 0 && MaterialClass(White) != NoMaterialClass
                        && MaterialClass(Black) != NoMaterialClass;
        if (ruled)
            continue;
        EXPECT_EQ(value % 8, 0) << fen << " gives " << value;
        ++checked;
    }
    EXPECT_GT(checked, 2000);
}

TEST(EvaluationDriver, PawnlessSideWithASmallEdgeIsScaledDown) {
    const struct {
        const char* name;
        std::string fen;
        int32_t white;
        int32_t black;
    } cases[] = {
        {"RookAgainstBishop", "4k3/pppp4/8/8/2b5/8/8/R3K3 w - - 0 1", 6, 64},
        {"BishopAndKnightAgainstRook", "r3k3/pppp4/8/8/8/8/8/2B1K1N1 w - - 0 1", 12, 64},
        {"BishopPairAgainstRook", "r3k3/pppp4/8/8/8/8/8/2B1KB2 w - - 0 1", 32, 64},
        {"ThreeBishopsAgainstQueenStayWhole", "3qk3/pppp4/8/8/8/8/8/2B1KBB1 w - - 0 1", 64, 64},
        {"LessThanARookCannotWin", "4k3/pppp4/8/8/8/8/8/1N2K3 w - - 0 1", 0, 64},
        {"EqualPieces", "r3k3/p7/8/8/8/8/8/R3K3 w - - 0 1", 0, 64},
        {"RookAgainstQueen", "r3k3/8/8/8/8/8/8/3QK3 w - - 0 1", 64, 6},
        {"BareKings", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, 0},
        {"BlackBishopAndKnightAgainstRook", "2b1k1n1/8/8/8/8/8/PPPP4/R3K3 w - - 0 1", 64, 12},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        Evaluate();
        EXPECT_EQ(ScaleFactor[White], c.white) << c.name;
        EXPECT_EQ(ScaleFactor[Black], c.black) << c.name;
    }
}

TEST(EvaluationDriver, BishopsOfOppositeColoursScaleTheEndgame) {
    const struct {
        const char* name;
        std::string fen;
        int32_t scale;
    } cases[] = {
        {"LoneBishopsWithTwoPawns", "4k3/8/3b4/3p4/3P4/8/4B3/4K3 w - - 0 1", 32},
        {"LoneBishopsWithOnePawn", "4k3/8/3b4/8/3P4/8/4B3/4K3 w - - 0 1", 8},
        {"LoneBishopsWithThreePawns", "4k3/8/3b4/3p4/3P3P/8/4B3/4K3 w - - 0 1", 32},
        {"WithRooksBeside", "r3k3/8/3b4/3p4/3P4/8/4B3/R3K3 w - - 0 1", 50},
        {"SameColouredBishops", "4k3/8/2b5/3p4/3P4/8/4B3/4K3 w - - 0 1", 64},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        Evaluate();
        EXPECT_EQ(EndgameScale, c.scale) << c.name;
    }
}
