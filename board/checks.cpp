// Checking moves: the quiet-check generator of the quiescence search and the
// checks-only picker, and the test whether a move will give check.
#include <cstdlib>

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/movegen.h"

namespace {

constexpr Bitboard RANK_2 = 0x000000000000FF00ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL;

// Check squares of the enemy king on the current occupancy.
struct CheckSquares {
  int enemyKing;
  Bitboard knight;    // a knight there checks
  Bitboard diagonal;  // a bishop or queen there checks (first piece of each ray included)
  Bitboard straight;  // a rook or queen there checks, likewise
};

// Gives the friendly sliders standing right behind s, seen from the enemy king.
inline Bitboard SlidersBehind(int square, int enemyKing, Bitboard sliders) {
  return RayAttacks(square, Direction[enemyKing][square]) & sliders;
}

// Appends the moves of one piece to the given squares, if they are safe.
void AddSafeMoves(int from, Bitboard moves, int piece, uint32_t historyArgument) {
  while (moves) AddSafeQuietMove(MakeMoveWord(from, PopLSB(&moves), piece), historyArgument);
}

// Appends a pawn's single push and, from its home rank, the double push that
// both uncover the slider behind it.
void AddDiscoveringPushes(int from, int step, Bitboard homeRank, uint32_t historyArgument) {
  AddSafeQuietMove(MakeMoveWord(from, from + step, PAWN), historyArgument);
  if ((homeRank & SquareBit(from)) && !(thread_board.Occupied & SquareBit(from + 2 * step)))
    AddSafeQuietMove(MakeMoveWord(from, from + 2 * step, PAWN), historyArgument);
}

// Pawn checks of WHITE: direct single and double pushes, then pushes that
// uncover a rook or queen along the enemy king's rank and a bishop or queen on
// its diagonals. BLACK mirrors it: pushes go down the board, the home rank is
// the seventh, pawns on the second rank (promoting) never push here.
void WhitePawnChecks(const CheckSquares& cs, uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  int ek = cs.enemyKing;
  Bitboard pawns = b.Pieces[PAWN][WHITE];
  Bitboard empty = ~b.Occupied;
  Bitboard pawnChecks = BlackPawnAttacks[ek] & empty;

  Bitboard singles = pawnChecks & (pawns << 8);
  while (singles) {
    int to = PopLSB(&singles);
    AddSafeQuietMove(MakeMoveWord(to - 8, to, PAWN), historyArgument);
  }
  if (RankOf(ek) == 4) {
    Bitboard doubles = pawnChecks & (empty << 8) & ((pawns & RANK_2) << 16);
    while (doubles) {
      int to = PopLSB(&doubles);
      AddSafeQuietMove(MakeMoveWord(to - 16, to, PAWN), historyArgument);
    }
  }

  Bitboard movable = pawns & ~RANK_7 & (empty >> 8);
  if (b.Majors[WHITE]) {
    Bitboard rookQueens = b.Pieces[ROOK][WHITE] | b.Pieces[QUEEN][WHITE];
    Bitboard onRank = movable & cs.straight & (0xFFULL << (ek & 56));
    while (onRank) {
      int from = PopLSB(&onRank);
      if (SlidersBehind(from, ek, rookQueens)) AddDiscoveringPushes(from, 8, RANK_2, historyArgument);
    }
  }
  Bitboard bishopQueens = b.Pieces[BISHOP][WHITE] | b.Pieces[QUEEN][WHITE];
  Bitboard onDiagonal = movable & cs.diagonal;
  while (onDiagonal) {
    int from = PopLSB(&onDiagonal);
    if (SlidersBehind(from, ek, bishopQueens)) AddDiscoveringPushes(from, 8, RANK_2, historyArgument);
  }
}

void BlackPawnChecks(const CheckSquares& cs, uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  int ek = cs.enemyKing;
  Bitboard pawns = b.Pieces[PAWN][BLACK];
  Bitboard empty = ~b.Occupied;
  Bitboard pawnChecks = WhitePawnAttacks[ek] & empty;

  Bitboard singles = pawnChecks & (pawns >> 8);
  while (singles) {
    int to = PopLSB(&singles);
    AddSafeQuietMove(MakeMoveWord(to + 8, to, PAWN), historyArgument);
  }
  if (RankOf(ek) == 3) {
    Bitboard doubles = pawnChecks & (empty >> 8) & ((pawns & RANK_7) >> 16);
    while (doubles) {
      int to = PopLSB(&doubles);
      AddSafeQuietMove(MakeMoveWord(to + 16, to, PAWN), historyArgument);
    }
  }

  Bitboard movable = pawns & ~RANK_2 & (empty << 8);
  if (b.Majors[BLACK]) {
    Bitboard rookQueens = b.Pieces[ROOK][BLACK] | b.Pieces[QUEEN][BLACK];
    Bitboard onRank = movable & cs.straight & (0xFFULL << (ek & 56));
    while (onRank) {
      int from = PopLSB(&onRank);
      if (SlidersBehind(from, ek, rookQueens)) AddDiscoveringPushes(from, -8, RANK_7, historyArgument);
    }
  }
  Bitboard bishopQueens = b.Pieces[BISHOP][BLACK] | b.Pieces[QUEEN][BLACK];
  Bitboard onDiagonal = movable & cs.diagonal;
  while (onDiagonal) {
    int from = PopLSB(&onDiagonal);
    if (SlidersBehind(from, ek, bishopQueens)) AddDiscoveringPushes(from, -8, RANK_7, historyArgument);
  }
}

// Castling of WHITE that checks with the rook from f1 or d1, along its file
// or back along the first rank through e1. BLACK mirrors it on the eighth
// rank; its queen-side castling goes through the adder with the safety test,
// which appends a king move exactly as the plain adder does.
void WhiteCastlingChecks(Bitboard enemyKing, uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  if ((b.CastleFlags & 1) && !(b.Occupied & (SquareBit(F1) | SquareBit(G1))) &&
      ((FileLine(F1) | RankLine(E1)) & enemyKing) && !SquareAttacked(BLACK, F1) && !SquareAttacked(BLACK, G1))
    AddQuietMove(CASTLE_WHITE_SHORT, historyArgument);
  if ((b.CastleFlags & 2) && !(b.Occupied & (SquareBit(B1) | SquareBit(C1) | SquareBit(D1))) &&
      ((FileLine(D1) | RankLine(E1)) & enemyKing) && !SquareAttacked(BLACK, D1) && !SquareAttacked(BLACK, C1))
    AddQuietMove(CASTLE_WHITE_LONG, historyArgument);
}

void BlackCastlingChecks(Bitboard enemyKing, uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  if ((b.CastleFlags & 4) && !(b.Occupied & (SquareBit(F8) | SquareBit(G8))) &&
      ((FileLine(F8) | RankLine(E8)) & enemyKing) && !SquareAttacked(WHITE, F8) && !SquareAttacked(WHITE, G8))
    AddQuietMove(CASTLE_BLACK_SHORT, historyArgument);
  if ((b.CastleFlags & 8) && !(b.Occupied & (SquareBit(B8) | SquareBit(C8) | SquareBit(D8))) &&
      ((FileLine(D8) | RankLine(E8)) & enemyKing) && !SquareAttacked(WHITE, D8) && !SquareAttacked(WHITE, C8))
    AddQuietMoveWithSafety(CASTLE_BLACK_LONG, historyArgument);
}

}  // namespace

// Appends the quiet moves of the side to move (not in check) that give a
// direct or discovered check, without the losing ones except king moves.
void GenerateQuietChecks(uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  int side = b.SideToMove;
  CheckSquares cs;
  cs.enemyKing = b.KingSquare[side ^ 1];
  cs.knight = KnightAttacks[cs.enemyKing];
  cs.diagonal = BishopLines(cs.enemyKing);
  cs.straight = RookLines(cs.enemyKing);
  int ek = cs.enemyKing;
  Bitboard empty = ~b.Occupied;
  Bitboard rookQueens = b.Pieces[ROOK][side] | b.Pieces[QUEEN][side];
  Bitboard bishopQueens = b.Pieces[BISHOP][side] | b.Pieces[QUEEN][side];

  if (b.Majors[side]) {
    // Queens check directly only: first on the diagonals, then on rank and file.
    Bitboard queens = b.Pieces[QUEEN][side];
    while (queens) {
      int from = PopLSB(&queens);
      Bitboard moves = (BishopLines(from) | RookLines(from)) & empty;
      AddSafeMoves(from, moves & cs.diagonal, QUEEN, historyArgument);
      AddSafeMoves(from, moves & cs.straight, QUEEN, historyArgument);
    }
    // A rook shielding a diagonal slider leaves the diagonal with every move.
    Bitboard rooks = b.Pieces[ROOK][side];
    while (rooks) {
      int from = PopLSB(&rooks);
      Bitboard moves = RookLines(from) & empty;
      if (!((cs.diagonal & SquareBit(from)) && SlidersBehind(from, ek, bishopQueens))) moves &= cs.straight;
      AddSafeMoves(from, moves, ROOK, historyArgument);
    }
  }

  if (b.Minors[side]) {
    Bitboard bishops = b.Pieces[BISHOP][side];
    while (bishops) {
      int from = PopLSB(&bishops);
      Bitboard moves = BishopLines(from) & empty;
      if (!((cs.straight & SquareBit(from)) && SlidersBehind(from, ek, rookQueens))) moves &= cs.diagonal;
      AddSafeMoves(from, moves, BISHOP, historyArgument);
    }
    Bitboard knights = b.Pieces[KNIGHT][side];
    while (knights) {
      int from = PopLSB(&knights);
      Bitboard moves = KnightAttacks[from] & empty;
      bool discovers = ((cs.diagonal & SquareBit(from)) && SlidersBehind(from, ek, bishopQueens)) ||
                       ((cs.straight & SquareBit(from)) && SlidersBehind(from, ek, rookQueens));
      if (!discovers) moves &= cs.knight;
      AddSafeMoves(from, moves, KNIGHT, historyArgument);
    }
  }

  if (b.PieceCount[PAWN][side]) {
    if (side == WHITE)
      WhitePawnChecks(cs, historyArgument);
    else
      BlackPawnChecks(cs, historyArgument);
  }

  // King steps off a line on which the king shields a friendly slider.
  int king = b.KingSquare[side];
  Bitboard kingBit = SquareBit(king);
  if (((cs.straight & kingBit) && SlidersBehind(king, ek, rookQueens)) ||
      ((cs.diagonal & kingBit) && SlidersBehind(king, ek, bishopQueens))) {
    int line = std::abs(Direction[king][ek]);
    Bitboard steps = KingAttacks[king] & empty;
    while (steps) {
      int to = PopLSB(&steps);
      if (std::abs(Direction[to][ek]) != line) AddQuietMoveWithSafety(MakeMoveWord(king, to, KING), historyArgument);
    }
  }

  if (side == WHITE)
    WhiteCastlingChecks(SquareBit(ek), historyArgument);
  else
    BlackCastlingChecks(SquareBit(ek), historyArgument);
}

namespace {

// MoveGivesCheck for the rare shapes: promotions, en passant (made and taken
// back to see) and king moves (castling rook, or a slider uncovered). Kept
// out of line so the common path saves no registers for them.
[[gnu::noinline]] int RareMoveGivesCheck(Move move) {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove;
  const int ek = b.KingSquare[side ^ 1];
  const Bitboard enemyKing = SquareBit(ek);
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  const int promotion = MovePromotion(move);
  if (piece == KING) {
    if (std::abs(FileOf(from) - FileOf(to)) == 2) {
      const int rookTo = FileOf(to) == 2 ? to + 1 : to - 1;
      if (RookLines(rookTo) & enemyKing) return 1;
      // The rook also sees along the rank through the square the king leaves.
      return RankOf(from) == RankOf(ek) && !(Between[from][ek] & ~SquareBit(from) & b.Occupied);
    }
    return MoveUncoversAttack(move, ek);
  }
  if (promotion) {
    if (AttacksFrom(to, side, promotion) & enemyKing) return 1;
    // The new piece may look back through the square the pawn leaves.
    if (AttacksFrom(from, side, promotion) & RayAttacks(from, Direction[to][from]) & enemyKing) return 1;
    return MoveUncoversAttack(move, ek);
  }
  // En passant: a pawn attack on the king from `to`, else the board after
  // the capture, which empties two squares.
  if ((side == WHITE ? WhitePawnAttacks[to] : BlackPawnAttacks[to]) & enemyKing) return 1;
  MakeMove(move, 1);
  const int check = SquareAttacked(side, ek);
  UnmakeMove();
  return check;
}

}  // namespace

// Gives 1 when the move (of the side to move, not yet made) will check the
// enemy king: by the moved or promoted piece, by the castling rook, or by a
// slider it uncovers; en passant is made and taken back to see.
int MoveGivesCheck(Move move) {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove;
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  if (piece == KING || MovePromotion(move) != 0 ||
      (piece == PAWN && MoveCaptured(move) == 0 && ((from ^ to) & 7) != 0))
    return RareMoveGivesCheck(move);
  const int ek = b.KingSquare[side ^ 1];
  Bitboard attacks = 0;
  switch (piece) {
    case KNIGHT: attacks = KnightAttacks[to]; break;
    case PAWN: attacks = side == WHITE ? WhitePawnAttacks[to] : BlackPawnAttacks[to]; break;
    // A slider checks from `to` when the king stands on one of its empty-
    // board lines with no piece in between (`to` itself does not count).
    case ROOK: attacks = RookMoves[to]; break;
    case BISHOP: attacks = BishopMoves[to]; break;
    case QUEEN: attacks = RookMoves[to] | BishopMoves[to]; break;
    default: break;
  }
  if ((attacks & SquareBit(ek)) &&
      (piece == KNIGHT || piece == PAWN || !(Between[to][ek] & ~SquareBit(to) & b.Occupied)))
    return 1;
  // A discovered check needs the from-square on a line through the king.
  if (Direction[from][ek] == 0) return 0;
  return MoveUncoversAttack(move, ek);
}

// The check targets of the side to move (see the header). A slider's direct
// check needs every square between it and the king empty, which is the
// king's own slider lines read backwards; a discoverer is found like a pinned
// piece, seen from the enemy king toward the own sliders.
void FindCheckTargets(CheckTargets* targets) {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove, ek = b.KingSquare[side ^ 1];
  targets->enemyKing = ek;
  targets->knight = KnightAttacks[ek];
  targets->pawn = side == WHITE ? BlackPawnAttacks[ek] : WhitePawnAttacks[ek];
  targets->diagonal = BishopLines(ek);
  targets->straight = RookLines(ek);
  targets->discoverers = LoneBlockers(ek, side, side);
}

// Gives 1 when moving the piece off its square uncovers a slider of the side
// to move on the enemy king.
int MoveGivesDiscoveredCheck(Move move) {
  return MoveUncoversAttack(move, thread_board.KingSquare[thread_board.SideToMove ^ 1]);
}
