#include "board/ordering.h"

uint16_t SearchAge = 0;

uint32_t HistoryTable[2][3][4][4096][2];
const int32_t PieceSlot[8] = {0, 1, 2, 3, 0, 4, 5, 6};
uint32_t CounterMoves[2][64][7][2];
uint32_t FollowUpMoves[2][64][7][2];
uint32_t ThreatRefutations[2][64][7][2];
uint32_t EvasionRefutation[2][64][64][2];
int32_t CaptureStamp[CAPTURE_HISTORY_SIZE];
int32_t CaptureTries[CAPTURE_HISTORY_SIZE];
int32_t CaptureWins[CAPTURE_HISTORY_SIZE];
