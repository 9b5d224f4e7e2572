// File mapping and the mutex for the tablebases, and finding a file whose
// name is spelled in another letter case. 64-bit file offsets also in
// the 32-bit program, so that a file size is never cut to 32 bits.
#define _FILE_OFFSET_BITS 64
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
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

int FindFileIgnoringCase(const char* path, char* out, int size) {
  // 1. Split path into its folder (with the slash) and its last part.
  const char* slash = strrchr(path, '/');
  const char* base = slash ? slash + 1 : path;
  const int folderLength = slash ? (int)(slash - path) + 1 : 0;
  char folder[4096];
  if (*base == 0 || folderLength >= size || folderLength >= (int)sizeof folder) return 0;
  memcpy(folder, path, (size_t)folderLength);
  folder[folderLength] = 0;
  // 2. The first regular file of the folder with the same name in any case.
  DIR* dir = opendir(folderLength ? folder : ".");
  if (dir == nullptr) return 0;
  int found = 0;
  for (struct dirent* entry = readdir(dir); entry != nullptr && !found; entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, base) != 0) continue;
    if (folderLength + (int)strlen(entry->d_name) >= size) continue;
    snprintf(out, (size_t)size, "%s%s", folder, entry->d_name);
    struct stat status;
    found = stat(out, &status) == 0 && S_ISREG(status.st_mode);
  }
  closedir(dir);
  return found;
}
