#!/usr/bin/env python3
"""Fischer-random chess (UCI_Chess960 on) against an independent move generator:
for positions from seeded random start arrays and seeded random walks from them,
Varnok's "divide N" and Debian stockfish's "go perft N" must list the same moves
with the same counts, the position given in Shredder-FEN, in X-FEN, and as a
start array with the walk's moves. Then the option's UCI side: castling written
as the king taking its own rook in "position ... moves", "bestmove" and "pv",
and the option off refusing the file letters of Shredder-FEN.
Usage: test_chess960_vs_stockfish.py path/to/varnok"""
import os
import random
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import UciEngine  # noqa: E402

BINARY = sys.argv[1]
STOCKFISH = shutil.which("stockfish") or "/usr/games/stockfish"
SEED = 960


def start_array(rng):
    """A random Chess960 first rank: bishops on squares of both colours, the king between the rooks."""
    rank = [None] * 8
    rank[rng.choice([0, 2, 4, 6])] = rank[rng.choice([1, 3, 5, 7])] = "B"
    for piece in "QNN":
        rank[rng.choice([i for i in range(8) if rank[i] is None])] = piece
    for i, piece in zip([i for i in range(8) if rank[i] is None], "RKR"):
        rank[i] = piece
    return "".join(rank)


def board_of(fen):
    """{square name: piece letter} of a FEN's placement."""
    board = {}
    for row, text in zip("87654321", fen.split()[0].split("/")):
        file = 0
        for ch in text:
            if ch.isdigit():
                file += int(ch)
            else:
                board["abcdefgh"[file] + row] = ch
                file += 1
    return board


def x_fen(shredder):
    """The same position with its rights in X-FEN: K/Q (k/q) for the outermost rook on a side."""
    fields = shredder.split()
    board, rights = board_of(shredder), ""
    for letter in fields[2].replace("-", ""):
        rank, rook, king = ("1", "R", "K") if letter.isupper() else ("8", "r", "k")
        files = [f for f in "abcdefgh" if board.get(f + rank) == rook]
        king_file = next(f for f in "abcdefgh" if board.get(f + rank) == king)
        file = letter.lower()
        side = [f for f in files if (f > king_file) == (file > king_file)]
        outer = max(side) if file > king_file else min(side)
        name = ("k" if file > king_file else "q") if file == outer else file
        rights += name.upper() if letter.isupper() else name
    fields[2] = rights or "-"
    return " ".join(fields)


class Pair:
    """Varnok and stockfish, both with UCI_Chess960 on."""

    def __init__(self):
        self.varnok = UciEngine([BINARY], "varnok")
        self.stockfish = UciEngine([STOCKFISH], "stockfish")
        for engine in (self.varnok, self.stockfish):
            engine.handshake([("UCI_Chess960", "true")])

    def stockfish_perft(self, position, depth):
        self.stockfish.send(position)
        self.stockfish.send(f"go perft {depth}")
        lines = self.stockfish.wait_for("Nodes searched", 60)
        return {m: int(n) for m, n in (line.split(": ") for line in lines if re.fullmatch(r"\w{4,5}: \d+", line))}

    def varnok_divide(self, position, depth):
        self.varnok.send(position)
        self.varnok.send(f"divide {depth}")
        self.varnok.send("isready")
        lines = self.varnok.wait_for("readyok", 60)
        moves = {m: int(n) for m, n in (line.split(" noeuds ") for line in lines if re.fullmatch(r"\w{4,5} noeuds \d+", line))}
        assert f"prof : {depth} noeuds {sum(moves.values())}" in lines and f"nb moves : {len(moves)}" in lines, lines
        return moves

    def stockfish_fen(self, position):
        self.stockfish.send(position)
        self.stockfish.send("d")
        return next(line[5:] for line in self.stockfish.wait_for("Checkers", 30) if line.startswith("Fen: "))

    def close(self):
        for engine in (self.varnok, self.stockfish):
            assert engine.close() == 0, engine.name


def is_castling(board, move):
    """King takes own rook."""
    mover, target = board.get(move[:2]), board.get(move[2:4])
    return mover in ("K", "k") and target == ("R" if mover == "K" else "r")


def random_walk(pair, start, rng, plies):
    """The moves of a walk from start and how many castle. Most moves keep king and
    rooks home, so that castling rights last; a legal castling is played one time in three."""
    moves, castled = [], 0
    for _ in range(plies):
        position = f"position fen {start}" + (" moves " + " ".join(moves) if moves else "")
        legal = sorted(pair.stockfish_perft(position, 1))
        if not legal:
            break
        board = board_of(pair.stockfish_fen(position))
        castlings = [m for m in legal if is_castling(board, m)]
        quiet = [m for m in legal if board[m[:2]] not in "KkRr"]
        if castlings and rng.random() < 1 / 3:
            moves.append(rng.choice(castlings))
            castled += 1
        else:
            moves.append(rng.choice(quiet if quiet and rng.random() < 0.8 else legal))
    return moves, castled


def test_divide_matches_stockfish_in_every_form():
    rng, pair = random.Random(SEED), Pair()
    compared = castlings = 0
    try:
        for walk in range(36):
            array = start_array(rng)
            start = f"{array.lower()}/pppppppp/8/8/8/8/PPPPPPPP/{array} w KQkq - 0 1"
            moves, castled = random_walk(pair, start, rng, 0 if walk < 4 else rng.randint(6, 40))
            castlings += castled
            played = f"position fen {start}" + (" moves " + " ".join(moves) if moves else "")
            shredder = pair.stockfish_fen(played)
            depth = 4
            expected = pair.stockfish_perft(f"position fen {shredder}", depth)
            board = board_of(shredder)
            castlings += sum(is_castling(board, m) for m in expected)
            for position in (f"position fen {shredder}", f"position fen {x_fen(shredder)}", played):
                got = pair.varnok_divide(position, depth)
                assert got == expected, (position, sorted(set(got.items()) ^ set(expected.items())))
                compared += 1
    finally:
        pair.close()
    print(f"{compared} divide lists equal; {castlings} castlings among the walks' and the root moves")
    assert castlings >= 20, "too few castlings to test them"


def test_castling_text_and_the_option_off():
    engine = UciEngine([BINARY], "varnok")
    try:
        engine.handshake([("UCI_Chess960", "true")])
        italian = "position startpos moves e2e4 e7e5 g1f3 g8f6 f1c4 f8c5"
        for command in (italian + " e1h1", "d", italian + " e1g1", "d", italian, "go depth 4 searchmoves e1h1"):
            engine.send(command)
        lines = engine.wait_for("bestmove", 60)
        fens = [line[5:] for line in lines if line.startswith("Fen: ")]
        assert fens == ["rnbqk2r/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 0 4",
                        "rnbqk2r/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"], fens
        assert any(line.startswith("info string illegal move e1g1") for line in lines), lines
        assert lines[-1].startswith("bestmove e1h1") and any(" pv e1h1" in line for line in lines), lines[-3:]
        engine.send("setoption name UCI_Chess960 value false")
        engine.send("position fen bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9")
        engine.send("isready")
        lines = engine.wait_for("readyok", 30)
        assert lines[0].startswith("info string invalid FEN"), lines
    finally:
        assert engine.close() == 0


if __name__ == "__main__":
    failures = 0
    for name, test in [(n, f) for n, f in list(globals().items()) if n.startswith("test_")]:
        try:
            test()
            print("ok  ", name)
        except Exception as error:  # report every test, then fail
            failures += 1
            print("FAIL %s: %s: %s" % (name, type(error).__name__, error))
    sys.exit(1 if failures else 0)
