// Questions asked of the current position without changing it: attacks,
// pins, exposed kings and static exchange.
#pragma once
#include "board/position.h"
#include "board/attacktables.h"

// Slider attacks of a square on the current occupancy, up to and including
// the first occupied square each way: one multiplication and one table load
// for both lines of a rook or of a bishop.
inline Bitboard RookLines(int s) { return RookAttacksOn(s, thread_board.Occupied); }
inline Bitboard BishopLines(int s) { return BishopAttacksOn(s, thread_board.Occupied); }
// One line of the two.
inline Bitboard RankLine(int s) { return RookLines(s) & (0xFFULL << (s & 56)); }
inline Bitboard FileLine(int s) { return RookLines(s) & (0x0101010101010101ULL << (s & 7)); }
inline Bitboard DiagH1A8Line(int s) { return BishopLines(s) & DiagH1A8Squares[s]; }
inline Bitboard DiagA1H8Line(int s) { return BishopLines(s) & DiagA1H8Squares[s]; }

int SquareAttacked(int colour, int square);
Bitboard WhiteAttackersOf(int square);

// The squares a piece of the code (a pawn of `side`) attacks from the square
// on the current occupancy; 0 for a code that names no piece.
inline Bitboard AttacksFrom(int square, int side, int code) {
  switch (code) {
    case KING: return KingAttacks[square];
    case KNIGHT: return KnightAttacks[square];
    case PAWN: return side == WHITE ? WhitePawnAttacks[square] : BlackPawnAttacks[square];
    case ROOK: return RookLines(square);
    case BISHOP: return BishopLines(square);
    case QUEEN: return RookLines(square) | BishopLines(square);
    default: return 0;
  }
}
Bitboard RayAttacks(int square, int direction);

// The attackers plus the slider of the step's kind (either colour) that is the
// first piece behind the square, seen against the step. The ray runs in step
// -direction, so its nearest square is the highest one for a positive step.
inline Bitboard AddXrayAttackers(Bitboard attackers, int square, int direction) {
  const Bitboard beyond = RayOf(direction, square) & thread_board.Occupied;
  if (beyond == 0) return attackers;
  const int first = direction > 0 ? MostSignificantBit(beyond) : LeastSignificantBit(beyond);
  const bool straight = direction == 1 || direction == -1 || direction == 8 || direction == -8;
  return attackers | (SquareBit(first) & (straight ? thread_board.RookQueens : thread_board.BishopQueens));
}
// AddXrayAttackers for a step that is one of the eight (the line of a pawn
// or slider to the square it attacks), without the test for other values.
inline Bitboard AddXrayOnLine(Bitboard attackers, int square, int direction) {
  const int slot = RAY_SLOT_OF_STEP[direction + 9];
  const Bitboard beyond = Rays[slot][square] & thread_board.Occupied;
  if (beyond == 0) return attackers;
  const int first = direction > 0 ? MostSignificantBit(beyond) : LeastSignificantBit(beyond);
  return attackers | (SquareBit(first) & (slot < 4 ? thread_board.RookQueens : thread_board.BishopQueens));
}
int IsPinned(int square);
int ExposesKing(Move move);
// The pieces of the side to move that stand alone between their king and an
// enemy slider moving along that line: the pieces whose moves off the line
// ExposesKing finds illegal.
Bitboard PinnedPieces();
// The pieces of `owner` standing alone between the king on `king` and a
// slider of colour `slider` on that line (pinned pieces, or discoverers).
Bitboard LoneBlockers(int king, int slider, int owner);
int LeavesKingInCheck(Move move);
int MoveUncoversAttack(Move move, int target);
int SeeNonNegative(Move move);
// What SeeQuietNonNegative knows of the position: the evaluation's map of
// the opponent's attacks at this ply, and exact sets filled on first use
// (known = 0 until then): the squares the opponent attacks; by the mover's
// code, the squares where an enemy piece cheap enough to take it for nothing
// back stands guard (a pawn for anything above a pawn, a knight or bishop
// for a rook or queen, a rook for a queen); the squares the mover's own
// pawns, knights and king attack, and the mover's own sliders of each kind.
// Set up by BeginQuietExchanges; valid while the position stays.
struct QuietExchangeSets {
  Bitboard map;
  Bitboard attacks;
  Bitboard refuted[8];
  Bitboard own_step_attacks;
  Bitboard own_straight, own_diagonal;
  int known;
};
void BeginQuietExchanges(QuietExchangeSets* enemy);
int SeeQuietPastMap(Move move, QuietExchangeSets* enemy);

// SeeNonNegative for a quiet move (no capture, no promotion) with the
// attack sets shared by many moves. After the attack-map shortcut it settles
// the common cases exactly before the full exchange: a target no enemy piece
// reaches, even through the vacated from-square, is safe; a target an enemy
// pawn guards loses anything but a pawn, one an enemy knight or bishop
// guards loses a rook or queen, one an enemy rook guards loses a queen; an
// attacked target that no own piece can ever retake on loses the mover.
inline int SeeQuietNonNegative(Move move, QuietExchangeSets* enemy) {
  const Bitboard map = enemy->map;
  if (map != 0 && !(map & SquareBit(MoveTo(move))) && (!(map & SquareBit(MoveFrom(move))) || MovePiece(move) == KNIGHT))
    return 1;
  return SeeQuietPastMap(move, enemy);
}
int SeeMoveIsSafe(int to, int from, int mover, int captured, int promotion);
int SeeCaptureIsSafe(int target, int attackerSquare);
int HasWinningThreat(int margin);

// Cheapest attacker of colour c in the set, as its code (0 when none), with
// its square in *square; the king comes last.
inline int CheapestAttacker(Bitboard attackers, int c, int* square) {
  const Bitboard(&P)[8][2] = thread_board.Pieces;
  Bitboard hit;
  int code;
  if ((hit = attackers & P[PAWN][c])) code = PAWN;
  else if ((hit = attackers & P[KNIGHT][c])) code = KNIGHT;
  else if ((hit = attackers & P[BISHOP][c])) code = BISHOP;
  else if ((hit = attackers & P[ROOK][c])) code = ROOK;
  else if ((hit = attackers & P[QUEEN][c])) code = QUEEN;
  else if ((hit = attackers & P[KING][c])) code = KING;
  else return 0;
  *square = LeastSignificantBit(hit);
  return code;
}

// Takes the attacker on q (code `code`, attacking t) out of the set and
// brings in the slider that stood behind it on the line to t; knights and
// kings hide nothing, and every other attacker stands on a line with t.
inline Bitboard RemoveAttacker(Bitboard attackers, int q, int code, int t) {
  attackers &= ~SquareBit(q);
  if (code != KNIGHT && code != KING) attackers = AddXrayOnLine(attackers, q, Direction[t][q]);
  return attackers;
}
