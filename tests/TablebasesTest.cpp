// Syzygy tables through Fathom: loading and reloading, which nodes the search
// probes, the score band of table results, and the root moves the tables keep.
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Search.h"
#include "SearchControl.h"
#include "Tablebases.h"
#include "TestSupport.h"
#include "TranspositionTable.h"

namespace {

const std::string TableFolder = std::string(VARNOK_TEST_DATA) + "/syzygy";

class TablebasesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTablebases(TableFolder), std::vector<std::string>{"info string Found 10 tablebases"});
        TableOptions = TableSettings{};
    }
    void TearDown() override {
        LoadTablebases("");
        TableOptions = TableSettings{};
    }
};

// The root ranked among every legal move
TableRootRanking RankLegal(bool repeated) {
    MoveList legal;
    GenerateLegal(legal);
    return RankRootMoves(repeated, legal);
}

std::vector<std::string> MoveTexts(const std::vector<Move>& moves) {
    std::vector<std::string> texts;
    for (Move m : moves)
        texts.push_back(MoveToText(m));
    std::sort(texts.begin(), texts.end());
    return texts;
}

TEST_F(TablebasesTest, LoadsAgainAfterUnloadingAndKnowsTheLargestTable) {
    EXPECT_EQ(TablebasePieces(), 4);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(LoadTablebases(""), std::vector<std::string>{"info string Syzygy tablebases off: SyzygyPath is empty"});
        EXPECT_EQ(TablebasePieces(), 0);
        EXPECT_TRUE(LoadTablebases("<empty>").empty()) << "empty after empty: the default, said by no line";
        ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 w - - 0 1"));
        EXPECT_TRUE(TablebaseLines().empty());   // "d" adds nothing while no tables are loaded
        EXPECT_EQ(LoadTablebases(TableFolder + PathListSeparator()).back(), "info string Found 10 tablebases");
        EXPECT_EQ(TablebaseLines(), (std::vector<std::string>{"Tablebases WDL: Win", "Tablebases DTZ: 11"}));
    }
}

TEST_F(TablebasesTest, TheSearchProbesOnlyAfterAZeroingMoveWithoutCastlingWithinTheLimit) {
    TableResult result{};
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 w - - 0 1"));
    EXPECT_TRUE(ProbeTablesInSearch(1, result));
    EXPECT_EQ(result, TableResult::Win);
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 b - - 0 1"));
    ASSERT_TRUE(ProbeTablesInSearch(1, result));
    EXPECT_EQ(result, TableResult::Loss);
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 w - - 1 1"));
    EXPECT_FALSE(ProbeTablesInSearch(1, result)) << "fifty-move counter not 0";
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    EXPECT_FALSE(ProbeTablesInSearch(1, result)) << "castling right";
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
    EXPECT_TRUE(ProbeTablesInSearch(1, result));
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/RN2K2R w - - 0 1"));
    EXPECT_FALSE(ProbeTablesInSearch(100, result)) << "five pieces, tables of four";

    // SyzygyProbeLimit and SyzygyProbeDepth: the depth counts only at the limit's piece count
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q3r w - - 0 1"));   // four pieces
    TableOptions.probeDepth = 5;
    EXPECT_FALSE(ProbeTablesInSearch(4, result));
    EXPECT_TRUE(ProbeTablesInSearch(5, result));
    TableOptions.probeLimit = 3;
    EXPECT_FALSE(ProbeTablesInSearch(50, result));
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 w - - 0 1"));     // three pieces: at the limit now
    EXPECT_FALSE(ProbeTablesInSearch(4, result));
    EXPECT_TRUE(ProbeTablesInSearch(5, result));
    TableOptions.probeLimit = 0;
    EXPECT_FALSE(ProbeTablesInSearch(50, result));
}

TEST_F(TablebasesTest, TableScoresLieAboveEvaluationsAndBelowMatesAndCursedResultsAreDraws) {
    EXPECT_GT(TableScore(TableResult::Win, 0), 0);
    for (int ply : {1, 60, MaxSearchPlies}) {
        const int win = TableScore(TableResult::Win, ply);
        EXPECT_GE(win, TableWinBound);
        EXPECT_LE(win, 9900) << "a table win is no mate score";
        EXPECT_EQ(TableScore(TableResult::Loss, ply), -win);
        EXPECT_GT(TableScore(TableResult::Win, ply - 1), win) << "the nearer win scores higher";
    }
    EXPECT_GT(TableWinBound, 2 * PieceValue[Queen] + PieceValue[Rook] + 2000) << "above what evaluations reach";
    EXPECT_EQ(TableScore(TableResult::CursedWin, 3), TableCursedValue);
    EXPECT_EQ(TableScore(TableResult::BlessedLoss, 3), -TableCursedValue);
    EXPECT_EQ(TableScore(TableResult::Draw, 3), 0);
    TableOptions.fiftyMoveRule = false;
    EXPECT_EQ(TableScore(TableResult::CursedWin, 3), TableScore(TableResult::Win, 3));
    EXPECT_EQ(TableScore(TableResult::BlessedLoss, 3), TableScore(TableResult::Loss, 3));
}

TEST_F(TablebasesTest, TheRootKeepsTheMovesOfTheBestRank) {
    // KQ v KR: every queen move that keeps the win; the king's blunder next to the rook is out
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q3r w - - 0 1"));
    TableRootRanking ranking = RankLegal(false);
    ASSERT_FALSE(ranking.bestMoves.empty());
    EXPECT_EQ(ranking.score, TableWinValue - 1);
    EXPECT_EQ(MoveTexts(ranking.bestMoves), std::vector<std::string>{"d1h1"}) << "takes the rook";

    // K+R v K+R, drawn: the rook moves that hang it to the king or the other rook are out
    ASSERT_TRUE(Load("7r/8/8/8/8/2k5/8/K2R4 w - - 0 1"));
    ranking = RankLegal(false);
    EXPECT_EQ(ranking.score, 0);
    const std::vector<std::string> drawing = MoveTexts(ranking.bestMoves);
    EXPECT_GE(drawing.size(), 5u);
    for (const char* hanging : {"d1d2", "d1d3", "d1d4", "d1d8"})
        EXPECT_EQ(std::count(drawing.begin(), drawing.end(), hanging), 0) << hanging;
    EXPECT_EQ(std::count(drawing.begin(), drawing.end(), "d1c1"), 1);

    // among the moves of "searchmoves", the best of those: a king move keeps the draw
    MoveList chosen;
    chosen.count = 0;
    for (const char* text : {"d1d3", "a1b1", "d1d8"})
        chosen.moves[++chosen.count] = Generated(text);
    EXPECT_EQ(MoveTexts(RankRootMoves(false, chosen).bestMoves), std::vector<std::string>{"a1b1"});
    chosen.count = 2;
    chosen.moves[2] = Generated("d1d4");
    chosen.moves[1] = Generated("d1d3");
    ranking = RankRootMoves(false, chosen);
    EXPECT_EQ(MoveTexts(ranking.bestMoves), (std::vector<std::string>{"d1d3", "d1d4"})) << "both lose";
    EXPECT_EQ(ranking.score, 1 - TableWinValue);

    // a missing table leaves the root to the search: K+R v K+P here may promote to a bishop
    ASSERT_TRUE(Load("8/8/8/1K6/8/3R4/5k1p/8 b - - 0 1"));
    EXPECT_TRUE(RankLegal(false).bestMoves.empty());

    // a lost position keeps the moves that resist longest
    ASSERT_TRUE(Load("8/8/8/8/8/2k5/8/K2Q4 b - - 0 1"));
    ranking = RankLegal(false);
    EXPECT_EQ(ranking.score, 1 - TableWinValue);

    // no castling, at most the tables' pieces
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    EXPECT_TRUE(RankLegal(false).bestMoves.empty());
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/8/RN2K2R w - - 0 1"));
    EXPECT_TRUE(RankLegal(false).bestMoves.empty());
}

TEST_F(TablebasesTest, TheFiftyMoveCounterAndRepetitionsRankTheWins) {
    // KBN v K at DTZ 52 plies: from a fresh counter every winning move ranks alike; with 60
    // plies gone, only moves whose DTZ still fits the rule are kept, and they are fewer
    ASSERT_TRUE(Load("8/5k2/8/8/8/8/4KN2/3B4 w - - 0 1"));
    const size_t fresh = RankLegal(false).bestMoves.size();
    ASSERT_TRUE(Load("8/5k2/8/8/8/8/4KN2/3B4 w - - 60 40"));
    const TableRootRanking late = RankLegal(false);
    EXPECT_LT(late.bestMoves.size(), fresh);
    EXPECT_EQ(late.score, TableCursedValue) << "DTZ 51 after 60 plies: the rule saves black";
    TableOptions.fiftyMoveRule = false;
    EXPECT_EQ(RankLegal(false).score, TableWinValue - 1);
    TableOptions.fiftyMoveRule = true;
    ASSERT_TRUE(Load("8/5k2/8/8/8/8/4KN2/3B4 w - - 0 1"));
    EXPECT_LT(RankLegal(true).bestMoves.size(), fresh) << "after a repetition the shortest wins rank first";
}

TEST_F(TablebasesTest, ThreadsProbeAtOnce) {
    // every thread probes the same tables on its own board, all at once right after
    // loading, when the library maps each table at its first probe
    const char* fens[] = {"8/8/8/8/8/2k5/8/K2Q3r w - - 0 1", "8/8/8/4k3/3pP3/8/8/4K3 b - e3 0 1",
                          "8/5k2/8/8/8/8/4KN2/3B4 w - - 0 1", "7r/8/8/8/8/2k5/8/K2R4 w - - 0 1"};
    for (int round = 0; round < 3; ++round) {
        LoadTablebases(TableFolder);
        std::vector<std::thread> threads;
        std::vector<int> answered(4);
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                TableResult result{};
                for (int i = 0; i < 200; ++i) {
                    std::string error;
                    if (!ReadFen(fens[(t + i) % 4], error))
                        return;
                    answered[t] += ProbeTablesInSearch(1, result) + !RankLegal(false).bestMoves.empty();
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(answered[t], 400) << "thread " << t;
    }
}

// The search below the root: a table result ends the node where its bound allows
TEST_F(TablebasesTest, AlphaBetaCutsOnTableResultsWhereTheBoundAllows) {
    AllocateHash(HashMinMegabytes);
    auto session = std::make_unique_for_overwrite<SearchSession>();
    ThisThread.Session = session.get();
    ThisThread.SearchOutput = false;
    auto searchAtPlyOne = [](const std::string& fen, int alpha, int beta) {
        if (!Load(fen))
            return NoValue;
        ThisThread.RootPly = Position.plyCounter - 1;
        return AlphaBeta(alpha, beta, 3, false);
    };
    const uint64_t hitsBefore = ThisThread.TableHits;
    EXPECT_EQ(searchAtPlyOne("7r/8/8/8/8/2k5/8/K2Q4 w - - 0 1", -WindowBound, 100), 100) << "a win fails high";
    EXPECT_EQ(searchAtPlyOne("8/8/8/8/8/2k5/8/K2Q4 b - - 0 1", -100, 100), -100) << "a loss fails low";
    EXPECT_EQ(searchAtPlyOne("7r/8/8/8/8/2k5/8/K2R4 w - - 0 1", -50, 50), 0) << "a draw is exact";
    EXPECT_EQ(ThisThread.TableHits - hitsBefore, 3u);
    // a win above the window's reach does not cut: the search goes on
    ThisThread.NodeCount = 0;
    searchAtPlyOne("7r/8/8/8/8/2k5/8/K2Q4 w - - 0 1", TableWinValue, TableWinValue + 50);
    EXPECT_GT(ThisThread.NodeCount.load(), 0u);
    // after a move that is no capture or pawn move, no probe
    const uint64_t hits = ThisThread.TableHits;
    searchAtPlyOne("8/8/8/8/8/2k5/8/K2Q4 b - - 1 1", -100, 100);
    EXPECT_EQ(ThisThread.TableHits, hits);
    ThisThread.SearchOutput = true;
    ThisThread.Session = nullptr;
}

}  // namespace
