#include "search/commandtable.h"

#include "board/bitmasks.h"
#include "board/fen.h"
#include "search/tokens.h"

constexpr uint8_t BOTH = IN_LINE_LOOP | IN_SEARCH;

// The line loop's words in its order, with the in-search rows set in where
// their order against the words of the same first letter asks: "?", "stop"
// and "." before "post" and "ponderhit" before it too, "exit" before "easy".
const CommandRow COMMAND_TABLE[] = {
    {"pgneval", CMD_PGNEVAL, MATCH_PREFIX, IN_LINE_LOOP, 1},
    {"q", CMD_QUIT, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"q", CMD_QUIT, MATCH_FIRST_CHAR, IN_SEARCH, 0},  // not "Q", nor after a blank
    {"clean", CMD_CLEAN, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"reload", CMD_RELOAD, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"move", CMD_MOVE, MATCH_MOVE, BOTH, 0},
    {"help", CMD_HELP, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"new", CMD_NEW, MATCH_PREFIX, BOTH, 0},
    {"?", CMD_STOP, MATCH_FIRST_CHAR, IN_SEARCH, 0},
    {"stop", CMD_STOP, MATCH_PREFIX, IN_SEARCH, 0},
    {".", CMD_STATUS, MATCH_FIRST_CHAR, IN_SEARCH, 0},
    {"ponderhit", CMD_PONDERHIT, MATCH_PREFIX, IN_SEARCH, 0},
    {"post", CMD_POST, MATCH_PREFIX, BOTH, 0},
    {"reset", CMD_RESET, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"level", CMD_LEVEL, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"moves", CMD_MOVES, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"edit", CMD_EDIT, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"loadfen", CMD_LOADFEN, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"epdevl", CMD_EPDEVL, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"selftest", CMD_SELFTEST, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"nopost", CMD_NOPOST, MATCH_PREFIX, BOTH, 0},
    {"perft", CMD_PERFT, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"sd", CMD_SD, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"stop", CMD_STOP, MATCH_FIRST_TOKEN, IN_LINE_LOOP, 0},  // so that "st 5" and "st" reach "st"
    {"st", CMD_ST, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"go", CMD_GO, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"ponderhit", CMD_PONDERHIT, MATCH_PREFIX, IN_LINE_LOOP, 1},
    {"white", CMD_WHITE, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"remove", CMD_REMOVE, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"analyze", CMD_ANALYZE, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"black", CMD_BLACK, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"force", CMD_FORCE, MATCH_PREFIX, BOTH, 0},
    {"brd", CMD_BRD, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"time", CMD_TIME, MATCH_PREFIX, BOTH, 0},
    {"otim", CMD_OTIM, MATCH_PREFIX, BOTH, 0},  // xboard's "otim", and "otime" as well
    {"exit", CMD_EXIT, MATCH_PREFIX, IN_SEARCH, 0},
    {"easy", CMD_EASY, MATCH_PREFIX, BOTH, 0},
    {"hard", CMD_HARD, MATCH_PREFIX, BOTH, 0},
    {"evl", CMD_EVL, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"undo", CMD_UNDO, MATCH_PREFIX, BOTH, 0},
    {"fritz", CMD_FRITZ, MATCH_PREFIX, IN_LINE_LOOP, 1},
    {"xboard", CMD_XBOARD, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"mvd", CMD_MVD, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"demo", CMD_DEMO, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"bkm", CMD_BKM, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"ucinewgame", CMD_UCINEWGAME, MATCH_FIRST_TOKEN, IN_LINE_LOOP, 0},  // so that "uci" reaches "uci"
    {"uci", CMD_UCI, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"setoption", CMD_SETOPTION, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"isready", CMD_ISREADY, MATCH_PREFIX, BOTH, 0},
    {"egtbstat", CMD_EGTBSTAT, MATCH_PREFIX, IN_LINE_LOOP, 1},
    {"position", CMD_POSITION, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"debug", CMD_DEBUG, MATCH_PREFIX, IN_LINE_LOOP, 0},
    {"result", CMD_RESULT, MATCH_PREFIX, IN_SEARCH, 0},
};
const int COMMAND_TABLE_SIZE = (int)(sizeof COMMAND_TABLE / sizeof COMMAND_TABLE[0]);

// 1 when the line's first blank-separated word is word, letter case aside.
static int FirstWordIs(const char* word, const char* line) {
  while (*line == ' ') line++;
  for (; *word != 0; word++, line++) {
    if (*line == 0 || FoldCase(*word) != FoldCase(*line)) return 0;
  }
  return *line == 0 || *line == ' ';
}

static int RowMatches(const CommandRow& row, const char* line) {
  switch (row.rule) {
    case MATCH_PREFIX: return CommandMatches(row.word, line);
    case MATCH_FIRST_TOKEN: return FirstWordIs(row.word, line);
    case MATCH_FIRST_CHAR: return line[0] == row.word[0];
    case MATCH_MOVE: return IsCoordinateMove(line);
  }
  return 0;
}

int FindCommand(const char* line, int from, uint8_t reader) {
  for (int i = from < 0 ? 0 : from; i < COMMAND_TABLE_SIZE; i++) {
    if ((COMMAND_TABLE[i].readers & reader) != 0 && RowMatches(COMMAND_TABLE[i], line)) return i;
  }
  return -1;
}
