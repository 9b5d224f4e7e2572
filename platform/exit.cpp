#include "platform/exit.h"

#include <cstdio>
#include <cstdlib>

static void (*ExitRelease)() = nullptr;

void SetExitRelease(void (*release)()) { ExitRelease = release; }

void ExitProgram(int code) {
  fflush(stdout);
  if (ExitRelease != nullptr) ExitRelease();
  exit(code);
}

void* AllocateOrExit(size_t bytes) {
  void* block = malloc(bytes);
  if (block == nullptr) {
    printf("An error occured while memory allocation!\n");
    ExitProgram(1);
  }
  return block;
}

void* AllocateTable(const char* name, int32_t* entries, int32_t least, uint64_t entryBytes, int spare) {
  const int32_t wanted = *entries < least ? least : *entries;
  int32_t count = wanted;
  for (;;) {
    const uint64_t bytes = ((uint64_t)count + (uint64_t)spare) * entryBytes;
    void* block = bytes <= (uint64_t)SIZE_MAX ? malloc((size_t)bytes) : nullptr;
    if (block != nullptr) {
      if (count != wanted) {
        printf("info string %s of %d entries could not be allocated; %d entries in use\n", name, wanted, count);
        fflush(stdout);
      }
      *entries = count;
      return block;
    }
    if (count <= least) {
      printf("An error occured while memory allocation!\n");
      ExitProgram(1);
    }
    count = count / 2 < least ? least : count / 2;
  }
}
