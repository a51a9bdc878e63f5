// Text helpers for the command language: trimming, words and strict numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Commands are found by containment: a keyword counts wherever it stands in the line
bool Contains(std::string_view text, std::string_view word);

// The text after the first `keyword` of line and the one character after it
// (the separator, whatever it is), trimmed; empty when the keyword is absent
std::string RestAfter(std::string_view line, std::string_view keyword);
// The first word of RestAfter: up to the first space
std::string WordAfter(std::string_view line, std::string_view keyword);
// The text right after the first `keyword`, no separator skipped, trimmed
std::string TextRightAfter(std::string_view line, std::string_view keyword);
// The text between the end of the first `from` and the start of the first
// `to`, trimmed; empty when `to` comes first. Both must occur in line.
std::string TextBetween(std::string_view line, std::string_view from, std::string_view to);

// Without the characters <= 32 at both ends
std::string Trim(std::string_view text);
// The words of text, separated by runs of characters <= 32
std::vector<std::string_view> SplitWords(std::string_view text);

// Strict decimal conversion to a signed 32-bit value; false on any other text
bool ParseInt32(std::string_view text, int32_t& value);
