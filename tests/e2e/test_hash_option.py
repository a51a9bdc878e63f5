#!/usr/bin/env python3
"""The "Hash" option when the memory for the table cannot be had: the engine
keeps working with the largest table it can get and says so once.

Usage: test_hash_option.py path/to/varnok
"""

import resource
import subprocess
import sys

ENGINE = sys.argv[1]
LIMIT = 700 << 20   # address space: room for the 256 MB table at start-up, not for 1024 MB


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (LIMIT, LIMIT))


def main():
    commands = ["setoption name Hash value 1024", "isready", "position startpos", "go depth 5",
                "setoption name Hash value 64", "isready", "quit"]
    try:
        result = subprocess.run([ENGINE], input="".join(c + "\n" for c in commands).encode(), capture_output=True,
                                timeout=120, preexec_fn=limited)
    except subprocess.TimeoutExpired:
        print("FAIL: the engine hung under a memory limit")
        sys.exit(1)
    lines = result.stdout.decode().splitlines()
    if not lines or lines[0] != "Varnok 3.7.1 by Brannock":
        # Sanitizer run-times reserve far more address space than any limit leaves
        print("skipped: the engine cannot start under an address-space limit (sanitizer build?)")
        return
    failures = []
    notes = [line for line in lines if line.startswith("info string")]
    if len(notes) != 1 or "1024" not in notes[0] or "512 MB" not in notes[0]:
        failures.append(f"expected one info string naming 1024 and 512 MB, got {notes}")
    if lines.count("readyok") != 2:
        failures.append(f"{lines.count('readyok')} readyok lines")
    if not any(line.startswith("bestmove ") for line in lines):
        failures.append("no bestmove after the failed allocation")
    if result.returncode != 0:
        failures.append(f"exit code {result.returncode}")
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        print("\n".join(lines))
        sys.exit(1)
    print("all passed")


if __name__ == "__main__":
    main()
