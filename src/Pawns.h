// Pawn structure: pawn values, isolated, doubled, backward, chain and
// candidate pawns, and the passed pawns and open files later terms read.
#pragma once

#include <cstdint>

// Per side, bit f set when the side has no pawn on file f
extern constinit thread_local uint8_t HalfOpenFiles[2];

// Adds the pawn terms of side (good for side) and records its passed pawns
void EvalPawns(int side);
