#include "eval/terms.h"

#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/material.h"

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

// Stand-in until passed pawns are scored: adds nothing.
int32_t EvaluatePassedPawns(int32_t packed_score) { return packed_score; }

// Stand-in until the king-and-pawn shortcut exists: never decides.
int EvaluateKingPawnEnding(int32_t*) { return 0; }

// Stand-in until pieces, mobility, threats and king attack are scored: adds nothing.
void EvaluatePieces() {}

// Stand-in until the safe queen checks are scored: adds nothing.
int32_t EvaluateSafeQueenChecks(int32_t score) { return score; }

// Stand-in until the drawish three-pawn endings are known: no scaling.
int32_t ScaleDrawishEndgame(int32_t score) { return score; }

// Stand-ins until the KPK bitbases exist: no position is a known win.
int ProbeKpk(int, int, int, int, int32_t*) { return 0; }
int ProbeKpkFile(int, int, int, int, int32_t*) { return 0; }

// Endgame knowledge, called with little material. On return with *exact set
// *score is the evaluation for the side to move; otherwise the result is a
// term from BLACK's side that starts the general evaluation.
// Stand-in until the endings are known: only the cannot-win flags of the
// material table decide (both set: a draw); otherwise the material term,
// phases, sums and ENDING flags are filled and the material term returned.
int32_t EvaluateEndgame(int32_t* score, int32_t* exact) {
  ThreadBoard& b = thread_board;
  *exact = 1;
  uint32_t index = (uint32_t)b.MaterialIndex;
  const MaterialEntry& entry = MaterialTable[index > (uint32_t)MATERIAL_OUTSIDE ? MATERIAL_OUTSIDE : index];
  b.CannotWin[WHITE] = entry.flags[WHITE] & MATERIAL_FLAG_CANNOT_WIN;
  b.CannotWin[BLACK] = entry.flags[BLACK] & MATERIAL_FLAG_CANNOT_WIN;
  if (b.CannotWin[WHITE] && b.CannotWin[BLACK]) {
    *score = 0;
    return 0;
  }
  EvaluateMaterialAndPhase();
  b.AllPawns = b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK];
  *exact = 0;
  return thread_eval_info.material_score;
}
