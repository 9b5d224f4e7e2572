// Check evasions: the king steps, captures of the checking piece and
// interpositions of a side to move that is in check. King steps are fully
// tested, pinned pieces never move and a double check leaves only king steps,
// so the list is legal but for rare en-passant cases.
#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/searchstack.h"

namespace {

constexpr Bitboard RANK_2 = 0x000000000000FF00ULL;
constexpr Bitboard RANK_4 = 0x00000000FF000000ULL;
constexpr Bitboard RANK_5 = 0x000000FF00000000ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL;

// Promotion pieces of an evasion, in the order they are appended.
constexpr int EVASION_PROMOTIONS[4] = {QUEEN, ROOK, BISHOP, KNIGHT};

// Non-pawn pieces that answer a check, in the order they are walked.
constexpr int EVADING_PIECES[4] = {KNIGHT, BISHOP, ROOK, QUEEN};

// Added to the score of a capture, promotion or en passant that scores 1 or
// more, so that it ranks above every quiet evasion.
constexpr int32_t TACTICAL_EVASION_BONUS = 0x20027100;

constexpr int32_t FIRST_REFUTATION_BONUS = 80000;
constexpr int32_t SECOND_REFUTATION_BONUS = 40000;

// The BLACK pieces that attack a square (the checkers of the WHITE king).
Bitboard BlackAttackersOf(int square) {
  const ThreadBoard& b = thread_board;
  Bitboard rookQueens = b.Pieces[ROOK][BLACK] | b.Pieces[QUEEN][BLACK];
  Bitboard bishopQueens = b.Pieces[BISHOP][BLACK] | b.Pieces[QUEEN][BLACK];
  return (b.Pieces[PAWN][BLACK] & WhitePawnAttacks[square]) |
         (b.Pieces[KNIGHT][BLACK] & KnightAttacks[square]) |
         (rookQueens & RookLines(square)) | (bishopQueens & BishopLines(square)) |
         (b.Pieces[KING][BLACK] & KingAttacks[square]);
}

// Appends a pawn move, as four promotions when it reaches the last rank.
void AddPawnEvasion(int from, int to, int lastRank) {
  int captured = thread_board.Board[to];
  if (RankOf(to) == lastRank) {
    for (int promotion : EVASION_PROMOTIONS) AddEvasion(MakeMoveWord(from, to, PAWN, captured, promotion));
  } else {
    AddEvasion(MakeMoveWord(from, to, PAWN, captured));
  }
}

// Appends the king steps that leave check: not onto an attacked square, and
// not back along a checking slider's line, which the king itself still shades.
void AddKingEvasions(int king, int side, Bitboard shadedLines) {
  int enemy = side ^ 1;
  Bitboard steps = KingAttacks[king] & ~thread_board.Colour[side];
  while (steps) {
    int to = PopLSB(&steps);
    if (SquareAttacked(enemy, to)) continue;
    if (shadedLines & SquareBit(to)) continue;
    AddEvasion(MakeMoveWord(king, to, KING, thread_board.Board[to]));
  }
}

// Appends the knight, bishop, rook and queen moves onto the target squares.
// Most pieces reach none of them, so the pin is asked only of a piece that does.
void AddPieceEvasions(int side, Bitboard targets) {
  const ThreadBoard& b = thread_board;
  for (int piece : EVADING_PIECES) {
    Bitboard pieces = b.Pieces[piece][side];
    while (pieces) {
      int from = PopLSB(&pieces);
      Bitboard attacks = piece == KNIGHT   ? KnightAttacks[from]
                         : piece == BISHOP ? BishopLines(from)
                         : piece == ROOK   ? RookLines(from)
                                           : RookLines(from) | BishopLines(from);
      Bitboard moves = attacks & targets;
      if (!moves || IsPinned(from)) continue;
      while (moves) {
        int to = PopLSB(&moves);
        AddEvasion(MakeMoveWord(from, to, piece, b.Board[to]));
      }
    }
  }
}

// The last move was the enemy pawn's double step onto the checker's square.
bool CheckerJustDoubleStepped(int checker, int fromOffset) {
  if (GamePly <= 0) return false;
  Move last = GameHistory[GamePly - 1].move;
  return MoveTo(last) == checker && MoveFrom(last) == checker + fromOffset;
}

// Pawn evasions for WHITE against the one checker: pushes onto the empty
// targets (double pushes first), en passant of a checking pawn, then pawn
// captures of the checker. BLACK mirrors it: ranks counted from the eighth,
// pushes go down the board and the checking pawn stands on the fourth rank.
void WhitePawnEvasions(int checker, Bitboard targets) {
  const ThreadBoard& b = thread_board;
  Bitboard pawns = b.Pieces[PAWN][WHITE];
  Bitboard empty = ~b.Occupied;
  Bitboard blocks = targets & empty;

  Bitboard doubles = blocks & RANK_4 & (empty << 8) & ((pawns & RANK_2) << 16);
  while (doubles) {
    int to = PopLSB(&doubles);
    if (!IsPinned(to - 16)) AddEvasion(MakeMoveWord(to - 16, to, PAWN));
  }
  Bitboard singles = blocks & (pawns << 8);
  while (singles) {
    int to = PopLSB(&singles);
    if (!IsPinned(to - 8)) AddPawnEvasion(to - 8, to, 7);
  }

  if (b.Board[checker] == PAWN && RankOf(checker) == 4 && CheckerJustDoubleStepped(checker, 16)) {
    if (FileOf(checker) > 0 && (pawns & SquareBit(checker - 1)) && !IsPinned(checker - 1))
      AddEvasion(MakeMoveWord(checker - 1, checker + 8, PAWN));
    if (FileOf(checker) < 7 && (pawns & SquareBit(checker + 1)) && !IsPinned(checker + 1))
      AddEvasion(MakeMoveWord(checker + 1, checker + 8, PAWN));
  }

  Bitboard captors = pawns & BlackPawnAttacks[checker];
  while (captors) {
    int from = PopLSB(&captors);
    if (!IsPinned(from)) AddPawnEvasion(from, checker, 7);
  }
}

void BlackPawnEvasions(int checker, Bitboard targets) {
  const ThreadBoard& b = thread_board;
  Bitboard pawns = b.Pieces[PAWN][BLACK];
  Bitboard empty = ~b.Occupied;
  Bitboard blocks = targets & empty;

  Bitboard doubles = blocks & RANK_5 & (empty >> 8) & ((pawns & RANK_7) >> 16);
  while (doubles) {
    int to = PopLSB(&doubles);
    if (!IsPinned(to + 16)) AddEvasion(MakeMoveWord(to + 16, to, PAWN));
  }
  Bitboard singles = blocks & (pawns >> 8);
  while (singles) {
    int to = PopLSB(&singles);
    if (!IsPinned(to + 8)) AddPawnEvasion(to + 8, to, 0);
  }

  if (b.Board[checker] == PAWN && RankOf(checker) == 3 && CheckerJustDoubleStepped(checker, -16)) {
    if (FileOf(checker) > 0 && (pawns & SquareBit(checker - 1)) && !IsPinned(checker - 1))
      AddEvasion(MakeMoveWord(checker - 1, checker - 8, PAWN));
    if (FileOf(checker) < 7 && (pawns & SquareBit(checker + 1)) && !IsPinned(checker + 1))
      AddEvasion(MakeMoveWord(checker + 1, checker - 8, PAWN));
  }

  Bitboard captors = pawns & WhitePawnAttacks[checker];
  while (captors) {
    int from = PopLSB(&captors);
    if (!IsPinned(from)) AddPawnEvasion(from, checker, 0);
  }
}

// Appends every evasion of the side to move.
void AppendEvasions() {
  const ThreadBoard& b = thread_board;
  int side = b.SideToMove;
  int king = b.KingSquare[side];
  Bitboard checkers = side == WHITE ? BlackAttackersOf(king) : WhiteAttackersOf(king);

  // The squares beyond the king on each checking slider's line.
  Bitboard shadedLines = 0;
  for (Bitboard rest = checkers; rest;) {
    int checker = PopLSB(&rest);
    if (b.Board[checker] & 4) shadedLines |= RayOf(Direction[checker][king], king);
  }

  AddKingEvasions(king, side, shadedLines);
  if (checkers == 0 || (checkers & (checkers - 1))) return;

  int checker = LeastSignificantBit(checkers);
  Bitboard targets = checkers;
  if (b.Board[checker] & 4) targets |= Between[checker][king];

  AddPieceEvasions(side, targets);
  if (side == WHITE)
    WhitePawnEvasions(checker, targets);
  else
    BlackPawnEvasions(checker, targets);
}

}  // namespace

// Appends the evasions when the picker is at its evasion stage (14); gives 12
// when a move was appended, else 0.
int GenerateEvasions(int stage) {
  if (stage != 14) return 0;
  SearchStack[SearchPly].tried_count = 0;
  int start = MoveStackTop;
  AppendEvasions();
  return MoveStackTop > start ? 12 : 0;
}

// Appends the evasions for the searches; gives 12 when a move was appended, else 0.
int GenerateEvasionsForSearch(int /*ignored*/) {
  SearchStack[SearchPly].tried_count = 0;
  int start = MoveStackTop;
  AppendEvasions();
  return MoveStackTop > start ? 12 : 0;
}

// Appends the evasions for the tablebase probes; the ply record is left alone.
void GenerateEvasionsForProbe() { AppendEvasions(); }

// Appends one evasion with its exchange-safety flag and ordering score:
// tactical moves by their capture score lifted above the quiet ones, quiet
// moves by the evasion history and the refutations of the last enemy move.
void AddEvasion(Move move) {
  const ThreadBoard& b = thread_board;
  int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  bool enPassant = piece == PAWN && (move >> 15) == 0 && ((from ^ to) & 7) != 0;
  uint32_t flag;
  if (piece == KING || enPassant)
    flag = 1;
  else
    flag = SeeNonNegative(move) ? 1 : 0;

  int32_t score;
  if ((move >> 15) != 0 || enPassant) {
    int32_t s = ScoreMove(move, (int)flag);
    score = s >= 1 ? s + TACTICAL_EVASION_BONUS : s;
  } else {
    int side = b.SideToMove;
    score = (int32_t)HistoryTable[flag][2][HistoryClass[piece]][from + 64 * to][side];
    if (GamePly > 0) {
      int lastTo = MoveTo(GameHistory[GamePly - 1].move);
      int king = b.KingSquare[side];
      if (move == EvasionRefutation[0][lastTo][king][side])
        score += FIRST_REFUTATION_BONUS;
      else if (move == EvasionRefutation[1][lastTo][king][side])
        score += SECOND_REFUTATION_BONUS;
    }
  }

  MoveEntry& entry = MoveStack[MoveStackTop++];
  entry.move = move;
  entry.score = score;
  entry.flag = flag;
}
