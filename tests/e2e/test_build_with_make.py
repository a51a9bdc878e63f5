#!/usr/bin/env python3
"""The makefile that tools such as OpenBench build engines with: `make EXE=NAME`
builds the Release engine into NAME, whose `NAME bench` (a command line, no
standard input) prints the signature and exits 0; `cmake --install` puts the
engine into the prefix's bin/.
Usage: test_build_with_make.py path/to/varnok (unused: the test builds its own)"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uci_engine import run_tests  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def test_make_builds_an_engine_with_the_signature_and_cmake_installs_it():
    with open(os.path.join(ROOT, "tests", "data", "bench_signature.txt")) as pinned:
        signature = f"Nodes searched  : {int(pinned.read())}"
    with tempfile.TemporaryDirectory() as folder:
        engine = os.path.join(folder, "x")
        build = subprocess.run(["make", "-C", ROOT, f"EXE={engine}"], capture_output=True, text=True, timeout=1200)
        assert build.returncode == 0, build.stdout[-2000:] + build.stderr[-2000:]
        bench = subprocess.run([engine, "bench"], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                               timeout=300)
        assert bench.returncode == 0 and signature in bench.stdout.splitlines(), bench.stdout[-500:]
        assert bench.stdout.splitlines()[-1].startswith("Nodes/second    : "), bench.stdout[-200:]
        prefix = os.path.join(folder, "prefix")
        install = subprocess.run(["cmake", "--install", os.path.join(ROOT, "build-make"), "--prefix", prefix],
                                 capture_output=True, text=True, timeout=120)
        assert install.returncode == 0 and os.access(os.path.join(prefix, "bin", "varnok"), os.X_OK), install.stdout


run_tests(globals())
