// A debugging check of the position: every incremental field recomputed from
// the Board array and compared with the value kept by make and unmake.
#pragma once

// Name of the first field that disagrees with its recomputation; nullptr
// when the position is consistent.
const char* PositionFault();
