// Repetition tests: the game-level threefold test, the in-search repetition
// walk and the upcoming-repetition test over the cycle-move table.
#pragma once
#include <cstdint>

constexpr int CYCLE_MOVE_BUCKETS = 8192;

// Four keys of single reversible piece moves (XOR of the piece's Zobrist keys
// on its two squares) and the moves themselves (to << 6 | from | piece << 12).
struct CycleMoveBucket {
  uint64_t key[4];
  uint16_t move[4];
};
static_assert(sizeof(CycleMoveBucket) == 40, "CycleMoveBucket is 40 bytes");

// Allocated by AllocateCycleMoveTable, CYCLE_MOVE_BUCKETS buckets.
extern CycleMoveBucket* CycleMoveTable;

// Fills the cycle-move table; needs the Zobrist keys and attack tables.
void InitCycleMoveTable();

// 1 when the current game position occurred twice before with the same
// castling rights and only reversible moves in between, else 0.
int IsThreefoldRepetition();

// 1 when the search node at the current position is a draw by the fifty-move
// rule or by repetition inside the reversible tail of the game, or (when
// upcoming is set) when the side to move can reach a repetition with one move.
int IsSearchDraw(int upcoming);
