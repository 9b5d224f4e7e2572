// The root of the search: the root move list with the game-end
// announcements, iterative deepening with aspiration windows over the root
// list and the three drivers built on it.
#include "search/root.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "book/book.h"
#include "eval/evaluate.h"
#include "search/options.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "search/input.h"
#include "search/movepicker.h"
#include "search/output.h"
#include "search/quiesce.h"
#include "search/repetition.h"
#include "search/search.h"
#include "search/think.h"
#include "search/transposition.h"
#include "tablebases/tablebases.h"
#include "search/limits.h"

int32_t RootMoveIndex = 0;
int32_t RootMoveCount = 0;
int32_t RootGamePly = 0;
int32_t IterationDepth = 0;
int32_t RootDepthLimit = NO_DEPTH_LIMIT;
int32_t MaterialBalance = 0;
int32_t BookMovePlayed = 0;
int32_t TbHits = 0;
int32_t SkipTbProbes = 1;

namespace {

constexpr int SCORE_BOUND = INFINITY_SCORE + 1;  // outside every real score
constexpr int ROOT_LIST_ITERATION = 10;      // IterationDepth while the list is built
constexpr uint32_t ROOT_HISTORY_BLOCK = 1;   // history block of the root's quiet moves
constexpr int CURRMOVE_NODES = 200000;       // currmove lines only beyond this many nodes

// Aspiration half-width factors by iteration and by the size of the score.
constexpr int32_t AspirationByIteration[18] = {907, 600, 472, 397, 348, 312, 285, 263, 245,
                                               230, 218, 207, 197, 189, 181, 174, 168, 162};
constexpr int32_t AspirationByScore[64] = {
    191, 204, 216, 228, 240, 252, 264, 276, 289, 301, 313, 325, 337, 349, 362, 374,
    386, 398, 410, 422, 434, 447, 459, 471, 483, 495, 507, 520, 532, 544, 556, 568,
    580, 592, 605, 617, 629, 641, 653, 665, 678, 690, 702, 714, 726, 738, 751, 763,
    775, 787, 799, 811, 823, 836, 848, 860, 872, 884, 896, 909, 921, 933, 945, 957};

// Pre-search margins of a null-window root move: by remaining plies and by
// the move's place in the list.
constexpr int32_t PreSearchByDepth[16] = {100, 100, 100, 100, 100, 100, 90, 80, 70, 60, 50, 45, 40, 35, 30, 25};
constexpr int32_t PreSearchByIndex[8] = {80, 30, 15, 10, 8, 6, 4, 0};

constexpr int MULTIPV_WINDOW = 40;


// Which kind of driver runs: it decides the progress line and the stop test.
enum class Driver { Timed, Fixed };

// The aspiration half-width of iteration i around the current best score.
int AspirationDelta(int iteration) {
  int byScore = abs(RootScores[0]) / 10;
  return AspirationByIteration[Min(iteration, 17)] * 20 * AspirationByScore[Min(byScore, 63)] / 65536;
}

// 1 when the last progress line due in this iteration was printed (not held
// back by the throttle of a small search).
int LastRootLineShown = 0;

// The progress line due after a root result, in the protocol in use.
void PrintRootLine(Driver driver, int bound) {
  if (UciMode) {
    LastRootLineShown = PrintUciInfo(0, bound, 1);
  } else if (driver == Driver::Timed) {
    LastRootLineShown = PostThinking();
  } else {
    LastRootLineShown = PrintThinking(0);
  }
}

// A completed iteration whose result line the throttle held back reports it
// now, so that a GUI is told of every depth.
void ReportCompletedIteration(Driver driver) {
  if (LastRootLineShown) return;
  if (UciMode)
    PrintUciInfo(1, BOUND_EXACT, 1);
  else if (driver == Driver::Timed)
    PostThinkingForced();
  else
    PrintThinking(1);
}

// The last iteration a driver called with depthLimit may run: its own limit,
// and for the timed search (called without one) also the plies of "sd" or
// "go depth". An analysis or a fixed search is not capped by the timed
// game's limit.
int LastIteration(int depthLimit, int mostIterations) {
  int last = mostIterations;
  if (depthLimit < last) last = depthLimit;
  if (depthLimit == NO_DEPTH_LIMIT && Limits.DepthLimit > 0 && Limits.DepthLimit < last) last = Limits.DepthLimit;
  return last < 1 ? 1 : last;
}

// The lines of a MultiPV result for line `line` with its bound.
void PrintMultiPvLine(int line, int bound) {
  if (UciMode)
    PrintUciPvInfo(line, bound);
  else
    PostThinking();
}

// The first line of a search, printed before any move is searched.
void PrintFirstLine() {
  if (UciMode) {
    if (MultiPV > 1)
      PrintUciPvInfo(0, BOUND_EXACT);
    else
      PrintUciInfo(1, BOUND_EXACT, 1);
  } else {
    PostThinkingForced();
  }
}

// The values every root search starts from.
void StartRootSearch(int depthLimit) {
  SearchAge++;
  HashUsed = 0;
  TbHits = 0;
  RootSide = thread_board.SideToMove;
  RootGamePly = GamePly;
  RootDepthLimit = depthLimit;
  PollCountdown = PollInterval;
  UciInfoCountdown = PollInterval > 0 ? 100000 / PollInterval : 100000;
  PastFirstRootMove = 0;
  Nodes = 0;
  MoveStackTop = 0;
  BookMovePlayed = 0;
  SearchStack[0].threat_move = 0;
  LastBestMove = 0;
  thread_board.StopSearch = 0;
  IterationDepth = 0;
  SelDepth = 1;
  ShiftKillers();
}

// Moves root entry `from` up to place `to` (to <= from); the entries between
// shift one place down with their scores and check flags.
void MoveRootEntryUp(int from, int to) {
  MoveEntry entry = MoveStack[from];
  int32_t score = RootScores[from], check = RootGivesCheck[from];
  for (int k = from; k > to; k--) {
    MoveStack[k] = MoveStack[k - 1];
    RootScores[k] = RootScores[k - 1];
    RootGivesCheck[k] = RootGivesCheck[k - 1];
  }
  MoveStack[to] = entry;
  RootScores[to] = score;
  RootGivesCheck[to] = check;
}

// Sorts MoveStack[first .. last - 1] by ordering score, highest first; a later
// entry moves ahead only when strictly greater.
void SortByScore(int first, int last) {
  for (int i = first + 1; i < last; i++) {
    MoveEntry entry = MoveStack[i];
    int k = i;
    while (k > first && MoveStack[k - 1].score < entry.score) {
      MoveStack[k] = MoveStack[k - 1];
      k--;
    }
    MoveStack[k] = entry;
  }
}

// 1 when the move is on the searchmoves list (from, to and promotion agree).
int InSearchMoves(Move move) {
  for (int i = 0; i < Limits.SearchMovesCount && i < SEARCH_MOVES_SIZE; i++) {
    Move wanted = Limits.SearchMoves[i];
    if ((wanted & 0xFFF) == (move & 0xFFF) && MovePromotion(wanted) == MovePromotion(move)) return 1;
  }
  return 0;
}

// Prints a game-end announcement outside UCI mode. The game is learned into
// the book first (result for the side to move), but never from a position
// that only a ponder or hint search reached.
void Announce(const char* text, int result = 2) {
  if (UseBookLearning && BookFile != nullptr && !BookLearned && !PonderSearchActive && !Limits.UciPonder) {
    LearnBookGame(result);
  }
  if (UciMode) return;
  printf("%s\n", text);
  fflush(stdout);
}

// Announces a draw by material, repetition or the fifty-move rule; the
// search goes on all the same.
void AnnounceDraws() {
  const ThreadBoard& b = thread_board;
  for (int side = WHITE; side <= BLACK; side++) {
    int other = side ^ 1;
    if (b.Material[side] == 0 && b.Material[other] <= 300 && b.PieceCount[PAWN][other] == 0) {
      Announce("1/2-1/2 {Draw by insufficient material}");
      break;
    }
  }
  if (IsThreefoldRepetition()) Announce("1/2-1/2 {Draw by repetition}");
  if (GamePly > 0 && GameHistory[GamePly - 1].Rule50 >= 100) Announce("1/2-1/2 {Draw by the 50-moves rule}");
}

// One root move searched with the window (alpha, beta) from the root's view;
// the board is back at the root afterwards.
int SearchRootEntry(int index, int alpha, int beta, int depth) {
  MakeMove(MoveStack[index].move, 1);
  SearchStack[1].in_check = (uint32_t)RootGivesCheck[index];
  int score = -SearchRootMove(-beta, -alpha, depth);
  UnmakeMove();
  return score;
}

// Depth of root move index in iteration i, in quarter plies.
int RootMoveDepth(int iteration, int index) { return 4 * iteration + 2 + (RootGivesCheck[index] ? 4 : 0); }

// A finished result while the search must not end by itself: wait for the stop.
void EndOfSearchWait() {
  if (SearchMustWaitForStop()) WaitForSearchStop();
}

// The book step of the drivers: with a book, "OwnBook", no searchmoves and
// a clock that ends (not "go infinite", not analysis), a book move stands
// at MoveStack[0] with RootScores[0] 0. Gives 1 when a book move was taken.
int TakeBookMove() {
  if (!BookLoaded || !OwnBook || Limits.SearchMovesCount > 0 || Limits.TimeLeft == INFINITE_TIME || AnalyzeModeActive)
    return 0;
  const Move move = ChooseBookMove();
  if (move == 0) return 0;
  MoveStack[0].move = move;
  MoveStack[0].score = 0;
  MoveStack[0].flag = 1;
  MoveStackTop = 1;
  RootMoveCount = 1;
  RootScores[0] = 0;
  RootGivesCheck[0] = 0;
  BookMovePlayed = 1;
  IterationDepth = 1;
  MovesOutOfBook = 0;
  EndOfSearchWait();
  return 1;
}

// One iteration of the single-line drivers over the root list. Gives 0 when
// it completed, 1 when the search was stopped inside it.
int RootIteration(int iteration, Driver driver) {
  int delta = AspirationDelta(iteration);
  for (;;) {  // starts again from the first move after a fail low
    int restart = 0;
    for (int j = 0; j < RootMoveCount; j++) {
      RootMoveIndex = j;
      if (UciMode && Nodes > CURRMOVE_NODES) PrintUciInfo(0, BOUND_EXACT, 0);
      int depth = RootMoveDepth(iteration, j);
      int best = RootScores[0];
      if (j == 0) {
        int alpha = best - delta, beta = best + delta;
        int score = SearchRootEntry(0, alpha, beta, depth);
        if (thread_board.StopSearch) return 1;
        if (score >= beta && beta < INFINITY_SCORE) {
          // Fail high: a wider window above, then the upper side open.
          RootScores[0] = score;
          SetLazyEvalBounds(iteration);
          PrintRootLine(driver, BOUND_LOWER);
          int upper = score + delta + 100 >= INFINITY_SCORE ? INFINITY_SCORE : score + delta + 100;
          int again = SearchRootEntry(0, score, upper, depth);
          if (thread_board.StopSearch) return 1;
          if (again >= upper && upper < INFINITY_SCORE) {
            RootScores[0] = again;
            SetLazyEvalBounds(iteration);
            PrintRootLine(driver, BOUND_LOWER);
            again = SearchRootEntry(0, again, INFINITY_SCORE, depth);
            if (thread_board.StopSearch) return 1;
          }
          // The last re-search has the final word, also when it comes back
          // below the score that made it.
          RootScores[0] = again;
          SetLazyEvalBounds(iteration);
          PrintRootLine(driver, BOUND_EXACT);
        } else if (score <= alpha && alpha > -INFINITY_SCORE) {
          // Fail low: double the window around the new score and start over.
          delta *= 2;
          RootScores[0] = score;
          SetLazyEvalBounds(iteration);
          PrintRootLine(driver, BOUND_UPPER);
          restart = 1;
          break;
        } else {
          RootScores[0] = score;
          SetLazyEvalBounds(iteration);
          PrintRootLine(driver, BOUND_EXACT);
        }
        continue;
      }
      int score = SearchRootEntry(j, best, best + 1, depth);
      if (thread_board.StopSearch) return 1;
      if (score <= best) continue;
      // A new best move: to the front, then searched again above its score.
      MoveRootEntryUp(j, 0);
      RootScores[0] = score;
      SetLazyEvalBounds(iteration);
      PrintRootLine(driver, BOUND_LOWER);
      depth = RootMoveDepth(iteration, 0);
      int width = delta;
      for (;;) {
        int upper = score + width >= INFINITY_SCORE ? INFINITY_SCORE : score + width;
        int again = SearchRootEntry(0, score, upper, depth);
        if (thread_board.StopSearch) return 1;
        if (again > score) RootScores[0] = again;
        SetLazyEvalBounds(iteration);
        if (again >= upper && upper < INFINITY_SCORE) {
          score = again;
          width *= 2;
          PrintRootLine(driver, BOUND_LOWER);
          continue;
        }
        break;
      }
      PrintRootLine(driver, BOUND_EXACT);
    }
    if (!restart) return 0;
  }
}

// Iterative deepening of the timed and the fixed-depth drivers.
int RunSingleLine(int depthLimit, Driver driver) {
  StartRootSearch(depthLimit);
  if (TakeBookMove()) return 0;
  if (GenerateRootMoves()) {
    MovesOutOfBook++;
    return 1;
  }
  ProbeRootTablebases();
  PrintFirstLine();
  if (RootMoveCount < 2 && Limits.SearchMovesCount != 1) {
    MovesOutOfBook++;
    EndOfSearchWait();
    return 0;
  }
  const int lastIteration = LastIteration(depthLimit, driver == Driver::Timed ? MAX_ITERATIONS : MAX_ITERATIONS - 1);
  SearchPly = 1;
  int stopped = 0;
  for (int i = 0; i < lastIteration; i++) {
    IterationDepth = i;
    SelDepth = i + 1;
    if (i >= (TbRootHit ? 2 : 4)) {
      int stop = driver == Driver::Timed ? CheckTimeNewIteration() : CheckTimeAtRoot(1);
      if (stop) {
        thread_board.StopSearch = 1;
        stopped = 1;
        break;
      }
    }
    Nodes += 1;
    SetLazyEvalBounds(i);
    LastRootLineShown = 1;
    if (RootIteration(i, driver)) {
      stopped = 1;
      break;
    }
    ReportCompletedIteration(driver);
    PastFirstRootMove = 1;
    SearchPly = 0;
    StoreHash(4 * i + 6, MoveStack[0].move, RootScores[0], HASH_EXACT, 0, 0);
    SearchPly = 1;
    if (UciMode) PrintUciNodeInfo();
    if (Limits.MateLimit == 0 && abs(RootScores[0]) > MATE_SCORE + 1 - i) break;
  }
  SearchPly = 0;
  MoveStackTop = RootMoveCount;
  RootMoveIndex = 0;
  if (!stopped) EndOfSearchWait();
  MovesOutOfBook++;
  return 0;
}

}  // namespace

// 1 while a finished search has to wait for "stop", "ponderhit" or the
// opponent's move instead of answering at once.
int SearchMustWaitForStop() {
  if (PonderSearchActive && !HintSearch) return 1;
  if (Limits.UciPonder) return 1;
  if (UciMode && Limits.TimeLeft == INFINITE_TIME) return 1;
  return 0;
}

// Handles the input that arrives, without searching, until the search is
// stopped or need not wait any longer. The end of input stops the search so
// that the line loop sees it.
void WaitForSearchStop() {
  while (!thread_board.StopSearch && SearchMustWaitForStop()) {
    if (InputAvailable()) {
      if (strchr(InputBuffer, '\n') == nullptr && !ReadInput()) {
        thread_board.StopSearch = 1;
        break;
      }
      HandleInputDuringSearch();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
}

// Builds the root list at the bottom of MoveStack: announcements, hash move,
// tactical moves, killers and quiet moves (or the evasions), legality and the
// hash move at the front. 1 when the side to move has no legal move.
int GenerateRootMoves() {
  ThreadBoard& b = thread_board;
  const int side = b.SideToMove, other = side ^ 1;
  AnnounceDraws();

  const int savedPly = SearchPly, savedIteration = IterationDepth;
  SearchPly = 0;
  int32_t alpha = -INFINITY_SCORE, beta = INFINITY_SCORE;
  Move hashMove = 0;
  int found = 0;
  if (ProbeRootHash(&alpha, &beta, &hashMove, &found) == HASH_EXACT) RootScores[0] = alpha;

  IterationDepth = ROOT_LIST_ITERATION;
  PlyRecord& root = SearchStack[0];
  root.in_check = (uint32_t)SquareAttacked(other, b.KingSquare[side]);
  const int32_t savedLow = LazyEvalLow, savedHigh = LazyEvalHigh;
  LazyEvalLow = -INFINITY_SCORE;
  LazyEvalHigh = INFINITY_SCORE;
  root.static_eval = Evaluate();
  LazyEvalLow = savedLow;
  LazyEvalHigh = savedHigh;
  root.attack_maps[WHITE] = thread_eval_info.attack_map[WHITE];
  root.attack_maps[BLACK] = thread_eval_info.attack_map[BLACK];

  MoveStackTop = 0;
  root.tried_count = 0;
  if (root.in_check) {
    GenerateEvasions(STAGE_START);
  } else {
    GenerateCaptures(b.Colour[other]);
    GeneratePromotions();
    SortByScore(0, MoveStackTop);
    const Move killer1 = root.killer1[side], killer2 = root.killer2[side];
    if (killer1 && AddMoveIfPseudoLegal(killer1)) PushTriedMove(killer1);
    if (killer2 && killer2 != killer1 && AddMoveIfPseudoLegal(killer2)) PushTriedMove(killer2);
    const int quietStart = MoveStackTop;
    GenerateQuietMoves(ROOT_HISTORY_BLOCK);
    int kept = quietStart;
    for (int i = quietStart; i < MoveStackTop; i++) {
      Move move = MoveStack[i].move;
      int tried = 0;
      for (int k = 0; k < root.tried_count; k++) tried |= root.tried_moves[k] == move;
      if (!tried) MoveStack[kept++] = MoveStack[i];
    }
    MoveStackTop = kept;
    SortByScore(quietStart, MoveStackTop);
  }
  IterationDepth = savedIteration;

  // Legal moves only (and only those asked for), with their checks and the
  // one recapture that may be played quickly.
  const Move last = GamePly > 0 ? GameHistory[GamePly - 1].move : 0;
  const int lastCaptureTo = last && MoveCaptured(last) ? MoveTo(last) : -1;
  int count = 0, recaptures = 0;
  Move recapture = 0;
  const int end = MoveStackTop;
  for (int i = 0; i < end && count < ROOT_MOVES_SIZE; i++) {
    MoveEntry entry = MoveStack[i];
    Move move = entry.move;
    if (Limits.SearchMovesCount > 0 && !InSearchMoves(move)) continue;
    if (MoveCaptured(move) == KING) continue;
    MakeMove(move, 1);
    int legal = !SquareAttacked(b.SideToMove, b.KingSquare[side]);
    int check = legal && SquareAttacked(side, b.KingSquare[other]);
    UnmakeMove();
    if (!legal) continue;
    if (lastCaptureTo >= 0 && MoveCaptured(move) && MoveTo(move) == lastCaptureTo && entry.score > 0) {
      recaptures++;
      recapture = move;
    }
    MoveStack[count] = entry;
    RootGivesCheck[count] = check;
    if (count > 0) RootScores[count] = 0;
    count++;
  }
  MoveStackTop = count;
  RootMoveCount = count;
  EasyMove = recaptures == 1 ? recapture : 0;

  if (hashMove) {
    for (int i = 1; i < count; i++) {
      if (MoveStack[i].move == hashMove) {
        int32_t best = RootScores[0];
        MoveRootEntryUp(i, 0);
        RootScores[0] = best;
        RootScores[1] = 0;
        break;
      }
    }
  }
  SearchPly = savedPly;

  if (count > 0) return 0;
  if (root.in_check)  // the mated side learns a loss
    Announce(side == BLACK ? "1-0 {White mates}" : "0-1 {Black mates}", 0);
  else
    Announce("1/2-1/2 {Stalemate}");
  return 1;
}

// Score of the root move just made, from the side to move after it, in the
// window (alpha, beta) clamped by the mate limit.
int SearchRootMove(int alpha, int beta, int depth) {
  int lo = -SCORE_BOUND, hi = SCORE_BOUND;
  if (Limits.MateLimit > 0) {
    lo = MatedScore(2 * Limits.MateLimit);
    hi = MatedScore(2 * Limits.MateLimit + 1);
  }
  alpha = Clamp(alpha, lo, hi);
  beta = Clamp(beta, lo, hi);
  if (alpha >= beta) return alpha;
  const int nullWindow = beta == alpha + 1;
  if (depth >= 20) {
    if (!nullWindow) return Search(alpha, beta, depth, 1, 0);
    int margin = PreSearchByDepth[Min(depth / 4, 15)] + PreSearchByIndex[Min(Max(RootMoveIndex, 0), 7)];
    int reduced = depth - 4 * (depth / 24) - 12;
    int score = reduced < 4 ? Quiesce(alpha + margin, beta + margin, 0, -1)
                            : Search(alpha + margin, beta + margin, reduced, 1, -1);
    if (thread_board.StopSearch) return 0;
    if (score >= beta + margin) return score;
    return Search(alpha, beta, depth, 1, -1);
  }
  if (depth < 4) return Quiesce(alpha, beta, 0, nullWindow ? -1 : 0);
  return Search(alpha, beta, depth, 1, nullWindow ? -1 : 0);
}

// The lazy-evaluation window around RootScores[0] and the material balance;
// the board must stand at the root.
void SetLazyEvalBounds(int step) {
  const ThreadBoard& b = thread_board;
  MaterialBalance = b.Material[RootSide] - b.Material[RootSide ^ 1];
  int s = RootScores[0];
  int c = Clamp(s / 5, -150, 150);
  LazyEvalLow = Min(s, MaterialBalance) + c - 5 * step - 200;
  LazyEvalHigh = Max(s, MaterialBalance) + c + 5 * step + 200;
}

// Lets the tablebases decide the root list: the DTZ filter (then no probes
// inside the tree are needed) or else the WDL filter. A drawn or lost root
// clears both flags, so the tree probes go on and the time is used as usual.
void ProbeRootTablebases() {
  TbRootHit = 0;
  if (tb_probe_limit == 0) {
    SkipTbProbes = 1;
    return;
  }
  SkipTbProbes = 0;
  ThreadBoard& b = thread_board;
  if (b.PieceTotal > tb_probe_limit || b.CastleFlags != 0) return;
  const int savedPly = SearchPly;
  MoveStackTop = RootMoveCount;
  int score = 0;
  if (root_probe(&score)) {
    SkipTbProbes = 1;
    TbRootHit = 1;
  } else if (root_probe_wdl(&score)) {
    TbRootHit = 1;
  }
  RootMoveCount = MoveStackTop;
  SearchPly = savedPly;
  if (TbRootHit) TbHits = RootMoveCount;
  if (score <= 0) {
    SkipTbProbes = 0;
    TbRootHit = 0;
  }
}

int RootSearch() {
  if (MultiPV > 1) return RootSearchMultiPV(NO_DEPTH_LIMIT);
  return RunSingleLine(NO_DEPTH_LIMIT, Driver::Timed);
}

int RootSearchFixed(int depthLimit) { return RunSingleLine(depthLimit, Driver::Fixed); }

int RootSearchMultiPV(int depthLimit) {
  StartRootSearch(depthLimit);
  if (GenerateRootMoves()) {
    MovesOutOfBook++;
    return 1;
  }
  ProbeRootTablebases();
  PrintFirstLine();
  const int lastIteration = LastIteration(depthLimit, MAX_ITERATIONS - 1);
  SearchPly = 1;
  int stopped = 0;
  for (int i = 0; i < lastIteration && !stopped; i++) {
    IterationDepth = i;
    SelDepth = i + 1;
    if (i >= 3 && CheckTimeAtRoot(1)) {
      thread_board.StopSearch = 1;
      stopped = 1;
      break;
    }
    Nodes += 1;
    SetLazyEvalBounds(i);
    for (int j = 0; j < RootMoveCount; j++) {
      RootMoveIndex = j;
      if (UciMode && Nodes > CURRMOVE_NODES) PrintUciInfo(0, BOUND_EXACT, 0);
      int depth = RootMoveDepth(i, j);
      int alpha = RootScores[j] - MULTIPV_WINDOW, beta = RootScores[j] + MULTIPV_WINDOW;
      int score = SearchRootEntry(j, alpha, beta, depth);
      if (thread_board.StopSearch) {
        stopped = 1;
        break;
      }
      if (score <= alpha || score >= beta) {
        // Outside the window: the failing side opened, the line shown with its bound.
        int bound = score <= alpha ? BOUND_UPPER : BOUND_LOWER;
        RootScores[j] = score;
        if (j < MultiPV) PrintMultiPvLine(j, bound);
        score = bound == BOUND_UPPER ? SearchRootEntry(j, -SCORE_BOUND, beta, depth)
                                     : SearchRootEntry(j, alpha, SCORE_BOUND, depth);
        if (thread_board.StopSearch) {
          stopped = 1;
          break;
        }
      }
      RootScores[j] = score;
      int place = j;
      while (place > 0 && RootScores[place - 1] < score) place--;
      MoveRootEntryUp(j, place);
      if (place == 0) SetLazyEvalBounds(i);
      if (place < MultiPV) PrintMultiPvLine(place, BOUND_EXACT);
    }
    if (stopped) break;
    PrintMultiPvReport();
    PastFirstRootMove = 1;
    SearchPly = 0;
    StoreHash(4 * i + 6, MoveStack[0].move, RootScores[0], HASH_EXACT, 0, 0);
    SearchPly = 1;
    if (UciMode) PrintUciNodeInfo();
  }
  SearchPly = 0;
  MoveStackTop = RootMoveCount;
  RootMoveIndex = 0;
  if (!stopped) EndOfSearchWait();
  MovesOutOfBook++;
  return 0;
}
