#include "search/input.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "book/book.h"
#include "book/learn.h"
#include "search/tokens.h"
#include "search/options.h"
#include "platform/exit.h"
#include "platform/platform.h"
#include "search/commandtable.h"
#include "search/hashtable.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/limits.h"

char ReadChunk[4096];
char SearchInputLine[INPUT_BUFFER_SIZE];
int32_t AnalyzeModeActive = 0;

// Set while the tail of an over-long line is being dropped: everything up to
// and including its line end is thrown away as it arrives.
static int DiscardingLineTail = 0;

static int InputHasLine() { return strchr(InputBuffer, '\n') != nullptr; }

// Lines typed during a search that are commands for the line loop, each
// with its line end, in the order they came.
static char DeferredInput[INPUT_BUFFER_SIZE];

int DeferredInputWaiting() { return DeferredInput[0] != 0; }

// Keeps a line for the line loop; a line that does not fit beside the lines
// kept already is refused with a message rather than cut.
static void DeferLine(const char* line) {
  const size_t used = strlen(DeferredInput), length = strlen(line);
  if (used + length + 2 > sizeof DeferredInput) {
    printf("Command dropped (too many commands during the search): %s\n", line);
    fflush(stdout);
    return;
  }
  memcpy(DeferredInput + used, line, length);
  DeferredInput[used + length] = '\n';
  DeferredInput[used + length + 1] = 0;
}

// Moves the first kept line into buffer (INPUT_BUFFER_SIZE bytes).
static void TakeDeferredLine(char* buffer) {
  char* end = strchr(DeferredInput, '\n');
  const size_t length = (size_t)(end - DeferredInput);
  memcpy(buffer, DeferredInput, length);
  buffer[length] = 0;
  memmove(DeferredInput, end + 1, strlen(end + 1) + 1);
}

// Appends what one read brings (never more than the room left) to
// InputBuffer. A full buffer without a line end is first cut into one line.
// Gives 0 at end of input or on a read error, else 1.
int ReadInput() {
  int length = (int)strlen(InputBuffer);
  int room = INPUT_BUFFER_SIZE - 1 - length;
  if (room <= 0) {
    if (!InputHasLine()) {
      // The buffered text becomes the line (its last character makes way for
      // the line end); the rest of that line is dropped when it arrives.
      InputBuffer[length - 1] = '\n';
      DiscardingLineTail = 1;
    }
    return 1;
  }
  int want = room < (int)sizeof(ReadChunk) ? room : (int)sizeof(ReadChunk);
  int count = ReadStdin(ReadChunk, want);
  if (count <= 0) return 0;
  int first = 0;
  if (DiscardingLineTail) {
    const char* end = (const char*)memchr(ReadChunk, '\n', (size_t)count);
    if (end == nullptr) return 1;
    first = (int)(end - ReadChunk) + 1;
    DiscardingLineTail = 0;
  }
  for (int i = first; i < count; i++) {
    char c = ReadChunk[i];
    InputBuffer[length++] = c != 0 ? c : ' ';  // a NUL byte would hide the rest
  }
  InputBuffer[length] = 0;
  return 1;
}

// Non-zero when a line is buffered, when the buffer is full (it is about to
// be cut into a line) or when standard input has something to read.
int InputAvailable() {
  if (InputHasLine()) return 1;
  if ((int)strlen(InputBuffer) >= INPUT_BUFFER_SIZE - 1) return 1;
  return StdinReady();
}

// Moves the first line of InputBuffer, without its line end, into buffer
// (at most size - 1 characters); the first '\r' of the line becomes a blank.
void CutInputLine(char* buffer, int size) {
  char* end = strchr(InputBuffer, '\n');
  if (end == nullptr) {
    buffer[0] = 0;
    return;
  }
  *end = 0;
  char* carriageReturn = strchr(InputBuffer, '\r');
  if (carriageReturn != nullptr) *carriageReturn = ' ';
  size_t length = (size_t)(end - InputBuffer);
  if (length > (size_t)size - 1) length = (size_t)size - 1;
  memcpy(buffer, InputBuffer, length);
  buffer[length] = 0;
  memmove(InputBuffer, end + 1, strlen(end + 1) + 1);
}

int GetInputChar() {
  while (InputBuffer[0] == 0) {
    if (!ReadInput()) return -1;
  }
  const unsigned char c = (unsigned char)InputBuffer[0];
  memmove(InputBuffer, InputBuffer + 1, strlen(InputBuffer));
  return c;
}

// Takes the next complete line into buffer (INPUT_BUFFER_SIZE bytes): 1 when
// a line was taken, 0 when none is complete yet, -1 at end of input (only
// when waiting; without waiting the end looks like a line not yet arrived).
int GetInputLine(int wait, char* buffer) {
  buffer[0] = 0;
  if (DeferredInputWaiting()) {
    TakeDeferredLine(buffer);
    return 1;
  }
  if (!InputHasLine()) {
    if (wait) {
      while (!InputHasLine()) {
        if (!ReadInput()) return -1;
      }
    } else {
      if (!InputAvailable()) return 0;
      ReadInput();
      if (!InputHasLine()) return 0;
    }
  }
  CutInputLine(buffer, INPUT_BUFFER_SIZE);
  return 1;
}

// 1 when nothing but a line of input can end the running search, so that
// the end of input must end it.
static int SearchIsEndless() {
  if (Limits.TimeLeft == INFINITE_TIME || Limits.UciPonder || PonderSearchActive || AnalyzeModeActive) return 1;
  return Limits.TimeLeft == NO_CLOCK && Limits.TimePerMove <= 0 && Limits.NodeLimit <= 0 && Limits.DepthLimit >= 998;
}

// The opponent's reply is not coming as the ponder search assumed.
static void PonderReplyOff() {
  if (PonderSearchActive) {
    TypedMove = 0;
    PonderMiss = 1;
  }
}

// A move typed during the search, looked up in the legal moves Think keeps
// for the position the opponent moves in.
static void HandleTypedMove(const char* line) {
  char promotion = (unsigned char)line[4] >= 'a' ? line[4] : 0;
  TypedMove = FindLegalMove(CoordsToMove(line[0], line[1], line[2], line[3], promotion));
  if (TypedMove == 0) {
    printf("Illegal move: %s\n", line);
    fflush(stdout);
    PonderMiss = 1;
    thread_board.StopSearch = 1;
    return;
  }
  if (!PonderSearchActive) {
    thread_board.StopSearch = 1;
    return;
  }
  int hit = (TypedMove & 0xFFF) == (PonderExpected & 0xFFF) && (TypedMove >> 18) == (PonderExpected >> 18);
  if (hit) {
    // The search goes on as the engine's own.
    PonderSearchActive = 0;
  } else {
    PonderMiss = 1;
    thread_board.StopSearch = 1;
  }
}

// Number behind the keyword of a "time" or "otim" line (from its sixth
// character on).
static int32_t NumberBehindKeyword(const char* line) {
  return strlen(line) >= 5 ? ParseNumber(line + 5) : 0;
}

// The "." line: how far the search has come.
static void PrintSearchStatus() {
  char text[8];
  int ply = RootGamePly >= 0 && RootGamePly < GAME_HISTORY_SIZE ? RootGamePly : 0;
  printf("stat01: %d %lld %d %d %d %s\n", ClockCentiseconds() - SearchStartTime, (long long)Nodes,
         IterationDepth + 1, RootMoveCount - RootMoveIndex, RootMoveCount + 1,
         MoveToText(text, GameHistory[ply].move));
  fflush(stdout);
}

// A line that is no in-search command is not lost at the terminal or from
// xboard: it is run once the search is over. A ponder search ends for it, as
// xboard expects (the command may change the game), so that it runs at once
// with the game's own position on the board. Gives 1 when the search stops.
static int KeepLineForLater(const char* line) {
  if (UciMode || AnalyzeModeActive || line[strspn(line, " ")] == 0) return 0;
  DeferLine(line);
  if (!PonderSearchActive) return 0;
  PonderReplyOff();
  thread_board.StopSearch = 1;
  return 1;
}

// Runs one line of input during the search. Gives 1 when the handling ends
// with this line, 0 when the next line is to be handled.
static int RunSearchCommand(const char* line) {
  const int row = FindCommand(line, 0, IN_SEARCH);
  if (row < 0) return KeepLineForLater(line);
  switch (COMMAND_TABLE[row].id) {
    case CMD_STOP:  // "stop" or "?"
      PonderReplyOff();
      Limits.UciPonder = 0;
      thread_board.StopSearch = 1;
      return 1;
    case CMD_STATUS:
      PrintSearchStatus();
      return 1;
    case CMD_ISREADY:
      printf("readyok\n");
      fflush(stdout);
      return 0;
    case CMD_PONDERHIT:
      Limits.UciPonder = 0;
      return 0;
    case CMD_UNDO:
      UndoRequest = 1;
      thread_board.StopSearch = 1;
      return 1;
    case CMD_EXIT:
      ExitRequest = 1;
      thread_board.StopSearch = 1;
      return 1;
    case CMD_NEW:
      PonderReplyOff();
      thread_board.StopSearch = 1;
      NewGameRequest = 1;
      return 1;
    case CMD_RESULT:
      PonderReplyOff();
      thread_board.StopSearch = 1;
      return 1;
    case CMD_POST:
    case CMD_NOPOST:
      PostMode = COMMAND_TABLE[row].id == CMD_POST;
      thread_board.StopSearch = 1;
      PonderReplyOff();
      return 1;
    case CMD_QUIT: ExitProgram(0);
    case CMD_FORCE:
      PonderReplyOff();
      ForceMode = 1;
      thread_board.StopSearch = 1;
      return 1;
    case CMD_HARD:
      thread_board.StopSearch = 1;
      PonderReplyOff();
      if (Pondering) PonderOn = 1;
      return 1;
    case CMD_EASY:
      PonderOn = 0;
      PonderReplyOff();
      thread_board.StopSearch = 1;
      return 1;
    case CMD_TIME: {
      int32_t timeLeft = NumberBehindKeyword(line);
      Limits.TimeLeft = timeLeft < 0 ? 0 : timeLeft;
      if (PonderSearchActive) return 0;
      thread_board.StopSearch = 1;
      return 1;
    }
    case CMD_OTIM:
      Limits.OpponentTime = NumberBehindKeyword(line);
      return 0;
    case CMD_MOVE:
      HandleTypedMove(line);
      return 1;
    default:
      return KeepLineForLater(line);  // not a row of the search's
  }
}

void HandleInputDuringSearch() {
  for (;;) {
    if (!InputHasLine()) {
      if (!InputAvailable()) return;
      if (!ReadInput()) {
        if (SearchIsEndless()) thread_board.StopSearch = 1;
        return;
      }
      if (!InputHasLine()) return;
    }
    CutInputLine(SearchInputLine, INPUT_BUFFER_SIZE);
    if (RunSearchCommand(SearchInputLine)) return;
  }
}
