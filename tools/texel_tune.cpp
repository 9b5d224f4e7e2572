// Texel tuning of the parameter file: fits the engine's own evaluation to
// game results by minimising the mean squared error between each result
// (1, 1/2, 0 for White) and the logistic 1 / (1 + 10^(-K * q / 400)) of the
// quiescent score q (White's view) over many positions from played games.
// It reads "values.txt" from the working directory, changes the lines of the
// chosen blocks one step at a time (kept when the error falls), and writes
// the better set to the output file.
//
// Input: one game a line, "FEN|move move ...|result" with moves in
// coordinates and the result 1-0, 0-1 or 1/2-1/2 (tools/pgn_games.py makes
// it from PGN files written with coordinate moves).
//
// Usage: crv_texel_tune [-j WORKERS] [-every PLIES] GAMES_FILE OUTPUT [PASSES [STEP [BLOCK ...]]]
//        (defaults: 1 worker, every 5th ply, 1 pass, step 2, the short
//        evaluation blocks). Workers are forked processes that each score a
//        share of the positions with the parameter set just loaded.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "interface/startup.h"
#include "search/hashtable.h"
#include "search/quiesce.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"

namespace {

constexpr int SKIP_OPENING_PLIES = 8;  // book-like first moves tell little
constexpr int MAX_WORKERS = 16;

int SampleEvery = 5;  // neighbouring positions of a game tell nearly the same
int Workers = 1;

// The file layout, block by block: (block number, number of lines).
const std::vector<std::pair<int, int>> kLayout = {
    {1, 8},      {2, 12},    {3, 10},    {4, 2916}, {5, 2},    {6, 17},    {7, 2},    {8, 1},    {9, 5},
    {10, 1},     {11, 16},   {12, 16},   {13, 2},   {14, 116}, {15, 2},    {16, 9},   {17, 14},  {18, 24},
    {19, 1},     {20, 3},    {21, 32},   {22, 32},  {23, 32},  {24, 17},   {25, 512}, {26, 51},  {27, 320},
    {28, 424},   {35, 128},  {36, 64},   {37, 64},  {38, 35},  {39, 16},   {40, 384}, {41, 32768},
    {42, 1521},  {43, 98304}, {44, 1368}, {45, 192}, {46, 64},  {47, 9},    {48, 64},  {49, 9},   {50, 1},
    {51, 4},     {52, 2},    {53, 12},   {54, 1},   {55, 4},   {56, 1},    {57, 1},   {58, 384}, {59, 18},
    {60, 48},    {61, 18},   {62, 8},    {63, 16},  {64, 19},  {65, 23},   {66, 1},   {67, 640}, {68, 18},
    {69, 34},    {70, 656},  {71, 70},   {72, 3},   {73, 6},   {74, 16},   {75, 6},   {76, 6},   {77, 64},
    {78, 26244}, {79, 15},   {80, 26},   {81, 14},  {82, 144},
};

// The blocks tuned when none are named: the short evaluation blocks.
const std::vector<int> kDefaultBlocks = {59, 61, 62, 63, 80, 60, 64, 65, 11, 9, 12, 26, 81, 6};

struct Sample {
  ThreadBoard board;
  double result;  // for White
};

std::vector<Sample> Samples;
std::vector<std::string> Lines;  // the parameter file, line by line

// First line (0-based) and length of a block; -1 when there is no such block.
std::pair<int64_t, int> BlockLines(int block) {
  int64_t line = 0;
  for (auto [number, count] : kLayout) {
    if (number == block) return {line, count};
    line += count;
  }
  return {-1, 0};
}

void StartEngine() {
  BuildStartupTables();
  printf("\n");
  SetHashSizeMb(1);
  InitCycleMoveTable();
}

// Every position of the games after the opening plies where the side to
// move is not in check.
int ReadGames(const char* path) {
  std::ifstream in(path);
  if (!in) return 0;
  int games = 0;
  for (std::string line; std::getline(in, line);) {
    size_t first = line.find('|'), last = line.rfind('|');
    if (first == std::string::npos || first == last) continue;
    std::string fen = line.substr(0, first), moves = line.substr(first + 1, last - first - 1),
                result = line.substr(last + 1);
    double r = result == "1-0" ? 1.0 : result == "0-1" ? 0.0 : result == "1/2-1/2" ? 0.5 : -1.0;
    if (r < 0 || !SetFenPosition(fen.c_str())) continue;
    games++;
    std::istringstream words(moves);
    int ply = 0;
    for (std::string text; words >> text; ply++) {
      const ThreadBoard& b = thread_board;
      const int inCheck = SquareAttacked(b.SideToMove ^ 1, b.KingSquare[b.SideToMove]);
      if (ply >= SKIP_OPENING_PLIES && ply % SampleEvery == 0 && !inCheck) {
        Samples.push_back({thread_board, r});
        Samples.back().board.Rule50 = 0;
      }
      const Move move = ParseMove(text.c_str());
      if (move == 0 || GamePly >= 500) break;
      MakeMove(move, 1);
    }
  }
  return games;
}

// Quiescent score of a sample, from White's view.
int WhiteScore(const Sample& s) {
  thread_board = s.board;
  thread_board.StopSearch = 0;
  GamePly = 0;
  MoveStackTop = 0;
  SearchPly = 1;
  RootSide = thread_board.SideToMove;
  SearchStack[1].in_check = 0;
  PollCountdown = INT32_MAX;
  LazyEvalLow = -32700;
  LazyEvalHigh = 32700;
  IterationDepth = 10;
  const int q = Quiesce(-32700, 32700, 0, 0);
  return thread_board.SideToMove == WHITE ? q : -q;
}

// Scores of the samples first + k * stride, written whole to a file descriptor.
int WriteShare(int fd, size_t first, size_t stride) {
  std::vector<int> share;
  for (size_t i = first; i < Samples.size(); i += stride) share.push_back(WhiteScore(Samples[i]));
  const char* data = reinterpret_cast<const char*>(share.data());
  size_t left = share.size() * sizeof(int);
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n <= 0) return 0;
    data += n;
    left -= (size_t)n;
  }
  return 1;
}

// Reads exactly `bytes` bytes; 0 when the worker ended early.
int ReadAll(int fd, char* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t n = read(fd, data, bytes);
    if (n <= 0) return 0;
    data += n;
    bytes -= (size_t)n;
  }
  return 1;
}

// Every sample's score. With several workers each forked process scores
// every Workers-th sample from its own start and sends the scores back
// through a pipe; the tables it fills are its own copies. A sample's
// quiescent score can depend on what the hash tables held before it, so a
// run with workers can end a few steps apart from a run without.
std::vector<int> Scores() {
  std::vector<int> scores(Samples.size());
  if (Workers <= 1) {
    for (size_t i = 0; i < Samples.size(); i++) scores[i] = WhiteScore(Samples[i]);
    return scores;
  }
  fflush(stdout);
  int fds[MAX_WORKERS];
  pid_t pids[MAX_WORKERS];
  for (int w = 0; w < Workers; w++) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
      perror("pipe");
      exit(1);
    }
    pids[w] = fork();
    if (pids[w] < 0) {
      perror("fork");
      exit(1);
    }
    if (pids[w] == 0) {
      close(pipe_fds[0]);
      _exit(WriteShare(pipe_fds[1], (size_t)w, (size_t)Workers) ? 0 : 1);
    }
    close(pipe_fds[1]);
    fds[w] = pipe_fds[0];
  }
  int failed = 0;
  for (int w = 0; w < Workers; w++) {
    std::vector<int> share;
    for (size_t i = (size_t)w; i < Samples.size(); i += (size_t)Workers) share.push_back(0);
    if (!ReadAll(fds[w], reinterpret_cast<char*>(share.data()), share.size() * sizeof(int))) failed = 1;
    close(fds[w]);
    int status = 0;
    waitpid(pids[w], &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = 1;
    size_t k = 0;
    for (size_t i = (size_t)w; i < Samples.size(); i += (size_t)Workers) scores[i] = share[k++];
  }
  if (failed) {
    printf("A worker failed\n");
    exit(1);
  }
  return scores;
}

double Error(const std::vector<int>& scores, double k) {
  double sum = 0;
  for (size_t i = 0; i < Samples.size(); i++) {
    const double p = 1.0 / (1.0 + std::pow(10.0, -k * scores[i] / 400.0));
    sum += (Samples[i].result - p) * (Samples[i].result - p);
  }
  return sum / (double)Samples.size();
}

int WriteLines(const char* path, const std::vector<std::string>& lines) {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  return !out.fail();
}

// Loads the current lines as the parameter set and gives the error.
double ErrorOfLines(double k) {
  WriteLines("values.txt", Lines);
  LoadEvaluationValues();
  ClearAllTables();
  return Error(Scores(), k);
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage = "Usage: crv_texel_tune [-j WORKERS] [-every PLIES] GAMES_FILE OUTPUT [PASSES [STEP [BLOCK ...]]]\n";
  while (argc > 2 && (!strcmp(argv[1], "-j") || !strcmp(argv[1], "-every"))) {
    const int value = atoi(argv[2]);
    if (!strcmp(argv[1], "-j")) {
      if (value < 1 || value > MAX_WORKERS) {
        printf("-j takes 1 to %d workers\n", MAX_WORKERS);
        return 1;
      }
      Workers = value;
    } else {
      if (value < 1) {
        printf("-every takes a number of plies of at least 1\n");
        return 1;
      }
      SampleEvery = value;
    }
    argc -= 2;
    argv += 2;
  }
  if (argc < 3) {
    printf("%s", usage);
    return 1;
  }
  const int passes = argc > 3 ? atoi(argv[3]) : 1;
  const int step = argc > 4 ? atoi(argv[4]) : 2;
  std::vector<int> blocks;
  for (int i = 5; i < argc; i++) blocks.push_back(atoi(argv[i]));
  if (blocks.empty()) blocks = kDefaultBlocks;

  {
    std::ifstream in("values.txt");
    for (std::string line; std::getline(in, line);) Lines.push_back(line);
  }
  int64_t total = 0;
  for (auto [number, count] : kLayout) total += count;
  if ((int64_t)Lines.size() < total) {
    printf("values.txt has %zu lines, %lld needed\n", Lines.size(), (long long)total);
    return 1;
  }
  const std::vector<std::string> original = Lines;

  StartEngine();
  const int games = ReadGames(argv[1]);
  printf("%d games, %zu positions\n", games, Samples.size());
  if (Samples.empty()) return 1;

  // 1. The scale K that fits the present parameter set best.
  const std::vector<int> start = Scores();
  double k = 1.0, best = Error(start, k);
  for (double t = 0.2; t <= 4.0; t += 0.05) {
    const double e = Error(start, t);
    if (e < best) best = e, k = t;
  }
  printf("K %.2f, error %.6f\n", k, best);
  fflush(stdout);

  // 2. Local search over the lines of the chosen blocks.
  for (int pass = 0; pass < passes; pass++) {
    int changed = 0;
    for (int block : blocks) {
      auto [first, count] = BlockLines(block);
      if (first < 0 || block == 43) continue;
      for (int64_t line = first; line < first + count; line++) {
        const long value = atol(Lines[(size_t)line].c_str());
        int kept = 0;
        for (int sign : {+1, -1}) {
          Lines[(size_t)line] = std::to_string(value + sign * step);
          const double e = ErrorOfLines(k);
          if (e < best - 1e-9) {
            best = e;
            kept = 1;
            break;
          }
        }
        if (!kept) Lines[(size_t)line] = std::to_string(value);
        changed += kept;
        // A long block is saved as it goes, so a run stopped early keeps its work.
        if ((line - first) % 32 == 31 && !WriteLines(argv[2], Lines)) {
          printf("Cannot write %s\n", argv[2]);
          return 1;
        }
      }
      printf("pass %d block %d: error %.6f, %d lines changed so far\n", pass + 1, block, best, changed);
      fflush(stdout);
      if (!WriteLines(argv[2], Lines)) {
        printf("Cannot write %s\n", argv[2]);
        return 1;
      }
    }
    if (changed == 0) break;
  }

  // The working directory gets its file back; the tuned set is in OUTPUT
  // (written every 32 lines and after every block, so a long run can be
  // stopped at any time).
  WriteLines("values.txt", original);
  printf("Tuned parameter set written to %s (error %.6f)\n", argv[2], best);
  return 0;
}
