#!/usr/bin/env python3
"""A WebAssembly build of the engine under Node, in a worker_threads Worker as the
page runs it in a Web Worker (uci_bridge.js), driven over pipes as a GUI drives the
desktop engine, and held to the desktop engine's own lines: identification,
"isready", a "go" under each limit, "stop" during "go infinite", commands during a
search, bad input, a Hash the page's cap refuses, the bench signature.
Usage: test_web_node.py path/to/desktop/varnok path/to/dist/web threads|single"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from uci_engine import UciEngine, _started, run_tests  # noqa: E402

DESKTOP, DIST, BUILD = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
SIGNATURE = open(os.path.join(HERE, "..", "data", "bench_signature.txt")).read().split()[0]
BANNER = "Varnok 3.7.1 by Brannock"
TABLE_CAP_MB = 64   # as a page on a device with 1 GB would set it
MATE_IN_ONE = "position fen r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4"
MIDDLE_GAME = "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8"


def web(table_cap=TABLE_CAP_MB):
    """The web build under test, started and past its banner"""
    engine = UciEngine(["node", os.path.join(HERE, "uci_bridge.js"), DIST, BUILD, str(table_cap)],
                       f"varnok-{BUILD}", keep_errors=True)
    _started.append(engine)
    assert engine.wait_for(BANNER, 60) == [BANNER], "no banner"
    return engine


def desktop():
    """The desktop engine, with the table of the web build's size: its size decides which entries survive"""
    engine = UciEngine([DESKTOP], "varnok", keep_errors=True)
    _started.append(engine)
    assert engine.wait_for(BANNER, 10) == [BANNER]
    engine.send(f"setoption name Hash value {TABLE_CAP_MB}")
    return engine


def exchange(engine, *commands, timeout=60):
    """The lines the commands bring, up to the "readyok" of an "isready" sent after them"""
    engine.send(*commands, "isready")
    lines = engine.wait_for("readyok", timeout)
    assert lines is not None, f"{commands}: no readyok"
    return lines[:-1]


def outcome(lines):
    """What a search found, less what depends on the clock (where a score line falls, time, nps):
    the last score and line, the nodes, the answer"""
    scores = [re.sub(r" (time|nps|nodes) \d+", "", line) for line in lines if " score " in line]
    nodes = max((int(n) for n in re.findall(r" nodes (\d+)", "\n".join(lines))), default=None)
    return scores[-1], nodes, lines[-1]


def is_legal_answer(engine_for_moves, position, line):
    """True when line is "bestmove M ..." and M is legal in position (the desktop's divide 2 lists the moves)"""
    move = line.split()[1]
    listed = exchange(engine_for_moves, position, "divide 2")
    return any(entry.startswith(move + " ") for entry in listed)


def test_identification_and_isready_are_the_desktops():
    engine, reference = web(), desktop()
    assert exchange(engine, "uci") == exchange(reference, "uci")
    assert exchange(engine, "uci", "isready") == exchange(reference, "uci", "isready")


def test_a_go_under_each_limit():
    engine, reference = web(), desktop()
    # depth and nodes count the same nodes as the desktop's, line by line
    for position, go in [("position startpos", "go depth 8"), (MIDDLE_GAME, "go depth 7"),
                         (MIDDLE_GAME, "go nodes 30000")]:
        for side in (engine, reference):
            side.send("ucinewgame")
        ours, theirs = outcome(engine.search(position, go)), outcome(reference.search(position, go))
        assert ours == theirs, (go, ours, theirs)
    # a fast search writes no time and nodes, so only the mate found is compared
    assert [line for line in engine.search(MATE_IN_ONE, "go mate 2") if " score " in line][-1].startswith(
        "info depth 2 score mate 1 ")
    # the clock's limits end in a legal move
    for go in ["go movetime 300", "go wtime 3000 btime 3000 winc 100 binc 100", "go wtime 500 btime 9000 movestogo 3",
               "go depth 8 searchmoves a2a3 h2h4"]:
        answer = engine.search(MIDDLE_GAME, go, timeout=30)[-1]
        assert is_legal_answer(reference, MIDDLE_GAME, answer), (go, answer)
    assert engine.search(MIDDLE_GAME, "go depth 8 searchmoves a2a3 h2h4")[-1].split()[1] in ("a2a3", "h2h4")


def test_stop_ends_go_infinite_with_its_answer():
    engine = web()
    engine.send("position startpos", "go infinite")
    assert engine.wait_for("bestmove", 2) is None, "go infinite answered before stop"
    engine.send("stop")
    lines = engine.wait_for("bestmove", 10)
    assert lines and re.fullmatch(r"bestmove \w{4} ponder \w{4}", lines[-1]), lines
    assert exchange(engine) == []   # nothing more after the answer


def test_commands_during_a_search():
    engine = web()
    engine.send("position startpos", "go infinite", "isready")
    # isready is answered while the search runs, which then goes on
    assert engine.wait_for("readyok", 10)[-1] == "readyok"
    assert engine.wait_for("bestmove", 1) is None
    # a new position and go end the running search first: two answers, in order
    engine.send(MIDDLE_GAME, "go depth 5")
    first = engine.wait_for("bestmove", 10)
    second = engine.wait_for("bestmove", 30)
    assert first and second and second[-1].startswith("bestmove "), (first, second)
    # ponder: the answer waits for ponderhit, then comes within the time per move
    engine.send("position startpos moves e2e4", "go ponder movetime 200")
    assert engine.wait_for("bestmove", 2) is None, "a ponder search answered before ponderhit"
    engine.send("ponderhit")
    assert engine.wait_for("bestmove", 10), "no answer after ponderhit"
    # setoption during a search: the search answers, then the option takes effect
    engine.send("position startpos", "go infinite", "setoption name MultiPV value 2")
    assert engine.wait_for("bestmove", 10)
    lines = engine.search("position startpos", "go depth 4")
    assert any(" multipv 2 " in line for line in lines), lines
    # quit during a search ends the engine with no answer
    engine.send("go infinite", "quit")
    lines = engine.until(lambda line: False, 10) or []
    assert engine.process.wait(10) == 0 and not any(line.startswith("bestmove") for line in lines), lines


def test_bad_input_is_refused_with_the_desktops_lines():
    commands = ["position fen 8/8/8/8/8/8/K6k w - - 0 1", "position startpos moves e2e4 e7e5 e1e2x g1f3",
                "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8k", "setoption name MultiPV value 0",
                "setoption name UCI_Elo value x", "setoption name Threads value 0", "hello", "perft x", "go depth x",
                "bench 0", "position startpos moves " + " ".join(["g1f3 g8f6 f3g1 f6g8"] * 260)]
    engine, reference = web(), desktop()
    for command in commands:
        ours = exchange(engine, command, "d")
        theirs = exchange(reference, command, "d")
        assert [line for line in ours if "bestmove" not in line and not line.startswith("info")] == \
            [line for line in theirs if "bestmove" not in line and not line.startswith("info")], command
        assert [line for line in ours if line.startswith("info string")] == \
            [line for line in theirs if line.startswith("info string")], command


def test_a_hash_larger_than_the_page_allows_is_refused_in_words():
    engine = web()
    lines = exchange(engine, "setoption name Hash value 1024")
    assert lines == [f"info string Hash: 1024 MB could not be allocated, using {TABLE_CAP_MB} MB"], lines
    assert exchange(engine, f"setoption name Hash value {TABLE_CAP_MB}") == []
    assert engine.search("position startpos", "go depth 6")[-1].startswith("bestmove")
    # without a cap the module's memory, at most 2 GB, refuses what it cannot hold
    engine = web(table_cap=0)
    assert exchange(engine, "setoption name Hash value 1024") == []
    assert engine.search("position startpos", "go depth 6")[-1].startswith("bestmove")


def test_threads_as_the_build_allows():
    engine = web()
    lines = exchange(engine, "setoption name Threads value 2")
    # the threaded build starts a helper as the desktop does; the other has no thread to start
    assert lines == ([] if BUILD == "threads" else ["info string only 1 search threads could be started"]), lines
    assert engine.search(MIDDLE_GAME, "go depth 8")[-1].startswith("bestmove ")


def test_bench_gives_the_desktops_signature():
    engine = web()
    engine.send("bench")
    lines = engine.wait_for("Nodes/second", 300)
    assert lines and f"Nodes searched  : {SIGNATURE}" in lines, lines[-4:] if lines else None


if __name__ == "__main__":
    run_tests(globals())
