// Fischer-random chess (UCI_Chess960 on): each case of the castling rule, and the
// rights in the keys. Reading the rights: tests/data/fen_reader.txt.
#include <set>

#include "TestSupport.h"

namespace {

// Each case of tests/data/chess960_castling.txt: generated or not, the text reading back as the
// move, the board after it, its check bit, and unmake
TEST(Chess960, CastlingFromAnyFilesFollowsTheFischerRandomRule) {
    Chess960Rules rules;
    for (const DataLine& c : ReadData("chess960_castling.txt")) {
        const std::string &text = c.fields[1], &after = c.fields[2];
        ASSERT_TRUE(Load(c.fields[0]));
        const std::string before = WriteFen();
        const Move m = Generated(text);
        ASSERT_EQ(m != 0, after != "illegal") << c.rule;
        if (!m)
            continue;
        EXPECT_EQ(MoveFromText(text), m) << c.rule << ": the text reads back as another move";
        MakeMove(m);
        EXPECT_EQ(WriteFen(), after) << c.rule;
        EXPECT_EQ(MoveGivesCheck(m), KingAttacked(Position.sideToMove)) << c.rule << ": wrong check bit";
        UnmakeMove();
        EXPECT_EQ(WriteFen(), before) << c.rule << ": unmake";
    }
}

// In standard chess the rights stay out of the keys (MakeMoveTest's recount); here they enter them
TEST(Chess960, SamePlacementWithOtherRightsHasOtherKeys) {
    Chess960Rules rules;
    std::set<uint64_t> keys1, keys2;
    for (const std::string rights : {"-", "K", "Q", "k", "KQkq"}) {
        ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w " + rights + " - 0 1"));
        EXPECT_TRUE(keys1.insert(CurrentState().key1).second && keys2.insert(CurrentState().key2).second) << rights;
    }
    // the rights a king move gives up leave the key as a position read without them has it
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1") && Play("e1d1 e8d8 d1e1 d8e8"));
    const uint64_t played = CurrentState().key1;
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1"));
    EXPECT_EQ(played, CurrentState().key1);
}

}  // namespace
