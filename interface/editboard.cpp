// xboard edit mode: the position is changed piece by piece from single
// characters of input until a '.' ends the edit.
#include <cstdio>
#include <cstring>

#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "book/learn.h"
#include "interface/gamecontrol.h"
#include "search/hashtable.h"
#include "search/input.h"

static void SayEditError() {
  printf("Error\n");
  fflush(stdout);
}

// Reads a square (file letter, rank digit). Gives the square, -1 after an
// "Error" (the character that broke it is consumed), -2 at end of input.
static int ReadEditSquare() {
  int file = GetInputChar();
  if (file < 0) return -2;
  file = FoldCase((char)file);
  if (file < 'a' || file > 'h') {
    SayEditError();
    return -1;
  }
  int rank = GetInputChar();
  if (rank < 0) return -2;
  if (rank < '1' || rank > '8') {
    SayEditError();
    return -1;
  }
  return (rank - '1') * 8 + (file - 'a');
}

// Places a piece, replacing whatever stood on the square. A side has one
// king: placing a king takes that side's king off its old square.
static void PlaceEditPiece(int square, int colour, int code) {
  ThreadBoard& b = thread_board;
  RemovePiece(square);
  if (code == KING && b.Pieces[KING][colour] != 0) RemovePiece(b.KingSquare[colour]);
  AddPiece(square, colour, code);
  if (code == KING) b.KingSquare[colour] = square;
}

// Why the edited position cannot be played, nullptr when it can.
static const char* EditedPositionFault() {
  const ThreadBoard& b = thread_board;
  if (b.Pieces[KING][WHITE] == 0 || b.Pieces[KING][BLACK] == 0) return "a king is missing";
  const Bitboard backRanks = 0xFF000000000000FFull;
  if ((b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK]) & backRanks) return "a pawn on the first or last rank";
  if (b.PieceCount[PAWN][WHITE] > 8 || b.PieceCount[PAWN][BLACK] > 8) return "more than eight pawns of a side";
  return KingPlacementFault();
}

// Castling rights wherever king and rook stand at home.
static uint32_t RightsFromBoard() {
  const ThreadBoard& b = thread_board;
  const Bitboard* rooks = b.Pieces[ROOK];
  uint32_t rights = 0;
  if (b.KingSquare[WHITE] == E1 && (b.Pieces[KING][WHITE] & SquareBit(E1))) {
    if (rooks[WHITE] & SquareBit(H1)) rights |= 1;
    if (rooks[WHITE] & SquareBit(A1)) rights |= 2;
  }
  if (b.KingSquare[BLACK] == E8 && (b.Pieces[KING][BLACK] & SquareBit(E8))) {
    if (rooks[BLACK] & SquareBit(H8)) rights |= 4;
    if (rooks[BLACK] & SquareBit(A8)) rights |= 8;
  }
  return rights;
}

void EditBoard() {
  // A position that cannot be played is refused at the end: the one from
  // before the edit comes back.
  static ThreadBoard saved;
  saved = thread_board;
  int colour = WHITE;
  for (;;) {
    int c = GetInputChar();
    if (c < 0 || c == '.') break;  // the end of input ends the edit as '.' does
    c = FoldCase((char)c);
    if (c == ' ' || c == '\r' || c == '\n') continue;
    if (c == 'c') {
      colour ^= 1;
      continue;
    }
    if (c == '#') {
      ClearBoard();
      continue;
    }
    const int code = FenPieceCode((char)c);
    if (c != 'x' && code == 0) {
      SayEditError();
      continue;
    }
    const int square = ReadEditSquare();
    if (square == -2) break;
    if (square < 0) continue;
    if (code == 0) {
      RemovePiece(square);
    } else {
      PlaceEditPiece(square, colour, code);
    }
  }

  if (const char* fault = EditedPositionFault()) {
    printf("Illegal position: %s\n", fault);
    fflush(stdout);
    thread_board = saved;  // the game record was not touched
    return;
  }
  thread_board.CastleFlags = RightsFromBoard();
  GamePly = 0;
  GameStartPly = 0;
  ClearLearningQueue();
  memset(HistoryTable, 0, sizeof(HistoryTable));
  ClearKillers();
  SearchAge = (uint16_t)(SearchAge + 3);
}
