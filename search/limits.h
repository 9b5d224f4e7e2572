// The limits of the next search: the clock, the fixed depth, nodes and time
// per move, the mate search, pondering on the opponent's time and the root
// moves to search. The interface writes them from its commands ("go",
// "level", "st", "sd", "time", ...); the time plan and the root drivers read
// them. Times in centiseconds.
#pragma once
#include <cstdint>
#include "board/types.h"

constexpr int SEARCH_MOVES_SIZE = 512;
// The longest mate a search can look for: a mate further away has no mate
// score (beyond MATE_BOUND), so a larger "go mate" asks for this one.
constexpr int32_t MATE_LIMIT_MAX = (MATE_SCORE - MATE_BOUND) / 2;

struct SearchLimitSet {
  int32_t DepthLimit;        // plies
  int32_t TimePerMove;       // fixed time a move, 0 = none
  int32_t MateLimit;         // mate in this many moves is searched, 0 = none
  int64_t NodeLimit;         // 0 = none
  int32_t MovesToGo;         // moves to the next time control, 0 = none
  int32_t BaseTime;          // time of a control
  int32_t Increment;
  int32_t OpponentIncrement;
  int32_t TimeLeft;          // -1 = no clock, 999999999 = infinite
  int32_t OpponentTime;
  int32_t UciPonder;         // a UCI "go ponder" search owes its reply
  Move SearchMoves[SEARCH_MOVES_SIZE];
  int32_t SearchMovesCount;  // 0 = all moves
};

extern SearchLimitSet Limits;
