#include "tools/fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "eval/hashes.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "interface/startup.h"
#include "search/tokens.h"
#include "platform/exit.h"
#include "search/hashtable.h"
#include "search/limits.h"
#include "search/repetition.h"
#include "search/think.h"
#include "search/transposition.h"

jmp_buf FuzzExitJump;
int FuzzExitArmed = 0;

// The real functions behind the wrapped ones (the linker's --wrap names).
extern "C" int __real__Z10RootSearchv();
extern "C" int __real__Z15RootSearchFixedi(int depthLimit);
extern "C" int __real__Z17RootSearchMultiPVi(int depthLimit);
extern "C" void __real__Z5Perfti(int depth);
extern "C" void __real__Z13SetHashSizeMbi(int mb);
extern "C" void __real__Z17SetPawnHashSizeMbi(int mb);
extern "C" void __real__Z8OpenBookPKc(const char* path);
extern "C" void __real__Z15EvaluateEpdFilePKc(const char* path);

extern "C" [[noreturn]] void __real_exit(int code);
extern "C" void __real__Z14FreeHashTablesv();

// ExitProgram (with the release step ReleaseProgram) frees the tables, closes
// the files and calls exit: while a target has armed the
// jump, the exit returns to the target instead. The hash tables, which the
// program frees on its way out, are kept for the next input.
extern "C" [[noreturn]] void __wrap_exit(int code) {
  if (!FuzzExitArmed) __real_exit(code);
  FuzzExitArmed = 0;
  longjmp(FuzzExitJump, 1);
}
extern "C" void __wrap__Z14FreeHashTablesv() {
  if (!FuzzExitArmed) __real__Z14FreeHashTablesv();
}

void FuzzRestartAfterExit() {
  if (Tokens[0] == nullptr) AllocateTokenBuffers();
}

// A search within the node and depth bounds; the node limit the input set
// is given back afterwards.
template <typename Driver>
static int BoundedSearch(Driver driver) {
  const int64_t savedLimit = Limits.NodeLimit;
  if (Limits.NodeLimit <= 0 || Limits.NodeLimit > FUZZ_NODES) Limits.NodeLimit = FUZZ_NODES;
  if (PollInterval > 64) PollInterval = 64;
  const int result = driver();
  Limits.NodeLimit = savedLimit;
  return result;
}

static int BoundedDepth(int depthLimit) { return depthLimit < FUZZ_DEPTH ? depthLimit : FUZZ_DEPTH; }

extern "C" int __wrap__Z10RootSearchv() {
  return BoundedSearch([] { return __real__Z10RootSearchv(); });
}
extern "C" int __wrap__Z15RootSearchFixedi(int depthLimit) {
  return BoundedSearch([=] { return __real__Z15RootSearchFixedi(BoundedDepth(depthLimit)); });
}
extern "C" int __wrap__Z17RootSearchMultiPVi(int depthLimit) {
  return BoundedSearch([=] { return __real__Z17RootSearchMultiPVi(BoundedDepth(depthLimit)); });
}
extern "C" void __wrap__Z5Perfti(int depth) {
  __real__Z5Perfti(depth < FUZZ_PERFT_DEPTH ? depth : FUZZ_PERFT_DEPTH);
}
extern "C" void __wrap__Z13SetHashSizeMbi(int mb) { __real__Z13SetHashSizeMbi(mb < FUZZ_HASH_MB ? mb : FUZZ_HASH_MB); }
extern "C" void __wrap__Z17SetPawnHashSizeMbi(int mb) {
  __real__Z17SetPawnHashSizeMbi(mb < FUZZ_HASH_MB ? mb : FUZZ_HASH_MB);
}
extern "C" void __real__Z20LoadEvaluationValuesv();
int FuzzKeepValues = 0;
extern "C" void __wrap__Z20LoadEvaluationValuesv() {
  if (!FuzzKeepValues) __real__Z20LoadEvaluationValuesv();
}

// Self-play would play whole games: not here.
extern "C" void __wrap__Z13PlayDemoGamesv() {}

// Only names inside the working directory are opened.
static const char* LocalName(const char* path) {
  return strchr(path, '/') != nullptr || strchr(path, '\\') != nullptr ? "not-here" : path;
}
extern "C" void __wrap__Z8OpenBookPKc(const char* path) { __real__Z8OpenBookPKc(LocalName(path)); }
extern "C" void __wrap__Z15EvaluateEpdFilePKc(const char* path) { __real__Z15EvaluateEpdFilePKc(LocalName(path)); }

void FuzzStartEngine() {
  char directory[] = "/tmp/crv-fuzz-XXXXXX";
  if (mkdtemp(directory) == nullptr || chdir(directory) != 0) abort();
  if (freopen("/dev/null", "w", stdout) == nullptr) abort();
  if (freopen("/dev/null", "r", stdin) == nullptr) abort();
  SetExitRelease(ReleaseProgram);
  SetPlayDefaults();
  AllocateTokenBuffers();
  ResetResignWindow();
  BuildStartupTables();  // no parameter file in the directory: the compiled-in values
  ClearCaptureHistory();
  SetSizeDefaults();
  // Small tables: a program's end frees them and the next input allocates
  // and clears them again.
  HashEntries = HashEntriesForMb(FUZZ_HASH_MB, sizeof(TranspositionEntry));
  PawnHashEntries = HashEntriesForMb(FUZZ_HASH_MB, sizeof(PawnHashEntry));
  EvalHashEntries = DEFAULT_EVAL_HASH_ENTRIES / 64;
  AllocateHashTables();
  InitCycleMoveTable();
  srand(1);
  PostMode = 1;
  Limits.TimeLeft = -1;
  NewGame();
}

void FuzzWriteFile(const char* name, const uint8_t* data, size_t size) {
  FILE* file = fopen(name, "wb");
  if (file == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, file) != size) abort();
  fclose(file);
}

void FuzzInputText(char* text, size_t limit, const uint8_t* data, size_t size) {
  if (size > limit - 1) size = limit - 1;
  for (size_t i = 0; i < size; i++) text[i] = data[i] != 0 ? (char)data[i] : ' ';
  text[size] = 0;
}
