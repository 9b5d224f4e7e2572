// The per-ply records of the search, indexed by SearchPly (0 at the root).
#pragma once
#include <cstdint>
#include "board/types.h"

#pragma pack(push, 4)
struct PlyRecord {
  uint32_t flags;          // reasons of the move being searched from this ply
  uint32_t in_check;       // side to move at this ply is in check
  int32_t static_eval;
  uint32_t killer1[2];     // per colour
  uint32_t killer2[2];
  uint32_t best_move;      // hash move on entry, best move on return
  uint32_t threat_move;    // refutation of the null move
  uint64_t attack_maps[2]; // per colour, from the evaluation; WHITE to move reads [1]
  uint32_t tried_moves[9]; // special moves already searched at this ply
  int32_t tried_count;
};
#pragma pack(pop)
static_assert(sizeof(PlyRecord) == 92, "PlyRecord is 92 bytes");

extern PlyRecord SearchStack[SEARCH_STACK_SIZE];
extern int32_t SearchPly;

constexpr int ROOT_MOVES_SIZE = 256;  // more than the legal moves of any position

// The root list stands at MoveStack[0 .. MoveStackTop - 1] in search order;
// these arrays run beside it. The root search orders them, the tablebase
// root filters thin them out.
extern int32_t RootScores[ROOT_MOVES_SIZE];      // [0] is the best score so far
extern int32_t RootGivesCheck[ROOT_MOVES_SIZE];

// Clears the killer moves of every ply record.
void ClearKillers();
