#include "search/options.h"

int32_t UciMode = 0;
int32_t PostMode = 1;
int32_t ForceMode = 0;
int32_t EngineSide = 1;

int32_t Pondering = 1;
int32_t PonderOn = 1;

int32_t MultiPV = 1;
int32_t OwnBook = 1;

int32_t ResignValue = 800;
int32_t ResignTimes = 3;
