"""Process tests of the search conversation: what a UCI GUI or an xboard
interface sees while the engine thinks, ponders and is stopped.

Run: python3 test_uci_xboard.py --program NAME=PATH [--program ...]
A program whose name holds "asan" or "x86" (sanitizer build, emulated 32-bit
build) gets wider timing margins.
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import Engine, ProgramCase, parse_program_args, program_suite, run_tests, sanitized  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
MATE_IN_ONE = "k7/8/1K6/8/8/8/7R/8 w - - 0 1"      # Rh8#
MATED_IN_ONE = "k7/8/1K6/8/8/p7/7R/8 b - - 0 1"    # Kb8 or a2, then Rh8#
CHECKMATED = "k7/1Q6/1K6/8/8/8/8/8 b - - 0 1"      # Black to move is mated
ONLY_MOVE = "7k/8/6K1/8/8/8/8/R7 b - - 0 1"        # Kg8 is the one legal move
BESTMOVE = re.compile(r"^bestmove (\S+)( ponder (\S+))?$")
INFO_DEPTH = re.compile(r"^info depth (\d+) .*\bnodes (\d+)\b")


def bestmoves(lines):
    return [line for line in lines if line.startswith("bestmove")]


class SearchConversation(ProgramCase):
    # -- helpers ----------------------------------------------------------------
    def start(self, uci=True):
        engine = self.launch()
        if uci:
            engine.send("uci")
            engine.read_until("uciok", 30)
        engine.sync(30)
        return engine

    def margin(self, native):
        return native * 4 + 0.5 if self.slow else native

    def search(self, engine, position, go, timeout=30):
        """Sends position and go; gives (lines up to bestmove, seconds taken)."""
        engine.send(position)
        start = time.monotonic()
        engine.send(go)
        lines = engine.read_until("bestmove", timeout)
        return lines, time.monotonic() - start

    def assertSilentFor(self, engine, seconds):
        """No bestmove (and no xboard move) within seconds."""
        lines = engine.read_quiet(quiet=seconds, timeout=seconds)
        self.assertEqual([line for line in lines if line.startswith(("bestmove", "move "))], [], lines[-5:])

    def assertNothingOwed(self, engine):
        """A stop with nothing owed prints nothing, and no reply is left over."""
        engine.send("stop")
        self.assertEqual(bestmoves(engine.sync()), [])

    def last_depth(self, lines):
        depths = [INFO_DEPTH.match(line) for line in lines]
        depths = [m for m in depths if m]
        return int(depths[-1].group(1)), int(depths[-1].group(2))

    # -- UCI ----------------------------------------------------------------------
    def test_stop_ends_infinite_search_with_one_bestmove(self):
        engine = self.start()
        self.assertNothingOwed(engine)  # nothing owed on a fresh program
        engine.send(f"position fen {START}")
        engine.send("go infinite")
        self.assertSilentFor(engine, 0.5)
        sent = time.monotonic()
        engine.send("isready")
        before = engine.read_until("readyok", 2)
        self.assertLess(time.monotonic() - sent, self.margin(0.2), "readyok during the search came late")
        self.assertEqual(bestmoves(before), [])
        engine.send("stop")
        reply = engine.read_until("bestmove", self.margin(1.0))
        self.assertRegex(reply[-1], BESTMOVE)
        self.assertNothingOwed(engine)

    def test_infinite_and_ponder_never_answer_by_themselves(self):
        # A mate found, a single legal move, a mated root: the search is over
        # early, but the reply waits for "stop" (or "ponderhit").
        cases = [
            (MATE_IN_ONE, "go infinite", "stop", "h2h8"),
            (ONLY_MOVE, "go infinite", "stop", "h8g8"),
            (CHECKMATED, "go infinite", "stop", "0000"),
            (MATE_IN_ONE, "go ponder wtime 1000 btime 1000", "ponderhit", "h2h8"),
            (ONLY_MOVE, "go ponder wtime 1000 btime 1000", "stop", "h8g8"),
            (CHECKMATED, "go ponder wtime 1000 btime 1000", "ponderhit", "0000"),
        ]
        engine = self.start()
        for fen, go, end, move in cases:
            with self.subTest(fen=fen, go=go, end=end):
                engine.send(f"position fen {fen}")
                engine.send(go)
                self.assertSilentFor(engine, 0.7)
                engine.send(end)
                reply = engine.read_until("bestmove", self.margin(2.0))
                self.assertEqual(BESTMOVE.match(reply[-1]).group(1), move)
                self.assertNothingOwed(engine)

    def test_ponderhit_and_stop_during_a_ponder_search(self):
        engine = self.start()
        for end in ("ponderhit", "stop"):
            with self.subTest(end=end):
                engine.send(f"position fen {START} moves e2e4 e7e5")
                engine.send("go ponder wtime 3000 btime 3000 winc 0 binc 0")
                self.assertSilentFor(engine, 0.5)
                sent = time.monotonic()
                engine.send(end)
                reply = engine.read_until("bestmove", self.margin(3.0))
                self.assertLess(time.monotonic() - sent, self.margin(1.5))
                self.assertRegex(reply[-1], BESTMOVE)
                self.assertNothingOwed(engine)

    def test_movetime_without_a_clock(self):
        for millis in (500, 5):
            with self.subTest(movetime=millis):
                engine = self.start()  # fresh: no clock was ever given
                lines, seconds = self.search(engine, f"position fen {START}", f"go movetime {millis}")
                self.assertLess(seconds, millis / 1000 + self.margin(0.15))
                self.assertRegex(lines[-1], BESTMOVE)
                self.assertNothingOwed(engine)

    def test_depth_and_nodes_whatever_clock_came_before(self):
        for earlier in (None, "go wtime 200000 btime 200000", "go infinite", "go movetime 200"):
            with self.subTest(earlier=earlier):
                engine = self.start()
                if earlier:
                    engine.send(f"position fen {START}")
                    engine.send(earlier)
                    if "infinite" in earlier:
                        time.sleep(0.2)
                        engine.send("stop")
                    engine.read_until("bestmove", 60)
                lines, seconds = self.search(engine, f"position fen {START} moves e2e4", "go depth 5")
                self.assertEqual(self.last_depth(lines)[0], 5)
                self.assertRegex(lines[-1], BESTMOVE)
                lines, _ = self.search(engine, f"position fen {START} moves d2d4", "go nodes 30000")
                nodes = self.last_depth(lines)[1]
                self.assertLessEqual(nodes, 30000 + 3000)
                self.assertRegex(lines[-1], BESTMOVE)
                self.assertNothingOwed(engine)

    def test_exactly_one_bestmove_per_go(self):
        engine = self.start()
        engine.send(f"position fen {START}")
        for go, end in (("go depth 3", None), ("go movetime 100", None), ("go infinite", "stop"),
                        ("go ponder wtime 5000 btime 5000", "ponderhit"), ("go wtime 300 btime 300", None),
                        ("go nodes 2000", None), ("go ponder wtime 500 btime 500", "stop")):
            engine.send(go)
            if end:
                time.sleep(0.2)
                engine.send(end)
            engine.send("stop")
            engine.send("stop")
            engine.send("ponderhit")
            engine.send(f"position fen {START}")
        lines = engine.sync(60)
        self.assertEqual(len(bestmoves(lines)), 7, bestmoves(lines))

    def test_clocks_too_large_for_32_bits(self):
        engine = self.start()
        for go in ("go wtime 99999999999 btime 99999999999", "go wtime 2147483647 btime 2147483647 "
                   "winc 2147483647 binc 2147483647", "go infinite"):
            with self.subTest(go=go):
                engine.send(f"position fen {START}")
                engine.send(go)
                self.assertSilentFor(engine, 0.5)
                engine.send("stop")
                self.assertRegex(engine.read_until("bestmove", self.margin(1.0))[-1], BESTMOVE)
                self.assertNothingOwed(engine)

    def test_mated_root_answers_bestmove_0000(self):
        engine = self.start()
        for go in ("go depth 4", "go movetime 200", "go wtime 1000 btime 1000"):
            with self.subTest(go=go):
                lines, _ = self.search(engine, f"position fen {CHECKMATED}", go)
                self.assertEqual(lines[-1], "bestmove 0000")
                self.assertNothingOwed(engine)

    def test_mate_scores_and_searchmoves(self):
        engine = self.start()
        lines, _ = self.search(engine, f"position fen {MATE_IN_ONE}", "go depth 6")
        self.assertIn(" score mate 1 ", [line for line in lines if line.startswith("info depth")][-1])
        self.assertEqual(lines[-1].split()[1], "h2h8")
        lines, _ = self.search(engine, f"position fen {MATED_IN_ONE}", "go depth 6")
        self.assertIn(" score mate -1 ", [line for line in lines if line.startswith("info depth")][-1])
        self.assertIn(lines[-1].split()[1], ("a8b8", "a3a2"))
        # A mate search finds the mate in one, also when asked for a mate
        # further away than any score can tell.
        for go in ("go mate 1", "go mate 850", "go mate 99999999999999999999"):
            with self.subTest(go=go):
                lines, _ = self.search(engine, f"position fen {MATE_IN_ONE}", go)
                self.assertEqual(lines[-1].split()[1], "h2h8")
        lines, _ = self.search(engine, f"position fen {START}", "go depth 5 searchmoves a2a3 h2h3")
        self.assertIn(lines[-1].split()[1], ("a2a3", "h2h3"))

    def test_multipv_three_lines_per_iteration(self):
        engine = self.start()
        engine.send("setoption name MultiPV value 3")
        # Deep enough for the lines to pass their node threshold.
        lines, _ = self.search(engine, f"position fen {START}", "go depth 9", 120)
        by_depth = {}
        for line in lines:
            m = re.match(r"^info multipv (\d+) depth (\d+) .* pv (\S+)", line)
            if m:
                by_depth.setdefault(int(m.group(2)), {})[int(m.group(1))] = m.group(3)
        self.assertIn(9, by_depth)
        for depth, lines_of_depth in by_depth.items():
            self.assertEqual(sorted(lines_of_depth), [1, 2, 3], depth)
        self.assertEqual(len(set(by_depth[9].values())), 3, by_depth[9])
        self.assertRegex(lines[-1], BESTMOVE)

    def test_zero_hash_sizes_still_search(self):
        engine = self.start()
        engine.send("setoption name Hash value 0")
        engine.send("setoption name PawnHash value 0")
        engine.send("setoption name Clear Hash")
        lines, _ = self.search(engine, f"position fen {START}", "go depth 7")
        self.assertRegex(lines[-1], BESTMOVE)
        # A table of 0 entries: every probe misses and nothing fills it.
        full = [line for line in lines if " hashfull " in line]
        self.assertTrue(full, lines)
        for line in full:
            self.assertRegex(line, r" hashfull 0\b")
        engine.send("quit")
        self.assertEqual(engine.wait(10), 0, engine.stderr_text()[-2000:])

    def multipv_lines(self, engine, multipv, position, depth):
        """A whole analysis session: {depth: {line number: (score, first move)}}
        of the "info multipv" lines, and the reply up to "bestmove"."""
        engine.send(f"setoption name MultiPV value {multipv}")
        lines, _ = self.search(engine, position, f"go depth {depth}", self.margin(60))
        by_depth = {}
        for line in lines:
            m = re.match(r"^info multipv (\d+) depth (\d+) .*?score (cp|mate) (-?\d+) .* pv (\S+)", line)
            if m:
                by_depth.setdefault(int(m.group(2)), {})[int(m.group(1))] = (m.group(3), int(m.group(4)), m.group(5))
        self.assertRegex(lines[-1], BESTMOVE)
        return by_depth, lines

    def test_multipv_reports_every_line_of_every_depth(self):
        # Each completed iteration reports all its lines, also the shallow
        # ones of a small search; a MultiPV above the number of legal moves
        # gives one line per legal move.
        engine = self.start()
        opening = "position startpos moves e2e4 e7e5 g1f3"
        six_moves = "position fen 8/8/8/4k3/8/8/3P4/4K3 w - - 0 1"   # Kd1 Kf1 Ke2 Kf2 d3 d4
        for multipv, position, count in ((2, opening, 2), (3, opening, 3), (10, six_moves, 6)):
            with self.subTest(multipv=multipv):
                by_depth, lines = self.multipv_lines(engine, multipv, position, 8)
                self.assertEqual(sorted(by_depth), list(range(1, 9)), lines[-12:])
                for depth, numbered in by_depth.items():
                    self.assertEqual(sorted(numbered), list(range(1, count + 1)), (depth, numbered))
                # The last report: different moves, best first.
                final = [by_depth[8][k] for k in range(1, count + 1)]
                self.assertEqual(len({move for _, _, move in final}), count, final)
                cps = [score for kind, score, _ in final if kind == "cp"]
                self.assertEqual(cps, sorted(cps, reverse=True), final)
        # MultiPV 1 is the single-line search: one result line per depth.
        engine.send("setoption name MultiPV value 1")
        lines, _ = self.search(engine, opening, "go depth 8", self.margin(60))
        depths = {int(m.group(1)) for m in (re.match(r"^info depth (\d+) .* pv \S+", line) for line in lines) if m}
        self.assertEqual(sorted(depths), list(range(1, 9)), lines)
        self.assertFalse([line for line in lines if line.startswith("info multipv")])

    def test_option_sizes_above_the_range_are_held_and_a_failed_table_falls_back(self):
        # Under an address-space limit the 1024 MB table (where 99999 is held)
        # cannot be had: a smaller one is taken, said in one line, and the
        # engine searches on. Only the plain 64-bit serial program runs
        # natively without a large reserved address space.
        if os.path.basename(self.program) != "crv_serial":
            self.skipTest("needs the plain 64-bit serial program")
        if sanitized(self.program):
            self.skipTest("a sanitized program cannot start under an address-space limit")
        path = os.path.abspath(self.program)
        engine = Engine("/bin/sh", args=["-c", f'ulimit -v 600000 && exec "{path}"'])
        self.addCleanup(engine.close)
        engine.send("uci")
        engine.read_until("uciok", 30)
        for option in ("Hash", "PawnHash"):
            with self.subTest(option=option):
                said = engine.ask(f"setoption name {option} value 99999", 30)
                self.assertEqual(len(said), 1, said)
                self.assertRegex(said[0], r"^info string .* could not be allocated; \d+ entries in use$")
                lines, _ = self.search(engine, f"position fen {START}", "go depth 5")
                self.assertRegex(lines[-1], BESTMOVE)
        # A size that fits is taken without a word.
        self.assertEqual(engine.ask("setoption name Hash value 64"), [])
        engine.send("quit")
        self.assertEqual(engine.wait(10), 0)

    # -- xboard and console -------------------------------------------------------
    def xboard_move(self, engine, timeout=30):
        lines = engine.read_until(lambda line: line.startswith(("move ", "resign")), timeout)
        return lines

    def test_xboard_game_with_pondering(self):
        engine = self.start(uci=False)
        for line in ("xboard", "new", "level 40 1 0", "post", "hard", "time 6000", "otim 6000", "go"):
            engine.send(line)
        lines = self.xboard_move(engine)
        first = lines[-1].split()[1]
        self.assertRegex(first, r"^[a-h][1-8][a-h][1-8]$")
        # The engine now ponders on its hint; playing the hint is a ponder hit,
        # another move a miss: both get a reply, and only one.
        hints = [line.split()[1] for line in engine.read_quiet(0.5, 2) if line.startswith("Hint: ")]
        self.assertEqual(len(hints), 1)
        played = hints[0]
        engine.send("time 5900")
        engine.send("otim 5900")
        engine.send(hints[0])
        second = self.xboard_move(engine)[-1].split()[1]
        self.assertRegex(second, r"^[a-h][1-8][a-h][1-8][qrbn]?$")
        hints = [line.split()[1] for line in engine.read_quiet(0.5, 2) if line.startswith("Hint: ")]
        self.assertEqual(len(hints), 1)
        # A different reply of Black: one of the knight moves is legal here.
        other = next(m for m in ("b8c6", "b8a6", "g8f6", "g8h6", "b8d7", "g8e7")
                     if m not in (hints[0], played) and m[:2] != played[:2])
        engine.send(other)
        lines = engine.read_until(lambda line: line.startswith(("move ", "Illegal move")), 30)
        if lines[-1].startswith("Illegal move"):
            self.skipTest("the knight move chosen is not legal in this game")
        self.assertSilentFor(engine, 0.3)
        # "?" ends the engine's own search at once with a move.
        engine.send("force")
        engine.send(f"loadfen {START}")
        engine.send("sd 60")
        engine.send("time 100000")
        engine.send("go")
        time.sleep(0.3)
        sent = time.monotonic()
        engine.send("?")
        self.xboard_move(engine, self.margin(1.0))
        self.assertLess(time.monotonic() - sent, self.margin(0.3))
        engine.send("force")
        engine.send("quit")
        self.assertEqual(engine.wait(10), 0)

    def test_xboard_resigns_a_lost_game(self):
        # Black, the engine, has a lone king against queen and rook: the third
        # losing move comes with "resign".
        engine = self.start(uci=False)
        for line in ("xboard", "new", "easy", "force", "loadfen 8/8/8/4k3/8/8/8/QR5K b - - 0 1",
                     "time 3000", "otim 3000", "go"):
            engine.send(line)
        replies = [self.xboard_move(engine)]
        for white in ("h1g1", "g1f1"):
            engine.send(white)
            replies.append(self.xboard_move(engine))
            if replies[-1][-1].startswith("resign"):
                break
        self.assertTrue(replies[-1][-1].startswith("resign"), [r[-1] for r in replies])
        self.assertEqual(len(replies), 3)
        self.assertTrue(engine.read_line(5).startswith("move "))

    def test_analysis_is_not_capped_by_the_game_depth_limit(self):
        # "sd" limits the engine's moves in a game, not an analysis; a game
        # move after the analysis keeps the limit.
        engine = self.start(uci=False)
        for line in ("xboard", "post", "sd 2", "analyze"):
            engine.send(line)
        deep = engine.read_until(lambda line: re.match(r"^([5-9]|\d\d+) ", line) is not None, self.margin(30))
        self.assertTrue(deep)
        engine.send("exit")
        engine.send("force")
        engine.sync()
        engine.send("go")
        lines = self.xboard_move(engine)
        depths = [int(line.split()[0]) for line in lines if re.match(r"^\d+ -?\d+ \d+ \d+", line)]
        self.assertTrue(depths, lines)
        self.assertLessEqual(max(depths), 2, lines)

    def test_xboard_analysis_reports_every_line_of_every_depth(self):
        engine = self.start(uci=False)
        for line in ("setoption name MultiPV value 3", "xboard", "post", "analyze"):
            engine.send(line)
        thinking = engine.read_until(lambda line: re.match(r"^6 ", line) is not None, self.margin(30))
        engine.send("exit")
        engine.sync()
        by_depth = {}
        for line in thinking:
            m = re.match(r"^(\d+) (-?\d+) \d+ \d+ (\S+)", line)
            if m:
                by_depth.setdefault(int(m.group(1)), set()).add(m.group(3))
        for depth in range(1, 6):
            self.assertGreaterEqual(len(by_depth.get(depth, ())), 3, (depth, thinking))

    def test_commands_typed_while_pondering_are_not_lost(self):
        # The engine ponders on its hint after its move; a command that is no
        # in-search command ends the ponder search and is run, with the game's
        # own position on the board.
        board_line = re.compile(r"^([ *][.KQRBNP]){8}$")
        engine = self.start(uci=False)
        for line in ("xboard", "new", "hard", "sd 4", "e2e4"):
            engine.send(line)
        self.xboard_move(engine)
        engine.read_until("Hint: ", self.margin(10))
        engine.send("time 5000")      # in-search lines keep the ponder search going
        engine.send("otim 5000")
        engine.send("brd")
        lines = engine.read_until(lambda line: board_line.match(line) is not None, self.margin(10))
        board = [lines[-1]] + [engine.read_line(self.margin(5)) for _ in range(7)]
        self.assertEqual(engine.ask("brd"), board)   # the game's position, not the pondered one
        self.assertEqual(engine.ask("mvd"), ["castling flags = 15"])
        # The next ponder search, ended by "uci".
        engine.send("g1f3")
        self.xboard_move(engine)
        engine.read_until("Hint: ", self.margin(10))
        engine.send("uci")
        engine.read_until("uciok", self.margin(10))

    def test_new_during_the_engines_search_starts_a_new_game(self):
        # "new" ends the search without a move and leaves the initial
        # position on the board, with the engine to move as Black again.
        engine = self.start(uci=False)
        for line in ("xboard", "new", "easy", "post"):
            engine.send(line)
        start_board = engine.ask("brd")
        engine.send("loadfen r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8")
        engine.send("sd 60")
        engine.send("go")
        engine.read_until(lambda line: re.match(r"^[2-9] ", line) is not None, self.margin(20))
        engine.send("new")
        lines = engine.ask("brd")
        self.assertFalse([line for line in lines if line.startswith("move ")], lines)
        self.assertEqual(lines[-len(start_board):], start_board)
        self.assertEqual(engine.ask("mvd"), ["castling flags = 15"])

    def test_console_move_gets_a_reply(self):
        engine = self.start(uci=False)
        for line in ("easy", "st 1", "e2e4"):
            engine.send(line)
        start = time.monotonic()
        self.assertRegex(self.xboard_move(engine)[-1], r"^move [a-h][1-8][a-h][1-8]$")
        self.assertLess(time.monotonic() - start, self.margin(1.3))
        engine.send("e2e5")
        self.assertIn("Illegal move: e2e5", engine.sync())


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Search", SearchConversation, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
