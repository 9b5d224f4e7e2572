#!/usr/bin/env python3
"""Tactics: the share of an EPD suite (Win At Chess by default) that a program
solves within a fixed time per position, through UCI "go movetime".

A position counts as solved when the "bestmove" is one of its "bm" moves (and
none of its "am" moves). The program runs with the parameter set it plays
with: the "values.txt" beside it (or the one given by --values) is copied
into its working directory; --values none runs it on its compiled defaults. The SAN moves of the suite are matched against the
legal moves that Debian's stockfish lists for the position.

Usage: tools/wac.py PROGRAM [--movetime MS] [--epd FILE] [--values FILE|none] [--concurrency N] [--verbose]
"""

import argparse
import os
import re
import shutil
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "harness"))
sys.path.insert(0, HERE)
from engine import Engine  # noqa: E402
import match  # noqa: E402

DEFAULT_EPD = os.path.join(HERE, "..", "..", "shared", "testdata", "wac.epd")
SAN = re.compile(r"^(?P<piece>[KQRBN])?(?P<from_file>[a-h])?(?P<from_rank>[1-8])?x?"
                 r"(?P<to>[a-h][1-8])(=?(?P<promotion>[QRBN]))?$")


def board_of(fen):
    """{square name: piece letter} of the FEN placement."""
    board = {}
    for row, rank in enumerate(fen.split()[0].split("/")):
        file = 0
        for c in rank:
            if c.isdigit():
                file += int(c)
            else:
                board["abcdefgh"[file] + str(8 - row)] = c
                file += 1
    return board


def san_to_uci(san, fen, legal):
    """The legal coordinate move that the SAN text names, or None."""
    san = san.rstrip("+#!?")
    white = fen.split()[1] == "w"
    if san in ("O-O", "0-0", "O-O-O", "0-0-0"):
        rank = "1" if white else "8"
        move = ("e" + rank + ("g" if len(san) == 3 else "c") + rank)
        return move if move in legal else None
    m = SAN.match(san)
    if not m:
        return None
    board = board_of(fen)
    piece = m.group("piece") or "P"
    found = []
    for move in legal:
        mover = board.get(move[:2], "").upper()
        if mover != piece or move[2:4] != m.group("to"):
            continue
        if m.group("from_file") and move[0] != m.group("from_file"):
            continue
        if m.group("from_rank") and move[1] != m.group("from_rank"):
            continue
        promotion = m.group("promotion")
        if (move[4:] or None) != (promotion.lower() if promotion else None):
            continue
        found.append(move)
    return found[0] if len(found) == 1 else None


def load_suite(path):
    """[(id, FEN, best moves, avoid moves)] with the SAN moves as written."""
    suite = []
    with open(path) as epd:
        for line in epd:
            fields = line.split()
            if len(fields) < 5:
                continue
            fen = " ".join(fields[:4]) + " 0 1"
            ops = " ".join(fields[4:])
            ops_map = {}
            for op in ops.split(";"):
                op = op.strip()
                if op:
                    key, _, value = op.partition(" ")
                    ops_map[key] = value.strip().strip('"')
            suite.append((ops_map.get("id", str(len(suite) + 1)), fen,
                          ops_map.get("bm", "").split(), ops_map.get("am", "").split()))
    return suite


def solve(program, items, movetime, results, verbose, values):
    referee = match.Referee()
    workdir = tempfile.TemporaryDirectory(prefix="crv-wac-")
    if values:
        shutil.copy(values, os.path.join(workdir.name, "values.txt"))
    with Engine(program, cwd=workdir.name) as engine:
        engine.send("uci")
        engine.read_until("uciok", 60)
        engine.send("setoption name OwnBook value false")
        engine.sync(60)
        for name, fen, best, avoid in items:
            legal = referee.position(fen, []).legal
            best_uci = {san_to_uci(s, fen, legal) for s in best} - {None}
            avoid_uci = {san_to_uci(s, fen, legal) for s in avoid} - {None}
            engine.send("ucinewgame")
            engine.send(f"position fen {fen}")
            engine.send(f"go movetime {movetime}")
            move = engine.read_until("bestmove", movetime / 1000 + 30)[-1].split()[1]
            ok = (move in best_uci if best_uci else True) and move not in avoid_uci and bool(best_uci or avoid_uci)
            results[name] = ok
            if verbose:
                print(f"{name}: {'ok ' if ok else 'MISS'} {move} (bm {' '.join(best)})", flush=True)
        engine.send("quit")
        engine.wait(10)
    referee.close()
    workdir.cleanup()


def values_file(program, given):
    """The parameter file the program runs with, or None for its compiled defaults."""
    if given == "none":
        return None
    if given:
        if not os.path.isfile(given):
            sys.exit(f"No parameter file {given}")
        return given
    beside = os.path.join(os.path.dirname(os.path.abspath(program)), "values.txt")
    return beside if os.path.isfile(beside) else None


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("--movetime", type=int, default=1000, help="milliseconds per position")
    parser.add_argument("--epd", default=DEFAULT_EPD)
    parser.add_argument("--values", help='parameter file (default: values.txt beside the program; "none": none)')
    parser.add_argument("--concurrency", type=int, default=4)
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args(argv)
    suite = load_suite(options.epd)
    values = values_file(options.program, options.values)
    results = {}
    shares = [suite[i::options.concurrency] for i in range(options.concurrency)]
    threads = [threading.Thread(target=solve, args=(options.program, share, options.movetime, results,
                                                    options.verbose, values)) for share in shares if share]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    solved = sum(results.values())
    print(f"Solved {solved} of {len(suite)} ({100.0 * solved / max(len(suite), 1):.1f}%) "
          f"at {options.movetime} ms per position, parameters: {values or 'compiled defaults'}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
