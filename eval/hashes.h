// The evaluation's two hash tables: the pawn hash (pawn-structure results by
// PawnKey) and the evaluation cache (full evaluations by position key).
#pragma once
#include <cstdint>
#include "board/pawnentry.h"

struct EvalHashEntry;

// Sizes in entries: the settings file and the option "PawnHash" set them,
// the allocation may lower them to what memory allows.
extern int32_t PawnHashEntries;
extern int32_t EvalHashEntries;

// The tables, each with 2 spare entries; a size below one entry is raised to
// one when the table is allocated, a size that cannot be had falls back to a
// smaller one.
extern EvalHashEntry* EvalHashTable;
extern PawnHashEntry* PawnHashTable;
// Entries each table was allocated with (the size setting at the time);
// indexes are taken modulo these so they never leave the table.
extern int32_t EvalHashAllocated;
extern int32_t PawnHashAllocated;

void AllocatePawnHash();
void AllocateEvalHash();
// Zero fill with the first key all ones; the pawn hash also empties the
// one-entry pawn block in front of it.
void ClearPawnHash();
void ClearEvalHash();
// Releases both tables.
void FreeEvaluationHashes();
