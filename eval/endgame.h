// Endgame knowledge: the terms the evaluation driver calls, the KPK and the
// king-and-rook-against-king-and-pawn probes and the constant tables of the
// endgame evaluation.
#pragma once
#include <cstdint>
#include "board/types.h"

// Three pawns on the board: the score, scaled when the ending is drawish.
int32_t ScaleDrawishEndgame(int32_t score);
// Endgame knowledge; see the definition for the contract of score and exact.
int32_t EvaluateEndgame(int32_t* score, int32_t* exact);
// The draw of a side to move that cannot win (endgame steps 2 and 12), taken
// on the real score of the position: a score of at least 0 for it becomes
// 0, and the evaluation is not cached (the draw depends on who moves).
void DrawWhenSideToMoveCannotWin(int32_t* score);
// KPK probes: side 0 when the pawn's side moves, squares as if the pawn were WHITE.
int ProbeKpk(int side, int pawn, int strongKing, int weakKing, int32_t* derivable);
int ProbeKpkFile(int side, int pawn, int strongKing, int weakKing, int32_t* derivable);

// 1 on dark squares (a1, c1, ..., b2, ...), 0 on light ones.
extern const uint8_t SquareColour[64];
// Bonus for driving a bare king toward the edge and the corners, by its square.
extern const int32_t MopUpTable[64];

// Open for the tests; the engine calls it only inside eval/endgame.cpp.
// KRKP bitbase bit: 1 when the rook's side (to move) does not win. Squares
// for a pawn moving toward rank 8 on ranks 4-7; a pawn on files a-d is first
// mirrored to the other wing.
int ProbeKpkrBitbase(int rook, int rookKing, int pawn, int pawnKing);
// WHITE's pawn (BLACK's) against the other side's lone rook in the current
// position: 1 the pawn's side holds, 0 it does not, 2 not covered.
int ProbeKpkrWhitePawn(int pawn, int rook);
int ProbeKpkrBlackPawn(int pawn, int rook);
