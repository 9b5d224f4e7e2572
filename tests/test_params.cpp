// The parameter file "values.txt": block positions, the readers' edge cases,
// the sanity pass, the write -> read round trip and the load driver. The file
// name is fixed, so every test runs in a fresh temporary working directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "board/types.h"
#include "eval/material.h"
#include "eval/params.h"
#include "test_support.h"

namespace {

// Names of the areas that differ between the parameters in force and s.
std::vector<std::string> DifferingAreas(const Snapshot& s, const std::vector<std::string>& ignore = {}) {
  std::vector<std::string> differ;
  for (size_t i = 0; i < AllAreas().size(); i++) {
    const ParamArea& a = AllAreas()[i];
    bool skip = false;
    for (const std::string& name : ignore) skip |= name == a.name;
    if (!skip && memcmp(a.data, s[i].data(), a.bytes) != 0) differ.push_back(a.name);
  }
  return differ;
}

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

// 1-based line of the first value of a block.
int64_t Line(int block) {
  int64_t line = 1;
  for (auto [number, count] : kLayout) {
    if (number == block) return line;
    line += count;
  }
  ADD_FAILURE() << "no block " << block;
  return 0;
}

int64_t TotalLines() {
  int64_t total = 0;
  for (auto [number, count] : kLayout) total += count;
  return total;
}

// Lines "1", "2", ... "N": each value tells the line it came from.
std::vector<std::string> NumberedLines() {
  std::vector<std::string> lines;
  for (int64_t i = 1; i <= TotalLines(); i++) lines.push_back(std::to_string(i));
  return lines;
}

void WriteFile(const std::vector<std::string>& lines, const char* path = "values.txt") {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << '\n';
}

// The work matrices of one read.
struct Matrices {
  std::vector<int32_t> m54 = std::vector<int32_t>(54 * 54, -7);
  std::vector<int32_t> m486 = std::vector<int32_t>(486 * 486, -7);
  std::vector<int32_t> scale = std::vector<int32_t>(486 * 486, -7);
};

// Reads "values.txt" and gives what it printed.
std::string ReadCapturing(Matrices& m) {
  testing::internal::CaptureStdout();
  ReadValuesFile(m.m54.data(), m.m486.data(), m.scale.data());
  return testing::internal::GetCapturedStdout();
}

std::string FixCapturing() {
  testing::internal::CaptureStdout();
  FixValues();
  return testing::internal::GetCapturedStdout();
}

// Runs every test in its own empty working directory, with the parameter set
// of start-up (defaults and king attack weights) restored afterwards.
class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = TakeSnapshot();
    InitKingAttackWeights();
    char pattern[] = "/tmp/crv_params_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    startup_ = TakeSnapshot();
  }
  void TearDown() override {
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
    RestoreSnapshot(saved_);
  }
  Snapshot saved_, startup_;
  std::filesystem::path dir_, old_dir_;
};

// A parameter read from the file and the line it must come from (0: not in
// the file, the value must be 0).
struct Placed {
  const char* what;
  int64_t actual;
  int64_t line;
};

TEST_F(ParamsTest, EveryBlockIsReadFromItsLines) {
  WriteFile(NumberedLines());
  Matrices m;
  ReadCapturing(m);
  auto m54 = [&](int r, int c) { return (int64_t)m.m54[r * 54 + c]; };
  auto m486 = [&](int r, int c) { return (int64_t)m.m486[r * 486 + c]; };
  const int64_t prune = Line(43);
  const std::vector<Placed> placed = {
      {"DerivedParamsA[0]", DerivedParamsA[0], 1},
      {"MaterialOffsets[11]", MaterialOffsets[11], Line(2) + 11},
      {"DerivedQuadW[3]", DerivedQuadW[3], Line(3)},
      {"DerivedQuadY[3]", DerivedQuadY[3], Line(3) + 1},
      {"DerivedQuadX[1]", DerivedQuadX[1], Line(3) + 2},
      {"DerivedQuadZ[1]", DerivedQuadZ[1], Line(3) + 3},
      {"DerivedQuadW[2]", DerivedQuadW[2], Line(3) + 4},
      {"DerivedQuadY[2]", DerivedQuadY[2], Line(3) + 5},
      {"DerivedQuadX[2]", DerivedQuadX[2], Line(3) + 6},
      {"DerivedQuadZ[2]", DerivedQuadZ[2], Line(3) + 7},
      {"DerivedQuadX[3]", DerivedQuadX[3], Line(3) + 8},
      {"DerivedQuadZ[3]", DerivedQuadZ[3], Line(3) + 9},
      {"DerivedQuadW[0]", DerivedQuadW[0], 0},
      {"DerivedQuadY[1]", DerivedQuadY[1], 0},
      {"DerivedQuadZ[0]", DerivedQuadZ[0], 0},
      // Interleaved digits: the column's knights run fastest, then the row's.
      {"M54[0][0]", m54(0, 0), Line(4)},
      {"M54[0][1]", m54(0, 1), Line(4) + 1},
      {"M54[1][0]", m54(1, 0), Line(4) + 3},
      {"M54[0][3]", m54(0, 3), Line(4) + 9},
      {"M54[0][27]", m54(0, 27), Line(4) + 729},
      {"M54[27][0]", m54(27, 0), Line(4) + 1458},
      {"M54[53][53]", m54(53, 53), Line(4) + 2915},
      {"EvalParamsA[0]", EvalParamsA[0], Line(6)},
      {"EndgameDriverPair[1]", EndgameDriverPair[1], Line(7) + 1},
      {"EvalParamsB[0]", EvalParamsB[0], Line(9)},
      {"EvalParamsB2", EvalParamsB2, Line(10)},
      {"EvalParamsC[15]", EvalParamsC[15], Line(11) + 15},
      {"QueenShelterMg[0]", QueenShelterMg[0], Line(12)},
      {"EvalParamsD[115]", EvalParamsD[115], Line(14) + 115},
      {"EndingUnitThresholds[0]", EndingUnitThresholds[0], Line(15)},
      {"DerivedParamsE[0]", DerivedParamsE[0], Line(16)},
      {"MaterialPawnTable[13]", MaterialPawnTable[13], Line(17) + 13},
      {"DerivedParamsF[23]", DerivedParamsF[23], Line(18) + 23},
      {"DerivedParamsF2", DerivedParamsF2, Line(19)},
      {"MaterialPawnTable[14]", MaterialPawnTable[14], Line(20)},
      {"MaterialPawnTable[16]", MaterialPawnTable[16], Line(20) + 2},
      {"EvalCurveA[0]", EvalCurveA[0], Line(21)},
      {"EvalCurveB[0]", EvalCurveB[0], Line(22)},
      {"EvalCurveC[31]", EvalCurveC[31], Line(23) + 31},
      {"UnreadBlock24[0]", UnreadBlock24[0], Line(24)},
      {"ShelterCodeTable[511]", ShelterCodeTable[511], Line(25) + 511},
      {"PawnParams[0]", PawnParams[0], Line(26)},
      {"PieceSquareParams[0]", PieceSquareParams[0], Line(28)},
      {"PieceSquareParams[423]", PieceSquareParams[423], Line(28) + 423},
      {"ShelterPenaltyTable[0]", ShelterPenaltyTable[0], Line(37)},
      {"EvalParamsN[34]", EvalParamsN[34], Line(38) + 34},
      {"PawnCountScale[0]", PawnCountScale[0], Line(39)},
      {"UnreadBlock40[383]", UnreadBlock40[383], Line(40) + 383},
      {"UnreadBlock41[0][0][0][1]", UnreadBlock41[0][0][0][1], Line(41) + 1},
      {"UnreadBlock41[1][0][0][0]", UnreadBlock41[1][0][0][0], Line(41) + 8192},
      {"RookEndingFiles[1][0]", RookEndingFiles[1][0], Line(42) + 39},
      // Pairs: numerator then denominator; piece code 4 is skipped.
      {"PruneCounts[0][KING][0][0]", PruneCounts[0][KING][0][0], prune},
      {"PruneTotals[0][KING][0][0]", PruneTotals[0][KING][0][0], prune + 1},
      {"PruneCounts[0][KING][0][1]", PruneCounts[0][KING][0][1], prune + 2},
      {"PruneCounts[0][KING][1][0]", PruneCounts[0][KING][1][0], prune + 128},
      {"PruneCounts[0][KNIGHT][0][0]", PruneCounts[0][KNIGHT][0][0], prune + 8192},
      {"PruneCounts[0][ROOK][0][0]", PruneCounts[0][ROOK][0][0], prune + 3 * 8192},
      {"PruneTotals[0][QUEEN][63][63]", PruneTotals[0][QUEEN][63][63], prune + 6 * 8192 - 1},
      {"PruneCounts[1][KING][0][0]", PruneCounts[1][KING][0][0], prune + 6 * 8192},
      {"PruneCounts[0][4][0][0]", PruneCounts[0][4][0][0], 0},
      {"PruneCounts[1][EMPTY][9][9]", PruneCounts[1][EMPTY][9][9], 0},
      {"EndgameClassTable[0][0][1]", EndgameClassTable[0][0][1], Line(44) + 1},
      {"EndgameClassTable[1][0][0]", EndgameClassTable[1][0][0], Line(44) + 12},
      {"KingDistanceClass[1][0][0]", KingDistanceClass[1][0][0], Line(45) + 64},
      {"KingDistanceClass[0][1][0]", KingDistanceClass[0][1][0], Line(45) + 16},
      {"DevelopmentPawnsMg[0]", DevelopmentPawnsMg[0], Line(46)},
      {"KingParamsA[8]", KingParamsA[8], Line(47) + 8},
      {"DevelopmentPawnsEg[0]", DevelopmentPawnsEg[0], Line(48)},
      {"KingParamsB[0]", KingParamsB[0], Line(49)},
      {"PressureSigmoidCentre", PressureSigmoidCentre, Line(50)},
      {"KingParamsC[0]", KingParamsC[0], Line(51)},
      {"KingParamsD[1]", KingParamsD[1], Line(52) + 1},
      {"SigmoidAndPhaseParams[11]", SigmoidAndPhaseParams[11], Line(53) + 11},
      {"PawnPhaseWeightA", PawnPhaseWeightA, Line(54)},
      {"PhaseWeightsB[0]", PhaseWeightsB[0], Line(55)},
      {"PawnPhaseWeightB", PawnPhaseWeightB, Line(56)},
      {"EvalParamsO", EvalParamsO, Line(57)},
      {"KingAttackWeights[0]", KingAttackWeights[0], Line(58)},
      {"KingAttackWeights[383]", KingAttackWeights[383], Line(58) + 383},
      {"PassedPawnParamsA[0]", PassedPawnParamsA[0], Line(59)},
      {"PassedOwnKing[0]", PassedOwnKing[0], Line(60)},
      {"PassedEnemyKing[0]", PassedEnemyKing[0], Line(60) + 1},
      {"PassedOwnKing[1]", PassedOwnKing[1], Line(60) + 2},
      {"PassedEnemyKing[23]", PassedEnemyKing[23], Line(60) + 47},
      {"PassedKingRace[0]", PassedKingRace[0], Line(61)},
      {"PassedCodeMg[0]", PassedCodeMg[0], Line(62)},
      {"PassedCodeEg[0]", PassedCodeEg[0], Line(63)},
      {"PassedEdgeMg[0]", PassedEdgeMg[0], Line(64)},
      {"PassedPawnParamsQ[0]", PassedPawnParamsQ[0], Line(64) + 1},
      {"PassedEdgeMg[1]", PassedEdgeMg[1], Line(64) + 2},
      {"PassedPawnParamsQ[2]", PassedPawnParamsQ[2], Line(64) + 5},
      {"PassedEdgeMg[3]", PassedEdgeMg[3], Line(64) + 6},
      {"PassedPawnParamsQ[3]", PassedPawnParamsQ[3], Line(64) + 7},
      {"PassedPawnParamsQ[14]", PassedPawnParamsQ[14], Line(64) + 18},
      {"EvalParamsP[0]", EvalParamsP[0], Line(65)},
      {"UnreadBlock66", UnreadBlock66, Line(66)},
      // Half tables: files a-d in square order, each mirrored onto h-e.
      {"HalfSquareTables[0][a1]", HalfSquareTables[0][0], Line(67)},
      {"HalfSquareTables[0][h1]", HalfSquareTables[0][7], Line(67)},
      {"HalfSquareTables[0][d1]", HalfSquareTables[0][3], Line(67) + 3},
      {"HalfSquareTables[0][e1]", HalfSquareTables[0][4], Line(67) + 3},
      {"HalfSquareTables[0][a2]", HalfSquareTables[0][8], Line(67) + 4},
      {"HalfSquareTables[1][a1]", HalfSquareTables[1][0], Line(67) + 32},
      {"HalfSquareTables[19][h8]", HalfSquareTables[19][63], Line(67) + 19 * 32 + 28},
      {"PackPairs9[0][0]", PackPairs9[0][0], Line(68)},
      {"PackPairs9[1][0]", PackPairs9[1][0], Line(68) + 1},
      {"PackPairs9[0][1]", PackPairs9[0][1], Line(68) + 2},
      {"PackPairs17[1][16]", PackPairs17[1][16], Line(69) + 33},
      // Mirrored reads: the later value of a mirror pair decides both.
      {"MirroredFileTables[0][0]", MirroredFileTables[0][0], Line(70)},
      {"MirroredFileTables[0][7]", MirroredFileTables[0][7], Line(70)},
      {"MirroredFileTables[1][4]", MirroredFileTables[1][4], Line(70) + 4 + 3},
      {"MirroredTables64[0][a1]", MirroredTables64[0][0], Line(70) + 8 + 7},
      {"MirroredTables64[0][h1]", MirroredTables64[0][7], Line(70) + 8 + 7},
      {"MirroredTables64[0][d1]", MirroredTables64[0][3], Line(70) + 8 + 4},
      {"MirroredTables64[9][a8]", MirroredTables64[9][56], Line(70) + 8 + 9 * 64 + 63},
      {"MirroredFileTables[2][0]", MirroredFileTables[2][0], Line(70) + 648},
      {"MirroredFileTables[3][7]", MirroredFileTables[3][7], Line(70) + 652},
      {"EightEntryTables[0][0]", EightEntryTables[0][0], Line(71)},
      {"EightEntryTables[7][7]", EightEntryTables[7][7], Line(71) + 63},
      {"KpkWinScore[1]", KpkWinScore[1], Line(71) + 64},
      {"KpkWinScore[6]", KpkWinScore[6], Line(71) + 69},
      {"KpkWinScore[0]", KpkWinScore[0], 0},
      {"EndgameParamsA[0]", EndgameParamsA[0], Line(72)},
      {"EndgameParamsA[3]", EndgameParamsA[3], Line(73)},
      {"QueenShelterEg[0]", QueenShelterEg[0], Line(74)},
      {"QueenShelterPatternScale[0]", QueenShelterPatternScale[0], Line(75)},
      {"AttackPatternScale[0]", AttackPatternScale[0], Line(76)},
      {"DevelopmentIndex[63]", DevelopmentIndex[63], Line(77) + 63},
      // The 3-digit of the pawn count stays 0: only 0..2 pawns come from the file.
      {"M486[0][0]", m486(0, 0), Line(78)},
      {"M486[0][1]", m486(0, 1), Line(78) + 1},
      {"M486[1][0]", m486(1, 0), Line(78) + 3},
      {"M486[2][2]", m486(2, 2), Line(78) + 8},
      {"M486[0][9]", m486(0, 9), Line(78) + 9},
      {"M486[0][3]", m486(0, 3), 0},
      {"M486[5][0]", m486(5, 0), 0},
      {"M486[479][479]", m486(479, 479), Line(78) + 26243},
      {"M486[485][485]", m486(485, 485), 0},
      {"KpkWinValues[1][0]", KpkWinValues[1][0], Line(79) + 5},
      {"PassedMaterialMg[0]", PassedMaterialMg[0], Line(80)},
      {"PassedMaterialEg[0]", PassedMaterialEg[0], Line(80) + 13},
      {"WeakPawnUnits[0]", WeakPawnUnits[0], Line(81)},
      {"WeakPawnRank[0]", WeakPawnRank[0], Line(81) + 9},
      {"WeakPawnKing[5][23]", WeakPawnKing[5][23], TotalLines()},
  };
  for (const Placed& p : placed) EXPECT_EQ(p.actual, p.line) << p.what;
  EXPECT_EQ(m.scale[0], 256);
  EXPECT_EQ(m.scale[486 * 486 - 1], 256);
}

// Edits of the numbered file and what must hold after reading it.
struct FileCase {
  const char* name;
  std::function<void(std::vector<std::string>&)> edit;
  std::function<void(const Snapshot& startup, const std::string& printed)> check;
};

TEST_F(ParamsTest, FileEdgeCases) {
  // The parameter set a complete numbered file gives.
  WriteFile(NumberedLines());
  Matrices m;
  ReadCapturing(m);
  const Snapshot complete = TakeSnapshot();
  const int64_t weights = Line(58);

  const std::vector<FileCase> cases = {
      {"extra lines after the last block are not read",
       [](std::vector<std::string>& lines) {
         lines.push_back("12345");
         lines.push_back("garbage");
       },
       [&](const Snapshot&, const std::string&) { EXPECT_EQ(DifferingAreas(complete), std::vector<std::string>{}); }},
      {"a file that ends early keeps the rest",
       [&](std::vector<std::string>& lines) { lines.resize((size_t)(weights + 8)); },
       [&](const Snapshot& startup, const std::string&) {
         EXPECT_EQ(KingAttackWeights[8], weights + 8);
         EXPECT_EQ(KingAttackWeights[9], 1);
         EXPECT_EQ(KingAttackWeights[383], 4);
         EXPECT_EQ(EvalParamsO, Line(57));
         // Everything after the weights is as it was.
         for (const char* name : {"PassedPawnParamsA", "HalfSquareTables", "MirroredTables64", "KpkWinValues",
                                  "WeakPawnKing", "EndgameParamsA"})
           EXPECT_FALSE(Differs(startup, name)) << name;
       }},
      {"an unreadable token stops the stream",
       [&](std::vector<std::string>& lines) { lines[(size_t)(weights + 8)] = "x12"; },
       [&](const Snapshot& startup, const std::string&) {
         EXPECT_EQ(KingAttackWeights[8], weights + 8);
         EXPECT_EQ(KingAttackWeights[9], 1);
         EXPECT_EQ(KingAttackWeights[10], 1);
         EXPECT_FALSE(Differs(startup, "PassedPawnParamsA"));
         EXPECT_FALSE(Differs(startup, "WeakPawnKing"));
       }},
      {"a file-b line of a mirrored 64-table has no effect",
       [&](std::vector<std::string>& lines) {
         lines[(size_t)(Line(70) + 8 + 8 * 2 + 1 - 1)] = "5555";  // b3 of the first table
         lines[(size_t)(Line(70) + 8 + 8 * 2 + 6 - 1)] = "-77";   // g3
       },
       [&](const Snapshot&, const std::string&) {
         EXPECT_EQ(MirroredTables64[0][17], -77);
         EXPECT_EQ(MirroredTables64[0][22], -77);
       }},
      {"a mirrored file table takes its first four values",
       [&](std::vector<std::string>& lines) { lines[(size_t)(Line(70) + 4 + 1 - 1)] = "31"; },
       [&](const Snapshot&, const std::string&) {
         EXPECT_EQ(MirroredFileTables[1][1], 31);
         EXPECT_EQ(MirroredFileTables[1][6], 31);
       }},
      {"numbers saturate instead of overflowing",
       [&](std::vector<std::string>& lines) {
         lines[(size_t)(Line(6) - 1)] = "99999999999999999999999";
         lines[(size_t)(Line(6))] = "-2147483649";
         lines[(size_t)(Line(6) + 1)] = "+2147483647";
         lines[(size_t)(Line(43) - 1)] = "123456789012345678901234567890";
         lines[(size_t)(Line(43))] = "-9223372036854775809";
       },
       [&](const Snapshot&, const std::string&) {
         EXPECT_EQ(EvalParamsA[0], INT32_MAX);
         EXPECT_EQ(EvalParamsA[1], INT32_MIN);
         EXPECT_EQ(EvalParamsA[2], INT32_MAX);
         EXPECT_EQ(EvalParamsA[3], Line(6) + 3);
         EXPECT_EQ(PruneCounts[0][KING][0][0], INT64_MAX);
         EXPECT_EQ(PruneTotals[0][KING][0][0], INT64_MIN);
         EXPECT_EQ(PruneCounts[0][KING][0][1], Line(43) + 2);
       }},
      {"a negative prune numerator is reported and kept",
       [&](std::vector<std::string>& lines) {
         lines[(size_t)(Line(43) + 2 * 77 - 1)] = "-5";
         lines[(size_t)(Line(43) + 2 * 77)] = "-6";  // a negative denominator is not reported
       },
       [&](const Snapshot&, const std::string& printed) {
         EXPECT_EQ(printed, "Error! Negative prune stats value: -5\n");
         EXPECT_EQ(PruneCounts[0][KING][1][13], -5);
         EXPECT_EQ(PruneTotals[0][KING][1][13], -6);
       }},
      {"an empty file still replaces the king tables",
       [](std::vector<std::string>& lines) { lines.clear(); },
       [&](const Snapshot& startup, const std::string& printed) {
         EXPECT_EQ(printed, "");
         EXPECT_EQ(DifferingAreas(startup, {"KingDangerTable", "ShelterScaleTable"}), std::vector<std::string>{});
       }},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    RestoreSnapshot(startup_);
    std::vector<std::string> lines = NumberedLines();
    c.edit(lines);
    WriteFile(lines);
    Matrices work;
    std::string printed = ReadCapturing(work);
    c.check(startup_, printed);
    // Whatever the file held for them, the king tables take the second set.
    EXPECT_EQ(KingDangerTable[51], 964);
    EXPECT_EQ(KingDangerTable[127], 964);
    EXPECT_EQ(KingDangerTable[10], 25);
    EXPECT_EQ(ShelterScaleTable[16], 28);
    EXPECT_EQ(ShelterScaleTable[15], 26);
  }
}

TEST_F(ParamsTest, NoFileKeepsTheParametersAndClearsTheOffsets) {
  MaterialOffsets[3] = 9;
  DerivedQuadZ[2] = 9;
  const Snapshot before = TakeSnapshot();
  Matrices m;
  EXPECT_EQ(ReadCapturing(m), "Error loading values.txt\n");
  EXPECT_EQ(DifferingAreas(before), (std::vector<std::string>{"MaterialOffsets", "DerivedQuadZ"}));
  EXPECT_EQ(MaterialOffsets[3], 0);
  EXPECT_EQ(DerivedQuadZ[2], 0);
  EXPECT_EQ(KingDangerTable[51], 255);
  EXPECT_EQ(ShelterScaleTable[16], 24);
  EXPECT_EQ(std::count(m.m54.begin(), m.m54.end(), 0), 54 * 54);
  EXPECT_EQ(std::count(m.m486.begin(), m.m486.end(), 0), 486 * 486);
  EXPECT_EQ(std::count(m.scale.begin(), m.scale.end(), 256), 486 * 486);
}

// Writes the parameter set in force, changes every value, reads the file back
// and compares: the king tables take their second set, all else comes back.
void ExpectRoundTrip(const Snapshot& startup) {
  const Snapshot written = TakeSnapshot();
  ASSERT_EQ(WriteValuesFile("values.txt"), 1);
  std::ifstream in("values.txt");
  std::string line;
  int64_t lines = 0;
  while (std::getline(in, line)) lines++;
  EXPECT_EQ(lines, TotalLines());

  RestoreSnapshot(startup);
  for (int32_t& v : EvalParamsD) v = -1;  // a block that must come back from the file
  Matrices m;
  testing::internal::CaptureStdout();
  ReadValuesFile(m.m54.data(), m.m486.data(), m.scale.data());
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(DifferingAreas(written, {"KingDangerTable", "ShelterScaleTable"}), std::vector<std::string>{});
  EXPECT_EQ(KingDangerTable[51], 964);
  EXPECT_EQ(ShelterScaleTable[16], 28);
  EXPECT_EQ(std::count(m.m54.begin(), m.m54.end(), 0), 54 * 54);
  EXPECT_EQ(std::count(m.m486.begin(), m.m486.end(), 0), 486 * 486);
}

TEST_F(ParamsTest, WriteThenReadGivesTheSameParameterSet) {
  {
    SCOPED_TRACE("compiled defaults after the sanity pass");
    FixCapturing();
    ExpectRoundTrip(startup_);
  }
  {
    SCOPED_TRACE("a distinct value in every entry");
    int32_t next = 1000;
    for (const ParamArea& a : AllAreas()) {
      if (a.data == (void*)PruneCounts || a.data == (void*)PruneTotals) continue;
      int32_t* v = (int32_t*)a.data;
      for (size_t i = 0; i < a.bytes / sizeof(int32_t); i++, next++) v[i] = next % 3 ? next : -next;
    }
    int64_t big = 5000000000LL;
    for (int s = 0; s < PRUNE_SELECTORS; s++)
      for (int code : {KING, KNIGHT, PAWN, ROOK, BISHOP, QUEEN})
        for (int from = 0; from < 64; from++)
          for (int to = 0; to < 64; to++) {
            PruneCounts[s][code][from][to] = big++;
            PruneTotals[s][code][from][to] = big++;
          }
    // Entries the file does not hold, and tables the file holds by halves.
    DerivedQuadW[0] = DerivedQuadW[1] = DerivedQuadX[0] = DerivedQuadY[0] = DerivedQuadY[1] = DerivedQuadZ[0] = 0;
    KpkWinScore[0] = KpkWinScore[7] = 0;
    for (auto& t : HalfSquareTables) MirrorSquareTable(t);
    for (auto& t : MirroredTables64) MirrorSquareTable(t);
    for (auto& t : MirroredFileTables) MirrorFileTable(t);
    ExpectRoundTrip(startup_);
  }
}

// A parameter set in force and what the sanity pass must make of it.
struct FixCase {
  const char* name;
  std::function<void()> set;
  std::function<void()> check;
  const char* message;  // a text the pass must print, "" for none
};

TEST_F(ParamsTest, SanityPassRepairsOutOfRangeValues) {
  const std::vector<FixCase> cases = {
      {"the compiled defaults need no repair", [] {}, [] {}, ""},
      {"a king attack weight of 200 becomes 127", [] { KingAttackWeights[300] = 200; },
       [] { EXPECT_EQ(KingAttackWeights[300], 127); }, ", 200 to 127]; "},
      {"a negative file weight becomes 0", [] { EvalParamsA[1] = -3; }, [] { EXPECT_EQ(EvalParamsA[1], 0); },
       "fix [2, -3 to 0]; "},
      {"a divisor of 0 becomes 1", [] { AttackPatternScale[4] = 0; }, [] { EXPECT_EQ(AttackPatternScale[4], 1); },
       ", 0 to 1]; "},
      {"development terms are clamped",
       [] {
         DevelopmentIndex[5] = 9;
         DevelopmentPawnsMg[6] = -300;
         DevelopmentPawnsEg[7] = 201;
       },
       [] {
         EXPECT_EQ(DevelopmentIndex[5], 5);
         EXPECT_EQ(DevelopmentPawnsMg[6], -200);
         EXPECT_EQ(DevelopmentPawnsEg[7], 200);
       },
       ", 9 to 5]; "},
      {"the KPK win scores are fixed", [] { KpkWinScore[3] = 1; }, [] { EXPECT_EQ(KpkWinScore[3], 840); },
       ", 1 to 840]; "},
      {"shelter scale entries below 1 become 1", [] { ShelterScaleTable[40] = -4; },
       [] { EXPECT_EQ(ShelterScaleTable[40], 1); }, ", -4 to 1]; "},
      {"mirrored tables take files a-d",
       [] {
         MirroredTables64[3][9] = 17;   // b2
         HalfSquareTables[4][61] = 8;   // f8, overwritten from c8
         MirroredFileTables[2][1] = 5;  // file b
       },
       [] {
         EXPECT_EQ(MirroredTables64[3][14], 17);
         EXPECT_EQ(HalfSquareTables[4][61], HalfSquareTables[4][58]);
         EXPECT_EQ(MirroredFileTables[2][6], 5);
       },
       ""},
  };
  for (const FixCase& c : cases) {
    SCOPED_TRACE(c.name);
    RestoreSnapshot(startup_);
    c.set();
    std::string printed = FixCapturing();
    c.check();
    if (*c.message == 0) EXPECT_EQ(printed, "");
    else EXPECT_NE(printed.find(c.message), std::string::npos) << printed;
  }
}

TEST_F(ParamsTest, WeightOf200InTheFileIsReportedAndCut) {
  KingAttackWeights[5] = 200;
  ASSERT_EQ(WriteValuesFile("values.txt"), 1);
  KingAttackWeights[5] = 1;
  Matrices m;
  ReadCapturing(m);
  EXPECT_EQ(KingAttackWeights[5], 200);
  EXPECT_NE(FixCapturing().find(", 200 to 127]; "), std::string::npos);
  EXPECT_EQ(KingAttackWeights[5], 127);
}

TEST_F(ParamsTest, LoadWithoutFileKeepsDefaultsAndSetsTheDriverPair) {
  testing::internal::CaptureStdout();
  LoadEvaluationValues();
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed.find("Error loading values.txt\n"), 0u) << printed;
  EXPECT_EQ(printed.find("Error loading", 1), std::string::npos);
  EXPECT_EQ(EndgameDriverPair[0], 35);
  EXPECT_EQ(EndgameDriverPair[1], 120);
  EXPECT_EQ(KingDangerTable[51], 255);
}

// MaterialIndex of a WHITE and a BLACK signature, each six base-3 digits of
// queens, rooks, bishops, knights and the pawn count.
int MaterialIndexOf(const char* white, const char* black) {
  auto pawns = [](const char* s) { return (s[4] - '0') * 3 + (s[5] - '0'); };
  return (white[0] - '0') + 3 * (black[0] - '0') + 9 * (white[1] - '0') + 27 * (black[1] - '0') +
         81 * (white[2] - '0') + 243 * (black[2] - '0') + 729 * (white[3] - '0') + 2187 * (black[3] - '0') +
         6561 * pawns(white) + 59049 * pawns(black);
}

TEST_F(ParamsTest, LoadWritesTheFixedScaleFactors) {
  testing::internal::CaptureStdout();
  LoadEvaluationValues();
  testing::internal::GetCapturedStdout();
  struct {
    const char* white;
    const char* black;
    int scale;
  } const expected[] = {
      {"121121", "121121", 308}, {"010002", "010010", 164}, {"010010", "010002", 164}, {"122221", "122222", 391},
      {"000010", "000010", 236}, {"100010", "100010", 94},  {"010012", "010011", 182}, {"121112", "121120", 322},
      {"000001", "000001", 256}, {"121121", "121122", 256},
  };
  for (const auto& e : expected)
    EXPECT_EQ(MaterialTable[MaterialIndexOf(e.white, e.black)].scale, e.scale) << e.white << " v " << e.black;
}

TEST_F(ParamsTest, LoadOfAWrittenFileOverridesTheDriverPair) {
  EndgameDriverPair[0] = 1;
  EndgameDriverPair[1] = 2;
  ASSERT_EQ(WriteValuesFile("values.txt"), 1);
  testing::internal::CaptureStdout();
  LoadEvaluationValues();
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed.find("Error loading"), std::string::npos);
  EXPECT_EQ(EndgameDriverPair[0], 35);
  EXPECT_EQ(EndgameDriverPair[1], 120);
  EXPECT_EQ(KingDangerTable[51], 964);
}

}  // namespace
