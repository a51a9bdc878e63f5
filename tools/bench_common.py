"""Process timing shared by the benchmarks: the stockfish to compare with, an
engine driven over pipes with each command timed from sending it to its last
line, and one-shot runs timed by wall clock and by processor time."""
import os
import resource
import shutil
import subprocess
import sys
import time


def find_stockfish():
    """Debian's stockfish, installed with apt-get when it is missing."""
    found = shutil.which("stockfish") or ("/usr/games/stockfish" if os.path.exists("/usr/games/stockfish") else None)
    if not found:
        subprocess.run(["apt-get", "install", "-y", "stockfish"], check=True, stdout=subprocess.DEVNULL)
        found = shutil.which("stockfish") or "/usr/games/stockfish"
    return found


class Engine:
    """An engine kept running between timed commands."""

    def __init__(self, command):
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def send(self, text):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()

    def until(self, test):
        while True:
            line = self.proc.stdout.readline()
            if not line:
                sys.exit("the engine ended unexpectedly")
            if test(line):
                return line

    def timed(self, position, command, last):
        """Seconds from sending command (after the position, once the engine is ready) to the line last accepts."""
        self.send("position fen " + position)
        self.send("isready")
        self.until(lambda line: line.startswith("readyok"))
        start = time.perf_counter()
        self.send(command)
        line = self.until(last)
        return time.perf_counter() - start, line

    def close(self):
        self.send("quit")
        self.proc.wait()


def run_once(command, stdin=b""):
    """Runs a command to its end: (output with standard error, wall seconds, user processor seconds)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
    start = time.perf_counter()
    result = subprocess.run(command, input=stdin, capture_output=True, check=True)
    wall = time.perf_counter() - start
    user = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - before
    return result.stdout.decode() + result.stderr.decode(), wall, user


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2
