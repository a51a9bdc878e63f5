// Start-up tables (masks, distances, steps, futility margins, hash keys) and
// the FEN reader and writer.
#pragma once

#include <string>
#include <string_view>

#include "Parametres.h"

inline constexpr Bitboard FileMask[8] = {
    0x0101010101010101ULL << 0, 0x0101010101010101ULL << 1, 0x0101010101010101ULL << 2,
    0x0101010101010101ULL << 3, 0x0101010101010101ULL << 4, 0x0101010101010101ULL << 5,
    0x0101010101010101ULL << 6, 0x0101010101010101ULL << 7};
inline constexpr Bitboard RankMask[8] = {
    0xFFULL << 0, 0xFFULL << 8, 0xFFULL << 16, 0xFFULL << 24,
    0xFFULL << 32, 0xFFULL << 40, 0xFFULL << 48, 0xFFULL << 56};

extern Bitboard SetMask[64];
extern Bitboard ClearMask[64];
extern Bitboard RookRays[64];
extern Bitboard BishopRays[64];
extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard PawnAttacks[2][64];
extern Bitboard Segment[64][64];
extern Bitboard RayThrough[64][64];
extern int32_t Distance[64][64];
extern Bitboard ForwardRanks[2][8];
extern Bitboard AdjacentFiles[8];
extern Bitboard FileAndAdjacent[8];
extern Bitboard ForwardFile[2][64];
extern Bitboard AttackSpan[2][64];
extern Bitboard PassedMask[2][64];
extern Bitboard FileSpan[2][64];
extern Bitboard SpaceMask[2];
extern Bitboard StepTargets[16][64];      // row 8 x side + piece type
extern int32_t FutilityMargin[16][64];    // [depth 1..15][move number 0..63]

// Castling constants per colour, index 0 king-side, 1 queen-side
inline constexpr Bitboard CastleEmpty[2][2] = {
    {(1ULL << 5) | (1ULL << 6), (1ULL << 1) | (1ULL << 2) | (1ULL << 3)},
    {(1ULL << 61) | (1ULL << 62), (1ULL << 57) | (1ULL << 58) | (1ULL << 59)}};
inline constexpr Bitboard CastleSafe[2][2] = {
    {(1ULL << 4) | (1ULL << 5) | (1ULL << 6), (1ULL << 2) | (1ULL << 3) | (1ULL << 4)},
    {(1ULL << 60) | (1ULL << 61) | (1ULL << 62), (1ULL << 58) | (1ULL << 59) | (1ULL << 60)}};
inline constexpr int CastleKingTo[2][2] = {{6, 2}, {62, 58}};
inline constexpr int CastleRookFrom[2][2] = {{7, 0}, {63, 56}};
inline constexpr int CastleRookTo[2][2] = {{5, 3}, {61, 59}};
inline constexpr int KingOrigin[2] = {4, 60};

// Builds every table above and both key sets; runs once after BuildMagicTables.
void InitTables();

// Park-Miller minimal standard generator (Schrage's form); state seeded with 1 by InitTables
int32_t NextRandom();
uint64_t RandomKey();
extern int32_t RandomState;

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Resets every field of the position.
void ClearPosition();

// The largest halfmove clock and full-move number a FEN may give: far beyond
// any real game, small enough that no counter derived from them can overflow
constexpr int32_t MaxFenClock = 10000;

// Replaces the position with the one the FEN describes. On a malformed or
// impossible FEN the position is left untouched and false is returned, with
// the reason in error. Missing fields after the placement read as "w - - 0 1".
bool ReadFen(std::string_view text, std::string& error);

// The FEN of the current position.
std::string WriteFen();

// (letter - 'a') + 8 x (digit - '1'), low 8 bits: no range check
int SquareFromText(std::string_view text);

// Both keys computed from scratch (pieces and the side key only, as the incremental keys are)
void ComputeKeys(uint64_t& key1, uint64_t& key2);
