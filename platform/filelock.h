// Files shared with other programs in the same folder: advisory locks, the
// size of an open file, flushing to the disk and creating a file exclusively.
#pragma once
#include <cstdint>
#include <cstdio>

// Take a shared or the exclusive lock on the whole file, trying again for up
// to waitMs milliseconds (0: once) while another program holds a lock that
// stands in the way; 1 when held. Never waits longer.
int LockFileShared(FILE* file, int waitMs);
int LockFileExclusive(FILE* file, int waitMs);
// Gives up a lock taken by the two calls above.
void UnlockFile(FILE* file);
// The size of the open file in bytes, -1 when it cannot be told.
int64_t OpenFileSize(FILE* file);
// Cuts the open file to size bytes; 1 on success.
int TruncateOpenFile(FILE* file, int64_t size);
// Asks the system to put the written data on the disk (ordering of writes
// across a power failure); 1 on success.
int SyncFileData(FILE* file);
// Creates path with the given contents only when no file of that name exists:
// the data is written under a temporary name first and then linked to path,
// so no other program ever sees the file half written. Gives 1 when created,
// 0 when path existed already, -1 on any other failure.
int CreateFileExclusively(const char* path, const void* data, int64_t size);
