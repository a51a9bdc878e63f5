#include "Bench.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

#include "Board.h"
#include "Console.h"
#include "Search.h"
#include "SearchControl.h"
#include "Thread.h"
#include "TranspositionTable.h"

namespace {

// Openings, middlegames, endgames, mates, promotions, a stalemate, a position
// with 218 moves and a root drawn by the fifty-move rule
constexpr const char* BenchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "rnbqkb1r/ppp1pppp/5n2/3p4/3P4/5N2/PPP1PPPP/RNBQKB1R w KQkq - 2 3",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 6 5",
    "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/5N2/PP2PPPP/RNBQKB1R w KQkq - 0 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/R4R1K w - - 0 15",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "r3r1k1/2p2ppp/p1p1bn2/8/1q2P3/2NPQN2/PPP3PP/R4RK1 b - - 2 15",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 w - - 0 7",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/1p1k4/p1p5/P1P1K3/1P6/8/8 w - - 0 1",
    "8/5pk1/6p1/8/3R4/6P1/5PK1/1r6 w - - 0 40",
    "6k1/5p2/6p1/8/7p/8/6PP/6K1 b - - 0 1",
    "8/8/4kpp1/3p1b2/p6P/2B5/6P1/6K1 b - - 0 47",
    "8/8/8/4k3/8/8/3BK3/6N1 w - - 0 1",
    "8/2k5/8/8/8/8/3Q4/4K3 w - - 0 1",
    "1r6/3k4/8/8/3K4/8/8/R7 w - - 0 1",
    "8/P7/8/8/8/8/7p/K6k w - - 0 1",
    "3r2k1/1P3ppp/8/8/8/8/5PPP/6K1 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "6rk/6pp/8/6N1/8/8/8/6QK w - - 0 1",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",
    "8/8/4k3/8/8/8/4K3/R7 w - - 100 90",
};

constexpr int BenchHashMegabytes = 16;

}  // namespace

namespace {

// The bench writes no search lines of its own
struct QuietSearch {
    QuietSearch() { ThisThread.SearchOutput = false; }
    ~QuietSearch() { ThisThread.SearchOutput = true; }
};

// A search of the board to `depth` and nothing else, whatever an earlier "go" asked
SearchAnswer SearchToDepth(SearchSession& session, int depth) {
    session.Limits.DepthLimit = depth;
    session.Limits.Untimed = true;
    session.NoTimeLimit = true;
    session.SearchStartTime = ClockMs();
    IterativeDeepening(session);
    ConcludeSearch(session);
    const SearchAnswer answer = ComposeAnswer(session);
    session.Searching = false;
    return answer;
}

}  // namespace

uint64_t RunBench(int depth) {
    // The bench has its own table size so that its node count never depends on "Hash"
    const auto boardBefore = std::make_unique<PositionRecord>(Position);
    const int megabytesBefore = HashMegabytes();
    AllocateHash(BenchHashMegabytes);

    uint64_t nodes = 0;
    const uint64_t start = ClockMs();
    int index = 0;
    {
        const QuietSearch quiet;
        for (const char* fen : BenchPositions) {
            std::string error;
            if (!ReadFen(fen, error))
                WriteLine("info string bench position " + std::to_string(index + 1) + " rejected: " + error);
            ClearHash();
            // A fresh search, the first of its game
            const auto session = NewSearchSession();
            const SearchAnswer answer = SearchToDepth(*session, depth);
            ThisThread.Session = nullptr;
            nodes += ThreadNodes();
            ++index;
            WriteLine("Position " + std::to_string(index) + "/" + std::to_string(std::size(BenchPositions)) + ": "
                      + std::to_string(ThreadNodes()) + " nodes, " + answer.BestMoveText);
        }
    }
    const uint64_t elapsed = std::max<uint64_t>(ClockMs() - start, 1);

    WriteLine("");
    WriteLine("Total time (ms) : " + std::to_string(elapsed));
    WriteLine("Nodes searched  : " + std::to_string(nodes));
    WriteLine("Nodes/second    : " + std::to_string(nodes * 1000 / elapsed));

    AllocateHash(megabytesBefore);
    Position = *boardBefore;
    return nodes;
}
