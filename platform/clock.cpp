#include "platform/platform.h"

#include <ctime>

static int64_t ClockBase = -1;

static int64_t MonotonicMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

int64_t TimeMs() {
  int64_t now = MonotonicMs();
  if (ClockBase < 0) ClockBase = now;
  return now - ClockBase;
}
