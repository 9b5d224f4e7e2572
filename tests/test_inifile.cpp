// The settings file reader on files a text editor would not write, and the
// tablebase path that must fit its buffer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "interface/inifile.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "test_support.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureTablesReady();
    if (Tokens[0] == nullptr) AllocateTokenBuffers();
  }
  void SetUp() override {
    SetPlayDefaults();
    SetSizeDefaults();
    char name[] = "/tmp/crv-ini-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path = name;
  }
  void TearDown() override {
    remove(path.c_str());
    SetPlayDefaults();
    SetSizeDefaults();
  }
  // Writes contents as the settings file, reads it; gives what was printed.
  std::string Read(const std::string& contents) {
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(contents.data(), 1, contents.size(), file);
    fclose(file);
    testing::internal::CaptureStdout();
    ReadSettingsFile(path.c_str());
    return testing::internal::GetCapturedStdout();
  }
  std::string path;
};

TEST_F(IniFileTest, AMissingFileChangesNothing) {
  testing::internal::CaptureStdout();
  ReadSettingsFile("/nonexistent/Corvatine.ini");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(HashEntries, DEFAULT_HASH_ENTRIES);
  EXPECT_STREQ(tb_path, "c:\\tablebases\\");
}

TEST_F(IniFileTest, AHugeLineIsOneLine) {
  // A megabyte without a line end, binary bytes among it, then a setting.
  std::string huge = "EGTBPath = " + std::string(1 << 20, 'x');
  huge[5000] = 0;
  huge[6000] = (char)0xff;
  std::string out = Read(huge + "\nAggressivity = 1000\n");
  EXPECT_EQ(out,
            "Corvatine.ini(1) WARNING: Line longer than 249 characters; cut\n"
            "Corvatine.ini(2) WARNING: Incorrect AGGRESSIVITY setting; set to 300\n");
  EXPECT_EQ(strlen(tb_path), (size_t)(INI_LINE_LIMIT - 11));
  EXPECT_EQ(Aggressivity, 300);
  EXPECT_EQ(AggressivityHalf, 150);
}

TEST_F(IniFileTest, ZeroSizes) {
  // A transposition table without entries is valid (every probe misses); a
  // size that is no number (or none) leaves the default.
  for (const char* line : {"TranspositionSizeMb = 0\n", "TranspositionSizeMb = -0\n"}) {
    HashEntries = DEFAULT_HASH_ENTRIES;
    Read(line);
    EXPECT_EQ(HashEntries, 0) << line;
  }
  for (const char* line : {"TranspositionSizeMb = \"\"\n", "TranspositionSizeMb = +\n"}) {
    HashEntries = DEFAULT_HASH_ENTRIES;
    Read(line);
    EXPECT_EQ(HashEntries, DEFAULT_HASH_ENTRIES) << line;
  }
  // The pawn hash is indexed by every evaluation: it never goes below one entry.
  for (const char* line : {"PawnHashSizeMb = 0\n", "PawnHashSizeMb = none\n", "PawnHashSize = 0\n"}) {
    PawnHashEntries = DEFAULT_PAWN_HASH_ENTRIES;
    Read(line);
    EXPECT_GT(PawnHashEntries, 0) << line;
  }
}

TEST_F(IniFileTest, AByteOrderMarkIsSkipped) {
  // An editor that saves UTF-8 may put a byte-order mark in front of the
  // first line; the first setting still counts.
  EXPECT_EQ(Read("\xEF\xBB\xBF" "Aggressivity = 120\nCowardice = 30\n"), "");
  EXPECT_EQ(Aggressivity, 120);
  EXPECT_EQ(Cowardice, 30);
  EXPECT_EQ(Read("\xEF\xBB\xBF" "Learning = maybe\n"), "Corvatine.ini(1) WARNING: Token unknown \"maybe\"\n");
  EXPECT_EQ(Read("\xEF\xBB\xBF" "; a comment\nAggressivity = 7\n"), "");
  EXPECT_EQ(Aggressivity, 7);
  // Only at the start of the file: later the bytes end the line as any byte above 127 does.
  EXPECT_EQ(Read("Cowardice = 40\n\xEF\xBB\xBF" "Aggressivity = 9\n"), "");
  EXPECT_EQ(Cowardice, 40);
  EXPECT_EQ(Aggressivity, 7);
}

TEST_F(IniFileTest, TheTablebasePathMustFit) {
  EXPECT_EQ(SetEgtbPath("d:\\syzygy;e:\\more"), 1);
  EXPECT_STREQ(tb_path, "d:\\syzygy;e:\\more");
  std::string longest(TB_PATH_SIZE - 1, 'p');
  EXPECT_EQ(SetEgtbPath(longest.c_str()), 1);
  EXPECT_EQ(std::string(tb_path), longest);
  std::string tooLong(TB_PATH_SIZE, 'q');
  EXPECT_EQ(SetEgtbPath(tooLong.c_str()), 0);
  EXPECT_EQ(std::string(tb_path), longest);  // the old path stays
}

}  // namespace
