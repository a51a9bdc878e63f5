// The magic lookups, the hash keys, and the FEN reader.
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

TEST(HashKeys, OfAReadPositionCoverThePiecesAlone) {
    // neither the side to move, the castling rights nor the en-passant square enter a read position's keys
    ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1"));
    const StateRecord first = Position.states[0];
    ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R b - - 0 1"));
    EXPECT_EQ(Position.states[0].key1, first.key1);
    EXPECT_EQ(Position.states[0].key2, first.key2);
    EXPECT_NE(first.key1, first.key2);
}

// What is read, as the writer gives it back: missing clocks, blanks, castling letters in any order;
// castling rights whose king or rook is not home, and en-passant squares no double push could have
// left, are dropped
TEST(FenReader, ReadsStandardTextAndDropsImpossibleRightsAndEnPassantSquares) {
    const std::pair<const char*, const char*> cases[] = {
        {"4k3/8/8/8/8/8/8/4K2R w K -", "4k3/8/8/8/8/8/8/4K2R w K - 0 1"},
        {"4k3/8/8/8/8/8/8/4K2R b K - 00000000000007", "4k3/8/8/8/8/8/8/4K2R b K - 7 1"},
        {"  4k3/8/8/8/8/8/8/4K2R   w \t K  -  100   105  ", "4k3/8/8/8/8/8/8/4K2R w K - 100 105"},
        {"4k3/8/8/8/8/8/8/4K2R w", "4k3/8/8/8/8/8/8/4K2R w - - 0 1"},
        {"4k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", "4k3/8/8/8/8/8/8/4K2R w K - 0 1"},
        {"r3k3/8/8/8/8/8/8/R4K1R w KQkq - 0 1", "r3k3/8/8/8/8/8/8/R4K1R w q - 0 1"},
        {"1r2k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", "1r2k2r/8/8/8/8/8/8/R3K1R1 w Qk - 0 1"},
        {"r3k2r/8/8/8/8/8/8/r3K2R w KQkq - 0 1", "r3k2r/8/8/8/8/8/8/r3K2R w Kkq - 0 1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b kqQK - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1"},
        {"4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1", "4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1"},  // kept, though no pawn takes
        {"4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1", "4k3/8/8/3pP3/8/8/8/4K3 b - - 0 1"},  // Black to move
        {"4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"},  // no pawn in front
        {"4k3/8/8/3Pp3/8/8/8/4K3 w - d6 0 1", "4k3/8/8/3Pp3/8/8/8/4K3 w - - 0 1"},  // the pawn in front is White's
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d3 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"},  // wrong rank
        {"4k3/3p4/8/3pP3/8/8/8/4K3 w - d6 0 1", "4k3/3p4/8/3pP3/8/8/8/4K3 w - - 0 1"},  // origin occupied
        {"4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1", "4k3/8/3n4/3pP3/8/8/8/4K3 w - - 0 1"},  // passed square occupied
        {"b3k3/8/8/3pP3/8/8/8/7K w - d6 0 1", "b3k3/8/8/3pP3/8/8/8/7K w - - 0 1"},  // White was in check before it
        {"4k3/8/8/8/8/8/8/4K3 w - - 10000 10000", "4k3/8/8/8/8/8/8/4K3 w - - 10000 10000"},  // the largest clocks
        {"4k3/8/8/8/8/8/8/4K3 b - - 0000010000 0", "4k3/8/8/8/8/8/8/4K3 b - - 10000 1"},  // full move 0 reads as 1
    };
    for (const auto& [text, fen] : cases) {
        ASSERT_TRUE(Load(text));
        EXPECT_EQ(WriteFen(), fen) << text;
    }
}

TEST(FenReader, RejectsImpossibleTextAndLeavesThePositionUntouched) {
    const char* rejected[] = {
        "", "8/8/8/8/8/8/K6k w - - 0 1", "8/8/8/8/8/8/8/K6k/8 w - - 0 1", "8/8/8/8/8/8/8/K7k w - - 0 1",
        "8/8/8/8/8/8/8/K5k w - - 0 1", "8/8/8/8/8/8/8//K6k w - - 0 1", "8/8/8/8/8/8/8/K6x w - - 0 1",
        "8/8/8/8/8/8/9/K6k w - - 0 1", "8/8/8/8/8/8/08/K6k w - - 0 1", "8/8/8/8/8/8/8/K6k-w - - 0 1",
        "8/8/8/8/8/8/8/K5Kk w - - 0 1", "8/8/8/8/8/8/8/K7 w - - 0 1",            // kings: two white, no black
        "8/8/8/8/8/8/8/KP5k w - - 0 1", "p7/8/8/8/8/8/8/K6k w - - 0 1",          // pawns on the edge ranks
        "4k3/8/8/8/8/8/8/4K2r b - - 0 1", "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",     // the side not to move in check
        "4k3/8/8/8/8/8/8/4K3 w - - x 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 y", "4k3/8/8/8/8/8/8/4K3 w - - -1 1",
        "4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999",
        // kings side by side: one could take the other
        "4k3/4K3/8/8/8/8/8/8 b - - 0 1", "8/8/8/8/6P1/8/4k3/5K2 w - - 0 1", "8/8/6r1/8/8/8/r1k2P2/2K5 w - - 36 81",
        "8/8/8/8/8/5k2/4K3/8 w - - 0 1", "7k/6K1/8/8/8/8/8/8 w - - 0 1",
        // clocks beyond what any game reaches
        "4k3/8/8/8/8/8/8/4K3 w - - 10001 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 10001",
        "4k3/8/8/8/8/8/8/4K3 w - - 2147483647 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 2147483647",
        "4k3/8/8/8/8/8/8/4K3 w - - +5 1",
        // malformed side, castling and en-passant fields, and words after the clocks
        "4k3/8/8/8/8/8/8/4K3 x ZZ e9 0 1 junk", "4k3/8/8/8/8/8/8/4K3 x - - 0 1", "4k3/8/8/8/8/8/8/4K3 W - - 0 1",
        "4k3/8/8/8/8/8/8/4K3 white - - 0 1", "4k3/8/8/8/8/8/8/4K3 bw - - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w ZZ - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w KK - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w kQKQ - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq- - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w -K - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkqK - 0 1",
        "r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1",  // file letters are Chess960's
        "4k3/8/8/3pP3/8/8/8/4K3 w - e9 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - z9 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - e4 0 1",
        "4k3/8/8/3pP3/8/8/8/4K3 w - d 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - d66 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - D6 0 1",
        "4k3/8/8/3pP3/8/8/8/4K3 w - -- 0 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 1 junk", "4k3/8/8/8/8/8/8/4K3 w - - 0 1 0",
        "4k3/8/8/8/8/8/8/4K3 w - - 0 1 moves",
    };
    ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 5 9"));
    ASSERT_TRUE(Play("e1f1"));
    static PositionRecord before;
    std::memcpy(&before, &Position, sizeof Position);
    for (const char* fen : rejected) {
        std::string error;
        EXPECT_FALSE(ReadFen(fen, error)) << fen;
        EXPECT_FALSE(error.empty()) << fen;
        EXPECT_EQ(std::memcmp(&before, &Position, sizeof Position), 0) << fen;
    }
}

}  // namespace
