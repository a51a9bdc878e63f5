#include "MakeMove.h"

#include "Tables.h"
#include "Thread.h"

namespace {

inline void XorKeys(uint64_t& key1, uint64_t& key2, int c, int type, Square s) {
    key1 ^= Zobrist1.piece[c][type][s];
    key2 ^= Zobrist2.piece[c][type][s];
}

inline void RefreshSliders(int c) {
    Position.pieces[c][BishopsQueens] = Position.pieces[c][Bishop] | Position.pieces[c][Queen];
    Position.pieces[c][RooksQueens] = Position.pieces[c][Rook] | Position.pieces[c][Queen];
}

// King and rook leave their squares, then take the others: in Fischer-random chess
// a king may stay where it is, or king and rook exchange squares. Make moves them
// from their start to their destinations, unmake back.
void PlaceCastlingPair(int side, Square kingFrom, Square kingTo, Square rookFrom, Square rookTo) {
    Position.board[kingFrom] = Position.board[rookFrom] = Empty;
    Position.board[kingTo] = King;
    Position.board[rookTo] = Rook;
    Position.pieces[side][King] ^= SetMask[kingFrom] ^ SetMask[kingTo];
    Position.pieces[side][Rook] ^= SetMask[rookFrom] ^ SetMask[rookTo];
    Position.pieces[side][AllPieces] = (Position.pieces[side][AllPieces] & ClearMask[kingFrom] & ClearMask[rookFrom])
                                     | SetMask[kingTo] | SetMask[rookTo];
    Position.kingSquare[side] = kingTo;
}

// The rights a rook keeps when it leaves (or is taken on) square s
inline int RightsKeptByRook(int side, Square s) {
    const CastlingRules& rules = Position.castlingRules;
    return s == rules.rookFrom[side][0] ? 2 : s == rules.rookFrom[side][1] ? 1 : 3;
}

void MakePawnStep(Move m, StateRecord& next, uint64_t& key1, uint64_t& key2) {
    const int us = Position.sideToMove, them = us ^ 1;
    const Square from = MoveFrom(m), to = MoveTo(m);
    const int promotion = MovePromotion(m);
    Position.pieces[us][Pawn] ^= SetMask[from];
    if (promotion) {
        Position.board[to] = promotion;
        Position.pieces[us][promotion] ^= SetMask[to];
        Position.material[us] += PieceValue[promotion];
        Position.phase -= PhaseWeight[promotion];
        XorKeys(key1, key2, us, promotion, to);
    } else {
        Position.board[to] = Pawn;
        Position.pieces[us][Pawn] ^= SetMask[to];
        XorKeys(key1, key2, us, Pawn, to);
    }
    if (Square taken = MoveEpPawn(m)) {
        Position.board[taken] = Empty;
        Position.pieces[them][Pawn] ^= SetMask[taken];
        Position.pieces[them][AllPieces] ^= SetMask[taken];
        XorKeys(key1, key2, them, Pawn, taken);
    }
    if (to - from == 16 || from - to == 16) {
        // set after every double push, whether or not a pawn can take
        next.epSquare = us == White ? from + 8 : from - 8;
        key1 ^= Zobrist1.ep[next.epSquare];
        key2 ^= Zobrist2.ep[next.epSquare];
    }
}

void MakeKingStep(Move m, const StateRecord& previous, StateRecord& next) {
    const int us = Position.sideToMove, them = us ^ 1;
    next.castling[us] = 0;
    next.castling[them] = previous.castling[them];
    Position.kingSquare[us] = MoveTo(m);
}

// The king's key left with step 3; the move's to-square is the rook's in Fischer-random
// chess. Out of line, so that the make of every other move stays compact.
[[gnu::noinline]] void MakeCastling(Move m, const StateRecord& previous, StateRecord& next, uint64_t& key1, uint64_t& key2) {
    const int us = Position.sideToMove, them = us ^ 1, kind = MoveCastling(m) - 1;
    const Square kingTo = CastleKingTo[us][kind];
    const Square rookFrom = Position.castlingRules.rookFrom[us][kind], rookTo = CastleRookTo[us][kind];
    next.castling[us] = 0;
    next.castling[them] = previous.castling[them];
    PlaceCastlingPair(us, MoveFrom(m), kingTo, rookFrom, rookTo);
    XorKeys(key1, key2, us, King, kingTo);
    XorKeys(key1, key2, us, Rook, rookFrom);
    XorKeys(key1, key2, us, Rook, rookTo);
}

// Only the mover's own rook leaving its starting square costs a right
void MakeRookStep(Move m, const StateRecord& previous, StateRecord& next) {
    const int us = Position.sideToMove, them = us ^ 1;
    next.castling[us] = previous.castling[us] & RightsKeptByRook(us, MoveFrom(m));
    next.castling[them] = previous.castling[them];
}

}  // namespace

void MakeMove(Move m) {
    const int us = Position.sideToMove, them = us ^ 1;
    const Square from = MoveFrom(m), to = MoveTo(m);
    const int piece = MovePiece(m), captured = MoveCaptured(m);
    const Bitboard fromTo = SetMask[from] | SetMask[to];

    // Step 1-2. Push a new state
    const StateRecord& previous = CurrentState();
    uint64_t key1 = previous.key1, key2 = previous.key2;
    StateRecord& next = Position.states[++Position.stateIndex];
    next.move = m;
    next.inCheck = MoveGivesCheck(m);
    next.halfmoveClock = IsReversible(m) ? previous.halfmoveClock + 1 : 0;

    // Step 3-4. Lift the mover; the old en-passant right lapses
    XorKeys(key1, key2, us, piece, from);
    next.epSquare = 0;
    if (previous.epSquare) {
        key1 ^= Zobrist1.ep[previous.epSquare];
        key2 ^= Zobrist2.ep[previous.epSquare];
    }

    // Steps 5-6. The mover onto its square and off the one it left; a castling moves king and rook at once
    if (piece == Pawn) {
        MakePawnStep(m, next, key1, key2);
        next.castling[White] = previous.castling[White];
        next.castling[Black] = previous.castling[Black];
        Position.pieces[us][AllPieces] ^= fromTo;
        Position.board[from] = Empty;
    } else if (MoveCastling(m)) {
        MakeCastling(m, previous, next, key1, key2);
    } else {
        Position.board[to] = piece;
        Position.pieces[us][piece] ^= fromTo;
        if (piece == King)
            MakeKingStep(m, previous, next);
        else if (piece == Rook)
            MakeRookStep(m, previous, next);
        else {
            next.castling[White] = previous.castling[White];
            next.castling[Black] = previous.castling[Black];
        }
        XorKeys(key1, key2, us, piece, to);
        Position.pieces[us][AllPieces] ^= fromTo;
        Position.board[from] = Empty;
    }

    // Step 7. Remove the captured piece (en passant was handled with the pawn)
    if (captured && !MoveEpPawn(m)) {
        Position.pieces[them][captured] ^= SetMask[to];
        Position.pieces[them][AllPieces] ^= SetMask[to];
        if (captured != Pawn) {
            Position.material[them] -= PieceValue[captured];
            Position.phase += PhaseWeight[captured];
        }
        XorKeys(key1, key2, them, captured, to);
        RefreshSliders(them);
    }

    for (int c = White; c <= Black; ++c)
        next.usableCastling[c] = previous.usableCastling[c] & next.castling[c];
    if (captured == Rook)
        next.usableCastling[them] &= RightsKeptByRook(them, to);
    const bool rightsChanged = (previous.usableCastling[White] ^ next.usableCastling[White])
                             | (previous.usableCastling[Black] ^ next.usableCastling[Black]);
    if (rightsChanged && Position.castlingRules.chess960) {
        key1 ^= RightsKey(Zobrist1, previous.usableCastling) ^ RightsKey(Zobrist1, next.usableCastling);
        key2 ^= RightsKey(Zobrist2, previous.usableCastling) ^ RightsKey(Zobrist2, next.usableCastling);
    }

    // Steps 8 to 10. Slider sets, occupancy, the side key, the side to move
    RefreshSliders(us);
    Position.occupied = Position.pieces[us][AllPieces] | Position.pieces[them][AllPieces];
    next.key1 = key1 ^ Zobrist1.side;
    next.key2 = key2 ^ Zobrist2.side;
    Position.sideToMove = them;
    ++Position.plyCounter;
}

namespace {

void FinishUnmake(int mover, int other) {
    RefreshSliders(mover);
    Position.occupied = Position.pieces[mover][AllPieces] | Position.pieces[other][AllPieces];
    Position.sideToMove = mover;
    --Position.plyCounter;
    --Position.stateIndex;
}

}  // namespace

void UnmakeMove() {
    const Move m = CurrentState().move;
    const int mover = Position.sideToMove ^ 1, other = Position.sideToMove;
    const Square from = MoveFrom(m), to = MoveTo(m);
    const int piece = MovePiece(m), captured = MoveCaptured(m);
    const Bitboard fromTo = SetMask[from] | SetMask[to];

    if (piece == Pawn) {
        CurrentState().epSquare = 0;  // keeps the slot clean for the next make at this index
        Position.pieces[mover][Pawn] ^= SetMask[from];
        if (int promotion = MovePromotion(m)) {
            Position.pieces[mover][promotion] ^= SetMask[to];
            Position.material[mover] -= PieceValue[promotion];
            Position.phase += PhaseWeight[promotion];
        } else
            Position.pieces[mover][Pawn] ^= SetMask[to];
        if (Square taken = MoveEpPawn(m)) {
            Position.board[taken] = Pawn;
            Position.pieces[other][Pawn] ^= SetMask[taken];
            Position.pieces[other][AllPieces] ^= SetMask[taken];
        }
    } else if (const int kind = MoveCastling(m)) {
        const Square rookFrom = Position.castlingRules.rookFrom[mover][kind - 1];
        PlaceCastlingPair(mover, CastleKingTo[mover][kind - 1], from, CastleRookTo[mover][kind - 1], rookFrom);
        FinishUnmake(mover, other);
        return;
    } else {
        Position.pieces[mover][piece] ^= fromTo;
        if (piece == King)
            Position.kingSquare[mover] = from;
    }
    Position.pieces[mover][AllPieces] ^= fromTo;
    Position.board[from] = piece;

    if (captured && !MoveEpPawn(m)) {
        Position.board[to] = captured;
        Position.pieces[other][captured] ^= SetMask[to];
        Position.pieces[other][AllPieces] ^= SetMask[to];
        if (captured != Pawn) {
            Position.material[other] += PieceValue[captured];
            Position.phase -= PhaseWeight[captured];
        }
        RefreshSliders(other);
    } else
        Position.board[to] = Empty;
    FinishUnmake(mover, other);
}

uint64_t Key1After(Move m) {
    const int us = Position.sideToMove, them = us ^ 1;
    const Square from = MoveFrom(m), to = MoveTo(m);
    const int piece = MovePiece(m), captured = MoveCaptured(m), promotion = MovePromotion(m);
    const StateRecord& state = CurrentState();
    uint64_t key = state.key1 ^ Zobrist1.side ^ Zobrist1.piece[us][piece][from];
    key ^= Zobrist1.piece[us][promotion ? promotion : piece][to];
    if (state.epSquare)
        key ^= Zobrist1.ep[state.epSquare];
    if (Square taken = MoveEpPawn(m))
        key ^= Zobrist1.piece[them][Pawn][taken];
    else if (captured)
        key ^= Zobrist1.piece[them][captured][to];
    if (piece == Pawn && (to - from == 16 || from - to == 16))
        key ^= Zobrist1.ep[us == White ? from + 8 : from - 8];
    if (const int kind = MoveCastling(m)) {
        const CastlingRules& rules = Position.castlingRules;
        key ^= Zobrist1.piece[us][Rook][rules.rookFrom[us][kind - 1]] ^ Zobrist1.piece[us][Rook][CastleRookTo[us][kind - 1]];
        // a Fischer-random castling's to-square is the rook's: the king lands on its destination
        if (rules.chess960)
            key ^= Zobrist1.piece[us][King][to] ^ Zobrist1.piece[us][King][CastleKingTo[us][kind - 1]];
    }
    if (Position.castlingRules.chess960) {
        uint8_t usable[2] = {state.usableCastling[White], state.usableCastling[Black]};
        if (piece == King)
            usable[us] = 0;
        else if (piece == Rook)
            usable[us] &= RightsKeptByRook(us, from);
        if (captured == Rook)
            usable[them] &= RightsKeptByRook(them, to);
        key ^= RightsKey(Zobrist1, state.usableCastling) ^ RightsKey(Zobrist1, usable);
    }
    return key;
}

void MakeNullMove() {
    const StateRecord& previous = CurrentState();
    StateRecord& next = Position.states[++Position.stateIndex];
    uint64_t key1 = previous.key1 ^ Zobrist1.side, key2 = previous.key2 ^ Zobrist2.side;
    next.move = 0;
    next.halfmoveClock = 0;
    Position.sideToMove ^= 1;
    if (previous.epSquare) {
        key1 ^= Zobrist1.ep[previous.epSquare];
        key2 ^= Zobrist2.ep[previous.epSquare];
    }
    next.key1 = key1;
    next.key2 = key2;
    next.epSquare = 0;
    next.inCheck = 0;
    next.castling[White] = previous.castling[White];
    next.castling[Black] = previous.castling[Black];
    next.usableCastling[White] = previous.usableCastling[White];
    next.usableCastling[Black] = previous.usableCastling[Black];
    ++Position.plyCounter;
}

void UnmakeNullMove() {
    Position.sideToMove ^= 1;
    --Position.plyCounter;
    --Position.stateIndex;
}
