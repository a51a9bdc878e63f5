// Helpers shared by the evaluation tests: positions by FEN, their colour
// mirror, and a fixed set of varied positions.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Evaluation.h"
#include "GenMoves.h"
#include "Init.h"
#include "Makemove.h"
#include "Parametres.h"

// Sets up a position the test depends on; a refusal fails the test.
inline bool LoadFen(const std::string& fen) {
    std::string error;
    if (ReadFen(fen, error))
        return true;
    ADD_FAILURE() << "the reader refused " << fen << ": " << error;
    return false;
}

// The same position with the board turned upside down and the colours swapped
inline std::string MirrorFen(const std::string& fen) {
    std::istringstream fields(fen);
    std::string placement, side, castling, ep, halfmove, fullmove;
    fields >> placement >> side >> castling >> ep >> halfmove >> fullmove;

    std::vector<std::string> ranks;
    std::string rank;
    for (char ch : placement + "/") {
        if (ch == '/') {
            ranks.push_back(rank);
            rank.clear();
        } else {
            rank += std::isalpha(static_cast<unsigned char>(ch))
                        ? char(std::isupper(static_cast<unsigned char>(ch)) ? std::tolower(ch) : std::toupper(ch))
                        : ch;
        }
    }
    std::string mirrored;
    for (auto it = ranks.rbegin(); it != ranks.rend(); ++it)
        mirrored += (mirrored.empty() ? "" : "/") + *it;

    std::string rights;
    for (char wanted : std::string("KQkq")) {
        char source = std::isupper(static_cast<unsigned char>(wanted)) ? char(std::tolower(wanted)) : char(std::toupper(wanted));
        if (castling.find(source) != std::string::npos)
            rights += wanted;
    }
    if (rights.empty())
        rights = "-";
    if (ep.size() == 2)
        ep[1] = char('1' + ('8' - ep[1]));
    return mirrored + " " + (side == "w" ? "b" : "w") + " " + rights + " " + (ep.empty() ? "-" : ep) + " "
         + (halfmove.empty() ? "0" : halfmove) + " " + (fullmove.empty() ? "1" : fullmove);
}

// White-relative value of the current position
inline int32_t WhiteEvaluation() {
    const int32_t v = Evaluate();
    return Position.sideToMove == White ? v : -v;
}

// Runs the whole evaluation to fill the attack sets, then the given term
// alone on zeroed sums; returns what the term added
template <class Term>
Score TermAlone(const std::string& fen, Term term) {
    if (!LoadFen(fen))
        return {0, 0};
    InitKingDangerTable(Position.sideToMove);
    Evaluate();
    ScoreMg = ScoreEg = MobilityMg = MobilityEg = 0;
    term();
    return {ScoreMg, ScoreEg};
}

// Random games from a few openings and endings, every position kept
inline void AddPlayouts(std::vector<std::string>& out, const std::string& start, int games, int plies,
                        std::mt19937& random) {
    for (int game = 0; game < games; ++game) {
        if (!LoadFen(start))
            return;
        for (int ply = 0; ply < plies; ++ply) {
            MoveList list;
            GenerateLegal(list);
            if (list.count == 0)
                break;
            MakeMove(list.moves[1 + random() % list.count]);
            out.push_back(WriteFen());
        }
    }
}

// Legal placements of the men given as letters besides the two kings ("PN" for White, "r" for Black)
inline void AddRandomEndings(std::vector<std::string>& out, const std::string& men, int count, std::mt19937& random) {
    int made = 0;
    for (int attempt = 0; made < count && attempt < 50 * count; ++attempt) {
        char board[64];
        for (char& square : board)
            square = 0;
        bool placed = true;
        for (char man : "Kk" + men) {
            int s;
            int tries = 0;
            do {
                s = int(random() % 64);
            } while ((board[s] || ((man == 'P' || man == 'p') && (s < 8 || s >= 56))) && ++tries < 100);
            if (board[s]) {
                placed = false;
                break;
            }
            board[s] = man;
        }
        if (!placed)
            continue;
        std::string fen;
        for (int rank = 7; rank >= 0; --rank) {
            int empty = 0;
            for (int file = 0; file < 8; ++file) {
                char man = board[8 * rank + file];
                if (!man) {
                    ++empty;
                    continue;
                }
                if (empty)
                    fen += char('0' + empty);
                empty = 0;
                fen += man;
            }
            if (empty)
                fen += char('0' + empty);
            if (rank)
                fen += '/';
        }
        fen += random() % 2 ? " w - - 0 1" : " b - - 0 1";
        std::string error;
        if (ReadFen(fen, error)) {
            out.push_back(fen);
            ++made;
        }
    }
}

// A fixed set of a few thousand varied positions: openings, middlegames,
// endgames, and every material class the endgame rules know
inline std::vector<std::string> VariedPositions() {
    std::mt19937 random(20240611);
    std::vector<std::string> positions;
    const char* starts[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
        "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 14",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "8/5pk1/6p1/3R4/7P/6P1/r4PK1/8 w - - 0 40",
        "8/8/2k5/5pp1/8/1PK5/P7/8 w - - 0 50",
        "4k3/2b5/8/3p4/3P4/8/5B2/4K3 w - - 0 60",
    };
    for (const char* start : starts)
        AddPlayouts(positions, start, 8, 60, random);
    const char* endings[] = {
        "", "P", "PP", "PPP", "N", "NN", "B", "BN", "BB", "R", "RN", "RB", "NP", "BP", "RP", "Q", "PPPP",
        "p", "pp", "ppp", "n", "b", "r", "bp", "np", "rp", "q",
        "Pp", "Ppp", "PPp", "Nr", "Bq", "Rq", "Qr", "Rrp", "RPr", "Bb", "BPb", "Nn", "BNn", "BBr", "NNb",
        "PPPn", "PPPb", "Nrp", "Brp", "NNbb", "Qbn", "Qnn", "PPPPpp", "RPPr", "BPPb", "QPq", "RNr",
    };
    for (const char* men : endings) {
        AddRandomEndings(positions, men, 25, random);
        // Its colour mirror as well, so both colours of every class occur
        std::string swapped(men);
        for (char& man : swapped)
            man = std::isupper(static_cast<unsigned char>(man)) ? char(std::tolower(man)) : char(std::toupper(man));
        AddRandomEndings(positions, swapped, 25, random);
    }
    return positions;
}
