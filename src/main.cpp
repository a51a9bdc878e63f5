// Program entry: start-up, the command loop, the search thread and its handlers.
#include "main.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "Bitboard.h"
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

namespace {

constexpr const char* Banner = "Varnok 3.7.1 by Brannock";

// ---------------------------------------------------------------------------
// Search thread and its handlers

bool SearchThreadStarted = false;
std::thread SearchThread;
// After "quit" the search that is being ended writes no "bestmove"
std::atomic<bool> QuitRequested{false};

void SearchThreadProc() {
    IterativeDeepening();
    Searching = false;
    if (!QuitRequested)
        WriteLine(BestMoveText);
}

// Returns once the search thread has ended and written its "bestmove"
void WaitForSearch() {
    if (SearchThread.joinable())
        SearchThread.join();
}

// Clearing the two hold-back flags first lets a search holding its result finish at once
void HaltSearch() {
    NoTimeLimit = false;
    Pondering = false;
    StopSearch = true;
    SignalSearchControl();
    if (SearchThreadStarted)
        WaitForSearch();
}

void StartSearchThread() {
    SearchThreadStarted = true;
    // Cleared here, not in the new thread, so that a "stop" right after "go" is never lost
    StopSearch = false;
    ExpectTimeBudget();
    try {
        SearchThread = std::thread(SearchThreadProc);
    } catch (const std::system_error&) {
        // Without a thread there is no search, but the GUI still gets its one answer
        AnnounceTimeBudget();
        WriteLine("info string the search thread could not be started");
        std::fill(std::begin(BestLine), std::end(BestLine), Move(0));
        WriteLine(BestMoveLine());
    }
}

// The number after a "go" keyword; false when the keyword is absent or its value malformed
bool GoValue(const std::string& line, const std::string& keyword, int32_t& value) {
    const int at = Pos(keyword, line);
    if (at == 0)
        return false;
    return ParseInt32(FirstWord(Trim(CopyFrom(line, at + int(keyword.size()) + 1)), 1), value);
}

void HandleGo(const std::string& line) {
    HaltSearch();
    SearchStartTime = ClockMs();
    MovesToGo = 30;
    DepthLimit = MaxSearchPlies;
    SearchMovesActive = false;

    int32_t value;
    if (Pos("ponder", line) > 0) {
        Pondering = true;
        NoTimeLimit = true;
    }
    if (GoValue(line, "wtime", value))
        WhiteTime = value;
    if (GoValue(line, "btime", value))
        BlackTime = value;
    if (Pos("infinite", line) > 0)
        NoTimeLimit = true;
    if (GoValue(line, "depth", value)) {
        DepthLimit = value;
        NoTimeLimit = true;
    }
    if (GoValue(line, "winc", value))
        WhiteIncrement = value;
    if (GoValue(line, "binc", value))
        BlackIncrement = value;
    // The count includes the move to be played now; at least one move is always left
    if (GoValue(line, "movestogo", value))
        MovesToGo = int32_t(std::clamp<int64_t>(int64_t(value) + 1, 1, INT32_MAX));
    if (int at = Pos("searchmoves", line); at > 0) {
        ReadSearchMoves(Trim(CopyFrom(line, at + 11)));
        // A list without one legal move restricts nothing
        SearchMovesActive = SearchMoves.count > 0;
    }
    StartSearchThread();
}

void HandlePonderHit() {
    WaitForTimeBudget();
    AdjustBudgetOnPonderHit(ClockMs() - SearchStartTime.load());
    Pondering = false;
    NoTimeLimit = false;
    SignalSearchControl();
}

// "setoption": only the "Hash" option has an effect. The table is never
// resized under a running search.
void HandleSetOption(const std::string& line) {
    HaltSearch();
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

std::string SquareList(Bitboard squares) {
    std::string text;
    while (squares) {
        Square s = PopLowest(squares);
        text += std::string(text.empty() ? "" : " ") + char('a' + FileOf(s)) + char('1' + RankOf(s));
    }
    return text;
}

// The board as White sees it, the FEN, both keys and the pieces giving check
void DisplayPosition() {
    HaltSearch();
    const std::string rule = " +---+---+---+---+---+---+---+---+";
    WriteLine("");
    WriteLine(rule);
    for (int rank = 7; rank >= 0; --rank) {
        std::string row = " |";
        for (int file = 0; file < 8; ++file) {
            Square s = 8 * rank + file;
            char letter = " PNBRQK"[Position.board[s]];
            if (Position.pieces[Black][AllPieces] & SetMask[s])
                letter = char(letter + 32);
            row += std::string(" ") + letter + " |";
        }
        WriteLine(row + " " + char('1' + rank));
        WriteLine(rule);
    }
    WriteLine("   a   b   c   d   e   f   g   h");
    WriteLine("");
    char keys[64];
    std::snprintf(keys, sizeof keys, "Key1: %016llX  Key2: %016llX", (unsigned long long)CurrentState().key1,
                  (unsigned long long)CurrentState().key2);
    WriteLine("Fen: " + WriteFen());
    WriteLine(keys);
    WriteLine("Checkers: " + SquareList(Checkers()));
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
    if (line == "d")
        DisplayPosition();
    if (line == "eval") {
        HaltSearch();  // the evaluation's scratch state is the search's too
        RunEvalCommand();
    }
    if (line == "bench" || line.rfind("bench ", 0) == 0)
        RunBenchLine(line);
    return true;
}

}  // namespace

int RunEngine() {
    BuildMagicTables();
    InitTables();
    AllocateHash(HashDefaultMegabytes);
    InitClock();
    SearchThreadStarted = false;
    std::string error;
    ReadFen(StartFen, error);
    WriteLine(Banner);

    std::string line;
    while (ReadLine(line) && HandleLine(line)) {
    }
    // end of input ends the engine as "quit" does; a running search ends
    // without its "bestmove" before anything is released
    QuitRequested = true;
    HaltSearch();
    return 0;
}

#ifndef VARNOK_NO_ENTRY
int main() { return RunEngine(); }
#endif
