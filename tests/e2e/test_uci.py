#!/usr/bin/env python3
"""The engine over pipes, as a GUI drives it: identification, "isready",
"position", the "perft" and "divide" texts, and bad input, which the engine
survives with one "info string" line, keeping the position it should hold.
Usage: test_uci.py path/to/varnok"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import UciEngine  # noqa: E402

BINARY = sys.argv[1]
BANNER = b"Varnok 3.7.1 by Brannock\n"
UCI = (b"id name Varnok 3.7.1 32 bits\nid author Brannock\noption name Hash type spin default 256 min 4 max 1024\n"
       b"option name Ponder type check default false\noption name MultiPV type spin default 1 min 1 max 256\n"
       b"option name Clear Hash type button\noption name Move Overhead type spin default 880 min 0 max 5000\n"
       b"option name Threads type spin default 1 min 1 max 256\noption name UCI_Chess960 type check default false\n"
       b"uciok\n")
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
START_MOVES = ["a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4", "c2c4", "d2d4",
               "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"]


def engine(data):
    result = subprocess.run([BINARY], input=data, capture_output=True, timeout=60)
    assert result.returncode == 0 and not result.stderr, (result.returncode, result.stderr[:300], data[-60:])
    return result.stdout


def run(*commands):
    """The engine's output for each command, up to the "readyok" of an "isready" sent after it."""
    out = engine("".join(c + "\nisready\n" for c in commands).encode())
    assert out.startswith(BANNER) and b"\r" not in out, out[:200]
    parts = out[len(BANNER):].split(b"readyok\n")
    assert len(parts) == len(commands) + 1 and parts[-1] == b"", out[-300:]
    return [part.decode() for part in parts[:-1]]


def fen(d_output):
    fens = [line[5:] for line in d_output.splitlines() if line.startswith("Fen: ")]
    assert len(fens) == 1, d_output
    return fens[0]


def test_identification_isready_and_the_end_of_input():
    # byte for byte; blanks around a command do not matter; quit and the end of input exit 0
    for data, out in [(b"", b""), (b"uci\n  uci\t \r\n", UCI * 2), (b" \t isready \r\n", b"readyok\n"),
                      (b"isready", b"readyok\n"), (b"uci\nquit\nisready\n", UCI), (b" quit \r\nuci\n", b""),
                      (b"xquit\nquit now\nQuit\nisready\n", b"readyok\n")]:
        assert engine(data) == BANNER + out, data


def test_position_perft_and_divide_texts():
    out = run("d", "position startpos moves e2e4 e7e5 g1f3", "d", "position startpos", "perft 4", "divide 2",
              "divide 1", "d", "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
              "perft 2", "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8Q e8d7", "d",
              "position fen 8/8/8/8/8/8/8/K6k w - - 0 1 moves a1a2", "position", "d")
    assert fen(out[0]) == START and out[1] == "" and out[3] == ""
    assert fen(out[2]) == "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"
    times = []
    for depth, (line, count) in enumerate(zip(out[4].splitlines(), [20, 400, 8902, 197281]), 1):
        times.append(int(re.fullmatch(r"prof : %d noeuds %d   time (\d+) ms" % (depth, count), line).group(1)))
    assert len(times) == 4 and times == sorted(times), out[4]  # the time is cumulative
    assert out[5] == "".join("%s noeuds 20\n" % m for m in START_MOVES) + "prof : 2 noeuds 400\nnb moves : 20\n"
    assert out[6] == "prof : 1 noeuds 20\nnb moves : 20\n"
    assert out[7] == out[0], "perft and divide leave the position as they found it"
    assert re.fullmatch(r"prof : 1 noeuds 48   time \d+ ms\nprof : 2 noeuds 2039   time \d+ ms\n", out[9]), out[9]
    assert out[10] == "" and fen(out[11]) == "Q7/3k4/8/8/8/8/8/4K3 w - - 1 2"
    assert out[12:14] == ["", ""] and fen(out[14]) == "8/8/8/8/8/8/K7/7k b - - 1 1"


def test_bad_input_is_refused_in_one_line_and_the_position_kept():
    after_e2e4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
    after_two = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"
    promotion = "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"
    cases = [("position fen " + text, after_e2e4, None) for text in [
        "8/8/8/8/8/8/K6k w - - 0 1", "8/8/8/8/8/8/8/K7k w - - 0 1", "8/8/8/8/8/8/8/K6x w - - 0 1",
        "8/8/8/8/8/8/8/K5Kk w - - 0 1", "8/8/8/8/8/8/8/KP5k w - - 0 1", "4k3/8/8/8/8/8/8/4K2r b - - 0 1",
        "4k3/8/8/8/8/8/8/4K3 w - - x 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999", "",
        "8/8/8/8/8/8/8/K6x w - - 0 1 moves a1a2",
        "4k3/4K3/8/8/8/8/8/8 b - - 0 1 moves e8e7", "8/8/8/8/6P1/8/4k3/5K2 w - - 0 1",  # kings side by side
        "8/8/6r1/8/8/8/r1k2P2/2K5 w - - 36 81",
        "4k3/8/8/8/8/8/8/4K3 w - - 2147483647 1 moves e1e2", "4k3/8/8/8/8/8/8/4K3 w - - 0 2147483647 moves e1e2",
        "4k3/8/8/8/8/8/8/4KQ2 w - - 0 10001", "4k3/8/8/8/8/8/8/4K3 x ZZ e9 0 1 junk",
        "4k3/8/8/8/8/8/8/4K3 w KQkqQ - 0 1", "4k3/8/8/8/8/8/8/4K3 w - e4 0 1", "4k3/8/8/8/8/8/8/4K3 b - - 0 1 junk",
        "4k3/8/8/8/8/8/8/4K3 b - - 0 1 x moves e8e7"]]
    cases += [("position startpos moves e2e4 e7e5 %s g1f3" % word, after_two, word)
              for word in ["e1e2x", "e2e5", "e1g1", "i2i4", "zz", "e2", "a1a1", "0000", "E2E4", "d8d7"]]
    cases += [("position fen %s moves %s" % (promotion, word), promotion, word) for word in ["a7a8", "a7a8k"]]
    cases += [("position startpos moves " + " ".join(["g1f3 g8f6 f3g1 f6g8"] * 260),  # longer than the stack
               "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 1024 513", "g1f3")]
    out = run("position startpos moves e2e4", *[c for text, _, _ in cases for c in (text, "d")], "perft 2")
    for i, (text, position, word) in enumerate(cases):
        refusal = out[1 + 2 * i].splitlines()
        assert len(refusal) == 1 and refusal[0].startswith("info string "), (text[:80], refusal)
        assert word is None or word in refusal[0], (word, refusal)
        assert fen(out[2 + 2 * i]) == position, (text[:80], fen(out[2 + 2 * i]))
    assert [line.split("   ")[0] for line in out[-1].splitlines()] == ["prof : 1 noeuds 20", "prof : 2 noeuds 400"]


def test_the_largest_clocks_last_through_the_moves_and_a_search():
    out = run("position fen 4k3/8/8/8/8/8/8/4K3 w - - 10000 0 moves e1e2", "d",
              "position fen 4k3/8/8/8/8/8/8/4KQ2 w - - 9999   00010000 moves f1f7 e8d8", "d")
    assert out[0] == "" and fen(out[1]) == "4k3/8/8/8/8/8/4K3/8 b - - 10001 1"
    assert out[2] == "" and fen(out[3]) == "3k4/5Q2/8/8/8/8/8/4K3 w - - 10001 10001"
    engine = UciEngine([BINARY], "varnok")
    try:
        engine.send("position fen 4k3/8/8/8/8/8/8/4KQ2 w - - 0 10000")
        engine.send("go depth 8")
        lines = engine.wait_for("bestmove", 60)
        assert lines and re.fullmatch(r"bestmove f1\w\w( ponder \w{4})?", lines[-1]), lines
    finally:
        assert engine.close() == 0


def test_unknown_commands_and_bad_depths_write_nothing():
    silent = ["UCI", "xuci", "uci x", "ISREADY", "", "   ", "hello", "debug on", "d2", "Position startpos",
              "perft", "perft x", "perft 0", "perft -1", "perft -2147483648", "perft 2147483648", "perft 4294967297",
              "perft 99999999999999999999", "perft 1.5", "perft +-1", "divide", "divide 0", "divide -3", "divide 2 x",
              "divide 4294967297", "divide 1e3"]
    out = run(*silent, "d")
    assert out[:-1] == [""] * len(silent), [(c, o) for c, o in zip(silent, out) if o]
    assert fen(out[-1]) == START


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
