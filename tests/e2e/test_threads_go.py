#!/usr/bin/env python3
"""The search thread driven over pipes as a GUI drives it: "go", "stop", "ponderhit", "isready"
and the commands that must first end a running search. Every "go" gets exactly one legal
"bestmove"; a search that waits for "stop" or "ponderhit" uses no processor time.
Usage: test_threads_go.py path/to/varnok [threads]"""
import os
import random
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import cpu_seconds, legal_moves, run_tests, start  # noqa: E402

THREADS = int(sys.argv[2]) if len(sys.argv) > 2 else 1
START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
AFTER_E4 = "position startpos moves e2e4 c7c5 g1f3"
MATED = "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"
MATE_IN_ONE = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"
STALEMATE = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"
ONE_MOVE = "position fen 8/8/k7/5R2/8/8/1r6/r6K w - - 0 1"
PROMOTIONS = "position fen 8/P7/8/8/8/8/7p/K6k w - - 0 1"
MOVE, STATS = r"[a-h][1-8][a-h][1-8][nbrq]?", r"time \d+ nodes \d+ nps \d+"
INFO = re.compile(rf"info (depth \d+( score (cp|mate) -?\d+( {STATS})? pv( {MOVE})+ | {STATS})?|hashfull \d+"
                  rf"|currmove {MOVE} currmovenumber \d+|{STATS}|string .*)")
BESTMOVE = re.compile(rf"bestmove ({MOVE}|0000)( ponder {MOVE})?")


def is_bestmove(line):
    return line.startswith("bestmove")


def engine_under_test():
    return start(*[("Threads", THREADS)] * (THREADS > 1))


def check_answer(lines, position, what, allowed=None):
    """Exactly one well-formed legal "bestmove", at the end of lines; every info line well formed."""
    answers, legal = [line for line in lines or [] if is_bestmove(line)], legal_moves(ORACLE, position)
    assert len(answers) == 1 and is_bestmove(lines[-1]), f"{what}: bestmove lines {answers}"
    for line in lines:
        assert not line.startswith("info") or INFO.fullmatch(line), f"{what}: malformed {line!r}"
        assert " pv " not in line or line.split(" pv ")[1].split()[0] in legal, f"{what}: {line!r}"
    match = BESTMOVE.fullmatch(answers[0])
    assert match and ((match[1] in legal) if legal else match[1] == "0000"), f"{what}: {answers[0]!r}"
    assert allowed is None or match[1] in allowed, f"{what}: {match[1]} is not one of {allowed}"


def search(engine, position, go, allowed=None):
    engine.send(position, go)
    lines = engine.until(is_bestmove) or []
    check_answer(lines, position, f"{position} {go}", allowed)
    return lines


def test_go_depth_answers_on_its_own_searchmoves_restrict_the_root_no_legal_move_gives_0000():
    engine = engine_under_test()
    lines = search(engine, START, "go depth 3")
    depths = [line for line in lines if re.fullmatch(r"info depth \d+", line)]
    assert lines[:1] == depths[:1] and depths == ["info depth 2", "info depth 3"], f"go depth 3: {lines}"
    assert engine.drain(0.3) == [], "go depth 3: output after bestmove"
    search(engine, MATED, "go depth 3")
    search(engine, STALEMATE, "go wtime 1000 btime 1000")
    search(engine, START, "go depth 5 searchmoves h2h3 a2a3", allowed={"h2h3", "a2a3"})
    search(engine, START, "go depth 5 searchmoves e2e5 g1g3 b1c3", allowed={"b1c3"})   # words that are no moves
    # One legal move under a clock: searched to depth 5, then answered
    lines = search(engine, ONE_MOVE, "go wtime 600000 btime 600000", allowed={"f5f1"})
    assert [line for line in lines if re.fullmatch(r"info depth \d+", line)][-1:] == ["info depth 5"], lines


def test_infinite_until_stop_ponder_until_ponderhit_and_commands_that_wait_for_the_bestmove():
    engine = engine_under_test()
    engine.send(MIDDLEGAME, "go infinite")
    time.sleep(0.3)
    engine.send("isready")
    lines = engine.until(lambda line: line == "readyok" or is_bestmove(line), 5) or ["nothing"]
    assert lines[-1] == "readyok", "isready during a search: no readyok before bestmove"
    lines += engine.drain(1.2)
    assert not any(map(is_bestmove, lines)), "go infinite: stopped without stop"
    stopped = time.monotonic()
    engine.send("stop")
    lines += engine.until(is_bestmove, 10) or []
    assert time.monotonic() - stopped < 0.5, f"go infinite: bestmove {time.monotonic() - stopped:.2f} s after stop"
    check_answer([line for line in lines if line != "readyok"], MIDDLEGAME, "go infinite + stop")
    engine.send("stop")
    assert engine.drain(0.3) == [], "stop without a search wrote something"

    # Searches that end early hold their answer until allowed, and wait without using the processor
    for position, go, end, allowed in [(MATE_IN_ONE, "go infinite", "stop", {"d1d8"}),
                                       (STALEMATE, "go infinite", "stop", None),
                                       (START, "go ponder depth 3 wtime 100000 btime 100000", "ponderhit", None)]:
        engine.send(position, go)
        assert engine.until(is_bestmove, 1.0) is None, f"{position} {go}: answered before {end}"
        before = cpu_seconds(engine)
        time.sleep(1.0)
        assert cpu_seconds(engine) - before < 0.25, f"{position} {go}: a held search used the processor"
        began = time.monotonic()
        engine.send(end)
        check_answer(engine.until(is_bestmove, 10), position, f"{go} + {end}", allowed)
        assert time.monotonic() - began < 2, f"{go} + {end}: no bestmove at once"
    # A timed ponder search: after the hit the clock applies; "stop" also ends it
    for end in ("ponderhit", "stop"):
        engine.send(AFTER_E4, "go ponder wtime 3000 btime 3000 winc 0 binc 0")
        assert engine.until(is_bestmove, 0.6) is None, "a ponder search answered on its own"
        engine.send(end)
        check_answer(engine.until(is_bestmove, 10), AFTER_E4, f"timed ponder + {end}")

    # Commands that change the board or the table end a search, and answer after its bestmove
    for command in ("position startpos moves e2e4", "setoption name Hash value 8", "ucinewgame",
                    "setoption name Ponder value true", "bench 1", "perft 1", "d"):
        engine.send(START, "go infinite")
        time.sleep(0.15)
        engine.send(command, "isready")
        lines = engine.until(lambda line: line == "readyok") or []
        first = [i for i, line in enumerate(lines) if not line.startswith("info")][:1]
        check_answer(lines[:first[0] + 1] if first else None, START, f"{command} during a search")
        assert sum(map(is_bestmove, lines)) == 1, f"{command} during a search: {lines}"
    search(engine, "position startpos moves e2e4", "go depth 3")


def test_quit_or_the_end_of_input_during_a_search_ends_cleanly():
    for go in ("go infinite", "go ponder wtime 1000 btime 1000", "go depth 30", None):
        engine = engine_under_test()
        engine.send(MIDDLEGAME, go or "go infinite")
        time.sleep(0.2)
        if go:
            engine.send("quit")
        else:
            engine.process.stdin.close()
        assert engine.process.wait(timeout=10) == 0, f"{go or 'end of input'}: exit code {engine.process.returncode}"
        assert not any(map(is_bestmove, engine.drain(0.2))), f"quit during {go}: bestmove after quit"


def test_random_commands_at_random_intervals():
    rng = random.Random(20240607)
    engine = engine_under_test()
    positions = [START, MIDDLEGAME, AFTER_E4, MATED, STALEMATE, ONE_MOVE, PROMOTIONS,
                 "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"]
    gos = ["go depth 3", "go depth 5", "go infinite", "go ponder wtime 2000 btime 2000", "go wtime 300 btime 300",
           "go wtime 2000 btime 2000 winc 100 binc 100", "go movestogo 2 wtime 500 btime 500", "go movetime 40",
           "go nodes 20000", "go ponder depth 2", "go depth 4 searchmoves e2e4 d2d4 a7a6"]
    others = ["stop"] * 7 + ["ponderhit"] * 4 + ["isready"] * 4 + ["position"] * 4 + ["ucinewgame"] + \
        [f"setoption name Hash value {size}" for size in (1, 5, 16)]
    position, searches, sent = START, [], []
    engine.send(position)
    for _ in range(220):
        command = rng.choice(gos + others)
        if command.startswith("go"):
            searches.append(position)
        elif command == "position":
            command = position = rng.choice(positions)
        engine.send(command)
        sent.append(command)
        time.sleep(rng.choice((0, 0, 0.001, 0.005, 0.02, 0.05)))
    engine.send("stop", "d")   # answered after every earlier command
    lines = (engine.until(lambda line: line.startswith("Fen:"), 120) or []) + engine.drain(0.5)
    assert lines.count("readyok") == sent.count("isready"), f"stress: {lines.count('readyok')} readyok"
    answers = [i for i, line in enumerate(lines) if is_bestmove(line)]
    assert len(answers) == len(searches), f"stress: {len(answers)} bestmove lines for {len(searches)} go"
    for begin, end, position in zip([-1] + answers, answers, searches):
        check_answer([line for line in lines[begin + 1:end + 1] if line != "readyok"], position, "stress")


ORACLE = start()   # lists the legal moves
run_tests(globals())
