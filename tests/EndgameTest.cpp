// Endgame recognisers: known draws, mating values and the king-and-pawn rules.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EvalSupport.h"
#include "Evaluation.h"
#include "Findepartie.h"

namespace {

struct EndgameCase {
    const char* name;
    std::string fen;
    int32_t value;   // for the side to move
};

const EndgameCase EndgameCases[] = {
    {"BareKingsDraw", "8/8/8/4k3/8/8/8/4K3 w - - 0 1", 0},
    {"KnightCannotMate", "8/8/8/4k3/8/8/8/N3K3 w - - 0 1", 0},
    {"BishopCannotMate", "8/8/8/4k3/8/8/8/1B2K3 w - - 0 1", 0},
    {"TwoKnightsCannotMate", "8/8/8/4k3/8/8/8/NN2K3 w - - 0 1", 0},
    {"KnightAgainstKnightDraws", "8/8/8/4k1n1/8/8/8/N3K3 w - - 0 1", 0},
    {"BlackKnightCannotMate", "8/8/8/4k3/8/8/8/n3K3 b - - 0 1", 0},
    // Rook: proximity 100 (kings two apart) + edge 40 (c3) + 1278
    {"RookDrivesTheKingToTheEdge", "8/8/8/8/8/2k5/8/R3K3 w - - 0 1", 1418},
    {"RookFromTheDefendersSide", "8/8/8/8/8/2k5/8/R3K3 b - - 0 1", -1418},
    // Queen against rook: 100 + 40 + 1251
    {"QueenAgainstRook", "8/8/8/8/8/2k5/3r4/4K2Q w - - 0 1", 1391},
    // Bishop and knight: 780 - 8 x 2 - corner table
    {"BishopAndKnightWithTheKingInTheRightCorner", "k7/8/2K5/8/2B5/8/8/6N1 w - - 0 1", 764},
    {"BishopAndKnightWithTheKingInTheWrongCorner", "k7/8/2K5/8/3B4/8/8/6N1 w - - 0 1", 614},
    {"BlackBishopAndKnight", "K7/8/2k5/8/2b5/8/8/6n1 b - - 0 1", 764},
    // King and pawn against king
    {"DefenderOutsideTheSquare", "8/8/4K3/4P3/8/8/8/k7 w - - 0 1", 800},
    {"BlackPawnDefenderOutsideTheSquare", "k7/8/8/8/8/8/p7/7K b - - 0 1", 800},
    {"KingOnTheSixthWithTheMoveWins", "3k4/8/4K3/4P3/8/8/8/8 w - - 0 1", 832},
    {"KingOneRankAheadWithTheDefenderToMoveWins", "3k4/8/4K3/4P3/8/8/8/8 b - - 0 1", -832},
    {"BlackWinCountsRanksFromTheEighth", "8/8/8/8/4p3/4k3/8/3K4 b - - 0 1", 848},
    {"KingsOnOneFileTwoApartDraw", "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 0},
    {"AttackingKingBehindThePawnDraws", "8/8/8/8/8/3k4/3P4/3K4 w - - 0 1", 0},
    {"RookPawnWithTheDefenderInTheCornerDraws", "k7/8/1K6/P7/8/8/8/8 w - - 0 1", 0},
    // Rook pawn and bishop of the wrong colour: minus the distance from pawn to own king
    {"WrongBishopWithTheKingInTheCorner", "7k/8/8/7P/8/8/8/1B2K3 w - - 0 1", -4},
    {"WrongBishopWithTheDefenderToMove", "7k/8/8/7P/8/8/8/1B2K3 b - - 0 1", 4},
    // Knight and rook pawn on the seventh with the defender on the corner
    {"KnightAndRookPawnAgainstTheCornerKing", "k7/P7/8/8/8/8/8/N3K3 w - - 0 1", -6},
    {"BlackKnightAndRookPawnAgainstTheCornerKing", "n3k3/8/8/8/8/8/p7/K7 b - - 0 1", -6},
    // Rook and pawn against rook with the defender in front: king tables 135 - 251, + 10 on the file
    {"RookPawnAgainstRookWithTheKingInFront", "r7/8/8/3k4/8/3P4/7R/3K4 w - - 0 1", -106},
    // Rook against knight: king tables 135 - 251 + 25
    {"RookAgainstKnightByKingPlacement", "8/8/8/4k3/8/8/8/R3K1n1 w - - 0 1", -91},
};

class EndgameRules : public ::testing::TestWithParam<EndgameCase> {};

}  // namespace

TEST_P(EndgameRules, GiveTheirValue) {
    const EndgameCase& c = GetParam();
    ASSERT_TRUE(LoadFen(c.fen));
    InitKingDangerTable(Position.sideToMove);
    EXPECT_EQ(Evaluate(), c.value);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndgameRules, ::testing::ValuesIn(EndgameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EndgameRulesRange, BishopAndKnightMateIsWorthBetween474And764) {
    std::mt19937 random(7);
    std::vector<std::string> positions;
    AddRandomEndings(positions, "BN", 300, random);
    AddRandomEndings(positions, "bn", 300, random);
    ASSERT_EQ(positions.size(), 600u);
    for (const std::string& fen : positions) {
        ASSERT_TRUE(LoadFen(fen));
        const int strong = Position.pieces[White][Bishop] ? White : Black;
        const int32_t value = strong == White ? WhiteEvaluation() : -WhiteEvaluation();
        EXPECT_GE(value, 474) << fen;
        EXPECT_LE(value, 764) << fen;
    }
}

TEST(EndgameRulesRange, RightBishopWithTheRookPawnKeepsItsValue) {
    ASSERT_TRUE(LoadFen("7k/8/8/7P/8/8/8/2B1K3 w - - 0 1"));
    EXPECT_GT(Evaluate(), 1000);
}

TEST(EndgameRulesRange, FourPawnsOnASideBypassTheRules) {
    ASSERT_TRUE(LoadFen("4k3/8/8/8/8/8/PPPP4/4K3 w - - 0 1"));
    EXPECT_EQ(MaterialClass(White), NoMaterialClass);
    const int32_t value = Evaluate();
    EXPECT_EQ(value % 8, 0);
    EXPECT_EQ(EvalEndgame(value, White), value);
}

TEST(EndgameRulesRange, MaterialClassesFollowTheSignature) {
    const struct {
        std::string fen;
        int white;
        int black;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, 0},
        {"4k3/ppp5/8/8/8/8/P7/4K3 w - - 0 1", 1, 3},
        {"4k3/8/8/8/8/8/8/2B1K1N1 w - - 0 1", 7, 0},
        {"2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1", 9, 6},
        {"3rk1n1/8/8/8/8/8/8/R1B1K3 w - - 0 1", 10, 10},
        {"4k3/8/8/8/8/8/P7/R3K3 w - - 0 1", 14, 0},
        {"3qk3/8/8/8/8/8/8/NN2K3 w - - 0 1", 5, 15},
        {"3qk3/8/8/8/8/8/8/RN2K1N1 w - - 0 1", NoMaterialClass, 15},
        {"3qk3/8/8/8/8/8/8/BBB1K3 w - - 0 1", NoMaterialClass, 15},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        EXPECT_EQ(MaterialClass(White), c.white) << c.fen;
        EXPECT_EQ(MaterialClass(Black), c.black) << c.fen;
    }
}
