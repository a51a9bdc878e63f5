#!/usr/bin/env python3
"""One release archive, checked on its platform: Windows executables run under wine, aarch64
ones under qemu-aarch64, x86-64 Linux ones natively. Each must answer "uci" and "isready",
give the bench signature and the perft 4 count of Kiwipete, answer a 1-second search on two
threads with a legal move, end an infinite search on "stop", and end at the end of its input.
A fast build must refuse a processor without AVX2 with one line (qemu-x86_64 -cpu Nehalem).
Usage: variant_check.py dist/varnok-VERSION-SYSTEM-PROCESSOR-VARIANT.(zip|tar.gz)"""
import os
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from games import examine, stockfish_path  # noqa: E402
from uci_engine import UciEngine  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
OPENING = ["e2e4", "c7c5", "g1f3", "d7d6"]
SLOW = 300   # emulation is slow: bounds on time are wide, and only correctness counts


def unpack(archive, into):
    """The archive's executable, once its folder is checked to hold the README and the licence."""
    name = os.path.basename(archive).rsplit(".zip", 1)[0].rsplit(".tar.gz", 1)[0]
    (zipfile.ZipFile(archive) if archive.endswith(".zip") else tarfile.open(archive)).extractall(into)
    executable = name + (".exe" if "-windows-" in name else "")
    files = set(os.listdir(os.path.join(into, name)))
    assert files == {"README.md", "LICENSE", executable}, files
    os.chmod(os.path.join(into, name, executable), 0o755)
    return name, os.path.join(into, name, executable)


def host_has_level3():
    with open("/proc/cpuinfo") as info:
        flags = next((line.split(":")[1].split() for line in info if line.startswith("flags")), [])
    return {"avx2", "bmi2"} <= set(flags)


def check_refusal(command, portable_name):
    result = subprocess.run(command, input=b"uci\n", capture_output=True, timeout=SLOW)
    lines = result.stdout.decode().splitlines()
    assert result.returncode != 0 and len(lines) == 1 and portable_name in lines[0], (result.returncode, lines)
    print(f"    refused with {result.returncode}: {lines[0]}")


def check_engine(command):
    engine, referee = UciEngine(command, os.path.basename(command[-1])), UciEngine([stockfish_path()], "stockfish")
    try:
        engine.handshake()
        engine.send("bench")
        nodes = engine.wait_for("Nodes searched", SLOW)[-1].split(":")[1].strip()
        with open(os.path.join(DATA, "bench_signature.txt")) as signature:
            assert nodes == signature.read().strip(), nodes
        engine.send("position fen " + KIWIPETE, "perft 4")
        count = engine.wait_for("prof : 4", SLOW)[-1].split()[4]
        assert count == "4085603", count
        print(f"    uciok, readyok; bench {nodes} nodes; perft 4 of Kiwipete {count}")

        engine.send("setoption name Threads value 2", "position startpos moves " + " ".join(OPENING))
        engine.send("go movetime 1000")
        move = engine.wait_for("bestmove", SLOW)[-1].split()[1]
        legal, _, _ = examine(referee, OPENING)
        assert move in legal, (move, sorted(legal))
        engine.send("go infinite")
        engine.wait_for("info depth", SLOW)
        time.sleep(0.5)
        engine.send("stop")
        stopped = engine.wait_for("bestmove", SLOW)[-1]
        engine.process.stdin.close()
        code = engine.process.wait(timeout=SLOW)
        assert code == 0, code
        print(f"    go movetime 1000 on 2 threads: legal {move}; stop during go infinite: {stopped}; "
              f"end of input: ended with {code}")
    finally:
        referee.close()
        if engine.process.poll() is None:
            engine.process.kill()


def main():
    archive = sys.argv[1]
    os.environ.setdefault("WINEDEBUG", "-all")
    os.environ.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")   # no Mono or Gecko to install
    with tempfile.TemporaryDirectory() as folder:
        name, executable = unpack(archive, folder)
        print(f"{name} ({os.path.getsize(executable)} bytes)")
        command = (["wine"] if "-windows-" in name else ["qemu-aarch64"] if "-aarch64-" in name else []) + [executable]
        subprocess.run(command, input=b"quit\n", capture_output=True, timeout=SLOW)   # wine makes its prefix
        portable_name = name.replace("-fast", "-portable")
        if name.endswith("-fast"):
            if "-linux-" in name:
                check_refusal(["qemu-x86_64", "-cpu", "Nehalem", executable], portable_name)
            if not host_has_level3():
                check_refusal(command, portable_name)
                print("    this processor has no AVX2 and BMI2: the build cannot run here")
                return
        check_engine(command)


if __name__ == "__main__":
    main()
