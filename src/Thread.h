// What each thread that searches or evaluates owns: its copy of the board, the
// search's counters, ordering tables and root state, and the evaluation's
// scratch values and caches. Search threads share only the transposition table
// and the search-control state; the console thread has a record of its own
// for "eval", "perft" and "bench".
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "EvalTerms.h"
#include "Platform.h"
#include "Types.h"

// Cache entries, laid out where they are used (Pawns, Evaluation)
struct PawnEntry;
struct MaterialEntry;
struct ValueEntry;

// The search a thread works on (SearchControl)
struct SearchSession;

struct alignas(ThreadLocalAlignment) SearchThread {
    // Counters. The node counters are atomic so that the main search thread can
    // add up every thread's nodes; only their own thread writes them.
    std::atomic<uint64_t> NodeCount{};             // moves taken in full-width nodes
    std::atomic<uint64_t> QuiescenceNodeCount{};   // moves taken in quiescence nodes
    std::atomic<uint64_t> TableHits{};             // positions the endgame tables answered
    int32_t PollCounter{};                         // nodes since the clock was last read

    // Move ordering
    Move KillerMoves[MaxSearchPlies + 1][2]{};     // [ply][0 newer, 1 older]
    int32_t HistoryTable[15][64]{};                // [piece type OR side x 8][to-square]
    int32_t SwapList[64]{};                        // gains of one exchange; a square sees at most 32 captures

    // Root and iterations
    int32_t IterationDepth{};
    int32_t LastCompletedDepth{};
    Move PrincipalVariation[MaxSearchPlies + 1]{};  // [1..128], from the latest new best root move
    int32_t PrincipalVariationLength{};
    uint64_t RootNodes[MaxMoves + 1]{};             // nodes spent below the move picked from each root slot
    Move RootBestMove{};
    int32_t RootBestScore{};
    bool NewBestFound{};
    int32_t RootMoveCount{};
    bool RootResearch{};
    bool FirstRootMoveDone{};
    // The root moves the endgame tables keep, of the best rank (none: they do not
    // hold the root), and the score that rank stands for
    Move TableRootMoves[MaxMoves + 1]{};
    int32_t TableRootMoveCount{};
    int32_t TableRootScore{};

    // Transposition table
    Move LastProbeMove{};  // move of the last probe on this thread whose keys matched, wherever it was made
    int32_t RootPly{};     // plyCounter of the search root

    // Role: the search it works on; helper threads and the bench write nothing,
    // and only one thread stops a search on time
    SearchSession* Session{};
    bool SearchOutput = true;
    bool OwnsClock = true;

    // Scratch state of one evaluation, reset at every call
    Score PieceMobility[2]{};          // unweighted, by side
    int32_t KingAttackersCount[2]{};   // by attacking side
    int32_t KingAttackersWeight[2]{};
    int32_t KingAdjacentAttacks[2]{};
    int32_t ScaleFactor[2]{};          // 64ths, used when that side is ahead
    Bitboard AttackedBy[2][7]{};       // [0] all, then by piece type 1..6
    Bitboard KingZone[2]{};            // zone of the enemy king, by attacking side
    int32_t EndgameScale{};            // the scale chosen for the blend
    uint8_t HalfOpenFiles[2]{};        // per side, bit f set when the side has no pawn on file f
    Bitboard PassedPawns{};            // of both sides; only the front pawn of a file

    // Danger to the king of a side by danger index, built once per search for its root side
    int32_t KingDanger[2][101]{};
    int32_t DangerRootSide{};

    // Caches of evaluation results, allocated at the thread's first evaluation
    PawnEntry* PawnCache{};
    MaterialEntry* MaterialCache{};
    ValueEntry* ValueCache{};
    uint32_t SeenCacheGeneration{};    // caches are emptied when a new game moves the generation on
};

// This thread's board: every module reads and plays on it
extern thread_local constinit PositionRecord Position;
// Everything else this thread owns
extern thread_local constinit SearchThread ThisThread;

inline StateRecord& CurrentState() { return Position.states[Position.stateIndex]; }

// A zeroed block for one of this thread's caches; the thread frees it when it ends
void* AllocateThreadCache(size_t bytes);

// This thread's nodes
uint64_t ThreadNodes();

// Where another thread reads this thread's node counters
struct NodeCounters {
    std::atomic<uint64_t>* full;
    std::atomic<uint64_t>* quiescence;
    std::atomic<uint64_t>* tableHits;
};
inline NodeCounters ThisThreadCounters() {
    return {&ThisThread.NodeCount, &ThisThread.QuiescenceNodeCount, &ThisThread.TableHits};
}
