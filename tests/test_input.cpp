// Taking lines from standard input: line ends, bounded reads, over-long lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "search/tokens.h"
#include "search/input.h"
#include "piped_input.h"

namespace {

// Every line GetInputLine gives while waiting, up to the end of input.
std::vector<std::string> AllLines() {
  static char line[INPUT_BUFFER_SIZE];
  std::vector<std::string> lines;
  while (GetInputLine(1, line) == 1) lines.push_back(line);
  return lines;
}

TEST(InputTest, LineEnds) {
  PipedInput input("isready\r\ngo\r\r\n\n\xff\x01 x\nlast line without end");
  std::vector<std::string> expected = {"isready ", "go \r", "", "\xff\x01 x"};
  EXPECT_EQ(AllLines(), expected);
}

TEST(InputTest, NulBytesBecomeBlanks) {
  PipedInput input(std::string("is\0ready\n", 9));
  EXPECT_EQ(AllLines(), std::vector<std::string>{"is ready"});
}

TEST(InputTest, OverLongLinesAreCutAndTheirTailDropped) {
  const int longest = INPUT_BUFFER_SIZE - 2;  // the line end takes the last place
  struct {
    std::string data;
    std::vector<std::string> lines;
  } cases[] = {
      {std::string(20000, 'a') + "\nisready\n", {std::string(longest, 'a'), "isready"}},
      {std::string(longest, 'b') + "\nok\n", {std::string(longest, 'b'), "ok"}},
      {std::string(longest + 1, 'c') + "\nok\n", {std::string(longest, 'c'), "ok"}},
      {std::string(10000, ' ') + "quit\nok\n", {std::string(longest, ' '), "ok"}},
      {"one\n" + std::string(9000, 'd') + "\ntwo\n", {"one", std::string(longest, 'd'), "two"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.data.size());
    PipedInput input(c.data);
    std::vector<std::string> lines = AllLines();
    ASSERT_EQ(lines.size(), c.lines.size());
    for (size_t i = 0; i < lines.size(); i++) EXPECT_TRUE(lines[i] == c.lines[i]) << "line " << i;
  }
}

TEST(InputTest, WithoutWaitingAPartialLineIsNoLine) {
  PipedInput input("");  // at its end at once: a read brings nothing
  char line[INPUT_BUFFER_SIZE];
  strcpy(InputBuffer, "stop");
  EXPECT_EQ(GetInputLine(0, line), 0);  // nothing to read on a pipe that is not ready
  strcat(InputBuffer, "\nisready\n");
  EXPECT_EQ(GetInputLine(0, line), 1);
  EXPECT_STREQ(line, "stop");
  EXPECT_STREQ(InputBuffer, "isready\n");
  EXPECT_EQ(InputAvailable(), 1);  // a buffered line counts as input waiting
  InputBuffer[0] = 0;
}

}  // namespace
