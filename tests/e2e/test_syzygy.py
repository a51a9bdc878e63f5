#!/usr/bin/env python3
"""Syzygy endgame tables over pipes: the WDL and DTZ the engine reads for a few hundred
random positions of three and four pieces, en-passant captures and fifty-move counters
included, against Debian's stockfish reading the same tables; the moves it plays from
won, drawn and lost positions; bad paths and bad table files, each answered with an
"info string"; and nothing changed while SyzygyPath is empty.
Usage: test_syzygy.py path/to/varnok"""
import os
import random
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from endgames import WDL_ORDER, Oracle, Referee, board_fen, play_out, positions_with_result, random_position  # noqa: E402
from uci_engine import legal_moves, run_script, run_tests, start  # noqa: E402

TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "syzygy")
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
# the materials of the tables in tests/data/syzygy, white's pieces first
MATERIALS = ["KQvK", "KRvK", "KPvK", "KBvK", "KNvK", "KBNvK", "KQvKR", "KRvKP", "KRvKR", "KPvKP"]


# ---------------------------------------------------------------------------
# What the engine reads

def en_passant_position(rng):
    """KPvKP right after a double step that a pawn can take en passant."""
    while True:
        side = rng.choice("wb")
        file = rng.randrange(8)
        taker_file = file + rng.choice([-1, 1])
        if not 0 <= taker_file < 8:
            continue
        # the pawn that just moved stands on rank 5 (black's, white to move) or rank 4
        rank, behind, start = (4, 5, 6) if side == "w" else (3, 2, 1)
        moved = "p" if side == "w" else "P"
        taker = "P" if side == "w" else "p"
        squares = {rank * 8 + file: moved, rank * 8 + taker_file: taker}
        for king in "Kk":
            square = rng.randrange(64)
            if square in squares or square in (behind * 8 + file, start * 8 + file):
                break
            squares[square] = king
        if len(squares) == 4:
            ep = "abcdefgh"[file] + str(behind + 1)
            return f"{board_fen(squares)} {side} - {ep} {0} 1"


def tablebase_lines(output):
    return dict(re.findall(r"^Tablebases (WDL|DTZ): *(.*?)(?: \([^)]*\))?$", output, re.M))


def legal_fen(varnok, fen):
    """Varnok's own FEN of the position, None when it refuses it."""
    varnok.send(f"position fen {fen}", "d", "isready")
    out = "\n".join(varnok.wait_for("readyok", 30))
    if "invalid FEN" in out:
        return None
    return re.search(r"^Fen: (.*)$", out, re.M).group(1), tablebase_lines(out)


def test_wdl_and_dtz_equal_stockfish():
    rng = random.Random(23)
    varnok = start(("SyzygyPath", TABLES))
    stockfish = Oracle(TABLES)
    compared, en_passant, clocks, unreadable, kinds = 0, 0, 0, 0, set()
    try:
        while compared < 400:
            fen = en_passant_position(rng) if compared % 8 == 0 else random_position(
                rng, rng.choice(MATERIALS), clock=rng.choice([0, 0, 0, rng.randrange(1, 99)]))
            seen = legal_fen(varnok, fen)
            if seen is None:
                continue
            varnok_fen, ours = seen
            theirs = stockfish.read(f"position fen {varnok_fen}")
            if theirs is None:
                continue
            if ours["DTZ"] == "Failed" and theirs["DTZ"] != "Failed":
                # the engine's DTZ comes with every move's result, so a table missing for one
                # move's position fails it where stockfish reads the position's own entry; the
                # one that fails stockfish's own reading after that move is missing here
                assert any("Failed" in (stockfish.read(f"position fen {varnok_fen} moves {move}") or {"": "Failed"}).values()
                           for move in legal_moves(varnok, f"position fen {varnok_fen}")), varnok_fen
                ours = dict(ours, DTZ=theirs["DTZ"])
                unreadable += 1
            assert ours == theirs, f"{varnok_fen}: Varnok {ours}, stockfish {theirs}"
            compared += 1
            en_passant += varnok_fen.split()[3] != "-"
            clocks += varnok_fen.split()[4] != "0"
            kinds.add(ours["WDL"])
    finally:
        stockfish.close()
    assert en_passant >= 20 and clocks >= 50, (en_passant, clocks)
    assert {"Win", "Draw", "Loss"} <= kinds, kinds
    assert stockfish.crashes < 20, stockfish.crashes
    print(f"  {compared} positions equal, {en_passant} with en passant, {clocks} with a fifty-move counter, "
          f"results {sorted(kinds)}; {unreadable} DTZ missing a move's table; stockfish crashed on {stockfish.crashes}")


def test_mates_and_stalemates():
    """A side that is mated or stalemated has no move to rank: Fathom's answer for these must
    be read before its WDL field, whose value for a mate reads as a win."""
    varnok = start(("SyzygyPath", TABLES))
    for fen, wdl in (("k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", "Loss"), ("k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", "Draw"),
                     ("8/8/8/8/8/8/5k2/3K1q2 w - - 0 1", None)):
        seen = legal_fen(varnok, fen)
        assert seen is not None, fen
        theirs = Oracle(TABLES).read(f"position fen {fen}") if wdl is None else {"WDL": wdl, "DTZ": "0"}
        assert seen[1] == theirs, (fen, seen[1], theirs)


# ---------------------------------------------------------------------------
# The moves it plays

def test_root_moves_never_worsen_the_result_and_wins_are_converted():
    """From won, drawn and lost positions the move played keeps the result (stockfish with the
    tables judges the position after it); won positions are played out against stockfish with
    the tables and end in mate within the fifty-move rule."""
    rng = random.Random(2323)
    oracle, referee = Oracle(TABLES), Referee()
    varnok = start(("SyzygyPath", TABLES))
    defender = start(("SyzygyPath", TABLES), program="/usr/games/stockfish")
    judge = start()

    def accepted(fen):
        return legal_fen(judge, fen) is not None

    checked = 0
    try:
        for material, result, count in (("KQvKR", "Win", 6), ("KRvKP", "Win", 6), ("KRvKP", "Draw", 6),
                                        ("KRvKP", "Loss", 4), ("KPvKP", "Win", 4), ("KPvKP", "Draw", 4),
                                        ("KRvKR", "Draw", 4), ("KBNvK", "Win", 4), ("KPvK", "Draw", 4)):
            for fen in positions_with_result(oracle, referee, rng, material, result, count, accepted):
                move = varnok.search(f"position fen {fen}", "go movetime 200")[-1].split()[1]
                after = oracle.wdl(f"position fen {fen} moves {move}")
                if after is None:   # stockfish could not read it (a table missing): nothing to judge
                    continue
                assert -WDL_ORDER[after] >= WDL_ORDER[result], f"{fen}: {move} turns a {result} into {after}"
                checked += 1
        assert checked >= 30, checked
        for material in ("KQvKR", "KRvKP", "KBNvK", "KPvK"):
            for fen in positions_with_result(oracle, referee, rng, material, "Win", 1, accepted):
                result, plies, reason = play_out(varnok, defender, referee, fen, "go movetime 50", "go movetime 50")
                assert result == 1, f"{fen}: {reason} after {plies} plies"
    finally:
        oracle.close()
        referee.close()


# ---------------------------------------------------------------------------
# Paths and files

def load_lines(engine, path):
    engine.send(f"setoption name SyzygyPath value {path}", "isready")
    return [line for line in engine.wait_for("readyok", 30) if line != "readyok"]


def test_paths():
    sep = ":"
    varnok = start()
    # an empty path where there was none, as GUIs send every option's default: no word
    assert load_lines(varnok, "") == [] and load_lines(varnok, "<empty>") == []
    assert load_lines(varnok, TABLES) == ["info string Found 10 tablebases"]
    assert load_lines(varnok, TABLES + sep) == ["info string Found 10 tablebases"], "trailing separator"
    assert load_lines(varnok, f"{sep}{TABLES}{sep}{sep}") == ["info string Found 10 tablebases"]
    missing = "/nonexistent/syzygy"
    assert load_lines(varnok, f"{missing}{sep}{TABLES}") == [
        f"info string SyzygyPath: no folder {missing}", "info string Found 10 tablebases"]
    assert load_lines(varnok, missing) == [f"info string SyzygyPath: no folder {missing}",
                                           f"info string No tablebases found in {missing}"]
    with tempfile.TemporaryDirectory() as empty:
        assert load_lines(varnok, empty) == [f"info string No tablebases found in {empty}"]
    for off in ("", "<empty>", f"{sep}{sep}"):
        load_lines(varnok, TABLES)
        assert load_lines(varnok, off) == ["info string Syzygy tablebases off: SyzygyPath is empty"]
        varnok.send("position fen 8/8/8/8/8/2k5/8/K2Q4 w - - 0 1", "d", "isready")
        assert not any("Tablebases" in line for line in varnok.wait_for("readyok", 30))
    # loaded again after being unloaded: Fathom's entries are reused, not freed
    for _ in range(3):
        assert load_lines(varnok, TABLES) == ["info string Found 10 tablebases"]
        varnok.send("position fen 8/8/8/8/8/2k5/8/K2Q4 w - - 0 1", "d", "isready")
        assert tablebase_lines("\n".join(varnok.wait_for("readyok", 30))) == {"WDL": "Win", "DTZ": "11"}


def test_bad_files_are_left_out():
    """A truncated file, a foreign one, an empty one and a folder with a table's name: each gets
    one line and stays away from Fathom, which would print its own text or stop the engine;
    the good tables of the same folder are read."""
    with tempfile.TemporaryDirectory() as folder:
        for name in os.listdir(TABLES):
            if name.endswith((".rtbw", ".rtbz")):
                shutil.copy(os.path.join(TABLES, name), folder)
        with open(os.path.join(folder, "KQvKR.rtbw"), "r+b") as table:
            table.truncate(os.path.getsize(table.name) // 2)      # truncated
        with open(os.path.join(folder, "KRvKP.rtbz"), "r+b") as table:
            table.write(b"\0\0\0\0")                             # foreign
        open(os.path.join(folder, "KNNvK.rtbw"), "wb").close()    # empty
        os.mkdir(os.path.join(folder, "KBBvK.rtbw"))             # not a file
        def link_folders():
            return {name for name in os.listdir(tempfile.gettempdir()) if name.startswith("varnok-syzygy-")}
        before = link_folders()
        varnok = start()
        lines = load_lines(varnok, folder)
        made = link_folders() - before
        assert len(made) == 1, made   # Fathom reads links to the good files only
        assert sorted(os.listdir(os.path.join(tempfile.gettempdir(), made.pop()))) == sorted(
            name for name in os.listdir(TABLES) if name.endswith((".rtbw", ".rtbz")) and name != "KQvKR.rtbw"
            and name != "KRvKP.rtbz")
        assert lines == [f"info string SyzygyPath: {folder}/KBBvK.rtbw left out: not a file",
                         f"info string SyzygyPath: {folder}/KNNvK.rtbw left out: truncated",
                         f"info string SyzygyPath: {folder}/KQvKR.rtbw left out: truncated",
                         f"info string SyzygyPath: {folder}/KRvKP.rtbz left out: not a Syzygy table",
                         "info string Found 9 tablebases"], lines
        # KQvKR has no WDL table now; KRvKP's WDL is there, its DTZ is not; KQvK is whole
        for fen, expected in (("7r/8/8/8/8/2k5/8/K2Q4 w - - 0 1", {"WDL": "Failed", "DTZ": "Failed"}),
                              ("8/8/8/8/3p4/2k5/8/K2R4 w - - 0 1", {"WDL": "Win", "DTZ": "Failed"}),
                              ("8/8/8/8/8/2k5/8/K2Q4 w - - 0 1", {"WDL": "Win", "DTZ": "11"})):
            seen = legal_fen(varnok, fen)
            assert seen[1] == expected, (fen, seen[1])
        varnok.send("position fen 7r/8/8/8/8/2k5/8/K2Q4 w - - 0 1", "go depth 8")
        assert varnok.wait_for("bestmove", 60)
        # the folder of links for Fathom goes with the next path
        assert load_lines(varnok, "") == ["info string Syzygy tablebases off: SyzygyPath is empty"]
        assert link_folders() == before
        # and when the engine ends
        load_lines(varnok, folder)
        assert varnok.close() == 0 and link_folders() == before


def test_path_changed_while_searching():
    varnok = start(("SyzygyPath", TABLES))
    varnok.send("position fen 8/8/8/8/3k4/8/6r1/K2Q4 w - - 0 1", "go infinite")
    varnok.drain(0.3)
    assert load_lines(varnok, "/nonexistent")[-1] == "info string No tablebases found in /nonexistent"
    varnok.send("position fen 8/8/8/8/3k4/8/6r1/K2Q4 w - - 0 1", "go infinite")
    varnok.drain(0.3)
    lines = load_lines(varnok, TABLES)
    assert lines[-1] == "info string Found 10 tablebases" and any(line.startswith("bestmove") for line in lines)


# ---------------------------------------------------------------------------
# Nothing changes while SyzygyPath is empty

def test_pinned_results_with_empty_path():
    """The bench signature and every pinned "go depth" result, with SyzygyPath set empty
    after tables were loaded: the same nodes, move, score and line."""
    with open(os.path.join(DATA, "bench_signature.txt")) as signature:
        expected = signature.read().strip()
    commands = f"setoption name SyzygyPath value {TABLES}\nsetoption name SyzygyPath value\nbench\n"
    assert re.search(rf"\b{expected}\b", run_script(commands + "quit\n", timeout=300)), "bench signature"
    pinned = [line.rstrip("\n").split(";") for line in open(os.path.join(DATA, "search_results.txt"))
              if line.strip() and not line.startswith("#")]
    emptied, untouched = start(("SyzygyPath", TABLES), ("SyzygyPath", "")), start()
    for fen, depth, result in pinned:
        outputs = []
        for varnok in (emptied, untouched):
            varnok.send("ucinewgame")
            lines = varnok.search(f"position fen {fen}", f"go depth {depth}", timeout=120)
            # statistics come once a search has run a millisecond, and a new best is shown
            # during the search once it has run a while: the lines, in any order, without them
            outputs.append(sorted(re.sub(r" (time|nodes|nps) \d+", "", line) for line in lines
                                  if not re.fullmatch(r"info depth \d+ time .*", line)))
        assert outputs[0] == outputs[1], (fen, outputs)
        pinned_answer = re.search(r"bestmove \S+(?: ponder \S+)?", result).group(0)
        assert pinned_answer in outputs[0], (fen, outputs[0], pinned_answer)
        assert not any("tbhits" in line for line in outputs[0])


if __name__ == "__main__":
    run_tests(globals())
