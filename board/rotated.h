// The three rotated occupancies of one square, set, cleared or toggled.
#pragma once
#include "board/packedpair.h"
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
