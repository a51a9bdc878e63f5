// Perft and divide: leaf counts of the legal move tree.
#pragma once

#include <cstdint>

// Leaves of the legal move tree `depth` plies below the position
uint64_t PerftNodes(int depth);
// The same count, writing at the root (the depth equal to rootDepth) one line per
// move with the count below it; rootMoveCount gets the number of root moves
uint64_t DivideNodes(int depth, int rootDepth, int32_t& rootMoveCount);
// "perft n": the count of every depth from 1 to n with the time since the command began
void RunPerftCommand(int n);
// "divide d": the count below every root move, the total and the number of root moves
void RunDivideCommand(int d);
