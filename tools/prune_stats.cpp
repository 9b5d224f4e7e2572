// Prune statistics from the engine's own search: plays self-play games from
// the positions of an EPD file at a fixed number of nodes a move and counts,
// for every late quiet move that the search reduced, by selector (ENDING of
// the side to move), piece code, from and to square (as seen by BLACK: a
// WHITE move is mirrored vertically), how often it was reduced and how often
// the reduced search came back above alpha. The counts replace the prune
// statistics of the parameter set read at start-up ("values.txt" in the
// working directory), and the whole set is written to the output file.
//
// Usage: crv_prune_stats EPD_FILE OUTPUT [GAMES [NODES [STRIDE]]]
//        (defaults: 200 games, 20000 nodes a move, every 37th opening line)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "interface/settings.h"
#include "interface/startup.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/limits.h"

namespace {

constexpr int MAX_GAME_PLIES = 240;
constexpr int DECIDED_SCORE = 1500;  // a game ends once one side is this far ahead

int64_t Above[PRUNE_SELECTORS][8][64][64];
int64_t Reduced[PRUNE_SELECTORS][8][64][64];

void CountReducedMove(int selector, Move move, int side, int aboveAlpha) {
  const int flip = side == WHITE ? 56 : 0;
  const int piece = MovePiece(move), from = MoveFrom(move) ^ flip, to = MoveTo(move) ^ flip;
  if (selector < 0 || selector >= PRUNE_SELECTORS || piece <= 0 || piece >= 8) return;
  Reduced[selector][piece][from][to]++;
  if (aboveAlpha) Above[selector][piece][from][to]++;
}

// The start-up tables and the parameter set, as the program builds them.
void StartEngine() {
  AllocateTokenBuffers();
  BuildStartupTables();
  printf("\n");
  SetHashSizeMb(16);
  InitCycleMoveTable();
}

// The search reads its input between nodes: standard input becomes a pipe
// that never delivers anything, so that nothing stops or ends the games.
void SilenceInput() {
  int fds[2];
  if (pipe(fds) == 0) dup2(fds[0], 0);
}

// Searches positions without a clock, up to the node limit, printing nothing.
void SetSearchLimits(int64_t nodes) {
  UciMode = 0;
  PostMode = 0;
  MultiPV = 1;
  Limits.MateLimit = 0;
  Limits.DepthLimit = 998;
  Limits.NodeLimit = nodes;
  Limits.TimeLeft = NO_CLOCK;
  Limits.TimePerMove = 0;
  TargetTime = MaxTime = 9999999;
  PollInterval = 1000;
}

// One self-play game from fen; gives the number of plies played.
int PlayGame(const char* fen) {
  if (!SetFenPosition(fen)) return 0;
  ClearTranspositionTable();
  int plies = 0;
  while (plies < MAX_GAME_PLIES) {
    SearchStartTime = ClockCentiseconds();
    if (RootSearchFixed(NO_DEPTH_LIMIT)) break;  // no legal move
    const Move move = MoveStack[0].move;
    if (move == 0) break;
    if (RootScores[0] > DECIDED_SCORE || RootScores[0] < -DECIDED_SCORE) break;
    MakeMove(move, 1);
    plies++;
    if (thread_board.Rule50 >= 100 || IsThreefoldRepetition()) break;
  }
  return plies;
}

// The FEN part of an EPD line (its first four fields).
std::string FenOf(const std::string& line) {
  std::string fen;
  size_t start = 0;
  for (int field = 0; field < 4 && start < line.size(); field++) {
    size_t space = line.find(' ', start);
    if (space == std::string::npos) space = line.size();
    if (field) fen += ' ';
    fen.append(line, start, space - start);
    start = space + 1;
  }
  return fen + " 0 1";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    printf("Usage: crv_prune_stats EPD_FILE OUTPUT [GAMES [NODES [STRIDE]]]\n");
    return 1;
  }
  const int games = argc > 3 ? atoi(argv[3]) : 200;
  const int64_t nodes = argc > 4 ? atoll(argv[4]) : 20000;
  const int stride = argc > 5 ? atoi(argv[5]) : 37;
  std::ifstream in(argv[1]);
  if (!in || games < 1 || nodes < 1 || stride < 1) {
    printf("Cannot read %s, or a bad count\n", argv[1]);
    return 1;
  }
  std::vector<std::string> openings;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) openings.push_back(FenOf(line));
  if (openings.empty()) {
    printf("No positions in %s\n", argv[1]);
    return 1;
  }

  SilenceInput();
  StartEngine();
  SetSearchLimits(nodes);
  ReducedMoveHook = CountReducedMove;
  int64_t plies = 0;
  for (int g = 0; g < games; g++) {
    plies += PlayGame(openings[(size_t)g * stride % openings.size()].c_str());
    if ((g + 1) % 20 == 0) printf("%d games, %lld plies\n", g + 1, (long long)plies);
    fflush(stdout);
  }
  ReducedMoveHook = nullptr;

  int64_t reduced = 0, above = 0;
  for (int t = 0; t < PRUNE_SELECTORS; t++)
    for (int p = 0; p < 8; p++)
      for (int f = 0; f < 64; f++)
        for (int s = 0; s < 64; s++) {
          PruneCounts[t][p][f][s] = p == 4 ? 0 : Above[t][p][f][s];
          PruneTotals[t][p][f][s] = p == 4 ? 0 : Reduced[t][p][f][s];
          reduced += Reduced[t][p][f][s];
          above += Above[t][p][f][s];
        }
  printf("%d games, %lld plies, %lld reduced searches, %lld above alpha\n", games, (long long)plies,
         (long long)reduced, (long long)above);
  if (!WriteValuesFile(argv[2])) {
    printf("Cannot write %s\n", argv[2]);
    return 1;
  }
  printf("Parameter set written to %s\n", argv[2]);
  return 0;
}
