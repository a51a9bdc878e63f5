#include "Tables.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Bitboard.h"
#include "Magic.h"

Bitboard SetMask[64];
Bitboard ClearMask[64];
Bitboard RookRays[64];
Bitboard BishopRays[64];
Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard PawnAttacks[2][64];
Bitboard Segment[64][64];
Bitboard RayThrough[64][64];
int32_t Distance[64][64];
Bitboard ForwardRanks[2][8];
Bitboard AdjacentFiles[8];
Bitboard FileAndAdjacent[8];
Bitboard ForwardFile[2][64];
Bitboard AttackSpan[2][64];
Bitboard PassedMask[2][64];
Bitboard FileSpan[2][64];
Bitboard SpaceMask[2];
Bitboard StepTargets[16][64];
int32_t FutilityMargin[16][64];
ZobristSet Zobrist1;
ZobristSet Zobrist2;

int32_t RandomState = 1;

namespace {

// Mailbox offsets on a 10 x 12 board, where off-board cells surround the 8 x 8 area
constexpr int KingOffsets[8] = {1, -1, 10, -10, 9, -9, 11, -11};
constexpr int KnightOffsets[8] = {21, -19, 12, -8, 8, -21, -12, 19};
constexpr int PawnOffsets[2][2] = {{9, 11}, {-11, -9}};

Bitboard MailboxTargets(Square s, const int* offsets, int count) {
    const int cell = 10 * (RankOf(s) + 2) + FileOf(s) + 1;
    Bitboard targets = 0;
    for (int k = 0; k < count; ++k) {
        int target = cell + offsets[k];
        int rank = target / 10 - 2, file = target % 10 - 1;
        if (rank >= 0 && rank < 8 && file >= 0 && file < 8)
            targets |= SetMask[8 * rank + file];
    }
    return targets;
}

void InitStepAttacks() {
    for (Square s = 0; s < 64; ++s) {
        KingAttacks[s] = MailboxTargets(s, KingOffsets, 8);
        KnightAttacks[s] = MailboxTargets(s, KnightOffsets, 8);
        PawnAttacks[White][s] = MailboxTargets(s, PawnOffsets[White], 2);
        PawnAttacks[Black][s] = MailboxTargets(s, PawnOffsets[Black], 2);
    }
}

// The single-line walker for the line a and b share, or nullptr
using LineWalker = Bitboard (*)(Square, Bitboard);

LineWalker CommonLine(Square a, Square b) {
    int df = FileOf(b) - FileOf(a), dr = RankOf(b) - RankOf(a);
    if (a == b)
        return nullptr;
    if (df == 0)
        return FileAttacks;
    if (dr == 0)
        return RankAttacks;
    if (df == dr)
        return DiagonalAttacks;
    if (df == -dr)
        return AntiDiagonalAttacks;
    return nullptr;
}

void InitLines() {
    for (Square a = 0; a < 64; ++a)
        for (Square b = 0; b < 64; ++b) {
            LineWalker walk = CommonLine(a, b);
            if (!walk)
                continue;
            Bitboard ends = SetMask[a] | SetMask[b];
            Segment[a][b] = (walk(a, SetMask[b]) & walk(b, SetMask[a])) | ends;
            RayThrough[a][b] = (walk(a, 0) & walk(b, SetMask[a])) | ends;
        }
}

void InitZobrist() {
    RandomState = 1;
    Zobrist1.side = RandomKey();
    Zobrist2.side = RandomKey();
    for (int side = White; side <= Black; ++side) {
        Zobrist1.castle[side][0] = RandomKey();
        Zobrist1.castle[side][1] = RandomKey();
        Zobrist2.castle[side][0] = RandomKey();
        Zobrist2.castle[side][1] = RandomKey();
        for (int type = Pawn; type <= King; ++type)
            for (Square s = 0; s < 64; ++s) {
                Zobrist1.piece[side][type][s] = RandomKey();
                Zobrist2.piece[side][type][s] = RandomKey();
            }
    }
    for (Square s = 0; s < 64; ++s) {
        Zobrist1.ep[s] = RandomKey();
        Zobrist2.ep[s] = RandomKey();
    }
}

void InitDistance() {
    for (Square a = 0; a < 64; ++a)
        for (Square b = 0; b < 64; ++b)
            Distance[a][b] = std::max(std::abs(FileOf(a) - FileOf(b)), std::abs(RankOf(a) - RankOf(b)));
}

void InitPawnMasks() {
    for (int rank = 0; rank < 8; ++rank) {
        ForwardRanks[White][rank] = ForwardRanks[Black][rank] = 0;
        for (int r = rank + 1; r < 8; ++r)
            ForwardRanks[White][rank] |= RankMask[r];
        for (int r = 0; r < rank; ++r)
            ForwardRanks[Black][rank] |= RankMask[r];
    }
    for (int file = 0; file < 8; ++file) {
        AdjacentFiles[file] = (file > 0 ? FileMask[file - 1] : 0) | (file < 7 ? FileMask[file + 1] : 0);
        FileAndAdjacent[file] = AdjacentFiles[file] | FileMask[file];
    }
    for (int side = White; side <= Black; ++side)
        for (Square s = 0; s < 64; ++s) {
            Bitboard ahead = ForwardRanks[side][RankOf(s)];
            ForwardFile[side][s] = FileMask[FileOf(s)] & ahead;
            PassedMask[side][s] = FileAndAdjacent[FileOf(s)] & ahead;
            AttackSpan[side][s] = AdjacentFiles[FileOf(s)] & ahead;
        }
    SpaceMask[White] = 0x3C3C3C00ULL;          // c2-f4
    SpaceMask[Black] = 0x003C3C3C00000000ULL;  // c5-f7
}

void InitStepTargets() {
    struct Offsets { int count; int offset[8]; };
    const Offsets byType[2][7] = {
        {{0, {}}, {2, {7, 9}}, {8, {17, 15, 10, 6, -6, -10, -15, -17}}, {4, {9, 7, -7, -9}},
         {4, {8, 1, -1, -8}}, {8, {9, 7, -7, -9, 8, 1, -1, -8}}, {8, {9, 7, -7, -9, 8, 1, -1, -8}}},
        {{0, {}}, {2, {-7, -9}}, {8, {17, 15, 10, 6, -6, -10, -15, -17}}, {4, {9, 7, -7, -9}},
         {4, {8, 1, -1, -8}}, {8, {9, 7, -7, -9, 8, 1, -1, -8}}, {8, {9, 7, -7, -9, 8, 1, -1, -8}}}};
    for (int side = White; side <= Black; ++side)
        for (int type = Pawn; type <= King; ++type)
            for (Square s = 0; s < 64; ++s) {
                Bitboard targets = 0;
                for (int k = 0; k < byType[side][type].count; ++k) {
                    int t = s + byType[side][type].offset[k];
                    // a file distance of 3 or more means the step wrapped across the edge
                    if (t >= 0 && t <= 63 && std::abs(FileOf(t) - FileOf(s)) < 3)
                        targets |= SetMask[t];
                }
                StepTargets[8 * side + type][s] = targets;
            }
}

void InitFileSpans() {
    for (Square s = 0; s < 64; ++s) {
        FileSpan[0][s] = FileSpan[1][s] = 0;
        for (Square t = FileOf(s); t < 64; t += 8) {
            if (t < s)
                FileSpan[0][s] |= SetMask[t];
            else if (t > s)
                FileSpan[1][s] |= SetMask[t];
        }
    }
}

void InitFutilityMargins() {
    for (int depth = 1; depth <= 15; ++depth)
        for (int moveNumber = 0; moveNumber < 64; ++moveNumber)
            FutilityMargin[depth][moveNumber] =
                int32_t(std::trunc((std::log2(depth * depth / 2.0) + 1.001) * 112 - 8 * moveNumber + 45));
}

}  // namespace

int32_t NextRandom() {
    int32_t x = RandomState;
    int32_t t = 16807 * (x % 127773) - 2836 * (x / 127773);
    if (t <= 0)
        t += 2147483647;
    RandomState = t;
    return t;
}

uint64_t RandomKey() {
    uint64_t a = uint64_t(NextRandom()), b = uint64_t(NextRandom()), c = uint64_t(NextRandom());
    return a | (b << 31) | (c << 62);
}

void InitTables() {
    for (Square s = 0; s < 64; ++s) {
        SetMask[s] = Bitboard(1) << s;
        ClearMask[s] = ~SetMask[s];
    }
    for (Square s = 0; s < 64; ++s) {
        RookRays[s] = RookAttacks(s, 0) | SetMask[s];
        BishopRays[s] = BishopAttacks(s, 0) | SetMask[s];
    }
    InitStepAttacks();
    InitLines();
    InitZobrist();
    InitDistance();
    InitPawnMasks();
    InitStepTargets();
    InitFileSpans();
    InitFutilityMargins();
}
