// Texel tuning of the parameter file: fits the engine's own evaluation to
// game results by minimising the mean squared error between each result
// (1, 1/2, 0 for White) and the logistic 1 / (1 + 10^(-K * q / 400)) of the
// quiescent score q (White's view) over many positions from played games.
// It reads "values.txt" from the working directory and writes the better set
// to the output file. The piece-square tables of every set tried are built
// from its half tables, as the engine builds them from its compiled base
// tables, so the half tables found are meant for those compiled tables too.
//
// A round works on the quiescence leaves: each position's capture search is
// run once and the position where its line ends is kept, so that its static
// evaluation alone is the position's score. Each chosen line of the file is
// raised by STEP once and the change of every leaf's evaluation recorded;
// with those slopes the error is a smooth function of all the lines at once,
// fitted by Gauss-Newton steps with a ridge pull towards the present values.
// Every 8th game is held out: the ridge whose fit scores best on it is taken,
// and the rounded change is kept only when the true error (leaves searched
// again with the new set) falls on both parts; otherwise half of it, then a
// quarter, is tried.
//
// Input: one game a line, "FEN|move move ...|result" with moves in
// coordinates and the result 1-0, 0-1 or 1/2-1/2 (tools/pgn_games.py makes
// it from PGN files written with coordinate moves).
//
// Usage: crv_texel_tune [-j WORKERS] [-every PLIES] [-pull FACTOR] GAMES_FILE OUTPUT [ROUNDS [STEP [BLOCK ...]]]
//        (defaults: 1 worker, every 3rd ply, 1 round, step 4, the long
//        evaluation blocks). -pull multiplies every ridge tried: a stronger
//        pull towards the present values where the held-out games, drawn
//        from the same play as the fitted ones, do not show an overshoot. A block written BLOCK:FIRST-LAST tunes only its
//        lines FIRST to LAST (counted from 0 within the block). Workers are forked processes that each probe a
//        share of the lines in a folder of their own (texel_worker_N); the
//        result does not depend on their number.
#include <sys/stat.h>
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
#include "eval/params.h"
#include "interface/startup.h"
#include "search/hashtable.h"
#include "search/repetition.h"
#include "tools/texel_leaf.h"

namespace {

constexpr int SKIP_OPENING_PLIES = 8;  // book-like first moves tell little
constexpr int MAX_WORKERS = 16;
constexpr int HOLD_OUT_EVERY = 8;      // every 8th game judges the fits
constexpr int FIT_ITERATIONS = 300;
constexpr double FIT_RATE = 0.5;       // share of the Gauss-Newton step taken
constexpr double MAX_CHANGE = 40.0;    // a line moves at most this far a round
constexpr double RIDGES[] = {1.6e-8, 6.4e-8, 2.56e-7, 1.024e-6, 4.096e-6, 1.6384e-5};

int SampleEvery = 3;  // neighbouring positions of a game tell nearly the same
int Workers = 1;
double RidgeScale = 1.0;  // -pull

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

// The blocks tuned when none are named: the long evaluation blocks (piece
// tables, king attack and shelter, development, mobility curves, passed and
// weak pawns, material pairs). 35 and 36 are replaced after every read.
const std::vector<int> kDefaultBlocks = {67, 70, 28, 58, 25, 37, 46, 48, 21, 22, 23,
                                         45, 82, 68, 69, 71, 38, 39, 14, 26, 6};

struct Sample {
  LeafLine line;
  double result;  // for White
  int held_out;   // 1 for the games that judge the fits
};

// A line's effect: the samples whose leaf evaluation changed when the line
// was raised by the step, with the change.
struct Delta {
  int32_t sample;
  int32_t change;
};

std::vector<Sample> Samples;
std::vector<std::string> Lines;            // the parameter file, line by line
std::vector<int64_t> Tuned;                // the lines tuned, as file line numbers
std::vector<std::vector<Delta>> Deltas;    // by tuned line
double K = 1.0;                            // logistic scale
int Step = 4;

// First line (0-based) and length of a block; -1 when there is no such block.
std::pair<int64_t, int> BlockLines(int block) {
  int64_t line = 0;
  for (auto [number, count] : kLayout) {
    if (number == block) return {line, count};
    line += count;
  }
  return {-1, 0};
}

// Every position of the games after the opening plies where the side to
// move is not in check, as a root.
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
        Sample s{};
        s.line.root = CaptureRoot();
        s.result = r;
        s.held_out = games % HOLD_OUT_EVERY == 0;
        Samples.push_back(s);
      }
      const Move move = ParseMove(text.c_str());
      if (move == 0 || GamePly >= 500) break;
      MakeMove(move, 1);
    }
  }
  return games;
}

int WriteLines(const char* path, const std::vector<std::string>& lines) {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  return !out.fail();
}

// Makes the lines the parameter set in force (through "values.txt" of the
// working directory) with empty tables, the piece-square tables built from
// the half tables of the lines as if they were compiled in.
void LoadLines(const std::vector<std::string>& lines) {
  if (!WriteLines("values.txt", lines)) {
    printf("Cannot write values.txt\n");
    exit(1);
  }
  LoadEvaluationValues();
  BuildPlayedPieceSquareTables();
  ClearAllTables();
}

// Searches every sample's leaf again with the set in force.
void FindLeaves() {
  for (Sample& s : Samples) {
    RestoreRoot(s.line.root);
    SearchLeaf(&s.line);
  }
}

std::vector<int> LeafScores() {
  std::vector<int> scores(Samples.size());
  for (size_t i = 0; i < Samples.size(); i++) scores[i] = LeafWhiteScore(Samples[i].line);
  return scores;
}

double Logistic(double score) { return 1.0 / (1.0 + std::pow(10.0, -K * score / 400.0)); }

// Mean squared error of the scores over the samples held out (or the others).
template <typename Score>
double ErrorOf(Score score, int heldOut) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i < Samples.size(); i++) {
    if (Samples[i].held_out != heldOut) continue;
    const double d = Samples[i].result - Logistic(score(i));
    sum += d * d;
    n++;
  }
  return n ? sum / (double)n : 0.0;
}

struct Errors {
  double fit, held_out;
};

Errors ErrorsOf(const std::vector<int>& scores) {
  auto score = [&](size_t i) { return (double)scores[i]; };
  return {ErrorOf(score, 0), ErrorOf(score, 1)};
}

// The true errors of a set: loaded, leaves searched again, scored.
Errors TrueErrors(const std::vector<std::string>& lines) {
  LoadLines(lines);
  FindLeaves();
  return ErrorsOf(LeafScores());
}

// 1. Probing, in one process: raises each of its tuned lines by the step and
// writes, line by line, the number of changed leaves and the changes.
int ProbeShare(int worker, const std::vector<int>& base, FILE* out) {
  std::vector<std::string> lines = Lines;
  for (size_t k = (size_t)worker; k < Tuned.size(); k += (size_t)Workers) {
    const size_t line = (size_t)Tuned[k];
    lines[line] = std::to_string(atol(Lines[line].c_str()) + Step);
    LoadLines(lines);
    lines[line] = Lines[line];
    std::vector<Delta> changed;
    for (size_t i = 0; i < Samples.size(); i++) {
      const int change = LeafWhiteScore(Samples[i].line) - base[i];
      if (change != 0) changed.push_back({(int32_t)i, change});
    }
    const uint64_t count = changed.size();
    if (fwrite(&count, sizeof count, 1, out) != 1) return 0;
    if (count && fwrite(changed.data(), sizeof(Delta), count, out) != count) return 0;
  }
  return fclose(out) == 0;
}

std::string WorkerDir(int worker) { return "texel_worker_" + std::to_string(worker); }

// Reads a worker's file back into Deltas; 0 when it is short.
int ReadShare(int worker) {
  FILE* in = fopen((WorkerDir(worker) + "/deltas.bin").c_str(), "rb");
  if (in == nullptr) return 0;
  int ok = 1;
  for (size_t k = (size_t)worker; k < Tuned.size() && ok; k += (size_t)Workers) {
    uint64_t count = 0;
    if (fread(&count, sizeof count, 1, in) != 1 || count > Samples.size()) {
      ok = 0;
      break;
    }
    Deltas[k].resize(count);
    if (count && fread(Deltas[k].data(), sizeof(Delta), count, in) != count) ok = 0;
  }
  fclose(in);
  return ok;
}

// The slopes of every tuned line, probed by forked workers each in its own
// folder (the set is read from the working directory); the parent's tables
// stay as they were.
void ProbeLines(const std::vector<int>& base) {
  Deltas.assign(Tuned.size(), {});
  fflush(stdout);
  std::vector<pid_t> pids(Workers);
  for (int w = 0; w < Workers; w++) {
    mkdir(WorkerDir(w).c_str(), 0755);
    pids[w] = fork();
    if (pids[w] < 0) {
      perror("fork");
      exit(1);
    }
    if (pids[w] == 0) {
      // The sanity pass of every read reports its fixes: not wanted here.
      if (!freopen("/dev/null", "w", stdout) || chdir(WorkerDir(w).c_str()) != 0) _exit(1);
      FILE* out = fopen("deltas.bin", "wb");
      _exit(out != nullptr && ProbeShare(w, base, out) ? 0 : 1);
    }
  }
  int failed = 0;
  for (int w = 0; w < Workers; w++) {
    int status = 0;
    waitpid(pids[w], &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !ReadShare(w)) failed = 1;
  }
  if (failed) {
    printf("A worker failed\n");
    exit(1);
  }
}

// The linear model's scores: the base plus every line's change times its slope.
std::vector<double> ModelScores(const std::vector<int>& base, const std::vector<double>& x) {
  std::vector<double> s(base.begin(), base.end());
  for (size_t k = 0; k < Tuned.size(); k++) {
    if (x[k] == 0) continue;
    const double scale = x[k] / Step;
    for (const Delta& d : Deltas[k]) s[(size_t)d.sample] += d.change * scale;
  }
  return s;
}

// 2. The fit: Gauss-Newton steps on the error of the samples not held out,
// with the ridge `ridge * sum x^2` pulling the changes x towards 0.
std::vector<double> FitChanges(const std::vector<int>& base, double ridge) {
  const double c = K * std::log(10.0) / 400.0;
  size_t n = 0;
  for (const Sample& s : Samples) n += !s.held_out;
  // 2a. Curvature of each line at the base (the diagonal of the Gauss-Newton matrix).
  std::vector<double> weight(Samples.size());
  for (size_t i = 0; i < Samples.size(); i++) {
    const double p = Logistic(base[i]);
    weight[i] = Samples[i].held_out ? 0.0 : 2.0 * c * c * p * p * (1 - p) * (1 - p) / (double)n;
  }
  std::vector<double> curvature(Tuned.size(), 2.0 * ridge), x(Tuned.size(), 0.0);
  for (size_t k = 0; k < Tuned.size(); k++)
    for (const Delta& d : Deltas[k]) {
      const double slope = (double)d.change / Step;
      curvature[k] += weight[(size_t)d.sample] * slope * slope;
    }
  // 2b. Damped steps against the gradient, each line scaled by its curvature.
  std::vector<double> g(Samples.size());
  for (int iteration = 0; iteration < FIT_ITERATIONS; iteration++) {
    const std::vector<double> s = ModelScores(base, x);
    for (size_t i = 0; i < Samples.size(); i++) {
      const double p = Logistic(s[i]);
      g[i] = Samples[i].held_out ? 0.0 : -2.0 * (Samples[i].result - p) * p * (1 - p) * c / (double)n;
    }
    for (size_t k = 0; k < Tuned.size(); k++) {
      double gradient = 2.0 * ridge * x[k];
      for (const Delta& d : Deltas[k]) gradient += g[(size_t)d.sample] * d.change / Step;
      x[k] -= FIT_RATE * gradient / curvature[k];
      if (x[k] > MAX_CHANGE) x[k] = MAX_CHANGE;
      if (x[k] < -MAX_CHANGE) x[k] = -MAX_CHANGE;
    }
  }
  return x;
}

// The lines with the changes added, rounded; *moved counts the lines that move.
std::vector<std::string> ChangedLines(const std::vector<double>& x, double share, int* moved) {
  std::vector<std::string> lines = Lines;
  *moved = 0;
  for (size_t k = 0; k < Tuned.size(); k++) {
    const long change = std::lround(x[k] * share);
    if (change == 0) continue;
    const size_t line = (size_t)Tuned[k];
    lines[line] = std::to_string(atol(Lines[line].c_str()) + change);
    (*moved)++;
  }
  return lines;
}

// The sanity pass of the engine clamps some values (a storm penalty below 0
// reads as 0): the tuned lines take the values in force, so that the file
// written loads as it was scored, without "fix" messages.
void AdoptValuesInForce(std::vector<std::string>* lines) {
  const char* path = "texel_in_force.txt";
  if (!WriteValuesFile(path)) return;
  std::vector<std::string> inForce;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) inForce.push_back(line);
  if (inForce.size() != lines->size()) return;
  for (int64_t line : Tuned) (*lines)[(size_t)line] = inForce[(size_t)line];
}

// 3. One round: leaves, slopes, the fit for each ridge, and the rounded
// change kept when the true errors fall. 1 when the set changed.
int TuneRound(int round, Errors* now, const char* output) {
  LoadLines(Lines);
  FindLeaves();
  const std::vector<int> base = LeafScores();
  ProbeLines(base);
  // Lines that move no leaf are not probed again.
  size_t touching = 0;
  for (const std::vector<Delta>& d : Deltas) touching += !d.empty();
  const size_t probed = Tuned.size();
  for (size_t k = 0, kept = 0; k < probed; k++) {
    if (Deltas[k].empty()) continue;
    Tuned[kept] = Tuned[k];
    Deltas[kept++].swap(Deltas[k]);
  }
  Tuned.resize(touching);
  Deltas.resize(touching);
  std::vector<double> best;
  double bestHeldOut = 1e9, bestRidge = 0;
  for (double unscaled : RIDGES) {
    const double ridge = unscaled * RidgeScale;
    std::vector<double> x = FitChanges(base, ridge);
    const std::vector<double> s = ModelScores(base, x);
    const double heldOut = ErrorOf([&](size_t i) { return s[i]; }, 1);
    printf("round %d: ridge %.2g, model error held out %.6f\n", round, ridge, heldOut);
    if (heldOut < bestHeldOut) bestHeldOut = heldOut, bestRidge = ridge, best = x;
  }
  printf("round %d: %zu of %zu lines move the leaves; ridge %.2g taken\n", round, touching, probed, bestRidge);
  for (double share : {1.0, 0.5, 0.25}) {
    int moved = 0;
    const std::vector<std::string> lines = ChangedLines(best, share, &moved);
    if (moved == 0) break;
    const Errors e = TrueErrors(lines);
    printf("round %d: %d lines changed (share %.2f): error %.6f held out %.6f (was %.6f, %.6f)\n", round, moved,
           share, e.fit, e.held_out, now->fit, now->held_out);
    fflush(stdout);
    if (e.fit < now->fit && e.held_out < now->held_out) {
      Lines = lines;
      AdoptValuesInForce(&Lines);
      *now = e;
      if (!WriteLines(output, Lines)) {
        printf("Cannot write %s\n", output);
        exit(1);
      }
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "Usage: crv_texel_tune [-j WORKERS] [-every PLIES] [-pull FACTOR] GAMES_FILE OUTPUT [ROUNDS [STEP [BLOCK ...]]]\n";
  while (argc > 2 && (!strcmp(argv[1], "-j") || !strcmp(argv[1], "-every") || !strcmp(argv[1], "-pull"))) {
    const int value = atoi(argv[2]);
    if (!strcmp(argv[1], "-pull")) {
      RidgeScale = atof(argv[2]);
      if (!(RidgeScale > 0)) {
        printf("-pull takes a factor above 0\n");
        return 1;
      }
    } else if (!strcmp(argv[1], "-j")) {
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
  const int rounds = argc > 3 ? atoi(argv[3]) : 1;
  Step = argc > 4 ? atoi(argv[4]) : 4;
  if (Step < 1) {
    printf("The step must be at least 1\n");
    return 1;
  }
  // Blocks, each with the range of its lines tuned (all by default).
  struct BlockRange {
    int block, first, last;
  };
  std::vector<BlockRange> blocks;
  for (int i = 5; i < argc; i++) {
    BlockRange r{atoi(argv[i]), 0, 1 << 30};
    if (const char* range = strchr(argv[i], ':')) {
      if (sscanf(range + 1, "%d-%d", &r.first, &r.last) != 2 || r.first < 0 || r.last < r.first) {
        printf("Bad line range in %s\n", argv[i]);
        return 1;
      }
    }
    blocks.push_back(r);
  }
  if (blocks.empty())
    for (int block : kDefaultBlocks) blocks.push_back({block, 0, 1 << 30});

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
  for (const BlockRange& r : blocks) {
    auto [first, count] = BlockLines(r.block);
    if (first < 0 || r.block == 43) {
      printf("Block %d is not tuned\n", r.block);
      continue;
    }
    const int last = r.last < count - 1 ? r.last : count - 1;
    for (int64_t line = first + r.first; line <= first + last; line++) Tuned.push_back(line);
  }
  const std::vector<std::string> original = Lines;

  BuildStartupTables();
  printf("\n");
  SetHashSizeMb(1);
  InitCycleMoveTable();
  const int games = ReadGames(argv[1]);
  printf("%d games, %zu positions, %zu lines to tune\n", games, Samples.size(), Tuned.size());
  if (Samples.empty()) return 1;

  // The scale K that fits the present set best, kept for the whole run.
  LoadLines(Lines);
  FindLeaves();
  const std::vector<int> start = LeafScores();
  auto errorAt = [&](double k) {
    K = k;
    return ErrorsOf(start).fit;
  };
  double bestK = 1.0, best = errorAt(1.0);
  for (double t = 0.2; t <= 4.0; t += 0.05) {
    const double e = errorAt(t);
    if (e < best) best = e, bestK = t;
  }
  K = bestK;
  Errors now = ErrorsOf(start);
  printf("K %.2f, error %.6f, held out %.6f\n", K, now.fit, now.held_out);
  fflush(stdout);

  int changed = 0;
  for (int round = 1; round <= rounds; round++) {
    if (!TuneRound(round, &now, argv[2])) break;
    changed++;
  }
  if (!changed && !WriteLines(argv[2], Lines)) {
    printf("Cannot write %s\n", argv[2]);
    return 1;
  }

  // The working directory gets its file back; the tuned set is in OUTPUT.
  WriteLines("values.txt", original);
  printf("Tuned parameter set written to %s (error %.6f, held out %.6f)\n", argv[2], now.fit, now.held_out);
  return 0;
}
