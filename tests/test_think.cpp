// The time plan, the resignation test and the commands handled during a search.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/input.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

// The clock variables the plan reads, with "no limit" everywhere.
void ResetClock() {
  Limits.TimeLeft = NO_CLOCK;
  Limits.TimePerMove = 0;
  Limits.MovesToGo = 0;
  Limits.Increment = 0;
  Limits.NodeLimit = 0;
  UciMode = 0;
}

// Plays coordinate moves from the position on the board.
void Play(std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    Move move = ParseMove(text);
    ASSERT_TRUE(IsMoveLegal(move)) << text;
    MakeMove(move, 1);
  }
}

// Moves of one side and the other until the game record holds `plies` moves
// (knights out and back, so any ply count is reachable).
void PlayPlies(int plies) {
  static const char* const cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < plies; i++) Play({cycle[i % 4]});
}

// Standard input as an open pipe with nothing in it, so the handler only sees
// the lines put into InputBuffer.
class QuietInput {
 public:
  QuietInput() {
    EXPECT_EQ(pipe(ends_), 0);
    saved_ = dup(0);
    dup2(ends_[0], 0);
  }
  ~QuietInput() {
    dup2(saved_, 0);
    close(saved_);
    close(ends_[0]);
    close(ends_[1]);
    InputBuffer[0] = 0;
  }

 private:
  int ends_[2];
  int saved_;
};

// No material scaling: three knights put the material outside the table.
const char* const UNSCALED = "7k/8/8/8/8/8/8/NNNK4 w - - 0 1";

TEST(TimePlanTest, TargetAndLimit) {
  EnsureEvalReady();
  struct Case {
    const char* name;
    int plies;      // moves played on top of the position before planning
    int uci;
    int32_t timeLeft, perMove, movesToGo, increment;
    int32_t target, max;
  } cases[] = {
      // 40 moves per control at move 10: 30 moves to plan for, each with a
      // reserve of MOVE_OVERHEAD centiseconds.
      {"xboard 40 moves at move 10", 18, 0, 6000, 0, 40, 0, (5699 - MOVE_OVERHEAD * 30) / 30, 7 * ((5699 - MOVE_OVERHEAD * 30) / 30)},
      {"xboard with increment", 18, 0, 6000, 0, 40, 100, (5699 - MOVE_OVERHEAD * 30 - 100 + 30 * 100) / 30, (5699 - MOVE_OVERHEAD * 30) / 3},
      // Past the first control (move 71 of 40-move controls): 10 moves left.
      {"xboard second control", 140, 0, 3000, 0, 40, 0, (2849 - MOVE_OVERHEAD * 10) / 10, (2849 - MOVE_OVERHEAD * 10) / 3},
      {"uci moves to go", 0, 1, 3000, 0, 5, 0, (2849 - MOVE_OVERHEAD * 5) / 5, (2849 - MOVE_OVERHEAD * 5) / 3},
      // Sudden death at ply 0 with a minute: 44 moves.
      {"sudden death", 0, 0, 6000, 0, 0, 0, (5699 - MOVE_OVERHEAD * 44) / 44, 7 * ((5699 - MOVE_OVERHEAD * 44) / 44)},
      {"time per move", 0, 0, NO_CLOCK, 250, 0, 0, 250, 250},
      // Nothing left: the least target, and a limit already passed.
      {"no time left", 0, 0, 0, 0, 0, 0, 1, (-1 - MOVE_OVERHEAD * 44) / 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetFenPosition(UNSCALED));
    ResetClock();
    UciMode = c.uci;
    Limits.TimeLeft = c.timeLeft;
    Limits.TimePerMove = c.perMove;
    Limits.MovesToGo = c.movesToGo;
    Limits.Increment = c.increment;
    for (int i = 0; i < c.plies; i++) {
      static const char* const kings[] = {"d1e1", "h8g8", "e1d1", "g8h8"};
      Play({kings[i % 4]});
    }
    PlanTime();
    EXPECT_EQ(TargetTime, c.target);
    EXPECT_EQ(MaxTime, c.max);
  }
  ResetClock();
}

TEST(TimePlanTest, HugeClocksDoNotOverflow) {
  EnsureEvalReady();
  for (int32_t timeLeft : {INFINITE_TIME, INT32_MAX}) {
    for (int32_t increment : {0, INT32_MAX / 2}) {
      SCOPED_TRACE(timeLeft);
      ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
      ResetClock();
      Limits.TimeLeft = timeLeft;
      Limits.Increment = increment;
      PlanTime();
      EXPECT_GT(TargetTime, 1000000);
      EXPECT_GT(MaxTime, 1000000);
      EXPECT_LE((int64_t)MaxTime, (int64_t)timeLeft * 95 / 100 / 3);
      EXPECT_EQ(PollInterval, 50000);
    }
  }
  ResetClock();
}

TEST(TimePlanTest, PollIntervalFollowsTheTarget) {
  EnsureEvalReady();
  struct {
    int32_t perMove, interval;
  } cases[] = {{301, 50000}, {300, 20000}, {101, 20000}, {100, 5000}, {1, 5000}};
  for (auto c : cases) {
    ResetClock();
    Limits.TimePerMove = c.perMove;
    PlanTime();
    EXPECT_EQ(PollInterval, c.interval) << c.perMove;
  }
  ResetClock();
}

TEST(StopTestTest, TheTimeRule) {
  EnsureEvalReady();
  ResetClock();
  ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  struct Case {
    const char* name;
    int early;      // CheckTimeNewIteration instead of CheckTime
    int elapsed;    // centiseconds since the start
    int pastFirst, easy, outOfBook;
    int32_t previous, score, maxTime;
    int stop;
  } cases[] = {
      {"before the target", 0, 95, 0, 0, 0, 0, 0, 1000, 0},
      {"at the target", 0, 103, 0, 0, 0, 0, 0, 1000, 1},
      {"past the first move: up to 5/3", 0, 160, 1, 0, 0, 0, 0, 1000, 0},
      {"past 5/3 with a steady score", 0, 172, 1, 0, 0, 0, 0, 1000, 1},
      {"a rising score doubles the time", 0, 190, 1, 0, 0, 0, 30, 1000, 0},
      {"rising from a clear lead does not", 0, 190, 1, 0, 0, 200, 230, 1000, 1},
      {"a big drop out of book: 7 times", 0, 650, 1, 0, 1, 0, -70, 1000, 0},
      {"a big drop in the first moves: 4 times", 0, 390, 1, 0, 0, 0, -70, 1000, 0},
      {"past 4 times", 0, 410, 1, 0, 0, 0, -70, 1000, 1},
      {"a small drop: 2.5 times", 0, 240, 1, 0, 0, 0, -30, 1000, 0},
      {"past 2.5 times", 0, 255, 1, 0, 0, 0, -30, 1000, 1},
      {"the limit caps every extension", 0, 300, 1, 0, 1, 0, -70, 250, 1},
      {"an easy move: a third", 0, 36, 1, 1, 0, 0, 0, 1000, 1},
      {"an easy move before a third", 0, 30, 1, 1, 0, 0, 0, 1000, 0},
      {"no new iteration past 3/5", 1, 63, 1, 0, 0, 0, 0, 1000, 1},
      {"a new iteration before 3/5", 1, 57, 1, 0, 0, 0, 0, 1000, 0},
  };
  QuietInput input;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetTime = 100;
    MaxTime = c.maxTime;
    PollInterval = 5000;
    RootDepthLimit = NO_DEPTH_LIMIT;
    PonderSearchActive = 0;
    Limits.UciPonder = 0;
    HintSearch = 0;
    TbRootHit = 0;
    PastFirstRootMove = c.pastFirst;
    MoveStack[0].move = ParseMove("e2e4");
    EasyMove = c.easy ? MoveStack[0].move : 0;
    MovesOutOfBook = c.outOfBook;
    RootSide = WHITE;
    PrevScoreSide = WHITE;
    PrevScore = c.previous;
    RootScores[0] = c.score;
    thread_board.StopSearch = 0;
    SearchStartTime = ClockCentiseconds() - c.elapsed;
    EXPECT_EQ(c.early ? CheckTimeNewIteration() : CheckTime(), c.stop);
  }
  // The previous score seen from the other side counts negated: a drop of 70.
  PastFirstRootMove = 1;
  EasyMove = 0;
  PrevScoreSide = BLACK;
  PrevScore = 0;
  RootScores[0] = -70;
  SearchStartTime = ClockCentiseconds() - 390;
  MovesOutOfBook = 0;
  EXPECT_EQ(CheckTime(), 0);
  PrevScore = -40;  // +40 for the root side: a drop of 110
  EXPECT_EQ(CheckTime(), 0);
  // A ponder search, a UCI ponder search and a fixed depth are never timed.
  SearchStartTime = ClockCentiseconds() - 100000;
  for (int which = 0; which < 3; which++) {
    PonderSearchActive = which == 0;
    Limits.UciPonder = which == 1;
    RootDepthLimit = which == 2 ? 12 : NO_DEPTH_LIMIT;
    EXPECT_EQ(CheckTime(), 0) << which;
  }
  PonderSearchActive = 0;
  Limits.UciPonder = 0;
  RootDepthLimit = NO_DEPTH_LIMIT;
  // A node limit stops whatever the clock.
  Limits.NodeLimit = 1000;
  Nodes = 1000;
  SearchStartTime = ClockCentiseconds();
  EXPECT_EQ(CheckTime(), 1);
  Nodes = 0;
  ResetClock();
}

TEST(ResignTest, LosingScoresOfTheSamePositionsInARow) {
  EnsureEvalReady();
  ResignValue = 800;
  ResignTimes = 3;
  struct {
    const char* name;
    int32_t scores[3];  // newest first
    int brokenKey;      // index of a slot whose key does not match, -1 none
    int resign;
  } cases[] = {
      {"three losing moves", {-900, -801, -5000}, -1, 1},
      {"one at the resign value", {-900, -800, -900}, -1, 0},
      {"the newest not losing", {100, -900, -900}, -1, 0},
      {"an older key not of this game", {-900, -900, -900}, 2, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
    PlayPlies(5);  // the engine (White) has just made its third move
    ResetResignWindow();
    for (int j = 0; j < 3; j++) {
      int slot = RECENT_RING_SIZE - 1 - j;
      RecentKeys[slot] = j == 0 ? thread_board.HashKey : GameHistory[GamePly - 2 * j].HashKey;
      if (j == c.brokenKey) RecentKeys[slot] ^= 1;
      RecentScores[slot] = c.scores[j];
    }
    EXPECT_EQ(ShouldResign(), c.resign);
  }
  ResignTimes = 0;  // never resign without a count
  EXPECT_EQ(ShouldResign(), 0);
  ResignTimes = 3;
}

struct HandlerState {
  int stop, miss, ponderActive, newGame, force, ponderOn, uciPonder;
  int32_t timeLeft, opponentTime;
};

HandlerState CurrentState() {
  return {thread_board.StopSearch, PonderMiss, PonderSearchActive, NewGameRequest, ForceMode,
          PonderOn, Limits.UciPonder, Limits.TimeLeft, Limits.OpponentTime};
}

TEST(InSearchInputTest, EachLineHasItsEffect) {
  EnsureEvalReady();
  QuietInput quiet;
  // The engine ponders on e7e5 after 1. e4 (Black's legal moves are kept).
  const char* const afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1";
  struct Case {
    const char* input;
    int pondering;
    HandlerState expected;  // stop, miss, ponderActive, newGame, force, ponderOn, uciPonder, time, otim
    const char* output;     // printed text, nullptr for nothing
  } cases[] = {
      {"isready\nstop\n", 0, {1, 0, 0, 0, 0, 1, 0, 1000, 0}, "readyok\n"},
      {"?\n", 1, {1, 1, 1, 0, 0, 1, 0, 1000, 0}, nullptr},
      {"ponderhit\n", 0, {0, 0, 0, 0, 0, 1, 0, 1000, 0}, nullptr},
      {"time 500\n", 0, {1, 0, 0, 0, 0, 1, 1, 500, 0}, nullptr},
      {"time 500\notim 300\n", 1, {0, 0, 1, 0, 0, 1, 1, 500, 300}, nullptr},
      {"Quit\n", 0, {0, 0, 0, 0, 0, 1, 1, 1000, 0}, nullptr},
      {"new\n", 1, {1, 1, 1, 1, 0, 1, 1, 1000, 0}, nullptr},
      {"force\n", 0, {1, 0, 0, 0, 1, 1, 1, 1000, 0}, nullptr},
      {"easy\n", 1, {1, 1, 1, 0, 0, 0, 1, 1000, 0}, nullptr},
      {"e7e5\n", 1, {0, 0, 0, 0, 0, 1, 1, 1000, 0}, nullptr},      // the expected reply: a ponder hit
      {"c7c5\n", 1, {1, 1, 1, 0, 0, 1, 1, 1000, 0}, nullptr},      // another legal move
      {"e7e4\n", 1, {1, 1, 1, 0, 0, 1, 1, 1000, 0}, "Illegal move: e7e4\n"},
      {"c7c5\n", 0, {1, 0, 0, 0, 0, 1, 1, 1000, 0}, nullptr},      // a move in the engine's own search
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    ASSERT_TRUE(SetFenPosition(afterE4));
    GenerateLegalMoves(63536);
    PonderListEnd = MoveStackTop;
    MoveStackTop = 0;
    PonderExpected = ParseMove("e7e5");
    thread_board.StopSearch = 0;
    PonderMiss = 0;
    PonderSearchActive = c.pondering;
    NewGameRequest = 0;
    ForceMode = 0;
    Pondering = 1;
    PonderOn = 1;
    Limits.UciPonder = 1;
    Limits.TimeLeft = 1000;
    Limits.OpponentTime = 0;
    TypedMove = 0;
    strcpy(InputBuffer, c.input);
    testing::internal::CaptureStdout();
    HandleInputDuringSearch();
    std::string printed = testing::internal::GetCapturedStdout();
    HandlerState s = CurrentState();
    HandlerState e = c.expected;
    EXPECT_EQ(s.stop, e.stop);
    EXPECT_EQ(s.miss, e.miss);
    EXPECT_EQ(s.ponderActive, e.ponderActive);
    EXPECT_EQ(s.newGame, e.newGame);
    EXPECT_EQ(s.force, e.force);
    EXPECT_EQ(s.ponderOn, e.ponderOn);
    EXPECT_EQ(s.uciPonder, e.uciPonder);
    EXPECT_EQ(s.timeLeft, e.timeLeft);
    EXPECT_EQ(s.opponentTime, e.opponentTime);
    EXPECT_EQ(printed, c.output ? c.output : "");
    if (std::string(c.input) == "c7c5\n") {
      EXPECT_EQ(TypedMove, FindLegalMove(ParseMove("c7c5")));
    }
  }
  PonderSearchActive = 0;
  PonderMiss = 0;
  Limits.UciPonder = 0;
  thread_board.StopSearch = 0;
  ResetClock();
}

TEST(InSearchInputTest, TheEndOfInputEndsOnlyASearchWithoutEnd) {
  EnsureEvalReady();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  int saved = dup(0);
  dup2(ends[0], 0);
  close(ends[0]);
  close(ends[1]);  // at its end at once
  InputBuffer[0] = 0;
  struct {
    int32_t timeLeft, perMove, depth;
    int stop;
  } cases[] = {
      {INFINITE_TIME, 0, 998, 1}, {NO_CLOCK, 0, 998, 1}, {NO_CLOCK, 0, 6, 0}, {NO_CLOCK, 50, 998, 0}, {3000, 0, 998, 0},
  };
  for (auto c : cases) {
    ResetClock();
    Limits.TimeLeft = c.timeLeft;
    Limits.TimePerMove = c.perMove;
    Limits.DepthLimit = c.depth;
    thread_board.StopSearch = 0;
    HandleInputDuringSearch();
    EXPECT_EQ(thread_board.StopSearch, c.stop) << c.timeLeft << " " << c.perMove << " " << c.depth;
  }
  dup2(saved, 0);
  close(saved);
  thread_board.StopSearch = 0;
  Limits.DepthLimit = 998;
  ResetClock();
}

}  // namespace
