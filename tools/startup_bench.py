#!/usr/bin/env python3
"""Start-up time and idle memory of the engine.

Usage: tools/startup_bench.py [path/to/varnok] [starts]
For each start: the time from starting the process to reading "uciok" after
sending "uci", then VmRSS from /proc/PID/status once "isready" is answered.
Prints the median, the fastest and the slowest of each."""
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def one_start(binary):
    start = time.perf_counter()
    proc = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
    proc.stdin.write("uci\n")
    proc.stdin.flush()
    while proc.stdout.readline().strip() != "uciok":
        pass
    elapsed = time.perf_counter() - start
    proc.stdin.write("isready\n")
    proc.stdin.flush()
    while proc.stdout.readline().strip() != "readyok":
        pass
    with open("/proc/%d/status" % proc.pid) as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    proc.stdin.write("quit\n")
    proc.stdin.flush()
    proc.wait()
    return elapsed * 1000, rss


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "varnok")
    starts = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    if not os.path.exists(binary):
        sys.exit("no engine at %s: build it first (cmake -S . -B build && cmake --build build -j2)" % binary)
    runs = [one_start(binary) for _ in range(starts)]
    times = [ms for ms, _ in runs]
    rss = [kb for _, kb in runs]
    print("%d starts of %s" % (starts, binary))
    print("start to uciok: median %.1f ms (fastest %.1f, slowest %.1f)"
          % (statistics.median(times), min(times), max(times)))
    print("idle VmRSS after isready: median %.1f MB (%d to %d kB)"
          % (statistics.median(rss) / 1024, min(rss), max(rss)))


if __name__ == "__main__":
    main()
