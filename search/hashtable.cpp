#include "search/hashtable.h"

uint16_t SearchAge = 0;
