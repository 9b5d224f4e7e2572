// Quiescence leaves for the tuning tool: a capture search that stands pat on
// the static evaluation and gives the line to the position whose evaluation
// is its score, so that the tool can score that position alone while it
// varies the parameters.
#pragma once
#include <cstdint>

#include "board/position.h"

constexpr int LEAF_LINE_MAX = 16;  // plies of captures followed at most

// A position as the tool keeps it: the pieces, side, rights, and the side
// the evaluation takes as the searching side (its asymmetric terms).
struct LeafRoot {
  uint8_t square[64];  // piece code, plus 8 for BLACK; 0 when empty
  uint8_t side;
  uint8_t castle;
  uint8_t root_side;
};

// The root and the captures that lead from it to its quiescence leaf.
struct LeafLine {
  LeafRoot root;
  uint8_t length;
  Move moves[LEAF_LINE_MAX];
};

// The position on thread_board as a root, the side to move searching.
LeafRoot CaptureRoot();
// Sets thread_board to the root (its incremental sums from the tables in
// force) and the evaluation's globals to a fresh full-window state.
void RestoreRoot(const LeafRoot& root);
// Searches the captures of the root on thread_board; fills the line to its
// leaf and gives the score for the side to move, which is the leaf's static
// evaluation seen from the root's side to move.
int SearchLeaf(LeafLine* line);
// The static evaluation of the line's leaf for WHITE, with the tables in force.
int LeafWhiteScore(const LeafLine& line);
// Rebuilds the packed and unpacked piece-square tables from the base tables
// of the set just loaded, so that the leaves are scored as the engine would
// play that set with those base tables compiled in (it builds its packed
// tables from the compiled ones before it reads the file). The rook endgame
// table is compiled all 0, so it counts as 0 whatever the file holds.
void BuildPlayedPieceSquareTables();
