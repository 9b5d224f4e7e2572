// Standard input from a pipe for one test: a writer thread feeds the given
// bytes, then ends the input.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "search/tokens.h"

// Puts a pipe on descriptor 0 for one test, fed with the given bytes by a
// writer thread, and gives the old standard input back afterwards.
class PipedInput {
 public:
  explicit PipedInput(std::string data) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    saved_ = dup(0);
    dup2(ends[0], 0);
    close(ends[0]);
    InputBuffer[0] = 0;
    writer_ = std::thread([fd = ends[1], data = std::move(data)] {
      size_t done = 0;
      while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0) break;
        done += (size_t)n;
      }
      close(fd);
    });
  }
  ~PipedInput() {
    writer_.join();
    dup2(saved_, 0);
    close(saved_);
    InputBuffer[0] = 0;
  }

 private:
  int saved_;
  std::thread writer_;
};
