// The root of the search: the root move list, iterative deepening with
// aspiration windows and the three root drivers (timed, fixed-depth, MultiPV).
#pragma once
#include <cstdint>
#include "board/searchstack.h"
#include "board/types.h"

constexpr int MAX_ITERATIONS = 99;    // timed search: iterations 0 .. 98; the others stop at 97
constexpr int NO_DEPTH_LIMIT = 999;

// The root list and its scores are in board/searchstack.h.
extern int32_t RootMoveIndex;    // root move now being searched
extern int32_t RootMoveCount;    // number of root moves
extern int32_t RootGamePly;      // GamePly at the start of the search
extern int32_t IterationDepth;   // current iteration (printed as IterationDepth + 1)
extern int32_t RootDepthLimit;   // internal depth limit: 999 for the timed search
extern int32_t MaterialBalance;  // RootSide's Material minus the other side's
extern int32_t BookMovePlayed;   // the move of this search came from the book

// Tablebase state of the search (the probes join with the tablebase code;
// TbRootHit is in search/think.h).
extern int32_t TbHits;
extern int32_t SkipTbProbes;     // 1: no probes inside the tree

// Timed root search (Think): 1 when the side to move has no legal move, else
// 0 with the best move at MoveStack[0] and its score at RootScores[0].
// A driver that ends by itself (mate found, single legal move, last
// iteration, depth limit) returns only when SearchMustWaitForStop() is 0;
// otherwise it first waits for the stop, "ponderhit" or the opponent's move.
// A root without a legal move returns 1 at once (Think answers it). The
// timed driver also ends after Limits.DepthLimit plies ("sd", "go depth").
// RootDepthLimit holds the limit the driver was called with (999 = timed).
int RootSearch();
// Root search without a clock: fixed depth, the hint search, pondering,
// analysis; depthLimit 999 means none. Same result as RootSearch.
int RootSearchFixed(int depthLimit);
// Several lines at once ("MultiPV" above 1). Same result as RootSearch.
int RootSearchMultiPV(int depthLimit);

// Builds and orders the root list (announcing the end of the game outside UCI
// mode); 1 when the side to move has no legal move.
int GenerateRootMoves();
// Open for the tests; the engine calls it only inside search/root.cpp.
// Score of the root move just made, from the side to move after it.
int SearchRootMove(int alpha, int beta, int depth);
// Window of the lazy evaluation around RootScores[0], widened by step.
void SetLazyEvalBounds(int step);
// Root tablebase decision of the MultiPV driver.
void ProbeRootTablebases();

// Open for the tests; the engine calls it only inside search/root.cpp.
// 1 while the running search must not end by itself: a ponder search on the
// opponent's time (xboard, not the hint search), a UCI "go ponder" search
// before "ponderhit" (Limits.UciPonder), or a UCI search without end:
// Limits.TimeLeft is INFINITE_TIME, which the "go" command leaves only for
// "go infinite".
int SearchMustWaitForStop();
// Handles input, without searching, until the search is stopped or no longer
// has to wait (see SearchMustWaitForStop).
void WaitForSearchStop();
