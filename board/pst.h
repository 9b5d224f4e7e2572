// The packed piece-square table: (mg << 16) + eg per piece code, colour and
// square. Make and unmake sum it into PstSum; the evaluation fills it from
// its parameter set (InitPieceSquareTables).
#pragma once
#include <cstdint>

// Index (code * 128) + (colour * 64) + square.
extern int32_t PieceSquareTables[8 * 2 * 64];
