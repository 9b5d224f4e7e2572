#!/usr/bin/env python3
"""Writes the piece-square half tables of a parameter file (block 28) into the
compiled defaults of eval/defaults_material.cpp: the PieceSquareParams
initialiser, number for number in its present layout, and the twelve base
tables Pst*Mg/Eg expanded from the half tables, so that the engine's packed
tables (built from the compiled base tables before the file is read) play
the file's values.

The rook endgame base table is compiled all 0 and stays so: a file whose
rook endgame half table is not all 0 is refused.

Usage: tools/pst_defaults.py VALUES_FILE [SOURCE]   (default eval/defaults_material.cpp)
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from spsa import block_offsets, read_base  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
HEAD = 8 + 32  # the head and the king-centre table come before the half tables
# The half tables in file order, by the base table each one fills.
HALF_TABLES = ["PstKnightMg", "PstKnightEg", "PstKingMg", "PstKingEg", "PstBishopMg", "PstBishopEg",
               "PstRookMg", "PstRookEg", "PstQueenMg", "PstQueenEg", "PstPawnMg", "PstPawnEg"]
FIXED_ZERO = "PstRookEg"


def expand(half):
    """A half table (file a ranks 1..8, then b, c, d) as a BLACK-view base
    table: (file f, rank r) goes to squares (7 - r) * 8 + f and its mirror."""
    base = [0] * 64
    for f in range(4):
        for r in range(8):
            base[(7 - r) * 8 + f] = base[(7 - r) * 8 + 7 - f] = half[f * 8 + r]
    return base


def replace_numbers(body, values):
    """The initialiser body with its numbers, in order, replaced by values;
    comment lines are kept."""
    it = iter(values)
    out = []
    for line in body.split("\n"):
        if line.strip().startswith("//"):
            out.append(line)
            continue
        out.append(re.sub(r"-?\d+", lambda _: str(next(it)), line))
    if next(it, None) is not None:
        raise SystemExit("the initialiser has fewer numbers than the block")
    return "\n".join(out)


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__.strip().splitlines()[-1])
    source = sys.argv[2] if len(sys.argv) == 3 else os.path.join(ROOT, "eval", "defaults_material.cpp")
    lines = read_base(sys.argv[1])
    first = block_offsets()[28]
    params = [int(x) for x in lines[first:first + 424]]
    with open(source) as f:
        text = f.read()

    # 1. The PieceSquareParams initialiser, in its present layout.
    match = re.search(r"(int32_t PieceSquareParams\[424\] = \{\n)(.*?)(\n\};)", text, re.S)
    if not match:
        raise SystemExit(f"{source}: no PieceSquareParams initialiser")
    text = text[:match.start(2)] + replace_numbers(match.group(2), params) + text[match.end(2):]

    # 2. The base tables, eight squares a row.
    for t, name in enumerate(HALF_TABLES):
        half = params[HEAD + 32 * t:HEAD + 32 * (t + 1)]
        if name == FIXED_ZERO:
            if any(half):
                raise SystemExit(f"the rook endgame half table must stay 0: {half}")
            continue
        base = expand(half)
        rows = "".join("    " + ", ".join(str(v) for v in base[r * 8:r * 8 + 8]) + ",\n" for r in range(8))
        pattern = re.compile(r"(int16_t " + name + r"\[64\] = \{\n)(.*?)(\};)", re.S)
        if not pattern.search(text):
            raise SystemExit(f"{source}: no {name}")
        text = pattern.sub(lambda m: m.group(1) + rows + m.group(3), text, count=1)

    with open(source, "w") as f:
        f.write(text)
    print(f"{source}: block 28 of {sys.argv[1]} written")


if __name__ == "__main__":
    main()
