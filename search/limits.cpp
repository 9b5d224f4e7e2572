#include "search/limits.h"

SearchLimitSet Limits = {
    .DepthLimit = 998,
    .TimePerMove = 0,
    .MateLimit = 0,
    .NodeLimit = 0,
    .MovesToGo = 0,
    .BaseTime = 1000,
    .Increment = 0,
    .OpponentIncrement = 0,
    .TimeLeft = -1,
    .OpponentTime = 0,
    .UciPonder = 0,
    .SearchMoves = {},
    .SearchMovesCount = 0,
};
