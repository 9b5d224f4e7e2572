// The table headers and the pairs decompression of the tablebase files.
#pragma once
#include <cstdint>
#include "tablebases/tbcore.h"

int init_table_wdl(tb_entry* entry, const char* name);
int init_table_dtz(tb_entry* entry, const char* name);
// The stored byte at index, or -1 when the data turns out corrupt.
int decompress_pairs(const pairs_data* d, uint64_t idx);
