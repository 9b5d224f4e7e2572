"""Short matches through tools/match.py: Corvatine against itself (two builds,
UCI against xboard, with pondering) and, when Debian's stockfish is installed,
against stockfish at a low skill level. Every game must end by the rules of
chess, adjudication or resignation, with no fault of Corvatine.

The runner itself is checked first with scripted players: a repetition ends
the game, an illegal move and an overstepped clock are faults.

Run: python3 test_match.py --program NAME=PATH [--program ...] [--shared DIR]
(crv and crv_serial are needed for the self-play games; crv_x86 joins when given)
"""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "harness"))
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
from engine import parse_program_args  # noqa: E402
import match  # noqa: E402

PROGRAMS, SHARED, REST = parse_program_args(sys.argv[1:])
OPENINGS = os.path.join(SHARED or os.path.join(HERE, "..", "..", "shared"), "openings", "noob_2moves.epd")
HAVE_STOCKFISH = os.path.exists(match.STOCKFISH)
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"


class ScriptedPlayer(match.Player):
    """Plays the moves it is given, each taking the given milliseconds."""

    protocol = "uci"

    def __init__(self, name, moves, elapsed=1):
        super().__init__(name, None)
        self.script = list(moves)
        self.elapsed = elapsed

    def new_game(self, start_fen, tc):
        pass

    def end_game(self, result):
        pass

    def restart(self):
        pass

    def move(self, start_fen, moves, clocks, white_to_move):
        return self.script.pop(0), self.elapsed, None


def options(**changes):
    values = dict(max_plies=400, adjudicate_plies=8, adjudicate_score=1000)
    values.update(changes)
    return type("Options", (), values)


@unittest.skipUnless(HAVE_STOCKFISH, "stockfish (the referee) is not installed")
class RunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.referee = match.Referee()

    @classmethod
    def tearDownClass(cls):
        cls.referee.close()

    def play(self, white_moves, black_moves, tc="10", white_ms=1):
        record = match.GameRecord(1, START, "white", "black")
        players = [ScriptedPlayer("white", white_moves, white_ms), ScriptedPlayer("black", black_moves)]
        match.play_game(record, players, self.referee, match.TimeControl(tc), options())
        return record

    def test_endings_and_faults(self):
        dance_w, dance_b = ["g1f3", "f3g1"] * 2, ["g8f6", "f6g8"] * 2
        cases = [
            # The start position is back for the third time after 8 plies.
            (dance_w, dance_b, "10", 1, "1/2-1/2", "threefold repetition", None, 8),
            (["f2f3", "g2g4"], ["e7e5", "d8h4"], "10", 1, "0-1", "checkmate", None, 4),
            (["e2e5"], [], "10", 1, "0-1", "illegal move", "illegal move", 0),
            (["e2e4"], [], "1", 1500, "0-1", "time loss", "time loss", 0),
        ]
        for white, black, tc, white_ms, result, reason, fault, plies in cases:
            with self.subTest(reason=reason):
                record = self.play(white, black, tc, white_ms)
                self.assertEqual((record.result, record.reason), (result, reason))
                self.assertEqual(record.failure and record.failure[0], fault)
                self.assertEqual(len(record.moves), plies)


class MatchTest(unittest.TestCase):
    def run_match(self, *args):
        argv = ["--openings", OPENINGS, "--seed", "7", "--max-plies", "160", *args]
        records, summary = match.run_match(match.parse_options(argv), out=sys.stderr)
        print(summary, file=sys.stderr)
        # Faults of the opponent (a stockfish time loss) are not ours to mend.
        failures = [r.line() + f"\n  FAILURE {r.failure}" for r in records
                    if r and r.failure and not r.failure[2].startswith("stockfish")]
        self.assertEqual(failures, [])
        self.assertTrue(all(r is not None and r.result for r in records))
        self.assertTrue(summary.endswith("PASS"), summary)
        return records

    @unittest.skipUnless(HAVE_STOCKFISH and "crv" in PROGRAMS and "crv_serial" in PROGRAMS,
                         "needs crv, crv_serial and stockfish")
    def test_self_play_uci_against_xboard(self):
        # Two openings, each with both colours and both protocols on each side.
        self.run_match("--engine", PROGRAMS["crv"], "--opponent-engine", PROGRAMS["crv_serial"],
                       "--protocol", "alternate", "--games", "4", "--tc", "3+0.05", "--concurrency", "2")

    @unittest.skipUnless(HAVE_STOCKFISH and "crv_x86" in PROGRAMS and "crv" in PROGRAMS,
                         "needs crv_x86, crv and stockfish")
    def test_self_play_32_bit_with_moves_per_control(self):
        self.run_match("--engine", PROGRAMS["crv_x86"], "--opponent-engine", PROGRAMS["crv"],
                       "--protocol", "alternate", "--games", "2", "--tc", "20/3", "--concurrency", "2")

    @unittest.skipUnless(HAVE_STOCKFISH and "crv" in PROGRAMS, "needs crv and stockfish")
    def test_against_stockfish(self):
        self.run_match("--engine", PROGRAMS["crv"], "--opponent", "stockfish", "--skill", "0",
                       "--protocol", "alternate", "--games", "4", "--tc", "3+0.05", "--concurrency", "2")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *REST])
