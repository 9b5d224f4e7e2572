// The staged move picker of the search's move loops and the updates of the
// move-ordering statistics (tables in board/ordering.h).
#pragma once
#include <cstdint>
#include "board/types.h"

// Stage numbers handed back and forth between the picker and its callers:
// the number returned names the stage just appended (12 evasions, 11
// tactical moves, 10 and 9 the threat refutations, 8 the killer, 7 and 6 the
// countermoves, 2 the quiet moves); passed back in, it makes the picker go on
// with the stage after it.
constexpr int STAGE_START = 14;    // first call; in check the evasions
constexpr int STAGE_EVASIONS = 12;
constexpr int STAGE_TACTICAL = 11;
constexpr int STAGE_THREAT1 = 10;
constexpr int STAGE_THREAT2 = 9;
constexpr int STAGE_KILLER = 8;
constexpr int STAGE_COUNTER1 = 7;
constexpr int STAGE_COUNTER2 = 6;
constexpr int STAGE_QUIET = 2;

// Bits of the node's flag byte that the picker reads and sets.
constexpr uint8_t NODE_NO_QUIET_CHECKS = 1;   // suppresses the checks-only quiet stage
constexpr uint8_t NODE_NO_GOOD_TACTICAL = 2;  // the tactical stage came out empty
constexpr uint8_t NODE_NO_TACTICAL = 16;      // skip the tactical stage

// Depth rate of the history updates, 1/1024, by min(max(depth / 4, 0), 15).
extern const int32_t HistoryRate[16];

// Appends the next non-empty stage after `stage` to MoveStack and returns its
// number, or 0 when no stage is left.
int GenerateStageMoves(int stage, int checksOnly, uint32_t historyArgument, uint8_t* nodeFlags, int goodCapturesOnly,
                       int safeQuietOnly);
// Appends the move with flag 32700 when it is pseudo-legal for the side to
// move; 1 when appended.
int AddMoveIfPseudoLegal(Move move);
// Records a special move as searched at the current ply.
void PushTriedMove(Move move);
// Raises the history of a quiet cut-off move and records it as killer,
// countermove, follow-up and threat refutation (evasion refutation in check).
void UpdateMoveHistory(int depth, Move move, uint32_t historyArgument, int inCheck, uint32_t flag);
// Lowers the history of a quiet move tried before the cut-off move.
void DecayHistory(int depth, Move move, uint32_t historyArgument, int inCheck, uint32_t flag);
// Moves the killers of every ply two plies toward the root.
void ShiftKillers();
