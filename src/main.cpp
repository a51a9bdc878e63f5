// Program entry: start-up, the command loop, the search thread and its handlers.
#include "main.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "Board.h"
#include "Evaluation.h"
#include "GenMoves.h"
#include "Hash.h"
#include "Init.h"
#include "Magic.h"
#include "Perft.h"
#include "Recherche.h"
#include "Util.h"

std::atomic<bool> StopSearch{false};
std::atomic<bool> Pondering{false};
std::atomic<bool> NoTimeLimit{false};
std::atomic<bool> Searching{false};
std::atomic<uint64_t> SearchStartTime{0};
std::atomic<uint32_t> TimeBudget{0};
std::atomic<uint32_t> TimeMaximum{0};

int32_t WhiteTime = 0;
int32_t BlackTime = 0;
int32_t WhiteIncrement = 0;
int32_t BlackIncrement = 0;
int32_t MovesToGo = 0;
int32_t DepthLimit = 0;
bool SearchMovesActive = false;
int32_t GameSearchCount = 0;
std::string BestMoveText;
std::string AnswerScoreText;

std::atomic<bool> InfiniteSearch{false};
uint64_t NodeLimit = 0;
int32_t MoveTimeLimit = 0;
std::atomic<uint64_t> MoveTimeStart{0};
int32_t MateLimit = 0;
bool ClockBudgetApplies = true;

int32_t MultiPV = 1;
int32_t MoveOverhead = MoveOverheadDefault;

namespace {

constexpr const char* Banner = "Varnok 3.7.1 by Brannock";
constexpr int MaxMultiPV = 256;
constexpr int MaxMoveOverhead = 5000;

// ---------------------------------------------------------------------------
// Search threads. The main search thread answers each "go"; helper threads
// search the same root beside it and share only the transposition table. All
// of them live from start-up (or a change of "Threads") to exit and wait,
// blocked, between searches.

bool SearchThreadStarted = false;
// After "quit" the search that is being ended writes no "bestmove"
std::atomic<bool> QuitRequested{false};

std::vector<std::thread> SearchThreads;   // [0] the main search thread, then the helpers
std::mutex PoolMutex;
std::condition_variable PoolWake;         // a new search, or the threads are to end
std::condition_variable PoolDone;         // a thread has finished its part of a search
uint64_t SearchGeneration = 0;            // counts searches; under PoolMutex
bool PoolClosing = false;                 // under PoolMutex
bool MainSearchRunning = false;           // under PoolMutex
int HelpersRunning = 0;                   // under PoolMutex
int ThreadsReady = 0;                     // threads waiting for their first search; under PoolMutex
// The position every search thread copies when its search starts; written only while none runs
PositionRecord SearchRoot;

void SearchThreadProc() {
    IterativeDeepening();
    Searching = false;
    if (QuitRequested)
        return;
    if (!AnswerScoreText.empty())
        WriteLine(AnswerScoreText);
    WriteLine(BestMoveText);
}

// A search thread's life: wait for a search, copy its root, search, say it is done
void SearchThreadLoop(int id, uint64_t generation) {
    RegisterSearchThread(id);
    {
        std::lock_guard lock(PoolMutex);
        ++ThreadsReady;
    }
    PoolDone.notify_all();
    for (;;) {
        {
            std::unique_lock lock(PoolMutex);
            PoolWake.wait(lock, [&] { return PoolClosing || SearchGeneration != generation; });
            if (PoolClosing)
                return;
            generation = SearchGeneration;
        }
        Position = SearchRoot;
        if (id == 0)
            SearchThreadProc();
        else
            HelperIterativeDeepening(id);
        {
            std::lock_guard lock(PoolMutex);
            if (id == 0)
                MainSearchRunning = false;
            else
                --HelpersRunning;
        }
        PoolDone.notify_all();
    }
}

void EndSearchThreads() {
    {
        std::lock_guard lock(PoolMutex);
        PoolClosing = true;
    }
    PoolWake.notify_all();
    for (std::thread& thread : SearchThreads)
        thread.join();
    SearchThreads.clear();
    SetSearchThreadCount(0);
    std::lock_guard lock(PoolMutex);
    PoolClosing = false;
    ThreadsReady = 0;
}

// Starts the main search thread and count - 1 helpers; fewer when the system refuses threads
void StartSearchThreads(int count) {
    EndSearchThreads();
    try {
        while (int(SearchThreads.size()) < count)
            SearchThreads.emplace_back(SearchThreadLoop, int(SearchThreads.size()), SearchGeneration);
    } catch (const std::system_error&) {
        WriteLine("info string only " + std::to_string(SearchThreads.size()) + " search threads could be started");
    }
    // A helper's node counters are known once its thread runs
    std::unique_lock lock(PoolMutex);
    PoolDone.wait(lock, [] { return ThreadsReady == int(SearchThreads.size()); });
    SetSearchThreadCount(int(SearchThreads.size()));
}

// Returns once the search has ended and its "bestmove" is written
void WaitForSearch() {
    std::unique_lock lock(PoolMutex);
    PoolDone.wait(lock, [] { return !MainSearchRunning; });
}

// Clearing the hold-back flags first lets a search holding its result finish at once
void HaltSearch() {
    NoTimeLimit = false;
    Pondering = false;
    InfiniteSearch = false;
    StopSearch = true;
    SignalSearchControl();
    if (SearchThreadStarted)
        WaitForSearch();
}

void StartSearchThread() {
    SearchThreadStarted = true;
    // Cleared here, not in the search thread, so that a "stop" right after "go" is never lost
    StopSearch = false;
    ExpectTimeBudget();
    if (SearchThreads.empty()) {
        // Without a thread there is no search, but the GUI still gets its one answer
        AnnounceTimeBudget();
        WriteLine("info string the search thread could not be started");
        std::fill(std::begin(BestLine), std::end(BestLine), Move(0));
        WriteLine(BestMoveLine());
        return;
    }
    SearchRoot = Position;
    ResetSearchThreadCounters();
    {
        std::lock_guard lock(PoolMutex);
        ++SearchGeneration;
        MainSearchRunning = true;
        HelpersRunning = int(SearchThreads.size()) - 1;
    }
    PoolWake.notify_all();
}

}  // namespace

void EndHelperSearches() {
    std::unique_lock lock(PoolMutex);
    if (HelpersRunning == 0)
        return;
    StopSearch = true;
    PoolDone.wait(lock, [] { return HelpersRunning == 0; });
}

namespace {

// The number after a "go" keyword; false when the keyword is absent or its value malformed
bool GoValue(const std::string& line, const std::string& keyword, int32_t& value) {
    const int at = Pos(keyword, line);
    if (at == 0)
        return false;
    return ParseInt32(FirstWord(Trim(CopyFrom(line, at + int(keyword.size()) + 1)), 1), value);
}

// A node count after a "go" keyword, which may pass 32 bits
bool GoCount(const std::string& line, const std::string& keyword, uint64_t& value) {
    const int at = Pos(keyword, line);
    if (at == 0)
        return false;
    const std::string word = FirstWord(Trim(CopyFrom(line, at + int(keyword.size()) + 1)), 1);
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size() && !word.empty();
}

// "movetime", "nodes" and "mate": limits that UCI tools use beside the clock.
// Returns true when one of them is given with a usable value.
bool ReadToolLimits(const std::string& line) {
    NodeLimit = 0;
    MoveTimeLimit = 0;
    MateLimit = 0;
    int32_t value;
    bool given = false;
    if (GoValue(line, "movetime", value) && value >= 0) {
        MoveTimeLimit = std::max(value, 1);
        given = true;
    }
    if (uint64_t nodes; GoCount(line, "nodes", nodes)) {
        NodeLimit = std::max<uint64_t>(nodes, 1);
        given = true;
    }
    if (GoValue(line, "mate", value) && value > 0) {
        MateLimit = std::min(value, MaxSearchPlies / 2);   // longer mates lie beyond the deepest search
        given = true;
    }
    return given;
}

void HandleGo(const std::string& line) {
    const uint64_t arrival = ClockMs();
    HaltSearch();
    SearchStartTime = ClockMs();
    MoveTimeStart = arrival;
    MovesToGo = 30;
    DepthLimit = MaxSearchPlies;
    SearchMovesActive = false;

    int32_t value;
    bool clockFields = false;
    if (Pos("ponder", line) > 0) {
        Pondering = true;
        NoTimeLimit = true;
    }
    if (GoValue(line, "wtime", value)) {
        WhiteTime = value;
        clockFields = true;
    }
    if (GoValue(line, "btime", value)) {
        BlackTime = value;
        clockFields = true;
    }
    if (Pos("infinite", line) > 0) {
        NoTimeLimit = true;
        InfiniteSearch = true;
    }
    if (GoValue(line, "depth", value)) {
        DepthLimit = value;
        NoTimeLimit = true;
    }
    if (GoValue(line, "winc", value)) {
        WhiteIncrement = value;
        clockFields = true;
    }
    if (GoValue(line, "binc", value)) {
        BlackIncrement = value;
        clockFields = true;
    }
    // The count includes the move to be played now; at least one move is always left
    if (GoValue(line, "movestogo", value)) {
        MovesToGo = int32_t(std::clamp<int64_t>(int64_t(value) + 1, 1, INT32_MAX));
        clockFields = true;
    }
    if (int at = Pos("searchmoves", line); at > 0) {
        ReadSearchMoves(Trim(CopyFrom(line, at + 11)));
        // A list without one legal move restricts nothing
        SearchMovesActive = SearchMoves.count > 0;
    }
    // Clock values of earlier "go" lines play no part in a search that a tool limits otherwise
    ClockBudgetApplies = !ReadToolLimits(line) || clockFields;
    StartSearchThread();
}

void HandlePonderHit() {
    WaitForTimeBudget();
    AdjustBudgetOnPonderHit(ClockMs() - SearchStartTime.load());
    MoveTimeStart = ClockMs();   // the fixed time per move runs from the hit
    Pondering = false;
    NoTimeLimit = false;
    SignalSearchControl();
}

// The option's name: the words between "name" and "value" (or the end), compared
// without regard to case as UCI names are
std::string OptionName(const std::string& line) {
    const std::vector<std::string_view> words = SplitWords(line);
    std::string name;
    bool inName = false;
    for (std::string_view word : words) {
        if (word == "value")
            break;
        if (inName) {
            if (!name.empty())
                name += ' ';
            name.append(word);
        }
        inName = inName || word == "name";
    }
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return name;
}

// The number after "value"; false when absent or malformed
bool OptionValue(const std::string& line, int32_t& value) {
    const int at = Pos("value", line);
    return at > 0 && ParseInt32(Trim(CopyFrom(line, at + 6)), value);
}

// A check option's "true" or "false" after "value", in any case; anything else leaves flag as it is
void OptionFlag(const std::string& line, bool& flag) {
    const int at = Pos("value", line);
    std::string text = at > 0 ? Trim(CopyFrom(line, at + 6)) : std::string();
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (text == "true" || text == "false")
        flag = text == "true";
}

// "Hash value N" as the engine has always read it: the two words with one blank between
void SetHashOption(const std::string& line) {
    const int at = Pos("Hash value", line);
    if (Pos("name", line) == 0 || at == 0)
        return;
    int32_t megabytes;
    if (!ParseInt32(Trim(CopyFrom(line, at + 11)), megabytes))
        return;
    megabytes = std::clamp(megabytes, HashMinMegabytes, HashMaxMegabytes);
    AllocateHash(megabytes);
    if (HashSize != HashEntriesFor(megabytes))
        WriteLine("info string Hash: " + std::to_string(megabytes) + " MB could not be allocated, using "
                  + std::to_string(HashMegabytes()) + " MB");
}

// "setoption": the table is never resized or cleared under a running search
void HandleSetOption(const std::string& line) {
    HaltSearch();
    const std::string name = OptionName(line);
    int32_t value;
    if (name == "clear hash")
        ClearHash();
    else if (name == "multipv") {
        if (OptionValue(line, value))
            MultiPV = std::clamp(value, 1, MaxMultiPV);
    } else if (name == "move overhead") {
        if (OptionValue(line, value))
            MoveOverhead = std::clamp(value, 0, MaxMoveOverhead);
    } else if (name == "threads") {
        if (OptionValue(line, value) && std::clamp(value, 1, MaxSearchThreads) != int(SearchThreads.size()))
            StartSearchThreads(std::clamp(value, 1, MaxSearchThreads));
    } else if (name == "uci_chess960") {
        OptionFlag(line, Chess960Option);   // the positions set up from now on follow it
    } else
        SetHashOption(line);
}

void HandleNewGame() {
    HaltSearch();
    GameSearchCount = 0;
    ClearHash();
    ClearEvalCaches();
}

// "bench" or "bench N"; a malformed or non-positive depth writes nothing
void RunBenchLine(const std::string& line) {
    int32_t depth = BenchDefaultDepth;
    if (line != "bench" && !(ParseInt32(Trim(CopyFrom(line, 7)), depth) && depth >= 1))
        return;
    HaltSearch();
    RunBench(std::min(depth, int32_t(MaxSearchPlies)));
}

// ---------------------------------------------------------------------------
// Console commands

void AnswerUci() {
    WriteLine("id name Varnok 3.7.1 32 bits");
    WriteLine("id author Brannock");
    WriteLine("option name Hash type spin default 256 min 4 max 1024");
    WriteLine("option name Ponder type check default false");
    WriteLine("option name MultiPV type spin default 1 min 1 max " + std::to_string(MaxMultiPV));
    WriteLine("option name Clear Hash type button");
    WriteLine("option name Move Overhead type spin default " + std::to_string(MoveOverheadDefault) + " min 0 max "
              + std::to_string(MaxMoveOverhead));
    WriteLine("option name Threads type spin default 1 min 1 max " + std::to_string(MaxSearchThreads));
    WriteLine("option name UCI_Chess960 type check default false");
    WriteLine("uciok");
}

// A depth for perft or divide: a number of at least 1, anything else is ignored
bool ReadDepth(const std::string& text, int32_t& depth) {
    return ParseInt32(text, depth) && depth >= 1;
}

void RunPerftLine(const std::string& line) {
    int32_t depth;
    if (ReadDepth(FirstWord(Trim(CopyFrom(line, Pos("perft", line) + 6)), 1), depth)) {
        HaltSearch();
        RunPerftCommand(depth);
    }
}

void RunDivideLine(const std::string& line) {
    int32_t depth;
    if (ReadDepth(Trim(CopyFrom(line, Pos("divide", line) + 7)), depth)) {
        HaltSearch();
        RunDivideCommand(depth);
    }
}

// "position startpos [moves ...]" or "position fen FEN [moves ...]"; true when
// the line is to be emptied. The FEN is the text between "fen" and "moves".
bool HandlePosition(const std::string& line) {
    const int movesAt = Pos("moves", line);
    const std::string moves = movesAt > 0 ? Trim(CopyFrom(line, movesAt + 5)) : std::string();
    if (Pos("startpos", line) > 0) {
        SetUpPosition(StartFen, moves);
        return true;
    }
    if (const int at = Pos("fen", line); at > 0) {
        const std::string fen = movesAt < 1 ? Trim(CopyFrom(line, at + 4))
                                            : Trim(line.substr(size_t(at + 2), size_t(std::max(0, movesAt - at - 3))));
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
        WriteLine("readyok");
        line.clear();
    }
    if (Pos("position", line) > 0 && (Pos("startpos", line) > 0 || Pos("fen", line) > 0)) {
        HaltSearch();  // the board never changes under a running search
        if (HandlePosition(line))
            line.clear();
    }
    if (line == "stop") {
        HaltSearch();
        line.clear();
    }
    if (Pos("setoption", line) > 0) {
        HandleSetOption(line);
        line.clear();
    }
    if (Pos("ponderhit", line) > 0) {
        HandlePonderHit();
        line.clear();
    }
    if (line == "ucinewgame")
        HandleNewGame();
    if (Pos("go", line) > 0)
        HandleGo(line);
    if (Pos("perft", line) > 0)
        RunPerftLine(line);
    if (Pos("divide", line) > 0)
        RunDivideLine(line);
    if (line == "quit")
        return false;
    if (line == "d") {
        HaltSearch();
        ShowBoard();
    }
    if (line == "eval") {
        HaltSearch();  // the evaluation's scratch state is the search's too
        RunEvalCommand();
    }
    if (line == "bench" || line.rfind("bench ", 0) == 0)
        RunBenchLine(line);
    return true;
}

}  // namespace

namespace {

// A command given on the command line: run it, let a search it starts finish, then leave
void RunCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += std::string(i > 1 ? " " : "") + argv[i];
    HandleLine(Trim(line));
    // Nothing can send "stop" or "ponderhit" to a search that waits for one
    if (!InfiniteSearch && !Pondering)
        WaitForSearch();
}

}  // namespace

bool HandleCommand(const std::string& line) { return HandleLine(line); }

int RunEngine(int argc, char** argv) {
    BuildMagicTables();
    InitTables();
    AllocateHash(HashDefaultMegabytes);
    InitClock();
    SearchThreadStarted = false;
    StartSearchThreads(1);
    std::string error;
    ReadFen(StartFen, error);
    WriteLine(Banner);

    if (argc > 1)
        RunCommandLine(argc, argv);
    else {
        std::string line;
        while (ReadLine(line) && HandleLine(line)) {
        }
    }
    // end of input ends the engine as "quit" does; a running search ends
    // without its "bestmove" before anything is released
    QuitRequested = true;
    HaltSearch();
    EndSearchThreads();
    return 0;
}

#ifndef VARNOK_NO_ENTRY
int main(int argc, char** argv) { return RunEngine(argc, argv); }
#endif
