#!/usr/bin/env python3
"""Start-up time, idle memory, and how late the first search answers.

Usage: tools/startup_bench.py [path/to/varnok] [starts] [--against OTHER]
For each start: the time from starting the process to reading "uciok" after
sending "uci", and to "readyok" after sending "isready" at once after it (the
answer waits until the table is ready), then VmRSS from /proc/PID/status.
Then, over as many fresh starts again, the time from sending "go movetime 100"
to its "bestmove": once sent after "readyok", as GUIs do, and once right after
the banner. With --against, the two engines start in turn. Prints the median,
the fastest and the slowest of each."""
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def start(binary):
    began = time.perf_counter()
    return subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1), began


def command(proc, text, last):
    proc.stdin.write(text + "\n")
    proc.stdin.flush()
    while not proc.stdout.readline().startswith(last):
        pass


def quit(proc):
    proc.stdin.write("quit\n")
    proc.stdin.flush()
    proc.wait()


def one_start(binary):
    proc, began = start(binary)
    command(proc, "uci", "uciok")
    uciok = time.perf_counter() - began
    command(proc, "isready", "readyok")
    readyok = time.perf_counter() - began
    with open("/proc/%d/status" % proc.pid) as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    quit(proc)
    return uciok * 1000, readyok * 1000, rss


def first_search(binary, ready):
    proc, _ = start(binary)
    proc.stdout.readline()  # the banner
    if ready:
        command(proc, "uci", "uciok")
        command(proc, "isready", "readyok")
    sent = time.perf_counter()
    command(proc, "go movetime 100", "bestmove")
    answered = time.perf_counter() - sent
    quit(proc)
    return answered * 1000


def spread(values, unit):
    return "median %.1f %s (fastest %.1f, slowest %.1f)" % (statistics.median(values), unit, min(values), max(values))


def main():
    args = sys.argv[1:]
    other = None
    if "--against" in args:
        at = args.index("--against")
        other = args[at + 1]
        del args[at:at + 2]
    binary = args[0] if args else os.path.join(ROOT, "build", "varnok")
    starts = int(args[1]) if len(args) > 1 else 50
    binaries = [binary] + ([other] if other else [])
    for path in binaries:
        if not os.path.exists(path):
            sys.exit("no engine at %s: build it first (cmake -S . -B build && cmake --build build -j2)" % path)
    runs = {path: [] for path in binaries}
    searches = {(path, ready): [] for path in binaries for ready in (True, False)}
    for _ in range(starts):
        for path in binaries:
            runs[path].append(one_start(path))
    for ready in (True, False):
        for _ in range(starts):
            for path in binaries:
                searches[path, ready].append(first_search(path, ready))
    for path in binaries:
        print("%d starts of %s" % (starts, path))
        print("  start to uciok:   " + spread([r[0] for r in runs[path]], "ms"))
        print("  start to readyok: " + spread([r[1] for r in runs[path]], "ms"))
        print("  idle VmRSS after isready: median %.1f MB" % (statistics.median([r[2] for r in runs[path]]) / 1024))
        for ready, when in ((True, "readyok"), (False, "the banner")):
            late = searches[path, ready]
            print("  first go movetime 100 after %s, answered after: %s, over 150 ms in %d of %d"
                  % (when, spread(late, "ms"), sum(ms > 150 for ms in late), len(late)))
            print("    " + " ".join("%.0f" % ms for ms in late))


if __name__ == "__main__":
    main()
