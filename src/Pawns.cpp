// Pawn structure, cached by the placement of the pawns of both sides.
#include "Pawns.h"


#include "Bitboard.h"
#include "Tables.h"
#include "Thread.h"


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
    ThisThread.HalfOpenFiles[side] = halfOpen;

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
            ThisThread.PassedPawns |= SetMask[s];

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

// ---------------------------------------------------------------------------
// The pawn cache: the pawns of both sides are the whole key, so an entry is
// never taken for another structure

struct PawnEntry {
    Bitboard pawns[2];     // overlapping sets in an empty slot
    Bitboard passed;
    Score score;           // White's minus Black's
    uint8_t halfOpen[2];
};

namespace {

// 16384 slots of 40 bytes: over 94% of the probes in bench hit
constexpr int PawnCacheBits = 14;
constexpr PawnEntry EmptyPawnEntry = {{~Bitboard(0), ~Bitboard(0)}, 0, {0, 0}, {0, 0}};


PawnEntry* PawnCacheBlock() {
    if (!ThisThread.PawnCache) {
        ThisThread.PawnCache = static_cast<PawnEntry*>(AllocateThreadCache(sizeof(PawnEntry) << PawnCacheBits));
        ClearPawnCache();
    }
    return ThisThread.PawnCache;
}

}  // namespace

size_t PawnCacheSlot(Bitboard white, Bitboard black) {
    const uint64_t mixed = (white ^ (black * 0x9E3779B97F4A7C15ULL)) * 0xD6E8FEB86659FD93ULL;
    return size_t(mixed >> (64 - PawnCacheBits));
}

void ClearPawnCache() {
    if (!ThisThread.PawnCache)
        return;
    for (size_t i = 0; i < (size_t(1) << PawnCacheBits); ++i)
        ThisThread.PawnCache[i] = EmptyPawnEntry;
}

Score PawnStructure() {
    const Bitboard white = Position.pieces[White][Pawn];
    const Bitboard black = Position.pieces[Black][Pawn];
    PawnEntry& entry = PawnCacheBlock()[PawnCacheSlot(white, black)];
    if (entry.pawns[White] != white || entry.pawns[Black] != black) {
        ThisThread.PassedPawns = 0;
        entry.score = EvalPawns(White) - EvalPawns(Black);
        entry.pawns[White] = white;
        entry.pawns[Black] = black;
        entry.passed = ThisThread.PassedPawns;
        entry.halfOpen[White] = ThisThread.HalfOpenFiles[White];
        entry.halfOpen[Black] = ThisThread.HalfOpenFiles[Black];
    }
    ThisThread.PassedPawns = entry.passed;
    ThisThread.HalfOpenFiles[White] = entry.halfOpen[White];
    ThisThread.HalfOpenFiles[Black] = entry.halfOpen[Black];
    return entry.score;
}
