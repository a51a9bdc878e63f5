#include "Strength.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "Console.h"

namespace {

// A level's plan at points of the UCI_Elo scale; between two points the node
// budget grows geometrically and the rest linearly. The points come from the
// matches against stockfish's levels that the README lists.
struct LevelPoint {
    int elo;
    LevelPlan plan;
};
constexpr LevelPoint LevelPoints[] = {
    {1350, {1000, 5, 70, 250}},
    {1500, {16000, 4, 55, 200}},
    {1650, {30000, 3, 40, 150}},
    {1800, {48000, 2, 28, 120}},
    {1950, {140000, 2, 18, 95}},
    {2050, {1000000, 2, 8, 50}},
};

constexpr int MaxLevelLines = 8;
static_assert(std::all_of(std::begin(LevelPoints), std::end(LevelPoints),
                          [](const LevelPoint& p) { return p.plan.lines <= MaxLevelLines && p.plan.temperature > 0; }));

// The options
bool LimitStrength = false;
int EloSetting = LevelEloDefault;
int SkillLevel = SkillLevelMax;

// Games since start-up that a level played: the seed of its draws
uint64_t LevelGame = 0;

// SplitMix64: a well-spread 64-bit value from any input
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A uniform draw in [0, 1) from 53 bits
double Uniform(uint64_t bits) { return double(bits >> 11) * 0x1.0p-53; }

int Between(int low, int high, double t) { return int(std::lround(low + (high - low) * t)); }

// A person takes a while over a move, though not all of the time the clock
// allows: a fifth to a half of the budget, from the move's arrival, never
// beyond the budget. A forced move comes at once; anything that ends the
// search ends the pause.
void PauseBeforeAnswer(SearchSession& session, int lineCount) {
    const LevelOrder& level = session.Limits.Level;
    if (!level.pauseUnderClock || lineCount < 2)
        return;
    const uint64_t budget = session.TimeBudget.load();
    const uint64_t wanted = session.MoveTimeStart.load() + uint64_t(double(budget) * (0.2 + 0.3 * level.pauseDraw));
    const uint64_t deadline = std::min(wanted, session.SearchStartTime.load() + budget);
    const uint64_t now = ClockMs();
    if (now < deadline)
        PauseUnlessHalted(session, deadline - now);
}

}  // namespace

LevelPlan PlanForElo(int elo) {
    const LevelPoint* upper = std::find_if(std::begin(LevelPoints), std::end(LevelPoints),
                                           [&](const LevelPoint& p) { return p.elo >= elo; });
    if (upper == std::begin(LevelPoints))
        return upper->plan;
    if (upper == std::end(LevelPoints))
        return std::prev(upper)->plan;
    const LevelPoint& lower = *std::prev(upper);
    const double t = double(elo - lower.elo) / double(upper->elo - lower.elo);
    const LevelPlan& a = lower.plan;
    const LevelPlan& b = upper->plan;
    return {uint64_t(std::llround(double(a.nodes) * std::pow(double(b.nodes) / double(a.nodes), t))),
            Between(a.lines, b.lines, t), Between(a.temperature, b.temperature, t), Between(a.maxLoss, b.maxLoss, t)};
}

int SkillLevelElo(int skill) {
    // Evenly spread over the measured range: 0 the lowest level, 19 a step below the top
    return LevelEloMin + std::clamp(skill, 0, SkillLevelMax) * (LevelEloMax - LevelEloMin) / SkillLevelMax;
}

int LevelElo() {
    if (LimitStrength)
        return EloSetting;
    return SkillLevel < SkillLevelMax ? SkillLevelElo(SkillLevel) : FullStrength;
}

void SetLimitStrength(bool on) { LimitStrength = on; }
void SetLevelElo(int elo) { EloSetting = elo; }
void SetSkillLevel(int skill) { SkillLevel = skill; }

void PlanLevelSearch(SearchLimits& limits, uint64_t rootKey, bool firstSearchOfGame) {
    const int elo = LevelElo();
    LevelOrder& level = limits.Level;
    level = LevelOrder{};
    if (elo == FullStrength)
        return;
    if (firstSearchOfGame)
        ++LevelGame;
    level.active = true;
    level.plan = PlanForElo(elo);
    // Tools that fix the effort of a move get the answer as soon as it is known
    level.pauseUnderClock = limits.ClockBudgetApplies && limits.NodeLimit == 0 && limits.MoveTimeLimit == 0
                         && limits.MateLimit == 0 && limits.DepthLimit >= MaxSearchPlies;
    limits.NodeLimit = limits.NodeLimit == 0 ? level.plan.nodes : std::min(limits.NodeLimit, level.plan.nodes);
    const uint64_t seed = Mix(Mix(LevelGame) ^ rootKey ^ uint64_t(elo));
    level.choiceDraw = Uniform(seed);
    level.pauseDraw = Uniform(Mix(seed));
}

void PlayLevelLine(SearchSession& session) {
    const LevelOrder& level = session.Limits.Level;
    const int lineCount = std::min(session.CompletedLineCount, MaxLevelLines);
    if (!level.active || lineCount == 0)
        return;
    PauseBeforeAnswer(session, lineCount);
    int scores[MaxLevelLines];
    for (int i = 0; i < lineCount; ++i)
        scores[i] = session.CompletedLines[i].score;
    const int chosen = ChooseLevelLine(scores, lineCount, level.plan, level.choiceDraw);
    if (chosen == 0)
        return;   // the search's own answer
    const RootLine& line = session.CompletedLines[chosen];
    std::copy(line.pv, line.pv + line.length, session.BestLine);
    std::fill(session.BestLine + line.length, std::end(session.BestLine), Move(0));
    session.AnswerScore = line.score;
}

int ChooseLevelLine(const int* scores, int count, const LevelPlan& plan, double draw) {
    double weights[MaxLevelLines];
    double total = 0;
    count = std::min(count, MaxLevelLines);
    for (int i = 0; i < count; ++i) {
        const int loss = CentipawnsOf(scores[0] - scores[i]);
        weights[i] = loss > plan.maxLoss ? 0.0 : std::exp(-double(loss) / double(plan.temperature));
        total += weights[i];
    }
    double target = draw * total;
    for (int i = 0; i < count; ++i) {
        target -= weights[i];
        if (target < 0)
            return i;
    }
    return 0;
}
