// "bench": a fixed list of positions searched to a fixed depth. The total node
// count is the engine's signature: any change to what the search does shows in it.
#pragma once

#include <cstdint>

constexpr int BenchDefaultDepth = 8;

// Searches every position to depth with its own 16 MB table, a fresh search
// each, writes a line per position and the totals, and returns the nodes; the
// board and the table's size are as before afterwards
uint64_t RunBench(int depth);
