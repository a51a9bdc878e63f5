// Program entry: start-up, the command loop, the search thread and its handlers.
#include "main.h"

#include <cstdio>
#include <string>

#include "Bitboard.h"
#include "Evaluation.h"
#include "GenMoves.h"
#include "Init.h"
#include "Magic.h"
#include "Perft.h"
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

void HaltSearch() {}
void HandleGo(const std::string&) {}
void HandlePonderHit() {}
void HandleSetOption(const std::string&) {}
void HandleNewGame() {}

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
    return true;
}

}  // namespace

int RunEngine() {
    BuildMagicTables();
    InitTables();
    InitClock();
    std::string error;
    ReadFen(StartFen, error);
    WriteLine(Banner);

    std::string line;
    while (ReadLine(line) && HandleLine(line)) {
    }
    // end of input ends the engine as "quit" does
    HaltSearch();
    return 0;
}

#ifndef VARNOK_NO_ENTRY
int main() { return RunEngine(); }
#endif
