#include "Makemove.h"

#include "Init.h"
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

// The castling rook goes from its corner to its square (make) or back (unmake)
void MoveCastlingRook(int side, int kind, bool outward) {
    const Square corner = CastleRookFrom[side][kind - 1], inside = CastleRookTo[side][kind - 1];
    Position.board[outward ? corner : inside] = Empty;
    Position.board[outward ? inside : corner] = Rook;
    Position.pieces[side][Rook] ^= SetMask[corner] | SetMask[inside];
    Position.pieces[side][AllPieces] ^= SetMask[corner] | SetMask[inside];
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

void MakeKingStep(Move m, const StateRecord& previous, StateRecord& next, uint64_t& key1, uint64_t& key2) {
    const int us = Position.sideToMove, them = us ^ 1;
    next.castling[us] = 0;
    next.castling[them] = previous.castling[them];
    Position.kingSquare[us] = MoveTo(m);
    if (int kind = MoveCastling(m)) {
        MoveCastlingRook(us, kind, true);
        XorKeys(key1, key2, us, Rook, CastleRookFrom[us][kind - 1]);
        XorKeys(key1, key2, us, Rook, CastleRookTo[us][kind - 1]);
    }
}

// Only the mover's own rook leaving its corner costs a right
void MakeRookStep(Move m, const StateRecord& previous, StateRecord& next) {
    const int us = Position.sideToMove, them = us ^ 1;
    next.castling[us] = previous.castling[us];
    if (MoveFrom(m) == CastleRookFrom[us][0])
        next.castling[us] &= 2;
    else if (MoveFrom(m) == CastleRookFrom[us][1])
        next.castling[us] &= 1;
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

    // Step 5. Put the mover down
    if (piece == Pawn) {
        MakePawnStep(m, next, key1, key2);
        next.castling[White] = previous.castling[White];
        next.castling[Black] = previous.castling[Black];
    } else {
        Position.board[to] = piece;
        Position.pieces[us][piece] ^= fromTo;
        if (piece == King)
            MakeKingStep(m, previous, next, key1, key2);
        else if (piece == Rook)
            MakeRookStep(m, previous, next);
        else {
            next.castling[White] = previous.castling[White];
            next.castling[Black] = previous.castling[Black];
        }
        XorKeys(key1, key2, us, piece, to);
    }

    // Step 6. The mover's own set and the square it left
    Position.pieces[us][AllPieces] ^= fromTo;
    Position.board[from] = Empty;

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
    if (captured == Rook) {
        if (to == CastleRookFrom[them][0])
            next.usableCastling[them] &= 2;
        else if (to == CastleRookFrom[them][1])
            next.usableCastling[them] &= 1;
    }

    // Steps 8 to 10. Slider sets, occupancy, the side key, the side to move
    RefreshSliders(us);
    Position.occupied = Position.pieces[us][AllPieces] | Position.pieces[them][AllPieces];
    next.key1 = key1 ^ Zobrist1.side;
    next.key2 = key2 ^ Zobrist2.side;
    Position.sideToMove = them;
    ++Position.plyCounter;
}

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
    } else {
        Position.pieces[mover][piece] ^= fromTo;
        if (piece == King) {
            Position.kingSquare[mover] = from;
            if (int kind = MoveCastling(m))
                MoveCastlingRook(mover, kind, false);
        }
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

    RefreshSliders(mover);
    Position.occupied = Position.pieces[mover][AllPieces] | Position.pieces[other][AllPieces];
    Position.sideToMove = mover;
    --Position.plyCounter;
    --Position.stateIndex;
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
    if (int kind = MoveCastling(m))
        key ^= Zobrist1.piece[us][Rook][CastleRookFrom[us][kind - 1]] ^ Zobrist1.piece[us][Rook][CastleRookTo[us][kind - 1]];
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
