#!/usr/bin/env python3
"""The soak: a long run of whole games against stockfish at a low skill level
and in self-play, pondering in half of them, under every kind of control,
each game refereed by an independent stockfish. Illegal moves, time losses,
crashes or hangs and missing or duplicate bestmove lines must all be 0.

usage: soak.py VARNOK [--games 300] [--control C ...] [--skill K]

The games go to the controls in blocks of four (Varnok white, Varnok black
pondering, Varnok white, self-play with Varnok black pondering), in turn.
Run it on an otherwise idle machine: the clocks are real.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from games import Control, run_match  # noqa: E402
from test_games_vs_stockfish import report  # noqa: E402

CONTROLS = ["1+0.01", "2+0.02", "40/2", "movetime=50", "nodes=20000"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("varnok")
    parser.add_argument("--games", type=int, default=300)
    parser.add_argument("--control", nargs="+", default=[Control(text) for text in CONTROLS], type=Control)
    parser.add_argument("--skill", type=int, default=1, help="stockfish Skill Level")
    args = parser.parse_args()

    print("soak: %d games, controls %s, stockfish skill %d" % (args.games, " ".join(map(str, args.control)),
                                                              args.skill), flush=True)
    start = time.monotonic()
    results, score, faults = run_match(args.varnok, args.games, args.control, args.skill,
                                       log=lambda text: print(text, flush=True))
    print("played in %.0f s" % (time.monotonic() - start))
    return report(results, score, faults)


if __name__ == "__main__":
    sys.exit(main())
