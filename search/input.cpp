#include "search/input.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "interface/tokens.h"
#include "platform/platform.h"

char ReadChunk[4096];

// Set while the tail of an over-long line is being dropped: everything up to
// and including its line end is thrown away as it arrives.
static int DiscardingLineTail = 0;

static int InputHasLine() { return strchr(InputBuffer, '\n') != nullptr; }

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

// Takes the next complete line into buffer (INPUT_BUFFER_SIZE bytes): 1 when
// a line was taken, 0 when none is complete yet, -1 at end of input (only
// when waiting; without waiting the end looks like a line not yet arrived).
int GetInputLine(int wait, char* buffer) {
  buffer[0] = 0;
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

// Frees the token buffers; safe to call more than once.
void FreeTokenBuffers() {
  for (int i = 0; i < TOKEN_COUNT; i++) {
    free(Tokens[i]);
    Tokens[i] = nullptr;
  }
}

// The one orderly end of the process: releases what the run holds, then exits.
void ExitProgram(int code) {
  fflush(stdout);
  // The hash tables, the opening book and the learning file are released
  // here, before the token buffers, once they exist.
  FreeTokenBuffers();
  exit(code);
}
