#include "search/think.h"

int32_t PrevScore = 0;
int32_t PrevScoreSide = 0;
int32_t PonderListEnd = 0;
