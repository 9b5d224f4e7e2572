// The settings the search reads: the protocol and output modes, pondering,
// the number of lines, the engine's own book and resignation. The interface
// writes them from its commands, the UCI options and the settings file.
#pragma once
#include <cstdint>

// Protocol and output modes.
extern int32_t UciMode;        // 1 after "uci", 0 after "xboard"
extern int32_t PostMode;       // 1: print thinking lines
extern int32_t ForceMode;      // 1: the engine does not reply to moves
extern int32_t EngineSide;     // colour the engine plays

// Pondering.
extern int32_t Pondering;      // pondering allowed at all
extern int32_t PonderOn;       // pondering now on

// UCI options.
extern int32_t MultiPV;
extern int32_t OwnBook;

// Resignation.
extern int32_t ResignValue;    // centipawns
extern int32_t ResignTimes;    // 0 or less: never resign
