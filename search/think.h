// Thinking: the time plan, the clock and the game-level search state.
#pragma once
#include <cstdint>

extern int32_t PrevScore;
extern int32_t PrevScoreSide;
extern int32_t PonderListEnd;  // end of the legal list kept from MoveStack index 63536
