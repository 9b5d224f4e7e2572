#include "interface/tokens.h"

#include <cstdio>
#include <cstdlib>

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
