// The engine's only contact with the operating system: standard-input polling
// and reading, the millisecond clock and the start-up signal settings.
#pragma once
#include <cstdint>

// Ignores SIGINT (xboard sends it to its engines) and SIGPIPE (a closed
// output pipe must not kill the process in the middle of a line).
void PlatformInit();

// 1 when a read of standard input would not block: data, end of input or an
// error is pending; 0 otherwise. Never waits.
int StdinReady();

// Reads at most size bytes of standard input into buffer, waiting for data.
// Gives the number of bytes read, or 0 at end of input or on a read error.
int ReadStdin(char* buffer, int size);

// Milliseconds on a monotonic clock, counted from the first call (so the
// values stay small); never goes back.
int64_t TimeMs();

// Read-only mapping of a whole file. Gives 1 with the view and its size, 0
// when the file does not open (a missing file), -1 when it opens but cannot
// be mapped (empty, not a regular file, too large for the address space, or
// the mapping fails); *error then names the reason. The view stays valid
// until UnmapFileView with the same size.
int MapFileView(const char* path, const uint8_t** view, uint64_t* size, const char** error);
void UnmapFileView(const uint8_t* view, uint64_t size);
// 1 when the file opens for reading (a directory opens too).
int FileOpens(const char* path);
// Looks in the folder of path for a regular file whose name differs from the
// last part of path only in letter case; 1 with its whole path in out (size
// bytes at most), 0 when there is none or it would not fit. GUIs name the
// default book in Windows spelling ("book.crv" for "Book.crv").
int FindFileIgnoringCase(const char* path, char* out, int size);

// The one mutex of the engine: it guards the first loading of a table.
void TablebaseLock();
void TablebaseUnlock();
