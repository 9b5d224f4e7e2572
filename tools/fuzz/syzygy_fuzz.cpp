// libFuzzer target of the Syzygy tables. The input is a table file behind
// its name on the first line ("KRvK.rtbw", "KQvKR.rtbz"): the bytes are
// written under that name into a directory of their own, the tables are
// looked for there and positions of the table's material are probed: WDL,
// DTZ and the two root filters. A DTZ table needs the WDL table of its
// material: the real one is linked in from $CORVATINE_SYZYGY when present.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/position.h"
#include "interface/gamecontrol.h"
#include "search/root.h"
#include "tablebases/tablebases.h"
#include "tools/fuzz/fuzz_support.h"

constexpr int PROBED_POSITIONS = 24;
constexpr int NAME_SIZE = 20;

static char TableDirectory[4096];

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  if (mkdir("tables", 0700) != 0 || getcwd(TableDirectory, sizeof TableDirectory - 8) == nullptr) abort();
  strcat(TableDirectory, "/tables");
  return 0;
}

// The table name of the first line: 'K', up to four piece letters, 'v',
// 'K', up to four piece letters, ".rtbw" or ".rtbz". Gives its length, or 0.
static size_t ReadTableName(const uint8_t* data, size_t size, char* name) {
  size_t length = 0;
  while (length < size && length < NAME_SIZE - 1 && data[length] != '\n') length++;
  if (length >= size || data[length] != '\n' || length < 9) return 0;
  memcpy(name, data, length);
  name[length] = 0;
  const size_t stem = length - 5;
  if (strcmp(name + stem, ".rtbw") != 0 && strcmp(name + stem, ".rtbz") != 0) return 0;
  int sides = 0, pieces = 0;
  for (size_t i = 0; i < stem; i++) {
    const char c = name[i];
    if (c == 'K') {
      if (sides == 2 || (i > 0 && name[i - 1] != 'v')) return 0;
      sides++;
    } else if (c == 'v') {
      if (sides != 1) return 0;
    } else if (strchr("QRBNP", c) == nullptr || ++pieces > 4) {
      return 0;
    }
  }
  return sides == 2 && name[0] == 'K' ? length : 0;
}

// Puts the pieces of the material on squares drawn from seed; pawns stay off
// the first and last ranks. Gives 0 when the material does not fit.
static int WriteRandomFen(const char* stem, uint32_t seed, char* fen) {
  char board[64];
  memset(board, 0, sizeof board);
  int white = 1;
  for (const char* p = stem; *p != 0 && *p != '.'; p++) {
    if (*p == 'v') {
      white = 0;
      continue;
    }
    int square;
    int tries = 0;
    do {
      seed = seed * 1664525u + 1013904223u;
      square = (int)(seed >> 26);
      if (++tries > 200) return 0;
    } while (board[square] != 0 || (*p == 'P' && (square < 8 || square >= 56)));
    board[square] = white ? *p : (char)(*p + 32);
  }
  int n = 0;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      const char c = board[rank * 8 + file];
      if (c == 0) {
        empty++;
        continue;
      }
      if (empty > 0) fen[n++] = (char)('0' + empty);
      empty = 0;
      fen[n++] = c;
    }
    if (empty > 0) fen[n++] = (char)('0' + empty);
    if (rank > 0) fen[n++] = '/';
  }
  snprintf(fen + n, 16, " %c - - 0 1", seed & 1 ? 'b' : 'w');
  return 1;
}

static void ProbePosition() {
  int success;
  probe_wdl(&success);
  probe_dtz(&success);
  MoveStackTop = 0;
  if (!GenerateRootMoves()) {
    int score;
    root_probe(&score);
    MoveStackTop = 0;
    GenerateRootMoves();
    root_probe_wdl(&score);
  }
  MoveStackTop = 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char name[NAME_SIZE], path[4200], stem[NAME_SIZE];
  const size_t length = ReadTableName(data, size, name);
  if (length == 0) return 0;
  memcpy(stem, name, length - 5);
  stem[length - 5] = 0;
  // 1. The directory holds this one table (and the real WDL table of a DTZ table).
  free_tablebases();
  snprintf(path, sizeof path, "%s/%s", TableDirectory, name);
  FuzzWriteFile(path, data + length + 1, size - length - 1);
  const char* shared = getenv("CORVATINE_SYZYGY");
  char wdl[4200];
  snprintf(wdl, sizeof wdl, "%s/%s.rtbw", TableDirectory, stem);
  if (name[length - 1] == 'z' && shared != nullptr) {
    char real[4200];
    snprintf(real, sizeof real, "%s/%s.rtbw", shared, stem);
    if (symlink(real, wdl) != 0) abort();
  }
  init_tablebases(TableDirectory);
  tb_probe_limit = tb_largest;
  // 2. Positions of the material, each side to move.
  char fen[128];
  for (uint32_t i = 0; i < PROBED_POSITIONS; i++) {
    NewGame();
    if (!WriteRandomFen(stem, i * 7919u + 17u, fen) || !SetGameFenPosition(fen)) continue;
    ProbePosition();
  }
  // 3. Nothing stays mapped or linked for the next input.
  free_tablebases();
  unlink(path);
  if (name[length - 1] == 'z') unlink(wdl);
  NewGame();
  return 0;
}
