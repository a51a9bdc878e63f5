// The search: move ordering and static exchange, alpha-beta, quiescence, the
// root search with iterative deepening, time control and draws by rule.
#pragma once

#include <cstdint>
#include <string>

#include "Parametres.h"

constexpr int MaxPly = 127;
constexpr int NoResult = -42000;       // a root search stopped before its first move was done
constexpr int WindowBound = 32000;

// Counters and tables of the running search
extern uint64_t NodeCount;             // moves taken from the lists of full-width nodes
extern uint64_t QuiescenceNodeCount;   // moves taken from the lists of quiescence nodes
extern int32_t PollCounter;            // nodes since the clock was last read
extern Move KillerMoves[MaxSearchPlies + 1][2];   // [ply][0 newer, 1 older]
extern int32_t HistoryTable[15][64];   // [piece type OR side x 8][to-square]

// Root and iteration state
extern int32_t IterationDepth;
extern int32_t LastCompletedDepth;
extern Move PrincipalVariation[MaxSearchPlies + 1];  // [1..128], from the latest new best root move
extern int32_t PrincipalVariationLength;
extern Move BestLine[MaxSearchPlies + 1];            // [0] the move to play, [1] the expected reply
extern uint64_t RootNodes[MaxMoves + 1];             // nodes spent below the move picked from each root slot
extern Move RootBestMove;
extern int32_t RootBestScore;
extern bool NewBestFound;
extern int32_t RootMoveCount;
extern bool RootResearch;
extern bool FirstRootMoveDone;
extern uint64_t LastElapsed;

// When false the search writes no "info" lines (bench)
extern bool SearchOutput;

// Ordering
int StaticExchange(Move m, int side);
void ScoreMoves(Move hashMove, int ply, MoveList& list);
void ScoreQuiescenceMoves(MoveList& list);
Move PickNextMove(MoveList& list, int i);
Move PickNextRootMove(MoveList& list, int i, int& slot);
void ScoreRootMoves(Move hashMove, MoveList& list);

// Move tests of the full-width search
bool IsPawnToSeventh(Move m);
bool IsRecapture(Move m, int score);
bool IsPassedPawnPush(Move m);

// Full-width and quiescence search, from the side to move's point of view
int AlphaBeta(int alpha, int beta, int depth, bool pvNode);
bool NullMoveSearch(int beta, int depth, bool pvNode);
Move InternalDeepening(int alpha, int beta, int depth);
int Quiescence(int alpha, int beta, int qdepth);
bool CanWin();
bool IsCheckmated();
int MateDistancePrune(int& alpha, int& beta, int ply);
int FutilityMarginFor(int depth, int moveNumber);

// Root
void IterativeDeepening();
int RootSearch(int depth, int alpha, int beta);
// The root searched for the best `lines` moves, each with an exact score; an
// iteration that is stopped gives NoResult
int RootSearchLines(int depth, int lines);
void CollectPrincipalVariation(int depth, Move first, int score);
bool IsPlausibleMove(Move m);
// The legal move of the current position with m's squares and promotion, if m is plausible; else 0
Move LegalCounterpart(Move m);
// The "bestmove" line for the current position and BestLine
std::string BestMoveLine();
// " score cp X" or " score mate M" for a root score
std::string ScoreText(int score);

// Time control
void ComputeTimeBudget();
void PollClock();
void RootClockCheck();
void IterationClockCheck();
// "ponderhit" after elapsed ms: an early hit gives the whole budget again after
// it, a later one 1.5 budgets from the "go", a very late one nothing; the
// margin between budget and hard limit stays the same
void AdjustBudgetOnPonderHit(uint64_t elapsed);

// Draws by rule
int RepetitionCount(int limit);

// Hand-over between the command loop and a search holding back its result
void SignalSearchControl();            // after clearing Pondering or NoTimeLimit
void ExpectTimeBudget();               // before a search thread starts
void WaitForTimeBudget();              // returns once the running search has set its budget
void AnnounceTimeBudget();             // the budget is set (or no search will set one)

// "bench": a fixed set of positions searched to a fixed depth; writes the totals
uint64_t RunBench(int depth);
constexpr int BenchDefaultDepth = 8;
