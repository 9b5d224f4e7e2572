// xboard analyze mode: an endless analysis of the current position that
// starts over after every change, until "exit".
#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "platform/exit.h"
#include "search/input.h"
#include "search/root.h"
#include "search/think.h"

// Iterations of one analysis search.
static constexpr int ANALYSIS_DEPTH = 100;

// Clears the requests and analyses the position until the depth runs out or
// a line of input stops the search.
static void RunAnalysis() {
  thread_board.StopSearch = 0;
  TargetTime = MaxTime = UNTIMED_TARGET;
  PollInterval = 50000;
  NewGameRequest = ExitRequest = UndoRequest = 0;
  TypedMove = 0;
  PonderMiss = 0;
  // The legal moves, for looking up a move typed during the search.
  GenerateLegalMoves(PONDER_LIST_START);
  PonderListEnd = MoveStackTop;
  MoveStackTop = 0;
  SearchStartTime = ClockCentiseconds();
  // Several lines when the "MultiPV" option asks for them.
  if (MultiPV > 1)
    RootSearchMultiPV(ANALYSIS_DEPTH);
  else
    RootSearchFixed(ANALYSIS_DEPTH);
}

// A line typed while no search runs. Gives 1 when analyze mode is to end.
static int HandleIdleLine(const char* line) {
  if (line[0] == '.') {
    printf("stat01: 0 0 0 0 0\n");
    fflush(stdout);
  } else if (strncmp(line, "exit", 4) == 0) {
    return 1;
  } else if (line[0] == 'q') {
    ExitProgram(0);  // the quit command holds here as during the search
  } else if (strncmp(line, "new", 3) == 0) {
    NewGame();
  } else if (strncmp(line, "undo", 4) == 0) {
    TakeBackMove();
  } else if (IsCoordinateMove(line)) {
    Move move = ParseMove(line);
    if (IsMoveLegal(move)) {
      printf("move maked...\n");
      fflush(stdout);
      MakeGameMove(move);
    } else {
      printf("Illegal move: %s\n", line);
      fflush(stdout);
    }
  }
  return 0;
}

void AnalyzeMode() {
  AnalyzeModeActive = 1;
  for (;;) {
    RunAnalysis();
    if (TypedMove != 0) {
      if (IsMoveLegal(TypedMove)) {
        MakeGameMove(TypedMove);
      } else {
        char text[8];
        printf("Illegal move: %s\n", MoveToText(text, TypedMove));
        fflush(stdout);
      }
    } else if (NewGameRequest) {
      NewGame();
    } else if (ExitRequest) {
      break;
    } else if (UndoRequest || PonderMiss) {
      // A take-back, or an illegal move typed during the search (already
      // answered), which changed nothing: the analysis goes on either way.
      if (UndoRequest) TakeBackMove();
    } else {
      // The search has ended by itself: wait for the next line.
      if (GetInputLine(1, CommandLine) < 0) break;  // end of input
      if (HandleIdleLine(CommandLine)) break;
    }
  }
  AnalyzeModeActive = 0;
}
