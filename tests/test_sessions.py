"""Process tests of whole sessions: an xboard game with edit and analyze
modes, a person at the console, edit and analyze mode at the end of input,
and self-play over "openings.epd".

Run: python3 test_sessions.py --program NAME=PATH [--program ...]
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import ProgramCase, parse_program_args, program_suite, run_tests  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

START_BOARD = [
    "*R*N*B*Q*K*B*N*R",
    "*P*P*P*P*P*P*P*P",
    " . . . . . . . .",
    " . . . . . . . .",
    " . . . . . . . .",
    " . . . . . . . .",
    " P P P P P P P P",
    " R N B Q K B N R",
]
MOVE = re.compile(r"^move ([a-h][1-8][a-h][1-8][qrbn]?)$")
THINKING = re.compile(r"^\s*(\d+)\s+(-?\d+)\s+(\d+)\s+(\d+)\s+(.*)$")
FULL_STAT = re.compile(r"^stat01: \d+ \d+ \d+ -?\d+ \d+ \S+$")
IDLE_STAT = "stat01: 0 0 0 0 0"

# What xboard sends to set up White Kb6 and Rh2 against Black Ka8.
EDIT_MATE_IN_ONE = ["edit", "#", "Kb6", "Rh2", "c", "Ka8", "."]
MATE_IN_ONE_BOARD = [
    "*K . . . . . . .",
    " . . . . . . . .",
    " . K . . . . . .",
    " . . . . . . . .",
    " . . . . . . . .",
    " . . . . . . . .",
    " . . . . . . . R",
    " . . . . . . . .",
]

HELP_FIRST_PAGE = [
    "Corvatine commands:",
    "-" * 78,
    "",
    "analyze ................... Enters analyze mode",
    "black ..................... Sets black to move and engine side to white",
    "brd ....................... Prints a board",
    "bkm ....................... Prints book moves for current position",
    "easy ...................... Toggles pondering off",
    "edit ...................... Edit board position",
    "egtbstat .................. Displays current EGTB status",
    "epdevl <f> ................ Produces static evaluations for EPD-file <f>",
    "evl ....................... Shows static evaluation for current position",
    "force ..................... Toggles autoplay off",
    "go ........................ Starts search",
    "hard ...................... Toggles pondering on",
    "help ...................... Displays this help",
    "level <m> <t> <i> ......... Sets ICS time controls",
    "loadfen <e> ............... Sets FEN-position <e>",
    "moves ..................... Displays all legal moves with ranking priorities",
    "mvd ....................... Shows position flags",
    "new ....................... Starts a new game",
    "nopost .................... Toggles silent mode on",
    "",
]
HELP_SECOND_PAGE = [
    "Press <enter> to continue....",
    "perft <d> ................. Tests the move generator/make_move with depth <d>",
    "post ...................... Toggles silent mode off",
    "q[uit] .................... Exits Corvatine",
    "remove .................... Un-makes last moves of each side",
    "sd <d> .................... Sets max search depth to <d>",
    "st <t> .................... Sets max search time to <t>",
    "time <t> .................. Sets remaining game time in milliseconds to <t>",
    "uci ....................... UCI mode",
    "undo ...................... Un-makes last move of one side",
    "white ..................... Sets white to move and engine side to black",
    "",
]


def moves_of(lines):
    return [MOVE.match(line).group(1) for line in lines if MOVE.match(line)]


class Sessions(ProgramCase):
    def start(self):
        engine = self.launch()
        engine.sync(30)
        return engine

    def wait_for_idle_analysis(self, engine):
        """Sends "." until the analysis has ended by itself: during the search
        the report is the full one, between searches the empty one."""
        deadline = time.monotonic() + self.wait_s(10)
        while True:
            engine.send(".")
            report = engine.read_until("stat01")[-1]
            if report == IDLE_STAT:
                return
            self.assertRegex(report, FULL_STAT.pattern)
            if time.monotonic() > deadline:
                engine.fail("the analysis did not end by itself")
            time.sleep(0.1)

    def engine_move(self, engine):
        """The engine's reply ("move ..."); gives (the move, the lines before it)."""
        lines = engine.read_until(lambda line: MOVE.match(line) is not None, self.wait_s(20))
        return moves_of(lines)[-1], lines

    # -- xboard -----------------------------------------------------------------
    def test_xboard_game_with_edit_and_analyze(self):
        engine = self.start()
        for line in ("xboard", "new", "level 40 5 0", "post"):
            engine.send(line)

        # Pondering off: the engine answers and is silent afterwards.
        engine.send("easy")
        engine.send("time 1000")
        engine.send("otim 1000")
        engine.send("e2e4")
        reply, lines = self.engine_move(engine)
        self.assertTrue(any(THINKING.match(line) for line in lines), lines)
        self.assertEqual([line for line in engine.read_quiet(0.5) if line.startswith("Hint")], [])

        # Pondering on: the engine names the move it ponders on after its reply.
        engine.send("hard")
        engine.send("time 1000")
        engine.send("d2d4")  # legal after any first move of Black
        self.engine_move(engine)
        hint = engine.read_until("Hint: ", self.wait_s(10))[-1]
        self.assertRegex(hint, r"^Hint: [a-h][1-8][a-h][1-8]$")
        # "force" ends the ponder search; the pondered move is not kept.
        engine.send("force")
        self.assertEqual([line for line in engine.sync() if MOVE.match(line)], [])
        engine.send("remove")
        engine.send("remove")
        self.assertEqual(engine.ask("brd"), START_BOARD)
        engine.send("easy")

        # A moved pawn brought back by "undo" in force mode.
        engine.send("g1f3")
        self.assertNotEqual(engine.ask("brd"), START_BOARD)
        engine.send("undo")
        self.assertEqual(engine.ask("brd"), START_BOARD)

        # Edit mode; "black" and "white" choose who moves, "go" makes the
        # engine play that side.
        for line in EDIT_MATE_IN_ONE:
            engine.send(line)
        self.assertEqual(engine.ask("brd"), MATE_IN_ONE_BOARD)
        self.assertEqual(engine.ask("mvd"), ["castling flags = 0"])
        engine.send("black")
        engine.send("go")
        self.assertEqual(self.engine_move(engine)[0], "a8b8")  # the one legal move
        engine.send("force")
        engine.send("white")
        engine.send("go")
        self.assertEqual(self.engine_move(engine)[0], "h2h8")
        engine.sync()

        # Analyze mode on the mated position: the analysis ends at once and
        # "." is answered between searches.
        engine.send("analyze")
        engine.read_until("1-0 {White mates}", self.wait_s(10))
        engine.send(".")
        self.assertEqual(engine.read_until("stat01")[-1], IDLE_STAT)
        # "undo" takes the mate back and the analysis finds it again.
        engine.send("undo")
        lines = engine.read_until(lambda line: bool(THINKING.match(line)) and "h2h8" in line, self.wait_s(10))
        self.assertNotIn("move maked...", lines)
        # A move typed between searches is played and analysed.
        self.wait_for_idle_analysis(engine)
        engine.send("h2h7")
        engine.read_until("move maked...")
        engine.send("h2h6")
        engine.read_until("Illegal move: h2h6")
        engine.send("exit")
        board = [line for line in engine.ask("brd") if not THINKING.match(line)]
        self.assertEqual(board[1], " . . . . . . . R")  # the rook went to h7

        # Analysis of the initial position runs until told otherwise: "."
        # gets the full report, a move typed during the search is played,
        # an illegal one is refused and the analysis goes on.
        engine.send("new")
        engine.send("analyze")
        engine.read_until(lambda line: bool(THINKING.match(line)) and int(THINKING.match(line).group(1)) >= 3,
                          self.wait_s(20))
        engine.send(".")
        self.assertRegex(engine.read_until("stat01")[-1], FULL_STAT.pattern)
        engine.send("e2e5")
        engine.read_until("Illegal move: e2e5")
        engine.send(".")
        self.assertRegex(engine.read_until("stat01")[-1], FULL_STAT.pattern)
        engine.send("e2e4")
        # Black is to move now: the analysis starts over with Black's moves.
        lines = engine.read_until(lambda line: bool(THINKING.match(line)) and
                                  THINKING.match(line).group(5).split()[0][1] in "78", self.wait_s(20))
        engine.send("undo")
        engine.send("exit")
        self.assertEqual([line for line in engine.ask("brd") if not THINKING.match(line)], START_BOARD)
        engine.send("quit")
        self.assertEnds(engine)

    def test_edit_takes_the_characters_of_the_same_read(self):
        engine = self.start()
        engine.send_raw(b"edit\n#\nKe1\nRh1\nc\nKe8\n.\nmvd\n")
        self.assertEqual(engine.read_until("castling flags"), ["castling flags = 1"])
        self.assertEqual(engine.ask("edit\nz\nPi9\n."), ["Error", "Error", "Error"])
        engine.send("quit")
        self.assertEnds(engine)

    def test_end_of_input_leaves_edit_and_analyze(self):
        cases = {
            "edit": b"edit\n#\nKe1\nzz",
            "edit, errors only": b"edit\n" + b"z" * 50,
            "analyze, searching": b"xboard\nnew\nanalyze\n",
            "analyze, idle": b"xboard\n" + "\n".join(EDIT_MATE_IN_ONE).encode() + b"\nh2h8\nanalyze\n",
        }
        for name, data in cases.items():
            with self.subTest(name):
                engine = self.start()
                engine.send("force")
                engine.send_raw(data)
                time.sleep(0.3)
                engine.close_input()
                self.assertEnds(engine)
                # Edit mode says "Error" once per bad character, not for ever.
                self.assertLessEqual(engine.transcript.count("Error"), 52)

    def test_quit_between_analysis_searches(self):
        engine = self.start()
        for line in ["force", *EDIT_MATE_IN_ONE, "h2h8", "analyze"]:
            engine.send(line)
        engine.read_until("1-0 {White mates}", self.wait_s(10))
        engine.send("quit")
        self.assertEnds(engine)

    # -- console ----------------------------------------------------------------
    def test_console_session(self):
        engine = self.start()
        # "help" prints its first page and waits for a line, which it swallows.
        engine.send("help")
        self.assertEqual(engine.read_until(HELP_FIRST_PAGE[-2]), HELP_FIRST_PAGE[:-1])
        self.assertEqual(engine.read_quiet(0.5), [""])  # the prompt has no line end yet
        engine.send("brd")
        self.assertEqual(engine.sync(), HELP_SECOND_PAGE)

        # "moves": the header, an empty line and the 20 moves with their scores.
        reply = engine.ask("moves")
        self.assertEqual(reply[:2], ["-------------- Legal moves: ----------------", ""])
        self.assertEqual(len(reply), 3)
        entries = reply[2].split("; ")
        self.assertEqual(entries[-1], "")
        self.assertEqual(len(entries[:-1]), 20, reply[2])
        for entry in entries[:-1]:
            self.assertRegex(entry, r"^\S+ \(-?\d+\)$")

        self.assertEqual(engine.ask("brd"), START_BOARD)
        evl = engine.ask("evl")
        self.assertEqual(len(evl), 11)
        self.assertRegex(evl[0], r"^Heuristic = -?\d+$")

        # After "e2e4" the engine replies for Black at a fixed depth; then it
        # is White's turn again.
        engine.send("easy")
        engine.send("sd 3")
        engine.send("e2e4")
        reply, _ = self.engine_move(engine)
        self.assertRegex(reply, r"^[a-h][78]")
        self.assertGreaterEqual(len(engine.ask("moves")[2].split("; ")) - 1, 20)
        engine.send("new")
        self.assertEqual(engine.ask("brd"), START_BOARD)
        engine.send("quit")
        self.assertEnds(engine)

    def test_go_without_limits_searches_until_stopped(self):
        # At the terminal "go" with no clock, depth or time set searches on
        # until "?" (or any move or command that ends a search) stops it.
        engine = self.start()
        engine.send("easy")
        engine.send("go")
        quiet = engine.read_quiet(quiet=1.5, timeout=1.5)
        self.assertFalse([line for line in quiet if line.startswith("move ")], quiet)
        engine.send("?")
        reply = engine.read_until(lambda line: line.startswith("move "), self.wait_s(5))
        self.assertRegex(reply[-1], r"^move [a-h][1-8][a-h][1-8]$")
        engine.send("quit")
        self.assertEnds(engine)

    def test_help_at_the_end_of_input(self):
        engine = self.start()
        engine.send("help")
        engine.read_until(HELP_FIRST_PAGE[-2])
        engine.close_input()
        self.assertEnds(engine)
        self.assertEqual(engine.transcript[-1], "")
        self.assertEqual(engine.transcript[-2], HELP_SECOND_PAGE[-2])

    # -- self-play -----------------------------------------------------------------
    def test_demo(self):
        engine = self.start()
        self.assertEqual(engine.ask("demo"), ["Cannot open openings.epd: no games to play"])
        with open(os.path.join(engine.cwd, "openings.epd"), "w") as out:
            out.write("k7/8/1K6/8/8/8/7R/8 w - - 0 1\n"
                      "\n"
                      "4k3/8/4K3/8/8/8/8/8 w - - 0 1\n"
                      "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\n")
        engine.send("sd 2")
        engine.send("nopost")
        lines = engine.ask("demo", self.wait_s(30))
        lines = [line for line in lines if not THINKING.match(line)]
        self.assertEqual(lines, [
            "-------------- Game #1 --------------",
            "move h2h8",
            "1-0 {White mates}",
            "Illegal FEN: a king is missing",
            "-------------- Game #2 --------------",
            "1/2-1/2 {Draw by insufficient material}",
            lines[6],
            "-------------- Game #3 --------------",
            "1/2-1/2 {Stalemate}",
        ])
        self.assertRegex(lines[6], MOVE.pattern)
        # Pondering (on from the start) is on again: a reply brings a hint.
        engine.send("loadfen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1")
        engine.send("e2e4")
        self.engine_move(engine)
        engine.read_until("Hint: ", self.wait_s(20))
        engine.send("quit")
        self.assertEnds(engine)


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Sessions", Sessions, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
