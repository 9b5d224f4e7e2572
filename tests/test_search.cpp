// The main search: mate and stalemate scores by the ply convention, the
// early exits (fifty moves, dead material, mate distance), the null move's
// mate-threat mark, the stop rule, the 64-bit node counter and the ply guards
// at the ends of SearchStack and GameHistory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "interface/settings.h"
#include "search/hashtable.h"
#include "search/quiesce.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "search/think.h"
#include "search/transposition.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

// Side to move in check, for the ply record of the node about to be searched.
int SideToMoveInCheck() {
  const ThreadBoard& b = thread_board;
  return SquareAttacked(b.SideToMove ^ 1, b.KingSquare[b.SideToMove]);
}

// What a search must leave as it found it.
struct BoardState {
  uint64_t key;
  int side, gamePly, searchPly, moveStackTop;
  static BoardState Now() {
    return {thread_board.HashKey, thread_board.SideToMove, GamePly, SearchPly, MoveStackTop};
  }
  bool operator==(const BoardState& o) const {
    return key == o.key && side == o.side && gamePly == o.gamePly && searchPly == o.searchPly &&
           moveStackTop == o.moveStackTop;
  }
};

class SearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureEvalReady();
    InitCycleMoveTable();
  }
  void SetUp() override {
    ClearAllTables();
    thread_board.StopSearch = 0;
    SearchPly = 0;
    MoveStackTop = 0;
    SingularSearchActive = 0;
    PollCountdown = INT32_MAX;
    LazyEvalLow = -INFINITY_SCORE;
    LazyEvalHigh = INFINITY_SCORE;
    IterationDepth = 10;
    SelDepth = 0;
    Nodes = 0;
  }
  void TearDown() override {
    SearchPly = 0;
    MoveStackTop = 0;
    thread_board.StopSearch = 0;
  }

  // Sets the position and makes its node ply `ply` of the search.
  static void Setup(const std::string& fen, int ply = 0) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    std::memset(SearchStack, 0, sizeof SearchStack);
    SearchPly = ply;
    RootSide = thread_board.SideToMove;
    SearchStack[ply].in_check = SideToMoveInCheck();
  }

  // Iterative deepening over the open window, as the root does it, up to
  // `plies` plies; gives the last score.
  static int Deepen(int plies) {
    int score = 0;
    for (int d = 1; d <= plies; d++) {
      IterationDepth = d;
      score = Search(-INFINITY_SCORE, INFINITY_SCORE, 4 * d, 1, 0);
    }
    return score;
  }
};

// Mate scores count from the root: a mate given at ply p scores 32699 - p,
// a mate suffered at ply p scores p - 32700; a stalemate is 0. Each case also
// runs colour-flipped.
TEST_F(SearchTest, MateAndStalemateScores) {
  struct Case {
    const char* name;
    const char* fen;
    int ply, plies, score;
    const char* move;  // the one right first move, "" when there are several, "-" for none
  };
  const Case cases[] = {
      {"mate in 1 at the root", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 0, 3, 32699, "a1a8"},
      {"mate in 1 at ply 3", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 3, 3, 32696, "a1a8"},
      // One ply beyond the minimum: the reductions may leave the shortest
      // mate for the next iteration, depending on the order of the moves.
      {"mate in 2, quiet first move", "7k/8/5K2/8/8/8/8/R7 w - - 0 1", 0, 6, 32697, ""},
      {"mate in 2, king walk", "k7/8/2K5/8/8/8/8/7R w - - 0 1", 0, 6, 32697, ""},
      // Every move scores no better than the mate-distance bound, so the node
      // fails low and names no best move.
      {"mated in 1", "7k/8/6K1/8/8/8/8/R7 b - - 0 1", 0, 4, -32698, "-"},
      {"checkmated now", "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 2, 2, 2 - 32700, ""},
      {"stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 0, 2, 0, ""},
  };
  for (const Case& c : cases) {
    for (int flipped = 0; flipped < 2; flipped++) {
      SCOPED_TRACE(std::string(c.name) + (flipped ? " (flipped)" : ""));
      ClearAllTables();
      Setup(flipped ? FlipFen(c.fen) : c.fen, c.ply);
      const BoardState before = BoardState::Now();
      EXPECT_EQ(Deepen(c.plies), c.score);
      EXPECT_TRUE(BoardState::Now() == before);
      if (std::string(c.move) == "-") {
        EXPECT_EQ(SearchStack[c.ply].best_move, 0u);
      } else if (c.move[0]) {
        std::string text = c.move;
        if (flipped) {
          text[1] = (char)('9' - (text[1] - '0'));
          text[3] = (char)('9' - (text[3] - '0'));
        }
        const Move expected = ParseMove(text.c_str());
        ASSERT_NE(expected, 0u);
        char found[16];
        EXPECT_EQ(SearchStack[c.ply].best_move, expected) << MoveToString(found, SearchStack[c.ply].best_move);
      }
    }
  }
}

// The exits before any move is searched: the fifty-move rule ahead of the
// table, dead material in null-window nodes only, and mate-distance pruning
// once a shorter mate is known.
TEST_F(SearchTest, EarlyExits) {
  struct Case {
    const char* name;
    const char* fen;
    int rule50, ply, alpha, beta, nodeType;
    int score;   // expected result
    int single;  // 1: the node returns without searching a move
  };
  const Case cases[] = {
      {"fifty moves beats a mate in the table", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 100, 1, -100, 100, 0, 0, 1},
      {"K+B vs K in a null-window node", "8/8/3k4/8/8/2B5/8/4K3 w - - 0 1", 0, 1, -1, 0, -1, 0, 1},
      {"K+N vs K in a type-1 node", "8/8/3k4/8/8/2N5/8/4K3 b - - 0 1", 0, 1, 50, 51, 1, 0, 1},
      {"a mate in 1 known at ply 3 stops the search", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 0, 3, 32696, 32700, 0, 32696,
       1},
      {"the side that cannot win stays at a draw", "8/8/3k4/8/8/2n5/8/R3K3 b - - 0 1", 0, 1, 0, 20, -1, 0, 1},
      {"its opponent scores at least a draw", "8/8/3k4/8/8/2n5/8/R3K3 w - - 0 1", 0, 1, -20, 0, -1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearAllTables();
    Setup(c.fen, c.ply);
    thread_board.Rule50 = c.rule50;
    // A deep exact mate score in the table must not be taken first.
    StoreHash(200, 0, 32000, HASH_EXACT, 0, 0);
    Nodes = 0;
    EXPECT_EQ(Search(c.alpha, c.beta, 40, 1, c.nodeType), c.score);
    if (c.single) {
      EXPECT_EQ(Nodes, 1);
    }
  }
  // In a principal-variation node dead material is searched all the same.
  ClearAllTables();
  Setup("8/8/3k4/8/8/2B5/8/4K3 w - - 0 1", 1);
  Nodes = 0;
  Search(-1, 0, 16, 1, 0);
  EXPECT_GT(Nodes, 1);
}

// A null move answered by a mate marks the node's mate threat, and the table
// keeps it in its threat bit. The null move is never tried in check, in a
// principal-variation node or with nothing but king and pawns.
TEST_F(SearchTest, NullMoveMateThreat) {
  struct Case {
    const char* name;
    const char* fen;
    int nodeType;
    int threat;
  };
  // Black threatens ...Rd1 mate against the king boxed in by its own pawns.
  const char* backRank = "3r2k1/5ppp/8/N7/N7/8/5PPP/6K1 w - - 0 1";
  const Case cases[] = {
      {"null-window node", backRank, -1, 1},
      {"type-1 node", backRank, 1, 1},
      {"principal-variation node", backRank, 0, 0},
      {"only king and pawns", "3r2k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 1", -1, 0},
      {"in check", "3r2k1/5ppp/8/8/8/8/1N3PPP/r5K1 w - - 0 1", -1, 0},
  };
  for (const Case& c : cases) {
    for (int flipped = 0; flipped < 2; flipped++) {
      SCOPED_TRACE(std::string(c.name) + (flipped ? " (flipped)" : ""));
      ClearAllTables();
      Setup(flipped ? FlipFen(c.fen) : c.fen, 1);
      IterationDepth = 5;
      Search(-1, 0, 20, 1, c.nodeType);
      int32_t alpha = -1, beta = 0;
      int threat = 0, nullAllowed = 1, found = 0;
      Move move = 0;
      ASSERT_NE(ProbeHash(0, &alpha, &beta, &threat, &move, &nullAllowed, &found, 1), 0);
      EXPECT_EQ(threat, c.threat);
    }
  }
}

// A stop makes every level give 0 at once: set before the call, or raised in
// the middle of the tree by the node limit at a poll. The board, the stacks
// and the counters are left as they were.
TEST_F(SearchTest, StopSearchReturnsZeroAtEveryLevel) {
  Setup("7k/8/5K2/8/8/8/8/R7 w - - 0 1");
  thread_board.StopSearch = 1;
  EXPECT_EQ(Search(-INFINITY_SCORE, INFINITY_SCORE, 40, 1, 0), 0);
  EXPECT_LE(Nodes, 1);

  // Mid-tree: no input may be waiting, so standard input is an empty pipe.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int savedStdin = dup(0);
  ASSERT_GE(savedStdin, 0);
  ASSERT_EQ(dup2(fds[0], 0), 0);
  const int64_t savedLimit = Limits.NodeLimit;
  const int savedDepthLimit = RootDepthLimit, savedInterval = PollInterval, savedUci = UciMode;
  Limits.NodeLimit = 3000;
  RootDepthLimit = 12;
  PollInterval = 100;
  UciMode = 0;

  Setup("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9");
  const BoardState before = BoardState::Now();
  thread_board.StopSearch = 0;
  PollCountdown = PollInterval;
  Nodes = 0;
  const int score = Search(-INFINITY_SCORE, INFINITY_SCORE, 4 * 12, 1, 0);
  EXPECT_EQ(thread_board.StopSearch, 1);
  EXPECT_EQ(score, 0);
  EXPECT_GE(Nodes, Limits.NodeLimit);
  EXPECT_LE(Nodes, Limits.NodeLimit + 1000);
  EXPECT_TRUE(BoardState::Now() == before);

  Limits.NodeLimit = savedLimit;
  RootDepthLimit = savedDepthLimit;
  PollInterval = savedInterval;
  UciMode = savedUci;
  dup2(savedStdin, 0);
  close(savedStdin);
  close(fds[0]);
  close(fds[1]);
}

// Nodes is a 64-bit count: past 2^32 it keeps counting.
TEST_F(SearchTest, NodeCounterDoesNotWrap) {
  static_assert(sizeof(Nodes) == 8, "Nodes is 64-bit");
  Setup("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
  const int64_t start = (int64_t)UINT32_MAX - 5;
  Nodes = start;
  Search(-INFINITY_SCORE, INFINITY_SCORE, 12, 1, 0);
  EXPECT_GT(Nodes, (int64_t)UINT32_MAX);
  EXPECT_GT(Nodes - start, 10);
}

// Near the ends of SearchStack (196 records) and GameHistory (768 records) a
// search answers its static evaluation instead of going deeper, so a very
// deep search never writes past either array (the sanitizer build would
// report it); the board and stacks come back unchanged.
TEST_F(SearchTest, PlyGuardsKeepTheStacksInBounds) {
  struct Case {
    const char* name;
    int ply, gamePly, depth, quiesce;
    int reachesGuard;  // the tree runs into the quiescence ply limit
  };
  const Case cases[] = {
      {"deep search from ply 176", 176, 0, 4 * 60, 0, 1},
      {"search at the last ply record", SEARCH_STACK_SIZE - 1, 0, 4 * 60, 0, 0},
      {"quiescence from ply 186", 186, 0, 0, 1, 0},
      {"quiescence at the last ply record", SEARCH_STACK_SIZE - 1, 0, 0, 1, 0},
      {"long game: search near the history end", 1, GAME_HISTORY_SIZE - 20, 4 * 60, 0, 0},
      {"long game: quiescence at the history end", 1, GAME_HISTORY_SIZE - 2, 0, 1, 0},
  };
  // Checks and captures for both sides keep the quiescence search going.
  const char* fen = "r2q1rk1/1b3ppp/p2p1n2/1pn1p1B1/4P3/1BN2Q1P/PPP2PP1/R4RK1 w - - 0 14";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearAllTables();
    Setup(fen, c.ply);
    IterationDepth = 60;
    if (c.gamePly) {
      for (int i = 0; i < c.gamePly; i++) GameHistory[i] = UndoRecord{};
      GamePly = c.gamePly;
    }
    const BoardState before = BoardState::Now();
    SelDepth = 0;
    if (c.quiesce)
      Quiesce(-INFINITY_SCORE, INFINITY_SCORE, 0, 0);
    else
      Search(-INFINITY_SCORE, INFINITY_SCORE, c.depth, 1, 0);
    EXPECT_TRUE(BoardState::Now() == before);
    EXPECT_LT(SelDepth, SEARCH_STACK_SIZE);
    if (c.reachesGuard) {
      EXPECT_EQ(SelDepth, QUIESCE_PLY_LIMIT);
    }
    EXPECT_LE(GamePly, GAME_HISTORY_SIZE);
    GamePly = 0;
  }
}

// A move read from the table is played only when it is pseudo-legal here:
// a word from another position (a key collision) is refused.
TEST_F(SearchTest, TableMovesAreCheckedBeforeTheyAreMade) {
  Setup("r1bqkbnr/pppp1ppp/2n5/3Pp3/8/8/PPP1PPPP/RNBQKBNR w KQkq e6 0 3");
  struct Case {
    const char* name;
    Move move;
    int playable;
  };
  const Case cases[] = {
      {"pawn push", MakeMoveWord(C2, C4, PAWN), 1},
      {"en passant right after the double step", MakeMoveWord(D5, E6, PAWN), 1},
      {"knight move", MakeMoveWord(G1, F3, KNIGHT), 1},
      {"pawn capture", MakeMoveWord(D5, C6, PAWN, KNIGHT), 1},
      {"wrong piece on from", MakeMoveWord(G1, F3, BISHOP), 0},
      {"knight geometry", MakeMoveWord(G1, G3, KNIGHT), 0},
      {"blocked bishop", MakeMoveWord(C1, A3, BISHOP), 0},
      {"captured code does not match", MakeMoveWord(D5, C6, PAWN, BISHOP), 0},
      {"en passant without the double step", MakeMoveWord(D5, C6, PAWN), 0},
      {"promotion off the last rank", MakeMoveWord(C2, C3, PAWN, 0, QUEEN), 0},
      {"castling through pieces", CASTLE_WHITE_SHORT, 0},
      {"the other side's piece", MakeMoveWord(G8, F6, KNIGHT), 0},
      {"no move", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsPlayableMove(c.move), c.playable);
  }
  // With the en-passant capture stored as this position's move, a search
  // plays it and leaves the board as it was; a foreign word stored instead
  // is never made.
  for (Move stored : {MakeMoveWord(D5, E6, PAWN), MakeMoveWord(A7, A5, PAWN), MakeMoveWord(E1, E5, KING)}) {
    ClearAllTables();
    Setup("r1bqkbnr/pppp1ppp/2n5/3Pp3/8/8/PPP1PPPP/RNBQKBNR w KQkq e6 0 3");
    StoreHash(0, stored, 0, HASH_UPPER, 0, 0);
    const BoardState before = BoardState::Now();
    Search(-INFINITY_SCORE, INFINITY_SCORE, 16, 1, 0);
    EXPECT_TRUE(BoardState::Now() == before);
  }
}

}  // namespace
