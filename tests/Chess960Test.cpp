// Fischer-random chess (UCI_Chess960 on): each case of the castling rule, named
// after the fault it catches; Shredder-FEN and X-FEN rights; rights in the keys.
#include "TestSupport.h"

namespace {

// A castling written as the king taking its own rook: generated or not, and the board after it
TEST(Chess960, CastlingFromAnyFilesFollowsTheFischerRandomRule) {
    const struct { const char* fault; const char* fen; const char* move; const char* after; } cases[] = {
        {"king already on its destination never castles", "4k3/8/8/8/8/8/8/6KR w H - 0 1", "g1h1",
         "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},
        {"rook already on its destination blocks the king's path", "4k3/8/8/8/8/8/8/4KR2 w F - 0 1", "e1f1",
         "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},
        {"king and rook exchanging squares lose a piece", "4k3/8/8/8/8/8/8/5KR1 w G - 0 1", "f1g1",
         "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},
        {"queen-side exchange loses a piece", "4k3/8/8/8/8/8/8/2RK4 w C - 0 1", "d1c1", "4k3/8/8/8/8/8/8/2KR4 b - - 0 1"},
        {"black castling takes White's squares", "rk6/8/8/8/8/8/8/4K3 b a - 0 1", "b8a8", "2kr4/8/8/8/8/8/8/4K3 w - - 0 2"},
        {"attacks are seen with the castling rook still on b1", "4k3/8/8/8/8/8/8/qRK5 w B - 0 1", "c1b1", nullptr},
        {"only the king's path is checked for men", "4k3/8/8/8/8/8/8/RN3K2 w A - 0 1", "f1a1", nullptr},
        {"only the rook's path is checked for men", "4k3/8/8/8/8/8/8/1K1N3R w H - 0 1", "b1h1", nullptr},
        {"only the king's start and end are checked for attacks", "3rk3/8/8/8/8/8/8/1K5R w H - 0 1", "b1h1", nullptr},
        {"castling out of check", "1r4k1/8/8/8/8/8/8/RK5R w HA - 0 1", "b1a1", nullptr},
        {"the rook's check from f1 is missed", "5k2/8/8/8/8/8/8/1K5R w H - 0 1", "b1h1", "5k2/8/8/8/8/8/8/5RK1 b - - 0 1"},
        {"the right of the inner rook is taken for the outer one's", "4k3/8/8/8/8/8/8/RR2K3 w B - 0 1", "e1b1",
         "4k3/8/8/8/8/8/8/R1KR4 b - - 0 1"},
    };
    Chess960Rules rules;
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        const std::string before = WriteFen();
        const Move m = Generated(c.move);
        ASSERT_EQ(m != 0, c.after != nullptr) << c.fault;
        if (!m)
            continue;
        EXPECT_EQ(MoveFromText(c.move), m) << c.fault << ": the text reads back as another move";
        MakeMove(m);
        EXPECT_EQ(WriteFen(), c.after) << c.fault;
        EXPECT_EQ(MoveGivesCheck(m), KingAttacked(Position.sideToMove)) << c.fault << ": wrong check bit";
        UnmakeMove();
        EXPECT_EQ(WriteFen(), before) << c.fault << ": unmake";
    }
}

// The writer gives X-FEN: K/Q (k/q) for the outermost rook on a side, the file for an inner one
TEST(Chess960, ReadsShredderAndXFenRightsAndWritesXFen) {
    const std::pair<const char*, const char*> cases[] = {
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
         "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq - 2 9"},
        {"rr2k1r1/8/8/8/8/8/8/RR2K1R1 w BGbg - 0 1", "rr2k1r1/8/8/8/8/8/8/RR2K1R1 w KBkb - 0 1"},
        {"rr2k1r1/8/8/8/8/8/8/RR2K1R1 w KBkb - 0 1", "rr2k1r1/8/8/8/8/8/8/RR2K1R1 w KBkb - 0 1"},
        {"rr2k1r1/8/8/8/8/8/8/RR2K1R1 w AGa - 0 1", "rr2k1r1/8/8/8/8/8/8/RR2K1R1 w KQq - 0 1"},
        {"4k3/8/8/8/8/8/8/4K2R w HAha - 0 1", "4k3/8/8/8/8/8/8/4K2R w K - 0 1"},   // no rook on a1, a8, h8
        {"4k3/8/8/8/8/8/4K3/R6R w HA - 0 1", "4k3/8/8/8/8/8/4K3/R6R w - - 0 1"},  // the king has left its rank
        {"4k3/8/8/8/8/8/8/r3K2R w KQ - 0 1", "4k3/8/8/8/8/8/8/r3K2R w K - 0 1"},   // only an enemy rook on a1
    };
    Chess960Rules rules;
    for (const auto& [text, fen] : cases) {
        ASSERT_TRUE(Load(text));
        EXPECT_EQ(WriteFen(), fen) << text;
    }
    for (const char* fen : {"rr2k1r1/8/8/8/8/8/8/RR2K1R1 w KG - 0 1", "rr2k1r1/8/8/8/8/8/8/RR2K1R1 w AB - 0 1",
                            "4k3/8/8/8/8/8/8/R3K2R w HH - 0 1", "4k3/8/8/8/8/8/8/R3K2R w I - 0 1",
                            "4k3/8/8/8/8/8/8/R3K2R w Hx - 0 1"}) {
        std::string error;
        EXPECT_FALSE(ReadFen(fen, error)) << fen;
    }
}

// In standard chess the rights stay out of the keys (HashKeys tests that); here they enter them
TEST(Chess960, SamePlacementWithOtherRightsHasOtherKeys) {
    Chess960Rules rules;
    std::vector<std::pair<uint64_t, uint64_t>> keys;
    for (const char* fen : {"r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w K - 0 1",
                            "r3k2r/8/8/8/8/8/8/R3K2R w Q - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w k - 0 1",
                            "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"}) {
        ASSERT_TRUE(Load(fen));
        for (const auto& [key1, key2] : keys)
            EXPECT_TRUE(key1 != CurrentState().key1 && key2 != CurrentState().key2) << fen;
        keys.emplace_back(CurrentState().key1, CurrentState().key2);
    }
    // the rights a king move gives up leave the key as a position read without them has it
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    ASSERT_TRUE(Play("e1d1 e8d8 d1e1 d8e8"));
    const uint64_t played = CurrentState().key1;
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1"));
    EXPECT_EQ(played, CurrentState().key1);
}

}  // namespace
