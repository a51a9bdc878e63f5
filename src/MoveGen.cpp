#include "MoveGen.h"

#include "Bitboard.h"
#include "Magic.h"
#include "Tables.h"
#include "Thread.h"

// ---------------------------------------------------------------------------
// Attack and check detection

bool KingAttacked(int c) {
    const Square k = Position.kingSquare[c];
    const int e = c ^ 1;
    return (PawnAttacks[c][k] & Position.pieces[e][Pawn])
        || (KnightAttacks[k] & Position.pieces[e][Knight])
        || (BishopAttacks(k, Position.occupied) & Position.pieces[e][BishopsQueens])
        || (RookAttacks(k, Position.occupied) & Position.pieces[e][RooksQueens]);
}

// The squares of zone that colour c attacks. The defending king is lifted off the
// board so that it cannot step back along a checking line; pieces that cannot
// reach the zone are not looked at.
Bitboard AttackedSquares(int c, Bitboard zone) {
    const int o = c ^ 1;
    const Bitboard occupancy = Position.occupied & ClearMask[Position.kingSquare[o]];
    const Bitboard pawns = Position.pieces[c][Pawn];
    Bitboard attacked = PawnCapturesLeft(c, pawns) | PawnCapturesRight(c, pawns) | KingAttacks[Position.kingSquare[c]];
    for (Bitboard b = Position.pieces[c][Knight]; b;)
        attacked |= KnightAttacks[PopLowest(b)];
    for (Bitboard b = Position.pieces[c][BishopsQueens]; b;)
        if (const Square s = PopLowest(b); BishopRays[s] & zone)
            attacked |= BishopAttacks(s, occupancy);
    for (Bitboard b = Position.pieces[c][RooksQueens]; b;)
        if (const Square s = PopLowest(b); RookRays[s] & zone)
            attacked |= RookAttacks(s, occupancy);
    return attacked & zone;
}

// Pieces of colour p that alone stand between the king of k and an enemy slider
Bitboard PinnedPieces(int kingColour, int pieceColour) {
    const Square king = Position.kingSquare[kingColour];
    const int enemy = kingColour ^ 1;
    Bitboard snipers = (BishopRays[king] & Position.pieces[enemy][BishopsQueens])
                     | (RookRays[king] & Position.pieces[enemy][RooksQueens]);
    Bitboard result = 0;
    while (snipers) {
        const Square sniper = PopLowest(snipers);
        const Bitboard between = Segment[king][sniper] & Position.occupied & ClearMask[king] & ClearMask[sniper];
        // exactly one man on the line, and one of ours
        if (between && !(between & (between - 1)))
            result |= between & Position.pieces[pieceColour][AllPieces];
    }
    return result;
}

Bitboard EvasionMask() {
    const int us = Position.sideToMove, e = us ^ 1;
    const Square king = Position.kingSquare[us];
    Bitboard mask = (PawnAttacks[us][king] & Position.pieces[e][Pawn]) | (KnightAttacks[king] & Position.pieces[e][Knight]);
    Bitboard sliders = (BishopAttacks(king, Position.occupied) & Position.pieces[e][BishopsQueens])
                     | (RookAttacks(king, Position.occupied) & Position.pieces[e][RooksQueens]);
    while (sliders)
        mask |= Segment[king][PopLowest(sliders)];
    return mask;
}

Bitboard Checkers() {
    const int us = Position.sideToMove, e = us ^ 1;
    const Square king = Position.kingSquare[us];
    return (PawnAttacks[us][king] & Position.pieces[e][Pawn]) | (KnightAttacks[king] & Position.pieces[e][Knight])
         | (BishopAttacks(king, Position.occupied) & Position.pieces[e][BishopsQueens])
         | (RookAttacks(king, Position.occupied) & Position.pieces[e][RooksQueens]);
}

void FillCheckContext(GenContext& context) {
    const int us = Position.sideToMove, e = us ^ 1;
    const Square enemyKing = Position.kingSquare[e];
    const Bitboard diagonals = BishopAttacks(enemyKing, Position.occupied);
    const Bitboard lines = RookAttacks(enemyKing, Position.occupied);
    context.checkSquares[Empty] = context.checkSquares[Pawn] = context.checkSquares[King] = 0;
    context.checkSquares[Knight] = KnightAttacks[enemyKing];
    context.checkSquares[Bishop] = diagonals;
    context.checkSquares[Rook] = lines;
    context.checkSquares[Queen] = diagonals | lines;
    context.pinned = PinnedPieces(us, us);
    context.discoverers = PinnedPieces(e, us);
}

// Once king and rook stand on their destinations, the rook checks along a line, or a
// rook or queen on the first rank behind the square one of them left does. No
// diagonal runs on through a first-rank square, so none is uncovered. Out of line:
// castlings are rare, and the pawn moves' check test stays compact without it.
[[gnu::noinline]] static bool CastlingGivesCheck(int kind, Square kingFrom) {
    const int us = Position.sideToMove;
    const Square rookFrom = Position.castlingRules.rookFrom[us][kind], rookTo = CastleRookTo[us][kind];
    const Bitboard occupancy = (Position.occupied & ClearMask[kingFrom] & ClearMask[rookFrom])
                             | SetMask[CastleKingTo[us][kind]] | SetMask[rookTo];
    const Bitboard straight = (Position.pieces[us][RooksQueens] & ClearMask[rookFrom]) | SetMask[rookTo];
    return RookAttacks(Position.kingSquare[us ^ 1], occupancy) & straight;
}

bool GivesCheck(Move m, const GenContext& context) {
    const int us = Position.sideToMove;
    const Square enemyKing = Position.kingSquare[us ^ 1];
    const Square from = MoveFrom(m), to = MoveTo(m);
    const Bitboard king = SetMask[enemyKing];
    const bool discovers = context.discoverers & SetMask[from];
    // a pawn or king may stay on the line it screened
    const bool leavesLine = discovers && !(RayThrough[enemyKing][from] & SetMask[to]);

    switch (MovePiece(m)) {
    case Pawn: {
        const int promotion = MovePromotion(m);
        if (!promotion && (PawnAttacks[us][to] & king))
            return true;
        if (leavesLine)
            return true;
        if (Square taken = MoveEpPawn(m)) {
            Bitboard occupancy = (Position.occupied & ClearMask[taken] & ClearMask[from]) | SetMask[to];
            if ((BishopAttacks(enemyKing, occupancy) & Position.pieces[us][BishopsQueens])
                || (RookAttacks(enemyKing, occupancy) & Position.pieces[us][RooksQueens]))
                return true;
        }
        if (promotion) {
            Bitboard occupancy = Position.occupied & ClearMask[from];
            switch (promotion) {
            case Knight: return KnightAttacks[to] & king;
            case Bishop: return BishopAttacks(to, occupancy) & king;
            case Rook: return RookAttacks(to, occupancy) & king;
            default: return QueenAttacks(to, occupancy) & king;
            }
        }
        return false;
    }
    case Knight:
    case Bishop:
    case Rook:
    case Queen:
        // A knight, bishop or rook that screens a line always leaves it; a queen never
        // screens one: first on a line from the king, it would attack it already
        return (context.checkSquares[MovePiece(m)] & SetMask[to]) || discovers;
    case King:
        if (int kind = MoveCastling(m))
            return CastlingGivesCheck(kind - 1, from);
        return leavesLine;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Legal move generation

namespace {

constexpr int BackwardStep[2] = {-1, 1};
constexpr Bitboard DoublePushRank[2] = {RankMask[3], RankMask[4]};
constexpr Bitboard PromotionFromRank[2] = {RankMask[6], RankMask[1]};
constexpr int CaptureOffsetLeft[2] = {-7, 9};
constexpr int CaptureOffsetRight[2] = {-9, 7};

// Counting only (the last ply of perft) needs neither the word nor its check bit
template <bool Count>
void PackMove(GenContext& context, MoveList& list) {
    if constexpr (Count) {
        ++list.count;
        return;
    }
    const int captured = context.epPawnSquare ? Pawn : Position.board[context.to];
    Move m = PackMoveWord(context.from, context.to, Position.board[context.from], captured, context.promotion,
                          context.epPawnSquare, 0, context.rights);
    if (GivesCheck(m, context))
        m |= CheckBit;
    list.moves[++list.count] = m;
}

// A knight, slider or king to each destination: which of them give check is known
// for all of them at once, the same answer GivesCheck gives move by move
template <bool Count>
void AddMovesTo(GenContext& context, MoveList& list, Bitboard destinations) {
    if constexpr (Count) {
        list.count += PopCount(destinations);
        return;
    }
    const Square from = context.from;
    const int piece = Position.board[from];
    Bitboard checking = destinations & context.checkSquares[piece];
    if (context.discoverers & SetMask[from])
        checking |= destinations & ~RayThrough[Position.kingSquare[Position.sideToMove ^ 1]][from];
    const Move base = PackMoveWord(from, 0, piece, 0, 0, 0, 0, context.rights);
    while (destinations) {
        const Square to = PopLowest(destinations);
        Move m = base | Move(to) << 6 | Move(Position.board[to]) << 15;
        if (checking & SetMask[to])
            m |= CheckBit;
        list.moves[++list.count] = m;
    }
}

inline bool LeavesPinLine(const GenContext& context) {
    return (context.pinned & SetMask[context.from])
        && !(RayThrough[Position.kingSquare[Position.sideToMove]][context.from] & SetMask[context.to]);
}

template <bool Count>
void AddWithPromotions(GenContext& context, MoveList& list) {
    if (PromotionFromRank[Position.sideToMove] & SetMask[context.from]) {
        if constexpr (Count) {
            list.count += 4;
            return;
        }
        for (int promotion : {Queen, Rook, Bishop, Knight}) {
            context.promotion = promotion;
            PackMove<Count>(context, list);
        }
        context.promotion = 0;
    } else
        PackMove<Count>(context, list);
}

template <bool Count>
void AddPawnMove(GenContext& context, MoveList& list) {
    if (LeavesPinLine(context))
        return;
    AddWithPromotions<Count>(context, list);
}

template <bool Count>
void AddPawnCapture(GenContext& context, MoveList& list) {
    if (LeavesPinLine(context))
        return;
    const int us = Position.sideToMove;
    const Square epSquare = CurrentState().epSquare;
    if (epSquare && context.to == epSquare) {
        context.epPawnSquare = context.to + 8 * BackwardStep[us];
        // both pawns leave the rank at once: that may open it to the king
        const Square king = Position.kingSquare[us];
        if (RankOf(context.from) == RankOf(king)) {
            Bitboard occupancy = Position.occupied & ClearMask[context.epPawnSquare] & ClearMask[context.from];
            if (RookAttacks(king, occupancy) & Position.pieces[us ^ 1][RooksQueens]) {
                context.epPawnSquare = 0;
                return;
            }
        }
    } else
        context.epPawnSquare = 0;
    AddWithPromotions<Count>(context, list);
    context.epPawnSquare = 0;
}

void ResetMoveFields(GenContext& context) {
    context.promotion = 0;
    context.epPawnSquare = 0;
}

// A Fischer-random castling rook may stand between the king's destination and an
// enemy rook or queen on the first rank (king c1, rook b1, queen a1): once it has
// gone, the king would be in check there
bool RookShieldsDestination(int kind, Square rookFrom) {
    const int us = Position.sideToMove;
    const Bitboard occupancy = Position.occupied & ClearMask[rookFrom] & ClearMask[Position.kingSquare[us]];
    return RookAttacks(CastleKingTo[us][kind], occupancy) & Position.pieces[us ^ 1][RooksQueens];
}

// The king goes to g1 or c1 (g8, c8) and the rook beside it, from wherever they
// started. The move is written as the king's step in standard chess, as the king
// taking its own rook in Fischer-random chess.
template <bool Count>
void GenCastling(GenContext& context, MoveList& list, Bitboard attacked) {
    const int us = Position.sideToMove;
    const int usable = CurrentState().usableCastling[us];
    const CastlingRules& rules = Position.castlingRules;
    for (int kind = 0; kind < 2; ++kind) {
        if (!(usable & (1 << kind)))
            continue;
        const Square rookFrom = rules.rookFrom[us][kind];
        if ((Position.occupied & rules.mustBeEmpty[us][kind]) || (attacked & rules.kingPath[us][kind])
            || !(Position.pieces[us][Rook] & SetMask[rookFrom])
            || (rules.chess960 && RookShieldsDestination(kind, rookFrom)))
            continue;
        if constexpr (Count) {
            ++list.count;
            continue;
        }
        const Square to = rules.chess960 ? rookFrom : CastleKingTo[us][kind];
        Move m = PackMoveWord(context.from, to, King, 0, 0, 0, kind + 1, context.rights);
        if (CastlingGivesCheck(kind, context.from))
            m |= CheckBit;
        list.moves[++list.count] = m;
    }
}

// The squares that must be safe for a castling whose right is usable and whose path is empty
Bitboard CastlingSquaresToCheck(const GenContext& context) {
    const int us = Position.sideToMove;
    const int usable = context.rights ? CurrentState().usableCastling[us] : 0;
    const CastlingRules& rules = Position.castlingRules;
    Bitboard squares = 0;
    for (int kind = 0; kind < 2; ++kind)
        if ((usable & (1 << kind)) && !(Position.occupied & rules.mustBeEmpty[us][kind]))
            squares |= SetMask[context.from] | rules.kingPath[us][kind];
    return squares;
}

template <bool Count>
void GenKingMoves(GenContext& context, MoveList& list) {
    ResetMoveFields(context);
    const int us = Position.sideToMove;
    context.from = Position.kingSquare[us];
    const Bitboard steps = KingAttacks[context.from] & context.targets;
    const Bitboard castlingSquares = CastlingSquaresToCheck(context);
    if (!(steps | castlingSquares))
        return;
    const Bitboard attacked = AttackedSquares(us ^ 1, steps | castlingSquares);
    AddMovesTo<Count>(context, list, steps & ~attacked);
    if (castlingSquares && !(attacked & SetMask[context.from]))
        GenCastling<Count>(context, list, attacked);
}

// Counting only: the moves of pawns off every pin line that reach destinations,
// four for each on the last rank
int CountPawnMoves(Bitboard destinations) {
    const Bitboard lastRank = RankMask[Position.sideToMove == White ? 7 : 0];
    return PopCount(destinations & ~lastRank) + 4 * PopCount(destinations & lastRank);
}

template <bool Count>
void GenPawnPushes(GenContext& context, MoveList& list) {
    ResetMoveFields(context);
    const int us = Position.sideToMove;
    Bitboard pawns = Position.pieces[us][Pawn];
    if constexpr (Count) {
        // Pawns off the pin lines are counted at once
        const Bitboard single = ShiftForward(us, pawns & ~context.pinned) & ~Position.occupied;
        const Bitboard twice = ShiftForward(us, single) & ~Position.occupied & DoublePushRank[us];
        list.count += CountPawnMoves(single & context.targets) + PopCount(twice & context.targets);
        pawns &= context.pinned;
    }
    Bitboard single = ShiftForward(us, pawns) & ~Position.occupied;
    // from the unmasked single pushes: a double push may block a check the single cannot
    Bitboard twice = ShiftForward(us, single) & ~Position.occupied & DoublePushRank[us] & context.targets;
    single &= context.targets;
    while (single) {
        context.to = PopLowest(single);
        context.from = context.to + 8 * BackwardStep[us];
        AddPawnMove<Count>(context, list);
    }
    while (twice) {
        context.to = PopLowest(twice);
        context.from = context.to + 16 * BackwardStep[us];
        AddPawnMove<Count>(context, list);
    }
}

template <bool Count>
void GenPawnCaptures(GenContext& context, MoveList& list) {
    ResetMoveFields(context);
    const int us = Position.sideToMove;
    const Bitboard pawns = Position.pieces[us][Pawn];
    Bitboard capturable = Position.pieces[us ^ 1][AllPieces] & context.targets;
    const Square epSquare = CurrentState().epSquare;
    // in check, en passant is allowed exactly when the double-pushed pawn is the checker
    const bool enPassant = epSquare && (capturable & SetMask[epSquare + 8 * BackwardStep[us]]);
    // Captures towards the a-file first, then towards the h-file
    auto captureFrom = [&](Bitboard destinations, int offset) {
        while (destinations) {
            context.to = PopLowest(destinations);
            context.from = context.to + offset;
            AddPawnCapture<Count>(context, list);
        }
    };
    auto captures = [&](Bitboard capturers, Bitboard targets) {
        captureFrom(PawnCapturesLeft(us, capturers) & targets, CaptureOffsetLeft[us]);
        captureFrom(PawnCapturesRight(us, capturers) & targets, CaptureOffsetRight[us]);
    };
    if constexpr (Count) {
        // Pawns off the pin lines are counted at once, but for en passant, which may open the king's rank
        const Bitboard free = pawns & ~context.pinned;
        list.count += CountPawnMoves(PawnCapturesLeft(us, free) & capturable)
                    + CountPawnMoves(PawnCapturesRight(us, free) & capturable);
        if (enPassant)
            captures(free, SetMask[epSquare]);
        captures(pawns & context.pinned, capturable | (enPassant ? SetMask[epSquare] : 0));
    } else
        captures(pawns, capturable | (enPassant ? SetMask[epSquare] : 0));
}

template <bool Count>
void GenKnightMoves(GenContext& context, MoveList& list) {
    ResetMoveFields(context);
    const int us = Position.sideToMove;
    const Bitboard own = Position.pieces[us][AllPieces];
    // a pinned knight never moves
    for (Bitboard b = Position.pieces[us][Knight] & ~context.pinned; b;) {
        context.from = PopLowest(b);
        AddMovesTo<Count>(context, list, KnightAttacks[context.from] & context.targets & ~own);
    }
}

template <bool Count, Bitboard (*Attacks)(Square, Bitboard)>
void GenSliderMoves(GenContext& context, MoveList& list, Bitboard sliders) {
    ResetMoveFields(context);
    const int us = Position.sideToMove;
    const Bitboard own = Position.pieces[us][AllPieces];
    const Square king = Position.kingSquare[us];
    while (sliders) {
        context.from = PopLowest(sliders);
        Bitboard destinations = Attacks(context.from, Position.occupied) & ~own & context.targets;
        if (context.pinned & SetMask[context.from])
            destinations &= RayThrough[king][context.from];
        AddMovesTo<Count>(context, list, destinations);
    }
}

template <bool Count>
void GenDiagonalMoves(GenContext& context, MoveList& list) {
    GenSliderMoves<Count, BishopAttacks>(context, list, Position.pieces[Position.sideToMove][BishopsQueens]);
}

template <bool Count>
void GenStraightMoves(GenContext& context, MoveList& list) {
    GenSliderMoves<Count, RookAttacks>(context, list, Position.pieces[Position.sideToMove][RooksQueens]);
}

void GenKingCaptures(GenContext& context, MoveList& list) {
    ResetMoveFields(context);
    context.from = Position.kingSquare[Position.sideToMove];
    const Bitboard steps = KingAttacks[context.from] & context.targets;
    if (steps)
        AddMovesTo<false>(context, list, steps & ~AttackedSquares(Position.sideToMove ^ 1, steps));
}

template <bool Count>
void GenPieceMoves(GenContext& context, MoveList& list) {
    GenPawnCaptures<Count>(context, list);
    GenKnightMoves<Count>(context, list);
    GenDiagonalMoves<Count>(context, list);
    GenStraightMoves<Count>(context, list);
}

}  // namespace

namespace {

template <bool Count>
void Generate(MoveList& list) {
    const int us = Position.sideToMove;
    GenContext context;
    list.count = 0;
    context.targets = ~Position.pieces[us][AllPieces];
    context.rights = CurrentState().castling[us];
    if constexpr (Count)
        context.pinned = PinnedPieces(us, us);
    else
        FillCheckContext(context);
    GenKingMoves<Count>(context, list);
    if (CurrentState().inCheck) {
        Bitboard mask = EvasionMask();
        if (PopCount(mask & Position.pieces[us ^ 1][AllPieces]) > 1)
            return;  // double check: only the king can move
        context.targets &= mask;
    }
    GenPawnPushes<Count>(context, list);
    GenPieceMoves<Count>(context, list);
}

}  // namespace

void GenerateLegal(MoveList& list) { Generate<false>(list); }

int CountLegalMoves() {
    MoveList counter;
    Generate<true>(counter);
    return counter.count;
}

void GenerateCaptures(MoveList& list) {
    const int us = Position.sideToMove;
    GenContext context;
    list.count = 0;
    context.targets = Position.pieces[us ^ 1][AllPieces];
    context.rights = CurrentState().castling[us];
    FillCheckContext(context);
    GenKingCaptures(context, list);
    GenPieceMoves<false>(context, list);
}
