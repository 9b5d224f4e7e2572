// Small helpers of the position code: the three rotated occupancies of one
// square, and packed-pair sums that wrap instead of overflowing.
#pragma once
#include "board/position.h"

// Toggles the square's bit in FileOcc, DiagH1A8Occ and DiagA1H8Occ.
inline void ToggleRotated(int square) {
  int f = square & 7, r = square >> 3;
  uint32_t bit = 1u << r;
  thread_board.FileOcc[f] ^= bit;
  thread_board.DiagH1A8Occ[f + r] ^= bit;
  thread_board.DiagA1H8Occ[f - r + 7] ^= bit;
}
inline void SetRotated(int square) {
  int f = square & 7, r = square >> 3;
  uint32_t bit = 1u << r;
  thread_board.FileOcc[f] |= bit;
  thread_board.DiagH1A8Occ[f + r] |= bit;
  thread_board.DiagA1H8Occ[f - r + 7] |= bit;
}
inline void ClearRotated(int square) {
  int f = square & 7, r = square >> 3;
  uint32_t bit = ~(1u << r);
  thread_board.FileOcc[f] &= bit;
  thread_board.DiagH1A8Occ[f + r] &= bit;
  thread_board.DiagA1H8Occ[f - r + 7] &= bit;
}

// Packed score pairs are summed modulo 2^32 so a sum never overflows.
inline int32_t PackedAdd(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
inline int32_t PackedSub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
