#!/usr/bin/env python3
"""Perft speed benchmark: leaves per second of a program over a fixed set of
positions and depths, through its own "loadfen" and "perft" commands.

Usage: tools/perft_bench.py [program ...]   (default: build/crv)
"""
import errno
import re
import shutil
import subprocess
import sys

POSITIONS = [
    ("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6),
    ("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5),
    ("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 6),
    ("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 5),
    ("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 5),
]
RESULT = re.compile(r"total moves = (\d+) time = ([0-9.]+)")


def bench(program):
    lines = []
    for fen, depth in POSITIONS:
        lines.append(f"loadfen {fen}")
        lines.append(f"perft {depth}")
    lines.append("quit")
    command = [program]
    try:
        out = subprocess.run(command, input="\n".join(lines) + "\n", capture_output=True,
                             text=True, timeout=3600).stdout
    except OSError as error:
        # A kernel without 32-bit support runs crv_x86 through the emulator.
        emulator = shutil.which("qemu-i386")
        if error.errno != errno.ENOEXEC or emulator is None:
            raise
        print(f"{program}: run through {emulator}")
        out = subprocess.run([emulator, *command], input="\n".join(lines) + "\n", capture_output=True,
                             text=True, timeout=3600).stdout
    results = [(int(n), float(t)) for n, t in RESULT.findall(out)]
    if len(results) != len(POSITIONS):
        sys.exit(f"{program}: expected {len(POSITIONS)} perft results, got {len(results)}")
    leaves = sum(n for n, _ in results)
    seconds = sum(t for _, t in results)
    for (fen, depth), (n, t) in zip(POSITIONS, results):
        print(f"  depth {depth} {n:>12} leaves {t:8.2f} s  {fen}")
    print(f"{program}: {leaves} leaves in {seconds:.2f} s = {leaves / max(seconds, 1e-9) / 1e6:.1f} M leaves/s")


if __name__ == "__main__":
    for program in sys.argv[1:] or ["build/crv"]:
        bench(program)
