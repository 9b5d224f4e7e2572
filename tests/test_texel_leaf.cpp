// The quiescence leaves of the tuning tool: the leaf's static evaluation is
// the capture search's score, the line wins what hangs, and a root kept by the
// tool evaluates as a position set afresh under a parameter set read later.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "search/hashtable.h"
#include "test_support.h"
#include "tools/texel_leaf.h"

namespace {

class TexelLeafTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureEvalReady(); }
  void SetUp() override { ClearAllTables(); }
  void TearDown() override {
    GamePly = 0;
    MoveStackTop = 0;
    SearchPly = 0;
  }

  // The line of a position and the search's score for WHITE.
  static int LeafOf(const std::string& fen, LeafLine* line) {
    SetPosition(fen);
    line->root = CaptureRoot();
    RestoreRoot(line->root);
    const int score = SearchLeaf(line);
    return line->root.side == WHITE ? score : -score;
  }
};

// Quiet, tactical and promotion positions of both colours, and every suite
// position: scoring the leaf alone gives the search's score.
TEST_F(TexelLeafTest, LeafEvaluationIsTheSearchScore) {
  std::vector<std::string> fens = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1",         // a queen hangs to a pawn
      "4k3/8/8/3q4/4P3/8/8/4K3 b - - 0 1",         // the queen takes the pawn
      "r3k2r/1P6/8/8/8/8/6p1/R3K2R w KQkq - 0 1",  // promotions on both sides
      "2r3k1/5ppp/8/3n4/3R4/8/5PPP/6K1 b - - 0 1",  // a defended exchange
  };
  const std::vector<std::string> suite = SuiteFens();
  for (size_t i = 0; i < suite.size(); i += 7) fens.push_back(suite[i]);
  for (const std::string& fen : fens) {
    LeafLine line{};
    const int score = LeafOf(fen, &line);
    EXPECT_EQ(LeafWhiteScore(line), score) << fen;
  }
}

// What hangs is taken: the line starts with the capture and the score is
// above the stand-pat evaluation.
TEST_F(TexelLeafTest, LineTakesTheHangingQueen) {
  const std::string fen = "4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1";
  LeafLine line{};
  const int score = LeafOf(fen, &line);
  ASSERT_GE(line.length, 1);
  EXPECT_EQ(MoveFrom(line.moves[0]), E4);
  EXPECT_EQ(MoveTo(line.moves[0]), D5);
  SetPosition(fen);
  RootSide = WHITE;
  EXPECT_GT(score, Evaluate() + 500);
}

// A root kept under one parameter set and restored under another evaluates
// as the position set from its FEN under the second: neither the piece-square
// sums nor the pawn result cached beside the board survive the change.
TEST_F(TexelLeafTest, RestoredRootFollowsNewTables) {
  const std::string fen = "4k3/pp3ppp/8/8/8/8/P4PPP/4K3 w - - 0 1";  // one isolated pawn
  LeafLine line{};
  SetPosition(fen);
  line.root = CaptureRoot();
  const int before = LeafWhiteScore(line);

  int32_t savedScale[16], savedIsolated[2][64], savedDanger[128], savedShelter[64];
  std::memcpy(savedScale, PawnCountScale, sizeof savedScale);
  std::memcpy(savedIsolated, MirroredTables64[4], sizeof savedIsolated);  // tables 4 and 5
  std::memcpy(savedDanger, KingDangerTable, sizeof savedDanger);
  std::memcpy(savedShelter, ShelterScaleTable, sizeof savedShelter);
  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  for (int i = 0; i < 16; i++) PawnCountScale[i] = 0;         // no piece-square term
  for (int i = 0; i < 64; i++) MirroredTables64[5][i] += 60;  // isolated pawns, endgame
  ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  ClearAllTables();

  const int after = LeafWhiteScore(line);
  SetPosition(fen);
  thread_board.PawnBlock.key = PAWN_BLOCK_NO_KEY;
  RootSide = WHITE;
  EXPECT_EQ(after, Evaluate());
  EXPECT_NE(after, before);

  // Back to the compiled defaults.
  std::memcpy(PawnCountScale, savedScale, sizeof savedScale);
  std::memcpy(MirroredTables64[4], savedIsolated, sizeof savedIsolated);
  std::memcpy(KingDangerTable, savedDanger, sizeof savedDanger);
  std::memcpy(ShelterScaleTable, savedShelter, sizeof savedShelter);
  std::remove(scratch.file.c_str());
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  ClearAllTables();
  EXPECT_EQ(LeafWhiteScore(line), before);
}

}  // namespace
