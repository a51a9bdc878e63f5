#include "Text.h"

std::string CopyFrom(const std::string& text, int index) {
    if (index < 1 || size_t(index) > text.size())
        return index < 1 ? text : std::string();
    return text.substr(size_t(index - 1));
}

std::string FirstWord(const std::string& text, int index) {
    std::string rest = CopyFrom(text, index);
    return rest.substr(0, rest.find(' '));
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

int Pos(std::string_view word, std::string_view text) {
    size_t at = text.find(word);
    return at == std::string_view::npos ? 0 : int(at) + 1;
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
