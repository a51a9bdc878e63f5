// Play at a chosen strength: which level the options choose, and how a level
// picks among the scored lines of its search.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Console.h"
#include "Options.h"
#include "SearchControl.h"
#include "Strength.h"

namespace {

constexpr int PawnUnits = 208;  // engine units of one pawn, as the score lines convert them

// How often each line is picked over evenly spread draws
std::vector<int> PickCounts(const std::vector<int>& scores, int elo, int draws = 2000) {
    std::vector<int> counts(scores.size());
    const LevelPlan plan = PlanForElo(elo);
    for (int i = 0; i < draws; ++i)
        ++counts[ChooseLevelLine(scores.data(), int(scores.size()), plan, (i + 0.5) / draws)];
    return counts;
}

void Set(const std::string& name, const std::string& value) { SetOption("setoption name " + name + " value " + value); }

}  // namespace

TEST(LevelChoice, MistakesGrowRarerWithTheirCostAndNoneAbove2000CostsAPawn) {
    const std::vector<int> scores = {100, 60, 0, 100 - PawnUnits - 10, -200};
    const std::vector<int> weakest = PickCounts(scores, LevelEloMin);
    for (size_t i = 1; i < weakest.size(); ++i)
        EXPECT_GE(weakest[i - 1], weakest[i]) << "line " << i;
    EXPECT_GT(weakest[3], 0) << "the weakest level never gives up a pawn";
    for (int elo = 2000; elo <= LevelEloMax; elo += 10) {
        const std::vector<int> counts = PickCounts(scores, elo);
        EXPECT_EQ(counts[3] + counts[4], 0) << elo;
        EXPECT_GT(counts[0], counts[1]) << elo;
    }
}

TEST(LevelPlans, StrongerLevelsSearchMoreNodesAndKeepSeveralLines) {
    for (int elo = LevelEloMin; elo < LevelEloMax; elo += 10) {
        EXPECT_LT(PlanForElo(elo).nodes, PlanForElo(elo + 10).nodes) << elo;
        EXPECT_GE(PlanForElo(elo).lines, 2) << elo;
    }
}

// The plans the calibration matches fitted, at their six points
TEST(LevelPlans, EachCalibratedPointKeepsItsFittedPlan) {
    const struct { int elo; LevelPlan plan; } points[] = {
        {1350, {1000, 5, 70, 250}},   {1500, {16000, 4, 55, 200}},  {1650, {30000, 3, 40, 150}},
        {1800, {48000, 2, 28, 120}},  {1950, {140000, 2, 18, 95}},  {2050, {1000000, 2, 8, 50}},
    };
    for (const auto& p : points) {
        const LevelPlan plan = PlanForElo(p.elo);
        EXPECT_EQ(std::make_tuple(plan.nodes, plan.lines, plan.temperature, plan.maxLoss),
                  std::make_tuple(p.plan.nodes, p.plan.lines, p.plan.temperature, p.plan.maxLoss)) << p.elo;
    }
}

// Twenty evenly spread draws over the level's own lines, about ten centipawns apart:
// the line each draw picks, as the calibrated levels played
TEST(LevelChoice, FixedDrawsPickPinnedLinesAtEachCalibratedPoint) {
    const int scores[] = {0, -20, -40, -60, -90, -130, -180, -240};
    const struct { int elo; const char* picks; } points[] = {
        {1350, "00000111112222333444"}, {1500, "00000011111122223333"}, {1650, "00000000111111122222"},
        {1800, "00000000000011111111"}, {1950, "00000000000011111111"}, {2050, "00000000000000011111"},
    };
    for (const auto& p : points) {
        const LevelPlan plan = PlanForElo(p.elo);
        std::string picks;
        for (int i = 0; i < 20; ++i)
            picks += char('0' + ChooseLevelLine(scores, plan.lines, plan, (i + 0.5) / 20));
        EXPECT_EQ(picks, p.picks) << p.elo;
    }
}

// After the search: the level's line becomes the answer, and anything that
// ends the search ends the pause before it
TEST(LevelChoice, TheChosenLineBecomesTheAnswerAndAHaltCutsThePause) {
    auto session = std::make_unique_for_overwrite<SearchSession>();
    LevelOrder& level = session->Limits.Level;
    level.active = true;
    level.plan = PlanForElo(LevelEloMin);
    level.choiceDraw = 0.99;   // the last of the lines within reach
    level.pauseUnderClock = true;
    const Move lines[3][2] = {{11, 12}, {21, 22}, {31, 32}};
    for (int i = 0; i < 3; ++i)
        session->CompletedLines[i] = {-10 * i, 2, {lines[i][0], lines[i][1]}};
    session->CompletedLineCount = 3;
    session->BestLine[0] = lines[0][0], session->BestLine[2] = 99;
    session->TimeBudget = 600000;   // a pause of two minutes at least, unless cut
    session->SearchStartTime = session->MoveTimeStart = ClockMs();
    HaltSession(*session);
    const uint64_t start = ClockMs();
    PlayLevelLine(*session);
    EXPECT_LT(ClockMs() - start, 60000u);
    EXPECT_EQ(std::vector<Move>(session->BestLine, session->BestLine + 3), (std::vector<Move>{31, 32, 0}));
    EXPECT_EQ(session->AnswerScore, -20);

    level.active = false;   // full strength keeps the search's own answer
    session->BestLine[0] = 7;
    PlayLevelLine(*session);
    EXPECT_EQ(session->BestLine[0], 7u);
}

// A level's node budget joins the node limit of the "go" line, the smaller counting
TEST(LevelPlans, TheNodeBudgetJoinsTheLimitsOfTheGoLine) {
    Set("UCI_LimitStrength", "true");
    Set("UCI_Elo", "1500");
    SearchLimits clock;
    PlanLevelSearch(clock, 1, true);
    EXPECT_EQ(clock.NodeLimit, 16000u);
    EXPECT_TRUE(clock.Level.active && clock.Level.pauseUnderClock);
    SearchLimits tool;
    tool.NodeLimit = 5000, tool.ClockBudgetApplies = false;
    PlanLevelSearch(tool, 1, false);
    EXPECT_EQ(tool.NodeLimit, 5000u);
    EXPECT_FALSE(tool.Level.pauseUnderClock) << "tools that fix the effort get the answer at once";
    Set("UCI_LimitStrength", "false");
    Set("UCI_Elo", std::to_string(LevelEloDefault));
    SearchLimits full;
    PlanLevelSearch(full, 1, false);
    EXPECT_FALSE(full.Level.active);
    EXPECT_EQ(full.NodeLimit, 0u);
}

TEST(LevelOptions, LimitStrengthWithUciEloOutranksSkillLevel) {
    EXPECT_EQ(LevelElo(), FullStrength);
    EXPECT_EQ(SkillLevelElo(0), LevelEloMin);
    EXPECT_LT(SkillLevelElo(19), LevelEloMax);
    Set("Skill Level", "5");
    EXPECT_EQ(LevelElo(), SkillLevelElo(5));
    Set("UCI_Elo", "2040");
    EXPECT_EQ(LevelElo(), SkillLevelElo(5)) << "UCI_Elo counts only with UCI_LimitStrength";
    Set("UCI_LimitStrength", "true");
    EXPECT_EQ(LevelElo(), 2040);
    Set("Skill Level", "20");
    EXPECT_EQ(LevelElo(), 2040);
    Set("uci_limitstrength", "FALSE");
    EXPECT_EQ(LevelElo(), FullStrength);
    Set("UCI_Elo", std::to_string(LevelEloDefault));
}
