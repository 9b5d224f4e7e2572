// Syzygy endgame tablebases: the registry of the tables found in a list of
// directories, and the probes that the search and its root use.
#pragma once
#include <cstdint>

extern int32_t tb_largest;      // most pieces of a registered table, 0 without tables
extern int32_t tb_probe_limit;  // most pieces the search may probe (set by the callers)

// (Re)builds the registry from a directory list: directories split on ';' or
// ':', blanks, carriage returns and quotes around each trimmed; "" and
// "<empty>" leave the registry empty. Prints "info string Found %d tablebases."
void init_tablebases(const char* path);
// Releases every mapping and decoder (the registry stays empty afterwards).
void free_tablebases();

// Win/draw/loss of the current position for the side to move: -2 loss, -1
// blessed loss, 0 draw, 1 cursed win, 2 win. *success 0 means no answer.
int probe_wdl(int* success);
// Distance to the next zeroing move in plies, signed like the WDL value
// (100 added for cursed wins and blessed losses). *success 0: no answer.
int probe_dtz(int* success);
// Filters the root list (MoveStack[0 .. MoveStackTop - 1] with RootScores
// and RootGivesCheck) by DTZ or by WDL; 1 with the root score in *score, 0
// when a probe failed (the list is then as it was).
int root_probe(int* score);
int root_probe_wdl(int* score);

// Open for the tests; the engine calls it only inside tablebases/tbregistry.cpp.
// "egtbstat" and the tests: counts of the registry.
int tb_table_count();
