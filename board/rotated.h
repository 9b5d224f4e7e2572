// The three rotated occupancies of one square, set, cleared or toggled.
#pragma once
#include <cstdint>
#include "board/packedpair.h"
#include "board/position.h"

// Where a square sits in the diagonal occupancies: DiagH1A8Occ[file + rank]
// and DiagA1H8Occ[file - rank + 7], looked up rather than computed, since
// make and unmake touch two or three squares per move.
struct DiagonalSlots {
  uint8_t h1a8[64];
  uint8_t a1h8[64];
};
inline constexpr DiagonalSlots DIAGONAL_SLOT = [] {
  DiagonalSlots slots{};
  for (int square = 0; square < 64; square++) {
    slots.h1a8[square] = (uint8_t)((square & 7) + (square >> 3));
    slots.a1h8[square] = (uint8_t)((square & 7) - (square >> 3) + 7);
  }
  return slots;
}();

// Toggles the square's bit in FileOcc, DiagH1A8Occ and DiagA1H8Occ.
inline void ToggleRotated(unsigned square) {
  const uint32_t bit = 1u << (square >> 3);
  thread_board.FileOcc[square & 7] ^= bit;
  thread_board.DiagH1A8Occ[DIAGONAL_SLOT.h1a8[square]] ^= bit;
  thread_board.DiagA1H8Occ[DIAGONAL_SLOT.a1h8[square]] ^= bit;
}
inline void SetRotated(unsigned square) {
  const uint32_t bit = 1u << (square >> 3);
  thread_board.FileOcc[square & 7] |= bit;
  thread_board.DiagH1A8Occ[DIAGONAL_SLOT.h1a8[square]] |= bit;
  thread_board.DiagA1H8Occ[DIAGONAL_SLOT.a1h8[square]] |= bit;
}
inline void ClearRotated(unsigned square) {
  const uint32_t bit = ~(1u << (square >> 3));
  thread_board.FileOcc[square & 7] &= bit;
  thread_board.DiagH1A8Occ[DIAGONAL_SLOT.h1a8[square]] &= bit;
  thread_board.DiagA1H8Occ[DIAGONAL_SLOT.a1h8[square]] &= bit;
}
