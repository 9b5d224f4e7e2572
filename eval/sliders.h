// Slider attacks for the evaluation's hot loops: one multiplication and one
// table read per rook or bishop, where the rotated line look-ups of board/
// take two reads per line. Same answer as RookLines and BishopLines: every
// square along the lines up to and including the first occupied one.
#pragma once
#include <cstdint>
#include "board/types.h"

// A square's relevant occupancy (the lines without their last square) times
// the multiplier, shifted down, indexes the square's slice of the table.
struct SliderMagic {
  Bitboard mask;
  Bitboard multiplier;
  const Bitboard* attacks;
  uint32_t shift;
};

extern SliderMagic RookMagics[64];
extern SliderMagic BishopMagics[64];

inline Bitboard RookAttacksOn(int square, Bitboard occupied) {
  const SliderMagic& m = RookMagics[square];
  return m.attacks[((occupied & m.mask) * m.multiplier) >> m.shift];
}
inline Bitboard BishopAttacksOn(int square, Bitboard occupied) {
  const SliderMagic& m = BishopMagics[square];
  return m.attacks[((occupied & m.mask) * m.multiplier) >> m.shift];
}
