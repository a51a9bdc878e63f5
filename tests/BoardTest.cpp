// The attack and mask tables, the hash keys, and the FEN reader and writer.
#include <cstring>
#include <map>

#include "Bitboard.h"
#include "Magic.h"
#include "TestSupport.h"

namespace {

Square Sq(const char* name) { return SquareFromText(name); }

// The build must store each distinct set once, numbered as it first appears
// when the squares and their mask subsets are visited in ascending order.
void ExpectSlider(Bitboard (*lookup)(Square, Bitboard), Bitboard (*walk)(Square, Bitboard), const Bitboard* masks,
                  const Bitboard* sets, int expectedSets) {
    std::map<Bitboard, int> numberOf;
    std::vector<Bitboard> order;
    int mismatches = 0;
    for (Square s = 0; s < 64; ++s) {
        Bitboard subset = 0;
        do {
            Bitboard attacks = walk(s, subset);
            if (numberOf.emplace(attacks, int(order.size())).second)
                order.push_back(attacks);
            // squares outside the mask, and s itself, change nothing
            Bitboard noise = ~masks[s] & (0x9248A1C3F00FD255ULL ^ (Bitboard(s) * 0x0123456789ABCDEFULL));
            if (lookup(s, subset) != attacks || lookup(s, subset | noise | SetMask[s]) != attacks)
                ++mismatches;
            subset = (subset - masks[s]) & masks[s];
        } while (subset);
    }
    EXPECT_EQ(mismatches, 0);
    ASSERT_EQ(int(order.size()), expectedSets);
    for (int n = 0; n < expectedSets; ++n)
        ASSERT_EQ(sets[n], order[n]) << "set number " << n;
}

TEST(MagicTables, EveryOccupancyLooksUpTheWalkedSetNumberedByFirstAppearance) {
    ExpectSlider(BishopAttacks, SlowBishopAttacks, BishopMask.data(), BishopAttackSets, 1426);
    ExpectSlider(RookAttacks, SlowRookAttacks, RookMask.data(), RookAttackSets, 4900);
    EXPECT_EQ(BishopSetsUsed(), 1426);
    EXPECT_EQ(RookSetsUsed(), 4900);
    EXPECT_EQ(BishopAttackSets[1426], 0u);
    EXPECT_EQ(RookAttackSets[4900], 0u);
    // the walkers themselves: the first blocker is included, the square never
    EXPECT_EQ(RookAttacks(Sq("a1"), 0), (FileMask[0] | RankMask[0]) & ~Squares({"a1"}));
    EXPECT_EQ(PopCount(BishopAttacks(Sq("d4"), 0)), 13);
    EXPECT_EQ(RookAttacks(Sq("a1"), Squares({"a1", "a2", "b1"})), Squares({"a2", "b1"}));
}

TEST(StartupTables, LinesDistancesAndPawnMasks) {
    EXPECT_EQ(Segment[Sq("a1")][Sq("h8")], 0x8040201008040201ULL);
    EXPECT_EQ(Segment[Sq("a1")][Sq("b3")], 0u);
    EXPECT_EQ(Segment[Sq("e1")][Sq("e1")], 0u);
    EXPECT_EQ(Segment[Sq("h1")][Sq("e4")], Squares({"h1", "g2", "f3", "e4"}));
    EXPECT_EQ(RayThrough[Sq("e1")][Sq("e3")], FileMask[4]);
    EXPECT_EQ(RayThrough[Sq("e4")][Sq("f4")], Squares({"e4", "f4", "g4", "h4"}));
    EXPECT_EQ(RayThrough[Sq("c3")][Sq("b2")], Squares({"c3", "b2", "a1"}));
    EXPECT_EQ(RayThrough[Sq("a1")][Sq("b3")], 0u);
    EXPECT_EQ(Distance[Sq("a1")][Sq("h8")], 7);
    EXPECT_EQ(Distance[Sq("e4")][Sq("f6")], 2);
    EXPECT_EQ(PawnAttacks[White][Sq("a2")], Squares({"b3"}));
    EXPECT_EQ(PawnAttacks[Black][Sq("h7")], Squares({"g6"}));
    EXPECT_EQ(PawnAttacks[White][Sq("e8")], 0u);
    EXPECT_EQ(PawnAttacks[White][Sq("e1")], Squares({"d2", "f2"}));
    EXPECT_EQ(ForwardFile[White][Sq("e2")], FileMask[4] & ~Squares({"e1", "e2"}));
    EXPECT_EQ(ForwardFile[Black][Sq("e7")], FileMask[4] & ~Squares({"e7", "e8"}));
    EXPECT_EQ(PassedMask[White][Sq("a2")], (FileMask[0] | FileMask[1]) & ~(RankMask[0] | RankMask[1]));
    EXPECT_EQ(AttackSpan[Black][Sq("h3")], Squares({"g2", "g1"}));
    EXPECT_EQ(FileSpan[0][Sq("c3")], Squares({"c1", "c2"}));
    EXPECT_EQ(FileSpan[1][Sq("c6")], Squares({"c7", "c8"}));
    EXPECT_EQ(SpaceMask[White], Squares({"c2", "d2", "e2", "f2", "c3", "d3", "e3", "f3", "c4", "d4", "e4", "f4"}));
    EXPECT_EQ(SpaceMask[Black], Squares({"c5", "d5", "e5", "f5", "c6", "d6", "e6", "f6", "c7", "d7", "e7", "f7"}));
    EXPECT_EQ(KingAttacks[Sq("a1")], Squares({"a2", "b1", "b2"}));
    EXPECT_EQ(KnightAttacks[Sq("h8")], Squares({"f7", "g6"}));
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(StepTargets[8 * White + Knight][s], KnightAttacks[s]);
        EXPECT_EQ(StepTargets[8 * Black + King][s], KingAttacks[s]);
        EXPECT_EQ(StepTargets[8 * White + Pawn][s], PawnAttacks[White][s]);
    }
    EXPECT_EQ(StepTargets[8 * Black + Pawn][Sq("a2")], Squares({"b1"}));
    EXPECT_EQ(StepTargets[8 * White + Rook][Sq("h1")], Squares({"h2", "g1"}));
}

TEST(StartupTables, FutilityMarginTruncatesTowardZero) {
    EXPECT_EQ(FutilityMargin[0][0], 0);
    EXPECT_EQ(FutilityMargin[1][0], 45);
    EXPECT_EQ(FutilityMargin[2][0], 269);
    EXPECT_EQ(FutilityMargin[3][10], 320);
    EXPECT_EQ(FutilityMargin[1][63], -458);
}

TEST(StartupTables, ZobristKeysComeFromTheSeededGeneratorInDrawingOrder) {
    const int32_t saved = RandomState;
    RandomState = 1;
    EXPECT_EQ(NextRandom(), 16807);
    EXPECT_EQ(NextRandom(), 282475249);
    EXPECT_EQ(NextRandom(), 1622650073);
    RandomState = saved;
    EXPECT_EQ(Zobrist1.side, 0x486B1D78800041A7ULL);
    EXPECT_EQ(Zobrist2.side, 0x2218DBC13AB50C2AULL);
    EXPECT_EQ(Zobrist1.castle[White][0], 0xEB7284FF06058ED8ULL);
    EXPECT_EQ(Zobrist2.castle[White][1], 0x6AF41C8BC3CD3747ULL);
    EXPECT_EQ(Zobrist1.piece[White][Pawn][0], 0xC44724AA3113C398ULL);
    EXPECT_EQ(Zobrist2.piece[White][Pawn][0], 0x65B1CB16D7E82B11ULL);
    EXPECT_EQ(Zobrist1.piece[Black][Pawn][0], 0xFEE7842267BC5670ULL);
    EXPECT_EQ(Zobrist1.ep[0], 0x4A4B589F7BC066B3ULL);
    EXPECT_EQ(Zobrist2.ep[63], 0x151BA697FE01D4C2ULL);
}

// ---------------------------------------------------------------------------
// FEN reader

TEST(FenReader, StartPositionSetsEveryField) {
    ASSERT_TRUE(Load(StartFen));
    EXPECT_EQ(Position.stateIndex, 0);
    EXPECT_EQ(Position.sideToMove, White);
    EXPECT_EQ(Position.plyCounter, 1);
    EXPECT_EQ(Position.kingSquare[White], 4);
    EXPECT_EQ(Position.kingSquare[Black], 60);
    const int firstRank[8] = {Rook, Knight, Bishop, Queen, King, Bishop, Knight, Rook};
    for (int file = 0; file < 8; ++file)
        EXPECT_EQ(Position.board[file], firstRank[file]);
    EXPECT_EQ(Position.material[White], 8367);
    EXPECT_EQ(Position.material[Black], 8367);
    EXPECT_EQ(Position.phase, 0);
    EXPECT_EQ(Position.states[0].castling[White], 3);
    EXPECT_EQ(Position.states[0].castling[Black], 3);
    EXPECT_EQ(Position.states[0].epSquare, 0);
    EXPECT_EQ(Position.states[0].inCheck, 0);
    EXPECT_EQ(Position.occupied, 0xFFFF00000000FFFFULL);
    EXPECT_EQ(Position.pieces[Black][BishopsQueens], Squares({"c8", "d8", "f8"}));
    EXPECT_EQ(Position.pieces[White][RooksQueens], Squares({"a1", "d1", "h1"}));
}

struct FenFields {
    const char* fen;
    int castlingWhite, castlingBlack, epSquare, halfmove, plyCounter, phase;
};

TEST(FenReader, ReadsStandardTextWithMissingClocksBlankRunsAndLongNumbers) {
    const FenFields cases[] = {
        {"8/8/8/8/8/8/8/K6k w - - 0 1", 0, 0, 0, 0, 1, 24},
        {"rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2", 3, 3, 44, 0, 2, 0},
        {"4k3/8/8/8/8/8/8/4K2R w K - 12 105", 1, 0, 0, 12, 105, 22},
        {"4k3/8/8/8/8/8/8/4K2R w K - 100 70", 1, 0, 0, 100, 70, 22},
        {"4k3/8/8/8/8/8/8/4K2R w K -", 1, 0, 0, 0, 1, 22},
        {"4k3/8/8/8/8/8/8/4K2R w K - 7", 1, 0, 0, 7, 1, 22},
        {"  4k3/8/8/8/8/8/8/4K2R   w \t K  -  3   4  ", 1, 0, 0, 3, 4, 22},
        {"4k3/8/8/8/8/8/8/4K2R w", 0, 0, 0, 0, 1, 22},
        {"QQQQk3/QQQ5/8/8/8/8/8/4K3 b - - 0 1", 0, 0, 0, 0, 1, 0},  // phase never below 0
        {"r3k2r/8/8/8/8/8/8/R3K2R b Qk - 0 1", 2, 1, 0, 0, 1, 16},
    };
    for (const FenFields& c : cases) {
        SCOPED_TRACE(c.fen);
        ASSERT_TRUE(Load(c.fen));
        const StateRecord& state = Position.states[0];
        EXPECT_EQ(state.castling[White], c.castlingWhite);
        EXPECT_EQ(state.castling[Black], c.castlingBlack);
        EXPECT_EQ(state.epSquare, c.epSquare);
        EXPECT_EQ(state.halfmoveClock, c.halfmove);
        EXPECT_EQ(Position.plyCounter, c.plyCounter);
        EXPECT_EQ(Position.phase, c.phase);
    }
}

TEST(FenReader, KeysIgnoreSideRightsAndEnPassantField) {
    ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1"));
    const uint64_t key1 = Position.states[0].key1, key2 = Position.states[0].key2;
    ASSERT_TRUE(Load("r3k2r/8/8/3pP3/8/8/8/R3K2R b - - 0 1"));
    EXPECT_EQ(Position.states[0].key1, key1);
    EXPECT_EQ(Position.states[0].key2, key2);
    uint64_t scratch1, scratch2;
    ComputeKeys(scratch1, scratch2);
    EXPECT_EQ(scratch1, key1);
    EXPECT_EQ(scratch2, key2);
    EXPECT_NE(key1, key2);
}

TEST(FenReader, SetsTheCheckFlagOfTheSideToMove) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/4KR1r w - - 0 1"));
    EXPECT_EQ(Position.states[0].inCheck, 0);
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/4K2r w - - 0 1"));
    EXPECT_EQ(Position.states[0].inCheck, 1);
}

TEST(FenReader, RejectsImpossibleTextAndLeavesThePositionUntouched) {
    const char* rejected[] = {
        "",
        "8/8/8/8/8/8/K6k w - - 0 1",             // seven ranks
        "8/8/8/8/8/8/8/K6k/8 w - - 0 1",         // nine ranks
        "8/8/8/8/8/8/8/K7k w - - 0 1",           // nine squares on a rank
        "8/8/8/8/8/8/8/K5k w - - 0 1",           // seven squares on a rank
        "8/8/8/8/8/8/8/K6k/ w - - 0 1",
        "8/8/8/8/8/8/8//K6k w - - 0 1",
        "8/8/8/8/8/8/8/K6x w - - 0 1",           // not a piece letter
        "8/8/8/8/8/8/9/K6k w - - 0 1",
        "8/8/8/8/8/8/08/K6k w - - 0 1",
        "8/8/8/8/8/8/8/K6k-w - - 0 1",
        "8/8/8/8/8/8/8/K5Kk w - - 0 1",          // two white kings
        "8/8/8/8/8/8/8/K7 w - - 0 1",            // no black king
        "8/8/8/8/8/8/8/8 w - - 0 1",
        "8/8/8/8/8/8/8/KP5k w - - 0 1",          // pawn on the first rank
        "p7/8/8/8/8/8/8/K6k w - - 0 1",          // pawn on the last rank
        "4k3/8/8/8/8/8/8/4K2r b - - 0 1",        // White, not to move, in check
        "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",       // Black, not to move, in check
        "4k3/8/8/8/8/8/8/4K3 w - - x 1",         // clocks that are not numbers
        "4k3/8/8/8/8/8/8/4K3 w - - 0 y",
        "4k3/8/8/8/8/8/8/4K3 w - - -1 1",
        "4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999",
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

TEST(FenReader, DropsCastlingRightsWhoseKingOrRookIsNotHome) {
    const FenFields cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 3, 3, 0, 0, 1, 16},
        {"4k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", 1, 0, 0, 0, 1, 22},
        {"r3k3/8/8/8/8/8/8/R4K1R w KQkq - 0 1", 0, 2, 0, 0, 1, 18},
        {"1r2k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", 2, 1, 0, 0, 1, 16},
        {"r3k2r/8/8/8/8/8/8/r3K2R w KQkq - 0 1", 1, 3, 0, 0, 1, 16},  // a black rook on a1
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkqKQ - 0 1", 3, 3, 0, 0, 1, 16},
    };
    for (const FenFields& c : cases) {
        SCOPED_TRACE(c.fen);
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(Position.states[0].castling[White], c.castlingWhite);
        EXPECT_EQ(Position.states[0].castling[Black], c.castlingBlack);
    }
}

TEST(FenReader, KeepsOnlyEnPassantSquaresADoublePushCouldHaveLeft) {
    const std::pair<const char*, int> cases[] = {
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", 43},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", 19},
        {"4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1", 43},     // no pawn to take it: kept all the same
        {"4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1", 0},     // Black to move
        {"4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1", 0},     // no pawn in front of it
        {"4k3/8/8/3Pp3/8/8/8/4K3 w - d6 0 1", 0},     // the pawn in front is White's
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d3 0 1", 0},     // wrong rank
        {"4k3/3p4/8/3pP3/8/8/8/4K3 w - d6 0 1", 0},   // the push's origin is occupied
        {"4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1", 0},   // the square passed over is occupied
        {"b3k3/8/8/3pP3/8/8/8/7K w - d6 0 1", 0},     // before the push White was in check
        {"4k3/8/8/3pP3/8/8/8/4K3 w - z9 0 1", 0},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d 0 1", 0},
    };
    for (const auto& [fen, epSquare] : cases) {
        ASSERT_TRUE(Load(fen));
        EXPECT_EQ(Position.states[0].epSquare, epSquare) << fen;
    }
}

// ---------------------------------------------------------------------------
// FEN writer

TEST(FenWriter, RoundTripsWithTheReader) {
    const char* fens[] = {
        StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 100 105",
        "r3k2r/8/8/8/8/8/8/R3K2R b Qk - 3 40",
    };
    for (const char* fen : fens) {
        ASSERT_TRUE(Load(fen));
        EXPECT_EQ(WriteFen(), fen);
    }
}

TEST(FenWriter, WritesThePositionReachedByMoves) {
    const std::pair<const char*, const char*> cases[] = {
        {"e2e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"},
        {"e2e4 e7e5 g1f3", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"},
        {"g1f3 g8f6 h1g1 h8g8", "rnbqkbr1/pppppppp/5n2/8/8/5N2/PPPPPPPP/RNBQKBR1 w Qq - 4 3"},
        {"e2e4 d7d5 e4d5 c7c5 d5c6", "rnbqkbnr/pp2pppp/2P5/8/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3"},
        {"h2h4 a7a5 h4h5 a5a4 h5h6 a4a3 h6g7 a3b2 g7h8q b2a1q",  // rooks taken on their corners
         "rnbqkbnQ/1ppppp1p/8/8/8/8/P1PPPPP1/qNBQKBNR w Kq - 0 6"},
    };
    for (const auto& [moves, fen] : cases) {
        ASSERT_TRUE(Load(StartFen));
        ASSERT_TRUE(Play(moves));
        EXPECT_EQ(WriteFen(), fen) << moves;
        ASSERT_TRUE(Load(fen));
        EXPECT_EQ(WriteFen(), fen);
    }
}

}  // namespace
