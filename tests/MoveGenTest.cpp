// The move word, castling with a rook that reached an emptied corner, and the searchmoves
// list. The check bit of every move: MakeMoveTest; the generation order: "divide" in test_uci.py.
#include "TestSupport.h"

namespace {

TEST(MoveGeneration, MoveWordsPackEveryField) {
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

// No castling with a rook that reaches the corner of a taken one, nor a right written for it
// (castling with the taken rook itself: the tree walk of MakeMoveTest)
TEST(MoveGeneration, NoCastlingWithARookThatReachedTheCornerOfATakenOne) {
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
