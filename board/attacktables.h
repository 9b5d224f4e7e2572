// Geometric tables built once at start-up: piece attacks, rotated slider
// attacks, rays, directions, between and rectangle sets, knight distances.
#pragma once
#include <cstdint>
#include "board/types.h"

extern Bitboard KnightAttacks[64];
extern Bitboard KingAttacks[64];
extern Bitboard WhitePawnAttacks[64];
extern Bitboard BlackPawnAttacks[64];
extern uint8_t LineState[256][8];           // attack state 0..69 of a line occupancy and position
extern Bitboard RankAttacks[70 * 8];        // index state * 8 + rank
extern Bitboard FileAttacks[70 * 8];        // index state * 8 + file
extern Bitboard DiagH1A8Attacks[70 * 16];   // index state * 16 + (file + rank)
extern Bitboard DiagA1H8Attacks[70 * 16];   // index state * 16 + (file - rank + 7)
// Slider attacks by multiplication: the occupancy of the square's relevant
// lines (edge squares left out) times the square's multiplier, shifted down,
// is the slot of the attack set in the square's part of SliderAttackTable.
// The tables are built before main runs, so every program and test finds
// them ready whatever its start-up order.
struct SliderMagic {
  Bitboard mask;            // the relevant squares
  Bitboard multiplier;
  const Bitboard* attacks;  // the square's slots
  uint32_t shift;           // 64 - the number of relevant squares
};
constexpr int ROOK_SLOTS = 102400;   // sum over the squares of 2^relevant squares
constexpr int BISHOP_SLOTS = 5248;
extern SliderMagic RookMagics[64], BishopMagics[64];
extern Bitboard SliderAttackTable[ROOK_SLOTS + BISHOP_SLOTS];
extern Bitboard DiagH1A8Squares[64], DiagA1H8Squares[64];  // the whole diagonals through each square

// The squares a slider on s reaches in the four steps (file, rank) over the
// occupancy, up to and including the first occupied square; with edges false
// the last square of each line is left out (the relevant mask).
constexpr Bitboard SlideFrom(int s, const int steps[4][2], Bitboard occupied, bool edges) {
  Bitboard result = 0;
  for (int i = 0; i < 4; i++) {
    int f = s % 8 + steps[i][0], r = s / 8 + steps[i][1];
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      const int nextFile = f + steps[i][0], nextRank = r + steps[i][1];
      if (!edges && (nextFile < 0 || nextFile > 7 || nextRank < 0 || nextRank > 7)) break;
      result |= 1ULL << (r * 8 + f);
      if (occupied & (1ULL << (r * 8 + f))) break;
      f = nextFile;
      r = nextRank;
    }
  }
  return result;
}

inline constexpr int ROOK_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
inline constexpr int BISHOP_STEPS[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};

// Rook and bishop attacks from the square over any occupancy.
inline Bitboard RookAttacksOn(int square, Bitboard occupied) {
  const SliderMagic& m = RookMagics[square];
  return m.attacks[((occupied & m.mask) * m.multiplier) >> m.shift];
}
inline Bitboard BishopAttacksOn(int square, Bitboard occupied) {
  const SliderMagic& m = BishopMagics[square];
  return m.attacks[((occupied & m.mask) * m.multiplier) >> m.shift];
}
extern Bitboard Rays[8][64];                // stored in the direction order -8, 8, -1, 1, -9, -7, 7, 9
extern int8_t Direction[64][64];
extern Bitboard Between[64][64];
extern Bitboard Rectangle[64][64];
extern Bitboard RookMoves[64], BishopMoves[64];
extern Bitboard WhitePassedMask[64], BlackPassedMask[64];
extern int32_t KnightDistance[64][64];      // [to][from]

// Slot in Rays of the step direction, at index direction + 9: 0 to 3 for the
// rook steps, 4 to 7 for the bishop steps, -1 for a value that is no step.
inline constexpr int8_t RAY_SLOT_OF_STEP[19] = {4, 0, 5, -1, -1, -1, -1, -1, 2, -1, 3, -1, -1, -1, -1, -1, 6, 1, 7};
// Slot of a step (-9, -8, -7, -1, 1, 7, 8, 9) in Rays; -1 for any other value.
inline int RaySlot(int direction) {
  return (direction >= -9 && direction <= 9) ? RAY_SLOT_OF_STEP[direction + 9] : -1;
}
// The squares beyond s in step -direction; 0 for a value that is no step.
inline Bitboard RayOf(int direction, int square) {
  int slot = RaySlot(direction);
  return slot < 0 ? 0 : Rays[slot][square];
}

void InitializeBitBoards();
void InitKnightDistance();
