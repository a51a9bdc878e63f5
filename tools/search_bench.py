#!/usr/bin/env python3
"""Search speed: Varnok's "bench" beside Debian's stockfish "bench", or beside
another build of Varnok, in the same run.

Usage: tools/search_bench.py [path/to/varnok] [repeats]
       tools/search_bench.py path/to/varnok --against path/to/other/varnok [rounds]
Installs stockfish with apt-get when it is missing. Both benches search their
own fixed position lists single-threaded; the figure compared is nodes per
second, the best of the repeats. Against another Varnok the two binaries run
alternately, round after round, so that both see the same load on the
machine; each round gives a ratio of nodes per second (by the bench's own
clock and by processor time) and the median of the rounds is reported. The
two builds must search the same tree: a different node count stops the run."""
import os
import re
import sys

from bench_common import find_stockfish, median, run_once

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def totals(text):
    nodes = int(re.search(r"Nodes searched\s*: (\d+)", text).group(1))
    ms = int(re.search(r"Total time \(ms\)\s*: (\d+)", text).group(1))
    return nodes, ms


def varnok_bench(path):
    """(nodes, bench milliseconds, user processor seconds)"""
    text, _, user = run_once([path], b"bench\nquit\n")
    return totals(text) + (user,)


def stockfish_bench(path):
    # stockfish writes its totals to standard error
    text, _, user = run_once([path, "bench"])
    return totals(text) + (user,)


def against_stockfish(varnok, repeats):
    stockfish = find_stockfish()
    best = {}
    for _ in range(repeats):
        for name, run, path in (("varnok", varnok_bench, varnok), ("stockfish", stockfish_bench, stockfish)):
            nodes, ms, _ = run(path)
            rate = nodes * 1000 // max(ms, 1)
            if rate > best.get(name, (0, 0, 0))[0]:
                best[name] = (rate, nodes, ms)
    for name in ("varnok", "stockfish"):
        rate, nodes, ms = best[name]
        print(f"{name:10} {nodes:>12} nodes {ms:>7} ms {rate:>10} nodes/s")
    print(f"ratio varnok / stockfish: {best['varnok'][0] / best['stockfish'][0]:.2f}")


def against_varnok(new, old, rounds):
    clock_ratios, user_ratios = [], []
    print(f"{'round':>5} {'new nodes/s':>12} {'old nodes/s':>12} {'ratio':>6} {'new user s':>11} {'old user s':>11} {'ratio':>6}")
    for round_number in range(1, rounds + 1):
        # alternate which one starts, so that neither always runs first
        pair = [(new, "new"), (old, "old")] if round_number % 2 else [(old, "old"), (new, "new")]
        figures = {}
        for path, name in pair:
            figures[name] = varnok_bench(path)
        if figures["new"][0] != figures["old"][0]:
            sys.exit(f"the builds search different trees: {figures['new'][0]} against {figures['old'][0]} nodes")
        nodes = figures["new"][0]
        rate = {name: nodes * 1000 / max(f[1], 1) for name, f in figures.items()}
        clock_ratios.append(rate["new"] / rate["old"])
        user_ratios.append(figures["old"][2] / figures["new"][2])
        print(f"{round_number:>5} {rate['new']:>12.0f} {rate['old']:>12.0f} {clock_ratios[-1]:>6.2f} "
              f"{figures['new'][2]:>11.2f} {figures['old'][2]:>11.2f} {user_ratios[-1]:>6.2f}")
    print(f"median ratio new / old over {rounds} rounds: {median(clock_ratios):.2f} by the bench's clock, "
          f"{median(user_ratios):.2f} by processor time")


def main():
    args = sys.argv[1:]
    varnok = args[0] if args else os.path.join(ROOT, "build", "varnok")
    if "--against" in args:
        at = args.index("--against")
        rounds = int(args[at + 2]) if len(args) > at + 2 else 5
        against_varnok(varnok, args[at + 1], rounds)
    else:
        against_stockfish(varnok, int(args[1]) if len(args) > 1 else 3)


if __name__ == "__main__":
    main()
