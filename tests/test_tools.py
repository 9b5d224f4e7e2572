"""Process tests of the offline tools: "epdevl" over the WAC suite against
"evl", "pgneval" over a generated PGN file with its progress lines and
training rows, "selftest", and the over-long move that ends the program.

Run: python3 test_tools.py --program NAME=PATH [--program ...] --shared DIR
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import ProgramCase, parse_program_args, program_suite, run_tests  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

# Three short games and their rows: (tags and movetext, rows).
GAMES = [
    ('[Result "1-0"]\n[PlyCount "3"]\n\n1. e4 e5 2. Nf3 1-0\n', [
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ;e7e5;2;3;2",
        "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - ;g1f3;1;3;1",
    ]),
    ('[Result "0-1"]\n\n1. d4 {a comment} d5 (1... Nf6 2. c4) 2. c4 dxc4 3. e3 0-1\n', [
        "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - ;d7d5;-1;0;1",
        "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq - ;c2c4;-2;0;2",
        "rnbqkbnr/ppp1pppp/8/8/2pP4/8/PP2PPPP/RNBQKBNR w KQkq - ;e2e3;-4;0;2",
    ]),
    ('[Result "*"]\n\n1. c4 c5 *\n', []),
]


def generated_pgn(count):
    """count games, the three templates in turn, each with its number."""
    text, rows = "", []
    for number in range(count):
        game, game_rows = GAMES[number % len(GAMES)]
        text += f'[Event "generated {number + 1}"]\n{game}\n'
        rows += game_rows
    return text, rows


class Tools(ProgramCase):
    def start(self):
        engine = self.launch()
        engine.sync(self.wait_s(30))
        return engine

    def write(self, engine, name, text):
        with open(os.path.join(engine.cwd, name), "w") as out:
            out.write(text)

    def read(self, engine, name):
        with open(os.path.join(engine.cwd, name)) as source:
            return source.read()

    def ask_raw(self, engine, line, timeout=10):
        """Sends line and "isready"; gives everything printed before "readyok"
        as one text (progress lines end with a carriage return alone)."""
        engine.send(line)
        engine.send("isready")
        lines = engine.read_until(lambda text: text.endswith("readyok"), self.wait_s(timeout))
        return "\n".join(lines)[:-len("readyok")]

    def test_epdevl_scores_every_wac_position_as_evl_does(self):
        engine = self.start()
        path = os.path.join(SHARED, "testdata", "wac.epd")
        with open(path) as source:
            positions = [line for line in source.read().split("\n") if line.strip()]
        self.assertEqual(engine.ask(f"epdevl {path}", self.wait_s(30)), [])
        rows = self.read(engine, "out.epd").split("\n")
        self.assertEqual(rows[-1], "")
        self.assertEqual(len(rows), 2 * len(positions) + 1)
        for index, position in enumerate(positions):
            self.assertEqual(rows[2 * index], position)
            engine.send(f"loadfen {position}")
            heuristic = engine.ask("evl", self.wait_s(10))[0]
            self.assertEqual(f"Heuristic = {rows[2 * index + 1][1:]}", heuristic, position)

    def test_epdevl_without_a_readable_file_keeps_out_epd(self):
        engine = self.start()
        self.write(engine, "out.epd", "earlier\n")
        self.assertEqual(engine.ask("epdevl missing.epd"), ["Error opening file missing.epd..."])
        self.assertEqual(engine.ask("epdevl"), ["Error opening file ..."])
        self.assertEqual(self.read(engine, "out.epd"), "earlier\n")

    def test_pgneval_prints_progress_every_hundred_games(self):
        engine = self.start()
        self.assertEqual(engine.ask("pgneval"), ["Error opening file source.pgn..."])
        text, rows = generated_pgn(250)
        self.write(engine, "source.pgn", text)
        progress = self.ask_raw(engine, "pgneval", 60)
        self.assertEqual(progress,
                         "Processed 100 games, hit/game = 0.000...              \r"
                         "Processed 200 games, hit/game = 0.000...              \r")
        self.assertEqual(self.read(engine, "my_eval.csv").split("\n"), rows + [""])
        # The rows are appended: a second run doubles them.
        self.ask_raw(engine, "pgneval", 60)
        self.assertEqual(self.read(engine, "my_eval.csv").split("\n"), rows + rows + [""])
        # The position is the end of the last game read.
        engine.send("force")
        self.assertEqual(engine.ask("c2c4"), ["Illegal move: c2c4"])  # the pawn stands on c4

    def test_selftest_reads_the_same_file(self):
        engine = self.start()
        self.assertEqual(engine.ask("selftest"), ["Error opening file source.pgn..."])
        self.write(engine, "source.pgn", GAMES[0][0])
        self.assertEqual(engine.ask("selftest"), [])
        self.assertEqual(self.read(engine, "my_eval.csv").split("\n"), GAMES[0][1] + [""])

    def test_an_over_long_move_ends_the_program_with_code_2(self):
        engine = self.start()
        self.write(engine, "source.pgn", '[Result "1-0"]\n\n1. e4 e5 2. Nf3abcdefgh12345 Nc6 1-0\n')
        engine.send("pgneval")
        engine.read_until("Error parsing move (move too long): Nf3abcdefgh1234...", self.wait_s(30))
        self.assertEnds(engine, 2)
        self.assertEqual(self.read(engine, "my_eval.csv"),
                         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ;e7e5;-1;0;2\n")


def load_tests(loader, tests, pattern):
    return program_suite(loader, "Tools", Tools, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
