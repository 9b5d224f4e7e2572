// Hash tables of the search.
#pragma once
#include <cstdint>

extern uint16_t SearchAge;  // stamp of the current search
