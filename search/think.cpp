// One engine move: the time plan, the root search, the answer in the
// protocol in use, resignation, and pondering on the opponent's time.
#include "search/think.h"

#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "book/book.h"
#include "book/learn.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "search/learning.h"
#include "search/options.h"
#include "platform/platform.h"
#include "search/input.h"
#include "search/output.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "search/transposition.h"
#include "search/limits.h"

int32_t SearchStartTime = 0;
int32_t TargetTime = 0;
int32_t MaxTime = 0;
int32_t PollInterval = 50000;

int32_t PrevScore = 0;
int32_t PrevScoreSide = 0;

Move EasyMove = 0;
int32_t PastFirstRootMove = 0;
int32_t TbRootHit = 0;

int32_t PonderSearchActive = 0;
Move PonderExpected = 0;
int32_t PonderMiss = 0;
Move PonderMove = 0;
int32_t PonderListEnd = 0;
int32_t HintSearch = 0;

Move TypedMove = 0;
int32_t NewGameRequest = 0;
void (*NewGameHandler)() = nullptr;
int32_t ExitRequest = 0;
int32_t UndoRequest = 0;

int32_t MovesOutOfBook = 0;
int32_t BestMoveOwed = 0;
Move LastBestMove = 0;

uint64_t RecentKeys[RECENT_RING_SIZE];
int32_t RecentScores[RECENT_RING_SIZE];
int32_t RecentBookFlags[RECENT_RING_SIZE];

// Plies the game record must keep free for a search made on top of the game.
static constexpr int GAME_ROOM_FOR_SEARCH = SEARCH_STACK_SIZE + 8;
// Centiseconds a hint search may take.
static constexpr int32_t HINT_SEARCH_TIME = 100;

static int64_t Min64(int64_t a, int64_t b) { return a < b ? a : b; }
static int64_t Max64(int64_t a, int64_t b) { return a > b ? a : b; }

int32_t ClockCentiseconds() { return (int32_t)(TimeMs() / 10); }

Move FindLegalMove(Move move) {
  if (PonderListEnd < PONDER_LIST_START + 1) return 0;
  int end = PonderListEnd < MOVE_STACK_SIZE ? PonderListEnd : MOVE_STACK_SIZE;
  for (int i = PONDER_LIST_START; i < end; i++) {
    Move stored = MoveStack[i].move;
    if ((stored & 0xFFF) == (move & 0xFFF) && (stored >> 18) == (move >> 18)) return stored;
  }
  return 0;
}

void ForgetPrevScore() {
  PrevScore = 0;
  PrevScoreSide = 0;
}

void ResetResignWindow() {
  for (int slot = 0; slot < RECENT_RING_SIZE - 1; slot++) {
    RecentKeys[slot] = 0;
    RecentScores[slot] = 100;
    RecentBookFlags[slot] = 1;
  }
}

// Moves the rings one slot towards the past and records the engine's move
// just made in the newest slot.
static void RecordEngineMove(int32_t score, int searched) {
  for (int slot = 0; slot < RECENT_RING_SIZE - 1; slot++) {
    RecentKeys[slot] = RecentKeys[slot + 1];
    RecentScores[slot] = RecentScores[slot + 1];
    RecentBookFlags[slot] = RecentBookFlags[slot + 1];
  }
  RecentKeys[RECENT_RING_SIZE - 1] = thread_board.HashKey;
  // Without a search (one legal move) the score of the move before stands.
  if (searched) RecentScores[RECENT_RING_SIZE - 1] = score;
  RecentBookFlags[RECENT_RING_SIZE - 1] = BookMovePlayed;
}

int ShouldResign() {
  if (ResignTimes <= 0) return 0;
  int count = 0;
  for (int j = 0; j < RECENT_RING_SIZE && GamePly - 2 * j >= 0; j++) {
    // The newest slot is the position on the board; older slots are the
    // positions after the engine's earlier moves, two plies apart.
    uint64_t key = j == 0 ? thread_board.HashKey : GameHistory[GamePly - 2 * j].HashKey;
    int slot = RECENT_RING_SIZE - 1 - j;
    if (RecentKeys[slot] != key || RecentScores[slot] >= -(int64_t)ResignValue) break;
    count++;
  }
  return count >= ResignTimes;
}

void PlanTime() {
  const int64_t timeLeft = Limits.TimeLeft;
  const int64_t moveNumber = GamePly / 2 + 1;
  const int64_t clockUsable = timeLeft * 95 / 100 - 1;
  const int64_t increment = Limits.Increment;
  int64_t target, limit;
  if (Limits.TimePerMove > 0) {
    target = limit = Limits.TimePerMove;
  } else {
    int64_t moves;
    if (Limits.MovesToGo > 0) {
      int64_t control = Limits.MovesToGo;
      if (UciMode) {
        moves = Min64(control, 30);
      } else {
        // Past the first control the next boundary counts.
        if (control < moveNumber) control *= (moveNumber - 1) / control + 1;
        moves = Min64(control - moveNumber + 1, 30);
      }
    } else {
      const int64_t ply = GamePly;
      int64_t d = (70500 - 2330 * ply) / ((ply + 1) * (ply + 11) + 2644);
      moves = Max64((int64_t)(((double)d + 59.3) * 0.5 + 2.0), 3);
    }
    if (moves < 1) moves = 1;
    // Every move costs some time beyond its search (input, output, the
    // interface): a reserve for each planned move keeps the clock from
    // running down to nothing in a long game without increment.
    const int64_t usable = clockUsable - MOVE_OVERHEAD * moves;
    target = (usable - increment + moves * increment) / moves;
    if (Limits.MovesToGo <= 0 && thread_board.MaterialIndex != MATERIAL_OUTSIDE) {
      int64_t scale = MaterialTable[thread_board.MaterialIndex].scale;
      target = target / 2 + (scale * target / 256) / 2;
    }
    limit = Min64(7 * target, usable / 3);
  }
  TargetTime = target < 1 ? 1 : ClampToInt32(target);
  MaxTime = ClampToInt32(limit);
  PollInterval = TargetTime >= 301 ? 50000 : TargetTime >= 101 ? 20000 : 5000;
}

// A node limit is tested at the polls: keep them close enough to it.
static void FitPollIntervalToNodeLimit() {
  if (Limits.NodeLimit <= 0) return;
  int64_t interval = Max64(Limits.NodeLimit / 16, 100);
  if (interval < PollInterval) PollInterval = (int32_t)interval;
}

// The stop test shared by the three polls; earlyStop applies the rule that
// no new iteration starts after three fifths of the target.
static int StopTest(int earlyStop) {
  PollCountdown = PollInterval;
  if (InputAvailable()) {
    HandleInputDuringSearch();
    if (thread_board.StopSearch) return 1;
  }
  if (Limits.NodeLimit > 0 && Nodes >= Limits.NodeLimit) return 1;
  if (PonderSearchActive && HintSearch && ClockCentiseconds() - SearchStartTime > HINT_SEARCH_TIME) {
    HintSearch = 0;
    return 1;
  }
  if (UciMode && --UciInfoCountdown < 0) PrintUciNodeInfo();
  if (RootDepthLimit != NO_DEPTH_LIMIT || PonderSearchActive || Limits.UciPonder) return 0;

  int easy = MoveStack[0].move == EasyMove;
  if (!easy) EasyMove = 0;
  const int64_t elapsed = ClockCentiseconds() - SearchStartTime;
  const int64_t target = TargetTime;
  if (earlyStop && elapsed > 3 * target / 5) return 1;
  if (PastFirstRootMove && !easy && !TbRootHit && elapsed <= Min64(5 * target / 3, MaxTime)) return 0;

  int64_t t = easy ? target / 3 : target;
  int64_t previous = PrevScoreSide == RootSide ? PrevScore : -(int64_t)PrevScore;
  int64_t drop = previous - RootScores[0];
  if (drop < -25 && previous >= -9 && previous <= 119) {
    t = 2 * t;
  } else if (drop > 60) {
    t = MovesOutOfBook != 0 ? 7 * t : 4 * t;
  } else if (drop > 20) {
    t = 2 * t + t / 2;
  }
  return elapsed >= Min64(t, MaxTime);
}

int CheckTime() { return StopTest(0); }
int CheckTimeNewIteration() { return StopTest(1); }
int CheckTimeAtRoot(int betweenIterations) { return StopTest(betweenIterations == 1); }

// Prints "bestmove" for move, with the ponder move when it is legal in the
// position on the board (the one after move).
static void PrintBestMoveLine(Move move, int withPonder) {
  const int ponderLegal = withPonder && move != 0 && PonderMove != 0 && IsMoveLegal(PonderMove);
  PrintBestMove(move, ponderLegal ? PonderMove : 0);
  BestMoveOwed = 0;
}

int PayOwedBestMove() {
  if (!BestMoveOwed) return 0;
  PrintBestMoveLine(LastBestMove, 0);
  Limits.UciPonder = 0;
  return 1;
}

void PayOwedPonderHit() {
  Limits.UciPonder = 0;
  if (!BestMoveOwed) return;
  Move move = LastBestMove;
  if (move != 0 && IsMoveLegal(move)) {
    if (GamePly >= GAME_HISTORY_SIZE - GAME_ROOM_FOR_SEARCH) DropOldestGamePlies(GAME_KEEP_PLIES);
    MakeMove(move, 1);
    PrintBestMoveLine(move, 1);
  } else {
    PrintBestMoveLine(move, 0);
  }
}

// 1 when the position on the board needs no search on the opponent's time:
// the game would end there, and the root search would announce it.
static int PonderPositionIsFinal() {
  const ThreadBoard& b = thread_board;
  if (b.Rule50 >= 100 || IsThreefoldRepetition()) return 1;
  for (int side = WHITE; side <= BLACK; side++) {
    int other = ChangeSide(side);
    if (b.Material[side] == 0 && b.Material[other] <= 300 && b.Pieces[PAWN][other] == 0) return 1;
  }
  int savedTop = MoveStackTop;
  GenerateLegalMoves(FINAL_TEST_LIST_START);
  int noMove = MoveStackTop == FINAL_TEST_LIST_START;
  MoveStackTop = savedTop;
  return noMove;
}

static void StartNewGame() {
  if (NewGameHandler != nullptr) NewGameHandler();
}

// The end of a ponder pass: a missed ponder is taken back and the opponent's
// real move played. Gives 1 when Think must search again.
static int FinishPonderSearch() {
  // Without a hit the expected reply is still on the board: whatever ended
  // the search, it is not part of the game.
  PonderSearchActive = 0;
  UnmakeMove();
  if (NewGameRequest) {
    StartNewGame();
    return 0;
  }
  if (PonderMiss && TypedMove != 0) {
    MakeMove(TypedMove, 1);
    if (!ForceMode) return 1;
  }
  return 0;
}

// UCI answer of a root without a legal move: "bestmove 0000", owed until
// "stop" or "ponderhit" when the search was not to end by itself.
static void AnswerNoLegalMove() {
  LastBestMove = 0;
  BestMoveOwed = 1;
  if (Limits.UciPonder || Limits.TimeLeft == INFINITE_TIME) return;
  PrintBestMoveLine(0, 0);
}

// Sets up the search on the opponent's time after the engine's move: the
// opponent's legal moves for the typed-move lookup, the expected reply (from
// the table, else from a short hint search) made on the board. Gives 1 when
// the ponder search is to run, 0 when Think is done, -1 when the opponent's
// move arrived during the hint search and was played (search again).
static int StartPondering() {
  if (PonderPositionIsFinal() || GamePly >= GAME_HISTORY_SIZE - GAME_ROOM_FOR_SEARCH - 1) return 0;
  GenerateLegalMoves(PONDER_LIST_START);
  PonderListEnd = MoveStackTop;
  MoveStackTop = 0;
  // A table move is trusted only when it is one of the legal moves.
  Move expected = ProbeHashMove();
  expected = expected != 0 ? FindLegalMove(expected) : 0;
  PonderExpected = expected;
  PonderSearchActive = 1;
  PonderMiss = 0;
  if (expected == 0) {
    int savedPost = PostMode;
    HintSearch = 1;
    PostMode = 0;
    SearchStartTime = ClockCentiseconds();
    thread_board.StopSearch = 0;
    TypedMove = 0;
    NewGameRequest = 0;
    // The game's depth limit holds for the hint as for the engine's moves.
    const int32_t depth = Limits.DepthLimit;
    int over = RootSearchFixed(depth > 0 && depth < NO_DEPTH_LIMIT ? depth : NO_DEPTH_LIMIT);
    PostMode = savedPost;
    HintSearch = 0;
    if (over) {
      PonderSearchActive = 0;
      return 0;
    }
    if (PonderMiss) {
      PonderSearchActive = 0;
      if (NewGameRequest) {
        StartNewGame();
        return 0;
      }
      if (TypedMove == 0) return 0;
      MakeMove(TypedMove, 1);
      return ForceMode ? 0 : -1;
    }
    expected = FindLegalMove(MoveStack[0].move);
    if (expected == 0) {
      PonderSearchActive = 0;
      return 0;
    }
    PonderExpected = expected;
  }
  PrintHint(expected);
  MakeMove(expected, 1);
  if (PonderPositionIsFinal()) {
    UnmakeMove();
    PonderSearchActive = 0;
    return 0;
  }
  return 1;
}

// Book learning after a searched move: a score beyond BookLearningBound
// decides the game for the book (never from a book move or a ponder search).
static void LearnBookFromScore(int32_t score) {
  if (!UseBookLearning || BookFile == nullptr || BookMovePlayed || BookLearned || Limits.UciPonder) return;
  if (Abs(score) > BookLearningBound) LearnBookGame(score >= 0 ? 1 : 0);
}

void Think() {
  PonderMove = 0;
  HintSearch = 0;
  for (;;) {
    // The plan of this pass.
    EngineSide = thread_board.SideToMove;
    SearchStartTime = ClockCentiseconds();
    thread_board.StopSearch = 0;
    TypedMove = 0;
    NewGameRequest = 0;
    int over;
    // A time per move is a clock of its own, also when no game clock was set.
    if (Limits.TimeLeft != NO_CLOCK || Limits.TimePerMove > 0) {
      PlanTime();
      FitPollIntervalToNodeLimit();
      over = RootSearch();
    } else {
      TargetTime = MaxTime = UNTIMED_TARGET;
      PollInterval = 50000;
      FitPollIntervalToNodeLimit();
      // Several lines are wanted from a fixed-depth search as well.
      over = MultiPV > 1 ? RootSearchMultiPV(Limits.DepthLimit) : RootSearchFixed(Limits.DepthLimit);
    }
    if (over) {
      if (PonderSearchActive) {
        // Not reached when the ponder position was tested beforehand.
        PonderSearchActive = 0;
        UnmakeMove();
        return;
      }
      // The root driver has announced the end of the game outside UCI; a
      // UCI interface still gets its "bestmove 0000".
      if (UciMode) AnswerNoLegalMove();
      return;
    }

    if (PonderSearchActive) {
      if (FinishPonderSearch()) continue;
      return;
    }
    const int32_t score = RootScores[0];
    const Move best = MoveStack[0].move;
    PrevScore = score;
    PrevScoreSide = RootSide;

    if (!BookMovePlayed) PrintFinalThinking(score);
    fflush(stdout);
    if (NewGameRequest) {
      StartNewGame();
      return;
    }
    LearnBookFromScore(score);

    if (Limits.UciPonder) {
      // The interface still has to say "ponderhit" or "stop".
      LastBestMove = best;
      BestMoveOwed = 1;
      return;
    }

    if (best != 0) {
      // The engine's move always goes on the board it announces it for.
      if (GamePly >= GAME_HISTORY_SIZE - GAME_ROOM_FOR_SEARCH) DropOldestGamePlies(GAME_KEEP_PLIES);
      MakeMove(best, 1);
      RecordEngineMove(score, BookMovePlayed || RootMoveCount > 1 || Limits.SearchMovesCount == 1);
    }
    if (UciMode) {
      LastBestMove = best;
      PrintBestMoveLine(best, 1);
    } else {
      PrintEngineMove(best, ShouldResign());
    }
    if (UseLearning) LearnAfterSearch();
    fflush(stdout);

    // Commands typed during the search run first; no ponder search then.
    if (!PonderOn || UciMode || DeferredInputWaiting()) return;
    int ponder = StartPondering();
    if (ponder == 0) return;
  }
}
