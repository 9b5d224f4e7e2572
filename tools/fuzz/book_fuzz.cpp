// libFuzzer target of the opening book. The input is a book file: it is
// opened, a game is played from it as long as it has moves, every position
// is listed as "bkm" lists it, and the game is learned into the file (a
// file that takes learning is written). The last input byte picks the
// learning mode and the result, so both ways of choosing moves are taken.
#include <cstdint>
#include <cstdlib>

#include "board/legal.h"
#include "board/position.h"
#include "book/book.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "tools/fuzz/fuzz_support.h"

constexpr int BOOK_GAME_PLIES = 16;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t choice = size > 0 ? data[size - 1] : 0;
  srand(1);
  UseBookLearning = 1;
  UseBookWeights = 1;
  BookLearningMode = choice & 1;
  VarietyOfPlay = choice & 2 ? 100 : DEFAULT_VARIETY_OF_PLAY;
  FuzzWriteFile("input.crv", data, size);
  OpenBook("input.crv");
  NewGame();
  for (int ply = 0; ply < BOOK_GAME_PLIES && BookLoaded; ply++) {
    ListBookMoves();
    const Move move = ChooseBookMove();
    if (move == 0) break;
    if (!IsMoveLegal(move)) abort();
    MakeMove(move, 1);
  }
  LearnBookGame((choice >> 2) % 3);
  CloseBook();
  return 0;
}
