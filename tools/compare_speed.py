#!/usr/bin/env python3
"""Speed of two builds as a ratio, measured in one run: the search benchmark
(tools/bench.py, nodes per second), the evaluation benchmark (crv_eval_bench,
evaluations per second) and the perft benchmark (tools/perft_bench.py, leaves
per second), old and new interleaved several times, so that the load of a
shared machine falls on both alike. Prints each round, the medians and the
ratio new / old, and checks that both builds give the same node total and
evaluation score sum (a pure speed change leaves them equal).

Usage: tools/compare_speed.py [--rounds N] [--depth D] [--skip perft,eval,search]
                              OLD_BUILD_DIR NEW_BUILD_DIR
       (a build directory holds crv and crv_eval_bench)
"""

import argparse
import contextlib
import io
import os
import re
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench  # noqa: E402
import perft_bench  # noqa: E402

TESTDATA = os.path.join(HERE, "..", "..", "shared", "testdata")
EVAL_LINE = re.compile(r"= (\d+) evaluations/s")
SUM_LINE = re.compile(r"score sum (-?\d+)")
PERFT_LINE = re.compile(r"(\d+) leaves in ([0-9.]+) s")


def cpu_seconds(pid):
    """User plus system time of a process so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def search_speed(build, depth):
    """Nodes per second of processor time (not wall time: on a loaded machine
    the time spent waiting for a processor would swamp the difference)."""
    total_nodes, total_seconds = 0, 0.0
    with bench.Engine(os.path.join(build, "crv")) as engine:
        engine.send("uci")
        engine.read_until("uciok", 60)
        engine.send("setoption name OwnBook value false")
        engine.send("setoption name Hash value 16")
        engine.sync(60)
        for fen in bench.POSITIONS:
            engine.send("ucinewgame")
            engine.send("setoption name Clear Hash")
            engine.send(f"position fen {fen}")
            engine.sync(60)
            start = cpu_seconds(engine.proc.pid)
            engine.send(f"go depth {depth}")
            lines = engine.read_until("bestmove", 3600)
            total_seconds += cpu_seconds(engine.proc.pid) - start
            nodes = [int(m.group(1)) for m in map(bench.INFO.match, lines) if m]
            total_nodes += nodes[-1] if nodes else 0
        engine.send("quit")
        engine.wait(10)
    return total_nodes / max(total_seconds, 1e-9), total_nodes


def eval_speed(build, seconds):
    out = subprocess.run([os.path.join(build, "crv_eval_bench"), TESTDATA, str(seconds)],
                         capture_output=True, text=True, timeout=600).stdout
    return float(EVAL_LINE.search(out).group(1)), int(SUM_LINE.search(out).group(1))


def perft_speed(build):
    text = io.StringIO()
    with contextlib.redirect_stdout(text):
        perft_bench.bench(os.path.join(build, "crv"))
    leaves, seconds = PERFT_LINE.search(text.getvalue()).groups()
    return int(leaves) / max(float(seconds), 1e-9), int(leaves)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--depth", type=int, default=bench.DEPTH)
    parser.add_argument("--eval-seconds", type=float, default=3.0)
    parser.add_argument("--skip", default="", help="comma-separated: search, eval, perft")
    options = parser.parse_args(argv)
    skip = set(filter(None, options.skip.split(",")))
    kinds = [k for k in ("search", "eval", "perft") if k not in skip]
    measure = {
        "search": lambda b: search_speed(b, options.depth),
        "eval": lambda b: eval_speed(b, options.eval_seconds),
        "perft": perft_speed,
    }
    speeds = {(k, b): [] for k in kinds for b in ("old", "new")}
    signatures = {(k, b): set() for k in kinds for b in ("old", "new")}
    for r in range(options.rounds):
        for kind in kinds:
            # Alternate which build goes first.
            order = ("old", "new") if r % 2 == 0 else ("new", "old")
            for which in order:
                speed, signature = measure[kind](getattr(options, which))
                speeds[(kind, which)].append(speed)
                signatures[(kind, which)].add(signature)
                print(f"round {r + 1} {kind:6} {which}: {speed:12.0f}/s  signature {signature}", flush=True)
    failed = 0
    for kind in kinds:
        old = statistics.median(speeds[(kind, "old")])
        new = statistics.median(speeds[(kind, "new")])
        ratios = [n / o for n, o in zip(speeds[(kind, "new")], speeds[(kind, "old")])]
        same = signatures[(kind, "old")] == signatures[(kind, "new")] and len(signatures[(kind, "old")]) == 1
        failed |= not same
        print(f"{kind:6}: old {old:12.0f}/s  new {new:12.0f}/s  ratio of medians {new / old:.3f}  "
              f"paired ratios {' '.join(f'{x:.3f}' for x in ratios)}  "
              f"signatures {'equal' if same else 'DIFFER'} {sorted(signatures[(kind, 'new')])}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
