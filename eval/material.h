// Everything of the evaluation that depends only on the piece counts: the
// material table indexed by MaterialIndex, and the routines for material
// outside it.
#pragma once
#include <cstdint>
#include "board/types.h"

struct MaterialEntry {
  int16_t current_phase;          // 0 with all pieces .. 256 with none
  int16_t black_phase;
  int16_t white_phase;
  int16_t material;               // material term from BLACK's side, imbalances included
  int16_t scale;                  // 1/256
  uint16_t MaterialWeightSums[4];
  int16_t endgame_class[2];       // row of EndgameClassTable per colour, -1 for none
  uint8_t flags[2];               // per colour: bit 0 cannot win, bit 1 ENDING
};
static_assert(sizeof(MaterialEntry) == 24, "MaterialEntry is 24 bytes");

constexpr int MATERIAL_FLAG_CANNOT_WIN = 1;
constexpr int MATERIAL_FLAG_ENDING = 2;

extern MaterialEntry MaterialTable[MATERIAL_OUTSIDE + 1];  // the last entry is the fallback
extern int32_t PawnCountBonus[9];

// Derives the material table, the piece-square base tables and the packed
// weights from the parameter set; the matrices are the work tables of the load.
void InitEvaluationTables(int32_t* matrix54, int32_t* table2, int32_t* table3, int32_t* matrix486, int32_t* scale);
// Material score from BLACK's side for material outside the table.
int32_t EvaluateMaterial();
// Sets the three phases and the weighted piece-count sums from the counts.
void ComputePhase();
// Estimated gain of a capture or promotion for the side to move.
int32_t EstimateMoveEval(Move move);
