// The one orderly end of the process, and the memory allocations that end it
// when they cannot be had.
#pragma once
#include <cstddef>
#include <cstdint>

// The release step of ExitProgram: frees the tables and closes the files the
// run holds. The program sets it at start-up; until then nothing is released.
void SetExitRelease(void (*release)());

// Flushes the output, runs the release step, then exits with code.
[[noreturn]] void ExitProgram(int code);

// One block of bytes, or the end of the program with the allocation message.
void* AllocateOrExit(size_t bytes);

// A table of *entries entries (plus spare) of entryBytes each. When that much
// memory cannot be had, the count is halved until it can (not below least),
// one line tells the size in use, and *entries becomes it. Only a table of
// least entries that cannot be had ends the program.
void* AllocateTable(const char* name, int32_t* entries, int32_t least, uint64_t entryBytes, int spare);
