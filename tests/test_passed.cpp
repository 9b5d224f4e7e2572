// Passed pawns: the free-advance exchange on the stop square, the term of one
// passer and what the shipped parameter set makes of it, rooks behind passers, the knight
// that still catches a runner, the race of unstoppable passers, the
// king-and-pawn shortcut, colour symmetry, and table indices that stay inside
// their tables for every placement (the tests run under ASan and UBSan).
// The passed pawns are marked by a small fixture from the passed masks, so the
// term is tested apart from the pawn-structure evaluation that finds them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacktables.h"
#include "board/fen.h"
#include "board/position.h"
#include "eval/endgame.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/passed.h"
#include "test_support.h"

namespace {

class PassedTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureEvalReady(); }
};

// Marks the passed pawns of the position as the pawn evaluation does: a pawn
// is passed when no enemy pawn stands in its passed mask; the file byte gets
// its file and the passed set every pawn of that colour on the file.
void MarkPassedPawns() {
  ThreadBoard& b = thread_board;
  int bytes[2] = {0, 0};
  for (int c = 0; c < 2; c++) {
    for (Bitboard pawns = b.Pieces[PAWN][c]; pawns;) {
      int s = PopLSB(&pawns);
      Bitboard mask = c == WHITE ? WhitePassedMask[s] : BlackPassedMask[s];
      if (!(mask & b.Pieces[PAWN][c ^ 1])) bytes[c] |= 1 << FileOf(s);
    }
    thread_eval_info.passed_pawns[c] = b.Pieces[PAWN][c] & (0x0101010101010101ULL * (uint64_t)bytes[c]);
  }
  b.PawnBlock.PassedVector[0] = (uint8_t)bytes[BLACK];
  b.PawnBlock.PassedVector[1] = (uint8_t)bytes[WHITE];
}

struct PassedResult {
  int32_t packed;
  int32_t side_mg[2];
  int32_t side_eg[2];
  int32_t derivable;
};

// The passed-pawn term of the current position on a fresh evaluation record.
PassedResult PassedTerm() {
  std::memset(&thread_eval_info, 0, sizeof thread_eval_info);
  thread_eval_info.derivable = 1;
  MarkPassedPawns();
  PassedResult r;
  r.packed = EvaluatePassedPawns(0);
  for (int c = 0; c < 2; c++) {
    r.side_mg[c] = thread_eval_info.side_mg[c];
    r.side_eg[c] = thread_eval_info.side_eg[c];
  }
  r.derivable = thread_eval_info.derivable;
  return r;
}

PassedResult PassedTermOf(const std::string& fen) {
  EXPECT_TRUE(SetFenPosition(fen.c_str())) << fen;
  return PassedTerm();
}

// Positions rich in passers, both colours, every rank a passer can stand on.
const std::vector<std::string> kPasserFens = {
    "4k3/P7/8/8/8/8/7p/4K3 w - - 0 1",
    "4k3/P7/8/8/8/8/7p/4K3 b - - 0 1",
    "8/1P6/8/k7/8/8/6p1/5K2 w - - 0 1",
    "3r2k1/5ppp/1P6/8/8/8/5PPP/1R4K1 w - - 0 1",
    "1r4k1/5ppp/8/8/8/1p6/5PPP/6K1 b - - 0 1",
    "8/2k5/8/1PP5/8/5p2/6p1/4K3 w - - 0 1",
    "8/8/3k4/3P4/8/3K4/8/8 w - - 0 1",
    "8/8/3k4/8/3P4/3K4/8/8 b - - 0 1",
    "6k1/8/8/2Pp4/8/8/8/6K1 w - d6 0 1",
    "r5k1/P4ppp/8/8/8/8/5PPP/R5K1 w - - 0 1",
    "R7/P4k2/8/8/8/8/5K2/r7 b - - 0 1",
    "8/5k2/8/8/1n6/8/P7/K7 w - - 0 1",
    "8/5k2/8/8/8/1N6/p7/7K b - - 0 1",
    "7k/8/8/8/P6p/8/8/K7 w - - 0 1",
    "7k/8/8/8/P6p/8/8/K7 b - - 0 1",
    "4k3/3n4/8/P7/8/8/6p1/4K2N w - - 0 1",
    "2k5/P7/1K6/8/8/8/8/8 w - - 0 1",
    "8/8/8/8/8/1k6/p7/2K5 b - - 0 1",
    "8/PP6/8/8/8/8/6pp/K6k w - - 0 1",
    "4k3/8/4P3/8/4P3/8/8/4K3 w - - 0 1",
};

// Edge cases of the advance test: the stop square occupied (no exchange at
// all), free, attacked and defended, with x-ray rooks behind the pawn, the
// kings on either side of it, the pawn on its seventh rank.
TEST_F(PassedTest, FreeAdvanceByTheExchangeOnTheStopSquare) {
  struct Case {
    const char* what;
    const char* fen;
    int colour;
    int square;
    int expected;
  } cases[] = {
      {"nothing near the stop square", "4k3/8/8/4P3/8/8/8/4K3 w - - 0 1", WHITE, E5, 1},
      {"own piece on the stop square", "4k3/8/4N3/4P3/8/8/8/4K3 w - - 0 1", WHITE, E5, 0},
      {"enemy piece on the stop square", "4k3/8/4n3/4P3/8/8/8/4K3 w - - 0 1", WHITE, E5, 0},
      {"knight takes, nothing recaptures", "3nk3/8/8/4P3/8/8/8/4K3 w - - 0 1", WHITE, E5, 0},
      {"own rook behind the pawn recaptures", "3nk3/8/8/4P3/8/8/8/4RK2 w - - 0 1", WHITE, E5, 1},
      {"enemy rook behind the pawn", "4k3/8/8/4P3/8/8/8/K3r3 w - - 0 1", WHITE, E5, 0},
      {"enemy king takes, own king guards", "5k2/8/3KP3/8/8/8/8/8 w - - 0 1", WHITE, E6, 1},
      {"enemy king takes, nothing guards", "5k2/8/4P3/8/8/8/8/K7 w - - 0 1", WHITE, E6, 0},
      {"seventh rank, queening square free", "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", WHITE, E7, 1},
      {"seventh rank, enemy king on the queening square's side", "3k4/4P3/8/8/8/8/8/4K3 w - - 0 1", WHITE, E7, 0},
      {"seventh rank, kings on both sides", "3k4/4PK2/8/8/8/8/8/8 w - - 0 1", WHITE, E7, 1},
      {"bishop and rook against knight and rook", "3r1b1k/8/8/3P4/4N3/8/8/3R2K1 w - - 0 1", WHITE, D5, 1},
      {"bishop and rook against a knight alone", "3r1b1k/8/8/3P4/4N3/8/8/6K1 w - - 0 1", WHITE, D5, 0},
      {"Black: second rank, queening square free", "4k3/8/8/8/8/8/4p3/K7 b - - 0 1", BLACK, E2, 1},
      {"Black: rook along the first rank", "4k3/8/8/8/8/8/4p3/K6R b - - 0 1", BLACK, E2, 0},
      {"Black: own rook behind answers", "4r2k/8/8/8/8/8/4p3/K6R b - - 0 1", BLACK, E2, 1},
      {"Black: stop square blocked", "4k3/8/8/8/8/4p3/4B3/K7 b - - 0 1", BLACK, E3, 0},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    EXPECT_EQ(PasserCanAdvance(c.colour, c.square), c.expected) << c.what;
    // The colour-flipped twin answers alike.
    SetPosition(FlipFen(c.fen));
    EXPECT_EQ(PasserCanAdvance(c.colour ^ 1, c.square ^ 56), c.expected) << "twin: " << c.what;
  }
}

// The shipped parameter set makes sound passers: each pair differs in one
// respect, and the term of White's passer in the first position must be the
// larger in the endgame and, where the respect matters there too, in the
// middlegame.
TEST_F(PassedTest, ShippedSetValuesWhatHelpsAPasser) {
  ShippedValuesInForce shipped;
  struct Case {
    const char* what;
    const char* better;
    int betterSquare;
    const char* worse;
    int worseSquare;
    bool middlegame, endgame;
  } cases[] = {
      {"sixth rank over fifth", "k7/8/4P3/8/8/8/8/K7 w - - 0 1", E6, "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5, true, true},
      {"seventh rank over sixth", "k7/4P3/8/8/8/8/8/K7 w - - 0 1", E7, "k7/8/4P3/8/8/8/8/K7 w - - 0 1", E6, true, true},
      {"third rank over second", "k7/8/8/8/8/4P3/8/K7 w - - 0 1", E3, "k7/8/8/8/8/8/4P3/K7 w - - 0 1", E2, true,
       true},
      {"free stop square over a blocked one", "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5, "k7/8/4n3/4P3/8/8/8/K6N w - - 0 1",
       E5, true, true},
      {"a stop square lost to a knight", "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5, "k2n4/8/8/4P3/8/8/8/K6N w - - 0 1", E5,
       true, true},
      {"guarded by a pawn over alone", "k7/8/8/4P3/3P4/8/8/K7 w - - 0 1", E5, "k7/8/8/4P3/8/3P4/8/K7 w - - 0 1", E5,
       true, true},
      {"own king escorting over far", "k7/8/3K4/4P3/8/8/8/8 w - - 0 1", E5, "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5,
       false, true},
      {"enemy king far over in front", "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5, "8/4k3/8/4P3/8/8/8/K7 w - - 0 1", E5,
       false, true},
      {"enemy king behind over in front", "8/8/8/4P3/8/4k3/8/K7 w - - 0 1", E5, "4k3/8/8/4P3/8/8/8/K7 w - - 0 1",
       E5, false, true},
      {"a piece up over a piece down", "k7/8/8/4P3/8/8/8/K1N5 w - - 0 1", E5, "k7/8/8/4P3/8/8/8/K1n5 w - - 0 1", E5,
       true, true},
      {"central over rook pawn", "k7/8/8/4P3/8/8/8/K7 w - - 0 1", E5, "k7/8/8/7P/8/8/8/K7 w - - 0 1", H5, true, false},
  };
  auto term = [](const char* fen, int square, int32_t eg[2], int32_t mg[2]) {
    SetPosition(fen);
    std::memset(&thread_eval_info, 0, sizeof thread_eval_info);
    MarkPassedPawns();
    mg[0] = mg[1] = eg[0] = eg[1] = 0;
    EvaluateWhitePassedPawn(square, mg, eg);
  };
  for (const Case& c : cases) {
    int32_t betterMg[2], betterEg[2], worseMg[2], worseEg[2];
    term(c.better, c.betterSquare, betterEg, betterMg);
    term(c.worse, c.worseSquare, worseEg, worseMg);
    // White's term is taken off Black's sums.
    if (c.endgame) {
      EXPECT_LT(betterEg[BLACK], worseEg[BLACK]) << c.what;
    }
    if (c.middlegame) {
      EXPECT_LT(betterMg[BLACK], worseMg[BLACK]) << c.what;
    }
    EXPECT_LT(worseEg[BLACK], 0) << c.what;
    EXPECT_EQ(betterMg[WHITE], 0) << c.what;
    EXPECT_EQ(betterEg[WHITE], 0) << c.what;
  }
}

// Rooks behind a passer on its file: the own rook helps (less with the stop
// square blocked by the enemy), the enemy rook hinders, a piece between
// cuts the line.
TEST_F(PassedTest, RooksBehindThePasser) {
  struct Case {
    const char* what;
    const char* fen;
    int32_t expected;  // packed, from BLACK's side
  } cases[] = {
      {"own rook behind", "6k1/8/8/4P3/8/8/8/4R1K1 w - - 0 1", PackedSub(0, PasserRookBehind[E5 ^ 56])},
      {"own rook behind, stop square blocked", "6k1/8/4n3/4P3/8/8/8/4R1K1 w - - 0 1",
       PackedSub(0, PasserRookBehindBlocked[E5 ^ 56])},
      {"enemy rook behind", "6k1/8/8/4P3/8/8/8/4r1K1 w - - 0 1", PasserEnemyRookBehind[E5 ^ 56]},
      {"a piece between", "6k1/8/8/4P3/8/4B3/8/4R1K1 w - - 0 1", 0},
      {"rook in front", "4R1k1/8/8/4P3/8/8/8/6K1 w - - 0 1", 0},
      {"Black: own rook behind", "4r1k1/8/8/8/4p3/8/8/6K1 b - - 0 1", PasserRookBehind[E4]},
      {"Black: enemy rook behind", "4R1k1/8/8/8/4p3/8/8/6K1 b - - 0 1", PackedSub(0, PasserEnemyRookBehind[E4])},
  };
  for (const Case& c : cases) EXPECT_EQ(PassedTermOf(c.fen).packed, c.expected) << c.what;
  EXPECT_GT(PackedEg(PasserRookBehind[E2]), PackedEg(PasserRookBehind[E5])) << "more as the passer advances";
  EXPECT_GT(PackedEg(PasserRookBehind[E4]), PackedEg(PasserRookBehindBlocked[E4]));
}

// A file with two passers is scored once, by its front pawn.
TEST_F(PassedTest, DoubledPassersScoredOnceByTheFrontPawn) {
  struct Case {
    const char* fen;
    int colour;
    int front;
  } cases[] = {
      {"4k3/8/4P3/8/4P3/8/8/4K3 w - - 0 1", WHITE, E6},
      {"4k3/8/8/4p3/8/4p3/8/4K3 b - - 0 1", BLACK, E3},
  };
  for (const Case& c : cases) {
    PassedResult both = PassedTermOf(c.fen);
    int32_t mg[2] = {0, 0}, eg[2] = {0, 0};
    if (c.colour == WHITE) EvaluateWhitePassedPawn(c.front, mg, eg);
    else EvaluateBlackPassedPawn(c.front, mg, eg);
    EXPECT_NE(eg[c.colour ^ 1], 0) << c.fen;
    for (int side = 0; side < 2; side++) {
      EXPECT_EQ(both.side_mg[side], mg[side]) << c.fen;
      EXPECT_EQ(both.side_eg[side], eg[side]) << c.fen;
    }
  }
}

// The knight that catches a runner: a pawn that queens at once is caught by
// a knight that takes the queen or forks it with the king; otherwise the
// knight-intercept table decides, looked up with the pawn's square after its
// step (two from its second rank) when its side is to move.
TEST_F(PassedTest, KnightCatchesTheRunner) {
  struct Case {
    const char* what;
    const char* fen;
    int colour;
    int square;
    int expected;
  } cases[] = {
      {"queens at once, knight takes the queen", "8/P7/1n6/8/8/8/8/K5k1 w - - 0 1", WHITE, A7, 1},
      {"queens at once, knight forks queen and king", "4K3/P7/8/3n4/8/8/8/6k1 w - - 0 1", WHITE, A7, 1},
      {"queens at once, no fork with the king elsewhere", "7K/P7/8/3n4/8/8/8/6k1 w - - 0 1", WHITE, A7, 0},
      {"the knight to move takes the pawn", "8/P7/8/1n6/8/8/8/K5k1 b - - 0 1", WHITE, A7, 1},
      {"no knight", "8/P7/8/8/8/8/8/K5k1 w - - 0 1", WHITE, A7, 0},
      {"knight right beside the path", "8/8/8/8/8/6n1/7P/K5k1 b - - 0 1", WHITE, H2, 1},
      {"second rank, double step, knight far away", "8/8/8/8/8/8/7P/N1K3k1 w - - 0 1", WHITE, H2, 0},
      {"Black: queens at once, knight takes the queen", "k5K1/8/8/8/8/1N6/p7/8 b - - 0 1", BLACK, A2, 1},
      {"Black: second rank, double step, knight far away", "n1k3K1/7p/8/8/8/8/8/8 b - - 0 1", BLACK, H7, 0},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    EXPECT_EQ(KnightStopsPasser(c.colour, c.square), c.expected) << c.what;
  }
}

// The knight test and the unstoppable test are mirror images for every pawn,
// king and knight square and both sides to move, and no lookup leaves its
// table: the pawn steps onto the queening square from its seventh rank, or
// two squares from its second.
TEST_F(PassedTest, KnightTestIsSymmetricForEveryPlacement) {
  for (int pawn = A2; pawn <= H7; pawn++) {
    for (int king = 0; king < 64; king++) {
      for (int knight = 0; knight < 64; knight += 3) {
        if (king == pawn || knight == pawn || knight == king) continue;
        int answers[2];
        for (int c = 0; c < 2; c++) {
          int flip = c == WHITE ? 0 : 56;
          ClearBoard();
          AddPiece(pawn ^ flip, c, PAWN);
          AddPiece(king ^ flip, c, KING);
          AddPiece(knight ^ flip, c ^ 1, KNIGHT);
          thread_board.SideToMove = (pawn + king) & 1 ? c : c ^ 1;
          answers[c] = KnightStopsPasser(c, pawn ^ flip);
        }
        ASSERT_EQ(answers[WHITE], answers[BLACK]) << "pawn " << pawn << " king " << king << " knight " << knight;
      }
    }
  }
}

// A passer whose way ahead holds any piece is never unstoppable, whatever
// the king-and-pawn tables say.
TEST_F(PassedTest, BlockedPathIsNeverUnstoppable) {
  struct Case {
    const char* fen;
    int colour;
    int square;
  } cases[] = {
      {"8/8/8/8/8/k7/P7/K7 w - - 0 1", WHITE, A2},
      {"8/4B3/8/4P3/8/8/k7/K7 w - - 0 1", WHITE, E5},
      {"8/6k1/4K3/8/8/8/4p3/4n3 b - - 0 1", BLACK, E2},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    thread_eval_info.derivable = 1;
    EXPECT_EQ(UnstoppablePasserMoves(c.colour, c.square), NO_UNSTOPPABLE_PASSER) << c.fen;
    EXPECT_EQ(thread_eval_info.derivable, 1) << c.fen;
  }
}

// A runner with a clear path counts its moves to promotion (one fewer from
// the second rank) when the enemy king stands outside its square (the table
// for the side to move), or when the king-and-pawn table gives the win; a
// caught one does not, and a knight in time stops it.
TEST_F(PassedTest, UnstoppableRunnersCountTheirMoves) {
  ShippedValuesInForce shipped;  // race tables of the playing set
  struct Case {
    const char* what;
    const char* fen;
    int colour;
    int square;
    int expected;
    int derivable;  // after the test, from 1
  } cases[] = {
      {"sixth rank, king far away", "k7/8/7P/8/8/8/8/K7 w - - 0 1", WHITE, H6, 2, 0},
      {"second rank, double step", "k7/8/8/8/8/8/6P1/K7 w - - 0 1", WHITE, G2, 5, 0},
      {"Black: third rank, to move", "k7/8/8/8/8/7p/8/4K3 b - - 0 1", BLACK, H3, 2, 0},
      {"king in the square", "8/8/8/4k3/8/8/6P1/K7 w - - 0 1", WHITE, G2, NO_UNSTOPPABLE_PASSER, 1},
      {"on the square's edge, pawn to move: runs", "8/8/8/8/k7/8/6P1/1K6 w - - 0 1", WHITE, G2, 5, 0},
      {"on the square's edge, king to move: caught", "8/8/8/8/k7/8/6P1/1K6 b - - 0 1", WHITE, G2,
       NO_UNSTOPPABLE_PASSER, 0},
      {"knight in time", "k7/8/7P/6n1/8/8/8/K7 w - - 0 1", WHITE, H6, NO_UNSTOPPABLE_PASSER, 0},
      {"knight too far", "k7/8/7P/8/8/8/8/K6n w - - 0 1", WHITE, H6, 2, 0},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    thread_eval_info.derivable = 1;
    EXPECT_EQ(UnstoppablePasserMoves(c.colour, c.square), c.expected) << c.what;
    EXPECT_EQ(thread_eval_info.derivable, c.derivable) << c.what;
  }
  // A runner alone in the race is worth nearly a queen with its own term.
  PassedResult r = PassedTermOf("k7/8/7P/8/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(r.derivable, 0);
  EXPECT_EQ(r.packed, PackedSub(0, PasserRaceWin[2]));
  EXPECT_GT(PackedEg(PasserRaceWin[2]) - r.side_eg[BLACK], 650);
  // Inside the square only the king-and-pawn table knows the escorted win.
  SetPosition("8/6k1/3K4/4P3/8/8/8/8 w - - 0 1");
  int32_t derivable = 1;
  if (ProbeKpk(0, E5, D6, G7, &derivable)) {
    thread_eval_info.derivable = 1;
    EXPECT_EQ(UnstoppablePasserMoves(WHITE, E5), 3);
  } else {
    thread_eval_info.derivable = 1;
    EXPECT_EQ(UnstoppablePasserMoves(WHITE, E5), NO_UNSTOPPABLE_PASSER);
  }
}

// The race by plies: one side alone wins, a lead of two moves or more, of
// one move, and the same number of moves, where the side to move queens first
// and gains only when its queen covers the other promotion square.
TEST_F(PassedTest, RaceOfUnstoppablePassers) {
  ShippedValuesInForce shipped;  // race tables of the playing set
  const int none = NO_UNSTOPPABLE_PASSER;
  struct Case {
    const char* what;
    const char* fen;  // the board the race is run on (occupancy, side to move)
    int white, black;
    int whiteSquare, blackSquare;
    int32_t expected;
  } cases[] = {
      {"nobody races", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", none, none, A5, H4, 0},
      {"White alone", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", 3, none, A5, H4, PackedSub(0, PasserRaceWin[3])},
      {"Black alone", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", none, 1, A5, H4, PasserRaceWin[1]},
      {"White two moves ahead", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", 2, 4, A5, H4, PackedSub(0, PasserRaceLead[2])},
      {"White one move ahead", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", 3, 4, A5, H4, PackedSub(0, PasserRaceLeadOne[3])},
      {"a move less, not to move: queens one ply first", "2K5/8/8/P7/7p/8/8/5k2 b - - 0 1", 3, 4, A5, H4,
       PackedSub(0, PasserRaceEqual[3])},
      {"equal, White first, a8 covers h1", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", 3, 3, A5, H4,
       PackedSub(0, PasserRaceEqual[3])},
      {"equal, Black first, h1 covers a8", "2K5/8/8/P7/7p/8/8/5k2 b - - 0 1", 3, 3, A5, H4, PasserRaceEqual[3]},
      {"Black one ply ahead with a move more", "2K5/8/8/P7/7p/8/8/5k2 w - - 0 1", 4, 3, A5, H4, PasserRaceEqual[3]},
      {"equal, the diagonal is blocked", "2K5/8/8/P2B4/7p/8/8/5k2 w - - 0 1", 3, 3, A5, H4, 0},
      {"equal, no line between the queening squares", "2K5/8/8/P7/6p1/8/8/5k2 w - - 0 1", 3, 3, A5, G4, 0},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    const int moves[2] = {c.white, c.black};
    const int squares[2] = {c.whiteSquare, c.blackSquare};
    EXPECT_EQ(PassedPawnRace(moves, squares), c.expected) << c.what;
  }
  // Extreme counts stay inside the tables.
  SetPosition("2K5/8/8/P7/7p/8/8/5k2 w - - 0 1");
  const int squares[2] = {A5, H4};
  for (int w : {0, 1, 7, 8, 50, none})
    for (int b : {0, 1, 7, 8, 50, none}) {
      const int moves[2] = {w, b};
      (void)PassedPawnRace(moves, squares);
    }
  EXPECT_GT(PackedEg(PasserRaceWin[1]), PackedEg(PasserRaceLead[1]));
  EXPECT_GT(PackedEg(PasserRaceLead[1]), PackedEg(PasserRaceLeadOne[1]));
}

// The king-and-pawn shortcut squeezes the endgame sum d by the logistic
// R = round(H / (1 + exp(-S |d| / 1000)) - H / 2) into R * d / 64, for the
// side to move, with no tempo; d = 0 gives 0.
TEST_F(PassedTest, KingAndPawnShortcut) {
  struct Case {
    int32_t blackEg, whiteEg, packedEg;
    int side;
    int32_t expected;
  } cases[] = {
      {0, 0, 0, WHITE, 0},
      {60, 20, -40, BLACK, 0},
      {100, 0, 0, BLACK, 46},     // R = 30
      {100, 0, 0, WHITE, -46},
      {0, 100, 0, BLACK, -46},
      {0, 60, -40, WHITE, 46},
      {1000, 0, 0, BLACK, 1000},  // R = 64
      {10, 0, 0, BLACK, 0},       // R = 3, 30 / 64 truncates to 0
      {0, 0, 300, WHITE, -271},   // R = 58
  };
  for (const Case& c : cases) {
    SetPosition("4k3/8/8/4p3/8/8/4P3/4K3 w - - 0 1");
    thread_board.SideToMove = c.side;
    std::memset(&thread_eval_info, 0, sizeof thread_eval_info);
    thread_eval_info.side_eg[BLACK] = c.blackEg;
    thread_eval_info.side_eg[WHITE] = c.whiteEg;
    thread_eval_info.packed_score = PackPair(77, c.packedEg);
    int32_t score = 12345;
    ASSERT_EQ(EvaluateKingPawnEnding(&score), 1);
    EXPECT_EQ(score, c.expected) << c.blackEg << " " << c.whiteEg << " " << c.packedEg;
    EXPECT_EQ(thread_eval_info.derive_base, 0);
  }
  // Not one pawn each: nothing is decided.
  SetPosition("4k3/8/8/4p3/8/8/3PP3/4K3 w - - 0 1");
  int32_t score = 12345;
  EXPECT_EQ(EvaluateKingPawnEnding(&score), 0);
  EXPECT_EQ(score, 12345);
}

// The passed-pawn term of a position and of its colour-flipped twin are
// mirror images: the packed sum negated, the per-colour sums exchanged.
TEST_F(PassedTest, ColourSymmetryOfThePassedPawnTerm) {
  std::vector<std::string> fens = kPasserFens;
  for (const PerftCase& c : LoadPerftSuite()) fens.push_back(c.fen);
  std::ifstream wac(SharedPath("testdata/wac.epd"));
  std::string line;
  while (std::getline(wac, line))
    if (!line.empty()) fens.push_back(EpdFen(line));
  ASSERT_GT(fens.size(), 400u);
  int withPassers = 0;
  for (const std::string& fen : fens) {
    PassedResult a = PassedTermOf(fen);
    PassedResult b = PassedTermOf(FlipFen(fen));
    withPassers += thread_eval_info.passed_pawns[WHITE] != 0 || thread_eval_info.passed_pawns[BLACK] != 0;
    EXPECT_EQ(PackedMg(a.packed), -PackedMg(b.packed)) << fen;
    EXPECT_EQ(PackedEg(a.packed), -PackedEg(b.packed)) << fen;
    EXPECT_EQ(a.side_mg[WHITE], b.side_mg[BLACK]) << fen;
    EXPECT_EQ(a.side_mg[BLACK], b.side_mg[WHITE]) << fen;
    EXPECT_EQ(a.side_eg[WHITE], b.side_eg[BLACK]) << fen;
    EXPECT_EQ(a.side_eg[BLACK], b.side_eg[WHITE]) << fen;
    EXPECT_EQ(a.derivable, b.derivable) << fen;
  }
  EXPECT_GT(withPassers, 100);
}

// Every table index stays inside its table: a passer of either colour on
// every square it can stand on, both kings on every square (the edges, every
// distance 0..7), both sides to move, with a knight of the other side so the
// race tests run too.
TEST_F(PassedTest, IndicesStayInsideTheirTablesForEveryPlacement) {
  int evaluated = 0;
  for (int c = 0; c < 2; c++) {
    for (int pawn = A2; pawn <= H7; pawn++) {
      for (int own = 0; own < 64; own++) {
        for (int enemy = 0; enemy < 64; enemy++) {
          if (own == pawn || enemy == pawn || own == enemy) continue;
          if (KingAttacks[own] & SquareBit(enemy)) continue;
          ClearBoard();
          AddPiece(pawn, c, PAWN);
          AddPiece(own, c, KING);
          AddPiece(enemy, c ^ 1, KING);
          int knight = (pawn + own + enemy) & 63;
          if (!(thread_board.Occupied & SquareBit(knight))) AddPiece(knight, c ^ 1, KNIGHT);
          thread_board.SideToMove = (own + enemy) & 1;
          PassedResult r = PassedTerm();
          ASSERT_LT(r.side_eg[c ^ 1], 1000) << pawn << " " << own << " " << enemy;
          ASSERT_GT(r.side_eg[c ^ 1], -2000) << pawn << " " << own << " " << enemy;
          evaluated++;
        }
      }
    }
  }
  EXPECT_GT(evaluated, 300000);
}

// Parameters from a file may hold anything: extreme values saturate instead
// of overflowing (UBSan would stop the test), and the term stays bounded.
TEST_F(PassedTest, ExtremeParametersSaturate) {
  int32_t savedA[18], savedCodeMg[8], savedCodeEg[16], savedEdge[4], savedQ[15], savedMatMg[13], savedMatEg[13];
  int32_t savedOwn[24], savedEnemy[24], savedRace[18];
  std::memcpy(savedA, PassedPawnParamsA, sizeof savedA);
  std::memcpy(savedCodeMg, PassedCodeMg, sizeof savedCodeMg);
  std::memcpy(savedCodeEg, PassedCodeEg, sizeof savedCodeEg);
  std::memcpy(savedEdge, PassedEdgeMg, sizeof savedEdge);
  std::memcpy(savedQ, PassedPawnParamsQ, sizeof savedQ);
  std::memcpy(savedMatMg, PassedMaterialMg, sizeof savedMatMg);
  std::memcpy(savedMatEg, PassedMaterialEg, sizeof savedMatEg);
  std::memcpy(savedOwn, PassedOwnKing, sizeof savedOwn);
  std::memcpy(savedEnemy, PassedEnemyKing, sizeof savedEnemy);
  std::memcpy(savedRace, PassedKingRace, sizeof savedRace);
  for (int32_t extreme : {INT32_MAX, INT32_MIN}) {
    for (int32_t& v : PassedPawnParamsA) v = extreme;
    for (int32_t& v : PassedCodeMg) v = extreme;
    for (int32_t& v : PassedCodeEg) v = extreme;
    for (int32_t& v : PassedEdgeMg) v = extreme;
    for (int32_t& v : PassedPawnParamsQ) v = extreme;
    for (int32_t& v : PassedMaterialMg) v = extreme;
    for (int32_t& v : PassedMaterialEg) v = extreme;
    for (int32_t& v : PassedOwnKing) v = extreme;
    for (int32_t& v : PassedEnemyKing) v = extreme;
    for (int32_t& v : PassedKingRace) v = extreme;
    PassedResult r = PassedTermOf("8/PPPP4/8/8/8/8/4pppp/K6k w - - 0 1");
    for (int c = 0; c < 2; c++) {
      EXPECT_LE(r.side_mg[c], 4 << 20);
      EXPECT_GE(r.side_mg[c], -(4 << 20));
      EXPECT_LE(r.side_eg[c], 4 << 20);
      EXPECT_GE(r.side_eg[c], -(4 << 20));
    }
    SetPosition("4k3/8/8/4p3/8/8/4P3/4K3 w - - 0 1");
    std::memset(&thread_eval_info, 0, sizeof thread_eval_info);
    thread_eval_info.side_eg[BLACK] = INT32_MAX;
    thread_eval_info.side_eg[WHITE] = INT32_MIN;
    int32_t score = 0;
    ASSERT_EQ(EvaluateKingPawnEnding(&score), 1);
    EXPECT_LT(score, 31000);
    EXPECT_GT(score, -31000);
  }
  std::memcpy(PassedPawnParamsA, savedA, sizeof savedA);
  std::memcpy(PassedCodeMg, savedCodeMg, sizeof savedCodeMg);
  std::memcpy(PassedCodeEg, savedCodeEg, sizeof savedCodeEg);
  std::memcpy(PassedEdgeMg, savedEdge, sizeof savedEdge);
  std::memcpy(PassedPawnParamsQ, savedQ, sizeof savedQ);
  std::memcpy(PassedMaterialMg, savedMatMg, sizeof savedMatMg);
  std::memcpy(PassedMaterialEg, savedMatEg, sizeof savedMatEg);
  std::memcpy(PassedOwnKing, savedOwn, sizeof savedOwn);
  std::memcpy(PassedEnemyKing, savedEnemy, sizeof savedEnemy);
  std::memcpy(PassedKingRace, savedRace, sizeof savedRace);
}

}  // namespace
