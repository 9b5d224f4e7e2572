#!/usr/bin/env python3
"""Plays Corvatine against itself or against Debian's stockfish, as a chess GUI
or match runner would, and checks every step of the conversation.

Each game starts from a position of an opening file (every opening is played
twice, colours swapped). Corvatine speaks UCI (position/go with wtime, btime,
winc, binc and optionally go ponder / ponderhit / stop) or xboard (new, force,
loadfen, level, time, otim, go and plain moves, pondering on). The runner keeps
the clocks itself. Every move is checked against the legal moves of an
independent referee (stockfish's "go perft 1"); a game ends only by mate,
stalemate, the fifty-move rule, threefold repetition, insufficient material,
adjudication or resignation. An illegal move, a lost time, a missing or extra
reply, an "Illegal move" complaint about a legal move or a crash is a failure:
the summary lists each one and the exit code is 1.

Examples:
  tools/match.py --engine build/crv --games 100 --tc 10+0.1 --concurrency 6
  tools/match.py --engine build/crv --opponent stockfish --skill 2 \\
      --protocol alternate --games 100 --tc 5+0.05 --elo
  tools/match.py --engine build/crv --opponent-engine build/crv_serial \\
      --protocol alternate --tc 40/6 --games 20
"""

import argparse
import collections
import math
import os
import random
import re
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "harness"))
from engine import Engine, EngineError  # noqa: E402

STOCKFISH = "/usr/games/stockfish"
DEFAULT_OPENINGS = os.path.join(HERE, "..", "..", "shared", "openings", "noob_2moves.epd")
MATE_SCORE = 100000          # a mate in the runner's score scale (centipawns)
GRACE_SECONDS = 10.0         # how long past its clock an engine may stay silent before it counts as hung
UCI_MOVE = re.compile(r"^[a-h][1-8][a-h][1-8][qrbn]?$")
XBOARD_THINKING = re.compile(r"^\s*(\d+)\s+(-?\d+)\s+(\d+)\s+(\d+)(\s|$)")


class Failure(Exception):
    """A fault of an engine: illegal move, time loss, no reply, extra reply,
    refused legal move or crash."""

    def __init__(self, kind, detail):
        super().__init__(f"{kind}: {detail}")
        self.kind = kind
        self.detail = detail


# -- time control -------------------------------------------------------------

class TimeControl:
    """[moves/]base[+inc], seconds; moves 0 is sudden death."""

    def __init__(self, text):
        moves, _, rest = text.rpartition("/")
        base, _, inc = rest.partition("+")
        self.moves = int(moves) if moves else 0
        self.base_ms = int(round(float(base) * 1000))
        self.inc_ms = int(round(float(inc) * 1000)) if inc else 0
        if self.base_ms <= 0:
            raise ValueError(f"time control {text!r}: the base time must be positive")

    def xboard_level(self):
        """The xboard "level" line (whole seconds of increment only)."""
        seconds = self.base_ms // 1000
        return f"level {self.moves} {seconds // 60}:{seconds % 60:02d} {self.inc_ms // 1000}"

    def xboard_inc_ms(self):
        return (self.inc_ms // 1000) * 1000


class Clock:
    """One side's clock in milliseconds, kept by the runner."""

    def __init__(self, tc, xboard):
        self.tc = tc
        self.inc = tc.xboard_inc_ms() if xboard else tc.inc_ms
        self.left = tc.base_ms
        self.moves = 0

    def spend(self, elapsed_ms):
        """Charges one move; gives False when the flag fell."""
        self.left -= elapsed_ms
        if self.left < 0:
            return False
        self.left += self.inc
        self.moves += 1
        if self.tc.moves and self.moves % self.tc.moves == 0:
            self.left += self.tc.base_ms
        return True

    def moves_to_go(self):
        return self.tc.moves - self.moves % self.tc.moves if self.tc.moves else 0


# -- referee --------------------------------------------------------------------

class Position:
    def __init__(self, fen, key, in_check, legal):
        self.fen = fen
        self.key = key
        self.in_check = in_check
        self.legal = legal

    @property
    def white_to_move(self):
        return self.fen.split()[1] == "w"

    @property
    def halfmove_clock(self):
        fields = self.fen.split()
        return int(fields[4]) if len(fields) > 4 else 0

    def insufficient_material(self):
        """Bare kings, or kings with a single knight or bishop."""
        placement = self.fen.split()[0]
        if any(c in placement for c in "pPrRqQ"):
            return False
        return sum(c in "nNbB" for c in placement) <= 1


class Referee:
    """An independent legal-move list and position key for every position."""

    def __init__(self):
        self.engine = Engine(STOCKFISH)
        self.engine.send("uci")
        self.engine.read_until("uciok", 30)

    def position(self, start_fen, moves):
        text = f"position fen {start_fen}" + (" moves " + " ".join(moves) if moves else "")
        self.engine.send(text)
        self.engine.send("d")
        fen = key = None
        lines = self.engine.read_until("Checkers:", 30)
        for line in lines:
            if line.startswith("Fen: "):
                fen = line[5:].strip()
            elif line.startswith("Key: "):
                key = line[5:].strip()
        in_check = bool(lines[-1][len("Checkers:"):].strip())
        # The referee's own key folds in the fifty-move counter: repetitions
        # are told by the FEN without its counters instead.
        if fen is not None:
            key = " ".join(fen.split()[:4])
        self.engine.send("go perft 1")
        legal = set()
        for line in self.engine.read_until("Nodes searched", 30):
            move, colon, _ = line.partition(":")
            if colon and UCI_MOVE.match(move.strip()):
                legal.add(move.strip())
        if fen is None or key is None:
            raise RuntimeError("the referee did not describe the position")
        return Position(fen, key, in_check, legal)

    def close(self):
        self.engine.close()


# -- players --------------------------------------------------------------------

def uci_score(line):
    """The score of a UCI info line from the mover's view, or None."""
    fields = line.split()
    if "score" not in fields or "upperbound" in fields or "lowerbound" in fields:
        return None
    i = fields.index("score")
    if i + 2 >= len(fields):
        return None
    kind = fields[i + 1]
    try:
        number = int(fields[i + 2])
    except ValueError:
        return None
    if kind == "cp":
        return number
    if kind == "mate":
        return MATE_SCORE - abs(number) if number > 0 else -MATE_SCORE + abs(number)
    return None


class Player:
    """One engine process and its protocol; subclasses speak UCI or xboard."""

    protocol = None

    def __init__(self, name, program):
        self.name = name
        self.program = program
        self.engine = None

    def label(self):
        return f"{self.name}({self.protocol})"

    def ensure_running(self):
        """Starts the program when none runs; one that ended by itself crashed."""
        if self.crashed():
            raise Failure("crash", f"{self.label()} ended with code {self.engine.proc.returncode}")
        if self.engine is None:
            self.engine = Engine(self.program)
            self.handshake()

    def crashed(self):
        return self.engine is not None and self.engine.proc.poll() is not None

    def restart(self):
        if self.engine is not None:
            self.engine.close()
        self.engine = None

    def close(self):
        if self.engine is not None:
            try:
                self.engine.send("quit")
                self.engine.wait(5)
            except EngineError:
                pass
            self.engine.close()
            self.engine = None

    def read_reply(self, match, timeout):
        """Lines up to the reply; a silent or dead engine is a failure."""
        try:
            return self.engine.read_until(match, timeout)
        except EngineError as error:
            if self.crashed():
                raise Failure("crash", f"{self.label()} ended with code {self.engine.proc.returncode}") from error
            raise Failure("no reply", f"{self.label()} did not answer within {timeout:.1f} s") from error

    def check_no_stray_output(self, forbidden):
        """Lines printed while the engine owed nothing must not hold a reply."""
        for line in self.engine.read_quiet(quiet=0.0, timeout=0.0):
            if line.startswith(forbidden):
                raise Failure("extra reply", f"{self.label()} printed {line!r} unasked")
            self.check_line(line)

    def check_line(self, line):
        if line.startswith("Illegal move"):
            raise Failure("refused legal move", f"{self.label()}: {line}")

    def opponent_to_move(self, start_fen, moves, clocks, white_to_move):
        """Called after the engine's move was accepted (UCI pondering)."""


class UciPlayer(Player):
    protocol = "uci"

    def __init__(self, name, program, options=(), ponder=False):
        super().__init__(name, program)
        self.options = list(options)
        self.ponder = ponder
        self.predicted = None       # the ponder move of the last bestmove
        self.pondering = None       # the move the running "go ponder" assumes

    def handshake(self):
        self.engine.send("uci")
        self.read_reply("uciok", 30)
        for option in self.options:
            self.engine.send(f"setoption name {option}")
        self.engine.send("isready")
        self.read_reply("readyok", 30)

    def new_game(self, start_fen, tc):
        self.ensure_running()
        self.stop_pondering()
        self.check_no_stray_output("bestmove")
        self.engine.send("ucinewgame")
        self.engine.send("isready")
        self.read_reply("readyok", 30)

    def end_game(self, result):
        self.stop_pondering()

    def go_line(self, clocks, white_to_move, extra=""):
        own, other = clocks
        wclock, bclock = (own, other) if white_to_move else (other, own)
        line = (f"go {extra}wtime {max(wclock.left, 0)} btime {max(bclock.left, 0)} "
                f"winc {wclock.inc} binc {bclock.inc}")
        if own.tc.moves:
            line += f" movestogo {own.moves_to_go()}"
        return line

    def read_bestmove(self, timeout):
        """The move of one "bestmove" line and the last exact score before it."""
        score = None
        lines = self.read_reply(lambda line: line.startswith("bestmove"), timeout)
        for line in lines:
            self.check_line(line)
            if line.startswith("info"):
                s = uci_score(line)
                if s is not None:
                    score = s
        fields = lines[-1].split()
        move = fields[1] if len(fields) > 1 else ""
        ponder = fields[3] if len(fields) > 3 and fields[2] == "ponder" else None
        return move, ponder, score

    def stop_pondering(self):
        """Ends a running "go ponder": exactly one "bestmove" must come back."""
        if self.pondering is None:
            return
        self.pondering = None
        self.engine.send("stop")
        self.read_bestmove(GRACE_SECONDS)
        self.engine.send("isready")
        for line in self.read_reply("readyok", GRACE_SECONDS)[:-1]:
            if line.startswith("bestmove"):
                raise Failure("extra reply", f"{self.label()}: a second bestmove after stop")

    def move(self, start_fen, moves, clocks, white_to_move):
        self.ensure_running()
        timeout = clocks[0].left / 1000 + GRACE_SECONDS
        if self.pondering is not None and moves and moves[-1] == self.pondering:
            self.pondering = None
            start = time.monotonic()
            self.engine.send("ponderhit")
        else:
            self.stop_pondering()
            self.check_no_stray_output("bestmove")
            self.engine.send(f"position fen {start_fen}" + (" moves " + " ".join(moves) if moves else ""))
            line = self.go_line(clocks, white_to_move)
            start = time.monotonic()
            self.engine.send(line)
        move, ponder, score = self.read_bestmove(timeout)
        elapsed = int((time.monotonic() - start) * 1000)
        self.predicted = ponder if ponder and UCI_MOVE.match(ponder) else None
        return move, elapsed, score

    def opponent_to_move(self, start_fen, moves, clocks, white_to_move):
        """Thinks on the opponent's time, assuming the predicted reply, with
        the clocks at the start of the opponent's turn."""
        if not self.ponder or self.predicted is None:
            return
        self.engine.send(f"position fen {start_fen} moves " + " ".join(moves + [self.predicted]))
        self.engine.send(self.go_line(clocks, white_to_move, "ponder "))
        self.pondering, self.predicted = self.predicted, None


class XboardPlayer(Player):
    protocol = "xboard"

    def __init__(self, name, program):
        super().__init__(name, program)
        self.sent = 0          # moves of the game the engine knows
        self.forced = True     # the engine is in force mode
        self.last_score = None

    def handshake(self):
        self.engine.send("xboard")
        self.engine.send("post")

    def wait_ready(self):
        """Waits until the engine has taken every line sent, as a GUI waits
        for an engine's start-up and new game before it starts the clock
        (this engine sends no protover features, but answers "isready" in
        every mode); start-up and table clearing are not charged to a move."""
        for line in self.read_reply("readyok", 30)[:-1]:
            if line.startswith("move "):
                raise Failure("extra reply", f"{self.label()} printed {line!r} unasked")
            self.check_line(line)

    def new_game(self, start_fen, tc):
        self.ensure_running()
        self.check_no_stray_output("move ")
        self.engine.send("new")
        self.engine.send("force")
        self.engine.send(f"loadfen {start_fen}")
        self.engine.send(tc.xboard_level())
        self.engine.send("post")
        self.engine.send("hard")
        self.engine.send("isready")
        self.wait_ready()
        self.sent = 0
        self.forced = True

    def end_game(self, result):
        if self.engine is not None and not self.crashed():
            self.engine.send(f"result {result}")
            self.engine.send("force")

    def move(self, start_fen, moves, clocks, white_to_move):
        self.ensure_running()
        own, other = clocks
        timeout = own.left / 1000 + GRACE_SECONDS
        self.check_no_stray_output("move ")
        if self.forced:
            for m in moves[self.sent:]:
                self.engine.send(m)
            self.engine.send(f"time {max(own.left, 0) // 10}")
            self.engine.send(f"otim {max(other.left, 0) // 10}")
            start = time.monotonic()
            self.engine.send("go")
            self.forced = False
        else:
            if len(moves) - self.sent != 1:
                raise RuntimeError("xboard player out of step with the game")
            self.engine.send(f"time {max(own.left, 0) // 10}")
            self.engine.send(f"otim {max(other.left, 0) // 10}")
            start = time.monotonic()
            self.engine.send(moves[-1])
        lines = self.read_reply(lambda line: line.startswith("move ") or line.startswith("resign"), timeout)
        elapsed = int((time.monotonic() - start) * 1000)
        score = None
        for line in lines:
            self.check_line(line)
            thinking = XBOARD_THINKING.match(line)
            if thinking:
                s = int(thinking.group(2))
                score = s if abs(s) <= 31000 else (MATE_SCORE if s > 0 else -MATE_SCORE)
        if lines[-1].startswith("resign"):
            # The engine's move follows its resignation; read it to stay in step.
            self.read_reply("move ", GRACE_SECONDS)
            return "resign", elapsed, score
        move = lines[-1].split()[1] if len(lines[-1].split()) > 1 else ""
        self.sent = len(moves) + 1
        return move, elapsed, score


# -- one game -------------------------------------------------------------------

class GameRecord:
    def __init__(self, number, fen, white, black):
        self.number = number
        self.fen = fen
        self.white = white
        self.black = black
        self.moves = []
        self.result = None      # "1-0", "0-1", "1/2-1/2"
        self.reason = None
        self.failure = None     # (kind, detail, faulty player label)

    def line(self):
        text = f"game {self.number}: {self.white} - {self.black}: {self.result} ({self.reason})"
        return text + f"\n  fen {self.fen}\n  moves {' '.join(self.moves)}"


def adjudicated_winner(scores, plies, threshold):
    """0 (white) or 1 (black) when the last `plies` scores of both engines
    agree that one side is winning by threshold or more, else None."""
    if len(scores) < plies:
        return None
    winners = set()
    for mover, score in scores[-plies:]:
        if score is None or abs(score) < threshold:
            return None
        winners.add(mover if score > 0 else 1 - mover)
    return winners.pop() if len(winners) == 1 else None


def play_game(record, players, referee, tc, options):
    """Plays one game; players[0] has white. Fills record."""
    # xboard knows whole seconds of increment only: both sides get the same.
    xboard = any(p.protocol == "xboard" for p in players)
    clocks = [Clock(tc, xboard), Clock(tc, xboard)]
    position = referee.position(record.fen, [])
    side = 0 if position.white_to_move else 1
    for p in players:
        try:
            p.new_game(record.fen, tc)
        except (Failure, EngineError) as failure:
            kind = failure.kind if isinstance(failure, Failure) else "no reply"
            record.failure = (kind, str(failure), p.label())
            record.result, record.reason = ("0-1" if p is players[0] else "1-0"), kind
            p.restart()
            return
    seen = collections.Counter([position.key])
    scores = []

    def finish(result, reason):
        record.result, record.reason = result, reason

    win = ("1-0", "0-1")
    while record.result is None:
        player = players[side]
        try:
            move, elapsed, score = player.move(record.fen, record.moves, (clocks[side], clocks[1 - side]),
                                               side == 0)
            if move == "resign":
                finish(win[1 - side], f"{'white' if side == 0 else 'black'} resigns")
                break
            if move not in position.legal:
                raise Failure("illegal move", f"{player.label()} played {move!r}; legal: {sorted(position.legal)}")
            if not clocks[side].spend(elapsed):
                raise Failure("time loss", f"{player.label()} took {elapsed} ms with "
                                           f"{clocks[side].left + elapsed} ms left")
        except (Failure, EngineError) as failure:
            if isinstance(failure, Failure):
                kind, detail = failure.kind, failure.detail
            else:
                kind, detail = ("crash" if player.crashed() else "no reply"), str(failure)
            record.failure = (kind, detail, player.label())
            finish(win[1 - side], kind)
            player.restart()
            break
        record.moves.append(move)
        scores.append((side, score))
        position = referee.position(record.fen, record.moves)
        seen[position.key] += 1
        side = 1 - side
        if position.legal:
            try:
                player.opponent_to_move(record.fen, record.moves, (clocks[1 - side], clocks[side]), side == 1)
            except (Failure, EngineError):
                pass  # a failure shows at the engine's next move
        if not position.legal:
            finish(win[1 - side] if position.in_check else "1/2-1/2",
                   "checkmate" if position.in_check else "stalemate")
        elif position.halfmove_clock >= 100:
            finish("1/2-1/2", "fifty-move rule")
        elif seen[position.key] >= 3:
            finish("1/2-1/2", "threefold repetition")
        elif position.insufficient_material():
            finish("1/2-1/2", "insufficient material")
        elif len(record.moves) >= options.max_plies:
            finish("1/2-1/2", "adjudication: game length")
        else:
            winner = adjudicated_winner(scores, options.adjudicate_plies, options.adjudicate_score)
            if winner is not None:
                finish(win[winner], "adjudication: score")
    for p in players:
        try:
            p.end_game(record.result)
        except Failure as failure:
            if record.failure is None:
                record.failure = (failure.kind, failure.detail, p.label())
            p.restart()
        except EngineError:
            p.restart()


# -- the match ------------------------------------------------------------------

def load_openings(path, count, seed):
    with open(path) as epd:
        fens = []
        for line in epd:
            fields = line.split()
            if len(fields) >= 4:
                fens.append(" ".join(fields[:4] + (fields[4:6] if len(fields) >= 6 else ["0", "1"])))
    rng = random.Random(seed)
    rng.shuffle(fens)
    return [fens[i % len(fens)] for i in range(count)]


def protocols_for_pair(pair, options):
    """(engine A's protocol, a Corvatine opponent's protocol) for an opening pair."""
    if options.protocol == "alternate":
        return ("uci", "xboard") if pair % 2 == 0 else ("xboard", "uci")
    other = options.opponent_protocol or options.protocol
    return options.protocol, other


class Worker:
    """One thread of the match with its own engines and referee."""

    def __init__(self, options):
        self.options = options
        self.players = {}
        self.referee = None

    def player(self, role, protocol):
        key = (role, protocol)
        if key not in self.players:
            o = self.options
            if role == "A":
                program, name, corvatine = o.engine, o.engine_name, True
            elif o.opponent == "stockfish":
                program, name, corvatine = STOCKFISH, "stockfish", False
            else:
                program, name, corvatine = o.opponent_engine or o.engine, o.opponent_name, True
            if not corvatine:
                options = [f"Skill Level value {o.skill}", "Threads value 1", "Hash value 16",
                           "Move Overhead value 100"]
                self.players[key] = UciPlayer(name, program, options, ponder=False)
            elif protocol == "uci":
                options = [f"Hash value {o.hash}"]
                self.players[key] = UciPlayer(name, program, options, ponder=o.ponder)
            else:
                self.players[key] = XboardPlayer(name, program)
        return self.players[key]

    def play(self, number, fen, tc):
        if self.referee is None:
            self.referee = Referee()
        pair, swapped = divmod(number, 2)
        protocol_a, protocol_b = protocols_for_pair(pair, self.options)
        if self.options.opponent == "stockfish":
            protocol_b = "uci"
        a, b = self.player("A", protocol_a), self.player("B", protocol_b)
        players = [b, a] if swapped else [a, b]
        record = GameRecord(number + 1, fen, players[0].label(), players[1].label())
        record.a_is_white = not swapped
        play_game(record, players, self.referee, tc, self.options)
        return record

    def close(self):
        for p in self.players.values():
            p.close()
        if self.referee is not None:
            self.referee.close()


def elo_with_margin(wins, draws, losses):
    """Elo difference and its 95% margin from the score of engine A, or None."""
    n = wins + draws + losses
    if n == 0:
        return None
    score = (wins + draws / 2) / n
    deviation = math.sqrt((wins * (1 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / n)
    margin = 1.96 * deviation / math.sqrt(n)

    def elo(p):
        p = min(max(p, 1e-6), 1 - 1e-6)
        return -400 * math.log10(1 / p - 1)

    return elo(score), (elo(min(score + margin, 1)) - elo(max(score - margin, 0))) / 2


def run_match(options, out=sys.stdout):
    """Plays the match; gives (records, summary text)."""
    tc = TimeControl(options.tc)
    openings = load_openings(options.openings, (options.games + 1) // 2, options.seed)
    jobs = [(i, openings[i // 2]) for i in range(options.games)]
    records = [None] * len(jobs)
    lock = threading.Lock()
    done = [0]

    def work():
        worker = Worker(options)
        try:
            while True:
                with lock:
                    if not jobs:
                        return
                    number, fen = jobs.pop(0)
                record = worker.play(number, fen, tc)
                with lock:
                    records[number] = record
                    done[0] += 1
                    if options.verbose or record.failure:
                        print(record.line(), file=out)
                        if record.failure:
                            print(f"  FAILURE {record.failure[0]} by {record.failure[2]}: {record.failure[1]}",
                                  file=out)
                    elif done[0] % 10 == 0:
                        print(f"{done[0]} games played", file=out)
                    out.flush()
        finally:
            worker.close()

    threads = [threading.Thread(target=work) for _ in range(max(1, options.concurrency))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return records, summarize(records, options)


def summarize(records, options):
    wins = draws = losses = 0
    reasons = collections.Counter()
    failures = collections.Counter()
    for r in records:
        if r is None:
            continue
        reasons[r.reason] += 1
        if r.failure:
            failures[(r.failure[0], r.failure[2])] += 1
        if r.result == "1/2-1/2":
            draws += 1
        elif (r.result == "1-0") == r.a_is_white:
            wins += 1
        else:
            losses += 1
    played = wins + draws + losses
    lines = [f"Games: {played}   {options.engine_name} wins {wins}, draws {draws}, losses {losses}"]
    lines.append("Endings: " + ", ".join(f"{reason} {count}" for reason, count in reasons.most_common()))
    if options.elo:
        result = elo_with_margin(wins, draws, losses)
        if result:
            lines.append(f"Elo difference: {result[0]:+.1f} +/- {result[1]:.1f} (95%)")
    corvatine_faults = {k: v for k, v in failures.items() if not k[1].startswith("stockfish")}
    if failures:
        lines.append("Failures: " + ", ".join(f"{kind} by {who} {count}" for (kind, who), count in failures.items()))
    else:
        lines.append("Failures: none")
    lines.append("RESULT: " + ("FAIL" if corvatine_faults else "PASS"))
    return "\n".join(lines)


def parse_options(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter, epilog=__doc__)
    parser.add_argument("--engine", required=True, help="the Corvatine program under test (engine A)")
    parser.add_argument("--engine-name", default="crv")
    parser.add_argument("--opponent", choices=("self", "stockfish"), default="self")
    parser.add_argument("--opponent-engine", help="another Corvatine program as the opponent (self-play)")
    parser.add_argument("--opponent-name", default="crv2")
    parser.add_argument("--protocol", choices=("uci", "xboard", "alternate"), default="alternate",
                        help="Corvatine's protocol; alternate changes it every opening pair "
                             "(and in self-play gives the two sides different protocols)")
    parser.add_argument("--opponent-protocol", choices=("uci", "xboard"),
                        help="the Corvatine opponent's protocol (default: the same as engine A)")
    parser.add_argument("--games", type=int, default=20)
    parser.add_argument("--tc", default="10+0.1", help="[moves/]base[+inc] in seconds")
    parser.add_argument("--concurrency", type=int, default=max(1, (os.cpu_count() or 2) // 2))
    parser.add_argument("--skill", type=int, default=2, help="stockfish's Skill Level")
    parser.add_argument("--hash", type=int, default=16, help="Corvatine's Hash in MB")
    parser.add_argument("--no-ponder", dest="ponder", action="store_false",
                        help="no go ponder for Corvatine under UCI")
    parser.add_argument("--openings", default=DEFAULT_OPENINGS)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--max-plies", type=int, default=400)
    parser.add_argument("--adjudicate-plies", type=int, default=8)
    parser.add_argument("--adjudicate-score", type=int, default=1000)
    parser.add_argument("--elo", action="store_true", help="print the Elo difference with its margin")
    parser.add_argument("--verbose", action="store_true", help="print every game")
    options = parser.parse_args(argv)
    if options.opponent == "stockfish" and not os.path.exists(STOCKFISH):
        parser.error(f"{STOCKFISH} is not installed")
    return options


def main(argv):
    if not os.path.exists(STOCKFISH):
        sys.exit(f"{STOCKFISH} (the referee) is not installed")
    options = parse_options(argv)
    started = time.monotonic()
    _, summary = run_match(options)
    print(summary)
    print(f"Time: {time.monotonic() - started:.0f} s")
    return 0 if summary.endswith("PASS") else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
