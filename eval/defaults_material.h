// The blocks of the parameter set whose compiled-in defaults are the authored
// material and piece-square values of eval/defaults_material.cpp, in the
// order of "values.txt", and the piece-square tables compiled beside them.
#pragma once
#include <cstdint>

extern int32_t DerivedParamsA[8];          // block 1
extern int32_t EvalParamsC[16];            // block 11
extern int32_t DerivedParamsE[9];          // block 16
extern int32_t MaterialPawnTable[17];      // blocks 17 (0..13) and 20 (14..16)
extern int32_t DerivedParamsF[24];         // block 18
extern int32_t DerivedParamsF2;            // block 19
extern int32_t PieceSquareParams[424];     // block 28
extern int32_t PawnCountScale[16];         // block 39
extern int32_t RookEndingFiles[39][39];    // block 42
extern int32_t EndgameClassTable[114][6][2];  // block 44
extern int32_t KingDistanceClass[3][4][16];   // block 45

// Piece-square base tables, squares as seen by BLACK (a WHITE piece on s uses
// entry s ^ 56). Compiled defaults until the first parameter load.
extern int16_t PstKingMg[64], PstKingEg[64];
extern int16_t PstPawnMg[64], PstPawnEg[64];
extern int16_t PstKnightMg[64], PstKnightEg[64];
extern int16_t PstRookMg[64], PstRookEg[64];
extern int16_t PstQueenMg[64], PstQueenEg[64];
extern int16_t PstBishopMg[64], PstBishopEg[64];
