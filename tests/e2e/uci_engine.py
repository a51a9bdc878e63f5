"""A UCI engine process driven over pipes, as a GUI drives it."""

import queue
import subprocess
import threading
import time


class EngineDied(Exception):
    pass


class UciEngine:
    def __init__(self, command, name, keep_errors=False):
        """keep_errors: collect what the engine writes to standard error in self.errors."""
        self.name = name
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE if keep_errors else subprocess.DEVNULL,
                                        text=True, bufsize=1)
        self.lines, self.errors = queue.Queue(), []
        threading.Thread(target=self._read, daemon=True).start()
        if keep_errors:
            threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)  # end of output

    def send(self, text):
        try:
            self.process.stdin.write(text + "\n")
            self.process.stdin.flush()
        except OSError as error:
            raise EngineDied(f"{self.name}: cannot write: {error}") from error

    def read(self, timeout):
        """The next line; None at the end of output or when nothing came in time."""
        try:
            line = self.lines.get(timeout=max(0.0, timeout))
        except queue.Empty:
            return None
        if line is None:
            self.lines.put(None)
        return line

    def until(self, predicate, timeout=30):
        """The lines up to the first that satisfies predicate; None if it does not come in time."""
        seen, deadline = [], time.monotonic() + timeout
        while (line := self.read(deadline - time.monotonic())) is not None:
            seen.append(line)
            if predicate(line):
                return seen
        return None

    def drain(self, wait):
        """Every line written within wait seconds."""
        return self.until(lambda line: False, wait) or []

    def wait_for(self, prefix, timeout):
        """The lines read up to the first that starts with prefix; None on time-out."""
        seen, deadline = [], time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None
            if line is None:
                self.lines.put(None)
                raise EngineDied(f"{self.name} closed its output (exit code {self.process.poll()})")
            seen.append(line)
            if line.startswith(prefix):
                return seen

    def pending(self):
        """The lines already written and not yet read."""
        seen = []
        while not self.lines.empty():
            line = self.lines.get()
            if line is None:
                self.lines.put(None)
                break
            seen.append(line)
        return seen

    def handshake(self, options=()):
        self.send("uci")
        if self.wait_for("uciok", 10) is None:
            raise EngineDied(f"{self.name}: no uciok")
        for name, value in options:
            self.send(f"setoption name {name} value {value}")
        self.ready()

    def ready(self):
        self.send("isready")
        if self.wait_for("readyok", 30) is None:
            raise EngineDied(f"{self.name}: no readyok")

    def close(self):
        try:
            self.send("quit")
            return self.process.wait(timeout=10)
        except (EngineDied, subprocess.TimeoutExpired):
            self.process.kill()
            return self.process.wait()
