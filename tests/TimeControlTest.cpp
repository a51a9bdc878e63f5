// The time budget, the clock checks and "ponderhit".
#include "SearchSupport.h"

namespace {

using TimeControl = SearchTest;

struct BudgetCase {
    int32_t time, increment, movesToGo, gameSearchCount;
    uint32_t budget, maximum;
    const char* why;
};

TEST_F(TimeControl, BudgetForTheSideToMove) {
    const BudgetCase cases[] = {
        {60000, 0, 30, 2, 1970, 3940, "third search of a game"},
        {60000, 0, 30, 0, 3940, 7880, "first search: twice the slice"},
        {60000, 0, 30, 1, 2955, 5910, "second search: 1.5 slices"},
        {60000, 0, 6, 0, 40, 40, "movestogo 5 on the first search: the limit passes avail / 2"},
        {60000, 1000, 30, 2, 2570, 4540, "60% of the increment is spent"},
        {10000, 0, 30, 2, 304, 608, "avail 9120"},
        {10000, 0, 3, 2, 3040, 6080, "three moves to go may use up to all of avail"},
        {900, 0, 30, 2, 7, 7, "at most 920: avail 40, a tiny budget"},
        {921, 0, 30, 2, 7, 7, "avail 41"},
        {1000, 5000, 30, 2, 60, 75, "an increment beyond avail: half of avail"},
        {4000, 0, 30, 2, 104, 208, "avail 3120"},
        {3400, 0, 30, 2, 84, 168, "avail 2520"},
        {1500, 0, 30, 2, 40, 40, "budget at most 40 with avail 620: 40"},
        {-5000, 0, 30, 2, 7, 7, "an overdrawn clock counts as 0"},
        {60000, -3000, 30, 2, 1970, 3940, "a negative increment counts as 0"},
        {60000, 0, 0, 2, 40, 40, "no move left to go counts as one"},
    };
    for (int side : {White, Black}) {
        ASSERT_TRUE(Load(side == White ? "4k3/8/8/8/8/8/8/4K3 w - - 0 1" : "4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
        for (const auto& c : cases) {
            // The other side's clock must not matter
            WhiteTime = side == White ? c.time : 1;
            WhiteIncrement = side == White ? c.increment : 77777;
            BlackTime = side == Black ? c.time : 1;
            BlackIncrement = side == Black ? c.increment : 77777;
            MovesToGo = c.movesToGo;
            GameSearchCount = c.gameSearchCount;
            ComputeTimeBudget();
            EXPECT_EQ(TimeBudget.load(), c.budget) << c.why << (side == White ? " (White)" : " (Black)");
            EXPECT_EQ(TimeMaximum.load(), c.maximum) << c.why;
            EXPECT_EQ(GameSearchCount, c.gameSearchCount + 1);
            EXPECT_EQ(PollCounter, 0);
        }
    }
}

TEST_F(TimeControl, PonderHitRenewsTheBudget) {
    const struct { uint64_t elapsed; uint32_t budget, maximum; } cases[] = {
        {1000, 5000, 9000},    // early: the whole budget again after the hit
        {2000, 6000, 10000},   // half the budget exactly still counts as early
        {2001, 6000, 10000},   // later: 1.5 budgets from the "go"
        {3000, 6000, 10000},
        {5999, 6000, 10000},
        {6000, 4000, 8000},    // after 1.5 budgets: nothing changes
        {7000, 4000, 8000},
    };
    for (const auto& c : cases) {
        TimeBudget = 4000;
        TimeMaximum = 8000;
        AdjustBudgetOnPonderHit(c.elapsed);
        EXPECT_EQ(TimeBudget.load(), c.budget) << c.elapsed;
        EXPECT_EQ(TimeMaximum.load(), c.maximum) << c.elapsed;
    }
    TimeBudget = 3;   // 1.5 x 3 = 4.5 rounds to 4, 0.5 x 3 = 1.5 rounds to 2
    TimeMaximum = 10;
    AdjustBudgetOnPonderHit(2);
    EXPECT_EQ(TimeBudget.load(), 5u);
    EXPECT_EQ(TimeMaximum.load(), 12u);
    TimeBudget = 3;
    TimeMaximum = 10;
    AdjustBudgetOnPonderHit(3);
    EXPECT_EQ(TimeBudget.load(), 4u);
    EXPECT_EQ(TimeMaximum.load(), 11u);
}

class ClockChecks : public SearchTest {
protected:
    void SetUp() override {
        SearchTest::SetUp();
        Searching = true;
        NoTimeLimit = false;
        IterationDepth = 3;
        RootResearch = false;
        FirstRootMoveDone = false;
        SearchStartTime = ClockMs() - 100000;   // long past every limit
        TimeBudget = 50;
        TimeMaximum = 100;
        PollCounter = 0;
    }
    static bool StopsOnPoll() {
        StopSearch = false;
        PollCounter = 5000;
        PollClock();
        return StopSearch;
    }
};

TEST_F(ClockChecks, TheClockIsReadOnEvery5001stNode) {
    for (int i = 0; i < 5000; ++i)
        PollClock();
    EXPECT_FALSE(StopSearch);
    EXPECT_EQ(PollCounter, 5000);
    PollClock();
    EXPECT_TRUE(StopSearch);
    EXPECT_EQ(PollCounter, 0);
}

TEST_F(ClockChecks, WhatStopsTheSearch) {
    EXPECT_TRUE(StopsOnPoll());

    NoTimeLimit = true;   // infinite, ponder and depth searches
    EXPECT_FALSE(StopsOnPoll());
    NoTimeLimit = false;

    IterationDepth = 2;   // the first iteration always completes
    EXPECT_FALSE(StopsOnPoll());
    IterationDepth = 3;

    Searching = false;
    EXPECT_FALSE(StopsOnPoll());
    Searching = true;

    // Past the budget but within the hard limit: only during the first root move
    TimeMaximum = 60000;
    SearchStartTime = ClockMs() - 1000;
    EXPECT_TRUE(StopsOnPoll());
    FirstRootMoveDone = true;
    EXPECT_FALSE(StopsOnPoll());
    FirstRootMoveDone = false;
    RootResearch = true;
    EXPECT_FALSE(StopsOnPoll());
    RootResearch = false;

    // The iteration check looks at the budget alone
    FirstRootMoveDone = true;
    StopSearch = false;
    IterationClockCheck();
    EXPECT_TRUE(StopSearch);

    // Past the hard limit even after the first root move
    SearchStartTime = ClockMs() - 100000;
    StopSearch = false;
    RootClockCheck();
    EXPECT_TRUE(StopSearch);
}

TEST_F(ClockChecks, InfiniteSearchIsNeverStoppedByTheClock) {
    NoTimeLimit = true;
    StopSearch = false;
    RootClockCheck();
    IterationClockCheck();
    for (int i = 0; i < 20000; ++i)
        PollClock();
    EXPECT_FALSE(StopSearch);
}

}  // namespace
