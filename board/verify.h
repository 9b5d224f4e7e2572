// A debugging check of the position: every incremental field recomputed from
// the Board array and compared with the value kept by make and unmake.
#pragma once

// Open for the tests; the engine calls it only inside board/verify.cpp.
// Name of the first field that disagrees with its recomputation; nullptr
// when the position is consistent.
const char* PositionFault();
