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
// The pawn hash and the evaluation cache are indexed by every evaluation:
// a size of 0 (or less) is raised to one entry. The transposition table may
// have none.
constexpr int32_t PAWN_HASH_MIN_ENTRIES = 1;
constexpr int32_t EVAL_HASH_MIN_ENTRIES = 1;
// The largest size of the options "Hash" and "PawnHash", in megabytes.
constexpr int HASH_MB_MAX = 1024;

// One block of `bytes`, or the end of the program with the allocation message.
static void* AllocateOrExit(size_t bytes) {
  void* block = malloc(bytes);
  if (block == nullptr) {
    printf("An error occured while memory allocation!\n");
    ExitProgram(1);
  }
  return block;
}

// A table of *entries entries (plus `spare`) of entryBytes each. When that
// much memory cannot be had, the count is halved until it can (not below
// `least`), one line tells the size in use, and *entries becomes it. Only a
// table of `least` entries that cannot be had ends the program.
static void* AllocateTable(const char* name, int32_t* entries, int32_t least, uint64_t entryBytes, int spare) {
  const int32_t wanted = *entries < least ? least : *entries;
  int32_t count = wanted;
  for (;;) {
    const uint64_t bytes = ((uint64_t)count + (uint64_t)spare) * entryBytes;
    void* block = bytes <= (uint64_t)SIZE_MAX ? malloc((size_t)bytes) : nullptr;
    if (block != nullptr) {
      if (count != wanted) {
        printf("info string %s of %d entries could not be allocated; %d entries in use\n", name, wanted, count);
        fflush(stdout);
      }
      *entries = count;
      return block;
    }
    if (count <= least) {
      printf("An error occured while memory allocation!\n");
      ExitProgram(1);
    }
    count = count / 2 < least ? least : count / 2;
  }
}

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

// Entries of a table of `mb` megabytes with entries of `entryBytes`; the size
// is held to 0 .. 1024 MB (the range the options advertise) and the product
// formed in 64 bits.
int32_t HashEntriesForMb(int mb, uint64_t entryBytes) {
  mb = Clamp(mb, 0, HASH_MB_MAX);
  return (int32_t)((uint64_t)mb * 1048576ULL / entryBytes);
}

// The transposition table's bytes, with its spare entries.
static uint64_t TranspositionBytes() {
  return ((uint64_t)HashEntries + HASH_SPARE_ENTRIES) * sizeof(TranspositionEntry);
}

// A table of 0 entries is valid: every probe misses, every store does
// nothing (the spare entries are allocated all the same).
void AllocateTranspositionTable() {
  free(HashTable);
  HashTable = nullptr;
  HashTable = (TranspositionEntry*)AllocateTable("Transposition table", &HashEntries, 0, sizeof(TranspositionEntry),
                                                 HASH_SPARE_ENTRIES);
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
  // Every evaluation indexes the pawn hash: 0 MB gets the 1 MB table.
  PawnHashEntries = HashEntriesForMb(mb < 1 ? 1 : mb, sizeof(PawnHashEntry));
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
