#include "board/searchstack.h"

PlyRecord SearchStack[SEARCH_STACK_SIZE];
int32_t SearchPly = 0;

int32_t RootScores[ROOT_MOVES_SIZE];
int32_t RootGivesCheck[ROOT_MOVES_SIZE];

void ClearKillers() {
  for (int ply = 0; ply < SEARCH_STACK_SIZE; ply++) {
    SearchStack[ply].killer1[WHITE] = SearchStack[ply].killer1[BLACK] = 0;
    SearchStack[ply].killer2[WHITE] = SearchStack[ply].killer2[BLACK] = 0;
  }
}
