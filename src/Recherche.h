// The search: move ordering and static exchange, alpha-beta, quiescence, the
// root search with iterative deepening, time control and draws by rule.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "Parametres.h"

constexpr int MaxPly = 127;
constexpr int NoResult = -42000;       // a root search stopped before its first move was done
constexpr int WindowBound = 32000;

// Elapsed time at the last measurement; kept from one search to the next
extern std::atomic<uint64_t> LastElapsed;
// Helpers watch a node limit only once the main thread is past depth 2
extern std::atomic<bool> MainPastFirstIteration;

// Ordering
int StaticExchange(Move m, int side);
void ScoreMoves(Move hashMove, int ply, MoveList& list);
void ScoreQuiescenceMoves(MoveList& list);
// Swaps the best-scored move of slots i..count (the first on ties) into slot i and
// returns it; slot, when given, receives the slot it came from
Move PickNextMove(MoveList& list, int i, int* slot = nullptr);
Move PickNextRootMove(MoveList& list, int i, int& slot);
void ScoreRootMoves(Move hashMove, MoveList& list);

// Move tests of the full-width search
bool IsPawnToSeventh(Move m);
bool IsRecapture(Move m, int score);
bool IsPassedPawnPush(Move m);

// Full-width and quiescence search, from the side to move's point of view
int AlphaBeta(int alpha, int beta, int depth, bool pvNode);
// Principal-variation search of one child, already made: with the node's window
// (the first child of a PV node, every child elsewhere), or with a null window
// first and again with the full window when the value lands inside it. At the
// root the second search is marked as a re-search for the clock.
int SearchChild(int alpha, int beta, int newDepth, bool pvNode, bool fullWindow, bool atRoot);
bool NullMoveSearch(int beta, int depth, bool pvNode);
Move InternalDeepening(int alpha, int beta, int depth);
int Quiescence(int alpha, int beta, int qdepth);
bool CanWin();
bool IsCheckmated();
int MateDistancePrune(int& alpha, int& beta, int ply);
int FutilityMarginFor(int depth, int moveNumber);

// Root
void IterativeDeepening();
// A helper thread's search: the same root, iterations until StopSearch, no output;
// `helper` (1, 2, ...) staggers its first depth
void HelperIterativeDeepening(int helper);
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
