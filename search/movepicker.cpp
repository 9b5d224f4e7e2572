// The staged move picker: evasions in check; otherwise the tactical moves,
// two threat refutations, the killer, two countermoves and the quiet moves,
// one stage per call so that an early cut-off spares the rest. Also the
// updates of the quiet history, the killers and the remembered move pairs.
#include "search/movepicker.h"

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "search/root.h"

const int32_t HistoryRate[16] = {15, 57, 119, 155, 181, 200, 217, 230, 242, 253, 262, 271, 278, 286, 292, 298};

namespace {

constexpr uint32_t UNKNOWN_SAFETY = 32700;  // MoveEntry flag of a special move
constexpr int TRIED_MOVES_SIZE = 9;
constexpr int KILLER_SHIFT_PLIES = 192;     // plies whose killers are refilled from two plies on

constexpr Bitboard RANK_2 = 0x000000000000FF00ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL;

inline int RateIndex(int depth) {
  int i = depth / 4;
  if (i < 0) i = 0;
  if (i > 15) i = 15;
  return i;
}

// 1 when the move is among the special moves already handed out at this ply.
inline int AlreadyTried(const PlyRecord& r, Move move) {
  for (int i = 0; i < r.tried_count && i < TRIED_MOVES_SIZE; i++)
    if (r.tried_moves[i] == move) return 1;
  return 0;
}

// Offers one remembered move: appended and recorded as tried when it is set,
// not tried yet and pseudo-legal here.
inline int OfferSpecialMove(Move move) {
  if (move == 0 || AlreadyTried(SearchStack[SearchPly], move)) return 0;
  if (!AddMoveIfPseudoLegal(move)) return 0;
  PushTriedMove(move);
  return 1;
}

// The non-capturing promotions of the tactical stage, highest square first.
// Near the root every piece is offered (queen, rook, knight, bishop); deeper,
// and with good captures only, just the queen and a knight that gives check.
// BLACK mirrors WHITE: pawns on rank 2 promote one rank down.
void AddStagePromotions(int allPieces) {
  const ThreadBoard& b = thread_board;
  const Bitboard empty = ~b.Occupied;
  if (b.SideToMove == WHITE) {
    const Bitboard enemyKing = b.Pieces[KING][BLACK];
    Bitboard pawns = b.Pieces[PAWN][WHITE] & RANK_7 & (empty >> 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      const int to = from + 8;
      AddCapture(MakeMoveWord(from, to, PAWN, 0, QUEEN));
      if (allPieces) {
        AddCapture(MakeMoveWord(from, to, PAWN, 0, ROOK));
        AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
        AddCapture(MakeMoveWord(from, to, PAWN, 0, BISHOP));
      } else if (KnightAttacks[to] & enemyKing) {
        AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
      }
    }
  } else {
    const Bitboard enemyKing = b.Pieces[KING][WHITE];
    Bitboard pawns = b.Pieces[PAWN][BLACK] & RANK_2 & (empty << 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      const int to = from - 8;
      AddCapture(MakeMoveWord(from, to, PAWN, 0, QUEEN));
      if (allPieces) {
        AddCapture(MakeMoveWord(from, to, PAWN, 0, ROOK));
        AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
        AddCapture(MakeMoveWord(from, to, PAWN, 0, BISHOP));
      } else if (KnightAttacks[to] & enemyKing) {
        AddCapture(MakeMoveWord(from, to, PAWN, 0, KNIGHT));
      }
    }
  }
}

// 1 when the castling word can be played now: right held, squares between
// king and rook empty, the squares the king crosses and reaches not attacked.
// The king's own square is not tested: special moves are offered only when
// not in check.
int CastlingIsPseudoLegal(Move move) {
  const ThreadBoard& b = thread_board;
  const Bitboard occupied = b.Occupied;
  switch (move) {
    case CASTLE_WHITE_SHORT:
      return (b.CastleFlags & 1) && !(occupied & (SquareBit(F1) | SquareBit(G1))) && !SquareAttacked(BLACK, F1) &&
             !SquareAttacked(BLACK, G1);
    case CASTLE_WHITE_LONG:
      return (b.CastleFlags & 2) && !(occupied & (SquareBit(B1) | SquareBit(C1) | SquareBit(D1))) &&
             !SquareAttacked(BLACK, D1) && !SquareAttacked(BLACK, C1);
    case CASTLE_BLACK_SHORT:
      return (b.CastleFlags & 4) && !(occupied & (SquareBit(F8) | SquareBit(G8))) && !SquareAttacked(WHITE, F8) &&
             !SquareAttacked(WHITE, G8);
    default:  // CASTLE_BLACK_LONG
      return (b.CastleFlags & 8) && !(occupied & (SquareBit(B8) | SquareBit(C8) | SquareBit(D8))) &&
             !SquareAttacked(WHITE, D8) && !SquareAttacked(WHITE, C8);
  }
}

// The first and second move of a pair after a cut-off by `move`: the old
// first moves down unless the move is first already.
inline void ShiftPair(uint32_t& first, uint32_t& second, Move move) {
  if (first == move) return;
  second = first;
  first = move;
}

// Exchange safety of a recorded move: the caller's flag unless it is still
// unknown; king moves and en passant count as safe.
inline int RecordedSafety(Move move, uint32_t flag) {
  if (flag != UNKNOWN_SAFETY) return flag ? 1 : 0;
  const int piece = MovePiece(move);
  if (piece == KING) return 1;
  if (piece == PAWN && MoveCaptured(move) == 0 && ((MoveFrom(move) ^ MoveTo(move)) & 7) != 0) return 1;
  return SeeNonNegative(move) ? 1 : 0;
}

// The history entry of a quiet move for the side to move.
inline uint32_t& HistoryEntry(Move move, uint32_t historyArgument, int inCheck, uint32_t flag) {
  const int safe = RecordedSafety(move, flag);
  const int block = inCheck ? 2 : (int)(historyArgument & 1);
  return HistoryTable[safe][block][HistoryClass[MovePiece(move)]][MoveFrom(move) + 64 * MoveTo(move)]
                     [thread_board.SideToMove];
}

}  // namespace

// Appends the next stage at or below `stage` that yields moves and returns
// its number; 0 when none is left. In check only the evasions (stage 14).
int GenerateStageMoves(int stage, int checksOnly, uint32_t historyArgument, uint8_t* nodeFlags, int goodCapturesOnly,
                       int safeQuietOnly) {
  PlyRecord& r = SearchStack[SearchPly];
  const int side = thread_board.SideToMove;

  if (r.in_check) return GenerateEvasions(stage);

  if (stage >= 12) {
    if (!(*nodeFlags & NODE_NO_TACTICAL)) {
      const int start = MoveStackTop;
      const Bitboard enemies = thread_board.Colour[side ^ 1];
      if (goodCapturesOnly) {
        GenerateGoodCaptures(enemies);
        AddStagePromotions(0);
      } else {
        GenerateCaptures(enemies);
        AddStagePromotions(SearchPly <= IterationDepth / 2);
      }
      if (MoveStackTop > start) return STAGE_TACTICAL;
      *nodeFlags |= goodCapturesOnly ? NODE_NO_GOOD_TACTICAL : (NODE_NO_GOOD_TACTICAL | NODE_NO_TACTICAL);
    }
    stage = STAGE_TACTICAL;
  }

  const Move threat = r.threat_move;
  if (stage >= STAGE_TACTICAL) {
    r.tried_count = 0;
    if (threat != 0 &&
        OfferSpecialMove(ThreatRefutations[0][MoveTo(threat)][PieceSlot[MovePiece(threat)]][side]))
      return STAGE_THREAT1;
  }
  if (stage >= STAGE_THREAT1 && threat != 0 &&
      OfferSpecialMove(ThreatRefutations[1][MoveTo(threat)][PieceSlot[MovePiece(threat)]][side]))
    return STAGE_THREAT2;
  if (stage >= STAGE_THREAT2 && OfferSpecialMove(r.killer1[side])) return STAGE_KILLER;

  const int haveLast = SearchPly > 0 && GamePly > 0;
  const Move last = haveLast ? GameHistory[GamePly - 1].move : 0;
  if (stage >= STAGE_KILLER && haveLast &&
      OfferSpecialMove(CounterMoves[0][MoveTo(last)][PieceSlot[MovePiece(last)]][side]))
    return STAGE_COUNTER1;
  if (stage >= STAGE_COUNTER1 && haveLast &&
      OfferSpecialMove(CounterMoves[1][MoveTo(last)][PieceSlot[MovePiece(last)]][side]))
    return STAGE_COUNTER2;

  if (stage >= STAGE_COUNTER2) {
    const int start = MoveStackTop;
    if (!checksOnly) {
      if (safeQuietOnly)
        GenerateSafeQuietMoves(historyArgument);
      else
        GenerateQuietMoves(historyArgument);
    } else if (!(*nodeFlags & NODE_NO_QUIET_CHECKS)) {
      GenerateQuietChecks(historyArgument);
    }
    if (MoveStackTop > start) return STAGE_QUIET;
  }
  return 0;
}

// Appends {move, 0, 32700} when the word is a pseudo-legal move of the side
// to move on the current board; 1 when appended. The tables only ever hold
// quiet moves that are not en passant, so there is no en-passant case.
int AddMoveIfPseudoLegal(Move move) {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove;
  const bool castling = side == WHITE ? (move == CASTLE_WHITE_SHORT || move == CASTLE_WHITE_LONG)
                                      : (move == CASTLE_BLACK_SHORT || move == CASTLE_BLACK_LONG);
  if (castling) {
    if (!CastlingIsPseudoLegal(move)) return 0;
  } else {
    const int from = MoveFrom(move), to = MoveTo(move);
    if ((uint32_t)MovePiece(move) != b.Board[from] || (uint32_t)MoveCaptured(move) != b.Board[to]) return 0;
    if (!(b.Colour[side] & SquareBit(from)) || (b.Colour[side] & SquareBit(to))) return 0;
    if (Between[to][from] & b.Occupied) return 0;
  }
  MoveEntry& entry = MoveStack[MoveStackTop++];
  entry.move = move;
  entry.score = 0;
  entry.flag = UNKNOWN_SAFETY;
  return 1;
}

// Records a special move as handed out at the current ply. A node offers at
// most five; a full record keeps its first nine.
void PushTriedMove(Move move) {
  PlyRecord& r = SearchStack[SearchPly];
  if (r.tried_count < 0 || r.tried_count >= TRIED_MOVES_SIZE) return;
  r.tried_moves[r.tried_count] = move;
  r.tried_count += 1;
}

// Raises the move's history toward 32700 by the depth rate, then records it
// as killer, countermove, follow-up and threat refutation; in check only as
// the refutation of the checking move for this king square.
void UpdateMoveHistory(int depth, Move move, uint32_t historyArgument, int inCheck, uint32_t flag) {
  uint32_t& e = HistoryEntry(move, historyArgument, inCheck, flag);
  e += (uint32_t)(((INFINITY_SCORE - (int32_t)e) * HistoryRate[RateIndex(depth)]) >> 10);

  const int side = thread_board.SideToMove;
  if (inCheck) {
    if (GamePly >= 1) {
      const int lastTo = MoveTo(GameHistory[GamePly - 1].move);
      const int king = thread_board.KingSquare[side];
      ShiftPair(EvasionRefutation[0][lastTo][king][side], EvasionRefutation[1][lastTo][king][side], move);
    }
    return;
  }

  PlyRecord& r = SearchStack[SearchPly];
  ShiftPair(r.killer1[side], r.killer2[side], move);
  if (GamePly > 0) {
    const Move last = GameHistory[GamePly - 1].move;
    const int to = MoveTo(last), slot = PieceSlot[MovePiece(last)];
    ShiftPair(CounterMoves[0][to][slot][side], CounterMoves[1][to][slot][side], move);
  }
  if (GamePly > 1) {
    const Move own = GameHistory[GamePly - 2].move;
    const int to = MoveTo(own), slot = PieceSlot[MovePiece(own)];
    ShiftPair(FollowUpMoves[0][to][slot][side], FollowUpMoves[1][to][slot][side], move);
  }
  if (r.threat_move != 0) {
    const int to = MoveTo(r.threat_move), slot = PieceSlot[MovePiece(r.threat_move)];
    ShiftPair(ThreatRefutations[0][to][slot][side], ThreatRefutations[1][to][slot][side], move);
  }
}

// Lowers the move's history toward 0 by the depth rate.
void DecayHistory(int depth, Move move, uint32_t historyArgument, int inCheck, uint32_t flag) {
  uint32_t& e = HistoryEntry(move, historyArgument, inCheck, flag);
  e -= (uint32_t)(((int32_t)e * HistoryRate[RateIndex(depth)]) >> 10);
}

// Copies the killers of ply p + 2 to ply p for the first 192 plies, so the
// killers of the last search serve the next one two plies closer to the root.
void ShiftKillers() {
  for (int p = 0; p < KILLER_SHIFT_PLIES; p++) {
    PlyRecord& to = SearchStack[p];
    const PlyRecord& from = SearchStack[p + 2];
    for (int side = 0; side < 2; side++) {
      to.killer1[side] = from.killer1[side];
      to.killer2[side] = from.killer2[side];
    }
  }
}
