// Static evaluation from the side to move's point of view: the driver, piece
// activity, king safety, threats, passed pawns and the pawn race.
#pragma once

#include <array>
#include <cstdint>

#include "Parametres.h"

// A middlegame/endgame pair.
struct Score {
    int32_t mg;
    int32_t eg;
};

// A table by square, written in the source with rank 8 on top as a board is printed
using SquareTable = std::array<int32_t, 64>;
constexpr SquareTable FromPrinted(const SquareTable& printed) {
    SquareTable bySquare{};
    for (int s = 0; s < 64; ++s)
        bySquare[s] = printed[s ^ 56];
    return bySquare;
}

// Endgame value of a king by square (the same for both colours); the
// recognisers read it too
extern const SquareTable KingEg;

// Group weights in 256ths, by group
enum WeightGroup : int { MobilityWeight = 1, PawnWeight, PassedWeight, SpaceWeight, OwnKingWeight, TheirKingWeight };
inline constexpr Score Weights[7] = {{0, 0}, {252, 344}, {233, 201}, {216, 266}, {46, 0}, {247, 0}, {259, 0}};

// value x weight / 256, truncated toward zero
constexpr int32_t ApplyWeight(int32_t value, int32_t weight) { return value * weight / 256; }

// Scratch state of one evaluation, reset by ResetEvalState at every call.
extern constinit thread_local int32_t ScoreMg;                  // White-relative once the driver is done
extern constinit thread_local int32_t ScoreEg;
extern constinit thread_local int32_t MobilityMg;
extern constinit thread_local int32_t MobilityEg;
extern constinit thread_local Bitboard PassedPawns;             // both sides; only the front pawn of a file
extern constinit thread_local int32_t KingAttackersCount[2];    // by attacking side
extern constinit thread_local int32_t KingAttackersWeight[2];
extern constinit thread_local int32_t KingAdjacentAttacks[2];
extern constinit thread_local int32_t ScaleFactor[2];           // 64ths, used when that side is ahead
extern constinit thread_local Bitboard AttackedBy[2][7];        // [0] all, then by piece type 1..6
extern constinit thread_local Bitboard KingZone[2];             // zone of the enemy king, by attacking side
extern constinit thread_local Bitboard MobilityArea;            // for the side whose pieces are being scored
extern constinit thread_local int32_t EndgameScale;             // the scale chosen for the blend

// Danger to the king of a side by danger index; built once per search
extern constinit thread_local int32_t KingDanger[2][101];

// Value of the current position for the side to move
int32_t Evaluate();

// Builds the king-danger rows for a search whose root side is rootSide
void InitKingDangerTable(int rootSide);

// 128 with (nearly) all pieces on .. 0 with 3998 or less piece material left
int32_t GamePhase();

void ResetEvalState();

// Knights, bishops, rooks and queens of side, then AttackedBy[side][0]
void EvalPieces(int side);

// King square, shelter and danger of side us, with sign
void EvalKing(int us);

// Pawns in front of a king on its first four ranks
int32_t PawnShelter(int us, int kingSquare);

void EvalThreats(int us);
void EvalPassedPawns(int us);
void EvalPawnRace();

// Space advantage of side s: safe central squares, counted twice behind its pawns
int32_t Space(int s);

// The "eval" console command: a breakdown of the current position and its value
void RunEvalCommand();
