// Syzygy tablebases, inside view: the limits and the records of table entries
// and decoders shared by the tablebase files. The registry, the index
// encoders and the decompression declare their own globals and functions
// (tbregistry.h, tbindex.h, tbdecompress.h).
#pragma once
#include <cstdint>

constexpr int TBPIECES = 6;         // largest table supported (7-piece files are ignored)
constexpr int TBMAX_PIECE = 254;    // pawnless WDL tables
constexpr int TBMAX_PAWN = 256;     // WDL tables with pawns
constexpr int TBHASHBITS = 10;
constexpr int HSHMAX = 5;           // slots per hash bucket
constexpr int DTZ_ENTRIES = 64;     // DTZ cache slots
constexpr int TBMAX_DIRS = 64;      // directories of one list
constexpr int TB_NAME_SIZE = 16;    // "KQRBvKNP" and the like, with room to spare
constexpr int TB_FILE_PATH_SIZE = 256;
constexpr int TB_DIR_STRING_SIZE = 1024;

// One Huffman decoder of a table half. Pointers point into the mapped file;
// every area was checked against the file size when the decoder was built.
struct pairs_data {
  const uint8_t* indextable;  // 6 bytes an entry: u32 block, u16 offset
  const uint8_t* sizetable;   // u16 per block: values in the block minus one
  const uint8_t* data;        // compressed blocks
  const uint8_t* offset;      // u16 per code length from min_len: first symbol of that length
  const uint8_t* sympat;      // 3 bytes per symbol
  uint8_t* symlen;            // per symbol: values it stands for minus one
  uint64_t index_entries;     // entries of indextable
  uint64_t data_size;         // bytes of the data area
  uint32_t num_blocks;        // entries of sizetable
  uint32_t real_num_blocks;   // blocks with data
  uint32_t num_syms;
  int32_t blocksize;          // log2 of the block size in bytes
  int32_t idxbits;            // log2 of the index spacing; 0 for a single value
  int32_t min_len;            // shortest code; the value of a single-value half
  int32_t max_len;
  uint64_t base[1];           // max_len - min_len + 1 words (allocated past the record)
};

// Head of every table entry. size is the mapped length, kept for unmapping.
struct tb_entry {
  const uint8_t* data;
  uint64_t key;
  uint64_t size;
  uint8_t ready;
  uint8_t num;
  uint8_t symmetric;
  uint8_t has_pawns;
  uint8_t dtz_failed;  // the DTZ file was missing or refused: not tried again
};

struct tb_entry_piece {
  tb_entry head;
  uint8_t enc_type;
  pairs_data* precomp[2];
  int32_t factor[2][TBPIECES];
  uint8_t pieces[2][TBPIECES];
  uint8_t norm[2][TBPIECES];
};

struct tb_pawn_file {
  pairs_data* precomp[2];
  int32_t factor[2][TBPIECES];
  uint8_t pieces[2][TBPIECES];
  uint8_t norm[2][TBPIECES];
};

struct tb_entry_pawn {
  tb_entry head;
  uint8_t pawns[2];
  tb_pawn_file file[4];
};

struct dtz_entry_piece {
  tb_entry head;
  uint8_t enc_type;
  pairs_data* precomp;
  int32_t factor[TBPIECES];
  uint8_t pieces[TBPIECES];
  uint8_t norm[TBPIECES];
  uint8_t flags;
  uint16_t map_idx[4];
  uint8_t map_len[4];
  const uint8_t* map;
};

struct dtz_pawn_file {
  pairs_data* precomp;
  int32_t factor[TBPIECES];
  uint8_t pieces[TBPIECES];
  uint8_t norm[TBPIECES];
};

struct dtz_entry_pawn {
  tb_entry head;
  uint8_t pawns[2];
  dtz_pawn_file file[4];
  uint8_t flags[4];
  uint16_t map_idx[4][4];
  uint8_t map_len[4][4];
  const uint8_t* map;
};

struct tb_hash_entry {
  uint64_t key;
  tb_entry* ptr;
};

struct dtz_table_entry {
  uint64_t key1;
  uint64_t key2;
  tb_entry* entry;
};
