// Hash tables of the search.
#pragma once
#include <cstdint>

// Size of the transposition table in entries (the settings file and the
// option "Hash" set it, the allocation may lower it).
extern int32_t HashEntries;

// Allocates and clears the tables at start-up: the transposition table, the
// evaluation's pawn hash and cache (eval/hashes.h) and the repetition table.
void AllocateHashTables();
// Releases the tables (the end of the program).
void FreeHashTables();

// Open for the tests; the engine calls it only inside search/hashtable.cpp.
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
