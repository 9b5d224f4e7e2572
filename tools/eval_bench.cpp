// Evaluation speed benchmark: full evaluations per second over the positions
// of the perft and WAC suites. Each position is set up once; the timed loop
// restores its board record and runs the full evaluation (no evaluation
// cache; the pawn hash is warm after the first round, as in a search).
//
// Usage: crv_eval_bench [TESTDATA_DIR] [SECONDS]
//        (defaults: ../shared/testdata and 5 seconds)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "interface/startup.h"
#include "search/hashtable.h"

namespace {

// The first four fields of an EPD or perft line: the FEN without counters
// or operations.
std::string FenFields(const std::string& line) {
  std::string fen;
  size_t start = 0;
  for (int field = 0; field < 4 && start < line.size(); field++) {
    size_t space = line.find(' ', start);
    if (space == std::string::npos) space = line.size();
    if (field) fen += ' ';
    fen.append(line, start, space - start);
    start = space + 1;
  }
  return fen;
}

// Board records of every position of the file that sets up.
void LoadBoards(const std::string& path, std::vector<ThreadBoard>* boards) {
  std::ifstream in(path);
  if (!in) {
    printf("Cannot read %s\n", path.c_str());
    exit(1);
  }
  std::string line;
  while (std::getline(in, line)) {
    std::string fen = FenFields(line.substr(0, line.find(';')));
    if (fen.empty()) continue;
    if (SetFenPosition(fen.c_str())) boards->push_back(thread_board);
  }
}

int32_t EvaluateBoard(const ThreadBoard& board) {
  thread_board = board;
  RootSide = board.SideToMove;
  int32_t score = 0;
  EvaluatePosition(&score);
  return score;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "../shared/testdata";
  double seconds = argc > 2 ? atof(argv[2]) : 5.0;
  if (!(seconds > 0)) seconds = 5.0;

  // The program's start-up tables, parameters and hash tables.
  BuildStartupTables();
  printf("\n");
  AllocateHashTables();
  LazyEvalLow = -INFINITY_SCORE;
  LazyEvalHigh = INFINITY_SCORE;

  std::vector<ThreadBoard> boards;
  LoadBoards(dir + "/perft.epd", &boards);
  LoadBoards(dir + "/wac.epd", &boards);
  if (boards.empty()) {
    printf("No positions\n");
    return 1;
  }

  // One untimed round fills the pawn hash; its score sum is a signature of
  // the evaluation that every timed round must repeat.
  int64_t signature = 0;
  for (const ThreadBoard& board : boards) signature += EvaluateBoard(board);

  using Clock = std::chrono::steady_clock;
  Clock::time_point start = Clock::now();
  double elapsed = 0;
  int64_t evaluations = 0;
  int mismatches = 0;
  while (elapsed < seconds) {
    int64_t sum = 0;
    for (const ThreadBoard& board : boards) sum += EvaluateBoard(board);
    mismatches += sum != signature;
    evaluations += (int64_t)boards.size();
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  }
  printf("%zu positions, score sum %lld\n", boards.size(), (long long)signature);
  printf("%lld evaluations in %.2f s = %.0f evaluations/s\n", (long long)evaluations, elapsed,
         evaluations / elapsed);
  // A warm pawn hash must not change any score.
  if (mismatches) printf("%d rounds gave another score sum\n", mismatches);
  return mismatches ? 1 : 0;
}
