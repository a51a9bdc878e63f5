#include "MoveOrder.h"

#include <algorithm>

#include "Bitboard.h"
#include "Magic.h"
#include "Tables.h"
#include "Thread.h"

int StaticExchange(Move m, int side) {
    const int from = MoveFrom(m), to = MoveTo(m);
    const int moving = MovePiece(m), captured = MoveCaptured(m), promotion = MovePromotion(m);
    const int epPawn = MoveEpPawn(m);
    const auto& pieces = Position.pieces;
    int32_t* swapList = ThisThread.SwapList;

    Bitboard occupancy = Position.occupied;
    if (epPawn != 0)
        occupancy &= ClearMask[epPawn];
    const Bitboard diagonal = pieces[White][BishopsQueens] | pieces[Black][BishopsQueens];
    const Bitboard straight = pieces[White][RooksQueens] | pieces[Black][RooksQueens];

    // sliders off the square's lines are not looked up
    Bitboard attackers = (PawnAttacks[White][to] & pieces[Black][Pawn])
                       | (PawnAttacks[Black][to] & pieces[White][Pawn])
                       | (KnightAttacks[to] & (pieces[White][Knight] | pieces[Black][Knight]))
                       | (KingAttacks[to] & (pieces[White][King] | pieces[Black][King]));
    if (BishopRays[to] & diagonal)
        attackers |= BishopAttacks(to, occupancy) & diagonal;
    if (RookRays[to] & straight)
        attackers |= RookAttacks(to, occupancy) & straight;

    int gain = captured != 0 ? PieceValue[captured] : 0;
    if (promotion != 0)
        gain += PieceValue[promotion] - PieceValue[Pawn];
    swapList[0] = gain;
    int n = 1;

    side ^= 1;
    int onSquare = promotion != 0 ? PieceValue[promotion] : PieceValue[moving];

    // A piece that leaves the square's lines may uncover a slider behind it; only the
    // kind of line it stood on can change
    auto uncoverXrays = [&](Square left) {
        if (BishopRays[to] & SetMask[left])
            attackers |= BishopAttacks(to, occupancy) & occupancy & diagonal;
        else if (RookRays[to] & SetMask[left])
            attackers |= RookAttacks(to, occupancy) & occupancy & straight;
    };
    attackers &= ClearMask[from];
    occupancy &= ClearMask[from];
    uncoverXrays(from);

    while (attackers) {
        const Bitboard own = attackers & pieces[side][AllPieces];
        if (!own)
            break;
        int type = Pawn;
        while (!(own & pieces[side][type]))
            ++type;
        const int square = LowestSquare(own & pieces[side][type]);

        // A pawn capturing onto the last rank becomes a queen
        int bonus = 0;
        if (type == Pawn && RankOf(square) == (side == White ? 6 : 1)) {
            bonus = PieceValue[Queen] - PieceValue[Pawn];
            type = Queen;
        }
        swapList[n] = bonus + onSquare - swapList[n - 1];
        ++n;
        if (onSquare == PieceValue[King])
            break;
        onSquare = PieceValue[type];

        attackers &= ClearMask[square];
        occupancy &= ClearMask[square];
        uncoverXrays(square);
        side ^= 1;
    }

    for (int k = n - 1; k >= 1; --k)
        if (swapList[k] > -swapList[k - 1])
            swapList[k - 1] = -swapList[k];
    return swapList[0];
}

namespace {

// Ordering scores; everything at or below LateMoveScore is searched late
constexpr int HashMoveScore = 2000;
constexpr int QuietCheckScore = -150;
constexpr int NewerKillerScore = 4;
constexpr int OlderKillerScore = 3;
constexpr int QuiescenceCheckScore = -1500;
constexpr int RootHashMoveBonus = 100000000;

// One loop for both searches: the table's move first, captures and promotions by
// their exchange gain, the other moves as the search wants them
template <typename ExchangeScore, typename QuietScore>
void ScoreEachMove(MoveList& list, Move hashMove, ExchangeScore exchangeScore, QuietScore quietScore) {
    const int side = Position.sideToMove;
    for (int i = 1; i <= list.count; ++i) {
        const Move m = list.moves[i];
        if (m == hashMove)
            list.scores[i] = HashMoveScore;
        else if (MoveCaptured(m) != 0 || MovePromotion(m) != 0)
            list.scores[i] = exchangeScore(StaticExchange(m, side));
        else
            list.scores[i] = quietScore(m);
    }
}

}  // namespace

void ScoreMoves(Move hashMove, int ply, MoveList& list) {
    const int side = Position.sideToMove;
    ScoreEachMove(
        list, hashMove, [](int gain) { return gain >= 0 ? gain : gain + LosingMove; },
        [&](Move m) {
            if (MoveGivesCheck(m))
                return QuietCheckScore;
            if (m == ThisThread.KillerMoves[ply][0])
                return NewerKillerScore;
            if (m == ThisThread.KillerMoves[ply][1])
                return OlderKillerScore;
            return ThisThread.HistoryTable[MovePiece(m) | side << 3][MoveTo(m)] + LosingMove;
        });
}

// Captures that lose more than a pawn, and quiet moves other than checks, are not searched
void ScoreQuiescenceMoves(MoveList& list, Move tableMove) {
    ScoreEachMove(
        list, tableMove, [](int gain) { return gain > -PieceValue[Pawn] ? gain : LosingMove; },
        [](Move m) { return MoveGivesCheck(m) ? QuiescenceCheckScore : LosingMove; });
}


void ScoreRootMoves(Move hashMove, MoveList& list) {
    for (int i = 1; i <= list.count; ++i) {
        int score = int(uint32_t(ThisThread.RootNodes[i]) >> 5);
        if (list.moves[i] == hashMove)
            score += RootHashMoveBonus;
        list.scores[i] = score;
    }
}
