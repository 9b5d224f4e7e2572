"""Process tests of the settings file "Corvatine.ini": each program starts in
a directory holding the file, and both its warnings and the settings print-out
that follows them are checked line for line.

Run: python3 test_settings.py --program NAME=PATH [--program ...]
A program whose name holds "x86" is the 32-bit build (24-byte pawn hash entries).
"""

import os
import re
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import Engine, ProgramCase, parse_program_args, program_suite, run_tests, sanitized  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

BANNER = "Corvatine v1.96 [r2358/29.06.2016]"
NO_VALUES = "Error loading values.txt"  # the temporary directory has no values.txt
NO_BOOK = 'Error opening "Book.crv"!'     # nor a book

DEFAULTS = {
    "hash": 524288, "pawn": 262144, "aggressivity": 100, "cowardice": 100,
    "resign_value": 800, "resign_times": 3, "egtb": "on", "egtb_path": "c:\\tablebases\\",
    "book_weights": "on", "book_learning": "on", "mode": "KILL", "variety": 10, "bound": 400,
    "learning": "off", "learning_data": "off", "log_learning": "off", "pondering": "on",
}


def printout(pawn_bytes, **changes):
    """The 17 lines and the empty line of the settings print-out."""
    s = dict(DEFAULTS, **changes)
    return [
        f"Transposition size is {s['hash']} entries ({s['hash'] * 24} bytes)",
        f"Pawn hash size is {s['pawn']} entries ({s['pawn'] * pawn_bytes} bytes)",
        f"Aggressivity = {s['aggressivity']} ({s['aggressivity'] // 2})%",
        f"Cowardice = {s['cowardice']} ({s['cowardice'] // 2})%",
        f"ResignValue = {s['resign_value']}",
        f"ResignTimes = {s['resign_times']}",
        f"UseEGTB = {s['egtb']}",
        f"EGTB path = \"{s['egtb_path']}\"",
        f"UseBookWeights = {s['book_weights']}",
        f"UseBookLearning = {s['book_learning']}",
        f"BookLearningMode = {s['mode']}",
        f"VarietyOfPlay = {s['variety']}",
        f"BookLearningBound = {s['bound']}",
        f"UseLearning = {s['learning']}",
        f"UseLearningData = {s['learning_data']}",
        f"LogLearningIntoFile = {s['log_learning']}",
        f"Pondering = {s['pondering']}",
        "",
    ]


def warning(line, text):
    return f"Corvatine.ini({line}) WARNING: {text}"


def hash_warning(line):
    return warning(line, "Incorrect hash size setting in Corvatine.ini; set to default")


def pawn_warning(line):
    return warning(line, "Incorrect pawn hash size setting in Corvatine.ini; set to default")


def unknown(line, token):
    return warning(line, f'Token unknown "{token}"')


LONG_CUT = "Corvatine.ini({}) WARNING: Line longer than 249 characters; cut"

# (name, file contents, warnings, settings in force; a callable of the pawn
# entry size where the figure depends on the program)
CASES = [
    ("1024 MB is the largest table", "TranspositionSizeMb = 1024\n", [], {"hash": 44739242}),
    ("1025 MB is refused", "TranspositionSizeMb = 1025\n", [hash_warning(1)], {}),
    ("a negative size is refused", "TranspositionSizeMb = -1\n", [hash_warning(1)], {}),
    ("a size that is no number is refused", "TranspositionSizeMb = abc\n", [hash_warning(1)], {}),
    ("an empty size is refused", "TranspositionSizeMb =\n", [hash_warning(1)], {}),
    ("a huge size saturates and is refused", "TranspositionSizeMb = 99999999999999999999\n",
     [hash_warning(1)], {}),
    ("0 MB is a table without entries", "TranspositionSizeMb = 0\n", [], {"hash": 0}),
    ("keys ignore letter case", "transpositionsizemb = 2\n", [], {"hash": 2 * 1048576 // 24}),
    ("a refused size brings back the default", "TranspositionSizeMb = 2\nTranspositionSizeMb = x\n",
     [hash_warning(2)], {}),
    ("a power of two", "TranspositionSize = 20\n", [], {"hash": 1 << 20}),
    ("a power above 25 is refused", "TranspositionSize = 26\n", [hash_warning(1)], {}),
    ("pawn hash in megabytes", "PawnHashSizeMb = 3\n", [], {"pawn": lambda b: 3 * 1048576 // b}),
    ("0 MB pawn hash gets 1 MB", "PawnHashSizeMb = 0\n", [], {"pawn": lambda b: 1048576 // b}),
    ("a pawn hash size that is no number", "PawnHashSizeMb = lots\n", [pawn_warning(1)], {}),
    ("pawn hash power 24 is refused", "PawnHashSize = 24\n", [pawn_warning(1)], {}),
    ("pawn hash power 12", "PawnHashSize = 12\n", [], {"pawn": 4096}),
    ("pawn hash power 11 is refused", "PawnHashSize = 11\n", [pawn_warning(1)], {}),
    ("aggressivity above 300", "Aggressivity = 301\n",
     [warning(1, "Incorrect AGGRESSIVITY setting; set to 300")], {"aggressivity": 300}),
    ("aggressivity 99 halves to 49", "Aggressivity = 99\n", [], {"aggressivity": 99}),
    ("aggressivity below 0", "Aggressivity = -99999999999999999999\n",
     [warning(1, "Incorrect AGGRESSIVITY setting; set to 0")], {"aggressivity": 0}),
    ("aggressivity that is no number", "Aggressivity = 150\nAggressivity = high\n",
     [unknown(2, "high")], {}),
    ("cowardice above 300", "Cowardice = 1000\n",
     [warning(1, "Incorrect COWARDICE setting; set to 300")], {"cowardice": 300}),
    ("cowardice below 0", "Cowardice = -1\n",
     [warning(1, "Incorrect COWARDICE setting; set to 0")], {"cowardice": 0}),
    ("variety above 100", "VarietyOfPlay = 101\n",
     [warning(1, "Incorrect VarietyOfPlay setting; set to 100")], {"variety": 100}),
    ("variety below 0", "VarietyOfPlay = -3\n",
     [warning(1, "Incorrect VarietyOfPlay setting; set to 0")], {"variety": 0}),
    ("plain numbers", "ResignValue = 99999999999\nResignTimes = -2\nBookLearningBound = 123\n",
     [], {"resign_value": 2147483647, "resign_times": -2, "bound": 123}),
    ("a resign count that is no number", "ResignTimes = 5\nResignTimes = never\n",
     [unknown(2, "never")], {}),
    ("an unknown flag word", "Learning = maybe\n", [unknown(1, "maybe")], {}),
    ("flag words and their beginnings",
     "Learning = o\nUseBookWeights = of\nUseBookLearning = FALSE\nUseLearningData = true\n"
     "LogLearningIntoFile = On\nPondering = off\nUseEGTB = false\n",
     [], {"learning": "on", "book_weights": "off", "book_learning": "off", "learning_data": "on",
          "log_learning": "on", "pondering": "off", "egtb": "off"}),
    ("book learning mode", "BookLearningMode = Discover\n", [], {"mode": "DISCOVER"}),
    ("book learning mode back to kill", "BookLearningMode = d\nBookLearningMode = k\n", [], {}),
    ("an unknown book learning mode", "BookLearningMode = sometimes\n", [unknown(1, "sometimes")], {}),
    ("the tablebase path is the rest of the line", "EGTBPath = d:\\tb, e:\\more tb\n", [],
     {"egtb_path": "d:\\tb, e:\\more tb"}),
    ("a key alone is skipped", "Learning\nAggressivity\n", [], {}),
    ("a key with only = has an empty value", "Learning =\n", [unknown(1, "")], {}),
    ("an unknown key is skipped", "Colour = blue\nHash = 64\n", [], {}),
    ("an indented key", "   Aggressivity = 150\n", [], {"aggressivity": 150}),
    ("other separators", 'UseBookWeights, "off"\nCowardice=20\n', [], {"book_weights": "off", "cowardice": 20}),
    ("line numbers count comments and empty lines", "; settings\n\n;\n  \nLearning = maybe\n",
     [unknown(5, "maybe")], {}),
    ("line ends of two characters", "Learning = on\r\nAggressivity = 120\r\n", [],
     {"learning": "on", "aggressivity": 120}),
    ("a last line without a line end", "Learning = on\nAggressivity = 7", [],
     {"learning": "on", "aggressivity": 7}),
    ("a NUL byte ends the line", "Learning = on\x00 = off\nUseEGTB\x00 = off\n", [], {"learning": "on"}),
    ("a byte above 127 ends the line", "Learning = on\xe9t\xe9\n", [], {"learning": "on"}),
    ("a byte-order mark in front of the first line", "\xef\xbb\xbfLearning = on\nAggressivity = 120\n", [],
     {"learning": "on", "aggressivity": 120}),
    ("a byte-order mark before a bad value", "\xef\xbb\xbfLearning = maybe\n", [unknown(1, "maybe")], {}),
    ("an over-long comment is one line", ";" + "x" * 400 + "\nLearning = maybe\n",
     [unknown(2, "maybe")], {}),
    ("an over-long setting is cut and is one line",
     "Aggressivity = 120" + " " * 300 + "tail\nLearning = maybe\n",
     [LONG_CUT.format(1), unknown(2, "maybe")], {"aggressivity": 120}),
    ("a line of exactly 249 characters", "Aggressivity = 120" + " " * 231 + "\nLearning = maybe\n",
     [unknown(2, "maybe")], {"aggressivity": 120}),
]


class SettingsTests(ProgramCase):

    def pawn_bytes(self):
        return 24 if "x86" in os.path.basename(self.program) else 22

    def start(self, contents=None):
        """The program started in a directory holding contents as Corvatine.ini
        (no file when None); gives (engine, everything printed at start-up)."""
        directory = tempfile.TemporaryDirectory(prefix="crv-ini-")
        self.addCleanup(directory.cleanup)
        if contents is not None:
            with open(os.path.join(directory.name, "Corvatine.ini"), "wb") as f:
                f.write(contents.encode("latin-1"))
        engine = self.launch(cwd=directory.name)
        return engine, engine.sync(self.wait_s(60))

    def expected_start(self, warnings, changes):
        resolved = {k: (v(self.pawn_bytes()) if callable(v) else v) for k, v in changes.items()}
        # With tablebases on and a directory list, start-up looks for tables
        # (none in the test's directories) and says how many it found.
        settings = dict(DEFAULTS, **resolved)
        tables = ["info string Found 0 tablebases."] if settings["egtb"] == "on" and settings["egtb_path"] else []
        return [BANNER, NO_VALUES, *warnings, NO_BOOK, *printout(self.pawn_bytes(), **resolved), *tables]

    def test_print_out_without_a_settings_file(self):
        engine, lines = self.start()
        self.assertEqual(lines, self.expected_start([], {}))
        # the figures of the defaults, written out
        self.assertEqual(lines[3], "Transposition size is 524288 entries (12582912 bytes)")
        pawn = 6291456 if self.pawn_bytes() == 24 else 5767168
        self.assertEqual(lines[4], f"Pawn hash size is 262144 entries ({pawn} bytes)")
        self.assertEqual(len(lines[3:]), 19)

    def test_settings_file_cases(self):
        for name, contents, warnings, changes in CASES:
            with self.subTest(name):
                engine, lines = self.start(contents)
                self.assertEqual(lines, self.expected_start(warnings, changes))
                engine.send("quit")
                self.assertEqual(engine.wait(20), 0)

    def test_a_file_without_settings_changes_nothing(self):
        engine, lines = self.start("")
        self.assertEqual(lines, self.expected_start([], {}))

    def test_the_smallest_tables_still_search(self):
        # One transposition entry and the smallest pawn hash: the engine
        # searches as usual and the table use stays a per-mille figure.
        engine, lines = self.start("TranspositionSize = 0\nPawnHashSize = 12\n")
        self.assertEqual(lines, self.expected_start([], {"hash": 1, "pawn": 4096}))
        engine.send("uci")
        engine.read_until("uciok", 30)
        engine.send("position startpos moves e2e4 e7e5")
        engine.send("go depth 6")
        reply = engine.read_until("bestmove", 120)
        full = [int(line.split(" hashfull ")[1].split()[0]) for line in reply if " hashfull " in line]
        self.assertTrue(full, reply)
        self.assertTrue(all(0 <= f <= 1000 for f in full), full)
        self.assertNotEqual(reply[-1].split()[1], "0000")

    def test_a_table_that_cannot_be_had_falls_back(self):
        # Under an address-space limit the file's 1024 MB table is not to be
        # had: one line says so and the print-out shows the table in use.
        # Only the plain 64-bit serial program runs natively without a large
        # reserved address space.
        if os.path.basename(self.program) != "crv_serial":
            self.skipTest("needs the plain 64-bit serial program")
        if sanitized(self.program):
            self.skipTest("a sanitized program cannot start under an address-space limit")
        directory = tempfile.TemporaryDirectory(prefix="crv-ini-")
        self.addCleanup(directory.cleanup)
        with open(os.path.join(directory.name, "Corvatine.ini"), "w") as f:
            f.write("TranspositionSizeMb = 1024\nPawnHashSizeMb = 1024\n")
        path = os.path.abspath(self.program)
        engine = Engine("/bin/sh", args=["-c", f'ulimit -v 500000 && exec "{path}"'], cwd=directory.name)
        self.addCleanup(engine.close)
        lines = engine.sync(60)
        said = [line for line in lines if line.startswith("info string ") and "could not be allocated" in line]
        self.assertEqual(len(said), 2, lines)
        hash_used = int(re.match(r"^info string Transposition table of 44739242 entries could not be "
                                 r"allocated; (\d+) entries in use$", said[0]).group(1))
        pawn_used = int(re.match(r"^info string Pawn hash of 48806446 entries could not be "
                                 r"allocated; (\d+) entries in use$", said[1]).group(1))
        self.assertIn(f"Transposition size is {hash_used} entries ({hash_used * 24} bytes)", lines)
        self.assertIn(f"Pawn hash size is {pawn_used} entries ({pawn_used * 22} bytes)", lines)
        engine.send("go depth 4")
        self.assertTrue(engine.read_until(lambda line: line.startswith("move "), 60))

    def lost_game_reply(self, contents):
        """Start-up lines and the engine's reply in a lost xboard game."""
        engine, lines = self.start(contents)
        engine.send("xboard")
        engine.send("easy")
        engine.send("loadfen 4k3/8/8/8/8/8/qq6/4K3 w - - 0 1")
        engine.send("sd 3")
        engine.send("go")
        return lines, engine.read_until(lambda line: line.startswith("move "), 60)

    def test_resign_times_0_or_below_never_resigns(self):
        for times in ("0", "-1"):
            with self.subTest(times=times):
                lines, reply = self.lost_game_reply(f"ResignTimes = {times}\nResignValue = 100\n")
                self.assertIn(f"ResignTimes = {times}", lines)
                self.assertNotIn("resign", reply)

    def test_resign_times_1_resigns_at_once(self):
        # the same game with a count of 1: the test above would see it
        lines, reply = self.lost_game_reply("ResignTimes = 1\nResignValue = 100\n")
        self.assertIn("resign", reply)


    def test_pondering_off_keeps_the_engine_from_pondering(self):
        # After its move a pondering engine announces the reply it expects;
        # with pondering off in the file it does not, "hard" notwithstanding.
        for contents, hints in (("", True), ("Pondering = off\n", False)):
            with self.subTest(contents=contents):
                engine, lines = self.start(contents)
                engine.send("sd 2")
                engine.send("hard")
                engine.send("e2e4")
                reply = engine.read_until(lambda line: line.startswith("move "), 60)
                reply += engine.read_quiet(quiet=1.0, timeout=3.0)
                self.assertEqual(any(line.startswith("Hint: ") for line in reply), hints, reply)
                engine.send("quit")
                self.assertEqual(engine.wait(20), 0)


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Settings", SettingsTests, PROGRAMS)


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
