// Bitboard primitives: counting, scanning and the pawn shifts.
#pragma once

#include <bit>

#include "Types.h"

constexpr Bitboard NotFileA = 0xfefefefefefefefeULL;
constexpr Bitboard NotFileH = 0x7f7f7f7f7f7f7f7fULL;

inline int PopCount(Bitboard b) { return std::popcount(b); }

// b must not be empty
inline int LowestSquare(Bitboard b) { return std::countr_zero(b); }

inline void SetBit(Bitboard& b, Square s) { b |= Bitboard(1) << s; }

// Removes and returns the lowest square of b (b not empty)
inline int PopLowest(Bitboard& b) {
    int s = std::countr_zero(b);
    b &= b - 1;
    return s;
}

inline Bitboard ShiftForward(int c, Bitboard b) { return c == White ? b << 8 : b >> 8; }
inline Bitboard ShiftForwardLeft(int c, Bitboard b) { return c == White ? b << 7 : b >> 9; }
inline Bitboard ShiftForwardRight(int c, Bitboard b) { return c == White ? b << 9 : b >> 7; }

// Pawn captures with the edge wrap removed
inline Bitboard PawnCapturesLeft(int c, Bitboard pawns) { return ShiftForwardLeft(c, pawns) & NotFileH; }
inline Bitboard PawnCapturesRight(int c, Bitboard pawns) { return ShiftForwardRight(c, pawns) & NotFileA; }
