// Perft and divide: leaf counts of the legal move tree.
#pragma once

#include <cstdint>

extern int32_t DivideDepth;
extern int32_t DivideMoveCount;
extern uint64_t PerftNodeCount;

uint64_t PerftNodes(int depth);
uint64_t DivideNodes(int depth);
void RunPerftCommand(int n);
void RunDivideCommand(int d);
