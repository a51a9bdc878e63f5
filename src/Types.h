// Shared vocabulary of the engine: squares, pieces, the move word, the move
// list, the one global position and the hash-key sets.
#pragma once

#include <cstdint>

using Bitboard = uint64_t;
using Move = uint32_t;   // 0 = no move
using Square = int;

enum Colour : int { White = 0, Black = 1 };
enum PieceType : int { Empty = 0, Pawn = 1, Knight = 2, Bishop = 3, Rook = 4, Queen = 5, King = 6 };

// Extra indices of Position.pieces[colour][...]
constexpr int BishopsQueens = 7;
constexpr int RooksQueens = 8;
constexpr int AllPieces = 9;

inline constexpr int PieceValue[7] = {0, 198, 817, 836, 1270, 2521, 10000};
inline constexpr int PhaseWeight[7] = {0, 0, 1, 1, 2, 4, 0};

constexpr int MateValue = 10000;
// Scores in engine units to the centipawns that score lines show
constexpr int CentipawnsOf(int units) { return units * 100 / 208; }
constexpr int NoValue = 30002;

// The state stack holds a full game as a GUI may send it plus the deepest search line.
constexpr int MaxGamePlies = 1024;
constexpr int MaxSearchPlies = 128;
constexpr int StateCount = MaxGamePlies + 2 * MaxSearchPlies + 1;

struct StateRecord {
    uint8_t castling[2];    // bit 0 king-side, bit 1 queen-side
    // The rights that can still be exercised: a rook taken on its square loses its
    // right here, so that another rook reaching that square never castles
    uint8_t usableCastling[2];
    int32_t epSquare;       // 0 = none
    int32_t halfmoveClock;
    uint8_t inCheck;
    Move move;              // move that led here; 0 at the root and after a null move
    uint64_t key1;
    uint64_t key2;
};

// How castling goes in a position, fixed by the FEN reader for the whole game:
// where each castling rook starts, the squares that must be empty and the squares
// the king crosses. In standard chess: the corners, and the king from e1 or e8.
struct CastlingRules {
    Square rookFrom[2][2];       // [colour][0 king-side, 1 queen-side]
    Bitboard mustBeEmpty[2][2];  // between king, rook and their destinations, but for those two
    Bitboard kingPath[2][2];     // the king's start, destination and the squares between: none attacked
    // Fischer-random chess: a castling is written as the king taking its own rook,
    // and the usable rights enter the keys
    bool chess960;
};

struct PositionRecord {
    int32_t plyCounter;
    int32_t stateIndex;
    int32_t sideToMove;
    int32_t kingSquare[2];
    int32_t board[64];      // piece type per square; colour comes from the bitboards
    int32_t material[2];    // knights, bishops, rooks and queens only
    int32_t phase;
    Bitboard occupied;
    Bitboard pieces[2][10]; // [colour][1..6 type, 7 B+Q, 8 R+Q, 9 all]
    StateRecord states[StateCount];
    CastlingRules castlingRules;
};

// Move word layout
constexpr int MoveFrom(Move m) { return int(m & 63); }
constexpr int MoveTo(Move m) { return int((m >> 6) & 63); }
constexpr int MovePiece(Move m) { return int((m >> 12) & 7); }
constexpr int MoveCaptured(Move m) { return int((m >> 15) & 7); }
constexpr int MovePromotion(Move m) { return int((m >> 18) & 7); }
constexpr int MoveEpPawn(Move m) { return int((m >> 21) & 63); }
constexpr int MoveCastling(Move m) { return int((m >> 27) & 3); }
constexpr bool MoveGivesCheck(Move m) { return (m >> 29) & 1; }
constexpr int MoveRights(Move m) { return int(m >> 30); }
constexpr Move CheckBit = Move(1) << 29;

// Two words that name the same move in UCI text: squares and promotion
constexpr bool SameMoveText(Move a, Move b) {
    return MoveFrom(a) == MoveFrom(b) && MoveTo(a) == MoveTo(b) && MovePromotion(a) == MovePromotion(b);
}

constexpr Move PackMoveWord(int from, int to, int piece, int captured, int promotion,
                            int epPawn, int castling, int rights) {
    return Move(from) | Move(to) << 6 | Move(piece) << 12 | Move(captured) << 15
         | Move(promotion) << 18 | Move(epPawn) << 21 | Move(castling) << 27
         | Move(rights) << 30;
}

// Moves stand in slots 1..count; the ordering score of slot i is scores[i].
constexpr int MaxMoves = 511;   // 218 is the most any legal position has; 16 men can never reach 512

struct MoveList {
    int32_t count;
    Move moves[MaxMoves + 1];
    int32_t scores[MaxMoves + 1];
};

constexpr int RelativeSquare(int side, int square) { return side == White ? square : square ^ 56; }
constexpr int FileOf(int square) { return square & 7; }
constexpr int RankOf(int square) { return square >> 3; }

