// Endgame knowledge beyond the driver's interface (eval/terms.h): the
// king-and-rook-against-king-and-pawn probes and the constant tables of the
// endgame evaluation.
#pragma once
#include <cstdint>
#include "board/types.h"

// 1 on dark squares (a1, c1, ..., b2, ...), 0 on light ones.
extern const uint8_t SquareColour[64];
// Bonus for driving a bare king toward the edge and the corners, by its square.
extern const int32_t MopUpTable[64];

// KRKP bitbase bit: 1 when the rook's side (to move) does not win. Squares
// for a pawn moving toward rank 8 on ranks 4-7; a pawn on files a-d is first
// mirrored to the other wing.
int ProbeKpkrBitbase(int rook, int rookKing, int pawn, int pawnKing);
// WHITE's pawn (BLACK's) against the other side's lone rook in the current
// position: 1 the pawn's side holds, 0 it does not, 2 not covered.
int ProbeKpkrWhitePawn(int pawn, int rook);
int ProbeKpkrBlackPawn(int pawn, int rook);
