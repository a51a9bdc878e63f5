#!/usr/bin/env python3
"""How often Varnok converts won endgames of four pieces, with Syzygy tables and without:
random won positions (stockfish with the tables says so) of each material are played out
against stockfish with the tables defending; a game counts as converted when Varnok mates
before the fifty-move rule draws it. Prints one line per material and setting; a figure, not
a test.
Usage: tools/syzygy_conversion.py VARNOK [--tables DIR] [--games N] [--movetime MS] [--seed S]"""
import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from endgames import STOCKFISH, Oracle, Referee, play_out, positions_with_result  # noqa: E402
from uci_engine import UciEngine  # noqa: E402

MATERIALS = ["KBNvK", "KQvKR", "KRvKP"]


def engine(command, name, options):
    player = UciEngine(command, name)
    player.handshake(options)
    return player


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("varnok")
    parser.add_argument("--tables", default=os.path.join(HERE, "..", "tests", "data", "syzygy"))
    parser.add_argument("--games", type=int, default=8, help="positions per material")
    parser.add_argument("--movetime", type=int, default=100, help="milliseconds per move for both sides")
    parser.add_argument("--seed", type=int, default=23)
    args = parser.parse_args()
    tables = os.path.abspath(args.tables)

    rng = random.Random(args.seed)
    oracle, referee = Oracle(tables), Referee()
    judge = engine([args.varnok], "judge", [])

    def accepted(fen):
        judge.send(f"position fen {fen}", "isready")
        return not any("invalid FEN" in line for line in judge.wait_for("readyok", 30))

    positions = {m: positions_with_result(oracle, referee, rng, m, "Win", args.games, accepted) for m in MATERIALS}
    defender = engine([STOCKFISH], "stockfish", [("SyzygyPath", tables)])
    go = f"go movetime {args.movetime}"
    print(f"{args.games} won positions per material, {args.movetime} ms a move, stockfish 15.1 with the tables "
          f"defending")
    for setting, options in (("with tables", [("SyzygyPath", tables)]), ("without tables", [])):
        varnok = engine([args.varnok], "varnok", options)
        total = 0
        for material in MATERIALS:
            converted, lengths = 0, []
            for fen in positions[material]:
                result, plies, _ = play_out(varnok, defender, referee, fen, go, go)
                converted += result == 1
                lengths.append(plies)
            total += converted
            print(f"{setting:15} {material:6} converted {converted}/{len(positions[material])}, "
                  f"plies {sum(lengths) / len(lengths):.0f} on average", flush=True)
        print(f"{setting:15} all    converted {total}/{sum(map(len, positions.values()))}", flush=True)
        varnok.close()
    for player in (defender, judge):
        player.close()
    oracle.close()
    referee.close()


if __name__ == "__main__":
    main()
