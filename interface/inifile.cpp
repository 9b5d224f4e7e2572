#include "interface/inifile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "book/book.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "interface/commands.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "search/transposition.h"

// Line of the settings file being applied; warnings name it.
static int32_t IniLineNumber = 0;

static void WarnUnknownToken(const char* value) {
  printf("Corvatine.ini(%d) WARNING: Token unknown \"%s\"\n", IniLineNumber, value);
  fflush(stdout);
}

static void WarnOutOfRange(const char* name, int32_t bound) {
  printf("Corvatine.ini(%d) WARNING: Incorrect %s setting; set to %d\n", IniLineNumber, name, bound);
  fflush(stdout);
}

// Reads one line of the file into line: at most INI_LINE_LIMIT characters are
// kept (NUL-terminated, without the line end), the rest of a longer line is
// read and dropped so that it never counts as a line of its own. Gives the
// length the line had in the file, or -1 at the end of the file.
static int64_t ReadIniLine(FILE* file, char* line) {
  int64_t length = 0;
  int c;
  while ((c = getc(file)) != EOF && c != '\n') {
    if (length < INI_LINE_LIMIT) line[length] = (char)c;
    length++;
  }
  line[length < INI_LINE_LIMIT ? length : INI_LINE_LIMIT] = 0;
  if (c == EOF && length == 0) return -1;
  return length;
}

// Ends the line at its first control character or byte above 127: a line
// end, a tab or a non-ASCII byte ends what is read of a setting.
static void CutAtControlCharacter(char* line) {
  for (; *line != 0; line++) {
    unsigned char c = (unsigned char)*line;
    if (c < 32 || c > 127) {
      *line = 0;
      return;
    }
  }
}

// A decimal number in text: an optional sign and at least one digit (what
// follows the digits is ignored), saturated to the int32 range. Gives 0 when
// the text does not begin with a number.
static int ReadIniNumber(const char* text, int32_t* value) {
  const char* digits = text + (*text == '+' || *text == '-');
  if (*digits < '0' || *digits > '9') return 0;
  *value = ParseNumber(text);
  return 1;
}

// A size in megabytes, 0 to 1024, at least `least` (the pawn hash, which
// every evaluation indexes, has 1 MB at least; a transposition table of 0
// entries is valid).
static int ReadTableMegabytes(const char* value, uint64_t entryBytes, int32_t least, int32_t* entries) {
  int32_t mb;
  if (!ReadIniNumber(value, &mb) || mb < 0 || mb > 1024) return 0;
  *entries = HashEntriesForMb(mb < least ? least : mb, entryBytes);
  return 1;
}

// A size as a power of two, 1 << n for n from low to high.
static int ReadTablePower(const char* value, int32_t low, int32_t high, int32_t* entries) {
  int32_t n;
  if (!ReadIniNumber(value, &n) || n < low || n > high) return 0;
  *entries = (int32_t)1 << n;
  return 1;
}

static void RefuseTranspositionSize() {
  printf("Corvatine.ini(%d) WARNING: Incorrect hash size setting in Corvatine.ini; set to default\n", IniLineNumber);
  fflush(stdout);
  HashEntries = DEFAULT_HASH_ENTRIES;
}

static void RefusePawnHashSize() {
  printf("Corvatine.ini(%d) WARNING: Incorrect pawn hash size setting in Corvatine.ini; set to default\n",
         IniLineNumber);
  fflush(stdout);
  PawnHashEntries = DEFAULT_PAWN_HASH_ENTRIES;
}

// A number without a range; a value that is no number brings the default.
static void SetPlainNumber(const char* value, int32_t* setting, int32_t defaultValue) {
  if (ReadIniNumber(value, setting)) return;
  WarnUnknownToken(value);
  *setting = defaultValue;
}

// A number from 0 to high; a value outside is set to the nearer end, a value
// that is no number brings the default. Gives the value set.
static int32_t SetBoundedNumber(const char* value, int32_t* setting, const char* name, int32_t high,
                                int32_t defaultValue) {
  int32_t n;
  if (!ReadIniNumber(value, &n)) {
    WarnUnknownToken(value);
    n = defaultValue;
  } else if (n < 0) {
    WarnOutOfRange(name, 0);
    n = 0;
  } else if (n > high) {
    WarnOutOfRange(name, high);
    n = high;
  }
  *setting = n;
  return n;
}

// A flag: on with "on" or "true", off with "off" or "false", unchanged after
// a warning for any other word. Gives 1, 0, or -1 for the unknown word.
static int SetFlag(const char* value, int32_t* flag) {
  if (CommandMatches("on", value) || CommandMatches("true", value)) {
    *flag = 1;
  } else if (CommandMatches("off", value) || CommandMatches("false", value)) {
    *flag = 0;
  } else {
    WarnUnknownToken(value);
    return -1;
  }
  return *flag;
}

// One setting line: the key is matched at the start of the line, the first
// key that matches decides, longer keys before the keys they begin with.
static void ApplyIniLine(const char* line, const char* value, const char* rest) {
  if (CommandMatches("TranspositionSizeMb", line)) {
    if (!ReadTableMegabytes(value, sizeof(TranspositionEntry), 0, &HashEntries)) RefuseTranspositionSize();
  } else if (CommandMatches("TranspositionSize", line)) {
    if (!ReadTablePower(value, 0, 25, &HashEntries)) RefuseTranspositionSize();
  } else if (CommandMatches("ResignValue", line)) {
    SetPlainNumber(value, &ResignValue, DEFAULT_RESIGN_VALUE);
  } else if (CommandMatches("ResignTimes", line)) {
    SetPlainNumber(value, &ResignTimes, DEFAULT_RESIGN_TIMES);
  } else if (CommandMatches("PawnHashSizeMb", line)) {
    if (!ReadTableMegabytes(value, sizeof(PawnHashEntry), 1, &PawnHashEntries)) RefusePawnHashSize();
  } else if (CommandMatches("PawnHashSize", line)) {
    if (!ReadTablePower(value, 12, 23, &PawnHashEntries)) RefusePawnHashSize();
  } else if (CommandMatches("Aggressivity", line)) {
    AggressivityHalf = SetBoundedNumber(value, &Aggressivity, "AGGRESSIVITY", 300, DEFAULT_AGGRESSIVITY) / 2;
  } else if (CommandMatches("Cowardice", line)) {
    CowardiceHalf = SetBoundedNumber(value, &Cowardice, "COWARDICE", 300, DEFAULT_COWARDICE) / 2;
  } else if (CommandMatches("VarietyOfPlay", line)) {
    SetBoundedNumber(value, &VarietyOfPlay, "VarietyOfPlay", 100, DEFAULT_VARIETY_OF_PLAY);
  } else if (CommandMatches("BookLearningBound", line)) {
    SetPlainNumber(value, &BookLearningBound, DEFAULT_BOOK_LEARNING_BOUND);
  } else if (CommandMatches("Learning", line)) {
    SetFlag(value, &UseLearning);
  } else if (CommandMatches("UseBookLearning", line)) {
    SetFlag(value, &UseBookLearning);
  } else if (CommandMatches("Pondering", line)) {
    if (SetFlag(value, &Pondering) == 0) PonderOn = 0;
  } else if (CommandMatches("UseEGTB", line)) {
    SetFlag(value, &UseEGTB);
  } else if (CommandMatches("EGTBPath", line)) {
    SetEgtbPath(rest);
  } else if (CommandMatches("OpeningsBook", line)) {
    OpenBook(rest);
  } else if (CommandMatches("BookLearningMode", line)) {
    if (CommandMatches("discover", value)) {
      BookLearningMode = 1;
    } else if (CommandMatches("kill", value)) {
      BookLearningMode = 0;
    } else {
      WarnUnknownToken(value);
    }
  } else if (CommandMatches("UseLearningData", line)) {
    SetFlag(value, &UseLearningData);
  } else if (CommandMatches("UseBookWeights", line)) {
    SetFlag(value, &UseBookWeights);
  } else if (CommandMatches("LogLearningIntoFile", line)) {
    SetFlag(value, &LogLearningIntoFile);
  }
}

// An editor that saves UTF-8 may write a byte-order mark (EF BB BF) in front
// of the first line; it is no part of the first setting.
static void SkipByteOrderMark(FILE* file) {
  static const unsigned char MARK[3] = {0xEF, 0xBB, 0xBF};
  unsigned char head[3];
  const size_t got = fread(head, 1, sizeof head, file);
  if (got == sizeof head && memcmp(head, MARK, sizeof MARK) == 0) return;
  rewind(file);
}

void ReadSettingsFile(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return;
  SkipByteOrderMark(file);
  IniLineNumber = 0;
  for (;;) {
    const int64_t length = ReadIniLine(file, CommandLine);
    if (length < 0) break;
    if (IniLineNumber < INT32_MAX) IniLineNumber++;  // comments and empty lines count too
    if (CommandLine[0] == 0 || CommandLine[0] == ';') continue;
    CutAtControlCharacter(CommandLine);
    if (length > INI_LINE_LIMIT && strlen(CommandLine) == INI_LINE_LIMIT) {
      printf("Corvatine.ini(%d) WARNING: Line longer than %d characters; cut\n", IniLineNumber, INI_LINE_LIMIT);
      fflush(stdout);
    }
    if (SplitCommandLine(CommandLine, " =\r\n,\"") < 2) continue;
    ApplyIniLine(CommandLine, Tokens[1], CommandLine + TokenStart[1]);
  }
  fclose(file);
}

void ReadIniFile() { ReadSettingsFile("Corvatine.ini"); }

int SetEgtbPath(const char* text) {
  const size_t length = strlen(text);
  if (length >= (size_t)TB_PATH_SIZE) return 0;
  memcpy(tb_path, text, length + 1);
  return 1;
}
