// Progress lines of a search in the UCI and xboard formats, with the
// principal variation read back from the transposition table.
#include "search/output.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "search/options.h"
#include "search/hashtable.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/transposition.h"
#include "search/limits.h"

int64_t LastInfoNodes = 0;
int32_t UciInfoCountdown = 0;
char MoveTextBuffer[8];

namespace {

constexpr int PV_MAX_MOVES = 20;
constexpr int UCI_INFO_NODES = 30000;
constexpr int MULTIPV_INFO_NODES = 50000;
constexpr int NODE_INFO_NODES = 200000;
constexpr int THINKING_NODES = 100000;

// Polls between two periodic node lines.
void ResetInfoCountdown() { UciInfoCountdown = PollInterval > 0 ? 100000 / PollInterval : 100000; }

// The root move at index, 0 outside the root list.
Move RootMoveAt(int index) {
  if (index < 0 || index >= RootMoveCount || index >= ROOT_MOVES_SIZE) return 0;
  return MoveStack[index].move;
}

// The stored move of the current position, or 0 when the bucket holds none
// (an empty entry or no entry of this position and side ends the search).
Move TableMove() {
  if (HashEntries <= 0 || HashTable == nullptr) return 0;
  const uint64_t key = PositionKey();
  const int side = thread_board.SideToMove;
  const TranspositionEntry* bucket = HashTable + HashIndex(key, side);
  for (int k = 0; k < HASH_BUCKET_SIZE; k++) {
    const TranspositionEntry& entry = bucket[k];
    if (entry.info == 0) return 0;
    if (entry.key == key && (int)((entry.info >> HASH_SIDE_SHIFT) & 1) == side) return entry.info & HASH_MOVE_MASK;
  }
  return 0;
}

// Prints " %s" for the principal variation from root move index: the root
// move, then the table's moves, at most PV_MAX_MOVES in all. A table move is
// played only when it is legal here, so a key collision ends the line instead
// of corrupting the board. Called with a root move still made on the board,
// the walk takes it back first and makes it again at the end. The board and
// GamePly are as before. From the best root move (index 0) the second move
// becomes PonderMove.
void WalkPrincipalVariation(int index) {
  Move first = RootMoveAt(index);
  if (first == 0) {
    printf(" 0000");
    return;
  }
  printf(" %s", PvMoveText(first));
  // Only the root and the position one root move beyond it know the root
  // list; anywhere else the line is the root move alone.
  if (GamePly != RootGamePly && GamePly != RootGamePly + 1) return;
  Move pending = 0;
  if (GamePly == RootGamePly + 1 && GamePly > 0) {
    pending = GameHistory[GamePly - 1].move;
    UnmakeMove();
  }
  int count = 0;
  if (GamePly < GAME_HISTORY_SIZE - 1) {
    MakeMove(first, 1);
    count = 1;
    while (count < PV_MAX_MOVES && GamePly < GAME_HISTORY_SIZE - 1) {
      Move move = TableMove();
      if (move == 0 || !IsMoveLegal(move)) break;
      if (index == 0 && GamePly == RootGamePly + 1) PonderMove = move;
      MakeMove(move, 1);
      printf(" %s", PvMoveText(move));
      count++;
    }
  }
  while (count-- > 0) UnmakeMove();
  if (pending) MakeMove(pending, 1);
}

// The xboard thinking line of root move index.
void ThinkingLineOf(int index) {
  printf("%d %d %d %" PRId64, IterationDepth + 1, XboardScore(RootScores[index]), ElapsedCentiseconds(), Nodes);
  WalkPrincipalVariation(index);
  puts("");
}

// The xboard thinking line; throttled at the first iterations of a small
// search. 1 when it printed.
int ThinkingLine(int throttled) {
  if (!PostMode) return 0;
  if (throttled && Nodes != 0 && Nodes <= THINKING_NODES && IterationDepth <= 1) return 0;
  ThinkingLineOf(0);
  fflush(stdout);
  return 1;
}

// The "info multipv" lines; line k == line carries the bound.
void UciPvLines(int line, int bound) {
  const int32_t cs = ElapsedCentiseconds();
  const int64_t nps = NodesPerSecond(cs);
  const int32_t hashfull = HashFullPerMille();
  char score[24], current[8];
  snprintf(current, sizeof current, "%s", PvMoveText(RootMoveAt(RootMoveIndex)));
  for (int k = 0; k < MultiPV && k < RootMoveCount && k < ROOT_MOVES_SIZE; k++) {
    printf("info multipv %d depth %d seldepth %d score %s", k + 1, IterationDepth + 1, SelDepth,
           UciScoreText(score, RootScores[k]));
    if (k == line && bound == BOUND_UPPER) printf("upperbound ");
    if (k == line && bound == BOUND_LOWER) printf("lowerbound ");
    printf("nodes %" PRId64 " time %d hashfull %d nps %" PRId64 " tbhits %d currmove %s currmovenumber %d pv", Nodes,
           cs * 10, hashfull, nps, TbHits, current, RootMoveIndex + 1);
    WalkPrincipalVariation(k);
    printf("\n");
  }
  ResetInfoCountdown();
  fflush(stdout);
}

}  // namespace

char* UciScoreText(char* buffer, int32_t s) {
  if (s > MATE_BOUND)
    sprintf(buffer, "mate %d ", (MATE_SCORE + 1 - s) >> 1);
  else if (s < -MATE_BOUND)
    sprintf(buffer, "mate -%d ", (s + MATE_SCORE + 1) >> 1);
  else
    sprintf(buffer, "cp %d ", s);
  return buffer;
}

int32_t XboardScore(int32_t s) {
  if (s > MATE_BOUND) return s + 67;
  if (s < -MATE_BOUND) return s - 67;
  return s;
}

char* PvMoveText(Move move) {
  if (move == 0) {
    snprintf(MoveTextBuffer, sizeof MoveTextBuffer, "0000");
    return MoveTextBuffer;
  }
  const int from = MoveFrom(move), to = MoveTo(move);
  MoveTextBuffer[0] = (char)('a' + (from & 7));
  MoveTextBuffer[1] = (char)('1' + (from >> 3));
  MoveTextBuffer[2] = (char)('a' + (to & 7));
  MoveTextBuffer[3] = (char)('1' + (to >> 3));
  MoveTextBuffer[4] = PromotionLetters[MovePromotion(move) & 7];
  MoveTextBuffer[5] = 0;
  return MoveTextBuffer;
}

int32_t ElapsedCentiseconds() { return ClockCentiseconds() - SearchStartTime; }

int64_t NodesPerSecond(int32_t cs) { return cs > 0 ? Nodes * 100 / cs : 0; }

// The last bucket of a table reaches into the spare entries behind it, so a
// tiny table can count more entries in use than it has: the figure stops at
// 1000.
int32_t HashFullPerMille() {
  if (HashEntries <= 0) return 0;
  const int64_t perMille = (int64_t)HashUsed * 1000 / HashEntries;
  return (int32_t)(perMille > 1000 ? 1000 : perMille);
}

int PrintUciInfo(int forced, int bound, int with_pv) {
  const uint32_t sinceLast = (uint32_t)((uint64_t)Nodes - (uint64_t)LastInfoNodes);
  if (Nodes != 0 && sinceLast <= UCI_INFO_NODES && !forced && IterationDepth <= 1) return 0;
  const int32_t cs = ElapsedCentiseconds();
  int32_t s = RootScores[0];
  if (Limits.MateLimit != 0 && ((MATE_SCORE + 1 - s) >> 1) != Limits.MateLimit) s = 0;
  LastInfoNodes = Nodes;
  char score[24];
  printf("info depth %d seldepth %d score %s", IterationDepth + 1, SelDepth, UciScoreText(score, s));
  if (bound == BOUND_UPPER) printf("upperbound ");
  if (bound == BOUND_LOWER) printf("lowerbound ");
  printf("nodes %" PRId64 " time %d hashfull %d nps %" PRId64 " tbhits %d", Nodes, cs * 10, HashFullPerMille(),
         NodesPerSecond(cs), TbHits);
  if (with_pv) {
    printf(" pv");
    WalkPrincipalVariation(0);
  } else {
    printf(" currmove %s currmovenumber %d", PvMoveText(RootMoveAt(RootMoveIndex)), RootMoveIndex + 1);
  }
  printf("\n");
  ResetInfoCountdown();
  fflush(stdout);
  return 1;
}

void PrintUciPvInfo(int line, int bound) {
  if (Nodes != 0 && Nodes <= MULTIPV_INFO_NODES) return;
  UciPvLines(line, bound);
}

// A GUI shows each depth it is told of: a completed iteration tells all its
// lines, however small the search.
void PrintMultiPvReport() {
  if (UciMode) {
    UciPvLines(-1, BOUND_EXACT);
    return;
  }
  if (!PostMode) return;
  for (int k = 0; k < MultiPV && k < RootMoveCount && k < ROOT_MOVES_SIZE; k++) ThinkingLineOf(k);
  fflush(stdout);
}

void PrintUciNodeInfo() {
  if (Nodes == 0 || Nodes > NODE_INFO_NODES) {
    const int32_t cs = ElapsedCentiseconds();
    printf("info nps %" PRId64 " nodes %" PRId64 " tbhits %d hashfull %d\n", NodesPerSecond(cs), Nodes, TbHits,
           HashFullPerMille());
    fflush(stdout);
  }
  ResetInfoCountdown();
}

int PostThinking() { return ThinkingLine(1); }
int PostThinkingForced() { return ThinkingLine(0); }
int PrintThinking(int forced) { return ThinkingLine(!forced); }

void PrintPrincipalVariation(int index) { WalkPrincipalVariation(index); }

void PrintFinalThinking(int32_t score) {
  if (UciMode) {
    if (MultiPV < 2) PrintUciInfo(1, BOUND_EXACT, 1);
    return;
  }
  printf("%d %d %d %lld", IterationDepth + 1, XboardScore(score), ClockCentiseconds() - SearchStartTime,
         (long long)Nodes);
  PrintPrincipalVariation(0);
  printf("\n");
}

void PrintBestMove(Move move, Move ponder) {
  char text[8];
  printf("bestmove %s", MoveToText(text, move));
  if (ponder != 0) printf(" ponder %s", MoveToText(text, ponder));
  printf("\n");
  fflush(stdout);
}

void PrintEngineMove(Move move, int resign) {
  char text[8];
  if (resign) printf("resign\n");
  printf("move %s\n", MoveToText(text, move));
}

void PrintHint(Move move) {
  char text[8];
  MoveToText(text, move);
  text[4] = 0;
  printf("Hint: %s\n", text);
  fflush(stdout);
}
