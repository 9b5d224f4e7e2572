#include "platform/exit.h"

#include <cstdio>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

// The hash tables are read at random places, and with small pages most of
// those reads also miss the address translation cache. A table of 2 MB or
// more therefore starts on a 2 MB boundary, takes whole 2 MB units and, on
// Linux, asks for huge pages. Freed with free() like any other block.
static void* AllocateTableBlock(uint64_t bytes) {
  constexpr uint64_t HUGE_PAGE = 2u << 20;
  if (bytes < HUGE_PAGE) return bytes <= (uint64_t)SIZE_MAX ? malloc((size_t)bytes) : nullptr;
  const uint64_t whole = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  if (whole > (uint64_t)SIZE_MAX) return nullptr;
  void* block = aligned_alloc((size_t)HUGE_PAGE, (size_t)whole);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (block != nullptr) madvise(block, (size_t)whole, MADV_HUGEPAGE);  // a refusal leaves small pages
#endif
  return block;
}

void* AllocateTable(const char* name, int32_t* entries, int32_t least, uint64_t entryBytes, int spare) {
  const int32_t wanted = *entries < least ? least : *entries;
  int32_t count = wanted;
  for (;;) {
    const uint64_t bytes = ((uint64_t)count + (uint64_t)spare) * entryBytes;
    void* block = AllocateTableBlock(bytes);
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
