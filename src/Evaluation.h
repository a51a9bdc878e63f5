// Static evaluation from the side to move's point of view: the driver, piece
// activity, king safety, threats, passed pawns and the pawn race.
#pragma once

#include <cstddef>
#include <cstdint>

#include "EvalTerms.h"

// Value of the current position for the side to move
int32_t Evaluate();

// The sums after each step of the driver, as the "eval" command prints them
enum TraceStage : int {
    StagePawns, StagePieces, StageKing, StageThreats, StagePassed, StageRace,
    StageSpace, StageMobility, StageImbalance, StageTempo, StageCount
};

struct EvalTrace {
    Score sums[StageCount];   // White-relative
    Score mobility;           // White's minus Black's, unweighted
    int32_t phase;
    int32_t scale;
    int32_t blended;          // White-relative, rounded, before the recognisers
    int32_t final;            // White-relative
};

// Evaluate, recording each step
int32_t EvaluateTraced(EvalTrace& trace);

// Builds the king-danger rows for a search whose root side is rootSide, and
// empties this thread's caches after a new game
void InitKingDangerTable(int rootSide);

// A new game: every thread empties its evaluation caches before its next search or "eval"
void ClearEvalCaches();

// Empties this thread's evaluation caches now
void ClearThreadEvalCaches();

// 128 with (nearly) all pieces on .. 0 with 3998 or less piece material left
int32_t GamePhase();

void ResetEvalState();

// The terms of one side, good for that side. EvalPieces also fills
// AttackedBy[side] and PieceMobility[side], which the later terms read.
Score EvalPieces(int side);
Score EvalKing(int us);
Score EvalThreats(int us);
Score EvalPassedPawns(int us);

// Pawns in front of a king on its first four ranks
int32_t PawnShelter(int us, int kingSquare);

// White-relative: the side whose passed pawn promotes clearly first against a bare king
Score EvalPawnRace();

// Space advantage of side s: safe central squares, counted twice behind its pawns
int32_t Space(int s);

// The number of pawns, knights, bishops, rooks and queens of both sides, six
// bits each (no count reaches 64), with a top bit that no empty slot has:
// the key of the material cache
uint64_t MaterialKey();

// The slot of a material key in the cache; many keys share one
size_t MaterialCacheSlot(uint64_t key);

// Material imbalance of side us (good for us), in 16ths of the value added to both sums
int32_t Imbalance(int us);

// The "eval" console command: a breakdown of the current position and its value
void RunEvalCommand();
