#!/usr/bin/env python3
"""Training run of the profile-guided build (scripts/build): runs the counting
programs of the first build tree on a short workload like the engine's real
work, so that they write the counts the second build compiles with.

Each program searches the positions of the search benchmark (tools/bench.py)
through UCI with the shipped parameter set values.txt beside it, as in play,
then counts perft leaves at modest depths through its console commands;
crv_eval_bench runs a few seconds when the shared test data is there.

Usage: scripts/train_profile.py [--depth D] [--jobs N] TRAIN_BUILD_DIR
"""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))
import bench  # noqa: E402
import perft_bench  # noqa: E402
from engine import Engine  # noqa: E402

TESTDATA = os.path.join(ROOT, "..", "shared", "testdata")


def train_program(program, depth):
    """Searches every benchmark position to the depth, then runs perft on the
    perft benchmark's positions one ply short of its depths."""
    with tempfile.TemporaryDirectory(prefix="crv-train-") as cwd:
        shutil.copy(os.path.join(ROOT, "values.txt"), cwd)
        with Engine(program, cwd=cwd) as engine:
            engine.send("uci")
            engine.read_until("uciok", 60)
            engine.send("setoption name OwnBook value false")
            engine.send("setoption name Hash value 16")
            engine.sync(60)
            for fen in bench.POSITIONS:
                engine.send("ucinewgame")
                engine.send(f"position fen {fen}")
                engine.send(f"go depth {depth}")
                engine.read_until("bestmove", 3600)
            engine.send("quit")
            engine.wait(60)
        with Engine(program, cwd=cwd) as engine:
            for fen, full_depth in perft_bench.POSITIONS:
                engine.send(f"loadfen {fen}")
                engine.send(f"perft {full_depth - 1}")
                engine.read_until(lambda line: "total moves" in line, 3600)
            engine.send("quit")
            engine.wait(60)


def train_eval(program, seconds):
    subprocess.run([program, TESTDATA, str(seconds)], check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build_dir")
    parser.add_argument("--depth", type=int, default=bench.DEPTH)
    parser.add_argument("--jobs", type=int, default=min(4, os.cpu_count() or 1))
    options = parser.parse_args()
    start = time.monotonic()
    work = []
    for name in ("crv", "crv_serial"):
        work.append((train_program, os.path.abspath(os.path.join(options.build_dir, name)), options.depth))
    eval_bench = os.path.join(options.build_dir, "crv_eval_bench")
    if os.path.exists(eval_bench) and os.path.isdir(TESTDATA):
        work.append((train_eval, eval_bench, 3))
    with concurrent.futures.ThreadPoolExecutor(options.jobs) as pool:
        for future in [pool.submit(*job) for job in work]:
            future.result()
    print(f"profile training: {len(work)} runs in {time.monotonic() - start:.1f} s")


if __name__ == "__main__":
    main()
