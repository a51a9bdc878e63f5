// Move ordering: the static exchange value of a capture, the ordering scores of
// the full-width, quiescence and root searches, and picking the next move.
#pragma once

#include <algorithm>

#include "Types.h"

constexpr int WindowBound = 32000;
constexpr int LosingMove = -24000;      // below this band: quiet moves by history, losing captures
constexpr int LateMoveScore = -20000;   // a move scored at or below it is searched late

// The material the side to move wins or loses by the capture m and the exchanges
// that follow on its square, each side stopping when taking on would lose
int StaticExchange(Move m, int side);

// The table's move first, then winning captures by gain, quiet checks, the
// killers of the ply, quiet moves by history and losing captures last
void ScoreMoves(Move hashMove, int ply, MoveList& list);
// Captures that lose more than a pawn, and quiet moves other than checks, score
// LosingMove: the quiescence search does not search them
void ScoreQuiescenceMoves(MoveList& list, Move tableMove);
// From depth 5 on, root moves by the nodes their subtrees took, the table's move first
void ScoreRootMoves(Move hashMove, MoveList& list);

// Swaps the best-scored move of slots i..count (the first on ties) into slot i and
// returns it; slot, when given, receives the slot it came from
inline Move PickNextMove(MoveList& list, int i, int* slot = nullptr) {
    // The highest score first (a loop the compiler vectorises), then its first slot
    int best = -WindowBound;
    for (int j = i; j <= list.count; ++j)
        best = std::max(best, list.scores[j]);
    int bestSlot = i;
    if (best > -WindowBound)
        while (list.scores[bestSlot] != best)
            ++bestSlot;
    std::swap(list.moves[i], list.moves[bestSlot]);
    std::swap(list.scores[i], list.scores[bestSlot]);
    if (slot)
        *slot = bestSlot;
    return list.moves[i];
}

inline Move PickNextRootMove(MoveList& list, int i, int& slot) { return PickNextMove(list, i, &slot); }
