#include "interface/selfplay.h"

#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/position.h"
#include "book/learn.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/repetition.h"
#include "search/think.h"
#include "search/limits.h"

// Longest position line read; the rest of a longer line is skipped.
static constexpr int DEMO_LINE_SIZE = 256;

// 1 when the game on the board is over for self-play: mate or stalemate
// (the engine made no move), bare material, repetition or fifty moves.
static int DemoGameOver(int32_t plyBefore) {
  const ThreadBoard& b = thread_board;
  if (GamePly <= plyBefore) return 1;
  for (int side = WHITE; side <= BLACK; side++) {
    int other = ChangeSide(side);
    if (b.Material[side] == 0 && b.Material[other] <= 300 && b.PieceCount[PAWN][other] == 0) return 1;
  }
  if (IsThreefoldRepetition()) return 1;
  return GamePly > 0 && GameHistory[GamePly - 1].Rule50 >= 100;
}

// Reads one line into line (without its line end); gives 0 at end of file.
static int ReadDemoLine(FILE* file, char* line) {
  if (fgets(line, DEMO_LINE_SIZE, file) == nullptr) return 0;
  char* end = strchr(line, '\n');
  if (end != nullptr) {
    *end = 0;
  } else {
    int c;
    while ((c = fgetc(file)) != EOF && c != '\n') {
    }
  }
  return 1;
}

void PlayDemoGames() {
  FILE* file = fopen("openings.epd", "r");
  if (file == nullptr) {
    printf("Cannot open openings.epd: no games to play\n");
    fflush(stdout);
    return;
  }
  const int32_t savedPonderOn = PonderOn;
  PonderOn = 0;
  static char line[DEMO_LINE_SIZE];
  int games = 0;
  while (ReadDemoLine(file, line)) {
    // A line that is no position says so and is skipped.
    if (!SetupFenGame(line, 1)) continue;
    ClearLearningQueue();
    printf("-------------- Game #%d --------------\n", ++games);
    fflush(stdout);
    for (;;) {
      const int32_t plyBefore = GamePly;
      Limits.UciPonder = 0;
      Limits.SearchMovesCount = 0;
      Think();
      if (DemoGameOver(plyBefore)) break;
    }
  }
  PonderOn = savedPonderOn;
  fclose(file);
}
