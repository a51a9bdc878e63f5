#!/usr/bin/env python3
"""The calibration of the engine's levels: the results of matches between
Varnok at UCI_Elo E and stockfish at the same UCI_Elo, as a table and a plot.

usage: level_calibration.py [--csv FILE] [--png FILE] RESULTS.pgn ...
       level_calibration.py --from FILE.csv [--png FILE]

Each PGN holds the games of one or more points, as fastchess writes them
(-pgnout); the players are named varnok-E and stockfish-E. For each label E
it prints a Markdown table row: games, wins, draws and losses for Varnok, its
score, the Elo difference with its 95% error bar (as tools/match.py computes
them), Varnok's time losses and its average time per move. --csv keeps the
figures, --from reads them back instead of the games, and --png draws the
measured Elo (label + difference) against the label with its error bars,
beside the line where they agree and the band of +-75 Elo around it.
"""

import argparse
import collections
import csv
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from match import elo_with_error  # noqa: E402

FIELDS = ["label", "games", "wins", "draws", "losses", "varnok_time_losses", "varnok_ms_per_move"]
MOVE_TIME = re.compile(r"\{[^}]*?(\d+\.\d+)s\}")


def tag(game, name):
    found = re.search(rf'\[{name} "([^"]*)"\]', game)
    return found[1] if found else ""


def varnok_move_times(game, varnok_white):
    """Seconds of each of Varnok's moves, from the comments fastchess writes after every move."""
    moves = game.split("\n\n", 1)[1] if "\n\n" in game else ""
    times = [float(t) for t in MOVE_TIME.findall(moves)]
    # Black moves first when the opening position has Black to move
    black_first = " b " in tag(game, "FEN")
    first = (1 if black_first else 0) if varnok_white else (0 if black_first else 1)
    return times[first::2]


def read_games(paths):
    """Points by label from the PGN files."""
    points = collections.defaultdict(lambda: dict.fromkeys(FIELDS[1:], 0))
    move_ms = collections.defaultdict(list)
    for path in paths:
        with open(path) as pgn:
            games = pgn.read().split("[Event ")[1:]
        for game in games:
            white, result = tag(game, "White"), tag(game, "Result")
            varnok_white = white.startswith("varnok")
            label = int((white if varnok_white else tag(game, "Black")).split("-")[1])
            point = points[label]
            if result not in ("1-0", "0-1", "1/2-1/2"):
                continue
            point["games"] += 1
            won = (result == "1-0") == varnok_white
            point["draws" if result == "1/2-1/2" else "wins" if won else "losses"] += 1
            lost = result != "1/2-1/2" and not won
            if lost and ("on time" in game or tag(game, "Termination") == "time forfeit"):
                point["varnok_time_losses"] += 1
            move_ms[label] += varnok_move_times(game, varnok_white)
    for label, times in move_ms.items():
        points[label]["varnok_ms_per_move"] = round(1000 * sum(times) / len(times)) if times else 0
    return dict(sorted(points.items()))


def read_csv(path):
    with open(path) as text:
        return {int(row["label"]): {k: int(row[k]) for k in FIELDS[1:]} for row in csv.DictReader(text)}


def write_csv(points, path):
    with open(path, "w", newline="") as text:
        writer = csv.DictWriter(text, FIELDS)
        writer.writeheader()
        for label, point in points.items():
            writer.writerow({"label": label, **point})


def print_table(points):
    print("| UCI_Elo | games | Varnok +/=/- | score | Elo difference | Varnok time losses | Varnok ms/move |")
    print("|---:|---:|:---:|---:|---:|---:|---:|")
    for label, p in points.items():
        value, error = elo_with_error(p["wins"], p["draws"], p["losses"])
        score = (p["wins"] + p["draws"] / 2) / p["games"]
        difference = f"{value:+.0f} ± {error:.0f}" if value is not None else "n/a"
        print(f"| {label} | {p['games']} | +{p['wins']} ={p['draws']} -{p['losses']} | {100 * score:.1f}% "
              f"| {difference} | {p['varnok_time_losses']} | {p['varnok_ms_per_move']} |")


def plot(points, path):
    try:
        import matplotlib
    except ImportError:
        sys.exit("--png needs matplotlib: apt-get install python3-matplotlib, then run this with /usr/bin/python3")
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    labels, measured, errors = [], [], []
    for label, p in points.items():
        value, error = elo_with_error(p["wins"], p["draws"], p["losses"])
        if value is not None:
            labels.append(label)
            measured.append(label + value)
            errors.append(error)
    low, high = min(points) - 100, max(points) + 100
    figure, axes = plt.subplots(figsize=(6.4, 5.2))
    axes.fill_between([low, high], [low - 75, high - 75], [low + 75, high + 75], color="0.9", label="±75 Elo")
    axes.plot([low, high], [low, high], color="0.5", linewidth=1, label="measured = label")
    axes.errorbar(labels, measured, yerr=errors, fmt="o", capsize=4, label="Varnok, 95% error bar")
    axes.set_xlim(low, high)
    axes.set_xlabel("UCI_Elo label (Varnok and stockfish 15.1 alike)")
    axes.set_ylabel("measured Elo on stockfish's scale")
    axes.set_title("Varnok's levels against stockfish's, 10+0.1")
    axes.legend(loc="upper left")
    axes.grid(True, linewidth=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("pgn", nargs="*")
    parser.add_argument("--from", dest="source", help="figures written earlier with --csv")
    parser.add_argument("--csv")
    parser.add_argument("--png")
    args = parser.parse_args()
    points = read_csv(args.source) if args.source else read_games(args.pgn)
    if not points:
        sys.exit("no games")
    print_table(points)
    if args.csv:
        write_csv(points, args.csv)
    if args.png:
        plot(points, args.png)


if __name__ == "__main__":
    main()
