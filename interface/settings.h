// The settings of the engine: plain globals set by the start-up defaults, the
// settings file, console commands and UCI options. Those that the search, the
// book and the learning read are declared by them (search/options.h,
// search/think.h, book/book.h, book/learn.h); this header brings them along.
#pragma once
#include <cstdint>
#include "board/types.h"
#include "book/book.h"
#include "book/learn.h"
#include "search/options.h"
#include "search/think.h"

constexpr int TB_PATH_SIZE = 1024;

// Start-up values of the settings that the settings file may change; a bad
// value in the file brings its setting back to these.
constexpr int32_t DEFAULT_HASH_ENTRIES = 0x80000;
constexpr int32_t DEFAULT_PAWN_HASH_ENTRIES = 0x40000;
constexpr int32_t DEFAULT_EVAL_HASH_ENTRIES = 0x80000;
constexpr int32_t DEFAULT_AGGRESSIVITY = 100;
constexpr int32_t DEFAULT_COWARDICE = 100;
constexpr int32_t DEFAULT_RESIGN_VALUE = 800;
constexpr int32_t DEFAULT_RESIGN_TIMES = 3;
constexpr int32_t DEFAULT_VARIETY_OF_PLAY = 10;
constexpr int32_t DEFAULT_BOOK_LEARNING_BOUND = 400;

// Modes of the interface alone.
extern int32_t FritzMode;
extern int32_t UciDebug;

// Tablebases.
extern int32_t UseEGTB;
extern char tb_path[TB_PATH_SIZE];

// The defaults set before the start-up tables are built.
void SetPlayDefaults();
// The defaults of the table sizes and the playing style, set after them.
void SetSizeDefaults();
// Prints the settings in force (17 lines and an empty line) and flushes.
void PrintSettings();
