#!/usr/bin/env python3
"""The process around the engine: a GUI that closes the engine's output while it
searches, and an address space too small for the table asked for. Input that ends in
the middle of a line: test_uci.py.
Usage: test_process.py path/to/varnok"""
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import BANNER, ENGINE, run_tests, sanitized, start  # noqa: E402


def test_a_closed_output_ends_the_engine_at_once():
    # the GUI keeps the engine's input open; with SIGPIPE at its default the next
    # write ends the process, with SIGPIPE ignored (as some GUIs start engines) the engine quits
    for ignore_sigpipe in (False, True):
        engine = subprocess.Popen([ENGINE], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  preexec_fn=(lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
                                  if ignore_sigpipe else None)
        try:
            assert engine.stdout.readline() == BANNER.encode()
            engine.stdin.write(b"go infinite\n")
            engine.stdin.flush()
            assert engine.stdout.readline().startswith(b"info"), "the search has not started"
            engine.stdout.close()
            began = time.monotonic()
            code = engine.wait(timeout=10)
            assert code == (0 if ignore_sigpipe else -signal.SIGPIPE), code
            assert time.monotonic() - began < 3, time.monotonic() - began  # a second, with room for a loaded machine
            assert engine.stderr.read() == b""
        finally:
            if engine.poll() is None:
                engine.kill()
                engine.wait()


def test_a_table_beyond_the_address_space_gives_a_smaller_one_and_play_goes_on():
    if sanitized():
        print("    skipped: a sanitized build cannot run under an address-space limit")
        return
    engine = start(limit=800 << 20)   # room for the 256 MB table of the start-up, not for 1024 MB
    engine.send("setoption name Hash value 1024", "isready")
    notes = engine.wait_for("readyok", 30)[:-1]
    assert len(notes) == 1, notes
    megabytes = re.fullmatch(r"info string Hash: 1024 MB could not be allocated, using (\d+) MB", notes[0])
    assert megabytes and 256 < int(megabytes[1]) < 1024, notes   # the largest that fits, more than it had
    lines = engine.search("position startpos moves e2e4", "go depth 7")
    assert re.fullmatch(r"bestmove \w{4} ponder \w{4}", lines[-1]), lines[-3:]
    engine.send("setoption name Hash value 64", "isready")
    assert engine.wait_for("readyok", 30) == ["readyok"]


run_tests(globals())
