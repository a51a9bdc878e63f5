// Threats, passed pawns and the pawn race.
#include <gtest/gtest.h>

#include <string>

#include "EvalSupport.h"
#include "Evaluation.h"

namespace {

struct TermCase {
    const char* name;
    std::string fen;
    Score added;   // White-relative
};

class Threats : public ::testing::TestWithParam<TermCase> {};
class PassedPawnBonus : public ::testing::TestWithParam<TermCase> {};
class PawnRace : public ::testing::TestWithParam<TermCase> {};

const TermCase ThreatCases[] = {
    {"KnightForkingRookAndQueenScoresEachVictimKind", "4k3/8/8/1r1q4/8/2N5/8/4K3 w - - 0 1", {41 + 41, 100 + 100}},
    {"TwoKnightsOnOneRookScoreOnce", "4k3/8/8/1r6/8/N1N5/8/4K3 w - - 0 1", {41, 100}},
    {"KnightAndBishopOnOneRookScoreOncePerAttackerKind", "4k3/8/8/1r6/8/2N5/8/4KB2 w - - 0 1", {41 + 41, 100 + 100}},
    {"PieceGuardedByAPawnIsNoTarget", "4k3/8/p7/1r6/8/2N5/8/4K3 w - - 0 1", {0, 0}},
    {"RookOnAPawnLosesAUnitInTheMiddlegame", "4k3/8/8/8/8/8/p7/R3K3 w - - 0 1", {-1, 29}},
    {"KingIsNeverAVictim", "8/8/8/4k3/8/3N4/8/4K3 b - - 0 1", {0, 0}},
    {"BlackThreatsCountAgainstWhite", "4k3/8/2n5/8/1R1Q4/8/8/4K3 w - - 0 1", {-(41 + 41), -(100 + 100)}},
};

// White king h1, Black king a8; a white pawn on e2 .. e7. Ranks 2 and 3
// have no king or path terms; above, both kings' distances to the stop
// square and the free, unguarded path count (x 216 / 256, x 266 / 256)
const TermCase PassedCases[] = {
    {"Rank2", "k7/8/8/8/8/8/4P3/7K w - - 0 1", {0, 10}},
    {"Rank3", "k7/8/8/8/8/4P3/8/7K w - - 0 1", {0, 20}},
    {"Rank4", "k7/8/8/8/4P3/8/8/7K w - - 0 1", {33, 97}},
    {"Rank5", "k7/8/8/4P3/8/8/8/7K w - - 0 1", {101, 222}},
    {"Rank6", "k7/8/4P3/8/8/8/8/7K w - - 0 1", {202, 376}},
    {"Rank7", "k7/4P3/8/8/8/8/8/7K w - - 0 1", {337, 706}},
    {"BlackRank7", "7k/8/8/8/8/8/4p3/K7 b - - 0 1", {-337, -706}},
    // Rank 5 with the white king on h3: a rook behind the pawn makes its whole path unsafe
    {"EnemyRookBehindThePawnMakesThePathUnsafe", "k7/8/8/4P3/8/7K/8/4r3 w - - 0 1", {101, 216}},
    {"EnemyRookElsewhereLeavesThePathSafe", "k7/8/8/4P3/8/7K/8/r7 w - - 0 1", {101, 259}},
};

const TermCase RaceCases[] = {
    // a5 promotes in 5 moves, h7 needs 10: 1280 - 32 x 5
    {"PawnOutOfReachWinsTheRace", "7k/7p/8/P7/8/8/8/7K w - - 0 1", {0, 1120}},
    {"LoserPawnTooSlowIsIgnored", "7k/8/8/P6p/8/8/8/7K w - - 0 1", {0, 1120}},
    {"LoserPassedPawnInTimeCancelsTheRace", "7k/8/8/P7/7p/8/8/7K w - - 0 1", {0, 0}},
    {"KingInsideTheSquareStopsThePawn", "1k6/8/8/P7/8/8/8/7K w - - 0 1", {0, 0}},
    {"BlackWinsTheRace", "k7/8/8/8/p7/6K1/7P/8 b - - 0 1", {0, -(1280 - 32 * 5)}},
};

}  // namespace

TEST_P(Threats, AddsOncePerAttackerAndVictimKind) {
    const TermCase& c = GetParam();
    const Score added = TermAlone(c.fen, [] {
        EvalThreats(White);
        EvalThreats(Black);
    });
    EXPECT_EQ(added.mg, c.added.mg);
    EXPECT_EQ(added.eg, c.added.eg);
}

TEST_P(PassedPawnBonus, GrowsWithTheRank) {
    const TermCase& c = GetParam();
    const Score added = TermAlone(c.fen, [] {
        EvalPassedPawns(White);
        EvalPassedPawns(Black);
    });
    EXPECT_EQ(added.mg, c.added.mg);
    EXPECT_EQ(added.eg, c.added.eg);
}

TEST_P(PawnRace, ClearWinnerGetsAnEndgameBonus) {
    const TermCase& c = GetParam();
    const Score added = TermAlone(c.fen, [] { EvalPawnRace(); });
    EXPECT_EQ(added.mg, c.added.mg);
    EXPECT_EQ(added.eg, c.added.eg);
}

const auto CaseName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Cases, Threats, ::testing::ValuesIn(ThreatCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Cases, PassedPawnBonus, ::testing::ValuesIn(PassedCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Cases, PawnRace, ::testing::ValuesIn(RaceCases), CaseName);
