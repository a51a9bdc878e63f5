// Endgame recognisers, consulted once little piece material is left.
#include "Endgame.h"

#include <cstdlib>

#include "Bitboard.h"
#include "EvalTerms.h"
#include "Tables.h"
#include "Thread.h"

namespace {

// Material besides the king: two bits of pawns, knights and bishops, one of
// rooks and queens; NoSignature when a count does not fit
constexpr int NoSignature = 255;

int Signature(int side) {
    const int pawns = PopCount(Position.pieces[side][Pawn]);
    const int knights = PopCount(Position.pieces[side][Knight]);
    const int bishops = PopCount(Position.pieces[side][Bishop]);
    const int rooks = PopCount(Position.pieces[side][Rook]);
    const int queens = PopCount(Position.pieces[side][Queen]);
    if (pawns >= 4 || knights >= 3 || bishops >= 3 || rooks >= 2 || queens >= 2)
        return NoSignature;
    return pawns | knights << 2 | bishops << 4 | rooks << 6 | queens << 7;
}

int ClassOfSignature(int signature) {
    switch (signature) {
    case 0: return 0;     // bare king
    case 1: return 1;     // P
    case 2: return 2;     // PP
    case 3: return 3;     // PPP
    case 4: return 4;     // N
    case 8: return 5;     // NN
    case 16: return 6;    // B
    case 20: return 7;    // B+N
    case 32: return 8;    // BB
    case 64: return 9;    // R
    case 68: return 10;   // R+N
    case 80: return 10;   // R+B
    case 5: return 11;    // N+P
    case 17: return 12;   // B+P
    case 65: return 14;   // R+P
    case 128: return 15;  // Q
    default: return NoMaterialClass;
    }
}

// What to do with a pair of classes, by the letter the table cell holds.
// Upper case: White holds the extra material; lower case: Black does.
enum RecogniserCode : char {
    NoEvaluator = 'N',
    NoEvaluatorQueenAgainstPawn = 'D',
    NoEvaluatorPawnAgainstQueen = 'd',
    DeadDraw = '!',
    DrawnByMaterial = 'R',
    KingsAndWhiteEdge = 'X',          // the king tables, plus a small edge for White
    KingsAndWhiteLargerEdge = 'Y',
    KingsAndBlackEdge = 'x',
    KingsAndBlackLargerEdge = 'y',
    WhiteBishopKnightMate = 'K',
    BlackBishopKnightMate = 'k',
    WhiteQueenAgainstRook = 'Q',
    BlackQueenAgainstRook = 'q',
    WhiteRookAgainstKing = 'A',
    BlackRookAgainstKing = 'a',
    WhiteRookPawnAgainstRook = 'T',
    BlackRookPawnAgainstRook = 't',
    WhiteKnightRookPawn = 'C',
    BlackKnightRookPawn = 'c',
    WhiteWrongBishopPawn = 'L',
    BlackWrongBishopPawn = 'l',
    WhiteKingPawnKing = 'P',
    BlackKingPawnKing = 'p',
};

// Letters in the table so that it reads as the class chart is printed
struct Recogniser {
    char code;
    int16_t correction;
};

constexpr Recogniser Unused = {NoEvaluator, 0};

// Margins of the king-table verdicts, and the material the mating values start from
constexpr int32_t SmallEdge = 25;
constexpr int32_t LargerEdge = 50;
constexpr int32_t QueenAgainstRookBase = 1251;
constexpr int32_t RookAgainstKingBase = 1278;
constexpr int32_t BishopKnightMateBase = 780;
constexpr int32_t PawnPromotes = 800;   // king and pawn against king, won

// Rows White's class, columns Black's class; class 13 never occurs
constexpr Recogniser ClassTable[16][16] = {
    //  K           P           PP          PPP         N            NN          B            BN           BB           R             RN/RB       NP           BP           -        RP           Q
    {{'!', 0},    {'p', 0},   {'N', 0},   {'N', 0},   {'!', 0},    {'R', 0},   {'!', 0},    {'k', 0},    {'N', -100}, {'a', -100},  {'N', 0},   {'c', -100}, {'l', -100}, Unused, {'N', -100}, {'N', -100}},  // K
    {{'P', 0},    {'N', 0},   {'N', 0},   {'N', 0},   {'N', 200},  {'N', 400}, {'N', 200},  {'N', 0},    {'N', 0},    {'N', 0},     {'N', 0},   {'N', 0},    {'l', 0},    Unused, {'N', 0},    {'d', 0}},     // P
    {{'N', 0},    {'N', 0},   {'N', 0},   {'N', 0},   {'N', 200},  {'N', 400}, {'N', 200},  {'N', 0},    {'N', 0},    {'N', 50},    {'N', 0},   {'N', 0},    {'l', 0},    Unused, {'N', 0},    {'N', 0}},     // PP
    {{'N', 0},    {'N', 0},   {'N', 0},   {'N', 0},   {'N', 150},  {'N', 300}, {'N', 100},  {'N', 100},  {'N', 100},  {'N', 50},    {'N', 0},   {'N', 50},   {'N', 50},   Unused, {'N', 50},   {'N', 0}},     // PPP
    {{'!', 0},    {'N', -200},{'N', -200},{'N', -200},{'R', 0},    {'R', 0},   {'R', 0},    {'x', 0},    {'y', 0},    {'x', 0},     {'N', 0},   {'N', 0},    {'N', 0},    Unused, {'N', -50},  {'N', 0}},     // N
    {{'R', 0},    {'N', -400},{'N', -400},{'N', -300},{'R', 0},    {'R', 0},   {'R', 0},    {'N', 0},    {'R', 0},    {'R', 0},     {'y', 0},   {'y', 0},    {'y', 0},    Unused, {'y', 0},    {'N', 100}},   // NN
    {{'!', 0},    {'N', -200},{'N', -200},{'N', -200},{'R', 0},    {'R', 0},   {'R', 0},    {'x', 0},    {'x', 0},    {'x', 0},     {'N', 0},   {'x', 0},    {'y', 0},    Unused, {'N', -50},  {'N', 0}},     // B
    {{'K', 0},    {'N', 0},   {'N', 0},   {'N', -100},{'X', 0},    {'N', 0},   {'X', 0},    {'N', 0},    {'N', 0},    {'X', 0},     {'y', 0},   {'x', 0},    {'x', 0},    Unused, {'x', 0},    {'N', 100}},   // BN
    {{'N', 100},  {'N', 0},   {'N', 0},   {'N', -100},{'Y', 0},    {'N', 0},   {'X', 0},    {'N', 0},    {'N', 0},    {'Y', 0},     {'x', 0},   {'X', 0},    {'X', 0},    Unused, {'X', 0},    {'N', 100}},   // BB
    {{'A', 100},  {'N', 0},   {'N', -50}, {'N', -50}, {'X', 0},    {'R', 0},   {'X', 0},    {'x', 0},    {'y', 0},    {'R', 0},     {'x', 0},   {'x', 0},    {'y', 0},    Unused, {'t', 0},    {'q', 0}},     // R
    {{'N', 0},    {'N', 0},   {'N', 0},   {'N', 0},   {'N', 0},    {'Y', 0},   {'N', 0},    {'Y', 0},    {'X', 0},    {'X', 0},     {'N', 0},   {'N', 0},    {'N', 0},    Unused, {'x', 0},    {'x', 0}},     // RN/RB
    {{'C', 100},  {'N', 0},   {'N', 0},   {'N', -50}, {'N', 0},    {'Y', 0},   {'X', 0},    {'X', 0},    {'x', 0},    {'X', 0},     {'N', 0},   {'N', 0},    {'N', 0},    Unused, {'N', 0},    {'N', 0}},     // NP
    {{'L', 100},  {'L', 0},   {'L', 0},   {'N', -50}, {'N', 0},    {'Y', 0},   {'Y', 0},    {'X', 0},    {'x', 0},    {'Y', 0},     {'N', 0},   {'N', 0},    {'N', 0},    Unused, {'N', 0},    {'N', 0}},     // BP
    {Unused,      Unused,     Unused,     Unused,     Unused,      Unused,     Unused,      Unused,      Unused,      Unused,       Unused,     Unused,      Unused,      Unused, Unused,      Unused},       // -
    {{'N', 100},  {'N', 0},   {'N', 0},   {'N', -50}, {'N', -50},  {'Y', 0},   {'N', 0},    {'X', 0},    {'x', 0},    {'T', 0},     {'X', 0},   {'N', 0},    {'N', 0},    Unused, {'N', 0},    {'N', 0}},     // RP
    {{'N', 100},  {'D', 0},   {'N', 0},   {'N', 0},   {'N', 0},    {'N', 0},   {'N', -100}, {'N', 0},    {'N', -100}, {'Q', -150},  {'X', 0},   {'N', 0},    {'N', 0},    Unused, {'N', 0},    {'N', 0}},     // Q
};

// Bishop and knight mate: the lone king belongs in a corner of the bishop's colour
constexpr SquareTable BnCornerLight = FromPrinted({
      0,  40,  70, 100, 120, 140, 150, 150,
     40,  70, 100, 130, 210, 190, 160, 150,
     70, 100, 130, 160, 230, 210, 190, 140,
    100, 130, 170, 200, 250, 230, 210, 120,
    120, 210, 230, 250, 200, 170, 130, 100,
    140, 190, 210, 230, 160, 130, 100,  70,
    150, 160, 190, 210, 130, 100,  70,  40,
    150, 150, 140, 120, 100,  70,  40,   0,
});

constexpr SquareTable BnCornerDark = [] {
    SquareTable t{};
    for (int s = 0; s < 64; ++s)
        t[s] = BnCornerLight[s ^ 7];
    return t;
}();

// A defending king on the edge is closer to being mated
constexpr SquareTable EdgeTable = FromPrinted({
    100, 90, 80, 70, 70, 80, 90, 100,
     90, 70, 60, 50, 50, 60, 70,  90,
     80, 60, 40, 30, 30, 40, 60,  80,
     70, 50, 30, 20, 20, 30, 50,  70,
     70, 50, 30, 20, 20, 30, 50,  70,
     80, 60, 40, 30, 30, 40, 60,  80,
     90, 70, 60, 50, 50, 60, 70,  90,
    100, 90, 80, 70, 70, 80, 90, 100,
});

// By distance between the kings
constexpr int32_t KingProximity[8] = {0, 0, 100, 80, 60, 40, 20, 10};

// Moves a pawn needs to promote, by colour and rank 1..8
constexpr int32_t PromotionSteps[2][8] = {{0, 5, 5, 4, 3, 2, 1, 0}, {0, 1, 2, 3, 4, 5, 5, 0}};

bool OnLightSquare(int s) { return ((FileOf(s) + RankOf(s)) & 1) != 0; }

int FileGap(int a, int b) { return std::abs(FileOf(a) - FileOf(b)); }

// Mating value for the side with bishop and knight against the lone king
int32_t BishopKnightMate(int strong) {
    const int weakKing = Position.kingSquare[strong ^ 1];
    const int bishop = LowestSquare(Position.pieces[strong][Bishop]);
    const SquareTable& corner = OnLightSquare(bishop) ? BnCornerLight : BnCornerDark;
    return BishopKnightMateBase - 8 * Distance[Position.kingSquare[White]][Position.kingSquare[Black]] - corner[weakKing];
}

// Mating value against a lone king or a rook, driven to the edge
int32_t DriveToEdge(int weak, int32_t base) {
    return KingProximity[Distance[Position.kingSquare[White]][Position.kingSquare[Black]]]
         + EdgeTable[Position.kingSquare[weak]] + base;
}

// Rook and pawn against rook: the defending king in front of the pawn holds
int32_t RookPawnAgainstRook(int strong, int32_t v) {
    const int weak = strong ^ 1;
    const int pawn = LowestSquare(Position.pieces[strong][Pawn]);
    const int strongKing = Position.kingSquare[strong];
    const int weakKing = Position.kingSquare[weak];
    const bool inFront = strong == White ? RankOf(weakKing) > RankOf(pawn) : RankOf(weakKing) < RankOf(pawn);
    if (!inFront || FileGap(weakKing, pawn) > 1)
        return v;
    const int32_t value = KingEg[strongKing] - KingEg[weakKing] + (FileOf(weakKing) == FileOf(pawn) ? 10 : 20);
    return strong == White ? value : -value;
}

// Knight and rook pawn on the seventh: a king on the corner cannot be driven out
int32_t KnightRookPawn(int strong, int32_t v) {
    const int pawn = LowestSquare(Position.pieces[strong][Pawn]);
    const int seventh = strong == White ? 6 : 1;
    if (RankOf(pawn) != seventh || (FileOf(pawn) != 0 && FileOf(pawn) != 7))
        return v;
    const int promotion = strong == White ? pawn + 8 : pawn - 8;
    if (Distance[Position.kingSquare[strong ^ 1]][promotion] > 1)
        return v;
    const int32_t distance = Distance[pawn][Position.kingSquare[strong]];
    return strong == White ? -distance : distance;
}

// Rook pawn with the bishop of the wrong colour: a king near the corner draws
int32_t WhiteWrongBishop(int stm, int32_t v) {
    const int pawn = LowestSquare(Position.pieces[White][Pawn]);
    const bool light = OnLightSquare(LowestSquare(Position.pieces[White][Bishop]));
    const bool wrong = (FileOf(pawn) == 0 && !light) || (FileOf(pawn) == 7 && light);
    if (!wrong)
        return v;
    const int blackToMove = stm == Black ? 1 : 0;
    const int t = 1 + blackToMove;
    const int promotion = 56 + FileOf(pawn);
    const int blackKing = Position.kingSquare[Black];
    if (FileGap(blackKing, pawn) <= t
        && (Distance[blackKing][promotion] <= t || RankOf(blackKing) >= RankOf(pawn) - blackToMove))
        return -Distance[pawn][Position.kingSquare[White]];
    return v;
}

int32_t BlackWrongBishop(int stm, int32_t v) {
    const int pawn = LowestSquare(Position.pieces[Black][Pawn]);
    const bool light = OnLightSquare(LowestSquare(Position.pieces[Black][Bishop]));
    const bool wrong = (FileOf(pawn) == 0 && light) || (FileOf(pawn) == 7 && !light);
    if (!wrong)
        return v;
    const int blackToMove = stm == Black ? 1 : 0;
    const int t = 2 - blackToMove;
    const int promotion = FileOf(pawn);
    const int whiteKing = Position.kingSquare[White];
    // Not the mirror of White's rule: the rank test is one rank stricter with White to move
    if (FileGap(whiteKing, pawn) <= t
        && (Distance[whiteKing][promotion] <= t || RankOf(whiteKing) <= RankOf(pawn) - 1 + blackToMove))
        return Distance[pawn][Position.kingSquare[Black]];
    return v;
}

// King and pawn against king by rule: square, opposition, key squares
int32_t KingPawnKing(int attacker, int stm) {
    const int defender = attacker ^ 1;
    const int pawn = LowestSquare(Position.pieces[attacker][Pawn]);
    const int attackerKing = Position.kingSquare[attacker];
    const int defenderKing = Position.kingSquare[defender];
    const int file = FileOf(pawn);
    const int promotion = attacker == White ? 56 + file : file;
    const int pawnRank = RankOf(RelativeSquare(attacker, pawn));
    const int kingRank = RankOf(RelativeSquare(attacker, attackerKing));
    const int32_t win = attacker == White ? PawnPromotes + 8 * RankOf(pawn) : -(PawnPromotes + 8 * (9 - RankOf(pawn)));

    // The defending king is outside the pawn's square
    int steps = PromotionSteps[attacker][RankOf(pawn)];
    if (FileOf(attackerKing) == file && kingRank > pawnRank)
        ++steps;
    if (Distance[defenderKing][promotion] > steps)
        return attacker == White ? PawnPromotes : -PawnPromotes;

    if (kingRank < pawnRank)
        return 0;
    if (FileOf(attackerKing) == FileOf(defenderKing) && std::abs(RankOf(attackerKing) - RankOf(defenderKing)) == 2)
        return 0;

    if (file == 0 || file == 7) {
        const int besideFile = file == 0 ? 1 : 6;
        const int tempo = stm == defender ? 1 : 0;
        if (FileOf(attackerKing) == besideFile
            && Distance[attackerKing][promotion] < Distance[defenderKing][promotion] - tempo)
            return win;
        return 0;
    }

    if (Distance[attackerKing][pawn] > Distance[defenderKing][pawn])
        return 0;
    if (kingRank >= pawnRank + 2)
        return win;
    if (kingRank == 5 && stm == attacker)
        return win;
    if (kingRank >= 6)
        return win;
    if (kingRank == pawnRank + 1 && (stm == defender || pawnRank == 4) && FileOf(defenderKing) != file)
        return win;
    return 0;
}

}  // namespace

int MaterialClass(int side) {
    const int signature = Signature(side);
    return signature == NoSignature ? NoMaterialClass : ClassOfSignature(signature);
}

int32_t EvalEndgame(int32_t v, int sideToMove) {
    const int whiteClass = MaterialClass(White);
    const int blackClass = MaterialClass(Black);
    if (whiteClass == NoMaterialClass || blackClass == NoMaterialClass)
        return v;
    const Recogniser cell = ClassTable[whiteClass][blackClass];
    v += cell.correction;

    const int32_t kingTerms = KingEg[Position.kingSquare[White]] - KingEg[Position.kingSquare[Black]];
    switch (RecogniserCode(cell.code)) {
    case DeadDraw:
    case DrawnByMaterial:
        return 0;
    case KingsAndWhiteEdge: return kingTerms + SmallEdge;
    case KingsAndWhiteLargerEdge: return kingTerms + LargerEdge;
    case KingsAndBlackEdge: return kingTerms - SmallEdge;
    case KingsAndBlackLargerEdge: return kingTerms - LargerEdge;
    case WhiteBishopKnightMate: return BishopKnightMate(White);
    case BlackBishopKnightMate: return -BishopKnightMate(Black);
    case WhiteQueenAgainstRook: return DriveToEdge(Black, QueenAgainstRookBase);
    case BlackQueenAgainstRook: return -DriveToEdge(White, QueenAgainstRookBase);
    case WhiteRookAgainstKing: return DriveToEdge(Black, RookAgainstKingBase);
    case BlackRookAgainstKing: return -DriveToEdge(White, RookAgainstKingBase);
    case WhiteRookPawnAgainstRook: return RookPawnAgainstRook(White, v);
    case BlackRookPawnAgainstRook: return RookPawnAgainstRook(Black, v);
    case WhiteKnightRookPawn: return KnightRookPawn(White, v);
    case BlackKnightRookPawn: return KnightRookPawn(Black, v);
    case WhiteWrongBishopPawn: return WhiteWrongBishop(sideToMove, v);
    case BlackWrongBishopPawn: return BlackWrongBishop(sideToMove, v);
    case WhiteKingPawnKing: return KingPawnKing(White, sideToMove);
    case BlackKingPawnKing: return KingPawnKing(Black, sideToMove);
    case NoEvaluator:
    case NoEvaluatorQueenAgainstPawn:
    case NoEvaluatorPawnAgainstQueen:
        break;
    }
    return v;
}
