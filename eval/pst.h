// The piece-square tables of the evaluation: the base tables by piece code,
// their unpacked values by colour and square, the king-shelter base and the
// builders that fill them (and the board's packed table, board/pst.h) from
// the parameter set.
#pragma once
#include <cstdint>

// King shelter base penalty by king square from WHITE's side (a BLACK king on
// k reads entry 63 - k); built from the king-centre half table.
extern int32_t KingSquareShelter[64];

// The base tables by piece code (nullptr for codes 0 and 4).
extern int16_t* const PieceSquareBaseMg[8];
extern int16_t* const PieceSquareBaseEg[8];

// Unpacked piece-square values [code][colour][square], the same values that
// PieceSquareTables packs.
extern int16_t PieceSquareMg[8][2][64];
extern int16_t PieceSquareEg[8][2][64];

// Builds PieceSquareTables, PieceSquareMg and PieceSquareEg from the base tables.
void InitPieceSquareTables();
// Writes the twelve base tables and KingSquareShelter from PieceSquareParams.
void LoadPieceSquareBases();
