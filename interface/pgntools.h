// The offline tools over EPD and PGN files: static evaluations of the
// positions of an EPD file, and training rows from the games of a PGN file.
#pragma once
#include <cstdint>

// The PGN file that "pgneval" and "selftest" read, the CSV file the training
// rows are appended to and the file "epdevl" writes, all in the working
// directory.
constexpr const char* PGN_SOURCE_FILE = "source.pgn";
constexpr const char* TRAINING_ROWS_FILE = "my_eval.csv";
constexpr const char* EPD_RESULTS_FILE = "out.epd";

// Characters a SAN token may hold; a 15th character ends the program.
constexpr int SAN_TOKEN_SIZE = 16;

extern char SanToken[SAN_TOKEN_SIZE];  // the SAN move being read
extern int32_t GameResult;   // 0 unknown, 1 "1-0", 2 "0-1", 3 a draw
extern int32_t PlyCount;     // the "PlyCount" tag of the game, 0 without one
extern int32_t SkipGame;     // the rest of the game is read but not played
extern int32_t PgnHitCount;  // reset by "selftest", read by the progress line

// Writes every position of the EPD file at path with its static evaluation
// to "out.epd": the line as read, then ";score" on a line of its own.
void EvaluateEpdFile(const char* path);
// Fills pawn rows 2 to 6 of the piece-square tables from the parameters,
// then reads the PGN file at path as ProcessPgnFile does.
void SelfTest(const char* path);
// Replays the games of the PGN file at path and appends a CSV row for every
// quiet move after the first of a game with a known result.
void ProcessPgnFile(const char* path);
// Plays SanToken in the position on the board (see pgntools.cpp).
void PlaySanMove();
// Closes the PGN file being read, if any.
void ClosePgnFile();
