// libFuzzer target of the EPD and PGN readers. The first byte of an input
// picks the reader (odd: "epdevl", even: "pgneval"); the rest is the file.
// The over-long move ends the program on purpose; here that exit jumps back
// to the target instead (the build wraps ExitProgram), so the fuzzing goes on.
#include <setjmp.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/zobrist.h"
#include "eval/bitbases.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/sigmoid.h"
#include "interface/gamecontrol.h"
#include "interface/pgntools.h"
#include "search/hashtable.h"

static jmp_buf ProgramExit;

extern "C" [[noreturn]] void __wrap__Z11ExitProgrami(int) { longjmp(ProgramExit, 1); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The files the tools write go to a directory of their own.
  char directory[] = "/tmp/crv-fuzz-XXXXXX";
  if (mkdtemp(directory) == nullptr || chdir(directory) != 0) abort();
  if (freopen("/dev/null", "w", stdout) == nullptr) abort();
  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitKnightDistance();
  InitKingAttackWeights();
  InitPieceSquareTables();
  InitKnightIntercept();
  InitBitbases();
  LoadEvaluationValues();  // none in the directory: the compiled-in values
  InitPawnEndgameSigmoid();
  InitPressureSigmoid();
  InitAttackHorrorSigmoid();
  InitDefendHorrorSigmoid();
  AllocateHashTables();
  NewGame();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fopen("input", "wb");
  if (file == nullptr) abort();
  if (size > 1 && fwrite(data + 1, 1, size - 1, file) != size - 1) abort();
  fclose(file);
  if (setjmp(ProgramExit) == 0) {
    if (data[0] & 1)
      EvaluateEpdFile("input");
    else
      ProcessPgnFile("input");
  } else {
    ClosePgnFile();
  }
  // The training rows grow with every input: they are not kept.
  unlink(TRAINING_ROWS_FILE);
  return 0;
}
