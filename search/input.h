// Reading standard input into InputBuffer and taking lines from it; the one
// orderly end of the process.
#pragma once
#include <cstdint>
#include "search/tokens.h"

extern char ReadChunk[4096];
extern char SearchInputLine[INPUT_BUFFER_SIZE];  // the line being handled during a search

// 1 while analyze mode runs its searches: they end only by input, so the end
// of input must end them.
extern int32_t AnalyzeModeActive;

// Handles, without blocking, the lines that arrived during a search until one
// of them ends the handling; the caller tests thread_board.StopSearch.
void HandleInputDuringSearch();

// 1 while lines typed during a search wait to be run as commands: in console
// and xboard mode a line that is no in-search command is kept (and ends a
// ponder search); GetInputLine hands these lines out first.
int DeferredInputWaiting();

// Appends one raw read to InputBuffer; 0 at end of input.
int ReadInput();
// Non-zero when input waits (a complete line already buffered counts).
int InputAvailable();
// 1 a line was put into buffer, 0 no complete line, -1 end of input.
int GetInputLine(int wait, char* buffer);
// Takes the next character of input from the front of InputBuffer, reading
// (and waiting) when it is empty; -1 at end of input.
int GetInputChar();
// Cuts the first line of InputBuffer into buffer (size bytes); the line must
// hold a '\n'. The first '\r' of the line becomes a blank.
void CutInputLine(char* buffer, int size);
