// Hash tables of the search.
#pragma once
#include <cstdint>

struct EvalHashEntry;
struct PawnHashEntry;

extern uint16_t SearchAge;  // stamp of the current search

// The evaluation cache (EvalHashEntries entries) and the pawn hash
// (PawnHashEntries entries), each with 2 spare entries; a size below one
// entry is raised to one when the table is allocated, a size that cannot be
// had falls back to a smaller one.
extern EvalHashEntry* EvalHashTable;
extern PawnHashEntry* PawnHashTable;
// Entries each table was allocated with (the size setting at the time);
// indexes are taken modulo these so they never leave the table.
extern int32_t EvalHashAllocated;
extern int32_t PawnHashAllocated;

// Allocates and clears the tables at start-up.
void AllocateHashTables();
void AllocatePawnHash();
void AllocateEvalHash();
// Zero fill with the first key all ones; the pawn hash also empties the
// one-entry pawn block in front of it.
void ClearPawnHash();
void ClearEvalHash();
// Releases the tables (ExitProgram).
void FreeHashTables();

// The transposition table (search/transposition.h): allocated with
// HashEntries + 10 entries; cleared to zero with the first key all ones and
// SearchAge 0.
void AllocateTranspositionTable();
void ClearTranspositionTable();
// Resize from the UCI options "Hash" and "PawnHash": the old table is freed,
// the new one allocated and cleared. Sizes are held to 0 .. 1024 MB; "Hash"
// 0 is a table without entries, "PawnHash" 0 gets the 1 MB table. A size
// that cannot be had falls back to the largest half, quarter ... that can,
// with one "info string" line (so does the allocation at start-up).
void SetHashSizeMb(int mb);
void SetPawnHashSizeMb(int mb);
// Entries of a table of mb megabytes (held to 0 .. 1024) with entries of
// entryBytes, computed in 64 bits.
int32_t HashEntriesForMb(int mb, uint64_t entryBytes);
// The upcoming-repetition table (search/repetition.h), 8192 buckets.
void AllocateCycleMoveTable();
// Clears every table and ordering statistic ("clean" and the self test).
void ClearAllTables();
// Zeroes the capture history (tries, wins, stamps).
void ClearCaptureHistory();
