// Tapered static evaluation: each term computes one side's middlegame and
// endgame pair, the driver takes White's minus Black's and blends the two
// sums by the game phase.
#include "Evaluation.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Bitboard.h"
#include "Console.h"
#include "Endgame.h"
#include "Magic.h"
#include "Pawns.h"
#include "Tables.h"
#include "Thread.h"


namespace {

constexpr Bitboard LightSquares = 0x55AA55AA55AA55AAULL;
constexpr Bitboard DarkSquares = ~LightSquares;

// ---------------------------------------------------------------------------
// ---------------------------------------------------------------------------
// Piece tables, by relative square, material included

constexpr SquareTable KnightMg = FromPrinted({
    624, 750, 778, 792, 792, 778, 750, 624,
    764, 792, 818, 830, 830, 818, 792, 764,
    806, 830, 858, 872, 872, 858, 830, 806,
    806, 830, 858, 872, 872, 858, 830, 806,
    792, 818, 844, 858, 858, 844, 818, 792,
    764, 792, 818, 830, 830, 818, 792, 764,
    724, 750, 778, 792, 792, 778, 750, 724,
    682, 710, 737, 750, 750, 737, 710, 682,
});

constexpr SquareTable KnightEg = FromPrinted({
    742, 767, 791, 804, 804, 791, 767, 742,
    767, 791, 816, 829, 829, 816, 791, 767,
    791, 816, 840, 851, 851, 840, 816, 791,
    804, 829, 851, 864, 864, 851, 829, 804,
    804, 829, 851, 864, 864, 851, 829, 804,
    791, 816, 840, 851, 851, 840, 816, 791,
    767, 791, 816, 829, 829, 816, 791, 767,
    742, 767, 791, 804, 804, 791, 767, 742,
});

constexpr SquareTable BishopMg = FromPrinted({
    819, 819, 823, 828, 828, 823, 819, 819,
    819, 836, 832, 836, 836, 832, 836, 819,
    823, 832, 844, 840, 840, 844, 832, 823,
    828, 836, 840, 853, 853, 840, 836, 828,
    828, 836, 840, 853, 853, 840, 836, 828,
    823, 832, 844, 840, 840, 844, 832, 823,
    819, 836, 832, 836, 836, 832, 836, 819,
    796, 796, 801, 806, 806, 801, 796, 796,
});

constexpr SquareTable BishopEg = FromPrinted({
    798, 815, 822, 831, 831, 822, 815, 798,
    815, 831, 839, 846, 846, 839, 831, 815,
    822, 839, 846, 853, 853, 846, 839, 822,
    831, 846, 853, 861, 861, 853, 846, 831,
    831, 846, 853, 861, 861, 853, 846, 831,
    822, 839, 846, 853, 853, 846, 839, 822,
    815, 831, 839, 846, 846, 839, 831, 815,
    798, 815, 822, 831, 831, 822, 815, 798,
});

constexpr SquareTable RookMg = FromPrinted({
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
    1258, 1263, 1268, 1272, 1272, 1268, 1263, 1258,
});

constexpr SquareTable RookEg = [] {
    SquareTable t{};
    t.fill(1281);
    return t;
}();

constexpr SquareTable QueenMg = [] {
    SquareTable t{};
    t.fill(2529);
    return t;
}();

constexpr SquareTable QueenEg = FromPrinted({
    2478, 2504, 2516, 2528, 2528, 2516, 2504, 2478,
    2504, 2528, 2540, 2552, 2552, 2540, 2528, 2504,
    2516, 2540, 2552, 2564, 2564, 2552, 2540, 2516,
    2528, 2552, 2564, 2576, 2576, 2564, 2552, 2528,
    2528, 2552, 2564, 2576, 2576, 2564, 2552, 2528,
    2516, 2540, 2552, 2564, 2564, 2552, 2540, 2516,
    2504, 2528, 2540, 2552, 2552, 2540, 2528, 2504,
    2478, 2504, 2516, 2528, 2528, 2516, 2504, 2478,
});

// Outposts by relative square, added to both sums
constexpr SquareTable KnightOutpost = FromPrinted({
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 4, 17, 17, 17, 17, 4, 0,
    0, 8, 26, 35, 35, 26, 8, 0,
    0, 4, 17, 26, 26, 17, 4, 0,
    0, 0,  4,  8,  8,  4, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
    0, 0,  0,  0,  0,  0, 0, 0,
});

constexpr SquareTable BishopOutpost = FromPrinted({
    0,  0,  0,  0,  0,  0,  0, 0,
    0,  0,  0,  0,  0,  0,  0, 0,
    0,  5,  8,  8,  8,  8,  5, 0,
    0, 10, 21, 21, 21, 21, 10, 0,
    0,  5, 10, 10, 10, 10,  5, 0,
    0,  0,  5,  5,  5,  5,  0, 0,
    0,  0,  0,  0,  0,  0,  0, 0,
    0,  0,  0,  0,  0,  0,  0, 0,
});

// Mobility by number of safe squares reached
constexpr Score KnightMobility[9] = {
    {-38, -33}, {-25, -23}, {-12, -13}, {0, -3}, {12, 7}, {25, 17}, {31, 22}, {38, 27}, {38, 27}};
constexpr Score BishopMobility[16] = {
    {-25, -30}, {-11, -16}, {3, -2}, {17, 12}, {31, 26}, {45, 40}, {57, 52}, {65, 60},
    {71, 65}, {74, 69}, {76, 71}, {78, 73}, {79, 74}, {80, 75}, {81, 76}, {81, 76}};
constexpr Score RookMobility[16] = {
    {-20, -36}, {-14, -19}, {-8, -3}, {-2, 13}, {4, 29}, {10, 46}, {14, 62}, {19, 79},
    {23, 95}, {26, 106}, {27, 111}, {28, 114}, {29, 116}, {30, 117}, {31, 118}, {32, 118}};
constexpr Score QueenMobility[32] = {
    {-10, -18}, {-8, -13}, {-6, -7}, {-3, -2}, {-1, 3}, {1, 8}, {3, 13}, {5, 19},
    {8, 23}, {10, 27}, {12, 32}, {15, 34}, {16, 35}, {17, 35}, {18, 35}, {20, 35},
    {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35},
    {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}, {20, 35}};

// By piece type
constexpr const SquareTable* PieceMg[7] = {nullptr, nullptr, &KnightMg, &BishopMg, &RookMg, &QueenMg, nullptr};
constexpr const SquareTable* PieceEg[7] = {nullptr, nullptr, &KnightEg, &BishopEg, &RookEg, &QueenEg, nullptr};
constexpr const Score* Mobility[7] = {nullptr, nullptr, KnightMobility, BishopMobility, RookMobility, QueenMobility, nullptr};
constexpr int32_t KingAttackWeight[7] = {0, 0, 2, 2, 3, 5, 0};
constexpr Score AttackedByPawn[7] = {{0, 0}, {0, 0}, {56, 70}, {56, 70}, {76, 99}, {86, 118}, {0, 0}};
constexpr Score SeventhRank[7] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {47, 98}, {27, 54}, {0, 0}};

// ---------------------------------------------------------------------------
// King tables, by relative square

constexpr SquareTable KingMg = FromPrinted({
     94, 119,  69,  21,  21,  69, 119,  94,
    119, 142,  94,  46,  46,  94, 142, 119,
    142, 167, 119,  69,  69, 119, 167, 142,
    167, 190, 142,  94,  94, 142, 190, 167,
    190, 214, 167, 119, 119, 167, 214, 190,
    214, 238, 190, 142, 142, 190, 238, 214,
    262, 287, 238, 190, 190, 238, 287, 262,
    287, 311, 262, 214, 214, 262, 311, 287,
});

// Danger of the defending king's own square
constexpr SquareTable KingDangerSquare = FromPrinted({
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
    15, 15, 15, 15, 15, 15, 15, 15,
     7, 10, 12, 12, 12, 12, 10,  7,
     2,  2,  4,  8,  8,  4,  2,  2,
     2,  0,  2,  5,  5,  2,  0,  2,
});

// ---------------------------------------------------------------------------
// Threats by attacker (knight, bishop, rook, queen) and victim (pawn .. queen)

constexpr int32_t ThreatMg[4][5] = {
    {7, 0, 24, 41, 41},
    {7, 24, 0, 41, 41},
    {-1, 15, 15, 0, 24},
    {15, 15, 15, 15, 0},
};
constexpr int32_t ThreatEg[4][5] = {
    {39, 0, 49, 100, 100},
    {39, 49, 0, 100, 100},
    {29, 49, 49, 0, 49},
    {39, 39, 39, 39, 0},
};

// ---------------------------------------------------------------------------
// Material imbalance: bishop pair, pawn, knight, bishop, rook, queen

constexpr int32_t Linear[6] = {1617, -162, -1172, -190, 105, 26};

constexpr int32_t OwnImbalance[6][6] = {
    {7},
    {39, 2},
    {35, 271, -4},
    {7, 25, 4, 7},
    {-27, -2, 46, 100, 56},
    {58, 29, 83, 148, -3, -25},
};

constexpr int32_t OppImbalance[6][6] = {
    {41},
    {37, 41},
    {10, 62, 41},
    {57, 64, 39, 41},
    {50, 40, 23, -22, 41},
    {106, 101, 3, 151, 171, 41},
};

// Endgame scale of a pawnless side by its number of bishops
constexpr int32_t PawnlessScale[3] = {6, 12, 32};

// ---------------------------------------------------------------------------
// Weights and thresholds of the terms

constexpr int32_t RookOnOpenFile = 43;
constexpr int32_t RookOnHalfOpenFile = 19;          // only enemy pawns on the file
constexpr int TrappedRookMaxMobility = 6;
constexpr int32_t TrappedRookBase = 180;            // less 16 per square the rook reaches
constexpr int32_t TrappedRookPerSquare = 16;

// King danger counts only against a queen with at least a rook beside her
constexpr int32_t KingDangerMaterial = PieceValue[Queen] + PieceValue[Rook];
constexpr int32_t UndefendedWeight = 3;             // per square next to the king only it defends, and per attack on one
constexpr int32_t AttackersCap = 25;
constexpr int32_t QueenContactWeight = 6;           // per supported contact check, times 2 with the move
constexpr int32_t RookContactWeight = 4;
constexpr int32_t QueenCheckWeight = 3;             // per safe square a piece can check from
constexpr int32_t RookCheckWeight = 2;
constexpr int32_t BishopCheckWeight = 1;
constexpr int32_t KnightCheckWeight = 1;
constexpr int32_t MaxDangerIndex = 99;
constexpr int32_t DangerStepCap = 30;               // the danger table grows by at most this per index
constexpr int32_t DangerCap = 1280;

// A rook pawn against no more than a knight runs well
constexpr int32_t LoneMinorMaterial = PieceValue[Knight];

constexpr int32_t NoRace = 256;
constexpr int32_t RaceBonusBase = 1280;             // less 32 per ply the winner needs
constexpr int32_t RaceBonusPerPly = 32;

// Space counts while a queen, two rooks and a knight each are on the board (11756)
constexpr int32_t SpaceMaterial = 2 * (PieceValue[Queen] + 2 * PieceValue[Rook] + PieceValue[Knight]);

// A second rook, and a queen beside a rook, are worth less than their value
constexpr int32_t RedundantRook = 554;
constexpr int32_t RedundantQueen = 320;

constexpr Score Tempo = {24, 11};

// Game phase by the piece material of both sides
constexpr int32_t MiddlegameMaterial = 15581;
constexpr int32_t EndgameMaterial = 3998;

// Endgame scales of opposite-coloured bishops: alone with one pawn, alone, with other pieces
constexpr int32_t OppositeBishopsOnePawn = 8;
constexpr int32_t OppositeBishopsAlone = 32;
constexpr int32_t OppositeBishopsWithPieces = 50;
constexpr int32_t FullScale = 64;

// ---------------------------------------------------------------------------
// Pieces

// Steps every piece takes: table value, attacks, king-zone pressure,
// mobility and the pawn that hits it. Returns the mobility count. Inline,
// as it runs for every piece of every evaluation.
inline int PieceCommon(int side, int kind, int s, Bitboard attacks, Bitboard mobilityArea, Score& score) {
    const int other = side ^ 1;
    const int relative = RelativeSquare(side, s);
    score += {(*PieceMg[kind])[relative], (*PieceEg[kind])[relative]};
    ThisThread.AttackedBy[side][kind] |= attacks;

    if (attacks & ThisThread.KingZone[side]) {
        ++ThisThread.KingAttackersCount[side];
        ThisThread.KingAttackersWeight[side] += KingAttackWeight[kind];
        const Bitboard adjacent = attacks & ThisThread.AttackedBy[other][King];
        if (adjacent)
            ThisThread.KingAdjacentAttacks[side] += PopCount(adjacent);
    }

    const int mobility = PopCount(attacks & mobilityArea);
    ThisThread.PieceMobility[side] += Mobility[kind][mobility];

    if (ThisThread.AttackedBy[other][Pawn] & SetMask[s])
        score -= AttackedByPawn[kind];
    return mobility;
}

// A minor piece that no enemy pawn can chase away; worth more when a pawn
// guards it, and most when no enemy minor can trade itself for it
Score Outpost(int side, int s, const SquareTable& table) {
    const int other = side ^ 1;
    if (AttackSpan[side][s] & Position.pieces[other][Pawn])
        return {0, 0};
    int32_t bonus = table[RelativeSquare(side, s)];
    if (bonus && (ThisThread.AttackedBy[side][Pawn] & SetMask[s])) {
        const Bitboard sameColour = (LightSquares & SetMask[s]) ? LightSquares : DarkSquares;
        if (!Position.pieces[other][Knight] && !(Position.pieces[other][Bishop] & sameColour))
            bonus = 2 * bonus + bonus / 2;
        else
            bonus = bonus + bonus / 2;
    }
    return {bonus, bonus};
}

// Rooks and queens on the seventh rank while the enemy king is on the eighth
Score SeventhRankBonus(int side, int kind, int s) {
    const int other = side ^ 1;
    if (RankOf(RelativeSquare(side, s)) == 6 && RankOf(RelativeSquare(side, Position.kingSquare[other])) == 7)
        return SeventhRank[kind];
    return {0, 0};
}

Score EvalKnights(int side, Bitboard mobilityArea) {
    Score score{0, 0};
    for (Bitboard knights = Position.pieces[side][Knight]; knights;) {
        const int s = PopLowest(knights);
        PieceCommon(side, Knight, s, KnightAttacks[s], mobilityArea, score);
        score += Outpost(side, s, KnightOutpost);
    }
    return score;
}

// A bishop sees through its own queens
Score EvalBishops(int side, Bitboard mobilityArea) {
    Score score{0, 0};
    const Bitboard occupancy = Position.occupied & ~Position.pieces[side][Queen];
    for (Bitboard bishops = Position.pieces[side][Bishop]; bishops;) {
        const int s = PopLowest(bishops);
        PieceCommon(side, Bishop, s, BishopAttacks(s, occupancy), mobilityArea, score);
        score += Outpost(side, s, BishopOutpost);
    }
    return score;
}

// A rook shut in on the king's wing by its own uncastled king
bool TrappedByKing(int side, int s) {
    const int kingSquare = Position.kingSquare[side];
    const int kingFile = FileOf(kingSquare);
    const int rookFile = FileOf(s);
    if (RankOf(RelativeSquare(side, kingSquare)) != 0 && RankOf(kingSquare) != RankOf(s))
        return false;
    const unsigned open = ThisThread.HalfOpenFiles[side];
    if (kingFile >= 4)
        return rookFile > kingFile && (open >> (kingFile + 1)) == 0;
    return rookFile < kingFile && (open & ((1u << kingFile) - 1)) == 0;
}

// Rooks see through their own rooks and queens
Score EvalRooks(int side, Bitboard mobilityArea) {
    const int other = side ^ 1;
    Score score{0, 0};
    const Bitboard occupancy = Position.occupied & ~Position.pieces[side][RooksQueens];
    for (Bitboard rooks = Position.pieces[side][Rook]; rooks;) {
        const int s = PopLowest(rooks);
        const int mobility = PieceCommon(side, Rook, s, RookAttacks(s, occupancy), mobilityArea, score);
        score += SeventhRankBonus(side, Rook, s);

        const int file = FileOf(s);
        if (ThisThread.HalfOpenFiles[side] & (1u << file)) {
            const int32_t bonus = (FileMask[file] & Position.pieces[other][Pawn]) ? RookOnHalfOpenFile : RookOnOpenFile;
            score += {bonus, bonus};
        } else if (mobility <= TrappedRookMaxMobility && TrappedByKing(side, s)) {
            int32_t penalty = TrappedRookBase - TrappedRookPerSquare * mobility;
            // The king may still castle the rook free
            if (CurrentState().castling[side])
                penalty /= 2;
            score.mg -= penalty;
        }
    }
    return score;
}

Score EvalQueens(int side, Bitboard mobilityArea) {
    Score score{0, 0};
    for (Bitboard queens = Position.pieces[side][Queen]; queens;) {
        const int s = PopLowest(queens);
        PieceCommon(side, Queen, s, QueenAttacks(s, Position.occupied), mobilityArea, score);
        score += SeventhRankBonus(side, Queen, s);
    }
    return score;
}

// ---------------------------------------------------------------------------
// King safety

// The danger index of our king, 0..99, once the enemy queen leads an attack
int32_t KingDangerIndex(int us, int32_t shelter) {
    const auto& attackedBy = ThisThread.AttackedBy;
    const int them = us ^ 1;
    const int k = Position.kingSquare[us];
    const int32_t tempo = them == Position.sideToMove ? 2 : 1;
    const Bitboard defenders = attackedBy[us][Pawn] | attackedBy[us][Knight] | attackedBy[us][Bishop]
                             | attackedBy[us][Rook] | attackedBy[us][Queen];
    // Squares next to our king that only the king itself defends
    const Bitboard undefended = attackedBy[them][0] & attackedBy[us][King] & ~defenders;
    int32_t danger = UndefendedWeight * (PopCount(undefended) + ThisThread.KingAdjacentAttacks[them])
                   + std::min(ThisThread.KingAttackersCount[them] * ThisThread.KingAttackersWeight[them] / 2, AttackersCap)
                   + KingDangerSquare[RelativeSquare(us, k)] - shelter / 32;

    // Queen contact checks, supported by another piece
    Bitboard contact = undefended & attackedBy[them][Queen] & ~Position.pieces[them][AllPieces];
    if (contact) {
        contact &= attackedBy[them][Pawn] | attackedBy[them][Knight] | attackedBy[them][Bishop] | attackedBy[them][Rook];
        danger += QueenContactWeight * tempo * PopCount(contact);
    }

    // Rook contact checks along the king's lines, supported
    contact = undefended & attackedBy[them][Rook] & ~Position.pieces[them][AllPieces] & RookAttacks(k, 0);
    if (contact) {
        contact &= attackedBy[them][Pawn] | attackedBy[them][Knight] | attackedBy[them][Bishop] | attackedBy[them][Queen];
        danger += RookContactWeight * tempo * PopCount(contact);
    }

    // Checks from a distance on squares we do not guard
    const Bitboard safe = ~(Position.pieces[them][AllPieces] | attackedBy[us][0]);
    const Bitboard rookChecks = RookAttacks(k, Position.occupied) & safe;
    const Bitboard bishopChecks = BishopAttacks(k, Position.occupied) & safe;
    danger += QueenCheckWeight * PopCount((rookChecks | bishopChecks) & attackedBy[them][Queen]);
    danger += RookCheckWeight * PopCount(rookChecks & attackedBy[them][Rook]);
    danger += BishopCheckWeight * PopCount(bishopChecks & attackedBy[them][Bishop]);
    danger += KnightCheckWeight * PopCount(KnightAttacks[k] & attackedBy[them][Knight] & safe);

    return std::clamp(danger, 0, MaxDangerIndex);
}

// ---------------------------------------------------------------------------
// Passed pawns and the pawn race

// Unweighted bonus of our passed pawn on s
Score PassedPawnBonus(int us, int s) {
    const int them = us ^ 1;
    const int push = us == White ? 8 : -8;
    const int ourKing = Position.kingSquare[us];
    const int theirKing = Position.kingSquare[them];
    const Bitboard ownPawns = Position.pieces[us][Pawn];
    const int r = RankOf(RelativeSquare(us, s)) - 1;
    const int32_t rr = r * (r - 1);
    int32_t mbonus = 20 * rr;
    int32_t ebonus = 10 * (rr + r + 1);

    if (rr > 0) {
        const int block = s + push;
        ebonus -= 2 * rr * Distance[ourKing][block];
        ebonus += 5 * rr * Distance[theirKing][block];
        if (RankOf(RelativeSquare(us, block)) != 7)
            ebonus -= rr * Distance[ourKing][block + push];

        if (Position.board[block] == Empty) {
            const Bitboard path = ForwardFile[us][s];
            const Bitboard defended = path & ThisThread.AttackedBy[us][0];
            // A major piece behind the pawn attacks its whole path through it
            Bitboard unsafe;
            if (ForwardFile[them][s] & Position.pieces[them][RooksQueens] & RookAttacks(s, Position.occupied))
                unsafe = path;
            else
                unsafe = path & (ThisThread.AttackedBy[them][0] | Position.pieces[them][AllPieces]);
            if (!unsafe)
                ebonus += (defended == path ? 17 : 15) * rr;
            else
                ebonus += ((unsafe & ~defended) == 0 ? 13 : 8) * rr;
        }
    }

    const Bitboard neighbours = AdjacentFiles[FileOf(s)] & ownPawns;
    if (neighbours & RankMask[RankOf(s)])
        ebonus += 20 * r;
    else if (neighbours & RankOrEmpty(RankOf(s) - push / 8))
        ebonus += 12 * r;

    // A rook pawn runs well against a lone minor, badly against a major
    if (FileOf(s) == 0 || FileOf(s) == 7) {
        if (Position.material[them] <= LoneMinorMaterial)
            ebonus += ebonus / 4;
        else if (Position.pieces[them][RooksQueens])
            ebonus -= ebonus / 4;
    }
    return {mbonus, ebonus};
}

// Plies a pawn needs to promote on an empty file; the double step saves one
int PliesToPromote(int side, int s) {
    const int rank = RankOf(RelativeSquare(side, s));
    return 7 - rank - (rank == 1 ? 1 : 0);
}

// Twice the moves the fastest passed pawn of us needs against a bare king
// that cannot catch it, less one with the move; NoRace if none
int32_t RaceValue(int us) {
    const int them = us ^ 1;
    const int stm = Position.sideToMove;
    int32_t race = NoRace;
    if (Position.material[them] != 0)
        return race;
    for (Bitboard passed = ThisThread.PassedPawns & Position.pieces[us][Pawn]; passed;) {
        const int p = PopLowest(passed);
        int plies = PliesToPromote(us, p);
        const int promotion = us == White ? 56 + FileOf(p) : FileOf(p);
        const int distance = Distance[Position.kingSquare[them]][promotion] - (them == stm ? 1 : 0);
        const Bitboard path = ForwardFile[us][p];
        const bool covered = (path & ~ThisThread.AttackedBy[us][0]) == 0;
        if (distance > plies || covered) {
            plies += PopCount(path & Position.occupied);
            if (distance > plies || covered)
                race = std::min(race, 2 * plies - (us == stm ? 1 : 0));
        }
    }
    return race;
}

// The loser of the race has a pawn of its own fast enough to matter
bool LoserCanReply(int loser, int32_t winnerRace) {
    const Bitboard loserPawns = Position.pieces[loser][Pawn];
    for (Bitboard pawns = loserPawns; pawns;) {
        const int p = PopLowest(pawns);
        const int moves = 2 * PliesToPromote(loser, p) - (loser == Position.sideToMove ? 1 : 0);
        if (moves >= winnerRace + 3)
            continue;
        if (ThisThread.PassedPawns & SetMask[p])
            return true;
        if (ForwardFile[loser][p] & loserPawns)
            continue;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Driver steps

// Pawn and king attacks, king zones, and pawn pairs that hit the enemy king's squares
void SetUpAttacks() {
    auto& attackedBy = ThisThread.AttackedBy;
    for (int s = White; s <= Black; ++s) {
        const int other = s ^ 1;
        const Bitboard kingAttacks = KingAttacks[Position.kingSquare[other]];
        attackedBy[other][King] = kingAttacks;
        ThisThread.KingZone[s] = kingAttacks | (s == White ? kingAttacks >> 8 : kingAttacks << 8);
        const Bitboard pawns = Position.pieces[s][Pawn];
        attackedBy[s][Pawn] = PawnCapturesLeft(s, pawns) | PawnCapturesRight(s, pawns);
        const Bitboard hits = attackedBy[s][Pawn] & kingAttacks;
        ThisThread.KingAttackersCount[s] = hits ? PopCount(hits) / 2 : 0;
    }
}

// Crowded centres favour the side with more room, while minors remain
Score EvalSpace() {
    const int32_t minors = PopCount(Position.pieces[White][Knight] | Position.pieces[White][Bishop]
                                    | Position.pieces[Black][Knight] | Position.pieces[Black][Bishop]);
    const int32_t factor = Position.material[White] + Position.material[Black] >= SpaceMaterial ? minors * minors : 0;
    return {ApplyWeight((Space(White) - Space(Black)) * factor, Weights[SpaceWeight].mg), 0};
}

// Bishop pair, pawns, knights, bishops, rooks, queens
using MaterialCounts = int32_t[6];

void CountMaterial(uint64_t key, int side, MaterialCounts& counts) {
    const auto count = [key, side](int kind) { return int32_t(key >> (6 * (5 * (1 - side) + Queen - kind)) & 63); };
    counts[0] = count(Bishop) >= 2 ? 1 : 0;
    for (int kind = Pawn; kind <= Queen; ++kind)
        counts[kind] = count(kind);
}

int32_t SideImbalance(const MaterialCounts& own, const MaterialCounts& opp) {
    int32_t value = 0;
    if (own[4] >= 1)
        value -= (own[4] - 1) * RedundantRook + own[5] * RedundantQueen;
    for (int i = 0; i < 6; ++i) {
        if (!own[i])
            continue;
        int32_t v = Linear[i];
        for (int j = 0; j <= i; ++j)
            v += own[j] * OwnImbalance[i][j] + opp[j] * OppImbalance[i][j];
        value += own[i] * v;
    }
    return value;
}

// Without pawns a small material edge rarely wins. Piece material follows
// from the counts, so the scale belongs to the material entry.
int32_t PawnlessScaleOf(int us, const MaterialCounts& own) {
    const int32_t ours = Position.material[us];
    const int32_t theirs = Position.material[us ^ 1];
    if (own[1] != 0 || ours - theirs > PieceValue[Bishop])
        return FullScale;
    if (ours == theirs || ours < PieceValue[Rook])
        return 0;
    return own[3] <= 2 ? PawnlessScale[own[3]] : FullScale;
}

}  // namespace

// The material cache: the counts are the whole key
struct MaterialEntry {
    uint64_t key;          // 0 in an empty slot
    int32_t imbalance;     // added to both sums
    int8_t scale[2];
};

namespace {

// 4096 slots of 16 bytes: 96.6% of the probes in bench hit (98.3% with 16384)
constexpr int MaterialCacheBits = 12;

MaterialEntry* MaterialCacheBlock() {
    if (!ThisThread.MaterialCache)   // zeroed: every slot empty
        ThisThread.MaterialCache = static_cast<MaterialEntry*>(
            AllocateThreadCache(sizeof(MaterialEntry) << MaterialCacheBits));
    return ThisThread.MaterialCache;
}

// Material imbalance on both sums, and the endgame scale of a side without pawns
Score EvalImbalance() {
    const uint64_t key = MaterialKey();
    MaterialEntry& entry = MaterialCacheBlock()[MaterialCacheSlot(key)];
    if (entry.key != key) {
        MaterialCounts white, black;
        CountMaterial(key, White, white);
        CountMaterial(key, Black, black);
        entry.key = key;
        entry.imbalance = (SideImbalance(white, black) - SideImbalance(black, white)) / 16;
        entry.scale[White] = int8_t(PawnlessScaleOf(White, white));
        entry.scale[Black] = int8_t(PawnlessScaleOf(Black, black));
    }
    ThisThread.ScaleFactor[White] = entry.scale[White];
    ThisThread.ScaleFactor[Black] = entry.scale[Black];
    return {entry.imbalance, entry.imbalance};
}

// Bishops of opposite colours draw many endings
int32_t OppositeBishopsScale(int32_t phase, int32_t scale) {
    const Bitboard whiteBishops = Position.pieces[White][Bishop];
    const Bitboard blackBishops = Position.pieces[Black][Bishop];
    if (phase >= 128 || scale != FullScale || PopCount(whiteBishops) != 1 || PopCount(blackBishops) != 1)
        return scale;
    if (((whiteBishops & LightSquares) != 0) == ((blackBishops & LightSquares) != 0))
        return scale;
    if (Position.material[White] == PieceValue[Bishop] && Position.material[Black] == PieceValue[Bishop]) {
        const int pawns = PopCount(Position.pieces[White][Pawn] | Position.pieces[Black][Pawn]);
        return pawns == 1 ? OppositeBishopsOnePawn : OppositeBishopsAlone;
    }
    return OppositeBishopsWithPieces;
}

// ---------------------------------------------------------------------------
// The driver

constexpr const char* StageNames[StageCount] = {
    "pawns", "pieces", "king safety", "threats", "passed pawns", "pawn race",
    "space", "mobility", "imbalance", "tempo"};

template <bool Traced>
void Record(EvalTrace* trace, TraceStage stage, Score score) {
    if constexpr (Traced)
        trace->sums[stage] = score;
}

// The terms of the two sides never read what the other side's term writes,
// so either may run first
template <bool Traced>
int32_t EvaluatePosition(EvalTrace* trace) {
    // Step 1. Scratch state
    ResetEvalState();

    // Step 2. Pawn and king attacks, king zones
    SetUpAttacks();

    // Step 3. Pawn structure
    Score score = PawnStructure();
    Record<Traced>(trace, StagePawns, score);

    // Step 4. Pieces, mobility and the attack sets
    score += EvalPieces(White) - EvalPieces(Black);
    Record<Traced>(trace, StagePieces, score);
    const Score mobility = ThisThread.PieceMobility[White] - ThisThread.PieceMobility[Black];

    // Step 5. King safety
    score += EvalKing(White) - EvalKing(Black);
    Record<Traced>(trace, StageKing, score);

    // Step 6. Threats
    score += EvalThreats(White) - EvalThreats(Black);
    Record<Traced>(trace, StageThreats, score);

    // Step 7. Passed pawns
    score += EvalPassedPawns(White) - EvalPassedPawns(Black);
    Record<Traced>(trace, StagePassed, score);

    // Step 8. Pawn race against a side without pieces
    if (Position.material[White] == 0 || Position.material[Black] == 0)
        score += EvalPawnRace();
    Record<Traced>(trace, StageRace, score);

    // Step 9. Phase
    const int32_t phase = GamePhase();

    // Step 10. Space
    if (phase > 0)
        score += EvalSpace();
    Record<Traced>(trace, StageSpace, score);

    // Step 11. Mobility, weighted as a whole
    score += ApplyWeight(mobility, Weights[MobilityWeight]);
    Record<Traced>(trace, StageMobility, score);

    // Step 12. Material imbalance and pawnless scale factors
    score += EvalImbalance();
    Record<Traced>(trace, StageImbalance, score);

    // Step 13. Tempo
    const int stm = Position.sideToMove;
    score += stm == White ? Tempo : -Tempo;
    Record<Traced>(trace, StageTempo, score);

    // Steps 14 and 15. Scale of the side that is ahead, opposite-coloured bishops
    const int32_t aheadScale = ThisThread.ScaleFactor[score.eg > 0 ? White : Black];
    ThisThread.EndgameScale = OppositeBishopsScale(phase, aheadScale);

    // Step 16. Blend, rounded down to a multiple of 8 (toward minus infinity)
    const int32_t eg = score.eg * ThisThread.EndgameScale / 64;
    int32_t v = (score.mg * phase + eg * (128 - phase)) / 128;
    v &= ~7;
    if constexpr (Traced) {
        trace->mobility = mobility;
        trace->phase = phase;
        trace->scale = ThisThread.EndgameScale;
        trace->blended = v;
    }

    // Steps 17 and 18. Known endings, then the side to move's point of view
    if (phase == 0)
        v = EvalEndgame(v, stm);
    if constexpr (Traced)
        trace->final = v;
    return stm == White ? v : -v;
}

std::string FormatRow(const char* name, Score term, Score sum) {
    char line[96];
    std::snprintf(line, sizeof line, "%-13s|%7d %7d |%7d %7d", name, term.mg, term.eg, sum.mg, sum.eg);
    return line;
}

// Positions come back in a search (the node of a failed null move, transpositions,
// the next iteration's leaves), so their values are kept. A value reads the pieces,
// the side to move, the castling rights and the root's side (whose king the danger
// table fears for); the keys leave out the rights and give the side to move only
// relative to the root, so all three are mixed in. (Fischer-random keys hold the
// usable rights: with the held ones mixed in too, the first key tells where held
// and usable rights differ, and the second key's half, compared too, the usable ones.)
}  // namespace

struct ValueEntry {
    uint64_t key;        // 0 in an empty slot
    uint32_t check;      // low half of the second key
    int32_t value;
};

namespace {

constexpr int ValueCacheBits = 12;   // 4096 slots of 16 bytes: a larger table misses the second-level cache
constexpr uint64_t BlackToMoveMix = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t BlackRootMix = 0xC2B2AE3D27D4EB4FULL;


ValueEntry* ValueCacheBlock() {
    if (!ThisThread.ValueCache)   // zeroed: every slot empty
        ThisThread.ValueCache = static_cast<ValueEntry*>(AllocateThreadCache(sizeof(ValueEntry) << ValueCacheBits));
    return ThisThread.ValueCache;
}

uint64_t ValueKey() {
    const StateRecord& state = CurrentState();
    uint64_t key = state.key1 ^ (Position.sideToMove == Black ? BlackToMoveMix : 0)
                 ^ (ThisThread.DangerRootSide == Black ? BlackRootMix : 0);
    for (int side = White; side <= Black; ++side)
        for (int kind = 0; kind < 2; ++kind)
            if (state.castling[side] & (1 << kind))
                key ^= Zobrist1.castle[side][kind];
    return key;
}

void ClearValueCache() {
    if (ThisThread.ValueCache)
        std::fill_n(ThisThread.ValueCache, size_t(1) << ValueCacheBits, ValueEntry{});
}

// Caches are emptied by the thread that owns them, at its next search or "eval"
std::atomic<uint32_t> CacheGeneration{0};

void RefreshEvalCaches() {
    const uint32_t generation = CacheGeneration.load(std::memory_order_relaxed);
    if (generation != ThisThread.SeenCacheGeneration) {
        ThisThread.SeenCacheGeneration = generation;
        ClearThreadEvalCaches();
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public interface

void ResetEvalState() {
    for (int side = White; side <= Black; ++side) {
        ThisThread.PieceMobility[side] = {0, 0};
        ThisThread.KingAttackersCount[side] = 0;
        ThisThread.KingAttackersWeight[side] = 0;
        ThisThread.KingAdjacentAttacks[side] = 0;
        ThisThread.ScaleFactor[side] = FullScale;
        for (int kind = 0; kind < 7; ++kind)
            ThisThread.AttackedBy[side][kind] = 0;
    }
}

int32_t GamePhase() {
    const int32_t m = Position.material[White] + Position.material[Black];
    if (m >= MiddlegameMaterial)
        return 128;
    if (m <= EndgameMaterial)
        return 0;
    return (m - EndgameMaterial) * 128 / (MiddlegameMaterial - EndgameMaterial);
}

int32_t Evaluate() {
    const uint64_t key = ValueKey();
    const uint32_t check = uint32_t(CurrentState().key2);
    ValueEntry& entry = ValueCacheBlock()[key >> (64 - ValueCacheBits)];
    if (entry.key == key && entry.check == check)
        return entry.value;
    const int32_t value = EvaluatePosition<false>(nullptr);
    entry = {key, check, value};
    return value;
}

int32_t EvaluateTraced(EvalTrace& trace) { return EvaluatePosition<true>(&trace); }

void ClearEvalCaches() { CacheGeneration.fetch_add(1, std::memory_order_relaxed); }

void ClearThreadEvalCaches() {
    ClearPawnCache();
    ClearValueCache();
    if (ThisThread.MaterialCache)
        std::fill_n(ThisThread.MaterialCache, size_t(1) << MaterialCacheBits, MaterialEntry{});
}

Score EvalPieces(int side) {
    auto& attackedBy = ThisThread.AttackedBy;
    const Bitboard mobilityArea = ~(Position.pieces[side][AllPieces] | attackedBy[side ^ 1][Pawn]);
    Score score = EvalKnights(side, mobilityArea);
    score += EvalBishops(side, mobilityArea);
    score += EvalRooks(side, mobilityArea);
    score += EvalQueens(side, mobilityArea);
    attackedBy[side][0] = attackedBy[side][Pawn] | attackedBy[side][Knight] | attackedBy[side][Bishop]
                        | attackedBy[side][Rook] | attackedBy[side][Queen] | attackedBy[side][King];
    return score;
}

int32_t Space(int s) {
    const auto& attackedBy = ThisThread.AttackedBy;
    const int other = s ^ 1;
    const Bitboard pawns = Position.pieces[s][Pawn];
    const Bitboard safe = SpaceMask[s] & ~pawns & ~attackedBy[other][Pawn]
                        & (attackedBy[s][0] | ~attackedBy[other][0]);
    Bitboard behind = pawns;
    if (s == White) {
        behind |= behind >> 8;
        behind |= behind >> 16;
    } else {
        behind |= behind << 8;
        behind |= behind << 16;
    }
    return PopCount(safe) + PopCount(safe & behind);
}

uint64_t MaterialKey() {
    uint64_t key = 1;
    for (int side = White; side <= Black; ++side)
        for (int kind = Pawn; kind <= Queen; ++kind)
            key = key << 6 | uint64_t(PopCount(Position.pieces[side][kind]));
    return key;
}

size_t MaterialCacheSlot(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ULL) >> (64 - MaterialCacheBits)); }

int32_t Imbalance(int us) {
    MaterialCounts own, opp;
    CountMaterial(MaterialKey(), us, own);
    CountMaterial(MaterialKey(), us ^ 1, opp);
    return SideImbalance(own, opp);
}

void InitKingDangerTable(int rootSide) {
    RefreshEvalCaches();
    ThisThread.DangerRootSide = rootSide;
    int32_t base[101];
    for (int i = 0; i <= 100; ++i) {
        base[i] = 2 * i * i / 5;
        if (i > 0)
            base[i] = std::min(base[i], base[i - 1] + DangerStepCap);
        base[i] = std::min(base[i], DangerCap);
    }
    // The engine fears for its own king a little less than it hopes against the other
    for (int side = White; side <= Black; ++side) {
        const int32_t weight = side == rootSide ? Weights[OwnKingWeight].mg : Weights[TheirKingWeight].mg;
        for (int i = 0; i <= 100; ++i)
            ThisThread.KingDanger[side][i] = ApplyWeight(base[i], weight);
    }
}

int32_t PawnShelter(int us, int kingSquare) {
    const Bitboard own = Position.pieces[us][Pawn] & FileAndAdjacent[FileOf(kingSquare)];
    const int step = us == White ? 1 : -1;
    int32_t shelter = 0;
    for (int d = 1; d <= 3; ++d)
        shelter += PopCount(own & RankMask[RankOf(kingSquare) + step * d]) * (128 >> d);
    return shelter;
}

// Table value, pawn shelter, and the danger from a queen-led attack on the king's zone
Score EvalKing(int us) {
    const int them = us ^ 1;
    const int relative = RelativeSquare(us, Position.kingSquare[us]);
    Score score = {KingMg[relative], KingEg[relative]};

    int32_t shelter = 0;
    if (RankOf(relative) <= 3) {
        shelter = PawnShelter(us, Position.kingSquare[us]);
        score.mg += shelter;
    }

    if (!Position.pieces[them][Queen] || Position.material[them] < KingDangerMaterial
        || ThisThread.KingAttackersCount[them] < 2 || ThisThread.KingAdjacentAttacks[them] < 1)
        return score;
    score.mg -= ThisThread.KingDanger[us][KingDangerIndex(us, shelter)];
    return score;
}

// Enemy pieces without a pawn to guard them, under attack; each pair of
// attacker kind and victim kind counts once
Score EvalThreats(int us) {
    const auto& attackedBy = ThisThread.AttackedBy;
    const int them = us ^ 1;
    Score score{0, 0};
    const Bitboard weak = Position.pieces[them][AllPieces] & ~attackedBy[them][Pawn] & attackedBy[us][0];
    if (!weak)
        return score;
    for (int attacker = Knight; attacker <= Queen; ++attacker) {
        const Bitboard targets = attackedBy[us][attacker] & weak;
        if (!targets)
            continue;
        for (int victim = Pawn; victim <= Queen; ++victim)
            if (targets & Position.pieces[them][victim])
                score += {ThreatMg[attacker - Knight][victim - Pawn], ThreatEg[attacker - Knight][victim - Pawn]};
    }
    return score;
}

// Passed pawns grow with their rank, with the kings' distances to the stop
// square, a free and guarded path, and a neighbour pawn beside or behind;
// each is weighted on its own
Score EvalPassedPawns(int us) {
    Score score{0, 0};
    for (Bitboard passed = ThisThread.PassedPawns & Position.pieces[us][Pawn]; passed;)
        score += ApplyWeight(PassedPawnBonus(us, PopLowest(passed)), Weights[PassedWeight]);
    return score;
}

// Against a bare king, the side whose passed pawn promotes clearly first wins
Score EvalPawnRace() {
    const int32_t race[2] = {RaceValue(White), RaceValue(Black)};
    // The race must be clear, and the loser must have no pawn fast enough
    if (std::abs(race[White] - race[Black]) < 3)
        return {0, 0};
    const int winner = race[White] < race[Black] ? White : Black;
    if (LoserCanReply(winner ^ 1, race[winner]))
        return {0, 0};
    const int32_t bonus = RaceBonusBase - RaceBonusPerPly * race[winner];
    return {0, winner == White ? bonus : -bonus};
}

// ---------------------------------------------------------------------------
// The "eval" command

void RunEvalCommand() {
    InitKingDangerTable(Position.sideToMove);
    EvalTrace trace{};
    const int32_t value = EvaluateTraced(trace);

    WriteLine("Evaluation, White's point of view");
    WriteLine("term         |   term mg  term eg |    sum mg  sum eg");
    Score previous{0, 0};
    for (int stage = 0; stage < StageCount; ++stage) {
        const Score sum = trace.sums[stage];
        WriteLine(FormatRow(StageNames[stage], sum - previous, sum));
        previous = sum;
    }
    char line[160];
    std::snprintf(line, sizeof line, "mobility before weighting: mg %d eg %d", trace.mobility.mg, trace.mobility.eg);
    WriteLine(line);
    std::snprintf(line, sizeof line, "phase %d of 128 (128 = middlegame), endgame scale %d of 64", trace.phase,
                  trace.scale);
    WriteLine(line);
    std::snprintf(line, sizeof line, "blended %d", trace.blended);
    WriteLine(line);
    if (trace.phase == 0) {
        std::snprintf(line, sizeof line, "after the endgame rules %d", trace.final);
        WriteLine(line);
    }
    WriteLine("Final evaluation: " + std::to_string(value));
}
