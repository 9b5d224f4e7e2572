// The evaluation parameter set: every block of "values.txt" (declared with
// its compiled-in defaults in eval/defaults.h and eval/defaults_material.h),
// the named slots of the mixed blocks, the reader and the sanity pass.
#pragma once
#include <cstdint>
#include <cstdio>

#include "eval/defaults.h"
#include "eval/defaults_material.h"

// Block sizes of the parameter file.
constexpr int MATRIX54_SIZE = 54;
constexpr int MATRIX486_SIZE = 486;

// Block 4 (MaterialMatrix54) and block 78 (MaterialMatrix486) are work tables
// of LoadEvaluationValues only; the other blocks are declared beside their
// compiled-in defaults (eval/defaults.h, eval/defaults_material.h).

// Positions of the named weights inside the mixed blocks (a name standing
// for a run of weights marks its first entry). EvalParamsD and the blocks
// read only by the endgame code name their slots where they are read.
enum EvalParamsASlot : int {
  FIANCHETTO_HOLE_PENALTY = 0, CENTRE_FILE_OPEN = 1, SIDE_FILE_OPEN = 2, QUEEN_OFF_HOME_PENALTY = 3,
  FIANCHETTO_BISHOP_MG = 5
};
enum EvalCurveSlot : int { CHECK_DANGER = 1 };  // of EvalCurveA (bishop), B (queen), C (knight)
enum PawnParamsSlot : int { PAWN_ZONE_DANGER = 12 };
enum KingParamsASlot : int { DEVELOPMENT_BLOCKED_MG = 0, DEVELOPMENT_SCALE = 3 };
enum KingParamsBSlot : int {
  DEVELOPMENT_BLOCKED_EG = 0, KING_ATTACK_MG_WITH_QUEEN = 3, KING_ATTACK_MG_NO_QUEEN = 4,
  MATERIAL_LOGISTIC_HEIGHT = 5, MATERIAL_LOGISTIC_SLOPE = 6, PRESSURE_SIGMOID_AMPLITUDE = 7, PRESSURE_SIGMOID_SLOPE = 8
};
enum KingParamsCSlot : int { KNIGHT_PRESSURE = 0, BISHOP_PRESSURE = 1, ROOK_PRESSURE = 2, QUEEN_PRESSURE = 3 };
enum KingParamsDSlot : int { PAWN_ZONE_PRESSURE = 0 };
enum SigmoidAndPhaseSlot : int {
  CENTRE_FILE_HALF_OPEN = 0, SIDE_FILE_HALF_OPEN = 1,
  ATTACK_HORROR_AMPLITUDE = 2, ATTACK_HORROR_SLOPE = 3, ATTACK_HORROR_CENTRE = 4,
  DEFEND_HORROR_AMPLITUDE = 5, DEFEND_HORROR_SLOPE = 6, DEFEND_HORROR_CENTRE = 7
};
enum PassedPawnParamsASlot : int {
  PASSED_RANK_MG = 0, PASSED_RANK_EG = 8, PAWN_ENDGAME_SIGMOID_AMPLITUDE = 16, PAWN_ENDGAME_SIGMOID_SLOPE = 17
};
enum PassedPawnParamsQSlot : int { PASSED_EDGE_EG = 0, KING_PAWN_LOGISTIC_HEIGHT = 4, KING_PAWN_LOGISTIC_SLOPE = 5 };

// Running number of the sanity checks, printed in "fix" messages.
extern int32_t FixCheckCount;

// Fills KingAttackWeights with its start-up values (1, 0, 4 by thirds).
void InitKingAttackWeights();
// Reads "values.txt" and rebuilds every table derived from the parameters.
void LoadEvaluationValues();
// Open for the tests; the engine calls it only inside eval/params.cpp.
// Reads the file into the parameter set and the three work matrices.
void ReadValuesFile(int32_t* matrix54, int32_t* matrix486, int32_t* scale);
void ReadValues(FILE* file, int32_t* dest, int n);
void ReadValuesMirrored(FILE* file, int32_t* dest, int n);
void ReadHalfSquareTable(FILE* file, int32_t* dest);
// Clamps the parameters to their legal ranges, printing "fix" messages.
void FixValues();
void FixNonNegative(int32_t* value);
void MirrorSquareTable(int32_t* table);
void MirrorFileTable(int32_t* table);
// Writes the parameter set in force in file order (the material matrices,
// which exist only while a file is read, as zeros), so that reading the file
// back gives the same set. Returns 0 when the file cannot be written.
int WriteValuesFile(const char* path);
