// Helpers for the search tests: a quiet, depth-limited search on the main thread.
#pragma once

#include <cstring>
#include <string>

#include "Hash.h"
#include "Recherche.h"
#include "TestSupport.h"
#include "main.h"

// A fresh small table, no clock limits, no output
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateHash(HashMinMegabytes);
        SearchOutput = false;
        StopSearch = false;
        Pondering = false;
        NoTimeLimit = true;
        Searching = false;
        SearchMovesActive = false;
        GameSearchCount = 0;
        HashMove = 0;
        std::memset(KillerMoves, 0, sizeof KillerMoves);
        std::memset(HistoryTable, 0, sizeof HistoryTable);
    }
    void TearDown() override {
        SearchOutput = true;
        StopSearch = false;
        Searching = false;
        SearchMovesActive = false;
    }

    // What a "go depth N" leaves: the "bestmove" line
    static std::string SearchToDepth(int depth) {
        StopSearch = false;
        DepthLimit = depth;
        NoTimeLimit = true;
        Pondering = false;
        SearchStartTime = ClockMs();
        IterativeDeepening();
        Searching = false;
        return BestMoveText;
    }

    // Search state as a node below the root sees it
    static void MakeRoot() { RootPly = Position.plyCounter; }
};
