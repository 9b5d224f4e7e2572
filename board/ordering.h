// Move-ordering statistics: quiet history, move pairs, evasion refutations
// and the capture history. The generators read them to score moves.
#pragma once
#include <cstdint>

// Stamp of the current search: the capture history forgets counts of older
// searches by it, and the transposition table ages its entries by it.
extern uint16_t SearchAge;

constexpr int CAPTURE_HISTORY_SIZE = 1 << 19;

extern uint32_t HistoryTable[2][3][4][4096][2];     // [safe][block][class][from + 64 * to][side]
// The history class of a piece code: king and knight, pawn, rook, bishop,
// queen. Known at compile time, so that a walk over one kind of piece
// indexes the history without a load.
inline constexpr int32_t HistoryClass[8] = {0, 0, 0, 1, 0, 2, 1, 3};
extern const int32_t PieceSlot[8];                  // {0, 1, 2, 3, 0, 4, 5, 6}
extern uint32_t CounterMoves[2][64][7][2];          // [first/second][to][slot][side]
extern uint32_t FollowUpMoves[2][64][7][2];
extern uint32_t ThreatRefutations[2][64][7][2];
extern uint32_t EvasionRefutation[2][64][64][2];    // [first/second][to of last move][own king][side]
extern int32_t CaptureStamp[CAPTURE_HISTORY_SIZE];
extern int32_t CaptureTries[CAPTURE_HISTORY_SIZE];
extern int32_t CaptureWins[CAPTURE_HISTORY_SIZE];
