// Console input and output, the millisecond clock, string helpers, and the
// text form of moves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Parametres.h"

// Reads one line, trimmed of characters <= 32 at both ends. Returns false at
// end of input, on a read failure, or once the reader of the output has gone.
// Never reads past the line feed.
bool ReadLine(std::string& line);

// Writes text and one line feed with a single system call.
void WriteLine(std::string_view text);

std::string CopyFrom(const std::string& text, int index);    // 1-based index
std::string FirstWord(const std::string& text, int index);   // up to the first blank
std::string Trim(std::string_view text);
// The words of text, separated by runs of characters <= 32
std::vector<std::string_view> SplitWords(std::string_view text);
int Pos(std::string_view word, std::string_view text);        // 1-based, 0 if absent

// Strict decimal conversion to a signed 32-bit value; false on any other text
bool ParseInt32(std::string_view text, int32_t& value);

void InitClock();
uint64_t ClockMs();

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
