// The position learning file: its layout byte by byte, the chains, the log,
// damaged files, the queue after the engine's moves, and several programs
// (forked processes) writing one file, one of them killed in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "book/learn.h"
#include "interface/settings.h"
#include "search/learning.h"
#include "search/root.h"
#include "search/think.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write((const char*)data.data(), (std::streamsize)data.size());
}

uint32_t U32(const Bytes& data, size_t at) {
  return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | (uint32_t)data[at + 3] << 24;
}

void PutU32(Bytes& data, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) data[at + i] = (unsigned char)(value >> (8 * i));
}

Bytes Record(int32_t depth, int32_t score, uint32_t move, uint32_t lo, uint32_t hi, uint32_t next) {
  Bytes r(24);
  PutU32(r, 0, (uint32_t)depth);
  PutU32(r, 4, (uint32_t)score);
  PutU32(r, 8, move);
  PutU32(r, 12, lo);
  PutU32(r, 16, hi);
  PutU32(r, 20, next);
  return r;
}

Bytes EmptyLearningFile() {
  Bytes data((size_t)LEARNING_FIRST_RECORD, 0);
  memcpy(data.data(), "Corvatine learning file", 23);
  return data;
}

// Every chain of a file, walked with the rules of a sound file: aligned links
// inside the file, always forward, each record in the slot of its key. Gives
// the number of records reached, or -1 when the file breaks a rule.
int CheckedRecordCount(const Bytes& data) {
  if (data.size() < (size_t)LEARNING_FIRST_RECORD || (data.size() - LEARNING_FIRST_RECORD) % 24 != 0) return -1;
  if (memcmp(data.data(), "Corvatine learning file", 23) != 0) return -1;
  int count = 0;
  for (uint32_t slot = 0; slot < 65536; slot++) {
    uint32_t link = U32(data, 23 + 4 * slot), previous = 0;
    while (link != 0) {
      if (link < LEARNING_FIRST_RECORD || (link - LEARNING_FIRST_RECORD) % 24 != 0 || link + 24 > data.size() ||
          link <= previous)
        return -1;
      if ((U32(data, link + 12) & 0xFFFF) != slot) return -1;
      count++;
      previous = link;
      link = U32(data, link + 20);
    }
  }
  return count;
}

void Play(std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    Move move = ParseMove(text);
    ASSERT_TRUE(IsMoveLegal(move)) << text;
    MakeMove(move, 1);
  }
}

// Each test runs in a fresh directory of its own ("Learn.cr1" and "learn.log"
// are relative names) with learning on and nothing queued.
class LearningTest : public testing::Test {
 protected:
  void SetUp() override {
    EnsureEvalReady();
    ASSERT_NE(getcwd(here_, sizeof here_), nullptr);
    strcpy(dir_, "/tmp/crv-learn-XXXXXX");
    ASSERT_NE(mkdtemp(dir_), nullptr);
    ASSERT_EQ(chdir(dir_), 0);
    LearningQueueCount = 0;
    LearnLogCount = 0;
    LogLearningIntoFile = 0;
    PonderSearchActive = 0;
    Limits.UciPonder = 0;
    BookMovePlayed = 0;
  }
  void TearDown() override {
    CloseLearningFile();
    LearningQueueCount = 0;
    LogLearningIntoFile = 0;
    ASSERT_EQ(chdir(here_), 0);
    std::string command = std::string("rm -rf ") + dir_;
    ASSERT_EQ(system(command.c_str()), 0);
  }
  // Opens "Learn.cr1" and gives what it printed.
  std::string Open() {
    testing::internal::CaptureStdout();
    OpenLearningFile("Learn.cr1");
    return testing::internal::GetCapturedStdout();
  }
  char here_[4096];
  char dir_[64];
};

TEST_F(LearningTest, ANewFileIsAnEmptyTableOfChainHeads) {
  EXPECT_EQ(Open(), "");
  ASSERT_NE(LearnFile, nullptr);
  EXPECT_EQ(LearnFileReadOnly, 0);
  EXPECT_EQ(ReadFile("Learn.cr1"), EmptyLearningFile());
  EXPECT_EQ(LEARNING_FIRST_RECORD, 262167);
  // No temporary file of the creation is left behind.
  EXPECT_EQ(system("test $(ls -A | wc -l) -eq 1"), 0);
  // Opening it again keeps it as it is.
  EXPECT_EQ(Open(), "");
  EXPECT_EQ(ReadFile("Learn.cr1"), EmptyLearningFile());
}

TEST_F(LearningTest, RecordsChainsAndLogLinesByteByByte) {
  Open();
  ASSERT_NE(LearnFile, nullptr);
  LogLearningIntoFile = 1;
  ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  const Move e2e4 = ParseMove("e2e4"), d2d4 = ParseMove("d2d4");
  // Two keys of one slot (same low 16 bits) and one of another slot.
  const uint32_t a = 0x1234ABCD, b = 0x9876ABCD, c = 0x00000007;
  QueueLearningEntry(a, 0x55667788, e2e4, 100, 59, 30);
  QueueLearningEntry(b, 0x11223344, d2d4, -20, -500, 42);
  QueueLearningEntry(c, 0xFFFFFFFF, e2e4, 7, -7, 26);
  QueueLearningEntry(c, 0, e2e4, 0, 0, 0);  // the queue holds three
  EXPECT_EQ(LearningQueueCount, 3);
  FlushLearning();
  EXPECT_EQ(LearningQueueCount, 0);

  Bytes data = ReadFile("Learn.cr1");
  const uint32_t first = 262167;
  ASSERT_EQ(data.size(), first + 3 * 24);
  EXPECT_EQ(U32(data, 23 + 4 * 0xABCD), first);
  EXPECT_EQ(U32(data, 23 + 4 * 7), first + 48);
  EXPECT_EQ(Bytes(data.begin() + first, data.begin() + first + 24), Record(30, 59, e2e4, a, 0x55667788, first + 24));
  EXPECT_EQ(Bytes(data.begin() + first + 24, data.begin() + first + 48), Record(42, -500, d2d4, b, 0x11223344, 0));
  EXPECT_EQ(Bytes(data.begin() + first + 48, data.end()), Record(26, -7, e2e4, c, 0xFFFFFFFF, 0));
  EXPECT_EQ(CheckedRecordCount(data), 3);

  // Each key is found on its own; a key differing in its upper half is not.
  int32_t depth, score;
  Move move;
  int64_t offset;
  ASSERT_TRUE(FindLearningRecord(b, 0x11223344, &depth, &score, &move, &offset));
  EXPECT_EQ(offset, first + 24);
  EXPECT_EQ(depth, 42);
  EXPECT_EQ(score, -500);
  EXPECT_EQ(move, d2d4);
  ASSERT_TRUE(FindLearningRecord(a, 0x55667788, &depth, &score, &move, &offset));
  EXPECT_EQ(offset, first);
  EXPECT_FALSE(FindLearningRecord(a, 0x55667789, &depth, &score, &move, &offset));
  EXPECT_EQ(offset, 0);

  // A known position is refreshed in place: same size, its link kept.
  QueueLearningEntry(a, 0x55667788, d2d4, 80, -420, 50);
  FlushLearning();
  data = ReadFile("Learn.cr1");
  ASSERT_EQ(data.size(), first + 3 * 24);
  EXPECT_EQ(Bytes(data.begin() + first, data.begin() + first + 24), Record(50, -420, d2d4, a, 0x55667788, first + 24));

  const std::string fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ";
  std::ifstream log("learn.log", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "0\tAdd: Depth = 30\tOldEvaluation = 100\tEvaluaton = 59\tFEN = " + fen + "e2e4\n" +
                      "1\tAdd: Depth = 42\tOldEvaluation = -20\tEvaluaton = -500\tFEN = " + fen + "d2d4\n" +
                      "2\tAdd: Depth = 26\tOldEvaluation = 7\tEvaluaton = -7\tFEN = " + fen + "e2e4\n" +
                      "3\tRefresh: Depth = 50\tOldEvaluation = 80\tEvaluaton = -420\tFEN = " + fen + "d2d4\n");
  EXPECT_EQ(LearnLogCount, 4);
}

TEST_F(LearningTest, FilesThatAreNoLearningFilesTurnLearningOff) {
  Bytes wrongHeader = EmptyLearningFile();
  wrongHeader[0] = 'c';
  Bytes truncated = EmptyLearningFile();
  const Bytes record = Record(1, 2, 3, 4, 5, 0);
  truncated.insert(truncated.end(), record.begin(), record.begin() + 23);
  const Bytes headerOnly(wrongHeader.begin(), wrongHeader.begin() + 23);
  Bytes onlyHeader = headerOnly;
  onlyHeader[0] = 'C';
  struct Case {
    const char* name;
    Bytes data;
    const char* message;
  } cases[] = {
      {"an empty file", {}, "is not a learning file (wrong header)"},
      {"a wrong header", wrongHeader, "is not a learning file (wrong header)"},
      {"only the header", onlyHeader, "has a wrong size"},
      {"a truncated tail", truncated, "has a wrong size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("Learn.cr1", c.data);
    EXPECT_EQ(Open(), std::string("Learning file \"Learn.cr1\" ") + c.message + ": learning is off\n");
    EXPECT_EQ(LearnFile, nullptr);
    // Nothing is learned, looked up or changed afterwards.
    QueueLearningEntry(4, 5, 0, 0, -500, 30);
    FlushLearning();
    int32_t depth, score;
    Move move;
    int64_t offset;
    EXPECT_FALSE(FindLearningRecord(4, 5, &depth, &score, &move, &offset));
    EXPECT_EQ(ReadFile("Learn.cr1"), c.data);
  }
  // A directory in the way cannot be read as a file.
  ASSERT_EQ(remove("Learn.cr1"), 0);
  ASSERT_EQ(mkdir("Learn.cr1", 0755), 0);
  EXPECT_NE(Open().find("learning is off"), std::string::npos);
  EXPECT_EQ(LearnFile, nullptr);
}

TEST_F(LearningTest, DamagedLinksNeitherHangNorLeaveTheFile) {
  const uint32_t first = 262167;
  const uint32_t slot = 0x0042, key = 0xAB000042;
  // Three records of one slot; the last link is damaged in each case.
  struct Case {
    const char* name;
    uint32_t badLink;
  } cases[] = {
      {"a cycle back to the first record", first},
      {"a link to itself", first + 48},
      {"a misaligned link", first + 49},
      {"a link past the end of the file", first + 72},
      {"a link into the chain heads", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes data = EmptyLearningFile();
    PutU32(data, 23 + 4 * slot, first);
    for (uint32_t i = 0; i < 3; i++) {
      Bytes r = Record(30, -500 - (int32_t)i, 0, key + (i << 16), i, i < 2 ? first + 24 * (i + 1) : c.badLink);
      data.insert(data.end(), r.begin(), r.end());
    }
    WriteFile("Learn.cr1", data);
    EXPECT_EQ(Open(), "");
    ASSERT_NE(LearnFile, nullptr);
    int32_t depth, score;
    Move move;
    int64_t offset;
    // Records before the damage are found; a missing key ends the walk.
    ASSERT_TRUE(FindLearningRecord(key + (2 << 16), 2, &depth, &score, &move, &offset));
    EXPECT_EQ(score, -502);
    EXPECT_FALSE(FindLearningRecord(key + (7 << 16), 7, &depth, &score, &move, &offset));
    // A new record of the slot takes the place of the damaged link.
    QueueLearningEntry(key + (9 << 16), 9, 0, 0, -600, 30);
    FlushLearning();
    Bytes after = ReadFile("Learn.cr1");
    ASSERT_EQ(after.size(), data.size() + 24);
    EXPECT_EQ(U32(after, first + 48 + 20), first + 72);
    EXPECT_EQ(CheckedRecordCount(after), 4);
    ASSERT_TRUE(FindLearningRecord(key + (9 << 16), 9, &depth, &score, &move, &offset));
    EXPECT_EQ(score, -600);
    CloseLearningFile();
  }
}

TEST_F(LearningTest, AFileOfAnotherProgramThatStaysLockedIsOnlyRead) {
  Open();
  ASSERT_NE(LearnFile, nullptr);
  // A second open of the file stands for the other program.
  FILE* other = fopen("Learn.cr1", "rb");
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(flock(fileno(other), LOCK_EX), 0);
  QueueLearningEntry(1, 1, 0, 0, -500, 30);
  testing::internal::CaptureStdout();
  FlushLearning();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Learning file \"Learn.cr1\" is locked by another program: it is read but nothing is learned into it\n");
  EXPECT_EQ(LearnFileReadOnly, 1);
  EXPECT_EQ(LearningQueueCount, 0);
  // Lookups do not wait for it either.
  int32_t depth, score;
  Move move;
  int64_t offset;
  EXPECT_FALSE(FindLearningRecord(1, 1, &depth, &score, &move, &offset));
  fclose(other);
  // Once read-only, no further message and no write.
  QueueLearningEntry(1, 1, 0, 0, -500, 30);
  testing::internal::CaptureStdout();
  FlushLearning();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadFile("Learn.cr1"), EmptyLearningFile());
}

TEST_F(LearningTest, AFileWithoutWritePermissionIsOnlyRead) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes every file";
  WriteFile("Learn.cr1", EmptyLearningFile());
  ASSERT_EQ(chmod("Learn.cr1", 0444), 0);
  EXPECT_EQ(Open(), "Learning file \"Learn.cr1\" cannot be written: it is read but nothing is learned into it\n");
  ASSERT_NE(LearnFile, nullptr);
  EXPECT_EQ(LearnFileReadOnly, 1);
}

// The game of the queue tests: the engine (WHITE) played b1c3 and g1f3, the
// opponent b8c6 in between; the position after g1f3 is on the board.
void SetUpDrop(int32_t previous, int32_t current) {
  ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  Play({"e2e4", "e7e5", "b1c3"});
  for (int slot = 0; slot < RECENT_RING_SIZE; slot++) {
    RecentKeys[slot] = 0;
    RecentScores[slot] = 100;
    RecentBookFlags[slot] = 0;
  }
  RecentKeys[8] = thread_board.HashKey;
  RecentScores[8] = previous;
  Play({"b8c6", "g1f3"});
  RecentKeys[9] = thread_board.HashKey;
  RecentScores[9] = current;
  RootScores[0] = current;
  IterationDepth = 7;
}

TEST_F(LearningTest, ADropOfMoreThanFortyQueuesThePositionThreePliesBack) {
  Open();
  ASSERT_NE(LearnFile, nullptr);
  struct Case {
    const char* name;
    int32_t previous, current, depth;
    int book, ponder, queued;
  } cases[] = {
      {"a drop of 41", 100, 59, 7, 0, 0, 1},
      {"a drop of 40", 100, 60, 7, 0, 0, 0},
      {"too shallow", 100, 59, 6, 0, 0, 0},
      {"the previous score too low", -180, -300, 9, 0, 0, 0},
      {"the score still too high", 700, 520, 9, 0, 0, 0},
      {"a book move", 100, 0, 9, 1, 0, 0},
      {"pondering", 100, 0, 9, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LearningQueueCount = 0;
    SetUpDrop(c.previous, c.current);
    IterationDepth = c.depth;
    RecentBookFlags[9] = c.book;
    BookMovePlayed = c.book;
    PonderSearchActive = c.ponder;
    const uint64_t key = thread_board.HashKey;
    const int32_t ply = GamePly;
    LearnAfterSearch();
    PonderSearchActive = 0;
    // The game is as it was.
    EXPECT_EQ(thread_board.HashKey, key);
    EXPECT_EQ(GamePly, ply);
    ASSERT_EQ(LearningQueueCount, c.queued);
    if (c.queued) {
      const LearningQueueEntry& e = LearningQueue[0];
      EXPECT_EQ(e.move, GameHistory[2].move);
      EXPECT_EQ(e.move & 0xFFF, 1u | 18u << 6);  // b1c3
      EXPECT_EQ(e.old_score, c.previous);
      EXPECT_EQ(e.new_score, c.current);
      EXPECT_EQ(e.depth, c.depth * 4 + 2);
      EXPECT_EQ(e.key_lo, (uint32_t)GameHistory[2].HashKey);
      EXPECT_EQ(e.key_hi, (uint32_t)(GameHistory[2].HashKey >> 16));
      EXPECT_STREQ(e.text, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - b1c3");
    }
  }
  EXPECT_EQ(ReadFile("Learn.cr1"), EmptyLearningFile());
}

TEST_F(LearningTest, TheQueueIsWrittenAfterALossAndDroppedWhenTheGameTurnsOutWell) {
  Open();
  ASSERT_NE(LearnFile, nullptr);
  SetUpDrop(100, 59);
  LearnAfterSearch();
  ASSERT_EQ(LearningQueueCount, 1);
  const uint64_t learned = GameHistory[2].HashKey;
  // A game that stays fine (three scores of -9 or more) drops it.
  for (int slot = 0; slot < RECENT_RING_SIZE; slot++) RecentScores[slot] = -9;
  RecentKeys[8] = 1;  // no new drop to queue
  LearnAfterSearch();
  EXPECT_EQ(LearningQueueCount, 0);
  // Queued again, kept while the score is bad but not below -400, written
  // once it is.
  SetUpDrop(100, 59);
  LearnAfterSearch();
  ASSERT_EQ(LearningQueueCount, 1);
  RecentKeys[8] = 1;
  RecentScores[9] = RootScores[0] = -400;
  LearnAfterSearch();
  EXPECT_EQ(LearningQueueCount, 1);
  RootScores[0] = -401;
  LearnAfterSearch();
  EXPECT_EQ(LearningQueueCount, 0);
  int32_t depth, score;
  Move move;
  int64_t offset;
  ASSERT_TRUE(FindLearningRecord((uint32_t)learned, (uint32_t)(learned >> 16), &depth, &score, &move, &offset));
  EXPECT_EQ(offset, 262167);
  EXPECT_EQ(depth, 30);
  EXPECT_EQ(score, 59);
  EXPECT_EQ(move, GameHistory[2].move);
  // A record as deep as the search would make is not queued again.
  SetUpDrop(100, 59);
  LearnAfterSearch();
  EXPECT_EQ(LearningQueueCount, 0);
  SetUpDrop(100, 59);
  IterationDepth = 8;
  LearnAfterSearch();
  EXPECT_EQ(LearningQueueCount, 1);
}

// A child process that learns `count` distinct positions one flush at a time.
[[noreturn]] void LearnInChild(uint32_t base, int count) {
  OpenLearningFile("Learn.cr1");
  for (int i = 0; i < count && LearnFile != nullptr && !LearnFileReadOnly; i++) {
    const uint32_t lo = base + (uint32_t)i * 7919u;
    QueueLearningEntry(lo, lo ^ 0x5A5A5A5A, 0, 0, -500 - i, 30);
    FlushLearning();
  }
  _exit(LearnFile != nullptr && !LearnFileReadOnly ? 0 : 3);
}

TEST_F(LearningTest, TwoProgramsLearningAtOnceLeaveASoundFile) {
  const int count = 300;
  pid_t children[2];
  for (int i = 0; i < 2; i++) {
    fflush(stdout);
    children[i] = fork();
    ASSERT_GE(children[i], 0);
    if (children[i] == 0) LearnInChild(0x10000000u * (uint32_t)(i + 1), count);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  Bytes data = ReadFile("Learn.cr1");
  EXPECT_EQ(data.size(), 262167u + 2 * count * 24);
  EXPECT_EQ(CheckedRecordCount(data), 2 * count);
  EXPECT_EQ(Open(), "");
  for (int c = 0; c < 2; c++) {
    for (int i = 0; i < count; i++) {
      const uint32_t lo = 0x10000000u * (uint32_t)(c + 1) + (uint32_t)i * 7919u;
      int32_t depth, score;
      Move move;
      int64_t offset;
      ASSERT_TRUE(FindLearningRecord(lo, lo ^ 0x5A5A5A5A, &depth, &score, &move, &offset)) << c << " " << i;
      EXPECT_EQ(score, -500 - i);
    }
  }
}

TEST_F(LearningTest, AProgramKilledWhileLearningLeavesAFileTheNextStartReads) {
  for (int round = 0; round < 5; round++) {
    SCOPED_TRACE(round);
    fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) LearnInChild(0x20000000u + (uint32_t)round, 1000000);
    usleep(50000 + 15000 * round);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    Bytes data = ReadFile("Learn.cr1");
    // Killed before it created the file: there is none, never half of one.
    if (data.empty()) {
      EXPECT_NE(access("Learn.cr1", F_OK), 0);
      continue;
    }
    const int records = CheckedRecordCount(data);
    ASSERT_GE(records, 0);
    // A record whose link was not yet written when its program was killed
    // stands unlinked; every other record is reachable
    const size_t written = (data.size() - 262167) / 24;
    // (one per killed program so far).
    EXPECT_LE(written - (size_t)records, (size_t)round + 1) << records << " of " << written;
    EXPECT_EQ(Open(), "");
    EXPECT_NE(LearnFile, nullptr);
    CloseLearningFile();
  }
}

}  // namespace
