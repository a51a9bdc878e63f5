#!/usr/bin/env python3
"""The engine's texts over pipes, as a GUI and a tester read them: identification,
"isready", "position", "perft", "divide", "eval" and the bench signature; bad input,
which the engine survives with one "info string" line, keeping the position it held.
Usage: test_uci.py path/to/varnok"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import BANNER, answers, run_script, run_tests, start  # noqa: E402

UCI = ("id name Varnok 3.7.1 32 bits\nid author Brannock\noption name Hash type spin default 256 min 4 max 1024\n"
       "option name Ponder type check default false\noption name MultiPV type spin default 1 min 1 max 256\n"
       "option name Clear Hash type button\noption name Move Overhead type spin default 880 min 0 max 5000\n"
       "option name Threads type spin default 1 min 1 max 256\noption name UCI_Chess960 type check default false\n"
       "option name UCI_LimitStrength type check default false\n"
       "option name UCI_Elo type spin default 1500 min 1350 max 2050\n"
       "option name Skill Level type spin default 20 min 0 max 20\n"
       "option name SyzygyPath type string default <empty>\n"
       "option name SyzygyProbeDepth type spin default 1 min 1 max 100\n"
       "option name Syzygy50MoveRule type check default true\n"
       "option name SyzygyProbeLimit type spin default 7 min 0 max 7\nuciok\n")
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
TERMS = ["pawns", "pieces", "king safety", "threats", "passed pawns", "pawn race", "space", "mobility", "imbalance",
         "tempo"]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def fen(d_output):
    fens = [line[5:] for line in d_output.splitlines() if line.startswith("Fen: ")]
    assert len(fens) == 1, d_output
    return fens[0]


def test_identification_isready_and_the_end_of_input():
    # byte for byte; blanks around a command do not matter; quit and the end of input exit 0
    for data, out in [("", ""), ("uci\n  uci\t \r\n", UCI * 2), (" \t isready \r\n", "readyok\n"),
                      ("isready", "readyok\n"), ("uci\nquit\nisready\n", UCI), (" quit \r\nuci\n", ""),
                      ("xquit\nquit now\nQuit\nisready\n", "readyok\n")]:
        assert run_script(data) == BANNER + out, data


def test_position_perft_and_divide_texts():
    out = answers("d", "position startpos moves e2e4 e7e5 g1f3", "d", "position startpos", "perft 4", "divide 2",
                  "divide 1", "d", "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                  "perft 2", "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8Q e8d7", "d",
                  "position fen 8/8/8/8/8/8/8/K6k w - - 0 1 moves a1a2", "position", "d",
                  "position fen 4k3/8/8/8/8/8/8/4KQ2 w - - 9999 10000 moves f1f7 e8d8", "d")
    assert fen(out[0]) == START and out[1] == "" and out[3] == ""
    assert fen(out[2]) == "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"
    times = [int(re.fullmatch(r"prof : %d noeuds %d   time (\d+) ms" % (depth, count), line)[1])
             for depth, (line, count) in enumerate(zip(out[4].splitlines(), [20, 400, 8902, 197281]), 1)]
    assert len(times) == 4 and times == sorted(times), out[4]  # the time is cumulative
    assert out[5] == "".join(f"{move} noeuds 20\n" for move in "a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 "
                             "c2c4 d2d4 e2e4 f2f4 g2g4 h2h4 b1a3 b1c3 g1f3 g1h3".split()) \
        + "prof : 2 noeuds 400\nnb moves : 20\n"
    assert out[6] == "prof : 1 noeuds 20\nnb moves : 20\n"
    assert out[7] == out[0], "perft and divide leave the position as they found it"
    assert re.fullmatch(r"prof : 1 noeuds 48   time \d+ ms\nprof : 2 noeuds 2039   time \d+ ms\n", out[9]), out[9]
    assert out[10] == "" and fen(out[11]) == "Q7/3k4/8/8/8/8/8/4K3 w - - 1 2"
    assert out[12:14] == ["", ""] and fen(out[14]) == "8/8/8/8/8/8/K7/7k b - - 1 1"
    assert out[15] == "" and fen(out[16]) == "3k4/5Q2/8/8/8/8/8/4K3 w - - 10001 10001"  # moves pass the FEN limits


def test_bad_input_is_refused_in_one_line_and_the_position_kept():
    after_e2e4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
    after_two = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"
    promotion = "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"
    # the FEN reader's rules are the unit tests'; here one of each kind of refusal
    cases = [("position fen " + text, after_e2e4, None) for text in [
        "", "8/8/8/8/8/8/K6k w - - 0 1", "4k3/8/8/8/8/8/8/4K2r b - - 0 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999",
        "4k3/4K3/8/8/8/8/8/8 b - - 0 1 moves e8e7", "4k3/8/8/8/8/8/8/4K3 w - - 2147483647 1 moves e1e2",
        "4k3/8/8/8/8/8/8/4K3 b - - 0 1 x moves e8e7"]]
    cases += [("position startpos moves e2e4 e7e5 %s g1f3" % word, after_two, word)
              for word in ["e1e2x", "e2e5", "e1g1", "i2i4", "zz", "e2", "a1a1", "0000", "E2E4", "d8d7"]]
    cases += [("position fen %s moves %s" % (promotion, word), promotion, word) for word in ["a7a8", "a7a8k"]]
    cases += [("position startpos moves " + " ".join(["g1f3 g8f6 f3g1 f6g8"] * 260),  # longer than the stack
               "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 1024 513", "g1f3")]
    out = answers("position startpos moves e2e4", *[c for text, _, _ in cases for c in (text, "d")], "perft 2")
    for i, (text, position, word) in enumerate(cases):
        refusal = out[1 + 2 * i].splitlines()
        assert len(refusal) == 1 and refusal[0].startswith("info string "), (text[:80], refusal)
        assert word is None or word in refusal[0], (word, refusal)
        assert fen(out[2 + 2 * i]) == position, (text[:80], fen(out[2 + 2 * i]))
    assert [line.split("   ")[0] for line in out[-1].splitlines()] == ["prof : 1 noeuds 20", "prof : 2 noeuds 400"]


def test_unknown_commands_and_bad_depths_write_nothing():
    silent = ["UCI", "xuci", "uci x", "ISREADY", "", "   ", "hello", "debug on", "d2", "Position startpos",
              "perft", "perft x", "perft 0", "perft -1", "perft -2147483648", "perft 2147483648", "perft 4294967297",
              "perft 99999999999999999999", "perft 1.5", "perft +-1", "divide", "divide 0", "divide -3", "divide 2 x",
              "divide 4294967297", "divide 1e3", "bench 0", "bench -3", "bench x", "bench 99999999999"]
    out = answers(*silent, "d")
    assert out[:-1] == [""] * len(silent), [(c, o) for c, o in zip(silent, out) if o]
    assert fen(out[-1]) == START


def test_a_search_from_the_largest_move_number():
    engine = start()
    lines = engine.search("position fen 4k3/8/8/8/8/8/8/4KQ2 w - - 0 10000", "go depth 8")
    assert re.fullmatch(r"bestmove f1\w\w( ponder \w{4})?", lines[-1]), lines


def test_eval_gives_each_term_and_the_pinned_value_for_the_side_to_move_as_the_root():
    with open(os.path.join(DATA, "eval_values.txt")) as data:
        cases = [line.strip().split(";") for line in data if line.strip() and not line.startswith("#")]
    outputs = answers(*[command for fen, _ in cases for command in (f"position fen {fen}", "eval")])[1::2]
    for (fen, value), out in zip(cases, outputs):
        lines = out.splitlines()
        missing = [term for term in TERMS if not any(line.startswith(term) for line in lines)]
        assert lines[-1] == f"Final evaluation: {value}" and not missing, (fen, lines[-1], value, missing)


def test_bench_gives_the_signature_every_time_and_keeps_the_position():
    with open(os.path.join(DATA, "bench_signature.txt")) as pinned:
        signature = int(pinned.read())   # changes only when the search or the evaluation does, deliberately
    script = "setoption name Hash value 64\nposition startpos moves e2e4\ngo depth 3 nodes 1000 mate 1 movetime 1\n"
    lines = run_script(script + "bench\nbench\ngo depth 3\nd\nquit\n", timeout=300).splitlines()   # whatever go set
    counts = [i for i, line in enumerate(lines) if line.startswith("Nodes searched  : ")]
    assert [int(lines[i].split(":")[1]) for i in counts] == [signature] * 2, lines[-40:]
    answered = [i for i, line in enumerate(lines) if line.startswith("bestmove")]
    assert len(answered) == 2 and not any(line.startswith("info") for line in lines[answered[0]:counts[-1]])
    assert "Fen: " + "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1" in lines, lines[-20:]


run_tests(globals())
