// Legal and capture generation: order, move words, the check bit, pins,
// evasions, en passant and castling; and the move text readers.
#include "TestSupport.h"

namespace {

using MoveTexts = std::vector<std::string>;

TEST(MoveGeneration, StartPositionListsTwentyMovesInGenerationOrder) {
    ASSERT_TRUE(Load(StartFen));
    EXPECT_EQ(Texts(LegalMoves()),
              (MoveTexts{"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4", "c2c4",
                      "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"}));
    EXPECT_EQ(Generated("e2e4"), 0xC000170Cu);
    EXPECT_TRUE(CaptureMoves().empty());
}

// Every field of the word: from, to, piece, captured, promotion, en-passant pawn, castling, check, rights
TEST(MoveGeneration, PacksEveryFieldOfTheMoveWord) {
    const struct { const char* fen; const char* move; Move word; } cases[] = {
        {StartFen, "e2e4", 0xC000170C},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1", 0xC8006184},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1c1", PackMoveWord(4, 2, King, 0, 0, 0, 2, 3)},
        {"r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 1", "a8a1", PackMoveWord(56, 0, Rook, Rook, 0, 0, 0, 2) | CheckBit},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 0x04609AE4},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8q", 0x00161E70 | CheckBit},
        {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8n", PackMoveWord(48, 57, Pawn, Rook, Knight, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(Generated(c.move), c.word) << c.fen << " " << c.move;
    }
}

struct CheckCase {
    const char* rule;
    const char* fen;
    const char* move;
    bool check;
};

TEST(MoveGeneration, CheckBitIsExactForEveryKindOfCheck) {
    const CheckCase cases[] = {
        {"knight, direct", "4k3/8/8/8/2N5/8/8/4K3 w - - 0 1", "c4d6", true},
        {"knight, no check", "4k3/8/8/8/2N5/8/8/4K3 w - - 0 1", "c4e5", false},
        {"rook, direct", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", true},
        {"rook, no check", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a7", false},
        {"queen, diagonal", "4k3/8/8/8/8/8/8/3QK3 w - - 0 1", "d1a4", true},
        {"pawn, direct", "4k3/8/5P2/8/8/8/8/4K3 w - - 0 1", "f6f7", true},
        {"pawn push along the screened file", "4k3/8/8/8/3n4/4P3/8/4R2K w - - 0 1", "e3e4", false},
        {"pawn capture off the screened file", "4k3/8/8/8/3n4/4P3/8/4R2K w - - 0 1", "e3d4", true},
        {"en passant opens the rank", "8/8/8/1k1pP2R/8/8/8/4K3 w - d6 0 1", "e5d6", true},
        {"en passant opens the diagonal", "8/1k6/8/3pP3/8/5B2/8/4K3 w - d6 0 1", "e5d6", true},
        {"en passant, direct", "8/4k3/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", true},
        {"en passant, no check", "8/8/8/2kpP3/8/8/8/4K3 w - d6 0 1", "e5d6", false},
        {"promotion to queen on the rank", "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", true},
        {"promotion to rook on the rank", "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8r", true},
        {"promotion to bishop, off line", "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8b", false},
        {"promotion to knight", "8/4P3/5k2/8/8/8/8/4K3 w - - 0 1", "e7e8n", true},
        {"promotion to queen, no check", "8/4P3/5k2/8/8/8/8/4K3 w - - 0 1", "e7e8q", false},
        {"promotion through the square it left", "8/1P6/8/8/8/8/8/1k2K3 w - - 0 1", "b7b8q", true},
        {"under-promotion through that square", "8/1P6/8/8/8/8/8/1k2K3 w - - 0 1", "b7b8r", true},
        {"capture-promotion", "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8r", true},
        {"castling king-side, rook on f1", "5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true},
        {"castling queen-side, rook on d1", "3k4/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", true},
        {"castling, no check", "4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false},
        {"castling king-side, check across the king's square", "8/8/8/8/8/8/8/k3K2R w K - 0 1", "e1g1", true},
        {"castling queen-side, check across the king's square", "8/8/8/8/8/8/8/R3K2k w Q - 0 1", "e1c1", true},
        {"black castling king-side", "4k2r/8/8/8/8/8/8/5K2 b k - 0 1", "e8g8", true},
        {"king leaves the screened file", "4k3/8/8/8/8/8/4K3/4R3 w - - 0 1", "e2d2", true},
        {"king stays on the screened file", "4k3/8/8/8/8/8/4K3/4R3 w - - 0 1", "e2e3", false},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(Load(c.fen));
        Move m = Generated(c.move);
        ASSERT_NE(m, 0u) << c.move;
        EXPECT_EQ(MoveGivesCheck(m), c.check);
        MakeMove(m);
        EXPECT_EQ(CurrentState().inCheck, c.check);
        EXPECT_EQ(KingAttacked(Position.sideToMove), c.check);
        UnmakeMove();
    }
}

TEST(MoveGeneration, EveryMoveOfAScreeningPieceGivesDiscoveredCheck) {
    const std::pair<const char*, const char*> cases[] = {
        {"4k3/8/8/8/4B3/8/8/4R2K w - - 0 1", "e4"},  // bishop screening a rook
        {"4k3/8/2N5/1B6/8/8/8/6K1 w - - 0 1", "c6"},  // knight screening a bishop
        {"8/k7/8/8/8/8/5R2/6QK w - - 0 1", "f2"},    // rook screening a queen
    };
    for (const auto& [fen, from] : cases) {
        ASSERT_TRUE(Load(fen));
        int moves = 0;
        for (Move m : LegalMoves())
            if (MoveFrom(m) == SquareFromText(from)) {
                ++moves;
                EXPECT_TRUE(MoveGivesCheck(m)) << fen << " " << MoveToText(m);
            }
        EXPECT_GT(moves, 3) << fen;
    }
}

// Exact move lists, in generation order
TEST(MoveGeneration, PinsChecksEnPassantAndPromotionsGiveExactLists) {
    const struct { const char* rule; const char* fen; MoveTexts moves; } cases[] = {
        {"double check: only the king moves", "4k3/8/8/8/8/5n2/3P4/r3K2R w K - 0 1", {"e1e2", "e1f2"}},
        {"a pinned knight never moves", "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", {"e1d1", "e1f1", "e1d2", "e1f2"}},
        {"a rook pinned on a file moves along it, up to the pinner",
         "4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1",
         {"e1d1", "e1f1", "e1d2", "e1f2", "e2e3", "e2e4", "e2e5", "e2e6", "e2e7"}},
        {"a bishop pinned on a diagonal moves along it", "4k3/8/8/8/1q6/8/3B4/4K3 w - - 0 1",
         {"e1d1", "e1f1", "e1e2", "e1f2", "d2c3", "d2b4"}},
        {"a pinned pawn pushes along the pin", "4k3/4r3/8/8/8/8/4P3/4K3 w - - 0 1",
         {"e1d1", "e1f1", "e1d2", "e1f2", "e2e3", "e2e4"}},
        {"the king does not step back along the checking line", "4k3/8/8/8/8/8/8/r3K3 w - - 0 1",
         {"e1d2", "e1e2", "e1f2"}},
        {"in check, a piece blocks or captures the checker", "4k3/8/8/8/8/1N6/8/r3K3 w - - 0 1",
         {"e1d2", "e1e2", "e1f2", "b3a1", "b3c1"}},
        {"a double push blocks a check the single push cannot", "4k3/8/8/b7/8/8/1P6/4K3 w - - 0 1",
         {"e1d1", "e1f1", "e1e2", "e1f2", "b2b4"}},
        {"en passant that bares the king on the rank is not generated", "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
         {"a4a3", "a4b3", "a4b4", "a4a5", "a4b5", "e4e3"}},
        {"en passant takes the pawn that gives check", "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
         {"c5b4", "c5c4", "c5d4", "c5b5", "c5d5", "c5b6", "c5c6", "c5d6", "e4d3"}},
        {"a promotion gives four moves: queen, rook, bishop, knight", "4k3/P7/8/8/8/8/8/7K w - - 0 1",
         {"h1g1", "h1g2", "h1h2", "a7a8q", "a7a8r", "a7a8b", "a7a8n"}},
        {"checkmate leaves no move", "R5k1/5ppp/8/8/8/8/8/4K3 b - - 0 1", {}},
        {"stalemate leaves no move", "7k/5Q2/8/8/8/8/8/4K3 b - - 0 1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(Texts(LegalMoves()), c.moves);
    }
}

TEST(MoveGeneration, CastlingNeedsRightsEmptySafeSquaresAndTheRook) {
    const struct { const char* rule; const char* fen; bool kingSide, queenSide; } cases[] = {
        {"both ways", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", true, true},
        {"black, both ways", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", true, true},
        {"no rights", "r3k2r/8/8/8/8/8/8/R3K2R w kq - 0 1", false, false},
        {"king in check", "r3k2r/8/8/8/4r3/8/8/R3K2R w KQkq - 0 1", false, false},
        {"king passes an attacked square", "r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", false, true},
        {"king lands on an attacked square", "r3k2r/8/8/8/8/8/7b/R3K2R w KQkq - 0 1", false, true},
        {"d1 attacked", "3rk2r/8/8/8/8/8/8/R3K2R w KQk - 0 1", true, false},
        {"c1 attacked", "r3k2r/8/8/8/8/b7/8/R3K2R w KQkq - 0 1", true, false},
        {"an attacked b1 does not matter", "r3k2r/8/8/8/8/8/b7/R3K2R w KQkq - 0 1", true, true},
        {"b1 occupied", "r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", true, false},
        {"g1 occupied", "r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1", false, true},
        {"f1 occupied by an enemy piece", "r3k2r/8/8/8/8/8/8/R3Kb1R w KQkq - 0 1", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(Load(c.fen));
        const bool white = Position.sideToMove == White;
        EXPECT_EQ(Generated(white ? "e1g1" : "e8g8") != 0, c.kingSide);
        EXPECT_EQ(Generated(white ? "e1c1" : "e8c8") != 0, c.queenSide);
    }
}

// The owner keeps the right when its rook is taken, but the generator wants the rook on its corner
TEST(MoveGeneration, NoCastlingWithARookTakenOnItsCorner) {
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/6b1/R3K2R b KQkq - 0 1"));
    ASSERT_TRUE(Play("g2h1"));
    EXPECT_EQ(CurrentState().castling[White], 3);
    EXPECT_EQ(Generated("e1g1"), 0u);
    EXPECT_NE(Generated("e1c1"), 0u);
}

// Another rook reaching the empty corner does not bring the lost right back
TEST(MoveGeneration, NoCastlingWithARookThatTookTheCornerOfALostOne) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/6b1/R3K2R b KQ - 0 1"));
    ASSERT_TRUE(Play("g2h1 a1a2 h1d5 a2h2 e8d8 h2h1 d8e8"));
    EXPECT_EQ(Generated("e1g1"), 0u);
    EXPECT_EQ(CountLegalMoves(), 14);
    EXPECT_EQ(WriteFen(), "4k3/8/8/3b4/8/8/8/4K2R w - - 6 5");
}

// ---------------------------------------------------------------------------
// Capture generation

TEST(CaptureGeneration, ListsOnlyLegalCaptures) {
    const struct { const char* rule; const char* fen; MoveTexts moves; } cases[] = {
        {"capture-promotions fan out, promotion pushes are left out", "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1",
         {"a7b8q", "a7b8r", "a7b8b", "a7b8n"}},
        {"en passant is a capture", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", {"e5d6"}},
        {"a pinned piece takes only its pinner", "4k3/8/8/8/1q3p2/8/3B4/4K3 w - - 0 1", {"d2b4"}},
        {"the king takes only undefended pieces", "4k3/8/8/1b6/8/8/3np3/4K3 w - - 0 1", {"e1d2"}},
        {"en passant that bares the king is left out", "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1", {}},
        {"order: king, pawns, knights, diagonals, lines", "4k3/8/8/3p4/2Pb4/1N3Q2/8/3nK3 w - - 0 1",
         {"e1d1", "c4d5", "b3d4", "f3d1", "f3d5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(Texts(CaptureMoves()), c.moves);
    }
}

// ---------------------------------------------------------------------------
// Move text

TEST(MoveText, WritesSquaresAndLowerCasePromotion) {
    EXPECT_EQ(MoveToText(0xC000170C), "e2e4");
    EXPECT_EQ(MoveToText(PackMoveWord(52, 60, Pawn, 0, Knight, 0, 0, 0)), "e7e8n");
    EXPECT_EQ(MoveToText(PackMoveWord(52, 60, Pawn, 0, Queen, 0, 0, 0)), "e7e8q");
    EXPECT_EQ(MoveToText(0xC8006184), "e1g1");
    EXPECT_EQ(MoveToText(0), "a1a1");
}

TEST(MoveText, ReadsWordsOfTheCurrentPosition) {
    ASSERT_TRUE(Load(StartFen));
    EXPECT_EQ(MoveFromText("e2e4"), 0xC000170Cu);
    EXPECT_EQ(FindLegalMove("e2e4"), 0xC000170Cu);
    ASSERT_TRUE(Load("4k3/P7/8/3pP3/8/8/8/R3K2R w KQ d6 0 1"));
    EXPECT_EQ(MoveFromText("a7a8Q"), MoveFromText("a7a8q"));
    EXPECT_EQ(MovePromotion(FindLegalMove("a7a8N")), Knight);
    const Move ep = FindLegalMove("e5d6");  // the reader leaves the captured field empty
    EXPECT_EQ(MoveEpPawn(ep), 35);
    EXPECT_EQ(MoveCaptured(ep), 0);
    EXPECT_EQ(MoveCastling(FindLegalMove("e1g1")), 1);
    EXPECT_EQ(MoveCastling(FindLegalMove("e1c1")), 2);
    EXPECT_EQ(MoveCastling(FindLegalMove("e1f1")), 0);
    EXPECT_FALSE(MoveGivesCheck(FindLegalMove("e1c1")));
    EXPECT_EQ(MoveRights(FindLegalMove("a1a2")), 3);
}

TEST(MoveText, RefusesWordsThatAreNotLegalMoves) {
    ASSERT_TRUE(Load("k7/4P3/8/8/8/8/4P3/4K3 w - - 0 1"));
    for (const char* word : {"", "e", "e2", "e2e", "e2e5", "e2e9", "i2i4", "e0e1", "e2e4q", "e2e4x", "e7e8", "e7e8k",
                             "e7e8p", "e7e8qq", "e3e4", "e8e7", "E2E4", "e2-e4", "e1e1", "0000"})
        EXPECT_EQ(FindLegalMove(word), 0u) << "'" << word << "'";
    EXPECT_NE(FindLegalMove("e2e4"), 0u);
    EXPECT_NE(FindLegalMove("e7e8q"), 0u);
}

TEST(MoveText, SearchMovesKeepsAtMostAHundredLegalWords) {
    ASSERT_TRUE(Load(StartFen));
    ReadSearchMoves("e2e4 e2e5 d2d4 zz g1f3");
    ASSERT_EQ(SearchMoves.count, 3);
    EXPECT_EQ(SearchMoves.moves[1], 0xC000170Cu);
    EXPECT_EQ(MoveToText(SearchMoves.moves[3]), "g1f3");
    std::string many;
    for (int i = 0; i < 150; ++i)
        many += " e2e4 b1c3";
    ReadSearchMoves(many);
    EXPECT_EQ(SearchMoves.count, MaxSearchMoves);
    MoveList list;
    list.count = 1;
    AppendSearchMoves(list);
    EXPECT_EQ(list.count, 1 + MaxSearchMoves);
    EXPECT_EQ(MoveToText(list.moves[101]), "b1c3");
}

}  // namespace
