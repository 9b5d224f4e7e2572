// The command dispatcher: the keyword test, the tokenizer and the one table of
// xboard, UCI and console commands.
#pragma once
#include <cstdint>

// 1 when word and text agree, case-insensitively, over the length of the
// shorter one after leading blanks; 0 when either is empty after them.
int CommandMatches(const char* word, const char* text);

// Splits line into Tokens at any character of separators; gives the token
// count. Tokens are cut to their buffer size and at most TOKEN_COUNT are kept.
int SplitCommandLine(const char* line, const char* separators);

// Decimal number with an optional sign, 0 when no digit follows; values
// beyond the range saturate.
int32_t ParseNumber(const char* text);
// Open for the tests; the engine calls it only inside interface/commands.cpp.
int64_t ParseNumber64(const char* text);

// Runs the command in CommandLine.
void ProcessCommand();
