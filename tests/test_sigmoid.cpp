// The logistic tables with the compiled parameters and the knight-intercept table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "eval/sigmoid.h"
#include "interface/commands.h"
#include "search/tokens.h"
#include "test_support.h"

namespace {

class SigmoidTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureEvalReady(); }
};

TEST_F(SigmoidTest, DefaultCurves) {
  struct Case {
    const char* table;
    const int32_t* entries;
    int index;
    int32_t value;
  } cases[] = {
      {"PawnEndgame", PawnEndgameSigmoid, 0, -25},   {"PawnEndgame", PawnEndgameSigmoid, 149, -1},
      {"PawnEndgame", PawnEndgameSigmoid, 150, 0},   {"PawnEndgame", PawnEndgameSigmoid, 151, 1},
      {"PawnEndgame", PawnEndgameSigmoid, 300, 25},  {"Pressure", PressureSigmoid, 0, 0},
      {"Pressure", PressureSigmoid, 1, 74},          {"Pressure", PressureSigmoid, 2, 145},
      {"Pressure", PressureSigmoid, 3, 213},         {"Pressure", PressureSigmoid, 4, 276},
      {"Pressure", PressureSigmoid, 5, 332},         {"Pressure", PressureSigmoid, 63, 624},
      {"AttackHorror", AttackHorrorSigmoid, 0, 3},   {"AttackHorror", AttackHorrorSigmoid, 200, 0},
      {"AttackHorror", AttackHorrorSigmoid, 511, -3}, {"DefendHorror", DefendHorrorSigmoid, 0, -3},
      {"DefendHorror", DefendHorrorSigmoid, 200, 0}, {"DefendHorror", DefendHorrorSigmoid, 511, 3},
  };
  for (const Case& c : cases) EXPECT_EQ(c.entries[c.index], c.value) << c.table << "[" << c.index << "]";

  for (int d = 0; d <= 150; d++) EXPECT_EQ(PawnEndgameSigmoid[150 + d], -PawnEndgameSigmoid[150 - d]) << d;
  for (int i = 1; i < 301; i++) EXPECT_GE(PawnEndgameSigmoid[i], PawnEndgameSigmoid[i - 1]) << i;
  for (int i = 1; i < 64; i++) EXPECT_GE(PressureSigmoid[i], PressureSigmoid[i - 1]) << i;
  for (int i = 0; i < 512; i++) EXPECT_EQ(DefendHorrorSigmoid[i], -AttackHorrorSigmoid[i]) << i;
}

// Bit n of KnightIntercept[p - 8][k]: a knight on n stops a pawn on p that
// runs toward rank 1, its king on k.
bool Stops(int pawn, int king, int knight) { return (KnightIntercept[pawn - 8][king] >> knight) & 1; }

TEST_F(SigmoidTest, KnightIntercept) {
  // A pawn on a2 goes a2, a1: a knight on c3 reaches a2 in one move.
  for (int king = 0; king < 64; king++) EXPECT_TRUE(Stops(A2, king, C3)) << king;
  EXPECT_FALSE(Stops(A2, E4, H8));
  // A knight on the path square itself is there in time, one far away is not.
  EXPECT_TRUE(Stops(D5, H8, D3));
  EXPECT_FALSE(Stops(B2, A8, H8));
  // A WHITE pawn is looked up through the centre of the board: on a7, with
  // its king on e5, a black knight on c6 takes the promotion square in time,
  // one on h1 does not.
  EXPECT_TRUE((KnightIntercept[(63 - A7) - 8][63 - E5] >> (63 - C6)) & 1);
  EXPECT_FALSE((KnightIntercept[(63 - A7) - 8][63 - E5] >> (63 - H1)) & 1);
}

// The curves are built once at start-up: "reload" of a file with other
// curve parameters takes the parameters but leaves the four tables as they were.
TEST_F(SigmoidTest, ReloadKeepsTheTables) {
  if (Tokens[0] == nullptr) AllocateTokenBuffers();
  std::vector<int32_t> before[4] = {{PawnEndgameSigmoid, PawnEndgameSigmoid + 301},
                                    {PressureSigmoid, PressureSigmoid + 64},
                                    {AttackHorrorSigmoid, AttackHorrorSigmoid + 512},
                                    {DefendHorrorSigmoid, DefendHorrorSigmoid + 512}};
  int32_t danger[128], shelter[64];
  std::memcpy(danger, KingDangerTable, sizeof danger);
  std::memcpy(shelter, ShelterScaleTable, sizeof shelter);
  int32_t* curveParams[] = {&PassedPawnParamsA[16],     &PassedPawnParamsA[17],     &KingParamsB[7],
                            &KingParamsB[8],            &PressureSigmoidCentre,     &SigmoidAndPhaseParams[2],
                            &SigmoidAndPhaseParams[3],  &SigmoidAndPhaseParams[4],  &SigmoidAndPhaseParams[5],
                            &SigmoidAndPhaseParams[6],  &SigmoidAndPhaseParams[7]};
  int32_t saved[11];
  for (int i = 0; i < 11; i++) saved[i] = *curveParams[i];

  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  auto reloadFrom = [&]() {
    ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
    ReloadIn(scratch.path);
  };
  for (int i = 0; i < 11; i++) *curveParams[i] = saved[i] + 37;
  reloadFrom();
  EXPECT_EQ(PressureSigmoidCentre, saved[4] + 37);  // the file was read
  EXPECT_EQ(std::vector<int32_t>(PawnEndgameSigmoid, PawnEndgameSigmoid + 301), before[0]);
  EXPECT_EQ(std::vector<int32_t>(PressureSigmoid, PressureSigmoid + 64), before[1]);
  EXPECT_EQ(std::vector<int32_t>(AttackHorrorSigmoid, AttackHorrorSigmoid + 512), before[2]);
  EXPECT_EQ(std::vector<int32_t>(DefendHorrorSigmoid, DefendHorrorSigmoid + 512), before[3]);

  // Back to the compiled parameter set.
  for (int i = 0; i < 11; i++) *curveParams[i] = saved[i];
  reloadFrom();
  std::memcpy(KingDangerTable, danger, sizeof danger);
  std::memcpy(ShelterScaleTable, shelter, sizeof shelter);
}

}  // namespace
