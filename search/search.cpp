// The main search below the root: a principal-variation alpha-beta search
// over the staged move picker with mate-distance pruning, draw tests, the
// transposition table, static null cut, iterated null move, a singular test
// of the hash move, extensions, move-count and futility pruning, late-move
// reductions and a pre-search of promising moves.
#include "search/search.h"

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "book/learn.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/packed.h"
#include "eval/pst.h"
#include "search/movepicker.h"
#include "search/quiesce.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/searchtools.h"
#include "search/think.h"
#include "search/transposition.h"
#include "tablebases/tablebases.h"

int64_t Nodes = 0;
int32_t SelDepth = 0;
void (*ReducedMoveHook)(int selector, Move move, int side, int aboveAlpha) = nullptr;
int32_t SingularSearchActive = 0;
int32_t PollCountdown = 0;

namespace {

// Reason flags of the move searched from a ply.
constexpr uint32_t REASON_CHECK = 1;
constexpr uint32_t REASON_MATE_THREAT = 2;
constexpr uint32_t REASON_RECAPTURE = 4;
constexpr uint32_t REASON_PAWN_PUSH = 8;
constexpr uint32_t REASON_DOUBLE_THREAT = 32;
constexpr uint32_t REASON_REDUCED = 64;
constexpr uint32_t REASON_PAWN_ENDING = 128;
constexpr uint32_t REASON_GOOD_CAPTURE = 256;

constexpr int PieceUnitsOf[8] = {0, 0, 3, 0, 0, 5, 3, 9};

// Futility margins by depth / 4 and by the piece units of each side.
constexpr int32_t FutilityM2[5] = {0, 81, 323, 484, 2011};
constexpr int32_t FutilityM3[5] = {0, 16, 18, 16, 19};
constexpr int32_t FutilityM1[16] = {528, 528, 528, 119, 119, 160, 64, 95, 88, 67, 54, 33, 33, 33, 33, 0};
constexpr int32_t FutilityM4[16] = {381, 381, 381, 128, 128, 201, 121, 121, 80, 58, 50, 57, 58, 50, 1, 0};
constexpr int32_t FutilityByCount[8] = {30, 12, 5, 0, -5, -7, -9, -10};

// Quiet moves searched before move-count pruning starts, by depth / 4.
constexpr int32_t MoveCountLimit[16] = {2, 2, 3, 3, 4, 5, 6, 7, 9, 11, 13, 16, 19, 21, 24, 28};
constexpr int32_t MoveCountLimitImproving[16] = {3, 4, 5, 6, 8, 10, 12, 15, 18, 21, 25, 29, 33, 37, 42, 47};

// Reduction terms: by (alpha + child eval) / 25 over -20..20, and by the
// prune rate of the move.
constexpr int32_t ReductionByGap[41] = {-100, -100, -100, -100, -100, -100, -100, -100, -24, -24, -24,
                                        -24,  -24,  -24,  -4,   -3,   -3,   -2,   -2,   3,   4,   3,
                                        -3,   -3,   -3,   -3,   -4,   -4,   -6,   -6,   -6,  -6,  -15,
                                        -15,  -15,  -15,  -15,  -15,  -15,  -15,  -15};
constexpr int32_t ReductionByRate[11] = {4, 2, 1, 0, -1, -2, -3, -4, -5, -6, -8};

// Pre-search margins by loop index and by depth / 4.
constexpr int32_t PreSearchByIndex[8] = {80, 30, 15, 10, 8, 6, 4, 0};
constexpr int32_t PreSearchByDepth[16] = {100, 100, 100, 100, 100, 100, 90, 80, 70, 60, 50, 45, 40, 35, 30, 25};

// Score limits of two prunings: futility only while alpha is no mate score,
// move-count pruning only while alpha is not a lost score.
constexpr int FUTILITY_ALPHA_LIMIT = 32499;
constexpr int MOVE_COUNT_ALPHA_FLOOR = -30000;

constexpr Bitboard EDGE_SQUARES = 0xFF818181818181FFULL;
constexpr Bitboard CORNER_SQUARES = 0x8100000000000081ULL;

inline const MaterialEntry& CurrentMaterialEntry() {
  const uint32_t index = (uint32_t)thread_board.MaterialIndex;
  return MaterialTable[index > (uint32_t)MATERIAL_OUTSIDE ? MATERIAL_OUTSIDE : index];
}

inline int OnEdge(int square) { return (EDGE_SQUARES >> square) & 1; }


// 1 when the king of `victim` stands in a corner and the hunter's king covers
// every square next to it that the victim does not occupy.
int CornerTrap(int victim, int hunter) {
  const ThreadBoard& b = thread_board;
  const int k = b.KingSquare[victim];
  if (!((CORNER_SQUARES >> k) & 1)) return 0;
  const Bitboard free = KingAttacks[k] & ~b.Colour[victim];
  return (free & ~KingAttacks[b.KingSquare[hunter]]) == 0;
}

// 1 when the move is among the special moves already searched at the ply.
inline int WasTried(const PlyRecord& ply, Move move) {
  for (int i = 0; i < ply.tried_count && i < 9; i++)
    if (ply.tried_moves[i] == move) return 1;
  return 0;
}

// The destination squares of the special moves already searched at the ply:
// a move to any other square is none of them.
inline Bitboard TriedTargets(const PlyRecord& ply) {
  Bitboard targets = 0;
  for (int i = 0; i < ply.tried_count && i < 9; i++) targets |= SquareBit(MoveTo(ply.tried_moves[i]));
  return targets;
}

// Move-count pruning with a threat from the null move: a safe move survives
// when it moves the threatened piece, when it guards the threatened square
// against a capture that does not win material (directly or by uncovering a
// line), or when it blocks the threat's path.
int AnswersThreat(Move move, Move threat) {
  const int threatFrom = MoveFrom(threat), threatTo = MoveTo(threat);
  if (MoveFrom(move) == threatTo) return 1;
  const int threatPiece = MovePiece(threat), threatVictim = MoveCaptured(threat);
  if (threatVictim != 0 && (threatPiece == KING || PieceValue[threatPiece] >= PieceValue[threatVictim])) {
    if (AttacksFrom(MoveTo(move), thread_board.SideToMove, MovePiece(move)) & SquareBit(threatTo)) return 1;
    if (MoveUncoversAttack(move, threatTo)) return 1;
  }
  return ((Between[threatFrom][threatTo] & ~SquareBit(threatFrom)) & SquareBit(MoveTo(move))) != 0;
}

// The enemy pieces a fork can win, by the kind of forking piece: those worth
// more than a pawn, than a knight or bishop, than a rook (the king counts).
struct ForkTargets {
  Bitboard byPawn, byMinor, byRook;
};

inline void FindForkTargets(ForkTargets* forks) {
  const ThreadBoard& b = thread_board;
  const int other = b.SideToMove ^ 1;
  forks->byRook = b.Pieces[QUEEN][other] | b.Pieces[KING][other];
  forks->byMinor = forks->byRook | b.Pieces[ROOK][other];
  forks->byPawn = b.Colour[other] & ~b.Pieces[PAWN][other];
}

// 1 when the safe move's piece (the promoted one for a promotion) attacks,
// from its destination `to`, two enemy pieces each worth more than itself: a
// fork. A slider's empty-board lines must reach two of them before its
// attacks on the board are looked up; a queen has only the king above it and
// the king forks nothing.
inline int IsDoubleThreat(int piece, int to, uint32_t safe, const ForkTargets& forks) {
  if (!safe) return 0;
  Bitboard targets;
  switch (piece) {
    case PAWN:
      targets = (thread_board.SideToMove == WHITE ? WhitePawnAttacks[to] : BlackPawnAttacks[to]) & forks.byPawn;
      break;
    case KNIGHT: targets = KnightAttacks[to] & forks.byMinor; break;
    case BISHOP:
      targets = BishopMoves[to] & forks.byMinor;
      if (targets & (targets - 1)) targets &= BishopLines(to);
      break;
    case ROOK:
      targets = RookMoves[to] & forks.byRook;
      if (targets & (targets - 1)) targets &= RookLines(to);
      break;
    default: return 0;
  }
  return (targets & (targets - 1)) != 0;
}

// Searches the child of a made move: the quiescence search below 4 quarter
// plies, else Search with the null move allowed.
inline int SearchMadeMove(int alpha, int beta, int depth, int nodeType) {
  return depth < 4 ? -Quiesce(-beta, -alpha, 0, nodeType) : -Search(-beta, -alpha, depth, 1, nodeType);
}

// The common walk of the two singular tests: 1 when no legal move other than
// `move` reaches bound at the given depth. Out of check at most five moves of
// the quiet stage are searched.
int SingularWalk(int bound, int depth, Move move) {
  ThreadBoard& b = thread_board;
  PlyRecord& ply = SearchStack[SearchPly];
  PlyRecord& child = SearchStack[SearchPly + 1];
  const int savedTop = MoveStackTop;
  const uint32_t savedChildCheck = child.in_check;
  const uint32_t savedFlags = ply.flags;
  const int inCheck = ply.in_check ? 1 : 0;
  SingularSearchActive = 1;
  ply.flags = 0;
  uint8_t nodeFlags = 0;
  int result = 1;
  int stage = STAGE_START;
  while (result && (stage = GenerateStageMoves(stage, 0, 1, &nodeFlags, 0, 0)) != 0) {
    const int end = MoveStackTop;
    int quietSearched = 0;
    for (int i = savedTop; i < end && result; i++) {
      const int score = PickBestEntry(i, end);
      if (stage == STAGE_TACTICAL && score < 0) break;
      const Move m = MoveStack[i].move;
      if (m == move || (stage == STAGE_QUIET && WasTried(ply, m)) || FailsQuickLegality(m)) continue;
      if (stage == STAGE_QUIET && !inCheck && quietSearched >= 5) break;
      child.in_check = MoveGivesCheck(m);
      MakeMove(m, 1);
      PrefetchHash();
      if (IsEnPassant(m) && MoverKingAttacked()) {
        UnmakeMove();
        continue;
      }
      SearchPly++;
      const int s = -Search(-bound, 1 - bound, depth, 1, -1);
      SearchPly--;
      UnmakeMove();
      if (stage == STAGE_QUIET) quietSearched++;
      if (s >= bound || b.StopSearch) result = 0;
    }
    MoveStackTop = savedTop;
  }
  MoveStackTop = savedTop;
  child.in_check = savedChildCheck;
  ply.flags = savedFlags;
  SingularSearchActive = 0;
  return result;
}

}  // namespace

// 1 when the word is a pseudo-legal move of the side to move (see the header).
int IsPlayableMove(Move move) {
  if (move == 0 || move > HASH_MOVE_MASK) return 0;
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove, other = side ^ 1;
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  const int captured = MoveCaptured(move), promotion = MovePromotion(move);
  if (from == to || piece == EMPTY || piece == 4 || captured == KING || captured == 4) return 0;
  if (b.Board[from] != (uint32_t)piece || !(b.Colour[side] & SquareBit(from))) return 0;
  if (b.Board[to] != (uint32_t)captured) return 0;
  if (captured != 0 && !(b.Colour[other] & SquareBit(to))) return 0;
  if (piece == PAWN) {
    const int forward = side == WHITE ? 8 : -8;
    const int promotes = RankOf(to) == (side == WHITE ? 7 : 0);
    if (promotes ? (promotion != QUEEN && promotion != ROOK && promotion != BISHOP && promotion != KNIGHT)
                 : promotion != 0)
      return 0;
    if (to == from + forward) return captured == 0;
    if (to == from + 2 * forward)
      return captured == 0 && RankOf(from) == (side == WHITE ? 1 : 6) && b.Board[from + forward] == 0;
    const Bitboard attacks = side == WHITE ? WhitePawnAttacks[from] : BlackPawnAttacks[from];
    if (!(attacks & SquareBit(to))) return 0;
    if (captured != 0) return 1;
    // En passant: the enemy pawn stands beside from and has just made its double step.
    const int victim = (from & 56) | (to & 7);
    if (GamePly <= 0 || b.Board[victim] != PAWN || !(b.Colour[other] & SquareBit(victim))) return 0;
    const Move last = GameHistory[GamePly - 1].move;
    return MovePiece(last) == PAWN && MoveTo(last) == victim && MoveFrom(last) == victim + 2 * forward;
  }
  if (promotion != 0) return 0;
  if (move == CASTLE_WHITE_SHORT || move == CASTLE_WHITE_LONG || move == CASTLE_BLACK_SHORT ||
      move == CASTLE_BLACK_LONG) {
    if ((move == CASTLE_WHITE_SHORT || move == CASTLE_WHITE_LONG) != (side == WHITE)) return 0;
    if (SquareAttacked(other, from)) return 0;
    const int top = MoveStackTop;
    const int ok = AddMoveIfPseudoLegal(move);
    MoveStackTop = top;
    return ok;
  }
  return (AttacksFrom(from, side, piece) & SquareBit(to)) != 0;
}

namespace {

// ComputeExtension, inlined into the move loops of Search, which call it for
// nearly every move.
[[gnu::always_inline]] inline int ExtensionOf(int extendFull, int mateThreat, int depth, int onlyEvasion, Move move,
                                              int orderScore, int pvNode, int gap, uint32_t* safeFlag,
                                              int givesCheck, const ForkTargets& forks) {
  const ThreadBoard& b = thread_board;
  PlyRecord& ply = SearchStack[SearchPly];
  PlyRecord& child = SearchStack[SearchPly + 1];
  const int side = b.SideToMove;
  const int full = extendFull ? 4 : 2;
  uint32_t flags = 0;
  int adjust = -4;
  int limit = 0;
  if (onlyEvasion) {
    adjust = 0;
    flags = REASON_GOOD_CAPTURE;
  }
  if (mateThreat) {
    adjust += extendFull ? 3 : 1;
    flags |= REASON_MATE_THREAT;
  }
  const int captured = MoveCaptured(move), to = MoveTo(move);
  if (captured != 0 && orderScore >= 0) {
    const int value = PieceValue[captured];
    if (value >= 101 && MovePromotion(move) == 0 &&
        b.PieceUnits[WHITE] + b.PieceUnits[BLACK] == PieceUnitsOf[captured]) {
      limit = 4;
      adjust += full;
      flags |= REASON_PAWN_ENDING;
    }
    if (value + 60 > gap) {
      flags |= REASON_GOOD_CAPTURE;
      if (GamePly > 0 && SearchPly > 0) {
        const Move last = GameHistory[GamePly - 1].move;
        if (MoveTo(last) == to && MoveCaptured(last) != 0 && !(SearchStack[SearchPly - 1].flags & REASON_RECAPTURE) &&
            PieceValue[MoveCaptured(last)] == value && gap >= -119) {
          flags |= REASON_RECAPTURE;
          adjust += extendFull ? 3 : 1;
        }
      }
    }
  }
  if (givesCheck) {
    child.in_check = 1;
    if (*safeFlag == SAFETY_UNKNOWN) *safeFlag = MoveSafety(move);
    if (*safeFlag || MoveGivesDiscoveredCheck(move) || pvNode) {
      adjust += full;
      flags |= REASON_CHECK;
    }
  } else {
    child.in_check = 0;
  }
  if (orderScore >= 0) {
    int qualifies = 0;
    if (MovePiece(move) == PAWN && captured == 0 && !IsEnPassant(move)) {
      const int rank = side == WHITE ? RankOf(to) : 7 - RankOf(to);
      const Bitboard front = side == WHITE ? WhitePassedMask[to] : BlackPassedMask[to];
      if (rank >= 3 && !(front & b.Pieces[PAWN][side ^ 1])) {
        flags |= REASON_PAWN_PUSH;
        if (pvNode && rank >= 5) qualifies = 1;
      }
    }
    if (*safeFlag == SAFETY_UNKNOWN) *safeFlag = MoveSafety(move);
    const int piece = MovePromotion(move) ? MovePromotion(move) : MovePiece(move);
    if (IsDoubleThreat(piece, to, *safeFlag, forks)) {
      flags |= REASON_DOUBLE_THREAT;
      qualifies = 1;
    }
    if (qualifies && depth + adjust < 4) adjust += full;
  }
  ply.flags = flags;
  return adjust < limit ? adjust : limit;
}

// For a non-capturing, non-promoting move that a pruning rule would drop: 1
// when ExtensionOf would give it a reason flag, which keeps it searched. The
// same flags as there, cheapest first, and the check worked out only where it
// counts: an unsafe check outside a principal-variation node counts only when
// it is uncovered, and an uncovered check is always a check.
int KeepsReason(Move move, int orderScore, int isOnlyEvasion, int pvNode, uint32_t safe, const CheckTargets& checks,
                const ForkTargets& forks) {
  if (isOnlyEvasion) return 1;
  if (orderScore >= 0) {
    const ThreadBoard& b = thread_board;
    const int side = b.SideToMove, to = MoveTo(move);
    if (MovePiece(move) == PAWN) {
      const int rank = side == WHITE ? RankOf(to) : 7 - RankOf(to);
      const Bitboard front = side == WHITE ? WhitePassedMask[to] : BlackPassedMask[to];
      if (rank >= 3 && !(front & b.Pieces[PAWN][side ^ 1])) return 1;
    }
    if (IsDoubleThreat(MovePiece(move), to, safe, forks)) return 1;
  }
  if (safe || pvNode) return MoveGivesCheckWith(move, checks);
  return MoveGivesDiscoveredCheckWith(move, checks);
}

}  // namespace

// Depth adjustment of one move (see the header).
int ComputeExtension(int extendFull, int mateThreat, int depth, int onlyEvasion, Move move, int orderScore,
                     int pvNode, int gap, uint32_t* safeFlag) {
  ForkTargets forks;
  FindForkTargets(&forks);
  return ExtensionOf(extendFull, mateThreat, depth, onlyEvasion, move, orderScore, pvNode, gap, safeFlag,
                     MoveGivesCheck(move), forks);
}

// 1 when no move but `move` reaches bound in a 4 quarter-ply search.
int QuickSingularCheck(int bound, Move move, int) { return SingularWalk(bound, 4, move); }

// 1 when no move but `move` reaches bound at depth max(depth - 28, 4).
int VerifySingularMove(int bound, int depth, Move move, int) {
  return SingularWalk(bound, depth - 28 > 4 ? depth - 28 : 4, move);
}

// Score of the position for the side to move (see the header). The steps are
// numbered in the order they run.
int Search(int alpha, int beta, int depth, int nullAllowed, int nodeType) {
  // 1. Horizon: with less than a ply left, the quiescence search settles the captures.
  if (depth < 4) return Quiesce(alpha, beta, 0, nodeType);
  ThreadBoard& b = thread_board;
  PlyRecord& ply = SearchStack[SearchPly];
  // 2. Bookkeeping: count the node, clear what the parent reads back from this ply.
  Nodes++;
  ply.best_move = 0;
  ply.flags = 0;
  ply.threat_move = 0;  // set again only by this node's null move
  int threat = 0;
  if (b.StopSearch) return 0;
  const int inCheck = ply.in_check ? 1 : 0;

  // 3. Mate distance: no line ends sooner than a mate of the side to move two
  // plies on (now, in check), nor better than a mate with the next move, so a
  // mate found already cuts the lines that cannot beat it.
  const int mateLow = MatedScore(SearchPly + 2 - 2 * inCheck);
  if (mateLow > alpha) {
    if (mateLow >= beta) return mateLow;
    alpha = mateLow;
  }
  if (alpha >= MateScore(SearchPly + 1)) return alpha;

  // 4. Selective depth, for the output.
  if (SearchPly > SelDepth) SelDepth = SearchPly;

  // 5. Clock: every few thousand nodes, whether the time is up or a command stops the search.
  if (--PollCountdown < 0) {
    if (CheckTime()) b.StopSearch = 1;
    if (b.StopSearch) return 0;
  }

  // 6. Ply guard: the stacks end; what is left is the static evaluation.
  if (SearchPly >= SEARCH_PLY_LIMIT || GamePly >= SEARCH_GAME_PLY_LIMIT) return Evaluate();

  const int side = b.SideToMove, other = side ^ 1;

  // 7. Reduced material: dead draws, pawnless endings of equal units, and the
  // side that cannot win scoring at most a draw; searching them costs much and
  // finds nothing.
  int drawish = 0;
  if (b.PieceUnits[WHITE] < 11 && b.PieceUnits[BLACK] < 11 && nodeType != 0) {
    const MaterialEntry& entry = CurrentMaterialEntry();
    const int cannotWin[2] = {entry.flags[WHITE] & MATERIAL_FLAG_CANNOT_WIN,
                              entry.flags[BLACK] & MATERIAL_FLAG_CANNOT_WIN};
    if (cannotWin[WHITE] && cannotWin[BLACK] && b.Material[WHITE] + b.Material[BLACK] < 600) return 0;
    const int pawnless = (b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK]) == 0;
    const int kingOnEdge = OnEdge(b.KingSquare[WHITE]) || OnEdge(b.KingSquare[BLACK]);
    if (depth >= 17 && pawnless && b.PieceUnits[WHITE] == b.PieceUnits[BLACK] && b.PieceUnits[WHITE] <= 9)
      depth = kingOnEdge ? Min(depth, 36) : 16;
    if (alpha >= 0 && cannotWin[side] && b.PieceUnits[side] < 6 && !CornerTrap(other, side)) return 0;
    if (beta <= 0 && cannotWin[other] && b.PieceUnits[other] < 6 && !CornerTrap(side, other)) return 0;
    drawish = pawnless && (cannotWin[WHITE] || cannotWin[BLACK]) && Min(b.PieceUnits[WHITE], b.PieceUnits[BLACK]) < 9 &&
              (!kingOnEdge || KingDistance(b.KingSquare[WHITE], b.KingSquare[BLACK]) > 3);
  }

  // 8. Draws by the fifty-move rule, by repetition, or by a repetition the side
  // to move can reach with its next move.
  if (b.Rule50 >= 3 && IsSearchDraw(beta <= 0)) return 0;

  // 9. Depth of the null move's search: four plies less, five with plenty of
  // material far from the horizon.
  const int nullDepth = (b.PieceUnits[side] > 8 && depth >= 24) ? depth - 20 : depth - 16;

  // 10. Transposition table: a stored bound may settle the node; else its move
  // is searched first.
  const uint64_t key = PositionKey();
  int32_t probeAlpha = alpha, probeBeta = beta;
  Move hashMove = 0;
  int found = 0;
  if (!ProbeHashAt(key, depth, &probeAlpha, &probeBeta, &threat, &hashMove, &nullAllowed, &found, nodeType == 0)) {
    hashMove = 0;
  } else if (found) {
    ply.best_move = hashMove;
    return probeAlpha;
  }
  uint8_t nodeFlags = (uint8_t)(HashFlags & 31);
  // 11. Singular candidate: a deep enough lower bound in the table marks a hash
  // move that may be the only good one, to be extended.
  const int singularCandidate = depth >= 32 && HashBoundUsable && HashBoundDepth >= depth - 12 &&
                                !SingularSearchActive && (nodeType == 0 || nodeType == -1);
  const int singularBound = HashBoundScore;

  // 12. Tablebases, right after a zeroing move without castling rights: the
  // exact result replaces a search. A win scores TB_WIN_SCORE - ply, a loss
  // ply - TB_WIN_SCORE, the fifty-move results 2 * wdl; the score is stored
  // exact at depth + 24 and returned.
  if (!SkipTbProbes && thread_board.PieceTotal <= tb_probe_limit && thread_board.Rule50 == 0 &&
      thread_board.CastleFlags == 0) {
    int success;
    const int wdl = probe_wdl(&success);
    if (success) {
      TbHits++;
      const int score = wdl == 2 ? TB_WIN_SCORE - SearchPly : wdl == -2 ? SearchPly - TB_WIN_SCORE : 2 * wdl;
      StoreHashAt(key, depth + 24, hashMove, score, HASH_EXACT, threat, nodeFlags);
      return score;
    }
  }

  // 13. Position learning: early in the game, with plenty of material, a deep
  // enough record of the learning file gives the score of the node.
  if (depth > 24 && UseLearningData && side == RootSide && GamePly < 120 && b.PieceUnits[WHITE] >= 15 &&
      b.PieceUnits[BLACK] >= 15 && b.Rule50 < 70) {
    int32_t learnedDepth, learnedScore;
    Move learnedMove;
    int64_t offset;
    if (FindLearningRecord(LearningKeyLo(b.HashKey), LearningKeyHi(b.HashKey), &learnedDepth, &learnedScore,
                           &learnedMove, &offset) &&
        learnedDepth >= depth)
      return learnedScore;
  }

  // 14. Static evaluation: the base of the prunings below; its attack maps serve
  // the exchange tests of the moves.
  const int eval = Evaluate();
  ply.static_eval = eval;
  ply.attack_maps[WHITE] = thread_eval_info.attack_map[WHITE];
  ply.attack_maps[BLACK] = thread_eval_info.attack_map[BLACK];
  // History block of the quiet moves: whether the node stands near alpha.
  const uint32_t historyArgument = eval + 100 >= alpha ? 1u : 0u;

  // 15. Static null cut: near the horizon an evaluation well above beta is
  // trusted without a search.
  if (depth < 8 && !inCheck && nodeType != 0 && beta <= eval - 40 &&
      !(SearchPly > 0 && (SearchStack[SearchPly - 1].flags & REASON_DOUBLE_THREAT)))
    return beta;

  // 16. Null move: when even passing keeps the score at beta, the node is cut;
  // a mate found against the pass marks a threat. Searched iteratively from
  // the remainder of its depth up.
  if (nullAllowed) {
    const int possible = alpha < MATE_BOUND && beta > -MATE_BOUND && b.PieceUnits[side] > 0 &&
                         !(b.PieceUnits[side] < 6 && depth > 24);
    if (!possible) {
      nullAllowed = 0;
    } else if (nodeType != 0 && !inCheck && eval > alpha - (depth < 8 ? 5 : 20)) {
      int tryNull = nullDepth >= 4;
      if (!tryNull && eval >= beta) {
        b.SideToMove = other;
        tryNull = !HasWinningThreat(eval - beta);
        b.SideToMove = side;
      }
      if (tryNull) {
        UndoRecord& record = GameHistory[GamePly];
        record.HashKey = b.HashKey;
        record.Rule50 = b.Rule50 + 1;
        record.move = 0;
        record.CastleFlags = b.CastleFlags;
        record.MaterialIndex = b.MaterialIndex;
        record.PstSum = b.PstSum;
        const int savedRule50 = b.Rule50;
        GamePly++;
        b.SideToMove = other;
        b.Rule50 = 0;
        ply.flags = 0;
        SearchPly++;
        SearchStack[SearchPly].in_check = 0;
        int score = 0;
        for (int d = nullDepth % 4;; d += 4) {
          score = d < 4 ? -Quiesce(-beta, -beta + 1, 0, -1) : -Search(-beta, -beta + 1, d, 0, -1);
          if (b.StopSearch || score < beta || d + 4 > nullDepth) break;
        }
        const Move refutation = SearchStack[SearchPly].best_move;
        SearchPly--;
        b.SideToMove = side;
        b.Rule50 = savedRule50;
        GamePly--;
        if (b.StopSearch) return 0;
        if (score >= beta) {
          StoreHashAt(key, depth, 0, beta, HASH_LOWER, threat, nodeFlags);
          return beta;
        }
        if (score == MatedScore(SearchPly + 2)) threat = 1;  // mated right after the pass
        ply.threat_move = refutation;
      }
    }
  }

  // 17. Extension size: full-size extensions only while the line is not far
  // longer than the iteration, so that extended lines cannot grow without end.
  const int limitPly = Min(3 * IterationDepth + 2, 90);
  const int extendFull = SearchPly < limitPly && (nodeType == 0 || SearchPly <= 2 * IterationDepth);

  // 18. In check: the evasions are generated at once; none is mate, a single
  // one is the only evasion, searched first and never reduced.
  const int start = MoveStackTop;
  Move onlyEvasion = 0;
  if (inCheck) {
    if (!GenerateEvasionsForSearch(0)) {
      MoveStackTop = start;
      return MatedScore(SearchPly);
    }
    if (MoveStackTop - start == 1) {
      const Move m = MoveStack[start].move;
      const int queenTaken = MoveCaptured(m) == QUEEN;
      if (!(queenTaken && (GamePly < 2 || MovePromotion(GameHistory[GamePly - 2].move) == 0))) {
        onlyEvasion = m;
        if (hashMove == 0) hashMove = m;
      }
    }
  }

  // 19. Mate-threat deepening: a reduced move that allowed a mate threat gets
  // its ply back.
  if (SearchPly > 0 && (SearchStack[SearchPly - 1].flags & REASON_REDUCED) && threat) depth += 4;

  // 20. No hash move at a deep node: a shallower search of the same node finds
  // one, since a good first move makes the rest of the node cheap.
  if (hashMove == 0 && depth >= 20) {
    const Move savedThreat = ply.threat_move;
    if (nodeType != 0) {
      if (!(alpha >= eval + 50 && nodeType != -1)) {
        const int d = Min(Max(depth - 40, 4), 8);
        if (Search(alpha - 100, beta, d, 0, nodeType) <= alpha - 100 && !b.StopSearch)
          Search(-INFINITY_SCORE, beta, d, 0, nodeType);
      }
    } else {
      const int d = depth - 16;
      const int s = Search(alpha - 20, beta + 20, d, 0, 0);
      if (alpha - 20 >= s && !b.StopSearch) {
        const int s2 = Search(alpha - 120, beta, d, 0, 0);
        if (alpha - 120 >= s2 && !b.StopSearch) Search(-INFINITY_SCORE, beta, d, 0, 0);
      }
    }
    ply.threat_move = savedThreat;
    if (b.StopSearch) {
      MoveStackTop = start;
      return 0;
    }
    hashMove = ply.best_move;
  }

  const int alphaAtEntry = alpha;
  int best = -INFINITY_SCORE;
  Move bestMove = 0;
  int searched = 0;
  int pruned = 0;
  int sawWinningCapture = 0;
  PlyRecord& child = SearchStack[SearchPly + 1];

  // 21. The hash move first, with the open window; a singular hash move (no
  // other move comes near its table bound) is extended.
  if (hashMove != 0 && !IsPlayableMove(hashMove)) hashMove = 0;
  if (hashMove != 0) {
    uint32_t safe = MoveSafety(hashMove);
    const int orderScore = IsQuietMove(hashMove) ? 0 : ScoreMove(hashMove, (int)safe);
    int e = ComputeExtension(extendFull, threat, depth, onlyEvasion != 0 && hashMove == onlyEvasion, hashMove,
                             orderScore, nodeType == 0, alpha - eval, &safe);
    if (singularCandidate && e < 0 && SearchPly < 100) {
      const int bound = singularBound - depth / 2;
      int singular;
      if (depth >= 36) {
        singular = QuickSingularCheck(bound - 60, hashMove, (int)safe);
        if (!singular && !b.StopSearch) singular = VerifySingularMove(bound - 10, depth, hashMove, (int)safe);
      } else {
        singular = VerifySingularMove(bound - 10, depth, hashMove, (int)safe);
      }
      if (b.StopSearch) {
        MoveStackTop = start;
        return 0;
      }
      if (singular) e = Min(e + (extendFull ? 4 : 2), 0);
    }
    MakeMove(hashMove, 1);
    PrefetchHash();
    if (MoverKingAttacked()) {
      UnmakeMove();
      hashMove = 0;
    } else {
      SearchPly++;
      const int score = SearchMadeMove(alpha, beta, depth + e, -nodeType);
      SearchPly--;
      UnmakeMove();
      if (b.StopSearch) {
        MoveStackTop = start;
        return 0;
      }
      searched = 1;
      if (MoveCaptured(hashMove) != 0 && PieceValue[MoveCaptured(hashMove)] > PieceValue[MovePiece(hashMove)])
        sawWinningCapture = 1;
      if (score >= beta) {
        if (IsQuietMove(hashMove)) UpdateMoveHistory(depth, hashMove, historyArgument, inCheck, safe);
        StoreHashAt(key, depth, hashMove, score, HASH_LOWER, threat, nodeFlags);
        ply.best_move = hashMove;
        MoveStackTop = start;
        return score;
      }
      best = score;
      if (score > alpha) {
        bestMove = hashMove;
        alpha = score;
      }
    }
  }

  // 22. Futility set-up at low depth: the margin by which a quiet move's
  // optimistic value (margin share, history, piece-square gain) must reach
  // alpha (step 25), with the node's part of it (evaluation and margin
  // share) added up once here; also the tables of move-count pruning and
  // reductions.
  int futilityOn = 0, futilityBase = 0, phase = 0;
  if (depth < 20 && alpha <= FUTILITY_ALPHA_LIMIT && alpha >= -FUTILITY_ALPHA_LIMIT &&
      (b.PieceUnits[WHITE] | b.PieceUnits[BLACK]) != 0) {
    const int i = depth / 4;
    const int own = Min(b.PieceUnits[side], 15), opp = Min(b.PieceUnits[other], 15);
    int margin = (FutilityM2[i] * 100 >> 8) - (FutilityM1[opp] * FutilityM3[i] >> 8) -
                 (FutilityM3[i] * FutilityM4[own] >> 8);
    if (nodeType != 0) margin += 30;
    futilityOn = 1;
    futilityBase = eval + FloorShift(margin * 32, 8);
    if (b.MaterialIndex >= 0 && b.MaterialIndex < MATERIAL_OUTSIDE) {
      const MaterialEntry& entry = MaterialTable[b.MaterialIndex];
      b.current_phase = entry.current_phase;
      b.white_phase = entry.white_phase;
      b.black_phase = entry.black_phase;
    } else {
      ComputePhase();
    }
    phase = b.current_phase;
  }

  // Move-count pruning: the number of quiet moves from which it starts, none
  // in a principal-variation node or far from the horizon.
  const int improving =
      SearchPly < 2 || SearchStack[SearchPly - 2].static_eval <= eval || SearchStack[SearchPly - 2].in_check;
  int countPruneFrom = INT32_MAX;
  if (nodeType != 0 && depth < 64)
    countPruneFrom = improving ? MoveCountLimitImproving[depth / 4] : MoveCountLimit[depth / 4];
  const int pruneTable =
      (b.PieceUnits[other] <= 9 || (b.PieceCount[QUEEN][other] == 0 && b.PieceUnits[other] <= 14)) ? 1 : 0;

  // 23. Move loop: the picker's stages, best ordering score first, the losing
  // captures after all other stages; tried and illegal moves are skipped.
  int quietCount = 0, lateCount = 0, loopIndex = 0;
  const Bitboard pinned = PinnedPieces();
  CheckTargets checks;
  FindCheckTargets(&checks);
  ForkTargets forks;
  FindForkTargets(&forks);
  Bitboard triedTargets = 0;
  const Move threatMove = ply.threat_move;  // the refutation of this node's null move, 0 when none
  int stage = inCheck ? STAGE_EVASIONS : STAGE_START;
  int stageStart = start, stageEnd = MoveStackTop;
  int losingStart = -1, losingEnd = -1, losingPass = 0;
  for (;;) {
    if (!inCheck) {
      if (!losingPass) {
        MoveStackTop = losingStart >= 0 ? losingEnd : start;
        const int top = MoveStackTop;
        stage = GenerateStageMoves(stage, 0, historyArgument, &nodeFlags, 0, 0);
        if (stage != 0) {
          stageStart = top;
          stageEnd = MoveStackTop;
          // The quiet moves are nearly always walked to the end: sorted at
          // once, in the order the picks would hand them out. Their scores
          // are history values, never negative.
          if (stage == STAGE_QUIET) {
            triedTargets = TriedTargets(ply);
            SortScoresNotNegative(stageStart, stageEnd);
          }
        } else {
          if (losingStart < 0) break;
          // The losing captures come last.
          losingPass = 1;
          stage = STAGE_TACTICAL;
          stageStart = losingStart;
          stageEnd = losingEnd;
          MoveStackTop = losingEnd;
        }
      }
    }

    for (int i = stageStart; i < stageEnd; i++) {
      const int orderScore = stage == STAGE_QUIET ? MoveStack[i].score : PickNextEntry(i, stageStart, stageEnd);
      if (stage == STAGE_TACTICAL && !losingPass && orderScore < 0) {
        losingStart = i;
        losingEnd = stageEnd;
        break;
      }
      MoveEntry& entry = MoveStack[i];
      const Move move = entry.move;
      if (move == hashMove ||
          (stage == STAGE_QUIET && (triedTargets & SquareBit(MoveTo(move))) && WasTried(ply, move)) ||
          FailsQuickLegalityPinned(move, pinned)) {
        entry.score = ENTRY_NOT_TRIED;
        continue;
      }
      // 24. Per move: the two prunings of quiet moves first, since most moves
      // end there and need no extension. Move-count pruning drops a late
      // quiet move that answers no threat; futility (step 25) drops a quiet
      // move whose optimistic value stays below alpha. Either needs the move
      // without reason flags, which is asked only of a move it would drop.
      const int isOnlyEvasion = move == onlyEvasion;  // no move word is 0, the value of none
      // The moves of the quiet stage neither capture nor promote.
      const int capture = stage != STAGE_QUIET && (MoveCaptured(move) != 0 || IsEnPassant(move));
      int dropCount = 0, dropFutile = 0, futileValue = 0;
      if (stage == STAGE_QUIET) {
        quietCount++;
        if (quietCount >= countPruneFrom && alpha > MOVE_COUNT_ALPHA_FLOOR && orderScore < 30000)
          dropCount = threatMove == 0 || !EntrySafety(entry) || !AnswersThreat(move, threatMove);
      }

      // 25. Futility: the optimistic value of a quiet move is the node's
      // evaluation, a share of the margin and of its history, and its
      // piece-square gain.
      if (!dropCount && futilityOn &&
          (stage == STAGE_QUIET || (stage == STAGE_EVASIONS && !capture && MovePromotion(move) == 0))) {
        const int piece = MovePiece(move), from = MoveFrom(move), to = MoveTo(move);
        const int egGain = PieceSquareEg[piece][side][to] - PieceSquareEg[piece][side][from];
        const int mgGain = PieceSquareMg[piece][side][to] - PieceSquareMg[piece][side][from];
        const int pst = FloorShift(egGain * phase + mgGain * (256 - phase), 8);
        const int64_t history = orderScore > 0 ? orderScore : 0;
        futileValue = FutilityByCount[Min(quietCount, 7)] + futilityBase + (int)((history * 26) >> 8) + pst;
        dropFutile = futileValue < alpha;
      }
      // A dropped move leaves the ply's reason flags as they are: they are
      // read only while a move is searched, and ExtensionOf sets them first.
      if ((dropCount || dropFutile) &&
          !KeepsReason(move, orderScore, isOnlyEvasion, nodeType == 0, EntrySafety(entry), checks, forks)) {
        if (dropFutile && futileValue > best) best = futileValue;
        entry.score = ENTRY_NOT_TRIED;
        pruned = 1;
        continue;
      }

      // The move is searched: its extension, and the extra reduction of a
      // drawish node.
      int e = ExtensionOf(extendFull, 0, depth, isOnlyEvasion, move, orderScore, nodeType == 0, alpha - eval,
                          &entry.flag, MoveGivesCheckWith(move, checks), forks);
      int extraReduction = 0;
      if (drawish && !capture && searched > 0) {
        e -= 4;
        extraReduction = 1;
      }
      const uint32_t safe = EntrySafety(entry);

      const int gives = child.in_check ? 1 : 0;
      MakeMove(move, 1);
      PrefetchHash();
      if (IsEnPassant(move) && MoverKingAttacked()) {
        UnmakeMove();
        entry.score = ENTRY_NOT_TRIED;
        continue;
      }
      const int childType = loopIndex < 2 ? -nodeType : -1;
      int score = 0;
      int settled = 0;   // the move needs no further search
      int reduced = 0;

      // 26. Late-move reduction: a late quiet move is first searched shallower
      // with the null window; failing low there, it is done.
      const int lmrQuiet = stage == STAGE_QUIET || (stage == STAGE_EVASIONS && IsQuietMove(move));
      if (depth >= 8 && SearchPly > 0 && !isOnlyEvasion && lmrQuiet) {
        lateCount++;
        const int n = lateCount;
        if (n > (nodeType == 0 ? 2 : 1) || (sawWinningCapture && eval + 50 < alpha)) {
          const int c = Evaluate();
          const int typeOne = nodeType != 0 && nodeType != -1;
          int r0;
          if (alpha + c > 300)
            r0 = typeOne ? n + 7 : nodeType == 0 ? n - 8 : n - 4;
          else
            r0 = typeOne ? n + 7 : nodeType == 0 ? n - 33 : n - 13;
          if ((ply.flags & REASON_CHECK) && !typeOne) r0 -= 9;
          const int gapIndex = Min(Max((alpha + c) / 25, -20), 20);
          int r1 = r0 - ReductionByGap[gapIndex + 20];
          int rate = PruneRates[pruneTable][HistoryClass[MovePiece(move)]][MoveTo(move)][MoveFrom(move)][side == WHITE];
          rate = Min(Max(rate, 0), 10);
          r1 += ReductionByRate[rate];
          int red = e - (r1 <= -34 ? 4 : 8);
          if (r1 > -3 && n >= 3) {
            red -= 4;
            if (r1 > 25 && n >= 5) {
              red -= 4;
              if (r1 > 42) red -= 4;
            }
          }
          const int nodePly = SearchPly;
          if (depth + red >= 8 && n >= 13 && nodePly >= 1 && -c < SearchStack[nodePly - 1].static_eval &&
              stage != STAGE_EVASIONS && !(nodePly >= 2 && SearchStack[nodePly - 2].in_check)) {
            red -= 4;
            if (depth + red >= 8 && nodePly >= 4 && -c - 30 >= SearchStack[nodePly - 3].static_eval && n >= 17 &&
                orderScore <= 0)
              red -= 4;
          }
          if (safe && depth + red < 4) red = 4 - depth;
          if (red < -8) {
            const int loss = eval + c;
            if (gives || (alpha + c > 0 && alpha + c < loss && loss >= 6 && n < 16)) red = -8;
          }
          ply.flags |= REASON_REDUCED;
          SearchPly++;
          score = SearchMadeMove(alpha, alpha + 1, depth + red, nodeType == 1 ? -1 : 1);
          SearchPly--;
          ply.flags &= ~REASON_REDUCED;
          reduced = 1;
          if (!b.StopSearch && score <= alpha) settled = 1;
          if (ReducedMoveHook != nullptr && !b.StopSearch) ReducedMoveHook(pruneTable, move, side, score > alpha);
        }
      }

      const int moveDepth = depth + e;
      SearchPly++;
      // 27. Pre-search: a shallow test whether the move stays well below alpha,
      // which spares the full search of a hopeless move.
      if (!b.StopSearch && !reduced && moveDepth >= 16 && childType != 0 && ply.flags <= REASON_DOUBLE_THREAT &&
          (ply.flags == 0 || !safe)) {
        const int m = PreSearchByIndex[Min(loopIndex, 7)] + PreSearchByDepth[Min(moveDepth / 4, 15)];
        int s = Search(-(alpha + 1) + m, -alpha + m, 0, 1, -1);
        if (!b.StopSearch && s >= -alpha + m) {
          s = Search(-(alpha + 1) + m, -alpha + m, moveDepth - 4 * (moveDepth / 24) - 12, 1, -1);
          if (!b.StopSearch && s >= -alpha + m) {
            score = -s;
            settled = 1;
          }
        }
      }
      // 28. Full search with the null window; a move that beats alpha is searched
      // again with the open window (or without the drawish reduction).
      if (!b.StopSearch && !settled) {
        score = SearchMadeMove(alpha, alpha + 1, moveDepth, childType);
        if (!b.StopSearch && score > alpha) {
          if (extraReduction)
            score = SearchMadeMove(alpha, beta, moveDepth + 4, nodeType == 0 ? 0 : 1);
          else if (beta - alpha > 1 && score < beta)
            score = SearchMadeMove(score, beta, moveDepth, 0);
        }
      }
      SearchPly--;
      UnmakeMove();
      if (b.StopSearch) {
        MoveStackTop = start;
        return 0;
      }
      searched++;
      loopIndex++;
      // 29. Capture statistics, which order the captures of later nodes.
      if (MoveCaptured(move) != 0) {
        if (!inCheck && orderScore < 100000) RefreshCaptureHistory(move, score > alpha);
        if (PieceValue[MoveCaptured(move)] > PieceValue[MovePiece(move)]) sawWinningCapture = 1;
      }
      // 30. Best move and cut-off: a cut by a quiet move raises its history and
      // lowers that of the quiet moves tried before it. Only a move that
      // raises alpha becomes the best: in a node that fails low every score is
      // a bound, and the table keeps the move it had rather than the largest
      // of them.
      if (score > best) best = score;
      if (score > alpha) {
        bestMove = move;
        if (score >= beta) {
          if (IsQuietMove(move)) {
            for (int j = stageStart; j < i; j++) {
              const MoveEntry& earlier = MoveStack[j];
              if (earlier.score != ENTRY_NOT_TRIED && IsQuietMove(earlier.move))
                DecayHistory(depth, earlier.move, historyArgument, inCheck, earlier.flag);
            }
            UpdateMoveHistory(depth, move, historyArgument, inCheck, entry.flag);
          }
          StoreHashAt(key, depth, move, score, HASH_LOWER, threat, nodeFlags);
          ply.best_move = move;
          MoveStackTop = start;
          return score;
        }
        alpha = score;
      }
    }
    if (inCheck || losingPass) break;
  }
  MoveStackTop = start;

  // 31. End: no move searched and none pruned is mate or stalemate; else the
  // result goes into the table, exact when it beat the entry alpha.
  if (searched == 0) {
    if (!pruned) return inCheck ? MatedScore(SearchPly) : 0;
    if (best == -INFINITY_SCORE) best = alpha;
  }
  ply.best_move = bestMove;
  if (best > alphaAtEntry) {
    StoreHashAt(key, depth, bestMove, best, HASH_EXACT, threat, nodeFlags);
  } else {
    StoreHashAt(key, depth, bestMove, best, HASH_UPPER, threat, nodeFlags);
  }
  return best;
}
