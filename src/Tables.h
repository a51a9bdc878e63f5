// Start-up tables: masks, lines, distances, steps, futility margins and the hash keys.
#pragma once

#include "Types.h"

// The two independent sets of hash keys, from a fixed-seed generator
struct ZobristSet {
    uint64_t side;
    uint64_t ep[64];
    uint64_t castle[2][2];  // mixed into a key only in Fischer-random chess
    uint64_t piece[2][7][64];
};

extern ZobristSet Zobrist1;
extern ZobristSet Zobrist2;


inline constexpr Bitboard FileMask[8] = {
    0x0101010101010101ULL << 0, 0x0101010101010101ULL << 1, 0x0101010101010101ULL << 2,
    0x0101010101010101ULL << 3, 0x0101010101010101ULL << 4, 0x0101010101010101ULL << 5,
    0x0101010101010101ULL << 6, 0x0101010101010101ULL << 7};
inline constexpr Bitboard RankMask[8] = {
    0xFFULL << 0, 0xFFULL << 8, 0xFFULL << 16, 0xFFULL << 24,
    0xFFULL << 32, 0xFFULL << 40, 0xFFULL << 48, 0xFFULL << 56};

extern Bitboard SetMask[64];
extern Bitboard ClearMask[64];
extern Bitboard RookRays[64];
extern Bitboard BishopRays[64];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard PawnAttacks[2][64];
extern Bitboard Segment[64][64];
extern Bitboard RayThrough[64][64];
extern int32_t Distance[64][64];
extern Bitboard ForwardRanks[2][8];
extern Bitboard AdjacentFiles[8];
extern Bitboard FileAndAdjacent[8];
extern Bitboard ForwardFile[2][64];
extern Bitboard AttackSpan[2][64];
extern Bitboard PassedMask[2][64];
extern Bitboard FileSpan[2][64];
extern Bitboard SpaceMask[2];
extern Bitboard StepTargets[16][64];      // row 8 x side + piece type
extern int32_t FutilityMargin[16][64];    // [depth 1..15][move number 0..63]

// Castling squares of standard chess per colour, index 0 king-side, 1 queen-side.
// The destinations are those of Fischer-random chess too.
inline constexpr int CastleKingTo[2][2] = {{6, 2}, {62, 58}};
inline constexpr int CastleRookFrom[2][2] = {{7, 0}, {63, 56}};
inline constexpr int CastleRookTo[2][2] = {{5, 3}, {61, 59}};
inline constexpr int KingOrigin[2] = {4, 60};

// The keys of a set of castling rights (bit 0 king-side, bit 1 queen-side, per colour)
inline uint64_t RightsKey(const ZobristSet& keys, const uint8_t rights[2]) {
    uint64_t key = 0;
    for (int side = White; side <= Black; ++side)
        for (int kind = 0; kind < 2; ++kind)
            if (rights[side] & (1 << kind))
                key ^= keys.castle[side][kind];
    return key;
}

// Builds every table above and both key sets; runs once after BuildMagicTables.
void InitTables();

// Park-Miller minimal standard generator (Schrage's form); state seeded with 1 by InitTables
int32_t NextRandom();
uint64_t RandomKey();
extern int32_t RandomState;
