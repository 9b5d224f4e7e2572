// The quiescence leaves of the tuning tool: the leaf's static evaluation is
// the capture search's score, the line wins what hangs, and a root kept by the
// tool evaluates as a position set afresh under a parameter set read later,
// and a set's piece-square half tables reach the leaves.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "eval/defaults_material.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "eval/pst.h"
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

// The engine builds its piece-square tables before it reads the file, so a
// load alone leaves them as compiled; the tool's rebuild makes the loaded
// half tables score the leaves, on both colours' squares and mirrored files,
// except the rook endgame table, which the engine always plays as 0.
TEST_F(TexelLeafTest, LoadedHalfTablesScoreTheLeaves) {
  const std::string fen = "4k3/pppp4/8/8/8/8/PPPP4/1N2K3 w - - 0 1";
  LeafLine line{};
  SetPosition(fen);
  line.root = CaptureRoot();
  const int before = LeafWhiteScore(line);
  const int knightMg = PieceSquareMg[KNIGHT][WHITE][B1], knightEg = PieceSquareEg[KNIGHT][WHITE][B1];

  int32_t saved[424];
  std::memcpy(saved, PieceSquareParams, sizeof saved);
  PieceSquareParams[40 + 8] += 40;       // knight mg, file b rank 1
  PieceSquareParams[40 + 32 + 8] += 40;  // knight eg, file b rank 1
  for (int i = 0; i < 32; i++) PieceSquareParams[40 + 7 * 32 + i] = 25;  // rook eg
  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  ClearAllTables();
  EXPECT_EQ(LeafWhiteScore(line), before);  // the tables in play are the compiled ones

  BuildPlayedPieceSquareTables();
  ClearAllTables();
  for (int square : {B1, G1}) {
    EXPECT_EQ(PieceSquareMg[KNIGHT][WHITE][square], knightMg + 40) << square;
    EXPECT_EQ(PieceSquareEg[KNIGHT][WHITE][square], knightEg + 40) << square;
    EXPECT_EQ(PieceSquareMg[KNIGHT][BLACK][square ^ 56], knightMg + 40) << square;
    EXPECT_EQ(PieceSquareEg[KNIGHT][BLACK][square ^ 56], knightEg + 40) << square;
  }
  EXPECT_EQ(PieceSquareMg[KNIGHT][WHITE][C1], PieceSquareMg[KNIGHT][WHITE][F1]);
  for (int colour = WHITE; colour <= BLACK; colour++)
    for (int square = 0; square < 64; square++) EXPECT_EQ(PieceSquareEg[ROOK][colour][square], 0) << square;
  const int after = LeafWhiteScore(line);
  EXPECT_GE(after - before, 30);
  EXPECT_LE(after - before, 40);

  // Back to the compiled defaults.
  std::memcpy(PieceSquareParams, saved, sizeof saved);
  std::remove(scratch.file.c_str());
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  BuildPlayedPieceSquareTables();
  ClearAllTables();
  EXPECT_EQ(PieceSquareMg[KNIGHT][WHITE][B1], knightMg);
  EXPECT_EQ(LeafWhiteScore(line), before);
}

}  // namespace
