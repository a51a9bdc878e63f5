// Make and unmake of moves and null moves, all incremental.
#pragma once

#include "Types.h"

void MakeMove(Move m);
void UnmakeMove();
// The first key of the position after m, without playing it
uint64_t Key1After(Move m);

void MakeNullMove();
void UnmakeNullMove();

// Not a pawn move, no capture, no castling
constexpr bool IsReversible(Move m) {
    return MovePiece(m) != Pawn && MoveCaptured(m) == 0 && MoveCastling(m) == 0;
}
