#!/usr/bin/env python3
"""bench's nodes per second of the two WebAssembly builds under Node beside the
desktop engine's, in alternated rounds so that the machine's drift falls on all
three alike; prints each round, the medians and their ratios to the desktop's.

    tools/web_bench.py build-release/varnok [dist/web] [--rounds 11]
"""
import argparse
import os
import re
import statistics
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
BRIDGE = os.path.join(HERE, "..", "tests", "web", "uci_bridge.js")


def bench_nps(command):
    result = subprocess.run(command, input="bench\nquit\n", capture_output=True, text=True, timeout=600)
    nodes = re.search(r"Nodes searched  : (\d+)", result.stdout)
    nps = re.search(r"Nodes/second    : (\d+)", result.stdout)
    if not (nodes and nps):
        raise SystemExit(f"{command}: no bench figures\n{result.stdout[-500:]}{result.stderr[-500:]}")
    return int(nodes[1]), int(nps[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("engine")
    parser.add_argument("dist", nargs="?", default=os.path.join(HERE, "..", "dist", "web"))
    parser.add_argument("--rounds", type=int, default=11)
    args = parser.parse_args()
    commands = {"desktop": [args.engine],
                "threads": ["node", BRIDGE, args.dist, "threads"],
                "single": ["node", BRIDGE, args.dist, "single"]}
    figures = {name: [] for name in commands}
    for round_number in range(1, args.rounds + 1):
        line = []
        for name, command in commands.items():
            nodes, nps = bench_nps(command)
            figures[name].append(nps)
            line.append(f"{name} {nps} ({nodes} nodes)")
        print(f"round {round_number}: " + ", ".join(line), flush=True)
    desktop = statistics.median(figures["desktop"])
    for name, values in figures.items():
        median = statistics.median(values)
        print(f"{name:8} median {median:.0f} nps, {median / desktop:.2f} of the desktop's")


if __name__ == "__main__":
    main()
