// Colour symmetry of the evaluation: turning the board upside down and
// swapping the colours (and the root side of the king-danger table) must not
// change anything but the signs, except where the endgame rules themselves
// treat the colours differently.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "EvalSupport.h"
#include "Evaluation.h"
#include "Findepartie.h"

namespace {

enum Class : int { K = 0, P = 1, PP = 2, PPP = 3, N = 4, NN = 5, B = 6, BN = 7, BB = 8, R = 9, RM = 10, NP = 11, BP = 12, RP = 14, Q = 15 };

struct Asymmetry {
    int whiteClass;
    int blackClass;
    const char* reason;
};

// Endgame rules that are colour-dependent by design. Each pair is listed in
// both orders: the mirror of one is the other.
constexpr Asymmetry KnownAsymmetries[] = {
    {PPP, N, "three pawns against a knight: +150 for White, -200 for Black"},
    {N, PPP, "three pawns against a knight: +150 for White, -200 for Black"},
    {PPP, B, "three pawns against a bishop: +100 for White, -200 for Black"},
    {B, PPP, "three pawns against a bishop: +100 for White, -200 for Black"},
    {N, RP, "knight against rook and pawn: -50 whichever colour has the rook"},
    {RP, N, "knight against rook and pawn: -50 whichever colour has the rook"},
    {B, RP, "bishop against rook and pawn: -50 only when Black has the rook"},
    {RP, B, "bishop against rook and pawn: -50 only when Black has the rook"},
    {NN, BB, "two knights against two bishops: a dead draw only when White has the knights"},
    {BB, NN, "two knights against two bishops: a dead draw only when White has the knights"},
    {B, Q, "queen against bishop: -100 only when White has the queen"},
    {Q, B, "queen against bishop: -100 only when White has the queen"},
    {NN, Q, "queen against two knights: +100 only when Black has the queen"},
    {Q, NN, "queen against two knights: +100 only when Black has the queen"},
    {BN, Q, "queen against bishop and knight: +100 only when Black has the queen"},
    {Q, BN, "queen against bishop and knight: +100 only when Black has the queen"},
    {BP, K, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {BP, P, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {BP, PP, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {K, BP, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {P, BP, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {PP, BP, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
};

const char* KnownAsymmetry(int whiteClass, int blackClass) {
    for (const Asymmetry& asymmetry : KnownAsymmetries)
        if (asymmetry.whiteClass == whiteClass && asymmetry.blackClass == blackClass)
            return asymmetry.reason;
    return nullptr;
}

struct Result {
    int32_t mg;
    int32_t eg;
    int32_t scale;
    int32_t phase;
    int32_t white;   // final value, White's point of view
    int classes[2];
};

Result EvaluateWithOwnRoot(const std::string& fen) {
    Result result{};
    if (!LoadFen(fen))
        return result;
    InitKingDangerTable(Position.sideToMove);
    result.white = WhiteEvaluation();
    result.mg = ScoreMg;
    result.eg = ScoreEg;
    result.scale = EndgameScale;
    result.phase = GamePhase();
    result.classes[White] = MaterialClass(White);
    result.classes[Black] = MaterialClass(Black);
    return result;
}

}  // namespace

TEST(EvaluationSymmetry, MirroredPositionHasTheSameValueForTheSideToMove) {
    const std::vector<std::string> positions = VariedPositions();
    ASSERT_GT(positions.size(), 3000u);
    int compared = 0, endgames = 0, skipped = 0;
    for (const std::string& fen : positions) {
        const std::string mirror = MirrorFen(fen);
        const Result original = EvaluateWithOwnRoot(fen);
        const Result mirrored = EvaluateWithOwnRoot(mirror);

        // The sums before the blend are exactly opposite
        ASSERT_EQ(mirrored.mg, -original.mg) << fen << "\n" << mirror;
        ASSERT_EQ(mirrored.eg, -original.eg) << fen << "\n" << mirror;
        ASSERT_EQ(mirrored.phase, original.phase) << fen;
        if (original.eg != 0) {
            ASSERT_EQ(mirrored.scale, original.scale) << fen;
        }

        const bool classified = original.phase == 0 && original.classes[White] != NoMaterialClass
                             && original.classes[Black] != NoMaterialClass;
        if (classified) {
            ++endgames;
            if (KnownAsymmetry(original.classes[White], original.classes[Black])) {
                ++skipped;
                continue;
            }
            // King and pawn against king: the win is 800 + 8 x rank for White
            // and -(800 + 8 x (9 - rank)) for Black, so Black's is always 16 more
            const bool kingPawn = (original.classes[White] == P && original.classes[Black] == K)
                               || (original.classes[White] == K && original.classes[Black] == P);
            const bool rankedWin = original.white % 800 != 0 || mirrored.white % 800 != 0;
            if (kingPawn && rankedWin) {
                EXPECT_EQ(original.white + mirrored.white, -16) << fen;
                ++compared;
                continue;
            }
        }

        // The blend rounds White's value down to a multiple of 8: a value
        // that is not a multiple moves down on one side and up on the other
        const int32_t sum = original.white + mirrored.white;
        EXPECT_TRUE(sum == 0 || sum == -8) << fen << " gives " << original.white << ", its mirror " << mirror
                                           << " gives " << mirrored.white;
        ++compared;
    }
    EXPECT_GT(endgames, 1000);
    EXPECT_LT(skipped, endgames / 4);
    EXPECT_GT(compared, 3000);
}

TEST(EvaluationSymmetry, MirrorOfAFenSwapsColoursSideRightsAndEnPassant) {
    EXPECT_EQ(MirrorFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQq e6 0 2"),
              "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR b Qkq e3 0 2");
    EXPECT_EQ(MirrorFen("8/8/8/8/8/8/1P6/K6k b - - 3 40"), "k6K/1p6/8/8/8/8/8/8 w - - 3 40");
}
