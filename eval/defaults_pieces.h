// Compiled tables of the piece terms that "values.txt" does not carry
// (eval/defaults_pieces.cpp).
#pragma once
#include <cstdint>

// Bits 0-1 of a king-zone feature code, by king square seen from the king's
// own side (a1 = 0): 0 in the corners, 1 on c1-f1, 2 on the second rank, 3 elsewhere.
extern const int32_t ZoneBaseCode[64];
// Danger of the first safe check square of a rook.
extern const int32_t RookCheckDanger;
// Danger by file distance between a rook with no own pawn ahead and the enemy king.
extern const int32_t RookFileToKing[8];
// Danger by the queen's king distance to the enemy king, and its floor by
// file distance when no own pawn stands ahead of the queen.
extern const int32_t QueenDistanceDanger[8];
extern const int32_t QueenFileDanger[8];
// Low-mobility penalty of knights and bishops: square factor (BLACK's side),
// the factor by weighted mobility count, and the squares where it is tested.
extern const int32_t MinorSquareWeight[64];
extern const int32_t KnightLowMobility[18];
extern const int32_t BishopLowMobility[18];
extern const int32_t MinorMobilityTested[64];
