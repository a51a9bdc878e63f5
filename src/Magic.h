// Sliding-piece attacks by magic multiplication, with the attack sets shared
// between squares and numbered in order of first appearance.
#pragma once

#include <array>

#include "Parametres.h"

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

// Builds the attack-set tables; runs once at start-up before every other table.
void BuildMagicTables();

inline Bitboard BishopAttacks(Square s, Bitboard occupancy) {
    return BishopAttackSets[BishopIndex[s][((occupancy & BishopMask[s]) * BishopMagic[s]) >> BishopShift]];
}

inline Bitboard RookAttacks(Square s, Bitboard occupancy) {
    return RookAttackSets[RookIndex[s][((occupancy & RookMask[s]) * RookMagic[s]) >> RookShift]];
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

// Number of distinct attack sets the build stored
int BishopSetsUsed();
int RookSetsUsed();
