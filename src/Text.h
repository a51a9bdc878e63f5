// Text helpers for the command language: trimming, words and strict numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string CopyFrom(const std::string& text, int index);    // 1-based index
std::string FirstWord(const std::string& text, int index);   // up to the first blank
std::string Trim(std::string_view text);
// The words of text, separated by runs of characters <= 32
std::vector<std::string_view> SplitWords(std::string_view text);
int Pos(std::string_view word, std::string_view text);        // 1-based, 0 if absent

// Strict decimal conversion to a signed 32-bit value; false on any other text
bool ParseInt32(std::string_view text, int32_t& value);
