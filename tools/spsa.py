#!/usr/bin/env python3
"""Tunes a few broad knobs of the parameter set on game results (SPSA).

A knob scales a whole group of values.txt lines (mobility weights, king
attack, shelter, passed pawns, ...): every line of the group becomes
round(value * factor), rounded half away from zero, so a factor of 1.0
leaves the file byte for byte. A knob vector (theta) is a factor per knob.

Subcommands:
  write  OUT [knob=factor ...]   writes the base file with the knobs applied
  match  [knob=factor ...]       plays the knob vector against the base file
                                 (--sprt ELO0,ELO1: until an SPRT decides;
                                 --random: openings in random order under
                                 --seed; --minutes: a cap on the time)
  run                            SPSA: each iteration plays game pairs
                                 between theta + c*delta and theta - c*delta
                                 (delta a random +-1 per knob) and steps
                                 theta along (wins - losses) * delta
  knobs                          lists the knobs and the lines they scale

Games run under fastchess at a fixed node count a move, 1 thread, Hash 16,
no book, both colours of consecutive openings of noob_2moves.epd; both
engines are one copy of the program, taken when the games begin, and each
runs in a folder of its own that holds its values.txt. A run is deterministic given
--seed: the perturbations and the opening of every iteration come from it
(the games themselves are deterministic at a fixed node count). Every
iteration is appended as one JSON line to the log; --resume LOG continues a
run from its last line.
"""

import argparse
import json
import math
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SHARED = os.path.normpath(os.path.join(ROOT, "..", "shared"))

# The blocks of values.txt in file order: (block number, number of lines).
BLOCK_LINES = [
    (1, 8), (2, 12), (3, 10), (4, 2916), (5, 2), (6, 17), (7, 2), (8, 1), (9, 5), (10, 1), (11, 16),
    (12, 16), (13, 2), (14, 116), (15, 2), (16, 9), (17, 14), (18, 24), (19, 1), (20, 3), (21, 32),
    (22, 32), (23, 32), (24, 17), (25, 512), (26, 51), (27, 320), (28, 424), (35, 128), (36, 64),
    (37, 64), (38, 35), (39, 16), (40, 384), (41, 32768), (42, 1521), (43, 98304), (44, 1368),
    (45, 192), (46, 64), (47, 9), (48, 64), (49, 9), (50, 1), (51, 4), (52, 2), (53, 12), (54, 1),
    (55, 4), (56, 1), (57, 1), (58, 384), (59, 18), (60, 48), (61, 18), (62, 8), (63, 16), (64, 19),
    (65, 23), (66, 1), (67, 640), (68, 18), (69, 34), (70, 656), (71, 70), (72, 3), (73, 6), (74, 16),
    (75, 6), (76, 6), (77, 64), (78, 26244), (79, 15), (80, 26), (81, 14), (82, 144),
]
FILE_LINES = sum(n for _, n in BLOCK_LINES)

# The knobs: name -> line groups (block, first line within the block, lines).
KNOBS = {
    # Bishop, rook and queen mobility per square, middlegame and endgame.
    "mobility": [(14, 26, 6)],
    # The king attack's overall scale, with and without the attacker's queen.
    "king_attack": [(49, 3, 2)],
    # Pressure of knight, bishop, rook and queen near the enemy king.
    "king_pressure": [(51, 0, 4)],
    # Safe queen checks, by their number.
    "queen_checks": [(38, 0, 7)],
    # King shelter: the queen-side shelter terms mg and eg and the king-centre penalty table.
    "shelter": [(12, 0, 16), (74, 0, 16), (37, 0, 64)],
    # Pawn storm: contact, blocked and free stormers.
    "storm": [(26, 0, 12)],
    # Passed pawns by rank, middlegame and endgame.
    "passed": [(59, 0, 16)],
    # Doubled, isolated and backward pawns (the ten 64-square tables).
    "pawn_structure": [(70, 8, 640)],
    # Threats, by the surplus of threatened pieces.
    "threats": [(69, 0, 34)],
    # Knight and bishop outposts: plain, protected, exchangeable.
    "outposts": [(67, 64, 384)],
    # Rooks on open and half-open files.
    "rook_files": [(70, 0, 8), (70, 648, 8)],
    # Extra value of knight, bishop, rook over the board values, and the bishop pair.
    "pieces": [(1, 0, 8)],
}
FACTOR_MIN, FACTOR_MAX = 0.25, 2.5


def block_offsets():
    """First line (0-based) of every block."""
    offsets, line = {}, 0
    for block, count in BLOCK_LINES:
        offsets[block] = line
        line += count
    return offsets


def knob_lines(name):
    """The 0-based line numbers a knob scales."""
    offsets = dict(block_offsets())
    sizes = dict(BLOCK_LINES)
    lines = []
    for block, first, count in KNOBS[name]:
        if first < 0 or first + count > sizes[block]:
            raise ValueError(f"knob {name}: lines {first}..{first + count - 1} lie outside block {block}")
        lines.extend(range(offsets[block] + first, offsets[block] + first + count))
    return lines


def round_half_away(x):
    return int(math.floor(abs(x) + 0.5)) * (1 if x >= 0 else -1)


def read_base(path):
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    if len(lines) < FILE_LINES:
        raise SystemExit(f"{path}: {len(lines)} lines, the parameter file has {FILE_LINES}")
    return lines


def apply_knobs(base, theta):
    """The base lines (bytes) with every knob of theta applied."""
    out = list(base)
    for name, factor in theta.items():
        if factor == 1.0:
            continue
        for i in knob_lines(name):
            out[i] = str(round_half_away(int(base[i]) * factor)).encode()
    return out


def write_values(base, theta, path):
    with open(path, "wb") as f:
        f.write(b"".join(line + b"\n" for line in apply_knobs(base, theta)))


def parse_theta(items):
    theta = {}
    for item in items:
        name, _, value = item.partition("=")
        if name not in KNOBS or not value:
            raise SystemExit(f"unknown knob or missing factor: {item} (knobs: {', '.join(KNOBS)})")
        theta[name] = float(value)
    return theta


# ---------------------------------------------------------------------------
# Games

def engine_folder(folder, base, theta):
    """A folder holding the engine's values.txt for theta."""
    os.makedirs(folder, exist_ok=True)
    write_values(base, theta, os.path.join(folder, "values.txt"))
    return folder


RESULT = re.compile(r"Games: (\d+), Wins: (\d+), Losses: (\d+), Draws: (\d+)")
TROUBLE = re.compile(r"illegal|disconnect|crash|timeout|loses on time|stall", re.IGNORECASE)


def play(args, dir_a, dir_b, pairs, start, log_path, extra=(), minutes=None):
    """Plays pairs of games (both colours of consecutive openings from start,
    or of openings in random order under --seed when start is None) and gives
    the wins, losses and draws of engine a and the trouble lines. extra is
    added to the fastchess command; after minutes (if given) fastchess is
    stopped and the last report it printed counts."""
    if start is None:
        openings = ["order=random", "-srand", str(args.seed)]
    else:
        openings = ["order=sequential", f"start={start}"]
    command = [
        args.fastchess,
        "-engine", f"cmd={args.engine}", f"dir={dir_a}", "name=a",
        "-engine", f"cmd={args.engine}", f"dir={dir_b}", "name=b",
        "-each", "tc=inf", f"nodes={args.nodes}", "option.Hash=16", "option.OwnBook=false",
        "-openings", f"file={args.openings}", "format=epd", *openings,
        "-rounds", str(pairs), "-repeat", "-concurrency", str(args.concurrency), "-recover", *extra,
    ]
    # fastchess leaves its config.json in the folder it runs in.
    with open(log_path, "w") as log:
        log.write(" ".join(command) + "\n")
        log.flush()
        runner = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, cwd=os.path.dirname(log_path),
                                  start_new_session=True)
        try:
            runner.wait(timeout=None if minutes is None else minutes * 60)
        except subprocess.TimeoutExpired:
            stop(runner)
    with open(log_path) as log:
        text = log.read()
    found = RESULT.findall(text)
    if not found:
        raise SystemExit(f"no result from fastchess; see {log_path}")
    games, wins, losses, draws = map(int, found[-1])
    trouble = [line for line in text.splitlines() if TROUBLE.search(line) and "PV continues" not in line]
    return wins, losses, draws, trouble


def stop(runner):
    """Stops fastchess as Ctrl-C does; its engines go with its process group
    if it has not ended within two minutes."""
    runner.send_signal(signal.SIGINT)
    try:
        runner.wait(timeout=120)
    except subprocess.TimeoutExpired:
        os.killpg(runner.pid, signal.SIGKILL)
        runner.wait()


def elo(wins, losses, draws):
    """Elo and its 95% error from the game scores."""
    n = wins + losses + draws
    if n == 0:
        return 0.0, 0.0
    score = (wins + draws / 2) / n
    var = (wins * (1 - score) ** 2 + losses * score ** 2 + draws * (0.5 - score) ** 2) / n

    def to_elo(s):
        s = min(max(s, 1e-6), 1 - 1e-6)
        return -400 * math.log10(1 / s - 1)

    error = 1.96 * math.sqrt(var / n)
    return to_elo(score), (to_elo(score + error) - to_elo(score - error)) / 2


# ---------------------------------------------------------------------------
# Subcommands

def command_write(args, base):
    write_values(base, parse_theta(args.knobs), args.out)
    print(f"written {args.out}")


def command_match(args, base):
    theta = parse_theta(args.knobs)
    work = os.path.abspath(args.work)
    new = engine_folder(os.path.join(work, "new"), base, theta)
    old = engine_folder(os.path.join(work, "base"), base, {})
    copy_engine(args, work)
    pairs = args.games // 2
    extra, start = [], None
    if args.sprt:
        elo0, elo1 = args.sprt
        extra = ["-sprt", f"elo0={elo0:g}", f"elo1={elo1:g}", "alpha=0.05", "beta=0.05", "model=normalized"]
    if not args.random:
        start = random.Random(args.seed).randrange(1, opening_count(args) - pairs)
    if args.sprt or args.minutes:
        # A report after every game pair: the one a stop finds last is recent.
        extra += ["-ratinginterval", "1"]
    load = os.getloadavg()[0]
    log_path = os.path.join(work, "fastchess.log")
    w, l, d, trouble = play(args, new, old, pairs, start, log_path, extra, args.minutes)
    e, err = elo(w, l, d)
    label = " ".join(f"{k}={v:g}" for k, v in theta.items()) or "base"
    n = w + l + d
    openings = f"openings from {start}" if start is not None else f"random openings (seed {args.seed})"
    print(f"{label}: {n} games +{w} ={d} -{l}, score {100 * (w + d / 2) / max(n, 1):.1f}%, {e:+.1f} +- {err:.1f} Elo, "
          f"{args.nodes} nodes, {openings}, load {load:.1f}-{os.getloadavg()[0]:.1f}")
    if args.sprt:
        with open(log_path) as log:
            text = log.read()
        llr = re.findall(r"^LLR: .*$", text, re.MULTILINE)
        verdict = re.findall(r"H[01] was accepted", text)
        print(f"  SPRT [{elo0:g}, {elo1:g}] normalized: {llr[-1] if llr else 'no LLR reported'}, "
              f"{verdict[-1] if verdict else 'not decided'}")
        for pattern in (r"^Elo: .*$", r"^Ptnml\(0-2\): .*$"):
            found = re.findall(pattern, text, re.MULTILINE)
            if found:
                print("  " + found[-1])
    for line in trouble[:5]:
        print("  trouble:", line)


def copy_engine(args, work):
    """Plays a copy of the engine, so that a rebuild during the games leaves them alone."""
    copy = os.path.join(work, "engine")
    shutil.copy2(args.engine, copy)
    args.engine = copy


def sprt_bounds(text):
    elo0, _, elo1 = text.partition(",")
    return float(elo0), float(elo1)


def opening_count(args):
    with open(args.openings) as f:
        return sum(1 for line in f if line.strip())


def command_run(args, base):
    knobs = list(KNOBS) if not args.only else args.only.split(",")
    for name in knobs:
        if name not in KNOBS:
            raise SystemExit(f"unknown knob {name}")
    theta = {name: 1.0 for name in knobs}
    theta.update({k: v for k, v in parse_theta(args.knobs).items() if k in theta})
    rng = random.Random(args.seed)
    first = 0
    if args.resume:
        with open(args.resume) as f:
            last = [json.loads(line) for line in f if line.strip()][-1]
        theta = last["theta"]
        knobs = list(theta)
        first = last["iteration"] + 1
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    copy_engine(args, work)
    log_path = args.log or os.path.join(work, "spsa.jsonl")
    openings = opening_count(args)
    big_a = args.iterations * 0.1
    # The step of the first iteration per game won: a / (A + 1)^alpha / c.
    a = args.step * args.c * (big_a + 1) ** args.alpha
    for k in range(args.iterations):
        # Every iteration draws the same numbers, so a resumed run replays
        # the draws of the iterations it skips.
        delta = {name: rng.choice((-1, 1)) for name in knobs}
        start = rng.randrange(1, openings - args.pairs)
        if k < first:
            continue
        ck = args.c / (k + 1) ** args.gamma
        ak = a / (big_a + k + 1) ** args.alpha
        plus = {n: min(max(theta[n] + ck * delta[n], FACTOR_MIN), FACTOR_MAX) for n in knobs}
        minus = {n: min(max(theta[n] - ck * delta[n], FACTOR_MIN), FACTOR_MAX) for n in knobs}
        dir_plus = engine_folder(os.path.join(work, "plus"), base, plus)
        dir_minus = engine_folder(os.path.join(work, "minus"), base, minus)
        load = os.getloadavg()[0]
        began = time.time()
        w, l, d, trouble = play(args, dir_plus, dir_minus, args.pairs, start, os.path.join(work, "fastchess.log"))
        if trouble:
            shutil.copy(os.path.join(work, "fastchess.log"), os.path.join(work, f"trouble_{k}.log"))
        for n in knobs:
            theta[n] = min(max(theta[n] + ak * (w - l) * delta[n] / ck, FACTOR_MIN), FACTOR_MAX)
        record = {"iteration": k, "start": start, "ck": round(ck, 5), "ak": round(ak, 7),
                  "delta": delta, "wins": w, "losses": l, "draws": d, "trouble": len(trouble),
                  "load": round(load, 1), "seconds": round(time.time() - began, 1),
                  "theta": {n: round(v, 5) for n, v in theta.items()}}
        with open(log_path, "a") as f:
            f.write(json.dumps(record) + "\n")
        print(f"{k:4d} +{w} ={d} -{l} " + " ".join(f"{n}={v:.3f}" for n, v in theta.items()), flush=True)


def command_knobs(args, base):
    for name in KNOBS:
        lines = knob_lines(name)
        values = [int(base[i]) for i in lines]
        print(f"{name:15s} {len(lines):4d} lines, blocks {sorted({b for b, _, _ in KNOBS[name]})}, "
              f"values {min(values)}..{max(values)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--base", default=os.path.join(ROOT, "values.txt"), help="the parameter file to scale")
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "crv"))
    parser.add_argument("--fastchess", default=os.path.join(SHARED, "tools", "fastchess"))
    parser.add_argument("--openings", default=os.path.join(SHARED, "openings", "noob_2moves.epd"))
    parser.add_argument("--nodes", type=int, default=6000, help="nodes a move")
    parser.add_argument("--concurrency", type=int, default=3)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--work", default="/tmp/crv_spsa", help="folder for the engines' files and logs")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("write")
    p.add_argument("out")
    p.add_argument("knobs", nargs="*")
    p = sub.add_parser("match")
    p.add_argument("--games", type=int, default=100, help="games (with --sprt: the most games)")
    p.add_argument("--sprt", type=sprt_bounds, metavar="ELO0,ELO1",
                   help="stop at the decision of an SPRT (normalized Elo, alpha = beta = 0.05)")
    p.add_argument("--random", action="store_true", help="openings in random order under --seed")
    p.add_argument("--minutes", type=float, help="stop after this many minutes and count the games played")
    p.add_argument("knobs", nargs="*")
    p = sub.add_parser("run")
    p.add_argument("--iterations", type=int, default=200)
    p.add_argument("--pairs", type=int, default=8, help="game pairs an iteration")
    p.add_argument("--c", type=float, default=0.15, help="perturbation of the first iteration")
    p.add_argument("--step", type=float, default=0.003, help="step of the first iteration per game won")
    p.add_argument("--alpha", type=float, default=0.602)
    p.add_argument("--gamma", type=float, default=0.101)
    p.add_argument("--only", help="comma-separated knobs to tune (default all)")
    p.add_argument("--log", help="the iteration log (default WORK/spsa.jsonl)")
    p.add_argument("--resume", help="continue the run logged in this file")
    p.add_argument("knobs", nargs="*", help="starting factors, knob=factor")
    sub.add_parser("knobs")
    args = parser.parse_args()
    args.engine = os.path.abspath(args.engine)
    base = read_base(args.base)
    {"write": command_write, "match": command_match, "run": command_run, "knobs": command_knobs}[args.command](
        args, base)


if __name__ == "__main__":
    sys.exit(main())
