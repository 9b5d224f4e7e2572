// Registry of the tables: directory list, names and material keys, the hash
// from key to entry, the DTZ cache slots and the file mapping.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "board/zobrist.h"
#include "platform/platform.h"
#include "tablebases/tablebases.h"
#include "tablebases/tbdecompress.h"
#include "tablebases/tbindex.h"
#include "tablebases/tbregistry.h"

tb_entry_piece tb_piece[TBMAX_PIECE];
tb_entry_pawn tb_pawn[TBMAX_PAWN];
int32_t tb_num_piece = 0, tb_num_pawn = 0;
tb_hash_entry tb_hash[1 << TBHASHBITS][HSHMAX];
dtz_table_entry dtz_table[DTZ_ENTRIES];
int32_t tb_largest = 0;
int32_t tb_probe_limit = 0;
int32_t tb_initialized = 0;
int32_t tb_num_dirs = 0;
char tb_dirs[TBMAX_DIRS][TB_FILE_PATH_SIZE];

const uint8_t tb_engine_type[6] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING};
static const char tb_letters[] = "PNBRQK";  // by tablebase code 1..6
static int32_t tb_limit_reported = 0;

// Longest name plus its suffix: "KQRBvKNP" and ".rtbw", a '/' and the NUL.
static constexpr int LONGEST_FILE_NAME = 8 + 5 + 2;

uint64_t calc_key(int mirror) {
  static const int types[5] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN};
  uint64_t key = 0;
  for (int colour = WHITE; colour <= BLACK; colour++)
    for (int t : types) {
      int count = thread_board.PieceCount[t][mirror ? colour ^ 1 : colour];
      if (count > 63) count = 63;
      key ^= ZobristPieces[colour][t][count];
    }
  return key;
}

// Material key of the counts by tablebase code (1..6 first side, 9..14 second).
static uint64_t KeyOfCounts(const int* counts, int mirror) {
  uint64_t key = 0;
  for (int colour = WHITE; colour <= BLACK; colour++)
    for (int c = 1; c <= 5; c++) key ^= ZobristPieces[colour][tb_engine_type[c - 1]][counts[c + 8 * (colour ^ mirror)]];
  return key;
}

void make_tb_name(char* buffer, int mirror) {
  static const int order[5] = {QUEEN, ROOK, BISHOP, KNIGHT, PAWN};
  int n = 0;
  for (int half = 0; half < 2; half++) {
    int colour = half ^ mirror;
    if (half) buffer[n++] = 'v';
    buffer[n++] = 'K';
    for (int t : order)
      for (int k = 0; k < thread_board.PieceCount[t][colour] && n < TB_NAME_SIZE - 3; k++) buffer[n++] = PieceLetters[t];
  }
  buffer[n] = 0;
}

// Writes dir/name+suffix into path; 0 when it does not fit.
static int FormPath(char* path, int dir, const char* name, const char* suffix) {
  int n = snprintf(path, TB_FILE_PATH_SIZE, "%s/%s%s", tb_dirs[dir], name, suffix);
  return n > 0 && n < TB_FILE_PATH_SIZE;
}

static int FileInSomeDirectory(const char* name, const char* suffix) {
  char path[TB_FILE_PATH_SIZE];
  for (int d = 0; d < tb_num_dirs; d++)
    if (FormPath(path, d, name, suffix) && FileOpens(path)) return 1;
  return 0;
}

int map_file(const char* name, const char* suffix, const uint8_t** view, uint64_t* size) {
  char path[TB_FILE_PATH_SIZE];
  *view = nullptr;
  *size = 0;
  for (int d = 0; d < tb_num_dirs; d++) {
    if (!FormPath(path, d, name, suffix)) continue;
    const char* error;
    int result = MapFileView(path, view, size, &error);
    if (result == 0) continue;
    if (result < 0) {
      printf("info string Cannot map %s: %s; the table is not used.\n", path, error);
      fflush(stdout);
    }
    return result;
  }
  return 0;
}

void unmap_file(const uint8_t* view, uint64_t size) { UnmapFileView(view, size); }

void free_pairs(pairs_data** d) {
  if (*d == nullptr) return;
  free((*d)->symlen);
  free(*d);
  *d = nullptr;
}

void free_wdl_entry(tb_entry* entry) {
  unmap_file(entry->data, entry->size);
  entry->data = nullptr;
  entry->size = 0;
  entry->ready = 0;
  if (!entry->has_pawns) {
    tb_entry_piece* e = (tb_entry_piece*)entry;
    free_pairs(&e->precomp[0]);
    free_pairs(&e->precomp[1]);
  } else {
    tb_entry_pawn* e = (tb_entry_pawn*)entry;
    for (int f = 0; f < 4; f++) {
      free_pairs(&e->file[f].precomp[0]);
      free_pairs(&e->file[f].precomp[1]);
    }
  }
}

void free_dtz_entry(tb_entry* entry) {
  if (entry == nullptr) return;
  unmap_file(entry->data, entry->size);
  if (!entry->has_pawns) {
    free_pairs(&((dtz_entry_piece*)entry)->precomp);
  } else {
    dtz_entry_pawn* e = (dtz_entry_pawn*)entry;
    for (int f = 0; f < 4; f++) free_pairs(&e->file[f].precomp);
  }
  free(entry);
}

tb_hash_entry* find_tb_slot(uint64_t key) {
  tb_hash_entry* bucket = tb_hash[key >> (64 - TBHASHBITS)];
  for (int i = 0; i < HSHMAX; i++)
    if (bucket[i].ptr != nullptr && bucket[i].key == key) return &bucket[i];
  return nullptr;
}

static int FreeSlots(uint64_t key) {
  tb_hash_entry* bucket = tb_hash[key >> (64 - TBHASHBITS)];
  int n = 0;
  for (int i = 0; i < HSHMAX; i++) n += bucket[i].ptr == nullptr;
  return n;
}

static void InsertHash(uint64_t key, tb_entry* entry) {
  tb_hash_entry* bucket = tb_hash[key >> (64 - TBHASHBITS)];
  for (int i = 0; i < HSHMAX; i++)
    if (bucket[i].ptr == nullptr) {
      bucket[i].key = key;
      bucket[i].ptr = entry;
      return;
    }
}

// Prints a registry limit once per initialisation.
static void ReportLimit(const char* text) {
  if (tb_limit_reported) return;
  tb_limit_reported = 1;
  printf("info string %s Some tables are not used.\n", text);
  fflush(stdout);
}

// Registers the signature name when its WDL file is in some directory.
static void add_tablebase(const char* name) {
  // 1. The WDL file must be there; it is mapped on the first probe.
  if (!FileInSomeDirectory(name, ".rtbw")) return;
  // 2. Piece counts by tablebase code.
  int counts[16] = {0};
  int side = 0;
  for (const char* c = name; *c; c++) {
    if (*c == 'v') {
      side = 8;
      continue;
    }
    const char* letter = strchr(tb_letters, *c);
    if (letter != nullptr) counts[(letter - tb_letters) + 1 + side]++;
  }
  // 3. Keys, and room in the arrays and the hash.
  uint64_t key = KeyOfCounts(counts, 0), key2 = KeyOfCounts(counts, 1);
  int has_pawns = counts[1] + counts[9] > 0;
  if (has_pawns ? tb_num_pawn >= TBMAX_PAWN : tb_num_piece >= TBMAX_PIECE) {
    ReportLimit(has_pawns ? "TBMAX_PAWN limit too low!" : "TBMAX_PIECE limit too low!");
    return;
  }
  bool room = key == key2 ? FreeSlots(key) >= 1
                          : (key >> 54) == (key2 >> 54) ? FreeSlots(key) >= 2 : FreeSlots(key) >= 1 && FreeSlots(key2) >= 1;
  if (!room) {
    ReportLimit("HSHMAX too low!");
    return;
  }
  // 4. A cleared slot with its head.
  tb_entry* head;
  if (has_pawns) {
    tb_entry_pawn* e = &tb_pawn[tb_num_pawn++];
    memset(e, 0, sizeof *e);
    head = &e->head;
    // The side with the fewer pawns leads, white on a tie or when black has none.
    if (counts[9] > 0 && (counts[1] == 0 || counts[9] < counts[1])) {
      e->pawns[0] = (uint8_t)counts[9];
      e->pawns[1] = (uint8_t)counts[1];
    } else {
      e->pawns[0] = (uint8_t)counts[1];
      e->pawns[1] = (uint8_t)counts[9];
    }
  } else {
    tb_entry_piece* e = &tb_piece[tb_num_piece++];
    memset(e, 0, sizeof *e);
    head = &e->head;
    int unique = 0;
    for (int c = 0; c < 16; c++) unique += counts[c] == 1;
    e->enc_type = unique >= 3 ? 0 : 2;
  }
  int num = 0;
  for (int c = 0; c < 16; c++) num += counts[c];
  head->key = key;
  head->num = (uint8_t)num;
  head->symmetric = key == key2;
  head->has_pawns = (uint8_t)has_pawns;
  if (num >= tb_largest) tb_largest = num;
  // 5. Findable by both keys.
  InsertHash(key, head);
  if (key2 != key) InsertHash(key2, head);
}

// Releases everything and empties the registry.
void free_tablebases() {
  for (int i = 0; i < tb_num_piece; i++) free_wdl_entry(&tb_piece[i].head);
  for (int i = 0; i < tb_num_pawn; i++) free_wdl_entry(&tb_pawn[i].head);
  for (int i = 0; i < DTZ_ENTRIES; i++) {
    free_dtz_entry(dtz_table[i].entry);
    dtz_table[i] = {0, 0, nullptr};
  }
  tb_num_piece = tb_num_pawn = 0;
  tb_largest = 0;
  memset(tb_hash, 0, sizeof tb_hash);
  tb_num_dirs = 0;
}

// Cuts the list into directories: ';' and ':' separate, blanks, carriage
// returns and quotes around each are trimmed, empty ones skipped.
static void SplitDirectories(const char* path) {
  const char* p = path;
  while (*p) {
    const char* end = p;
    while (*end && *end != ';' && *end != ':') end++;
    const char* a = p;
    const char* b = end;
    while (a < b && strchr(" \t\r\n\"'", *a)) a++;
    while (b > a && strchr(" \t\r\n\"'", b[-1])) b--;
    size_t length = (size_t)(b - a);
    if (length > 0) {
      if (length + LONGEST_FILE_NAME > (size_t)TB_FILE_PATH_SIZE) {
        printf("info string Tablebase directory too long, skipped: %.40s...\n", a);
      } else if (tb_num_dirs >= TBMAX_DIRS) {
        printf("info string More than %d tablebase directories, skipped: %.*s\n", TBMAX_DIRS, (int)length, a);
      } else {
        memcpy(tb_dirs[tb_num_dirs], a, length);
        tb_dirs[tb_num_dirs][length] = 0;
        tb_num_dirs++;
      }
    }
    p = *end ? end + 1 : end;
  }
}

void init_tablebases(const char* path) {
  // 1. Release what an earlier list registered; build the index tables once.
  if (tb_initialized) {
    free_tablebases();
  } else {
    init_index_tables();
    tb_initialized = 1;
  }
  tb_limit_reported = 0;
  // 2. An empty list registers nothing.
  if (path == nullptr || path[0] == 0 || strcmp(path, "<empty>") == 0) return;
  // 3. The directories.
  SplitDirectories(path);
  // 4. Every material of 3 to 6 pieces under one name, each side's letters
  // in the order Q R B N P.
  static const char L[] = "QRBNP";
  char name[TB_NAME_SIZE];
  for (int i = 0; i < 5; i++) {
    snprintf(name, sizeof name, "K%cvK", L[i]);
    add_tablebase(name);
  }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++) {
      snprintf(name, sizeof name, "K%cvK%c", L[i], L[j]);
      add_tablebase(name);
    }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++) {
      snprintf(name, sizeof name, "K%c%cvK", L[i], L[j]);
      add_tablebase(name);
    }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++)
      for (int k = 0; k < 5; k++) {
        snprintf(name, sizeof name, "K%c%cvK%c", L[i], L[j], L[k]);
        add_tablebase(name);
      }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++)
      for (int k = j; k < 5; k++) {
        snprintf(name, sizeof name, "K%c%c%cvK", L[i], L[j], L[k]);
        add_tablebase(name);
      }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++)
      for (int k = i; k < 5; k++)
        for (int l = (k == i ? j : k); l < 5; l++) {
          snprintf(name, sizeof name, "K%c%cvK%c%c", L[i], L[j], L[k], L[l]);
          add_tablebase(name);
        }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++)
      for (int k = j; k < 5; k++)
        for (int l = 0; l < 5; l++) {
          snprintf(name, sizeof name, "K%c%c%cvK%c", L[i], L[j], L[k], L[l]);
          add_tablebase(name);
        }
  for (int i = 0; i < 5; i++)
    for (int j = i; j < 5; j++)
      for (int k = j; k < 5; k++)
        for (int l = k; l < 5; l++) {
          snprintf(name, sizeof name, "K%c%c%c%cvK", L[i], L[j], L[k], L[l]);
          add_tablebase(name);
        }
  printf("info string Found %d tablebases.\n", tb_num_piece + tb_num_pawn);
  fflush(stdout);
}

int tb_table_count() { return tb_num_piece + tb_num_pawn; }
