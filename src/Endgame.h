// Endgame recognisers: material classes, draws, mates and the
// king-and-pawn rules.
#pragma once

#include <cstdint>

constexpr int NoMaterialClass = -1;

// The material class (0..15) of a side, or NoMaterialClass
int MaterialClass(int side);

// White-relative value in, White-relative value out
int32_t EvalEndgame(int32_t v, int sideToMove);
