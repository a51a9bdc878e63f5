// Playing at a chosen strength: the level the options UCI_LimitStrength,
// UCI_Elo and Skill Level choose, and what a level does with a search. A level
// spends a node budget that grows with it, searches its best few root moves
// with exact scores, and picks among them at random, a move being the less
// likely the more it gives up against the best; the draw is seeded, so the
// same game, position and level give the same move.
#pragma once

#include <cstdint>

#include "SearchControl.h"
#include "Types.h"

// The UCI_Elo range, as measured against stockfish's own levels
constexpr int LevelEloMin = 1350;
constexpr int LevelEloMax = 2050;
constexpr int LevelEloDefault = 1500;
constexpr int SkillLevelMax = 20;       // full strength
constexpr int FullStrength = 0;         // LevelElo() when no level plays

// The plan of the level that plays at `elo` on the UCI_Elo scale
LevelPlan PlanForElo(int elo);
// The UCI_Elo that a Skill Level below 20 stands for
int SkillLevelElo(int skill);
// The level the options choose: UCI_Elo when UCI_LimitStrength is on, else the
// Skill Level's, else FullStrength
int LevelElo();

// The options, their values already in range
void SetLimitStrength(bool on);
void SetLevelElo(int elo);
void SetSkillLevel(int skill);

// "go", before the search starts: the plan of the level the options choose
// for this search of the position with key `rootKey`, its node budget joining
// any node limit of the "go" line. The first search of a game moves the seed on.
void PlanLevelSearch(SearchLimits& limits, uint64_t rootKey, bool firstSearchOfGame);
// Once the search has ended and may answer: under a clock, waits a while as a
// person would (anything that ends the search ends the wait), then picks one
// of the search's last completed lines and makes it the session's answer.
// Does nothing when no level plays.
void PlayLevelLine(SearchSession& session);

// The pick itself: among `count` scores (best first, engine units), with a
// uniform draw in [0, 1); returns the index chosen
int ChooseLevelLine(const int* scores, int count, const LevelPlan& plan, double draw);
