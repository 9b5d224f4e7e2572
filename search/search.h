// The main alpha-beta search below the root and its per-move helpers.
#pragma once
#include <cstdint>
#include "board/types.h"

// Nodes of the current search; 64-bit so that a day of analysis cannot wrap it.
extern int64_t Nodes;
extern int32_t SelDepth;              // deepest ply reached in this search
extern int32_t SingularSearchActive;  // 1 while a singular-move test runs
extern int32_t PollCountdown;         // nodes left until the next stop test

// Ply guards. SearchStack holds SEARCH_STACK_SIZE records and GameHistory
// GAME_HISTORY_SIZE; a node writes its own record and its child's in_check,
// and making a move writes the record at GamePly. Search answers its static
// evaluation from SEARCH_PLY_LIMIT (SEARCH_GAME_PLY_LIMIT) on, which leaves
// the quiescence search a few plies more up to its own, harder limits. The
// game itself stops taking moves well before (GAME_PLY_LIMIT of
// interface/gamecontrol.h), so these guard only the search's own moves.
constexpr int SEARCH_PLY_LIMIT = SEARCH_STACK_SIZE - 16;
constexpr int SEARCH_GAME_PLY_LIMIT = GAME_HISTORY_SIZE - 16;
constexpr int QUIESCE_PLY_LIMIT = SEARCH_STACK_SIZE - 4;
constexpr int QUIESCE_GAME_PLY_LIMIT = GAME_HISTORY_SIZE - 4;

// Called, when set, after every completed reduced search of a late quiet move
// with the prune-statistics selector of the node (1 when ENDING holds for the
// side to move), the move, the side that made it and 1 when the reduced search
// scored above alpha. Null in the programs; the statistics tool sets it.
extern void (*ReducedMoveHook)(int selector, Move move, int side, int aboveAlpha);

// Score of the position for the side to move, searched to depth quarter plies
// inside the window (alpha, beta). nullAllowed 1 lets the node try the null
// move; nodeType 0 is a principal-variation node, 1 and -1 the two kinds of
// null-window node.
int Search(int alpha, int beta, int depth, int nullAllowed, int nodeType);

// Depth adjustment of one move in quarter plies (0 or negative, +4 at most for
// a capture into a pawn ending); writes this ply's reason flags and the child's
// in_check. safeFlag points to the move's exchange-safety flag, worked out here
// when it still holds 32700.
int ComputeExtension(int extendFull, int mateThreat, int depth, int onlyEvasion, Move move,
                     int orderScore, int pvNode, int gap, uint32_t* safeFlag);

// 1 when no move other than move reaches bound in a shallow search, else 0.
int QuickSingularCheck(int bound, Move move, int safeFlag);
// The same test at depth max(depth - 28, 4).
int VerifySingularMove(int bound, int depth, Move move, int safeFlag);

// 1 when the word is a pseudo-legal move of the side to move in the current
// position (right piece, geometry, empty path, castling rights and squares,
// en passant only right after the double step). A move from the
// transposition table passes this test before it is made, so a key collision
// cannot corrupt the board; whether the own king is left attacked is tested
// after making it.
int IsPlayableMove(Move move);
