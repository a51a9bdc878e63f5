// Pawn structure, recomputed at every evaluation.
#include "Pawns.h"

#include "Bitboard.h"
#include "Init.h"

thread_local constinit uint8_t HalfOpenFiles[2];
thread_local constinit Bitboard PassedPawns;

namespace {

// Pawn value by relative square, material included
constexpr SquareTable PawnMg = FromPrinted({
      0,   0,   0,   0,   0,   0,   0,   0,
    170, 192, 202, 212, 212, 202, 192, 170,
    170, 192, 207, 212, 212, 207, 192, 170,
    170, 192, 215, 234, 234, 215, 192, 170,
    170, 192, 215, 256, 256, 215, 192, 170,
    170, 192, 207, 234, 234, 207, 192, 170,
    170, 192, 202, 212, 212, 202, 192, 170,
      0,   0,   0,   0,   0,   0,   0,   0,
});

constexpr SquareTable PawnEg = FromPrinted({
      0,   0,   0,   0,   0,   0,   0,   0,
    250, 250, 250, 250, 250, 250, 250, 250,
    250, 250, 250, 250, 250, 250, 250, 250,
    250, 250, 250, 250, 250, 250, 250, 250,
    250, 250, 250, 250, 250, 250, 250, 250,
    250, 250, 250, 250, 250, 250, 250, 250,
    250, 250, 250, 250, 250, 250, 250, 250,
      0,   0,   0,   0,   0,   0,   0,   0,
});

// By file a..h
constexpr Score Doubled[8] = {{13, 43}, {20, 48}, {23, 48}, {23, 48}, {23, 48}, {23, 48}, {20, 48}, {13, 43}};
constexpr Score Isolated[8] = {{25, 30}, {36, 35}, {40, 35}, {40, 35}, {40, 35}, {40, 35}, {36, 35}, {25, 30}};
constexpr Score Backward[8] = {{20, 28}, {29, 31}, {33, 31}, {33, 31}, {33, 31}, {33, 31}, {29, 31}, {20, 28}};
constexpr Score Chain[8] = {{11, -1}, {13, -1}, {13, -1}, {14, -1}, {14, -1}, {13, -1}, {13, -1}, {11, -1}};

// By relative rank 1..8
constexpr Score Candidate[8] = {{0, 0}, {6, 13}, {6, 13}, {14, 29}, {34, 68}, {83, 166}, {0, 0}, {0, 0}};

constexpr Score Half(Score s) { return {s.mg / 2, s.eg / 2}; }

// A pawn that cannot be supported by its neighbours and whose advance is
// stopped by an enemy pawn on the square ahead of its stop
bool IsBackward(int side, int s, Bitboard own, Bitboard their) {
    const int other = side ^ 1;
    if (AttackSpan[other][s] & own)
        return false;
    if (PawnAttacks[side][s] & their)
        return false;
    // The walk meets the own pawn ahead on an adjacent file at the latest
    Bitboard front = PawnAttacks[side][s];
    while (front && !(front & (own | their)))
        front = ShiftForward(side, front);
    return ((front | ShiftForward(side, front)) & their) != 0;
}

// A pawn not yet passed but with at least as many helpers as enemy pawns in its way
bool IsCandidate(int side, int s, Bitboard own, Bitboard their) {
    const int other = side ^ 1;
    const int ahead = side == White ? s + 8 : s - 8;
    const Bitboard supporters = AttackSpan[other][ahead] & own;
    if (!supporters)
        return false;
    return PopCount(AttackSpan[side][s] & their) <= PopCount(supporters);
}

}  // namespace

Score EvalPawns(int side) {
    const int other = side ^ 1;
    const Bitboard own = Position.pieces[side][Pawn];
    const Bitboard their = Position.pieces[other][Pawn];

    uint8_t halfOpen = 0;
    for (int f = 0; f < 8; ++f)
        if (!(FileMask[f] & own))
            halfOpen |= uint8_t(1 << f);
    HalfOpenFiles[side] = halfOpen;

    Score values{0, 0};
    Score structure{0, 0};
    for (Bitboard remaining = own; remaining;) {
        const int s = PopLowest(remaining);
        const int f = FileOf(s);
        const int r = RankOf(s);
        const int relative = RelativeSquare(side, s);
        values += {PawnMg[relative], PawnEg[relative]};

        const Bitboard behind = RankMask[r] | RankOrEmpty(side == White ? r - 1 : r + 1);
        const bool passed = !(PassedMask[side][s] & their);
        const bool doubled = (ForwardFile[other][s] & own) != 0;
        const bool opposed = (ForwardFile[side][s] & their) != 0;
        const bool isolated = !(AdjacentFiles[f] & own);
        const bool chain = (AdjacentFiles[f] & own & behind) != 0;
        const bool backward = !passed && !isolated && !chain && IsBackward(side, s, own, their);
        const bool candidate = !opposed && !passed && IsCandidate(side, s, own, their);

        // Of several passed pawns on a file only the front one runs
        if (passed && !(ForwardFile[side][s] & own))
            PassedPawns |= SetMask[s];

        const bool openFile = !(FileMask[f] & their);
        // A weak pawn on a file without enemy pawns is open to attack by rooks
        if (isolated)
            structure -= openFile ? Isolated[f] + Half(Isolated[f]) : Isolated[f];
        if (doubled)
            structure -= Doubled[f];
        if (backward)
            structure -= openFile ? Backward[f] + Half(Backward[f]) : Backward[f];
        if (chain)
            structure += Chain[f];
        if (candidate)
            structure += Candidate[RankOf(relative)];
    }
    return values + ApplyWeight(structure, Weights[PawnWeight]);
}

Score PawnStructure() {
    PassedPawns = 0;
    return EvalPawns(White) - EvalPawns(Black);
}

void ClearPawnCache() {}
