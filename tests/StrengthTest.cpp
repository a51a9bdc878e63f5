// Play at a chosen strength: which level the options choose, and how a level
// picks among the scored lines of its search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Options.h"
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
