// Helpers shared by the unit tests: loading positions, naming moves, reading the data tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Board.h"
#include "MakeMove.h"
#include "MoveGen.h"
#include "MoveText.h"
#include "Tables.h"
#include "Thread.h"
#include "Types.h"

// Sets up a position the test depends on; a refusal fails the test.
inline bool Load(const std::string& fen) {
    std::string error;
    const bool ok = ReadFen(fen, error);
    EXPECT_TRUE(ok) << "the reader refused " << fen << ": " << error;
    return ok;
}

// The generated move with this text, 0 when the generator has none
inline Move Generated(const std::string& text) {
    MoveList list;
    GenerateLegal(list);
    for (int i = 1; i <= list.count; ++i)
        if (MoveToText(list.moves[i]) == text)
            return list.moves[i];
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

// A line of a table in the test data folder, split at ';', and the rule it exercises:
// the text of the last comment line "# rule" above it
struct DataLine {
    std::string rule;
    std::vector<std::string> fields;
};

// The fields of a line of numbers
inline std::vector<int> Numbers(const DataLine& line) {
    std::vector<int> numbers;
    for (const std::string& field : line.fields)
        numbers.push_back(std::stoi(field));
    return numbers;
}

inline std::vector<DataLine> ReadData(const std::string& name) {
    std::vector<DataLine> lines;
    std::ifstream file(std::string(VARNOK_TEST_DATA) + "/" + name);
    std::string rule;
    for (std::string line; std::getline(file, line);)
        if (line.rfind("# ", 0) == 0)
            rule = line.substr(2);
        else if (!line.empty() && line[0] != '#') {
            lines.push_back({rule, {}});
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, ';');)
                lines.back().fields.push_back(field);
        }
    EXPECT_FALSE(lines.empty()) << name << " is missing or empty";
    return lines;
}
