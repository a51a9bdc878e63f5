"""Endgames of few pieces played out from a FEN, refereed independently: a stockfish without
tables lists the legal moves ("go perft 1") and gives the FEN and the checkers ("d") after
every move, so mate, stalemate and the fifty-move rule are found without trusting either
player; stockfish with the Syzygy tables tells the result (WDL) of a position. Shared by
test_syzygy.py and tools/syzygy_conversion.py."""

import random
import re

from uci_engine import UciEngine

STOCKFISH = "/usr/games/stockfish"
WDL_ORDER = {"Loss": -2, "Blessed loss": -1, "Draw": 0, "Cursed win": 1, "Win": 2}


def board_fen(squares):
    """squares: {square 0..63 (a1 = 0): piece letter}."""
    rows = []
    for rank in range(7, -1, -1):
        row, empty = "", 0
        for file in range(8):
            piece = squares.get(rank * 8 + file)
            if piece:
                row += (str(empty) if empty else "") + piece
                empty = 0
            else:
                empty += 1
        rows.append(row + (str(empty) if empty else ""))
    return "/".join(rows)


def random_position(rng, material, strong_moves=None, clock=0):
    """A FEN with the material ("KBNvK": the first side's pieces, then the other's), the first
    side to move when strong_moves (either when None), either colour; it may be illegal, so
    the caller checks it."""
    strong, weak = material.split("v")
    to_move = rng.choice("wb")
    if strong_moves is None:
        strong_moves = rng.random() < 0.5
    white, black = (strong, weak) if (to_move == "w") == strong_moves else (weak, strong)
    squares = {}
    for piece in [p for p in white] + [p.lower() for p in black]:
        while True:
            square = rng.randrange(64)
            if square not in squares and not (piece in "Pp" and square // 8 in (0, 7)):
                squares[square] = piece
                break
    return f"{board_fen(squares)} {to_move} - - {clock} 1"


class Oracle:
    """Stockfish reading the tables: the WDL of a position for its side to move, None when it
    cannot read it. Restarted when a position makes it crash."""

    def __init__(self, tables):
        self.tables, self.engine, self.crashes = tables, None, 0

    def lines(self, position):
        if self.engine is None:
            self.engine = UciEngine([STOCKFISH], "stockfish")
            self.engine.handshake([("SyzygyPath", self.tables)])
        self.engine.send(position, "d", "isready")
        lines = self.engine.until(lambda line: line == "readyok", 30)
        if lines is None:
            self.engine.process.kill()
            self.engine, self.crashes = None, self.crashes + 1
        return lines

    def read(self, position):
        """{"WDL": ..., "DTZ": ...}, "Failed" for what it cannot read; None when it crashed."""
        lines = self.lines(position)
        if lines is None:
            return None
        read = re.findall(r"^Tablebases (WDL|DTZ): *(.*?) \(([^)]*)\)$", "\n".join(lines), re.M)
        return {kind: "Failed" if status == "Failed" else value for kind, value, status in read}

    def wdl(self, position):
        found = self.read(position)
        return None if not found or found.get("WDL") == "Failed" else found["WDL"]

    def close(self):
        if self.engine:
            self.engine.close()


class Referee:
    """Stockfish without tables: legal moves, FEN and check after a list of moves."""

    def __init__(self):
        self.engine = UciEngine([STOCKFISH], "referee")
        self.engine.handshake()

    def examine(self, position):
        self.engine.send(position, "go perft 1")
        legal = {line.split(":")[0] for line in self.engine.wait_for("Nodes searched", 30)[:-1] if ":" in line}
        self.engine.send("d")
        lines = self.engine.wait_for("Checkers:", 30)
        fen = next(line[5:].strip() for line in lines if line.startswith("Fen:"))
        return legal, fen, lines[-1].split(":", 1)[1].strip() != ""

    def close(self):
        self.engine.close()


def positions_with_result(oracle, referee, rng, material, result, count, accepted):
    """Legal positions of the material, the first side to move, with that result (WDL) for it;
    accepted(fen) tells a possible position (stockfish does not check that the side not to
    move is out of check)."""
    found = []
    while len(found) < count:
        fen = random_position(rng, material, strong_moves=True)
        if not accepted(fen):
            continue
        legal, checked_fen, _ = referee.examine(f"position fen {fen}")
        if legal and checked_fen.split()[0] == fen.split()[0] and oracle.wdl(f"position fen {fen}") == result:
            found.append(fen)
    return found


def play_out(player, defender, referee, fen, go_player, go_defender, max_plies=300):
    """Plays from fen, the player to move first. Returns (result, plies, reason): result 1 when
    the player mates, 0 for a draw, -1 when the player is mated."""
    moves = []
    engines = (player, defender)
    player.send("ucinewgame")
    defender.send("ucinewgame")
    while True:
        position = f"position fen {fen}" + (" moves " + " ".join(moves) if moves else "")
        legal, now, in_check = referee.examine(position)
        mover = len(moves) % 2
        if not legal:
            if not in_check:
                return 0, len(moves), "stalemate"
            return (-1 if mover == 0 else 1), len(moves), "checkmate"
        if int(now.split()[4]) >= 100:
            return 0, len(moves), "fifty moves"
        if len(moves) >= max_plies:
            return 0, len(moves), "too long"
        engine = engines[mover]
        engine.send(position, go_player if mover == 0 else go_defender)
        lines = engine.wait_for("bestmove", 60)
        assert lines, f"{engine.name}: no bestmove in {position}"
        move = lines[-1].split()[1]
        assert move in legal, f"{engine.name}: illegal {move} in {position}"
        moves.append(move)
