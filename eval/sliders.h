// The evaluation's slider attacks over any occupancy, RookAttacksOn and
// BishopAttacksOn: one multiplication and one table read per rook or bishop.
// The tables are the board's (board/attacktables.h), shared with its attack
// questions.
#pragma once
#include "board/attacktables.h"
