#!/usr/bin/env python3
"""Checks the games and engine logs of tools/endurance.sh.

For every runner's PGN file it counts the games per opponent and the ends
that are faults (loss on time, illegal move, crash or disconnection, stalled
connection), each charged to the engine that caused it. For every engine log
it takes each line Corvatine printed and parses it as a line of the protocol
spoken (UCI under fastchess, xboard under cutechess-cli); the start-up
print-out is accepted only before the first protocol line of each process.
Lines that are neither are "bad lines"; anything the engine wrote to its
standard error and every abnormal exit count as crashes.

Usage: tools/check_endurance.py --dir build/endurance [--ours crv,crv-self]
Exit code 0 when Corvatine has no fault at all, 1 otherwise.
"""

import argparse
import collections
import glob
import os
import re
import sys

MOVE = r"(?:[a-h][1-8][a-h][1-8][qrbn]?|0000)"
MOVE_RE = re.compile(f"^{MOVE}$")

# The start-up print-out: banner, book, table sizes, the settings, a blank line.
STARTUP = [re.compile(p) for p in (
    r"^Corvatine v\S+ \[\S+\]$",
    r"^\d+ nodes in openings book$",
    r"^Error opening \".*\"!$",
    r"^Book \".*\" is read-only: no book learning$",
    r"^(Transposition|Pawn hash) size is \d+ entries \(\d+ bytes\)$",
    r"^(Aggressivity|Cowardice) = \d+ \(\d+\)%$",
    r"^(ResignValue|ResignTimes|VarietyOfPlay|BookLearningBound) = -?\d+$",
    r"^(UseEGTB|UseBookWeights|UseBookLearning|UseLearning|UseLearningData|LogLearningIntoFile|Pondering)"
    r" = (on|off)$",
    r"^BookLearningMode = (KILL|DISCOVER)$",
    r"^EGTB path = \".*\"$",
    r"^info string Found \d+ tablebases\.$",
    r"^$",
)]

# Lines the engine may print in either protocol between searches that are
# its own messages rather than protocol replies; counted apart.
MESSAGES = [re.compile(p) for p in (
    r"^The book is locked by another program: this game is not learned$",
)]

UCI_FIXED = re.compile(r"^(uciok|readyok|id (name|author) .+|option name .+ type (spin|string|check|button|combo)( .*)?)$")
UCI_BESTMOVE = re.compile(f"^bestmove {MOVE}( ponder {MOVE})?$")
INFO_INT_KEYS = {"depth", "seldepth", "multipv", "nodes", "nps", "time", "hashfull", "tbhits", "currmovenumber"}

XBOARD_THINKING = re.compile(f"^\\d+ -?\\d+ \\d+ \\d+( {MOVE})*$")
XBOARD_FIXED = re.compile(f"^(move {MOVE}|Hint: {MOVE}|resign|Illegal move: .*|Error.*|stat01: .*)$")


def uci_info_ok(line):
    """Parses an "info" line token by token."""
    tokens = line.split(" ")
    if tokens[0] != "info" or len(tokens) < 2:
        return False
    i = 1
    while i < len(tokens):
        key = tokens[i]
        if key == "string":
            return i + 1 < len(tokens)
        if key in INFO_INT_KEYS:
            if i + 1 >= len(tokens) or not re.fullmatch(r"-?\d+", tokens[i + 1]):
                return False
            i += 2
        elif key == "score":
            if i + 2 >= len(tokens) or tokens[i + 1] not in ("cp", "mate") \
                    or not re.fullmatch(r"-?\d+", tokens[i + 2]):
                return False
            i += 3
            if i < len(tokens) and tokens[i] in ("lowerbound", "upperbound"):
                i += 1
        elif key == "currmove":
            if i + 1 >= len(tokens) or not MOVE_RE.match(tokens[i + 1]):
                return False
            i += 2
        elif key == "pv":
            rest = tokens[i + 1:]
            return len(rest) > 0 and all(MOVE_RE.match(t) for t in rest)
        else:
            return False
    return True


def uci_line_ok(line):
    if line.startswith("info"):
        return uci_info_ok(line)
    return bool(UCI_FIXED.match(line) or UCI_BESTMOVE.match(line))


def xboard_line_ok(line):
    return bool(XBOARD_THINKING.match(line) or XBOARD_FIXED.match(line))


class Tally:
    """The counts of one runner and protocol."""

    def __init__(self, name):
        self.name = name
        self.games = collections.Counter()        # by opponent
        self.results = collections.Counter()      # "win", "loss", "draw" from our side
        self.faults = collections.Counter()       # ours, by kind
        self.opponent_faults = collections.Counter()
        self.lines = 0
        self.bad = []                             # (file, line) of unparsed lines
        self.messages = collections.Counter()
        self.crashes = []
        self.warnings = collections.Counter()

    def fault_count(self):
        return sum(self.faults.values()) + len(self.bad) + len(self.crashes)


def pgn_games(path):
    """Yields (tags, movetext) per game of a PGN file."""
    tags, moves = {}, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = raw.rstrip("\n")
            m = re.match(r'^\[(\w+) "(.*)"\]$', line)
            if m:
                if moves:
                    yield tags, " ".join(moves)
                    tags, moves = {}, []
                tags[m.group(1)] = m.group(2)
            elif line.strip():
                moves.append(line)
    if tags:
        yield tags, " ".join(moves)


FAULT_ENDS = (
    ("time", re.compile(r"time forfeit|loses on time", re.I)),
    ("illegal move", re.compile(r"illegal move", re.I)),
    ("crash", re.compile(r"abandoned|disconnect|crash", re.I)),
    ("stalled", re.compile(r"stall", re.I)),
)


def count_games(tally, path, ours):
    for tags, movetext in pgn_games(path):
        white, black, result = tags.get("White"), tags.get("Black"), tags.get("Result")
        if white in ours and black in ours:
            opponent, side = "self", None
        elif white in ours:
            opponent, side = black, "white"
        elif black in ours:
            opponent, side = white, "black"
        else:
            continue
        tally.games[opponent] += 1
        if result == "1/2-1/2":
            tally.results["draw"] += 1
        elif side is not None and result in ("1-0", "0-1"):
            won = (result == "1-0") == (side == "white")
            tally.results["win" if won else "loss"] += 1
        elif result in ("1-0", "0-1"):
            tally.results["decided"] += 1
        else:
            tally.results["unfinished"] += 1
        # The side at fault is the loser of a game ended by a fault.
        tail = movetext[-200:]
        reason = tags.get("Termination", "") + " " + " ".join(re.findall(r"\{([^}]*)\}", tail)[-1:])
        for kind, pattern in FAULT_ENDS:
            if pattern.search(reason):
                loser = black if result == "1-0" else white
                if loser in ours:
                    tally.faults[kind] += 1
                else:
                    tally.opponent_faults[f"{kind} ({loser})"] += 1
                break


class Process:
    """What is known of one engine process while its log is read."""

    def __init__(self):
        self.started = False      # a protocol line has been seen


def check_line(tally, where, process, line, protocol_ok):
    tally.lines += 1
    if not process.started and any(p.match(line) for p in STARTUP):
        return
    if any(p.match(line) for p in MESSAGES):
        tally.messages[line] += 1
        return
    if protocol_ok(line):
        process.started = True
        return
    tally.bad.append((where, line))


FASTCHESS_ENGINE = re.compile(r"^\[Engine\] \[[^\]]*\] <\s*(\d*)>\s+(<stderr> )?(\S+) (--->|<---) ?(.*)$")
FASTCHESS_WARN = re.compile(r"^\[WARN\s*\].*--- Warning; (.*) - move \S+ from (\S+)$")


def check_fastchess_log(tally, path, ours):
    processes = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            w = FASTCHESS_WARN.match(line)
            if w and w.group(2) in ours:
                tally.warnings[w.group(1)] += 1
                continue
            m = FASTCHESS_ENGINE.match(line)
            if not m or m.group(3) not in ours:
                continue
            thread, stderr, name, direction, text = m.groups()
            key = (thread, name)
            if direction == "<---":
                if text == "uci":
                    processes[key] = Process()
                continue
            where = f"{os.path.basename(path)}:{number}"
            if stderr:
                if text != "Process exited normally with status 0":
                    tally.crashes.append((where, text))
                continue
            check_line(tally, where, processes.setdefault(key, Process()), text, uci_line_ok)


CUTECHESS_LINE = re.compile(r"^\d+ ([<>])(\S+)\((\d+)\): ?(.*)$")
CUTECHESS_TROUBLE = re.compile(r"crash|disconnect|Terminating process|stalls|unresponsive", re.I)


def check_cutechess_log(tally, path, ours):
    processes = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = f"{os.path.basename(path)}:{number}"
            m = CUTECHESS_LINE.match(line)
            if not m:
                # The runner's own messages; a continuation of a multi-line
                # write to an engine has no prefix and is skipped.
                if CUTECHESS_TROUBLE.search(line) and any(name in line for name in ours):
                    tally.crashes.append((where, line))
                continue
            direction, name, ident, text = m.groups()
            if name not in ours or direction == ">":
                continue
            check_line(tally, where, processes.setdefault((name, ident), Process()), text, xboard_line_ok)


def report(tally):
    games = sum(tally.games.values())
    print(f"== {tally.name}: {games} games")
    for opponent, count in sorted(tally.games.items()):
        print(f"   vs {opponent}: {count}")
    print(f"   results from Corvatine's side: {dict(tally.results)}")
    print(f"   engine lines checked: {tally.lines}")
    for kind in ("time", "illegal move", "crash", "stalled"):
        print(f"   {kind}: {tally.faults[kind]}")
    print(f"   crash or error output: {len(tally.crashes)}")
    for where, text in tally.crashes[:20]:
        print(f"      {where}: {text}")
    print(f"   bad lines: {len(tally.bad)}")
    for where, text in tally.bad[:20]:
        print(f"      {where}: {text[:160]}")
    for text, count in tally.messages.items():
        print(f"   message ({count}x): {text}")
    for text, count in tally.warnings.items():
        print(f"   runner warning ({count}x): {text}")
    for text, count in tally.opponent_faults.items():
        print(f"   opponent fault ({count}x): {text}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--ours", default="crv,crv-self")
    args = parser.parse_args()
    ours = set(args.ours.split(","))
    tallies = []
    uci = os.path.join(args.dir, "uci.pgn")
    if os.path.exists(uci):
        tally = Tally("fastchess, UCI")
        count_games(tally, uci, ours)
        if os.path.exists(os.path.join(args.dir, "uci.log")):
            check_fastchess_log(tally, os.path.join(args.dir, "uci.log"), ours)
        tallies.append(tally)
    for pgn in sorted(glob.glob(os.path.join(args.dir, "xboard-*.pgn"))):
        name = os.path.basename(pgn)[:-4]
        tally = Tally(f"cutechess-cli, xboard, {name}")
        count_games(tally, pgn, ours)
        debug = pgn[:-4] + ".debug"
        if os.path.exists(debug):
            check_cutechess_log(tally, debug, ours)
        tallies.append(tally)
    if not tallies:
        print(f"no games in {args.dir}")
        return 1
    for tally in tallies:
        report(tally)
    faults = sum(t.fault_count() for t in tallies)
    print(f"total games: {sum(sum(t.games.values()) for t in tallies)}, Corvatine faults: {faults}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
