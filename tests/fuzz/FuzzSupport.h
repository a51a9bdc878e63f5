// What both fuzz targets share: the engine's start-up, silent output, and
// the checks every position reached must pass.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../PositionChecks.h"
#include "Magic.h"
#include "Perft.h"
#include "Tables.h"
#include "TranspositionTable.h"

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

// A check of PositionChecks.h that found a fault ends the run
inline void Require(const std::string& fault) {
    if (!fault.empty())
        FuzzFault(fault);
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
    Require(ReadBackFault(held, ReadableFen()));
    if (PerftNodes(2) != nodes)
        FuzzFault("perft 2 of the writer's FEN " + WriteFen() + " differs");
    std::memcpy(&Position, &held, sizeof Position);
}
