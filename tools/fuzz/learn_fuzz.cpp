// libFuzzer target of the learning file "Learn.cr1". The input is the file:
// it is opened, positions are looked up, a short search consults it, and,
// when it takes writing, positions are learned into it; a position just
// learned must be found afterwards.
#include <cstdint>
#include <cstdlib>

#include "board/fen.h"
#include "board/position.h"
#include "book/learn.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/limits.h"
#include "search/think.h"
#include "tools/fuzz/fuzz_support.h"

static const char* const POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "8/8/4k3/8/2KP4/8/8/8 w - - 0 1",
};

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  return 0;
}

static void LookUpPositions() {
  for (const char* fen : POSITIONS) {
    if (!SetGameFenPosition(fen)) abort();
    int32_t depth, score;
    Move move;
    int64_t offset;
    const uint64_t key = thread_board.HashKey;
    FindLearningRecord(LearningKeyLo(key), LearningKeyHi(key), &depth, &score, &move, &offset);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWriteFile("Learn.cr1", data, size);
  OpenLearningFile("Learn.cr1");
  LookUpPositions();
  // A search that takes the stored scores.
  UseLearning = 1;
  UseLearningData = 1;
  NewGame();
  PonderOn = 0;
  Limits.DepthLimit = 2;
  Think();
  // Learning two positions into a file that takes writing.
  if (LearnFile != nullptr && !LearnFileReadOnly) {
    for (int i = 0; i < 2; i++) {
      if (!SetGameFenPosition(POSITIONS[i])) abort();
      const uint64_t key = thread_board.HashKey;
      QueueLearningEntry(LearningKeyLo(key), LearningKeyHi(key), 0, 50, -200, 40 + i);
    }
    FlushLearning();
    for (int i = 0; i < 2 && LearnFile != nullptr && !LearnFileReadOnly; i++) {
      if (!SetGameFenPosition(POSITIONS[i])) abort();
      const uint64_t key = thread_board.HashKey;
      int32_t depth, score;
      Move move;
      int64_t offset;
      if (!FindLearningRecord(LearningKeyLo(key), LearningKeyHi(key), &depth, &score, &move, &offset)) abort();
    }
  }
  CloseLearningFile();
  UseLearning = 0;
  UseLearningData = 0;
  return 0;
}
