#!/usr/bin/env python3
""""bench": a fixed set of positions searched to a fixed depth on a fresh
table. Its node count is the engine's signature: the same on every run.

Usage: test_bench.py path/to/varnok
"""

import re
import subprocess
import sys

ENGINE = sys.argv[1]
FAILURES = []
# The signature: it changes only when the search or the evaluation changes, and then deliberately
SIGNATURE = 7274818


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)
    return condition


def run(commands, timeout=300):
    result = subprocess.run([ENGINE], input="".join(c + "\n" for c in commands).encode(), capture_output=True,
                            timeout=timeout)
    check(result.returncode == 0, f"{commands}: exit code {result.returncode}")
    check(not result.stderr, f"{commands}: stderr {result.stderr.decode()[:2000]}")
    return result.stdout.decode().splitlines()


def totals(lines):
    """The three closing lines of a bench, as numbers; None if they are not there."""
    if len(lines) < 3:
        return None
    patterns = (r"Total time \(ms\) : (\d+)", r"Nodes searched  : (\d+)", r"Nodes/second    : (\d+)")
    matches = [re.fullmatch(p, line) for p, line in zip(patterns, lines[-3:])]
    if not all(matches):
        return None
    return [int(m.group(1)) for m in matches]


def main():
    # The same count in two processes, and for a second bench in the same process
    first = run(["bench 5", "quit"])
    second = run(["position startpos moves e2e4", "setoption name Hash value 64", "bench 5", "bench 5", "quit"])
    a, b = totals(first), totals(second)
    if check(a and b, f"bench 5 does not end with the three totals: {first[-3:]} / {second[-3:]}"):
        check(a[1] == b[1], f"bench 5 node counts differ between runs: {a[1]} and {b[1]}")
        check(a[1] > 100000, f"bench 5 searched only {a[1]} nodes")
        check(a[2] == a[1] * 1000 // max(a[0], 1), f"nodes per second {a[2]} for {a[1]} nodes in {a[0]} ms")
    repeated = [line for line in second if line.startswith("Nodes searched")]
    check(len(repeated) == 2 and repeated[0] == repeated[1], f"a second bench in one process differs: {repeated}")
    check(not any(line.startswith("info") for line in first), "bench writes the search's info lines")

    # The position and the table size survive a bench
    lines = run(["position startpos moves e2e4", "bench 2", "go depth 3", "d", "quit"])
    check(any(line == "Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1" for line in lines),
          "bench changed the position: " + " | ".join(line for line in lines if line.startswith("Fen")))
    answer = [line for line in lines if line.startswith("bestmove")]
    check(len(answer) == 1 and answer[0].split()[1][1] in "78", f"search after bench: {answer}")

    # A depth that is not a positive number writes nothing
    for command in ("bench 0", "bench -3", "bench x", "bench 99999999999"):
        check(run([command, "quit"])[1:] == [], f"{command} wrote something")

    # The default bench
    default = totals(run(["bench", "quit"]))
    check(default and default[1] == SIGNATURE, f"bench signature {default and default[1]}, expected {SIGNATURE}")
    print(f"bench: {default[1] if default else '?'} nodes, {default[2] if default else '?'} nodes/s")

    if FAILURES:
        print(f"{len(FAILURES)} failure(s)")
        sys.exit(1)
    print("all passed")


if __name__ == "__main__":
    main()
