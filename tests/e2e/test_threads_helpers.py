#!/usr/bin/env python3
"""Helper threads: with Threads 2 and 4 every "go" gets exactly one legal "bestmove",
"stop" and "ponderhit" are obeyed at once after seconds of thinking, the helpers use no
processor time between searches, "Threads" can change between searches, and Threads 1
searches exactly as an engine that never had helpers.
Usage: test_threads_helpers.py path/to/varnok"""
import os
import random
import re
import sys
import time

from uci_engine import UciEngine

BINARY = sys.argv[1]
FENS = ["rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
        "8/8/1p1k4/p1p5/P1P1K3/1P6/8/8 w - - 0 1",
        "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
        "8/P7/8/8/8/8/7p/K6k w - - 0 1",
        "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"]
GOES = ["go depth 4", "go movetime 40", "go nodes 20000", "go wtime 300 btime 300", "go depth 6 searchmoves a2a3 b2b3"]
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)
    return condition


def new_engine(threads):
    engine = UciEngine([BINARY], "varnok")
    engine.handshake([("Threads", threads)])
    return engine


def legal_moves(engine, fen):
    engine.send(f"position fen {fen}")
    engine.send("divide 2")   # divide lists each root move from depth 2 on
    lines = engine.wait_for("nb moves", 30)
    return {line.split()[0] for line in lines if " noeuds " in line and not line.startswith("prof")}


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def answer(engine, timeout=30):
    lines = engine.wait_for("bestmove", timeout)
    assert lines is not None, "no bestmove"
    return lines


def test_every_go_gets_one_legal_bestmove():
    rng = random.Random(11)
    for threads in (2, 4):
        engine = new_engine(threads)
        legal = {fen: legal_moves(engine, fen) for fen in FENS}
        for _ in range(40):
            fen, go = rng.choice(FENS), rng.choice(GOES)
            engine.send(f"position fen {fen}")
            engine.send(go)
            move = answer(engine)[-1].split()[1]
            allowed = legal[fen] & {"a2a3", "b2b3"} if "searchmoves" in go and legal[fen] & {"a2a3", "b2b3"} \
                else legal[fen] or {"0000"}
            check(move in allowed, f"Threads {threads}, {fen}, {go}: bestmove {move}")
        engine.ready()
        check(not any(line.startswith("bestmove") for line in engine.pending()), f"Threads {threads}: extra bestmove")
        # several lines: the main thread reports them, each a distinct legal move
        engine.send("setoption name MultiPV value 3")
        engine.send(f"position fen {FENS[1]}")
        engine.send("go depth 6")
        lines = answer(engine)
        firsts = [line.split(" pv ")[1].split()[0] for line in lines if line.startswith("info depth 6 multipv")]
        check(len(set(firsts)) == 3 and set(firsts) <= legal[FENS[1]], f"Threads {threads}, MultiPV 3: {lines[-5:]}")
        engine.close()


def test_stop_and_late_ponderhit_answer_at_once_after_seconds_of_thinking():
    for threads in (1, 2, 4):
        engine = new_engine(threads)
        engine.send(f"position fen {FENS[1]}")
        engine.send("go infinite")
        time.sleep(3)
        start = time.monotonic()
        engine.send("stop")
        answer(engine)
        check(time.monotonic() - start < 0.5, f"Threads {threads}: stop answered after {time.monotonic() - start:.2f} s")
        # a ponder hit after the whole budget is spent: the search ends at its next look at the clock
        engine.send(f"position fen {FENS[2]}")
        engine.send("go ponder wtime 3000 btime 3000")
        time.sleep(3)
        start = time.monotonic()
        engine.send("ponderhit")
        answer(engine)
        check(time.monotonic() - start < 0.5, f"Threads {threads}: late ponderhit answered after "
                                              f"{time.monotonic() - start:.2f} s")
        # and between searches the helpers wait without using the processor
        before = cpu_seconds(engine.process.pid)
        time.sleep(1.0)
        check(cpu_seconds(engine.process.pid) - before < 0.1, f"Threads {threads}: busy between searches")
        engine.close()


def test_threads_change_between_searches_and_nodes_count_every_thread():
    engine = new_engine(1)
    for threads in (4, 2, 3, 1, 2):
        engine.send(f"setoption name Threads value {threads}")
        engine.send(f"position fen {FENS[0]}")
        engine.send("go nodes 200000")
        lines = answer(engine)
        nodes = [int(m[1]) for m in map(re.compile(r"info depth \d+ time \d+ nodes (\d+)").match, lines) if m]
        check(nodes and 200000 <= nodes[-1] <= 200000 + 5000 * threads, f"Threads {threads}: nodes {nodes[-1:]}")
    engine.close()


def test_threads_one_searches_as_an_engine_without_helpers():
    def nodes_and_move(engine):
        engine.send("ucinewgame")
        engine.send(f"position fen {FENS[1]}")
        engine.send("go depth 8")
        lines = answer(engine)
        return [re.sub(r" time \d+| nps \d+", "", line) for line in lines if "nodes" in line][-1], lines[-1]
    plain = UciEngine([BINARY], "varnok")
    plain.handshake()
    expected = nodes_and_move(plain)
    plain.close()
    engine = new_engine(4)
    nodes_and_move(engine)
    engine.send("setoption name Threads value 1")
    check(nodes_and_move(engine) == expected, "Threads 1 after 4 searches differently")
    engine.close()


for name, test in list(globals().items()):
    if name.startswith("test_"):
        print(name, flush=True)
        test()
print(f"{len(FAILURES)} failure(s)" if FAILURES else "all passed")
sys.exit(1 if FAILURES else 0)
