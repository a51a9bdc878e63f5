// The text form of moves and squares: reading and writing UCI moves, playing a
// list of them, and the moves after "searchmoves".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Types.h"

// (letter - 'a') + 8 x (digit - '1'), low 8 bits: no range check
int SquareFromText(std::string_view text);

std::string MoveToText(Move m);
// The word as a move of the current position, built without generating moves
Move MoveFromText(std::string_view word);
// The legal move of the current position the word names, or 0
Move FindLegalMove(std::string_view word);

// Plays the blank-separated moves; stops at the first word that is not a legal move
// (or when the state stack is full) and reports it with an "info string" line.
void PlayMoveText(const std::string& text);

constexpr int MaxSearchMoves = 100;
struct SearchMoveList {
    int32_t count;
    Move moves[MaxSearchMoves + 1];   // slots 1..count
};
// The legal moves the words name, in order; words that name none are skipped
void ReadSearchMoves(const std::string& text, SearchMoveList& searchMoves);
// Appends the moves to the list, after those it holds
void AppendSearchMoves(const SearchMoveList& searchMoves, MoveList& list);
