#include "interface/commands.h"

#include <cstdio>
#include <cstring>

#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "interface/tokens.h"
#include "platform/platform.h"
#include "search/input.h"
#include "search/ordering.h"
#include "search/think.h"

// Deepest perft the command runs: the move stack holds the lists of every
// ply and the game record the moves on top of the game.
constexpr int PERFT_DEPTH_LIMIT = 64;

int CommandMatches(const char* word, const char* text) {
  while (*word == ' ') word++;
  while (*text == ' ') text++;
  if (*word == 0 || *text == 0) return 0;
  for (; *word != 0 && *text != 0; word++, text++) {
    if (FoldCase(*word) != FoldCase(*text)) return 0;
  }
  return 1;
}

int SplitCommandLine(const char* line, const char* separators) {
  int lineLength = (int)strlen(line);
  for (int i = 0; i < TOKEN_COUNT; i++) {
    Tokens[i][0] = 0;
    TokenStart[i] = lineLength;  // an empty token starts at the line end
  }
  int index = 0;
  int length = 0;  // characters seen of the current token, kept or not
  for (int position = 0; position < lineLength; position++) {
    char c = line[position];
    if (strchr(separators, c) != nullptr) {
      if (length > 0) {
        length = 0;
        if (++index == TOKEN_COUNT) return TOKEN_COUNT;
      }
      continue;
    }
    if (length == 0) TokenStart[index] = position;
    if (length < TokenSize(index) - 1) {
      Tokens[index][length] = c;
      Tokens[index][length + 1] = 0;
    }
    length++;
  }
  return index + 1;
}

int64_t ParseNumber64(const char* text) {
  int negative = 0;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  int64_t value = 0;  // kept as a negative number, whose range is the larger
  for (; *text >= '0' && *text <= '9'; text++) {
    int digit = *text - '0';
    if (value < (INT64_MIN + digit) / 10) {
      value = INT64_MIN;
      continue;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == INT64_MIN ? INT64_MAX : -value;
}

static int32_t ClampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return (int32_t)value;
}

int32_t ParseNumber(const char* text) { return ClampToInt32(ParseNumber64(text)); }

// value * factor without overflow (both far below 2^31 in size after clamping).
static int32_t ScaledNumber(const char* text, int32_t factor) {
  return ClampToInt32((int64_t)ParseNumber(text) * factor);
}

// 1 when the first token is exactly word, letter case aside.
static int FirstTokenIs(const char* word) {
  const char* token = Tokens[0];
  for (; *word != 0 && *token != 0; word++, token++) {
    if (FoldCase(*word) != FoldCase(*token)) return 0;
  }
  return *word == 0 && *token == 0;
}

static void SayGameTooLong() {
  printf("Game too long: moves beyond ply %d ignored\n", GAME_PLY_LIMIT);
  fflush(stdout);
}

// A move typed in coordinates: played when legal, else refused with a message.
static void PlayTypedMove(const char* line) {
  Move move = ParseMove(line);
  if (!IsMoveLegal(move)) {
    printf("Illegal move: %s\n", line);
    fflush(stdout);
    return;
  }
  if (GamePly >= GAME_PLY_LIMIT) {
    SayGameTooLong();
    return;
  }
  MakeMove(move, 1);
  if (!ForceMode) {
    UciPonder = 0;
    SearchMovesCount = 0;
    // The engine's reply (Think) is played here once the search exists.
  }
}

static void PrintHelp() {
  static const char* const firstPage[] = {
      "analyze ................... Enters analyze mode",
      "black ..................... Sets black to move and engine side to white",
      "brd ....................... Prints a board",
      "bkm ....................... Prints book moves for current position",
      "easy ...................... Toggles pondering off",
      "edit ...................... Edit board position",
      "egtbstat .................. Displays current EGTB status",
      "epdevl <f> ................ Produces static evaluations for EPD-file <f>",
      "evl ....................... Shows static evaluation for current position",
      "force ..................... Toggles autoplay off",
      "go ........................ Starts search",
      "hard ...................... Toggles pondering on",
      "help ...................... Displays this help",
      "level <m> <t> <i> ......... Sets ICS time controls",
      "loadfen <e> ............... Sets FEN-position <e>",
      "moves ..................... Displays all legal moves with ranking priorities",
      "mvd ....................... Shows position flags",
      "new ....................... Starts a new game",
      "nopost .................... Toggles silent mode on",
  };
  static const char* const secondPage[] = {
      "perft <d> ................. Tests the move generator/make_move with depth <d>",
      "post ...................... Toggles silent mode off",
      "q[uit] .................... Exits Corvatine",
      "remove .................... Un-makes last moves of each side",
      "sd <d> .................... Sets max search depth to <d>",
      "st <t> .................... Sets max search time to <t>",
      "time <t> .................. Sets remaining game time in milliseconds to <t>",
      "uci ....................... UCI mode",
      "undo ...................... Un-makes last move of one side",
      "white ..................... Sets white to move and engine side to black",
  };
  static char discarded[INPUT_BUFFER_SIZE];
  printf("Corvatine commands:\n");
  for (int i = 0; i < 78; i++) putchar('-');
  printf("\n");
  printf("\n");
  for (const char* text : firstPage) printf("%s\n", text);
  printf("\nPress <enter> to continue....");
  fflush(stdout);
  GetInputLine(1, discarded);
  printf("\n");
  for (const char* text : secondPage) printf("%s\n", text);
  printf("\n");
  fflush(stdout);
}

// The per-game statistics reset of "reset" and "ucinewgame".
static void ResetGameStatistics() {
  // An unfinished game is learned into the book as a draw here once the
  // book exists.
  memset(HistoryTable, 0, sizeof(HistoryTable));
  ClearKillers();
  PrevScore = 0;
  PrevScoreSide = 0;
  // The book's per-game counters are reset here too once the book exists.
}

// xboard "level MPS BASE INC", BASE in minutes or minutes:seconds.
static void SetLevel(int count) {
  if (count > 4) {
    MovesToGo = ParseNumber(Tokens[1]);
    BaseTime = ClampToInt32((int64_t)ParseNumber(Tokens[2]) * 6000 + (int64_t)ParseNumber(Tokens[3]) * 100);
    Increment = OpponentIncrement = ScaledNumber(Tokens[4], 100);
    return;
  }
  if (count >= 2) MovesToGo = ParseNumber(Tokens[1]);
  if (count >= 3) BaseTime = ScaledNumber(Tokens[2], 6000);
  if (count >= 4) Increment = OpponentIncrement = ScaledNumber(Tokens[3], 100);
}

// Counts the leaves of the tree below the position; the timing starts on a
// fresh tick of the clock.
static void RunPerft(int count) {
  MoveStackTop = 0;
  if (count < 2) return;
  int depth = ParseNumber(Tokens[1]);
  if (depth < 1 || depth > PERFT_DEPTH_LIMIT) {
    printf("Perft depth must be 1 to %d\n", PERFT_DEPTH_LIMIT);
    fflush(stdout);
    return;
  }
  int64_t tick = TimeMs();
  while (TimeMs() == tick) {
  }
  int64_t start = TimeMs();
  PerftCount = 0;
  Perft(depth);
  double seconds = (double)(TimeMs() - start) / 1000.0;
  printf("total moves = %llu time = %.2f\n", (unsigned long long)PerftCount, seconds);
  fflush(stdout);
}

static void PrintUciIdentification() {
  printf("id name Corvatine 1.96\n");
  printf("id author Quendrel\n");
  printf("option name Hash type spin min 0 max 1024 default 10\n");
  printf("option name PawnHash type spin min 0 max 1024 default 7\n");
  printf("option name SyzygyPath type string default c:\\tablebases\\\n");
  printf("option name OpeningsBook type string default .\\book.crv\n");
  printf("option name OwnBook type check default true\n");
  printf("option name MultiPV type spin min 1 max 1024 default 1\n");
  printf("option name Aggressivity type spin min 0 max 300 default %d\n", Aggressivity);
  printf("option name Defensivity type spin min 0 max 300 default %d\n", Cowardice);
  printf("option name Clear Hash type button\n");
  printf("uciok\n");
  fflush(stdout);
}

// UCI "position [startpos | fen FEN] [moves m1 m2 ...]".
static void SetUciPosition(const char* line, int count) {
  if (count < 2) return;
  LastBestMove = 0;
  if (CommandMatches("startpos", Tokens[1])) {
    NewGame();
  } else if (CommandMatches("fen", Tokens[1])) {
    // The FEN starts four characters behind where the word stands.
    char key[4] = {0, 0, 0, 0};
    strncpy(key, Tokens[1], 3);
    const char* place = strstr(line, key);
    const char* lineEnd = line + strlen(line);
    const char* fen = (place != nullptr && lineEnd - place >= 4) ? place + 4 : lineEnd;
    if (SetFenPosition(fen)) GameStartPly = GamePly;
  }
  if (count < 4) return;
  int index = 2;
  while (index < count && !CommandMatches("moves", Tokens[index])) index++;
  for (index++; index < count; index++) {
    if (!IsCoordinateMove(Tokens[index])) continue;
    Move move = ParseMove(Tokens[index]);
    if (!IsMoveLegal(move)) continue;
    if (GamePly >= GAME_PLY_LIMIT) {
      SayGameTooLong();
      return;
    }
    MakeMove(move, 1);
  }
}

void ProcessCommand() {
  const char* line = CommandLine;
  const int n = SplitCommandLine(line, CommandMatches("level", line) ? " :" : " ");

  // The words are tried in this order and the first match decides, except
  // where a row says it goes on. Rows marked "later" wait for the part of the
  // engine they call; they take their words already, so the order holds.
  if (CommandMatches("pgneval", line)) {
    // later: statistics of a PGN file; goes on
  }
  if (CommandMatches("q", line)) ExitProgram(0);
  if (CommandMatches("clean", line)) {
    return;  // later: clears every hash table
  }
  if (CommandMatches("reload", line)) {
    return;  // later: reads values.txt again
  }
  if (IsCoordinateMove(line)) {
    PlayTypedMove(line);
    return;
  }
  if (CommandMatches("help", line)) {
    PrintHelp();
    return;
  }
  if (CommandMatches("new", line)) {
    NewGame();
    return;
  }
  if (CommandMatches("post", line)) {
    PostMode = 1;
    return;
  }
  if (CommandMatches("reset", line)) {
    ResetGameStatistics();
    return;
  }
  if (CommandMatches("level", line)) {
    SetLevel(n);
    return;
  }
  if (CommandMatches("moves", line)) {
    return;  // later: the ordered legal-move list of the root search
  }
  if (CommandMatches("edit", line)) {
    return;  // later: xboard edit mode
  }
  if (CommandMatches("loadfen", line)) {
    size_t length = strlen(line);
    if (SetFenPosition(line + (length < 8 ? length : 8))) GameStartPly = GamePly;
    return;
  }
  if (CommandMatches("epdevl", line)) {
    return;  // later: static evaluations of an EPD file
  }
  if (CommandMatches("selftest", line)) {
    return;  // later: self-test over a PGN file
  }
  if (CommandMatches("nopost", line)) {
    PostMode = 0;
    return;
  }
  if (CommandMatches("perft", line)) {
    RunPerft(n);
    return;
  }
  if (CommandMatches("sd", line)) {
    if (n >= 2) DepthLimit = ParseNumber(Tokens[1]);
    return;
  }
  if (FirstTokenIs("stop")) {
    if (LastBestMove != 0) {
      char text[8];
      printf("bestmove %s\n", MoveToText(text, LastBestMove));
      fflush(stdout);
    }
    return;
  }
  if (CommandMatches("st", line)) {
    if (n >= 2) TimePerMove = ScaledNumber(Tokens[1], 100);
    return;
  }
  if (CommandMatches("go", line)) {
    return;  // later: the clock arguments and the search
  }
  if (CommandMatches("ponderhit", line)) {
    // later: pays the move of a finished ponder search; goes on
  }
  if (CommandMatches("white", line)) {
    thread_board.SideToMove = WHITE;
    EngineSide = 1;
    return;
  }
  if (CommandMatches("remove", line)) {
    if (TakeBackMove()) TakeBackMove();
    return;
  }
  if (CommandMatches("analyze", line)) {
    return;  // later: xboard analyze mode
  }
  if (CommandMatches("black", line)) {
    thread_board.SideToMove = BLACK;
    EngineSide = 0;
    return;
  }
  if (CommandMatches("force", line)) {
    ForceMode = 1;
    return;
  }
  if (CommandMatches("brd", line)) {
    PrintBoard();
    return;
  }
  if (CommandMatches("time", line)) {
    if (n >= 2) TimeLeft = ParseNumber(Tokens[1]);
    return;
  }
  if (CommandMatches("otime", line)) {
    if (n >= 2) OpponentTime = ParseNumber(Tokens[1]);
    return;
  }
  if (CommandMatches("easy", line)) {
    PonderOn = 0;
    return;
  }
  if (CommandMatches("hard", line)) {
    if (Pondering) PonderOn = 1;
    return;
  }
  if (CommandMatches("evl", line)) {
    return;  // later: the evaluation print-out
  }
  if (CommandMatches("undo", line)) {
    TakeBackMove();
    return;
  }
  if (CommandMatches("fritz", line)) {
    FritzMode = 1;  // goes on
  }
  if (CommandMatches("xboard", line)) {
    NodeLimit = 0;
    DepthLimit = 998;
    MovesToGo = 0;
    TimePerMove = 0;
    MateLimit = 0;
    UciMode = 0;
    PonderOn = Pondering;
    return;
  }
  if (CommandMatches("mvd", line)) {
    printf("castling flags = %d\n", (int)thread_board.CastleFlags);
    fflush(stdout);
    return;
  }
  if (CommandMatches("demo", line)) {
    return;  // later: self-play over openings.epd
  }
  if (CommandMatches("bkm", line)) {
    return;  // later: the book moves of the position
  }
  if (FirstTokenIs("ucinewgame")) {
    LastBestMove = 0;
    ResetGameStatistics();
    return;
  }
  if (CommandMatches("uci", line)) {
    PrintUciIdentification();
    UciMode = 1;
    PonderOn = 0;
    return;
  }
  if (CommandMatches("setoption", line)) {
    return;  // later: the UCI options
  }
  if (CommandMatches("isready", line)) {
    printf("readyok\n");
    fflush(stdout);
    return;
  }
  if (CommandMatches("egtbstat", line)) {
    // later: the tablebase status; goes on
  }
  if (CommandMatches("position", line)) {
    SetUciPosition(line, n);
    return;
  }
  if (CommandMatches("debug", line)) {
    if (n >= 2) {
      if (CommandMatches("on", Tokens[1])) {
        UciDebug = 1;
      } else if (CommandMatches("off", Tokens[1])) {
        UciDebug = 0;
      }
    }
    return;
  }
}
