#!/usr/bin/env python3
"""Syzygy tables with four search threads: every thread probes the same tables at once, from
the first probes after loading them (when the library maps each table) on; the table hits
of every thread add up in the info lines; the path changes between searches. Also runs
under ThreadSanitizer (the threads label), where the library is compiled with the engine.
Usage: test_threads_syzygy.py path/to/varnok"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import run_tests, sanitized, start  # noqa: E402

TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "syzygy")
# five and six pieces: the search reaches the tables through captures
POSITIONS = ["8/8/3k4/8/2r5/8/1K2QN2/8 w - - 0 1",          # KQN v KR
             "8/5k2/8/3r4/8/2PK4/1R6/8 w - - 0 1",          # KRP v KR
             "8/8/2p5/2k5/8/2KR4/4p3/8 w - - 0 1",          # KR v KPP
             "8/4k3/8/8/3p4/3BK3/6N1/8 b - - 0 1"]           # KBN v KP


def hits(lines):
    return [int(h) for h in re.findall(r" tbhits (\d+)", "\n".join(lines))]


def test_four_threads_probe_at_once_from_the_first_probes():
    depth = 8 if sanitized() else 12
    for round_ in range(3):
        # each round loads the tables afresh: the first probes map them
        engine = start(("Threads", 4), ("Hash", 16), ("SyzygyPath", TABLES))
        for fen in POSITIONS:
            lines = engine.search(f"position fen {fen}", f"go depth {depth}", timeout=300)
            found = hits(lines)
            assert found and found[-1] > 0, (fen, lines[-3:])
            assert found == sorted(found), f"{fen}: table hits went down: {found}"
        engine.close()


def test_path_changes_between_searches_with_four_threads():
    engine = start(("Threads", 4), ("Hash", 16))
    for path in (TABLES, "", TABLES + ":", "/nonexistent", TABLES):
        engine.send(f"setoption name SyzygyPath value {path}")
        lines = engine.search(f"position fen {POSITIONS[0]}", "go depth 8", timeout=300)
        assert bool(hits(lines)) == path.startswith(TABLES), (path, lines[-3:])


def test_a_root_in_the_tables_answers_at_once_under_a_clock():
    engine = start(("Threads", 4), ("SyzygyPath", TABLES))
    for fen in ("7r/8/8/8/8/2k5/8/K2Q4 w - - 0 1", "8/5k2/8/8/8/8/4KN2/3B4 w - - 0 1"):
        lines = engine.search(f"position fen {fen}", "go wtime 60000 btime 60000", timeout=30)
        depths = [int(d) for d in re.findall(r"^info depth (\d+) score", "\n".join(lines), re.M)]
        assert depths and max(depths) <= 2, (fen, lines[-4:])
        assert re.search(r"score cp 4\d\d\d ", "\n".join(lines)), lines[-3:]


if __name__ == "__main__":
    run_tests(globals())
