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
extern Bitboard Rays[8][64];                // stored in the direction order -8, 8, -1, 1, -9, -7, 7, 9
extern int8_t Direction[64][64];
extern Bitboard Between[64][64];
extern Bitboard Rectangle[64][64];
extern Bitboard RookMoves[64], BishopMoves[64];
extern Bitboard WhitePassedMask[64], BlackPassedMask[64];
extern int32_t KnightDistance[64][64];      // [to][from]

// Slot of a step (-9, -8, -7, -1, 1, 7, 8, 9) in Rays; -1 for any other value.
inline int RaySlot(int direction) {
  static const int8_t slot[19] = {4, 0, 5, -1, -1, -1, -1, -1, 2, -1, 3, -1, -1, -1, -1, -1, 6, 1, 7};
  return (direction >= -9 && direction <= 9) ? slot[direction + 9] : -1;
}
// The squares beyond s in step -direction; 0 for a value that is no step.
inline Bitboard RayOf(int direction, int square) {
  int slot = RaySlot(direction);
  return slot < 0 ? 0 : Rays[slot][square];
}

void InitializeBitBoards();
void InitKnightDistance();
