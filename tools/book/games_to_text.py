"""Turns games (PGN with moves in UCI coordinates, as fastchess writes them
with notation=uci) into the text that crv_make_book reads.

Every position of the first --plies plies of each game is counted with the
move played from it and the game's result, in the points of book learning:
a win 2 points for the side to move ("lo"), a loss 2 against ("hi"), a draw
one each. A position is kept when it was reached in --min-games games; of
its moves those played in --min-games games whose score is at least
--min-score, or the best scored one when none is. Statistics above 254 are
scaled down per position, keeping their ratio.

Run: python3 games_to_text.py [options] GAMES.pgn > BOOK.txt
"""

import argparse
import re
import sys
from collections import defaultdict

START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"


class Board:
    """Just enough of a chess position to write the FEN after UCI moves."""

    def __init__(self, fen=START):
        placement, side, castling, ep = fen.split()[:4]
        self.squares = {}
        for rank_index, row in enumerate(placement.split("/")):
            file = 0
            for c in row:
                if c.isdigit():
                    file += int(c)
                else:
                    self.squares[(file, 7 - rank_index)] = c
                    file += 1
        self.white = side == "w"
        self.castling = "" if castling == "-" else castling
        self.ep = None if ep == "-" else ep

    def fen(self):
        rows = []
        for rank in range(7, -1, -1):
            row, empty = "", 0
            for file in range(8):
                piece = self.squares.get((file, rank))
                if piece is None:
                    empty += 1
                    continue
                if empty:
                    row += str(empty)
                    empty = 0
                row += piece
            rows.append(row + (str(empty) if empty else ""))
        return f"{'/'.join(rows)} {'w' if self.white else 'b'} {self.castling or '-'} {self.ep or '-'} 0 1"

    def key(self):
        """Placement and side: what the book key sees."""
        return " ".join(self.fen().split()[:2])

    def play(self, move):
        fr = (ord(move[0]) - 97, int(move[1]) - 1)
        to = (ord(move[2]) - 97, int(move[3]) - 1)
        piece = self.squares.pop(fr)
        target = f"{move[2]}{move[3]}"
        if piece in "Pp" and fr[0] != to[0] and to not in self.squares and target == self.ep:
            self.squares.pop((to[0], fr[1]), None)  # en passant
        if piece in "Kk" and abs(to[0] - fr[0]) == 2:
            rook_from, rook_to = ((7, fr[1]), (5, fr[1])) if to[0] == 6 else ((0, fr[1]), (3, fr[1]))
            self.squares[rook_to] = self.squares.pop(rook_from)
        if len(move) == 5:
            piece = move[4].upper() if piece.isupper() else move[4].lower()
        self.squares[to] = piece
        self.ep = None
        if piece in "Pp" and abs(to[1] - fr[1]) == 2:
            self.ep = f"{move[0]}{(fr[1] + to[1]) // 2 + 1}"
        lost = {(4, 0): "KQ", (7, 0): "K", (0, 0): "Q", (4, 7): "kq", (7, 7): "k", (0, 7): "q"}
        for square in (fr, to):
            for right in lost.get(square, ""):
                self.castling = self.castling.replace(right, "")
        self.white = not self.white


def read_games(path):
    """(start FEN, moves, result) of each finished game."""
    text = open(path, encoding="utf-8", errors="replace").read()
    for block in re.split(r"\n(?=\[Event )", text):
        result = re.search(r'\[Result "([^"]+)"\]', block)
        if not result or result.group(1) not in ("1-0", "0-1", "1/2-1/2"):
            continue
        fen = re.search(r'\[FEN "([^"]+)"\]', block)
        body = re.sub(r"\{[^}]*\}", " ", block.split("\n\n", 1)[-1])
        moves = re.findall(r"\b([a-h][1-8][a-h][1-8][qrbn]?)\b", body)
        yield (fen.group(1) if fen else START), moves, result.group(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("games")
    parser.add_argument("--plies", type=int, default=20)
    parser.add_argument("--min-games", type=int, default=2)
    parser.add_argument("--min-score", type=float, default=0.4)
    args = parser.parse_args()

    stats = defaultdict(lambda: defaultdict(lambda: [0, 0]))  # key -> move -> [lo, hi]
    fens = {}
    games = 0
    for fen, moves, result in read_games(args.games):
        board = Board(fen)
        games += 1
        for move in moves[:args.plies]:
            key = board.key()
            # The FEN written allows every move played from the placement:
            # the castling rights of all games, an en-passant square seen.
            rights, ep = fens.get(key, ("", None))
            rights = "".join(r for r in "KQkq" if r in rights or r in board.castling)
            fens[key] = (rights, ep or board.ep)
            points = stats[key][move]
            if result == "1/2-1/2":
                points[0] += 1
                points[1] += 1
            elif (result == "1-0") == board.white:
                points[0] += 2
            else:
                points[1] += 2
            try:
                board.play(move)
            except KeyError:
                break  # a move the simple board cannot follow: the rest is skipped

    kept_positions = 0
    print(f"# {games} games, the first {args.plies} plies; moves kept by their results")
    for key in sorted(stats):
        moves = stats[key]
        played = {m: p for m, p in moves.items() if (p[0] + p[1]) // 2 >= args.min_games}
        if not played:
            continue
        def score(points):
            return points[0] / (points[0] + points[1])
        kept = {m: p for m, p in played.items() if score(p) >= args.min_score}
        if not kept:
            best = max(played, key=lambda m: score(played[m]))
            kept = {best: played[best]}
        top = max(max(p) for p in kept.values())
        factor = min(1.0, 254 / top)
        parts = []
        for move in sorted(kept):
            lo, hi = (max(0, int(v * factor)) for v in kept[move])
            if lo == 0 and hi == 0:
                lo = hi = 1  # played, though scaled to nothing
            parts.append(f"{move} {lo} {hi}")
        rights, ep = fens[key]
        print(f"{key} {rights or '-'} {ep or '-'} 0 1 | {'; '.join(parts)}")
        kept_positions += 1
    print(f"{kept_positions} positions from {games} games", file=sys.stderr)


if __name__ == "__main__":
    main()
