// Pawn structure: what one side's pawns are worth, which are passed, which
// files are free of them.
#include <gtest/gtest.h>

#include <string>

#include "EvalSupport.h"
#include "Evaluation.h"
#include "Pawns.h"

namespace {

struct PawnCase {
    const char* name;
    std::string fen;
    int side;
    int32_t mg;         // table values plus the weighted structure sum
    int32_t eg;
    Bitboard passed;    // of this side
};

// Hand-computed: table value per pawn, then structure x 233 / 256 (mg) and x 201 / 256 (eg)
const PawnCase PawnCases[] = {
    // e2: isolated on a file without enemy pawns (-60, -52); e3: the same and doubled (-23, -48)
    {"RearPawnOfAPairIsNotDoubled", "4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", White, 212 + 234 - 130, 250 + 250 - 119, 1ULL << 20},
    {"IsolatedOnAFileWithoutEnemyPawnsLosesOneAndAHalf", "4k3/8/8/8/3P4/8/8/4K3 w - - 0 1", White, 256 - 54, 250 - 40, 1ULL << 27},
    {"IsolatedFacingAnEnemyPawnLosesOnce", "4k3/3p4/8/8/3P4/8/8/4K3 w - - 0 1", White, 256 - 36, 250 - 27, 0},
    {"PawnsSideBySideFormAChain", "4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1", White, 256 + 256 + 25, 250 + 250 - 1, (1ULL << 27) | (1ULL << 28)},
    // d3 backward on a file without enemy pawns (-49, -46); e4 chain (+14, -1)
    {"PawnBehindItsNeighbourWithTheStopSquareHitIsBackward", "4k3/8/8/4p3/4P3/3P4/8/4K3 w - - 0 1", White, 234 + 256 - 31, 250 + 250 - 36, 0},
    // The walk from d3 stops at e4 at once: e6 is too far ahead to make d3 backward
    {"BackwardWalkStopsAtTheFirstPawnItMeets", "4k3/8/4p3/8/4P3/3P4/8/4K3 w - - 0 1", White, 234 + 256 + 12, 250 + 250, 0},
    // d4 candidate (+14, +29) and chain (+14, -1); c4 passed, chain (+13, -1)
    {"CandidateWithAsManySupportersAsStoppers", "4k3/8/4p3/8/2PP4/8/8/4K3 w - - 0 1", White, 215 + 256 + 37, 250 + 250 + 21, 1ULL << 26},
    {"BlackCandidateCountsFromBlacksSide", "4k3/8/8/2pp4/8/4P3/8/4K3 b - - 0 1", Black, 215 + 256 + 37, 250 + 250 + 21, 1ULL << 34},
    {"BlackRearPawnOfAPairIsNotDoubled", "4k3/4p3/4p3/8/8/8/8/4K3 b - - 0 1", Black, 212 + 234 - 130, 250 + 250 - 119, 1ULL << 44},
};

class PawnStructure : public ::testing::TestWithParam<PawnCase> {};

}  // namespace

TEST_P(PawnStructure, ScoresAndRecordsPassedPawns) {
    const PawnCase& c = GetParam();
    ASSERT_TRUE(LoadFen(c.fen));
    ResetEvalState();
    EvalPawns(c.side);
    EXPECT_EQ(ScoreMg, c.mg);
    EXPECT_EQ(ScoreEg, c.eg);
    EXPECT_EQ(PassedPawns, c.passed);
}

INSTANTIATE_TEST_SUITE_P(Cases, PawnStructure, ::testing::ValuesIn(PawnCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PawnStructureFiles, FilesWithoutPawnsAreHalfOpen) {
    ASSERT_TRUE(LoadFen("4k3/pp6/8/8/8/8/5PPP/4K3 w - - 0 1"));
    ResetEvalState();
    EvalPawns(White);
    EvalPawns(Black);
    EXPECT_EQ(HalfOpenFiles[White], 0x1F);
    EXPECT_EQ(HalfOpenFiles[Black], 0xFC);
}

TEST(PawnStructureFiles, WithoutAnyPawnEveryFileIsOpenForBothSides) {
    ASSERT_TRUE(LoadFen("4k3/pp6/8/8/8/8/5PPP/4K3 w - - 0 1"));
    Evaluate();
    ASSERT_TRUE(LoadFen("r3k3/8/8/8/8/8/8/4K2R w - - 0 1"));
    Evaluate();
    EXPECT_EQ(HalfOpenFiles[White], 0xFF);
    EXPECT_EQ(HalfOpenFiles[Black], 0xFF);
}

TEST(PawnStructureFiles, OnlyTheFrontPawnOfAFileIsRecordedAsPassed) {
    ASSERT_TRUE(LoadFen("4k3/8/8/8/1P6/1P6/1P6/4K3 w - - 0 1"));
    Evaluate();
    EXPECT_EQ(PassedPawns, 1ULL << 25);
}
