#include "eval/hashes.h"

#include <cstdlib>
#include <cstring>

#include "eval/evaluate.h"
#include "eval/pawns.h"
#include "platform/exit.h"

int32_t PawnHashEntries = 0x40000;
int32_t EvalHashEntries = 0x80000;
EvalHashEntry* EvalHashTable = nullptr;
PawnHashEntry* PawnHashTable = nullptr;
int32_t EvalHashAllocated = 0;
int32_t PawnHashAllocated = 0;

// Spare entries behind the indexed ones.
constexpr int PAWN_HASH_SPARE = 2;
constexpr int EVAL_HASH_SPARE = 2;
// Both tables are indexed by every evaluation: a size of 0 (or less) is
// raised to one entry.
constexpr int32_t PAWN_HASH_MIN_ENTRIES = 1;
constexpr int32_t EVAL_HASH_MIN_ENTRIES = 1;

static size_t PawnHashBytes() { return ((size_t)PawnHashAllocated + PAWN_HASH_SPARE) * sizeof(PawnHashEntry); }
static size_t EvalHashBytes() { return ((size_t)EvalHashAllocated + EVAL_HASH_SPARE) * sizeof(EvalHashEntry); }

void AllocatePawnHash() {
  free(PawnHashTable);
  PawnHashTable = nullptr;
  PawnHashTable = (PawnHashEntry*)AllocateTable("Pawn hash", &PawnHashEntries, PAWN_HASH_MIN_ENTRIES,
                                                sizeof(PawnHashEntry), PAWN_HASH_SPARE);
  PawnHashAllocated = PawnHashEntries;
}

void AllocateEvalHash() {
  free(EvalHashTable);
  EvalHashTable = nullptr;
  EvalHashTable = (EvalHashEntry*)AllocateTable("Evaluation cache", &EvalHashEntries, EVAL_HASH_MIN_ENTRIES,
                                                sizeof(EvalHashEntry), EVAL_HASH_SPARE);
  EvalHashAllocated = EvalHashEntries;
}

void ClearPawnHash() {
  ResetPawnBlock();
  if (PawnHashTable == nullptr) return;
  memset(PawnHashTable, 0, PawnHashBytes());
  PawnHashTable[0].key = ~0ULL;
}

void ClearEvalHash() {
  if (EvalHashTable == nullptr) return;
  memset(EvalHashTable, 0, EvalHashBytes());
  EvalHashTable[0].key = ~0ULL;
}

void FreeEvaluationHashes() {
  free(PawnHashTable);
  PawnHashTable = nullptr;
  PawnHashAllocated = 0;
  free(EvalHashTable);
  EvalHashTable = nullptr;
  EvalHashAllocated = 0;
}
