#include "Search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "Bitboard.h"
#include "Board.h"
#include "Console.h"
#include "Evaluation.h"
#include "Magic.h"
#include "MakeMove.h"
#include "MoveGen.h"
#include "MoveOrder.h"
#include "MoveText.h"
#include "SearchControl.h"
#include "Tablebases.h"
#include "Tables.h"
#include "Thread.h"
#include "TimeControl.h"
#include "TranspositionTable.h"

int32_t MultiPV = 1;

namespace {

constexpr int MateBound = 9900;
constexpr uint64_t NewBestQuietMs = 60;     // new-best lines wait until the search has run this long
constexpr uint64_t ProgressQuietMs = 1000;  // progress lines wait until the search has run this long

void Say(const std::string& line) {
    if (ThisThread.SearchOutput)
        WriteLine(line);
}

// Nodes per second, rounded half to even
int64_t NodeRate(uint64_t nodes, uint64_t ms) {
    return int64_t(std::nearbyint(double(nodes) / double(ms) * 1000.0));
}

// Counters only this thread writes: a plain add, no locked instruction
void CountNode(std::atomic<uint64_t>& counter) {
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

std::string HashFullLine() { return "info hashfull " + std::to_string(HashFullPermille()); }

bool IsMateScore(int score) { return score > MateBound || score < -MateBound; }

}  // namespace

// ---------------------------------------------------------------------------
// Draws by rule
// ---------------------------------------------------------------------------

int RepetitionCount(int limit) {
    const StateRecord& current = CurrentState();
    const int reversible = current.halfmoveClock;
    if (reversible < 4)
        return 0;
    int count = 0;
    for (int j = 1; j <= reversible && j <= Position.stateIndex; ++j)
        if (Position.states[Position.stateIndex - j].key1 == current.key1 && ++count == limit)
            return count;
    return count;
}

// ---------------------------------------------------------------------------
// Quiescence search and the guards shared with the full-width search
// ---------------------------------------------------------------------------

bool CanWin() {
    const int side = Position.sideToMove;
    return Position.pieces[side][Pawn] != 0 || Position.material[side] >= PieceValue[Rook];
}

bool IsCheckmated() {
    if (!CurrentState().inCheck)
        return false;
    MoveList list;
    GenerateLegal(list);
    return list.count == 0;
}

int MateDistancePrune(int& alpha, int& beta, int ply) {
    int lower = ply - (MateValue - 2);
    if (alpha < lower && IsCheckmated())
        lower = ply - MateValue;
    if (alpha < lower) {
        alpha = lower;
        if (lower >= beta)
            return lower;
    }
    int upper = MateValue - 1 - ply;
    if (upper < beta) {
        beta = upper;
        if (upper <= alpha)
            return upper;
    }
    return 0;
}

namespace {

// A side without pawns and with less than a rook's worth of pieces can at best draw.
// Returns true when the node is worth 0 at once; otherwise may lower beta to 0.
bool CannotWinCap(int alpha, int& beta) {
    if (beta > 0 && !CanWin()) {
        if (alpha >= 0)
            return true;
        beta = 0;
    }
    return false;
}

int Ply() { return Position.plyCounter - ThisThread.RootPly; }

}  // namespace

int Quiescence(int alpha, int beta, int qdepth) {
    // Step 1. Count the node for the clock; a node limit is watched here too
    ++ThisThread.PollCounter;
    CheckNodeLimit();
    if (Session().StopSearch)
        return alpha;

    // Step 2. The cannot-win cap
    if (CannotWinCap(alpha, beta))
        return 0;

    // Step 3. Mate-distance pruning
    const int ply = Ply();
    if (int r = MateDistancePrune(alpha, beta, ply); r != 0)
        return r;

    // Step 4. The ply limit
    if (ply >= MaxPly)
        return Evaluate();

    MoveList list;
    const bool inCheck = CurrentState().inCheck;
    if (inCheck) {
        // Step 5. In check every evasion is searched
        GenerateLegal(list);
        if (list.count == 0)
            return ply - MateValue;
    } else {
        // Step 6. Stand pat, then captures (and quiet checks on the first ply)
        const int stand = Evaluate();
        if (stand > alpha) {
            if (stand >= beta)
                return beta;
            alpha = stand;
        }
        if (qdepth < 0) {
            GenerateCaptures(list);
            if (list.count == 0)
                return alpha;
        } else {
            GenerateLegal(list);
            if (list.count == 0)
                return 0;
        }
    }

    // Step 7. Order
    // The table move is that of the last probe on this thread, made at an
    // earlier full-width node (or the root): quiescence itself never probes,
    // and the move orders its captures all the same
    ScoreQuiescenceMoves(list, ThisThread.LastProbeMove);

    // Step 8. Search the moves worth trying
    for (int i = 1; i <= list.count; ++i) {
        CountNode(ThisThread.QuiescenceNodeCount);
        const Move m = PickNextMove(list, i);
        if (!inCheck && list.scores[i] == LosingMove)
            return alpha;
        MakeMove(m);
        const int v = -Quiescence(-beta, -alpha, qdepth - 1);
        UnmakeMove();
        if (Session().StopSearch)   // the caller drops the value
            return alpha;
        if (v > alpha) {
            if (v >= beta)
                return beta;
            alpha = v;
        }
    }

    // Step 9. No capture beat the stand-pat value (or the best so far)
    return alpha;
}

// ---------------------------------------------------------------------------
// Alpha-beta search
// ---------------------------------------------------------------------------

bool IsPawnToSeventh(Move m) {
    const int rank = RankOf(MoveTo(m));
    return MovePiece(m) == Pawn && (rank == 1 || rank == 6);
}

bool IsRecapture(Move m, int score) {
    if (score <= 0)
        return false;
    const Move previous = CurrentState().move;
    if (MoveTo(m) != MoveTo(previous))
        return false;
    const int taken = MoveCaptured(m), takenBefore = MoveCaptured(previous);
    if (takenBefore == 0)
        return false;
    auto kind = [](int type) { return type == Bishop ? Knight : type; };
    return kind(taken) == kind(takenBefore);
}

bool IsPassedPawnPush(Move m) {
    const int side = Position.sideToMove;
    return MovePiece(m) == Pawn && !(PassedMask[side][MoveTo(m)] & Position.pieces[side ^ 1][Pawn]);
}

namespace {

// Futility margins exist for remaining depths 1 to 13 and move numbers 0 to 63;
// deeper nodes never prune
constexpr int FutilityDepthLimit = 14;
constexpr int LastFutilityColumn = 63;
constexpr int NeverPrunes = 60002;

}  // namespace

int FutilityMarginFor(int depth, int moveNumber) {
    if (depth >= FutilityDepthLimit)
        return NeverPrunes;
    return FutilityMargin[std::max(depth, 1)][std::min(moveNumber, LastFutilityColumn)];
}

namespace {

// History counters are halved as a whole once one of them passes this
constexpr int HistoryLimit = 4000;

void RewardHistory(Move m, int side, int bonus) {
    int32_t& entry = ThisThread.HistoryTable[MovePiece(m) | side << 3][MoveTo(m)];
    entry += bonus;
    if (entry > HistoryLimit)
        for (auto& row : ThisThread.HistoryTable)
            for (auto& counter : row)
                counter /= 2;
}

// How the full-width search treats a move
struct MoveKind {
    bool extend;     // searched one ply deeper: a check, a pawn to the seventh, a recapture
    bool tactical;   // never pruned or reduced: the above, captures and passed-pawn pushes
    bool late;       // ordered by history or a losing capture
};

MoveKind ClassifyMove(Move m, int orderScore) {
    MoveKind kind;
    kind.extend = MoveGivesCheck(m) || IsPawnToSeventh(m) || IsRecapture(m, orderScore);
    kind.tactical = kind.extend || MoveCaptured(m) != 0 || IsPassedPawnPush(m);
    kind.late = orderScore <= LateMoveScore;
    return kind;
}

// The static value of a node, computed once and only if a move asks for it
struct LazyEval {
    bool computed = false;
    int value = 0;
    int Get() {
        if (!computed) {
            value = Evaluate();
            computed = true;
        }
        return value;
    }
};

// Futility: a quiet late move of a node off the principal variation that cannot
// lift the static value to alpha is not searched
bool FutilityPrunes(const MoveKind& kind, int moveNumber, int depth, int alpha, bool inCheck, bool pvNode,
                    LazyEval& staticEval) {
    if (inCheck || kind.tactical || pvNode || moveNumber == 1 || alpha >= MateBound || !kind.late)
        return false;
    return FutilityMarginFor(depth, moveNumber) + staticEval.Get() <= alpha;
}

// Late-move reduction: a quiet late move searched after the first three is searched
// this much shallower first; one that still fails high is searched again deeper
constexpr int FirstReducedMove = 4;
constexpr int MinReductionDepth = 3;
constexpr int LateMoveReduction = 2;

// The child's remaining depth: one more for an extended move, two less for a reduced one
int ChildDepth(const MoveKind& kind, int moveNumber, int depth, bool inCheck, bool pvNode, bool& reduced) {
    reduced = false;
    if (kind.extend)
        return depth;
    if (moveNumber >= FirstReducedMove && depth >= MinReductionDepth && !inCheck && !pvNode && !kind.tactical
        && kind.late) {
        reduced = true;
        return depth - 1 - LateMoveReduction;
    }
    return depth - 1;
}

// A quiet move that refutes a node becomes the newer killer of its ply
void RememberKiller(Move m, int ply) {
    if (m != ThisThread.KillerMoves[ply][0]) {
        ThisThread.KillerMoves[ply][1] = ThisThread.KillerMoves[ply][0];
        ThisThread.KillerMoves[ply][0] = m;
    }
}

// The null move's reduction: the opponent's free move is searched this much shallower
constexpr int NullMoveReduction = 3;

}  // namespace

int SearchChild(int alpha, int beta, int newDepth, bool pvNode, bool fullWindow, bool atRoot) {
    if (fullWindow)
        return -AlphaBeta(-beta, -alpha, newDepth, pvNode);
    int v = -AlphaBeta(-alpha - 1, -alpha, newDepth, false);
    if (v > alpha && v < beta) {
        if (atRoot)
            ThisThread.RootResearch = true;
        v = -AlphaBeta(-beta, -alpha, newDepth, true);
    }
    return v;
}

bool NullMoveSearch(int beta, int depth, bool pvNode) {
    const StateRecord& state = CurrentState();
    if (pvNode || state.move == 0 || state.inCheck || depth < NullMoveReduction || beta < -MateBound
        || beta > MateBound || Position.material[Position.sideToMove] <= PieceValue[Bishop] || Evaluate() < beta)
        return false;
    const uint64_t key1 = state.key1, key2 = state.key2;
    MakeNullMove();
    const int v = -AlphaBeta(-beta, -beta + 1, depth - NullMoveReduction, false);
    UnmakeNullMove();
    if (Session().StopSearch)
        return false;
    if (v >= beta) {
        StoreHash(depth - NullMoveReduction, beta, BoundLower, key1, key2, ThisThread.RootPly, 0);
        return true;
    }
    return false;
}

Move InternalDeepening(int alpha, int beta, int depth) {
    const int v = AlphaBeta(alpha, beta, depth, true);
    if (v <= alpha)
        AlphaBeta(-WindowBound, beta, depth, true);
    return HashBestMove(CurrentState().key1, CurrentState().key2);
}

namespace {

// What the move loop of a full-width node works with
struct Node {
    int alpha;
    int beta;
    int depth;          // after the single-reply extension
    int ply;
    bool pvNode;
    bool inCheck;
    uint64_t key1;
    uint64_t key2;
    Move hashMove;      // the move searched first, then the best so far
};

// Steps 15 to 17: the moves of a node, best ordered first, and the table store
int SearchNodeMoves(Node& node, MoveList& list) {
    // Step 15. Order
    ScoreMoves(node.hashMove, node.ply, list);
    const int entryAlpha = node.alpha;
    const int side = Position.sideToMove;
    int best = -WindowBound;
    LazyEval staticEval;
    // Slots up to picked hold their moves in search order already
    int picked = 0;
    auto pick = [&](int slot) {
        if (picked < slot) {
            PickNextMove(list, slot);
            picked = slot;
        }
        return list.moves[slot];
    };

    // Step 16. The moves
    for (int i = 1; i <= list.count; ++i) {
        // Step 16.1. Every move taken counts, pruned ones too
        CountNode(ThisThread.NodeCount);
        const Move m = pick(i);

        // Steps 16.2 to 16.4. Extended, tactical, late
        const MoveKind kind = ClassifyMove(m, list.scores[i]);

        // Step 16.5. Futility pruning
        if (FutilityPrunes(kind, i, node.depth, node.alpha, node.inCheck, node.pvNode, staticEval))
            continue;

        // The next move is known already: its child's slot loads while this move is searched
        if (i < list.count)
            PrefetchSlot(Key1After(pick(i + 1)));

        // Steps 16.6 and 16.7. The child's depth: extended, reduced or one less
        MakeMove(m);
        bool reduced;
        const int newDepth = ChildDepth(kind, i, node.depth, node.inCheck, node.pvNode, reduced);

        // Step 16.8. Principal-variation search
        int v = SearchChild(node.alpha, node.beta, newDepth, node.pvNode, !node.pvNode || best == -WindowBound, false);

        // Step 16.9. A reduced move that fails high is searched again, deeper
        if (reduced && v >= node.beta && !Session().StopSearch)
            v = -AlphaBeta(-node.beta, -node.alpha, newDepth + LateMoveReduction, node.pvNode);

        // Step 16.10. Take the move back; a stop leaves the value unused
        UnmakeMove();
        if (Session().StopSearch)
            return NoValue;

        // Step 16.11. Cut-off: a quiet refutation becomes a killer, and the table keeps it
        if (v >= node.beta) {
            if (!node.inCheck && !kind.tactical)
                RememberKiller(m, node.ply);
            StoreHash(node.depth, node.beta, BoundLower, node.key1, node.key2, ThisThread.RootPly, m);
            return node.beta;
        }

        // Step 16.12. A new best move earns history
        if (v > best) {
            best = v;
            node.hashMove = m;
            RewardHistory(m, side, node.depth * node.depth);
            if (v > node.alpha)
                node.alpha = v;
        }
    }

    // Step 17. Store the result: exact when a move raised alpha, else an upper bound
    const int bound = node.alpha <= entryAlpha ? BoundUpper : BoundExact;
    StoreHash(node.depth, node.alpha, bound, node.key1, node.key2, ThisThread.RootPly, node.hashMove);
    return node.alpha;
}

// A win or loss is a bound (the search may find a faster one), a draw is exact.
// The result is stored like any other, deeper than the node: no search below
// would change it.
int EndgameTableCutoff(int alpha, int beta, int depth, int ply, uint64_t key1, uint64_t key2) {
    TableResult result;
    if (!ProbeTablesInSearch(depth, result))
        return NoValue;
    const int value = TableScore(result, ply);
    const int bound = value >= TableWinBound ? BoundLower : value <= -TableWinBound ? BoundUpper : BoundExact;
    const bool cuts = bound == BoundExact || (bound == BoundLower ? value >= beta : value <= alpha);
    if (!cuts)
        return NoValue;
    StoreHash(std::min(std::max(depth, 0) + 6, MaxPly), value, bound, key1, key2, ThisThread.RootPly, 0);
    return bound == BoundLower ? beta : bound == BoundUpper ? alpha : value;
}

}  // namespace

int AlphaBeta(int alpha, int beta, int depth, bool pvNode) {
    // Step 1. Node set-up
    const int ply = Ply();

    // Step 2. The clock, and a stop request
    PollClock();
    if (Session().StopSearch)
        return NoValue;

    // Step 3. Keys of the position, for the table
    const uint64_t key1 = CurrentState().key1, key2 = CurrentState().key2;

    // Step 4. Draws by rule: fifty moves, or a repetition (two earlier ones right above a leaf)
    if (CurrentState().halfmoveClock >= 100)
        return 0;
    const int need = depth == 1 ? 2 : 1;
    if (RepetitionCount(need) >= need)
        return 0;

    // Step 5. The cannot-win cap
    if (CannotWinCap(alpha, beta))
        return 0;

    // Step 6. Mate-distance pruning
    if (int r = MateDistancePrune(alpha, beta, ply); r != 0)
        return r;

    // Step 7. Table probe: cut-offs only off the principal variation
    const HashProbe probe = ProbeHash(depth, alpha, beta, key1, key2);
    ThisThread.LastProbeMove = probe.move;   // the quiescence searches below order by it
    bool skipNull = false;
    if (probe.value == ValueSkipNull)
        skipNull = true;
    else if (probe.value != NoValue && !pvNode)
        return probe.value;

    // Step 7b. Endgame tables: a result they prove ends the node where its bound allows
    if (TableProbeLimit() > 0)
        if (const int r = EndgameTableCutoff(alpha, beta, depth, ply, key1, key2); r != NoValue)
            return r;

    // Step 8. The table move, searched first
    Move hashMove = probe.move;

    // Step 9. Depth used up: the quiescence search settles the captures
    if (depth <= 0 || ply >= MaxPly)
        return Quiescence(alpha, beta, 0);

    // Step 10. Null move: give the opponent a free move; if we still beat beta, cut
    if (!skipNull && NullMoveSearch(beta, depth, pvNode))
        return beta;

    // Step 11. A stop seen during the null move ends the node
    if (Session().StopSearch)
        return NoValue;

    // Step 12. Moves; none means mate or stalemate
    const bool inCheck = CurrentState().inCheck;
    MoveList list;
    GenerateLegal(list);
    if (list.count == 0)
        return inCheck ? ply - MateValue : 0;

    // Step 13. A single reply is searched one ply deeper, and stored at that depth
    const int nodeDepth = list.count == 1 ? depth + 1 : depth;
    if (list.count == 1)
        hashMove = list.moves[1];

    // Step 14. Internal deepening finds a first move for a PV node without one
    if (nodeDepth >= 3 && pvNode && hashMove == 0) {
        hashMove = InternalDeepening(alpha, beta, nodeDepth - 2);
        if (Session().StopSearch)
            return NoValue;
    }

    Node node{alpha, beta, nodeDepth, ply, pvNode, inCheck, key1, key2, hashMove};
    return SearchNodeMoves(node, list);
}

// ---------------------------------------------------------------------------
// Root search and iterative deepening
// ---------------------------------------------------------------------------

bool IsPlausibleMove(Move m) {
    const int from = MoveFrom(m), to = MoveTo(m), piece = MovePiece(m);
    const int side = Position.sideToMove;
    if (!(Position.pieces[side][AllPieces] & SetMask[from]) || from == to || Position.board[from] != piece)
        return false;
    if (MoveCaptured(m) != 0) {
        int victimSquare = to;
        if (piece == Pawn && MoveEpPawn(m) != 0)
            victimSquare = side == White ? to - 8 : to + 8;
        if (Position.board[victimSquare] != MoveCaptured(m))
            return false;
    }
    return true;
}

Move LegalCounterpart(Move m) {
    if (!IsPlausibleMove(m))
        return 0;
    MoveList list;
    GenerateLegal(list);
    for (int i = 1; i <= list.count; ++i) {
        const Move legal = list.moves[i];
        if (SameMoveText(legal, m))
            return legal;
    }
    return 0;
}

void CollectPrincipalVariation(int depth, Move first, int score) {
    // Step 1. Length: the depth, or the plies to mate
    int length = depth;
    if (IsMateScore(score))
        length = score > 0 ? MateValue - score : score + MateValue;
    length = std::min(length, MaxSearchPlies);

    // Step 2. The root move, already on the board
    ThisThread.PrincipalVariation[1] = first;

    // Step 3. Follow the table while its moves are legal here
    int made = 0;
    for (int n = 2; n <= length; ++n) {
        const Move m = LegalCounterpart(HashSlotMove(CurrentState().key1));
        if (m == 0) {
            length = n - 1;
            break;
        }
        ThisThread.PrincipalVariation[n] = m;
        MakeMove(m);
        ++made;
    }

    // Step 4. Take the line back; nothing beyond it is shown
    while (made-- > 0)
        UnmakeMove();
    for (int n = length + 1; n <= MaxSearchPlies; ++n)
        ThisThread.PrincipalVariation[n] = 0;
    ThisThread.PrincipalVariationLength = length;
}

namespace {

// Every legal move, or those of "searchmoves"
void BuildCandidateRootList(MoveList& list) {
    list.count = 0;
    const SearchLimits& limits = Session().Limits;
    if (limits.SearchMovesActive)
        AppendSearchMoves(limits.SearchMoves, list);
    else
        GenerateLegal(list);
}

// The candidates, less those the endgame tables rank below the best
void BuildRootList(MoveList& list) {
    BuildCandidateRootList(list);
    const Move* kept = ThisThread.TableRootMoves;
    const int keptCount = ThisThread.TableRootMoveCount;
    if (keptCount == 0)
        return;
    int count = 0;
    for (int i = 1; i <= list.count; ++i)
        if (std::find(kept, kept + keptCount, list.moves[i]) != kept + keptCount)
            list.moves[++count] = list.moves[i];
    list.count = count;
}

std::string StatisticsText(uint64_t elapsed) {
    const uint64_t nodes = SearchedNodes();
    std::string text = " time " + std::to_string(elapsed) + " nodes " + std::to_string(nodes) + " nps "
                     + std::to_string(NodeRate(nodes, elapsed));
    if (TablebasePieces() > 0)   // only while tables are loaded
        text += " tbhits " + std::to_string(SearchedTableHits());
    return text;
}

// The statistics of a result line: nothing in the first millisecond
std::string ResultStatistics() {
    const uint64_t elapsed = Session().LastElapsed;
    return elapsed > 0 ? StatisticsText(elapsed) : std::string();
}

// A root the endgame tables hold shows what they say of it, unless the search proves a mate
int ShownScore(int score) {
    return ThisThread.TableRootMoveCount > 0 && !IsMateScore(score) ? ThisThread.TableRootScore : score;
}

// A root score and its line: "info depth D [multipv i] score ... [statistics] pv m1 m2 ... "
std::string ResultLine(int depth, int multipv, int score, const std::string& statistics, const Move* line,
                       int length) {
    std::string text = "info depth " + std::to_string(depth);
    if (multipv > 0)
        text += " multipv " + std::to_string(multipv);
    text += ScoreText(ShownScore(score)) + statistics + " pv ";
    for (int n = 0; n < length; ++n)
        text += MoveToText(line[n]) + " ";
    return text;
}

void ShowResult(int depth, int multipv, int score, const std::string& statistics, const Move* line, int length) {
    Say(ResultLine(depth, multipv, score, statistics, line, length));
    if (multipv <= 1 && ThisThread.SearchOutput)
        Session().LastShownBest = {line[0], depth, score};
}

// A draw already on the board is not searched
bool RootDrawnByRule() { return CurrentState().halfmoveClock >= 100 || RepetitionCount(3) > 2; }

void PlayTableMoveForDrawnRoot(int depth) {
    SearchSession& session = Session();
    session.BestLine[0] = HashSlotMove(CurrentState().key1);
    session.AnswerDepth = depth;
    session.AnswerScore = 0;
}

// The root list in search order: by exchange and history first, by subtree size later
void PrepareRootList(MoveList& list, int depth) {
    const Move tableMove = HashBestMove(CurrentState().key1, CurrentState().key2);
    ThisThread.LastProbeMove = tableMove;   // quiescence's ordering reads it
    BuildRootList(list);
    if (depth < 5)
        ScoreMoves(tableMove, 0, list);
    else
        ScoreRootMoves(tableMove, list);
}

// Progress lines once the search has run a while
void ReportCurrentMove(Move m, int i, int depth) {
    if (Session().LastElapsed > ProgressQuietMs) {
        Say("info currmove " + MoveToText(m) + " currmovenumber " + std::to_string(i));
        if (i % 4 == 0 && depth > 5)
            Say(HashFullLine());
    }
}

// Every fourth root move of a long search
void ReportStatistics(int i, int depth, int count) {
    if (i % 4 == 0 && depth > 5 && i != count) {
        const uint64_t elapsed = ElapsedMs();
        Session().LastElapsed = elapsed;
        if (elapsed > ProgressQuietMs)
            Say("info" + StatisticsText(elapsed));
    }
}

// A checking move or a pawn to the seventh is searched one ply deeper
int RootChildDepth(Move m, int depth) { return MoveGivesCheck(m) || IsPawnToSeventh(m) ? depth : depth - 1; }

// The nodes below a root move are credited to the slot it was taken from; the
// first move of an iteration gets every node searched before it
void CreditRootNodes(int slot, uint64_t& nodesBefore) {
    ThisThread.FirstRootMoveDone = true;
    ThisThread.RootNodes[slot] += ThreadNodes() - nodesBefore;
    nodesBefore = ThreadNodes();
}

void RewardRootMove(Move m, int side) { ThisThread.HistoryTable[MovePiece(m) | side << 3][MoveTo(m)] += 1; }

// Mated or stalemated at the root
int ScoreWithoutMoves() { return CurrentState().inCheck ? -MateValue : 0; }

// Keeps the lines sorted by score; a line scored like an earlier one goes after it
void InsertRootLine(int score) {
    SearchSession& session = Session();
    RootLine* lines = session.RootLines;
    int at = session.RootLineCount++;
    while (at > 0 && lines[at - 1].score < score) {
        lines[at] = lines[at - 1];
        --at;
    }
    lines[at].score = score;
    lines[at].length = std::min(ThisThread.PrincipalVariationLength, MaxSearchPlies);
    const Move* line = ThisThread.PrincipalVariation + 1;
    std::copy(line, line + lines[at].length, lines[at].pv);
}

// The line to beat to enter the best lines: any score until there are enough of them
int LowestShownScore(int lines) {
    const SearchSession& session = Session();
    return session.RootLineCount < lines ? -WindowBound : session.RootLines[lines - 1].score;
}

void ReportRootLines(int depth, int lines) {
    SearchSession& session = Session();
    session.LastElapsed = ElapsedMs();
    const std::string statistics = ResultStatistics();
    for (int j = 0; j < std::min(lines, session.RootLineCount); ++j)
        ShowResult(depth, j + 1, session.RootLines[j].score, statistics, session.RootLines[j].pv,
                   std::min(session.RootLines[j].length, depth));
}

}  // namespace

std::string ScoreText(int score) {
    if (IsMateScore(score)) {
        const double moves = score > 0 ? std::nearbyint((MateValue - score) / 2.0 + 0.5)
                                        : std::nearbyint((-MateValue - score) / 2.0);
        return " score mate " + std::to_string(int(moves));
    }
    return " score cp " + std::to_string(CentipawnsOf(score));
}

namespace {

// Step 6: the root's moves, shared by the one-line and the several-line search.
// `window(i)` gives the alpha that move i is searched against and whether with the
// full window from the start; `better(m, v)` takes a move whose value beat that
// alpha, while the move is still on the board. Returns whether a move was taken.
template <typename Window, typename Better>
bool SearchRootMoves(int depth, int beta, MoveList& list, Window window, Better better) {
    uint64_t nodesBefore = 0;
    bool moveTaken = false;
    for (int i = 1; i <= list.count; ++i) {
        // Step 6.1. A stop ends the iteration between moves
        ++ThisThread.RootMoveCount;
        if (Session().StopSearch)
            break;

        // Step 6.2. The next move by order score
        CountNode(ThisThread.NodeCount);
        int slot;
        const Move m = PickNextRootMove(list, i, slot);

        // Step 6.3. Progress lines once the search has run a while
        ReportCurrentMove(m, i, depth);

        // Steps 6.4 and 6.5. Principal-variation search of the move
        moveTaken = true;
        MakeMove(m);
        const auto [alpha, fullWindow] = window(i);
        const int v = SearchChild(alpha, beta, RootChildDepth(m, depth), true, fullWindow, true);

        // Step 6.6. Credit the nodes to the slot the move was taken from
        CreditRootNodes(slot, nodesBefore);

        // Step 6.7. Periodic statistics
        ReportStatistics(i, depth, list.count);

        // Step 6.8. A move that beats alpha
        if (!Session().StopSearch && v > alpha)
            better(m, v);

        // Step 6.9. Take the move back and look at the clock
        ThisThread.RootResearch = false;
        UnmakeMove();
        RootClockCheck();
        if (Session().StopSearch)
            break;
    }
    return moveTaken;
}

// Steps 1 to 5, shared: a fresh iteration, and its move list unless the board is a draw
bool PrepareRootSearch(int depth, MoveList& list) {
    ThisThread.RootResearch = false;
    ThisThread.RootMoveCount = 0;
    ThisThread.RootBestMove = 0;
    if (RootDrawnByRule()) {
        PlayTableMoveForDrawnRoot(depth);
        return false;
    }
    PrepareRootList(list, depth);
    return true;
}

}  // namespace

int RootSearch(int depth, int alpha, int beta) {
    // Steps 1 to 5. A fresh iteration; a draw already on the board is not searched
    const uint64_t key1 = CurrentState().key1, key2 = CurrentState().key2;
    const int side = Position.sideToMove;
    MoveList list;
    if (!PrepareRootSearch(depth, list))
        return 0;

    // Step 6. The moves, each new best shown once the search has run 60 ms
    int bound = BoundUpper;
    std::string statistics;
    const bool moveTaken = SearchRootMoves(
        depth, beta, list, [&](int i) { return std::pair{alpha, i == 1}; },
        [&](Move m, int v) {
            alpha = v;
            bound = BoundExact;
            RewardRootMove(m, side);   // the move is still on the board: the row is the root side's
            ThisThread.NewBestFound = true;
            ThisThread.RootBestMove = m;
            ThisThread.RootBestScore = v;
            CollectPrincipalVariation(depth, m, v);
            const uint64_t elapsed = ElapsedMs();
            Session().LastElapsed = elapsed;
            if (elapsed > 0)
                statistics = StatisticsText(elapsed);
            if (elapsed > NewBestQuietMs)
                ShowResult(depth, 0, alpha, statistics, ThisThread.PrincipalVariation + 1,
                           std::min(ThisThread.PrincipalVariationLength, depth));
        });

    // Step 7. No move at all: mated or stalemated at the root
    if (!moveTaken)
        alpha = ScoreWithoutMoves();

    // Step 8. A finished iteration is stored and counts as completed
    if (!Session().StopSearch) {
        StoreHash(depth, alpha, bound, key1, key2, ThisThread.RootPly, ThisThread.RootBestMove);
        ThisThread.LastCompletedDepth = depth;
        return alpha;
    }

    // Step 9. A stopped iteration counts only once it has searched more than one move
    return ThisThread.RootMoveCount > 1 ? alpha : NoResult;
}

int RootSearchLines(int depth, int lines) {
    const uint64_t key1 = CurrentState().key1, key2 = CurrentState().key2;
    const int side = Position.sideToMove;
    SearchSession& session = Session();
    session.RootLineCount = 0;
    MoveList list;
    if (!PrepareRootSearch(depth, list))
        return 0;

    // Every move is searched against the weakest of the best lines so far, so
    // that each of the best lines gets an exact score
    const bool moveTaken = SearchRootMoves(
        depth, WindowBound, list,
        [&](int) { return std::pair{LowestShownScore(lines), session.RootLineCount < lines}; },
        [&](Move m, int v) {
            if (session.RootLineCount == 0 || v > session.RootLines[0].score) {
                RewardRootMove(m, side);
                ThisThread.RootBestMove = m;
                ThisThread.RootBestScore = v;
            }
            CollectPrincipalVariation(depth, m, v);
            InsertRootLine(v);
        });

    // Lines of an unfinished iteration would not all be exact: it is dropped
    if (session.StopSearch)
        return NoResult;
    ThisThread.LastCompletedDepth = depth;
    if (!moveTaken) {
        StoreHash(depth, ScoreWithoutMoves(), BoundUpper, key1, key2, ThisThread.RootPly, 0);
        return ScoreWithoutMoves();
    }
    const RootLine& best = session.RootLines[0];
    StoreHash(depth, best.score, BoundExact, key1, key2, ThisThread.RootPly, ThisThread.RootBestMove);
    std::copy(best.pv, best.pv + best.length, ThisThread.PrincipalVariation + 1);
    std::fill(ThisThread.PrincipalVariation + 1 + best.length, std::end(ThisThread.PrincipalVariation), Move(0));
    ThisThread.PrincipalVariationLength = best.length;
    ThisThread.NewBestFound = true;
    ReportRootLines(depth, std::min(lines, MultiPV));   // a level may search more lines than it shows
    // The lines of the last completed iteration are what the search returns
    session.CompletedLineCount = std::min(lines, session.RootLineCount);
    std::copy(session.RootLines, session.RootLines + session.CompletedLineCount, session.CompletedLines);
    return best.score;
}

namespace {

// The move the answer names, and the iteration, score and line it comes from
struct Answer {
    Move move;
    int depth;
    int score;
    int length;
    Move line[MaxSearchPlies + 1];
};

// The moves of line that are legal one after the other from the current position
int LegalPrefix(const Move* line, int length, Move* legal) {
    int made = 0;
    while (made < length) {
        const Move m = LegalCounterpart(line[made]);
        if (m == 0)
            break;
        legal[made++] = m;
        MakeMove(m);
    }
    for (int n = 0; n < made; ++n)
        UnmakeMove();
    return made;
}

// Without a line from the search: the table's move for this position, else the
// first root move, scored by a look one ply ahead
Answer FallbackAnswer() {
    MoveList root;
    BuildRootList(root);
    if (root.count == 0)
        GenerateLegal(root);
    Answer answer{};
    answer.move = root.moves[1];
    const Move tableMove = LegalCounterpart(HashBestMove(CurrentState().key1, CurrentState().key2));
    for (int i = 1; i <= root.count; ++i)
        if (tableMove != 0 && SameMoveText(root.moves[i], tableMove))
            answer.move = tableMove;
    answer.depth = std::max(Session().AnswerDepth, 1);
    if (!RootDrawnByRule()) {
        MakeMove(answer.move);
        answer.score = -Evaluate();
        UnmakeMove();
    }
    answer.length = 1;
    answer.line[0] = answer.move;
    return answer;
}

// The answer for a root that has legal moves
Answer ChooseAnswer() {
    const SearchSession& session = Session();
    const Move best = LegalCounterpart(session.BestLine[0]);
    if (best == 0)
        return FallbackAnswer();
    Answer answer{};
    answer.move = best;
    answer.depth = session.AnswerDepth;
    answer.score = session.AnswerScore;
    answer.length = LegalPrefix(session.BestLine, std::max(session.AnswerDepth, 1), answer.line);
    return answer;
}

std::string BestMoveLineFor(const Answer& answer) {
    std::string line = "bestmove " + MoveToText(answer.move);
    MakeMove(answer.move);
    const Move* bestLine = Session().BestLine;
    if (const Move reply = LegalCounterpart(bestLine[1]); reply != 0 && SameMoveText(answer.move, bestLine[0]))
        line += " ponder " + MoveToText(reply);
    UnmakeMove();
    return line;
}

// Every answer comes with its score: a result line unless the last one written already showed it
std::string AnswerScoreLine(const Answer& answer) {
    const ShownResult& last = Session().LastShownBest;
    const bool shown = last.depth == answer.depth && last.score == answer.score && SameMoveText(last.move, answer.move);
    if (shown || !ThisThread.SearchOutput)
        return {};
    return ResultLine(answer.depth, MultiPV > 1 ? 1 : 0, answer.score, ResultStatistics(), answer.line,
                      answer.length);
}

}  // namespace

std::string BestMoveLine(SearchSession& session) {
    ThisThread.Session = &session;
    MoveList legal;
    GenerateLegal(legal);
    if (legal.count == 0)
        return "bestmove 0000";
    return BestMoveLineFor(ChooseAnswer());
}

namespace {

// A mate in the asked number of moves or fewer has been proven for the side to move
bool MateFound(int score) {
    const int32_t mateLimit = Session().Limits.MateLimit;
    return mateLimit != 0 && score >= MateValue - (2 * mateLimit - 1);
}

// The root moves of the best rank, when the endgame tables hold the root
void RankRootByTables() {
    ThisThread.TableRootMoveCount = 0;
    if (TablebasePieces() == 0)
        return;
    MoveList candidates;
    BuildCandidateRootList(candidates);
    const TableRootRanking ranking = RankRootMoves(RepetitionCount(1) > 0, candidates);
    std::copy(ranking.bestMoves.begin(), ranking.bestMoves.end(), ThisThread.TableRootMoves);
    ThisThread.TableRootMoveCount = int(ranking.bestMoves.size());
    ThisThread.TableRootScore = ranking.score;
}

// Steps 2 to 4: fresh ordering tables, king danger from this root, counters
void PrepareSearchTables() {
    std::memset(ThisThread.KillerMoves, 0, sizeof ThisThread.KillerMoves);
    std::memset(ThisThread.HistoryTable, 0, sizeof ThisThread.HistoryTable);
    std::memset(ThisThread.RootNodes, 0, sizeof ThisThread.RootNodes);
    InitKingDangerTable(Position.sideToMove);
    ThisThread.NodeCount = 0;
    ThisThread.QuiescenceNodeCount = 0;
    ThisThread.TableHits = 0;
    ThisThread.RootPly = Position.plyCounter;
    RankRootByTables();
}

// The last iteration: the depth limit, or the plies a mate in the asked moves takes
int LastIterationDepth() {
    const SearchLimits& limits = Session().Limits;
    int lastDepth = std::min<int>(limits.DepthLimit, MaxSearchPlies);
    if (limits.MateLimit != 0)
        lastDepth = std::min(lastDepth, std::max(2, 2 * limits.MateLimit - 1));
    return lastDepth;
}

// Step 5: iterations from depth 2 with the full window, until a limit or a stop
void RunIterations(SearchSession& session) {
    const int lastDepth = LastIterationDepth();
    for (;;) {
        // Step 5.1. Announce the iteration
        ThisThread.FirstRootMoveDone = false;
        ++ThisThread.IterationDepth;
        session.MainPastFirstIteration = ThisThread.IterationDepth > 2;
        Say("info depth " + std::to_string(ThisThread.IterationDepth));
        ThisThread.NewBestFound = false;

        // Step 5.2. Search the root; a level keeps lines of its own to choose among
        const int lines = SearchedLines(session.Limits, MultiPV);
        const int score = lines > 1 ? RootSearchLines(ThisThread.IterationDepth, lines)
                                    : RootSearch(ThisThread.IterationDepth, -WindowBound, WindowBound);

        // Step 5.3. An iteration stopped during its first move is discarded
        if (session.StopSearch && score == NoResult)
            return;
        const bool completed = !session.StopSearch;

        // Step 5.4. The iteration's line becomes the answer
        if (ThisThread.NewBestFound) {
            for (int j = 0; j < ThisThread.IterationDepth; ++j)
                session.BestLine[j] = ThisThread.PrincipalVariation[j + 1];
            session.BestLine[ThisThread.IterationDepth] = 0;
            session.AnswerDepth = ThisThread.IterationDepth;
            session.AnswerScore = ThisThread.RootBestScore;
        }

        // Step 5.5. A single root move needs no long thought
        if (ThisThread.RootMoveCount == 1 && ThisThread.IterationDepth > 4 && !session.NoTimeLimit
            && !session.Pondering && session.Limits.MateLimit == 0)
            session.StopSearch = true;

        // A root the endgame tables hold needs no long thought either: they chose its moves
        if (ThisThread.TableRootMoveCount > 0 && !session.NoTimeLimit && !session.Pondering
            && session.Limits.MateLimit == 0)
            session.StopSearch = true;

        // Step 5.6. The end-of-iteration clock check; a mate search ends once its mate is proven
        IterationClockCheck();
        if (completed && MateFound(score))
            session.StopSearch = true;

        // Step 5.7. The depth limit
        if (ThisThread.IterationDepth >= lastDepth || session.StopSearch)
            return;
    }
}

}  // namespace

void IterativeDeepening(SearchSession& session) {
    ThisThread.Session = &session;

    // Step 1. Time budget
    ComputeTimeBudget(session);
    AnnounceTimeBudget(session);
    session.LastShownBest = {};
    session.AnswerDepth = session.AnswerScore = 0;
    std::fill(std::begin(session.BestLine), std::end(session.BestLine), Move(0));

    // Steps 2 to 4. Fresh tables and counters; the root
    PrepareSearchTables();
    ThisThread.IterationDepth = 1;
    session.Searching = true;

    // Step 5. The iterations
    RunIterations(session);
}

void ConcludeSearch(SearchSession& session) {
    // Step 6. A depth-limited search answers at once, unless it ponders
    if (session.Limits.DepthLimit < MaxSearchPlies || ThisThread.IterationDepth == MaxSearchPlies)
        session.NoTimeLimit = false;

    // Step 7. The closing statistics
    const uint64_t elapsed = ElapsedMs();
    session.LastElapsed = elapsed;
    if (elapsed > 0)
        Say("info depth " + std::to_string(ThisThread.LastCompletedDepth) + StatisticsText(elapsed));

    // Step 8. Table fill
    Say(HashFullLine());

    // Step 9. Hold the result back while pondering, thinking without limit or analysing
    WaitWhileHeld(session);
}

// Step 10: the answer, with its score when the last result line did not show it
SearchAnswer ComposeAnswer(SearchSession& session) {
    ThisThread.Session = &session;
    MoveList legal;
    GenerateLegal(legal);
    if (legal.count == 0)
        return {"", "bestmove 0000"};
    const Answer answer = ChooseAnswer();
    return {AnswerScoreLine(answer), BestMoveLineFor(answer)};
}

void HelperIterativeDeepening(SearchSession& session, int helper) {
    ThisThread.Session = &session;
    ThisThread.SearchOutput = false;
    ThisThread.OwnsClock = false;
    PrepareSearchTables();
    ThisThread.PollCounter = 0;

    // Odd helpers start one ply deeper, so that threads spread over two depths
    const int lastDepth = LastIterationDepth();
    ThisThread.IterationDepth = 1 + helper % 2;
    while (!Session().StopSearch && ThisThread.IterationDepth < lastDepth) {
        ThisThread.FirstRootMoveDone = false;
        ThisThread.NewBestFound = false;
        ++ThisThread.IterationDepth;
        RootSearch(ThisThread.IterationDepth, -WindowBound, WindowBound);
    }
}
