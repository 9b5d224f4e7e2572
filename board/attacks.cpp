// Attack, pin and exchange tests on the current position. Nothing here writes
// the position except SeeCaptureIsSafe, which borrows SideToMove.
#include "board/attacks.h"
#include "board/searchstack.h"

namespace {

// The whole line through s in the kind of the step: rank for +-1, file for
// +-8, the file + rank diagonal for +-7, the file - rank diagonal for +-9.
// 0 for a value that is no step.
inline Bitboard LineOfStep(int s, int direction) {
  switch (direction) {
    case -1: case 1: return RankLine(s);
    case -8: case 8: return FileLine(s);
    case -7: case 7: return DiagH1A8Line(s);
    case -9: case 9: return DiagA1H8Line(s);
    default: return 0;
  }
}

// The sliders (both colours) that move along lines of the step's kind.
inline Bitboard SlidersOfStep(int direction) {
  return (direction == 1 || direction == -1 || direction == 8 || direction == -8)
             ? thread_board.RookQueens
             : thread_board.BishopQueens;
}

inline int AbsoluteValue(int x) { return x < 0 ? -x : x; }

// The static exchange of a move of S onto t from f that puts more at risk
// than it gains (gain < risk, weights of SeeWeight): 1 when it does not lose
// material. The steps run from the cheapest refutation to the swap-off.
template <int S>
[[gnu::noinline]] int ExchangeAtRisk(int t, int f, int gain, int risk) {
  constexpr int O = S ^ 1;
  const ThreadBoard& b = thread_board;
  const int D = risk - gain;

  // 1. Cheap refutations. The pawns of a colour that attack t stand on the
  //    other colour's pawn-attack set of t.
  const Bitboard enemyPawnGuards = b.Pieces[PAWN][O] & (O == WHITE ? BlackPawnAttacks[t] : WhitePawnAttacks[t]);
  if (enemyPawnGuards && D >= 2) return 0;
  Bitboard A = enemyPawnGuards | ((b.Pieces[KNIGHT][WHITE] | b.Pieces[KNIGHT][BLACK]) & KnightAttacks[t]);
  if ((A & b.Pieces[KNIGHT][O]) && D >= 4) return 0;
  A |= b.BishopQueens & BishopLines(t);
  if ((A & b.Pieces[BISHOP][O]) && D >= 4) return 0;
  A |= b.RookQueens & RookLines(t);
  if ((A & b.Pieces[ROOK][O]) && D >= 6) return 0;

  // 2. Cheap defence: an own pawn retakes anything but a queen.
  const Bitboard ownPawnGuards = b.Pieces[PAWN][S] & (S == WHITE ? BlackPawnAttacks[t] : WhitePawnAttacks[t]);
  if (risk < 9 && gain > 0 && ownPawnGuards) return 1;

  // 3. Every attacker of t but the mover, with the slider behind the mover.
  A |= ownPawnGuards | ((b.Pieces[KING][WHITE] | b.Pieces[KING][BLACK]) & KingAttacks[t]);
  A &= ~(SquareBit(f) | SquareBit(t));
  const int d = Direction[t][f];
  if (d != 0) A = AddXrayOnLine(A, f, d);
  if (A == 0) return 1;

  // 4. Swap-off: balance is S's material after O has taken the mover.
  int balance = gain - risk;
  for (;;) {
    int q;
    int code = CheapestAttacker(A, O, &q);
    if (code == 0) return 1;
    A = RemoveAttacker(A, q, code, t);
    balance += SeeWeight[code];
    if (balance < 0) return 0;

    code = CheapestAttacker(A, S, &q);
    if (code == 0) return 0;
    // O's last capture was by its king onto a square S still guards.
    if (code == KING && balance > 100) return 1;
    A = RemoveAttacker(A, q, code, t);
    balance -= SeeWeight[code];
    if (balance >= 0) return 1;
  }
}

// Static exchange on t for the side to move, without the attack-map
// shortcut: 1 when the move does not lose material. An under-promotion is
// never safe; a move that gains at least what it puts at risk always is.
inline int StaticExchange(int t, int f, int mover, int captured, int promotion) {
  int gain, risk;
  if (promotion != 0) {
    if (promotion != QUEEN) return 0;
    gain = SeeWeight[captured] + 9 - 1;
    risk = 9;
  } else {
    gain = SeeWeight[captured];
    risk = SeeWeight[mover];
  }
  if (gain >= risk) return 1;
  return thread_board.SideToMove == WHITE ? ExchangeAtRisk<WHITE>(t, f, gain, risk)
                                          : ExchangeAtRisk<BLACK>(t, f, gain, risk);
}

}  // namespace

// 1 when a piece of the colour attacks the square; cheapest tests first.
int SquareAttacked(int colour, int square) {
  const Bitboard pawnSources = colour == WHITE ? BlackPawnAttacks[square] : WhitePawnAttacks[square];
  if (thread_board.Pieces[PAWN][colour] & pawnSources) return 1;
  if (KnightAttacks[square] & thread_board.Pieces[KNIGHT][colour]) return 1;
  if (KingAttacks[square] & thread_board.Pieces[KING][colour]) return 1;
  const Bitboard straight = thread_board.RookQueens & thread_board.Colour[colour];
  if ((RookMoves[square] & straight) && (RookLines(square) & straight)) return 1;
  const Bitboard diagonal = thread_board.BishopQueens & thread_board.Colour[colour];
  if ((BishopMoves[square] & diagonal) && (BishopLines(square) & diagonal)) return 1;
  return 0;
}

// The WHITE pieces that attack the square.
Bitboard WhiteAttackersOf(int square) {
  const Bitboard white = thread_board.Colour[WHITE];
  return (thread_board.Pieces[PAWN][WHITE] & BlackPawnAttacks[square]) |
         (thread_board.Pieces[KNIGHT][WHITE] & KnightAttacks[square]) |
         (thread_board.RookQueens & white & RookLines(square)) |
         (thread_board.BishopQueens & white & BishopLines(square)) |
         (thread_board.Pieces[KING][WHITE] & KingAttacks[square]);
}

// The squares from the square against the step, up to and including the
// first piece; 0 for a value that is no step.
Bitboard RayAttacks(int square, int direction) {
  return LineOfStep(square, direction) & RayOf(direction, square);
}

// 1 when the piece on the square stands between its own king (of the side to
// move) and an enemy slider that moves along that line.
int IsPinned(int square) {
  const int S = thread_board.SideToMove;
  const int d = Direction[square][thread_board.KingSquare[S]];
  if (d == 0) return 0;
  const Bitboard line = LineOfStep(square, d);
  if (!(line & thread_board.Pieces[KING][S])) return 0;
  return (line & SlidersOfStep(d) & thread_board.Colour[S ^ 1]) != 0;
}

// 1 when the non-king move of the side to move leaves the line between its
// king and an enemy slider.
int ExposesKing(Move move) {
  const int S = thread_board.SideToMove;
  const int from = MoveFrom(move), to = MoveTo(move);
  const int d = Direction[from][thread_board.KingSquare[S]];
  if (d == 0) return 0;
  if (AbsoluteValue(Direction[to][from]) == AbsoluteValue(d)) return 0;
  const Bitboard line = LineOfStep(from, d);
  if (!(line & thread_board.Pieces[KING][S])) return 0;
  return (line & SlidersOfStep(d) & thread_board.Colour[S ^ 1]) != 0;
}

// The pieces pinned to the king of the side to move (see the header): an
// enemy slider on an empty-board line of the king with exactly one piece
// between them, and that piece its own.
Bitboard PinnedPieces() {
  const int S = thread_board.SideToMove;
  return LoneBlockers(thread_board.KingSquare[S], S ^ 1, S);
}

// The pieces of `owner` that stand alone between the king on `king` and a
// slider of `slider` moving along that line.
Bitboard LoneBlockers(int king, int slider, int owner) {
  const ThreadBoard& b = thread_board;
  Bitboard lines = ((RookMoves[king] & b.RookQueens) | (BishopMoves[king] & b.BishopQueens)) & b.Colour[slider];
  Bitboard blockers = 0;
  while (lines) {
    const Bitboard between = Between[king][PopLSB(&lines)] & ~SquareBit(king) & b.Occupied;
    if ((between & (between - 1)) == 0) blockers |= between & b.Colour[owner];
  }
  return blockers;
}

// 1 when the move leaves the mover's king attacked; exact when the side to
// move is not in check (the king's from-square still blocks its own line).
int LeavesKingInCheck(Move move) {
  if (MovePiece(move) == KING) return SquareAttacked(thread_board.SideToMove ^ 1, MoveTo(move));
  return ExposesKing(move);
}

// 1 when lifting the piece off its from-square opens a line of an own slider
// onto the target.
int MoveUncoversAttack(Move move, int target) {
  const int S = thread_board.SideToMove;
  const int from = MoveFrom(move), to = MoveTo(move);
  const int d = Direction[from][target];
  if (d == 0) return 0;
  if (AbsoluteValue(Direction[to][from]) == AbsoluteValue(d)) return 0;
  const Bitboard line = LineOfStep(from, d);
  if (!(line & SquareBit(target))) return 0;
  return (line & SlidersOfStep(d) & thread_board.Colour[S]) != 0;
}

// 1 when the move of the side to move does not lose material by static
// exchange. A move onto a square the opponent does not attack, from a square
// it does not attack (a knight never uncovers its own line), is safe at once.
int SeeNonNegative(Move move) {
  const int from = MoveFrom(move), to = MoveTo(move);
  const int mover = MovePiece(move), promotion = MovePromotion(move);
  const Bitboard enemyMap = SearchStack[SearchPly].attack_maps[thread_board.SideToMove == WHITE ? 1 : 0];
  if (enemyMap != 0 && !(enemyMap & SquareBit(to)) && (!(enemyMap & SquareBit(from)) || mover == KNIGHT))
    return (promotion == 0 || promotion == QUEEN) ? 1 : 0;
  return StaticExchange(to, from, mover, MoveCaptured(move), promotion);
}

// Starts a series of quiet exchange tests on the current position: the
// evaluation's map of the opponent's attacks at this ply; the exact sets
// are left to the first test that needs them.
void BeginQuietExchanges(QuietExchangeSets* enemy) {
  enemy->map = SearchStack[SearchPly].attack_maps[thread_board.SideToMove == WHITE ? 1 : 0];
  enemy->known = 0;
}

namespace {

// Fills the exact sets of QuietExchangeSets for the side to move S: the
// opponent's attacks by kind of attacker, and the own step attacks and
// sliders. Each slider's lines are looked up once. Out of line, so that the tests that find the sets filled need few registers.
[[gnu::noinline]] void FillQuietExchangeSets(QuietExchangeSets* sets) {
  const ThreadBoard& b = thread_board;
  const int S = b.SideToMove, O = S ^ 1;
  constexpr Bitboard FILE_A = 0x0101010101010101ULL, FILE_H = 0x8080808080808080ULL;
  const Bitboard enemyPawns = b.Pieces[PAWN][O], ownPawns = b.Pieces[PAWN][S];
  Bitboard enemyPawnHits, ownPawnHits;
  if (O == WHITE) {
    enemyPawnHits = ((enemyPawns & ~FILE_A) << 7) | ((enemyPawns & ~FILE_H) << 9);
    ownPawnHits = ((ownPawns & ~FILE_A) >> 9) | ((ownPawns & ~FILE_H) >> 7);
  } else {
    enemyPawnHits = ((enemyPawns & ~FILE_A) >> 9) | ((enemyPawns & ~FILE_H) >> 7);
    ownPawnHits = ((ownPawns & ~FILE_A) << 7) | ((ownPawns & ~FILE_H) << 9);
  }
  Bitboard minor = 0, rook = 0, queen = 0;
  for (Bitboard set = b.Pieces[KNIGHT][O]; set;) minor |= KnightAttacks[PopLSB(&set)];
  for (Bitboard set = b.Pieces[BISHOP][O]; set;) minor |= BishopLines(PopLSB(&set));
  for (Bitboard set = b.Pieces[ROOK][O]; set;) rook |= RookLines(PopLSB(&set));
  for (Bitboard set = b.Pieces[QUEEN][O]; set;) {
    const int s = PopLSB(&set);
    queen |= RookLines(s) | BishopLines(s);
  }
  sets->refuted[EMPTY] = sets->refuted[4] = sets->refuted[PAWN] = 0;
  sets->refuted[KNIGHT] = sets->refuted[BISHOP] = enemyPawnHits;
  sets->refuted[ROOK] = enemyPawnHits | minor;
  sets->refuted[QUEEN] = sets->refuted[KING] = enemyPawnHits | minor | rook;
  sets->attacks = enemyPawnHits | minor | rook | queen | KingAttacks[b.KingSquare[O]];
  Bitboard ownKnights = 0;
  for (Bitboard set = b.Pieces[KNIGHT][S]; set;) ownKnights |= KnightAttacks[PopLSB(&set)];
  sets->own_step_attacks = ownPawnHits | ownKnights | KingAttacks[b.KingSquare[S]];
  sets->own_straight = b.RookQueens & b.Colour[S];
  sets->own_diagonal = b.BishopQueens & b.Colour[S];
  sets->known = 1;
}

}  // namespace

// The part of SeeQuietNonNegative past the attack-map shortcut. The quiet
// move gains nothing and risks its mover, so the exchange's first
// refutations read off the shared sets: an enemy pawn on the target takes
// anything above a pawn, a knight or bishop a rook or queen, a rook a queen.
// With no own pawn, knight or king on the target and no other own slider on
// an empty-board line through it, nothing can ever retake: the mover is lost.
int SeeQuietPastMap(Move move, QuietExchangeSets* enemy) {
  const int from = MoveFrom(move), to = MoveTo(move);
  const int mover = MovePiece(move);
  const int O = thread_board.SideToMove ^ 1;
  if (!enemy->known) FillQuietExchangeSets(enemy);
  const Bitboard target = SquareBit(to);
  if (!(enemy->attacks & target)) {
    // Only a slider behind the from-square can reach the target now.
    if (!(enemy->attacks & SquareBit(from))) return 1;
    const int d = Direction[to][from];
    if (d == 0 || !(AddXrayOnLine(0, from, d) & thread_board.Colour[O])) return 1;
  } else {
    if (enemy->refuted[mover] & target) return 0;
    const Bitboard ownSliders =
        ((RookMoves[to] & enemy->own_straight) | (BishopMoves[to] & enemy->own_diagonal)) & ~SquareBit(from);
    if (!(enemy->own_step_attacks & target) && !ownSliders) return 0;
  }
  return StaticExchange(to, from, mover, 0, 0);
}

// The exchange test for a move given by its parts, without the shortcut.
int SeeMoveIsSafe(int to, int from, int mover, int captured, int promotion) {
  return StaticExchange(to, from, mover, captured, promotion);
}

// The exchange test for the piece on attackerSquare taking on target, played
// by the colour of that piece.
int SeeCaptureIsSafe(int target, int attackerSquare) {
  const int saved = thread_board.SideToMove;
  thread_board.SideToMove = (int)((thread_board.Colour[BLACK] >> attackerSquare) & 1);
  const int result =
      StaticExchange(target, attackerSquare, (int)thread_board.Board[attackerSquare], (int)thread_board.Board[target], 0);
  thread_board.SideToMove = saved;
  return result;
}

// 1 when the side to move attacks an enemy piece worth at least margin that it
// wins outright (the target is worth at least the attacker) or by exchange.
int HasWinningThreat(int margin) {
  if (margin > 900) return 0;
  const int S = thread_board.SideToMove;
  const int O = S ^ 1;
  Bitboard targets = thread_board.Colour[O];
  if (margin > 100) targets &= ~thread_board.Pieces[PAWN][O];
  Bitboard own = thread_board.Colour[S];
  if (own == 0) return 0;
  while (own) {
    const int from = PopLSB(&own);
    const int code = (int)thread_board.Board[from];
    Bitboard hit = AttacksFrom(from, S, code) & targets;
    while (hit) {
      const int to = PopLSB(&hit);
      const int victim = (int)thread_board.Board[to];
      const int value = PieceValue[victim];
      if (value < margin) continue;
      if (value >= PieceValue[code]) return 1;
      if (SeeMoveIsSafe(to, from, code, victim, 0)) return 1;
    }
  }
  return 0;
}
