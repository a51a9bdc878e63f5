#!/usr/bin/env python3
"""Complete games over UCI against stockfish at a low skill level and in
self-play, half of them with pondering, refereed independently. Illegal moves,
time forfeits, missing or duplicate bestmove lines and crashes must all be 0.

usage: test_games_vs_stockfish.py VARNOK [--games N] [--base MS] [--inc MS] [--skill K]
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from games import run_match  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("varnok")
    parser.add_argument("--games", type=int, default=10)
    parser.add_argument("--base", type=int, default=2000, help="base time in ms")
    parser.add_argument("--inc", type=int, default=50, help="increment in ms")
    parser.add_argument("--skill", type=int, default=1, help="stockfish Skill Level")
    args = parser.parse_args()

    results, score, faults = run_match(args.varnok, args.games, args.base, args.inc, args.skill,
                                       log=lambda text: print(text, flush=True))
    print(f"results (white's view): {results}; varnok's score against stockfish: {score}")
    print(f"faults: {len(faults)}")
    for fault in faults:
        print("  " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
