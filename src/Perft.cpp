#include "Perft.h"

#include <string>

#include "Console.h"
#include "MakeMove.h"
#include "MoveGen.h"
#include "MoveText.h"

// The generator is legal, so the last ply is counted without being played
uint64_t PerftNodes(int depth) {
    if (depth == 0)
        return 1;
    if (depth == 1)
        return uint64_t(CountLegalMoves());
    MoveList list;
    GenerateLegal(list);
    if (list.count == 0)
        return 0;
    uint64_t nodes = 0;
    for (int i = 1; i <= list.count; ++i) {
        MakeMove(list.moves[i]);
        nodes += PerftNodes(depth - 1);
        UnmakeMove();
    }
    return nodes;
}

uint64_t DivideNodes(int depth, int rootDepth, int32_t& rootMoveCount) {
    if (depth == 0)
        return 1;
    MoveList list;
    GenerateLegal(list);
    const bool atRoot = depth == rootDepth;
    if (atRoot)
        rootMoveCount = list.count;
    if (depth == 1 || list.count == 0)
        return uint64_t(list.count);
    uint64_t nodes = 0;
    for (int i = 1; i <= list.count; ++i) {
        MakeMove(list.moves[i]);
        uint64_t before = nodes;
        nodes += DivideNodes(depth - 1, rootDepth, rootMoveCount);
        if (atRoot)
            WriteLine(MoveToText(list.moves[i]) + " noeuds " + std::to_string(nodes - before));
        UnmakeMove();
    }
    return nodes;
}

void RunPerftCommand(int n) {
    const uint64_t start = ClockMs();
    for (int depth = 1; depth <= n; ++depth) {
        const uint64_t nodes = PerftNodes(depth);
        const uint64_t elapsed = ClockMs() - start;
        // The engine's own words, as tools that read its counts expect them
        WriteLine("prof : " + std::to_string(depth) + " noeuds " + std::to_string(nodes) + "   time "
                  + std::to_string(elapsed) + " ms");
    }
}

void RunDivideCommand(int d) {
    int32_t rootMoveCount = 0;
    const uint64_t nodes = DivideNodes(d, d, rootMoveCount);
    WriteLine("prof : " + std::to_string(d) + " noeuds " + std::to_string(nodes));
    WriteLine("nb moves : " + std::to_string(rootMoveCount));
}
