// Evaluation speed over the positions of a few perft trees, beside the speed
// of legal move generation on the same positions.
//
//   build/bench/eval_bench [seconds per measure, default 1]
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Board.h"
#include "Evaluation.h"
#include "Magic.h"
#include "MakeMove.h"
#include "MoveGen.h"
#include "Tables.h"
#include "Thread.h"
#include "Types.h"

namespace {

// Everything of the position but the state stack, plus the current state
struct Snapshot {
    unsigned char head[offsetof(PositionRecord, states)];
    StateRecord state;
};

std::vector<Snapshot> Positions;

void Take() {
    Snapshot snapshot;
    std::memcpy(snapshot.head, &Position, sizeof snapshot.head);
    snapshot.state = CurrentState();
    Positions.push_back(snapshot);
}

void Restore(const Snapshot& snapshot) {
    std::memcpy(&Position, snapshot.head, sizeof snapshot.head);
    Position.stateIndex = 0;
    Position.states[0] = snapshot.state;
}

// Every node of the tree below the current position, to the given depth
void Collect(int depth) {
    Take();
    if (depth == 0)
        return;
    MoveList list;
    GenerateLegal(list);
    for (int i = 1; i <= list.count; ++i) {
        MakeMove(list.moves[i]);
        Collect(depth - 1);
        UnmakeMove();
    }
}

using Clock = std::chrono::steady_clock;

// Runs passes over all positions for about the given time; nanoseconds per position
template <class Work>
double NanosecondsPerPosition(double seconds, Work work) {
    long passes = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (const Snapshot& snapshot : Positions) {
            Restore(snapshot);
            work();
        }
        ++passes;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return elapsed * 1e9 / (double(passes) * double(Positions.size()));
}

volatile int64_t Sink;

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    BuildMagicTables();
    InitTables();

    const struct {
        const char* fen;
        int depth;
    } trees[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 2},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 2},
        {"r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8", 2},
        {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 2},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 3},
        {"8/5pk1/6p1/3R4/7P/6P1/r4PK1/8 w - - 0 40", 2},
        {"8/8/2k5/5pp1/8/1PK5/P7/8 w - - 0 50", 3},
    };
    std::string error;
    for (const auto& tree : trees) {
        if (!ReadFen(tree.fen, error)) {
            std::fprintf(stderr, "%s: %s\n", tree.fen, error.c_str());
            return 1;
        }
        Collect(tree.depth);
    }
    InitKingDangerTable(White);

    int64_t sum = 0;
    const double restore = NanosecondsPerPosition(seconds, [] {});
    const double evaluate = NanosecondsPerPosition(seconds, [&sum] { sum += Evaluate(); });
    const double generate = NanosecondsPerPosition(seconds, [&sum] {
        MoveList list;
        GenerateLegal(list);
        sum += list.count;
    });
    Sink = sum;

    const double evaluateNet = evaluate - restore;
    const double generateNet = generate - restore;
    std::printf("positions                  %zu\n", Positions.size());
    std::printf("setting up a position      %8.1f ns\n", restore);
    std::printf("evaluation                 %8.1f ns  %10.0f evaluations/s\n", evaluateNet, 1e9 / evaluateNet);
    std::printf("legal move generation      %8.1f ns  %10.0f generations/s\n", generateNet, 1e9 / generateNet);
    std::printf("evaluation / generation    %8.2f (time of one evaluation in move generations)\n",
                evaluateNet / generateNet);
    return 0;
}
