"""The "eval" command over pipes: a breakdown of the current position ending
with "Final evaluation: V", V for the side to move.

Usage: test_eval.py ENGINE
"""

import queue
import subprocess
import sys
import threading

TIMEOUT = 10

STAGES = ["pawns", "pieces", "king safety", "threats", "passed pawns", "pawn race",
          "space", "mobility", "imbalance", "tempo"]

# (position command, value for the side to move), each worked out by hand
CASES = [
    # Symmetric positions: only the tempo (24 in the middlegame) is left
    ("position startpos", 24),
    ("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", 24),
    ("position startpos moves e2e4 e7e5", 24),
    # Endgame rules
    ("position fen 8/8/8/4k3/8/8/8/N3K3 w - - 0 1", 0),
    ("position fen 8/8/4K3/4P3/8/8/8/k7 w - - 0 1", 800),
    ("position fen 3k4/8/4K3/4P3/8/8/8/8 w - - 0 1", 832),
    ("position fen 3k4/8/4K3/4P3/8/8/8/8 b - - 0 1", -832),
    ("position fen 8/8/8/8/8/2k5/8/R3K3 w - - 0 1", 1418),
    ("position fen k7/8/2K5/8/2B5/8/8/6N1 w - - 0 1", 764),
    ("position fen 7k/8/8/7P/8/8/8/1B2K3 w - - 0 1", -4),
]


class Engine:
    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, bufsize=0)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("ascii", "replace").rstrip("\r\n"))
        self.lines.put(None)

    def send(self, text):
        self.process.stdin.write((text + "\n").encode())
        self.process.stdin.flush()

    def read_until(self, predicate):
        seen = []
        while True:
            try:
                line = self.lines.get(timeout=TIMEOUT)
            except queue.Empty:
                raise AssertionError(f"no answer within {TIMEOUT} s; read so far: {seen}")
            if line is None:
                raise AssertionError(f"the engine closed its output; read so far: {seen}")
            seen.append(line)
            if predicate(line):
                return seen

    def close(self):
        try:
            self.send("quit")
            self.process.wait(timeout=TIMEOUT)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


def main():
    engine = Engine(sys.argv[1])
    failures = []
    try:
        engine.read_until(lambda line: line.startswith("Varnok"))
        for command, expected in CASES:
            engine.send(command)
            engine.send("eval")
            lines = engine.read_until(lambda line: line.startswith("Final evaluation: "))
            final = lines[-1]
            missing = [stage for stage in STAGES if not any(line.startswith(stage) for line in lines)]
            if final != f"Final evaluation: {expected}":
                failures.append(f"{command}: {final!r}, expected {expected}")
            elif missing:
                failures.append(f"{command}: breakdown lacks {missing}")
        # The command leaves the engine ready for the next one
        engine.send("isready")
        engine.read_until(lambda line: line == "readyok")
    finally:
        engine.close()
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(CASES) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
