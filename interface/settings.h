// The settings and the clock of the engine: plain globals set by the start-up
// defaults, the settings file, console commands and UCI options.
#pragma once
#include <cstdint>
#include "board/types.h"

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

// Protocol and output modes.
extern int32_t UciMode;        // 1 after "uci", 0 after "xboard"
extern int32_t FritzMode;
extern int32_t UciDebug;
extern int32_t PostMode;       // 1: print thinking lines
extern int32_t ForceMode;      // 1: the engine does not reply to moves
extern int32_t EngineSide;     // colour the engine plays

// Pondering.
extern int32_t Pondering;      // pondering allowed at all
extern int32_t PonderOn;       // pondering now on

// UCI state and options.
extern Move LastBestMove;      // best move whose "bestmove" line is still owed
extern int32_t MultiPV;
extern int32_t OwnBook;

// Resignation, book and learning, tablebases.
extern int32_t ResignValue;    // centipawns
extern int32_t ResignTimes;    // 0 or less: never resign
extern int32_t VarietyOfPlay;  // 0..100
extern int32_t BookLearningBound;  // centipawns
extern int32_t BookLearningMode;   // 1 discover, 0 kill
extern int32_t UseBookLearning;
extern int32_t UseBookWeights;
extern int32_t UseLearning;
extern int32_t UseLearningData;
extern int32_t LogLearningIntoFile;
extern int32_t UseEGTB;
extern char tb_path[TB_PATH_SIZE];

// The defaults set before the start-up tables are built.
void SetPlayDefaults();
// The defaults of the table sizes and the playing style, set after them.
void SetSizeDefaults();
// Prints the settings in force (17 lines and an empty line) and flushes.
void PrintSettings();
