#include "Options.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>
#include <vector>

#include "Board.h"
#include "Console.h"
#include "Search.h"
#include "Strength.h"
#include "Tablebases.h"
#include "Text.h"
#include "Thread.h"
#include "ThreadPool.h"
#include "TimeControl.h"
#include "TranspositionTable.h"

namespace {

enum class OptionType { Spin, Check, Button, String };

struct Option {
    const char* name;
    OptionType type;
    int32_t defaultValue;   // a check's is 0 or 1
    int32_t min;
    int32_t max;
    void (*onChange)(int32_t value);   // the value clamped to min..max; nullptr: announced only
    bool saysRefusals = false;         // a value out of range or malformed gets one "info string"
    void (*onText)(const std::string& value) = nullptr;   // a string's: the text after "value", trimmed
};

void ResizeHash(int32_t megabytes) {
    AllocateHash(megabytes);
    if (HashSize != HashEntriesFor(megabytes))
        WriteLine("info string Hash: " + std::to_string(megabytes) + " MB could not be allocated, using "
                  + std::to_string(HashMegabytes()) + " MB");
}

void SetThreads(int32_t threads) {
    if (threads != SearchThreads.SearchThreadsStarted())
        SearchThreads.StartSearchThreads(threads);
}

void SetSyzygyPath(const std::string& path) {
    for (const std::string& line : LoadTablebases(path))
        WriteLine(line);
}

constexpr Option HashOption = {"Hash", OptionType::Spin, HashDefaultMegabytes, HashMinMegabytes, HashMaxMegabytes,
                               ResizeHash};

const Option Options[] = {
    HashOption,
    {"Ponder", OptionType::Check, 0, 0, 1, nullptr},
    {"MultiPV", OptionType::Spin, 1, 1, 256, [](int32_t lines) { MultiPV = lines; }},
    {"Clear Hash", OptionType::Button, 0, 0, 0, [](int32_t) { ClearHash(); }},
    {"Move Overhead", OptionType::Spin, MoveOverheadDefault, 0, 5000, [](int32_t ms) { MoveOverhead = ms; }},
    {"Threads", OptionType::Spin, 1, 1, MaxSearchThreads, SetThreads},
    // The positions set up from then on follow it
    {"UCI_Chess960", OptionType::Check, 0, 0, 1, [](int32_t on) { Chess960Option = on != 0; }},
    // Playing at a chosen strength: UCI_LimitStrength with UCI_Elo outranks Skill Level
    {"UCI_LimitStrength", OptionType::Check, 0, 0, 1, [](int32_t on) { SetLimitStrength(on != 0); }, true},
    {"UCI_Elo", OptionType::Spin, LevelEloDefault, LevelEloMin, LevelEloMax, SetLevelElo, true},
    {"Skill Level", OptionType::Spin, SkillLevelMax, 0, SkillLevelMax, SetSkillLevel, true},
    // Syzygy endgame tables, with the names and meanings GUIs know from other engines
    {"SyzygyPath", OptionType::String, 0, 0, 0, nullptr, false, SetSyzygyPath},
    {"SyzygyProbeDepth", OptionType::Spin, 1, 1, 100, [](int32_t depth) { TableOptions.probeDepth = depth; }},
    {"Syzygy50MoveRule", OptionType::Check, 1, 0, 1, [](int32_t on) { TableOptions.fiftyMoveRule = on != 0; }},
    {"SyzygyProbeLimit", OptionType::Spin, 7, 0, 7, [](int32_t pieces) { TableOptions.probeLimit = pieces; }},
};

std::string OptionLine(const Option& option) {
    std::string line = std::string("option name ") + option.name;
    switch (option.type) {
    case OptionType::Spin:
        return line + " type spin default " + std::to_string(option.defaultValue) + " min "
             + std::to_string(option.min) + " max " + std::to_string(option.max);
    case OptionType::Check:
        return line + " type check default " + (option.defaultValue ? "true" : "false");
    case OptionType::Button:
        return line + " type button";
    case OptionType::String:
        return line + " type string default <empty>";
    }
    return line;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The option's name: the words between "name" and "value" (or the end), compared
// without regard to case as UCI names are
std::string OptionName(const std::string& line) {
    std::string name;
    bool inName = false;
    for (std::string_view word : SplitWords(line)) {
        if (word == "value")
            break;
        if (inName) {
            if (!name.empty())
                name += ' ';
            name.append(word);
        }
        inName = inName || word == "name";
    }
    return Lowercase(name);
}

// The number after "value"; false when absent or malformed
bool OptionValue(const std::string& line, int32_t& value) {
    return Contains(line, "value") && ParseInt32(RestAfter(line, "value"), value);
}

// Hash keeps its own rule, and Ponder is only announced
bool SetByName(const Option& option) { return option.onText || (option.onChange && option.onChange != ResizeHash); }

// A check's "true" or "false" after "value", in any case
bool OptionFlag(const std::string& line, int32_t& value) {
    const std::string text = Lowercase(RestAfter(line, "value"));
    value = text == "true";
    return text == "true" || text == "false";
}

// What a value must be, for the options that answer a refusal
std::string RefusalLine(const Option& option) {
    if (option.type == OptionType::Check)
        return std::string("info string ") + option.name + " is true or false";
    return std::string("info string ") + option.name + " needs a whole number from " + std::to_string(option.min)
         + " to " + std::to_string(option.max);
}

void SetByValue(const Option& option, const std::string& line) {
    if (option.type == OptionType::String) {
        option.onText(RestAfter(line, "value"));   // empty when "value" is absent
        return;
    }
    int32_t value = 0;
    const bool given = option.type == OptionType::Button
                    || (option.type == OptionType::Check ? OptionFlag(line, value) : OptionValue(line, value));
    if (!given) {
        if (option.saysRefusals)
            WriteLine(RefusalLine(option));
        return;
    }
    const int32_t clamped = std::clamp(value, option.min, option.max);
    if (clamped != value && option.saysRefusals)
        WriteLine(std::string("info string ") + option.name + " " + std::to_string(value) + " is out of range, set to "
                  + std::to_string(clamped));
    option.onChange(clamped);
}

// "Hash value N" as the engine has always read it: the two words with one blank
// between them, anywhere in a line that names an option
void SetHashByText(const std::string& line) {
    int32_t megabytes;
    if (Contains(line, "name") && Contains(line, "Hash value") && ParseInt32(RestAfter(line, "Hash value"), megabytes))
        HashOption.onChange(std::clamp(megabytes, HashOption.min, HashOption.max));
}

}  // namespace

void ListOptions() {
    for (const Option& option : Options)
        WriteLine(OptionLine(option));
}

void SetOption(const std::string& line) {
    const std::string name = OptionName(line);
    for (const Option& option : Options)
        if (SetByName(option) && Lowercase(option.name) == name) {
            SetByValue(option, line);
            return;
        }
    SetHashByText(line);
}
