// Sliding-piece attacks by magic multiplication, with the attack sets shared
// between squares and numbered in order of first appearance. Where the processor
// extracts bits fast, the occupancy's relevant bits index the attack sets directly.
#pragma once

#include <array>

#include "Types.h"

// First-generation Zen processors and Zen 2 have the instruction but run it in microcode
#if defined(__BMI2__) && !defined(__znver1__) && !defined(__znver2__)
#include <immintrin.h>
#define VARNOK_PEXT 1
#else
#define VARNOK_PEXT 0
#endif

constexpr int BishopShift = 55;
constexpr int RookShift = 52;
constexpr int BishopSetCapacity = 1428;
constexpr int RookSetCapacity = 4901;

extern const std::array<Bitboard, 64> BishopMask;
extern const std::array<Bitboard, 64> RookMask;
extern const uint64_t BishopMagic[64];
extern const uint64_t RookMagic[64];

extern Bitboard BishopAttackSets[BishopSetCapacity];
extern Bitboard RookAttackSets[RookSetCapacity];
extern uint16_t BishopIndex[64][513];   // set numbers stay below 2^16: half the cache lines of 32-bit ones
extern uint16_t RookIndex[64][4097];

// Builds the attack-set tables the lookups use; runs once at start-up before every other table.
void BuildMagicTables();

// One attack set per subset of each square's mask, square after square
constexpr int BishopExtractedSets = 5248;
constexpr int RookExtractedSets = 102400;
extern Bitboard BishopExtracted[BishopExtractedSets];
extern Bitboard RookExtracted[RookExtractedSets];
extern int32_t BishopExtractedStart[64];
extern int32_t RookExtractedStart[64];

inline Bitboard BishopAttacks(Square s, Bitboard occupancy) {
#if VARNOK_PEXT
    return BishopExtracted[BishopExtractedStart[s] + _pext_u64(occupancy, BishopMask[s])];
#else
    return BishopAttackSets[BishopIndex[s][((occupancy & BishopMask[s]) * BishopMagic[s]) >> BishopShift]];
#endif
}

inline Bitboard RookAttacks(Square s, Bitboard occupancy) {
#if VARNOK_PEXT
    return RookExtracted[RookExtractedStart[s] + _pext_u64(occupancy, RookMask[s])];
#else
    return RookAttackSets[RookIndex[s][((occupancy & RookMask[s]) * RookMagic[s]) >> RookShift]];
#endif
}

inline Bitboard QueenAttacks(Square s, Bitboard occupancy) {
    return BishopAttacks(s, occupancy) | RookAttacks(s, occupancy);
}

// Ray walkers: the slow way, for building tables
Bitboard SlowBishopAttacks(Square s, Bitboard occupancy);
Bitboard SlowRookAttacks(Square s, Bitboard occupancy);
Bitboard FileAttacks(Square s, Bitboard occupancy);
Bitboard RankAttacks(Square s, Bitboard occupancy);
Bitboard DiagonalAttacks(Square s, Bitboard occupancy);      // a1-h8 direction
Bitboard AntiDiagonalAttacks(Square s, Bitboard occupancy);  // h1-a8 direction

// Number of distinct attack sets the magic build stored (0 where bits are extracted)
int BishopSetsUsed();
int RookSetsUsed();
