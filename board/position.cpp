// The position record and its set-up operations: clearing, adding a piece and
// recomputing the material index.
#include "board/position.h"

#include <cstdio>
#include <cstring>

#include "board/pst.h"
#include "board/rotated.h"
#include "board/zobrist.h"

ThreadBoard thread_board;
MoveEntry MoveStack[MOVE_STACK_SIZE];
int32_t MoveStackTop = 0;
UndoRecord GameHistory[GAME_HISTORY_SIZE];
int32_t GamePly = 0;
int32_t GameStartPly = 0;

const char PieceLetters[9] = ".KNP?RBQ";
const char PromotionLetters[8] = {'\0', 'k', 'n', 'p', '?', 'r', 'b', 'q'};
const int32_t PieceValue[8] = {0, 10000, 300, 100, 0, 500, 300, 900};
const int32_t MvvLvaValue[8] = {0, 950, 300, 100, 0, 500, 300, 900};
const int32_t SeeWeight[8] = {0, 200, 3, 1, 0, 5, 3, 9};

// Rights kept when a move starts on or lands on the square.
const uint8_t CastleMask[64] = {
    0xFD, 0xFF, 0xFF, 0xFF, 0xFC, 0xFF, 0xFF, 0xFE,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xF7, 0xFF, 0xFF, 0xFF, 0xF3, 0xFF, 0xFF, 0xFB};

const int32_t MaterialWeight[8][2] = {
    {0, 0}, {0, 0}, {729, 2187}, {6561, 59049}, {0, 0}, {9, 27}, {81, 243}, {1, 3}};

// Piece units of the non-pawn pieces by code.
static const int32_t UnitsOf[8] = {0, 0, 3, 0, 0, 5, 3, 9};

void ClearBoard() {
  ThreadBoard& b = thread_board;
  b.MaterialIndex = 0;
  b.PstSum = 0;
  std::memset(b.PieceCount, 0, sizeof b.PieceCount);
  b.Rule50 = 0;
  b.HashKey = 0;
  b.PawnKey = 0;
  std::memset(b.Pieces, 0, sizeof b.Pieces);
  b.RookQueens = 0;
  b.BishopQueens = 0;
  b.Occupied = 0;
  b.Colour[WHITE] = b.Colour[BLACK] = 0;
  std::memset(b.FileOcc, 0, sizeof b.FileOcc);
  std::memset(b.DiagH1A8Occ, 0, sizeof b.DiagH1A8Occ);
  std::memset(b.DiagA1H8Occ, 0, sizeof b.DiagA1H8Occ);
  std::memset(b.Board, 0, sizeof b.Board);
  b.Material[WHITE] = b.Material[BLACK] = 0;
  b.PieceUnits[WHITE] = b.PieceUnits[BLACK] = 0;
  b.PieceTotal = 0;
  b.Majors[WHITE] = b.Majors[BLACK] = 0;
  b.Minors[WHITE] = b.Minors[BLACK] = 0;
}

void AddPiece(int square, int colour, int code) {
  ThreadBoard& b = thread_board;
  Bitboard bit = SquareBit(square);
  b.PieceTotal++;
  if (code != KING) {
    b.Material[colour] += PieceValue[code];
    if (code == ROOK) b.Majors[colour] += 1;
    if (code == QUEEN) b.Majors[colour] += 2;
    if (code == KNIGHT || code == BISHOP) b.Minors[colour] += 1;
  }
  int32_t pst = PieceSquareTables[code << 7 | colour << 6 | square];
  b.PstSum = colour == BLACK ? PackedAdd(b.PstSum, pst) : PackedSub(b.PstSum, pst);
  SetRotated(square);
  b.Colour[colour] |= bit;
  b.Occupied |= bit;
  b.Board[square] = code;
  b.HashKey ^= ZobristPieces[colour][code][square];
  if (code == KING) {
    b.Pieces[KING][colour] = bit;
    b.KingSquare[colour] = square;
    return;
  }
  b.Pieces[code][colour] |= bit;
  int count = ++b.PieceCount[code][colour];
  if (code == PAWN) {
    b.PawnKey ^= ZobristPieces[colour][PAWN][square];
    // A ninth pawn would run into the next digit: the index leaves the table.
    if (b.MaterialIndex != MATERIAL_OUTSIDE)
      b.MaterialIndex = count > 8 ? MATERIAL_OUTSIDE : b.MaterialIndex + MaterialWeight[PAWN][colour];
    return;
  }
  b.PieceUnits[colour] += UnitsOf[code];
  if (code & 4) {
    if (code & 1) b.RookQueens ^= bit;
    if (code & 2) b.BishopQueens ^= bit;
  }
  if (b.MaterialIndex != MATERIAL_OUTSIDE && count < 3)
    b.MaterialIndex += MaterialWeight[code][colour];
  else
    b.MaterialIndex = MATERIAL_OUTSIDE;
}

void RemovePiece(int square) {
  ThreadBoard& b = thread_board;
  const int code = (int)b.Board[square];
  if (code == 0) return;
  const Bitboard bit = SquareBit(square);
  const int colour = (b.Colour[BLACK] & bit) ? BLACK : WHITE;
  b.PieceTotal--;
  if (code != KING) {
    b.Material[colour] -= PieceValue[code];
    if (code == ROOK) b.Majors[colour] -= 1;
    if (code == QUEEN) b.Majors[colour] -= 2;
    if (code == KNIGHT || code == BISHOP) b.Minors[colour] -= 1;
  }
  int32_t pst = PieceSquareTables[code << 7 | colour << 6 | square];
  b.PstSum = colour == BLACK ? PackedSub(b.PstSum, pst) : PackedAdd(b.PstSum, pst);
  ClearRotated(square);
  b.Colour[colour] &= ~bit;
  b.Occupied &= ~bit;
  b.Board[square] = 0;
  b.HashKey ^= ZobristPieces[colour][code][square];
  b.Pieces[code][colour] &= ~bit;
  if (code == KING) return;
  b.PieceCount[code][colour]--;
  if (code == PAWN) {
    b.PawnKey ^= ZobristPieces[colour][PAWN][square];
  } else {
    b.PieceUnits[colour] -= UnitsOf[code];
    if (code & 4) {
      if (code & 1) b.RookQueens &= ~bit;
      if (code & 2) b.BishopQueens &= ~bit;
    }
  }
  // Inside the table the piece's digit is taken away; from outside the
  // counts may now fit again, so the index is built anew.
  if (b.MaterialIndex != MATERIAL_OUTSIDE) {
    b.MaterialIndex -= MaterialWeight[code][colour];
  } else if (b.PieceCount[PAWN][WHITE] <= 8 && b.PieceCount[PAWN][BLACK] <= 8) {
    IndexMaterial();
  }
}

void IndexMaterial() {
  const ThreadBoard& b = thread_board;
  int32_t index = 0;
  static const int pieceCodes[4] = {QUEEN, ROOK, BISHOP, KNIGHT};
  for (int code : pieceCodes) {
    for (int colour = WHITE; colour <= BLACK; colour++) {
      if (b.PieceCount[code][colour] > 2) {
        thread_board.MaterialIndex = MATERIAL_OUTSIDE;
        return;
      }
      index += b.PieceCount[code][colour] * MaterialWeight[code][colour];
    }
  }
  for (int colour = WHITE; colour <= BLACK; colour++) {
    if (b.PieceCount[PAWN][colour] > 8) {
      // More than eight pawns cannot be a digit of the index.
      std::printf("Error when indexing material!\n");
      std::fflush(stdout);
      thread_board.MaterialIndex = MATERIAL_OUTSIDE;
      return;
    }
    index += b.PieceCount[PAWN][colour] * MaterialWeight[PAWN][colour];
  }
  thread_board.MaterialIndex = index;
}

void DropOldestGamePlies(int keep) {
  if (keep < 0 || GamePly <= keep) return;
  const int dropped = GamePly - keep;
  memmove(GameHistory, GameHistory + dropped, (size_t)keep * sizeof(UndoRecord));
  GamePly = keep;
  GameStartPly = GameStartPly > dropped ? GameStartPly - dropped : 0;
}
