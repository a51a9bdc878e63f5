// The search: alpha-beta, quiescence, the root search with iterative
// deepening, and draws by rule.
#pragma once

#include <cstdint>
#include <string>

#include "MoveOrder.h"
#include "SearchControl.h"
#include "Types.h"

constexpr int MaxPly = 127;
constexpr int NoResult = -42000;       // a root search stopped before its first move was done

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

// Lines reported per iteration; the option sets it while no search runs
extern int32_t MultiPV;

// Root. The entry points below bind the calling thread to the session they are
// given; everything else works on the thread's session (Session()).
// Steps 1 to 5 of a search of this thread's position under the session's
// limits: the budget, fresh tables, then iterations until a limit or a stop.
// The session's lines and answer hold what it found.
void IterativeDeepening(SearchSession& session);
// Steps 6 to 9, once the other search threads have stopped: the closing lines,
// then the answer held back while pondering or analysing
void ConcludeSearch(SearchSession& session);
// What a search answers: its score line (empty when the last result line showed
// it) and the "bestmove" line
struct SearchAnswer {
    std::string AnswerScoreText;
    std::string BestMoveText;
};
// Step 10: the answer from the session's BestLine (or, without one, a move of
// the position's own)
SearchAnswer ComposeAnswer(SearchSession& session);
// A helper thread's search: the same root, iterations until StopSearch, no output;
// `helper` (1, 2, ...) staggers its first depth
void HelperIterativeDeepening(SearchSession& session, int helper);
int RootSearch(int depth, int alpha, int beta);
// The root searched for the best `lines` moves, each with an exact score; an
// iteration that is stopped gives NoResult
int RootSearchLines(int depth, int lines);
void CollectPrincipalVariation(int depth, Move first, int score);
bool IsPlausibleMove(Move m);
// The legal move of the current position with m's squares and promotion, if m is plausible; else 0
Move LegalCounterpart(Move m);
// The "bestmove" line for the current position and the session's BestLine
std::string BestMoveLine(SearchSession& session);
// " score cp X" or " score mate M" for a root score
std::string ScoreText(int score);

// Draws by rule
int RepetitionCount(int limit);

