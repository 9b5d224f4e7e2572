#include "search/hashtable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/ordering.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "platform/exit.h"
#include "search/input.h"
#include "search/repetition.h"
#include "search/think.h"
#include "search/transposition.h"

int32_t HashEntries = 0x80000;

// The largest size of the options "Hash" and "PawnHash", in megabytes.
constexpr int HASH_MB_MAX = 1024;

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

void FreeHashTables() {
  free(HashTable);
  HashTable = nullptr;
  free(CycleMoveTable);
  CycleMoveTable = nullptr;
  FreeEvaluationHashes();
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
  ForgetPrevScore();
}
