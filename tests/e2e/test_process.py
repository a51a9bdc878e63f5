#!/usr/bin/env python3
"""The process around the engine: a GUI that closes the engine's output while
it searches, input that ends in the middle of a line, and an address space too
small for the table asked for.
Usage: test_process.py path/to/varnok"""
import re
import resource
import signal
import subprocess
import sys
import time

BINARY = sys.argv[1]
BANNER = b"Varnok 3.7.1 by Brannock\n"


def sanitized():
    """Sanitizer runtimes reserve terabytes of address space: no address-space limit can be set for them."""
    with open(BINARY, "rb") as binary:
        data = binary.read()
    return b"__asan_init" in data or b"__tsan_init" in data


def test_a_closed_output_ends_the_engine_at_once():
    # the GUI keeps the engine's input open; with SIGPIPE at its default the next
    # write ends the process, with SIGPIPE ignored (as some GUIs start engines) the engine quits
    for ignore_sigpipe in (False, True):
        engine = subprocess.Popen([BINARY], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  preexec_fn=(lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
                                  if ignore_sigpipe else None)
        try:
            assert engine.stdout.readline() == BANNER
            engine.stdin.write(b"go infinite\n")
            engine.stdin.flush()
            assert engine.stdout.readline().startswith(b"info"), "the search has not started"
            engine.stdout.close()
            start = time.monotonic()
            code = engine.wait(timeout=10)
            elapsed = time.monotonic() - start
            print("    SIGPIPE %s: ended in %.3f s with %d" % ("ignored" if ignore_sigpipe else "default", elapsed, code))
            assert code == (0 if ignore_sigpipe else -signal.SIGPIPE), code
            assert elapsed < 3, elapsed  # a second, with room for a loaded machine
            assert engine.stderr.read() == b""
        finally:
            if engine.poll() is None:
                engine.kill()
                engine.wait()


def test_input_that_ends_inside_a_position_line_is_that_line_then_quit():
    cases = [
        (b"position startpos moves e2e4 e7e5 zz", [r"info string illegal move zz\b.*"]),
        (b"position fen 4k3/4K3/8/8/8/8/8/8 b - - 0 1", [r"info string invalid FEN \(the kings .*"]),
        (b"position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 moves e1e2 e8e7 e2e3 zz", [r"info string illegal move zz\b.*"]),
        # a search runs: the line stops it, so its one bestmove comes first
        (b"go infinite\nposition startpos moves g1f3 zz", [r"bestmove \w{4}.*", r"info string illegal move zz\b.*"]),
    ]
    for data, expected in cases:
        result = subprocess.run([BINARY], input=data, capture_output=True, timeout=30)
        assert result.returncode == 0 and result.stderr == b"", (data, result.returncode, result.stderr[:300])
        lines = [line for line in result.stdout.decode().splitlines()[1:] if not line.startswith("info ") or
                 line.startswith("info string")]
        assert len(lines) == len(expected) and all(map(re.fullmatch, expected, lines)), (data, lines)


def test_a_table_beyond_the_address_space_gives_a_smaller_one_and_play_goes_on():
    if sanitized():
        print("    skipped: a sanitized build cannot run under an address-space limit")
        return
    limit = 800 << 20  # room for the 256 MB table of the start-up, not for 1024 MB

    def limit_address_space():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    engine = subprocess.Popen([BINARY], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              preexec_fn=limit_address_space, text=True)
    commands = "setoption name Hash value 1024\nisready\nposition startpos moves e2e4\ngo depth 7\n"
    engine.stdin.write(commands)
    engine.stdin.flush()
    lines = []
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        line = engine.stdout.readline()
        if not line or line.startswith("bestmove"):
            lines.append(line.rstrip("\n"))
            break
        lines.append(line.rstrip("\n"))
    engine.stdin.write("quit\n")
    engine.stdin.close()
    code = engine.wait(timeout=10)
    assert code == 0 and engine.stderr.read() == "", code
    before_ready = lines[1:lines.index("readyok")]
    assert len(before_ready) == 1, before_ready
    megabytes = re.fullmatch(r"info string Hash: 1024 MB could not be allocated, using (\d+) MB", before_ready[0])
    assert megabytes and 4 <= int(megabytes.group(1)) < 1024, before_ready
    print("    a table of %s MB under a limit of %d MB" % (megabytes.group(1), limit >> 20))
    assert re.fullmatch(r"bestmove \w{4} ponder \w{4}", lines[-1]), lines[-3:]


if __name__ == "__main__":
    failures = 0
    for name, test in [(n, f) for n, f in list(globals().items()) if n.startswith("test_")]:
        try:
            test()
            print("ok  ", name)
        except Exception as error:  # report every test, then fail
            failures += 1
            print("FAIL %s: %s: %s" % (name, type(error).__name__, error))
    sys.exit(1 if failures else 0)
