// Syzygy endgame tables, read through the Fathom library: the exact result of
// every position of few pieces (WDL) and the distance to the next capture or
// pawn move (DTZ). Every call into the library goes through this module, under
// one lock: Debian's build of it has its own locks compiled out, and it maps a
// table on the first probe that needs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Types.h"

// A result for the side to move. A cursed win is a win that the fifty-move rule
// turns into a draw; a blessed loss, a loss it saves.
enum class TableResult : int { Loss = -2, BlessedLoss = -1, Draw = 0, CursedWin = 1, Win = 2 };

// The options that steer probing; written only while no search runs
struct TableSettings {
    int32_t probeDepth = 1;      // SyzygyProbeDepth: the least depth of a probe at the limit's piece count
    bool fiftyMoveRule = true;   // Syzygy50MoveRule: a cursed win (blessed loss) counts as a draw
    int32_t probeLimit = 7;      // SyzygyProbeLimit: the most pieces of a probed position
};
extern TableSettings TableOptions;

// Scores of table results, from the side to move's view: a band of their own,
// above every evaluation and below every mate score (beyond ±9900), so that a
// table win is never taken for a mate. A win found at ply p from the root
// scores TableWinValue − p; a cursed win or blessed loss counts as a draw plus
// or minus TableCursedValue while the fifty-move rule counts.
constexpr int TableWinValue = 9800;
constexpr int TableWinBound = TableWinValue - MaxSearchPlies;   // every table win scores at least this
constexpr int TableCursedValue = 1;

// Replaces the loaded tables with those found in the folders of `path`
// (separated by PathListSeparator; empty entries and "<empty>" are ignored).
// Each table file is checked (its size and its first four bytes) before the
// library may see it: a bad one is left out. Returns the "info string" lines to
// write: one per missing folder or bad file, then "Found N tablebases" or why
// there are none; nothing for an empty path after an empty one (the default).
// Called while no search runs.
std::vector<std::string> LoadTablebases(const std::string& path);

// The most pieces of any loaded table; 0 when none is loaded
int TablebasePieces();

// The most pieces the search probes: SyzygyProbeLimit within the loaded tables
int TableProbeLimit();

// The probe at a node below the root, on this thread's board: true, with the
// result, when the node may be probed and the tables know it. A node may be
// probed right after a capture or pawn move (fifty-move counter 0), with no
// castling right left, at most TableProbeLimit pieces, and a depth of at least
// SyzygyProbeDepth when the pieces equal that limit.
bool ProbeTablesInSearch(int depth, TableResult& result);

// The score of a result found at `ply` from the root, under Syzygy50MoveRule
int TableScore(TableResult result, int ply);

// The root moves the tables keep, for this thread's board: every legal move is
// ranked by DTZ, counting the fifty-move counter and, when `repeated`, that the
// position has occurred before; by WDL when a DTZ table is missing. Of the
// `candidates` (the root list: every legal move, or those of "searchmoves"),
// those of the best rank among them are kept, with the score that rank stands
// for. No moves when the root may not be probed (castling rights, more pieces
// than the tables) or a table is missing.
struct TableRootRanking {
    std::vector<Move> bestMoves;
    int32_t score = 0;   // TableWinValue − 1 for a win kept within the rule, near 0 for a draw
};
TableRootRanking RankRootMoves(bool repeated, const MoveList& candidates);

// What "d" adds for this thread's board while tables are loaded: the lines
// "Tablebases WDL: ..." and "Tablebases DTZ: ...", each with "Failed" when the
// tables cannot tell
std::vector<std::string> TablebaseLines();
