#!/usr/bin/env python3
# "bench" and the "Hash" option over pipes. The bench's node count is the engine's signature,
# the same on every run; a table that cannot be had leaves the engine working.
#
# Usage: test_bench.py path/to/varnok

import os, resource, subprocess, sys  # noqa: E401

ENGINE = sys.argv[1]
# changes only when the search or the evaluation does, and then deliberately
SIGNATURE = int(open(os.path.join(os.path.dirname(__file__), "..", "data", "bench_signature.txt")).read())
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, flush=True)


def run(commands, limit=None):
    result = subprocess.run([ENGINE], input="".join(c + "\n" for c in commands + ["quit"]), capture_output=True,
                            text=True, timeout=300,
                            preexec_fn=limit and (lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))))
    lines = result.stdout.splitlines()
    if limit and not lines[:1]:
        return None   # sanitizer run-times reserve more address space than any limit leaves
    check(result.returncode == 0 and not result.stderr, f"{commands}: exit {result.returncode} {result.stderr[:2000]}")
    return lines


# Twice in one process, after a table size, a position and a search: the same count, no info
# lines, and the position survives
lines = run(["setoption name Hash value 64", "position startpos moves e2e4", "go depth 3", "bench", "bench",
             "go depth 3", "d"])
counts = [i for i, line in enumerate(lines) if line.startswith("Nodes searched  : ")]
check([int(lines[i].split(":")[1]) for i in counts] == [SIGNATURE] * 2, f"bench signatures {lines[-40:]}")
answers = [i for i, line in enumerate(lines) if line.startswith("bestmove")]
check(not any(line.startswith("info") for line in lines[answers[0]:counts[-1]]), "bench wrote info lines")
check(len(answers) == 2 and all(lines[i].split()[1][1] in "78" for i in answers), "searches around the bench")
check("Fen: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1" in lines, "bench changed the position")
check(run(["bench 0", "bench -3", "bench x", "bench 99999999999"])[1:] == [], "a bench depth that is no number")

# Room for the default 256 MB table at start-up, not for 1024 MB: the largest table that fits, one note
lines = run(["setoption name Hash value 1024", "isready", "position startpos", "go depth 5",
             "setoption name Hash value 64", "isready"], limit=700 << 20)
if lines is None:
    print("Hash under a memory limit skipped: the engine cannot start under an address-space limit")
else:
    notes = [line for line in lines if line.startswith("info string")]
    check(len(notes) == 1 and "1024" in notes[0] and "512 MB" in notes[0], f"notes of a failed allocation {notes}")
    check(lines.count("readyok") == 2 and any(line.startswith("bestmove ") for line in lines), "\n".join(lines))
print(f"{len(FAILURES)} failure(s)" if FAILURES else "all passed")
sys.exit(1 if FAILURES else 0)
