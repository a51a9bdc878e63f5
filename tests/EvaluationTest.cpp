// The static evaluation: colour symmetry over a few thousand varied positions,
// pinned values, the terms that catch real faults, scaling and the endgame
// recognisers.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Board.h"
#include "Evaluation.h"
#include "Findepartie.h"
#include "GenMoves.h"
#include "Init.h"
#include "Makemove.h"
#include "Parametres.h"
#include "Pawns.h"
#include "Thread.h"

namespace {

bool LoadFen(const std::string& fen) {
    std::string error;
    const bool read = ReadFen(fen, error);
    EXPECT_TRUE(read) << fen << ": " << error;
    return read;
}

// White-relative value, the side to move being the root of the search
int32_t WhiteValue() {
    InitKingDangerTable(Position.sideToMove);
    const int32_t v = Evaluate();
    return Position.sideToMove == White ? v : -v;
}

std::string SwapCase(std::string s) {
    for (char& c : s)
        c = std::isupper(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : char(std::toupper(c));
    return s;
}

// The same position upside down with the colours swapped
std::string MirrorFen(const std::string& fen) {
    std::istringstream in(fen);
    std::string placement, side, castling, ep, rest, rank, board, rights;
    in >> placement >> side >> castling >> ep;
    std::getline(in, rest);
    std::istringstream ranks(SwapCase(placement));
    while (std::getline(ranks, rank, '/'))
        board = rank + (board.empty() ? "" : "/") + board;
    for (char c : std::string("KQkq"))
        if (SwapCase(castling).find(c) != std::string::npos)
            rights += c;
    if (ep != "-")
        ep[1] = char('1' + '8' - ep[1]);
    return board + (side == "w" ? " b " : " w ") + (rights.empty() ? "-" : rights) + " " + ep + rest;
}

// Legal random placements of the two kings and the men given ("BN" White's, "r" Black's)
void AddRandomEndings(std::vector<std::string>& out, const std::string& men, int count, std::mt19937& random) {
    for (int made = 0; made < count;) {
        std::string board(64, '1'), fen, error;
        for (char man : "Kk" + men) {
            const int s = int(random() % 64);
            board[s] = board[s] == '1' ? man : '?';   // the reader refuses a clash, as a pawn on an end rank
        }
        for (int rank = 7; rank >= 0; --rank)
            fen += board.substr(8 * rank, 8) + (rank ? "/" : random() % 2 ? " w - - 0 1" : " b - - 0 1");
        if (ReadFen(fen, error)) {
            out.push_back(WriteFen());
            ++made;
        }
    }
}

// Random games from a few openings and endings, and random placements of
// every material class the recognisers know
std::vector<std::string> VariedPositions() {
    std::mt19937 random(20240611);
    std::vector<std::string> out;
    for (const char* start : {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                              "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                              "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
                              "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 14",
                              "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "8/5pk1/6p1/3R4/7P/6P1/r4PK1/8 w - - 0 40",
                              "8/8/2k5/5pp1/8/1PK5/P7/8 w - - 0 50", "4k3/2b5/8/3p4/3P4/8/5B2/4K3 w - - 0 60"})
        for (int game = 0; game < 8 && LoadFen(start); ++game)
            for (int ply = 0; ply < 60; ++ply) {
                MoveList list;
                GenerateLegal(list);
                if (list.count == 0)
                    break;
                MakeMove(list.moves[1 + random() % list.count]);
                out.push_back(WriteFen());
            }
    for (const char* men : {"", "P", "PP", "PPP", "N", "NN", "B", "BN", "BB", "R", "RN", "RB", "NP", "BP", "RP", "Q",
                            "PPPP", "p", "pp", "ppp", "n", "b", "r", "bp", "np", "rp", "q", "Pp", "Ppp", "PPp", "Nr",
                            "Bq", "Rq", "Qr", "Rrp", "RPr", "Bb", "BPb", "Nn", "BNn", "BBr", "NNb", "PPPn", "PPPb",
                            "Nrp", "Brp", "NNbb", "Qbn", "Qnn", "PPPPpp", "RPPr", "BPPb", "QPq", "RNr"})
        AddRandomEndings(out, men, 40, random);
    return out;
}

enum Class : int { K, P, PP, PPP, N, NN, B, BN, BB, R, RM, NP, BP, RP = 14, Q };

// Recognisers that treat the colours differently by design, by unordered pair of classes
const struct { int a, b; const char* reason; } AsymmetricPairs[] = {
    {PPP, N, "three pawns against a knight: +150 for White, -200 for Black"},
    {PPP, B, "three pawns against a bishop: +100 for White, -200 for Black"},
    {N, RP, "knight against rook and pawn: -50 whichever colour has the rook"},
    {B, RP, "bishop against rook and pawn: -50 only when Black has the rook"},
    {NN, BB, "two knights against two bishops: a dead draw only when White has the knights"},
    {B, Q, "queen against bishop: -100 only when White has the queen"},
    {NN, Q, "queen against two knights: +100 only when Black has the queen"},
    {BN, Q, "queen against bishop and knight: +100 only when Black has the queen"},
    {BP, K, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {BP, P, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
    {BP, PP, "wrong rook pawn and bishop: Black's rank test is one rank stricter with White to move"},
};

bool Asymmetric(int white, int black) {
    for (const auto& pair : AsymmetricPairs)
        if ((pair.a == white && pair.b == black) || (pair.a == black && pair.b == white))
            return true;
    return false;
}

struct Snapshot { int32_t white, mg, eg, scale, phase, whiteClass, blackClass; };

Snapshot Take(const std::string& fen) {
    if (!LoadFen(fen))
        return {};
    InitKingDangerTable(Position.sideToMove);
    EvalTrace trace{};
    const int32_t v = EvaluateTraced(trace);
    const int32_t white = Position.sideToMove == White ? v : -v;
    const Score sums = trace.sums[StageTempo];
    return {white, sums.mg, sums.eg, ThisThread.EndgameScale, GamePhase(), MaterialClass(White), MaterialClass(Black)};
}

}  // namespace

TEST(EvaluationSymmetry, MirrorNegatesTheValueAndOnlyRecognisersLeaveMultiplesOfEight) {
    const std::vector<std::string> positions = VariedPositions();
    ASSERT_GT(positions.size(), 5000u);
    int endgames = 0, skipped = 0;
    for (const std::string& fen : positions) {
        const Snapshot o = Take(fen), m = Take(MirrorFen(fen));
        ASSERT_TRUE(m.mg == -o.mg && m.eg == -o.eg && m.phase == o.phase && (o.eg == 0 || m.scale == o.scale))
            << fen << "\n" << MirrorFen(fen);
        const int32_t sum = o.white + m.white;
        if (o.phase != 0 || o.whiteClass == NoMaterialClass || o.blackClass == NoMaterialClass) {
            EXPECT_TRUE(o.white % 8 == 0 && m.white % 8 == 0) << fen << " gives " << o.white;
        } else if (++endgames, Asymmetric(o.whiteClass, o.blackClass)) {
            ++skipped;
            continue;
        } else if (o.whiteClass + o.blackClass == P && (o.white % 800 || m.white % 800)) {
            // King and pawn against king: White wins 800 + 8 x rank, Black 800 + 8 x (9 - rank)
            EXPECT_EQ(sum, -16) << fen;
            continue;
        }
        // White's value is rounded down to a multiple of 8: in between, one side moves down, the other up
        EXPECT_TRUE(sum == 0 || sum == -8) << fen << " gives " << o.white << ", mirrored " << m.white;
    }
    EXPECT_GT(endgames, 1000);
    EXPECT_LT(skipped, endgames / 4);
}

TEST(EvaluationValues, PinnedWithEitherSideAsTheRoot) {
    std::ifstream file(std::string(VARNOK_TEST_DATA) + "/eval_values.txt");
    ASSERT_TRUE(file.is_open());
    int cases = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t first = line.find(';'), second = line.find(';', first + 1);
        const std::string fen = line.substr(0, first);
        ASSERT_TRUE(LoadFen(fen));
        InitKingDangerTable(White);
        EXPECT_EQ(Evaluate(), std::stoi(line.substr(first + 1, second - first - 1))) << fen;
        InitKingDangerTable(Black);
        EXPECT_EQ(Evaluate(), std::stoi(line.substr(second + 1))) << fen;
        ++cases;
    }
    EXPECT_GT(cases, 10);
}

// The running sum after every stage, before the blend rounds small differences
// away, over positions that each exercise one rule of a term
TEST(EvaluationTerms, StageSumsArePinned) {
    std::ifstream file(std::string(VARNOK_TEST_DATA) + "/eval_terms.txt");
    ASSERT_TRUE(file.is_open());
    std::string rule;
    int cases = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("# ", 0) == 0) {
            rule = line.substr(2);
            continue;
        }
        const std::string fen = line.substr(0, line.find(';'));
        ASSERT_TRUE(LoadFen(fen));
        InitKingDangerTable(Position.sideToMove);
        EvalTrace trace{};
        std::ostringstream got;
        got << fen << ";" << EvaluateTraced(trace);
        for (const Score& sum : trace.sums)
            got << ";" << sum.mg << " " << sum.eg;
        EXPECT_EQ(got.str(), line) << rule;
        ++cases;
    }
    EXPECT_GT(cases, 50);
}

TEST(EvaluationDriver, ScaleFactorsOfPawnlessSidesAndOppositeBishops) {
    const struct { const char* rule; const char* fen; int32_t white, black, endgame; } cases[] = {   // 64ths
        {"RookAgainstBishop", "4k3/pppp4/8/8/2b5/8/8/R3K3 w - - 0 1", 6, 64, 64},
        {"BishopAndKnightAgainstRook", "r3k3/pppp4/8/8/8/8/8/2B1K1N1 w - - 0 1", 12, 64, 64},
        {"BishopPairAgainstRook", "r3k3/pppp4/8/8/8/8/8/2B1KB2 w - - 0 1", 32, 64, 64},
        {"ThreeBishopsAgainstQueenStayWhole", "3qk3/pppp4/8/8/8/8/8/2B1KBB1 w - - 0 1", 64, 64, 64},
        {"LessThanARookCannotWin", "4k3/pppp4/8/8/8/8/8/1N2K3 w - - 0 1", 0, 64, 64},
        {"RookAgainstQueen", "r3k3/8/8/8/8/8/8/3QK3 w - - 0 1", 64, 6, 64},
        {"LoneOppositeBishopsWithOnePawn", "4k3/8/3b4/8/3P4/8/4B3/4K3 w - - 0 1", 64, 0, 8},
        {"LoneOppositeBishopsWithTwoPawns", "4k3/8/3b4/3p4/3P4/8/4B3/4K3 w - - 0 1", 64, 64, 32},
        {"OppositeBishopsWithRooksBeside", "r3k3/8/3b4/3p4/3P4/8/4B3/R3K3 w - - 0 1", 64, 64, 50},
        {"SameColouredBishops", "4k3/8/2b5/3p4/3P4/8/4B3/4K3 w - - 0 1", 64, 64, 64},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        EvalTrace trace{};
        EvaluateTraced(trace);   // the scale factors are set by a full evaluation, not by a cached value
        EXPECT_EQ(ThisThread.ScaleFactor[White], c.white) << c.rule;
        EXPECT_EQ(ThisThread.ScaleFactor[Black], c.black) << c.rule;
        EXPECT_EQ(ThisThread.EndgameScale, c.endgame) << c.rule;
    }
}

TEST(EvaluationTerms, OnlyTheFrontPassedPawnOfAFileCountsAndWithoutPawnsEveryFileIsOpen) {
    ASSERT_TRUE(LoadFen("4k3/6pp/8/8/1P6/1P6/1P3PPP/4K3 w - - 0 1"));
    Evaluate();
    EXPECT_EQ(ThisThread.PassedPawns, 1ULL << 25);
    ASSERT_TRUE(LoadFen("r3k3/8/8/8/8/8/8/4K2R w - - 0 1"));
    Evaluate();
    EXPECT_EQ(ThisThread.HalfOpenFiles[White] & ThisThread.HalfOpenFiles[Black], 0xFF);
    EXPECT_EQ(ThisThread.PassedPawns, 0u);
}

TEST(EndgameRecognisers, GiveTheirValues) {
    const struct { const char* rule; const char* fen; int32_t value; } cases[] = {   // for the side to move
        {"BareKingsDraw", "8/8/8/4k3/8/8/8/4K3 w - - 0 1", 0},
        {"KnightCannotMate", "8/8/8/4k3/8/8/8/N3K3 w - - 0 1", 0},
        {"BishopCannotMate", "8/8/8/4k3/8/8/8/1B2K3 w - - 0 1", 0},
        {"TwoKnightsCannotMate", "8/8/8/4k3/8/8/8/NN2K3 w - - 0 1", 0},
        {"KnightAgainstKnightDraws", "8/8/8/4k1n1/8/8/8/N3K3 w - - 0 1", 0},
        // Kings two apart 100, king on c3 40, plus 1278 for a rook or 1251 for a queen against a rook
        {"RookDrivesTheKingToTheEdge", "8/8/8/8/8/2k5/8/R3K3 w - - 0 1", 1418},
        {"QueenAgainstRook", "8/8/8/8/8/2k5/3r4/4K2Q w - - 0 1", 1391},
        // 780 - 8 x king distance - the corner table
        {"BishopAndKnightWithTheKingInTheRightCorner", "k7/8/2K5/8/2B5/8/8/6N1 w - - 0 1", 764},
        {"BishopAndKnightWithTheKingInTheWrongCorner", "k7/8/2K5/8/3B4/8/8/6N1 w - - 0 1", 614},
        {"DefenderOutsideTheSquare", "8/8/4K3/4P3/8/8/8/k7 w - - 0 1", 800},
        {"OwnKingInFrontOfThePawnWidensTheSquare", "8/4K3/8/4P3/k7/8/8/8 w - - 0 1", 832},
        {"KingOnTheSixthWithTheMoveWins", "3k4/8/4K3/4P3/8/8/8/8 w - - 0 1", 832},
        {"KingOneRankAheadWithTheDefenderToMoveWins", "3k4/8/4K3/4P3/8/8/8/8 b - - 0 1", -832},
        {"BlackWinCountsRanksFromTheEighth", "8/8/8/8/4p3/4k3/8/3K4 b - - 0 1", 848},
        {"KingsOnOneFileTwoApartDraw", "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", 0},
        {"AttackingKingBehindThePawnDraws", "8/8/8/8/8/3k4/3P4/3K4 w - - 0 1", 0},
        {"RookPawnWithTheDefenderInTheCornerDraws", "k7/8/1K6/P7/8/8/8/8 w - - 0 1", 0},
        // Minus the distance from the pawn to its own king
        {"WrongBishopWithTheKingInTheCorner", "7k/8/8/7P/8/8/8/1B2K3 w - - 0 1", -4},
        {"RightBishopKeepsTheValue", "7k/8/8/7P/8/8/8/2B1K3 w - - 0 1", 1468},
        {"KnightAndRookPawnAgainstTheCornerKing", "k7/P7/8/8/8/8/8/N3K3 w - - 0 1", -6},
        // King tables 135 - 251, then + 10 on the file or + 25 for rook against knight
        {"RookPawnAgainstRookWithTheKingInFront", "r7/8/8/3k4/8/3P4/7R/3K4 w - - 0 1", -106},
        {"RookAgainstKnightByKingPlacement", "8/8/8/4k3/8/8/8/R3K1n1 w - - 0 1", -91},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadFen(c.fen));
        InitKingDangerTable(Position.sideToMove);
        EXPECT_EQ(Evaluate(), c.value) << c.rule;
    }
}

TEST(EndgameRecognisers, BishopAndKnightMateIsWorthBetween474And764) {
    std::mt19937 random(7);
    std::vector<std::string> positions;
    AddRandomEndings(positions, "BN", 300, random);
    AddRandomEndings(positions, "bn", 300, random);
    for (const std::string& fen : positions) {
        ASSERT_TRUE(LoadFen(fen));
        const int32_t value = Position.pieces[White][Bishop] ? WhiteValue() : -WhiteValue();
        EXPECT_TRUE(value >= 474 && value <= 764) << fen << " gives " << value;
    }
}

// ---------------------------------------------------------------------------
// The evaluation caches: a value never depends on what they hold

namespace {

struct Outcome {
    int32_t value;
    EvalTrace trace;
    Bitboard passed;
    uint8_t halfOpen[2];
};

Outcome EvaluateHere() {
    InitKingDangerTable(Position.sideToMove);
    Outcome o{};
    o.value = EvaluateTraced(o.trace);
    o.passed = ThisThread.PassedPawns;
    o.halfOpen[White] = ThisThread.HalfOpenFiles[White];
    o.halfOpen[Black] = ThisThread.HalfOpenFiles[Black];
    return o;
}

bool operator==(const Outcome& a, const Outcome& b) {
    for (int stage = 0; stage < StageCount; ++stage)
        if (a.trace.sums[stage] != b.trace.sums[stage])
            return false;
    return a.value == b.value && a.trace.mobility == b.trace.mobility && a.trace.phase == b.trace.phase
        && a.trace.scale == b.trace.scale && a.trace.blended == b.trace.blended && a.trace.final == b.trace.final
        && a.passed == b.passed && a.halfOpen[White] == b.halfOpen[White] && a.halfOpen[Black] == b.halfOpen[Black];
}

// Visits every node of the tree below the current position, reached by make and
// unmake as in a search
template <typename Visit>
void VisitTree(int depth, Visit visit) {
    visit();
    if (depth == 0)
        return;
    MoveList list;
    GenerateLegal(list);
    for (int i = 1; i <= list.count; ++i) {
        MakeMove(list.moves[i]);
        VisitTree(depth - 1, visit);
        UnmakeMove();
    }
}

// The cached pawn terms against the terms computed afresh
void CompareCachedStructures(int depth, int& nodes, int& mismatches) {
    VisitTree(depth, [&] {
        ++nodes;
        const Score cached = PawnStructure();
        const Bitboard passed = ThisThread.PassedPawns;
        const uint8_t halfOpen[2] = {ThisThread.HalfOpenFiles[White], ThisThread.HalfOpenFiles[Black]};
        ThisThread.PassedPawns = 0;
        const Score fresh = EvalPawns(White) - EvalPawns(Black);
        const uint8_t* freshHalfOpen = ThisThread.HalfOpenFiles;
        mismatches += cached != fresh || passed != ThisThread.PassedPawns || halfOpen[White] != freshHalfOpen[White]
                   || halfOpen[Black] != freshHalfOpen[Black];
    });
}

}  // namespace

TEST(EvaluationCaches, EveryProbeOverPerftTreesEqualsTheTermsComputedAfresh) {
    int nodes = 0, mismatches = 0;
    ClearThreadEvalCaches();
    for (const char* fen : {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"})
        if (LoadFen(fen))
            CompareCachedStructures(3, nodes, mismatches);
    EXPECT_GT(nodes, 100000);
    EXPECT_EQ(mismatches, 0) << "of " << nodes << " nodes";
}

TEST(EvaluationCaches, ValuesWithWarmCachesEqualValuesAfterClearing) {
    const std::vector<std::string> positions = VariedPositions();
    std::vector<Outcome> warm;
    ClearThreadEvalCaches();
    for (const std::string& fen : positions) {
        ASSERT_TRUE(LoadFen(fen));
        warm.push_back(EvaluateHere());
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_TRUE(LoadFen(positions[i]));
        ClearThreadEvalCaches();
        EXPECT_TRUE(EvaluateHere() == warm[i]) << positions[i];
    }
}

// Every node gets from the value cache what a full evaluation gives
void CompareCachedValues(int depth, int& nodes, int& mismatches) {
    VisitTree(depth, [&] {
        ++nodes;
        const int32_t cached = Evaluate();
        EvalTrace trace{};
        mismatches += cached != EvaluateTraced(trace) || cached != Evaluate();
    });
}

// Each tree twice, with either side as the root: the danger table changes under
// the values the first pass cached
TEST(EvaluationCaches, CachedValuesOverPerftTreesEqualFullEvaluations) {
    int nodes = 0, mismatches = 0;
    ClearThreadEvalCaches();
    for (const char* fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8"})
        for (int depth : {2, 3})
            for (int root : {White, Black})
                if (LoadFen(fen)) {
                    InitKingDangerTable(root);
                    CompareCachedValues(depth, nodes, mismatches);
                }
    EXPECT_GT(nodes, 100000);
    EXPECT_EQ(mismatches, 0) << "of " << nodes << " nodes";
}

// The position's keys leave out the castling rights and give the side to move only
// relative to the root: a value cached for one is never served for the other
TEST(EvaluationCaches, ValuesOfPositionsWithTheSameKeysAreToldApart) {
    const std::string placement = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R ";
    const std::vector<std::string> variants = {placement + "w KQkq - 0 1", placement + "w - - 0 1",
                                               placement + "b KQkq - 0 1", placement + "w Kq - 0 1"};
    auto value = [](const std::string& fen, int root) {
        EXPECT_TRUE(LoadFen(fen));
        InitKingDangerTable(root);
        return Evaluate();
    };
    std::vector<int32_t> fresh;
    for (int root : {White, Black})
        for (const std::string& fen : variants) {
            ClearThreadEvalCaches();
            fresh.push_back(value(fen, root));
        }
    ClearThreadEvalCaches();
    for (int round = 0; round < 2; ++round)
        for (int root : {White, Black})
            for (size_t i = 0; i < variants.size(); ++i)
                EXPECT_EQ(value(variants[i], root), fresh[root * variants.size() + i]) << variants[i] << " root " << root;
}
