// What both fuzz targets share: the engine's start-up, silent output, and
// the checks every position reached must pass.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Board.h"
#include "GenMoves.h"
#include "Hash.h"
#include "Init.h"
#include "Magic.h"
#include "Perft.h"
#include "Thread.h"

// A failed check ends the run as a crash, so that libFuzzer keeps the input
[[noreturn]] inline void FuzzFault(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n  position %s\n", what.c_str(), WriteFen().c_str());
    std::abort();
}

// Start-up as the engine's, with the smallest table; the engine's output goes
// to /dev/null (libFuzzer reports on standard error)
inline void StartEngineOnce() {
    static const bool started = [] {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, STDOUT_FILENO);
        BuildMagicTables();
        InitTables();
        AllocateHash(HashMinMegabytes);
        return true;
    }();
    (void)started;
}

// The start position under the rules of standard chess, or of Fischer-random chess
inline void LoadStartPosition(bool chess960 = false) {
    Chess960Option = chess960;
    std::string error;
    if (!ReadFen(StartFen, error))
        FuzzFault("the start position is refused: " + error);
}

// The bytes of the position that make and unmake must restore
inline std::string Snapshot() {
    return std::string(reinterpret_cast<const char*>(&Position),
                       offsetof(PositionRecord, states) + (Position.stateIndex + 1) * sizeof(StateRecord));
}

// Neither king can be taken: the side that moved is not in check, the kings
// never stand side by side, and no legal move takes a king
inline void CheckNoKingCapturable() {
    if (KingAttacked(Position.sideToMove ^ 1))
        FuzzFault("the side not to move is in check");
    if (KingAttacks[Position.kingSquare[White]] & SetMask[Position.kingSquare[Black]])
        FuzzFault("the kings stand side by side");
    MoveList legal;
    GenerateLegal(legal);
    for (int i = 1; i <= legal.count; ++i)
        if (MoveCaptured(legal.moves[i]) == King)
            FuzzFault("a legal move takes a king");
}

// The writer's FEN with its clocks read as "0 1" when moves have taken them past
// what the reader accepts (the board, side, castling and en-passant fields stay)
inline std::string ReadableFen() {
    std::string fen = WriteFen();
    const size_t fullmove = fen.rfind(' '), halfmove = fen.rfind(' ', fullmove - 1);
    if (std::stol(fen.substr(halfmove + 1)) > MaxFenClock || std::stol(fen.substr(fullmove + 1)) > MaxFenClock)
        fen = fen.substr(0, halfmove) + " 0 1";
    return fen;
}

// The writer's FEN reads back as the same position with the same perft 2 count,
// and perft 2 leaves the position exactly as it found it
inline void CheckRoundTripAndPerft() {
    static PositionRecord held;
    const std::string before = Snapshot();
    const uint64_t nodes = PerftNodes(2);
    if (Snapshot() != before)
        FuzzFault("perft 2 changed the position");

    std::memcpy(&held, &Position, sizeof Position);
    const std::string fen = ReadableFen();
    std::string error;
    // read back under the castling rules the position was set up with, whatever the option says now
    const bool option = Chess960Option;
    Chess960Option = held.castlingRules.chess960;
    if (!ReadFen(fen, error))
        FuzzFault("the writer's FEN " + fen + " is refused: " + error);
    if (WriteFen() != fen)
        FuzzFault("the writer's FEN " + fen + " reads back as " + WriteFen());
    if (std::memcmp(held.board, Position.board, sizeof held.board) != 0
        || std::memcmp(held.pieces, Position.pieces, sizeof held.pieces) != 0
        || held.sideToMove != Position.sideToMove)
        FuzzFault("the writer's FEN " + fen + " reads back as another board");
    if (PerftNodes(2) != nodes)
        FuzzFault("perft 2 of the writer's FEN " + fen + " differs");
    Chess960Option = option;
    std::memcpy(&Position, &held, sizeof Position);
}
