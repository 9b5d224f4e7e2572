// libFuzzer target of the EPD and PGN readers. The first byte of an input
// picks the reader (odd: "epdevl", even: "pgneval"); the rest is the file.
// The over-long move ends the program on purpose; here that exit jumps back
// to the target instead, so the fuzzing goes on.
#include <unistd.h>

#include <cstdint>

#include "interface/pgntools.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FuzzWriteFile("input", data + 1, size - 1);
  FuzzExitArmed = 1;
  if (setjmp(FuzzExitJump) == 0) {
    if (data[0] & 1)
      EvaluateEpdFile("input");
    else
      ProcessPgnFile("input");
  } else {
    ClosePgnFile();
    FuzzRestartAfterExit();
  }
  FuzzExitArmed = 0;
  // The training rows grow with every input: they are not kept.
  unlink(TRAINING_ROWS_FILE);
  return 0;
}
