"""Whole games over UCI, driven as a GUI drives them, refereed independently: after
"position ..." a stockfish's "go perft 1" lists the legal moves and "d" gives the FEN and
the checkers, so every "bestmove" is checked, and mate, stalemate, repetition and the
fifty-move rule are found without trusting either player. Each game runs under one control:
a clock with increment ("1+0.01"), moves per period ("40/2", sent as movestogo), a fixed
time per move ("movetime=50") or a fixed node count ("nodes=20000")."""

import re
import shutil
import time
from collections import namedtuple

from uci_engine import EngineDied, UciEngine

# A few openings so that the games differ
OPENINGS = ["", "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "c2c4 e7e5", "g1f3 d7d5",
            "e2e4 e7e6", "d2d4 g8f6 c2c4 e7e6", "e2e4 c7c6", "b1c3 g8f6"]
TIME_MARGIN_MS = 150     # the pipe and scheduling slack a GUI allows
MAX_PLIES = 300          # adjudicated a draw beyond this
NODES_TIMEOUT_S = 30     # a node-limited search that takes longer is taken as hung

# The kinds of fault a soak counts; each must stay at 0
FAULT_KINDS = ("illegal move", "time loss", "missing bestmove", "duplicate bestmove", "crash or hang")

# One move of an engine: the depth of its last result line (None when no line with a score came
# before the bestmove; the bare "info depth D" lines only start iterations), the depth of the
# closing statistics line, which every search that ran a millisecond writes, and its milliseconds
MoveRecord = namedtuple("MoveRecord", "depth completed ms")


class GameFault(Exception):
    """An illegal move, a time forfeit, a missing or duplicate bestmove, or a crash.
    side is the colour at fault (0 White, 1 Black) once play_game knows it."""

    def __init__(self, kind, message):
        super().__init__(message)
        self.kind, self.side = kind, None


class Control:
    """A time control as text: "1+0.01", "40/2", "movetime=50" or "nodes=20000"."""

    def __init__(self, text):
        self.text = text
        self.base_ms = self.inc_ms = self.moves = self.movetime = self.nodes = 0
        if match := re.fullmatch(r"(\d+(?:\.\d+)?)\+(\d+(?:\.\d+)?)", text):
            self.base_ms, self.inc_ms = round(float(match[1]) * 1000), round(float(match[2]) * 1000)
        elif match := re.fullmatch(r"(\d+)/(\d+(?:\.\d+)?)", text):
            self.moves, self.base_ms = int(match[1]), round(float(match[2]) * 1000)
        elif match := re.fullmatch(r"(movetime|nodes)=(\d+)", text):
            setattr(self, match[1], int(match[2]))
        else:
            raise ValueError(f"unknown control '{text}': use 1+0.01, 40/2, movetime=50 or nodes=20000")

    def __str__(self):
        return self.text


class GameClock:
    """Both players' time under one control, as the GUI keeps it."""

    def __init__(self, control):
        self.control = control
        self.left = [control.base_ms, control.base_ms]
        self.moves_left = [control.moves, control.moves]

    def go_limits(self, side):
        c = self.control
        if c.movetime or c.nodes:
            return f"movetime {c.movetime}" if c.movetime else f"nodes {c.nodes}"
        return (f"wtime {self.left[0]} btime {self.left[1]}" + (f" winc {c.inc_ms} binc {c.inc_ms}" if c.inc_ms else "")
                + (f" movestogo {self.moves_left[side]}" if c.moves else ""))

    def timeout(self, side):
        """Seconds to wait for a bestmove before the engine counts as hung."""
        return NODES_TIMEOUT_S if self.control.nodes else (self.control.movetime or self.left[side]) / 1000 + 5

    def record(self, side, elapsed_ms, name, ply):
        """Charges one move; a GameFault when it overstepped the control."""
        c = self.control
        if c.movetime and elapsed_ms > c.movetime + TIME_MARGIN_MS:
            raise GameFault("time loss", f"{name}: {elapsed_ms} ms for movetime {c.movetime} at ply {ply}")
        if c.nodes or c.movetime:
            return
        self.left[side] -= elapsed_ms
        if self.left[side] < -TIME_MARGIN_MS:
            raise GameFault("time loss", f"{name}: lost on time ({self.left[side]} ms) at ply {ply}")
        self.left[side] = max(self.left[side], 0) + c.inc_ms
        if c.moves:
            self.moves_left[side] -= 1
            if self.moves_left[side] == 0:   # a new period
                self.left[side] += c.base_ms
                self.moves_left[side] = c.moves


def stockfish_path():
    return shutil.which("stockfish") or "/usr/games/stockfish"


def position_command(moves):
    return "position startpos" + (" moves " + " ".join(moves) if moves else "")


def examine(referee, moves):
    """(legal moves, FEN, in check) of the position after moves."""
    referee.send(position_command(moves), "go perft 1")
    legal = {line.split(":")[0] for line in referee.wait_for("Nodes searched", 30)[:-1] if ":" in line}
    referee.send("d")
    lines = referee.wait_for("Checkers:", 30)
    fen = next(line[5:].strip() for line in lines if line.startswith("Fen:"))
    return legal, fen, lines[-1].split(":", 1)[1].strip() != ""


def read_bestmove(engine, timeout, output=None):
    """(move, ponder move or None); exactly one bestmove line must come. The lines up to the
    bestmove are appended to output when given."""
    lines = engine.wait_for("bestmove", timeout)
    if lines is None:
        raise GameFault("missing bestmove", f"{engine.name}: no bestmove within {timeout:.1f} s")
    if any(line.startswith("bestmove") for line in engine.drain(0)):
        raise GameFault("duplicate bestmove", f"{engine.name}: two bestmove lines for one go")
    if output is not None:
        output.extend(lines)
    words = lines[-1].split() + ["", "", ""]
    return words[1], words[3] if words[2] == "ponder" else None


def last_depth(lines, pattern):
    """The depth in the last of lines that matches pattern, or None."""
    return next((int(match[1]) for match in map(re.compile(pattern).match, reversed(lines)) if match), None)


def play_game(engines, ponders, referee, opening, control, depths=None, clock_left=None):
    """Returns (result, reason) from White's view; raises GameFault, or EngineDied, with side
    set to the colour at fault. With depths (a list per colour), a MoveRecord of each move is
    appended to its colour's list; with clock_left (a list of two), the milliseconds left on
    each clock at the end."""
    moves, clock, seen = opening.split(), GameClock(control), {}
    if clock_left is not None:
        clock_left[:] = clock.left   # the same list object, updated in place
        clock.left = clock_left
    pondering_on = [None, None]   # the line each engine's ponder search assumed
    for side, engine in enumerate(engines):
        blamed(side, lambda: (engine.send("ucinewgame"), engine.ready()))
    while True:
        legal, fen, in_check = examine(referee, moves)   # a referee's fault is nobody's side
        side = len(moves) % 2
        if not legal:
            return (("0-1", "1-0")[side], "checkmate") if in_check else ("1/2-1/2", "stalemate")
        key = " ".join(fen.split()[:4])
        seen[key] = seen.get(key, 0) + 1
        if seen[key] >= 3 or int(fen.split()[4]) >= 100 or len(moves) >= MAX_PLIES:
            return "1/2-1/2", "repetition, fifty moves or length"
        moves.append(blamed(side, lambda: play_move(engines[side], side, ponders[side], pondering_on, moves, clock,
                                                    legal, fen, depths)))


def blamed(side, action):
    """What action() returns; a GameFault or EngineDied it raises gets side as the colour at fault."""
    try:
        return action()
    except (GameFault, EngineDied) as fault:
        fault.side = side
        raise


def play_move(engine, side, ponder, pondering_on, moves, clock, legal, fen, depths):
    """One move of side's engine, checked against the legal moves; starts its ponder search
    after it when pondering."""
    start = time.monotonic()
    if pondering_on[side] == moves:
        engine.send("ponderhit")
    else:
        if pondering_on[side] is not None:
            engine.send("stop")   # the expected reply was not played
            read_bestmove(engine, 10)
        engine.send(position_command(moves), "go " + clock.go_limits(side))
    pondering_on[side], output = None, []
    move, ponder_move = read_bestmove(engine, clock.timeout(side), output)
    elapsed_ms = int((time.monotonic() - start) * 1000)
    clock.record(side, elapsed_ms, engine.name, len(moves))
    if move not in legal:
        raise GameFault("illegal move", f"{engine.name}: illegal bestmove '{move}' at ply {len(moves)} in {fen}")
    if depths is not None:
        depths[side].append(MoveRecord(last_depth(output, r"info depth (\d+) .*\bscore\b"),
                                       last_depth(output, r"info depth (\d+) time "), elapsed_ms))
    if ponder and ponder_move:
        # the clocks as they will stand if the expected reply comes
        pondering_on[side] = moves + [move, ponder_move]
        engine.send(position_command(pondering_on[side]), "go ponder " + clock.go_limits(side))
    return move


def run_match(varnok_path, games, controls, skill, log=print):
    """Plays the games in blocks of four per control (Varnok white, Varnok black pondering,
    Varnok white, self-play with Varnok black pondering), the controls in turn. Returns (results
    from White's view, Varnok's score against stockfish, faults as (kind, message) pairs)."""
    referee = UciEngine([stockfish_path()], "referee")
    referee.handshake()
    faults, results, score = [], {"1-0": 0, "0-1": 0, "1/2-1/2": 0}, 0.0
    for number in range(games):
        control = controls[(number // 4) % len(controls)]
        selfplay, ponder, varnok_white = number % 4 == 3, number % 2 == 1, number % 2 == 0
        varnok = UciEngine([varnok_path], "varnok")
        varnok.handshake([("Hash", 16), ("Ponder", "true" if ponder else "false")])
        other = UciEngine([varnok_path if selfplay else stockfish_path()], "varnok-2" if selfplay else "stockfish")
        other.handshake([("Hash", 16)] if selfplay else [("Skill Level", skill), ("Hash", 16), ("Threads", 1)])
        engines, ponders = ([varnok, other], [ponder, False]) if varnok_white else ([other, varnok], [False, ponder])
        kind = "self-play" if selfplay else "varnok " + ("white" if varnok_white else "black")
        kind += " ponder" if ponder else ""
        try:
            result, reason = play_game(engines, ponders, referee, OPENINGS[number % len(OPENINGS)], control)
            results[result] += 1
            points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
            score += 0 if selfplay else points if varnok_white else 1.0 - points
            log(f"game {number + 1} ({control}, {kind}): {result} ({reason})")
        except (GameFault, EngineDied) as fault:
            faults.append((getattr(fault, "kind", "crash or hang"), str(fault)))
            log(f"game {number + 1} ({control}, {kind}): FAULT {fault}")
        for engine in (varnok, other):
            if (code := engine.close()) != 0:   # a ponder search still running ends with "quit"
                faults.append(("crash or hang", f"{engine.name} ended with exit code {code}"))
    referee.close()
    return results, score, faults
