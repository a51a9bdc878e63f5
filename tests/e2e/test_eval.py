# The "eval" command over pipes: a breakdown of the current position ending
# with "Final evaluation: V", V for the side to move, the side to move being
# the root. The values are the pinned ones of tests/data/eval_values.txt.
#
# Usage: test_eval.py ENGINE

import os
import sys

from uci_engine import UciEngine

STAGES = ["pawns", "pieces", "king safety", "threats", "passed pawns", "pawn race",
          "space", "mobility", "imbalance", "tempo"]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "eval_values.txt")


def pinned_values():
    with open(DATA) as data:
        for line in data:
            if line.strip() and not line.startswith("#"):
                fen, white_root, black_root = line.strip().split(";")
                yield fen, int(white_root if fen.split()[1] == "w" else black_root)


engine, failures = UciEngine([sys.argv[1]], "varnok"), []
try:
    for fen, expected in pinned_values():
        engine.send(f"position fen {fen}")
        engine.send("eval")
        lines = engine.wait_for("Final evaluation: ", 10) or ["no answer within 10 s"]
        missing = [stage for stage in STAGES if not any(line.startswith(stage) for line in lines)]
        if lines[-1] != f"Final evaluation: {expected}" or missing:
            failures.append(f"{fen}: {lines[-1]!r}, expected {expected}; breakdown lacks {missing}")
    engine.ready()   # the command leaves the engine ready for the next one
finally:
    engine.close()
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
