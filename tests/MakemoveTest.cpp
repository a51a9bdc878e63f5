// Make, unmake and null move: single cases, then every move of whole trees
// checked against the position computed from scratch.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "Bitboard.h"
#include "TestSupport.h"

namespace {

Square Sq(const char* name) { return SquareFromText(name); }

TEST(MakeMove, CastlingMovesTheRookAndClearsTheMoversRights) {
    ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 7 1"));
    ASSERT_TRUE(Play("e1g1"));
    EXPECT_EQ(Position.board[Sq("g1")], King);
    EXPECT_EQ(Position.board[Sq("f1")], Rook);
    EXPECT_EQ(Position.board[Sq("h1")], Empty);
    EXPECT_EQ(Position.board[Sq("e1")], Empty);
    EXPECT_EQ(Position.kingSquare[White], Sq("g1"));
    EXPECT_EQ(Position.pieces[White][RooksQueens], Squares({"a1", "f1"}));
    EXPECT_EQ(CurrentState().castling[White], 0);
    EXPECT_EQ(CurrentState().castling[Black], 3);
    EXPECT_EQ(CurrentState().halfmoveClock, 0);
    ASSERT_TRUE(Play("e8c8"));
    EXPECT_EQ(Position.board[Sq("d8")], Rook);
    EXPECT_EQ(Position.board[Sq("c8")], King);
    EXPECT_EQ(CurrentState().castling[Black], 0);
}

TEST(MakeMove, OnlyTheMoversOwnKingAndRookMovesCostRights) {
    const struct { const char* moves; int white, black; } cases[] = {
        {"a1a2", 1, 3},
        {"h1h2", 2, 3},
        {"e1e2", 0, 3},
        {"a1a8", 1, 3},        // taking the a8 rook leaves Black's rights as they are
        {"a1b1 h8h7", 1, 2},
        {"e1d1 e8d8", 0, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
        ASSERT_TRUE(Play(c.moves));
        EXPECT_EQ(CurrentState().castling[White], c.white) << c.moves;
        EXPECT_EQ(CurrentState().castling[Black], c.black) << c.moves;
    }
}

// ---------------------------------------------------------------------------
// Whole trees

// What make and unmake must restore: everything but the contents of the popped state
struct Saved {
    unsigned char head[offsetof(PositionRecord, states)];
    StateRecord states[8];
    Saved() {
        std::memcpy(head, &Position, sizeof head);
        for (int i = 0; i <= Position.stateIndex && i < 8; ++i)
            states[i] = Position.states[i];
    }
};

bool SameState(const StateRecord& a, const StateRecord& b) {
    return a.castling[0] == b.castling[0] && a.castling[1] == b.castling[1] && a.epSquare == b.epSquare
        && a.halfmoveClock == b.halfmoveClock && a.inCheck == b.inCheck && a.move == b.move && a.key1 == b.key1
        && a.key2 == b.key2;
}

class TreeWalk {
public:
    explicit TreeWalk(const std::string& fen) : fen_(fen) {}

    void Run(int depth) {
        ASSERT_TRUE(Load(fen_));
        rootEp_ = CurrentState().epSquare;
        Node(depth);
    }

private:
    std::string fen_;
    Square rootEp_ = 0;
    std::vector<std::string> line_;

    bool Fails(bool ok, const std::string& what) {
        if (!ok) {
            std::string path;
            for (const std::string& move : line_)
                path += " " + move;
            ADD_FAILURE() << what << "\n  root " << fen_ << "\n  after" << path << "\n  position " << WriteFen();
        }
        return !ok;
    }

    // Beyond the keys from scratch, the incremental keys carry the side key once per ply,
    // the key of an en-passant square a move has set, and the root's en-passant key,
    // which the first ply XORs in.
    void ExpectedKeys(uint64_t& key1, uint64_t& key2) {
        ComputeKeys(key1, key2);
        const int plies = Position.stateIndex;
        if (plies & 1) {
            key1 ^= Zobrist1.side;
            key2 ^= Zobrist2.side;
        }
        if (Square ep = CurrentState().epSquare; ep && plies > 0) {
            key1 ^= Zobrist1.ep[ep];
            key2 ^= Zobrist2.ep[ep];
        }
        if (plies > 0 && rootEp_) {
            key1 ^= Zobrist1.ep[rootEp_];
            key2 ^= Zobrist2.ep[rootEp_];
        }
    }

    // Everything make keeps incrementally, against a recount from the bitboards
    bool Consistent() {
        const PositionRecord& p = Position;
        for (int c = White; c <= Black; ++c) {
            Bitboard all = 0;
            for (int type = Pawn; type <= King; ++type) {
                if (Fails(!(all & p.pieces[c][type]), "two piece types share a square"))
                    return false;
                all |= p.pieces[c][type];
            }
            if (Fails(p.pieces[c][0] == 0 && all == p.pieces[c][AllPieces], "colour set differs from its types")
                || Fails(p.pieces[c][BishopsQueens] == (p.pieces[c][Bishop] | p.pieces[c][Queen]), "stale B+Q set")
                || Fails(p.pieces[c][RooksQueens] == (p.pieces[c][Rook] | p.pieces[c][Queen]), "stale R+Q set")
                || Fails(p.pieces[c][King] == SetMask[p.kingSquare[c]], "king square differs from the king set"))
                return false;
            int material = 0;
            for (int type = Knight; type <= Queen; ++type)
                material += PieceValue[type] * PopCount(p.pieces[c][type]);
            if (Fails(material == p.material[c], "material differs from a recount"))
                return false;
        }
        if (Fails(!(p.pieces[White][AllPieces] & p.pieces[Black][AllPieces]), "both colours on a square")
            || Fails(p.occupied == (p.pieces[White][AllPieces] | p.pieces[Black][AllPieces]), "stale occupancy"))
            return false;
        int weights = 0;
        for (Square s = 0; s < 64; ++s) {
            const int c = (p.pieces[White][AllPieces] & SetMask[s]) ? White : Black;
            const int type = (p.occupied & SetMask[s]) ? p.board[s] : Empty;
            if (Fails(p.board[s] == type && (type == Empty || (p.pieces[c][type] & SetMask[s])),
                      "board differs from bitboards on " + std::to_string(s)))
                return false;
            weights += PhaseWeight[type];
        }
        uint64_t key1, key2;
        ExpectedKeys(key1, key2);
        return !Fails(p.phase == 24 - weights, "phase differs from a recount")
            && !Fails(CurrentState().key1 == key1 && CurrentState().key2 == key2, "keys differ from a recount")
            && !Fails(CurrentState().inCheck == KingAttacked(p.sideToMove), "check flag is wrong")
            && !Fails(!KingAttacked(p.sideToMove ^ 1), "the side that moved left its king in check");
    }

    bool Restored(const Saved& saved) {
        if (Fails(std::memcmp(saved.head, &Position, sizeof saved.head) == 0,
                  "unmake did not restore the board fields"))
            return false;
        for (int i = 0; i <= Position.stateIndex && i < 8; ++i)
            if (Fails(SameState(saved.states[i], Position.states[i]), "unmake changed state " + std::to_string(i)))
                return false;
        return true;
    }

    // Capture generation gives the captures of the full list, in the same order
    bool CapturesMatch(const MoveList& legal) {
        if (CurrentState().inCheck)
            return true;
        std::vector<Move> expected;
        for (int i = 1; i <= legal.count; ++i)
            if (MoveCaptured(legal.moves[i]))
                expected.push_back(legal.moves[i]);
        return !Fails(CaptureMoves() == expected, "captures differ from the captures of the legal list");
    }

    // The move text of each move reads back as the same word (en passant keeps captured 0)
    bool TextsReadBack(const MoveList& legal) {
        for (int i = 1; i <= legal.count; ++i) {
            Move m = legal.moves[i];
            Move expected = MoveEpPawn(m) ? m & ~(Move(7) << 15) : m;
            if (Fails(FindLegalMove(MoveToText(m)) == expected, "text of " + MoveToText(m) + " reads back differently"))
                return false;
        }
        return true;
    }

    // The writer's FEN reads back as the same board and writes out the same text
    bool FenRoundTrips() {
        static PositionRecord backup;
        std::memcpy(&backup, &Position, sizeof Position);
        const std::string fen = WriteFen();
        std::string error;
        const bool ok = ReadFen(fen, error) && WriteFen() == fen && Position.sideToMove == backup.sideToMove
                     && std::memcmp(backup.board, Position.board, sizeof backup.board) == 0
                     && std::memcmp(backup.pieces, Position.pieces, sizeof backup.pieces) == 0;
        std::memcpy(&Position, &backup, sizeof Position);
        return !Fails(ok, "FEN " + fen + " does not read back " + error);
    }

    void Node(int depth) {
        if (!Consistent() || depth == 0)
            return;
        MoveList legal;
        GenerateLegal(legal);
        if (!CapturesMatch(legal) || !TextsReadBack(legal) || (Position.stateIndex == 1 && !FenRoundTrips()))
            return;
        for (int i = 1; i <= legal.count && !::testing::Test::HasFailure(); ++i) {
            const Move m = legal.moves[i];
            const Saved saved;
            const StateRecord before = CurrentState();
            line_.push_back(MoveToText(m));
            MakeMove(m);
            const StateRecord& after = CurrentState();
            const bool doublePush = MovePiece(m) == Pawn && std::abs(MoveTo(m) - MoveFrom(m)) == 16;
            Fails(after.epSquare == (doublePush ? (MoveFrom(m) + MoveTo(m)) / 2 : 0), "wrong en-passant square");
            Fails(after.halfmoveClock == (IsReversible(m) ? before.halfmoveClock + 1 : 0), "wrong halfmove clock");
            Fails((after.castling[0] & ~before.castling[0]) == 0 && (after.castling[1] & ~before.castling[1]) == 0,
                  "a castling right came back");
            Node(depth - 1);
            UnmakeMove();
            line_.pop_back();
            Restored(saved);
        }
        if (!CurrentState().inCheck && !::testing::Test::HasFailure()) {
            const Saved saved;
            line_.push_back("(null)");
            MakeNullMove();
            Fails(CurrentState().epSquare == 0 && CurrentState().halfmoveClock == 0 && CurrentState().move == 0,
                  "null move state");
            Consistent();
            UnmakeNullMove();
            line_.pop_back();
            Restored(saved);
        }
    }
};

TEST(MakeMove, EveryMoveOfDepthThreeTreesKeepsThePositionExactAndUnmakeRestoresIt) {
    std::vector<std::string> fens;
    for (const PerftCase& c : ReadPerftCases("perft_standard.txt"))
        if (fens.empty() || fens.back() != c.fen)
            fens.push_back(c.fen);
    ASSERT_GE(fens.size(), 6u);
    const char* more[] = {
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",  // en passant at the root
        "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
        "r3k2r/1P4P1/8/2pP4/8/8/1p4p1/R3K2R w KQkq c6 0 1",                 // promotions both ways
        "4k3/8/8/8/4B3/8/8/4R2K w - - 0 1",
        "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1",
        "r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1",
    };
    fens.insert(fens.end(), std::begin(more), std::end(more));
    for (const std::string& fen : fens) {
        TreeWalk(fen).Run(3);
        if (HasFailure())
            return;
    }
}

}  // namespace
