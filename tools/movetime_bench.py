#!/usr/bin/env python3
"""Precision of "go movetime N": when "bestmove" arrives, measured as a GUI measures it,
from writing the "go" line to reading the answer.

Usage: tools/movetime_bench.py [path/to/varnok] [runs]
Prints, for N in 50, 100, 500 and 2000 ms, the minimum, median and maximum of
(arrival - N) in milliseconds over the runs (20 by default)."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e"))
from uci_engine import UciEngine  # noqa: E402

POSITIONS = ["position startpos",
             "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
             "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"]


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build-release/varnok"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    engine = UciEngine([binary], "varnok")
    engine.handshake()
    print(f"{'movetime':>8} {'min':>6} {'median':>7} {'max':>6}   (arrival - N, ms, {runs} runs)")
    for limit in (50, 100, 500, 2000):
        late = []
        for run in range(runs):
            engine.send(POSITIONS[run % len(POSITIONS)])
            engine.ready()
            start = time.monotonic()
            engine.send(f"go movetime {limit}")
            engine.wait_for("bestmove", limit / 1000 + 10)
            late.append((time.monotonic() - start) * 1000 - limit)
        print(f"{limit:>8} {min(late):>6.1f} {statistics.median(late):>7.1f} {max(late):>6.1f}")
    engine.close()


if __name__ == "__main__":
    main()
