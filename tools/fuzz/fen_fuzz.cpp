// libFuzzer target of the FEN reader. A refused FEN leaves the position as
// it was; an accepted one must be a consistent position: every legal move
// made and taken back keeps it so, its FEN read back gives the same FEN, and
// it can be evaluated and searched.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "board/verify.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/limits.h"
#include "search/think.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  return 0;
}

static void Check(int condition) {
  if (!condition) abort();
}

// Every legal move keeps the position consistent and its take-back restores it.
static void CheckLegalMoves() {
  const uint64_t key = thread_board.HashKey;
  MoveStackTop = 0;
  GenerateLegalMoves(0);
  const int count = MoveStackTop;
  for (int i = 0; i < count; i++) {
    MakeMove(MoveStack[i].move, 1);
    Check(PositionFault() == nullptr);
    UnmakeMove();
    Check(thread_board.HashKey == key && PositionFault() == nullptr);
  }
  MoveStackTop = 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static char text[600];
  static char first[sizeof FenText];
  FuzzInputText(text, sizeof text, data, size);
  NewGame();
  const uint64_t before = thread_board.HashKey;
  if (!SetGameFenPosition(text)) {
    Check(thread_board.HashKey == before && GamePly == 0 && PositionFault() == nullptr);
    return 0;
  }
  GameStartPly = GamePly;
  Check(PositionFault() == nullptr);
  CheckLegalMoves();
  // Written out and read back, the position is the same.
  MakeFen(0);
  strcpy(first, FenText);
  Check(SetGameFenPosition(first));
  GameStartPly = GamePly;
  MakeFen(0);
  Check(strcmp(first, FenText) == 0);
  // A short search with its move played (and "moves" listed as the console does).
  Perft(2);
  PonderOn = 0;
  ForceMode = 0;
  Limits.DepthLimit = 3;
  Think();
  Check(PositionFault() == nullptr);
  return 0;
}
