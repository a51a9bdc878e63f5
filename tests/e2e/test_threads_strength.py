#!/usr/bin/env python3
"""Play at a chosen strength, driven as a GUI drives it: the options refuse or clamp bad
values in one line; at each level every answer is legal and comes once per "go", and the
same commands give the same moves; at 2000 no move gives up more than a pawn against the
best line of its own search; "stop" cuts short the wait before a level's answer.
Usage: test_threads_strength.py path/to/varnok"""
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import answers, legal_moves, run_tests, start  # noqa: E402

MIDDLEGAMES = ["r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
               "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
               "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
               "2r3k1/pp3ppp/2n1b3/3pP3/3P4/P4N2/1P3PPP/2R1R1K1 b - - 0 20"]
PAWN_CP = 100


def one_answer(engine, go="go depth 60"):
    """The lines of one search; a second "bestmove" before the next "readyok" fails."""
    engine.send(go)
    lines = engine.wait_for("bestmove", 60)
    assert lines, go
    engine.send("isready")
    assert not [line for line in engine.wait_for("readyok", 30) if line.startswith("bestmove")], go
    return lines


def self_play(elo, plies=10):
    """A level plays both sides from the start; every answer must be legal."""
    engine, moves = start(("UCI_LimitStrength", "true"), ("UCI_Elo", elo)), []
    for _ in range(plies):
        position = "position startpos moves " + " ".join(moves)
        engine.send(position)
        move = one_answer(engine)[-1].split()[1]
        assert move in legal_moves(engine, position), (elo, moves, move)
        moves.append(move)
    return moves


def test_options_refuse_or_clamp_bad_values_in_one_line():
    out = answers("setoption name UCI_Elo value 9999", "setoption name UCI_Elo value strong",
                  "setoption name Skill Level value -3", "setoption name UCI_LimitStrength value yes")
    assert out == ["info string UCI_Elo 9999 is out of range, set to 2050\n",
                   "info string UCI_Elo needs a whole number from 1350 to 2050\n",
                   "info string Skill Level -3 is out of range, set to 0\n",
                   "info string UCI_LimitStrength is true or false\n"], out


def test_each_level_answers_legally_once_per_go_and_repeats_itself():
    for elo in (1350, 1700, 2050):
        first = self_play(elo)
        assert self_play(elo) == first, elo


def test_at_2000_no_move_gives_up_a_pawn_against_the_best_line():
    engine = start(("UCI_LimitStrength", "true"), ("UCI_Elo", 2000), ("MultiPV", 4))
    for game in range(6):
        engine.send("ucinewgame")   # a new game draws afresh
        for fen in MIDDLEGAMES:
            engine.send("position fen " + fen)
            lines = one_answer(engine)
            shown = {}   # multipv index: (score, first move) of the last completed iteration
            for index, kind, value, move in re.findall(r"multipv (\d+) score (cp|mate) (-?\d+).* pv (\S+)",
                                                       "\n".join(lines)):
                shown[int(index)] = (int(value) if kind == "cp" else 100000 * int(value), move)
            chosen = lines[-1].split()[1]
            score = next(value for value, move in shown.values() if move == chosen)
            assert score >= shown[1][0] - PAWN_CP, (game, fen, chosen, shown)


def test_stop_cuts_short_the_wait_before_a_level_answers():
    engine = start(("UCI_LimitStrength", "true"), ("UCI_Elo", 1350))
    engine.send("position fen " + MIDDLEGAMES[0], "go wtime 600000 btime 600000")
    time.sleep(0.5)   # the search itself spends its thousand nodes within milliseconds
    began = time.monotonic()
    engine.send("stop")
    assert engine.wait_for("bestmove", 10) and time.monotonic() - began < 0.5


run_tests(globals())
