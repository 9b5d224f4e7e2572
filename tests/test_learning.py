"""Process tests of the position learning file "Learn.cr1": the file a start
with learning on creates, files that are no learning files, damaged chains
under a search that reads the file, and two programs starting in one folder.

Run: python3 test_learning.py --program NAME=PATH [--program ...]
"""

import os
import struct
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import Engine, ProgramCase, parse_program_args, program_suite, run_tests  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

HEADER = b"Corvatine learning file"
FIRST = 23 + 4 * 65536  # 262167, the offset of the first record


def empty_file():
    return HEADER + bytes(4 * 65536)


def record(depth, score, move, lo, hi, link):
    return struct.pack("<iiIIII", depth, score, move, lo, hi, link)


def every_head_to(offset):
    return HEADER + struct.pack("<I", offset) * 65536


class LearningTests(ProgramCase):
    def start(self, settings, learn=None):
        """The program in a directory holding the settings file and, unless
        None, learn as "Learn.cr1"; gives (engine, directory, start-up lines
        after the settings print-out)."""
        directory = tempfile.TemporaryDirectory(prefix="crv-learn-")
        self.addCleanup(directory.cleanup)
        with open(os.path.join(directory.name, "Corvatine.ini"), "w") as f:
            f.write(settings)
        if learn is not None:
            with open(os.path.join(directory.name, "Learn.cr1"), "wb") as f:
                f.write(learn)
        engine = self.launch(cwd=directory.name)
        lines = engine.sync(self.wait_s(60))
        after = lines[lines.index("Pondering = on") + 2:]
        # The tablebase count (no tables in the directory) ends the start-up.
        self.assertEqual(after[-1:], ["info string Found 0 tablebases."])
        return engine, directory.name, after[:-1]

    def learn_file(self, directory):
        with open(os.path.join(directory, "Learn.cr1"), "rb") as f:
            return f.read()

    def search(self, engine, depth):
        engine.send("uci")
        engine.read_until("uciok", self.wait_s(10))
        engine.send("position startpos moves e2e4 e7e5 g1f3")
        engine.send(f"go depth {depth}")
        reply = engine.read_until("bestmove", self.wait_s(120))
        self.assertNotEqual(reply[-1].split()[1], "0000")

    def test_a_start_with_learning_on_creates_an_empty_file(self):
        for settings in ("Learning = on\n", "UseLearningData = on\n"):
            with self.subTest(settings=settings):
                engine, directory, after = self.start(settings)
                self.assertEqual(after, [])
                self.assertEqual(self.learn_file(directory), empty_file())
                self.assertEqual(sorted(os.listdir(directory)), ["Corvatine.ini", "Learn.cr1", "stderr.txt"])
                engine.send("quit")
                self.assertEnds(engine)

    def test_no_file_without_learning(self):
        engine, directory, after = self.start("")
        self.assertNotIn("Learn.cr1", os.listdir(directory))

    def test_files_that_are_no_learning_files_say_so_once(self):
        cases = [
            ("an empty file", b"", "is not a learning file (wrong header)"),
            ("a wrong header", b"corvatine learning file" + bytes(4 * 65536), "is not a learning file (wrong header)"),
            ("a truncated tail", empty_file() + record(1, 2, 3, 4, 5, 0)[:20], "has a wrong size"),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                engine, directory, after = self.start("Learning = on\nUseLearningData = on\n", data)
                self.assertEqual(after, [f'Learning file "Learn.cr1" {message}: learning is off'])
                self.search(engine, 5)
                engine.send("quit")
                self.assertEnds(engine)
                self.assertEqual(self.learn_file(directory), data)

    def test_damaged_chains_neither_hang_nor_crash_a_search(self):
        # Every slot leads to the same records, so every lookup of the search
        # walks into the damage.
        cases = [
            ("a record linked to itself", every_head_to(FIRST) + record(30, -500, 0, 1, 1, FIRST)),
            ("a cycle of two records", every_head_to(FIRST) + record(30, -500, 0, 1, 1, FIRST + 24)
             + record(30, -500, 0, 2, 2, FIRST)),
            ("a misaligned link", every_head_to(FIRST) + record(30, -500, 0, 1, 1, FIRST + 7)),
            ("a link past the end", every_head_to(FIRST) + record(30, -500, 0, 1, 1, 0xFFFFFFF0)),
            ("heads past the end", every_head_to(0x7FFFFFF8)),
        ]
        for name, data in cases:
            with self.subTest(name):
                engine, directory, after = self.start("UseLearningData = on\n", data)
                self.assertEqual(after, [])
                self.search(engine, 9)
                engine.send("quit")
                self.assertEnds(engine)
                self.assertEqual(self.learn_file(directory), data)

    def test_two_programs_starting_in_one_folder_share_one_file(self):
        directory = tempfile.TemporaryDirectory(prefix="crv-learn-")
        self.addCleanup(directory.cleanup)
        with open(os.path.join(directory.name, "Corvatine.ini"), "w") as f:
            f.write("Learning = on\nUseLearningData = on\n")
        engines = []
        for i in range(4):
            engine = Engine(self.program, cwd=directory.name)
            self.addCleanup(engine.close)
            engines.append(engine)
        for engine in engines:
            lines = engine.sync(self.wait_s(60))
            self.assertEqual(lines[lines.index("Pondering = on") + 2:], ["info string Found 0 tablebases."])
        for engine in engines:
            engine.send("quit")
            self.assertEnds(engine)
        self.assertEqual(self.learn_file(directory.name), empty_file())
        self.assertFalse([name for name in os.listdir(directory.name) if name.endswith(".tmp")])


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Learning", LearningTests, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
