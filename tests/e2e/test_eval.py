# The "eval" command over pipes: a breakdown of the current position ending
# with "Final evaluation: V", V for the side to move.
#
# Usage: test_eval.py ENGINE

import sys

from uci_engine import UciEngine

STAGES = ["pawns", "pieces", "king safety", "threats", "passed pawns", "pawn race",
          "space", "mobility", "imbalance", "tempo"]
CASES = [
    ("position startpos moves e2e4 e7e5", 24),   # symmetric: the tempo alone
    ("position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 256),
    ("position fen 8/8/8/4k3/8/8/8/N3K3 w - - 0 1", 0),   # a knight cannot mate
    ("position fen 3k4/8/4K3/4P3/8/8/8/8 b - - 0 1", -832),   # king and pawn against king
]

engine, failures = UciEngine([sys.argv[1]], "varnok"), []
try:
    for command, expected in CASES:
        engine.send(command)
        engine.send("eval")
        lines = engine.wait_for("Final evaluation: ", 10) or ["no answer within 10 s"]
        missing = [stage for stage in STAGES if not any(line.startswith(stage) for line in lines)]
        if lines[-1] != f"Final evaluation: {expected}" or missing:
            failures.append(f"{command}: {lines[-1]!r}, expected {expected}; breakdown lacks {missing}")
    engine.ready()   # the command leaves the engine ready for the next one
finally:
    engine.close()
for failure in failures:
    print("FAIL", failure)
sys.exit(1 if failures else 0)
