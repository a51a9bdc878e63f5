// Pawn structure: pawn values, isolated, doubled, backward, chain and
// candidate pawns, and the passed pawns and open files later terms read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "EvalTerms.h"

// The pawn terms of side (good for side); records its passed pawns and half-open files
Score EvalPawns(int side);

// White's pawn terms minus Black's, from this thread's pawn cache when the
// same pawns were seen before; sets PassedPawns and HalfOpenFiles either way
Score PawnStructure();

// Empties this thread's pawn cache
void ClearPawnCache();

// The slot of a pawn structure in the cache; many structures share one
size_t PawnCacheSlot(Bitboard white, Bitboard black);
