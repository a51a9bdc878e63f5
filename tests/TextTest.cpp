// The command language's text helpers: containment, and what stands after a
// keyword, with or without the one separator after it.
#include <gtest/gtest.h>

#include "Text.h"

namespace {

TEST(Text, WhatStandsAfterAKeyword) {
    const struct { const char* line; const char* keyword; const char* rest; const char* word; const char* right; } cases[] = {
        {"go wtime 300 btime 200", "btime", "200", "200", "200"},
        {"go depth 12 nodes 5000", "depth", "12 nodes 5000", "12", "12 nodes 5000"},
        {"go depth\t7", "depth", "7", "7", "7"},                  // any one character separates
        {"go depthX7", "depth", "7", "7", "X7"},                  // ... even one that is no blank
        {"go depth", "depth", "", "", ""},                        // nothing after the keyword
        {"go infinite", "depth", "", "", ""},                     // no keyword
        {"go ponder depth 3 ponder", "ponder", "depth 3 ponder", "depth", "depth 3 ponder"},   // the first one
        {"setoption name Hash value   64  ", "Hash value", "64", "64", "64"},
        {"go searchmovese2e4 d2d4", "searchmoves", "2e4 d2d4", "2e4", "e2e4 d2d4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RestAfter(c.line, c.keyword), c.rest) << c.line;
        EXPECT_EQ(WordAfter(c.line, c.keyword), c.word) << c.line;
        EXPECT_EQ(TextRightAfter(c.line, c.keyword), c.right) << c.line;
    }
    EXPECT_TRUE(Contains("xgox", "go"));
    EXPECT_FALSE(Contains("g o", "go"));
}

TEST(Text, TheFenStandsBetweenItsKeywordAndTheMoves) {
    EXPECT_EQ(TextBetween("position fen 8/8/8/8/8/8/8/K1k5 w - - 0 1 moves a1a2", "fen", "moves"),
              "8/8/8/8/8/8/8/K1k5 w - - 0 1");
    EXPECT_EQ(TextBetween("position moves a1a2 fen 8/8", "fen", "moves"), "");   // moves first: no FEN
    EXPECT_EQ(TextBetween("fenmoves", "fen", "moves"), "");
}

}  // namespace
