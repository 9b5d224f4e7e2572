// Root probes: the tablebases decide which root moves keep the best result.
// The DTZ filter keeps the winning moves that zero in time (or the longest
// defences), the WDL filter the moves of the best result. The values stay in
// a list of their own: the root scores that the search starts from are left
// as they were, and the list changes only when every probe succeeded and at
// least one move is kept.
#include "board/legal.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "tablebases/tablebases.h"
#include "tablebases/tbcore.h"

static const int wdl_to_score[5] = {-(TB_WIN_SCORE - 1), -2, 0, 2, TB_WIN_SCORE - 1};
static const int wdl_to_dtz[5] = {-1, -101, 0, 101, 1};

static int32_t root_values[ROOT_MOVES_SIZE];  // tablebase value of each root move

// 1 when the side to move, in check, has no legal move.
static int is_checkmate() {
  const int top = MoveStackTop;
  GenerateLegalMoves(top);
  int mated = MoveStackTop == top;
  MoveStackTop = top;
  return mated;
}

static bool Irreversible(Move m) { return m == 0 || MovePiece(m) == PAWN || MoveCaptured(m) || MovePromotion(m); }

// 1 when the root position stood on the board before, since the last
// irreversible move, with the same side to move.
static int RootRepeated() {
  if (GamePly < 3) return 0;
  for (int r = GamePly - 4; r >= 0; r -= 2) {
    if (Irreversible(GameHistory[r].move)) return 0;
    if (GameHistory[r].HashKey == thread_board.HashKey) return 1;
    if (r < 1 || Irreversible(GameHistory[r - 1].move)) return 0;
  }
  return 0;
}

// Keeps the root moves whose value lies in [low, high], in their order, with
// their scores and check flags; 0 (and nothing changed) when none would stay.
static int KeepRootMoves(int low, int high) {
  const int n = MoveStackTop;
  int kept = 0;
  for (int i = 0; i < n; i++) kept += root_values[i] >= low && root_values[i] <= high;
  if (kept == 0) return 0;
  kept = 0;
  for (int i = 0; i < n; i++) {
    if (root_values[i] < low || root_values[i] > high) continue;
    MoveStack[kept] = MoveStack[i];
    RootScores[kept] = RootScores[i];
    RootGivesCheck[kept] = RootGivesCheck[i];
    root_values[kept] = root_values[i];
    kept++;
  }
  MoveStackTop = kept;
  return 1;
}

// Room for one root move and its probes in the ply records and the history.
static int RootRoom() {
  return MoveStackTop > 0 && MoveStackTop <= ROOT_MOVES_SIZE && GamePly + 4 * TBPIECES < GAME_HISTORY_SIZE;
}

int root_probe(int* score) {
  int success;
  // 1. The root's own distance.
  SearchPly = 0;
  int dtz = probe_dtz(&success);
  if (!success || !RootRoom()) return 0;
  // 2. Every root move.
  SearchPly = 1;
  for (int i = 0; i < MoveStackTop; i++) {
    MakeMove(MoveStack[i].move, 1);
    SearchStack[1].in_check = (uint32_t)RootGivesCheck[i];
    int v;
    success = 1;
    if (RootGivesCheck[i] && dtz > 0 && is_checkmate()) {
      v = 1;
    } else if (thread_board.Rule50 != 0) {
      v = -probe_dtz(&success);
      v = v > 0 ? v + 1 : v < 0 ? v - 1 : 0;
    } else {
      v = wdl_to_dtz[-probe_wdl(&success) + 2];
    }
    UnmakeMove();
    if (!success) return 0;
    root_values[i] = v;
  }
  // 3. The root's result under the fifty-move rule.
  const int c = thread_board.Rule50;
  int wdl = dtz > 0 ? (dtz + c <= 100 ? 2 : 1) : dtz < 0 ? (-dtz + c <= 100 ? -2 : -1) : 0;
  // 4. The score reported for the root.
  int root_score;
  if (wdl == 1 && dtz <= 100)
    root_score = (200 - dtz - c) / 2;
  else if (wdl == -1 && dtz >= -100)
    root_score = -((200 + dtz - c) / 2);
  else
    root_score = wdl_to_score[wdl + 2];
  // 5. Keep the moves that hold the result.
  int kept;
  if (dtz > 0) {
    int best = 0xFFFF;
    for (int i = 0; i < MoveStackTop; i++)
      if (root_values[i] > 0 && root_values[i] < best) best = root_values[i];
    int max = best;
    if (c < 100 && !RootRepeated() && best + c <= 99) max = 99 - c;
    kept = KeepRootMoves(1, max);
  } else if (dtz < 0) {
    int best = 0;
    for (int i = 0; i < MoveStackTop; i++)
      if (root_values[i] < best) best = root_values[i];
    kept = c - 2 * best < 100 ? 1 : KeepRootMoves(best, best);
  } else {
    kept = KeepRootMoves(0, 0);
  }
  if (!kept) return 0;
  *score = root_score;
  return 1;
}

int root_probe_wdl(int* score) {
  int success;
  SearchPly = 0;
  int wdl = probe_wdl(&success);
  if (!success || !RootRoom()) return 0;
  SearchPly = 1;
  int best = -2;
  for (int i = 0; i < MoveStackTop; i++) {
    MakeMove(MoveStack[i].move, 1);
    SearchStack[1].in_check = (uint32_t)RootGivesCheck[i];
    int v = -probe_wdl(&success);
    UnmakeMove();
    if (!success) return 0;
    root_values[i] = v;
    if (v > best) best = v;
  }
  if (!KeepRootMoves(best, best)) return 0;
  *score = wdl_to_score[wdl + 2];
  return 1;
}
