#include "Text.h"

bool Contains(std::string_view text, std::string_view word) { return text.find(word) != std::string_view::npos; }

namespace {

// The text from `start` on, trimmed; empty past the end
std::string TrimmedFrom(std::string_view line, size_t start) {
    return start < line.size() ? Trim(line.substr(start)) : std::string();
}

}  // namespace

std::string RestAfter(std::string_view line, std::string_view keyword) {
    const size_t at = line.find(keyword);
    return at == std::string_view::npos ? std::string() : TrimmedFrom(line, at + keyword.size() + 1);
}

std::string WordAfter(std::string_view line, std::string_view keyword) {
    const std::string rest = RestAfter(line, keyword);
    return rest.substr(0, rest.find(' '));
}

std::string TextRightAfter(std::string_view line, std::string_view keyword) {
    const size_t at = line.find(keyword);
    return at == std::string_view::npos ? std::string() : TrimmedFrom(line, at + keyword.size());
}

std::string TextBetween(std::string_view line, std::string_view from, std::string_view to) {
    const size_t start = line.find(from) + from.size();
    const size_t end = line.find(to);
    return end > start ? Trim(line.substr(start, end - start)) : std::string();
}

std::string Trim(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (unsigned char)text[begin] <= 32)
        ++begin;
    while (end > begin && (unsigned char)text[end - 1] <= 32)
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (unsigned char)text[i] <= 32)
            ++i;
        size_t start = i;
        while (i < text.size() && (unsigned char)text[i] > 32)
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool ParseInt32(std::string_view text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + (text[i] - '0');
        if (number > int64_t(INT32_MAX) + 1)  // leading zeros are fine, too many digits are not
            return false;
    }
    if (negative)
        number = -number;
    if (number < INT32_MIN || number > INT32_MAX)
        return false;
    value = int32_t(number);
    return true;
}
