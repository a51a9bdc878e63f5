#!/usr/bin/env python3
"""Complete games over UCI against stockfish at a low skill level and in
self-play, half of them with pondering, refereed independently. Illegal moves,
time forfeits, missing or duplicate bestmove lines and crashes must all be 0.

usage: test_games_vs_stockfish.py VARNOK [--games N] [--control C ...] [--skill K]

A control is 2+0.05 (seconds + increment), 40/2 (moves in seconds, sent as
movestogo), movetime=50 (ms per move) or nodes=20000; with several, games go
to them in blocks of four, in turn. soak.py plays the long run.

Then tools/match.py plays two node-limited games, Threads 2 against Threads 1
over one opening with the colours swapped, so that the match tool keeps
working with the harness it is built on; node limits keep the clock out of it.
"""

import argparse
import os
import re
import subprocess
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


def match_smoke(varnok):
    """Two games of tools/match.py; returns the exit code."""
    tool = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "match.py")
    run = subprocess.run([sys.executable, tool, "--a", varnok, "--a-option", "Threads=2", "--b", varnok,
                          "--b-option", "Threads=1", "--control", "nodes=5000", "--games", "2"],
                         capture_output=True, text=True, timeout=120)
    out = run.stdout
    print(out + run.stderr)
    problems = []
    if run.returncode != 0:
        problems.append(f"match.py exit code {run.returncode}")
    if not re.search(r"^games 2,", out, re.M):
        problems.append("not 2 games")
    if not re.search(r"A: wins \d+, draws \d+, losses \d+", out) or "A white" not in out or "A black" not in out:
        problems.append("no result for A with each colour")
    if not re.search(r"^faults: 0 ", out, re.M):
        problems.append("faults in the match")
    depths = re.findall(r"^[AB]: average depth per move (\d+\.\d+) over (\d+) moves", out, re.M)
    if len(depths) != 2 or any(float(depth) < 1 or int(moves) == 0 for depth, moves in depths):
        problems.append("no depth per move for both engines")
    for problem in problems:
        print("match smoke: " + problem)
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("varnok")
    parser.add_argument("--games", type=int, default=10)
    parser.add_argument("--control", nargs="+", default=[Control("2+0.05")], type=Control)
    parser.add_argument("--skill", type=int, default=1, help="stockfish Skill Level")
    args = parser.parse_args()

    results, score, faults = run_match(args.varnok, args.games, args.control, args.skill,
                                       log=lambda text: print(text, flush=True))
    return report(results, score, faults) | match_smoke(args.varnok)


if __name__ == "__main__":
    sys.exit(main())
