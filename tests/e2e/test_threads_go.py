#!/usr/bin/env python3
"""The search thread as a GUI drives it: "go" with its keywords, "stop",
"ponderhit", "isready" and the commands that must first end a running search.
Every "go" gets exactly one legal "bestmove"; "info" lines keep their formats.

Usage: test_threads_go.py path/to/varnok
"""

import os
import queue
import random
import re
import subprocess
import sys
import threading
import time

ENGINE = sys.argv[1]
FAILURES = []

START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
ENDGAME = "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"
AFTER_E4 = "position startpos moves e2e4 c7c5 g1f3"
MATED = "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"
STALEMATE = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"
ONE_MOVE = "position fen 8/8/k7/5R2/8/8/1r6/r6K w - - 0 1"

MOVE = r"[a-h][1-8][a-h][1-8][nbrq]?"
INFO_FORMATS = [
    re.compile(r"info depth \d+"),
    re.compile(r"info depth \d+ score (cp -?\d+|mate -?\d+)( time \d+ nodes \d+ nps \d+)? pv( %s)+ " % MOVE),
    re.compile(r"info depth \d+ time \d+ nodes \d+ nps \d+"),
    re.compile(r"info hashfull \d+"),
    re.compile(r"info currmove %s currmovenumber \d+" % MOVE),
    re.compile(r"info time \d+ nodes \d+ nps \d+"),
    re.compile(r"info string .*"),
]
BESTMOVE = re.compile(r"bestmove (%s|0000)( ponder (%s))?" % (MOVE, MOVE))


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)
    return condition


class Engine:
    def __init__(self, command=None, preexec_fn=None):
        self.process = subprocess.Popen(command or [ENGINE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, bufsize=0, preexec_fn=preexec_fn)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.errors = []
        threading.Thread(target=self._read_errors, daemon=True).start()
        self.banner = self.read(30)

    def _read(self):
        for raw in iter(self.process.stdout.readline, b""):
            self.lines.put(raw.decode("ascii", "replace").rstrip("\n"))
        self.lines.put(None)

    def _read_errors(self):
        for raw in iter(self.process.stderr.readline, b""):
            self.errors.append(raw.decode("ascii", "replace"))

    def send(self, text):
        self.process.stdin.write((text + "\n").encode())
        self.process.stdin.flush()

    def read(self, timeout):
        """The next line, or None at end of output; '' when nothing came in time."""
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return ""

    def until(self, predicate, timeout):
        """Lines up to and including the first one that satisfies predicate; None on time-out."""
        seen = []
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            line = self.read(max(0.0, deadline - time.monotonic()))
            if line is None:
                return None
            if line == "":
                continue
            seen.append(line)
            if predicate(line):
                return seen
        return None

    def drain(self, wait):
        seen = []
        deadline = time.monotonic() + wait
        while True:
            line = self.read(max(0.0, deadline - time.monotonic()))
            if line == "" or line is None:
                return seen
            seen.append(line)

    def close(self):
        try:
            self.send("quit")
        except OSError:
            pass
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = None
        time.sleep(0.05)
        check(not self.errors, "the engine wrote to stderr: " + "".join(self.errors)[:2000])
        return code


def cpu_seconds(engine):
    """Processor time the engine process has used so far (Linux)."""
    with open(f"/proc/{engine.process.pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def is_bestmove(line):
    return line.startswith("bestmove")


class LegalMoves:
    """Legal moves of a position, as the engine's own divide lists them."""

    def __init__(self):
        self.engine = Engine()
        self.cache = {}

    def of(self, position):
        if position not in self.cache:
            self.engine.send(position)
            self.engine.send("divide 2")
            lines = self.engine.until(lambda line: line.startswith("nb moves"), 60) or []
            self.cache[position] = {line.split()[0] for line in lines if " noeuds " in line and
                                    not line.startswith("prof")}
        return self.cache[position]


ORACLE = None


def check_answer(lines, position, what, allowed=None):
    """Exactly one well-formed, legal "bestmove" at the end of lines; info lines well formed."""
    answers = [line for line in lines if is_bestmove(line)]
    if not check(len(answers) == 1, f"{what}: {len(answers)} bestmove lines: {answers}"):
        return None
    for line in lines:
        if line.startswith("info"):
            check(any(f.fullmatch(line) for f in INFO_FORMATS), f"{what}: malformed info line {line!r}")
    answer = answers[0]
    match = BESTMOVE.fullmatch(answer)
    if not check(match, f"{what}: malformed {answer!r}"):
        return None
    legal = ORACLE.of(position)
    move = match.group(1)
    if legal:
        check(move in legal, f"{what}: {move} is not legal after {position!r}")
    else:
        check(move == "0000", f"{what}: {answer!r} with no legal move")
    if allowed is not None:
        check(move in allowed, f"{what}: {move} is not one of {sorted(allowed)}")
    return move


def test_go_depth_answers_on_its_own():
    engine = Engine()
    engine.send(START)
    engine.send("go depth 3")
    lines = engine.until(is_bestmove, 60)
    if check(lines is not None, "go depth 3: no bestmove"):
        check(lines[0] == "info depth 2", f"go depth 3: first line {lines[0]!r}")
        depths = [line for line in lines if re.fullmatch(r"info depth \d+", line)]
        check(depths == ["info depth 2", "info depth 3"], f"go depth 3: iterations {depths}")
        check_answer(lines, START, "go depth 3")
        check(any(line.startswith("info hashfull") for line in lines), "go depth 3: no hashfull line")
    check(engine.drain(0.3) == [], "go depth 3: output after bestmove")
    check(engine.close() == 0, "go depth 3: exit code")


def test_info_lines_of_a_longer_search():
    engine = Engine()
    for position, depth in ((START, 9), (MIDDLEGAME, 8), (ENDGAME, 12)):
        engine.send(position)
        engine.send(f"go depth {depth}")
        lines = engine.until(is_bestmove, 300)
        if not check(lines is not None, f"{position} go depth {depth}: no bestmove"):
            continue
        check_answer(lines, position, f"{position} depth {depth}")
        pv_lines = [line for line in lines if " pv " in line]
        check(pv_lines, f"{position} depth {depth}: no pv line")
        legal = ORACLE.of(position)
        for line in pv_lines:
            first = line.split(" pv ")[1].split()[0]
            check(first in legal, f"pv starts with an illegal move: {line}")
            shown = int(line.split()[2])
            check(len(line.split(" pv ")[1].split()) <= shown, f"pv longer than its depth: {line}")
        last = [line for line in lines if re.fullmatch(r"info depth \d+ time \d+ nodes \d+ nps \d+", line)]
        if check(last, f"{position}: no final statistics line"):
            check(last[-1].split()[2] == str(depth), f"final line names depth {last[-1]}")
    engine.close()


def test_infinite_until_stop_and_isready_at_once():
    engine = Engine()
    engine.send(MIDDLEGAME)
    engine.send("go infinite")
    time.sleep(0.3)
    engine.send("isready")
    lines = engine.until(lambda line: line == "readyok" or is_bestmove(line), 5)
    check(lines is not None and lines[-1] == "readyok", "isready during a search: no readyok before bestmove")
    check(not any(is_bestmove(line) for line in engine.drain(1.0)), "go infinite: stopped without stop")
    engine.send("stop")
    lines = engine.until(is_bestmove, 10)
    if check(lines is not None, "go infinite + stop: no bestmove"):
        check_answer(lines, MIDDLEGAME, "go infinite + stop")
    engine.send("stop")   # nothing runs: silent
    check(engine.drain(0.3) == [], "stop without a search wrote something")
    check(engine.close() == 0, "infinite: exit code")


def test_ponder_then_ponderhit():
    engine = Engine()
    # The ponder search holds its answer, whatever its depth, and waits without using the processor
    engine.send(START)
    engine.send("go ponder depth 3 wtime 100000 btime 100000")
    lines = engine.until(is_bestmove, 1.0)
    check(lines is None, "go ponder depth 3 answered before ponderhit")
    before = cpu_seconds(engine)
    time.sleep(1.0)
    used = cpu_seconds(engine) - before
    check(used < 0.25, f"a search holding its answer used {used:.2f} s of processor time in 1 s")
    start = time.monotonic()
    engine.send("ponderhit")
    lines = engine.until(is_bestmove, 10)
    if check(lines is not None, "ponderhit: no bestmove"):
        check(time.monotonic() - start < 2, "ponderhit after the last iteration: bestmove not at once")
        check_answer(lines, START, "go ponder depth 3 + ponderhit")

    # A timed ponder search: after the hit the clock applies
    engine.send(AFTER_E4)
    engine.send("go ponder wtime 3000 btime 3000 winc 0 binc 0")
    time.sleep(0.5)
    check(not any(is_bestmove(line) for line in engine.drain(0.2)), "ponder search answered on its own")
    engine.send("ponderhit")
    lines = engine.until(is_bestmove, 10)
    if check(lines is not None, "timed ponderhit: no bestmove within 10 s"):
        check_answer(lines, AFTER_E4, "timed ponder + ponderhit")

    # "stop" also ends a ponder search
    engine.send("go ponder wtime 3000 btime 3000")
    time.sleep(0.2)
    engine.send("stop")
    lines = engine.until(is_bestmove, 10)
    if check(lines is not None, "ponder + stop: no bestmove"):
        check_answer(lines, AFTER_E4, "ponder + stop")
    engine.close()


def test_go_during_a_search_answers_the_old_one_first():
    engine = Engine()
    engine.send(START)
    engine.send("go infinite")
    time.sleep(0.2)
    engine.send("go depth 2")
    lines = engine.until(is_bestmove, 10)
    if check(lines is not None, "go during a search: no bestmove"):
        check_answer(lines, START, "go infinite ended by go")
    lines = engine.until(is_bestmove, 30)
    if check(lines is not None, "second go: no bestmove"):
        check(lines[0] == "info depth 2", f"the new search's output comes after the old bestmove: {lines[:2]}")
        check_answer(lines, START, "go depth 2 after go infinite")
    engine.close()


def test_commands_that_change_the_board_or_table_end_the_search_first():
    engine = Engine()
    for command in ("position startpos moves e2e4", "setoption name Hash value 8", "ucinewgame",
                    "setoption name Ponder value true", "bench 1", "perft 1", "d"):
        engine.send(START)
        engine.send("go infinite")
        time.sleep(0.15)
        engine.send(command)
        engine.send("isready")
        lines = engine.until(lambda line: line == "readyok", 30)
        if check(lines is not None, f"{command} during a search: no readyok"):
            answers = [i for i, line in enumerate(lines) if is_bestmove(line)]
            check(len(answers) == 1, f"{command} during a search: {len(answers)} bestmove lines")
            check_answer(lines[:answers[0] + 1] if answers else lines, START, f"{command} during a search")
            if answers:
                check(answers[0] == min(i for i, line in enumerate(lines) if not line.startswith("info")),
                      f"{command}: something came before the bestmove: {lines[:answers[0] + 1]}")
    # The board the next search sees is the new one
    engine.send("position startpos moves e2e4")
    engine.send("go depth 3")
    lines = engine.until(is_bestmove, 30)
    if check(lines is not None, "search after position: no bestmove"):
        check_answer(lines, "position startpos moves e2e4", "search after position during a search")
    engine.close()


def test_no_legal_move_answers_0000():
    engine = Engine()
    for position in (MATED, STALEMATE):
        for go in ("go depth 3", "go wtime 1000 btime 1000", "go infinite"):
            engine.send(position)
            engine.send(go)
            if go == "go infinite":
                time.sleep(0.1)
                engine.send("stop")
            lines = engine.until(is_bestmove, 30)
            if check(lines is not None, f"{position} {go}: no bestmove"):
                check(lines[-1] == "bestmove 0000", f"{position} {go}: {lines[-1]!r}")
    engine.close()


def test_stop_right_after_go_still_answers_legally():
    engine = Engine()
    for position in (START, MIDDLEGAME, ONE_MOVE):
        for _ in range(5):
            engine.send(position)
            engine.send("go infinite")
            engine.send("stop")
            lines = engine.until(is_bestmove, 10)
            if check(lines is not None, f"go + stop at once: no bestmove ({position})"):
                check_answer(lines, position, "go + stop at once")
    engine.close()


def test_searchmoves_restrict_the_root():
    engine = Engine()
    engine.send(START)
    engine.send("go depth 5 searchmoves h2h3 a2a3")
    lines = engine.until(is_bestmove, 60)
    if check(lines is not None, "searchmoves: no bestmove"):
        check_answer(lines, START, "searchmoves", allowed={"h2h3", "a2a3"})
    engine.send("go depth 5 searchmoves e2e5 g1g3 b1c3")   # words that are not moves are skipped
    lines = engine.until(is_bestmove, 60)
    if check(lines is not None, "searchmoves with bad words: no bestmove"):
        check_answer(lines, START, "searchmoves with bad words", allowed={"b1c3"})
    engine.send("go depth 5")
    lines = engine.until(is_bestmove, 60)
    if check(lines is not None, "go after searchmoves: no bestmove"):
        check_answer(lines, START, "go after searchmoves")
    engine.close()


def test_clock_edge_cases():
    engine = Engine()
    for go in ("go wtime -500 btime -500", "go wtime 0 btime 0", "go wtime 100 btime 100 movestogo 0",
               "go wtime 5000 btime 5000 movestogo -3", "go wtime 2000 btime 2000 winc -100 binc -100",
               "go wtime 1000 btime 1000 movestogo 1", "go wtime abc btime 1000 depth xyz"):
        engine.send(MIDDLEGAME)
        start = time.monotonic()
        engine.send(go)
        lines = engine.until(is_bestmove, 20)
        if check(lines is not None, f"{go}: no bestmove within 20 s"):
            check_answer(lines, MIDDLEGAME, go)
            check(time.monotonic() - start < 10, f"{go}: took {time.monotonic() - start:.1f} s")
    # One legal move: searched to depth 5, then answered
    engine.send(ONE_MOVE)
    engine.send("go wtime 600000 btime 600000")
    lines = engine.until(is_bestmove, 30)
    if check(lines is not None, "single legal move: no bestmove"):
        check(lines[-1].split()[1] == "f5f1", f"single legal move: {lines[-1]}")
        depths = [line for line in lines if re.fullmatch(r"info depth \d+", line)]
        check(depths[-1] == "info depth 5", f"single legal move searched to {depths[-1]}")
    engine.close()


def test_quit_during_a_search_ends_cleanly():
    for go in ("go infinite", "go ponder wtime 1000 btime 1000", "go depth 30"):
        engine = Engine()
        engine.send(MIDDLEGAME)
        engine.send(go)
        time.sleep(0.2)
        start = time.monotonic()
        engine.send("quit")
        try:
            code = engine.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            engine.process.kill()
            code = None
        check(code == 0, f"quit during {go}: exit code {code}")
        check(time.monotonic() - start < 10, f"quit during {go}: took too long")
        rest = engine.drain(0.2)
        check(not any(is_bestmove(line) for line in rest), f"quit during {go}: bestmove after quit")
        check(not engine.errors, f"quit during {go}: {''.join(engine.errors)[:500]}")
    # End of input during a search ends the same way
    engine = Engine()
    engine.send("go infinite")
    time.sleep(0.1)
    engine.process.stdin.close()
    try:
        code = engine.process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        engine.process.kill()
        code = None
    check(code == 0, f"end of input during a search: exit code {code}")


def test_stress_random_commands():
    rng = random.Random(20240607)
    engine = Engine()
    positions = [START, MIDDLEGAME, ENDGAME, AFTER_E4, MATED, STALEMATE, ONE_MOVE]
    gos = ["go depth 3", "go depth 5", "go infinite", "go ponder wtime 2000 btime 2000",
           "go wtime 300 btime 300", "go wtime 2000 btime 2000 winc 100 binc 100", "go movestogo 2 wtime 500 btime 500",
           "go ponder depth 2", "go depth 4 searchmoves e2e4 d2d4 a7a6"]
    position = START
    engine.send(position)
    searches = []          # the position of every "go", in order
    expected_ready = 0
    lines = []
    for step in range(220):
        roll = rng.random()
        if roll < 0.30:
            command = rng.choice(gos)
            searches.append(position)
        elif roll < 0.45:
            command = "stop"
        elif roll < 0.57:
            command = "ponderhit"
        elif roll < 0.70:
            command = "isready"
            expected_ready += 1
        elif roll < 0.82:
            position = rng.choice(positions)
            command = position
        elif roll < 0.88:
            command = "ucinewgame"
        elif roll < 0.93:
            command = f"setoption name Hash value {rng.choice((1, 4, 5, 16))}"
        else:
            command = "stop"
        engine.send(command)
        time.sleep(rng.choice((0, 0, 0.001, 0.005, 0.02, 0.05)))
        lines += engine.drain(0)
    engine.send("stop")
    engine.send("isready")
    expected_ready += 1
    deadline = time.monotonic() + 120
    while sum(line == "readyok" for line in lines) < expected_ready and time.monotonic() < deadline:
        got = engine.read(1)
        if got is None:
            break
        if got:
            lines.append(got)
    lines += engine.drain(0.5)
    answers = [line for line in lines if is_bestmove(line)]
    check(sum(line == "readyok" for line in lines) == expected_ready,
          f"stress: {sum(line == 'readyok' for line in lines)} readyok for {expected_ready} isready")
    check(len(answers) == len(searches), f"stress: {len(answers)} bestmove lines for {len(searches)} go commands")
    for answer, searched in zip(answers, searches):
        match = BESTMOVE.fullmatch(answer)
        if not check(match, f"stress: malformed {answer!r}"):
            continue
        legal = ORACLE.of(searched)
        move = match.group(1)
        check(move in legal if legal else move == "0000", f"stress: {answer!r} after {searched!r}")
    for line in lines:
        if line.startswith("info"):
            check(any(f.fullmatch(line) for f in INFO_FORMATS), f"stress: malformed info line {line!r}")
    check(engine.close() == 0, "stress: exit code")
    check(not engine.errors, "stress: " + "".join(engine.errors)[:2000])


def main():
    global ORACLE
    ORACLE = LegalMoves()
    tests = [value for name, value in globals().items() if name.startswith("test_") and callable(value)]
    for test in tests:
        started = time.monotonic()
        test()
        print(f"{test.__name__}: {time.monotonic() - started:.1f} s", flush=True)
    ORACLE.engine.close()
    if FAILURES:
        print(f"{len(FAILURES)} failure(s)")
        sys.exit(1)
    print("all passed")


if __name__ == "__main__":
    main()
