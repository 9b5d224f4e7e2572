// The keyword test, the tokenizer, number reading and the commands that only
// set the clock and the modes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "interface/commands.h"
#include "interface/settings.h"
#include "search/commandtable.h"
#include "search/tokens.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

class CommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureTablesReady();
    if (Tokens[0] == nullptr) AllocateTokenBuffers();
  }
};

struct MatchCase {
  const char* word;
  const char* text;
  int expected;
};

TEST_F(CommandTest, CommandMatchesIsATwoWayPrefixTest) {
  const MatchCase cases[] = {
      {"st", "stop 5", 1},        // a word matches every text beginning with it
      {"stop", "st 5", 0},        // ... but not a shorter word followed by more
      {"new", "n", 1},            // a non-empty beginning of the word matches
      {"new", "N", 1},            // letter case does not count
      {"LEVEL", "level 40 5 0", 1},
      {"q", "qwerty", 1},
      {"quit", "q", 1},
      {"uci", "ucinewgame", 1},
      {"post", "nopost", 0},
      {"new", "  new", 1},        // leading blanks of both sides are skipped
      {"  new", "new", 1},
      {"new", "\tnew", 0},        // a tab is an ordinary character
      {"new", "", 0},             // empty after the blanks: no match
      {"new", "   ", 0},
      {"", "new", 0},
      {"e", "\xe9", 0},           // bytes above 127 fold to themselves
      {"\xc9", "\xc9t\xe9", 1},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(CommandMatches(c.word, c.text), c.expected) << '"' << c.word << "\" vs \"" << c.text << '"';
  }
}

// The commands the line loop runs for a line (the rows that go on, then the
// one that decides), and the one a running search takes.
struct DispatchCase {
  const char* line;
  std::vector<int> lineLoop;
  int search;  // -1: no row of the search's
};

static std::vector<int> LineLoopCommands(const char* line) {
  std::vector<int> ids;
  for (int row = FindCommand(line, 0, IN_LINE_LOOP); row >= 0; row = FindCommand(line, row + 1, IN_LINE_LOOP)) {
    ids.push_back(COMMAND_TABLE[row].id);
    if (!COMMAND_TABLE[row].goes_on) break;
  }
  return ids;
}

TEST_F(CommandTest, TheTableIsReadInOrderByTheLineLoopAndTheSearch) {
  const DispatchCase cases[] = {
      {"p", {CMD_PGNEVAL, CMD_POST}, CMD_PONDERHIT},  // "pgneval" goes on; the search has "ponderhit" first
      {"po", {CMD_POST}, CMD_PONDERHIT},
      {"ponderhit", {CMD_PONDERHIT}, CMD_PONDERHIT},
      {"n", {CMD_NEW}, CMD_NEW},
      {"no", {CMD_NOPOST}, CMD_NOPOST},
      {"e", {CMD_EDIT}, CMD_EXIT},
      {"ea", {CMD_EASY}, CMD_EASY},
      {"exit", {}, CMD_EXIT},
      {"stop", {CMD_STOP}, CMD_STOP},
      {"STOP now", {CMD_STOP}, CMD_STOP},
      {"stopper", {CMD_ST}, CMD_STOP},  // "stop" of the line loop wants the whole first word
      {"st", {CMD_ST}, CMD_STOP},
      {"st 5", {CMD_ST}, -1},
      {"s", {CMD_SELFTEST}, CMD_STOP},
      {"?", {}, CMD_STOP},
      {" ?", {}, -1},              // the search tests the first character as it is
      {".", {}, CMD_STATUS},
      {"q", {CMD_QUIT}, CMD_QUIT},
      {"Quit", {CMD_QUIT}, -1},    // a running search quits on a small q only
      {"  quit", {CMD_QUIT}, -1},
      {"e2e4", {CMD_MOVE}, CMD_MOVE},
      {"E7E8q", {CMD_MOVE}, CMD_MOVE},
      {"u", {CMD_UNDO}, CMD_UNDO},
      {"uci", {CMD_UCI}, -1},
      {"ucinewgame", {CMD_UCINEWGAME}, -1},
      {"ucinewgamex", {CMD_UCI}, -1},
      {"t", {CMD_TIME}, CMD_TIME},
      {"time 500", {CMD_TIME}, CMD_TIME},
      {"otime 300", {CMD_OTIM}, CMD_OTIM},
      {"fritz", {CMD_FRITZ}, -1},  // goes on, and no later word takes it
      {"egtbstat", {CMD_EGTBSTAT}, -1},
      {"isready", {CMD_ISREADY}, CMD_ISREADY},
      {"result 1-0", {}, CMD_RESULT},
      {"r", {CMD_RELOAD}, CMD_RESULT},
      {"level 40 5 0", {CMD_LEVEL}, -1},
      {"hello", {}, -1},
      {"", {}, -1},
      {"   ", {}, -1},
  };
  for (const DispatchCase& c : cases) {
    SCOPED_TRACE(std::string("line \"") + c.line + "\"");
    EXPECT_EQ(LineLoopCommands(c.line), c.lineLoop);
    const int row = FindCommand(c.line, 0, IN_SEARCH);
    EXPECT_EQ(row < 0 ? -1 : (int)COMMAND_TABLE[row].id, c.search);
  }
}

struct SplitCase {
  const char* line;
  const char* separators;
  std::vector<std::string> tokens;  // the count is their number
  std::vector<int> starts;
};

TEST_F(CommandTest, SplitCommandLineCountsAndStarts) {
  const SplitCase cases[] = {
      {"go", " ", {"go"}, {0}},
      {"go ", " ", {"go", ""}, {0, 3}},  // a trailing blank adds an empty token
      {"", " ", {""}, {0}},              // an empty line is one empty token
      {"  go  wtime 100", " ", {"go", "wtime", "100"}, {2, 6, 12}},
      {"level 40 0:30 0", " :", {"level", "40", "0", "30", "0"}, {0, 6, 9, 11, 14}},
      {"level 40 0:30 0", " ", {"level", "40", "0:30", "0"}, {0, 6, 9, 14}},
      {"a\tb  c", " ", {"a\tb", "c"}, {0, 5}},
      {"key = \"x y\"", " =\"", {"key", "x", "y", ""}, {0, 7, 9, 11}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_EQ(SplitCommandLine(c.line, c.separators), (int)c.tokens.size());
    for (size_t i = 0; i < c.tokens.size(); i++) {
      EXPECT_EQ(Tokens[i], c.tokens[i]) << "token " << i;
      EXPECT_EQ(TokenStart[i], c.starts[i]) << "token " << i;
    }
    EXPECT_STREQ(Tokens[c.tokens.size()], "");  // beyond the count: empty
  }
}

TEST_F(CommandTest, SplitCommandLineClearsTheTokensOfTheLineBefore) {
  SplitCommandLine("setoption name Hash value 64", " ");
  ASSERT_EQ(SplitCommandLine("go", " "), 1);
  for (int i = 1; i < 5; i++) {
    EXPECT_STREQ(Tokens[i], "") << i;
    EXPECT_EQ(TokenStart[i], 2) << i;  // the rest of the line behind an empty token is empty
  }
}

TEST_F(CommandTest, SplitCommandLineCutsLongTokens) {
  // Token 0 holds 511 characters, tokens from 64 on hold 15.
  std::string line = std::string(600, 'a') + " b";
  for (int i = 2; i < 64; i++) line += " t";
  line += " " + std::string(40, 'z') + " end";
  ASSERT_EQ(SplitCommandLine(line.c_str(), " "), 66);
  EXPECT_EQ(Tokens[0], std::string(511, 'a'));
  EXPECT_STREQ(Tokens[1], "b");
  EXPECT_EQ(Tokens[64], std::string(15, 'z'));
  EXPECT_STREQ(Tokens[65], "end");
  EXPECT_EQ(TokenStart[65], (int)line.size() - 3);
}

TEST_F(CommandTest, SplitCommandLineKeepsAtMost2048Tokens) {
  struct {
    int tokens;
    bool trailingBlank;
    int expected;
  } cases[] = {{2047, true, 2048}, {2048, false, 2048}, {2048, true, 2048}, {5000, false, 2048}};
  for (const auto& c : cases) {
    std::string line;
    for (int i = 0; i < c.tokens; i++) line += (i ? " " : "") + std::to_string(i % 10);
    if (c.trailingBlank) line += " ";
    SCOPED_TRACE(std::to_string(c.tokens) + (c.trailingBlank ? " tokens and a blank" : " tokens"));
    ASSERT_EQ(SplitCommandLine(line.c_str(), " "), c.expected);
    EXPECT_STREQ(Tokens[2046], c.tokens > 2046 ? "6" : "");
    EXPECT_STREQ(Tokens[2047], c.tokens > 2047 ? "7" : "");
  }
}

TEST_F(CommandTest, NumbersSaturate) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"123", 123},        {"-45", -45},        {"+7", 7},
      {"12abc", 12},       {"abc", 0},          {"", 0},
      {"-", 0},            {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-99999999999", INT32_MIN},
      {"99999999999999999999999999", INT32_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(ParseNumber64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseNumber64("9223372036854775808"), INT64_MAX);
  EXPECT_EQ(ParseNumber64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseNumber64("-99999999999999999999999"), INT64_MIN);
}

// Runs one command line through the dispatcher.
void Dispatch(const char* line) {
  strcpy(CommandLine, line);
  ProcessCommand();
}

TEST_F(CommandTest, ClockCommands) {
  const struct {
    const char* line;
    int32_t movesToGo, baseTime, increment, timePerMove, timeLeft;
  } cases[] = {
      {"level 40 5 0", 40, 30000, 0, -2, -2},
      {"level 0 2:30 5", 0, 15000, 500, -2, -2},
      {"level 40 5", 40, 30000, -2, -2, -2},
      {"l", -2, -2, -2, -2, -2},          // split on ':' as a level line: one token, no change
      {"level 1 99999999 3", 1, INT32_MAX, 300, -2, -2},
      {"st 5", -2, -2, -2, 500, -2},
      {"st 99999999999", -2, -2, -2, INT32_MAX, -2},
      {"st", -2, -2, -2, -2, -2},
      {"stop 5", -2, -2, -2, -2, -2},     // "stop" takes the line, "st" does not see it
      {"time 12345", -2, -2, -2, -2, 12345},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Limits.MovesToGo = Limits.BaseTime = Limits.Increment = -2;
    Limits.OpponentIncrement = Limits.TimePerMove = Limits.TimeLeft = -2;
    Dispatch(c.line);
    EXPECT_EQ(Limits.MovesToGo, c.movesToGo);
    EXPECT_EQ(Limits.BaseTime, c.baseTime);
    EXPECT_EQ(Limits.Increment, c.increment);
    EXPECT_EQ(Limits.OpponentIncrement, c.increment);
    EXPECT_EQ(Limits.TimePerMove, c.timePerMove);
    EXPECT_EQ(Limits.TimeLeft, c.timeLeft);
  }
}

TEST_F(CommandTest, TheOpponentsClockInBothSpellings) {
  // xboard sends "otim"; "otime" is the console's word for the same clock.
  const struct {
    const char* line;
    int32_t opponentTime;
  } cases[] = {
      {"otim 4321", 4321},
      {"otime 1234", 1234},
      {"OTIM 77", 77},
      {"otim", -2},  // no value: no change
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Limits.OpponentTime = Limits.TimeLeft = -2;
    Dispatch(c.line);
    EXPECT_EQ(Limits.OpponentTime, c.opponentTime);
    EXPECT_EQ(Limits.TimeLeft, -2);
  }
}

TEST_F(CommandTest, ModeCommands) {
  Pondering = 1;
  Dispatch("uci");
  EXPECT_EQ(UciMode, 1);
  EXPECT_EQ(PonderOn, 0);
  Limits.NodeLimit = 5;
  Limits.DepthLimit = 3;
  Dispatch("xboard");
  EXPECT_EQ(UciMode, 0);
  EXPECT_EQ(PonderOn, 1);
  EXPECT_EQ(Limits.NodeLimit, 0);
  EXPECT_EQ(Limits.DepthLimit, 998);
  Dispatch("debug on");
  EXPECT_EQ(UciDebug, 1);
  Dispatch("debug maybe");
  EXPECT_EQ(UciDebug, 1);
  Dispatch("debug off");
  EXPECT_EQ(UciDebug, 0);
  Dispatch("nopost");
  EXPECT_EQ(PostMode, 0);
  Dispatch("p");  // the beginning of "post" (and of "pgneval", which goes on)
  EXPECT_EQ(PostMode, 1);
  Dispatch("fritz");  // goes on, and no later word takes it
  EXPECT_EQ(FritzMode, 1);
  FritzMode = 0;
  Pondering = 0;
  PonderOn = 0;
  Dispatch("hard");
  EXPECT_EQ(PonderOn, 0);
  Pondering = 1;
  Dispatch("hard");
  EXPECT_EQ(PonderOn, 1);
  Dispatch("easy");
  EXPECT_EQ(PonderOn, 0);
}

}  // namespace
