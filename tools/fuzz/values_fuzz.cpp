// libFuzzer target of the parameter file "values.txt": the file is read, its
// values repaired by the sanity pass and the tables derived from them built;
// then positions of every phase are evaluated and one is searched. Values a
// file does not give stay as they were, so the compiled-in set is read back
// (without building the tables from it) before each input: every input
// starts from the same parameters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/params.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/hashtable.h"
#include "search/limits.h"
#include "search/think.h"
#include "tools/fuzz/fuzz_support.h"

static const char* const POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 9",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/4k3/8/2KP4/8/8/8 w - - 0 1",
    "8/8/8/3k4/8/8/2KBN3/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/r4PPP/1R4K1 b - - 0 1",
    "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1",
    "3qk3/8/8/8/8/8/8/3QK3 b - - 0 1",
    "8/5k2/8/8/8/8/1p6/5K2 b - - 0 1",
};

static void CopyFile(const char* from, const char* to) {
  FILE* in = fopen(from, "rb");
  FILE* out = fopen(to, "wb");
  if (in == nullptr || out == nullptr) abort();
  char buffer[65536];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (fwrite(buffer, 1, count, out) != count) abort();
  }
  fclose(in);
  fclose(out);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  if (!WriteValuesFile("compiled-values.txt")) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<int32_t> matrix54(MATRIX54_SIZE * MATRIX54_SIZE), matrix486(MATRIX486_SIZE * MATRIX486_SIZE),
      scale(MATRIX486_SIZE * MATRIX486_SIZE);
  CopyFile("compiled-values.txt", "values.txt");
  ReadValuesFile(matrix54.data(), matrix486.data(), scale.data());
  FuzzWriteFile("values.txt", data, size);
  LoadEvaluationValues();
  ClearEvalHash();
  ClearPawnHash();
  for (const char* fen : POSITIONS) {
    if (!SetGameFenPosition(fen)) abort();
    int32_t score = 0;
    EvaluatePosition(&score);
  }
  NewGame();
  if (!SetGameFenPosition(POSITIONS[size % (sizeof POSITIONS / sizeof POSITIONS[0])])) abort();
  PonderOn = 0;
  Limits.DepthLimit = 3;
  Think();
  return 0;
}
