// Packed score pairs: a middle-game and an end-game value in one int32_t,
// summed by the board (PstSum) and by the evaluation terms.
#pragma once
#include <cstdint>

// A pair is (mg << 16) + eg with both halves signed; eg borrows from mg when
// negative. The arithmetic is done unsigned so no sum or shift overflows.
inline int32_t PackPair(int32_t mg, int32_t eg) { return (int32_t)(((uint32_t)mg << 16) + (uint32_t)eg); }
inline int32_t PackedMg(int32_t x) { return (int32_t)(((int64_t)x + 0x8000) >> 16); }
inline int32_t PackedEg(int32_t x) { return (x & 0x7fff) - (x & 0x8000); }
inline int32_t PackedAdd(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
inline int32_t PackedSub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
// A plain value used in both halves (v * 0x10001).
inline int32_t PackPlain(int32_t v) { return PackPair(v, v); }
