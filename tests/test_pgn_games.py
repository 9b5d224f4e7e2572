"""The game-line converter of the tuning data: a game that ended at the
board becomes one line, FEN (or the start position), coordinate moves and
result; a game without a result or one that ended off the board (an illegal
move, a time forfeit) is left out, since its result says nothing about the
positions.

Run: python3 test_pgn_games.py
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "tools", "pgn_games.py")
START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
FEN = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"


def game(result, moves, termination=None, fen=None):
    tags = [f'[Result "{result}"]']
    if fen:
        tags.append(f'[FEN "{fen}"]')
    if termination:
        tags.append(f'[Termination "{termination}"]')
    return "\n".join(tags) + f"\n\n{moves} {result}\n\n"


class Conversion(unittest.TestCase):
    # (name, PGN text, game lines expected)
    CASES = [
        ("a normal ending with comments and a variation",
         game("1-0", "1. e2e4 {+0.30/9 0.01s} e7e5 (e7e6 d2d4) 2. g1f3 {book} b8c6", "normal"),
         [f"{START}|e2e4 e7e5 g1f3 b8c6|1-0"]),
        ("a set-up position without a termination tag",
         game("1/2-1/2", "1. e1d2 e8d7", fen=FEN),
         [f"{FEN}|e1d2 e8d7|1/2-1/2"]),
        ("an adjudicated game",
         game("0-1", "1. f2f3 e7e5 2. g2g4 d8h4", "adjudication"),
         [f"{START}|f2f3 e7e5 g2g4 d8h4|0-1"]),
        ("an illegal move ends the game", game("1-0", "1. d2d4 {Black makes an illegal move: (none)}",
                                               "illegal move"), []),
        ("a time forfeit", game("0-1", "1. c2c4 g8f6", "time forfeit"), []),
        ("no result", game("*", "1. e2e4"), []),
    ]

    def test_cases(self):
        for name, text, expected in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                path = os.path.join(folder, "games.pgn")
                with open(path, "w", encoding="utf-8") as out:
                    out.write(text)
                done = subprocess.run([sys.executable, SCRIPT, path], capture_output=True, text=True, timeout=60)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(done.stdout.splitlines(), expected)

    def test_games_of_one_file_are_kept_apart(self):
        text = game("1-0", "1. e2e4", "normal") + game("1-0", "1. d2d4", "illegal move") + game("0-1", "1. g2g4")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "games.pgn")
            with open(path, "w", encoding="utf-8") as out:
                out.write(text)
            done = subprocess.run([sys.executable, SCRIPT, path], capture_output=True, text=True, timeout=60)
        self.assertEqual(done.stdout.splitlines(), [f"{START}|e2e4|1-0", f"{START}|g2g4|0-1"])
        self.assertIn("2 games", done.stderr)


if __name__ == "__main__":
    unittest.main()
