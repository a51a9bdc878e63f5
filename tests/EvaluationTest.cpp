// The static evaluation: colour symmetry over a few thousand varied positions, pinned
// stage sums and scale factors (tests/data/eval_terms.txt), the bishop-and-knight mate's
// range, and caches that never change a value. Pinned values, the endgame recognisers'
// among them: tests/data/eval_values.txt, through "eval" in test_uci.py.
#include <cctype>
#include <random>
#include <sstream>

#include "Endgame.h"
#include "Evaluation.h"
#include "Pawns.h"
#include "TestSupport.h"

namespace {

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
        for (int game = 0; game < 8 && Load(start); ++game)
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

// Recognisers that treat the colours differently by design, by unordered pair of classes: three
// pawns against a knight (+150 for White, -200 for Black) or a bishop (+100, -200); a knight
// against rook and pawn (-50 whichever colour has the rook), a bishop (-50 only when Black has the
// rook); two knights against two bishops (a dead draw only when White has the knights); a queen
// against a bishop (-100 only for White's queen), two knights or bishop and knight (+100 only for
// Black's); a wrong rook pawn and bishop (Black's rank test is one rank stricter with White to move)
const std::pair<int, int> AsymmetricPairs[] = {{PPP, N}, {PPP, B}, {N, RP}, {B, RP}, {NN, BB}, {B, Q},
                                               {NN, Q}, {BN, Q}, {BP, K}, {BP, P}, {BP, PP}};

bool Asymmetric(int white, int black) {
    for (const auto& [a, b] : AsymmetricPairs)
        if ((a == white && b == black) || (a == black && b == white))
            return true;
    return false;
}

// The value for the side to move as the root, each stage's running sum, "mg eg", before the
// blend rounds small differences away, and the scale factors, which the rounding often hides
std::string Traced() {
    InitKingDangerTable(Position.sideToMove);
    EvalTrace trace{};
    std::string text = std::to_string(EvaluateTraced(trace));
    for (const Score& sum : trace.sums)
        text += ";" + std::to_string(sum.mg) + " " + std::to_string(sum.eg);
    return text + ";" + std::to_string(ThisThread.ScaleFactor[White]) + " "
         + std::to_string(ThisThread.ScaleFactor[Black]) + " " + std::to_string(ThisThread.EndgameScale);
}

struct Snapshot { int32_t white, mg, eg, scale, phase, whiteClass, blackClass; };

Snapshot Take(const std::string& fen) {
    if (!Load(fen))
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

// Over positions that each exercise one rule of a term
TEST(EvaluationTerms, StageSumsArePinned) {
    for (const DataLine& line : ReadData("eval_terms.txt")) {
        ASSERT_TRUE(Load(line.fields[0]));
        std::string expected = line.fields[1];
        for (size_t field = 2; field < line.fields.size(); ++field)
            expected += ";" + line.fields[field];
        EXPECT_EQ(Traced(), expected) << line.rule << ": " << line.fields[0];
    }
}

TEST(EndgameRecognisers, BishopAndKnightMateIsWorthBetween474And764) {
    std::mt19937 random(7);
    std::vector<std::string> positions;
    AddRandomEndings(positions, "BN", 300, random);
    AddRandomEndings(positions, "bn", 300, random);
    for (const std::string& fen : positions) {
        ASSERT_TRUE(Load(fen));
        InitKingDangerTable(Position.sideToMove);   // the value for the side with the bishop and knight
        const bool strongToMove = (Position.pieces[White][Bishop] != 0) == (Position.sideToMove == White);
        const int32_t value = strongToMove ? Evaluate() : -Evaluate();
        EXPECT_TRUE(value >= 474 && value <= 764) << fen << " gives " << value;
    }
}

// ---------------------------------------------------------------------------
// The evaluation caches: a value never depends on what they hold (a material cache that serves
// another position's entry shows in the symmetry test and the stage sums)

namespace {

// At every node below the current position, reached by make and unmake as in a search:
// the pawn cache's terms against the terms computed afresh, and the value cache's value
// against a full evaluation
void CompareCachesOverTree(int depth, int& nodes, int& mismatches) {
    ++nodes;
    const Score cached = PawnStructure();
    const Bitboard passed = ThisThread.PassedPawns;
    const uint8_t halfOpen[2] = {ThisThread.HalfOpenFiles[White], ThisThread.HalfOpenFiles[Black]};
    ThisThread.PassedPawns = 0;
    mismatches += cached != EvalPawns(White) - EvalPawns(Black) || passed != ThisThread.PassedPawns
               || halfOpen[White] != ThisThread.HalfOpenFiles[White] || halfOpen[Black] != ThisThread.HalfOpenFiles[Black];
    const int32_t value = Evaluate();
    EvalTrace trace{};
    mismatches += value != EvaluateTraced(trace) || value != Evaluate();
    MoveList list;
    GenerateLegal(list);
    for (int i = 1; i <= list.count && depth > 0; ++i) {
        MakeMove(list.moves[i]);
        CompareCachesOverTree(depth - 1, nodes, mismatches);
        UnmakeMove();
    }
}

}  // namespace

// Each tree twice, with either side as the root: the danger table changes under the
// values the first pass cached
TEST(EvaluationCaches, EveryProbeOverPerftTreesEqualsWhatIsComputedAfresh) {
    int nodes = 0, mismatches = 0;
    ClearThreadEvalCaches();
    for (const char* fen : {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
                            "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8"})
        for (int root : {White, Black})
            if (Load(fen)) {
                InitKingDangerTable(root);
                CompareCachesOverTree(3, nodes, mismatches);
            }
    EXPECT_GT(nodes, 200000);
    EXPECT_EQ(mismatches, 0) << "of " << nodes << " nodes";
}

// The position's keys leave out the castling rights and give the side to move only
// relative to the root: a value cached for one is never served for the other
TEST(EvaluationCaches, ValuesOfPositionsWithTheSameKeysAreToldApart) {
    const std::string placement = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R ";
    const std::vector<std::string> variants = {placement + "w KQkq - 0 1", placement + "w - - 0 1",
                                               placement + "b KQkq - 0 1", placement + "w Kq - 0 1"};
    auto value = [](const std::string& fen, int root) {
        EXPECT_TRUE(Load(fen));
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
