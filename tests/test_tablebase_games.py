"""Whole games through UCI with the shared Syzygy tables: won endings are
mated before the fifty-move rule, drawn ones are held by both sides, and the
output counts tablebase hits.

Run: python3 test_tablebase_games.py --program NAME=PATH [...] --shared DIR
"""

import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
from engine import ProgramCase, parse_program_args, program_suite, run_tests  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])

WINS = {
    "KQvK": "8/8/8/4k3/8/8/8/KQ6 w - - 0 1",
    "KRvK": "8/8/8/4k3/8/8/8/KR6 w - - 0 1",
    "KBNvK": "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",
}
DRAWS = {
    "KRvKR": "8/8/4r3/8/3K4/8/2k5/R7 w - - 0 1",
    "KQvKQ": "4q3/8/2k5/8/8/8/2K5/1Q6 w - - 0 1",
    "KNvKP": "8/8/8/3k4/8/2p5/8/1N2K3 w - - 0 1",
}
TBHITS = re.compile(r"\btbhits (\d+)\b")
MATE = re.compile(r"\bscore mate (-?\d+)\b")


class TablebaseGames(ProgramCase):
    def play(self, fen, plies):
        """The engine plays both sides from fen for at most plies moves;
        gives (moves, the output of every search)."""
        engine = self.launch()
        engine.send("uci")
        engine.read_until("uciok", 30)
        engine.send(f"setoption name SyzygyPath value {os.path.join(SHARED, 'syzygy')}")
        engine.send("setoption name OwnBook value false")
        engine.sync(30)
        moves, searches = [], []
        for _ in range(plies):
            engine.send(f"position fen {fen} moves {' '.join(moves)}".rstrip())
            engine.send("go movetime 40")
            lines = engine.read_until("bestmove", self.wait_s(30))
            searches.append(lines)
            move = lines[-1].split()[1]
            if move == "0000":
                break
            moves.append(move)
        engine.send("quit")
        return moves, searches

    def skip_slow_games(self):
        if "asan" in os.path.basename(self.program):
            self.skipTest("whole games are for the optimised programs")

    def search(self, engine, fen):
        engine.send(f"position fen {fen}")
        engine.send("go depth 6")
        return engine.read_until("bestmove", self.wait_s(30))

    def test_path_set_again_and_again_with_searches_between(self):
        engine = self.launch()
        engine.send("uci")
        engine.read_until("uciok", 30)
        syzygy = os.path.join(SHARED, "syzygy")
        for path, found in [(syzygy, 35), ("", None), ("/no/such/dir", 0), (f"{syzygy};;{syzygy}", 35)]:
            engine.send(f"setoption name SyzygyPath value {path}".rstrip())
            lines = engine.sync(30)
            if found is None:
                self.assertEqual([line for line in lines if "Found" in line], [])
            else:
                self.assertIn(f"info string Found {found} tablebases.", lines)
            lines = self.search(engine, WINS["KQvK"])
            self.assertNotEqual(lines[-1], "bestmove 0000")
        engine.send("quit")
        self.assertEnds(engine)

    def test_damaged_tables_are_reported_and_the_search_goes_on(self):
        directory = tempfile.mkdtemp(prefix="crv-tb-")
        self.addCleanup(shutil.rmtree, directory)
        syzygy = os.path.join(SHARED, "syzygy")
        with open(os.path.join(syzygy, "KQvK.rtbw"), "rb") as f:
            data = f.read()
        with open(os.path.join(directory, "KQvK.rtbw"), "wb") as f:
            f.write(data[: len(data) // 2])
        open(os.path.join(directory, "KNvK.rtbw"), "wb").close()
        os.mkdir(os.path.join(directory, "KRvK.rtbw"))
        with open(os.path.join(directory, "KBvK.rtbw"), "wb") as f:
            f.write(b"\0\0\0\0" + data[4:])
        engine = self.launch()
        engine.send("uci")
        engine.read_until("uciok", 30)
        engine.send(f"setoption name SyzygyPath value {directory}")
        self.assertIn("info string Found 4 tablebases.", engine.sync(30))
        for fen in [WINS["KQvK"], WINS["KRvK"], "8/8/8/4k3/8/8/8/KN6 w - - 0 1", "8/8/8/4k3/8/8/8/KB6 w - - 0 1"]:
            lines = self.search(engine, fen)
            self.assertTrue(lines[-1].startswith("bestmove ") and lines[-1] != "bestmove 0000", lines[-3:])
            self.assertTrue(any("not used" in line or "Corrupted" in line for line in lines), lines[:5])
        engine.send("quit")
        self.assertEnds(engine)

    def test_won_endings_are_mated_in_time(self):
        self.skip_slow_games()
        for name, fen in WINS.items():
            with self.subTest(name):
                moves, searches = self.play(fen, 120)
                self.assertEqual(searches[-1][-1], "bestmove 0000", f"{name}: not over after {moves}")
                self.assertLessEqual(len(moves), 99, name)  # no zeroing move: mate before move 50
                self.assertEqual(len(moves) % 2, 1, f"{name}: the winner gave the last move")
                # The final position is mate, not stalemate: the winner's last
                # search saw the mate, or the tables left it a single move
                # (played without a search), which keeps the win.
                last = searches[-2]
                searched = [line for line in last if line.startswith("info depth") and " nodes 0 " not in line]
                self.assertTrue(not searched or any(MATE.search(line) for line in last), last[-3:])
                hits = [int(m.group(1)) for lines in searches for line in lines for m in [TBHITS.search(line)] if m]
                self.assertGreater(max(hits), 0, name)

    def test_drawn_endings_are_held(self):
        self.skip_slow_games()
        for name, fen in DRAWS.items():
            with self.subTest(name):
                moves, searches = self.play(fen, 40)
                self.assertEqual(len(moves), 40, f"{name}: ended after {moves}")
                for lines in searches:
                    for line in lines:
                        self.assertIsNone(MATE.search(line), f"{name}: {line}")


def load_tests(loader, tests, pattern):
    return program_suite(loader, "TablebaseGames", TablebaseGames, PROGRAMS, slow_marks=("asan", "x86"))


if __name__ == "__main__":
    run_tests(PROGRAMS, REST)
