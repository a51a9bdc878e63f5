// Generation order, the move word and its check bit, castling with a rook that
// reached an emptied corner, and the searchmoves list.
#include "TestSupport.h"

namespace {

TEST(MoveGeneration, StartPositionListsTwentyMovesInOrderAndMoveWordsPackEveryField) {
    ASSERT_TRUE(Load(StartFen));
    EXPECT_EQ(Texts(LegalMoves()),
              (std::vector<std::string>{"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                                        "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"}));
    // from, to, piece, captured, promotion, en-passant pawn, castling, check, rights
    const struct { const char* fen; const char* move; Move word; } cases[] = {
        {StartFen, "e2e4", 0xC000170C},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", 0xC8006184},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 0x04609AE4},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8q", 0x00161E70 | CheckBit},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(Generated(c.move), c.word) << c.fen << " " << c.move;
    }
}

TEST(MoveGeneration, CheckBitIsExactForDiscoveredEnPassantPromotionAndCastlingChecks) {
    const struct { const char* fen; const char* move; bool check; } cases[] = {
        {"4k3/8/8/8/3n4/4P3/8/4R2K w - - 0 1", "e3e4", false},  // a push along the screened file
        {"4k3/8/8/8/3n4/4P3/8/4R2K w - - 0 1", "e3d4", true},   // a capture off it
        {"4k3/8/8/8/8/8/4K3/4R3 w - - 0 1", "e2d2", true},      // the king leaves the screened file
        {"8/8/8/1k1pP2R/8/8/8/4K3 w - d6 0 1", "e5d6", true},   // en passant opens the rank
        {"8/1k6/8/3pP3/8/5B2/8/4K3 w - d6 0 1", "e5d6", true},  // en passant opens the diagonal
        {"8/8/8/2kpP3/8/8/8/4K3 w - d6 0 1", "e5d6", false},
        {"k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8r", true},
        {"k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8b", false},
        {"8/4P3/5k2/8/8/8/8/4K3 w - - 0 1", "e7e8n", true},
        {"8/1P6/8/8/8/8/8/1k2K3 w - - 0 1", "b7b8q", true},     // through the square the pawn left
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true},       // the rook gives check from f1
        {"8/8/8/8/8/8/8/R3K2k w Q - 0 1", "e1c1", true},        // across the king's square
        {"4k2r/8/8/8/8/8/8/5K2 b k - 0 1", "e8g8", true},
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        const Move m = Generated(c.move);
        ASSERT_NE(m, 0u) << c.fen << " " << c.move;
        EXPECT_EQ(MoveGivesCheck(m), c.check) << c.fen << " " << c.move;
        MakeMove(m);
        EXPECT_EQ(KingAttacked(Position.sideToMove), c.check) << c.fen << " " << c.move;
        UnmakeMove();
    }
}

// The owner keeps the right of a rook taken on its corner, but castles neither with it
// nor with another rook that reaches that corner
TEST(MoveGeneration, NoCastlingWithARookThatReachedTheCornerOfATakenOne) {
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq - 0 1"));
    ASSERT_TRUE(Play("g2h1"));
    EXPECT_EQ(CurrentState().castling[White], 3);
    EXPECT_EQ(Generated("e1g1"), 0u);
    EXPECT_NE(Generated("e1c1"), 0u);
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/6b1/R3K2R b KQ - 0 1"));
    ASSERT_TRUE(Play("g2h1 a1a2 h1d5 a2h2 e8d8 h2h1 d8e8"));
    EXPECT_EQ(Generated("e1g1"), 0u);
    EXPECT_EQ(WriteFen(), "4k3/8/8/3b4/8/8/8/4K2R w - - 6 5");
}

TEST(MoveText, SearchMovesKeepAtMostAHundredLegalWords) {
    ASSERT_TRUE(Load(StartFen));
    std::string words;
    for (int i = 0; i < 150; ++i)
        words += " e2e4 zz b1c3";
    SearchMoveList searchMoves;
    ReadSearchMoves(words, searchMoves);
    EXPECT_EQ(searchMoves.count, MaxSearchMoves);
    EXPECT_EQ(searchMoves.moves[1], 0xC000170Cu);
    EXPECT_EQ(MoveToText(searchMoves.moves[MaxSearchMoves]), "b1c3");
}

}  // namespace
