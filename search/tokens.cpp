#include "search/tokens.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/bitmasks.h"

#include "platform/exit.h"

char InputBuffer[INPUT_BUFFER_SIZE];
char CommandLine[INPUT_BUFFER_SIZE];
char* Tokens[TOKEN_COUNT];
int32_t TokenStart[TOKEN_COUNT];

// Allocates the token buffers in index order: 64 long ones, then the short
// ones. Running out of memory here ends the program.
void AllocateTokenBuffers() {
  for (int i = 0; i < TOKEN_COUNT; i++) {
    Tokens[i] = (char*)malloc((size_t)TokenSize(i));
    if (Tokens[i] == nullptr) {
      printf("An error occured while memory allocation!\n");
      fflush(stdout);
      ExitProgram(1);
    }
    Tokens[i][0] = 0;
  }
}

// Frees the token buffers; safe to call more than once.
void FreeTokenBuffers() {
  for (int i = 0; i < TOKEN_COUNT; i++) {
    free(Tokens[i]);
    Tokens[i] = nullptr;
  }
}

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

int32_t ParseNumber(const char* text) { return ClampToInt32(ParseNumber64(text)); }
