#!/usr/bin/env python3
"""Builds tests/data/openings.txt, the book tools/match.py plays from: short
opening lines, as UCI moves from the start position, kept only when stockfish
scores the position within +-50 centipawns, so that neither colour starts
with a won game. Run once; the file is committed so that matches repeat.

usage: make_openings.py [--depth 16] [--limit 50] [--count 60] > tests/data/openings.txt
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from games import stockfish_path  # noqa: E402
from uci_engine import UciEngine  # noqa: E402

# Common lines of 4 to 8 plies, most of them main lines of well-known openings
CANDIDATES = """
e2e4 e7e5 g1f3 b8c6 f1b5 a7a6
e2e4 e7e5 g1f3 b8c6 f1b5 g8f6
e2e4 e7e5 g1f3 b8c6 f1c4 f8c5
e2e4 e7e5 g1f3 b8c6 f1c4 g8f6
e2e4 e7e5 g1f3 b8c6 d2d4 e5d4 f3d4
e2e4 e7e5 g1f3 g8f6 f3e5 d7d6
e2e4 e7e5 g1f3 d7d6 d2d4 g8f6
e2e4 e7e5 b1c3 g8f6 g2g3
e2e4 e7e5 g1f3 b8c6 b1c3 g8f6
e2e4 e7e5 f2f4 e5f4 g1f3
e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6
e2e4 c7c5 g1f3 b8c6 d2d4 c5d4 f3d4
e2e4 c7c5 g1f3 e7e6 d2d4 c5d4 f3d4
e2e4 c7c5 b1c3 b8c6 g2g3
e2e4 c7c5 c2c3 g8f6 e4e5 f6d5
e2e4 c7c5 g1f3 d7d6 f1b5 c8d7
e2e4 c7c5 g1f3 g7g6 d2d4 c5d4
e2e4 c7c5 g1f3 b8c6 f1b5 g7g6
e2e4 e7e6 d2d4 d7d5 b1c3 g8f6
e2e4 e7e6 d2d4 d7d5 b1c3 f8b4
e2e4 e7e6 d2d4 d7d5 e4e5 c7c5
e2e4 e7e6 d2d4 d7d5 b1d2 c7c5
e2e4 c7c6 d2d4 d7d5 e4e5 c8f5
e2e4 c7c6 d2d4 d7d5 b1c3 d5e4 c3e4
e2e4 c7c6 d2d4 d7d5 e4d5 c6d5
e2e4 d7d5 e4d5 d8d5 b1c3 d5a5
e2e4 g8f6 e4e5 f6d5 d2d4 d7d6
e2e4 d7d6 d2d4 g8f6 b1c3 g7g6
e2e4 g7g6 d2d4 f8g7 b1c3 d7d6
e2e4 b8c6 d2d4 d7d5
d2d4 d7d5 c2c4 e7e6 b1c3 g8f6
d2d4 d7d5 c2c4 c7c6 g1f3 g8f6
d2d4 d7d5 c2c4 d5c4 g1f3 g8f6
d2d4 d7d5 c2c4 c7c6 b1c3 g8f6 g1f3 e7e6
d2d4 d7d5 g1f3 g8f6 c1f4
d2d4 d7d5 g1f3 g8f6 e2e3 e7e6
d2d4 g8f6 c2c4 e7e6 b1c3 f8b4
d2d4 g8f6 c2c4 e7e6 g1f3 b7b6
d2d4 g8f6 c2c4 e7e6 g2g3 d7d5
d2d4 g8f6 c2c4 g7g6 b1c3 f8g7 e2e4 d7d6
d2d4 g8f6 c2c4 g7g6 b1c3 d7d5
d2d4 g8f6 c2c4 c7c5 d4d5 e7e6
d2d4 g8f6 c2c4 c7c5 d4d5 b7b5
d2d4 g8f6 c2c4 e7e5
d2d4 g8f6 g1f3 g7g6 g2g3 f8g7
d2d4 g8f6 c1g5 e7e6
d2d4 f7f5 g2g3 g8f6 f1g2 g7g6
d2d4 e7e6 c2c4 f8b4 c1d2
d2d4 d7d6 e2e4 g8f6
d2d4 g8f6 c2c4 d7d6 b1c3 e7e5
c2c4 e7e5 b1c3 g8f6 g1f3 b8c6
c2c4 e7e5 g2g3 g8f6 f1g2 d7d5
c2c4 c7c5 g1f3 g8f6 b1c3 b8c6
c2c4 g8f6 b1c3 e7e6 e2e4
c2c4 e7e6 b1c3 d7d5 d2d4
c2c4 g8f6 g2g3 g7g6 f1g2 f8g7
c2c4 c7c6 e2e4 d7d5
g1f3 d7d5 g2g3 g8f6 f1g2 e7e6
g1f3 g8f6 c2c4 b7b6 g2g3 c8b7
g1f3 d7d5 c2c4 e7e6 g2g3 g8f6
g1f3 c7c5 c2c4 b8c6 b1c3
g1f3 g8f6 g2g3 g7g6 b2b3 f8g7
g2g3 d7d5 f1g2 g8f6 g1f3
b2b3 e7e5 c1b2 b8c6 e2e3
e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6
e2e4 e7e5 g1f3 b8c6 d2d4 e5d4 f1c4
e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6
e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 g7g6
e2e4 e7e6 d2d4 d7d5 e4d5 e6d5
e2e4 c7c6 c2c4 d7d5
e2e4 e7e5 g1f3 b8c6 c2c3 g8f6
e2e4 e7e5 d2d4 e5d4 d1d4 b8c6
e2e4 c7c5 d2d4 c5d4 c2c3
d2d4 d7d5 c2c4 e7e6 b1c3 c7c5
d2d4 d7d5 c2c4 e7e6 g1f3 g8f6 c1g5
d2d4 g8f6 c2c4 e7e6 g1f3 d7d5 b1c3 f8e7
d2d4 g8f6 g1f3 e7e6 c1f4
d2d4 g8f6 c2c4 g7g6 g2g3 f8g7 f1g2 e8g8
c2c4 b7b6 d2d4 e7e6
e2e4 a7a6 d2d4 b7b5
f2f4 d7d5 g1f3 g8f6
e2e3 e7e5 d2d4 e5d4 e3d4 d7d5
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--depth", type=int, default=16)
    parser.add_argument("--limit", type=int, default=50, help="largest |score| kept, centipawns")
    parser.add_argument("--count", type=int, default=60)
    args = parser.parse_args()

    engine = UciEngine([stockfish_path()], "stockfish")
    engine.handshake([("Threads", 1), ("Hash", 64)])
    kept = []
    for line in (text.strip() for text in CANDIDATES.strip().splitlines()):
        engine.send("ucinewgame")
        engine.send("position startpos moves " + line)
        engine.send(f"go depth {args.depth}")
        lines = engine.wait_for("bestmove", 120)
        words = next(text for text in reversed(lines) if " score " in text).split()
        kind, value = words[words.index("score") + 1], int(words[words.index("score") + 2])
        # the score is the side to move's; the book keeps White's view
        white = value if len(line.split()) % 2 == 0 else -value
        ok = kind == "cp" and abs(white) <= args.limit
        print(f"{'kept' if ok else 'dropped'} {kind} {white:+d}: {line}", file=sys.stderr, flush=True)
        if ok:
            kept.append(line)
    engine.close()
    if len(kept) < args.count:
        print(f"only {len(kept)} lines within {args.limit} cp", file=sys.stderr)
    print(f"# {min(len(kept), args.count)} opening lines (UCI moves from the start position),")
    print(f"# each within +-{args.limit} cp by stockfish at depth {args.depth}; made by tools/make_openings.py")
    for line in kept[:args.count]:
        print(line)


if __name__ == "__main__":
    main()
