#include "Util.h"

#include "GenMoves.h"
#include "Makemove.h"
#include "Platform.h"
#include "Thread.h"

// ---------------------------------------------------------------------------
// Console

// One byte per read, so that nothing past the line feed is ever taken from the input
bool ReadLine(std::string& line) {
    line.clear();
    char byte;
    for (;;) {
        if (!ReadInputByte(byte)) {
            if (line.empty())
                return false;
            break;  // a last line without its line feed still counts
        }
        if (byte == '\n')
            break;
        line += byte;
    }
    line = Trim(line);
    return true;
}

void WriteLine(std::string_view text) {
    std::string buffer;
    buffer.reserve(text.size() + 1);
    buffer.append(text);
    buffer += '\n';
    WriteOutput(buffer.data(), buffer.size());
}

// ---------------------------------------------------------------------------
// Strings

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

// ---------------------------------------------------------------------------
// Clock

void InitClock() {}

uint64_t ClockMs() { return MonotonicMs(); }

// ---------------------------------------------------------------------------
// Move text

namespace {

std::string SquareName(int s) { return {char('a' + FileOf(s)), char('1' + RankOf(s))}; }

int PromotionFromLetter(char letter) {
    switch (letter) {
    case 'n': case 'N': return Knight;
    case 'b': case 'B': return Bishop;
    case 'r': case 'R': return Rook;
    case 'q': case 'Q': return Queen;
    default: return 0;
    }
}

bool IsSquareText(std::string_view text) {
    return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

}  // namespace

int SquareFromText(std::string_view text) {
    return ((text[0] - 'a') + 8 * (text[1] - '1')) & 0xFF;
}

std::string MoveToText(Move m) {
    std::string text = SquareName(MoveFrom(m)) + SquareName(MoveTo(m));
    switch (MovePromotion(m)) {
    case Knight: text += 'n'; break;
    case Bishop: text += 'b'; break;
    case Rook: text += 'r'; break;
    case Queen: text += 'q'; break;
    default: break;
    }
    return text;
}

Move MoveFromText(std::string_view word) {
    const Square from = SquareFromText(word.substr(0, 2)), to = SquareFromText(word.substr(2, 2));
    const int piece = Position.board[from];
    int captured = Position.board[to];
    const int promotion = word.size() > 4 ? PromotionFromLetter(word[4]) : 0;
    const int us = Position.sideToMove;
    const Square epSquare = CurrentState().epSquare;
    int epPawn = 0, castling = 0;
    if (piece == Pawn && to == epSquare && epSquare != 0)
        epPawn = us == White ? to - 8 : to + 8;
    if (piece == King && Position.castlingRules.chess960) {
        // Fischer-random castling is written as the king taking its own rook
        if (Position.pieces[us][Rook] & (Bitboard(1) << to)) {
            castling = to > from ? 1 : 2;
            captured = 0;
        }
    } else if (piece == King)
        castling = to - from == 2 ? 1 : to - from == -2 ? 2 : 0;
    Move m = PackMoveWord(from, to, piece, captured, promotion, epPawn, castling, CurrentState().castling[us]);
    GenContext context;
    FillCheckContext(context);
    if (GivesCheck(m, context))
        m |= CheckBit;
    return m;
}

Move FindLegalMove(std::string_view word) {
    if (word.size() < 4 || word.size() > 5 || !IsSquareText(word.substr(0, 2)) || !IsSquareText(word.substr(2, 2)))
        return 0;
    const int promotion = word.size() == 5 ? PromotionFromLetter(word[4]) : 0;
    if (word.size() == 5 && !promotion)
        return 0;
    const Square from = SquareFromText(word.substr(0, 2)), to = SquareFromText(word.substr(2, 2));
    const Move named = PackMoveWord(from, to, 0, 0, promotion, 0, 0, 0);
    MoveList legal;
    GenerateLegal(legal);
    for (int i = 1; i <= legal.count; ++i) {
        if (SameMoveText(legal.moves[i], named))
            return MoveFromText(word);
    }
    return 0;
}

void PlayMoveText(const std::string& text) {
    for (std::string_view word : SplitWords(text)) {
        if (Position.stateIndex >= MaxGamePlies) {
            WriteLine("info string game too long: " + std::string(word) + " and the moves after it are not played");
            return;
        }
        Move m = FindLegalMove(word);
        if (!m) {
            WriteLine("info string illegal move " + std::string(word) + ": it and the moves after it are not played");
            return;
        }
        MakeMove(m);
    }
}

void ReadSearchMoves(const std::string& text, SearchMoveList& searchMoves) {
    searchMoves.count = 0;
    for (std::string_view word : SplitWords(text)) {
        if (searchMoves.count >= MaxSearchMoves)
            return;
        if (Move m = FindLegalMove(word))
            searchMoves.moves[++searchMoves.count] = m;
    }
}

void AppendSearchMoves(const SearchMoveList& searchMoves, MoveList& list) {
    for (int i = 1; i <= searchMoves.count; ++i)
        list.moves[++list.count] = searchMoves.moves[i];
}
