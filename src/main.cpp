// Program entry: start-up, the command loop and the handlers of its commands.
#include "main.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Bench.h"
#include "Board.h"
#include "Console.h"
#include "Evaluation.h"
#include "Magic.h"
#include "MoveText.h"
#include "Options.h"
#include "Perft.h"
#include "SearchControl.h"
#include "Strength.h"
#include "Tablebases.h"
#include "Tables.h"
#include "Text.h"
#include "Thread.h"
#include "ThreadPool.h"
#include "TimeControl.h"
#include "TranspositionTable.h"

namespace {

constexpr const char* Banner = "Varnok 3.7.1 by Brannock";

// The number after a "go" keyword; false when the keyword is absent or its value
// malformed. A keyword counts wherever it stands in the line, and its first
// occurrence is the one read: "go ponder" is also "go ponderhit"'s ponder.
bool GoValue(const std::string& line, const std::string& keyword, int32_t& value) {
    return Contains(line, keyword) && ParseInt32(WordAfter(line, keyword), value);
}

// A node count after a "go" keyword, which may pass 32 bits
bool GoCount(const std::string& line, const std::string& keyword, uint64_t& value) {
    if (!Contains(line, keyword))
        return false;
    const std::string word = WordAfter(line, keyword);
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size() && !word.empty();
}

// "movetime", "nodes" and "mate": limits that UCI tools use beside the clock.
// Returns true when one of them is given with a usable value.
bool ReadToolLimits(const std::string& line, SearchLimits& limits) {
    int32_t value;
    bool given = false;
    if (GoValue(line, "movetime", value) && value >= 0) {
        limits.MoveTimeLimit = std::max(value, 1);
        given = true;
    }
    if (uint64_t nodes; GoCount(line, "nodes", nodes)) {
        limits.NodeLimit = std::max<uint64_t>(nodes, 1);
        given = true;
    }
    if (GoValue(line, "mate", value) && value > 0) {
        limits.MateLimit = std::min(value, MaxSearchPlies / 2);   // longer mates lie beyond the deepest search
        given = true;
    }
    return given;
}

// What a "go" line asks. Each keyword is found anywhere in the line; the clock
// values of the last "go" stand where the line gives none.
SearchLimits ReadGoLimits(const std::string& line, const SearchLimits& last) {
    SearchLimits limits;
    limits.WhiteTime = last.WhiteTime;
    limits.BlackTime = last.BlackTime;
    limits.WhiteIncrement = last.WhiteIncrement;
    limits.BlackIncrement = last.BlackIncrement;

    int32_t value;
    bool clockFields = false;
    limits.Ponder = Contains(line, "ponder");
    if (GoValue(line, "wtime", value)) {
        limits.WhiteTime = value;
        clockFields = true;
    }
    if (GoValue(line, "btime", value)) {
        limits.BlackTime = value;
        clockFields = true;
    }
    limits.Infinite = Contains(line, "infinite");
    if (GoValue(line, "depth", value)) {
        limits.DepthLimit = value;
        limits.Untimed = true;
    }
    if (GoValue(line, "winc", value)) {
        limits.WhiteIncrement = value;
        clockFields = true;
    }
    if (GoValue(line, "binc", value)) {
        limits.BlackIncrement = value;
        clockFields = true;
    }
    // The count includes the move to be played now; at least one move is always left
    if (GoValue(line, "movestogo", value)) {
        limits.MovesToGo = int32_t(std::clamp<int64_t>(int64_t(value) + 1, 1, INT32_MAX));
        clockFields = true;
    }
    if (Contains(line, "searchmoves")) {
        // The moves are read from right after the keyword, to the end of the line
        ReadSearchMoves(TextRightAfter(line, "searchmoves"), limits.SearchMoves);
        // A list without one legal move restricts nothing
        limits.SearchMovesActive = limits.SearchMoves.count > 0;
    }
    limits.Untimed = limits.Untimed || limits.Ponder || limits.Infinite;
    // Clock values of earlier "go" lines play no part in a search that a tool limits otherwise
    limits.ClockBudgetApplies = !ReadToolLimits(line, limits) || clockFields;
    return limits;
}

// A new search of the board: what the line asks, the clock from now, and a
// level's plan when one plays
void HandleGo(const std::string& line) {
    const uint64_t arrival = ClockMs();
    SearchThreads.HaltSearch();
    auto session = NewSearchSession();
    session->SearchStartTime = ClockMs();
    session->MoveTimeStart = arrival;
    session->Limits = ReadGoLimits(line, SearchThreads.CurrentSession().Limits);
    PlanLevelSearch(session->Limits, CurrentState().key1, SearchThreads.GameSearchCount() == 0);
    SearchThreads.StartSearch(std::move(session));
}

void HandlePonderHit() {
    SearchSession& session = SearchThreads.CurrentSession();
    WaitForTimeBudget(session);
    AdjustBudgetOnPonderHit(session, ClockMs() - session.SearchStartTime.load());
    session.MoveTimeStart = ClockMs();   // the fixed time per move runs from the hit
    session.Pondering = false;
    session.NoTimeLimit = false;
    SignalSearchControl(session);
}

// "setoption": the table is never resized or cleared under a running search
void HandleSetOption(const std::string& line) {
    SearchThreads.HaltSearch();
    SetOption(line);
}

void HandleNewGame() {
    SearchThreads.HaltSearch();
    SearchThreads.NewGame();
    ClearHash();
    ClearEvalCaches();
}

// "bench" or "bench N"; a malformed or non-positive depth writes nothing
void RunBenchLine(const std::string& line) {
    int32_t depth = BenchDefaultDepth;
    if (line != "bench" && !(ParseInt32(RestAfter(line, "bench"), depth) && depth >= 1))
        return;
    SearchThreads.HaltSearch();
    RunBench(std::min(depth, int32_t(MaxSearchPlies)));
}

// ---------------------------------------------------------------------------
// Console commands

void AnswerUci() {
    WriteLine("id name Varnok 3.7.1 32 bits");
    WriteLine("id author Brannock");
    ListOptions();
    WriteLine("uciok");
}

// A depth for perft or divide: a number of at least 1, anything else is ignored
bool ReadDepth(const std::string& text, int32_t& depth) {
    return ParseInt32(text, depth) && depth >= 1;
}

void RunPerftLine(const std::string& line) {
    int32_t depth;
    if (ReadDepth(WordAfter(line, "perft"), depth)) {   // "perft 3 x" counts to 3
        SearchThreads.HaltSearch();
        RunPerftCommand(depth);
    }
}

void RunDivideLine(const std::string& line) {
    int32_t depth;
    if (ReadDepth(RestAfter(line, "divide"), depth)) {   // the whole rest: "divide 3 x" is refused
        SearchThreads.HaltSearch();
        RunDivideCommand(depth);
    }
}

// "position startpos [moves ...]" or "position fen FEN [moves ...]"; true when
// the line is to be emptied. The FEN is the text between "fen" and "moves".
bool HandlePosition(const std::string& line) {
    const bool hasMoves = Contains(line, "moves");
    const std::string moves = TextRightAfter(line, "moves");
    if (Contains(line, "startpos")) {
        SetUpPosition(StartFen, moves);
        return true;
    }
    if (Contains(line, "fen")) {
        const std::string fen = hasMoves ? TextBetween(line, "fen", "moves") : RestAfter(line, "fen");
        SetUpPosition(fen, moves);
        return true;
    }
    return false;
}

// Runs the tests of one pass, in their fixed order; returns false on "quit"
bool HandleLine(std::string line) {
    if (line == "uci") {
        AnswerUci();
        line.clear();
    }
    if (line == "isready") {
        WaitForHashReady();
        WriteLine("readyok");
        line.clear();
    }
    // Commands other than the exact ones below are found by containment
    if (Contains(line, "position") && (Contains(line, "startpos") || Contains(line, "fen"))) {
        SearchThreads.HaltSearch();  // the board never changes under a running search
        if (HandlePosition(line))
            line.clear();
    }
    if (line == "stop") {
        SearchThreads.HaltSearch();
        line.clear();
    }
    if (Contains(line, "setoption")) {
        HandleSetOption(line);
        line.clear();
    }
    if (Contains(line, "ponderhit")) {
        HandlePonderHit();
        line.clear();
    }
    if (line == "ucinewgame")
        HandleNewGame();
    if (Contains(line, "go"))
        HandleGo(line);
    if (Contains(line, "perft"))
        RunPerftLine(line);
    if (Contains(line, "divide"))
        RunDivideLine(line);
    if (line == "quit")
        return false;
    if (line == "d") {
        SearchThreads.HaltSearch();
        ShowBoard();
        for (const std::string& tableLine : TablebaseLines())   // only while tables are loaded
            WriteLine(tableLine);
    }
    if (line == "eval") {
        SearchThreads.HaltSearch();  // the evaluation's scratch state is the search's too
        RunEvalCommand();
    }
    if (line == "bench" || line.rfind("bench ", 0) == 0)
        RunBenchLine(line);
    return true;
}

// ---------------------------------------------------------------------------
// The console during a search on the one thread (Platform.h: SingleThreaded)

// Lines that came during such a search and run once it has answered, in order
std::deque<std::string> LinesAfterSearch;
bool QuitDuringSearch = false;

// Each line acts as it would beside a searching thread: "stop", "ponderhit",
// "isready" and "uci" at once; a command that ends the search first ("go",
// "position", "setoption", ...) ends it and runs after its answer, and so does
// every line after it; "quit" ends it without an answer, and the engine
void ServeCommandsDuringSearch() {
    if (!SearchThreads.SearchingInline())
        return;   // bench, perft: the console waits, as it does beside them elsewhere
    std::string line;
    while (ReadArrivedLine(line)) {
        if (!LinesAfterSearch.empty() || QuitDuringSearch) {
            LinesAfterSearch.push_back(line);
            continue;
        }
        try {
            if (!HandleLine(line)) {
                QuitDuringSearch = true;
                SearchThreads.EndSearchThreads();
            }
        } catch (const SearchStillRunning&) {
            if (!QuitDuringSearch)
                LinesAfterSearch.push_back(line);
        }
    }
}

// The next command: a line that waited for a search's answer, else one read
bool NextCommand(std::string& line) {
    if (QuitDuringSearch)
        return false;
    if (LinesAfterSearch.empty())
        return ReadLine(line);
    line = std::move(LinesAfterSearch.front());
    LinesAfterSearch.pop_front();
    return true;
}

// A command given on the command line: run it, let a search it starts finish, then leave
void RunCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += std::string(i > 1 ? " " : "") + argv[i];
    HandleLine(Trim(line));
    // Nothing can send "stop" or "ponderhit" to a search that waits for one
    const SearchSession& session = SearchThreads.CurrentSession();
    if (!session.InfiniteSearch && !session.Pondering)
        SearchThreads.WaitForSearch();
}

}  // namespace

bool HandleCommand(const std::string& line) { return HandleLine(line); }

int RunEngine(int argc, char** argv) {
    BuildMagicTables();
    InitTables();
    AllocateHash(HashDefaultMegabytes);
    InitClock();
    SearchThreads.StartSearchThreads(1);
    SetConsoleService(ServeCommandsDuringSearch);
    std::string error;
    ReadFen(StartFen, error);
    WriteLine(Banner);

    if (argc > 1)
        RunCommandLine(argc, argv);
    else {
        std::string line;
        while (NextCommand(line) && HandleLine(line)) {
        }
    }
    // end of input ends the engine as "quit" does; a running search ends
    // without its "bestmove" before anything is released
    SearchThreads.EndSearchThreads();
    return 0;
}

#ifndef VARNOK_NO_ENTRY
int main(int argc, char** argv) { return RunEngine(argc, argv); }
#endif
