"""Process tests: each program driven through standard input as a GUI or a
person at a terminal would drive it.

Run: python3 test_programs.py --program NAME=PATH [--program ...] [--shared DIR]
"""

import errno
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import Engine, ProgramCase, parse_program_args, program_suite, run_tests, sanitized  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

BANNER = "Corvatine v1.96 [r2358/29.06.2016]"
START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
SHIPPED_VALUES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "values.txt")
# Middlegames, passed pawns with kings near, a pawn race, rook endings.
EVAL_FENS = [
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "8/5k2/8/3P4/8/2K5/8/8 w - - 0 1",
    "8/1p3k2/8/P7/6p1/8/5K2/8 b - - 0 1",
    "3r2k1/5ppp/8/1P6/8/8/5PPP/2R3K1 w - - 0 1",
    "6k1/5p2/4p1p1/3pP3/1p1P4/1P3K2/5PP1/8 w - - 0 1",
]

UCI_LINES = [
    "id name Corvatine 1.96",
    "id author Quendrel",
    "option name Hash type spin min 0 max 1024 default 10",
    "option name PawnHash type spin min 0 max 1024 default 7",
    "option name SyzygyPath type string default c:\\tablebases\\",
    "option name OpeningsBook type string default .\\book.crv",
    "option name OwnBook type check default true",
    "option name MultiPV type spin min 1 max 1024 default 1",
    "option name Aggressivity type spin min 0 max 300 default 100",
    "option name Defensivity type spin min 0 max 300 default 100",
    "option name Clear Hash type button",
    "uciok",
]


def board_lines(fen):
    """What "brd" prints for the placement of fen: rank 8 first, "*X" for a
    black piece, " X" for a white one, " ." for an empty square."""
    lines = []
    for rank in fen.split()[0].split("/"):
        text = ""
        for c in rank:
            if c.isdigit():
                text += " ." * int(c)
            elif c.islower():
                text += "*" + c.upper()
            else:
                text += " " + c
        lines.append(text)
    return lines


class ProgramTests(ProgramCase):
    def start(self, sync=True):
        """A running program whose start-up output has been read."""
        engine = self.launch()
        if sync:
            engine.sync()
        return engine

    def assertBoard(self, engine, fen):
        self.assertEqual(engine.ask("brd"), board_lines(fen))

    def test_banner_comes_first(self):
        engine = self.start(sync=False)
        self.assertEqual(engine.read_line(10), BANNER)
        # Without "values.txt" the start-up says so once and goes on with the
        # compiled defaults.
        self.assertEqual(engine.sync().count("Error loading values.txt"), 1)
        self.assertEqual(len(engine.ask("evl")), 11)

    def test_shipped_values_file_loads_cleanly_and_changes_the_evaluation(self):
        # The parameter set shipped beside the program loads without a read
        # error or a repair, and it is not the compiled fallback set: most
        # positions evaluate differently with it.
        directory = tempfile.TemporaryDirectory(prefix="crv-values-")
        self.addCleanup(directory.cleanup)
        shutil.copy(SHIPPED_VALUES, directory.name)
        shipped = self.launch(cwd=directory.name)
        startup = shipped.sync(self.wait_s(10))
        self.assertFalse([line for line in startup if "values.txt" in line or "fix [" in line], startup)
        compiled = self.start()
        differ = 0
        for fen in EVAL_FENS:
            with self.subTest(fen=fen):
                shipped.send(f"loadfen {fen}")
                compiled.send(f"loadfen {fen}")
                with_file, without = shipped.ask("evl"), compiled.ask("evl")
                self.assertEqual(len(with_file), 11)
                differ += with_file != without
        self.assertGreaterEqual(differ, len(EVAL_FENS) - 1)

    def test_quit_words_end_with_code_0(self):
        for word in ("quit", "q", "qwerty", "  Q"):
            with self.subTest(word=word):
                engine = self.start()
                engine.send(word)
                self.assertEnds(engine)

    def test_end_of_input_ends_with_code_0(self):
        # A last line without its line end is never carried out.
        for tail in (b"", b"isready"):
            with self.subTest(tail=tail):
                engine = self.start(sync=False)
                engine.send_raw(tail)
                engine.close_input()
                self.assertEnds(engine)
                self.assertNotIn("readyok", engine.transcript)

    def test_interrupt_signal_is_ignored(self):
        engine = self.start()
        engine.proc.send_signal(signal.SIGINT)
        engine.sync()
        engine.send("quit")
        self.assertEnds(engine)

    def test_closed_output_does_not_end_the_program(self):
        # A GUI that stops reading must not kill the engine with SIGPIPE: the
        # replies are lost, the input is still carried out to "quit".
        with tempfile.TemporaryDirectory(prefix="crv-") as cwd:
            command = [os.path.abspath(self.program)]
            try:
                proc = subprocess.Popen(command, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
            except OSError as error:
                emulator = shutil.which("qemu-i386")
                if error.errno != errno.ENOEXEC or emulator is None:
                    raise
                proc = subprocess.Popen([emulator, *command], cwd=cwd, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            proc.stdout.close()
            try:
                proc.stdin.write(b"perft 2\nbrd\nuci\nquit\n")
                proc.stdin.close()
                self.assertEqual(proc.wait(60), 0)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()

    def test_uci_identification(self):
        engine = self.start()
        engine.send("uci")
        self.assertEqual(engine.read_until("uciok"), UCI_LINES)

    def test_isready_answers_every_line(self):
        engine = self.start()
        engine.send_raw(b"isready\nisready\r\nisready\n")
        for _ in range(3):
            engine.read_until("readyok")

    def test_position_with_moves(self):
        engine = self.start()
        engine.send("position startpos moves e2e4 e7e5")
        self.assertBoard(engine, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR")
        # Moves behind a FEN; an illegal one is skipped silently.
        engine.send("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1g1 e8e7 h1h8")
        self.assertBoard(engine, "8/4k3/8/8/8/8/8/5RK1")
        self.assertEqual(engine.ask("position fen 4k3/8/8/8/8/8/8/R3K3 w Q - 0 1 moves e1c1"), [])
        self.assertBoard(engine, "4k3/8/8/8/8/8/8/2KR4")

    def test_crlf_line(self):
        engine = self.start()
        engine.send_raw(b"position startpos moves d2d4\r\n")
        self.assertBoard(engine, "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR")
        self.assertEqual(engine.ask("mvd\r"), ["castling flags = 15"])

    def test_typed_moves_undo_and_remove(self):
        engine = self.start()
        engine.send("force")  # no reply moves from the engine
        self.assertEqual(engine.ask("e2e5"), ["Illegal move: e2e5"])
        self.assertEqual(engine.ask("e2e4"), [])
        self.assertEqual(engine.ask("e7e5"), [])
        self.assertBoard(engine, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR")
        engine.send("undo")
        self.assertBoard(engine, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR")
        engine.send("e7e5")
        engine.send("remove")
        self.assertBoard(engine, START_FEN)
        # Nothing left to take back: the position stays.
        engine.send("remove")
        self.assertBoard(engine, START_FEN)

    def test_take_back_stops_at_the_fen(self):
        # An en-passant FEN starts the game with a made-up double step, which
        # must not be taken back.
        fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"
        for command in (f"loadfen {fen}", f"position fen {fen}"):
            with self.subTest(command=command):
                engine = self.start()
                engine.send(command)
                engine.send("force")
                engine.send("undo")
                self.assertBoard(engine, fen)
                engine.send("d7d5")
                engine.send("remove")
                self.assertBoard(engine, fen)

    def test_bad_fen_leaves_the_position(self):
        good = "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1"
        bad = [
            "8/8/8/8/8/8/8/8 w - - 0 1",                                 # no kings
            "4k3/8/8/8/8/8/8/8 w - - 0 1",                               # no white king
            "4k3/8/8/8/8/8/8/K3K3 w - - 0 1",                            # two white kings
            "4k3/8/8/8/8/8/8/4K4R w - - 0 1",                            # nine files
            "4k3/8/8/8/8/8/8/8/4K3 w - - 0 1",                           # nine ranks
            "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",                            # pawn on rank 8
            "4k3/8/8/8/8/8/8/p3K3 w - - 0 1",                            # pawn on rank 1
            "4k3/8/8/8/8/8/PPPPPPPP/P3K3 w - - 0 1",                     # nine white pawns
            "",                                                          # nothing at all
            "K7/8/8/8/8/8/8/k6Q w - - 0 1",                              # the side not to move in check
            "4k3/8/8/8/8/8/8/3qK3 b - - 0 1",
            "8/8/8/8/8/8/8/R2kK3 w - - 0 1",                             # the kings touch
        ]
        engine = self.start()
        engine.send(f"loadfen {good}")
        for fen in bad:
            for command in (f"loadfen {fen}", f"position fen {fen}"):
                with self.subTest(command=command):
                    reply = engine.ask(command)
                    self.assertEqual(len(reply), 1, reply)
                    self.assertBoard(engine, good)
                    self.assertEqual(engine.ask("mvd"), ["castling flags = 3"])
        # The moves behind a refused position are not played on the old one.
        self.assertEqual(len(engine.ask("position fen K7/8/8/8/8/8/8/k6Q w - - 0 1 moves e1e2")), 1)
        self.assertBoard(engine, good)

    def test_bytes_beyond_ascii(self):
        # Every byte value reaches the character tables as an unsigned index
        # (the sanitizer build catches a negative one); such text is no
        # command and no move.
        high = bytes(range(0x80, 0x100))
        lines = [
            high + b"\n",
            b"\xc9\xff\x80\n",
            b"loadfen " + high[:40] + b" w KQ - 0 1\n",
            b"loadfen 4k3/8/8/8/8/8/8/R3K2R \xff \xd7\xc6 \xe5\xb3 0 1\n",
            b"force\n",
            b"\xe5\xb2\xe5\xb4\n",
            b"e\xb2e4\n",
            b"perft\xff 1\n",
        ]
        engine = self.start()
        for line in lines:
            engine.send_raw(line)
        engine.sync()
        engine.send("loadfen 4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1")
        self.assertBoard(engine, "4k3/8/8/8/8/8/8/R3K2R")
        self.assertEqual(engine.ask("mvd"), ["castling flags = 3"])
        engine.send("quit")
        self.assertEnds(engine)

    def test_over_long_lines_are_cut(self):
        castling = ["castling flags = 15"]
        cases = {
            "20000 characters": ("a" * 20000, []),
            "5000 tokens": ("mvd " + "x " * 5000, castling),
            "long token": ("mvd " + "y" * 3000, castling),
            "long tokens behind the first 64": ("mvd " + "z " * 100 + "w" * 400 + " v" * 10, castling),
            "long position line": ("position startpos moves " + "g1f3 g8f6 f3g1 f6g8 " * 1200, []),
            "long level line": ("level " + "1:" * 3000, []),
            # Only the front of an over-long line counts: the quit behind the
            # cut must not be carried out as a line of its own.
            "quit behind the cut": (" " * 10000 + "quit", []),
        }
        engine = self.start()
        for name, (line, reply) in cases.items():
            with self.subTest(case=name):
                self.assertEqual(engine.ask(line), reply)
        engine.send("position startpos")
        self.assertBoard(engine, START_FEN)
        engine.send("quit")
        self.assertEnds(engine)

    def test_a_game_longer_than_the_record_goes_on(self):
        # The oldest moves leave the record; every move is played, so the
        # engine answers for the side the interface means.
        shuffle = "g1f3 g8f6 f3g1 f6g8 "
        engine = self.start()
        engine.send("uci")
        engine.read_until("uciok")
        knight_out = "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 0 1"
        cases = {  # moves of the position line: the board and side after them
            "700 plies": (shuffle * 175, START_FEN, "[a-h][12][a-h][1-4]"),
            "701 plies, Black to move": (shuffle * 175 + "g1f3", knight_out, "[a-h][78][a-h][5-8]"),
            "901 plies (two drops), Black to move": (shuffle * 225 + "g1f3", knight_out, "[a-h][78][a-h][5-8]"),
        }
        for name, (moves, fen, bestmove) in cases.items():
            with self.subTest(case=name):
                self.assertEqual(engine.ask("position startpos moves " + moves), [])
                self.assertBoard(engine, fen)
                engine.send("go depth 4")
                self.assertRegex(engine.read_until("bestmove", 60)[-1], rf"^bestmove {bestmove}\b")
        # A game typed move by move runs on past the record too, with take-back
        # of the recent moves.
        engine.send("position startpos moves " + shuffle * 141)  # 564 plies
        engine.send("force")
        self.assertEqual(engine.ask("g1f3"), [])
        self.assertEqual(engine.ask("g8f6"), [])
        engine.send("undo")
        self.assertBoard(engine, knight_out)
        engine.send("undo")
        self.assertBoard(engine, START_FEN)
        # Room is left above the last ply for the search.
        self.assertRegex(engine.ask("perft 3")[0], r"^total moves = 8902 ")

    def test_perft_and_mode_commands(self):
        engine = self.start()
        reply = engine.ask("perft 3")
        self.assertEqual(len(reply), 1)
        self.assertRegex(reply[0], r"^total moves = 8902 time = \d+\.\d\d$")
        for line in ("perft 0", "perft -1", "perft 99999999999999999999"):
            with self.subTest(line=line):
                self.assertEqual(len(engine.ask(line)), 1)
        # Words that set modes print nothing; unknown lines are ignored.
        for line in ("xboard", "post", "nopost", "force", "white", "black",
                     "debug on", "debug off", "new", "st 5", "sd 4", "level 40 5 0",
                     "time 30000", "easy", "hard", "stop", "ucinewgame", "zzz"):
            with self.subTest(line=line):
                self.assertEqual(engine.ask(line), [])
        engine.send("quit")
        self.assertEnds(engine)

    def test_evl_prints_the_evaluation_term_by_term(self):
        number = r"(-?\d+)"
        lines = [
            rf"^Heuristic = {number}$",
            r"^PassedVector\[BLACK\] = ([01]{8}) PassedVector\[WHITE\] = ([01]{8})$",
            rf"^current_phase = {number}, black_phase = {number}, white_phase = {number}$",
            rf"^Material\[WHITE\] = {number} thread_board.Material\[BLACK\] = {number} "
            rf"EvaluateMaterial\(\) = {number}$",
            r"^ENDING\(WHITE\) = ([01]) ENDING\(BLACK\) = ([01])$",
            rf"^thread_eval_info.shelter_penalty\[BLACK\] = {number} "
            rf"thread_eval_info.shelter_penalty\[WHITE\] = {number}$",
            rf"^thread_eval_info.danger\[BLACK\] = {number} thread_eval_info.danger\[WHITE\] = {number}$",
            rf"^Attacks\[ChangeSide\(thread_board.SideToMove\)\] = {number}$",
            rf"^Attacks\[thread_board.SideToMove\] = {number}$",
            rf"^Shelter\[BLACK\] = {number} Shelter\[WHITE\] = {number}$",
            rf"^Dng = {number}$",
        ]

        def evl(engine, white_to_move=True):
            reply = engine.ask("evl")
            self.assertEqual(len(reply), 11, reply)
            fields = []
            for line, pattern in zip(reply, lines):
                match = re.match(pattern, line)
                self.assertIsNotNone(match, f"{line!r} !~ {pattern}")
                fields.append(match.groups())
            # Dng is the attack on the king of the side not to move plus its shelter.
            shelter = int(fields[9][0 if white_to_move else 1])
            self.assertEqual(int(fields[10][0]), int(fields[7][0]) + shelter)
            return reply, fields

        engine = self.start()
        reply, fields = evl(engine)
        self.assertEqual(reply[1:5], [
            "PassedVector[BLACK] = 00000000 PassedVector[WHITE] = 00000000",
            "current_phase = 0, black_phase = 0, white_phase = 0",
            "Material[WHITE] = 3900 thread_board.Material[BLACK] = 3900 EvaluateMaterial() = 0",
            "ENDING(WHITE) = 0 ENDING(BLACK) = 0",
        ])
        self.assertLessEqual(abs(int(fields[0][0])), 30)
        # "reload" without values.txt keeps the compiled values.
        self.assertEqual(engine.ask("reload"), ["Error loading values.txt"])
        self.assertEqual(evl(engine)[0], reply)

        # King and rook against king, and its colour-flipped twin.
        engine.send("loadfen 8/8/4k3/8/8/4K3/8/R7 w - - 0 1")
        reply, fields = evl(engine)
        self.assertGreater(int(fields[0][0]), 300)
        self.assertEqual(reply[2:6], [
            "current_phase = 235, black_phase = 256, white_phase = 213",
            "Material[WHITE] = 500 thread_board.Material[BLACK] = 0 EvaluateMaterial() = "
            + fields[3][2],
            "ENDING(WHITE) = 1 ENDING(BLACK) = 1",
            "thread_eval_info.shelter_penalty[BLACK] = 0 thread_eval_info.shelter_penalty[WHITE] = 0",
        ])
        engine.send("loadfen r7/8/4k3/8/8/4K3/8/8 b - - 0 1")
        twin, twin_fields = evl(engine, white_to_move=False)
        self.assertEqual(twin[0], reply[0])
        self.assertEqual(int(twin_fields[3][2]), -int(fields[3][2]))
        # A bishop of the wrong colour for its rook pawn cannot win: with it
        # to move and not behind, an exact draw.
        engine.send("loadfen k7/8/8/8/8/8/P7/K1B5 w - - 0 1")
        self.assertEqual(evl(engine)[0][0], "Heuristic = 0")
        engine.send("quit")
        self.assertEnds(engine)

    def test_hash_size_0_gives_working_tables(self):
        engine = self.start()
        engine.send("uci")
        engine.read_until("uciok")
        engine.send("setoption name Hash value 0")
        engine.send("setoption name PawnHash value 0")
        engine.send("position startpos moves e2e4")
        engine.send("go depth 5")
        lines = engine.read_until("bestmove", 60)
        full = [int(m.group(1)) for m in (re.search(r" hashfull (\d+)", line) for line in lines) if m]
        self.assertTrue(full, lines)
        self.assertEqual(set(full), {0}, full)  # a table of 0 entries: nothing fills it
        self.assertNotEqual(lines[-1].split()[1], "0000")
        engine.send("quit")
        self.assertEnds(engine)

    def test_a_failed_hash_allocation_falls_back_to_a_smaller_table(self):
        # An address-space limit makes the 1024 MB table fail: the engine says
        # so in one line, takes the largest smaller table it can have and goes
        # on. Only the plain 64-bit serial program runs natively without a
        # large reserved address space.
        if os.path.basename(self.program) != "crv_serial":
            self.skipTest("needs the plain 64-bit serial program")
        if sanitized(self.program):
            self.skipTest("a sanitized program cannot start under an address-space limit")
        path = os.path.abspath(self.program)
        engine = Engine("/bin/sh", args=["-c", f'ulimit -v 400000 && exec "{path}"'])
        self.addCleanup(engine.close)
        engine.sync()
        said = engine.ask("setoption name Hash value 1024", 30)
        self.assertEqual(len(said), 1, said)
        match = re.match(r"^info string Transposition table of 44739242 entries could not be allocated; "
                         r"(\d+) entries in use$", said[0])
        self.assertIsNotNone(match, said)
        self.assertLess(int(match.group(1)), 44739242)
        self.assertGreater(int(match.group(1)), 0)
        engine.send("uci")
        engine.read_until("uciok")
        engine.send("position startpos")
        engine.send("go depth 5")
        self.assertRegex(engine.read_until("bestmove", 60)[-1], r"^bestmove [a-h][1-8][a-h][1-8]")
        engine.send("quit")
        self.assertEnds(engine)


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Programs", ProgramTests, PROGRAMS)


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
