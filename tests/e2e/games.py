"""Whole games over UCI, driven as a GUI drives them, refereed independently.

A stockfish process referees: after "position ..." its "go perft 1" lists the
legal moves and "d" gives the FEN and the checkers, so every "bestmove" is
checked, and mate, stalemate, repetition and the fifty-move rule are found
without trusting either player.
"""

import shutil
import time

from uci_engine import EngineDied, UciEngine

# A few openings so that the games differ
OPENINGS = ["", "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "c2c4 e7e5", "g1f3 d7d5",
            "e2e4 e7e6", "d2d4 g8f6 c2c4 e7e6", "e2e4 c7c6", "b1c3 g8f6"]
TIME_MARGIN_MS = 150     # the pipe and scheduling slack a GUI allows
MAX_PLIES = 300          # adjudicated a draw beyond this


class GameFault(Exception):
    """An illegal move, a time forfeit, a missing or duplicate bestmove, or a crash."""


def stockfish_path():
    return shutil.which("stockfish") or "/usr/games/stockfish"


def position_command(moves):
    return "position startpos" + (" moves " + " ".join(moves) if moves else "")


def examine(referee, moves):
    """(legal moves, FEN, in check) of the position after moves."""
    referee.send(position_command(moves))
    referee.send("go perft 1")
    lines = referee.wait_for("Nodes searched", 30)
    legal = {line.split(":")[0] for line in lines[:-1] if ":" in line}
    referee.send("d")
    lines = referee.wait_for("Checkers:", 30)
    fen = next(line[5:].strip() for line in lines if line.startswith("Fen:"))
    return legal, fen, lines[-1].split(":", 1)[1].strip() != ""


def read_bestmove(engine, timeout):
    """(move, ponder move or None); exactly one bestmove line must come."""
    lines = engine.wait_for("bestmove", timeout)
    if lines is None:
        raise GameFault(f"{engine.name}: no bestmove within {timeout:.1f} s")
    if any(line.startswith("bestmove") for line in engine.pending()):
        raise GameFault(f"{engine.name}: two bestmove lines for one go")
    words = lines[-1].split() + ["", "", ""]
    return words[1], words[3] if words[2] == "ponder" else None


def play_game(engines, ponders, referee, opening, base_ms, inc_ms):
    """Returns (result, reason) from White's view; raises GameFault."""
    moves, clock, seen = opening.split(), [base_ms, base_ms], {}
    pondering_on = [None, None]   # the line each engine's ponder search assumed
    for engine in engines:
        engine.send("ucinewgame")
        engine.ready()
    while True:
        legal, fen, in_check = examine(referee, moves)
        side = len(moves) % 2
        if not legal:
            return (("0-1", "1-0")[side], "checkmate") if in_check else ("1/2-1/2", "stalemate")
        key = " ".join(fen.split()[:4])
        seen[key] = seen.get(key, 0) + 1
        if seen[key] >= 3 or int(fen.split()[4]) >= 100 or len(moves) >= MAX_PLIES:
            return "1/2-1/2", "repetition, fifty moves or length"

        engine = engines[side]
        clocks = f"wtime {clock[0]} btime {clock[1]} winc {inc_ms} binc {inc_ms}"
        start = time.monotonic()
        if pondering_on[side] == moves:
            engine.send("ponderhit")
        else:
            if pondering_on[side] is not None:
                engine.send("stop")   # the expected reply was not played
                read_bestmove(engine, 10)
            engine.send(position_command(moves))
            engine.send("go " + clocks)
        pondering_on[side] = None
        move, ponder_move = read_bestmove(engine, clock[side] / 1000 + 5)
        clock[side] -= int((time.monotonic() - start) * 1000)
        if clock[side] < -TIME_MARGIN_MS:
            raise GameFault(f"{engine.name}: lost on time ({clock[side]} ms) at ply {len(moves)}")
        clock[side] = max(clock[side], 0) + inc_ms
        if move not in legal:
            raise GameFault(f"{engine.name}: illegal bestmove '{move}' at ply {len(moves)} in {fen}")
        moves.append(move)
        if ponders[side] and ponder_move:
            pondering_on[side] = moves + [ponder_move]
            engine.send(position_command(pondering_on[side]))
            engine.send(f"go ponder wtime {clock[0]} btime {clock[1]} winc {inc_ms} binc {inc_ms}")


def run_match(varnok_path, games, base_ms, inc_ms, skill, log=print):
    """Plays the games; returns (results from White's view, Varnok's score against stockfish, faults)."""
    referee = UciEngine([stockfish_path()], "referee")
    referee.handshake()
    faults, results, score = [], {"1-0": 0, "0-1": 0, "1/2-1/2": 0}, 0.0
    for number in range(games):
        selfplay, ponder, varnok_white = number % 4 == 3, number % 2 == 1, number % 2 == 0
        varnok = UciEngine([varnok_path], "varnok")
        varnok.handshake([("Hash", 16), ("Ponder", "true" if ponder else "false")])
        if selfplay:
            other = UciEngine([varnok_path], "varnok-2")
            other.handshake([("Hash", 16)])
        else:
            other = UciEngine([stockfish_path()], "stockfish")
            other.handshake([("Skill Level", skill), ("Hash", 16), ("Threads", 1)])
        engines, ponders = ([varnok, other], [ponder, False]) if varnok_white else ([other, varnok], [False, ponder])
        try:
            result, reason = play_game(engines, ponders, referee, OPENINGS[number % len(OPENINGS)], base_ms, inc_ms)
            results[result] += 1
            if not selfplay:
                points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
                score += points if varnok_white else 1.0 - points
            log(f"game {number + 1}: {'self-play' if selfplay else 'varnok ' + ('white' if varnok_white else 'black')}"
                f"{' ponder' if ponder else ''}: {result} ({reason})")
        except (GameFault, EngineDied) as fault:
            faults.append(str(fault))
            log(f"game {number + 1}: FAULT {fault}")
        for engine in (varnok, other):
            code = engine.close()   # a ponder search still running ends with "quit"
            if code != 0:
                faults.append(f"{engine.name} ended with exit code {code}")
    referee.close()
    return results, score, faults
