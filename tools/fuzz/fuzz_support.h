// Shared parts of the libFuzzer targets: the start-up of the engine in a
// directory of its own, the input written to a file there, and the jump
// back to the target when the engine would end the program.
//
// Every target is linked with the same wrapped functions (tools/fuzz.sh):
// exit jumps back to the target while FuzzExitArmed is set (and the
// tables are not freed then); the three root drivers and perft
// run within FUZZ_NODES nodes and FUZZ_DEPTH plies, so that no input can
// start a search without end; a hash table is at most FUZZ_HASH_MB large;
// self-play games are not played; the parameter file is not read again
// while FuzzKeepValues is set (the values target reads it; building the
// tables from it takes a good part of a second); a book or EPD file named by a path
// outside the working directory is not opened (a book learns into its file).
#pragma once
#include <setjmp.h>

#include <cstddef>
#include <cstdint>

constexpr int64_t FUZZ_NODES = 500;
constexpr int FUZZ_DEPTH = 4;
constexpr int FUZZ_PERFT_DEPTH = 2;
constexpr int FUZZ_HASH_MB = 1;

// Where the exit of the program jumps to. Set it with setjmp and
// FuzzExitArmed before calling into the engine; the jump clears
// FuzzExitArmed, and FuzzRestartAfterExit must follow it: the program's end
// has freed the token buffers (the hash tables it keeps while the jump is
// armed).
extern int FuzzKeepValues;
extern jmp_buf FuzzExitJump;
extern int FuzzExitArmed;
void FuzzRestartAfterExit();

// The start-up of the program (without the settings file, the book, the
// learning file and the tablebases) in a new temporary directory, which
// becomes the working directory. Output goes to /dev/null, input is empty.
void FuzzStartEngine();
// Writes data to the file name in the working directory.
void FuzzWriteFile(const char* name, const uint8_t* data, size_t size);
// The input as one NUL-terminated string (NUL bytes become blanks), cut to
// at most limit - 1 bytes.
void FuzzInputText(char* text, size_t limit, const uint8_t* data, size_t size);
