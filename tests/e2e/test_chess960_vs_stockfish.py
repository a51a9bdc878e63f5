#!/usr/bin/env python3
"""Fischer-random chess (UCI_Chess960 on) against Debian's stockfish as an independent move
generator: on seeded random start arrays and seeded walks from them, "divide 4" gives the
moves and counts of stockfish's "go perft 4", the position given in Shredder-FEN, in the X-FEN
Varnok writes for it, and as the start array with the walk's moves. Castling is written as the king taking its own rook
in "position ... moves", "bestmove" and "pv"; with the option off, Shredder-FEN's file letters
are refused.
Usage: test_chess960_vs_stockfish.py path/to/varnok"""
import os
import random
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from games import stockfish_path  # noqa: E402
from uci_engine import divide, run_tests, start  # noqa: E402

CHESS960 = ("UCI_Chess960", "true")


def start_array(rng):
    """A random first rank: bishops on squares of both colours, the king between the rooks."""
    rank = [None] * 8
    rank[rng.choice([0, 2, 4, 6])] = rank[rng.choice([1, 3, 5, 7])] = "B"
    for piece in "QNN":
        rank[rng.choice([i for i in range(8) if rank[i] is None])] = piece
    for i, piece in zip([i for i in range(8) if rank[i] is None], "RKR"):
        rank[i] = piece
    return "".join(rank)


def board_of(fen):
    """{square: piece letter} of a FEN's placement."""
    ranks = [re.sub(r"\d", lambda digit: "." * int(digit[0]), rank) for rank in fen.split()[0].split("/")]
    return {f + r: man for r, text in zip("87654321", ranks) for f, man in zip("abcdefgh", text) if man != "."}


def perft(stockfish, position, depth):
    stockfish.send(position, f"go perft {depth}")
    lines = stockfish.wait_for("Nodes searched", 60)
    return {move: int(count) for move, count in re.findall(r"^(\w{4,5}): (\d+)$", "\n".join(lines), re.M)}


def fen(engine, position):
    """The FEN of position as the engine's "d" writes it: stockfish's gives Shredder-FEN rights, Varnok's X-FEN."""
    engine.send(position, "d")
    return next(line[5:] for line in engine.wait_for("Checkers", 30) if line.startswith("Fen: "))


def is_castling(board, move):
    """King takes own rook."""
    return board.get(move[:2]) in ("K", "k") and board.get(move[2:4]) == ("R" if board[move[:2]] == "K" else "r")


def random_walk(stockfish, start, rng, plies):
    """The moves of a walk from start and how many castle. Most moves keep king and rooks
    home, so that castling rights last; a legal castling is played one time in three."""
    moves, castled = [], 0
    for _ in range(plies):
        position = f"position fen {start}" + (" moves " + " ".join(moves) if moves else "")
        legal = sorted(perft(stockfish, position, 1))
        if not legal:
            break
        board = board_of(fen(stockfish, position))
        castlings = [m for m in legal if is_castling(board, m)]
        quiet = [m for m in legal if board[m[:2]] not in "KkRr"]
        if castlings and rng.random() < 1 / 3:
            moves.append(rng.choice(castlings))
            castled += 1
        else:
            moves.append(rng.choice(quiet if quiet and rng.random() < 0.8 else legal))
    return moves, castled


def test_divide_matches_stockfish_in_every_form():
    rng, varnok, stockfish = random.Random(960), start(CHESS960), start(CHESS960, program=stockfish_path())
    compared = castlings = 0
    for walk in range(36):
        array = start_array(rng)
        begin = f"{array.lower()}/pppppppp/8/8/8/8/PPPPPPPP/{array} w KQkq - 0 1"
        moves, castled = random_walk(stockfish, begin, rng, 0 if walk < 4 else rng.randint(6, 40))
        played = f"position fen {begin}" + (" moves " + " ".join(moves) if moves else "")
        shredder = fen(stockfish, played)
        expected = perft(stockfish, f"position fen {shredder}", 4)
        castlings += castled + sum(is_castling(board_of(shredder), move) for move in expected)
        # the X-FEN Varnok writes must read back as the position stockfish counted
        for position in (f"position fen {shredder}", f"position fen {fen(varnok, f'position fen {shredder}')}", played):
            got = divide(varnok, position, 4)
            assert got == expected, (position, sorted(set(got.items()) ^ set(expected.items())))
            compared += 1
    print(f"    {compared} divide lists equal; {castlings} castlings among the walks' and the root moves")
    assert castlings >= 20, "too few castlings to test them"


def test_castling_is_the_king_taking_its_rook_and_the_option_off_refuses_file_letters():
    engine = start(CHESS960)
    italian = "position startpos moves e2e4 e7e5 g1f3 g8f6 f1c4 f8c5"
    engine.send(italian + " e1h1", "d", italian + " e1g1", "d", italian, "go depth 4 searchmoves e1h1")
    lines = engine.wait_for("bestmove", 60)
    assert [line[5:] for line in lines if line.startswith("Fen: ")] == [
        "rnbqk2r/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 0 4",
        "rnbqk2r/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"], lines
    assert any(line.startswith("info string illegal move e1g1") for line in lines), lines
    assert lines[-1].startswith("bestmove e1h1") and any(" pv e1h1" in line for line in lines), lines[-3:]
    engine.send("setoption name UCI_Chess960 value false",
                "position fen bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9", "isready")
    assert engine.wait_for("readyok", 30)[0].startswith("info string invalid FEN"), "file letters read"


run_tests(globals())
