// The input and command-line buffers, the token buffers and the words of a
// command line: shared by the line loop, the dispatcher, the settings reader
// and the in-search handler.
#pragma once
#include <cstdint>

constexpr int INPUT_BUFFER_SIZE = 4608;
constexpr int TOKEN_COUNT = 2048;
constexpr int LONG_TOKENS = 64;        // Tokens[0..63] hold 512 bytes
constexpr int LONG_TOKEN_SIZE = 512;
constexpr int SHORT_TOKEN_SIZE = 16;   // Tokens[64..2047]

extern char InputBuffer[INPUT_BUFFER_SIZE];  // read, not yet cut into lines; NUL-terminated
extern char CommandLine[INPUT_BUFFER_SIZE];  // the current line without its line end
extern char* Tokens[TOKEN_COUNT];
extern int32_t TokenStart[TOKEN_COUNT];

// Size in bytes of token buffer i.
inline int TokenSize(int i) { return i < LONG_TOKENS ? LONG_TOKEN_SIZE : SHORT_TOKEN_SIZE; }

void AllocateTokenBuffers();
// Frees them; safe to call more than once.
void FreeTokenBuffers();

// 1 when word and text agree, case-insensitively, over the length of the
// shorter one after leading blanks; 0 when either is empty after them.
int CommandMatches(const char* word, const char* text);

// Splits line into Tokens at any character of separators; gives the token
// count. Tokens are cut to their buffer size and at most TOKEN_COUNT are kept.
int SplitCommandLine(const char* line, const char* separators);

// Decimal number with an optional sign, 0 when no digit follows; values
// beyond the range saturate.
int32_t ParseNumber(const char* text);
// The same over the 64-bit range.
int64_t ParseNumber64(const char* text);
