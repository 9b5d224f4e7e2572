// Packed piece-square tables: (mg << 16) + eg per piece code, colour and square.
#pragma once
#include <cstdint>

// Index (code * 128) + (colour * 64) + square.
extern int32_t PieceSquareTables[8 * 2 * 64];
