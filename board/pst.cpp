#include "board/pst.h"

int32_t PieceSquareTables[8 * 2 * 64];
