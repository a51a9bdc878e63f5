#!/usr/bin/env python3
"""Writes the opening book tests/data/openings.txt (UCI move lines from the
start position) as EPD, one position per line, for match runners such as
fastchess that read EPD books. The engine given plays the moves and prints
each position's FEN; the move counters are kept as EPD operations.

usage: openings_epd.py ENGINE [BOOK] > tests/data/openings.epd
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    engine = sys.argv[1]
    book = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "tests", "data", "openings.txt")
    with open(book) as text:
        lines = [line.strip() for line in text if line.strip() and not line.startswith("#")]
    commands = "".join(f"position startpos moves {line}\nd\n" for line in lines) + "quit\n"
    output = subprocess.run([engine], input=commands, capture_output=True, text=True, check=True).stdout
    fens = [line[len("Fen: "):] for line in output.splitlines() if line.startswith("Fen: ")]
    if len(fens) != len(lines):
        sys.exit(f"{len(lines)} lines in the book but {len(fens)} positions from the engine")
    for fen in fens:
        board, side, castling, en_passant, halfmove, fullmove = fen.split()
        print(f"{board} {side} {castling} {en_passant} hmvc {halfmove}; fmvn {fullmove};")


if __name__ == "__main__":
    main()
