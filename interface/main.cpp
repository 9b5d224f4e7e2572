// The program: start-up in a fixed order, then one command line at a time.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "book/book.h"

#include "book/learn.h"
#include "interface/commands.h"
#include "interface/gamecontrol.h"
#include "interface/inifile.h"
#include "interface/settings.h"
#include "interface/startup.h"
#include "search/tokens.h"
#include "platform/exit.h"
#include "platform/platform.h"
#include "search/hashtable.h"
#include "search/input.h"
#include "search/repetition.h"
#include "search/think.h"
#include "tablebases/tablebases.h"
#include "search/limits.h"

#if defined(__POPCNT__) || defined(__BMI__) || defined(__BMI2__)
#include <cstdlib>

// This build uses bit instructions that older processors lack (POPCNT,
// BMI1, BMI2); such a processor would stop with an illegal instruction
// somewhere in the search. The test runs as the first constructor, before any
// start-up code can touch a bitboard, and refuses with one line.
__attribute__((constructor(101))) static void RequireBitInstructions() {
  __builtin_cpu_init();
  const char* missing = nullptr;
#if defined(__POPCNT__)
  if (!__builtin_cpu_supports("popcnt")) missing = "POPCNT";
#endif
#if defined(__BMI__)
  if (!missing && !__builtin_cpu_supports("bmi")) missing = "BMI1";
#endif
#if defined(__BMI2__)
  if (!missing && !__builtin_cpu_supports("bmi2")) missing = "BMI2";
#endif
  if (missing) {
    printf("This program needs a processor with %s; build it with "
           "scripts/build -DCORVATINE_POPCNT=OFF -DCORVATINE_BMI=OFF or use crv_x86\n", missing);
    fflush(stdout);
    _Exit(1);
  }
}
#endif

int main() {
  PlatformInit();
  SetExitRelease(ReleaseProgram);

  // 1. OpenMP: GCC's runtime (libgomp) starts itself at the first parallel
  //    region, so crv needs no begin call here.
  // 2. (the evaluation parameter arrays are cleared here)

  // 3. The first group of defaults.
  SetPlayDefaults();
  InputBuffer[0] = 0;
  BookLearned = 1;
  // (the learning and search counters get their start values here)

  // 4. The banner.
  puts("Corvatine v1.96 [r2358/29.06.2016]");
  fflush(stdout);

  // 5. The start-up tables.
  AllocateTokenBuffers();
  ResetResignWindow();
  BuildStartupTables();
  ClearCaptureHistory();

  // 6. The second group of defaults.
  SetSizeDefaults();

  // 7. The settings file.
  ReadIniFile();
  // 8. The hash tables and the upcoming-repetition table.
  AllocateHashTables();
  InitCycleMoveTable();
  // 9. The random generator of the book choice.
  srand((unsigned)time(nullptr));
  // 10. The default book, unless the settings file opened one.
  if (!BookLoaded) OpenBook("Book.crv");
  // 11. The settings in force.
  PrintSettings();
  // 12. The learning file.
  if (UseLearning || UseLearningData) OpenLearningFile("Learn.cr1");

  // 13. Post thinking, no clock.
  PostMode = 1;
  Limits.TimeLeft = -1;

  // 14. The tablebases.
  if (UseEGTB) {
    init_tablebases(tb_path);
    tb_probe_limit = tb_largest;
  } else {
    tb_probe_limit = 0;
  }

  // 15. A new game.
  NewGame();

  // 16. The line loop; the end of input ends the program.
  for (;;) {
    if (GetInputLine(1, CommandLine) < 0) ExitProgram(0);
    ProcessCommand();
  }
}
