#!/usr/bin/env python3
"""Time to depth with Threads 1 and Threads 2 (or any others), side by side.

usage: threads_bench.py ENGINE [--threads 1 2] [--depths 12 14 16] [--runs 1] [--cap 300]

For each of eight middlegame positions of the bench, a fresh engine with the
default Hash gets "setoption name Threads value N", "position fen ...",
"go depth MAX". The time of a depth is the "time" field of the last result
line ("info depth D score ... time T ...") written at that depth, so it is
the engine's own clock from the go to the end of that iteration's last
report; nodes are read the same way. With --runs above 1 each search is
repeated and the times are averaged, since helper threads make the time of
a search vary from run to run. A search still running after --cap seconds
is stopped; the depths it did not finish show as "-" and are left out of the
totals for every thread count, so that the totals compare the same searches.

The table gives, per position and depth, the times in ms with each thread
count and the ratio of the first thread count's time to each other's (above
1: faster with more threads), then the totals per depth over all positions.
Run it on an otherwise idle machine: a second thread only helps with a spare core.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from uci_engine import UciEngine  # noqa: E402

# The middlegame positions of the bench (src/Bench.cpp, BenchPositions)
POSITIONS = [
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 6 5",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/R4R1K w - - 0 15",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "r3r1k1/2p2ppp/p1p1bn2/8/1q2P3/2NPQN2/PPP3PP/R4RK1 b - - 2 15",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2NP1N2/PPP2PPP/R1BQ1RK1 w - - 0 7",
]


def field(words, name):
    return int(words[words.index(name) + 1]) if name in words else None


def search(path, threads, fen, max_depth, cap):
    """{depth: (time ms, nodes)} from the last result line of each depth
    finished within cap seconds."""
    engine = UciEngine([path], f"threads {threads}")
    engine.handshake([("Threads", threads)])
    engine.send("position fen " + fen)
    engine.send(f"go depth {max_depth}")
    start = time.monotonic()
    lines, stopped = [], False
    # line by line, so that the lines before a stop are kept
    while not lines or not lines[-1].startswith("bestmove"):
        left = start + cap - time.monotonic() if not stopped else 10
        got = engine.wait_for("", max(left, 0.0))
        if got is None:
            if stopped:
                raise SystemExit(f"no bestmove after stop (Threads {threads}, {fen})")
            engine.send("stop")
            stopped = True
            continue
        lines += got
    elapsed = int((time.monotonic() - start) * 1000)
    engine.close()
    found, started = {}, 0
    for line in lines:
        words = line.split()
        if words[:2] != ["info", "depth"]:
            continue
        if "score" in words:
            # a result line without a time counts as written when the search ended
            found[int(words[2])] = (field(words, "time") or elapsed, field(words, "nodes") or 0)
        elif len(words) == 3:
            started = int(words[2])
    if stopped:
        found.pop(started, None)   # the interrupted iteration's partial result
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--threads", type=int, nargs="+", default=[1, 2])
    parser.add_argument("--depths", type=int, nargs="+", default=[12, 14, 16])
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--positions", type=int, default=len(POSITIONS), help="the first N positions")
    parser.add_argument("--cap", type=float, default=300, help="seconds before a search is stopped")
    args = parser.parse_args()

    positions = POSITIONS[:args.positions]
    times = {}   # (position, threads, depth) -> average ms
    nodes = {}
    for index, fen in enumerate(positions):
        for threads in args.threads:
            runs = [search(args.engine, threads, fen, max(args.depths), args.cap) for _ in range(args.runs)]
            for depth in args.depths:
                reached = [run[depth] for run in runs if depth in run]
                if len(reached) == len(runs):
                    times[index, threads, depth] = sum(t for t, _ in reached) / len(reached)
                    nodes[index, threads, depth] = sum(n for _, n in reached) / len(reached)
        print(f"position {index + 1}/{len(positions)} done", file=sys.stderr, flush=True)

    def cell(index, threads, depth, width):
        value = times.get((index, threads, depth))
        return f" {value:>{width}.0f}" if value is not None else f" {'-':>{width}}"

    def ratio(first, other):
        return f" {first / other:>8.2f}" if first is not None and other else f" {'-':>8}"

    def complete(index, depth):
        return all((index, t, depth) in times for t in args.threads)

    base = args.threads[0]
    header = f"{'position':>8} {'depth':>5}" + "".join(f" {'T' + str(t) + ' ms':>10}" for t in args.threads) \
        + "".join(f" {'T' + str(base) + '/T' + str(t):>8}" for t in args.threads[1:])
    print(f"time to depth, ms (engine's own clock), {args.runs} run(s) each, {os.path.basename(args.engine)}")
    print(header)
    for index in range(len(positions)):
        for depth in args.depths:
            first = times.get((index, base, depth))
            print(f"{index + 1:>8} {depth:>5}" + "".join(cell(index, t, depth, 10) for t in args.threads)
                  + "".join(ratio(first, times.get((index, t, depth))) for t in args.threads[1:]))
    print()
    print("total over the positions that every thread count finished at that depth")
    print(header.replace("position", "   total") + "  positions")
    for depth in args.depths:
        done = [i for i in range(len(positions)) if complete(i, depth)]
        row = [sum(times[i, t, depth] for i in done) for t in args.threads]
        print(f"{'all':>8} {depth:>5}" + "".join(f" {v:>10.0f}" for v in row)
              + "".join(ratio(row[0], v) for v in row[1:]) + f"  {len(done)}")
    print()
    print("nodes to depth, total over the same positions")
    for depth in args.depths:
        done = [i for i in range(len(positions)) if complete(i, depth)]
        row = [sum(nodes[i, t, depth] for i in done) for t in args.threads]
        print(f"{'all':>8} {depth:>5}" + "".join(f" {v:>12.0f}" for v in row))
    return 0


if __name__ == "__main__":
    sys.exit(main())
