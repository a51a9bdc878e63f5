#!/usr/bin/env python3
"""Drives the engine binary over pipes as a GUI does: identification, the
command tests, "position", "perft" and "divide" texts, and every kind of bad
input, which the engine must survive with one "info string" line and the
position it should hold. Usage: test_uci.py path/to/varnok"""
import os
import re
import select
import subprocess
import sys
import time

BINARY = sys.argv[1] if len(sys.argv) > 1 else "build/varnok"
START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
UCI_LINES = [b"id name Varnok 3.7.1 32 bits\n", b"id author Brannock\n",
             b"option name Hash type spin default 256 min 4 max 1024\n",
             b"option name Ponder type check default false\n", b"uciok\n"]


class Engine:
    def __init__(self):
        self.proc = subprocess.Popen([BINARY], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        self.pending = b""
        self.seen = b""
        assert self.line() == b"Varnok 3.7.1 by Brannock\n", "banner"

    def send(self, text):
        self.proc.stdin.write(text.encode() if isinstance(text, str) else text)

    def line(self, timeout=10.0):
        """The next output line with its line feed, as bytes."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.proc.stdout], [], [], max(left, 0))
            assert ready, "no output line within %.0f s (got %r)" % (timeout, self.pending)
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            assert chunk, "the engine closed its output (exit code %s)" % self.proc.poll()
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        self.seen += line + b"\n"
        return line + b"\n"

    def lines_before_ready(self):
        """Everything the engine writes before answering a following "isready"."""
        self.send("isready\n")
        out = []
        while (line := self.line()) != b"readyok\n":
            out.append(line.decode())
        return out

    def command(self, text):
        self.send(text + "\n")
        return self.lines_before_ready()

    def fen(self):
        lines = self.command("d")
        fens = [line[5:-1] for line in lines if line.startswith("Fen: ")]
        assert len(fens) == 1, lines
        return fens[0]

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        assert b"\r" not in self.seen, "output lines end in LF only"


def short(text):
    return repr(text if len(text) < 80 else text[:60] + "..." + text[-15:])


def expect_silent(engine, text):
    out = engine.command(text)
    assert out == [], "%s wrote %r" % (short(text), out)
    assert engine.proc.poll() is None, "%s ended the engine" % short(text)


def expect_refusal(engine, text, fen, names=None):
    """One "info string" line (naming the word when given), then the position is fen."""
    out = engine.command(text)
    assert len(out) == 1 and out[0].startswith("info string "), "%s wrote %r" % (short(text), out)
    if names:
        assert names in out[0], "%r does not name %r" % (out[0], names)
    assert engine.fen() == fen, "after %s: %s" % (short(text), engine.fen())


# ---------------------------------------------------------------------------

def test_identification_and_the_command_tests(engine):
    assert engine.lines_before_ready() == [], "nothing but the banner before the first command"
    for text in ["uci", "  uci\t ", "uci\r"]:
        engine.send(text + "\n")
        assert [engine.line() for _ in UCI_LINES] == UCI_LINES, repr(text)
        assert engine.lines_before_ready() == []
    engine.send(" \t isready \r\n")
    assert engine.line() == b"readyok\n"
    for text in ["UCI", "Uci", "xuci", "uci x", "ISREADY", "", "   ", "\t", "hello", "debug on",
                 "register later", "xquit", "quit now", "Quit", "d2", "position", "Position startpos"]:
        expect_silent(engine, text)


def test_reading_takes_one_line_at_a_time(engine):
    engine.send("uci\nisready\n")
    assert [engine.line() for _ in range(6)] == UCI_LINES + [b"readyok\n"]
    # whatever follows "quit" stays in the pipe for the next reader
    read_end, write_end = os.pipe()
    os.write(write_end, b"isready\nquit\nleft for the next reader\n")
    os.close(write_end)
    result = subprocess.run([BINARY], stdin=read_end, capture_output=True, timeout=10)
    assert result.returncode == 0
    assert result.stdout == b"Varnok 3.7.1 by Brannock\nreadyok\n", result.stdout
    assert os.read(read_end, 100) == b"left for the next reader\n"
    os.close(read_end)


def test_position_perft_and_divide_texts(engine):
    assert engine.fen() == START_FEN
    assert engine.command("position startpos moves e2e4 e7e5 g1f3") == []
    assert engine.fen() == "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"
    engine.command("position startpos")
    out = engine.command("perft 4")
    counts = [20, 400, 8902, 197281]
    assert len(out) == 4, out
    times = []
    for depth, (line, count) in enumerate(zip(out, counts), 1):
        match = re.fullmatch(r"prof : %d noeuds %d   time (\d+) ms\n" % (depth, count), line)
        assert match, line
        times.append(int(match.group(1)))
    assert times == sorted(times), "the time is cumulative"
    moves = ["a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4", "c2c4", "d2d4",
             "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"]
    assert engine.command("divide 2") == ["%s noeuds 20\n" % m for m in moves] + ["prof : 2 noeuds 400\n",
                                                                                   "nb moves : 20\n"]
    assert engine.command("divide 1") == ["prof : 1 noeuds 20\n", "nb moves : 20\n"]
    assert engine.fen() == START_FEN, "perft and divide leave the position as they found it"
    engine.command("position startpos moves e2e4")
    assert [l[:l.index(" ", 16)] for l in engine.command("perft 2")] == ["prof : 1 noeuds 20", "prof : 2 noeuds 600"]
    engine.command("position startpos moves")
    assert engine.fen() == START_FEN
    engine.command("position fen " + KIWIPETE)
    assert [l.split("   ")[0] for l in engine.command("perft 2")] == ["prof : 1 noeuds 48", "prof : 2 noeuds 2039"]
    assert engine.command("xperft 1")[0].startswith("prof : 1 noeuds 48   time ")
    assert engine.command("position fen 8/8/8/8/8/8/8/K6k w - - 0 1 moves a1a2") == []
    assert engine.fen() == "8/8/8/8/8/8/K7/7k b - - 1 1"
    expect_silent(engine, "position")
    assert engine.fen() == "8/8/8/8/8/8/K7/7k b - - 1 1"


def test_fen_text_that_is_read(engine):
    cases = [
        ("4k3/8/8/8/8/8/8/4K2R w K -", "4k3/8/8/8/8/8/8/4K2R w K - 0 1"),
        ("4k3/8/8/8/8/8/8/4K2R b K - 7", "4k3/8/8/8/8/8/8/4K2R b K - 7 1"),
        ("  4k3/8/8/8/8/8/8/4K2R   w  K   -  100   80 ", "4k3/8/8/8/8/8/8/4K2R w K - 100 80"),
        ("r3k2r/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", "r3k2r/8/8/8/8/8/8/R3K1R1 w Qkq - 0 1"),
        ("r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", "r3k2r/8/8/8/8/8/8/R4K1R w kq - 0 1"),
        ("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"),
        ("4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"),
        ("b3k3/8/8/3pP3/8/8/8/7K w - d6 0 1", "b3k3/8/8/3pP3/8/8/8/7K w - - 0 1"),
    ]
    for text, fen in cases:
        assert engine.command("position fen " + text) == [], text
        assert engine.fen() == fen, "%r reads as %s" % (text, engine.fen())


def test_bad_fen_is_refused_and_nothing_is_lost(engine):
    engine.command("position startpos moves e2e4")
    before = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
    for text in ["8/8/8/8/8/8/K6k w - - 0 1", "8/8/8/8/8/8/8/8/K6k w - - 0 1", "8/8/8/8/8/8/8/K7k w - - 0 1",
                 "8/8/8/8/8/8/8/K5k w - - 0 1", "8/8/8/8/8/8/8/K6x w - - 0 1", "8/8/8/8/8/8/9/K6k w - - 0 1",
                 "8/8/8/8/8/8/8/K5Kk w - - 0 1", "8/8/8/8/8/8/8/K7 w - - 0 1", "8/8/8/8/8/8/8/KP5k w - - 0 1",
                 "p7/8/8/8/8/8/8/K6k w - - 0 1", "4k3/8/8/8/8/8/8/4K2r b - - 0 1", "4k3/8/8/8/8/8/8/4K3 w - - x 1",
                 "4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999", ""]:
        expect_refusal(engine, "position fen " + text, before)
    expect_refusal(engine, "position fen 8/8/8/8/8/8/8/K6x w - - 0 1 moves a1a2", before)


def test_moves_stop_at_the_first_word_that_is_not_legal(engine):
    after_two = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"
    for word in ["e1e2x", "e2e5", "e1g1", "e9e4", "i2i4", "zz", "e2", "e2e4e", "a1a1", "0000", "E2E4", "d8d7"]:
        expect_refusal(engine, "position startpos moves e2e4 e7e5 %s g1f3" % word, after_two, names=word)
    expect_refusal(engine, "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1",
                   names="a7a8")
    expect_refusal(engine, "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8k", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1",
                   names="a7a8k")
    assert engine.command("position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8Q e8d7") == []
    assert engine.fen() == "Q7/3k4/8/8/8/8/8/4K3 w - - 1 2"


def test_a_game_longer_than_the_state_stack_is_cut(engine):
    shuffle = " ".join(["g1f3 g8f6 f3g1 f6g8"] * 260)   # 1040 plies
    expect_refusal(engine, "position startpos moves " + shuffle,
                   "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 1024 513", names="g1f3")
    assert [l.split("   ")[0] for l in engine.command("perft 2")] == ["prof : 1 noeuds 20", "prof : 2 noeuds 400"]


def test_bad_depths_write_nothing(engine):
    engine.command("position startpos")
    for text in ["perft", "perft ", "perft x", "perft 0", "perft -1", "perft -2147483648", "perft 2147483648",
                 "perft 4294967297", "perft 99999999999999999999", "perft 1.5", "perft +-1", "divide", "divide x",
                 "divide 0", "divide -3", "divide 2 x", "divide 4294967297", "divide 1e3"]:
        expect_silent(engine, text)
    assert engine.fen() == START_FEN


def test_end_of_input_and_quit_end_the_process(engine):
    engine.close()
    for ending in [b"", b"isready", b"uci\nquit\n", b" quit \r\n", b"xquit\nquit now\n"]:
        start = time.monotonic()
        result = subprocess.run([BINARY], input=ending, capture_output=True, timeout=10)
        assert result.returncode == 0, (ending, result.returncode)
        assert time.monotonic() - start < 5, "the engine ends at once"
        assert result.stdout.startswith(b"Varnok 3.7.1 by Brannock\n")
    # a last line without its line feed is still handled
    result = subprocess.run([BINARY], input=b"isready", capture_output=True, timeout=10)
    assert result.stdout.endswith(b"readyok\n"), result.stdout
    # the engine stays alive while the GUI keeps the pipe open, and "quit" alone ends it
    engine = Engine()
    engine.send("quit now\n")
    assert engine.lines_before_ready() == []
    engine.send("quit\n")
    assert engine.proc.wait(timeout=5) == 0
    engine.close()


def main():
    failures = 0
    for name, test in [(n, f) for n, f in globals().items() if n.startswith("test_")]:
        engine = Engine()
        started = time.monotonic()
        try:
            test(engine)
            engine.close()
            print("ok   %s (%.2f s)" % (name, time.monotonic() - started))
        except Exception as error:  # report every test, then fail
            failures += 1
            print("FAIL %s: %s: %s" % (name, type(error).__name__, error))
            if engine.proc.poll() is None:
                engine.proc.kill()
    print("%d failed" % failures if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
