#!/usr/bin/env python3
"""Instruction profile of the search: the positions of tools/bench.py searched
to a fixed depth by one program under valgrind's callgrind, then the top
functions by their own instruction count (callgrind_annotate). Instruction
counts do not depend on the machine's load, so two builds profiled with the
same depth compare exactly.

Usage: tools/profile_search.py [--depth D] [--top N] [--out FILE] PROGRAM
       (PROGRAM: best crv_serial, whose start-up runs no thread pool)
"""

import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench  # noqa: E402


def profile(program, depth, out_file):
    """Runs the searches under callgrind; gives the total node count."""
    args = ("--tool=callgrind", f"--callgrind-out-file={os.path.abspath(out_file)}", os.path.abspath(program))
    total = 0
    with bench.Engine("valgrind", args=args) as engine:
        engine.send("uci")
        engine.read_until("uciok", 600)
        engine.send("setoption name OwnBook value false")
        engine.send("setoption name Hash value 16")
        engine.send("setoption name SyzygyPath value <empty>")
        engine.sync(600)
        for fen in bench.POSITIONS:
            engine.send("ucinewgame")
            engine.send("setoption name Clear Hash")
            engine.send(f"position fen {fen}")
            engine.sync(600)
            engine.send(f"go depth {depth}")
            lines = engine.read_until("bestmove", 36000)
            nodes = [int(m.group(1)) for m in map(bench.INFO.match, lines) if m]
            total += nodes[-1] if nodes else 0
        engine.send("quit")
        engine.wait(600)
    return total


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("--depth", type=int, default=10)
    parser.add_argument("--top", type=int, default=25)
    parser.add_argument("--out", default="callgrind.out.search")
    options = parser.parse_args(argv)
    nodes = profile(options.program, options.depth, options.out)
    report = subprocess.run(["callgrind_annotate", "--inclusive=no", options.out],
                            capture_output=True, text=True, check=True).stdout
    total = re.search(r"^([\d,]+) \(100.0%\)\s+PROGRAM TOTALS", report, re.M)
    print(f"nodes {nodes} at depth {options.depth}")
    if total:
        instructions = int(total.group(1).replace(",", ""))
        print(f"instructions {instructions}  per node {instructions / max(nodes, 1):.0f}")
    lines = [line for line in report.splitlines() if re.match(r"^\s*[\d,]+ \(\s*[\d.]+%\)\s+\S", line)]
    for line in lines[1:options.top + 1]:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
