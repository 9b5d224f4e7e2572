// The pawn hash entry: the pawn-structure result of one pawn configuration.
// The position record keeps a copy of the current one; the table itself is
// the evaluation's (eval/hashes.h).
#pragma once
#include <cstdint>

// 22 bytes in the 64-bit programs; the 32-bit program pads it to 24.
#if UINTPTR_MAX > 0xFFFFFFFFu
#pragma pack(push, 2)
#else
#pragma pack(push, 4)
#endif
struct PawnHashEntry {
  uint64_t key;            // PawnKey
  int32_t score;           // packed pawn score from Black's side
  uint8_t PassedVector[2]; // files with a passed pawn: Black's first, then White's
  uint8_t white_files;
  uint8_t black_files;
  uint8_t black_weak_files;
  uint8_t white_weak_files;
  uint8_t shelter[4];      // White king side, White queen side, Black king side, Black queen side
};
#pragma pack(pop)
#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(PawnHashEntry) == 22, "pawn hash entry is 22 bytes in the 64-bit programs");
#else
static_assert(sizeof(PawnHashEntry) == 24, "pawn hash entry is 24 bytes in the 32-bit program");
#endif
