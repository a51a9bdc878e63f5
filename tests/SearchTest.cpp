// The search: pinned "go depth" results, draws by rule, the guards of quiescence
// and alpha-beta, static exchange, the "bestmove" line, the time budget and the clock.
#include <cstring>
#include <string>
#include <tuple>

#include "Evaluation.h"
#include "Hash.h"
#include "Recherche.h"
#include "SearchControl.h"
#include "TestSupport.h"
#include "TimeControl.h"

namespace {

constexpr const char* FoolsMate = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
constexpr const char* Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// A fresh small table, no clock limits, no output
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        AllocateHash(HashMinMegabytes);
        ThisThread.SearchOutput = StopSearch = Pondering = Searching = Limits.SearchMovesActive = false;
    }
    void TearDown() override {
        ThisThread.SearchOutput = true, StopSearch = Searching = false;
        Limits = SearchLimits{};
    }
};

// What "go depth N" leaves: nodes, "bestmove" line, root score and principal variation
std::string GoDepth(int depth) {
    Limits.DepthLimit = depth, GameSearchCount = 0;
    NoTimeLimit = true, StopSearch = false;   // a depth-limited search clears NoTimeLimit
    SearchStartTime = ClockMs();
    IterativeDeepening();
    const SearchAnswer answer = ConcludeSearch();
    std::string result = std::to_string(ThisThread.NodeCount + ThisThread.QuiescenceNodeCount);
    result.append(" ").append(answer.BestMoveText).append(ScoreText(HashSlot(CurrentState().key1).valeur));
    result.append(" pv");
    for (int n = 1; n <= ThisThread.PrincipalVariationLength; ++n)
        result.append(" ").append(MoveToText(ThisThread.PrincipalVariation[n]));
    return result;
}

TEST_F(SearchTest, GoDepthGivesPinnedNodesMoveScoreAndLineOnAFreshOrClearedTable) {
    const struct { const char* fen; int depth; const char* result; } cases[] = {
        {StartFen, 6, "10137 bestmove g1f3 ponder g8f6 score cp 11 pv g1f3 g8f6 b1c3 b8c6 d2d4 d7d5"},
        {Kiwipete, 5, "90549 bestmove e2a6 ponder b4c3 score cp 15 pv e2a6 b4c3 d2c3 e6d5 e4d5"},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 8,
         "56269 bestmove b4f4 ponder h4g3 score cp 7 pv b4f4 h4g3 f4c4 h5c5 a5b4 c5c4 b4c4 g3g2"},
        {"r5k1/5ppp/1P6/8/8/8/5PPP/2R3K1 w - - 0 1", 8,   // a pawn to the seventh at the root
         "67882 bestmove b6b7 ponder a8f8 score cp 1269 pv b6b7 a8f8 c1c8 g7g5 c8f8 g8f8 b7b8q f8g7"},
        {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", 4, "582 bestmove b1b7 ponder h8g8 score mate 2 pv b1b7 h8g8 a2a8"},
    };
    for (const auto& c : cases)
        for (int run = 0; run < 2; ++run) {   // the second search follows a ClearHash
            ASSERT_TRUE(Load(c.fen));
            ClearHash();
            EXPECT_EQ(GoDepth(c.depth), c.result);
            EXPECT_EQ(ThisThread.LastCompletedDepth, c.depth);
        }
}

TEST_F(SearchTest, RepetitionsCountWithinTheReversibleStretchAndFiftyMovesOutrankMate) {
    ASSERT_TRUE(Load(StartFen));
    ASSERT_TRUE(Play("g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8"));
    EXPECT_EQ(RepetitionCount(1), 1);   // counted up to the limit
    EXPECT_EQ(RepetitionCount(3), 2);
    CurrentState().halfmoveClock = 4;
    EXPECT_EQ(RepetitionCount(3), 1);
    ASSERT_TRUE(Load(FoolsMate));
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
    const struct { const char* fen; const char* move; int expected; } cases[] = {
        {"3q2k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1", "e4d5", 619},       // pawn takes a knight only a queen guards
        {"6k1/8/2p5/3p4/8/8/8/3Q2K1 w - - 0 1", "d1d5", -2323},     // queen takes a pawn a pawn guards
        {"1r4k1/P7/8/8/8/8/8/6K1 w - - 0 1", "a7a8q", -198},        // promotion onto a square a rook guards
        {"1r4k1/P7/8/8/8/8/8/6K1 w - - 0 1", "a7b8q", 3593},        // promotion by capture
        {"3r2k1/8/8/3pP3/8/8/8/3R2K1 w - d6 0 1", "e5d6", 198},     // en passant: the rook behind joins in
        {"3r3k/1b6/4K3/3p4/8/8/8/3R4 w - - 0 1", "d1d5", -1072},    // a king does not take into a guarded square
        {"7k/1b6/4K3/3p4/8/8/8/3R4 w - - 0 1", "d1d5", -236},       // but may take last
        {"4k3/8/8/8/8/8/p5K1/1n5R w - - 0 1", "h1b1", -2776},       // a pawn that takes back on the last rank promotes
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.fen));
        EXPECT_EQ(StaticExchange(Generated(c.move), Position.sideToMove), c.expected) << c.fen << " " << c.move;
    }
}

TEST_F(SearchTest, BestMoveIsALegalMoveOfTheRootAndThePvEndsBeforeAMoveThatIsNot) {
    auto move = [](const char* from, const char* to, int piece) {   // as another position's table left it
        return PackMoveWord(SquareFromText(from), SquareFromText(to), piece, 0, 0, 0, 0, 3); };
    // No completed iteration: the table's move for the root if legal, else the first legal move
    ASSERT_TRUE(Load(StartFen));
    std::memset(ThisThread.BestLine, 0, sizeof ThisThread.BestLine);
    EXPECT_EQ(BestMoveLine(), "bestmove a2a3");
    StoreHash(3, 0, BoundExact, CurrentState().key1, CurrentState().key2, 0, Generated("d2d4"));
    EXPECT_EQ(BestMoveLine(), "bestmove d2d4");
    ThisThread.BestLine[0] = move("d1", "h5", Queen);   // fits the board, but the e2 pawn is in the way
    EXPECT_EQ(BestMoveLine(), "bestmove d2d4");
    ThisThread.BestLine[0] = Generated("e2e4");
    ThisThread.BestLine[1] = move("d8", "h4", Queen);   // a reply likewise: no ponder move
    EXPECT_EQ(BestMoveLine(), "bestmove e2e4");
    ThisThread.BestLine[1] = move("e7", "e5", Pawn);
    EXPECT_EQ(BestMoveLine(), "bestmove e2e4 ponder e7e5");

    // The root move is on the board while its line is collected from the table
    MakeMove(ThisThread.BestLine[0]);
    StoreHash(1, 0, BoundExact, CurrentState().key1, ~CurrentState().key2, 0, move("d8", "h4", Queen));
    CollectPrincipalVariation(4, ThisThread.BestLine[0], 0);
    EXPECT_EQ(ThisThread.PrincipalVariationLength, 1);
    UnmakeMove();
    EXPECT_EQ(WriteFen(), StartFen);   // every move taken back
}

TEST_F(SearchTest, TimeBudgetOfTheSideToMove) {
    const struct { int overhead; int32_t time, increment, movesToGo, gameSearchCount; uint32_t budget, maximum; } cases[] = {
        {880, 60000, 0, 30, 2, 1970, 3940},      // a slice of what is left after the overhead
        {880, 60000, 0, 30, 0, 3940, 7880},      // the first search: twice the slice
        {880, 60000, 0, 30, 1, 2955, 5910},      // the second: 1.5 slices
        {880, 60000, 1000, 30, 2, 2570, 4540},   // 60% of the increment on top
        {880, 10000, 0, 3, 2, 3040, 6080},       // three moves to go may use all that is left
        {880, 60000, 0, 6, 0, 40, 40},           // a maximum past half of what is left: 40
        {880, 1000, 5000, 30, 2, 60, 75},        // an increment past what is left: half of it
        {880, 1500, 0, 30, 2, 40, 40},           // a budget of at most 40 with 620 left: 40
        {880, 900, 0, 30, 2, 7, 7},              // at most 920: 40 left, of which an eighth plus 2
        {880, -5000, 0, 30, 2, 7, 7},            // an overdrawn clock counts as empty
        {880, 60000, -3000, 30, 2, 1970, 3940},  // a negative increment as none
        {880, 60000, 0, 0, 2, 40, 40},           // no move to go as one
        {880, 10000, 0, 30, 0, 608, 1216},       // the overhead kept back: 9120 left over 30 moves
        {50, 1000, 0, 30, 0, 62, 124},           // 950 left
        {0, 3000, 0, 30, 0, 200, 400},           // all of it
        {50, 90, 0, 30, 0, 7, 7},                // at most overhead + 40: 40 left, of which an eighth plus 2
    };
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/4K3 b - - 0 1"}) {
        ASSERT_TRUE(Load(fen));
        const bool white = Position.sideToMove == White;
        for (const auto& c : cases) {
            SearchLimits& clock = Limits;
            clock.WhiteTime = clock.BlackTime = 1, clock.WhiteIncrement = clock.BlackIncrement = 77777;   // the other side's do not count
            (white ? clock.WhiteTime : clock.BlackTime) = c.time;
            (white ? clock.WhiteIncrement : clock.BlackIncrement) = c.increment;
            MoveOverhead = c.overhead, Limits.MovesToGo = c.movesToGo, GameSearchCount = c.gameSearchCount;
            ComputeTimeBudget();
            EXPECT_EQ(std::make_tuple(TimeBudget.load(), TimeMaximum.load(), GameSearchCount),
                      std::make_tuple(c.budget, c.maximum, c.gameSearchCount + 1)) << fen << " case " << &c - cases;
        }
    }
    MoveOverhead = MoveOverheadDefault;
}

TEST_F(SearchTest, PonderHitRenewsTheBudgetAndKeepsTheMarginToTheHardLimit) {
    const struct { uint32_t budget, maximum; uint64_t elapsed; uint32_t newBudget, newMaximum; } cases[] = {
        {4000, 8000, 1000, 5000, 9000},    // early: the whole budget again after the hit
        {4000, 8000, 2000, 6000, 10000},   // half the budget exactly is still early
        {4000, 8000, 2001, 6000, 10000},   // later: 1.5 budgets from the "go"
        {4000, 8000, 5999, 6000, 10000},
        {4000, 8000, 6000, 4000, 8000},    // after 1.5 budgets: nothing changes
        {3, 10, 2, 5, 12},                 // 1.5 x 3 rounds to 4 and 0.5 x 3 to 2: half to even
        {3, 10, 3, 4, 11},
    };
    for (const auto& c : cases) {
        TimeBudget = c.budget, TimeMaximum = c.maximum;
        AdjustBudgetOnPonderHit(c.elapsed);
        EXPECT_EQ(std::make_pair(TimeBudget.load(), TimeMaximum.load()), std::make_pair(c.newBudget, c.newMaximum))
            << c.elapsed;
    }
}

TEST_F(SearchTest, WhatStopsATimedSearch) {
    auto stops = [](int polled = 5000) {
        return StopSearch = false, ThisThread.PollCounter = polled, PollClock(), !!StopSearch;
    };
    Searching = true, NoTimeLimit = false, ThisThread.RootResearch = ThisThread.FirstRootMoveDone = false;
    ThisThread.IterationDepth = 3, TimeBudget = 50, TimeMaximum = 100;
    SearchStartTime = ClockMs() - 100000;   // past both limits
    EXPECT_FALSE(stops(4999));   // the clock is read on every 5001st node
    EXPECT_TRUE(stops());
    NoTimeLimit = true;   // infinite, ponder and depth searches
    EXPECT_FALSE(stops());
    NoTimeLimit = false, ThisThread.IterationDepth = 2;   // the first iteration always completes
    EXPECT_FALSE(stops());
    // Past the budget but within the hard limit: only during the first root move, not in a re-search
    ThisThread.IterationDepth = 3, TimeMaximum = 60000;
    SearchStartTime = ClockMs() - 1000;
    EXPECT_TRUE(stops());
    ThisThread.RootResearch = true;
    EXPECT_FALSE(stops());
    ThisThread.RootResearch = false, ThisThread.FirstRootMoveDone = true;
    EXPECT_FALSE(stops());
    IterationClockCheck();   // between iterations the budget alone counts
    EXPECT_TRUE(StopSearch);

    // A search limited only by movetime or nodes does not look at the clock's budget
    Limits.ClockBudgetApplies = false;
    ThisThread.FirstRootMoveDone = false;
    EXPECT_FALSE(stops());
    Limits.MoveTimeLimit = 2000, MoveTimeStart = ClockMs() - 1000;
    EXPECT_FALSE(stops());
    MoveTimeStart = ClockMs() - 2000;
    EXPECT_TRUE(stops());
    Pondering = true;   // the fixed time runs from the ponder hit
    EXPECT_FALSE(stops());
    Pondering = false, Limits.MoveTimeLimit = 0, Limits.NodeLimit = 100;
    ThisThread.NodeCount = 99, ThisThread.QuiescenceNodeCount = 0;
    EXPECT_FALSE(stops(0));
    ThisThread.NodeCount = 100;
    EXPECT_TRUE(stops(0));   // every node looks at the node count
    ThisThread.IterationDepth = 2;
    EXPECT_FALSE(stops(0));
    Limits.NodeLimit = 0, Limits.ClockBudgetApplies = true;
}

}  // namespace
