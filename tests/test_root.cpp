// The root of the search: the root move list with its game-end
// announcements, the window of a root move, the lazy-evaluation bounds and
// the drivers, including a finished search that must wait for "stop".
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "search/output.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/transposition.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char* const MATE_IN_ONE = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";        // Ra8#
const char* const MATED_IN_ONE = "3r4/8/8/8/8/p7/P1k4P/K7 w - - 0 1";      // h3 or h4, then Rd1#
const char* const ONE_LEGAL_MOVE = "7k/8/8/8/8/8/6q1/7K w - - 0 1";        // Kxg2 only

template <typename F>
std::string Captured(F run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}

void Play(const std::vector<const char*>& moves) {
  for (const char* text : moves) {
    Move move = ParseMove(text);
    ASSERT_TRUE(IsMoveLegal(move)) << text;
    MakeMove(move, 1);
  }
}

std::string Text(Move move) {
  char buffer[8];
  return MoveToText(buffer, move);
}

// The root list as coordinate texts.
std::vector<std::string> RootList() {
  std::vector<std::string> list;
  for (int i = 0; i < RootMoveCount; i++) list.push_back(Text(MoveStack[i].move));
  return list;
}

void ClearKillersOfAllPlies() {
  for (PlyRecord& ply : SearchStack) {
    ply.killer1[0] = ply.killer1[1] = ply.killer2[0] = ply.killer2[1] = 0;
  }
}

// Writes a table entry with an exact score and `move` for the position on
// the board, as a store of this position would.
void PlantExact(Move move, int16_t score) {
  const uint64_t key = PositionKey();
  const int side = thread_board.SideToMove;
  TranspositionEntry& entry = HashTable[HashIndex(key, side)];
  std::memset(&entry, 0, sizeof entry);
  entry.key = key;
  entry.info = move | (uint32_t)HASH_EXACT << HASH_KIND_SHIFT | (uint32_t)side << HASH_SIDE_SHIFT;
  entry.exact_score = score;
  entry.exact_depth = 40;
  entry.age = SearchAge;
  entry.flags = HASH_EXACT_VALID;
}

class RootTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureEvalReady();
    SetHashSizeMb(1);
    InitCycleMoveTable();
  }
  void SetUp() override {
    ClearTranspositionTable();
    ClearKillersOfAllPlies();
    UciMode = 0;
    PostMode = 0;
    MultiPV = 1;
    Limits.MateLimit = 0;
    Limits.DepthLimit = 998;
    Limits.NodeLimit = 0;
    Limits.TimeLeft = NO_CLOCK;
    Limits.TimePerMove = 0;
    Limits.UciPonder = 0;
    PonderSearchActive = 0;
    HintSearch = 0;
    Limits.SearchMovesCount = 0;
    TargetTime = MaxTime = 9999999;
    PollInterval = 50000;
    SearchStartTime = ClockCentiseconds();
    InputBuffer[0] = 0;
  }
  void TearDown() override {
    UciMode = 0;
    PostMode = 1;
    Limits.TimeLeft = NO_CLOCK;
    Limits.UciPonder = 0;
    Limits.SearchMovesCount = 0;
  }
  static void SetUp(const char* fen) { ASSERT_TRUE(SetFenPosition(fen)) << fen; }
};

struct EndCase {
  const char* what;
  const char* fen;
  std::vector<const char*> moves;  // played before the root list is built
  int rule50;                      // Rule50 before the moves, -1 to keep it
  const char* announced;           // outside UCI mode
  int result;
};

TEST_F(RootTest, GameEndsAreAnnouncedOutsideUciOnlyAndOnlyMatesAndStalematesEndTheSearch) {
  const EndCase cases[] = {
      {"WHITE has mated", "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", {}, -1, "1-0 {White mates}\n", 1},
      {"BLACK has mated", "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", {}, -1,
       "0-1 {Black mates}\n", 1},
      {"stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", {}, -1, "1/2-1/2 {Stalemate}\n", 1},
      {"king against king and bishop", "8/8/8/4k3/8/8/3B4/4K3 w - - 0 1", {}, -1,
       "1/2-1/2 {Draw by insufficient material}\n", 0},
      {"bare kings, printed once", "8/8/8/4k3/8/8/8/4K3 w - - 0 1", {}, -1,
       "1/2-1/2 {Draw by insufficient material}\n", 0},
      {"king and knight against king", "8/8/8/4k3/8/8/3N4/4K3 b - - 0 1", {}, -1,
       "1/2-1/2 {Draw by insufficient material}\n", 0},
      {"a pawn is enough to play on", "8/8/8/4k3/8/8/3P4/4K3 w - - 0 1", {}, -1, "", 0},
      {"two bishops are more than 300", "8/8/8/4k3/8/8/2BB4/4K3 w - - 0 1", {}, -1, "", 0},
      {"third repetition", START_FEN, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}, -1,
       "1/2-1/2 {Draw by repetition}\n", 0},
      {"second repetition only", START_FEN, {"g1f3", "g8f6", "f3g1", "f6g8"}, -1, "", 0},
      {"100 half moves before the last move", START_FEN, {"g1f3"}, 100, "1/2-1/2 {Draw by the 50-moves rule}\n", 0},
      {"99 half moves before the last move", START_FEN, {"g1f3"}, 99, "", 0},
      {"stalemate in the corner", "k7/8/1Q6/8/8/8/8/7K b - - 0 1", {}, -1, "1/2-1/2 {Stalemate}\n", 1},
  };
  for (const EndCase& c : cases) {
    for (int uci = 0; uci <= 1; uci++) {
      SetUp(c.fen);
      if (c.rule50 >= 0) thread_board.Rule50 = c.rule50;
      Play(c.moves);
      UciMode = uci;
      int result = -1;
      std::string out = Captured([&] { result = GenerateRootMoves(); });
      EXPECT_EQ(out, uci ? "" : c.announced) << c.what << (uci ? " (UCI)" : "");
      EXPECT_EQ(result, c.result) << c.what;
      EXPECT_EQ(RootMoveCount == 0, c.result == 1) << c.what;
    }
  }
}

// The root list holds exactly the legal moves, with the right check flags;
// tactical moves come first and each group is ordered by its scores.
TEST_F(RootTest, RootListIsTheLegalMovesInOrderWithTheirCheckFlags) {
  const char* const fens[] = {
      START_FEN,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",  // castling, many captures
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
      "8/2P1k3/8/8/8/8/5p2/K7 w - - 0 1",                                       // promotions
      "8/2P1k3/8/8/8/8/5p2/K7 b - - 0 1",
      "4k3/8/8/8/8/8/4q3/R3K2R w KQ - 0 1",                                     // in check: evasions only
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",          // en passant
  };
  for (const char* fen : fens) {
    SetUp(fen);
    GenerateLegalMoves(30000);
    std::set<Move> legal;
    for (int i = 30000; i < MoveStackTop; i++) legal.insert(MoveStack[i].move);
    ASSERT_EQ(GenerateRootMoves(), 0) << fen;
    ASSERT_EQ(MoveStackTop, RootMoveCount) << fen;
    std::set<Move> root;
    for (int i = 0; i < RootMoveCount; i++) root.insert(MoveStack[i].move);
    EXPECT_EQ(root, legal) << fen;
    EXPECT_EQ((size_t)RootMoveCount, legal.size()) << fen << ": no move twice";

    const int side = thread_board.SideToMove;
    const int inCheck = SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
    int quietSeen = 0;
    for (int i = 0; i < RootMoveCount; i++) {
      Move move = MoveStack[i].move;
      MakeMove(move, 1);
      int check = SquareAttacked(side, thread_board.KingSquare[side ^ 1]);
      UnmakeMove();
      EXPECT_EQ(RootGivesCheck[i], check) << fen << " " << Text(move);
      if (i > 0) {
        EXPECT_EQ(RootScores[i], 0);
      }
      if (inCheck) continue;
      const int tactical = (move >> 15) != 0;
      if (!tactical) quietSeen = 1;
      EXPECT_FALSE(tactical && quietSeen) << fen << ": tactical move " << Text(move) << " after a quiet one";
      if (i > 0 && ((MoveStack[i - 1].move >> 15) != 0) == tactical) {
        EXPECT_GE(MoveStack[i - 1].score, MoveStack[i].score) << fen << " at " << i;
      }
    }
  }
}

TEST_F(RootTest, HashMoveLeadsTheListButACollidingTableMoveChangesNothing) {
  SetUp(START_FEN);
  ASSERT_EQ(GenerateRootMoves(), 0);
  const std::vector<std::string> plain = RootList();

  struct Case {
    const char* what;
    Move stored;
    const char* front;  // nullptr: the list stays as without a table move
  } cases[] = {
      {"a legal quiet move", MakeMoveWord(G2, G3, PAWN), "g2g3"},
      {"the first move already", ParseMove(plain[0].c_str()), plain[0].c_str()},
      {"a BLACK move", MakeMoveWord(E7, E5, PAWN), nullptr},
      {"from an empty square", MakeMoveWord(E4, E5, PAWN), nullptr},
      {"a wrong piece code", MakeMoveWord(G1, F3, BISHOP), nullptr},
      {"a blocked rook", MakeMoveWord(A1, A5, ROOK), nullptr},
  };
  for (const Case& c : cases) {
    ClearTranspositionTable();
    PlantExact(c.stored, 77);
    RootScores[0] = 0;
    ASSERT_EQ(GenerateRootMoves(), 0) << c.what;
    EXPECT_EQ(RootScores[0], 77) << c.what << ": the exact score comes with the probe";
    std::vector<std::string> list = RootList();
    if (c.front == nullptr) {
      EXPECT_EQ(list, plain) << c.what;
      continue;
    }
    std::vector<std::string> expected = plain;
    expected.erase(std::find(expected.begin(), expected.end(), std::string(c.front)));
    expected.insert(expected.begin(), c.front);
    EXPECT_EQ(list, expected) << c.what;
  }
}

TEST_F(RootTest, SearchMovesLimitTheList) {
  SetUp(START_FEN);
  Limits.SearchMoves[0] = ParseMove("g1f3");
  Limits.SearchMoves[1] = ParseMove("e2e4");
  Limits.SearchMoves[2] = MakeMoveWord(E2, E5, PAWN);  // not a move here: ignored
  Limits.SearchMovesCount = 3;
  ASSERT_EQ(GenerateRootMoves(), 0);
  std::vector<std::string> list = RootList();
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list, (std::vector<std::string>{"e2e4", "g1f3"}));
}

TEST_F(RootTest, EasyMoveIsTheOnlyRecaptureOnTheSquareOfTheLastCapture) {
  struct Case {
    const char* what;
    const char* fen;
    std::vector<const char*> moves;
    const char* easy;  // "" for none
  } cases[] = {
      {"the king alone can retake", "4k3/3r4/8/8/8/8/3R4/4K3 w - - 0 1", {"d2d7"}, "e8d7"},
      {"king and knight can retake", "1n2k3/3r4/8/8/8/8/3R4/4K3 w - - 0 1", {"d2d7"}, ""},
      {"the last move was no capture", "4k3/3r4/8/8/8/8/3R4/4K3 w - - 0 1", {"d2d3"}, ""},
      {"no move yet", "4k3/3r4/8/8/8/8/3R4/4K3 b - - 0 1", {}, ""},
  };
  for (const Case& c : cases) {
    SetUp(c.fen);
    Play(c.moves);
    ASSERT_EQ(GenerateRootMoves(), 0) << c.what;
    EXPECT_EQ(EasyMove == 0 ? std::string() : Text(EasyMove), c.easy) << c.what;
  }
}

TEST_F(RootTest, LazyEvalBoundsFollowTheRootScoreAndTheMaterialBalance) {
  struct Case {
    const char* fen;
    int rootSide;
    int32_t score;
    int step;
    int32_t balance, low, high;
  } cases[] = {
      {START_FEN, WHITE, 100, 2, 0, -190, 330},
      {START_FEN, WHITE, -1000, 0, 0, -1350, 50},      // c clamped to -150
      {START_FEN, BLACK, 3000, 7, 0, -85, 3385},       // c clamped to 150
      {"rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", WHITE, 0, 1, 900, -205, 1105},
      {"rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", BLACK, -14, 0, -900, -1102, 184},
  };
  for (const Case& c : cases) {
    SetUp(c.fen);
    RootSide = c.rootSide;
    RootScores[0] = c.score;
    SetLazyEvalBounds(c.step);
    EXPECT_EQ(MaterialBalance, c.balance) << c.fen;
    EXPECT_EQ(LazyEvalLow, c.low) << c.fen << " " << c.score;
    EXPECT_EQ(LazyEvalHigh, c.high) << c.fen << " " << c.score;
  }
}

// An empty window, also one left empty by the mate limit, answers its lower
// end without searching.
TEST_F(RootTest, RootWindowIsClampedByTheMateLimit) {
  SetUp(START_FEN);
  struct Case {
    int mateLimit, alpha, beta, expected;
  } cases[] = {
      {2, 100, 200, -32695},        // window [-32696, -32695], seen from the opponent
      {2, -32700, -32699, -32696},
      {1, 0, 5, -32697},
      {0, 40000, 50000, 32701},
      {0, -50000, -40000, -32701},
      {0, 7, 7, 7},
      {0, 9, 3, 9},
  };
  for (const auto& c : cases) {
    Limits.MateLimit = c.mateLimit;
    Nodes = 0;
    EXPECT_EQ(SearchRootMove(c.alpha, c.beta, 12), c.expected) << c.mateLimit << " " << c.alpha << " " << c.beta;
    EXPECT_EQ(Nodes, 0);
  }
}

TEST_F(RootTest, OneLegalMoveIsPlayedWithoutASearch) {
  for (int uci = 0; uci <= 1; uci++) {
    SetUp(ONE_LEGAL_MOVE);
    UciMode = uci;
    int result = -1;
    Captured([&] { result = RootSearch(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(RootMoveCount, 1);
    EXPECT_EQ(Text(MoveStack[0].move), "h1g2");
    EXPECT_EQ(Nodes, 0) << "nothing searched";
  }
}

struct MateCase {
  const char* fen;
  const char* best;   // "" when any move will do
  const char* score;  // in the UCI line
};

TEST_F(RootTest, MatesEndTheSearchEarlyAndPrintAsMateWithTheRightSign) {
  const MateCase cases[] = {
      {MATE_IN_ONE, "a1a8", "score mate 1 "},
      {MATED_IN_ONE, "", "score mate -1 "},
  };
  for (const MateCase& c : cases) {
    for (int driver = 0; driver < 2; driver++) {
      SetUp(c.fen);
      UciMode = 1;
      int result = -1;
      std::string out = Captured([&] { result = driver == 0 ? RootSearchFixed(NO_DEPTH_LIMIT) : RootSearch(); });
      EXPECT_EQ(result, 0) << c.fen;
      if (*c.best) {
        EXPECT_EQ(Text(MoveStack[0].move), c.best) << c.fen;
      }
      EXPECT_GT(std::abs(RootScores[0]), 31000) << c.fen;
      EXPECT_LT(IterationDepth, 12) << c.fen << ": the mate ends the iterations";
      std::string last = Captured([] { PrintUciInfo(1, BOUND_EXACT, 1); });
      EXPECT_NE(last.find(c.score), std::string::npos) << last;
      EXPECT_NE(out.find(c.score), std::string::npos) << out;
      EXPECT_EQ(SearchPly, 0);
      EXPECT_EQ(GamePly, RootGamePly) << "the board is back at the root";
    }
  }
}

TEST_F(RootTest, DepthLimitsEndTheIterationsOfEveryDriver) {
  struct Case {
    int driver;  // 0 fixed, 1 timed, 2 MultiPV
    int callLimit, depthLimit;
    int lastIteration;
  } cases[] = {
      {0, 3, 998, 2}, {0, 999, 4, 3}, {1, 999, 5, 4}, {2, 2, 998, 1}, {2, 999, 3, 2},
  };
  for (const auto& c : cases) {
    SetUp(START_FEN);
    Limits.DepthLimit = c.depthLimit;
    MultiPV = c.driver == 2 ? 3 : 1;
    int result = c.driver == 0 ? RootSearchFixed(c.callLimit)
                 : c.driver == 1 ? RootSearch()
                                 : RootSearchMultiPV(c.callLimit);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(IterationDepth, c.lastIteration) << c.driver << " " << c.callLimit << " " << c.depthLimit;
    EXPECT_EQ(MoveStackTop, 20);
    if (c.driver == 2) {
      for (int k = 1; k < 3; k++) EXPECT_GE(RootScores[k - 1], RootScores[k]) << "MultiPV keeps its lines sorted";
    }
  }
}

// Standard input replaced by a pipe whose writing end a second thread feeds
// after a pause, so that the search has long finished when the line arrives.
class PipedInput {
 public:
  PipedInput() {
    saved_ = dup(0);
    if (pipe(fds_) != 0 || dup2(fds_[0], 0) < 0) ADD_FAILURE() << "no pipe";
    close(fds_[0]);
  }
  ~PipedInput() {
    if (writer_.joinable()) writer_.join();
    close(fds_[1]);
    dup2(saved_, 0);
    close(saved_);
    InputBuffer[0] = 0;
  }
  void SendLater(std::string text, int ms) {
    writer_ = std::thread([this, text, ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      if (write(fds_[1], text.data(), text.size()) != (ssize_t)text.size()) ADD_FAILURE() << "write";
    });
  }

 private:
  int saved_ = -1;
  int fds_[2] = {-1, -1};
  std::thread writer_;
};

struct WaitCase {
  const char* what;
  int uci, infinite, uciPonder, ponder, hint;
  int waits;
};

TEST_F(RootTest, OnlyPonderAndInfiniteSearchesWaitForTheirEnd) {
  const WaitCase cases[] = {
      {"UCI go infinite", 1, 1, 0, 0, 0, 1},
      {"UCI go ponder", 1, 0, 1, 0, 0, 1},
      {"xboard pondering", 0, 0, 0, 1, 0, 1},
      {"the hint search", 0, 0, 0, 1, 1, 0},
      {"UCI timed search", 1, 0, 0, 0, 0, 0},
      {"xboard with the endless clock value", 0, 1, 0, 0, 0, 0},
  };
  for (const WaitCase& c : cases) {
    UciMode = c.uci;
    Limits.TimeLeft = c.infinite ? INFINITE_TIME : 30000;
    Limits.UciPonder = c.uciPonder;
    PonderSearchActive = c.ponder;
    HintSearch = c.hint;
    EXPECT_EQ(SearchMustWaitForStop(), c.waits) << c.what;
  }
  PonderSearchActive = HintSearch = 0;
}

struct EndlessCase {
  const char* what;
  const char* fen;
  int uciPonder;          // else "go infinite"
  const char* input;      // arrives after the pause
  int stopped, ponderLeft;
};

// A search that finishes by itself (a mate, one legal move, the last
// iteration) under "go infinite" or "go ponder" returns only when the line
// arrives; "isready" is answered while it waits.
TEST_F(RootTest, FinishedEndlessSearchesReturnOnlyAfterStopOrPonderhit) {
  const EndlessCase cases[] = {
      {"mate under go infinite", MATE_IN_ONE, 0, "isready\nstop\n", 1, 0},
      {"one move under go infinite", ONE_LEGAL_MOVE, 0, "stop\n", 1, 0},
      {"mate under go ponder, ponderhit", MATE_IN_ONE, 1, "isready\nponderhit\n", 0, 0},
      {"one move under go ponder, stop", ONE_LEGAL_MOVE, 1, "stop\n", 1, 0},
  };
  constexpr int PAUSE_MS = 300;
  for (const EndlessCase& c : cases) {
    SetUp(c.fen);
    UciMode = 1;
    Limits.TimeLeft = c.uciPonder ? 30000 : INFINITE_TIME;
    Limits.UciPonder = c.uciPonder;
    PipedInput input;
    // The clock starts before the writer, so the line cannot come sooner
    // than PAUSE_MS after it, however slowly the thread starts (valgrind).
    const auto start = std::chrono::steady_clock::now();
    input.SendLater(c.input, PAUSE_MS);
    int result = -1;
    std::string out = Captured([&] { result = RootSearch(); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result, 0) << c.what;
    EXPECT_GE(waited, std::chrono::milliseconds(PAUSE_MS - 20)) << c.what << ": returned before the line came";
    EXPECT_EQ(thread_board.StopSearch, c.stopped) << c.what;
    EXPECT_EQ(Limits.UciPonder, c.ponderLeft) << c.what;
    EXPECT_EQ(out.find("bestmove"), std::string::npos) << c.what << ": the answer is Think's";
    EXPECT_EQ(out.find("readyok") != std::string::npos, std::string(c.input).find("isready") == 0) << out;
  }
}

// Without a legal move the driver answers at once even under "go infinite"
// (Think owes "bestmove 0000" until the stop), and a closed input ends a
// wait instead of spinning for ever.
TEST_F(RootTest, NoLegalMoveReturnsAtOnceAndTheEndOfInputEndsAWait) {
  SetUp("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
  UciMode = 1;
  Limits.TimeLeft = INFINITE_TIME;
  {
    PipedInput input;
    int result = -1;
    std::string out = Captured([&] { result = RootSearch(); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(out, "");
  }
  SetUp(MATE_IN_ONE);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int saved = dup(0);
  dup2(fds[0], 0);
  close(fds[0]);
  close(fds[1]);  // end of input at once
  int result = -1;
  Captured([&] { result = RootSearch(); });
  dup2(saved, 0);
  close(saved);
  InputBuffer[0] = 0;
  EXPECT_EQ(result, 0);
  EXPECT_EQ(thread_board.StopSearch, 1);
  EXPECT_EQ(Text(MoveStack[0].move), "a1a8");
}

}  // namespace
