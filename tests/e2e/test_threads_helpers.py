#!/usr/bin/env python3
"""Helper threads: "stop" and "ponderhit" are obeyed at once after seconds of thinking, the
helpers use no processor time between searches, "Threads" can change between searches,
the main thread alone reports several lines, and options set back to their defaults search
exactly as an engine that never had them. test_threads_go.py plays every kind of "go" with
a helper.
Usage: test_threads_helpers.py path/to/varnok"""
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import cpu_seconds, legal_moves, run_tests, sanitized, start  # noqa: E402

START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
KIWIPETE = "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"


def test_stop_and_late_ponderhit_answer_at_once_after_seconds_of_thinking():
    # a sanitized build runs its nodes several times slower: its next look at the clock comes later
    at_once = 2.0 if sanitized() else 0.5
    for threads in (1, 2, 4):
        engine = start(("Threads", threads))
        # a ponder hit after the whole budget is spent: the search ends at its next look at the clock
        for position, go, end in [(MIDDLEGAME, "go infinite", "stop"),
                                  (KIWIPETE, "go ponder wtime 3000 btime 3000", "ponderhit")]:
            engine.send(position, go)
            time.sleep(3)
            began = time.monotonic()
            engine.send(end)
            assert engine.wait_for("bestmove", 30), f"Threads {threads}: no bestmove after {end}"
            assert time.monotonic() - began < at_once, f"Threads {threads}: {end} answered after " \
                                                  f"{time.monotonic() - began:.2f} s"
        # and between searches the helpers wait without using the processor
        before = cpu_seconds(engine)
        time.sleep(1.0)
        assert cpu_seconds(engine) - before < 0.1, f"Threads {threads}: busy between searches"


def test_threads_change_between_searches_and_nodes_count_every_thread():
    engine = start()
    for threads in (4, 2, 3, 1, 2):
        engine.send(f"setoption name Threads value {threads}")
        lines = engine.search(START, "go nodes 200000")
        nodes = [int(m[1]) for m in map(re.compile(r"info depth \d+ time \d+ nodes (\d+)").match, lines) if m]
        # the helpers stop once the main thread has a result: a busy machine can hold that back a while
        assert nodes and 200000 <= nodes[-1] <= 300000, f"Threads {threads}: nodes {nodes[-1:]}"


def test_options_set_back_to_their_defaults_search_as_an_engine_that_never_had_them():
    def search(engine):
        engine.send("ucinewgame")
        return engine.search(MIDDLEGAME, "go depth 8")

    def significant(lines):
        # progress and score lines come once a search has run a while, so where the last score
        # line falls and the nodes it shows depend on the clock: its score and moves do not
        last = [re.sub(r" time \d+| nodes \d+| nps \d+", "", line) for line in lines if " score " in line][-1:]
        return last + [re.sub(r" time \d+| nps \d+", "", line) for line in lines
                       if re.match(r"info depth \d+( time|$)|bestmove", line)]
    expected = significant(search(start()))
    engine = start(("Threads", 4), ("MultiPV", 4))
    # the main thread alone reports the lines, each a distinct legal move
    firsts = [line.split(" pv ")[1].split()[0] for line in search(engine) if line.startswith("info depth 8 multipv")]
    assert len(set(firsts)) == 4 and set(firsts) <= legal_moves(engine, MIDDLEGAME), firsts
    engine.send("setoption name Threads value 1", "setoption name MultiPV value 1")
    lines = search(engine)
    assert significant(lines) == expected and "multipv" not in " ".join(lines), lines


run_tests(globals())
