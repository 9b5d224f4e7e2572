#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

void PlatformInit() {
  signal(SIGINT, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  TimeMs();  // the clock counts from here
}

// A hang-up or an error counts as ready, so the next read reports the end.
int StdinReady() {
  struct pollfd request;
  request.fd = 0;
  request.events = POLLIN;
  request.revents = 0;
  int result;
  do {
    result = poll(&request, 1, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return 1;
  return (request.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int ReadStdin(char* buffer, int size) {
  if (size <= 0) return 0;
  for (;;) {
    ssize_t count = read(0, buffer, (size_t)size);
    if (count > 0) return (int)count;
    if (count < 0 && errno == EINTR) continue;
    return 0;
  }
}
