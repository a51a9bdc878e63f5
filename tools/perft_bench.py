#!/usr/bin/env python3
"""Perft speed of Varnok beside Debian's stockfish, measured in the same run.

Usage: tools/perft_bench.py [path/to/varnok] [repeats]
Installs stockfish with apt-get when it is missing. Each engine is started
once; every count is timed from sending the command to its last line, and the
best of the repeats is kept. Varnok's "perft N" also counts depths 1 to N-1,
which its figure pays for without counting them."""
import os
import sys

from bench_common import Engine, find_stockfish

# The Chess960 positions (published ones, eight plies from their start arrays) are
# read with UCI_Chess960 on, set once the standard ones are done
POSITIONS = [
    ("start position", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6, 119060324),
    ("r3k2r/p1ppqpb1/...", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, 193690690),
    ("960 2nnrbkr/...", "2nnrbkr/p1qppppp/8/1ppb4/6PP/3PP3/PPP2P2/BQNNRBKR w HEhe - 1 9", 6, 590751109),
    ("960 1nbbnrkr/...", "1nbbnrkr/p1p1ppp1/3p4/1p3P1p/3Pq2P/8/PPP1P1P1/QNBBNRKR w HFhf - 0 9", 5, 34030312),
]
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def varnok_perft(engine, fen, depth):
    seconds, line = engine.timed(fen, "perft %d" % depth, lambda l: l.startswith("prof : %d " % depth))
    return seconds, int(line.split()[4])


def stockfish_perft(engine, fen, depth):
    seconds, line = engine.timed(fen, "go perft %d" % depth, lambda l: l.startswith("Nodes searched"))
    return seconds, int(line.split()[2])


def main():
    varnok = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "varnok")
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    if not os.path.exists(varnok):
        sys.exit("no engine at %s: build it first (cmake -S . -B build && cmake --build build -j2)" % varnok)
    engines = {"Varnok": (Engine([varnok]), varnok_perft), "stockfish": (Engine([find_stockfish()]), stockfish_perft)}
    print("%-20s %-10s %6s %12s %9s %14s" % ("position", "engine", "depth", "nodes", "seconds", "nodes/s"))
    totals = {name: [0, 0.0] for name in engines}
    for label, fen, depth, expected in POSITIONS:
        for name, (engine, perft) in engines.items():
            if label.startswith("960"):
                engine.send("setoption name UCI_Chess960 value true")
            best = None
            for _ in range(repeats):
                seconds, nodes = perft(engine, fen, depth)
                if nodes != expected:
                    sys.exit("%s counts %d nodes, not %d, at depth %d of %s" % (name, nodes, expected, depth, fen))
                best = seconds if best is None else min(best, seconds)
            totals[name][0] += expected
            totals[name][1] += best
            print("%-20s %-10s %6d %12d %9.3f %14.0f" % (label, name, depth, expected, best, expected / best))
    for engine, _ in engines.values():
        engine.close()
    rates = {name: nodes / seconds for name, (nodes, seconds) in totals.items()}
    print("all positions: Varnok %.0f nodes/s, stockfish %.0f nodes/s, ratio Varnok/stockfish %.2f"
          % (rates["Varnok"], rates["stockfish"], rates["Varnok"] / rates["stockfish"]))


if __name__ == "__main__":
    main()
