// Table headers and pairs decompression. A mapped file is parsed once: its
// piece orders give the index factors, each table half gets a Huffman
// decoder whose pointers point into the mapping. Every area, count and
// offset is checked against the file size and the table's name, so that a
// corrupt or truncated file is refused instead of read out of bounds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "tablebases/tbdecompress.h"
#include "tablebases/tbindex.h"
#include "tablebases/tbregistry.h"

static const uint8_t WDL_MAGIC[4] = {0x71, 0xE8, 0x23, 0x5D};
static const uint8_t DTZ_MAGIC[4] = {0xD7, 0x66, 0x0C, 0xA5};
constexpr int MAX_CODE_LENGTH = 32;  // the bit reader keeps 32 bits ahead
constexpr int MAX_SYMBOLS = 4096;    // symbol numbers have 12 bits

static uint32_t Read16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static uint32_t Read32(const uint8_t* p) { return Read16(p) | Read16(p + 2) << 16; }

// A position in the file that knows the file's end.
struct FileCursor {
  const uint8_t* data;
  uint64_t size;
  uint64_t pos;
  bool bad;
  // 1 when n bytes from the position lie inside the file.
  bool Has(uint64_t n) {
    if (bad || pos > size || n > size - pos) bad = true;
    return !bad;
  }
  void Align(uint64_t to) { pos = (pos + to - 1) & ~(to - 1); }
  // Takes an area of n bytes; nullptr (and bad) when it runs past the end.
  const uint8_t* Take(uint64_t n) {
    if (!Has(n)) return nullptr;
    const uint8_t* p = data + pos;
    pos += n;
    return p;
  }
};

// Symbol lengths with a guard against patterns that refer to themselves:
// state 1 marks a symbol in progress, 2 a finished one.
static bool CalcSymlen(pairs_data* d, uint32_t s, uint8_t* state, int depth) {
  if (depth > MAX_SYMBOLS) return false;
  state[s] = 1;
  const uint8_t* w = d->sympat + 3 * s;
  uint32_t s2 = (uint32_t)(w[2] << 4) | (w[1] >> 4);
  if (s2 == 0xFFF) {
    d->symlen[s] = 0;
  } else {
    uint32_t s1 = (uint32_t)((w[1] & 0xF) << 8) | w[0];
    if (s1 >= d->num_syms || s2 >= d->num_syms) return false;
    for (uint32_t c : {s1, s2}) {
      if (state[c] == 1) return false;
      if (state[c] == 0 && !CalcSymlen(d, c, state, depth + 1)) return false;
    }
    int length = d->symlen[s1] + d->symlen[s2] + 1;
    if (length > 255) return false;
    d->symlen[s] = (uint8_t)length;
  }
  state[s] = 2;
  return true;
}

// Builds the decoder of the half whose header starts at the cursor; nullptr
// when the header is corrupt. sizes gets the index, size and data areas.
static pairs_data* setup_pairs(FileCursor& c, uint64_t tb_size, uint64_t* sizes, uint8_t* flags, int wdl) {
  sizes[0] = sizes[1] = sizes[2] = 0;
  if (!c.Has(2)) return nullptr;
  const uint8_t* p = c.data + c.pos;
  *flags = p[0];
  // 1. A half that holds a single value.
  if (p[0] & 0x80) {
    if (wdl && p[1] > 4) return nullptr;
    pairs_data* d = (pairs_data*)calloc(1, sizeof(pairs_data));
    if (d == nullptr) return nullptr;
    d->min_len = wdl ? p[1] : 0;
    c.pos += 2;
    return d;
  }
  // 2. The fixed fields.
  if (!c.Has(12)) return nullptr;
  int blocksize = p[1], idxbits = p[2];
  uint64_t real_num_blocks = Read32(p + 4), num_blocks = real_num_blocks + p[3];
  int max_len = p[8], min_len = p[9];
  if (blocksize < 3 || blocksize > 24 || idxbits < 1 || idxbits > 40 || min_len < 1 || max_len < min_len ||
      max_len > MAX_CODE_LENGTH || num_blocks > 0xFFFFFFFFULL)
    return nullptr;
  int h = max_len - min_len + 1;
  if (!c.Has(12 + 2 * (uint64_t)h)) return nullptr;
  uint32_t num_syms = Read16(p + 10 + 2 * h);
  if (num_syms == 0 || num_syms > MAX_SYMBOLS) return nullptr;
  uint64_t header = 12 + 2 * (uint64_t)h + 3 * (uint64_t)num_syms + (num_syms & 1);
  if (!c.Has(header)) return nullptr;
  // 3. The record with its base words and symbol lengths.
  pairs_data* d = (pairs_data*)calloc(1, sizeof(pairs_data) + (size_t)h * sizeof(uint64_t));
  uint8_t* symlen = (uint8_t*)calloc(num_syms, 1);
  if (d == nullptr || symlen == nullptr) {
    free(d);
    free(symlen);
    return nullptr;
  }
  d->symlen = symlen;
  d->blocksize = blocksize;
  d->idxbits = idxbits;
  d->min_len = min_len;
  d->max_len = max_len;
  d->num_syms = num_syms;
  d->num_blocks = (uint32_t)num_blocks;
  d->real_num_blocks = (uint32_t)real_num_blocks;
  d->offset = p + 10;
  d->sympat = p + 12 + 2 * h;
  d->index_entries = (tb_size + (1ULL << idxbits) - 1) >> idxbits;
  d->data_size = real_num_blocks << blocksize;
  sizes[0] = 6 * d->index_entries;
  sizes[1] = 2 * num_blocks;
  sizes[2] = d->data_size;
  // 4. Symbol lengths.
  static uint8_t state[MAX_SYMBOLS];
  memset(state, 0, num_syms);
  for (uint32_t s = 0; s < num_syms; s++)
    if (state[s] == 0 && !CalcSymlen(d, s, state, 0)) {
      pairs_data* bad = d;
      free_pairs(&bad);
      return nullptr;
    }
  // 5. Canonical Huffman limits, left-aligned in 64 bits.
  d->base[h - 1] = 0;
  for (int i = h - 2; i >= 0; i--)
    d->base[i] = (d->base[i + 1] + Read16(d->offset + 2 * i) - Read16(d->offset + 2 * (i + 1))) / 2;
  for (int i = 0; i < h; i++) d->base[i] <<= 64 - (min_len + i);
  c.pos += header;
  return d;
}

// Reads 32 bits big-endian; zeros past the end of the data area.
static uint32_t ReadBits32(const uint8_t* p, const uint8_t* end) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v = v << 8 | (p + i < end ? p[i] : 0);
  return v;
}

int decompress_pairs(const pairs_data* d, uint64_t idx) {
  // 1. A single value.
  if (d->idxbits == 0) return d->min_len;
  // 2. The index entry next to idx.
  uint64_t mainidx = idx >> d->idxbits;
  if (mainidx >= d->index_entries) return -1;
  int64_t litidx = (int64_t)(idx & ((1ULL << d->idxbits) - 1)) - (int64_t)(1ULL << (d->idxbits - 1));
  const uint8_t* entry = d->indextable + 6 * mainidx;
  int64_t block = Read32(entry);
  litidx += Read16(entry + 4);
  // A block past the size table is damage: the walk below reads its sizes.
  if (block >= d->num_blocks) return -1;
  // 3. Walk to the block that holds the value.
  while (litidx < 0) {
    if (--block < 0) return -1;
    litidx += Read16(d->sizetable + 2 * block) + 1;
  }
  for (;;) {
    if (block >= d->num_blocks) return -1;
    int64_t count = Read16(d->sizetable + 2 * block);
    if (litidx <= count) break;
    litidx -= count + 1;
    block++;
  }
  if (block >= d->real_num_blocks) return -1;
  // 4. Decode symbols until the one that covers litidx.
  const uint8_t* end = d->data + d->data_size;
  const uint8_t* ptr = d->data + ((uint64_t)block << d->blocksize);
  uint64_t code = (uint64_t)ReadBits32(ptr, end) << 32 | ReadBits32(ptr + 4, end);
  ptr += 8;
  int bitcnt = 0;
  uint32_t sym;
  for (;;) {
    int l = d->min_len;
    while (l < d->max_len && code < d->base[l - d->min_len]) l++;
    uint64_t first = Read16(d->offset + 2 * (l - d->min_len));
    uint64_t s = first + ((code - d->base[l - d->min_len]) >> (64 - l));
    if (s >= d->num_syms) return -1;
    sym = (uint32_t)s;
    if (litidx <= d->symlen[sym]) break;
    litidx -= d->symlen[sym] + 1;
    code <<= l;
    bitcnt += l;
    if (bitcnt >= 32) {
      bitcnt -= 32;
      if (ptr < end) {
        code |= (uint64_t)ReadBits32(ptr, end) << bitcnt;
        ptr += 4;
      }
    }
  }
  // 5. Descend the symbol's pairs to the one value.
  while (d->symlen[sym] != 0) {
    const uint8_t* w = d->sympat + 3 * sym;
    uint32_t s1 = (uint32_t)((w[1] & 0xF) << 8) | w[0];
    uint32_t s2 = (uint32_t)(w[2] << 4) | (w[1] >> 4);
    if (litidx <= d->symlen[s1]) {
      sym = s1;
    } else {
      litidx -= d->symlen[s1] + 1;
      sym = s2;
    }
  }
  return d->sympat[3 * sym];
}

// Counts of the tablebase codes in a name (first side 1..6, second 9..14).
static void NameCounts(const char* name, int* counts) {
  static const char letters[] = "PNBRQK";
  memset(counts, 0, 16 * sizeof(int));
  int side = 0;
  for (const char* c = name; *c; c++) {
    if (*c == 'v') side = 8;
    const char* letter = strchr(letters, *c);
    if (letter != nullptr && *c) counts[(letter - letters) + 1 + side]++;
  }
}

// 1 when the piece list holds exactly the pieces of the name.
static bool PiecesMatchName(const uint8_t* pieces, int num, const int* counts) {
  int seen[16] = {0};
  for (int i = 0; i < num; i++) {
    int code = pieces[i];
    if ((code & 7) == 0 || (code & 7) == 7) return false;
    seen[code]++;
  }
  for (int code = 0; code < 16; code++)
    if (seen[code] != counts[code]) return false;
  return true;
}

// 1 when the pawn groups of a pawn table's list come first, as its leading
// pawns and then the other side's pawns.
static bool PawnGroupsValid(const uint8_t* pieces, const uint8_t* pawns, const int* counts) {
  int lead = pieces[0];
  if ((lead & 7) != 1 || counts[lead] != pawns[0]) return false;
  for (int i = 1; i < pawns[0]; i++)
    if (pieces[i] != lead) return false;
  if (pawns[1] > 0) {
    int other = pieces[pawns[0]];
    if (other != (lead ^ 8) || counts[other] != pawns[1]) return false;
    for (int i = pawns[0]; i < pawns[0] + pawns[1]; i++)
      if (pieces[i] != other) return false;
  }
  return true;
}

static void Refuse(const char* name, const char* suffix) {
  printf("info string Corrupted table %s%s; the table is not used.\n", name, suffix);
  fflush(stdout);
}

// Piece lists, norms and factors of one side of a pawnless table.
static bool ReadPieceSide(const uint8_t* p, int num, int shift, int enc_type, uint8_t* pieces, uint8_t* norm,
                          int32_t* factor, const int* counts, uint64_t* tb_size) {
  int order = (p[0] >> shift) & 15;
  for (int i = 0; i < num; i++) pieces[i] = (uint8_t)((p[i + 1] >> shift) & 15);
  if (!PiecesMatchName(pieces, num, counts)) return false;
  if (enc_type == 0)
    for (int i = 0; i < 3; i++)
      if (counts[pieces[i]] != 1) return false;
  if (!set_norm_piece(num, enc_type, norm, pieces)) return false;
  *tb_size = calc_factors_piece(factor, num, order, norm, enc_type);
  return *tb_size != 0;
}

// The same for one side of one file of a pawn table.
static bool ReadPawnSide(const uint8_t* p, int num, int shift, int has_order2, const uint8_t* pawns, int file,
                         uint8_t* pieces, uint8_t* norm, int32_t* factor, const int* counts, uint64_t* tb_size) {
  int order = (p[0] >> shift) & 15;
  int order2 = has_order2 ? (p[1] >> shift) & 15 : 15;
  const uint8_t* list = p + 1 + has_order2;
  for (int i = 0; i < num; i++) pieces[i] = (uint8_t)((list[i] >> shift) & 15);
  if (!PiecesMatchName(pieces, num, counts) || !PawnGroupsValid(pieces, pawns, counts)) return false;
  if ((order2 < 15) != (pawns[1] > 0)) return false;
  if (!set_norm_pawn(num, pawns, norm, pieces)) return false;
  *tb_size = calc_factors_pawn(factor, num, order, order2, norm, file);
  return *tb_size != 0;
}

// Places the index, size and data areas of the decoders in file order.
static bool PlaceAreas(FileCursor& c, pairs_data** d, uint64_t (*sizes)[3], int n) {
  for (int i = 0; i < n; i++) d[i]->indextable = c.Take(sizes[i][0]);
  for (int i = 0; i < n; i++) d[i]->sizetable = c.Take(sizes[i][1]);
  for (int i = 0; i < n; i++) {
    c.Align(64);
    d[i]->data = c.Take(sizes[i][2]);
  }
  return !c.bad;
}

// Parses the WDL file of a registered entry; 0 (with a message) when it is
// missing or refused, the entry then holds no mapping.
int init_table_wdl(tb_entry* entry, const char* name) {
  // 1. Map the file.
  int mapped = map_file(name, ".rtbw", &entry->data, &entry->size);
  if (mapped == 0) printf("Could not find %s.rtbw\n", name);
  if (mapped <= 0) {
    fflush(stdout);
    return 0;
  }
  FileCursor c = {entry->data, entry->size, 0, false};
  int counts[16];
  NameCounts(name, counts);
  bool ok = c.Has(5) && memcmp(entry->data, WDL_MAGIC, 4) == 0;
  if (!ok) {
    puts("Corrupted table.");
  } else {
    // 2. The layout must be the one the name asks for.
    int split = entry->data[4] & 1, files = entry->data[4] & 2 ? 4 : 1;
    ok = (files == 4) == (entry->has_pawns != 0) && split == !entry->symmetric;
    c.pos = 5;
    int num = entry->num, sides = split ? 2 : 1;
    pairs_data* d[8] = {nullptr};
    uint64_t sizes[8][3];
    uint64_t tb_size[8];
    // 3. Piece records.
    if (ok && !entry->has_pawns) {
      tb_entry_piece* e = (tb_entry_piece*)entry;
      const uint8_t* p = c.Take((uint64_t)num + 1);
      for (int s = 0; ok && p != nullptr && s < sides; s++)
        ok = ReadPieceSide(p, num, 4 * s, e->enc_type, e->pieces[s], e->norm[s], e->factor[s], counts, &tb_size[s]);
      ok = ok && p != nullptr;
    } else if (ok) {
      tb_entry_pawn* e = (tb_entry_pawn*)entry;
      int has_order2 = e->pawns[1] > 0;
      for (int f = 0; ok && f < 4; f++) {
        const uint8_t* p = c.Take((uint64_t)num + 1 + has_order2);
        ok = p != nullptr;
        for (int s = 0; ok && s < sides; s++)
          ok = ReadPawnSide(p, num, 4 * s, has_order2, e->pawns, f, e->file[f].pieces[s], e->file[f].norm[s],
                            e->file[f].factor[s], counts, &tb_size[2 * f + s]);
      }
    }
    // 4. Decoders, then the areas in file order.
    c.Align(2);
    int n = 0;
    for (int f = 0; ok && f < files; f++)
      for (int s = 0; ok && s < sides; s++, n++) {
        uint8_t flags;
        d[n] = setup_pairs(c, tb_size[entry->has_pawns ? 2 * f + s : s], sizes[n], &flags, 1);
        ok = d[n] != nullptr;
      }
    ok = ok && PlaceAreas(c, d, sizes, n);
    if (ok) {
      if (!entry->has_pawns) {
        tb_entry_piece* e = (tb_entry_piece*)entry;
        e->precomp[0] = d[0];
        e->precomp[1] = sides == 2 ? d[1] : nullptr;
      } else {
        tb_entry_pawn* e = (tb_entry_pawn*)entry;
        for (int f = 0; f < 4; f++) {
          e->file[f].precomp[0] = d[sides * f];
          e->file[f].precomp[1] = sides == 2 ? d[sides * f + 1] : nullptr;
        }
      }
      return 1;
    }
    for (int i = 0; i < 8; i++) free_pairs(&d[i]);
    Refuse(name, ".rtbw");
  }
  unmap_file(entry->data, entry->size);
  entry->data = nullptr;
  entry->size = 0;
  return 0;
}

// Parses a mapped DTZ file; 0 (with a message when it is corrupt) when it
// cannot be used. The caller releases the entry then.
int init_table_dtz(tb_entry* entry, const char* name) {
  if (entry->data == nullptr) return 0;
  FileCursor c = {entry->data, entry->size, 0, false};
  if (!c.Has(5) || memcmp(entry->data, DTZ_MAGIC, 4) != 0) {
    puts("Corrupted table.");
    fflush(stdout);
    return 0;
  }
  int counts[16];
  NameCounts(name, counts);
  int files = entry->data[4] & 2 ? 4 : 1, num = entry->num;
  bool ok = (files == 4) == (entry->has_pawns != 0);
  c.pos = 5;
  uint64_t tb_size[4];
  pairs_data* d[4] = {nullptr};
  uint64_t sizes[4][3];
  uint8_t flags[4] = {0};
  // 1. Piece records (one side).
  if (ok && !entry->has_pawns) {
    dtz_entry_piece* e = (dtz_entry_piece*)entry;
    const uint8_t* p = c.Take((uint64_t)num + 1);
    ok = p != nullptr && ReadPieceSide(p, num, 0, e->enc_type, e->pieces, e->norm, e->factor, counts, &tb_size[0]);
  } else if (ok) {
    dtz_entry_pawn* e = (dtz_entry_pawn*)entry;
    int has_order2 = e->pawns[1] > 0;
    for (int f = 0; ok && f < 4; f++) {
      const uint8_t* p = c.Take((uint64_t)num + 1 + has_order2);
      ok = p != nullptr && ReadPawnSide(p, num, 0, has_order2, e->pawns, f, e->file[f].pieces, e->file[f].norm,
                                        e->file[f].factor, counts, &tb_size[f]);
    }
  }
  // 2. One decoder per file.
  c.Align(2);
  for (int f = 0; ok && f < files; f++) {
    d[f] = setup_pairs(c, tb_size[f], sizes[f], &flags[f], 0);
    ok = d[f] != nullptr;
  }
  // 3. The value maps: four lists per file that has them.
  const uint8_t* map = c.data + (c.pos <= c.size ? c.pos : c.size);
  uint16_t map_idx[4][4] = {{0}};
  uint8_t map_len[4][4] = {{0}};
  for (int f = 0; ok && f < files; f++) {
    if (!(flags[f] & 2)) continue;
    for (int i = 0; ok && i < 4; i++) {
      const uint8_t* length = c.Take(1);
      ok = length != nullptr;
      if (!ok) break;
      uint64_t from_map = c.pos - (uint64_t)(map - c.data);
      ok = from_map <= 0xFFFF && c.Take(*length) != nullptr;
      map_idx[f][i] = (uint16_t)from_map;
      map_len[f][i] = *length;
    }
  }
  c.Align(2);
  // 4. Index tables, size tables, data.
  ok = ok && PlaceAreas(c, d, sizes, files);
  if (!ok) {
    for (int i = 0; i < 4; i++) free_pairs(&d[i]);
    Refuse(name, ".rtbz");
    return 0;
  }
  if (!entry->has_pawns) {
    dtz_entry_piece* e = (dtz_entry_piece*)entry;
    e->precomp = d[0];
    e->flags = flags[0];
    e->map = map;
    memcpy(e->map_idx, map_idx[0], sizeof e->map_idx);
    memcpy(e->map_len, map_len[0], sizeof e->map_len);
  } else {
    dtz_entry_pawn* e = (dtz_entry_pawn*)entry;
    for (int f = 0; f < 4; f++) {
      e->file[f].precomp = d[f];
      e->flags[f] = flags[f];
    }
    e->map = map;
    memcpy(e->map_idx, map_idx, sizeof e->map_idx);
    memcpy(e->map_len, map_len, sizeof e->map_len);
  }
  return 1;
}
