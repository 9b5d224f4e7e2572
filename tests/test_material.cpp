// Packed pairs, piece-square tables, prune rates and the material table.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/pst.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "test_support.h"

namespace {

// Rebuilds every table of the material load from the parameters in force,
// with empty material matrices and a neutral scale matrix.
void BuildMaterialTables() {
  static std::vector<int32_t> matrix54, table2, table3, matrix486, scale;
  matrix54.assign(54 * 54, 0);
  table2.assign(54 * 54, 0);
  table3.assign(54 * 54, 0);
  matrix486.assign(486 * 486, 0);
  scale.assign(486 * 486, 256);
  InitEvaluationTables(matrix54.data(), table2.data(), table3.data(), matrix486.data(), scale.data());
}

// Keeps a copy of a parameter array and puts it back when it goes.
template <typename T>
class Saved {
 public:
  Saved(T* data, size_t count) : data_(data), copy_(data, data + count) {}
  ~Saved() { std::memcpy(data_, copy_.data(), copy_.size() * sizeof(T)); }

 private:
  T* data_;
  std::vector<T> copy_;
};

class Material : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureTablesReady();
    InitPieceSquareTables();
    BuildMaterialTables();
  }
  void TearDown() override { BuildMaterialTables(); }

  static void SetFen(const std::string& fen) { ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen; }
  static const MaterialEntry& Entry() { return MaterialTable[thread_board.MaterialIndex]; }
  // Material balance of the position from WHITE's side with the entry's term.
  static int WhiteMaterial() {
    return thread_board.Material[WHITE] - thread_board.Material[BLACK] - Entry().material;
  }
};

int Digit(int index, int weight, int base) { return index / weight % base; }

// The index of the same material with the colours exchanged.
int SwapColours(int index) {
  static const int weights[5][2] = {{1, 3}, {9, 27}, {81, 243}, {729, 2187}, {6561, 59049}};
  int swapped = 0;
  for (int k = 0; k < 5; k++) {
    int base = k == 4 ? 9 : 3;
    swapped += Digit(index, weights[k][0], base) * weights[k][1] + Digit(index, weights[k][1], base) * weights[k][0];
  }
  return swapped;
}

TEST(PackedPair, PacksAndSplitsBothHalves) {
  struct Case {
    int32_t mg, eg, packed;
  } cases[] = {
      {3, -2, 196606}, {0, 0, 0}, {-1, -1, -65537}, {5, 7, 327687}, {-5, 7, -327673},
      {32767, 32767, 2147450879}, {-32768, 0, INT32_MIN}, {0, -32768, -32768}, {1, -32768, 32768},
  };
  for (const Case& c : cases) {
    int32_t packed = PackPair(c.mg, c.eg);
    EXPECT_EQ(packed, c.packed) << c.mg << "/" << c.eg;
    EXPECT_EQ(PackedMg(packed), c.mg) << c.packed;
    EXPECT_EQ(PackedEg(packed), c.eg) << c.packed;
    EXPECT_EQ(PackPlain(c.mg), PackPair(c.mg, c.mg));
  }
  // Sums and differences of pairs split into sums and differences of halves.
  int32_t sum = PackedAdd(PackPair(3, -2), PackPair(-10, 40));
  EXPECT_EQ(PackedMg(sum), -7);
  EXPECT_EQ(PackedEg(sum), 38);
  int32_t difference = PackedSub(PackPair(3, -2), PackPair(-10, 40));
  EXPECT_EQ(PackedMg(difference), 13);
  EXPECT_EQ(PackedEg(difference), -42);
}

TEST(PruneRates, PerMilleRatesByClass) {
  Saved<int64_t> counts(&PruneCounts[0][0][0][0], sizeof PruneCounts / sizeof(int64_t));
  Saved<int64_t> totals(&PruneTotals[0][0][0][0], sizeof PruneTotals / sizeof(int64_t));
  std::memset(PruneCounts, 0, sizeof PruneCounts);
  std::memset(PruneTotals, 0, sizeof PruneTotals);
  auto set = [](int t, int code, int from, int to, int64_t n, int64_t d) {
    PruneCounts[t][code][from][to] = n;
    PruneTotals[t][code][from][to] = d;
  };
  set(0, QUEEN, E2, E4, 1, 3);                // 333
  set(0, QUEEN, A1, A2, 5, 0);                // no statistics: 0
  set(0, ROOK, H1, H5, -1, 3);                // a negative numerator stays negative
  set(1, ROOK, C3, C4, LLONG_MAX, 1);         // saturated, no overflow
  set(1, ROOK, C5, C6, LLONG_MIN, -1);
  set(1, ROOK, D5, D6, LLONG_MAX, 1LL << 50);
  set(0, KING, B1, C1, 0, 10);                // king 0, knight 400: class 0 holds 400
  set(0, KNIGHT, B1, C1, 4, 10);
  set(0, KING, G1, F3, 1, 4);                 // king 250 comes first and stays
  set(0, KNIGHT, G1, F3, 4, 10);
  set(1, PAWN, D2, D4, 1, 2);                 // pawn and bishop share class 1
  set(1, BISHOP, D2, D4, 1, 10);
  set(1, BISHOP, F1, C4, 1, 10);
  InitPruneRates();

  struct Case {
    int table, code, from, to, mirrored, rate;
  } cases[] = {
      {0, QUEEN, E2, E4, 0, 333},
      {0, QUEEN, E2 ^ 56, E4 ^ 56, 1, 333},    // the mirrored half reads the flipped squares
      {0, QUEEN, E2, E4, 1, 0},
      {1, QUEEN, E2, E4, 0, 0},                // selector 0 fills table 0 only
      {0, QUEEN, A1, A2, 0, 0},
      {0, ROOK, H1, H5, 0, -333},
      {1, ROOK, C3, C4, 0, INT32_MAX},
      {1, ROOK, C5, C6, 0, INT32_MAX},
      {1, ROOK, D5, D6, 0, 8191999},
      {0, KNIGHT, B1, C1, 0, 400},
      {0, KING, G1, F3, 0, 250},
      {1, PAWN, D2, D4, 0, 500},
      {1, PAWN, F1, C4, 0, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PruneRates[c.table][HistoryClass[c.code]][c.to][c.from][c.mirrored], c.rate)
        << c.table << " " << c.code << " " << c.from << "-" << c.to << " " << c.mirrored;
  std::memset(PruneCounts, 0, sizeof PruneCounts);
  std::memset(PruneTotals, 0, sizeof PruneTotals);
  InitPruneRates();
  EXPECT_EQ(PruneRates[0][HistoryClass[QUEEN]][E4][E2][0], 0);
}

TEST_F(Material, PieceSquareSumIsColourSymmetric) {
  for (int code : {KING, KNIGHT, PAWN, ROOK, BISHOP, QUEEN})
    for (int s = 0; s < 64; s++) {
      EXPECT_EQ(PieceSquareTables[code * 128 + WHITE * 64 + s], PieceSquareTables[code * 128 + BLACK * 64 + (s ^ 56)]);
      EXPECT_EQ(PackPair(PieceSquareMg[code][WHITE][s], PieceSquareEg[code][WHITE][s]),
                PieceSquareTables[code * 128 + WHITE * 64 + s]);
    }
  // A WHITE pawn on e2 and a BLACK pawn on e7 cancel, and so does every
  // position with its colour-flipped twin.
  SetFen("4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1");
  EXPECT_EQ(thread_board.PstSum, 0);
  SetFen("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  int32_t whitePawn = thread_board.PstSum;
  SetFen("4k3/4p3/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(thread_board.PstSum, -whitePawn);
  EXPECT_NE(whitePawn, 0);
  for (const PerftCase& c : LoadPerftSuite()) {
    SetFen(c.fen);
    int32_t sum = thread_board.PstSum;
    SetFen(FlipFen(c.fen));
    EXPECT_EQ(thread_board.PstSum, -sum) << c.fen;
  }
}

// The compiled base tables as they are before any parameter load: taken
// while the test program starts, before a test can load parameters.
std::vector<int16_t> SnapshotBaseTables() {
  std::vector<int16_t> tables;
  for (int code : {KING, KNIGHT, PAWN, ROOK, BISHOP, QUEEN}) {
    tables.insert(tables.end(), PieceSquareBaseMg[code], PieceSquareBaseMg[code] + 64);
    tables.insert(tables.end(), PieceSquareBaseEg[code], PieceSquareBaseEg[code] + 64);
  }
  return tables;
}
const std::vector<int16_t> CompiledBaseTables = SnapshotBaseTables();

TEST_F(Material, PieceSquareDefaultsRewardSoundPlacement) {
  // The compiled base tables are exactly what a load of the defaults writes,
  // so the packed tables built before the first load stay right after it.
  LoadPieceSquareBases();
  EXPECT_EQ(SnapshotBaseTables(), CompiledBaseTables);
  // The rook endgame table (fourth code above, second half) starts all 0.
  for (int sq = 0; sq < 64; sq++) EXPECT_EQ(CompiledBaseTables[3 * 128 + 64 + sq], 0) << sq;

  auto mg = [](int code, int s) { return PieceSquareMg[code][WHITE][s]; };
  auto eg = [](int code, int s) { return PieceSquareEg[code][WHITE][s]; };
  struct Better {
    const char* what;
    int good, bad;
  } cases[] = {
      {"pawn e7 over e2 mg", mg(PAWN, E7), mg(PAWN, E2)}, {"pawn e7 over e2 eg", eg(PAWN, E7), eg(PAWN, E2)},
      {"pawn e4 over e2 mg", mg(PAWN, E4), mg(PAWN, E2)}, {"pawn b6 over b3 eg", eg(PAWN, B6), eg(PAWN, B3)},
      {"knight e4 over a1 mg", mg(KNIGHT, E4), mg(KNIGHT, A1)}, {"knight f3 over g1 mg", mg(KNIGHT, F3), mg(KNIGHT, G1)},
      {"knight d5 over h4 eg", eg(KNIGHT, D5), eg(KNIGHT, H4)}, {"bishop d4 over c1 mg", mg(BISHOP, D4), mg(BISHOP, C1)},
      {"queen e5 over a8 eg", eg(QUEEN, E5), eg(QUEEN, A8)},  {"king g1 over e1 mg", mg(KING, G1), mg(KING, E1)},
      {"king g1 over g3 mg", mg(KING, G1), mg(KING, G3)},     {"king e4 over g1 eg", eg(KING, E4), eg(KING, G1)},
      {"king d5 over a8 eg", eg(KING, D5), eg(KING, A8)},     {"rook d7 over d3 mg", mg(ROOK, D7), mg(ROOK, D3)},
  };
  for (const Better& c : cases) EXPECT_GT(c.good, c.bad) << c.what;
  // King shelter base: none behind castled pawns, more in the centre, by
  // WHITE's squares with the files mirrored.
  EXPECT_EQ(KingSquareShelter[G1], 0);
  EXPECT_EQ(KingSquareShelter[B1], 0);
  EXPECT_GT(KingSquareShelter[E1], KingSquareShelter[G1]);
  EXPECT_GT(KingSquareShelter[E4], KingSquareShelter[E2]);
  for (int s = 0; s < 64; s++) EXPECT_EQ(KingSquareShelter[s], KingSquareShelter[s ^ 7]) << s;
}

TEST_F(Material, EqualMaterialAndBareKings) {
  struct Case {
    const char* fen;
    int phase;
  } cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0},
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 256},
      {"4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1", 256},
  };
  for (const Case& c : cases) {
    SetFen(c.fen);
    const MaterialEntry& e = Entry();
    EXPECT_EQ(e.material, 0) << c.fen;
    EXPECT_EQ(e.current_phase, c.phase) << c.fen;
    EXPECT_EQ(e.white_phase, c.phase) << c.fen;
    EXPECT_EQ(e.black_phase, c.phase) << c.fen;
    EXPECT_EQ(e.scale, 256) << c.fen;
  }
  SetFen(cases[0].fen);
  EXPECT_EQ(Entry().endgame_class[WHITE], -1);
  EXPECT_EQ(Entry().flags[WHITE], 0);
  SetFen(cases[1].fen);
  EXPECT_EQ(Entry().flags[WHITE], MATERIAL_FLAG_ENDING | MATERIAL_FLAG_CANNOT_WIN);
  EXPECT_EQ(Entry().flags[BLACK], MATERIAL_FLAG_ENDING | MATERIAL_FLAG_CANNOT_WIN);
}

TEST_F(Material, MaterialOutsideTheTable) {
  SetFen("4k3/8/8/8/8/8/8/NNN1K3 w - - 0 1");
  ASSERT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);
  const MaterialEntry& fallback = Entry();
  EXPECT_EQ(fallback.current_phase, -1);
  EXPECT_EQ(fallback.white_phase, -1);
  EXPECT_EQ(fallback.material, 0);
  EXPECT_EQ(fallback.endgame_class[WHITE], -1);
  EXPECT_EQ(fallback.endgame_class[BLACK], -1);
  EXPECT_EQ(fallback.flags[WHITE] | fallback.flags[BLACK], 0);
  // A piece lead with 9 units against none: the full imbalance E, no damping.
  EXPECT_EQ(EvaluateMaterial(), -(120 + 900));
  ComputePhase();
  EXPECT_EQ(thread_board.white_phase, 192);
  EXPECT_EQ(thread_board.black_phase, 256);
  EXPECT_EQ(thread_board.current_phase, 224);
  EXPECT_EQ(thread_board.MaterialWeightSums[0], 90);
  EXPECT_EQ(thread_board.MaterialWeightSums[1], 0);
}

// The imbalance rules, each as d from WHITE's side: EvaluateMaterial gives
// -(d + Material[WHITE] - Material[BLACK]).
TEST_F(Material, ImbalanceRules) {
  struct Case {
    const char* what;
    const char* fen;
    int d;
  } cases[] = {
      {"K+R+P v K+R: the rook terms cancel", "r3k3/8/8/8/8/8/4P3/R3K3 w - - 0 1", 0},
      {"two rooks v one: E and the rook terms", "r3k3/8/8/8/8/8/4P3/R3K2R w - - 0 1", 120 + 2 * 15 - 15},
      {"rook v bishop: Z1 and the rook term", "4kb2/ppp5/8/8/8/8/PPP5/R3K3 w - - 0 1", 30 + 5},
      {"lone knight, no pawns: quartered", "4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", 30 / 4},
      {"lone knight, one pawn: halved", "4k3/8/8/8/8/8/P7/1N2K3 w - - 0 1", 60 / 2},
      {"lone knight, two pawns: four fifths", "4k3/8/8/8/8/8/PP6/1N2K3 w - - 0 1", 100 * 4 / 5},
      {"lone knight, three pawns", "4k3/8/8/8/8/8/PPP5/1N2K3 w - - 0 1", 110},
      {"minor lead without pawns: quartered", "2b1k3/pppp4/8/8/8/8/8/1NB1K3 w - - 0 1", 120 / 4},
      {"minor lead with pawns", "2b1k3/pppp4/8/8/8/8/PPP5/1NB1K3 w - - 0 1", 120},
      {"queen v two rooks", "r3k2r/8/8/8/8/8/8/3QK3 w - - 0 1", 60 - 2 * 15},
      {"queen and knight v queen and bishop", "2bqk3/ppp5/8/8/8/8/PPP5/1N1QK3 w - - 0 1", 15 + 15},
  };
  for (const Case& c : cases) {
    SetFen(c.fen);
    const ThreadBoard& b = thread_board;
    EXPECT_EQ(-EvaluateMaterial() - (b.Material[WHITE] - b.Material[BLACK]), c.d) << c.what;
    SetFen(FlipFen(c.fen));
    EXPECT_EQ(-EvaluateMaterial() - (b.Material[WHITE] - b.Material[BLACK]), -c.d) << c.what << " (flipped)";
  }
  // The rook term follows MaterialPawnTable by the pawns on the board.
  Saved<int32_t> saved(MaterialPawnTable, 17);
  MaterialPawnTable[3] = 40;
  SetFen("4k3/ppp5/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_EQ(EvaluateMaterial(), -(120 + 40 + 500 - 300));
}

// With the piece extras and the extra-pawn values neutral, every entry holds
// exactly the imbalance rules that EvaluateMaterial runs on the board.
TEST_F(Material, TableAgreesWithTheRulesAndThePhase) {
  Saved<int32_t> a(DerivedParamsA, 8);
  Saved<int32_t> f(DerivedParamsF, 24);
  std::memset(DerivedParamsA, 0, sizeof DerivedParamsA);
  for (int i = 9; i < 13; i++) DerivedParamsF[i] = 100;
  BuildMaterialTables();
  std::vector<std::string> fens;
  for (const PerftCase& c : LoadPerftSuite()) fens.push_back(c.fen);
  for (const char* fen : {"r3k3/8/8/8/8/8/4P3/R3K2R w - - 0 1", "2b1k3/pppp4/8/8/8/8/8/1NB1K3 w - - 0 1",
                          "2bqk3/ppp5/8/8/8/8/PPP5/1N1QK3 w - - 0 1", "r3k2r/8/8/8/8/8/8/3QK3 w - - 0 1",
                          "1q2k3/8/8/8/8/8/8/2NQK3 w - - 0 1", "4k3/8/8/8/8/8/8/QQ2K3 b - - 0 1"})
    fens.push_back(fen);
  for (const std::string& fen : fens) {
    SetFen(fen);
    if (thread_board.MaterialIndex == MATERIAL_OUTSIDE) continue;
    const ThreadBoard& b = thread_board;
    const MaterialEntry e = Entry();
    EXPECT_EQ(e.material, EvaluateMaterial() + b.Material[WHITE] - b.Material[BLACK]) << fen;
    ComputePhase();
    EXPECT_EQ(e.current_phase, b.current_phase) << fen;
    EXPECT_EQ(e.white_phase, b.white_phase) << fen;
    EXPECT_EQ(e.black_phase, b.black_phase) << fen;
    for (int i = 0; i < 4; i++) EXPECT_EQ(e.MaterialWeightSums[i], b.MaterialWeightSums[i]) << fen;
  }
}

// Black's queen with a knight and no rooks on the board earns the
// knight-with-queen term, White's in the same case does not.
bool QueenKnightAsymmetry(int index) {
  int wq = Digit(index, 1, 3), bq = Digit(index, 3, 3), wr = Digit(index, 9, 3), br = Digit(index, 27, 3);
  int wn = Digit(index, 729, 3), bn = Digit(index, 2187, 3);
  return wr == 0 && br == 0 && (wq > 0) != (bq > 0) && (wq > 0 ? wn : bn) > 0;
}

TEST_F(Material, WholeTableIsConsistentAndColourSymmetric) {
  int asymmetric = 0;
  for (int index = 0; index < MATERIAL_OUTSIDE; index++) {
    const MaterialEntry& e = MaterialTable[index];
    const MaterialEntry& s = MaterialTable[SwapColours(index)];
    ASSERT_EQ(e.endgame_class[WHITE] == -1, e.endgame_class[BLACK] == -1) << index;
    ASSERT_GE(e.endgame_class[WHITE], -1) << index;
    ASSERT_LT(e.endgame_class[WHITE], 114) << index;
    ASSERT_LT(e.endgame_class[BLACK], 114) << index;
    ASSERT_LE(e.material, 16000) << index;
    ASSERT_GE(e.material, -16000) << index;
    ASSERT_GE(e.current_phase, 0);
    ASSERT_LE(e.current_phase, 256);
    ASSERT_EQ(e.current_phase, s.current_phase) << index;
    ASSERT_EQ(e.white_phase, s.black_phase) << index;
    ASSERT_EQ(e.black_phase, s.white_phase) << index;
    ASSERT_EQ(e.endgame_class[WHITE], s.endgame_class[BLACK]) << index;
    ASSERT_EQ(e.flags[WHITE], s.flags[BLACK]) << index;
    ASSERT_EQ(e.MaterialWeightSums[0], s.MaterialWeightSums[1]) << index;
    ASSERT_EQ(e.MaterialWeightSums[2], s.MaterialWeightSums[3]) << index;
    if (e.material != -s.material) {
      ASSERT_TRUE(QueenKnightAsymmetry(index)) << index << ": " << e.material << " v " << s.material;
      asymmetric++;
    }
  }
  EXPECT_GT(asymmetric, 0);
}

// Values from WHITE's side of one side's extra material, everything else equal.
TEST_F(Material, MaterialTermsMakeSense) {
  struct Case {
    const char* what;
    const char* fen;
    int low, high;
  } cases[] = {
      {"queen up", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 850, 1100},
      {"rook up", "rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQq - 0 1", 450, 650},
      {"knight up", "r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 320, 480},
      {"bishop up (and the pair)", "rn1qkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 350, 520},
      {"pawn up", "rnbqkbnr/ppppppp1/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 90, 130},
      {"pawn up in a pawn ending", "4k3/ppp5/8/8/8/8/PPPP4/4K3 w - - 0 1", 100, 140},
      {"exchange up", "rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/R1BQKBNR w KQq - 0 1", 150, 300},
      {"bishop pair", "rnbqk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKB1R w KQkq - 0 1", 20, 80},
      {"bishop pair in an ending", "4kbn1/pppp4/8/8/8/8/PPPP4/2B1KB2 w - - 0 1", 30, 100},
      {"knight for three pawns", "r1bqkbnr/pppppppp/8/8/8/8/PPPPP3/RNBQKBNR w KQkq - 0 1", 50, 200},
      {"knight for three pawns in an ending", "4k3/ppp5/8/8/8/8/8/1N2K3 w - - 0 1", -60, 60},
  };
  for (const Case& c : cases) {
    SetFen(c.fen);
    EXPECT_GE(WhiteMaterial(), c.low) << c.what;
    EXPECT_LE(WhiteMaterial(), c.high) << c.what;
    SetFen(FlipFen(c.fen));
    EXPECT_GE(-WhiteMaterial(), c.low) << c.what << " (flipped)";
    EXPECT_LE(-WhiteMaterial(), c.high) << c.what << " (flipped)";
  }
  // A knight and a bishop are a little over 300 and close to each other.
  SetFen("1nb1k3/pppp4/8/8/8/8/PPPP4/1NN1K3 w - - 0 1");
  int knightForBishop = WhiteMaterial();
  EXPECT_GE(knightForBishop, -20);
  EXPECT_LE(knightForBishop, 20);
}

TEST_F(Material, ClassesAndFlags) {
  struct Case {
    const char* fen;
    bool classes;
    int whiteFlags, blackFlags;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", true, 3, 3},           // K+N v K: neither can win
      {"4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1", true, 3, 3},          // two knights cannot win
      {"4k3/8/8/8/8/8/8/1NB1K3 w - - 0 1", true, 2, 3},          // B+N can
      {"4k3/p7/8/8/8/8/8/1N2K3 w - - 0 1", true, 3, 2},          // the pawn can
      {"r3k3/8/8/8/8/8/4P3/R3K3 w - - 0 1", true, 2, 2},         // rook ending
      {"3qk3/8/8/8/8/8/8/3QK3 w - - 0 1", true, 2, 2},           // a lone queen is no king attack
      {"r2qk3/8/8/8/8/8/8/R2QK3 w - - 0 1", false, 0, 0},        // queen and rook is
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", false, 0, 0},
  };
  for (const Case& c : cases) {
    SetFen(c.fen);
    const MaterialEntry& e = Entry();
    EXPECT_EQ(e.endgame_class[WHITE] >= 0, c.classes) << c.fen;
    EXPECT_EQ(e.endgame_class[BLACK] >= 0, c.classes) << c.fen;
    EXPECT_EQ(e.flags[WHITE], c.whiteFlags) << c.fen;
    EXPECT_EQ(e.flags[BLACK], c.blackFlags) << c.fen;
  }
}

// Parameters at the ends of their range give saturated entries, never an
// overflow (the sanitizer build reports any).
TEST_F(Material, ExtremeParametersStayInRange) {
  Saved<int32_t> a(DerivedParamsA, 8), f(DerivedParamsF, 24), e(DerivedParamsE, 9), c(EvalParamsC, 16);
  Saved<int32_t> m(MaterialOffsets, 12), p(MaterialPawnTable, 17), s(PieceSquareParams, 424);
  Saved<int32_t> qx(DerivedQuadX, 4), qz(DerivedQuadZ, 4);
  for (int i = 0; i < 8; i++) DerivedParamsA[i] = i & 1 ? INT32_MIN : INT32_MAX;
  for (int i = 0; i < 24; i++) DerivedParamsF[i] = INT32_MAX;
  for (int i = 0; i < 9; i++) DerivedParamsE[i] = INT32_MIN;
  for (int i = 0; i < 16; i++) EvalParamsC[i] = INT32_MAX;
  for (int i = 0; i < 12; i++) MaterialOffsets[i] = INT32_MAX;
  for (int i = 0; i < 17; i++) MaterialPawnTable[i] = INT32_MIN;
  for (int i = 40; i < 424; i++) PieceSquareParams[i] = i & 1 ? INT32_MAX : INT32_MIN;
  for (int i = 0; i < 4; i++) DerivedQuadX[i] = DerivedQuadZ[i] = INT32_MAX;
  std::vector<int32_t> matrix54(54 * 54), table2(54 * 54), table3(54 * 54), matrix486(486 * 486), scale(486 * 486);
  for (size_t i = 0; i < matrix54.size(); i++) matrix54[i] = i & 1 ? INT32_MIN : INT32_MAX;
  for (size_t i = 0; i < matrix486.size(); i++) matrix486[i] = i % 3 ? INT32_MIN : INT32_MAX;
  for (size_t i = 0; i < scale.size(); i++) scale[i] = INT32_MAX;
  InitEvaluationTables(matrix54.data(), table2.data(), table3.data(), matrix486.data(), scale.data());
  for (int index = 0; index < MATERIAL_OUTSIDE; index++) {
    ASSERT_LE(MaterialTable[index].material, 16000);
    ASSERT_GE(MaterialTable[index].material, -16000);
  }
  for (int sq = 0; sq < 64; sq++) ASSERT_EQ(std::abs(PstPawnMg[sq]), 32767) << sq;
  SetFen("4k3/8/8/8/8/8/8/NNN1K3 w - - 0 1");
  EXPECT_GE(EvaluateMaterial(), -30000);
}

Move MoveOf(int from, int to, int promotion = 0) {
  int piece = (int)thread_board.Board[from], captured = (int)thread_board.Board[to];
  return MakeMoveWord(from, to, piece, captured, promotion);
}

TEST_F(Material, EstimateMoveEval) {
  struct Case {
    const char* what;
    const char* fen;
    int from, to, promotion, gain;
  } cases[] = {
      // Piece-square change only, phase 0: pawn e2 +1 to e4 +24.
      {"quiet pawn push", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", E2, E4, 0, 23},
      // Passed pawn on its fourth rank 10, few enemy units 25, endgame squares e2 2 to e4 11.
      {"passer push in a pawn ending", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", E2, E4, 0, 44},
      // Promotion 900, few enemy units 25, queen 160, queen a8 -20 less pawn a7 51.
      {"promotion", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1", A7, A8, QUEEN, 1014},
  };
  for (const Case& c : cases) {
    SetFen(c.fen);
    EXPECT_EQ(EstimateMoveEval(MoveOf(c.from, c.to, c.promotion)), c.gain) << c.what;
    SetFen(FlipFen(c.fen));
    EXPECT_EQ(EstimateMoveEval(MoveOf(c.from ^ 56, c.to ^ 56, c.promotion)), c.gain) << c.what << " (flipped)";
  }
  // The phase and ENDING flags come from the material after the capture:
  // taking the queen leaves a rook ending.
  SetFen("r3k3/8/8/8/8/8/q7/R3K3 w - - 0 1");
  EXPECT_EQ(Entry().flags[WHITE] & MATERIAL_FLAG_ENDING, 0);
  thread_eval_info.ENDING[WHITE] = thread_eval_info.ENDING[BLACK] = 0;
  int32_t gain = EstimateMoveEval(MoveOf(A1, A2));
  EXPECT_EQ(thread_board.current_phase, 213);
  EXPECT_EQ(thread_board.white_phase, 213);
  EXPECT_EQ(thread_eval_info.ENDING[WHITE], 1);
  EXPECT_EQ(thread_eval_info.ENDING[BLACK], 1);
  EXPECT_GT(gain, 900);
  EXPECT_LT(gain, 1100);
  // Material outside the table: the knight 300, the imbalance E 120, few
  // enemy units 25, and the piece-square change blended by the phase of the
  // board before the capture (192): knight a2 -15/-20, rook a1-a2 +12/0.
  SetFen("4k3/8/8/8/8/8/n7/RNNNK3 w - - 0 1");
  ASSERT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);
  EXPECT_EQ(EstimateMoveEval(MoveOf(A1, A2)), 300 + 120 + 25 + ((-3 * 64 - 20 * 192) >> 8));
  EXPECT_EQ(thread_board.current_phase, 192);
  // Captures in both colours of every suite position estimate alike.
  for (const PerftCase& c : LoadPerftSuite()) {
    SetFen(c.fen);
    std::vector<Move> moves;
    for (int from = 0; from < 64; from++) {
      if (!thread_board.Board[from] || !(thread_board.Colour[thread_board.SideToMove] & SquareBit(from))) continue;
      for (int to = 0; to < 64; to++)
        if (thread_board.Board[to] && (thread_board.Colour[ChangeSide(thread_board.SideToMove)] & SquareBit(to)) &&
            thread_board.Board[to] != KING)
          moves.push_back(MoveOf(from, to));
    }
    int index = thread_board.MaterialIndex;
    if (index != MATERIAL_OUTSIDE && QueenKnightAsymmetry(index)) continue;
    std::vector<int32_t> gains;
    for (Move m : moves) gains.push_back(EstimateMoveEval(m));
    SetFen(FlipFen(c.fen));
    for (size_t i = 0; i < moves.size(); i++) {
      Move m = moves[i];
      Move flipped = MakeMoveWord(MoveFrom(m) ^ 56, MoveTo(m) ^ 56, MovePiece(m), MoveCaptured(m));
      EXPECT_EQ(EstimateMoveEval(flipped), gains[i]) << c.fen << " " << MoveFrom(m) << "-" << MoveTo(m);
    }
  }
}

}  // namespace
