#include "platform/exit.h"

#include <sys/mman.h>

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

// The hash tables are read at random addresses, a few per node: on 4 KB pages
// nearly every read also misses the address translation cache. A table of 2
// MB or more is therefore aligned to 2 MB and offered to the kernel for large
// pages (it may decline; the memory is the same either way). free() releases
// it like any other block.
constexpr size_t LARGE_PAGE_BYTES = (size_t)2 << 20;

static void* AllocateLargeBlock(size_t bytes) {
  if (bytes < LARGE_PAGE_BYTES) return malloc(bytes);
  if (bytes > SIZE_MAX - LARGE_PAGE_BYTES) return nullptr;
  const size_t rounded = (bytes + LARGE_PAGE_BYTES - 1) / LARGE_PAGE_BYTES * LARGE_PAGE_BYTES;
  void* block = aligned_alloc(LARGE_PAGE_BYTES, rounded);
  if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}

void* AllocateTable(const char* name, int32_t* entries, int32_t least, uint64_t entryBytes, int spare) {
  const int32_t wanted = *entries < least ? least : *entries;
  int32_t count = wanted;
  for (;;) {
    const uint64_t bytes = ((uint64_t)count + (uint64_t)spare) * entryBytes;
    void* block = bytes <= (uint64_t)SIZE_MAX ? AllocateLargeBlock((size_t)bytes) : nullptr;
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
