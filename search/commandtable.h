// The one table of command words, read by the line loop between searches and
// by the in-search handler during a search, and the matcher that walks it.
//
// The rows are tested in table order and the first row that matches decides;
// each reader sees only the rows marked for it. The order matters because the
// words match as two-way prefixes: the line "p" matches both "post" and
// "ponderhit", and the line loop gives it to "post" while a search gives it
// to "ponderhit". A word that the two readers match alike stands in one row
// for both; where they differ (the rule of matching, or the order against a
// word of the same first letter) each has a row of its own.
#pragma once
#include <cstdint>

// What a command is; the line loop and the in-search handler each run it in
// their own way.
enum CommandId : uint8_t {
  CMD_PGNEVAL, CMD_QUIT, CMD_CLEAN, CMD_RELOAD, CMD_MOVE, CMD_HELP, CMD_NEW, CMD_POST, CMD_RESET,
  CMD_LEVEL, CMD_MOVES, CMD_EDIT, CMD_LOADFEN, CMD_EPDEVL, CMD_SELFTEST, CMD_NOPOST, CMD_PERFT,
  CMD_SD, CMD_STOP, CMD_ST, CMD_GO, CMD_PONDERHIT, CMD_WHITE, CMD_REMOVE, CMD_ANALYZE, CMD_BLACK,
  CMD_FORCE, CMD_BRD, CMD_TIME, CMD_OTIM, CMD_EASY, CMD_HARD, CMD_EVL, CMD_UNDO, CMD_FRITZ,
  CMD_XBOARD, CMD_MVD, CMD_DEMO, CMD_BKM, CMD_UCINEWGAME, CMD_UCI, CMD_SETOPTION, CMD_ISREADY,
  CMD_EGTBSTAT, CMD_POSITION, CMD_DEBUG, CMD_STATUS, CMD_EXIT, CMD_RESULT,
  COMMAND_ID_COUNT
};

// How a row's word is compared with the line.
enum MatchRule : uint8_t {
  MATCH_PREFIX,       // CommandMatches: a two-way prefix, letter case aside, after leading blanks
  MATCH_FIRST_TOKEN,  // the line's first blank-separated word is the whole word, letter case aside
  MATCH_FIRST_CHAR,   // the line's first character is the word's, exactly
  MATCH_MOVE,         // the line reads as a coordinate move (the word is only a name)
};

// Which reader a row is for.
constexpr uint8_t IN_LINE_LOOP = 1;
constexpr uint8_t IN_SEARCH = 2;

struct CommandRow {
  const char* word;
  CommandId id;
  MatchRule rule;
  uint8_t readers;  // IN_LINE_LOOP, IN_SEARCH or both
  uint8_t goes_on;  // line loop: after running, the next rows are tested too
};

extern const CommandRow COMMAND_TABLE[];
extern const int COMMAND_TABLE_SIZE;

// The first row at index from or later that is for reader and matches line;
// -1 when none does.
int FindCommand(const char* line, int from, uint8_t reader);
