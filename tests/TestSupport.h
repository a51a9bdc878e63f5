// Helpers shared by the unit tests: loading positions and naming moves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Board.h"
#include "GenMoves.h"
#include "Init.h"
#include "Makemove.h"
#include "Parametres.h"
#include "Thread.h"
#include "Util.h"

// Sets up a position the test depends on; a refusal fails the test.
inline bool Load(const std::string& fen) {
    std::string error;
    const bool ok = ReadFen(fen, error);
    EXPECT_TRUE(ok) << "the reader refused " << fen << ": " << error;
    return ok;
}

inline std::vector<Move> LegalMoves() {
    MoveList list;
    GenerateLegal(list);
    return std::vector<Move>(list.moves + 1, list.moves + 1 + list.count);
}

inline std::vector<std::string> Texts(const std::vector<Move>& moves) {
    std::vector<std::string> texts;
    for (Move m : moves)
        texts.push_back(MoveToText(m));
    return texts;
}

// The generated move with this text, 0 when the generator has none
inline Move Generated(const std::string& text) {
    for (Move m : LegalMoves())
        if (MoveToText(m) == text)
            return m;
    return 0;
}

// Plays blank-separated moves, each of which must be generated
inline bool Play(const std::string& moves) {
    std::istringstream words(moves);
    for (std::string word; words >> word; MakeMove(Generated(word)))
        if (!Generated(word)) {
            ADD_FAILURE() << word << " is not generated in " << WriteFen();
            return false;
        }
    return true;
}

// UCI_Chess960 on while the guard lives: the FENs read meanwhile follow Fischer-random castling
struct Chess960Rules {
    Chess960Rules() { Chess960Option = true; }
    ~Chess960Rules() { Chess960Option = false; }
};

struct PerftCase {
    std::string fen;
    int depth;
    uint64_t nodes;
};

// Lines "FEN;depth;nodes" of a file in the test data folder
inline std::vector<PerftCase> ReadPerftCases(const std::string& name) {
    std::vector<PerftCase> cases;
    std::ifstream file(std::string(VARNOK_TEST_DATA) + "/" + name);
    EXPECT_TRUE(file.is_open()) << name;
    for (std::string line; std::getline(file, line);) {
        size_t first = line.find(';'), second = line.find(';', first + 1);
        if (!line.empty() && line[0] != '#' && second != std::string::npos)
            cases.push_back({line.substr(0, first), std::stoi(line.substr(first + 1, second - first - 1)),
                             std::stoull(line.substr(second + 1))});
    }
    return cases;
}
