// The magic lookups and the FEN reader (tests/data/fen_reader.txt). The keys of a read
// position, from the pieces alone: MakeMoveTest's recount.
#include <cstring>

#include "Bitboard.h"
#include "Magic.h"
#include "TestSupport.h"

namespace {

// Every occupancy of every mask, with noise outside the mask and on the square itself,
// looks up the set the slow walker finds
TEST(MagicTables, EveryOccupancyLooksUpTheWalkedSet) {
    const struct { Bitboard (*lookup)(Square, Bitboard), (*walk)(Square, Bitboard); const Bitboard* masks; } sliders[] = {
        {BishopAttacks, SlowBishopAttacks, BishopMask.data()}, {RookAttacks, SlowRookAttacks, RookMask.data()}};
    int mismatches = 0;
    for (const auto& slider : sliders)
        for (Square s = 0; s < 64; ++s) {
            const Bitboard mask = slider.masks[s], noise = ~mask & (0x9248A1C3F00FD255ULL ^ (s * 0x0123456789ABCDEFULL));
            Bitboard subset = 0;
            do {
                const Bitboard attacks = slider.walk(s, subset);
                mismatches += slider.lookup(s, subset) != attacks || slider.lookup(s, subset | noise | SetMask[s]) != attacks;
                subset = (subset - mask) & mask;
            } while (subset);
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(RookAttacks(SquareFromText("a1"), 0x103), 0x102u);  // the first blocker is included, the square never
    EXPECT_EQ(PopCount(BishopAttacks(SquareFromText("d4"), 0)), 13);
}

TEST(FenReader, ReadsWhatTheWriterGivesBackAndRefusesImpossibleTextLeavingThePositionUntouched) {
    static PositionRecord before;
    for (const DataLine& line : ReadData("fen_reader.txt")) {
        ASSERT_EQ(line.fields.size(), 3u) << line.rule;
        const std::string &text = line.fields[1], &written = line.fields[2];
        Chess960Option = line.fields[0] == "chess960";
        ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 5 9") && Play("e1f1"));   // a position with a history
        std::memcpy(&before, &Position, sizeof Position);
        std::string error;
        const bool read = ReadFen(text, error);
        EXPECT_EQ(read ? WriteFen() : "refused", written) << line.rule << ": " << text;
        EXPECT_TRUE(read || (!error.empty() && !std::memcmp(&before, &Position, sizeof Position))) << text;
    }
    Chess960Option = false;
}

}  // namespace
