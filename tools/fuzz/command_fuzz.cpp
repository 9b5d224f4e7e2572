// libFuzzer target of the command line: the input is what a GUI or a person
// types, read from standard input by the line loop of the program and run
// through the dispatcher, one line after the other. Edit mode, analyze mode
// and "help" take their own lines from the same input. Every input starts
// from the same state: the initial position and the default settings.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "board/position.h"
#include "book/book.h"
#include "book/learn.h"
#include "eval/evaluate.h"
#include "interface/commands.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "platform/exit.h"
#include "search/hashtable.h"
#include "search/input.h"
#include "search/limits.h"
#include "search/think.h"
#include "tablebases/tablebases.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  FuzzKeepValues = 1;  // "reload" and "selftest" read no parameter file
  init_tablebases("");
  return 0;
}

// Standard input becomes a pipe holding the input, closed behind it.
static void FeedStandardInput(const uint8_t* data, size_t size) {
  int ends[2];
  if (pipe(ends) != 0) abort();
  while (size > 0) {
    ssize_t written = write(ends[1], data, size);
    if (written <= 0) abort();
    data += written;
    size -= (size_t)written;
  }
  close(ends[1]);
  if (dup2(ends[0], 0) < 0) abort();
  close(ends[0]);
}

// The settings and the game as a new program has them. An input that ended
// the program from inside a search (a "quit" read by the search, a ponder
// or hint search among them) left that search's flags as they were: a real
// program ends there, so they are cleared here.
static void ResetEngine() {
  PonderSearchActive = 0;
  HintSearch = 0;
  PonderMiss = 0;
  TypedMove = 0;
  NewGameRequest = ExitRequest = UndoRequest = 0;
  thread_board.StopSearch = 0;
  SetPlayDefaults();
  UseBookLearning = 0;
  PostMode = 1;
  Limits.TimeLeft = -1;
  Limits.UciPonder = 0;
  Limits.SearchMovesCount = 0;
  AnalyzeModeActive = 0;
  LastBestMove = 0;
  BestMoveOwed = 0;
  Aggressivity = DEFAULT_AGGRESSIVITY;
  AggressivityHalf = Aggressivity / 2;
  Cowardice = DEFAULT_COWARDICE;
  CowardiceHalf = Cowardice / 2;
  if (BookFile != nullptr) CloseBook();
  if (tb_table_count() > 0) init_tablebases("");
  tb_probe_limit = 0;
  InputBuffer[0] = 0;
  ClearAllTables();
  NewGame();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Inputs of this size already fill the input buffer; more is the same.
  if (size > 4 * INPUT_BUFFER_SIZE) return 0;
  ResetEngine();
  FeedStandardInput(data, size);
  FuzzExitArmed = 1;
  if (setjmp(FuzzExitJump) == 0) {
    // The line loop of the program; the end of input ends it.
    while (GetInputLine(1, CommandLine) >= 0) ProcessCommand();
    ExitProgram(0);
  }
  FuzzRestartAfterExit();
  FuzzExitArmed = 0;
  // Lines kept back by a search that ended the program are dropped.
  while (GetInputLine(1, CommandLine) >= 0) {
  }
  return 0;
}
