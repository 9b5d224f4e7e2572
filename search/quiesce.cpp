// The quiescence search: stand pat on the static evaluation, then the hash
// move, the good captures and queen promotions, a few quiet checks, or every
// evasion when in check, until the position is quiet.
#include "search/quiesce.h"

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "search/movepicker.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "search/searchtools.h"
#include "search/transposition.h"

namespace {

constexpr uint32_t QUIET_CHECKS_GIVEN = 16;  // ply flag: speculative quiet checks allowed here
constexpr int NO_QUIET_CHECKS = 1;           // hash flag: no quiet checks at this position
constexpr int NO_GOOD_CAPTURES = 2;          // hash flag: no good capture and no promotion

constexpr int32_t CheckThreatMargin[5] = {-10, -10, 10, 50, 250};  // by threatened pieces
constexpr int32_t CheckDepthMargin[4] = {50, 150, 250, 700};       // by depth / 4 + 2

constexpr Bitboard RANK_2 = 0x000000000000FF00ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL;

// The material balance when it settles the node outside the lazy window (at
// or above beta above it, at or below alpha below it), else INFINITY_SCORE.
int LazyMaterialExit(int alpha, int beta) {
  int32_t balance = 0;
  const int side = LazyMaterialBalance(&balance);
  if ((side > 0 && balance >= beta) || (side < 0 && balance <= alpha)) return balance;
  return INFINITY_SCORE;
}

// Appends the good captures, then per own pawn on the seventh rank with the
// square ahead empty the queen promotion and, when that knight would attack
// the enemy king, the knight promotion. BLACK mirrors WHITE (pawns on rank 2
// promote downwards).
void AddQuiescenceTactics() {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove;
  GenerateGoodCaptures(b.Colour[side ^ 1]);
  const Bitboard empty = ~b.Occupied;
  if (side == WHITE) {
    Bitboard pawns = b.Pieces[PAWN][WHITE] & RANK_7 & (empty >> 8);
    while (pawns) {
      const int from = PopLSB(&pawns), to = from + 8;
      AddGoodCapture(MakeMoveWord(from, to, PAWN, 0, QUEEN));
      if (KnightAttacks[to] & b.Pieces[KING][BLACK]) AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
    }
  } else {
    Bitboard pawns = b.Pieces[PAWN][BLACK] & RANK_2 & (empty << 8);
    while (pawns) {
      const int from = PopLSB(&pawns), to = from - 8;
      AddGoodCapture(MakeMoveWord(from, to, PAWN, 0, QUEEN));
      if (KnightAttacks[to] & b.Pieces[KING][WHITE]) AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
    }
  }
}

// Makes a legal-tested move, searches the child and takes the move back.
inline int SearchChild(Move move, int alpha, int beta, int depth, int childType) {
  MakeMove(move, 1);
  PrefetchHash();
  SearchPly++;
  const int score = -Quiesce(-beta, -alpha, depth, childType);
  SearchPly--;
  UnmakeMove();
  return score;
}

// Lowers the history of the quiet moves searched before the cut-off entry.
void DecayEarlierQuietMoves(int start, int cut, int inCheck) {
  for (int i = start; i < cut; i++) {
    const MoveEntry& entry = MoveStack[i];
    if (entry.score == ENTRY_NOT_TRIED || !IsQuietMove(entry.move)) continue;
    DecayHistory(0, entry.move, 1, inCheck, entry.flag);
  }
}

}  // namespace

// Score for the side to move at or beyond the horizon (see the header). The
// steps are numbered in the order they run.
int Quiesce(int alpha, int beta, int depth, int nodeType) {
  ThreadBoard& b = thread_board;
  PlyRecord& ply = SearchStack[SearchPly];
  // 1. Bookkeeping: selective depth, node count and poll countdown (the clock
  // is read by Search only), and clear what the parent reads back.
  if (SearchPly > SelDepth) SelDepth = SearchPly;
  Nodes++;
  PollCountdown--;
  ply.best_move = 0;
  ply.flags = 0;
  if (b.StopSearch) return 0;
  const int inCheck = ply.in_check ? 1 : 0;

  // 2. Mate distance: mated at the earliest two plies on (now, in check), and
  // no score can beat a mate given with the next move.
  const int mateLow = MatedScore(SearchPly + 2 - 2 * inCheck);
  if (mateLow > alpha) {
    if (mateLow >= beta) return mateLow;
    alpha = mateLow;
  }
  if (alpha >= MateScore(SearchPly + 1)) return alpha;

  // 3. Draws by the fifty-move rule, by repetition, or by a repetition the side
  // to move can reach with its next move.
  if (b.Rule50 >= 3 && IsSearchDraw(beta <= 0)) return 0;

  // 4. Ply guard: the stacks end; what is left is the static evaluation.
  if (SearchPly >= QUIESCE_PLY_LIMIT || GamePly >= QUIESCE_GAME_PLY_LIMIT) return Evaluate();

  // 5. Far beyond the iteration's depth no quiet checks are tried, so that
  // check sequences cannot run on.
  const int limitPly = IterationDepth * 3 + 2 < 90 ? IterationDepth * 3 + 2 : 90;
  if (SearchPly > limitPly) depth = -16;

  // 6. Lazy exit: a material balance far outside the root's window settles the
  // node without an evaluation.
  const int lazy = LazyMaterialExit(alpha, beta);
  if (lazy != INFINITY_SCORE) return lazy;

  // 7. Transposition table: a stored bound may settle the node; its score and
  // move are the starting best, its flags spare generating what is known absent.
  int32_t a = alpha, bb = beta;
  Move hashMove = 0;
  int found = 0;
  const uint64_t key = PositionKey();
  if (ProbeHashQuiesceAt(key, &a, &bb, &hashMove, &found, nodeType == 0) && found) {
    ply.best_move = hashMove;
    return a;
  }
  int flags = HashFlags & 31;
  int best = HashScoreHint;
  Move bestMove = best > -INFINITY_SCORE ? hashMove : 0;
  const int alphaAtEntry = alpha;
  int movedRaisedAlpha = 0;

  const int side = b.SideToMove, other = side ^ 1;
  // 8. Stand pat: out of check the side to move may decline every capture, so
  // the static evaluation is a lower bound.
  int eval = -INFINITY_SCORE;
  if (!inCheck) {
    eval = Evaluate();
    ply.static_eval = eval;
    ply.attack_maps[WHITE] = thread_eval_info.attack_map[WHITE];
    ply.attack_maps[BLACK] = thread_eval_info.attack_map[BLACK];
    if (eval > best) {
      best = eval;
      bestMove = 0;
    }
    if (eval > alpha) alpha = eval;
    if (eval >= beta) return eval;
  } else {
    // No evaluation in check: stale maps of another node must not steer the
    // exchange tests of the evasions.
    ply.attack_maps[WHITE] = ply.attack_maps[BLACK] = 0;
  }

  // 9. Quiet checks: when they may change the score, or once as a speculative
  // try when this side did not try one on its previous move.
  int checksAllowed = 0;
  if (!inCheck) {
    if (IterationDepth != 0 && SearchPly <= limitPly && depth >= -8) {
      int threatened = thread_eval_info.threatened_count[side];
      if (threatened > 4) threatened = 4;
      if (threatened < 0) threatened = 0;
      int di = depth / 4 + 2;
      if (di > 3) di = 3;
      if (di < 0) di = 0;
      checksAllowed = CheckThreatMargin[threatened] + (nodeType == 0 ? 50 : 0) + CheckDepthMargin[di] + eval > alpha;
    }
    if (!checksAllowed && SearchPly < limitPly && SearchPly >= 2 &&
        !(SearchStack[SearchPly - 2].flags & QUIET_CHECKS_GIVEN)) {
      checksAllowed = 1;
      ply.flags |= QUIET_CHECKS_GIVEN;
    }
    if (flags & NO_QUIET_CHECKS) checksAllowed = 0;
  }

  int searched = 0;
  PlyRecord& child = SearchStack[SearchPly + 1];

  // 10. The hash move first, when it is playable here: it most often cuts.
  if (hashMove != 0 && !IsPlayableMove(hashMove)) {
    if (bestMove == hashMove) bestMove = 0;
    hashMove = 0;
  }
  if (hashMove != 0 && IsQuietMove(hashMove) && !checksAllowed) hashMove = 0;
  if (hashMove != 0) {
    const int quiet = IsQuietMove(hashMove);
    const uint32_t safety = quiet ? MoveSafety(hashMove) : 1u;
    const int gives = MoveGivesCheck(hashMove);
    MakeMove(hashMove, 1);
    PrefetchHash();
    if (MoverKingAttacked()) {
      UnmakeMove();
      hashMove = 0;
    } else {
      child.in_check = gives;
      SearchPly++;
      const int childDepth = depth - 2 + (gives && SearchPly < limitPly ? 4 : 0);
      const int score = -Quiesce(-beta, -alpha, childDepth, -nodeType);
      SearchPly--;
      UnmakeMove();
      if (b.StopSearch) return 0;
      searched = 1;
      if (score >= beta) {
        StoreHashAt(key, 0, hashMove, score, HASH_LOWER, 0, flags);
        ply.best_move = hashMove;
        if (quiet) UpdateMoveHistory(depth, hashMove, 1, inCheck, safety);
        return score;
      }
      if (score > best) {
        best = score;
        bestMove = hashMove;
        if (score > alpha) {
          alpha = score;
          movedRaisedAlpha = 1;
        }
      }
    }
  }

  // 11. The moves: the good captures and promotions, or every evasion in check.
  const int start = MoveStackTop;
  if (!inCheck) {
    if (!(flags & NO_GOOD_CAPTURES)) {
      AddQuiescenceTactics();
      if (MoveStackTop == start) flags |= NO_GOOD_CAPTURES;
    }
  } else {
    if (!GenerateEvasionsForSearch(0)) {
      MoveStackTop = start;
      return MatedScore(SearchPly);
    }
    // After a speculative quiet check of the parent, one safe evasion is
    // taken as proof that the check achieved nothing.
    if (MoveStackTop - start >= 2 && SearchPly >= 1 && (SearchStack[SearchPly - 1].flags & QUIET_CHECKS_GIVEN) &&
        GamePly > 0 && IsQuietMove(GameHistory[GamePly - 1].move)) {
      for (int i = start; i < MoveStackTop; i++) {
        if (MoveStack[i].flag == 1) {
          MoveStackTop = start;
          return beta;
        }
      }
    }
  }

  // 12. Move loop, best ordering score first. Outside the main line a move that
  // gives no check is skipped when it cannot reach alpha: a quiet evasion
  // after the first, an under-promotion, a capture short by a wide margin.
  const int end = MoveStackTop;
  for (int i = start; i < end; i++) {
    const int orderScore = PickBestEntry(i, end);
    MoveEntry& entry = MoveStack[i];
    const Move move = entry.move;
    if (move == hashMove || FailsQuickLegality(move)) {
      entry.score = ENTRY_NOT_TRIED;
      continue;
    }
    const int gives = MoveGivesCheck(move);
    if (nodeType != 0 && !gives) {
      int skip = 0;
      if (inCheck) {
        skip = searched > 0 && IsQuietMove(move) && entry.flag != 1;
      } else if (MovePromotion(move) != 0 && MovePromotion(move) != QUEEN) {
        skip = 1;
      } else {
        const int estimate = EstimateMoveEval(move);
        const int shortfall = alpha - eval - estimate;
        skip = shortfall >= 58 && ((estimate >= 478 && shortfall >= 395) ||
                                   (estimate < 478 && shortfall >= 113 && (b.PieceUnits[other] >= 10 || eval < -498)));
      }
      if (skip) {
        entry.score = ENTRY_NOT_TRIED;
        continue;
      }
    }
    MakeMove(move, 1);
    PrefetchHash();
    if (IsEnPassant(move) && MoverKingAttacked()) {
      UnmakeMove();
      entry.score = ENTRY_NOT_TRIED;
      continue;
    }
    // 13. Search the move (a check keeps the depth) and keep the best; a cut
    // by a quiet evasion raises its history.
    child.in_check = gives;
    SearchPly++;
    const int childDepth = depth - 4 + (gives && SearchPly < limitPly ? 4 : 0);
    const int score = -Quiesce(-beta, -alpha, childDepth, searched < 2 ? -nodeType : -1);
    SearchPly--;
    UnmakeMove();
    if (b.StopSearch) {
      MoveStackTop = start;
      return 0;
    }
    searched++;
    if (MoveCaptured(move) != 0 && !inCheck && orderScore < 100000) RefreshCaptureHistory(move, score > alpha);
    if (score >= beta) {
      StoreHashAt(key, 0, move, score, HASH_LOWER, 0, flags);
      ply.best_move = move;
      if (inCheck && IsQuietMove(move)) {
        DecayEarlierQuietMoves(start, i, 1);
        UpdateMoveHistory(depth, move, 1, 1, entry.flag);
      }
      MoveStackTop = start;
      return score;
    }
    if (score > best) {
      best = score;
      bestMove = move;
      if (score > alpha) {
        alpha = score;
        movedRaisedAlpha = 1;
      }
    }
  }
  MoveStackTop = start;
  // 14. Every evasion was illegal: mated.
  if (inCheck && searched == 0) return MatedScore(SearchPly);

  // 15. Quiet checks, when step 9 allowed them: a check may win more than the
  // stand-pat score shows.
  if (checksAllowed && !inCheck) {
    GenerateQuietChecks(eval + 100 >= alpha ? 1u : 0u);
    const int checksEnd = MoveStackTop;
    for (int i = start; i < checksEnd; i++) {
      PickBestEntry(i, checksEnd);
      const Move move = MoveStack[i].move;
      if (move == hashMove || FailsQuickLegality(move)) continue;
      child.in_check = 1;
      const int childDepth = SearchPly + 1 >= limitPly ? depth - 4 : depth;
      const int score = SearchChild(move, alpha, beta, childDepth, searched < 2 ? -nodeType : -1);
      if (b.StopSearch) {
        MoveStackTop = start;
        return 0;
      }
      searched++;
      if (score > best) {
        best = score;
        bestMove = move;
        if (score > alpha) {
          alpha = score;
          movedRaisedAlpha = 1;
        }
      }
      if (score >= beta) {
        StoreHashAt(key, 0, move, score, HASH_LOWER, 0, flags);
        ply.best_move = move;
        MoveStackTop = start;
        return score;
      }
    }
    MoveStackTop = start;
  }

  // 16. End: the result goes into the table, exact when a move raised alpha.
  if (movedRaisedAlpha && best > alphaAtEntry)
    StoreHashAt(key, 0, bestMove, best, HASH_EXACT, 0, flags);
  else
    StoreHashAt(key, 0, bestMove, best, HASH_UPPER, 0, flags);
  ply.best_move = bestMove;
  return best;
}
