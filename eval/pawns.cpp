// Pawn structure, king shelter values and the pawn hash.
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/terms.h"

void ResetPawnBlock() { thread_board.PawnBlock.key = PAWN_BLOCK_NO_KEY; }

// Files holding a pawn of the set, bit f for file f.
static inline uint8_t FileByte(Bitboard pawns) {
  pawns |= pawns >> 32;
  pawns |= pawns >> 16;
  pawns |= pawns >> 8;
  return (uint8_t)(pawns & 0xff);
}

// Stand-in until the pawn structure is scored: no pawn score, no passed
// pawns, no weak files and no shelter values. Only the two pawn-file bytes
// are filled, because the rook-ending and endgame-class terms read them.
void EvaluatePawns() {
  PawnHashEntry& block = thread_board.PawnBlock;
  block.score = 0;
  block.PassedVector[0] = block.PassedVector[1] = 0;
  block.white_files = FileByte(thread_board.Pieces[PAWN][WHITE]);
  block.black_files = FileByte(thread_board.Pieces[PAWN][BLACK]);
  block.black_weak_files = block.white_weak_files = 0;
  for (uint8_t& shelter : block.shelter) shelter = 0;
  thread_eval_info.passed_pawns[WHITE] = thread_eval_info.passed_pawns[BLACK] = 0;
}
