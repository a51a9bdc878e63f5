// Legal move generation with the gives-check bit, attack and pin detection,
// and capture generation for the quiescence search.
#pragma once

#include "Types.h"

struct GenContext {
    int32_t from;
    int32_t to;
    int32_t epPawnSquare;
    int32_t promotion;
    int32_t rights;
    Bitboard checkSquares[7];   // by piece type: where a knight to queen of the mover attacks the enemy king
    Bitboard pinned;
    Bitboard discoverers;
    Bitboard targets;
};

// Exactly the legal moves of the side to move, in the fixed generation order
void GenerateLegal(MoveList& list);

// The number of legal moves, without building them
int CountLegalMoves();

// The legal captures of the side to move; not for use in check
void GenerateCaptures(MoveList& list);

bool KingAttacked(int colour);
// The squares of zone that colour attacks, with the other side's king lifted off the board
Bitboard AttackedSquares(int colour, Bitboard zone);
Bitboard PinnedPieces(int kingColour, int pieceColour);
Bitboard EvasionMask();
void FillCheckContext(GenContext& context);
bool GivesCheck(Move m, const GenContext& context);

// Squares of the pieces that give check to the side to move
Bitboard Checkers();
