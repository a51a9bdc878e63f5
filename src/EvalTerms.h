// Vocabulary of the evaluation terms: the middlegame/endgame pair, tables by
// square, the group weights and the endgame king table.
#pragma once

#include <array>
#include <cstdint>

#include "Types.h"

// A middlegame/endgame pair
struct Score {
    int32_t mg;
    int32_t eg;

    constexpr Score& operator+=(Score other) {
        mg += other.mg;
        eg += other.eg;
        return *this;
    }
    constexpr Score& operator-=(Score other) {
        mg -= other.mg;
        eg -= other.eg;
        return *this;
    }
    friend constexpr Score operator+(Score a, Score b) { return a += b; }
    friend constexpr Score operator-(Score a, Score b) { return a -= b; }
    friend constexpr Score operator-(Score a) { return {-a.mg, -a.eg}; }
    friend constexpr bool operator==(Score, Score) = default;
};

// A table by square, written in the source with rank 8 on top as a board is printed
using SquareTable = std::array<int32_t, 64>;
constexpr SquareTable FromPrinted(const SquareTable& printed) {
    SquareTable bySquare{};
    for (int s = 0; s < 64; ++s)
        bySquare[s] = printed[s ^ 56];
    return bySquare;
}

// Endgame value of a king by square, the same for both colours; the
// recognisers read it too
inline constexpr SquareTable KingEg = FromPrinted({
     18,  77, 105, 135, 135, 105,  77,  18,
     77, 135, 165, 193, 193, 165, 135,  77,
    105, 165, 193, 222, 222, 193, 165, 105,
    135, 193, 222, 251, 251, 222, 193, 135,
    135, 193, 222, 251, 251, 222, 193, 135,
    105, 165, 193, 222, 222, 193, 165, 105,
     77, 135, 165, 193, 193, 165, 135,  77,
     18,  77, 105, 135, 135, 105,  77,  18,
});

// Group weights in 256ths, by group
enum WeightGroup : int { MobilityWeight = 1, PawnWeight, PassedWeight, SpaceWeight, OwnKingWeight, TheirKingWeight };
inline constexpr Score Weights[7] = {{0, 0}, {252, 344}, {233, 201}, {216, 266}, {46, 0}, {247, 0}, {259, 0}};

// value x weight / 256, truncated toward zero
constexpr int32_t ApplyWeight(int32_t value, int32_t weight) { return value * weight / 256; }
constexpr Score ApplyWeight(Score value, Score weight) {
    return {ApplyWeight(value.mg, weight.mg), ApplyWeight(value.eg, weight.eg)};
}

// The squares of one rank, none off the board: a pawn never stands on its
// first rank in a legal position, and an illegal one must not read past a table
constexpr Bitboard RankOrEmpty(int rank) { return rank >= 0 && rank < 8 ? Bitboard(0xFF) << (8 * rank) : 0; }
