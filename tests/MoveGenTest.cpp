// The move word, castling with a rook that reached an emptied corner, and the searchmoves
// list. The check bit of every move: MakeMoveTest; the generation order: "divide" in test_uci.py.
#include <algorithm>

#include "TestSupport.h"

namespace {

// Whatever the other fields hold, each field of a move word reads back as it was packed
TEST(MoveWord, EveryFieldReadsBackAsPacked) {
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&](int range) {   // xorshift: a fixed, well-spread sequence
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return int(state % uint64_t(range));
    };
    for (int n = 0; n < 20000; ++n) {
        const int f[8] = {next(64), next(64), next(8), next(8), next(8), next(64), next(4), next(4)};
        const bool check = next(2);
        const Move m = PackMoveWord(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]) | (check ? CheckBit : 0);
        const int read[8] = {MoveFrom(m), MoveTo(m), MovePiece(m), MoveCaptured(m), MovePromotion(m),
                             MoveEpPawn(m), MoveCastling(m), MoveRights(m)};
        ASSERT_TRUE(std::equal(f, f + 8, read) && MoveGivesCheck(m) == check) << std::hex << m;
    }
}

// The generator fills every field for what the move does
TEST(MoveGeneration, GeneratedMovesCarryWhatTheyDo) {
    // fen, move, piece, captured, promotion, en-passant pawn, castling, gives check, rights
    const struct { const char* fen; const char* move; int fields[7]; } cases[] = {
        {StartFen, "e2e4", {Pawn, 0, 0, 0, 0, 0, 3}},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", {King, 0, 0, 0, 1, 0, 3}},
        {"r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", "e1c1", {King, 0, 0, 0, 2, 0, 2}},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", {Pawn, Pawn, 0, 35, 0, 0, 0}},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8q", {Pawn, Rook, Queen, 0, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        const Move m = Generated(c.move);
        const int read[7] = {MovePiece(m), MoveCaptured(m), MovePromotion(m), MoveEpPawn(m), MoveCastling(m),
                             int(MoveGivesCheck(m)), MoveRights(m)};
        EXPECT_TRUE(std::equal(c.fields, c.fields + 7, read)) << c.fen << " " << c.move;
        EXPECT_EQ(MoveToText(m), c.move);
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
