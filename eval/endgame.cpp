// Endgame knowledge: known draws and wins, the drawish three-pawn endings and
// the king-and-pawn probes.
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/terms.h"

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
