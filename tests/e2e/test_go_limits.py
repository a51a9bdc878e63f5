#!/usr/bin/env python3
"""The "go" limits that tools use beside the clock (movetime, nodes, mate), the score line
before every answer, MultiPV, Clear Hash, and commands given on the command line. Bounds
on time are generous: tools/movetime_bench.py measures the precision.
Usage: test_go_limits.py path/to/varnok"""
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import run_script, run_tests, start  # noqa: E402

START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
RESULT = re.compile(r"info depth (\d+)( multipv (\d+))? score (cp|mate) (-?\d+)"
                    r"( time \d+ nodes (\d+) nps \d+)? pv ((?:[a-h][1-8][a-h][1-8][nbrq]? )+)")


def timed(engine, position, go):
    """(seconds from "go" to "bestmove", the lines of the search)."""
    began = time.monotonic()
    lines = engine.search(position, go)
    return time.monotonic() - began, lines


def results(lines):
    return [match for match in map(RESULT.fullmatch, lines) if match]


def final_nodes(lines):
    return int(re.findall(r"info depth \d+ time \d+ nodes (\d+)", "\n".join(lines))[-1])


def test_movetime_answers_in_time_whatever_the_clock_of_earlier_go_lines():
    engine = start()
    engine.search(START, "go depth 2 wtime 100 btime 100")   # a clock of 100 ms that must not carry over
    for limit in (200, 1000):
        seconds, _ = timed(engine, START, f"go movetime {limit}")
        # never early; late only as far as a busy machine makes it
        assert limit - 100 <= seconds * 1000 <= limit + 400, f"movetime {limit}: answered after {seconds:.3f} s"
    # with several limits the first one reached ends the search
    seconds, lines = timed(engine, START, "go movetime 5000 depth 3")
    assert seconds < 2 and results(lines)[-1][1] == "3", f"movetime with depth 3: {seconds:.3f} s"
    seconds, _ = timed(engine, MIDDLEGAME, "go depth 60 movetime 300")
    assert seconds < 1, f"depth 60 with movetime 300: {seconds:.3f} s"


def test_nodes_limit_is_deterministic_and_overshoots_little():
    answers = []
    for _ in range(2):
        engine = start()
        for go in ("go nodes 30000", "go nodes 20000 movetime 60000"):
            lines = engine.search(MIDDLEGAME, go)
            answers.append((lines[-1], final_nodes(lines)))
        engine.close()
    assert answers[:2] == answers[2:], f"go nodes differs between runs: {answers}"
    assert 30000 <= answers[0][1] <= 31000 and 20000 <= answers[1][1] <= 21000, f"go nodes overshoot: {answers}"


def test_mate_search_finds_the_mate_and_answers_once_it_is_proven():
    engine = start()
    for moves, position in [(1, "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"),
                            (2, "r2qk2r/pb4pp/1n2Pb2/2B2Q2/p1p5/2P5/2B2PPP/RN2R1K1 w - - 1 1"),
                            (3, "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1")]:
        seconds, lines = timed(engine, f"position fen {position}", f"go mate {moves + 3}")
        last = results(lines)[-1]
        assert last[4] == "mate" and last[5] == str(moves), f"mate {moves}: {lines[-3:]}"
        assert seconds < 5 and int(last[1]) < 2 * (moves + 3) - 1, f"mate {moves}: not answered early"


def test_score_line_comes_with_every_answer():
    # the last result line gives the move answered, whether or not the search ran long enough
    # to show its lines as it went
    engine = start()
    lines = engine.search(START, "go wtime 100 btime 100")
    assert results(lines) and results(lines)[-1][8].split()[0] == lines[-1].split()[1], lines
    # one node is reached in the first root move of depth 3, which is dropped: the answer
    # comes from depth 2, and says so
    lines = engine.search(MIDDLEGAME, "go nodes 1")
    assert results(lines)[-1][1] == "2" and results(lines)[-1][8].split()[0] == lines[-1].split()[1], lines


def test_multipv_reports_exact_distinct_lines_best_first():
    engine = start(("MultiPV", 3))
    lines = engine.search(MIDDLEGAME, "go depth 5")
    by_depth = {}
    for result in results(lines):
        by_depth.setdefault(result[1], []).append(result)
    assert sorted(by_depth) == ["2", "3", "4", "5"], f"multipv 3: iterations {sorted(by_depth)}"
    for depth, found in by_depth.items():
        values = [int(result[5]) for result in found]
        assert [result[3] for result in found] == ["1", "2", "3"] and len({r[8].split()[0] for r in found}) == 3 \
            and values == sorted(values, reverse=True), f"multipv 3 at depth {depth}: {found}"
    assert lines[-1].split()[1] == by_depth["5"][0][8].split()[0], "bestmove is not line 1"
    # each line's score is what a search of that move alone finds on a fresh table
    single = start()
    for result in by_depth["5"]:
        single.send("ucinewgame")
        alone = single.search(MIDDLEGAME, f"go depth 5 searchmoves {result[8].split()[0]}")
        assert results(alone)[-1][5] == result[5], f"line {result[3]} is not exact: {result[0]} / {alone[-2]}"
    # more lines than moves (Ka2 and Kb2 only), and searchmoves restricting the lines
    lines = engine.search("position fen 7k/8/8/8/8/8/8/K6q w - - 0 1", "go depth 4")
    assert max(int(result[3]) for result in results(lines)) == 2, f"multipv 3 with two legal moves: {lines}"
    lines = engine.search(START, "go depth 3 searchmoves e2e4 d2d4")
    assert {result[8].split()[0] for result in results(lines)} == {"e2e4", "d2d4"}, f"searchmoves: {lines}"


def test_clear_hash_empties_the_table():
    engine = start()
    first, warm = (final_nodes(engine.search(MIDDLEGAME, "go depth 6")) for _ in range(2))
    engine.send("setoption name Clear Hash")
    cleared = final_nodes(engine.search(MIDDLEGAME, "go depth 6"))
    assert warm != first and cleared == first, f"Clear Hash: {first} {warm} {cleared}"


def test_a_command_line_runs_and_the_engine_exits():
    for arguments, expect in ((["bench", "2"], "Nodes/second"), (["perft", "3"], "prof : 3 noeuds 8902"),
                              (["go", "depth", "3"], "bestmove")):
        out = run_script("", *arguments, timeout=60)
        assert expect in out, f"{arguments}: {out[-300:]}"


run_tests(globals())
