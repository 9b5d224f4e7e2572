#include "search/searchstack.h"

PlyRecord SearchStack[SEARCH_STACK_SIZE];
int32_t SearchPly = 0;
