"""Process tests of the opening book: fixture books written by crv_make_book
(or by hand where the file must be broken), the start-up messages, the "bkm"
listing, book moves in UCI play, and book learning checked byte by byte in
the file after real UCI game sequences, also with two programs learning into
one file and a program killed while learning.

Run: python3 test_book.py --program NAME=PATH [--program ...] --maker PATH
"""

import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import ProgramCase, parse_program_args, program_suite, run_tests  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])
MAKER = None
if "--maker" in REST:
    at = REST.index("--maker")
    MAKER = os.path.abspath(REST[at + 1])
    del REST[at:at + 2]

START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
AFTER_E4_E5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2"
MAGIC = b"~Corvatine openings book"

# The start position with every kind of entry, and the position after 1.e4 e5.
LISTING_BOOK = f"""# comment line
{START} | e2e4 10 4; d2d4 0 0; g1f3 255 255; c2c4 3 3  # trailing comment
{AFTER_E4_E5} | g1f3 0 0
"""

# Castling in the book key's placement: the book has e1g1 (written with the
# rights), the engine's position has no rights, so e1g1 is illegal there.
CASTLE_FEN = "4k3/8/8/8/8/8/P7/4K2R w K - 0 1"
NO_CASTLE_FEN = "4k3/8/8/8/8/8/P7/4K2R w - - 0 1"

# Learning fixtures: the position two plies before the root of the search.
WON_START = "4k3/8/8/8/8/8/8/4K2Q w - - 0 1"            # then e1d2 e8d8 d2c2 d8c7
WON_BOOK_FEN = "3k4/8/8/8/8/8/3K4/7Q w - - 0 1"          # after e1d2 e8d8: d2c2
LOST_START = "4k2q/8/8/8/8/8/8/4K3 w - - 0 1"           # then e1d1 h8h7 d1c1 h7g7
LOST_BOOK_FEN = "4k3/7q/8/8/8/8/8/3K4 w - - 0 1"         # after e1d1 h8h7: d1c1
AFTER_F3_E5 = "rnbqkbnr/pppp1ppp/8/4p3/8/5P2/PPPPP1PP/RNBQKBNR w KQkq - 0 2"  # g2g4, then Qh4 mates

LEARNING_BOOK = f"""{WON_BOOK_FEN} | d2c2 0 0; d2c1 0 0
{LOST_BOOK_FEN} | d1c1 0 0
{AFTER_E4_E5} | g1f3 0 0; b1c3 7 3
{AFTER_F3_E5} | g2g4 0 0
"""


def square(name):
    return (ord(name[0]) - 97) + 8 * (int(name[1]) - 1)


def book_entries(data):
    """Every entry of a version-1 book: {(from, to): [(offset of lo, lo, hi)]}."""
    count = struct.unpack_from("<I", data, 32)[0]
    entries = {}
    for i in range(count):
        offset = struct.unpack_from("<I", data, 36 + 12 * i + 8)[0]
        for k in range(data[offset]):
            at = offset + 1 + 4 * k
            entries.setdefault((data[at], data[at + 1]), []).append((at + 2, data[at + 2], data[at + 3]))
    return entries


class BookTests(ProgramCase):
    # -- fixtures -------------------------------------------------------------
    def folder(self):
        directory = tempfile.TemporaryDirectory(prefix="crv-book-")
        self.addCleanup(directory.cleanup)
        return directory.name

    def make_book(self, folder, text, version=1, name="Book.crv"):
        source = os.path.join(folder, "book.txt")
        with open(source, "w") as f:
            f.write(text)
        done = subprocess.run([MAKER, "--version", str(version), source, os.path.join(folder, name)],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        return os.path.join(folder, name)

    def start(self, folder, uci=True):
        engine = self.launch(cwd=folder)
        lines = engine.sync(60)
        if uci:
            engine.send("uci")
            engine.read_until("uciok", 30)
            engine.sync(30)
        return engine, lines

    def book_bytes(self, folder, name="Book.crv"):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    def entry(self, folder, move):
        found = book_entries(self.book_bytes(folder))[(square(move[:2]), square(move[2:4]))]
        self.assertEqual(len(found), 1, found)
        return found[0][1:]

    def go(self, engine, position, go="go depth 4"):
        engine.send(position)
        engine.send(go)
        return engine.read_until("bestmove", self.wait_s(60))

    # -- the maker ------------------------------------------------------------
    def test_maker_refuses_bad_lines_and_writes_nothing(self):
        folder = self.folder()
        source = os.path.join(folder, "bad.txt")
        target = os.path.join(folder, "Book.crv")
        for text, number in ((f"{START} | e2e4 1 1\n{START} e2e4 1 1\n", 2),     # no bar
                             (f"{START} | e2e5 1 1\n", 1),                       # illegal move
                             (f"\n{START} | e2e4 1 256\n", 2),                   # not a byte
                             (f"{START} | e2e4 1\n", 1),                         # version 1 needs two
                             (f"{START} | e2e4 1 1; e2e4 2 2\n", 1),             # a move twice
                             ("8/8/8/8 w - - 0 1 | e2e4 1 1\n", 1)):             # bad FEN
            with self.subTest(text=text):
                with open(source, "w") as f:
                    f.write(text)
                done = subprocess.run([MAKER, source, target], capture_output=True, text=True)
                self.assertEqual(done.returncode, 1)
                self.assertIn(f"line {number}:", done.stderr)
                self.assertEqual(sorted(os.listdir(folder)), ["bad.txt"])

    # -- opening --------------------------------------------------------------
    def test_start_up_messages(self):
        good = LISTING_BOOK
        cases = [
            ("version 1", lambda f: self.make_book(f, good), ["2 nodes in openings book"], "on"),
            ("version 0", lambda f: self.make_book(f, f"{START} | e2e4 5; d2d4 255\n", 0),
             ["NG: Book learning not supported for book version 0", "1 nodes in openings book"], "off"),
            ("bad magic", lambda f: self.write(f, b"~Corvatine openings bool" + bytes(12)),
             ["Invalid book format"], "on"),
            ("version 2", lambda f: self.write(f, MAGIC + struct.pack("<iII", 2, 0, 0)),
             ["Book version 2 not supported"], "on"),
            ("short head", lambda f: self.write(f, MAGIC + struct.pack("<i", 1)), ["Invalid book format"], "on"),
            ("index beyond the file", lambda f: self.write(f, MAGIC + struct.pack("<iII", 1, 0, 0x40000000)),
             ["Invalid book format"], "on"),
            ("empty index", lambda f: self.write(f, MAGIC + struct.pack("<iII", 1, 0, 0)),
             ["0 nodes in openings book"], "on"),
        ]
        for name, make, expected, learning in cases:
            with self.subTest(name):
                folder = self.folder()
                make(folder)
                engine, lines = self.start(folder)
                at = lines.index("Transposition size is 524288 entries (12582912 bytes)")
                self.assertEqual(lines[2:at], expected)
                self.assertIn(f"UseBookWeights = {learning}", lines)
                self.assertIn(f"UseBookLearning = {learning}", lines)
                # Whatever the book, the engine plays.
                self.assertTrue(self.go(engine, "position startpos", "go depth 2")[-1].startswith("bestmove"))

    def write(self, folder, data):
        with open(os.path.join(folder, "Book.crv"), "wb") as f:
            f.write(data)

    def test_a_failing_book_option_keeps_nothing(self):
        folder = self.folder()
        self.make_book(folder, LISTING_BOOK)
        self.make_book(folder, f"{START} | d2d4 1 1\n", name="other.crv")
        engine, _ = self.start(folder)
        # A Windows name is read as a Linux path, without a trailing blank.
        self.assertEqual(engine.ask("setoption name OpeningsBook value .\\other.crv \r"),
                         ["1 nodes in openings book"])
        self.assertEqual(engine.ask("bkm")[1:], ["1 moves from current pos in book:", "d2d4 50% (not less than 1 game(s))"])
        # The advertised default in Windows spelling finds "Book.crv".
        self.assertEqual(engine.ask("setoption name OpeningsBook value .\\book.crv"),
                         ["2 nodes in openings book"])
        self.assertEqual(engine.ask("setoption name OpeningsBook value missing.crv"),
                         ['Error opening "missing.crv"!'])
        self.assertEqual(engine.ask("bkm")[1:], ["No book loaded..."])
        lines = self.go(engine, "position startpos", "go depth 3")
        self.assertTrue(any(line.startswith("info depth") for line in lines), lines)

    def test_settings_file_names_the_book(self):
        folder = self.folder()
        self.make_book(folder, LISTING_BOOK, name="mine.crv")
        with open(os.path.join(folder, "Corvatine.ini"), "w") as f:
            f.write("OpeningsBook = books\\..\\mine.crv\n")
        os.mkdir(os.path.join(folder, "books"))
        engine, lines = self.start(folder, uci=False)
        self.assertIn("2 nodes in openings book", lines)
        self.assertFalse(any(line.startswith("Error opening") for line in lines), lines)

    def test_a_read_only_book_is_used_without_learning(self):
        if os.geteuid() == 0:
            self.skipTest("root writes into read-only files")
        folder = self.folder()
        path = self.make_book(folder, LEARNING_BOOK)
        os.chmod(path, 0o444)
        engine, lines = self.start(folder)
        self.assertIn('Book "Book.crv" is read-only: no book learning', lines)

    # -- listing --------------------------------------------------------------
    def test_bkm_listing(self):
        folder = self.folder()
        self.make_book(folder, LISTING_BOOK)
        engine, _ = self.start(folder, uci=False)
        lines = engine.ask("bkm")
        self.assertTrue(lines[0].startswith("Current nhash1 = "), lines)
        self.assertEqual(lines[1:], [
            "4 moves from current pos in book:",
            "e2e4 71% (not less than 7 game(s))",
            "d2d4 ?",
            "g1f3 -",
            "c2c4 50% (not less than 3 game(s))",
        ])
        engine.send("force")
        engine.send("e2e3")
        self.assertEqual(engine.ask("bk")[1:], ["No moves from current pos in book"])

        folder0 = self.folder()
        self.make_book(folder0, f"{START} | e2e4 5; d2d4 255\n", version=0)
        engine0, _ = self.start(folder0, uci=False)
        self.assertEqual(engine0.ask("bkm")[1:], ["2 moves from current pos in book:", "e2e4 5", "d2d4 255"])

        empty, _ = self.start(self.folder(), uci=False)
        self.assertEqual(empty.ask("bkm")[1:], ["No book loaded..."])

    def test_a_move_list_outside_the_file_is_absent(self):
        folder = self.folder()
        path = self.make_book(folder, f"{START} | e2e4 1 1\n")
        data = bytearray(self.book_bytes(folder))
        struct.pack_into("<I", data, 36 + 8, len(data) - 2)  # the list runs past the end
        with open(path, "wb") as f:
            f.write(data)
        engine, _ = self.start(folder)
        self.assertEqual(engine.ask("bkm")[1:], ["No moves from current pos in book"])
        lines = self.go(engine, "position startpos", "go depth 2")
        self.assertTrue(any(line.startswith("info depth") for line in lines))

    # -- play -----------------------------------------------------------------
    def test_uci_book_moves_and_when_the_book_is_left_alone(self):
        folder = self.folder()
        self.make_book(folder, f"{START} | e2e4 0 0\n{CASTLE_FEN} | e1g1 0 0\n")
        engine, _ = self.start(folder)
        # A book move: no search, no info line.
        lines = self.go(engine, "position startpos", "go wtime 10000 btime 10000")
        self.assertEqual(lines, ["bestmove e2e4"])
        self.assertEqual(self.go(engine, "position startpos", "go depth 5"), ["bestmove e2e4"])
        # searchmoves, go infinite and OwnBook false search instead.
        lines = self.go(engine, "position startpos", "go depth 3 searchmoves d2d4")
        self.assertTrue(lines[-1].startswith("bestmove d2d4"), lines[-1])
        engine.send("position startpos")
        engine.send("go infinite")
        engine.read_until("info", self.wait_s(30))  # a search, not a book move
        engine.send("stop")
        engine.read_until("bestmove", 30)
        engine.send("setoption name OwnBook value false")
        lines = self.go(engine, "position startpos", "go depth 3")
        self.assertTrue(any(line.startswith("info depth") for line in lines), lines)
        engine.send("setoption name OwnBook value true")
        # The castling entry is illegal without the rights: never played.
        for fen in (NO_CASTLE_FEN,) * 3:
            lines = self.go(engine, f"position fen {fen}", "go depth 3")
            self.assertNotEqual(lines[-1].split()[1], "e1g1")
            self.assertTrue(any(line.startswith("info depth") for line in lines))
        self.assertEqual(self.go(engine, f"position fen {CASTLE_FEN}", "go depth 3"), ["bestmove e1g1"])

    def test_kill_and_discover_modes(self):
        # d2d4 scores 900, e2e4 800, c2c4 500 (unplayed), g1f3 is killed.
        text = f"{START} | e2e4 8 2; d2d4 9 1; c2c4 0 0; g1f3 255 255\n"
        cases = [
            ("kill, variety 0", "BookLearningMode = kill\nVarietyOfPlay = 0\n", {"d2d4"}),
            ("kill, variety 20", "VarietyOfPlay = 20\n", {"d2d4", "e2e4"}),
            ("kill, variety 100", "VarietyOfPlay = 100\n", {"d2d4", "e2e4", "c2c4"}),
            ("kill without weights", "UseBookWeights = off\nVarietyOfPlay = 0\n", {"d2d4", "e2e4", "c2c4"}),
            ("discover", "BookLearningMode = discover\n", {"c2c4"}),
        ]
        for name, settings, allowed in cases:
            with self.subTest(name):
                folder = self.folder()
                self.make_book(folder, text)
                with open(os.path.join(folder, "Corvatine.ini"), "w") as f:
                    f.write(settings)
                engine, _ = self.start(folder)
                seen = set()
                for _ in range(40):
                    lines = self.go(engine, "position startpos", "go depth 1")
                    self.assertEqual(len(lines), 1, lines)
                    seen.add(lines[0].split()[1])
                self.assertEqual(seen, allowed)

    # -- learning -------------------------------------------------------------
    def test_learning_a_won_a_lost_and_a_drawn_game(self):
        folder = self.folder()
        self.make_book(folder, LEARNING_BOOK)
        before = self.book_bytes(folder)
        engine, _ = self.start(folder)
        # Won: the root score is far above the bound; the move two plies
        # back (d2c2) gets two points for, its neighbour stays.
        self.go(engine, f"position fen {WON_START} moves e1d2 e8d8 d2c2 d8c7")
        engine.sync()
        self.assertEqual(self.entry(folder, "d2c2"), (2, 0))
        self.assertEqual(self.entry(folder, "d2c1"), (0, 0))
        # Each game is learned once.
        self.go(engine, f"position fen {WON_START} moves e1d2 e8d8 d2c2 d8c7")
        engine.sync()
        self.assertEqual(self.entry(folder, "d2c2"), (2, 0))
        # Lost, after a new game.
        engine.ask("ucinewgame")
        self.go(engine, f"position fen {LOST_START} moves e1d1 h8h7 d1c1 h7g7")
        engine.sync()
        self.assertEqual(self.entry(folder, "d1c1"), (0, 2))
        # Drawn: a quiet game the engine moved last in, then "ucinewgame".
        engine.ask("ucinewgame")
        self.go(engine, "position startpos moves e2e4 e7e5 g1f3 b8c6", "go depth 3")
        engine.ask("ucinewgame")
        self.assertEqual(self.entry(folder, "g1f3"), (1, 1))
        self.assertEqual(self.entry(folder, "b1c3"), (7, 3))
        # A mated side learns a loss, not a draw.
        engine.ask("ucinewgame")
        self.assertEqual(self.go(engine, "position startpos moves f2f3 e7e5 g2g4 d8h4"), ["bestmove 0000"])
        engine.sync()
        self.assertEqual(self.entry(folder, "g2g4"), (0, 2))
        # Nothing else in the file changed.
        after = self.book_bytes(folder)
        self.assertEqual(len(after), len(before))
        changed = [i for i in range(len(after)) if after[i] != before[i]]
        self.assertEqual(len(changed), 5, changed)

    def test_learning_never_unmakes_below_a_fen_with_en_passant(self):
        # The set-up has an en-passant square, so the game starts on a
        # made-up first record. Learning goes back to the set-up position and
        # no further: like the first move of a game, the move made from it
        # (e1d2) is not learned; d2c2 two plies later is.
        folder = self.folder()
        fen = "4k3/8/8/3pP3/8/8/8/4K2Q w - d6 0 1"
        self.make_book(folder, f"{fen} | e1d2 0 0\n3k4/8/8/3pP3/8/8/3K4/7Q w - - 0 1 | d2c2 0 0\n")
        engine, _ = self.start(folder)
        lines = self.go(engine, f"position fen {fen} moves e1d2 e8d8 d2c2 d8c7")
        self.assertTrue(lines[-1].startswith("bestmove"))
        engine.sync()
        self.assertEqual(self.entry(folder, "d2c2"), (2, 0))
        self.assertEqual(self.entry(folder, "e1d2"), (0, 0))

    def test_two_programs_learning_into_one_book(self):
        folder = self.folder()
        self.make_book(folder, LEARNING_BOOK)
        engines = [self.start(folder)[0] for _ in range(2)]
        rounds = 6
        for _ in range(rounds):
            for engine in engines:
                engine.send("ucinewgame")
                engine.send(f"position fen {WON_START} moves e1d2 e8d8 d2c2 d8c7")
                engine.send("go depth 3")
            for engine in engines:
                engine.read_until("bestmove", self.wait_s(60))
        for engine in engines:
            engine.sync()
        self.assertEqual(self.entry(folder, "d2c2"), (2 * 2 * rounds, 0))

    def test_a_program_killed_while_learning_leaves_a_readable_book(self):
        folder = self.folder()
        self.make_book(folder, LEARNING_BOOK)
        for delay in (0.0, 0.05, 0.2):
            engine, _ = self.start(folder)
            engine.send(f"position fen {WON_START} moves e1d2 e8d8 d2c2 d8c7")
            engine.send("go depth 3")
            time.sleep(delay)
            engine.proc.send_signal(signal.SIGKILL)
            engine.proc.wait()
            again, lines = self.start(folder, uci=False)
            self.assertIn("4 nodes in openings book", lines)
            lo, hi = self.entry(folder, "d2c2")
            self.assertEqual(hi, 0)
            self.assertEqual(lo % 2, 0)


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Book", BookTests, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    if MAKER is None:
        sys.exit("no book maker given (--maker PATH)")
    run_tests(PROGRAMS, REST)
