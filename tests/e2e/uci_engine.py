"""A UCI engine process driven over pipes, as a GUI drives it, and what every
end-to-end script shares: the engine under test (the script's first argument),
one-shot runs of a command script, and the runner, run_tests(globals())."""

import os
import queue
import re
import resource
import subprocess
import sys
import threading
import time
import traceback

ENGINE = sys.argv[1] if len(sys.argv) > 1 else None   # the binary a test script drives
BANNER = "Varnok 3.7.1 by Brannock\n"


class EngineDied(Exception):
    pass


class UciEngine:
    def __init__(self, command, name, keep_errors=False, limit=None):
        """keep_errors: collect what the engine writes to standard error in self.errors;
        limit: the process's address space in bytes."""
        self.name = name
        limited = limit and (lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE if keep_errors else subprocess.DEVNULL,
                                        text=True, bufsize=1, preexec_fn=limited)
        self.lines, self.errors, self.ended = queue.Queue(), [], False
        threading.Thread(target=self._read, daemon=True).start()
        self.error_reader = threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True)
        if keep_errors:
            self.error_reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)  # end of output

    def send(self, *commands):
        for text in commands:
            try:
                self.process.stdin.write(text + "\n")
                self.process.stdin.flush()
            except OSError as error:
                raise EngineDied(f"{self.name}: cannot write: {error}") from error

    def until(self, predicate, timeout=30):
        """The lines up to the first that satisfies predicate; None if it does not come in time,
        or at the end of output."""
        seen, deadline = [], time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if line is None:
                self.lines.put(None)
                self.ended = True
                return None
            seen.append(line)
            if predicate(line):
                return seen

    def drain(self, wait):
        """Every line written within wait seconds."""
        return self.until(lambda line: False, wait) or []

    def wait_for(self, prefix, timeout):
        """The lines read up to the first that starts with prefix; None on time-out."""
        seen = self.until(lambda line: line.startswith(prefix), timeout)
        if seen is None and self.ended:
            raise EngineDied(f"{self.name} closed its output (exit code {self.process.poll()})")
        return seen

    def handshake(self, options=()):
        self.send("uci")
        if self.wait_for("uciok", 10) is None:
            raise EngineDied(f"{self.name}: no uciok")
        self.send(*[f"setoption name {name} value {value}" for name, value in options])
        self.ready()

    def ready(self):
        self.send("isready")
        if self.wait_for("readyok", 30) is None:
            raise EngineDied(f"{self.name}: no readyok")

    def search(self, position, go, timeout=60):
        """The lines of one search, up to its bestmove."""
        self.send(position, go)
        lines = self.wait_for("bestmove", timeout)
        assert lines is not None, f"{position} {go}: no bestmove within {timeout} s"
        return lines

    def close(self):
        try:
            self.send("quit")
            return self.process.wait(timeout=10)
        except (EngineDied, subprocess.TimeoutExpired):
            self.process.kill()
            return self.process.wait()


# ---------------------------------------------------------------------------
# The engine under test

_started = []   # engines of the running test; the runner checks how each ended


def start(*options, limit=None, program=None):
    """The engine under test (or another program, such as a referee) after "uci", the options
    and "isready"; its standard error is kept, and the runner checks how it ended."""
    engine = UciEngine([program or ENGINE], os.path.basename(program or "varnok"), keep_errors=True, limit=limit)
    _started.append(engine)
    engine.handshake(options)
    return engine


def sanitized():
    """Sanitizer run-times reserve terabytes of address space: no address-space limit leaves them room."""
    with open(ENGINE, "rb") as binary:
        data = binary.read()
    return b"__asan_init" in data or b"__tsan_init" in data


def run_script(commands, *arguments, timeout=60):
    """The engine run once, fed the commands (text, sent as it is) with the arguments on its
    command line. Its whole output, once it has exited 0 without a word on standard error."""
    result = subprocess.run([ENGINE, *arguments], input=commands.encode(), capture_output=True, timeout=timeout)
    assert result.returncode == 0 and not result.stderr, \
        f"{commands[-80:]!r}: exit code {result.returncode}, {result.stderr[:1000]!r}"
    return result.stdout.decode()


def answers(*commands):
    """The output of each command, up to the "readyok" of an "isready" sent after it."""
    out = run_script("".join(command + "\nisready\n" for command in commands))
    assert out.startswith(BANNER) and "\r" not in out, out[:200]
    parts = out[len(BANNER):].split("readyok\n")
    assert len(parts) == len(commands) + 1 and parts[-1] == "", out[-300:]
    return parts[:-1]


def divide(engine, position, depth):
    """{move: count} of the engine's "divide depth" for position, whose total lines must agree."""
    engine.send(position, f"divide {depth}", "isready")
    lines = engine.wait_for("readyok", 120)
    counts = {move: int(n) for move, n in re.findall(r"^(\w{4,5}) noeuds (\d+)$", "\n".join(lines), re.M)}
    assert f"prof : {depth} noeuds {sum(counts.values())}" in lines and f"nb moves : {len(counts)}" in lines, lines
    return counts


def legal_moves(engine, position, known={}):
    """The root moves that the engine's "divide" lists for position."""
    if position not in known:
        known[position] = set(divide(engine, position, 2))
    return known[position]


def cpu_seconds(engine):
    with open(f"/proc/{engine.process.pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


# ---------------------------------------------------------------------------
# The runner

def _how_engines_ended(engines):
    """Quits the engines still running; a problem when one did not exit 0 or wrote to standard error."""
    problems = []
    for engine in engines:
        code = engine.process.returncode if engine.process.poll() is not None else engine.close()
        engine.error_reader.join(5)
        if code != 0 or engine.errors:
            problems.append(f"{engine.name} exit code {code}, stderr {''.join(engine.errors)[:2000]!r}")
    return "; ".join(problems) or None


def run_tests(names):
    """Runs every test_* function of a script's globals, in order; each fails on an exception,
    or when an engine it started ends badly. Exits 1 when any failed."""
    failed = passed = 0
    for name, test in [(name, value) for name, value in names.items() if name.startswith("test_")]:
        began, first = time.monotonic(), len(_started)
        try:
            test()
            reason = None
        except Exception as error:
            where = [frame.lineno for frame in traceback.extract_tb(error.__traceback__)
                     if os.path.abspath(frame.filename) == os.path.abspath(sys.argv[0])]
            reason = f"line {(where or ['?'])[-1]}: {type(error).__name__}: {error}"
        reason = reason or _how_engines_ended(_started[first:])
        for engine in _started[first:]:
            if engine.process.poll() is None:
                engine.process.kill()
        del _started[first:]
        passed, failed = passed + (reason is None), failed + (reason is not None)
        print(f"{'PASS' if reason is None else 'FAIL'} {name} ({time.monotonic() - began:.1f} s)"
              + (f": {reason}" if reason else ""), flush=True)
    reason = _how_engines_ended(_started)   # engines that served every test
    if reason:
        failed += 1
        print("FAIL", reason)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)
