// Piece activity: table values, outposts, rooks and queens on the seventh,
// rook files, rooks shut in by their king, mobility.
#include <gtest/gtest.h>

#include <string>

#include "Bitboard.h"
#include "EvalSupport.h"
#include "Evaluation.h"

namespace {

struct PieceCase {
    const char* name;
    std::string fen;
    int side;
    int32_t mg;
    int32_t eg;
};

// What EvalPieces adds for the side (mobility aside), computed by hand
const PieceCase PieceCases[] = {
    // Knight d5: table 872 / 864, outpost 35 x 2 + 17 when a pawn guards it and no enemy minor can trade for it
    {"GuardedKnightOutpostWithoutEnemyMinors", "4k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", White, 872 + 87, 864 + 87},
    {"UnguardedOutpostGetsThePlainValue", "4k3/8/8/3N4/8/8/8/4K3 w - - 0 1", White, 872 + 35, 864 + 35},
    {"EnemyBishopOfTheOutpostColourHalvesTheExtra", "b3k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", White, 872 + 52, 864 + 52},
    {"EnemyBishopOfTheOtherColourDoesNot", "1b2k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", White, 872 + 87, 864 + 87},
    {"AnyEnemyKnightHalvesTheExtra", "4k1n1/8/8/3N4/4P3/8/8/4K3 w - - 0 1", White, 872 + 52, 864 + 52},
    {"PawnThatCanChaseTheKnightCancelsTheOutpost", "4k3/2p5/8/3N4/4P3/8/8/4K3 w - - 0 1", White, 872, 864},
    {"KnightHitByAPawnPaysAndHasNoOutpost", "4k3/8/4p3/3N4/4P3/8/8/4K3 w - - 0 1", White, 872 - 56, 864 - 70},
    {"BlackKnightOutpostCountsFromBlacksSide", "4k3/8/8/4p3/3n4/8/8/4K3 b - - 0 1", Black, 872 + 87, 864 + 87},
    // Bishop d5: table 853 / 861, outpost 21 x 2 + 10
    {"GuardedBishopOutpost", "4k3/8/8/3B4/4P3/8/8/4K3 w - - 0 1", White, 853 + 52, 861 + 52},
    // Rook a1: table 1258 / 1281
    {"RookOnAnOpenFile", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", White, 1258 + 43, 1281 + 43},
    {"RookOnAFileWithOnlyEnemyPawns", "4k3/p7/8/8/8/8/8/R3K3 w - - 0 1", White, 1258 + 19, 1281 + 19},
    {"RookOnTheSeventhWithTheKingOnTheEighth", "4k3/R7/8/8/8/8/8/4K3 w - - 0 1", White, 1258 + 43 + 47, 1281 + 43 + 98},
    {"QueenOnTheSeventhWithTheKingOnTheEighth", "4k3/Q7/8/8/8/8/8/4K3 w - - 0 1", White, 2529 + 27, 2504 + 54},
    // Rook h1 reaches g1 and f1 only: 180 - 16 x 2, halved while the king may castle
    {"RookShutInByItsKingPays", "4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1", White, 1258 - 148, 1281},
    {"RookShutInByAKingThatMayCastlePaysHalf", "4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1", White, 1258 - 74, 1281},
    {"BlackRookShutInByItsKing", "r2k4/ppp5/8/8/8/8/8/4K3 b - - 0 1", Black, 1258 - 148, 1281},
    {"RookOnTheOtherWingOfTheKingIsNotShutIn", "r3k3/ppp5/8/8/8/8/8/4K3 b q - 0 1", Black, 1258, 1281},
    {"RookOnAFileWithoutOwnPawnIsNeverShutIn", "4k3/8/8/8/8/8/5PP1/4K2R w K - 0 1", White, 1258 + 43, 1281 + 43},
};

class PieceActivity : public ::testing::TestWithParam<PieceCase> {};

Score PiecesAlone(const std::string& fen, int side) {
    return TermAlone(fen, [side] {
        MobilityArea = ~(Position.pieces[side][AllPieces] | AttackedBy[side ^ 1][Pawn]);
        EvalPieces(side);
    });
}

}  // namespace

TEST_P(PieceActivity, AddsTableValueAndPieceTerms) {
    const PieceCase& c = GetParam();
    const Score added = PiecesAlone(c.fen, c.side);
    EXPECT_EQ(added.mg, c.mg);
    EXPECT_EQ(added.eg, c.eg);
}

INSTANTIATE_TEST_SUITE_P(Cases, PieceActivity, ::testing::ValuesIn(PieceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PieceMobility, KnightCountsSquaresNotHeldByOwnPiecesNorHitByEnemyPawns) {
    const struct {
        const char* fen;
        Score mobility;
    } cases[] = {
        {"4k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", {38, 27}},           // all eight
        {"4k3/8/2p5/3N4/4P3/8/8/4K3 w - - 0 1", {38, 27}},         // c6 hits the knight, not its squares
        {"4k3/2p3p1/8/3N4/4P3/8/8/4K3 w - - 0 1", {31, 22}},       // b6 and f6 are hit
        {"4k3/2p3p1/8/3N4/8/2P1P3/8/4K3 w - - 0 1", {12, 7}},      // and c3, e3 hold own pawns
    };
    for (const auto& c : cases) {
        PiecesAlone(c.fen, White);
        EXPECT_EQ(MobilityMg, c.mobility.mg) << c.fen;
        EXPECT_EQ(MobilityEg, c.mobility.eg) << c.fen;
    }
}

TEST(PieceMobility, QueenBeyondFourteenSquaresIsWorthTheSame) {
    PiecesAlone("6k1/8/8/8/3Q4/8/8/K7 w - - 0 1", White);   // 26 squares
    EXPECT_EQ(MobilityMg, 20);
    EXPECT_EQ(MobilityEg, 35);
    PiecesAlone("6k1/8/8/8/8/8/8/Q3K3 w - - 0 1", White);   // 17 squares
    EXPECT_EQ(MobilityMg, 20);
    EXPECT_EQ(MobilityEg, 35);
}

TEST(PieceMobility, BishopSeesThroughItsOwnQueen) {
    PiecesAlone("4k3/8/8/8/8/2Q5/1B6/4K3 w - - 0 1", White);
    const Bitboard beyondQueen = (1ULL << 27) | (1ULL << 36) | (1ULL << 45) | (1ULL << 54) | (1ULL << 63);
    EXPECT_EQ(AttackedBy[White][Bishop] & beyondQueen, beyondQueen);
}

TEST(PieceMobility, RooksSeeThroughOwnRooksAndQueensButNotOtherPieces) {
    PiecesAlone("4k3/8/8/8/8/8/8/RQ1NK3 w - - 0 1", White);
    EXPECT_TRUE(AttackedBy[White][Rook] & (1ULL << 2));    // c1 through the queen
    EXPECT_TRUE(AttackedBy[White][Rook] & (1ULL << 3));    // d1, the knight
    EXPECT_FALSE(AttackedBy[White][Rook] & (1ULL << 4));   // not beyond it
}

TEST(PieceKingZone, PiecesHittingTheZoneCountWithTheirWeights) {
    // The knight on f5 hits g7 next to the king and h6; the rook on a6 hits f6, g6 and h6
    ASSERT_TRUE(LoadFen("6k1/8/R7/5N2/8/8/8/4K3 w - - 0 1"));
    Evaluate();
    EXPECT_EQ(KingAttackersCount[White], 2);
    EXPECT_EQ(KingAttackersWeight[White], 2 + 3);
    EXPECT_EQ(KingAdjacentAttacks[White], 1);
}
