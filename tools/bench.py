#!/usr/bin/env python3
"""Search benchmark and node signature: fixed-depth searches over a fixed list
of positions through UCI, printing the total node count and nodes per second.

The total is a signature of the search: a change that should not alter the
search leaves it unchanged, and crv, crv_serial and crv_x86 must print the
same total. Every program runs in an empty directory (no settings file, no
book, no learning file, no tablebases), with OwnBook off and pondering off
(UCI mode), a fixed Hash size and cleared tables before each position.

The total of the current search is recorded in the README, on a line
"bench: TOTAL nodes at depth D"; --expect README.md checks every program's
total against it (exit code 1 when one differs).

Usage: tools/bench.py [--depth D] [--hash MB] [--quiet] [--expect FILE] PROGRAM [PROGRAM ...]
       (PROGRAM is a path or NAME=PATH; with several, the totals must agree
       and the exit code is 1 when they do not)
"""

import argparse
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "harness"))
from engine import Engine  # noqa: E402

POSITIONS = [
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "r2q1rk1/1b1nbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/R3K2R w KQ - 2 11",
    "rnbqkb1r/pp1p1ppp/4pn2/2pP4/2P5/8/PP2PPPP/RNBQKBNR w KQkq - 0 4",
    "2rq1rk1/pb1nbppp/1p2pn2/2ppN3/3P1B2/2PBP3/PP1N1PPP/R2Q1RK1 w - - 4 11",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "3r1rk1/p4ppp/2pbbn2/q1N1p3/4P3/2N1B3/PPPQ1PPP/2KR3R w - - 4 14",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "6k1/5p2/6p1/8/7p/8/6PP/6K1 b - - 0 1",
    "8/8/1p2k1p1/3p3p/1p1P1P1P/1P2PK2/8/8 w - - 3 54",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "r1bbk1nr/pp3p1p/2n5/1N4p1/2Np1B2/8/PPP2PPP/2KR1B1R w kq - 0 13",
    "8/8/8/4k3/8/8/2K5/3QR3 w - - 0 1",
]
DEPTH = 11
INFO = re.compile(r"^info depth \d+ .*\bnodes (\d+)\b")
RECORDED = re.compile(r"^\s*bench: (\d+) nodes at depth (\d+)\s*$")


def recorded_total(path, depth):
    """The node total recorded in the file for the depth, or None."""
    with open(path, encoding="utf-8") as text:
        for line in text:
            match = RECORDED.match(line)
            if match and int(match.group(2)) == depth:
                return int(match.group(1))
    return None


def run(program, depth, hash_mb, quiet, out):
    """Searches every position; gives the total node count and the seconds."""
    total_nodes, total_seconds = 0, 0.0
    with Engine(program) as engine:
        engine.send("uci")
        engine.read_until("uciok", 60)
        engine.send("setoption name OwnBook value false")
        engine.send(f"setoption name Hash value {hash_mb}")
        engine.send("setoption name SyzygyPath value <empty>")  # no tablebases: the signature is the search's
        engine.sync(60)
        for fen in POSITIONS:
            engine.send("ucinewgame")
            engine.send("setoption name Clear Hash")
            engine.send(f"position fen {fen}")
            engine.sync(60)
            start = time.monotonic()
            engine.send(f"go depth {depth}")
            lines = engine.read_until("bestmove", 3600)
            seconds = time.monotonic() - start
            nodes = [int(m.group(1)) for m in map(INFO.match, lines) if m]
            count = nodes[-1] if nodes else 0
            total_nodes += count
            total_seconds += seconds
            if not quiet:
                print(f"  {count:>10} nodes {seconds:7.2f} s  {fen}", file=out)
        engine.send("quit")
        engine.wait(10)
    return total_nodes, total_seconds


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("programs", nargs="+", metavar="PROGRAM")
    parser.add_argument("--depth", type=int, default=DEPTH)
    parser.add_argument("--hash", type=int, default=16)
    parser.add_argument("--quiet", action="store_true", help="only the totals")
    parser.add_argument("--expect", metavar="FILE",
                        help='check the totals against the line "bench: TOTAL nodes at depth D" of FILE')
    options = parser.parse_args(argv)
    expected = None
    if options.expect:
        expected = recorded_total(options.expect, options.depth)
        if expected is None:
            print(f'{options.expect} has no line "bench: TOTAL nodes at depth {options.depth}"')
            return 2
    totals = {}
    for item in options.programs:
        name, _, path = item.rpartition("=")
        name = name or path
        if not options.quiet:
            print(f"{name}:")
        nodes, seconds = run(path, options.depth, options.hash, options.quiet, sys.stdout)
        totals[name] = nodes
        print(f"{name}: Total nodes: {nodes}  Time: {seconds:.2f} s  Nodes/second: {int(nodes / max(seconds, 1e-9))}")
        sys.stdout.flush()
    if len(set(totals.values())) > 1:
        print("Signatures differ: " + ", ".join(f"{n} {v}" for n, v in totals.items()))
        return 1
    if len(totals) > 1:
        print(f"Signature {next(iter(totals.values()))} is the same for all programs")
    if expected is not None:
        total = next(iter(totals.values()))
        if total != expected:
            print(f"Signature {total} differs from the {expected} recorded in {options.expect}: "
                  f"a change in the search updates that line")
            return 1
        print(f"Signature {total} is the one recorded in {options.expect}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
