#!/usr/bin/env python3
"""Nodes per second of the engine against another UCI engine on the same
middlegame positions, interleaved: each position is searched for a fixed
movetime by one program and then the other (the order alternating), 1 thread,
Hash 16. Speed is the node count of the last progress line over the
processor time the search used, so the load of a shared machine weighs on
both alike. Prints each search, the totals and the ratio ours / theirs.

Usage: tools/nps_ratio.py [--movetime MS] [--rounds N] OURS THEIRS
       (e.g. build/crv /usr/games/glaurung)
"""

import argparse
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench  # noqa: E402
from compare_speed import cpu_seconds  # noqa: E402

# The nine middlegame positions of the search benchmark (neither the start
# position nor the endings).
POSITIONS = bench.POSITIONS[1:8] + bench.POSITIONS[11:13]
NODES = re.compile(r"^info .*\bnodes (\d+)\b")


class Player:
    """One UCI program started once and kept for all its searches."""

    def __init__(self, program):
        self.name = os.path.basename(program)
        self.engine = bench.Engine(program)
        self.engine.send("uci")
        self.engine.read_until("uciok", 60)
        for line in ("setoption name Threads value 1", "setoption name Hash value 16",
                     "setoption name OwnBook value false", "setoption name Ponder value false"):
            self.engine.send(line)
        self.engine.send("isready")
        self.engine.read_until("readyok", 60)

    def search(self, fen, movetime):
        """Nodes and processor seconds of one search from a fresh game."""
        self.engine.send("ucinewgame")
        self.engine.send(f"position fen {fen}")
        self.engine.send("isready")
        self.engine.read_until("readyok", 60)
        start = cpu_seconds(self.engine.proc.pid)
        self.engine.send(f"go movetime {movetime}")
        lines = self.engine.read_until("bestmove", 60 + movetime / 1000)
        seconds = cpu_seconds(self.engine.proc.pid) - start
        nodes = [int(m.group(1)) for m in map(NODES.match, lines) if m]
        return (nodes[-1] if nodes else 0), seconds

    def close(self):
        self.engine.send("quit")
        self.engine.wait(10)
        self.engine.close()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("ours")
    parser.add_argument("theirs")
    parser.add_argument("--movetime", type=int, default=3000)
    parser.add_argument("--rounds", type=int, default=1)
    options = parser.parse_args(argv)
    players = [Player(options.ours), Player(options.theirs)]
    totals = [[0, 0.0], [0, 0.0]]
    try:
        for r in range(options.rounds):
            for i, fen in enumerate(POSITIONS):
                order = (0, 1) if (i + r) % 2 == 0 else (1, 0)
                for p in order:
                    nodes, seconds = players[p].search(fen, options.movetime)
                    totals[p][0] += nodes
                    totals[p][1] += seconds
                    print(f"{players[p].name:>10}: {nodes:>10} nodes {seconds:6.2f} s cpu "
                          f"{nodes / max(seconds, 1e-9):>10.0f}/s  {fen}", flush=True)
    finally:
        for player in players:
            player.close()
    speeds = [n / max(s, 1e-9) for n, s in totals]
    for player, (nodes, seconds), speed in zip(players, totals, speeds):
        print(f"{player.name}: {nodes} nodes in {seconds:.2f} s cpu = {speed:.0f} nodes/s")
    print(f"ratio {players[0].name} / {players[1].name}: {speeds[0] / speeds[1]:.3f} "
          f"over {len(POSITIONS)} positions x {options.rounds}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
