// The board as a whole: clearing it, setting it up from a FEN (checked before
// anything is changed), writing it back as a FEN, and its keys from scratch.
#include "Board.h"
#include "Thread.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "Bitboard.h"
#include "Console.h"
#include "MoveGen.h"
#include "MoveText.h"
#include "Tables.h"
#include "Text.h"

bool Chess960Option = false;

void ClearPosition() {
    Position.sideToMove = White;
    for (int c = White; c <= Black; ++c) {
        Position.kingSquare[c] = 0;
        Position.material[c] = 0;
        for (Bitboard& b : Position.pieces[c])
            b = 0;
    }
    for (int32_t& piece : Position.board)
        piece = 0;
    Position.phase = 0;
    Position.occupied = 0;
    Position.castlingRules = {};
    for (StateRecord& state : Position.states) {
        state.castling[0] = state.castling[1] = 0;
        state.usableCastling[0] = state.usableCastling[1] = 0;
        state.epSquare = 0;
        state.halfmoveClock = 0;
        state.inCheck = 0;
        state.move = 0;
        state.key1 = 0;
    }
}

void ComputeKeys(uint64_t& key1, uint64_t& key2) {
    key1 = Zobrist1.side;
    key2 = Zobrist2.side;
    for (int c = White; c <= Black; ++c)
        for (int type = Pawn; type <= King; ++type)
            for (Bitboard b = Position.pieces[c][type]; b;) {
                int s = PopLowest(b);
                key1 ^= Zobrist1.piece[c][type][s];
                key2 ^= Zobrist2.piece[c][type][s];
            }
    if (Position.castlingRules.chess960) {
        key1 ^= RightsKey(Zobrist1, CurrentState().usableCastling);
        key2 ^= RightsKey(Zobrist2, CurrentState().usableCastling);
    }
}

namespace {

constexpr const char* PieceLetters = " pnbrqk";

struct FenBoard {
    int type[64];
    int colour[64];
};

// Eight ranks of eight squares, rank 8 first
bool ReadPlacement(std::string_view field, FenBoard& out, std::string& error) {
    for (int s = 0; s < 64; ++s)
        out.type[s] = out.colour[s] = 0;
    int rank = 7, file = 0;
    for (char ch : field) {
        if (ch == '/') {
            if (file != 8 || rank == 0) {
                error = "the placement field does not have 8 ranks of 8 squares";
                return false;
            }
            --rank;
            file = 0;
        } else if (ch >= '1' && ch <= '8') {
            file += ch - '0';
            if (file > 8) {
                error = "a rank of the placement field has more than 8 squares";
                return false;
            }
        } else {
            constexpr std::string_view Letters = "pnbrqkPNBRQK";
            size_t index = Letters.find(ch);
            if (index == std::string_view::npos) {
                error = std::string("character '") + ch + "' is not part of a placement field";
                return false;
            }
            if (file >= 8) {
                error = "a rank of the placement field has more than 8 squares";
                return false;
            }
            out.type[8 * rank + file] = int(index % 6) + 1;
            out.colour[8 * rank + file] = index < 6 ? Black : White;
            ++file;
        }
    }
    if (rank != 0 || file != 8) {
        error = "the placement field does not have 8 ranks of 8 squares";
        return false;
    }
    return true;
}

bool CheckMaterial(const FenBoard& board, std::string& error) {
    int kings[2] = {0, 0}, men[2] = {0, 0};
    for (int s = 0; s < 64; ++s) {
        if (!board.type[s])
            continue;
        ++men[board.colour[s]];
        if (board.type[s] == King)
            ++kings[board.colour[s]];
        if (board.type[s] == Pawn && (RankOf(s) == 0 || RankOf(s) == 7)) {
            error = "a pawn stands on the first or last rank";
            return false;
        }
    }
    if (kings[White] != 1 || kings[Black] != 1) {
        error = "each side must have exactly one king";
        return false;
    }
    if (men[White] > 16 || men[Black] > 16) {
        error = "a side has more than 16 men";
        return false;
    }
    return true;
}

// Kings side by side would let one take the other
bool CheckKings(const FenBoard& board, std::string& error) {
    Square kings[2] = {0, 0};
    for (Square s = 0; s < 64; ++s)
        if (board.type[s] == King)
            kings[board.colour[s]] = s;
    if (KingAttacks[kings[White]] & SetMask[kings[Black]]) {
        error = "the kings stand next to each other";
        return false;
    }
    return true;
}

// The text fields after the placement, checked before the position is touched
struct FenFields {
    int side = White;
    int castling[2] = {0, 0};
    Square rookFrom[2][2] = {{CastleRookFrom[White][0], CastleRookFrom[White][1]},
                             {CastleRookFrom[Black][0], CastleRookFrom[Black][1]}};
    std::string_view epSquare = "-";
    int32_t halfmove = 0;
    int32_t fullmove = 1;
};

bool ReadSide(std::string_view field, FenFields& out, std::string& error) {
    if (field != "w" && field != "b") {
        error = "the side to move is not w or b";
        return false;
    }
    out.side = field == "b" ? Black : White;
    return true;
}

bool ReadCastling(std::string_view field, FenFields& out, std::string& error) {
    if (field == "-")
        return true;
    constexpr std::string_view Letters = "KQkq";
    int seen = 0;
    for (char ch : field) {
        const size_t index = Letters.find(ch);
        if (index == std::string_view::npos || (seen & (1 << index))) {
            error = "the castling field is not - or letters of KQkq, each at most once";
            return false;
        }
        seen |= 1 << index;
        out.castling[index / 2] |= 1 << (index % 2);
    }
    return true;
}

// The king of colour c on its first rank, or -1
Square KingOnFirstRank(const FenBoard& board, int c) {
    const Square first = c == White ? 0 : 56;
    for (Square s = first; s < first + 8; ++s)
        if (board.type[s] == King && board.colour[s] == c)
            return s;
    return -1;
}

bool IsOwnRook(const FenBoard& board, int c, Square s) { return board.type[s] == Rook && board.colour[s] == c; }

// The rook a Fischer-random castling letter names for colour c, whose king stands on
// king: K or Q the outermost rook on that side, a file letter the rook on that file.
// side is set to 0 (king-side) or 1; -1 when no rook of c stands there.
Square NamedRook(const FenBoard& board, int c, Square king, char letter, int& side) {
    if (letter == 'k' || letter == 'q') {
        side = letter == 'k' ? 0 : 1;
        const int inward = side == 0 ? -1 : 1;
        for (Square s = king - FileOf(king) + (side == 0 ? 7 : 0); s != king; s += inward)
            if (IsOwnRook(board, c, s))
                return s;
        return -1;
    }
    const Square s = king - FileOf(king) + (letter - 'a');
    side = s > king ? 0 : 1;
    return s != king && IsOwnRook(board, c, s) ? s : -1;
}

// Fischer-random rights in X-FEN (KQkq for the outermost rooks, a file letter for an
// inner one) or Shredder-FEN (file letters). A right whose king or rook does not stand
// on its first rank is dropped; naming one side of one colour twice is malformed.
bool ReadChess960Castling(std::string_view field, const FenBoard& board, FenFields& out, std::string& error) {
    if (field == "-")
        return true;
    constexpr std::string_view Letters = "KQABCDEFGHkqabcdefgh";
    uint32_t seen = 0;
    int named[2] = {0, 0};
    for (char ch : field) {
        const size_t index = Letters.find(ch);
        if (index == std::string_view::npos || (seen & (1u << index))) {
            error = "the castling field is not - or letters of KQkq and of the files, each at most once";
            return false;
        }
        seen |= 1u << index;
        const int c = index < 10 ? White : Black;
        const Square king = KingOnFirstRank(board, c);
        if (king < 0)
            continue;
        int side = 0;
        const Square rook = NamedRook(board, c, king, Letters[index % 10 + 10], side);
        if (named[c] & (1 << side)) {
            error = "the castling field names two rooks for one side of one king";
            return false;
        }
        named[c] |= 1 << side;
        if (rook >= 0) {
            out.castling[c] |= 1 << side;
            out.rookFrom[c][side] = rook;
        }
    }
    return true;
}

bool ReadEpField(std::string_view field, FenFields& out, std::string& error) {
    const bool square = field.size() == 2 && field[0] >= 'a' && field[0] <= 'h' && (field[1] == '3' || field[1] == '6');
    if (field != "-" && !square) {
        error = "the en-passant field is not - or a square of the third or sixth rank";
        return false;
    }
    out.epSquare = field;
    return true;
}

// The table's 16-bit priority is the root's plyCounter (at most the full-move
// number plus the game's plies) + a draft below 256 + 3
static_assert(MaxFenClock + StateCount + 255 + 3 <= UINT16_MAX, "a table priority could wrap");

// A clock field: a whole decimal number up to MaxFenClock, leading zeros allowed
bool ReadClock(std::string_view field, int32_t& value) {
    return !field.empty() && field[0] >= '0' && field[0] <= '9' && ParseInt32(field, value) && value <= MaxFenClock;
}

bool ReadFields(const std::vector<std::string_view>& fields, const FenBoard& board, FenFields& out,
                std::string& error) {
    if (fields.size() > 1 && !ReadSide(fields[1], out, error))
        return false;
    if (fields.size() > 2
        && !(Chess960Option ? ReadChess960Castling(fields[2], board, out, error) : ReadCastling(fields[2], out, error)))
        return false;
    if (fields.size() > 3 && !ReadEpField(fields[3], out, error))
        return false;
    if (fields.size() > 4 && !ReadClock(fields[4], out.halfmove)) {
        error = "the halfmove clock is not a number from 0 to " + std::to_string(MaxFenClock);
        return false;
    }
    if (fields.size() > 5 && !ReadClock(fields[5], out.fullmove)) {
        error = "the full-move number is not a number from 0 to " + std::to_string(MaxFenClock);
        return false;
    }
    out.fullmove = std::max(out.fullmove, 1);  // some programs write 0 for the first move
    if (fields.size() > 6) {
        error = "words follow the full-move number";
        return false;
    }
    return true;
}

void PlacePiece(int c, int type, Square s) {
    SetBit(Position.pieces[c][type], s);
    SetBit(Position.pieces[c][AllPieces], s);
    SetBit(Position.occupied, s);
    Position.board[s] = type;
    if (type >= Knight && type <= Queen)
        Position.material[c] += PieceValue[type];
    if (type == King)
        Position.kingSquare[c] = s;
}

// A standard right stays only while its king and rook still stand on their original squares
int PossibleRights(int c, int rights) {
    if (Position.kingSquare[c] != KingOrigin[c])
        return 0;
    for (int kind = 0; kind < 2; ++kind) {
        Square rookSquare = CastleRookFrom[c][kind];
        bool rookHome = Position.pieces[c][Rook] & SetMask[rookSquare];
        if (!rookHome)
            rights &= ~(1 << kind);
    }
    return rights;
}

// An en-passant square is kept only when a legal double push could have left it:
// the square and the pawn's origin are empty, the enemy pawn stands in front of it,
// and taking the push back does not leave our king in check. Anything else would
// let the generator produce an illegal capture.
int PossibleEpSquare(std::string_view field) {
    if (field == "-")
        return 0;
    Square ep = SquareFromText(field);
    int us = Position.sideToMove, them = us ^ 1;
    int rank = (us == White) ? 5 : 2;
    Square pushed = (us == White) ? ep - 8 : ep + 8;
    Square origin = (us == White) ? ep + 8 : ep - 8;
    if (RankOf(ep) != rank || Position.board[ep] || Position.board[origin])
        return 0;
    if (!(Position.pieces[them][Pawn] & SetMask[pushed]))
        return 0;
    // Before the push it was their move: our king cannot have been in check then
    Bitboard undo = SetMask[pushed] | SetMask[origin];
    Position.pieces[them][Pawn] ^= undo;
    Position.pieces[them][AllPieces] ^= undo;
    Position.occupied ^= undo;
    bool wasInCheck = KingAttacked(us);
    Position.pieces[them][Pawn] ^= undo;
    Position.pieces[them][AllPieces] ^= undo;
    Position.occupied ^= undo;
    return wasInCheck ? 0 : ep;
}

// From e1/e8 and the corners in standard chess, from the squares the FEN gave in
// Fischer-random chess. The king's square serves for both sides of its colour.
void SetCastlingRules(bool chess960, const Square (&rookFrom)[2][2]) {
    CastlingRules& rules = Position.castlingRules;
    rules.chess960 = chess960;
    auto span = [](Square a, Square b) { return a == b ? SetMask[a] : Segment[a][b]; };
    for (int c = White; c <= Black; ++c) {
        const Square king = chess960 ? Position.kingSquare[c] : KingOrigin[c];
        for (int kind = 0; kind < 2; ++kind) {
            const Square rook = rookFrom[c][kind], kingTo = CastleKingTo[c][kind];
            rules.rookFrom[c][kind] = rook;
            rules.kingPath[c][kind] = span(king, kingTo);
            rules.mustBeEmpty[c][kind] = (span(king, kingTo) | span(rook, CastleRookTo[c][kind]))
                                       & ClearMask[king] & ClearMask[rook];
        }
    }
}

}  // namespace

bool ReadFen(std::string_view text, std::string& error) {
    std::vector<std::string_view> fields = SplitWords(text);
    if (fields.empty()) {
        error = "empty FEN";
        return false;
    }
    FenBoard placement;
    FenFields rest;
    if (!ReadPlacement(fields[0], placement, error) || !CheckMaterial(placement, error)
        || !CheckKings(placement, error) || !ReadFields(fields, placement, rest, error))
        return false;

    // The board as it was, for a position found impossible only once it is set up
    const auto before = std::make_unique<PositionRecord>(Position);
    ClearPosition();
    for (Square s = 0; s < 64; ++s)
        if (placement.type[s])
            PlacePiece(placement.colour[s], placement.type[s], s);
    int weights = 0;
    for (int c = White; c <= Black; ++c) {
        Position.pieces[c][BishopsQueens] = Position.pieces[c][Bishop] | Position.pieces[c][Queen];
        Position.pieces[c][RooksQueens] = Position.pieces[c][Rook] | Position.pieces[c][Queen];
        for (int type = Knight; type <= Queen; ++type)
            weights += PhaseWeight[type] * PopCount(Position.pieces[c][type]);
    }
    Position.phase = std::max(0, 24 - weights);
    Position.sideToMove = rest.side;
    SetCastlingRules(Chess960Option, rest.rookFrom);

    StateRecord& state = Position.states[0];
    for (int c = White; c <= Black; ++c) {
        const int rights = Chess960Option ? rest.castling[c] : PossibleRights(c, rest.castling[c]);
        state.usableCastling[c] = state.castling[c] = uint8_t(rights);
    }
    state.epSquare = PossibleEpSquare(rest.epSquare);
    state.halfmoveClock = rest.halfmove;
    Position.plyCounter = rest.fullmove;
    Position.stateIndex = 0;
    state.move = 0;

    if (KingAttacked(Position.sideToMove ^ 1)) {
        Position = *before;
        error = "the side not to move is in check";
        return false;
    }
    state.inCheck = KingAttacked(Position.sideToMove);
    ComputeKeys(state.key1, state.key2);
    return true;
}

namespace {

// Standard letters; in Fischer-random chess X-FEN: K or Q (k or q) for the outermost
// rook on its side of the king, the rook's file for an inner one
std::string CastlingField(const uint8_t usable[2]) {
    const CastlingRules& rules = Position.castlingRules;
    std::string field;
    for (int c = White; c <= Black; ++c)
        for (int kind = 0; kind < 2; ++kind) {
            if (!(usable[c] & (1 << kind)))
                continue;
            const Square rook = rules.rookFrom[c][kind];
            const Bitboard beyond = RankMask[RankOf(rook)] & (kind == 0 ? ~(SetMask[rook] * 2 - 1) : SetMask[rook] - 1);
            char letter = kind == 0 ? 'K' : 'Q';
            if (rules.chess960 && (beyond & Position.pieces[c][Rook]))
                letter = char('A' + FileOf(rook));
            field += c == White ? letter : char(letter + 32);
        }
    return field.empty() ? "-" : field;
}

}  // namespace

std::string WriteFen() {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            Square s = 8 * rank + file;
            int type = Position.board[s];
            if (!type) {
                ++empty;
                continue;
            }
            if (empty)
                fen += char('0' + empty);
            empty = 0;
            char letter = PieceLetters[type];
            fen += (Position.pieces[White][AllPieces] & SetMask[s]) ? char(letter - 32) : letter;
        }
        if (empty)
            fen += char('0' + empty);
        if (rank)
            fen += '/';
    }
    const StateRecord& state = CurrentState();
    fen += Position.sideToMove == White ? " w " : " b ";
    // A right whose rook was taken stays in the state but can never be used: write the rights that stand
    fen += CastlingField(state.usableCastling);
    fen += ' ';
    if (state.epSquare) {
        fen += char('a' + FileOf(state.epSquare));
        fen += char('1' + RankOf(state.epSquare));
    } else
        fen += '-';
    // plyCounter started at the FEN's full-move number and counts plies since
    int startSide = Position.sideToMove ^ (Position.stateIndex & 1);
    int fullmove = Position.plyCounter - Position.stateIndex + (Position.stateIndex + startSide) / 2;
    fen += ' ';
    fen += std::to_string(state.halfmoveClock);
    fen += ' ';
    fen += std::to_string(fullmove);
    return fen;
}

void SetUpPosition(std::string_view fen, const std::string& moves) {
    std::string error;
    if (!ReadFen(fen, error)) {
        WriteLine("info string invalid FEN (" + error + "): the position is unchanged");
        return;
    }
    PlayMoveText(moves);
}

namespace {

std::string SquareList(Bitboard squares) {
    std::string text;
    while (squares) {
        Square s = PopLowest(squares);
        text += std::string(text.empty() ? "" : " ") + char('a' + FileOf(s)) + char('1' + RankOf(s));
    }
    return text;
}

}  // namespace

void ShowBoard() {
    const std::string rule = " +---+---+---+---+---+---+---+---+";
    WriteLine("");
    WriteLine(rule);
    for (int rank = 7; rank >= 0; --rank) {
        std::string row = " |";
        for (int file = 0; file < 8; ++file) {
            Square s = 8 * rank + file;
            char letter = " PNBRQK"[Position.board[s]];
            if (Position.pieces[Black][AllPieces] & SetMask[s])
                letter = char(letter + 32);
            row += std::string(" ") + letter + " |";
        }
        WriteLine(row + " " + char('1' + rank));
        WriteLine(rule);
    }
    WriteLine("   a   b   c   d   e   f   g   h");
    WriteLine("");
    char keys[64];
    std::snprintf(keys, sizeof keys, "Key1: %016llX  Key2: %016llX", (unsigned long long)CurrentState().key1,
                  (unsigned long long)CurrentState().key2);
    WriteLine("Fen: " + WriteFen());
    WriteLine(keys);
    WriteLine("Checkers: " + SquareList(Checkers()));
}
