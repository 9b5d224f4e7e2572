#include "search/learning.h"

#include "board/position.h"
#include "book/learn.h"
#include "search/limits.h"
#include "search/root.h"
#include "search/think.h"

// Steps 2 and 3 of LearnAfterSearch: 1 when the last two engine moves show a
// drop in score worth remembering for the position of three plies back.
static int ScoreDropped() {
  constexpr int NEWEST = RECENT_RING_SIZE - 1, BEFORE = RECENT_RING_SIZE - 2;
  const int p = GamePly;
  if (p <= 2 || RecentBookFlags[BEFORE] || RecentBookFlags[NEWEST]) return 0;
  const int32_t prev = RecentScores[BEFORE], cur = RecentScores[NEWEST];
  if (!(prev > -180 && cur < 520 && (int64_t)cur - prev < -40 && IterationDepth > 6)) return 0;
  // The game went on from the engine's previous move by one opponent move
  // (the position on the board is the one after the engine's move).
  return thread_board.HashKey == RecentKeys[NEWEST] && GameHistory[p - 2].HashKey == RecentKeys[BEFORE];
}

void LearnAfterSearch() {
  // Nothing is learned on the opponent's time, nor without a writable file.
  if (LearnFile == nullptr || LearnFileReadOnly || PonderSearchActive || Limits.UciPonder) return;
  constexpr int NEWEST = RECENT_RING_SIZE - 1;
  // 1. A queued drop proved real (the score fell below -400): write it;
  //    the game turned out well, or the book took over: forget it.
  if (LearningQueueCount > 0 && RootScores[0] < -400) {
    FlushLearning();
  } else if ((RecentScores[NEWEST] >= -9 && RecentScores[NEWEST - 1] >= -9 && RecentScores[NEWEST - 2] >= -9) ||
             BookMovePlayed) {
    LearningQueueCount = 0;
  }
  if (!ScoreDropped()) return;
  // 2. Back to the position before the engine's previous move.
  const int32_t prev = RecentScores[NEWEST - 1], cur = RecentScores[NEWEST];
  Move taken[3];
  for (int i = 0; i < 3; i++) {
    taken[i] = GameHistory[GamePly - 1].move;
    UnmakeMove();
  }
  // 3. Queue it while the game is young and full of pieces.
  const ThreadBoard& b = thread_board;
  if (b.PieceUnits[WHITE] > 13 && b.PieceUnits[BLACK] > 13 && b.Rule50 < 70 && GamePly < 100 &&
      LearningQueueCount < LEARNING_QUEUE_SIZE) {
    const int32_t depth = IterationDepth * 4 + 2;
    const uint32_t keyLo = LearningKeyLo(b.HashKey), keyHi = LearningKeyHi(b.HashKey);
    int32_t storedDepth = 0, storedScore = 0;
    Move storedMove = 0;
    int64_t offset = 0;
    if (!FindLearningRecord(keyLo, keyHi, &storedDepth, &storedScore, &storedMove, &offset) || storedDepth < depth)
      QueueLearningEntry(keyLo, keyHi, taken[2], prev, cur, depth);
  }
  // 4. Forward again to the position after the engine's move.
  for (int i = 2; i >= 0; i--) MakeMove(taken[i], 1);
}
