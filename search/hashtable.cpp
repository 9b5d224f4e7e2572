#include "search/hashtable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "eval/evaluate.h"
#include "eval/pawnhash.h"
#include "eval/terms.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/input.h"
#include "search/ordering.h"
#include "search/repetition.h"
#include "search/think.h"
#include "search/transposition.h"

uint16_t SearchAge = 0;
EvalHashEntry* EvalHashTable = nullptr;
PawnHashEntry* PawnHashTable = nullptr;
int32_t EvalHashAllocated = 0;
int32_t PawnHashAllocated = 0;

// Spare entries behind the indexed ones.
constexpr int PAWN_HASH_SPARE = 2;
constexpr int EVAL_HASH_SPARE = 2;
// A size of 0 (or less) is raised to this many entries.
constexpr int32_t PAWN_HASH_MIN_ENTRIES = 1;
constexpr int32_t EVAL_HASH_MIN_ENTRIES = 1;

// One block of `bytes`, or the end of the program with the allocation message.
static void* AllocateOrExit(size_t bytes) {
  void* block = malloc(bytes);
  if (block == nullptr) {
    printf("An error occured while memory allocation!\n");
    ExitProgram(1);
  }
  return block;
}

static size_t PawnHashBytes() { return ((size_t)PawnHashAllocated + PAWN_HASH_SPARE) * sizeof(PawnHashEntry); }
static size_t EvalHashBytes() { return ((size_t)EvalHashAllocated + EVAL_HASH_SPARE) * sizeof(EvalHashEntry); }

void AllocatePawnHash() {
  free(PawnHashTable);
  PawnHashTable = nullptr;
  if (PawnHashEntries < PAWN_HASH_MIN_ENTRIES) PawnHashEntries = PAWN_HASH_MIN_ENTRIES;
  PawnHashAllocated = PawnHashEntries;
  PawnHashTable = (PawnHashEntry*)AllocateOrExit(PawnHashBytes());
}

void AllocateEvalHash() {
  free(EvalHashTable);
  EvalHashTable = nullptr;
  if (EvalHashEntries < EVAL_HASH_MIN_ENTRIES) EvalHashEntries = EVAL_HASH_MIN_ENTRIES;
  EvalHashAllocated = EvalHashEntries;
  EvalHashTable = (EvalHashEntry*)AllocateOrExit(EvalHashBytes());
}

// Allocates every table, then clears the hashes.
void AllocateHashTables() {
  AllocateTranspositionTable();
  AllocatePawnHash();
  AllocateEvalHash();
  AllocateCycleMoveTable();
  ClearTranspositionTable();
  ClearPawnHash();
  ClearEvalHash();
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

void FreeHashTables() {
  free(HashTable);
  HashTable = nullptr;
  free(CycleMoveTable);
  CycleMoveTable = nullptr;
  free(PawnHashTable);
  PawnHashTable = nullptr;
  PawnHashAllocated = 0;
  free(EvalHashTable);
  EvalHashTable = nullptr;
  EvalHashAllocated = 0;
}

// Entries of a table of `mb` megabytes with entries of `entryBytes`; the
// product is formed in 64 bits, 0 MB or less gives the 1 MB table and the
// count stays within int32.
int32_t HashEntriesForMb(int mb, uint64_t entryBytes) {
  if (mb < 1) mb = 1;
  uint64_t entries = (uint64_t)mb * 1048576ULL / entryBytes;
  if (entries > (uint64_t)INT32_MAX - 16) entries = (uint64_t)INT32_MAX - 16;
  return (int32_t)entries;
}

// The transposition table's bytes, with its spare entries.
static uint64_t TranspositionBytes() {
  return ((uint64_t)HashEntries + HASH_SPARE_ENTRIES) * sizeof(TranspositionEntry);
}

// A size of 0 entries (a settings-file size of 0) is raised to the 1 MB table;
// a size the address space cannot hold ends like a failed allocation.
void AllocateTranspositionTable() {
  free(HashTable);
  HashTable = nullptr;
  if (HashEntries < 1) HashEntries = HashEntriesForMb(1, sizeof(TranspositionEntry));
  const uint64_t bytes = TranspositionBytes();
  if (bytes > (uint64_t)SIZE_MAX) {
    printf("An error occured while memory allocation!\n");
    ExitProgram(1);
  }
  HashTable = (TranspositionEntry*)AllocateOrExit((size_t)bytes);
}

// Zero fill; the first key all ones so that no key of 0 meets an empty
// entry; a new search age count.
void ClearTranspositionTable() {
  SearchAge = 0;
  if (HashTable == nullptr) return;
  memset(HashTable, 0, (size_t)TranspositionBytes());
  HashTable[0].key = ~0ULL;
}

// A new transposition table of `mb` megabytes, cleared.
void SetHashSizeMb(int mb) {
  free(HashTable);
  HashTable = nullptr;
  HashEntries = HashEntriesForMb(mb, sizeof(TranspositionEntry));
  AllocateTranspositionTable();
  ClearTranspositionTable();
}

// A new pawn hash of `mb` megabytes, cleared.
void SetPawnHashSizeMb(int mb) {
  free(PawnHashTable);
  PawnHashTable = nullptr;
  PawnHashEntries = HashEntriesForMb(mb, sizeof(PawnHashEntry));
  AllocatePawnHash();
  ClearPawnHash();
}

// The upcoming-repetition table; InitCycleMoveTable fills it.
void AllocateCycleMoveTable() {
  free(CycleMoveTable);
  CycleMoveTable = (CycleMoveBucket*)AllocateOrExit((size_t)CYCLE_MOVE_BUCKETS * sizeof(CycleMoveBucket));
}

// Every capture-history entry back to no tries.
void ClearCaptureHistory() {
  memset(CaptureTries, 0, sizeof CaptureTries);
  memset(CaptureWins, 0, sizeof CaptureWins);
  memset(CaptureStamp, 0, sizeof CaptureStamp);
}

// Hash tables, killers, ordering statistics and the previous score, all
// back to their state of a fresh start.
void ClearAllTables() {
  ClearTranspositionTable();
  ClearKillers();
  ClearPawnHash();
  ClearEvalHash();
  memset(HistoryTable, 0, sizeof HistoryTable);
  memset(EvasionRefutation, 0, sizeof EvasionRefutation);
  memset(FollowUpMoves, 0, sizeof FollowUpMoves);
  memset(CounterMoves, 0, sizeof CounterMoves);
  memset(ThreatRefutations, 0, sizeof ThreatRefutations);
  ClearCaptureHistory();
  PrevScore = 0;
  PrevScoreSide = 0;
}
