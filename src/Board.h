// The board as a whole: setting it up from a FEN and a move list, writing it
// back as a FEN or a diagram, and its keys from scratch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Types.h"

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The largest halfmove clock and full-move number a FEN may give: far beyond
// any real game, small enough that no counter derived from them can overflow
constexpr int32_t MaxFenClock = 10000;

// UCI_Chess960: the FENs read from now on follow Fischer-random castling, their
// rights given in Shredder-FEN or X-FEN; the positions already set up keep their rules
extern bool Chess960Option;

// Resets every field of the position.
void ClearPosition();

// Replaces the position with the one the FEN describes. On a malformed or
// impossible FEN the position is left untouched and false is returned, with
// the reason in error. Missing fields after the placement read as "w - - 0 1".
bool ReadFen(std::string_view text, std::string& error);

// The FEN of the current position.
std::string WriteFen();

// Sets up the FEN, then plays the blank-separated moves. A refused FEN keeps the
// position as it was and is reported with one "info string" line; so is the first
// move that cannot be played, which ends the list.
void SetUpPosition(std::string_view fen, const std::string& moves);

// The board as White sees it, the FEN, both keys and the pieces giving check
void ShowBoard();

// Both keys computed from scratch, as the incremental keys are: the pieces and the side
// key, and in Fischer-random chess the usable castling rights
void ComputeKeys(uint64_t& key1, uint64_t& key2);
