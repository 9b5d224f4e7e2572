#include "platform/filelock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static int FlockRetrying(int fd, int operation) {
  int result;
  do {
    result = flock(fd, operation);
  } while (result < 0 && errno == EINTR);
  return result;
}

// Polls a lock that must not block: a program that holds its lock for ever
// must not hang this one.
static int LockWaiting(FILE* file, int operation, int waitMs) {
  const int fd = fileno(file);
  for (int waited = 0;; waited++) {
    if (FlockRetrying(fd, operation | LOCK_NB) == 0) return 1;
    if (errno != EWOULDBLOCK || waited >= waitMs) return 0;
    struct timespec pause = {0, 1000000};
    nanosleep(&pause, nullptr);
  }
}

int LockFileShared(FILE* file, int waitMs) { return LockWaiting(file, LOCK_SH, waitMs); }

int LockFileExclusive(FILE* file, int waitMs) { return LockWaiting(file, LOCK_EX, waitMs); }

void UnlockFile(FILE* file) { FlockRetrying(fileno(file), LOCK_UN); }

int64_t OpenFileSize(FILE* file) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return -1;
  return (int64_t)status.st_size;
}

int TruncateOpenFile(FILE* file, int64_t size) {
  if (fflush(file) != 0) return 0;
  return ftruncate(fileno(file), (off_t)size) == 0;
}

int SyncFileData(FILE* file) {
  if (fflush(file) != 0) return 0;
  return fdatasync(fileno(file)) == 0;
}

// Writes all of data to fd; 1 on success.
static int WriteAll(int fd, const unsigned char* data, int64_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size > (1 << 20) ? (1 << 20) : (size_t)size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return 0;
    data += written;
    size -= written;
  }
  return 1;
}

int CreateFileExclusively(const char* path, const void* data, int64_t size) {
  char temporary[4096];
  int length = snprintf(temporary, sizeof temporary, "%s.%ld.tmp", path, (long)getpid());
  if (length < 0 || length >= (int)sizeof temporary) return -1;
  int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return -1;
  int written = WriteAll(fd, (const unsigned char*)data, size) && fdatasync(fd) == 0;
  written = close(fd) == 0 && written;
  int result = -1;
  if (written) {
    if (link(temporary, path) == 0) {
      result = 1;
    } else if (errno == EEXIST) {
      result = 0;
    }
  }
  unlink(temporary);
  return result;
}
