// Constant lookup tables built once at start-up: case folding and the square
// and byte masks of the evaluation.
#pragma once
#include <cstdint>
#include "board/attacktables.h"
#include "board/types.h"

extern uint8_t ToLower[256];
extern Bitboard FileMask[8];
extern Bitboard NotFileMask[8];
extern Bitboard RanksAbove[64], RanksBelow[64];
extern uint8_t HighBit8[256], LowBit8[256];
extern uint8_t PopCount8[256];
extern int32_t ReverseBits8[256];
extern Bitboard AdjacentFiles[64];
extern Bitboard DarkSquares, LightSquares;
extern Bitboard WhitePawnSquareWtm[64], WhitePawnSquareBtm[64];
extern Bitboard BlackPawnSquareWtm[64], BlackPawnSquareBtm[64];
extern Bitboard WhiteFrontSquares[64], BlackFrontSquares[64];
extern Bitboard FileAbove[64], FileBelow[64];
extern Bitboard EdgeOpposition[64];   // reversed bit order: square q is bit 63 - q
extern int32_t PawnFileClass[256];
extern Bitboard CornerMasks[4][3];    // rows h1, a1, h8, a8

// Case folding through the table, safe for every char value.
inline int FoldCase(char c) { return ToLower[(unsigned char)c]; }

void InitializeBitMasks();

// Pawn geometry seen from a colour: ranks count from its own first rank (0)
// and "ahead" leads toward its promotion rank.
inline int OwnRank(int colour, int square) { return colour == WHITE ? RankOf(square) : 7 - RankOf(square); }
inline Bitboard FileAhead(int colour, int square) { return colour == WHITE ? FileAbove[square] : FileBelow[square]; }
inline Bitboard FileBehind(int colour, int square) { return colour == WHITE ? FileBelow[square] : FileAbove[square]; }
inline Bitboard PassedMaskOf(int colour, int square) {
  return colour == WHITE ? WhitePassedMask[square] : BlackPassedMask[square];
}
// Squares from which a pawn of the colour guards the square.
inline Bitboard PawnGuards(int colour, int square) {
  return colour == WHITE ? BlackPawnAttacks[square] : WhitePawnAttacks[square];
}
