// One search as a record: what its "go" asked, its clock and time budget, the
// flags through which the command loop and the search threads talk while it
// runs, and what it found (its root lines and its answer). The "go" handler
// makes one, the thread pool owns it for the length of the search, and every
// thread that searches it reaches it through its own record.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "MoveText.h"
#include "Thread.h"
#include "Types.h"

// What a level asks of one search and how it chooses afterwards
struct LevelPlan {
    uint64_t nodes;       // node budget of a move
    int lines;            // root moves it searches with exact scores and chooses among
    int temperature;      // centipawns given up that make a move e times less likely than the best
    int maxLoss;          // centipawns: a move that gives up more is never chosen
};

// A level's part of a search. The search reads only the number of lines; the
// node budget has joined the node limit, and the rest serves the choice made
// once the search has ended.
struct LevelOrder {
    bool active = false;
    LevelPlan plan{};
    bool pauseUnderClock = false;   // under a clock the answer waits a while, as a person's would
    double choiceDraw = 0;          // uniform draws in [0, 1): which line, how long a pause
    double pauseDraw = 0;
};

// What a "go" asks
struct SearchLimits {
    int32_t WhiteTime = 0;           // ms left on the clocks; a "go" without them keeps the last ones
    int32_t BlackTime = 0;
    int32_t WhiteIncrement = 0;
    int32_t BlackIncrement = 0;
    int32_t MovesToGo = 30;          // moves to the next time control, this one included
    int32_t DepthLimit = MaxSearchPlies;
    uint64_t NodeLimit = 0;          // "nodes"; 0 when absent, as the three below
    int32_t MoveTimeLimit = 0;       // "movetime", ms
    int32_t MateLimit = 0;           // "mate", in moves
    bool Infinite = false;           // the answer waits for "stop"
    bool Ponder = false;             // the answer waits for "ponderhit" or "stop"
    bool Untimed = false;            // "infinite", "ponder" or "depth": the clock never stops the search
    bool ClockBudgetApplies = true;  // false when only movetime, nodes or mate limit the search
    bool SearchMovesActive = false;  // the root searches SearchMoves only
    SearchMoveList SearchMoves{};
    LevelOrder Level{};              // playing at a chosen strength
};

// Root lines each iteration searches with exact scores: the lines shown, or
// more when a level chooses among more
inline int SearchedLines(const SearchLimits& limits, int shownLines) {
    return limits.Level.active && limits.Level.plan.lines > shownLines ? limits.Level.plan.lines : shownLines;
}

// A root move's score and its line, as a search with several lines keeps them
struct RootLine {
    int score;
    int length;
    Move pv[MaxSearchPlies + 1];
};

// What the last result line written showed of the best move, so that the
// answer's own line is not written twice
struct ShownResult {
    Move move;
    int32_t depth;
    int32_t score;
};

// Its arrays of lines are large and written before they are read: make one
// with NewSearchSession, which leaves them as they are
struct SearchSession {
    SearchLimits Limits;
    int32_t GameSearchCount = 0;     // searches of this game before this one: the first two get more time

    // The clock. Elapsed time at the last measurement starts from the previous
    // search's: the first progress lines of a search follow a long one at once.
    std::atomic<uint64_t> SearchStartTime{0};   // the clock runs from here
    std::atomic<uint64_t> MoveTimeStart{0};     // the fixed time per move runs from here: "go" or "ponderhit"
    std::atomic<uint32_t> TimeBudget{0};        // ms: the normal thinking time
    std::atomic<uint32_t> TimeMaximum{0};       // ms: the hard limit
    std::atomic<uint64_t> LastElapsed{0};

    // Polled by both sides while the search runs
    std::atomic<bool> StopSearch{false};       // every node returns at once
    std::atomic<bool> Pondering{false};        // the answer is held until "ponderhit" or "stop"
    std::atomic<bool> NoTimeLimit{false};      // the clock never stops the search; the answer is held
    std::atomic<bool> InfiniteSearch{false};   // the answer is held until "stop"
    std::atomic<bool> Searching{false};        // the clock checks act only while it is set
    std::atomic<bool> MainPastFirstIteration{false};   // helpers watch a node limit only from then on
    std::atomic<bool> Halted{false};           // "stop", "go", "quit" or anything else that ends the search

    // The node counters of the threads that search it; none for a thread that searches alone
    std::span<const NodeCounters> Counters;

    // What it found, written by the thread that answers: the lines of the
    // iteration under way and of the last completed one (searches of several
    // lines), and the line to answer with, with its iteration and score
    RootLine RootLines[MaxMoves + 1];
    int RootLineCount = 0;
    RootLine CompletedLines[MaxMoves + 1];
    int CompletedLineCount = 0;
    Move BestLine[MaxSearchPlies + 1]{};   // [0] the move to play, [1] the expected reply
    int32_t AnswerDepth = 0;
    int32_t AnswerScore = 0;
    ShownResult LastShownBest{};

    // Hand-over between the command loop and a search holding back its result
    std::mutex ControlMutex;
    std::condition_variable ControlChanged;
    bool BudgetReady = true;   // under ControlMutex
};

// A session default-initialised, as std::make_unique_for_overwrite makes one
// (which the libc++ of the WebAssembly toolchain does not have yet)
inline std::unique_ptr<SearchSession> NewSearchSession() { return std::unique_ptr<SearchSession>(new SearchSession); }

// The search this thread works on
inline SearchSession& Session() { return *ThisThread.Session; }

// Nodes of every thread of the session (for a thread that searches alone, its own)
uint64_t SearchedNodes();
// Endgame-table hits of every thread of the session, in the same way
uint64_t SearchedTableHits();

// Hand-over between the command loop and a search holding back its result
void SignalSearchControl(SearchSession& session);   // after clearing Pondering, NoTimeLimit or InfiniteSearch
void ExpectTimeBudget(SearchSession& session);      // before a search thread starts
void WaitForTimeBudget(SearchSession& session);     // returns once the search has set its budget
void AnnounceTimeBudget(SearchSession& session);    // the budget is set (or no search will set one)
void WaitWhileHeld(SearchSession& session);         // returns once the answer may be given
// Everything that ends a search: the hold-back flags cleared, the stop set,
// and anything waiting on the session woken (a level's pause included)
void HaltSession(SearchSession& session);
// Waits up to ms, or until the session is halted; a level's pause before its answer
void PauseUnlessHalted(SearchSession& session, uint64_t ms);

// Where the engine has one thread (Platform.h: SingleThreaded) the command loop
// cannot read while a search runs. The search calls the console service instead:
// at its clock checks (every ConsoleServiceMs at most, so that no node count
// changes) and while it waits (holding its answer, a level's pause). The front
// end sets the service; with threads it is never called.
using ConsoleService = void (*)();
void SetConsoleService(ConsoleService service);
void ServeConsoleDuringSearch();
constexpr int ConsoleServiceMs = 20;
