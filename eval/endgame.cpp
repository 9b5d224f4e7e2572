// Endgame knowledge: dead draws, sides that cannot win, king and pawn
// endings by the bitbases, opposite bishops, mates of a bare king on the
// edge, rook against pawns, queen against a pawn, and the scaling of drawish
// three-pawn endings.
//
// Pairs of routines for the two colours follow one rule: the BLACK case is
// the WHITE case on the board reflected top to bottom (square ^ 56) or
// through the centre (63 - square) where a probe wants a WHITE pawn.
#include "eval/endgame.h"

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/bitbases.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/params.h"
#include "eval/sigmoid.h"

const uint8_t SquareColour[64] = {
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1,
    1, 0, 1, 0, 1, 0, 1, 0,
    0, 1, 0, 1, 0, 1, 0, 1};

const int32_t MopUpTable[64] = {
    100, 96, 93, 90, 90, 93, 96, 100,
    96,  80, 70, 60, 60, 70, 80, 96,
    93,  70, 60, 50, 50, 60, 70, 93,
    90,  60, 50, 40, 40, 50, 60, 90,
    90,  60, 50, 40, 40, 50, 60, 90,
    93,  70, 60, 50, 50, 60, 70, 93,
    96,  80, 70, 60, 60, 70, 80, 96,
    100, 96, 93, 90, 90, 93, 96, 100};

namespace {

// Positions of the named values inside the parameter blocks.
enum {
  DRAWISH_BISHOP_FREE = 74, DRAWISH_BISHOP_TOUCH = 75, DRAWISH_BISHOP_APART = 76, DRAWISH_FREE = 77,
  DRAWISH_TOUCH = 78, DRAWISH_APART = 79, DRAWISH_KING_IN_FRONT = 80,
  ROOK_PAWNS_PER_PAWN = 107, ROOK_PAWNS_PER_RANK = 108, ROOK_PAWNS_HOLD_BASE = 109, ROOK_PAWNS_KING_NEAR = 110,
  ROOK_PAWNS_TWO_HOLD = 111, ROOK_PAWNS_THREE_HOLD = 112, ROOK_PAWNS_ONE_PAWN = 113, ROOK_PAWNS_BLOCKED = 114,
  ROOK_PAWNS_FREE = 115
};
enum { KNIGHT_WINGS_FEWER_UNITS = 9, KNIGHT_WINGS_LONE = 10, KNIGHT_WINGS_FEWER_MAJORS = 11 };
enum { MOP_UP_BONUS = 16 };
enum { RACE_BASE = 0, RACE_WIN = 1, RACE_PER_PAWN = 2, RACE_RANK_BONUS = 3 };
constexpr int LONE_KNIGHT_DISTANCE = 27;  // in EvalParamsN, by king distance 0..7

// The square one step ahead for a pawn of the colour.
inline int Ahead(int colour, int square) { return colour == WHITE ? square + 8 : square - 8; }
inline int NoPieces(int colour) { return thread_board.PieceUnits[colour] == 0; }
inline int Pawns(int colour) { return thread_board.PieceCount[PAWN][colour]; }

// The side to move, counted for a KPK probe of a pawn of `pawnSide`.
inline int KpkSide(int pawnSide) { return thread_board.SideToMove == pawnSide ? 0 : 1; }

// KPK probe of the subset table (or the rule of the square with the strong
// king in front of the pawn) for a pawn of any colour.
int PawnWinsAlone(int pawnSide, int pawn, int32_t* derivable) {
  const ThreadBoard& b = thread_board;
  int strong = b.KingSquare[pawnSide], weak = b.KingSquare[ChangeSide(pawnSide)];
  if (pawnSide == WHITE) return ProbeKpkFile(KpkSide(WHITE), pawn, strong, weak, derivable);
  return ProbeKpkFile(KpkSide(BLACK), 63 - pawn, 63 - strong, 63 - weak, derivable);
}

// The most advanced and the least advanced pawn of a colour (non-empty set).
inline int MostAdvanced(int colour, Bitboard pawns) {
  return colour == WHITE ? MostSignificantBit(pawns) : LeastSignificantBit(pawns);
}
inline int LeastAdvanced(int colour, Bitboard pawns) {
  return colour == WHITE ? LeastSignificantBit(pawns) : MostSignificantBit(pawns);
}

// ---------------------------------------------------------------------------
// Step 4: king and pawn against king, by the full KPK table.
int KingPawnVersusKing(int pawnSide, int32_t* score) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int other = ChangeSide(pawnSide);
  int pawn = LeastSignificantBit(b.Pieces[PAWN][pawnSide]);
  int strong = b.KingSquare[pawnSide], weak = b.KingSquare[other];
  if (pawnSide == BLACK) {
    pawn = 63 - pawn;
    strong = 63 - strong;
    weak = 63 - weak;
  }
  int side = KpkSide(pawnSide);
  int win = KpkBit(KpkWinBitbase, KpkIndex(side, pawn, strong, weak));
  if (win != KpkBit(KpkWinBitbase, KpkIndex(side ^ 1, pawn, strong, weak))) e.derivable = 0;
  if (!win) {
    *score = 0;
    return 1;
  }
  int32_t value = KpkWinScore[RankOf(pawn) & 7];
  *score = side == 0 ? value : -value;
  return 1;
}

// Step 5: pawns only; the defender's lone passed pawn is blockaded by the
// attacker's king, and some passer of the attacker cannot be caught.
int BlockadedPasserRace(int attacker, int32_t* score) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int defender = ChangeSide(attacker);
  if (Pawns(defender) != 1) return 0;
  int lone = LeastSignificantBit(b.Pieces[PAWN][defender]);
  if (PassedMaskOf(defender, lone) & b.Pieces[PAWN][attacker]) return 0;
  if (!(FileAhead(defender, lone) & SquareBit(b.KingSquare[attacker]))) return 0;
  int32_t sum = -EndgameParamsA[RACE_BASE];
  int uncatchable = 0;
  Bitboard own = b.Colour[attacker];
  for (Bitboard pawns = b.Pieces[PAWN][attacker]; pawns;) {
    int pawn = PopLSB(&pawns);
    sum += EndgameParamsA[RACE_PER_PAWN];
    if (PassedMaskOf(attacker, pawn) & b.Pieces[PAWN][defender]) continue;
    if (FileAhead(attacker, pawn) & own) continue;
    if (PawnWinsAlone(attacker, pawn, &e.derivable)) {
      uncatchable = 1;
      int rank = OwnRank(attacker, pawn);
      if (rank >= 1 && rank <= 6) sum += EndgameParamsA[RACE_RANK_BONUS + rank - 1];
    }
  }
  if (!uncatchable) return 0;
  int32_t value = EndgameParamsA[RACE_WIN] + sum;
  *score = b.SideToMove == attacker ? value : -value;
  return 1;
}

// Step 6: the fortresses of opposite bishops with two pawns against none.
// `attacker` has the two pawns, both on squares of its bishop's colour.
int OppositeBishopFortress(int attacker) {
  const ThreadBoard& b = thread_board;
  int defender = ChangeSide(attacker);
  Bitboard pawns = b.Pieces[PAWN][attacker];
  int bishopA = LeastSignificantBit(b.Pieces[BISHOP][attacker]);
  int bishopD = LeastSignificantBit(b.Pieces[BISHOP][defender]);
  if (SquareColour[bishopA] == SquareColour[bishopD]) return 0;
  for (Bitboard p = pawns; p;)
    if (SquareColour[PopLSB(&p)] != SquareColour[bishopA]) return 0;
  int first = LeastSignificantBit(pawns), second = MostSignificantBit(pawns);
  int king = b.KingSquare[defender], attackerKing = b.KingSquare[attacker];
  // Two pawns on a rook file and the knight file beside it, the defending
  // king blocking the knight-file pawn, the bishop safe from the other king.
  Bitboard rookKnight = FileMask[0] | FileMask[1];
  Bitboard otherWing = FileMask[6] | FileMask[7];
  int bothWing = ((pawns & rookKnight) == pawns) || ((pawns & otherWing) == pawns);
  if (bothWing && FileOf(first) != FileOf(second)) {
    int knightPawn = (FileOf(first) == 1 || FileOf(first) == 6) ? first : second;
    if (Ahead(attacker, knightPawn) == king) {
      thread_eval_info.derivable = 0;  // the answer depends on the side to move
      int bishopHangs = (KingAttacks[attackerKing] & SquareBit(bishopD)) && !(KingAttacks[king] & SquareBit(bishopD));
      if (b.SideToMove == defender || !bishopHangs) return 1;
    }
  }
  // The king right in front of one pawn, the bishop on or over the square in
  // front of the other.
  int pair[2] = {first, second};
  for (int i = 0; i < 2; i++) {
    int blocked = pair[i], other = pair[1 - i];
    if (Ahead(attacker, blocked) != king) continue;
    int stop = Ahead(attacker, other);
    if (stop < 0 || stop > 63) continue;
    if (bishopD == stop || (BishopLines(bishopD) & SquareBit(stop))) return 1;
  }
  return 0;
}

// Step 7: bishop and pawn against knight: the knight reaches the pawn's path
// or the defending king stands in front of the pawn.
int KnightStopsBishopPawn(int pawnSide) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int defender = ChangeSide(pawnSide);
  int pawn = LeastSignificantBit(b.Pieces[PAWN][pawnSide]);
  if (PawnWinsAlone(pawnSide, pawn, &e.derivable)) return 0;
  int knight = LeastSignificantBit(b.Pieces[KNIGHT][defender]);
  int ownKing = b.KingSquare[pawnSide];
  if (FileAhead(pawnSide, pawn) & SquareBit(b.KingSquare[defender])) return 1;
  // Seen as a pawn running toward rank 1 (the table's direction).
  int p = pawnSide == BLACK ? pawn : 63 - pawn;
  int k = pawnSide == BLACK ? ownKing : 63 - ownKing;
  int n = pawnSide == BLACK ? knight : 63 - knight;
  int next = p - 8;
  if (RankOf(p) == 6 && !(b.Occupied & (SquareBit(pawnSide == BLACK ? p - 8 : 63 - (p - 8)) |
                                        SquareBit(pawnSide == BLACK ? p - 16 : 63 - (p - 16)))))
    next = p - 16;
  if (next < 8) {
    // The pawn promotes next: only a knight on or over the promotion square stops it.
    return ((KnightAttacks[next] | SquareBit(next)) & SquareBit(n)) != 0;
  }
  return (KnightIntercept[next - 8][k] >> n) & 1;
}

// Step 8: a king with no pieces and no pawn move, on the edge against the
// other king in opposition, with its side to move: mate or stalemate when it
// has no flight. Pawn pushes and pawn captures (en passant included) count as
// moves, so such a position is never called mate.
int PawnsCanMove(int colour) {
  const ThreadBoard& b = thread_board;
  Bitboard pawns = b.Pieces[PAWN][colour];
  Bitboard enemy = b.Colour[ChangeSide(colour)];
  for (Bitboard p = pawns; p;) {
    int s = PopLSB(&p);
    int ahead = Ahead(colour, s);
    if (!(b.Occupied & SquareBit(ahead))) return 1;
    Bitboard attacks = colour == WHITE ? WhitePawnAttacks[s] : BlackPawnAttacks[s];
    if (attacks & enemy) return 1;
  }
  // En passant: the last move a double step of an enemy pawn beside one of ours.
  if (GamePly > 0 && pawns) {
    Move last = GameHistory[GamePly - 1].move;
    int from = MoveFrom(last), to = MoveTo(last);
    if (MovePiece(last) == PAWN && Abs(to - from) == 16 && FileOf(to) > 0 && (pawns & SquareBit(to - 1)) &&
        RankOf(to - 1) == RankOf(to))
      return 1;
    if (MovePiece(last) == PAWN && Abs(to - from) == 16 && FileOf(to) < 7 && (pawns & SquareBit(to + 1)) &&
        RankOf(to + 1) == RankOf(to))
      return 1;
  }
  return 0;
}

int EdgeKingCase(int colour) {
  const ThreadBoard& b = thread_board;
  if (!NoPieces(colour)) return 0;
  int king = b.KingSquare[colour], other = b.KingSquare[ChangeSide(colour)];
  return (EdgeOpposition[king] >> (63 - other)) & 1;
}

int EdgeKingMate(int colour, int32_t* score) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int enemy = ChangeSide(colour);
  int king = b.KingSquare[colour];
  if (PawnsCanMove(colour)) return 0;
  for (Bitboard to = KingAttacks[king] & ~b.Colour[colour]; to;)
    if (!SquareAttacked(enemy, PopLSB(&to))) return 0;
  // The score depends on the ply and on the side to move: never cached, never derived.
  e.cacheable = 0;
  e.derivable = 0;
  *score = SquareAttacked(enemy, king) ? SearchPly - INFINITY_SCORE : 0;
  return 1;
}

// Step 9: a lone rook against pawns. `rookSide` has the rook.
int RookAgainstPawns(int rookSide, int32_t* score, int32_t* term) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int pawnSide = ChangeSide(rookSide);
  e.derivable = 0;
  int rook = LeastSignificantBit(b.Pieces[ROOK][rookSide]);
  Bitboard defenderKing = KingAttacks[b.KingSquare[rookSide]] | SquareBit(b.KingSquare[rookSide]);
  int n = 0, free = 0, racing = 0, holding = 0;
  for (Bitboard pawns = b.Pieces[PAWN][pawnSide]; pawns && holding < 3;) {
    int pawn = PopLSB(&pawns);
    n++;
    if (!(FileAhead(pawnSide, pawn) & defenderKing)) {
      free++;
      if (PawnWinsAlone(pawnSide, pawn, &e.derivable)) racing++;
    }
    int held = pawnSide == WHITE ? ProbeKpkrWhitePawn(pawn, rook) : ProbeKpkrBlackPawn(pawn, rook);
    if (held == 1) holding++;
  }
  int32_t value;
  if (holding == 0) {
    if (n == 1) value = EvalParamsD[ROOK_PAWNS_ONE_PAWN];
    else if (racing) value = 0;
    else if (!free) value = EvalParamsD[ROOK_PAWNS_BLOCKED] * n;
    else value = EvalParamsD[ROOK_PAWNS_FREE] * n;
  } else if (holding == 1) {
    if (n == 1) {
      *score = 0;
      return 1;
    }
    // From the rook's side: less with more pawns, with the rook further up
    // the pawns' way, and with the rook near the pawns' king.
    int rank = pawnSide == WHITE ? RankOf(rook) : 7 - RankOf(rook);
    int32_t v = EvalParamsD[ROOK_PAWNS_HOLD_BASE] - (n * EvalParamsD[ROOK_PAWNS_PER_PAWN]) / 256 -
                (rank * EvalParamsD[ROOK_PAWNS_PER_RANK]) / 256;
    if (Abs(FileOf(rook) - FileOf(b.KingSquare[pawnSide])) <= 1) v -= EvalParamsD[ROOK_PAWNS_KING_NEAR];
    *score = b.SideToMove == rookSide ? v : -v;
    return 1;
  } else {
    value = EvalParamsD[holding == 2 ? ROOK_PAWNS_TWO_HOLD : ROOK_PAWNS_THREE_HOLD];
  }
  // The value favours the pawns; the term is from BLACK's side.
  *term += pawnSide == BLACK ? value : -value;
  return 0;
}

// Step 10: queen against a pawn on its seventh rank, seen for a BLACK pawn
// on rank 2 (a WHITE pawn is reflected top to bottom): the rook and bishop
// pawns draw with their king beside them when the queen's king is far.
int QueenVersusSeventhRankPawn(int pawnSide) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int queenSide = ChangeSide(pawnSide);
  auto view = [pawnSide](int s) { return pawnSide == BLACK ? s : s ^ 56; };
  int pawn = view(LeastSignificantBit(b.Pieces[PAWN][pawnSide]));
  if (RankOf(pawn) != 1) return 0;
  int king = view(b.KingSquare[pawnSide]), queenKing = view(b.KingSquare[queenSide]);
  int queen = LeastSignificantBit(b.Pieces[QUEEN][queenSide]);
  int queenToMove = b.SideToMove == queenSide;
  int file = FileOf(pawn);
  if (!(KingAttacks[king] & SquareBit(pawn)) || RankOf(king) > 1) return 0;
  if (file == 7 || file == 0) {
    // Rook pawn: the king on its corner files, the queen's king far off.
    int kingFile = file == 7 ? FileOf(king) : 7 - FileOf(king);
    int queenKingFile = file == 7 ? FileOf(queenKing) : 7 - FileOf(queenKing);
    if (kingFile < 5) return 0;
    e.derivable = 0;
    return queenKingFile < (queenToMove ? 3 : 4) || RankOf(queenKing) > (queenToMove ? 4 : 3);
  }
  if (file == 2 || file == 5) {
    // Bishop pawn: the king beside the pawn off the promotion square, the
    // promotion square out of the queen's reach and the queen's king far.
    int promotion = pawn - 8;
    if (king == promotion) return 0;
    e.derivable = 0;
    int realPromotion = pawnSide == BLACK ? promotion : promotion ^ 56;
    if ((RookLines(queen) | BishopLines(queen)) & SquareBit(realPromotion)) return 0;
    return KingDistance(queenKing, promotion) > (queenToMove ? 4 : 3);
  }
  return 0;
}

// Step 11: a side without knights, rooks and queens and with at most two
// pawns that cannot win: same-coloured bishops without pawns, or rook pawns
// with a bishop of the wrong colour (or none) and the defending king home.
void MarkCannotWin(int colour) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int other = ChangeSide(colour);
  if (Pawns(colour) > 2 || b.PieceCount[ROOK][colour] || b.PieceCount[QUEEN][colour] || b.PieceCount[KNIGHT][colour])
    return;
  Bitboard bishops = b.Pieces[BISHOP][colour], pawns = b.Pieces[PAWN][colour];
  if (!pawns) {
    if (!(bishops & DarkSquares) || !(bishops & LightSquares)) {
      b.CannotWin[colour] = 1;
      e.derivable = 0;
    }
    return;
  }
  for (int wing = 0; wing < 2; wing++) {
    int file = wing == 0 ? 0 : 7;
    if ((pawns & FileMask[file]) != pawns) continue;
    int corner = colour == WHITE ? 56 + file : file;
    Bitboard cornerColour = SquareColour[corner] ? DarkSquares : LightSquares;
    if (bishops & cornerColour) continue;  // a bishop of the corner's colour wins
    e.derivable = 0;
    int defendingKing = b.KingSquare[other], attackingKing = b.KingSquare[colour];
    if (KingDistance(defendingKing, corner) <= 1) {
      b.CannotWin[colour] = 1;
      continue;
    }
    int defenderTime = KingDistance(defendingKing, corner) - (b.SideToMove == other);
    int attackerTime = KingDistance(attackingKing, corner) - (b.SideToMove == colour);
    int front = MostAdvanced(colour, pawns);
    if (defenderTime < attackerTime && !PawnWinsAlone(colour, front, &e.derivable)) b.CannotWin[colour] = 1;
  }
}

// Step 12 corrections for the stronger side `strong` (the term is from
// BLACK's side, so WHITE's corrections are subtracted).
int32_t StrongerSideTerm(int strong) {
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  int weak = ChangeSide(strong);
  int32_t t = 0;
  if (b.PieceUnits[strong] > 4 && e.ENDING[strong] && b.Material[weak] == 0) {
    t += EvalParamsA[MOP_UP_BONUS];
    if (b.Material[strong] == 600 && b.PieceCount[BISHOP][strong] == 1 && b.PieceCount[KNIGHT][strong] == 1) {
      int bishop = LeastSignificantBit(b.Pieces[BISHOP][strong]);
      int king = b.KingSquare[weak];
      int d = SquareColour[bishop] ? Min(KingDistance(king, A1), KingDistance(king, H8))
                                   : Min(KingDistance(king, A8), KingDistance(king, H1));
      t += EndgameDriverPair[1] - d * EndgameDriverPair[0];
    }
  } else if (Pawns(weak) == 0 && b.PieceUnits[strong] >= b.PieceUnits[weak] + 3) {
    t += MopUpTable[b.KingSquare[weak]];
  }
  return strong == BLACK ? t : -t;
}

// What counts against a side with knights when pawns stand on both wings,
// and against a lone knight far from its king; from BLACK's side.
int32_t KnightTerms() {
  const ThreadBoard& b = thread_board;
  int32_t t = 0;
  Bitboard all = b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK];
  Bitboard queenWing = FileMask[0] | FileMask[1] | FileMask[2], kingWing = FileMask[5] | FileMask[6] | FileMask[7];
  int bothWings = (all & queenWing) && (all & kingWing);
  for (int c = 0; c < 2; c++) {
    int other = ChangeSide(c);
    int32_t against = 0;
    if (bothWings && b.PieceCount[KNIGHT][c] && b.PieceUnits[c] < 9) {
      if (b.PieceUnits[c] < b.PieceUnits[other]) {
        against += EvalParamsC[KNIGHT_WINGS_FEWER_UNITS];
        if (b.PieceUnits[c] == 3) against += EvalParamsC[KNIGHT_WINGS_LONE];
      }
      if (b.Majors[c] < b.Majors[other]) against += EvalParamsC[KNIGHT_WINGS_FEWER_MAJORS];
    }
    if (b.PieceUnits[c] == 3 && b.PieceCount[KNIGHT][c] == 1 && Pawns(c) == 0) {
      int d = KingDistance(LeastSignificantBit(b.Pieces[KNIGHT][c]), b.KingSquare[c]);
      against += EvalParamsN[LONE_KNIGHT_DISTANCE + (d & 7)];
    }
    t += c == BLACK ? -against : against;
  }
  return t;
}

// Reflects every square of a set through the centre (s -> 63 - s).
Bitboard ReflectSet(Bitboard set) {
  set = __builtin_bswap64(set);
  Bitboard out = 0;
  for (int r = 0; r < 8; r++) out |= (Bitboard)(ReverseBits8[(set >> (8 * r)) & 255] & 255) << (8 * r);
  return out;
}

// ProbeKpkr for a pawn moving toward rank 8, all squares and the occupancy
// given in that orientation.
int ProbeKpkrUp(int pawn, int rook, int pawnKing, int rookKing, int pawnToMove, Bitboard occupied) {
  int rank = RankOf(pawn);
  if (!pawnToMove) return rank < 3 ? 2 : ProbeKpkrBitbase(rook, rookKing, pawn, pawnKing);
  if ((KingAttacks[pawnKing] & SquareBit(rook)) && !(KingAttacks[rookKing] & SquareBit(rook))) return 1;
  if (WhitePawnAttacks[pawn] & SquareBit(rook)) return 1;
  if (rank >= 6) return 2;  // the promotion is not covered
  int to = pawn + 8;
  if (occupied & SquareBit(to)) return 2;
  if (rank == 1) {
    to += 8;
    if (occupied & SquareBit(to)) return 2;
  }
  // A pawn pinned on its rank, or its king in check, is not advanced.
  if (RankOf(rook) == rank && RankOf(pawnKing) == rank) {
    Bitboard between = Between[rook][pawn] & ~SquareBit(rook);
    Bitboard kingSide = Between[pawn][pawnKing] & ~SquareBit(pawn);
    if (!(between & occupied) && !(kingSide & occupied)) return 2;
  }
  if ((FileOf(rook) == FileOf(pawnKing) || RankOf(rook) == RankOf(pawnKing)) &&
      !(Between[rook][pawnKing] & ~SquareBit(rook) & occupied))
    return 2;
  return ProbeKpkrBitbase(rook, rookKing, to, pawnKing) ? 1 : 2;
}

// Drawish-ending factor for the pawns of `pawnSide` against `defender`.
int32_t DrawishFactor(int pawnSide, int heavy) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int defender = ChangeSide(pawnSide);
  Bitboard pawns = b.Pieces[PAWN][pawnSide];
  int front = MostAdvanced(pawnSide, pawns), back = LeastAdvanced(pawnSide, pawns);
  int king = b.KingSquare[defender];
  int isFree;
  if (heavy) {
    isFree = !((PassedMaskOf(pawnSide, front) | PassedMaskOf(pawnSide, back)) & SquareBit(king));
  } else {
    int strong = b.KingSquare[pawnSide];
    auto wins = [&](int pawn) {
      if (pawnSide == WHITE) return ProbeKpk(KpkSide(WHITE), pawn, strong, king, &e.derivable);
      return ProbeKpk(KpkSide(BLACK), 63 - pawn, 63 - strong, 63 - king, &e.derivable);
    };
    isFree = wins(front) || wins(back);
  }
  int touches = (KingAttacks[king] & b.Pieces[PAWN][defender]) != 0;
  if (b.PieceCount[BISHOP][defender]) {
    if (isFree) return EvalParamsD[DRAWISH_BISHOP_FREE];
    return EvalParamsD[touches ? DRAWISH_BISHOP_TOUCH : DRAWISH_BISHOP_APART];
  }
  if (!isFree) return EvalParamsD[touches ? DRAWISH_TOUCH : DRAWISH_APART];
  return EvalParamsD[DRAWISH_FREE];
}

// score * factor / 256, rounded toward zero so that colour twins stay twins.
inline int32_t Multiply(int32_t score, int32_t factor) { return (int32_t)((int64_t)score * factor / 256); }

}  // namespace

int ProbeKpk(int side, int pawn, int strongKing, int weakKing, int32_t* derivable) {
  int index = KpkIndex(side & 1, pawn & 63, strongKing & 63, weakKing & 63);
  int bit = KpkBit(KpkBitbase, index);
  if (bit != KpkBit(KpkBitbase, index ^ 1)) *derivable = 0;
  return bit;
}

int ProbeKpkFile(int side, int pawn, int strongKing, int weakKing, int32_t* derivable) {
  pawn &= 63;
  strongKing &= 63;
  weakKing &= 63;
  if (FileOf(strongKing) == FileOf(pawn) && strongKing > pawn) {
    int outsideWtm = !(WhitePawnSquareWtm[pawn] & SquareBit(weakKing));
    int outsideBtm = !(WhitePawnSquareBtm[pawn] & SquareBit(weakKing));
    if (outsideWtm != outsideBtm) *derivable = 0;
    return (side & 1) == 0 ? outsideWtm : outsideBtm;
  }
  return ProbeKpk(side, pawn, strongKing, weakKing, derivable);
}

int ProbeKpkrBitbase(int rook, int rookKing, int pawn, int pawnKing) {
  rook &= 63;
  rookKing &= 63;
  pawn &= 63;
  pawnKing &= 63;
  if (FileOf(pawn) < 4) {
    rook ^= 7;
    rookKing ^= 7;
    pawn ^= 7;
    pawnKing ^= 7;
  }
  return (KrkpBitbase[rook * 1024 + rookKing * 16 + KrkpPawnIndex[pawn]] >> pawnKing) & 1;
}

int ProbeKpkrWhitePawn(int pawn, int rook) {
  const ThreadBoard& b = thread_board;
  return ProbeKpkrUp(pawn, rook, b.KingSquare[WHITE], b.KingSquare[BLACK], b.SideToMove == WHITE, b.Occupied);
}

int ProbeKpkrBlackPawn(int pawn, int rook) {
  const ThreadBoard& b = thread_board;
  return ProbeKpkrUp(63 - pawn, 63 - rook, 63 - b.KingSquare[BLACK], 63 - b.KingSquare[WHITE],
                     b.SideToMove == BLACK, ReflectSet(b.Occupied));
}

int32_t ScaleDrawishEndgame(int32_t score) {
  ThreadBoard& b = thread_board;
  const PawnHashEntry& block = b.PawnBlock;
  if (block.PassedVector[0] || block.PassedVector[1]) return score;
  if (b.PieceUnits[WHITE] != b.PieceUnits[BLACK] || b.Minors[WHITE] != b.Minors[BLACK]) return score;
  int heavy = b.Majors[WHITE] + b.Majors[BLACK] > 0;
  int minors = b.Minors[WHITE] > 0;
  int pawnSide = Pawns(WHITE) > Pawns(BLACK) ? WHITE : BLACK;
  if (!b.Pieces[PAWN][pawnSide]) return score;
  if ((heavy && minors) || (!heavy && b.Minors[WHITE] >= 2)) {
    if (b.Majors[WHITE] != b.Majors[BLACK]) return score;
    return Multiply(score, DrawishFactor(pawnSide, heavy));
  }
  int units = b.PieceUnits[WHITE];
  if (units == 0 || units >= 10) return score;
  Bitboard pawns = b.Pieces[PAWN][pawnSide];
  int king = b.KingSquare[ChangeSide(pawnSide)];
  int front = MostAdvanced(pawnSide, pawns), back = LeastAdvanced(pawnSide, pawns);
  if ((PassedMaskOf(pawnSide, front) & SquareBit(king)) && (PassedMaskOf(pawnSide, back) & SquareBit(king)))
    return Multiply(score, EvalParamsD[DRAWISH_KING_IN_FRONT]);
  return score;
}

// Endgame knowledge, called with little material. On return with *exact set,
// *score is the evaluation for the side to move (0 for a draw); otherwise the
// result is a term from BLACK's side that starts the general evaluation, and
// the material term, phases, weighted sums and ENDING flags are filled.
//
// *score comes in as the score known so far for the side to move; the driver
// passes the bound INFINITY_SCORE when it knows none. The draws for a side
// to move that cannot win (steps 2 and 12) are taken only on a real score of
// at least 0: on the bound they would call a lost position (a lone knight to
// move against a queen) a draw. The driver takes them on the score it has
// worked out in the end (DrawWhenSideToMoveCannotWin).
int32_t EvaluateEndgame(int32_t* score, int32_t* exact) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int stm = b.SideToMove & 1;
  int known = *score >= 0 && *score < INFINITY_SCORE;
  *exact = 1;

  // 1. The cannot-win flags of the material table.
  uint32_t index = (uint32_t)b.MaterialIndex;
  const MaterialEntry& entry = MaterialTable[index > (uint32_t)MATERIAL_OUTSIDE ? MATERIAL_OUTSIDE : index];
  b.CannotWin[WHITE] = entry.flags[WHITE] & MATERIAL_FLAG_CANNOT_WIN;
  b.CannotWin[BLACK] = entry.flags[BLACK] & MATERIAL_FLAG_CANNOT_WIN;
  if (b.CannotWin[WHITE] && b.CannotWin[BLACK]) {
    *score = 0;
    return 0;
  }
  // 2. The side to move cannot win and is not behind.
  if (b.CannotWin[stm] && known) {
    *score = 0;
    e.cacheable = 0;
    return 0;
  }
  // 3. Equal pieces and no pawns.
  int pawnsW = Pawns(WHITE), pawnsB = Pawns(BLACK);
  if (pawnsW == 0 && pawnsB == 0 && b.PieceUnits[WHITE] == b.PieceUnits[BLACK]) {
    *score = 0;
    return 0;
  }
  // 4. King and pawn against king.
  for (int c = 0; c < 2; c++)
    if (b.Material[c] == 100 && pawnsW + pawnsB == 1 && Pawns(c) == 1 && b.Material[ChangeSide(c)] == 0 &&
        KingPawnVersusKing(c, score))
      return 0;
  int noPieces = NoPieces(WHITE) && NoPieces(BLACK);
  // 5. A blockaded lone passer against uncatchable passers.
  if (noPieces)
    for (int c = 0; c < 2; c++)
      if (BlockadedPasserRace(c, score)) return 0;
  // 6. Opposite bishops with two pawns against none.
  if (b.PieceUnits[WHITE] == 3 && b.PieceUnits[BLACK] == 3 && b.PieceCount[BISHOP][WHITE] == 1 &&
      b.PieceCount[BISHOP][BLACK] == 1) {
    int attacker = pawnsW == 2 && pawnsB == 0 ? WHITE : pawnsB == 2 && pawnsW == 0 ? BLACK : -1;
    if (attacker >= 0 && OppositeBishopFortress(attacker)) {
      *score = 0;
      return 0;
    }
  }
  // 7. Bishop and pawn against knight.
  if (pawnsW + pawnsB == 1) {
    int pawnSide = pawnsW ? WHITE : BLACK, defender = ChangeSide(pawnSide);
    if (b.PieceUnits[pawnSide] == 3 && b.PieceCount[BISHOP][pawnSide] == 1 && b.PieceUnits[defender] == 3 &&
        b.PieceCount[KNIGHT][defender] == 1 && KnightStopsBishopPawn(pawnSide)) {
      *score = 0;
      return 0;
    }
  }
  // 8. A bare king on the edge in opposition: mate or stalemate.
  for (int c = 0; c < 2; c++) {
    if (!EdgeKingCase(c)) continue;
    if (c != stm) {
      e.derivable = 0;
      continue;
    }
    if (EdgeKingMate(c, score)) return 0;
  }
  int32_t term = 0;
  // 9. A lone rook against pawns.
  for (int c = 0; c < 2; c++) {
    int other = ChangeSide(c);
    if (b.PieceUnits[c] == 5 && b.PieceCount[ROOK][c] == 1 && Pawns(c) == 0 && NoPieces(other) && Pawns(other) > 0 &&
        RookAgainstPawns(c, score, &term))
      return 0;
  }
  // 10. Queen against a pawn on its seventh rank.
  for (int c = 0; c < 2; c++) {
    int other = ChangeSide(c);
    if (b.Material[c] == 900 && b.PieceCount[QUEEN][c] == 1 && b.Material[other] == 100 && Pawns(other) == 1 &&
        QueenVersusSeventhRankPawn(other)) {
      *score = 0;
      return 0;
    }
  }
  // 11. Sides that cannot win.
  MarkCannotWin(WHITE);
  MarkCannotWin(BLACK);
  // 12. The general terms of a reduced ending.
  if (b.CannotWin[stm] && known) {
    *score = 0;
    e.cacheable = 0;
    return 0;
  }
  EvaluateMaterialAndPhase();
  term += e.material_score;
  term += StrongerSideTerm(BLACK) + StrongerSideTerm(WHITE);
  term += KnightTerms();
  b.AllPawns = b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK];
  *exact = 0;
  return term;
}

void DrawWhenSideToMoveCannotWin(int32_t* score) {
  if (!thread_board.CannotWin[thread_board.SideToMove & 1] || *score < 0) return;
  *score = 0;
  thread_eval_info.cacheable = 0;
}
