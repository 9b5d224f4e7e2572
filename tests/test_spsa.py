"""The knob tuner's parameter files: factors of 1 leave the shipped file
byte for byte, its block table spans the whole file, scaling rounds half
away from zero, and every knob reaches a term the program evaluates (its
file loads without a repair, and the knob at 0 moves the evaluation of some
position).

Run: python3 test_spsa.py --program crv=PATH
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import spsa  # noqa: E402

SHIPPED = os.path.join(HERE, "..", "values.txt")
PROGRAM = None

# Middlegames with kings under attack, passers, outposts, one side's rook on
# an open file, a bishop pair against two knights. The last three are king
# hunts (queen and pawn or rook at the castled king, white's and black's)
# whose attack term is large enough that the king attack and king pressure
# knobs move their score on a tuned set too, where the milder attacks of the
# others round to nothing.
FENS = [
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pppp1ppp/2n2n2/2b1p1NQ/2B1P3/8/PPPP1PPP/RNB1K2R w KQ - 0 1",
    "r2q1rk1/pp3ppp/2n1b3/3pP3/3N4/2P1B3/P4PPP/R2Q1RK1 w - - 0 14",
    "3r2k1/5ppp/8/1P6/8/8/5PPP/2R3K1 w - - 0 1",
    "6k1/5p2/4p1p1/3pP3/1p1P4/1P3K2/5PP1/8 w - - 0 1",
    "2r3k1/4pppp/8/8/8/8/4PPPP/4R1K1 w - - 0 1",
    "rnbqk1nr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKB1R w KQkq - 0 1",
    "r1b4k/ppp2Bb1/6Pp/3pP3/1qnP1p1Q/8/PPP3P1/1K1R3R w - - 0 1",
    "2r1b3/1pp1qrk1/p1n1P1p1/7R/2B1p3/4Q1P1/PP3PP1/3R2K1 w - - 0 1",
    "4r1k1/5bpp/2p5/3pr3/8/1B3pPq/PPR2P2/2R2QK1 b - - 0 1",
]


class Files(unittest.TestCase):
    def test_factors_of_one_write_the_shipped_file_byte_for_byte(self):
        base = spsa.read_base(SHIPPED)
        with tempfile.TemporaryDirectory() as folder:
            for theta in ({}, {name: 1.0 for name in spsa.KNOBS}):
                path = os.path.join(folder, "values.txt")
                spsa.write_values(base, theta, path)
                with open(path, "rb") as written, open(SHIPPED, "rb") as shipped:
                    self.assertEqual(written.read(), shipped.read())

    def test_block_table_spans_the_file_and_knobs_do_not_overlap(self):
        with open(SHIPPED) as f:
            self.assertEqual(sum(1 for _ in f), spsa.FILE_LINES)
        seen = {}
        for name in spsa.KNOBS:
            for line in spsa.knob_lines(name):
                self.assertNotIn(line, seen, f"{name} and {seen.get(line)} share line {line + 1}")
                seen[line] = name

    def test_scaled_values_round_half_away_from_zero(self):
        # (value, factor, scaled)
        cases = [(5, 1.1, 6), (-5, 1.1, -6), (5, 0.5, 3), (-5, 0.5, -3), (7, 0.0, 0), (-90, 1.3, -117)]
        base = [b"0"] * spsa.FILE_LINES
        line = spsa.knob_lines("threats")[0]
        for value, factor, scaled in cases:
            with self.subTest(value=value, factor=factor):
                base[line] = str(value).encode()
                self.assertEqual(spsa.apply_knobs(base, {"threats": factor})[line], str(scaled).encode())


def evaluations(folder):
    """The first line of "evl" ("Heuristic = N") for every position, and any
    repair or read error the start-up printed."""
    commands = "".join(f"loadfen {fen}\nevl\n" for fen in FENS) + "quit\n"
    out = subprocess.run([PROGRAM], input=commands, capture_output=True, text=True, cwd=folder,
                         timeout=120).stdout.splitlines()
    problems = [line for line in out if "fix [" in line or "values.txt" in line]
    return [line for line in out if line.startswith("Heuristic")], problems


class Knobs(unittest.TestCase):
    def test_every_knob_moves_the_evaluation(self):
        if PROGRAM is None:
            self.skipTest("no --program given")
        base = spsa.read_base(SHIPPED)
        with tempfile.TemporaryDirectory() as folder:
            spsa.write_values(base, {}, os.path.join(folder, "values.txt"))
            reference, problems = evaluations(folder)
            self.assertEqual((len(reference), problems), (len(FENS), []))
            # A knob switched off moves some score; doubled, its file still
            # loads cleanly (upward a term may saturate, as king pressure does).
            for name in spsa.KNOBS:
                for factor in (0.0, 2.0):
                    with self.subTest(knob=name, factor=factor):
                        spsa.write_values(base, {name: factor}, os.path.join(folder, "values.txt"))
                        scores, problems = evaluations(folder)
                        self.assertEqual(problems, [])
                        if factor == 0.0:
                            self.assertNotEqual(scores, reference)


if __name__ == "__main__":
    args = sys.argv[1:]
    if len(args) >= 2 and args[0] == "--program":
        PROGRAM = os.path.abspath(args[1].split("=", 1)[-1])
        args = args[2:]
    unittest.main(argv=[sys.argv[0]] + args)
