// Strictly legal move lists, the legality test of one move, perft and the
// board print-outs.
#include "board/legal.h"

#include <cstdio>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/searchstack.h"

uint64_t PerftCount = 0;

// Ply record used by the generators while a legal list is built outside the
// search.
static constexpr int LEGAL_LIST_PLY = 160;

static inline int IsCastling(Move move) {
  int from = MoveFrom(move), to = MoveTo(move);
  return MovePiece(move) == KING && (from - to == 2 || to - from == 2);
}

void GenerateLegalMoves(int start) {
  int savedPly = SearchPly;
  ThreadBoard& b = thread_board;
  int side = b.SideToMove, other = side ^ 1;
  MoveStackTop = start;
  SearchPly = LEGAL_LIST_PLY;
  SearchStack[SearchPly].in_check = SquareAttacked(other, b.KingSquare[side]);
  GenerateCaptures(b.Colour[other]);
  GeneratePromotions();
  GenerateQuietMoves(1);
  int end = MoveStackTop, kept = start;
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (IsCastling(move) && SearchStack[SearchPly].in_check) continue;
    MakeMove(move, 1);
    int legal = !SquareAttacked(b.SideToMove, b.KingSquare[side]);
    UnmakeMove();
    if (legal) MoveStack[kept++].move = move;
  }
  MoveStackTop = kept;
  SearchPly = savedPly;
}

int IsMoveLegal(Move move) {
  int savedTop = MoveStackTop;
  GenerateLegalMoves(SCRATCH_LIST_START);
  int found = 0;
  for (int i = SCRATCH_LIST_START; i < MoveStackTop; i++) {
    if (MoveStack[i].move == move && MoveCaptured(move) != KING) {
      found = 1;
      break;
    }
  }
  MoveStackTop = savedTop;
  return found;
}

// Counts the legal leaves `depth` plies below the position. A node whose
// side to move can capture the king was reached by an illegal move and counts
// nothing. The quiet generator offers castling also in check, so two-file
// king moves are dropped here when the king is attacked.
void Perft(int depth) {
  ThreadBoard& b = thread_board;
  int base = MoveStackTop;
  int side = b.SideToMove, other = side ^ 1;
  GenerateCaptures(b.Colour[other]);
  GeneratePromotions();
  for (int i = base; i < MoveStackTop; i++) {
    if (MoveCaptured(MoveStack[i].move) == KING) {
      MoveStackTop = base;
      return;
    }
  }
  GenerateQuietMoves(1);
  int end = MoveStackTop;
  int inCheck = -1;  // computed when the first castling move needs it
  for (int i = base; i < end; i++) {
    Move move = MoveStack[i].move;
    if (IsCastling(move)) {
      if (inCheck < 0) inCheck = SquareAttacked(other, b.KingSquare[side]);
      if (inCheck) continue;
    }
    MakeMove(move, 1);
    if (depth <= 1) {
      if (!SquareAttacked(b.SideToMove, b.KingSquare[side])) PerftCount++;
    } else {
      Perft(depth - 1);
    }
    UnmakeMove();
  }
  MoveStackTop = base;
}

void PrintBoard() {
  for (int rank = 7; rank >= 0; rank--) {
    for (int file = 0; file < 8; file++) {
      int square = rank * 8 + file;
      int black = (thread_board.Colour[BLACK] >> square) & 1;
      std::printf(black ? "*%c" : " %c", PieceLetters[thread_board.Board[square] & 7]);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
}

void PrintByteBits(int byte) {
  for (int i = 0; i < 8; i++) std::putchar(((byte >> i) & 1) ? '1' : '0');
}
