// Static exchange and move ordering.
#include "SearchSupport.h"

namespace {

using SearchOrdering = SearchTest;

TEST_F(SearchOrdering, StaticExchangePricesTheWholeSequence) {
    const struct { const char* fen; const char* move; int expected; const char* why; } cases[] = {
        {"3q2k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1", "e4d5", 619, "pawn takes a knight that only a queen defends"},
        {"6k1/8/2p5/3p4/8/8/8/3Q2K1 w - - 0 1", "d1d5", -2323, "queen takes a pawn defended by a pawn"},
        {"6k1/P7/8/8/8/8/8/6K1 w - - 0 1", "a7a8q", 2323, "quiet promotion on an undefended square"},
        {"1r4k1/P7/8/8/8/8/8/6K1 w - - 0 1", "a7a8q", -198, "promotion onto a square the rook guards"},
        {"1r4k1/P7/8/8/8/8/8/6K1 w - - 0 1", "a7b8q", 3593, "promotion by capture, nothing recaptures"},
        {"3r2k1/8/8/3pP3/8/8/8/3R2K1 w - d6 0 1", "e5d6", 198, "en passant: the rook behind the taken pawn joins in"},
        {"3r3k/1b6/4K3/3p4/8/8/8/3R4 w - - 0 1", "d1d5", -1072, "a king that recaptures into a guarded square is taken"},
        {"7k/1b6/4K3/3p4/8/8/8/3R4 w - - 0 1", "d1d5", -236, "the king may take last when nothing is left"},
        {"4k3/8/8/3p4/2P1P3/8/8/4K3 w - - 0 1", "c4d5", 198, "pawn takes an undefended pawn"},
        {"4k3/2p5/3p4/4n3/8/3N4/8/4K3 w - - 0 1", "d3e5", 0, "knight takes a knight, pawn recaptures: even"},
        {"4k3/8/3p4/4p3/8/3N4/8/4K3 w - - 0 1", "d3e5", -619, "knight takes a pawn that a pawn guards"},
        {"4k3/8/2n5/8/3P4/8/1B6/4K3 b - - 0 1", "c6d4", -619, "knight takes a pawn guarded by a bishop"},
        {"1k6/8/8/8/8/8/1p6/R3K3 b Q - 0 1", "b2a1q", 3593, "black pawn takes a rook and promotes"},
    };
    for (const auto& c : cases) {
        if (!Load(c.fen))
            continue;
        const Move m = Generated(c.move);
        ASSERT_NE(m, 0u) << c.move;
        EXPECT_EQ(StaticExchange(m, Position.sideToMove), c.expected) << c.why;
    }
}

TEST_F(SearchOrdering, LosingCaptureSitsBelowEveryQuietMove) {
    ASSERT_TRUE(Load("6k1/8/2p5/3p4/8/8/8/3Q2K1 w - - 0 1"));
    MoveList list;
    GenerateLegal(list);
    ScoreMoves(0, 1, list);
    MoveList quiescence = list;
    ScoreQuiescenceMoves(quiescence);
    for (int i = 1; i <= list.count; ++i) {
        if (MoveToText(list.moves[i]) == "d1d5") {
            EXPECT_EQ(list.scores[i], -26323);
            EXPECT_EQ(quiescence.scores[i], -24000);
        }
    }
}

TEST_F(SearchOrdering, ScoreRulesApplyInTheirOrder) {
    // White: quiet moves, a check (Rd8+), and moves that will be made killers
    ASSERT_TRUE(Load("6k1/8/8/8/8/8/5PPP/R2R2K1 w - - 0 1"));
    const Move check = Generated("d1d8"), killer = Generated("a1a7"), older = Generated("a1a6");
    const Move checkingKiller = Generated("a1a8"), quiet = Generated("h2h3"), hashMove = Generated("d1d2");
    ASSERT_TRUE(check && killer && older && checkingKiller && quiet && hashMove);
    ASSERT_TRUE(MoveGivesCheck(checkingKiller));
    const int ply = 3;
    KillerMoves[ply][0] = killer;
    KillerMoves[ply][1] = older;
    KillerMoves[ply + 1][0] = checkingKiller;
    HistoryTable[Pawn][SquareFromText("h3")] = 37;

    MoveList list;
    GenerateLegal(list);
    ScoreMoves(hashMove, ply, list);
    auto scoreOf = [&](Move m) {
        for (int i = 1; i <= list.count; ++i)
            if (list.moves[i] == m)
                return list.scores[i];
        ADD_FAILURE() << MoveToText(m) << " not in the list";
        return 0;
    };
    EXPECT_EQ(scoreOf(hashMove), 2000);
    EXPECT_EQ(scoreOf(check), -150);
    EXPECT_EQ(scoreOf(killer), 4);
    EXPECT_EQ(scoreOf(older), 3);
    EXPECT_EQ(scoreOf(quiet), 37 - 24000);

    // A killer that also gives check is ordered as a check
    ScoreMoves(hashMove, ply + 1, list);
    EXPECT_EQ(scoreOf(checkingKiller), -150);
}

TEST_F(SearchOrdering, HistoryRowIsTheMoversColour) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"));
    HistoryTable[King | 8][SquareFromText("d8")] = 55;   // black king
    HistoryTable[King][SquareFromText("d8")] = 999;      // white king: not read
    MoveList list;
    GenerateLegal(list);
    ScoreMoves(0, 0, list);
    for (int i = 1; i <= list.count; ++i) {
        if (MoveToText(list.moves[i]) == "e8d8") {
            EXPECT_EQ(list.scores[i], 55 - 24000);
        }
    }
}

TEST_F(SearchOrdering, PickTakesTheHighestScoreAndTheLowestSlotOnTies) {
    MoveList list{};
    const int scores[] = {5, 9, 9, -3, 9};
    list.count = 5;
    for (int i = 1; i <= 5; ++i) {
        list.moves[i] = Move(100 + i);
        list.scores[i] = scores[i - 1];
    }
    int slot;
    EXPECT_EQ(PickNextRootMove(list, 1, slot), Move(102));
    EXPECT_EQ(slot, 2);
    EXPECT_EQ(list.moves[2], Move(101));   // swapped into the picked slot
    EXPECT_EQ(list.scores[2], 5);
    EXPECT_EQ(PickNextRootMove(list, 2, slot), Move(103));
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(PickNextMove(list, 3), Move(105));
    EXPECT_EQ(PickNextMove(list, 4), Move(101));
    EXPECT_EQ(PickNextMove(list, 5), Move(104));
}

TEST_F(SearchOrdering, RootOrderFollowsSubtreeSizeWithTheHashMoveFirst) {
    ASSERT_TRUE(Load(StartFen));
    MoveList list;
    GenerateLegal(list);
    std::memset(RootNodes, 0, sizeof RootNodes);
    RootNodes[3] = 320;
    RootNodes[4] = (uint64_t(7) << 32) + 64;   // only the low 32 bits count
    ScoreRootMoves(list.moves[5], list);
    EXPECT_EQ(list.scores[1], 0);
    EXPECT_EQ(list.scores[3], 10);
    EXPECT_EQ(list.scores[4], 2);
    EXPECT_EQ(list.scores[5], 100000000);
}

TEST_F(SearchOrdering, ExtensionAndTacticalTests) {
    ASSERT_TRUE(Load("4k3/1P6/8/3p4/2p5/8/6p1/4K3 w - - 0 1"));
    EXPECT_TRUE(IsPassedPawnPush(Generated("b7b8q")));
    EXPECT_FALSE(IsPawnToSeventh(Generated("b7b8q")));
    ASSERT_TRUE(Load("4k3/8/8/1p6/8/8/P5P1/4K3 w - - 0 1"));
    EXPECT_FALSE(IsPassedPawnPush(Generated("a2a3")));   // the b5 pawn guards the way
    EXPECT_TRUE(IsPassedPawnPush(Generated("g2g4")));
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/p5P1/4K3 b - - 0 1"));
    EXPECT_FALSE(IsPawnToSeventh(Generated("a2a1q")));
    ASSERT_TRUE(Load("4k3/8/8/8/8/p7/6P1/4K3 b - - 0 1"));
    EXPECT_TRUE(IsPawnToSeventh(Generated("a3a2")));
    ASSERT_TRUE(Load("4k3/8/1P6/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_TRUE(IsPawnToSeventh(Generated("b6b7")));
}

TEST_F(SearchOrdering, RecaptureMatchesTheKindOfPieceTaken) {
    // After Bxc6 (a bishop takes a knight) the reply that takes back on c6
    const struct { const char* fen; const char* first; const char* reply; int score; bool expected; } cases[] = {
        {"4k3/3p4/2n5/8/8/8/6B1/4K3 w - - 0 1", "g2c6", "d7c6", 600, true},    // knight for bishop: same kind
        {"4k3/3p4/2n5/8/8/8/6B1/4K3 w - - 0 1", "g2c6", "d7c6", 0, false},     // only with a positive score
        {"4k3/3p4/2r5/8/8/8/6B1/4K3 w - - 0 1", "g2c6", "d7c6", 600, false},   // bishop took a rook
        {"4k3/3p4/2r5/8/8/8/2R5/4K3 w - - 0 1", "c2c6", "d7c6", 600, true},    // rook for rook
        {"4k3/3p4/8/8/8/8/6B1/4K3 w - - 0 1", "g2c6", "d7c6", 600, false},     // the first move took nothing
    };
    for (const auto& c : cases) {
        if (!Load(c.fen) || !Play(c.first))
            continue;
        const Move reply = Generated(c.reply);
        if (MoveCaptured(reply) == 0) {
            EXPECT_FALSE(c.expected);
            continue;
        }
        EXPECT_EQ(IsRecapture(reply, c.score), c.expected) << c.fen << " " << c.first;
    }
}

TEST_F(SearchOrdering, FutilityMarginLookup) {
    EXPECT_EQ(FutilityMarginFor(1, 2), 29);
    EXPECT_EQ(FutilityMarginFor(1, 7), -10);
    EXPECT_EQ(FutilityMarginFor(0, 2), 29);          // depth below 1 reads row 1
    EXPECT_EQ(FutilityMarginFor(2, 2), 253);
    EXPECT_EQ(FutilityMarginFor(13, 2), 858);
    EXPECT_EQ(FutilityMarginFor(13, 200), FutilityMarginFor(13, 63));   // move numbers stop at 63
    EXPECT_EQ(FutilityMarginFor(14, 2), 60002);
    EXPECT_EQ(FutilityMarginFor(40, 2), 60002);
}

}  // namespace
