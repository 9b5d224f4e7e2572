// The quiescence search at and beyond the horizon of the main search.
#pragma once

// Score for the side to move, searching captures, queen promotions, a few
// quiet checks and all evasions until the position is quiet; depth in quarter
// plies (0 or negative at the horizon), nodeType as in Search.
int Quiesce(int alpha, int beta, int depth, int nodeType);
