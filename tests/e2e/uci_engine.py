"""A UCI engine process driven over pipes, as a GUI drives it."""

import queue
import subprocess
import threading
import time


class EngineDied(Exception):
    pass


class UciEngine:
    def __init__(self, command, name=None):
        self.name = name or command[0]
        self.process = subprocess.Popen(
            command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, bufsize=0)
        self.lines = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        buffer = b""
        while True:
            chunk = self.process.stdout.read1(65536) if hasattr(self.process.stdout, "read1") \
                else self.process.stdout.read(1)
            if not chunk:
                break
            buffer += chunk
            while b"\n" in buffer:
                line, buffer = buffer.split(b"\n", 1)
                self.lines.put(line.decode("ascii", "replace"))
        self.lines.put(None)

    def send(self, text):
        try:
            self.process.stdin.write((text + "\n").encode())
            self.process.stdin.flush()
        except (BrokenPipeError, OSError) as error:
            raise EngineDied(f"{self.name}: cannot write: {error}") from error

    def read_line(self, timeout):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            return ""  # nothing within the time: the caller decides
        if line is None:
            self.lines.put(None)
            raise EngineDied(f"{self.name} closed its output (exit code {self.process.poll()})")
        return line

    def wait_for(self, predicate, timeout):
        """Lines read until one satisfies predicate (that line last); None on time-out."""
        seen = []
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            line = self.read_line(left)
            if line == "":
                continue
            seen.append(line)
            if predicate(line):
                return seen

    def drain(self, wait=0.0):
        """Lines that arrive within wait seconds (and any already queued)."""
        seen = []
        deadline = time.monotonic() + wait
        while True:
            left = max(0.0, deadline - time.monotonic())
            try:
                line = self.lines.get(timeout=left) if left > 0 else self.lines.get_nowait()
            except queue.Empty:
                return seen
            if line is None:
                self.lines.put(None)
                return seen
            seen.append(line)

    def handshake(self, options=()):
        self.send("uci")
        if self.wait_for(lambda l: l == "uciok", 10) is None:
            raise EngineDied(f"{self.name}: no uciok")
        for name, value in options:
            self.send(f"setoption name {name} value {value}")
        self.ready()

    def ready(self, timeout=30):
        self.send("isready")
        if self.wait_for(lambda l: l == "readyok", timeout) is None:
            raise EngineDied(f"{self.name}: no readyok")

    def close(self):
        try:
            self.send("quit")
        except EngineDied:
            pass
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None
