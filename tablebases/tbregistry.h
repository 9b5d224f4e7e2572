// The registry of the tablebase files: the table entries found, their hash
// buckets, the DTZ cache, the directory list, and the file mapping.
#pragma once
#include <cstdint>
#include "tablebases/tbcore.h"

extern tb_entry_piece tb_piece[TBMAX_PIECE];
extern tb_entry_pawn tb_pawn[TBMAX_PAWN];
extern int32_t tb_num_piece, tb_num_pawn;
extern tb_hash_entry tb_hash[1 << TBHASHBITS][HSHMAX];
extern dtz_table_entry dtz_table[DTZ_ENTRIES];
extern int32_t tb_largest;
extern int32_t tb_initialized;
extern int32_t tb_num_dirs;
extern char tb_dirs[TBMAX_DIRS][TB_FILE_PATH_SIZE];

extern const uint8_t tb_engine_type[6];  // engine piece code of tablebase codes 1..6

uint64_t calc_key(int mirror);
void make_tb_name(char* buffer, int mirror);
// Maps name + suffix from the first directory that has it: 1 mapped, 0 in no
// directory, -1 found but not mappable (reported).
int map_file(const char* name, const char* suffix, const uint8_t** view, uint64_t* size);
void unmap_file(const uint8_t* view, uint64_t size);
void free_wdl_entry(tb_entry* entry);
void free_dtz_entry(tb_entry* entry);
tb_hash_entry* find_tb_slot(uint64_t key);
void free_pairs(pairs_data** d);
