#!/usr/bin/env python3
"""Search speed: Varnok's "bench" beside Debian's stockfish "bench", in the same run.

Usage: tools/search_bench.py [path/to/varnok] [repeats]
Installs stockfish with apt-get when it is missing. Both benches search their
own fixed position lists single-threaded; the figure compared is nodes per
second, the best of the repeats."""
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def totals(text):
    nodes = int(re.search(r"Nodes searched\s*: (\d+)", text).group(1))
    ms = int(re.search(r"Total time \(ms\)\s*: (\d+)", text).group(1))
    return nodes, ms


def varnok_bench(path):
    result = subprocess.run([path], input=b"bench\nquit\n", capture_output=True, check=True)
    return totals(result.stdout.decode())


def stockfish_bench(path):
    # stockfish writes its totals to standard error
    result = subprocess.run([path, "bench"], capture_output=True, check=True)
    return totals(result.stdout.decode() + result.stderr.decode())


def find_stockfish():
    path = shutil.which("stockfish") or ("/usr/games/stockfish" if os.path.exists("/usr/games/stockfish") else None)
    if not path:
        subprocess.run(["apt-get", "install", "-y", "stockfish"], check=True, stdout=subprocess.DEVNULL)
        path = shutil.which("stockfish") or "/usr/games/stockfish"
    return path


def main():
    varnok = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "varnok")
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    stockfish = find_stockfish()
    best = {}
    for _ in range(repeats):
        for name, run, path in (("varnok", varnok_bench, varnok), ("stockfish", stockfish_bench, stockfish)):
            nodes, ms = run(path)
            rate = nodes * 1000 // max(ms, 1)
            if rate > best.get(name, (0, 0, 0))[0]:
                best[name] = (rate, nodes, ms)
    for name in ("varnok", "stockfish"):
        rate, nodes, ms = best[name]
        print(f"{name:10} {nodes:>12} nodes {ms:>7} ms {rate:>10} nodes/s")
    print(f"ratio varnok / stockfish: {best['varnok'][0] / best['stockfish'][0]:.2f}")


if __name__ == "__main__":
    main()
