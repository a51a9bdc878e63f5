#!/usr/bin/env python3
# The search thread driven over pipes as a GUI drives it: "go", "stop", "ponderhit", "isready" and the
# commands that must first end a running search. Every "go" gets exactly one legal "bestmove".
#
# Usage: test_threads_go.py path/to/varnok [threads]

import os, random, re, sys, time  # noqa: E401

from uci_engine import UciEngine

ENGINE = sys.argv[1]
THREADS = int(sys.argv[2]) if len(sys.argv) > 2 else 1
FAILURES = []
START = "position startpos"
MIDDLEGAME = "position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
AFTER_E4 = "position startpos moves e2e4 c7c5 g1f3"
MATED = "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"
STALEMATE = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"
ONE_MOVE = "position fen 8/8/k7/5R2/8/8/1r6/r6K w - - 0 1"
MOVE, STATS = r"[a-h][1-8][a-h][1-8][nbrq]?", r"time \d+ nodes \d+ nps \d+"
INFO = re.compile(rf"info (depth \d+( score (cp|mate) -?\d+( {STATS})? pv( {MOVE})+ | {STATS})?|hashfull \d+"
                  rf"|currmove {MOVE} currmovenumber \d+|{STATS}|string .*)")
BESTMOVE = re.compile(rf"bestmove ({MOVE}|0000)( ponder {MOVE})?")


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)
    return condition


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def is_bestmove(line):
    return line.startswith("bestmove")


class Engine(UciEngine):
    """The engine with its standard error kept: a sanitizer's report fails the test."""

    def __init__(self):
        super().__init__([ENGINE], "varnok", keep_errors=True)
        self.read(30)   # the banner
        if THREADS > 1:
            self.send(f"setoption name Threads value {THREADS}")

    def send(self, *commands):
        for command in commands:
            super().send(command)

    def close(self, what, quit=True):
        self.send("quit") if quit else self.process.stdin.close()
        check(self.process.wait(timeout=10) == 0, f"{what}: exit code {self.process.returncode}")
        time.sleep(0.05)
        check(not self.errors, f"{what}: stderr " + "".join(self.errors)[:2000])


# The moves the engine's own "divide" lists
def legal(position, cache={}):
    if position not in cache:
        ORACLE.send(position, "divide 2")
        lines = ORACLE.until(lambda line: line.startswith("nb moves"), 60) or []
        cache[position] = {line.split()[0] for line in lines if " noeuds " in line and not line.startswith("prof")}
    return cache[position]


# Exactly one well-formed legal "bestmove", at the end of lines; every info line well formed
def check_answer(lines, position, what, allowed=None):
    answers = [line for line in lines or [] if is_bestmove(line)]
    if not check(len(answers) == 1 and is_bestmove(lines[-1]), f"{what}: bestmove lines {answers}"):
        return
    for line in lines:
        check(not line.startswith("info") or INFO.fullmatch(line), f"{what}: malformed {line!r}")
        check(" pv " not in line or line.split(" pv ")[1].split()[0] in legal(position), f"{what}: {line!r}")
    match = BESTMOVE.fullmatch(answers[0])
    if check(match, f"{what}: malformed {answers[0]!r}"):
        move = match.group(1)
        check(move in legal(position) if legal(position) else move == "0000", f"{what}: {answers[0]} {position}")
        check(allowed is None or move in allowed, f"{what}: {move} is not one of {allowed}")


def search(engine, position, go, allowed=None):
    engine.send(position, go)
    lines = engine.until(is_bestmove) or []
    check_answer(lines, position, f"{position} {go}", allowed)
    return lines


def test_go_depth_answers_on_its_own_searchmoves_restrict_the_root_no_legal_move_gives_0000():
    engine = Engine()
    lines = search(engine, START, "go depth 3")
    depths = [line for line in lines if re.fullmatch(r"info depth \d+", line)]
    check(lines[:1] == depths[:1] and depths == ["info depth 2", "info depth 3"], f"go depth 3: {lines}")
    check(engine.drain(0.3) == [], "go depth 3: output after bestmove")
    search(engine, MATED, "go depth 3")   # no legal move: 0000
    search(engine, STALEMATE, "go wtime 1000 btime 1000")
    search(engine, START, "go depth 5 searchmoves h2h3 a2a3", allowed={"h2h3", "a2a3"})
    search(engine, START, "go depth 5 searchmoves e2e5 g1g3 b1c3", allowed={"b1c3"})   # words that are no moves
    # One legal move under a clock: searched to depth 5, then answered
    lines = search(engine, ONE_MOVE, "go wtime 600000 btime 600000", allowed={"f5f1"})
    check([line for line in lines if re.fullmatch(r"info depth \d+", line)][-1:] == ["info depth 5"], str(lines))
    engine.close("go depth")


def test_infinite_until_stop_ponder_until_ponderhit_and_commands_that_wait_for_the_bestmove():
    engine = Engine()
    engine.send(MIDDLEGAME, "go infinite")
    time.sleep(0.3)
    engine.send("isready")
    lines = engine.until(lambda line: line == "readyok" or is_bestmove(line), 5) or ["nothing"]
    check(lines[-1] == "readyok", "isready during a search: no readyok before bestmove")
    lines += engine.drain(1.2)
    check(not any(map(is_bestmove, lines)), "go infinite: stopped without stop")
    stopped = time.monotonic()
    engine.send("stop")
    lines += engine.until(is_bestmove, 10) or []
    check(time.monotonic() - stopped < 0.5, f"go infinite: bestmove {time.monotonic() - stopped:.2f} s after stop")
    check_answer([line for line in lines if line != "readyok"], MIDDLEGAME, "go infinite + stop")
    engine.send("stop")
    check(engine.drain(0.3) == [], "stop without a search wrote something")

    # A ponder search holds its answer, whatever its depth, and waits without using the processor
    engine.send(START, "go ponder depth 3 wtime 100000 btime 100000")
    check(engine.until(is_bestmove, 1.0) is None, "go ponder depth 3 answered before ponderhit")
    before = cpu_seconds(engine.process.pid)
    time.sleep(1.0)
    check(cpu_seconds(engine.process.pid) - before < 0.25, "a held search used the processor")
    start = time.monotonic()
    engine.send("ponderhit")
    check_answer(engine.until(is_bestmove, 10), START, "ponder depth 3 + ponderhit")
    check(time.monotonic() - start < 2, "ponderhit after the last iteration: no bestmove at once")
    # A timed ponder search: after the hit the clock applies; "stop" also ends it
    for end in ("ponderhit", "stop"):
        engine.send(AFTER_E4, "go ponder wtime 3000 btime 3000 winc 0 binc 0")
        check(engine.until(is_bestmove, 0.6) is None, "a ponder search answered on its own")
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
        check(sum(map(is_bestmove, lines)) == 1, f"{command} during a search: {lines}")
    search(engine, "position startpos moves e2e4", "go depth 3")
    engine.close("go infinite, ponder, commands during a search")


def test_quit_during_a_search_ends_cleanly():
    for go in ("go infinite", "go ponder wtime 1000 btime 1000", "go depth 30", None):
        engine = Engine()
        engine.send(MIDDLEGAME, go or "go infinite")
        time.sleep(0.2)
        engine.close(f"quit during {go or 'go infinite, by the end of input'}", quit=go is not None)
        check(not any(map(is_bestmove, engine.drain(0.2))), f"quit during {go}: bestmove after quit")


def test_random_commands_at_random_intervals():
    rng = random.Random(20240607)
    engine = Engine()
    positions = [START, MIDDLEGAME, AFTER_E4, MATED, STALEMATE, ONE_MOVE]
    gos = ["go depth 3", "go depth 5", "go infinite", "go ponder wtime 2000 btime 2000", "go wtime 300 btime 300",
           "go wtime 2000 btime 2000 winc 100 binc 100", "go movestogo 2 wtime 500 btime 500",
           "go ponder depth 2", "go depth 4 searchmoves e2e4 d2d4 a7a6"]
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
    check(lines.count("readyok") == sent.count("isready"), f"stress: {lines.count('readyok')} readyok")
    answers = [i for i, line in enumerate(lines) if is_bestmove(line)]
    check(len(answers) == len(searches), f"stress: {len(answers)} bestmove lines for {len(searches)} go")
    for start, end, position in zip([-1] + answers, answers, searches):
        check_answer([line for line in lines[start + 1:end + 1] if line != "readyok"], position, "stress")
    engine.close("stress")


ORACLE = Engine()
for name, test in list(globals().items()):
    if name.startswith("test_"):
        print(name, flush=True)
        test()
ORACLE.close("legal moves")
print(f"{len(FAILURES)} failure(s)" if FAILURES else "all passed")
sys.exit(1 if FAILURES else 0)
