// Quiescence leaves for the tuning tool (see the header).
#include "tools/texel_leaf.h"

#include <cstring>

#include "board/movegen.h"
#include "board/searchstack.h"
#include "eval/defaults_material.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "eval/pst.h"
#include "search/searchtools.h"

namespace {

constexpr Bitboard RANK_2 = 0x000000000000FF00ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL;

// The exchange-safe captures, then the queen promotions with the square
// ahead empty, as the engine's quiescence search tries them.
void AddLeafMoves() {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove;
  GenerateGoodCaptures(b.Colour[side ^ 1]);
  const Bitboard empty = ~b.Occupied;
  Bitboard pawns = side == WHITE ? b.Pieces[PAWN][WHITE] & RANK_7 & (empty >> 8)
                                 : b.Pieces[PAWN][BLACK] & RANK_2 & (empty << 8);
  while (pawns) {
    const int from = PopLSB(&pawns), to = side == WHITE ? from + 8 : from - 8;
    AddGoodCapture(MakeMoveWord(from, to, PAWN, 0, QUEEN));
  }
}

// Fail-soft alpha-beta over the captures; moves[0..*length) is the line to
// the position whose evaluation is the score. Checks are not searched: a
// side in check stands pat like any other.
int LeafSearch(int alpha, int beta, int ply, Move* moves, int* length) {
  *length = 0;
  int best = Evaluate();
  if (best >= beta || ply >= LEAF_LINE_MAX) return best;
  if (best > alpha) alpha = best;
  const int start = MoveStackTop;
  AddLeafMoves();
  const int end = MoveStackTop;
  Move childMoves[LEAF_LINE_MAX];
  for (int i = start; i < end; i++) {
    PickBestEntry(i, end);
    const Move move = MoveStack[i].move;
    if (FailsQuickLegality(move)) continue;
    MakeMove(move, 1);
    if (IsEnPassant(move) && MoverKingAttacked()) {
      UnmakeMove();
      continue;
    }
    int childLength = 0;
    const int score = -LeafSearch(-beta, -alpha, ply + 1, childMoves, &childLength);
    UnmakeMove();
    if (score <= best) continue;
    best = score;
    moves[0] = move;
    std::memcpy(moves + 1, childMoves, (size_t)childLength * sizeof(Move));
    *length = childLength + 1;
    if (best > alpha) alpha = best;
    if (best >= beta) break;
  }
  MoveStackTop = start;
  return best;
}

}  // namespace

LeafRoot CaptureRoot() {
  const ThreadBoard& b = thread_board;
  LeafRoot root{};
  for (int square = 0; square < 64; square++) {
    const int code = (int)b.Board[square];
    if (code == 0) continue;
    const int black = (b.Colour[BLACK] & SquareBit(square)) != 0;
    root.square[square] = (uint8_t)(code | (black ? 8 : 0));
  }
  root.side = (uint8_t)b.SideToMove;
  root.castle = (uint8_t)(b.CastleFlags & 15);
  root.root_side = (uint8_t)b.SideToMove;
  return root;
}

void RestoreRoot(const LeafRoot& root) {
  ThreadBoard& b = thread_board;
  GamePly = 0;
  MoveStackTop = 0;
  SearchPly = 1;
  ClearBoard();
  for (int square = 0; square < 64; square++)
    if (root.square[square] != 0) AddPiece(square, root.square[square] >> 3, root.square[square] & 7);
  b.SideToMove = root.side;
  b.CastleFlags = root.castle;
  b.Rule50 = 0;
  b.StopSearch = 0;
  // The one-entry pawn cache may hold a result of other tables.
  b.PawnBlock.key = PAWN_BLOCK_NO_KEY;
  RootSide = root.root_side;
  LazyEvalLow = -INFINITY_SCORE;
  LazyEvalHigh = INFINITY_SCORE;
}

int SearchLeaf(LeafLine* line) {
  int length = 0;
  const int score = LeafSearch(-INFINITY_SCORE, INFINITY_SCORE, 0, line->moves, &length);
  line->length = (uint8_t)length;
  return score;
}

int LeafWhiteScore(const LeafLine& line) {
  RestoreRoot(line.root);
  for (int i = 0; i < line.length; i++) MakeMove(line.moves[i], 1);
  const int score = Evaluate();
  return thread_board.SideToMove == WHITE ? score : -score;
}

void BuildPlayedPieceSquareTables() {
  for (int square = 0; square < 64; square++) PstRookEg[square] = 0;
  InitPieceSquareTables();
}
