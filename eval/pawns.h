// Pawn structure, king-shelter values and the pawn hash.
#pragma once
#include <cstdint>

#include "board/types.h"
#include "eval/hashes.h"

// Key of the one-entry pawn block that no pawn configuration reaches.
constexpr uint64_t PAWN_BLOCK_NO_KEY = ~0ULL;

// Empties the one-entry pawn block in front of the pawn hash.
void ResetPawnBlock();
// Pawn structure: adds the pawn score to packed_score, fills the pawn block
// and the passed-pawn sets.
void EvaluatePawns();

// What the pawn-structure pass finds about one pawn (PawnTraits).
enum PawnTrait : int {
  PAWN_CONNECTED = 1,     // a neighbour on its rank or a protecting pawn
  PAWN_DOUBLED = 2,       // an own pawn behind it on its file
  PAWN_ISOLATED = 4,      // no own pawn on an adjacent file
  PAWN_BACKWARD = 8,      // its neighbours are all ahead of it and it cannot join them
  PAWN_OPEN = 16,         // no pawn of either colour ahead of it on its file
  PAWN_PASSED = 32,       // open, and no enemy pawn in its passed-pawn mask
  PAWN_CANDIDATE = 64,    // open, not passed, and the helpers outnumber the stoppers
  PAWN_BREAKTHROUGH = 128 // blocked on its sixth or seventh rank with a lever beside it
};

// Open for the tests; the engine calls it only inside eval/pawns.cpp.
// The traits of the pawn of `colour` on `square` in the current position.
int PawnTraits(int square, int colour);

// Slot of a pawn key in PawnHashTable, by the size the table was allocated
// with, so the index never leaves it.
inline uint32_t PawnHashIndex(uint64_t key) {
  if (PawnHashAllocated == 0x40000) return (uint32_t)(key & 0x3ffff);
  return PawnHashAllocated > 0 ? (uint32_t)key % (uint32_t)PawnHashAllocated : 0;
}

// Open for the tests; the engine calls it only inside eval/pawns.cpp.
// Files from the leftmost to the rightmost set bit of a file byte; 0 for none.
int FileSpan(int fileByte);

// The four shelter bytes of the pawn block: ShelterCodeTable of the three
// shelter codes of each wing plus the enemy pawn storm on that wing.
void EvaluatePawnShelter();

// Open for the tests; the engine calls it only inside eval/pawns.cpp.
// Shelter code 0..7 of one file: where the own pawn stands (0 on its second
// rank, 1 on its third, 2 on its fourth, 3 elsewhere or missing), plus 4 when
// the opponent has no pawn on the file.
int GetShelterCodeF2();
int GetShelterCodeG2();
int GetShelterCodeH2();
int GetShelterCodeC2();
int GetShelterCodeB2();
int GetShelterCodeA2();
int GetShelterCodeF7();
int GetShelterCodeG7();
int GetShelterCodeH7();
int GetShelterCodeC7();
int GetShelterCodeB7();
int GetShelterCodeA7();
