// Logistic curves of the evaluation as lookup tables, and the squares from
// which a knight still stops a pawn on its way to promotion.
#pragma once
#include <cstdint>
#include "board/types.h"

extern int32_t PawnEndgameSigmoid[301];   // index d + 150 for d = -150..150
extern int32_t PressureSigmoid[64];
extern int32_t AttackHorrorSigmoid[512];
extern int32_t DefendHorrorSigmoid[512];
// [pawn square - 8][king square], bit n set when a knight on n stops a pawn
// that runs toward rank 1 with its own king on the king square. A WHITE pawn
// on p, king on k, knight on n reads bit 63 - n of [(63 - p) - 8][63 - k].
extern Bitboard KnightIntercept[48][64];

// Each builder fills its table from the parameters in force.
void InitPawnEndgameSigmoid();
void InitPressureSigmoid();
void InitAttackHorrorSigmoid();
void InitDefendHorrorSigmoid();
// Needs KnightAttacks and KnightDistance.
void InitKnightIntercept();
