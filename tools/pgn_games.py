#!/usr/bin/env python3
"""Turns PGN files whose moves are in coordinates (fastchess -pgnout
notation=uci) into the game lines of the tuning tool, one game a line:
"FEN|move move ...|result". Games without a result (*) are left out, and so
are games that ended other than at the board (an illegal move, a time
forfeit, a lost connection): their result says nothing about the positions.

Usage: tools/pgn_games.py PGN [PGN ...] > games.txt
"""

import re
import sys

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
TAG = re.compile(r'^\[(\w+)\s+"(.*)"\]\s*$')
MOVE = re.compile(r"^[a-h][1-8][a-h][1-8][qrbn]?$")
RESULTS = ("1-0", "0-1", "1/2-1/2")
BOARD_ENDINGS = ("normal", "adjudication")


def games(lines):
    """Yields (fen, moves, result) for every game of the PGN text."""
    tags, text = {}, []
    for line in lines:
        line = line.strip()
        match = TAG.match(line)
        if match:
            if text:
                yield finish(tags, text)
                tags, text = {}, []
            tags[match.group(1)] = match.group(2)
        elif line:
            text.append(line)
    if text or tags:
        yield finish(tags, text)


def finish(tags, text):
    body = re.sub(r"\{[^}]*\}", " ", " ".join(text))  # comments
    body = re.sub(r"\([^)]*\)", " ", body)            # variations
    moves = [word for word in body.split() if MOVE.match(word)]
    result = tags.get("Result", "*")
    if tags.get("Termination", "normal") not in BOARD_ENDINGS:
        result = "*"
    return tags.get("FEN", START_FEN), moves, result


def main(paths):
    if not paths:
        sys.exit(__doc__)
    count = 0
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as pgn:
            for fen, moves, result in games(pgn):
                if result in RESULTS and moves:
                    print(f"{fen}|{' '.join(moves)}|{result}")
                    count += 1
    print(f"{count} games", file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv[1:])
