// The input and command-line buffers and the token buffers shared by the line
// loop, the dispatcher, the settings reader and the in-search handler.
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
