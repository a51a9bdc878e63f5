"""Whole games over UCI, driven as a GUI drives them, refereed independently.

A stockfish process referees: after "position ..." its "go perft 1" lists the
legal moves and "d" gives the FEN and the checkers, so every "bestmove" is
checked, and mate, stalemate, repetition and the fifty-move rule are detected
without trusting either player.
"""

import shutil
import time

from uci_engine import EngineDied, UciEngine

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
# A few openings so that the games differ
OPENINGS = [
    "", "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "c2c4 e7e5", "g1f3 d7d5",
    "e2e4 e7e6", "d2d4 g8f6 c2c4 e7e6", "e2e4 c7c6", "b1c3 g8f6",
]
TIME_MARGIN_MS = 150     # pipe and scheduling slack a GUI allows
MAX_PLIES = 300          # adjudicated a draw beyond this


def stockfish_path():
    return shutil.which("stockfish") or "/usr/games/stockfish"


class Referee:
    def __init__(self):
        self.engine = UciEngine([stockfish_path()], "referee")
        self.engine.handshake()

    def examine(self, moves):
        """(legal moves, fen, in check) of the position after moves."""
        self.engine.send("position startpos" + (" moves " + " ".join(moves) if moves else ""))
        self.engine.send("go perft 1")
        lines = self.engine.wait_for(lambda l: l.startswith("Nodes searched"), 30)
        legal = {l.split(":")[0] for l in lines if ":" in l and not l.startswith("Nodes")}
        self.engine.send("d")
        lines = self.engine.wait_for(lambda l: l.startswith("Checkers:"), 30)
        fen = next(l[5:].strip() for l in lines if l.startswith("Fen:"))
        in_check = lines[-1].split(":", 1)[1].strip() != ""
        return legal, fen, in_check

    def close(self):
        self.engine.close()


class Player:
    """One side of a game: an engine with its clock, pondering or not."""

    def __init__(self, engine, ponder):
        self.engine = engine
        self.ponder = ponder
        self.pondering_on = None   # the move list the ponder search assumed

    def start_ponder(self, moves, ponder_move, clocks):
        self.pondering_on = moves + [ponder_move]
        self.engine.send("position startpos moves " + " ".join(self.pondering_on))
        self.engine.send("go ponder " + clocks)


class GameFault(Exception):
    """An illegal move, a time forfeit, a missing or duplicate bestmove or a crash."""


def position_command(moves):
    return "position startpos" + (" moves " + " ".join(moves) if moves else "")


def read_bestmove(player, timeout):
    lines = player.engine.wait_for(lambda l: l.startswith("bestmove"), timeout)
    if lines is None:
        raise GameFault(f"{player.engine.name}: no bestmove within {timeout:.1f} s")
    words = lines[-1].split()
    return words[1] if len(words) > 1 else "", (words[3] if len(words) > 3 and words[2] == "ponder" else None)


def play_game(white, black, referee, opening, base_ms, inc_ms, log):
    """Returns '1-0', '0-1' or '1/2-1/2' with the reason; raises GameFault."""
    moves = opening.split() if opening else []
    clock = [base_ms, base_ms]
    players = [white, black]
    seen = {}
    for p in players:
        p.engine.send("ucinewgame")
        p.engine.ready()
        p.pondering_on = None
    while True:
        legal, fen, in_check = referee.examine(moves)
        side = len(moves) % 2
        if not legal:
            return ("0-1" if side == 0 else "1-0", "checkmate") if in_check else ("1/2-1/2", "stalemate")
        key = " ".join(fen.split()[:4])
        seen[key] = seen.get(key, 0) + 1
        if seen[key] >= 3:
            return "1/2-1/2", "repetition"
        if int(fen.split()[4]) >= 100:
            return "1/2-1/2", "fifty moves"
        if len(moves) >= MAX_PLIES:
            return "1/2-1/2", "adjudicated"

        player = players[side]
        clocks = f"wtime {max(clock[0], 0)} btime {max(clock[1], 0)} winc {inc_ms} binc {inc_ms}"
        start = time.monotonic()
        if player.pondering_on is not None and player.pondering_on == moves:
            player.engine.send("ponderhit")
        else:
            if player.pondering_on is not None:
                player.engine.send("stop")   # the ponder move was not played
                read_bestmove(player, 10)
                extra = player.engine.drain(0.0)
                if any(l.startswith("bestmove") for l in extra):
                    raise GameFault(f"{player.engine.name}: two bestmove lines after stop")
            player.engine.send(position_command(moves))
            player.engine.send("go " + clocks)
        player.pondering_on = None
        move, ponder_move = read_bestmove(player, clock[side] / 1000 + 5)
        used = int((time.monotonic() - start) * 1000)
        clock[side] -= used
        if clock[side] < -TIME_MARGIN_MS:
            raise GameFault(f"{player.engine.name}: lost on time ({clock[side]} ms) at ply {len(moves)}")
        clock[side] += inc_ms
        if move not in legal:
            raise GameFault(f"{player.engine.name}: illegal bestmove '{move}' at ply {len(moves)} in {fen}")
        if any(l.startswith("bestmove") for l in player.engine.drain(0.0)):
            raise GameFault(f"{player.engine.name}: two bestmove lines for one go")
        moves.append(move)
        if player.ponder and ponder_move:
            opponent_clocks = f"wtime {max(clock[0], 0)} btime {max(clock[1], 0)} winc {inc_ms} binc {inc_ms}"
            player.start_ponder(moves, ponder_move, opponent_clocks)


def finish_ponder(player):
    """A ponder search still running at the end of a game ends with one bestmove."""
    if player.pondering_on is not None:
        player.engine.send("stop")
        read_bestmove(player, 10)
        player.pondering_on = None


def run_match(varnok_path, games, base_ms, inc_ms, skill, log=print):
    referee = Referee()
    faults = []
    results = {"1-0": 0, "0-1": 0, "1/2-1/2": 0}
    varnok_score = 0.0
    for number in range(games):
        selfplay = number % 4 == 3
        ponder = number % 2 == 1
        opening = OPENINGS[number % len(OPENINGS)]
        a = UciEngine([varnok_path], "varnok")
        a.handshake([("Hash", 16)] + ([("Ponder", "true")] if ponder else []))
        if selfplay:
            b = UciEngine([varnok_path], "varnok-2")
            b.handshake([("Hash", 16)])
        else:
            b = UciEngine([stockfish_path()], "stockfish")
            b.handshake([("Skill Level", skill), ("Hash", 16), ("Threads", 1)])
        varnok_white = number % 2 == 0
        pa = Player(a, ponder)
        pb = Player(b, False)
        white, black = (pa, pb) if varnok_white else (pb, pa)
        try:
            result, reason = play_game(white, black, referee, opening, base_ms, inc_ms, log)
            finish_ponder(pa)
            results[result] += 1
            if not selfplay:
                varnok_score += {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result] if varnok_white \
                    else {"1-0": 0.0, "0-1": 1.0, "1/2-1/2": 0.5}[result]
            log(f"game {number + 1}: {'self-play' if selfplay else ('varnok white' if varnok_white else 'varnok black')}"
                f"{' ponder' if ponder else ''}: {result} ({reason})")
        except (GameFault, EngineDied) as fault:
            faults.append(str(fault))
            log(f"game {number + 1}: FAULT {fault}")
        for engine in (a, b):
            code = engine.close()
            if code not in (0,):
                faults.append(f"{engine.name} ended with exit code {code}")
    referee.close()
    return results, varnok_score, faults
