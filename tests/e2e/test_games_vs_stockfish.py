#!/usr/bin/env python3
"""Complete games over UCI against stockfish at a low skill level and in
self-play, half of them with pondering, refereed independently. Illegal moves,
time forfeits, missing or duplicate bestmove lines and crashes must all be 0.

usage: test_games_vs_stockfish.py VARNOK [--games N] [--control C ...] [--skill K]

A control is 2+0.05 (seconds + increment), 40/2 (moves in seconds, sent as
movestogo), movetime=50 (ms per move) or nodes=20000; with several, games go
to them in blocks of four, in turn. soak.py plays the long run.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from games import FAULT_KINDS, Control, run_match  # noqa: E402


def report(results, score, faults):
    """Prints the totals; returns the exit code."""
    print(f"results (white's view): {results}; varnok's score against stockfish: {score}")
    counts = {kind: sum(1 for k, _ in faults if k == kind) for kind in FAULT_KINDS}
    print("faults: %d (%s)" % (len(faults), ", ".join(f"{kind} {count}" for kind, count in counts.items())))
    for _, message in faults:
        print("  " + message)
    return 1 if faults else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("varnok")
    parser.add_argument("--games", type=int, default=10)
    parser.add_argument("--control", nargs="+", default=[Control("2+0.05")], type=Control)
    parser.add_argument("--skill", type=int, default=1, help="stockfish Skill Level")
    args = parser.parse_args()

    results, score, faults = run_match(args.varnok, args.games, args.control, args.skill,
                                       log=lambda text: print(text, flush=True))
    return report(results, score, faults)


if __name__ == "__main__":
    sys.exit(main())
