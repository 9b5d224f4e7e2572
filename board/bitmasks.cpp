// Constant lookup tables built once at start-up: case folding for the command
// parser and the square and byte masks read by the evaluation.
#include "board/bitmasks.h"
#include "platform/parallel.h"

uint8_t ToLower[256];
Bitboard FileMask[8];
Bitboard NotFileMask[8];
Bitboard RanksAbove[64], RanksBelow[64];
uint8_t HighBit8[256], LowBit8[256];
uint8_t PopCount8[256];
int32_t ReverseBits8[256];
Bitboard AdjacentFiles[64];
Bitboard DarkSquares, LightSquares;
Bitboard WhitePawnSquareWtm[64], WhitePawnSquareBtm[64];
Bitboard BlackPawnSquareWtm[64], BlackPawnSquareBtm[64];
Bitboard WhiteFrontSquares[64], BlackFrontSquares[64];
Bitboard FileAbove[64], FileBelow[64];
Bitboard EdgeOpposition[64];
int32_t PawnFileClass[256];
Bitboard CornerMasks[4][3];


// Gives the set of squares within king distance `reach` of `centre`.
static Bitboard SquaresWithin(int centre, int reach) {
  Bitboard set = 0;
  for (int q = 0; q < 64; q++)
    if (KingDistance(q, centre) <= reach) set |= SquareBit(q);
  return set;
}

// Gives the class of a set of pawn files: 0 none, 1 a lone rook file, 2 a lone
// knight file, 3 a lone centre file, 4 the pair a+b or g+h, 5 anything else.
static int ClassOfPawnFiles(int files) {
  if (files == 0) return 0;
  if (files == 1 || files == 128) return 1;
  if (files == 2 || files == 64) return 2;
  if (files == 4 || files == 8 || files == 16 || files == 32) return 3;
  if (files == 3 || files == 192) return 4;
  return 5;
}

// Gives the edge-opposition set of a king square in reversed bit order (square
// q is bit 63 - q).
static Bitboard EdgeOppositionOf(int k) {
  static const int corners[4][5] = {
      {A1, A3, B3, C1, C2}, {H1, H3, G3, F1, F2}, {A8, A6, B6, C8, C7}, {H8, H6, G6, F8, F7}};
  for (const auto& corner : corners)
    if (corner[0] == k) {
      Bitboard set = 0;
      for (int i = 1; i < 5; i++) set |= SquareBit(63 - corner[i]);
      return set;
    }
  int file = FileOf(k), rank = RankOf(k);
  if (rank == 0 && file >= 1 && file <= 6) return SquareBit(63 - (k + 16));
  if (rank == 7 && file >= 1 && file <= 6) return SquareBit(63 - (k - 16));
  if (file == 0 && rank >= 1 && rank <= 6) return SquareBit(63 - (k + 2));
  if (file == 7 && rank >= 1 && rank <= 6) return SquareBit(63 - (k - 2));
  return 0;
}

// Builds every mask table; calling it again gives identical contents.
void InitializeBitMasks() {
  for (int c = 0; c < 256; c++) ToLower[c] = (uint8_t)((c >= 'A' && c <= 'Z') ? c + 32 : c);

  for (int f = 0; f < 8; f++) {
    FileMask[f] = 0x0101010101010101ULL << f;
    NotFileMask[f] = ~FileMask[f];
  }

  for (int s = 0; s < 64; s++) {
    int rank = RankOf(s);
    RanksAbove[s] = rank == 7 ? 0 : ~0ULL << (8 * (rank + 1));
    RanksBelow[s] = rank == 0 ? 0 : ~0ULL >> (8 * (8 - rank));
  }

  for (int b = 0; b < 256; b++) {
    HighBit8[b] = LowBit8[b] = 8;
    PopCount8[b] = 0;
    ReverseBits8[b] = 0;
    for (int i = 0; i < 8; i++)
      if (b & (1 << i)) {
        if (LowBit8[b] == 8) LowBit8[b] = (uint8_t)i;
        HighBit8[b] = (uint8_t)i;
        PopCount8[b]++;
        ReverseBits8[b] |= 1 << (7 - i);
      }
    PawnFileClass[b] = ClassOfPawnFiles(b);
  }

  for (int s = 0; s < 64; s++) {
    int file = FileOf(s);
    AdjacentFiles[s] = (file > 0 ? FileMask[file - 1] : 0) | (file < 7 ? FileMask[file + 1] : 0);
  }

  DarkSquares = 0xAA55AA55AA55AA55ULL;
  LightSquares = 0x55AA55AA55AA55AAULL;

  // Rule of the square for pawns on ranks 2 to 7: a defending king inside the
  // set catches the pawn. A pawn on its start rank counts its double step.
  for (int s = 0; s < 64; s++)
    WhitePawnSquareWtm[s] = WhitePawnSquareBtm[s] = BlackPawnSquareWtm[s] = BlackPawnSquareBtm[s] = 0;
  PARALLEL_FOR
  for (int s = A2; s <= H7; s++) {
    int file = FileOf(s), rank = RankOf(s);
    int whiteMoves = rank == 1 ? 5 : 7 - rank;
    int blackMoves = rank == 6 ? 5 : rank;
    WhitePawnSquareWtm[s] = SquaresWithin(56 + file, whiteMoves);
    WhitePawnSquareBtm[s] = SquaresWithin(56 + file, whiteMoves + 1);
    BlackPawnSquareBtm[s] = SquaresWithin(file, blackMoves);
    BlackPawnSquareWtm[s] = SquaresWithin(file, blackMoves + 1);
  }

  for (int s = 0; s < 64; s++) {
    int file = FileOf(s), rank = RankOf(s);
    WhiteFrontSquares[s] = BlackFrontSquares[s] = 0;
    if (rank < 7) {
      WhiteFrontSquares[s] |= SquareBit(s + 8);
      if (file > 0) WhiteFrontSquares[s] |= SquareBit(s + 7);
      if (file < 7) WhiteFrontSquares[s] |= SquareBit(s + 9);
    }
    if (rank > 0) {
      BlackFrontSquares[s] |= SquareBit(s - 8);
      if (file > 0) BlackFrontSquares[s] |= SquareBit(s - 9);
      if (file < 7) BlackFrontSquares[s] |= SquareBit(s - 7);
    }
  }

  PARALLEL_FOR
  for (int s = 0; s < 64; s++) {
    FileBelow[s] = 0;
    for (int q = s - 8; q >= 0; q -= 8) FileBelow[s] |= SquareBit(q);
  }
  PARALLEL_FOR
  for (int s = 0; s < 64; s++) {
    FileAbove[s] = 0;
    for (int q = s + 8; q < 64; q += 8) FileAbove[s] |= SquareBit(q);
  }

  for (int k = 0; k < 64; k++) EdgeOpposition[k] = EdgeOppositionOf(k);

  static const Bitboard corners[4][3] = {
      {0x8000ULL, 0x8080ULL, 0x80C0ULL},
      {0x100ULL, 0x101ULL, 0x103ULL},
      {0x0080000000000000ULL, 0x8080000000000000ULL, 0xC080000000000000ULL},
      {0x0001000000000000ULL, 0x0101000000000000ULL, 0x0301000000000000ULL}};
  for (int row = 0; row < 4; row++)
    for (int col = 0; col < 3; col++) CornerMasks[row][col] = corners[row][col];
}
