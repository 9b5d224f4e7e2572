"""Perft through each program's own command line: "loadfen FEN" and "perft D"
must give every count of testdata/perft.epd up to a node cap per count.

Run: python3 test_perft_programs.py --program NAME=PATH [...] --shared DIR
The cap (leaves per count) is CRV_PERFT_CAP, 10000000 by default. The
programs run side by side, each with its own share of the suite.
"""

import os
import re
import sys
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import Engine, parse_program_args  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])
NODE_CAP = int(os.environ.get("CRV_PERFT_CAP", "10000000"))
WORKERS_PER_PROGRAM = 3
REPLY = re.compile(r"^total moves = (\d+) time = (\d+\.\d\d)$")


def load_suite(path):
    """[(line number, FEN, [(depth, count), ...])] with the counts under the cap."""
    suite = []
    with open(path) as epd:
        for number, line in enumerate(epd, 1):
            fen, *fields = line.strip().split(";")
            counts = []
            for field in fields:
                depth, count = field.split()
                count = int(count)
                if count <= NODE_CAP:
                    counts.append((int(depth[1:]), count))
            if counts:
                suite.append((number, fen.strip(), counts))
    return suite


def run_share(program, share, mismatches):
    """Runs the positions of share through one process of program."""
    with Engine(program) as engine:
        for number, fen, counts in share:
            engine.send(f"loadfen {fen}")
            for depth, expected in counts:
                engine.send(f"perft {depth}")
                reply = engine.read_until(lambda line: REPLY.match(line) is not None,
                                          timeout=120)[-1]
                got = int(REPLY.match(reply).group(1))
                if got != expected:
                    mismatches.append(f"line {number} D{depth}: {got} instead of {expected} ({fen})")
        engine.send("quit")
        if engine.wait(10) != 0:
            mismatches.append("quit did not end with code 0")


class PerftThroughPrograms(unittest.TestCase):
    def test_suite_counts(self):
        suite = load_suite(os.path.join(SHARED, "testdata", "perft.epd"))
        self.assertGreater(len(suite), 100)
        results = {name: [] for name in PROGRAMS}
        errors = []
        threads = []

        def worker(name, share):
            try:
                run_share(PROGRAMS[name], share, results[name])
            except Exception as error:  # reported below, with the program's name
                errors.append(f"{name}: {error}")

        for name in PROGRAMS:
            for k in range(WORKERS_PER_PROGRAM):
                share = suite[k::WORKERS_PER_PROGRAM]
                threads.append(threading.Thread(target=worker, args=(name, share)))
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(errors, [])
        for name, mismatches in results.items():
            with self.subTest(program=name):
                self.assertEqual(mismatches, [])


if __name__ == "__main__":
    if not PROGRAMS or not SHARED:
        sys.exit("give --program NAME=PATH (repeated) and --shared DIR")
    unittest.main(argv=[sys.argv[0], *REST])
