// Compiled tables of the piece terms that "values.txt" does not carry: the
// king-zone base codes, the check and file dangers of rooks and queens, and
// the low-mobility penalty of the minor pieces.
#include "eval/defaults_pieces.h"

const int32_t ZoneBaseCode[64] = {
    0, 0, 1, 1, 1, 1, 0, 0,
    2, 2, 2, 2, 2, 2, 2, 2,
    3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3,
};

const int32_t RookCheckDanger = 3;
const int32_t RookFileToKing[8] = {2, 2, 1, 0, 0, 0, 0, 0};
const int32_t QueenDistanceDanger[8] = {2, 2, 2, 1, 1, 0, 0, 0};
const int32_t QueenFileDanger[8] = {2, 2, 1, 0, 0, 0, 0, 0};

// 0 in the centre rising to 120 in the corners: a shut-in minor on the rim
// is worth much less than one in the middle.
const int32_t MinorSquareWeight[64] = {
    120, 90, 65, 45, 45, 65, 90, 120,
    90, 65, 45, 25, 25, 45, 65, 90,
    65, 45, 25, 10, 10, 25, 45, 65,
    45, 25, 10, 0, 0, 10, 25, 45,
    45, 25, 10, 0, 0, 10, 25, 45,
    65, 45, 25, 10, 10, 25, 45, 65,
    90, 65, 45, 25, 25, 45, 65, 90,
    120, 90, 65, 45, 45, 65, 90, 120,
};

const int32_t KnightLowMobility[18] = {80, 70, 60, 50, 30, 25, 20, 15, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
const int32_t BishopLowMobility[18] = {80, 70, 60, 50, 30, 25, 20, 15, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

// Not on the sixteen squares c3-f6.
const int32_t MinorMobilityTested[64] = {
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 0, 0, 0, 0, 1, 1,
    1, 1, 0, 0, 0, 0, 1, 1,
    1, 1, 0, 0, 0, 0, 1, 1,
    1, 1, 0, 0, 0, 0, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1,
};
