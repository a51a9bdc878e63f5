#include "MoveText.h"

#include "Console.h"
#include "MakeMove.h"
#include "MoveGen.h"
#include "Text.h"
#include "Thread.h"

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
