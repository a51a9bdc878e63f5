// The search: pinned "go depth" results (tests/data/search_results.txt), draws by rule, the
// guards of quiescence and alpha-beta, static exchange (tests/data/static_exchange.txt), the
// "bestmove" line, the time budget and the clock.
#include <memory>
#include <string>
#include <tuple>

#include "Evaluation.h"
#include "Search.h"
#include "SearchControl.h"
#include "TestSupport.h"
#include "TimeControl.h"
#include "TranspositionTable.h"

namespace {

// The main thread's node counters, reached through a plain pointer: with UBSan, g++ 12 tests a
// thread-local's address against null with the flags of an add that the linker turns into a lea
std::atomic<uint64_t>& NodeCount = ThisThread.NodeCount;
std::atomic<uint64_t>& QuiescenceNodeCount = ThisThread.QuiescenceNodeCount;

// A fresh small table, a fresh search without clock limits, no output
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateHash(HashMinMegabytes);
        ThisThread.SearchOutput = false;
        NewSession();
    }
    void TearDown() override {
        ThisThread.SearchOutput = true;
        ThisThread.Session = nullptr;
    }
    SearchSession& NewSession() {
        session = std::make_unique_for_overwrite<SearchSession>();
        ThisThread.Session = session.get();
        return *session;
    }
    // What "go depth N" leaves: nodes, "bestmove" line, root score and principal variation
    std::string GoDepth(int depth);

    std::unique_ptr<SearchSession> session;
};

std::string SearchTest::GoDepth(int depth) {
    SearchSession& search = NewSession();
    search.Limits.DepthLimit = depth;
    search.NoTimeLimit = true;   // a depth-limited search clears it
    search.SearchStartTime = ClockMs();
    IterativeDeepening(search);
    ConcludeSearch(search);
    const SearchAnswer answer = ComposeAnswer(search);
    std::string result = std::to_string(NodeCount + QuiescenceNodeCount);
    result.append(" ").append(answer.BestMoveText).append(ScoreText(HashSlot(CurrentState().key1).value));
    result.append(" pv");
    for (int n = 1; n <= ThisThread.PrincipalVariationLength; ++n)
        result.append(" ").append(MoveToText(ThisThread.PrincipalVariation[n]));
    return result;
}

TEST_F(SearchTest, GoDepthGivesPinnedNodesMoveScoreAndLineOnAFreshOrClearedTable) {
    for (const DataLine& c : ReadData("search_results.txt"))
        for (int run = 0; run < 2; ++run) {   // the second search follows a ClearHash
            ASSERT_TRUE(Load(c.fields[0]));
            ClearHash();
            EXPECT_EQ(GoDepth(std::stoi(c.fields[1])), c.fields[2]) << c.rule;
            EXPECT_EQ(ThisThread.LastCompletedDepth, std::stoi(c.fields[1])) << c.rule;
        }
}

TEST_F(SearchTest, RepetitionsCountWithinTheReversibleStretchAndFiftyMovesOutrankMate) {
    ASSERT_TRUE(Load(StartFen));
    ASSERT_TRUE(Play("g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(1), 1);   // counted up to the limit
    EXPECT_EQ(RepetitionCount(3), 2);
    CurrentState().halfmoveClock = 4;
    EXPECT_EQ(RepetitionCount(3), 1);
    ASSERT_TRUE(Load("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"));   // fool's mate
    ThisThread.RootPly = Position.plyCounter;
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 3, true), -MateValue);
    CurrentState().halfmoveClock = 100;
    EXPECT_EQ(AlphaBeta(-WindowBound, WindowBound, 3, true), 0);
}

TEST_F(SearchTest, MateDistancePruningCutsAndQuiescenceStopsAtThePlyLimitEvenInCheck) {
    ASSERT_TRUE(Load(StartFen));
    int alpha = 9996, beta = 9999;
    EXPECT_EQ(MateDistancePrune(alpha, beta, 4), MateValue - 5);   // the nearest mate is at ply 5
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/4r3/R3K3 w - - 0 1"));   // in check
    ThisThread.RootPly = Position.plyCounter - MaxPly;
    EXPECT_EQ(Quiescence(-WindowBound, WindowBound, 0), Evaluate());
}

// Too little material to try a null move: the bench signature
TEST_F(SearchTest, NullMoveNeitherTwiceNorOnThePvNorShallowNorAtMateScores) {
    ASSERT_TRUE(Load("4k3/8/8/8/8/8/PPP5/1Q2K3 w - - 0 1"));
    ThisThread.RootPly = Position.plyCounter, CurrentState().move = 1;
    EXPECT_TRUE(NullMoveSearch(-5000, 6, false));
    EXPECT_FALSE(NullMoveSearch(-5000, 6, true) || NullMoveSearch(-5000, 2, false) || NullMoveSearch(-9950, 6, false));
    CurrentState().move = 0;   // after a null move
    EXPECT_FALSE(NullMoveSearch(-5000, 6, false));
}

TEST_F(SearchTest, StaticExchangePricesTheWholeSequence) {
    for (const DataLine& c : ReadData("static_exchange.txt")) {
        ASSERT_TRUE(Load(c.fields[0]));
        EXPECT_EQ(StaticExchange(Generated(c.fields[1]), Position.sideToMove), std::stoi(c.fields[2])) << c.rule;
    }
}

TEST_F(SearchTest, BestMoveIsALegalMoveOfTheRootAndThePvEndsBeforeAMoveThatIsNot) {
    auto move = [](const char* from, const char* to, int piece) {   // as another position's table left it
        return PackMoveWord(SquareFromText(from), SquareFromText(to), piece, 0, 0, 0, 0, 3); };
    // No completed iteration: the table's move for the root if legal, else the first legal move
    ASSERT_TRUE(Load(StartFen));
    Move* line = session->BestLine;
    EXPECT_EQ(BestMoveLine(*session), "bestmove a2a3");
    StoreHash(3, 0, BoundExact, CurrentState().key1, CurrentState().key2, 0, Generated("d2d4"));
    EXPECT_EQ(BestMoveLine(*session), "bestmove d2d4");
    line[0] = move("d1", "h5", Queen);   // fits the board, but the e2 pawn is in the way
    EXPECT_EQ(BestMoveLine(*session), "bestmove d2d4");
    line[0] = Generated("e2e4");
    line[1] = move("d8", "h4", Queen);   // a reply likewise: no ponder move
    EXPECT_EQ(BestMoveLine(*session), "bestmove e2e4");
    line[1] = move("e7", "e5", Pawn);
    EXPECT_EQ(BestMoveLine(*session), "bestmove e2e4 ponder e7e5");

    // The root move is on the board while its line is collected from the table
    MakeMove(line[0]);
    StoreHash(1, 0, BoundExact, CurrentState().key1, ~CurrentState().key2, 0, move("d8", "h4", Queen));
    CollectPrincipalVariation(4, line[0], 0);
    EXPECT_EQ(ThisThread.PrincipalVariationLength, 1);
    UnmakeMove();
    EXPECT_EQ(WriteFen(), StartFen);   // every move taken back
}

TEST_F(SearchTest, TimeBudgetOfTheSideToMoveAndItsRenewalOnAPonderHit) {
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/4K3 b - - 0 1"})
        for (const DataLine& c : ReadData("time_budget.txt")) {
            ASSERT_TRUE(Load(fen));
            const std::vector<int> n = Numbers(c);
            SearchSession& search = NewSession();
            SearchLimits& limits = search.Limits;
            limits.WhiteTime = limits.BlackTime = 1, limits.WhiteIncrement = limits.BlackIncrement = 77777;
            (Position.sideToMove == White ? limits.WhiteTime : limits.BlackTime) = n[1];
            (Position.sideToMove == White ? limits.WhiteIncrement : limits.BlackIncrement) = n[2];
            MoveOverhead = n[0], limits.MovesToGo = n[3], search.GameSearchCount = n[4];
            ComputeTimeBudget(search);
            EXPECT_EQ(std::make_tuple(int(search.TimeBudget), int(search.TimeMaximum), search.GameSearchCount),
                      std::make_tuple(n[5], n[6], n[4] + 1)) << c.rule << " (" << fen << ")";
        }
    MoveOverhead = MoveOverheadDefault;
    for (const DataLine& c : ReadData("ponder_hit.txt")) {
        const std::vector<int> n = Numbers(c);
        session->TimeBudget = n[0], session->TimeMaximum = n[1];
        AdjustBudgetOnPonderHit(*session, n[2]);
        EXPECT_EQ(std::make_pair(int(session->TimeBudget), int(session->TimeMaximum)), std::make_pair(n[3], n[4]))
            << c.rule;
    }
}

TEST_F(SearchTest, WhatStopsATimedSearch) {
    SearchSession& search = *session;
    SearchLimits& limits = search.Limits;
    auto stops = [&](int polled = 5000) {
        return search.StopSearch = false, ThisThread.PollCounter = polled, PollClock(), !!search.StopSearch;
    };
    search.Searching = true, search.NoTimeLimit = false;
    ThisThread.RootResearch = ThisThread.FirstRootMoveDone = false;
    ThisThread.IterationDepth = 3, search.TimeBudget = 50, search.TimeMaximum = 100;
    search.SearchStartTime = ClockMs() - 100000;   // past both limits
    EXPECT_FALSE(stops(4999));   // the clock is read on every 5001st node
    EXPECT_TRUE(stops());
    search.NoTimeLimit = true;   // infinite, ponder and depth searches
    EXPECT_FALSE(stops());
    search.NoTimeLimit = false, ThisThread.IterationDepth = 2;   // the first iteration always completes
    EXPECT_FALSE(stops());
    // Past the budget but within the hard limit: only during the first root move, not in a re-search
    ThisThread.IterationDepth = 3, search.TimeMaximum = 60000;
    search.SearchStartTime = ClockMs() - 1000;
    EXPECT_TRUE(stops());
    ThisThread.RootResearch = true;
    EXPECT_FALSE(stops());
    ThisThread.RootResearch = false, ThisThread.FirstRootMoveDone = true;
    EXPECT_FALSE(stops());
    IterationClockCheck();   // between iterations the budget alone counts
    EXPECT_TRUE(search.StopSearch);

    // A search limited only by movetime or nodes does not look at the clock's budget
    limits.ClockBudgetApplies = false;
    ThisThread.FirstRootMoveDone = false;
    EXPECT_FALSE(stops());
    limits.MoveTimeLimit = 2000, search.MoveTimeStart = ClockMs() - 1000;
    EXPECT_FALSE(stops());
    search.MoveTimeStart = ClockMs() - 2000;
    EXPECT_TRUE(stops());
    search.Pondering = true;   // the fixed time runs from the ponder hit
    EXPECT_FALSE(stops());
    search.Pondering = false, limits.MoveTimeLimit = 0, limits.NodeLimit = 100;
    NodeCount = 99, QuiescenceNodeCount = 0;
    EXPECT_FALSE(stops(0));
    NodeCount = 100;
    EXPECT_TRUE(stops(0));   // every node looks at the node count
    ThisThread.IterationDepth = 2;
    EXPECT_FALSE(stops(0));
}

}  // namespace
