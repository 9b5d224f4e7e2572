// The progress lines of a search: UCI "info" lines (per result, MultiPV,
// periodic node counts) and the xboard thinking line, each with the principal
// variation read back from the transposition table.
#pragma once
#include <cstdint>
#include "board/types.h"

// Nodes at the last PrintUciInfo line; kept across searches.
extern int64_t LastInfoNodes;
// Polls left before the next periodic node line.
extern int32_t UciInfoCountdown;
// Text of one move (five characters and the terminator, with room to spare).
extern char MoveTextBuffer[8];

// Bound kinds of the printed score.
constexpr int BOUND_UPPER = 1;
constexpr int BOUND_LOWER = 2;
constexpr int BOUND_EXACT = 3;

// One "info depth ..." line with the PV (with_pv) or the current root move.
// Gives 1 when it printed, 0 when the throttle held it back.
int PrintUciInfo(int forced, int bound, int with_pv);
// One "info multipv ..." line per MultiPV line; line carries the bound.
void PrintUciPvInfo(int line, int bound);
// Every line of a completed MultiPV iteration, never throttled: the "info
// multipv" lines in UCI, one thinking line per line in xboard (with post).
void PrintMultiPvReport();
// The periodic "info nps ..." line (only at 0 nodes or above 200000).
void PrintUciNodeInfo();
// The xboard thinking line: throttled, never throttled, throttled unless
// forced. Each gives 1 when it printed.
int PostThinking();
int PostThinkingForced();
int PrintThinking(int forced);
// Open for the tests; the engine calls it only inside search/output.cpp.
// " %s" per move of the principal variation from root move index, no line end.
void PrintPrincipalVariation(int index);
// The final result line of a searched move: the UCI "info" line (without
// MultiPV), or the xboard thinking line of depth, score, time and nodes.
void PrintFinalThinking(int32_t score);

// The answers of the engine's move, each a whole line.
// UCI: "bestmove" with move (0 prints "0000"), and " ponder" with ponder
// unless it is 0; flushed.
void PrintBestMove(Move move, Move ponder);
// xboard: "resign" first when resign is set, then "move"; not flushed (the
// caller flushes after its learning step).
void PrintEngineMove(Move move, int resign);
// xboard and console: the move the engine ponders on, without a promotion
// letter; flushed.
void PrintHint(Move move);

// Helpers shared with Think and the tests.
// Writes the UCI score form ("cp %d ", "mate %d ", "mate -%d ") of s.
char* UciScoreText(char* buffer, int32_t s);
// The score as xboard shows it: mate scores moved out by 67.
int32_t XboardScore(int32_t s);
// Coordinates of a move with its promotion letter into MoveTextBuffer.
char* PvMoveText(Move move);
// Centiseconds since SearchStartTime.
int32_t ElapsedCentiseconds();
// Nodes per second, 0 when no time has passed.
int64_t NodesPerSecond(int32_t cs);
// Per mille of the transposition table filled in this search; 0 without table.
int32_t HashFullPerMille();
