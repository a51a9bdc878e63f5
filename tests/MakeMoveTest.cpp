// Every move of whole trees, made and unmade, checked against the position
// computed from scratch: the incremental fields, the keys (and the key foreseen
// before the move), the check bit, the capture list, the move texts and the FEN writer.
#include <algorithm>
#include <cstdlib>

#include "Bitboard.h"
#include "PositionChecks.h"
#include "TestSupport.h"

namespace {

std::string Root;
Square RootEp;

bool Check(bool ok, const std::string& what) {
    if (!ok)
        ADD_FAILURE() << what << "\n  root " << Root << "\n  position " << WriteFen();
    return ok;
}

// Everything make keeps incrementally, against a recount from the bitboards
bool Consistent() {
    bool ok = true;
    for (int c = White; c <= Black; ++c) {
        const Bitboard* set = Position.pieces[c];
        Bitboard all = 0;
        int material = 0;
        for (int type = Pawn; type <= King; ++type) {
            ok &= Check(!(all & set[type]), "two piece types share a square");
            all |= set[type];
            material += type == Pawn || type == King ? 0 : PieceValue[type] * PopCount(set[type]);
        }
        ok &= Check(set[Empty] == 0 && all == set[AllPieces] && set[BishopsQueens] == (set[Bishop] | set[Queen])
                        && set[RooksQueens] == (set[Rook] | set[Queen]) && set[King] == SetMask[Position.kingSquare[c]],
                    "a combined set or the king square differs from the piece sets");
        ok &= Check(material == Position.material[c], "material differs from a recount");
    }
    ok &= Check(!(Position.pieces[White][AllPieces] & Position.pieces[Black][AllPieces])
                    && Position.occupied == (Position.pieces[White][AllPieces] | Position.pieces[Black][AllPieces]), "stale occupancy");
    int weights = 0;
    for (Square s = 0; s < 64; ++s) {
        const int type = (Position.occupied & SetMask[s]) ? Position.board[s] : Empty;
        const int c = (Position.pieces[White][AllPieces] & SetMask[s]) ? White : Black;
        ok &= Check(Position.board[s] == type && (type == Empty || (Position.pieces[c][type] & SetMask[s])), "board differs");
        weights += PhaseWeight[type];
    }
    // Beyond the keys from scratch, the incremental keys carry the side key once per ply, the key of
    // an en-passant square a move has set, and the root's en-passant key, which the first ply XORs in
    uint64_t key1, key2;
    ComputeKeys(key1, key2);
    const int plies = Position.stateIndex;
    for (Square ep : {plies ? CurrentState().epSquare : 0, plies ? RootEp : 0})
        if (ep) {
            key1 ^= Zobrist1.ep[ep];
            key2 ^= Zobrist2.ep[ep];
        }
    key1 ^= (plies & 1) ? Zobrist1.side : 0;
    key2 ^= (plies & 1) ? Zobrist2.side : 0;
    // the reader sets no phase below 0; make and unmake add and take away weights
    static int rootWeights;
    rootWeights = Position.stateIndex ? rootWeights : weights;
    ok &= Check(Position.phase == std::max(0, 24 - rootWeights) + rootWeights - weights, "phase differs from a recount");
    ok &= Check(CurrentState().key1 == key1 && CurrentState().key2 == key2, "keys differ from a recount");
    ok &= Check(CurrentState().inCheck == KingAttacked(Position.sideToMove), "check flag (the move's check bit) is wrong");
    const std::string kingFault = KingFault();
    return ok && Check(kingFault.empty(), kingFault);
}

void Node(int depth) {
    if (!Consistent() || depth == 0)
        return;
    static PositionRecord held;   // the writer's FEN reads back as the same position
    std::memcpy(&held, &Position, sizeof Position);
    const std::string readBack = ReadBackFault(held, WriteFen());
    std::memcpy(&Position, &held, sizeof Position);
    Check(readBack.empty(), readBack);
    MoveList legal, captures;
    GenerateLegal(legal);
    GenerateCaptures(captures);
    std::vector<Move> expected;  // the captures of the full list, in its order
    for (int i = 1; i <= legal.count; ++i) {
        const Move m = legal.moves[i];
        if (MoveCaptured(m))
            expected.push_back(m);
        // the text reads back as the same word, but the reader leaves en passant's captured field empty
        Check(FindLegalMove(MoveToText(m)) == (MoveEpPawn(m) ? m & ~(Move(7) << 15) : m), "reading " + MoveToText(m));
    }
    Check(CurrentState().inCheck || expected == std::vector<Move>(captures.moves + 1, captures.moves + 1 + captures.count),
          "captures differ from the captures of the legal list");
    for (int i = 1; i <= legal.count && !::testing::Test::HasFailure(); ++i) {
        const Move m = legal.moves[i];
        const std::string saved = Snapshot();
        const StateRecord before = CurrentState();
        const uint64_t foreseen = Key1After(m);
        MakeMove(m);
        const StateRecord& after = CurrentState();
        Check(after.key1 == foreseen, "the key foreseen for " + MoveToText(m) + " is not the key after it");
        const bool doublePush = MovePiece(m) == Pawn && std::abs(MoveTo(m) - MoveFrom(m)) == 16;
        Check(after.epSquare == (doublePush ? (MoveFrom(m) + MoveTo(m)) / 2 : 0), "wrong en-passant square");
        Check(after.halfmoveClock == (IsReversible(m) ? before.halfmoveClock + 1 : 0), "wrong halfmove clock");
        Check(!(after.castling[0] & ~before.castling[0]) && !(after.castling[1] & ~before.castling[1]),
              "a castling right came back");
        Node(depth - 1);
        UnmakeMove();
        Check(Snapshot() == saved, "unmake of " + MoveToText(m) + " did not restore every field");
    }
    if (!CurrentState().inCheck && !::testing::Test::HasFailure()) {
        const std::string saved = Snapshot();
        MakeNullMove();
        Check(CurrentState().epSquare == 0 && CurrentState().halfmoveClock == 0 && CurrentState().move == 0, "null move");
        Consistent();
        UnmakeNullMove();
        Check(Snapshot() == saved, "null unmake did not restore every field");
    }
}

// A depth-three tree from each root given and each position of the data files
void WalkTrees(std::vector<std::string> fens, std::initializer_list<const char*> files) {
    for (const char* file : files)
        for (const DataLine& line : ReadData(file))
            if (fens.empty() || fens.back() != line.fields[0])
                fens.push_back(line.fields[0]);
    for (const std::string& fen : fens) {
        Root = fen;
        ASSERT_TRUE(Load(fen));
        RootEp = CurrentState().epSquare;
        Node(3);
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(MakeMove, EveryMoveOfDepthThreeTreesKeepsThePositionExactAndUnmakeRestoresIt) {
    WalkTrees({"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",  // en passant at the root
               "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
               "r3k2r/1P4P1/8/2pP4/8/8/1p4p1/R3K2R w KQkq c6 0 1",  // promotions both ways
               "4k3/8/8/8/4B3/8/8/4R2K w - - 0 1",                  // discovered checks
               "8/8/8/8/8/3k4/8/3K4 w - - 0 1",                      // kings in opposition
               "8/8/8/8/8/8/6k1/4K2R w K - 0 1"},                    // castling would end beside the other king
              {"perft_standard.txt", "perft_rules.txt"});
}

TEST(MakeMove, FischerRandomTreesToo) {
    Chess960Rules rules;
    WalkTrees({}, {"perft_960.txt"});
}

}  // namespace
