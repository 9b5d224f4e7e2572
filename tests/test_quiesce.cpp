// The quiescence search and the repetition tests: hanging and defended
// pieces, mate inside the quiescence search, the margin rule that skips
// hopeless captures, the threefold test, the repetition walk of the search
// and the upcoming-repetition test over the cycle-move table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "board/zobrist.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "search/hashtable.h"
#include "search/quiesce.h"
#include "search/repetition.h"
#include "search/root.h"
#include "search/search.h"
#include "test_support.h"

namespace {

class QuiesceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureEvalReady();
    InitCycleMoveTable();
  }
  void SetUp() override {
    ClearAllTables();
    thread_board.StopSearch = 0;
    MoveStackTop = 0;
    PollCountdown = INT32_MAX;
    LazyEvalLow = -INFINITY_SCORE;
    LazyEvalHigh = INFINITY_SCORE;
    IterationDepth = 10;
    Nodes = 0;
  }
  void TearDown() override {
    SearchPly = 0;
    MoveStackTop = 0;
    thread_board.StopSearch = 0;
  }

  // Sets the position, plays the moves and makes the result ply `ply` of the search.
  static void Setup(const std::string& fen, const std::vector<const char*>& moves = {}, int ply = 1) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    for (const char* text : moves) {
      const Move move = ParseMove(text);
      ASSERT_NE(move, 0u) << text;
      MakeMove(move, 1);
    }
    std::memset(SearchStack, 0, sizeof SearchStack);
    SearchPly = ply;
    RootSide = thread_board.SideToMove;
    const ThreadBoard& b = thread_board;
    SearchStack[ply].in_check = SquareAttacked(b.SideToMove ^ 1, b.KingSquare[b.SideToMove]);
  }

  static std::string Text(Move move) {
    char text[16];
    return MoveToString(text, move);
  }
};

// A hanging piece is taken and the score rises by about its value; a piece
// guarded by a pawn is left alone and the score is the static evaluation.
// Each case also runs colour-flipped.
TEST_F(QuiesceTest, HangingPiecesAreWonDefendedOnesLeft) {
  struct Case {
    const char* name;
    const char* fen;
    const char* move;  // the capture expected, "" for none
    int gainAtLeast;   // over the static evaluation
  };
  const Case cases[] = {
      {"undefended rook", "4k3/8/8/3r4/8/8/3Q4/4K3 w - - 0 1", "d2d5", 400},
      {"undefended queen to a knight", "4k3/8/8/3q4/8/2N5/PP6/4K3 w - - 0 1", "c3d5", 700},
      {"rook guarded by a pawn", "4k3/4p3/3r4/8/8/8/3Q4/4K3 w - - 0 1", "", 0},
  };
  for (const Case& c : cases) {
    for (int flipped = 0; flipped < 2; flipped++) {
      SCOPED_TRACE(std::string(c.name) + (flipped ? " (flipped)" : ""));
      ClearAllTables();
      Setup(flipped ? FlipFen(c.fen) : c.fen);
      const int eval = Evaluate();
      const uint64_t key = thread_board.HashKey;
      const int score = Quiesce(-INFINITY_SCORE, INFINITY_SCORE, 0, 0);
      EXPECT_EQ(thread_board.HashKey, key);
      EXPECT_EQ(MoveStackTop, 0);
      if (c.move[0]) {
        std::string text = c.move;
        if (flipped) {
          text[1] = (char)('9' - (text[1] - '0'));
          text[3] = (char)('9' - (text[3] - '0'));
        }
        EXPECT_GE(score, eval + c.gainAtLeast);
        EXPECT_EQ(Text(SearchStack[1].best_move), text);
      } else {
        EXPECT_EQ(score, eval);
        EXPECT_EQ(SearchStack[1].best_move, 0u);
      }
    }
  }
  // A stop makes the quiescence search give 0 at once.
  ClearAllTables();
  Setup("4k3/8/8/3r4/8/8/3Q4/4K3 w - - 0 1");
  thread_board.StopSearch = 1;
  EXPECT_EQ(Quiesce(-INFINITY_SCORE, INFINITY_SCORE, 0, 0), 0);
}

// In check without an evasion the score is SearchPly - 32700, inside the
// quiescence search as in the main search.
TEST_F(QuiesceTest, MatedInsideQuiescence) {
  for (const char* fen : {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "6rk/5Npp/8/8/8/8/8/6K1 b - - 0 1"}) {
    for (int ply : {1, 5, 40}) {
      SCOPED_TRACE(std::string(fen) + " at ply " + std::to_string(ply));
      ClearAllTables();
      Setup(fen, {}, ply);
      ASSERT_EQ(SearchStack[ply].in_check, 1u);
      EXPECT_EQ(Quiesce(-INFINITY_SCORE, INFINITY_SCORE, 0, 0), ply - 32700);
      EXPECT_EQ(Search(-INFINITY_SCORE, INFINITY_SCORE, 8, 1, -1), ply - 32700);
    }
  }
}

// Outside principal-variation nodes a non-checking capture is skipped when
// eval plus its estimate stays 113 or more short of alpha and the opponent
// has 10 or more piece units; one that falls short by less than 58 is always
// searched, and a principal-variation node searches every capture.
TEST_F(QuiesceTest, HopelessCapturesAreSkipped) {
  // WHITE can take the pawn on e5; BLACK keeps queen and rook (14 units).
  const char* fen = "q3k2r/8/8/4p3/8/5N2/8/4K3 w - - 0 1";
  struct Case {
    const char* name;
    int nodeType, shortfall;
    int searched;
  };
  const Case cases[] = {
      {"short by 120, null window", -1, 120, 0},
      {"short by 120, principal variation", 0, 120, 1},
      {"short by 50, null window", -1, 50, 1},
      {"short by 57, type-1 node", 1, 57, 1},
      {"short by 113, type-1 node", 1, 113, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearAllTables();
    Setup(fen);
    const Move capture = ParseMove("f3e5");
    ASSERT_FALSE(MoveGivesCheck(capture));
    const int eval = Evaluate();
    const int alpha = eval + EstimateMoveEval(capture) + c.shortfall;
    Nodes = 0;
    // Depth -12 rules out the quiet checks, so only the capture can add a node.
    Quiesce(alpha, alpha + 1, -12, c.nodeType);
    EXPECT_EQ(Nodes > 1, c.searched == 1) << "nodes " << Nodes;
  }
}

// The repetition walk of the search sees a position 4, 6, 8 ... plies back
// behind reversible moves only; the game's threefold test needs two earlier
// occurrences with the same castling rights. Rights given up by a king move
// do not count in the key of the search, but they do for the game.
// A long game drops its oldest records; what the draw tests and the
// en-passant key read from the tail stays as it was.
TEST_F(QuiesceTest, DroppingTheOldestGamePliesKeepsTheTail) {
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  std::vector<const char*> moves;
  for (int i = 0; i < 100; i++) moves.insert(moves.end(), {"g1f3", "g8f6", "f3g1", "f6g8"});
  struct Case {
    const char* name;
    std::vector<const char*> tail;
    int keep;
  };
  const Case cases[] = {
      {"repetition of the start, kept in full", {}, GAME_KEEP_PLIES},
      {"repetition of the start, the last 8 plies kept", {}, 8},
      {"a double step last, en passant possible", {"e2e4", "g8f6", "e4e5", "d7d5"}, GAME_KEEP_PLIES},
      {"a pawn move in the tail", {"e2e4", "e7e5", "g1f3", "g8f6", "f3g1", "f6g8"}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<const char*> all = moves;
    all.insert(all.end(), c.tail.begin(), c.tail.end());
    Setup(start, all);
    GameStartPly = 1;
    const uint64_t key = PositionKey();
    const int searchDraw = IsSearchDraw(0), threefold = IsThreefoldRepetition();
    const int plies = GamePly;
    DropOldestGamePlies(c.keep);
    EXPECT_EQ(GamePly, c.keep);
    EXPECT_EQ(GameStartPly, 0);
    EXPECT_EQ(PositionKey(), key);
    EXPECT_EQ(IsSearchDraw(0), searchDraw);
    EXPECT_EQ(IsThreefoldRepetition(), threefold);
    // The kept moves can still be taken back, to the position they left.
    UnmakeMove();
    MakeMove(ParseMove(all[plies - 1]), 1);
    EXPECT_EQ(PositionKey(), key);
  }
}

TEST_F(QuiesceTest, RepetitionTests) {
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const char* rooks = "r3k2r/pppp1ppp/8/8/8/8/PPPP1PPP/R3K2R w KQkq - 0 1";
  const std::vector<const char*> knights = {"g1f3", "g8f6", "f3g1", "f6g8"};
  const std::vector<const char*> kings = {"e1e2", "e8e7", "e2e1", "e7e8"};
  auto times = [](const std::vector<const char*>& cycle, int n) {
    std::vector<const char*> out;
    for (int i = 0; i < n; i++) out.insert(out.end(), cycle.begin(), cycle.end());
    return out;
  };
  struct Case {
    const char* name;
    const char* fen;
    std::vector<const char*> moves;
    int searchDraw, threefold;
  };
  const Case cases[] = {
      {"knights out and back once", start, knights, 1, 0},
      {"knights out and back twice", start, times(knights, 2), 1, 1},
      {"three plies only", start, {"g1f3", "g8f6", "f3g1"}, 0, 0},
      {"kings give up castling, once", rooks, kings, 1, 0},
      {"kings give up castling, twice", rooks, times(kings, 2), 1, 0},
      {"kings give up castling, three times", rooks, times(kings, 3), 1, 1},
      {"a pawn move since", start, {"g1f3", "g8f6", "f3g1", "f6g8", "e2e4"}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Setup(c.fen, c.moves);
    EXPECT_EQ(IsSearchDraw(0), c.searchDraw);
    EXPECT_EQ(IsThreefoldRepetition(), c.threefold);
    if (c.searchDraw) {
      // Both searches answer the repeated position with 0 before anything else.
      Nodes = 0;
      EXPECT_EQ(Quiesce(-200, 200, 0, 0), 0);
      EXPECT_EQ(Search(-200, 200, 16, 1, 0), 0);
      EXPECT_EQ(Nodes, 2);
    }
  }
  // The fifty-move rule ends every node with 0.
  Setup("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  thread_board.Rule50 = 100;
  EXPECT_EQ(IsSearchDraw(0), 1);
  EXPECT_EQ(Quiesce(-200, 200, 0, 0), 0);
}

// The upcoming-repetition test: the side to move can play a move that brings
// back a position of the game (here 3 plies back) while the opponent's moves
// on the way cancel out; a sliding piece needs its way back free. When a draw
// is enough (beta <= 0) the node answers 0; with beta above 0 the test is not
// made and the evaluation stands.
TEST_F(QuiesceTest, UpcomingRepetition) {
  struct Case {
    const char* name;
    const char* fen;
    std::vector<const char*> moves;
    int upcoming;
  };
  const char* down = "4k3/r7/8/8/8/8/8/4K1N1 b - - 0 1";
  const Case cases[] = {
      {"the knight can go back (3 plies)", down, {"a7a6", "g1f3", "a6a7"}, 1},
      {"the king can go back (5 plies)", down, {"a7a6", "e1d1", "a6a5", "d1d2", "a5a7"}, 1},
      {"the opponent did not come back", down, {"a7a6", "g1f3", "a6a5"}, 0},
      {"two knight moves away", down, {"a7a6", "g1f3", "a6a5", "f3e5", "a5a7"}, 0},
      {"the rook's way back is open (7 plies)", "4k3/8/8/8/8/8/8/R3K3 b - - 0 1",
       {"e8d8", "a1b1", "d8d7", "b1b4", "d7e7", "b4a4", "e7e8"}, 1},
      {"the rook's way back is blocked", "4k3/8/8/8/8/8/P7/R3K3 b - - 0 1",
       {"e8d8", "a1b1", "d8d7", "b1b4", "d7e7", "b4a4", "e7e8"}, 0},
  };
  for (const Case& c : cases) {
    for (int flipped = 0; flipped < 2; flipped++) {
      SCOPED_TRACE(std::string(c.name) + (flipped ? " (flipped)" : ""));
      std::vector<std::string> texts;
      for (const char* m : c.moves) {
        std::string t = m;
        if (flipped) {
          t[1] = (char)('9' - (t[1] - '0'));
          t[3] = (char)('9' - (t[3] - '0'));
        }
        texts.push_back(t);
      }
      std::vector<const char*> moves;
      for (const std::string& t : texts) moves.push_back(t.c_str());
      ClearAllTables();
      Setup(flipped ? FlipFen(c.fen) : c.fen, moves);
      EXPECT_EQ(IsSearchDraw(0), 0);
      EXPECT_EQ(IsSearchDraw(1), c.upcoming);
      const int eval = Evaluate();
      ASSERT_NE(eval, 0);
      // A draw is enough: the reachable repetition answers 0.
      EXPECT_EQ(Quiesce(-600, -100, 0, -1), c.upcoming ? 0 : eval);
      // A draw cannot fail high above 0: no such test, the evaluation stands.
      EXPECT_EQ(Quiesce(-600, 50, 0, -1), eval);
    }
  }
}

// Every single move of a king, knight, bishop, rook or queen on an empty
// board, for both colours, is in the cycle-move table under the XOR of the
// piece's keys on its two squares.
TEST_F(QuiesceTest, CycleMoveTableHoldsEveryPieceMove) {
  ASSERT_NE(CycleMoveTable, nullptr);
  const struct {
    int piece;
    Bitboard (*targets)(int);
  } kinds[] = {
      {KING, [](int s) { return KingAttacks[s]; }},    {KNIGHT, [](int s) { return KnightAttacks[s]; }},
      {BISHOP, [](int s) { return BishopMoves[s]; }},  {ROOK, [](int s) { return RookMoves[s]; }},
      {QUEEN, [](int s) { return BishopMoves[s] | RookMoves[s]; }},
  };
  int missing = 0, stored = 0;
  for (const auto& kind : kinds) {
    for (int from = 0; from < 64; from++) {
      Bitboard targets = kind.targets(from);
      while (targets) {
        const int to = PopLSB(&targets);
        for (int colour = WHITE; colour <= BLACK; colour++) {
          const uint64_t key = ZobristPieces[colour][kind.piece][from] ^ ZobristPieces[colour][kind.piece][to];
          const CycleMoveBucket& bucket = CycleMoveTable[key & (CYCLE_MOVE_BUCKETS - 1)];
          int found = 0;
          for (int slot = 0; slot < 4; slot++) {
            if (bucket.move[slot] == 0 || bucket.key[slot] != key) continue;
            const Move m = bucket.move[slot];
            found = MovePiece(m) == kind.piece && ((MoveFrom(m) == from && MoveTo(m) == to) ||
                                                   (MoveFrom(m) == to && MoveTo(m) == from));
          }
          missing += !found;
          stored++;
        }
      }
    }
  }
  EXPECT_EQ(missing, 0) << "of " << stored;
}

}  // namespace
