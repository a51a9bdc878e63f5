#!/usr/bin/env python3
"""The "go" limits that tools use beside the clock (movetime, nodes, mate), the score line
before every answer, infinite analysis held until "stop", MultiPV, Clear Hash, and commands
given on the command line. Bounds on time are generous: tools/movetime_bench.py measures
the precision.
Usage: test_go_limits.py path/to/varnok"""
import os
import re
import subprocess
import sys
import time

from uci_engine import UciEngine

BINARY = sys.argv[1]
START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
MATE_IN = {1: "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
           2: "position fen r2qk2r/pb4pp/1n2Pb2/2B2Q2/p1p5/2P5/2B2PPP/RN2R1K1 w - - 1 1",
           3: "position fen r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1"}
STALEMATED = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"
TWO_MOVES = "position fen 7k/8/8/8/8/8/8/K6q w - - 0 1"   # Ka2 and Kb2 only
RESULT = re.compile(r"info depth (\d+)( multipv (\d+))? score (cp|mate) (-?\d+)"
                    r"( time \d+ nodes (\d+) nps \d+)? pv ((?:[a-h][1-8][a-h][1-8][nbrq]? )+)")
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)
    return condition


def new_engine(*options):
    engine = UciEngine([BINARY], "varnok")
    engine.handshake(options)
    return engine


def search(engine, position, go, timeout=60):
    """(seconds from "go" to "bestmove", every line up to it)."""
    engine.send(position)
    start = time.monotonic()
    engine.send(go)
    lines = engine.wait_for("bestmove", timeout)
    assert lines is not None, f"{position} {go}: no bestmove"
    return time.monotonic() - start, lines


def results(lines):
    return [RESULT.fullmatch(line) for line in lines if RESULT.fullmatch(line)]


def final_nodes(lines):
    return int(re.search(r"nodes (\d+)", [line for line in lines if re.match(r"info depth \d+ time", line)][-1])[1])


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def test_movetime_answers_in_time_whatever_the_clock_of_earlier_go_lines():
    engine = new_engine()
    search(engine, START, "go depth 2 wtime 100 btime 100")   # a clock of 100 ms that must not carry over
    for limit in (200, 1000):
        seconds, _ = search(engine, START, f"go movetime {limit}")
        check(limit - 100 <= seconds * 1000 <= limit + 100, f"movetime {limit}: answered after {seconds:.3f} s")
    # with several limits the first one reached ends the search
    seconds, lines = search(engine, START, "go movetime 5000 depth 3")
    check(seconds < 2 and results(lines)[-1][1] == "3", f"movetime with depth 3: {seconds:.3f} s")
    seconds, _ = search(engine, MIDDLEGAME, "go depth 60 movetime 300")
    check(seconds < 0.4, f"depth 60 with movetime 300: {seconds:.3f} s")
    engine.close()


def test_nodes_limit_is_deterministic_and_overshoots_little():
    answers = []
    for _ in range(2):
        engine = new_engine()
        _, lines = search(engine, MIDDLEGAME, "go nodes 30000")
        answers.append((lines[-1], final_nodes(lines)))
        _, lines = search(engine, MIDDLEGAME, "go nodes 20000 movetime 60000")
        answers.append((lines[-1], final_nodes(lines)))
        engine.close()
    check(answers[0] == answers[2] and answers[1] == answers[3], f"go nodes differs between runs: {answers}")
    check(30000 <= answers[0][1] <= 31000 and 20000 <= answers[1][1] <= 21000, f"go nodes overshoot: {answers}")


def test_mate_search_finds_the_mate_and_answers_once_it_is_proven():
    engine = new_engine()
    for moves, position in MATE_IN.items():
        seconds, lines = search(engine, position, f"go mate {moves + 3}")
        scores = results(lines)
        check(scores and scores[-1][4] == "mate" and scores[-1][5] == str(moves), f"mate {moves}: {lines[-3:]}")
        check(seconds < 5 and int(scores[-1][1]) < 2 * (moves + 3) - 1, f"mate {moves}: not answered early")
    engine.close()


def test_score_line_comes_with_every_answer():
    engine = new_engine()
    _, lines = search(engine, START, "go wtime 100 btime 100")
    check(results(lines) and lines[-2] == results(lines)[-1].group(0), f"go wtime 100: {lines[-3:]}")
    # one node is reached in the first root move of depth 3, which is dropped: the answer comes from
    # depth 2, and says so
    _, lines = search(engine, MIDDLEGAME, "go nodes 1")
    last = results(lines)[-1]
    check(last[1] == "2" and last.group(0) == lines[-2] and lines[-1].split()[1] == last[8].split()[0],
          f"a search stopped in its first move of depth 3: {lines}")
    _, lines = search(engine, "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
                      "go depth 3")
    check(lines[-1] == "bestmove 0000" and not results(lines), f"no legal move: {lines}")
    engine.close()


def test_infinite_answers_only_after_stop_and_holds_without_using_the_processor():
    engine = new_engine()
    for position in (MATE_IN[1], STALEMATED):
        engine.send(position)
        engine.send("go infinite")
        check(engine.wait_for("bestmove", 1.0) is None, f"go infinite answered without stop: {position}")
        before = cpu_seconds(engine.process.pid)
        time.sleep(1.0)
        check(cpu_seconds(engine.process.pid) - before < 0.25, "a held infinite search used the processor")
        engine.send("stop")
        lines = engine.wait_for("bestmove", 10)
        check(lines is not None and lines[-1] in ("bestmove d1d8", "bestmove 0000"), f"{position}: {lines}")
    engine.close()


def test_multipv_reports_exact_distinct_lines_best_first():
    engine = new_engine(("MultiPV", 3))
    _, lines = search(engine, MIDDLEGAME, "go depth 5")
    by_depth = {}
    for result in results(lines):
        by_depth.setdefault(result[1], []).append(result)
    check(sorted(by_depth) == ["2", "3", "4", "5"], f"multipv 3: iterations {sorted(by_depth)}")
    for depth, found in by_depth.items():
        firsts = [result[8].split()[0] for result in found]
        values = [int(result[5]) for result in found]
        check([result[3] for result in found] == ["1", "2", "3"] and len(set(firsts)) == 3
              and values == sorted(values, reverse=True), f"multipv 3 at depth {depth}: {found}")
    check(lines[-1].split()[1] == by_depth["5"][0][8].split()[0], "bestmove is not line 1")
    # each line's score is what a search of that move alone finds on a fresh table
    single = new_engine()
    for result in by_depth["5"]:
        single.send("ucinewgame")
        _, alone = search(single, MIDDLEGAME, f"go depth 5 searchmoves {result[8].split()[0]}")
        check(results(alone)[-1][5] == result[5], f"line {result[3]} is not exact: {result[0]} / {alone[-2]}")
    single.close()
    # more lines than moves, and searchmoves restricting the lines
    _, lines = search(engine, TWO_MOVES, "go depth 4")
    check(max(int(result[3]) for result in results(lines)) == 2, f"multipv 3 with two legal moves: {lines}")
    _, lines = search(engine, START, "go depth 3 searchmoves e2e4 d2d4")
    check({result[8].split()[0] for result in results(lines)} == {"e2e4", "d2d4"}, f"searchmoves: {lines}")
    engine.close()


def test_multipv_one_and_plain_go_lines_are_unchanged():
    def significant(lines):
        return [re.sub(r" time \d+| nps \d+", "", line) for line in lines if not RESULT.fullmatch(line)]
    plain = new_engine()
    _, expected = search(plain, MIDDLEGAME, "go depth 7")
    plain.close()
    engine = new_engine(("MultiPV", 4), ("MultiPV", 1))
    _, lines = search(engine, MIDDLEGAME, "go depth 7")
    check(significant(lines) == significant(expected) and "multipv" not in " ".join(lines),
          f"MultiPV 1 differs from the default: {lines}")
    engine.close()


def test_clear_hash_empties_the_table():
    engine = new_engine()
    _, first = search(engine, MIDDLEGAME, "go depth 6")
    _, warm = search(engine, MIDDLEGAME, "go depth 6")
    engine.send("setoption name Clear Hash")
    _, cleared = search(engine, MIDDLEGAME, "go depth 6")
    check(final_nodes(warm) != final_nodes(first) and final_nodes(cleared) == final_nodes(first),
          f"Clear Hash: {final_nodes(first)} {final_nodes(warm)} {final_nodes(cleared)}")
    engine.close()


def test_a_command_line_runs_and_the_engine_exits():
    for arguments, expect in ((["bench", "2"], "Nodes/second"), (["perft", "3"], "prof : 3 noeuds 8902"),
                              (["go", "depth", "3"], "bestmove")):
        result = subprocess.run([BINARY, *arguments], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        check(result.returncode == 0 and expect in result.stdout, f"{arguments}: {result.stdout[-300:]}")


for name, test in list(globals().items()):
    if name.startswith("test_"):
        print(name, flush=True)
        test()
print(f"{len(FAILURES)} failure(s)" if FAILURES else "all passed")
sys.exit(1 if FAILURES else 0)
