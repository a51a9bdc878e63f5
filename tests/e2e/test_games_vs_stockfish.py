#!/usr/bin/env python3
"""Complete games over UCI against stockfish at a low skill level and in self-play, half of
them with pondering, refereed independently (games.py): illegal moves, time forfeits, missing
or duplicate bestmove lines and crashes must all be 0. Then tools/match.py plays two
node-limited games, Threads 2 against Threads 1, so that the match tool keeps working with the
harness it is built on.

usage: test_games_vs_stockfish.py VARNOK [--games N] [--control C ...] [--skill K] [--soak]
A control is 2+0.05 (seconds + increment), 40/2 (moves in seconds, sent as movestogo),
movetime=50 (ms per move) or nodes=20000; with several, games go to them in blocks of four.
--soak plays the long run: 300 games under every kind of control, on an otherwise idle machine."""
import argparse
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from games import FAULT_KINDS, Control, run_match  # noqa: E402
from uci_engine import ENGINE, run_tests  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("varnok")
parser.add_argument("--games", type=int)
parser.add_argument("--control", nargs="+", type=Control)
parser.add_argument("--skill", type=int, default=1, help="stockfish Skill Level")
parser.add_argument("--soak", action="store_true", help="the long run: 300 games, every kind of control")
ARGS = parser.parse_args()
SOAK_CONTROLS = ["1+0.01", "2+0.02", "40/2", "movetime=50", "nodes=20000"]


def test_games_have_no_fault():
    games = ARGS.games or (300 if ARGS.soak else 10)
    controls = ARGS.control or [Control(text) for text in (SOAK_CONTROLS if ARGS.soak else ["2+0.05"])]
    print(f"{games} games, controls {' '.join(map(str, controls))}, stockfish skill {ARGS.skill}", flush=True)
    started = time.monotonic()
    results, score, faults = run_match(ENGINE, games, controls, ARGS.skill, log=lambda text: print(text, flush=True))
    print(f"played in {time.monotonic() - started:.0f} s; results (white's view): {results}; "
          f"varnok's score against stockfish: {score}")
    counts = ", ".join(f"{kind} {sum(1 for k, _ in faults if k == kind)}" for kind in FAULT_KINDS)
    assert not faults, f"{len(faults)} faults ({counts}):\n  " + "\n  ".join(message for _, message in faults)


def test_the_match_tool_plays_two_games_without_fault():
    tool = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "match.py")
    run = subprocess.run([sys.executable, tool, "--a", ENGINE, "--a-option", "Threads=2", "--b", ENGINE,
                          "--b-option", "Threads=1", "--control", "nodes=5000", "--games", "2"],
                         capture_output=True, text=True, timeout=120)
    out = run.stdout
    print(out + run.stderr)
    assert run.returncode == 0 and re.search(r"^games 2,", out, re.M) and re.search(r"^faults: 0 ", out, re.M)
    assert re.search(r"A: wins \d+, draws \d+, losses \d+", out) and "A white" in out and "A black" in out
    depths = re.findall(r"^[AB]: average depth per move (\d+\.\d+) over (\d+) moves", out, re.M)
    assert len(depths) == 2 and all(float(depth) >= 1 and int(moves) > 0 for depth, moves in depths), depths


if ARGS.soak:
    del test_the_match_tool_plays_two_games_without_fault
run_tests(globals())
