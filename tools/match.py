#!/usr/bin/env python3
"""A match between two UCI engines, A and B, refereed move by move.

usage: match.py --a ENGINE [--a-option NAME=VALUE ...] --b ENGINE [--b-option NAME=VALUE ...]
                [--control 5+0.05] [--games N] [--concurrency 1] [--book tests/data/openings.txt]

Each opening of the book (balanced lines, as UCI moves from the start
position) is played twice, A White then A Black, so that neither side gains
from the opening or the colour; --games defaults to two games per opening and
wraps around the book when larger. Every game starts fresh processes; the
games are played by tests/e2e/games.py, where a stockfish referee checks each
move and finds mate, stalemate, repetition and the fifty-move rule. A fault
(illegal move, time loss, missing or duplicate bestmove, crash or hang) loses
the game for the side at fault and is counted apart.

Elo: the score s (win 1, draw 1/2) maps to -400 log10(1/s - 1). The error bar
is 95%: the per-game score variance gives the standard error of s, and
s +- 1.96 standard errors is mapped through the same formula; the figure is
half the width of that interval.

Depth per move: for each move an engine plays, the depth D of the last result
line ("info depth D ... score ...", not the bare "info depth D" that starts an
iteration) written before its bestmove; the average over all moves that had
one; and, comparable between engines that do not all write a result line
before every answer, the depth of the closing "info depth D time ..." line
(the last completed iteration). Moves of the book are not counted. The share
of moves that had such a
line (a score a GUI can show), the average time per move and, under a clock,
the average time left on each clock at the end of a game are printed too.

A match measures; it is not a test. The clocks are real: run it on a machine
that is otherwise idle, with --concurrency at most the number of spare cores
divided by the threads each game uses.
"""

import argparse
import math
import os
import queue
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from games import FAULT_KINDS, Control, GameFault, play_game, stockfish_path  # noqa: E402
from uci_engine import EngineDied, UciEngine  # noqa: E402

DEFAULT_BOOK = os.path.join(HERE, "..", "tests", "data", "openings.txt")


def read_book(path):
    with open(path) as book:
        lines = [line.strip() for line in book]
    return [line for line in lines if line and not line.startswith("#")]


def option_pair(text):
    name, sep, value = text.partition("=")
    if not sep or not name:
        raise argparse.ArgumentTypeError(f"option '{text}' is not NAME=VALUE")
    return name.strip(), value.strip()


def elo(score):
    """The Elo difference of an expected score strictly between 0 and 1."""
    return -400 * math.log10(1 / score - 1)


def elo_with_error(wins, draws, losses):
    """(Elo, 95% error bar) of A's result; None where the score is 0 or 1."""
    games = wins + draws + losses
    if games == 0:
        return None, None
    score = (wins + draws / 2) / games
    if score <= 0 or score >= 1:
        return None, None
    variance = (wins * (1 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / games
    margin = 1.96 * math.sqrt(variance / games)
    low, high = max(score - margin, 1e-6), min(score + margin, 1 - 1e-6)
    return elo(score) + 0.0, (elo(high) - elo(low)) / 2   # + 0.0: no "-0.0" for an even score


def format_elo(wins, draws, losses):
    value, error = elo_with_error(wins, draws, losses)
    if value is None:
        return "Elo n/a"
    return f"Elo {value:+.1f} +- {error:.1f}"


class Tally:
    """Results, faults and depths, shared by the workers."""

    def __init__(self):
        self.lock = threading.Lock()
        self.wins = self.draws = self.losses = 0
        self.faults = []                 # (kind, engine, message)
        self.depths = {"A": [], "B": []}    # MoveRecord of every move
        self.left = {"A": [], "B": []}      # ms on the clock when a game ended

    def line(self):
        games = self.wins + self.draws + self.losses
        score = (self.wins + self.draws / 2) / games if games else 0
        return (f"A +{self.wins} ={self.draws} -{self.losses}, score {score:.3f}, "
                f"{format_elo(self.wins, self.draws, self.losses)}, faults {len(self.faults)}")


def start_engine(path, options, name):
    engine = UciEngine([path], name)
    engine.handshake(options)
    return engine


def play_one(number, args, book, referees, tally, total):
    """Game number (from 0): opening number // 2, A White in even games."""
    referee = referees.get()
    opening = book[(number // 2) % len(book)]
    a_white = number % 2 == 0
    names = ["A", "B"] if a_white else ["B", "A"]
    engines, depths, left = [], [[], []], [0, 0]
    started = time.monotonic()
    try:
        for name in names:
            path, options = (args.a, args.a_option) if name == "A" else (args.b, args.b_option)
            engines.append(start_engine(path, options, name))
        result, reason = play_game(engines, [False, False], referee, opening, args.control, depths, left)
        fault = None
    except (GameFault, EngineDied) as error:
        kind = getattr(error, "kind", "crash or hang")
        side = getattr(error, "side", None)
        if side is None:
            if len(engines) == 2:        # the referee's fault, not a player's
                raise
            side = len(engines)          # the engine that failed to start
        fault = (kind, names[side], str(error))
        result, reason = ("0-1", "1-0")[side], f"{kind} by {names[side]}"
    for engine in engines:
        code = engine.close()
        if code != 0 and fault is None:
            fault = ("crash or hang", engine.name, f"{engine.name} ended with exit code {code}")
    points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
    a_points = points if a_white else 1 - points
    with tally.lock:
        if a_points == 1:
            tally.wins += 1
        elif a_points == 0:
            tally.losses += 1
        else:
            tally.draws += 1
        if fault:
            tally.faults.append(fault)
        for side in (0, 1):
            tally.depths[names[side]] += depths[side]
            tally.left[names[side]].append(left[side])
        played = tally.wins + tally.draws + tally.losses
        print(f"game {number + 1} ({played}/{total} done), A {'white' if a_white else 'black'}, "
              f"opening {(number // 2) % len(book) + 1}: {result} ({reason}), {time.monotonic() - started:.0f} s "
              f"| {tally.line()}", flush=True)
        if fault:
            print(f"  fault: {fault[2]}", flush=True)
    referees.put(referee)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--a", required=True, help="engine A's binary")
    parser.add_argument("--a-option", action="append", default=[], type=option_pair, metavar="NAME=VALUE")
    parser.add_argument("--b", required=True, help="engine B's binary")
    parser.add_argument("--b-option", action="append", default=[], type=option_pair, metavar="NAME=VALUE")
    parser.add_argument("--control", default=Control("5+0.05"), type=Control,
                        help="5+0.05 (seconds + increment), 40/2, movetime=50 or nodes=20000")
    parser.add_argument("--games", type=int, help="default: two per opening of the book")
    parser.add_argument("--concurrency", type=int, default=1)
    parser.add_argument("--book", default=DEFAULT_BOOK)
    args = parser.parse_args()

    book = read_book(args.book)
    total = args.games if args.games is not None else 2 * len(book)
    describe = lambda path, options: path + "".join(f" {n}={v}" for n, v in options)  # noqa: E731
    print(f"match: A = {describe(args.a, args.a_option)}; B = {describe(args.b, args.b_option)}", flush=True)
    print(f"{total} games at {args.control}, concurrency {args.concurrency}, "
          f"{len(book)} openings from {os.path.relpath(args.book)}", flush=True)

    referees = queue.Queue()
    for index in range(args.concurrency):
        referee = UciEngine([stockfish_path()], f"referee {index + 1}")
        referee.handshake()
        referees.put(referee)
    tally, started = Tally(), time.monotonic()
    with ThreadPoolExecutor(args.concurrency) as pool:
        for future in [pool.submit(play_one, n, args, book, referees, tally, total) for n in range(total)]:
            future.result()
    while not referees.empty():
        referees.get().close()

    wall = time.monotonic() - started
    games = tally.wins + tally.draws + tally.losses
    print()
    print(f"games {games}, wall time {wall:.0f} s ({wall / 60:.1f} min)")
    print(f"A: wins {tally.wins}, draws {tally.draws}, losses {tally.losses}; "
          f"score {tally.wins + tally.draws / 2:.1f}/{games} ({(tally.wins + tally.draws / 2) / games:.3f})")
    print(f"A against B: {format_elo(tally.wins, tally.draws, tally.losses)} (95%)")
    for name in ("A", "B"):
        moves = tally.depths[name]
        depths = [move.depth for move in moves if move.depth is not None]
        average = sum(depths) / len(depths) if depths else float("nan")
        print(f"{name}: average depth per move {average:.2f} over {len(depths)} moves")
        completed = [move.completed for move in moves if move.completed is not None]
        if completed:
            print(f"{name}: average completed depth per move {sum(completed) / len(completed):.2f} "
                  f"over {len(completed)} moves (closing statistics line)")
        if moves:
            print(f"{name}: moves with a score {len(depths)}/{len(moves)} ({100 * len(depths) / len(moves):.1f}%), "
                  f"average time per move {sum(move.ms for move in moves) / len(moves):.0f} ms")
        if not args.control.movetime and not args.control.nodes and tally.left[name]:
            print(f"{name}: average clock left at the end {sum(tally.left[name]) / len(tally.left[name]):.0f} ms")
    counts = {kind: sum(1 for k, _, _ in tally.faults if k == kind) for kind in FAULT_KINDS}
    for name in ("A", "B"):
        listed = ", ".join(f"{kind} {sum(1 for k, e, _ in tally.faults if k == kind and e == name)}"
                           for kind in FAULT_KINDS)
        print(f"faults by {name}: {listed}")
    print(f"faults: {len(tally.faults)} ({', '.join(f'{k} {c}' for k, c in counts.items())})")
    for _, _, message in tally.faults:
        print("  " + message)
    return 0


if __name__ == "__main__":
    sys.exit(main())
