// File mapping and the mutex for the tablebases. 64-bit file offsets also in
// the 32-bit program, so that a file size is never cut to 32 bits.
#define _FILE_OFFSET_BITS 64
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>

static std::mutex TablebaseMutex;

void TablebaseLock() { TablebaseMutex.lock(); }
void TablebaseUnlock() { TablebaseMutex.unlock(); }

int FileOpens(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

int MapFileView(const char* path, const uint8_t** view, uint64_t* size, const char** error) {
  *view = nullptr;
  *size = 0;
  *error = "";
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  int result = -1;
  if (fstat(fd, &info) != 0) {
    *error = "cannot read its size";
  } else if (!S_ISREG(info.st_mode)) {
    *error = "not a regular file";
  } else if (info.st_size <= 0) {
    *error = "empty file";
  } else if ((uint64_t)info.st_size > (uint64_t)SIZE_MAX / 2) {
    *error = "too large for the address space";
  } else {
    void* p = mmap(nullptr, (size_t)info.st_size, PROT_READ, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
      *error = "mapping failed";
    } else {
      *view = (const uint8_t*)p;
      *size = (uint64_t)info.st_size;
      result = 1;
    }
  }
  close(fd);
  return result;
}

void UnmapFileView(const uint8_t* view, uint64_t size) {
  if (view != nullptr) munmap((void*)view, (size_t)size);
}
