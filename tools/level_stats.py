#!/usr/bin/env python3
"""How the engine's levels spend their time and how often they play another
move than the full engine, over the same positions and the same clock.

usage: level_stats.py ENGINE [--levels 1350 1500 ... 2050] [--clock 10+0.1] [--plies 8 16 24]

The positions are the openings of tests/data/openings.txt, each followed by
a few plies of the full engine's own play at 20000 nodes a move (--plies
gives how many; 0 keeps the opening itself), so that middlegames are among
them. Every level, and the full engine, answers each position with
"go wtime W btime W winc I binc I" as in the middle of a game under the clock
(W the control's base time). It prints, per level, the average and the median
time from "go" to "bestmove" and the share of positions where its move
differs from the full engine's. Timings are real: run it on an idle machine.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from uci_engine import UciEngine  # noqa: E402

BOOK = os.path.join(HERE, "..", "tests", "data", "openings.txt")


def best_move(engine, position, go):
    engine.send(position)
    start = time.monotonic()
    engine.send(go)
    lines = engine.wait_for("bestmove", 120)
    return lines[-1].split()[1], time.monotonic() - start


def positions(path, plies):
    """"position startpos moves ..." lines: each opening, extended by the engine's own play."""
    with open(BOOK) as book:
        openings = [line.split() for line in book if line.strip() and not line.startswith("#")]
    engine = UciEngine([path], "varnok")
    engine.handshake([("Hash", 16)])
    found = []
    for moves in openings:
        line = list(moves)
        for played in range(max(plies) + 1):
            if played in plies:
                found.append("position startpos moves " + " ".join(line))
            move, _ = best_move(engine, "position startpos moves " + " ".join(line), "go nodes 20000")
            if move == "0000":
                break
            line.append(move)
    engine.close()
    return found


def answers(path, options, lines, go):
    """(moves, seconds) of one configuration over the positions, as one game."""
    engine = UciEngine([path], "varnok")
    engine.handshake([("Hash", 16), ("Threads", 1)] + options)
    engine.send("ucinewgame")
    moves, seconds = [], []
    for _ in range(2):   # the first two searches of a game get a larger share of the clock
        best_move(engine, lines[0], go)
    for position in lines:
        move, elapsed = best_move(engine, position, go)
        moves.append(move)
        seconds.append(elapsed)
    engine.close()
    return moves, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("engine")
    parser.add_argument("--levels", type=int, nargs="+", default=[1350, 1500, 1650, 1800, 1950, 2050])
    parser.add_argument("--clock", default="10+0.1")
    parser.add_argument("--plies", type=int, nargs="+", default=[8, 16, 24])
    args = parser.parse_args()
    base, increment = (round(float(part) * 1000) for part in args.clock.split("+"))
    go = f"go wtime {base} btime {base} winc {increment} binc {increment}"
    lines = positions(args.engine, set(args.plies))
    full_moves, full_seconds = answers(args.engine, [], lines, go)
    print(f"{len(lines)} positions, {go}")
    print("| level | ms per move (mean) | ms per move (median) | moves unlike the full engine's |")
    print("|---|---:|---:|---:|")
    print(f"| full strength | {1000 * statistics.mean(full_seconds):.0f} "
          f"| {1000 * statistics.median(full_seconds):.0f} | - |")
    for elo in args.levels:
        moves, seconds = answers(args.engine, [("UCI_LimitStrength", "true"), ("UCI_Elo", elo)], lines, go)
        differ = sum(a != b for a, b in zip(moves, full_moves))
        print(f"| UCI_Elo {elo} | {1000 * statistics.mean(seconds):.0f} | {1000 * statistics.median(seconds):.0f} "
              f"| {100 * differ / len(lines):.0f}% |", flush=True)


if __name__ == "__main__":
    main()
