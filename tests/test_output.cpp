// The progress lines of a search: UCI info lines, MultiPV lines, node lines,
// the xboard thinking line and the principal-variation walk over the
// transposition table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "interface/settings.h"
#include "search/hashtable.h"
#include "search/output.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/transposition.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

const Move E2E4 = MakeMoveWord(E2, E4, PAWN);
const Move E7E5 = MakeMoveWord(E7, E5, PAWN);
const Move G1F3 = MakeMoveWord(G1, F3, KNIGHT);
const Move G8F6 = MakeMoveWord(G8, F6, KNIGHT);
const Move F3G1 = MakeMoveWord(F3, G1, KNIGHT);
const Move F6G8 = MakeMoveWord(F6, G8, KNIGHT);
const Move D2D4 = MakeMoveWord(D2, D4, PAWN);

// Writes an entry holding `move` for the position on the board into the
// first free slot of its bucket, as a store of this position would.
void PlantTableMove(Move move) {
  const uint64_t key = PositionKey();
  const int side = thread_board.SideToMove;
  TranspositionEntry* bucket = HashTable + HashIndex(key, side);
  for (int k = 0; k < HASH_BUCKET_SIZE; k++) {
    TranspositionEntry& entry = bucket[k];
    if (entry.info != 0 && !(entry.key == key && (int)((entry.info >> HASH_SIDE_SHIFT) & 1) == side)) continue;
    std::memset(&entry, 0, sizeof entry);
    entry.key = key;
    entry.info = move | (uint32_t)HASH_EXACT << HASH_KIND_SHIFT | (uint32_t)side << HASH_SIDE_SHIFT;
    entry.flags = HASH_EXACT_VALID;
    return;
  }
}

// Plants the line `moves` (each stored in the position before it), starting
// from the position on the board, which is left unchanged.
void PlantLine(const std::vector<Move>& moves) {
  int made = 0;
  for (Move move : moves) {
    PlantTableMove(move);
    MakeMove(move, 1);
    made++;
  }
  while (made-- > 0) UnmakeMove();
}

class OutputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureEvalReady();
    SetHashSizeMb(1);
  }
  void SetUp() override {
    savedHashEntries_ = HashEntries;
    ASSERT_TRUE(SetFenPosition(START_FEN));
    ClearTranspositionTable();
    UciMode = 1;
    PostMode = 1;
    MultiPV = 1;
    Limits.MateLimit = 0;
    PollInterval = 50000;
    UciInfoCountdown = -7;
    Nodes = 0;
    LastInfoNodes = 0;
    IterationDepth = 0;
    SelDepth = 1;
    HashUsed = 0;
    TbHits = 0;
    SearchStartTime = ClockCentiseconds();
    RootGamePly = GamePly;
    SetRootList({E2E4, D2D4, G1F3});
    PonderMove = 0;
  }
  void TearDown() override {
    HashEntries = savedHashEntries_;
    MultiPV = 1;
    Limits.MateLimit = 0;
    UciMode = 0;
  }
  static void SetRootList(const std::vector<Move>& moves) {
    MoveStackTop = 0;
    for (Move move : moves) {
      MoveStack[MoveStackTop] = {move, 0, 1};
      RootScores[MoveStackTop] = 0;
      MoveStackTop++;
    }
    RootMoveCount = MoveStackTop;
    RootMoveIndex = 0;
  }
  int32_t savedHashEntries_ = 0;
};

template <typename F>
std::string Captured(F print) {
  testing::internal::CaptureStdout();
  print();
  return testing::internal::GetCapturedStdout();
}

// The line with the number behind every " field " of `fields` replaced by
// '#'; the numbers themselves go to `values` in the order of the fields.
std::string Masked(std::string line, std::initializer_list<const char*> fields,
                   std::vector<long long>* values = nullptr) {
  for (const char* field : fields) {
    const std::string key = std::string(" ") + field + " ";
    size_t start = 0;
    while ((start = line.find(key, start)) != std::string::npos) {
      size_t begin = start + key.size(), end = begin;
      if (end < line.size() && line[end] == '-') end++;
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') end++;
      if (values && end > begin) values->push_back(std::stoll(line.substr(begin, end - begin)));
      line.replace(begin, end - begin, "#");
      start = begin;
    }
  }
  return line;
}

// The fields time and nps of a UCI line agree with the node count.
void ExpectConsistentTiming(const std::string& line, int64_t nodes) {
  std::vector<long long> values;
  Masked(line, {"time", "nps"}, &values);
  ASSERT_EQ(values.size(), 2u) << line;
  long long ms = values[0], nps = values[1];
  EXPECT_EQ(ms % 10, 0) << "time is ten times the centiseconds: " << line;
  long long cs = ms / 10;
  EXPECT_EQ(nps, cs > 0 ? nodes * 100 / cs : 0) << line;
}

TEST_F(OutputTest, UciInfoLineHasTheExactFieldsBoundAndPrincipalVariation) {
  PlantLine({E2E4, E7E5, G1F3});
  IterationDepth = 4;
  SelDepth = 9;
  RootScores[0] = 35;
  Nodes = 123456;
  HashUsed = HashEntries / 4;
  TbHits = 7;
  const int hashfull = (int)((int64_t)HashUsed * 1000 / HashEntries);
  struct Case {
    int bound;
    const char* boundText;
  } cases[] = {{BOUND_UPPER, "upperbound "}, {BOUND_LOWER, "lowerbound "}, {BOUND_EXACT, ""}, {0, ""}};
  for (const Case& c : cases) {
    std::string line = Captured([&] { PrintUciInfo(0, c.bound, 1); });
    std::string expected = "info depth 5 seldepth 9 score cp 35 " + std::string(c.boundText) +
                           "nodes 123456 time # hashfull " + std::to_string(hashfull) +
                           " nps # tbhits 7 pv e2e4 e7e5 g1f3\n";
    EXPECT_EQ(Masked(line, {"time", "nps"}), expected);
    ExpectConsistentTiming(line, Nodes);
    EXPECT_EQ(UciInfoCountdown, 100000 / PollInterval);
    EXPECT_EQ(LastInfoNodes, Nodes);
    LastInfoNodes = 0;
  }
  EXPECT_EQ(PonderMove, E7E5);
}

TEST_F(OutputTest, UciInfoWithoutPvNamesTheCurrentRootMove) {
  IterationDepth = 7;
  SelDepth = 12;
  Nodes = 250000;
  RootMoveIndex = 2;
  std::string line = Captured([] { PrintUciInfo(0, BOUND_EXACT, 0); });
  EXPECT_EQ(Masked(line, {"time", "nps"}),
            "info depth 8 seldepth 12 score cp 0 nodes 250000 time # hashfull 0 nps # tbhits 0 "
            "currmove g1f3 currmovenumber 3\n");
}

struct ScoreCase {
  int32_t score;
  const char* uci;  // the score field of the UCI line
  int32_t xboard;   // the score of the thinking line
};

TEST_F(OutputTest, ScoresPrintInCentipawnOrMateFormInBothProtocols) {
  const ScoreCase cases[] = {
      {0, "cp 0 ", 0},
      {-57, "cp -57 ", -57},
      {31000, "cp 31000 ", 31000},
      {-31000, "cp -31000 ", -31000},
      {31001, "mate 850 ", 31068},
      {-31001, "mate -850 ", -31068},
      {31699, "mate 501 ", 31766},     // a tablebase win at the root
      {-31699, "mate -501 ", -31766},
      {32698, "mate 1 ", 32765},       // mate in one ply
      {32697, "mate 2 ", 32764},
      {32696, "mate 2 ", 32763},
      {-32698, "mate -1 ", -32765},
      {-32697, "mate -2 ", -32764},
  };
  Nodes = 1000;
  for (const ScoreCase& c : cases) {
    RootScores[0] = c.score;
    UciMode = 1;
    std::string uci = Captured([] { PrintUciInfo(1, BOUND_EXACT, 1); });
    EXPECT_NE(uci.find(std::string(" score ") + c.uci + "nodes "), std::string::npos) << c.score << ": " << uci;
    UciMode = 0;
    std::string xboard = Captured([] { PostThinkingForced(); });
    EXPECT_EQ(xboard.rfind("1 " + std::to_string(c.xboard) + " ", 0), 0u) << c.score << ": " << xboard;
  }
}

TEST_F(OutputTest, MateLimitShowsZeroUntilAMateOfExactlyThatLength) {
  struct Case {
    int32_t score;
    const char* uci;
  } cases[] = {{32694, "mate 3 "}, {32695, "mate 3 "}, {32696, "cp 0 "}, {32693, "cp 0 "}, {35, "cp 0 "},
               {-32694, "cp 0 "}};
  Limits.MateLimit = 3;
  for (const auto& c : cases) {
    RootScores[0] = c.score;
    std::string line = Captured([] { PrintUciInfo(1, BOUND_EXACT, 1); });
    EXPECT_NE(line.find(std::string(" score ") + c.uci), std::string::npos) << c.score << ": " << line;
  }
}

// Which calls print, from the node counts and the iteration; a suppressed
// call leaves the countdown alone.
TEST_F(OutputTest, ThrottlesFollowNodesIterationAndForcing) {
  struct Case {
    const char* what;
    int64_t nodes, lastInfoNodes;
    int iteration;
    int printed;
  };
  const Case uciInfo[] = {
      {"first iterations, few nodes", 5000, 0, 1, 0},
      {"exactly 30000 since the last line", 30000, 0, 0, 0},
      {"30001 since the last line", 30001, 0, 0, 1},
      {"counted from the last line", 60000, 40000, 1, 0},
      {"iteration 2 always prints", 5000, 0, 2, 1},
      {"no nodes yet", 0, 0, 0, 1},
      {"a large earlier search", 100, 5000000, 0, 1},
  };
  for (const Case& c : uciInfo) {
    Nodes = c.nodes;
    LastInfoNodes = c.lastInfoNodes;
    IterationDepth = c.iteration;
    UciInfoCountdown = -7;
    std::string out = Captured([] { PrintUciInfo(0, BOUND_EXACT, 1); });
    EXPECT_EQ(!out.empty(), c.printed == 1) << c.what;
    EXPECT_EQ(UciInfoCountdown, c.printed ? 100000 / PollInterval : -7) << c.what;
    LastInfoNodes = c.lastInfoNodes;
    EXPECT_FALSE(Captured([] { PrintUciInfo(1, BOUND_EXACT, 1); }).empty()) << "forced: " << c.what;
  }

  const Case thinking[] = {
      {"few nodes at iteration 1", 100000, 0, 1, 0},
      {"more than 100000 nodes", 100001, 0, 1, 1},
      {"iteration 2", 10, 0, 2, 1},
      {"no nodes yet", 0, 0, 0, 1},
  };
  UciMode = 0;
  for (const Case& c : thinking) {
    Nodes = c.nodes;
    IterationDepth = c.iteration;
    EXPECT_EQ(!Captured([] { PostThinking(); }).empty(), c.printed == 1) << c.what;
    EXPECT_EQ(!Captured([] { PrintThinking(0); }).empty(), c.printed == 1) << c.what;
    EXPECT_FALSE(Captured([] { PrintThinking(1); }).empty()) << c.what;
    EXPECT_FALSE(Captured([] { PostThinkingForced(); }).empty()) << c.what;
  }
  PostMode = 0;
  Nodes = 500000;
  IterationDepth = 9;
  EXPECT_TRUE(Captured([] {
                PostThinking();
                PostThinkingForced();
                PrintThinking(1);
              }).empty());
}

TEST_F(OutputTest, NodeLineOnlyAtZeroOrBeyond200000NodesButAlwaysResetsTheCountdown) {
  struct Case {
    int64_t nodes;
    int printed;
  } cases[] = {{0, 1}, {1, 0}, {200000, 0}, {200001, 1}, {5000000000LL, 1}};
  TbHits = 3;
  for (const auto& c : cases) {
    Nodes = c.nodes;
    UciInfoCountdown = -7;
    std::string out = Captured([] { PrintUciNodeInfo(); });
    EXPECT_EQ(UciInfoCountdown, 100000 / PollInterval) << c.nodes;
    if (!c.printed) {
      EXPECT_TRUE(out.empty()) << c.nodes;
      continue;
    }
    EXPECT_EQ(Masked(" " + out, {"nps"}), " info nps # nodes " + std::to_string(c.nodes) + " tbhits 3 hashfull 0\n");
  }
}

TEST_F(OutputTest, MultiPvPrintsOneLinePerRootMoveUpToTheOptionEachWithItsOwnScore) {
  PlantLine({E2E4, E7E5});
  PlantLine({D2D4, G8F6});
  MultiPV = 3;
  Nodes = 60000;
  IterationDepth = 2;
  SelDepth = 6;
  SetRootList({E2E4, D2D4});
  RootMoveIndex = 1;
  RootScores[0] = 32698;
  RootScores[1] = -20;
  std::string out = Captured([] { PrintUciPvInfo(1, BOUND_LOWER); });
  EXPECT_EQ(Masked(out, {"time", "nps"}),
            "info multipv 1 depth 3 seldepth 6 score mate 1 nodes 60000 time # hashfull 0 nps # tbhits 0 "
            "currmove d2d4 currmovenumber 2 pv e2e4 e7e5\n"
            "info multipv 2 depth 3 seldepth 6 score cp -20 lowerbound nodes 60000 time # hashfull 0 nps # "
            "tbhits 0 currmove d2d4 currmovenumber 2 pv d2d4 g8f6\n");
  EXPECT_EQ(PonderMove, E7E5) << "only the best line names the ponder move";

  SetRootList({E2E4, D2D4, G1F3});
  MultiPV = 2;
  std::string two = Captured([] { PrintUciPvInfo(0, BOUND_EXACT); });
  EXPECT_EQ(std::count(two.begin(), two.end(), '\n'), 2) << two;

  Nodes = 50000;
  UciInfoCountdown = -7;
  EXPECT_TRUE(Captured([] { PrintUciPvInfo(0, BOUND_EXACT); }).empty());
  EXPECT_EQ(UciInfoCountdown, -7);
}

TEST_F(OutputTest, XboardLineCarriesCentisecondsAndThePrincipalVariation) {
  PlantLine({E2E4, E7E5, G1F3});
  UciMode = 0;
  IterationDepth = 3;
  RootScores[0] = -12;
  Nodes = 4321;
  SearchStartTime = ClockCentiseconds() - 250;
  std::vector<long long> cs;
  std::string line = Captured([] { PostThinkingForced(); });
  EXPECT_EQ(Masked(line, {"-12"}, &cs), "4 -12 # 4321 e2e4 e7e5 g1f3\n");
  ASSERT_EQ(cs.size(), 1u);
  EXPECT_GE(cs[0], 250);
  EXPECT_LT(cs[0], 350);

  SetRootList({});
  line = Captured([] { PostThinkingForced(); });
  EXPECT_EQ(Masked(line, {"-12"}), "4 -12 # 4321 0000\n");
}

// A knight shuffle that repeats for ever in the table: the walk stops at 20
// moves, and the board is as before, also when a root move is still made.
TEST_F(OutputTest, PvWalkStopsAtTwentyMovesAndLeavesTheBoardAsItWas) {
  PlantLine({G1F3, G8F6, F3G1, F6G8});
  SetRootList({G1F3});
  std::string expected;
  const char* cycle[] = {" g1f3", " g8f6", " f3g1", " f6g8"};
  for (int i = 0; i < 20; i++) expected += cycle[i % 4];

  const ThreadBoard before = thread_board;
  const int ply = GamePly;
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), expected);
  EXPECT_EQ(std::memcmp(&before, &thread_board, sizeof before), 0);
  EXPECT_EQ(GamePly, ply);

  MakeMove(G1F3, 1);  // as in the middle of a root move
  const ThreadBoard inside = thread_board;
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), expected);
  EXPECT_EQ(std::memcmp(&inside, &thread_board, sizeof inside), 0);
  EXPECT_EQ(GamePly, ply + 1);
  MakeMove(G8F6, 1);  // deeper than a root move: the root move alone
  const ThreadBoard deeper = thread_board;
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), " g1f3");
  EXPECT_EQ(std::memcmp(&deeper, &thread_board, sizeof deeper), 0);
  UnmakeMove();
  UnmakeMove();
  EXPECT_EQ(PonderMove, G8F6);
}

// Table moves that a key collision could bring: the walk must end at them
// without making them, and the board must survive.
TEST_F(OutputTest, PvWalkRefusesTableMovesThatAreNotLegalInThePosition) {
  struct Case {
    const char* what;
    Move planted;  // stored for the position after e2e4, BLACK to move
  } cases[] = {
      {"a WHITE move", MakeMoveWord(D2, D4, PAWN)},
      {"from an empty square", MakeMoveWord(E4, E5, PAWN)},
      {"the wrong piece", MakeMoveWord(G8, F6, BISHOP)},
      {"a blocked slider", MakeMoveWord(D8, H4, QUEEN)},
      {"a capture of nothing", MakeMoveWord(D7, D5, PAWN, KNIGHT)},
      {"a king capture", MakeMoveWord(E8, E1, QUEEN, KING)},
      {"castling without room", CASTLE_BLACK_SHORT},
      {"a promotion from rank 7", MakeMoveWord(A7, A8, PAWN, 0, QUEEN)},
      {"the most bits of a move", HASH_MOVE_MASK},
  };
  const ThreadBoard before = thread_board;
  for (const Case& c : cases) {
    ClearTranspositionTable();
    MakeMove(E2E4, 1);
    PlantTableMove(c.planted);
    PlantTableMove(c.planted);
    UnmakeMove();
    PonderMove = 0;
    EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), " e2e4") << c.what;
    EXPECT_EQ(std::memcmp(&before, &thread_board, sizeof before), 0) << c.what;
    EXPECT_EQ(PonderMove, 0u) << c.what;
  }
  // A legal move stored behind the collision is still followed.
  ClearTranspositionTable();
  PlantLine({E2E4, E7E5});
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), " e2e4 e7e5");
}

TEST_F(OutputTest, NoTableAndAFullGameRecordEndTheLineEarlyWithoutFaults) {
  PlantLine({E2E4, E7E5, G1F3});
  HashEntries = 0;
  Nodes = 40000;
  HashUsed = 1234;
  std::string line = Captured([] { PrintUciInfo(1, BOUND_EXACT, 1); });
  EXPECT_NE(line.find(" hashfull 0 "), std::string::npos) << line;
  EXPECT_NE(line.find(" pv e2e4\n"), std::string::npos) << line;
  Nodes = 0;
  line = Captured([] { PrintUciNodeInfo(); });
  EXPECT_EQ(line.substr(line.size() - 11), "hashfull 0\n") << line;
  HashEntries = savedHashEntries_;

  // One record left: the root move fits, nothing after it.
  const int ply = GamePly;
  GamePly = GAME_HISTORY_SIZE - 2;
  RootGamePly = GamePly;
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), " e2e4");
  EXPECT_EQ(GamePly, GAME_HISTORY_SIZE - 2);
  GamePly = GAME_HISTORY_SIZE - 1;
  RootGamePly = GamePly;
  EXPECT_EQ(Captured([] { PrintPrincipalVariation(0); }), " e2e4");
  EXPECT_EQ(GamePly, GAME_HISTORY_SIZE - 1);
  GamePly = ply;
}

}  // namespace
