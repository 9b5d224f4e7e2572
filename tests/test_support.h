// Helpers shared by the unit tests: start-up tables, shared data files, the
// perft and WAC suites, positions from FENs and the evaluation fixture.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "eval/bitbases.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "eval/sigmoid.h"
#include "interface/commands.h"
#include "search/tokens.h"
#include "search/hashtable.h"

#ifndef CORVATINE_SHARED_DIR
#define CORVATINE_SHARED_DIR "../shared"
#endif

// Builds the start-up tables once per test program.
inline void EnsureTablesReady() {
  static bool ready = false;
  if (ready) return;
  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitKnightDistance();
  ready = true;
}

// Builds the board tables and the evaluation tables as start-up does, with the
// compiled defaults (values.txt is looked for in an empty directory), and
// allocates the evaluation cache and the pawn hash.
inline void EnsureEvalReady() {
  static bool ready = false;
  if (ready) return;
  EnsureTablesReady();
  InitKingAttackWeights();
  InitPieceSquareTables();
  InitKnightIntercept();
  InitBitbases();
  char here[4096];
  char empty[] = "/tmp/crv-eval-XXXXXX";
  if (getcwd(here, sizeof here) != nullptr && mkdtemp(empty) != nullptr && chdir(empty) == 0) {
    LoadEvaluationValues();
    if (chdir(here) != 0) std::perror("chdir");
    rmdir(empty);
  }
  InitPawnEndgameSigmoid();
  InitPressureSigmoid();
  InitAttackHorrorSigmoid();
  InitDefendHorrorSigmoid();
  AllocateHashTables();
  ready = true;
}

// Path of a file of the read-only shared data (testdata/, syzygy/, openings/).
inline std::string SharedPath(const std::string& relative) {
  return std::string(CORVATINE_SHARED_DIR) + "/" + relative;
}

struct PerftCase {
  std::string fen;
  std::vector<std::pair<int, unsigned long long>> counts;  // (depth, leaves)
};

// Reads testdata/perft.epd: "FEN ;D1 n ;D2 n ..." per line.
inline std::vector<PerftCase> LoadPerftSuite() {
  std::vector<PerftCase> suite;
  std::ifstream in(SharedPath("testdata/perft.epd"));
  std::string line;
  while (std::getline(in, line)) {
    size_t semi = line.find(';');
    if (semi == std::string::npos) continue;
    PerftCase c;
    c.fen = line.substr(0, semi);
    while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
    size_t pos = semi;
    while (pos != std::string::npos) {
      size_t next = line.find(';', pos + 1);
      std::string field = line.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
      int depth = 0;
      unsigned long long count = 0;
      if (std::sscanf(field.c_str(), " D%d %llu", &depth, &count) == 2) c.counts.push_back({depth, count});
      pos = next;
    }
    suite.push_back(c);
  }
  return suite;
}

// The colour-flipped twin of a FEN: board mirrored top to bottom, colours,
// side to move, castling rights and the en-passant rank exchanged.
inline std::string FlipFen(const std::string& fen) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start < fen.size()) {
    size_t space = fen.find(' ', start);
    if (space == std::string::npos) space = fen.size();
    if (space > start) fields.push_back(fen.substr(start, space - start));
    start = space + 1;
  }
  std::vector<std::string> ranks;
  start = 0;
  const std::string& placement = fields[0];
  while (true) {
    size_t slash = placement.find('/', start);
    ranks.push_back(placement.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  auto swapCase = [](char c) {
    if (c >= 'a' && c <= 'z') return (char)(c - 32);
    if (c >= 'A' && c <= 'Z') return (char)(c + 32);
    return c;
  };
  std::string out;
  for (size_t i = ranks.size(); i-- > 0;) {
    for (char c : ranks[i]) out += swapCase(c);
    if (i) out += '/';
  }
  out += fields.size() > 1 && fields[1] == "w" ? " b" : " w";
  std::string rights;
  if (fields.size() > 2) {
    for (char want : {'k', 'q', 'K', 'Q'})
      if (fields[2].find(want) != std::string::npos) rights += swapCase(want);
  }
  out += " " + (rights.empty() ? std::string("-") : rights);
  std::string ep = fields.size() > 3 ? fields[3] : "-";
  if (ep.size() == 2) ep[1] = ep[1] == '3' ? '6' : '3';
  out += " " + ep;
  for (size_t i = 4; i < fields.size(); i++) out += " " + fields[i];
  return out;
}

// The placement field of a FEN for a board given square by square (a1 first,
// 0 for an empty square, otherwise the FEN letter of the piece).
inline std::string PlacementFen(const char board[64]) {
  std::string fen;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      char c = board[rank * 8 + file];
      if (!c) {
        empty++;
        continue;
      }
      if (empty) fen += (char)('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty) fen += (char)('0' + empty);
    if (rank) fen += '/';
  }
  return fen;
}

// The first four fields of an EPD line: the FEN without its counters.
inline std::string EpdFen(const std::string& line) {
  std::string fen;
  size_t start = 0;
  for (int field = 0; field < 4 && start < line.size(); field++) {
    size_t space = line.find(' ', start);
    if (space == std::string::npos) space = line.size();
    fen += (field ? " " : "") + line.substr(start, space - start);
    start = space + 1;
  }
  return fen;
}

// The positions of the perft suite followed by those of testdata/wac.epd.
inline std::vector<std::string> SuiteFens() {
  std::vector<std::string> fens;
  for (const PerftCase& c : LoadPerftSuite()) fens.push_back(c.fen);
  std::ifstream wac(SharedPath("testdata/wac.epd"));
  std::string line;
  while (std::getline(wac, line))
    if (!line.empty()) fens.push_back(EpdFen(line));
  return fens;
}

// Sets the position; a FEN the engine refuses fails the test.
inline void SetPosition(const std::string& fen) { ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen; }

// The full evaluation for the side to move, as "evl" runs it.
inline int32_t Fresh() {
  RootSide = thread_board.SideToMove;
  int32_t score = 0;
  EvaluatePosition(&score);
  return score;
}

inline int32_t FreshOf(const std::string& fen) {
  SetPosition(fen);
  return Fresh();
}

// Calls visit() at every node of the legal-move tree of the current position
// down to depth plies, each node before its children; stops at the first
// fatal failure.
template <class Visit>
void WalkLegalTree(int depth, Visit visit) {
  visit();
  if (depth == 0 || ::testing::Test::HasFatalFailure()) return;
  int base = MoveStackTop;
  GenerateLegalMoves(base);
  int end = MoveStackTop;
  for (int i = base; i < end; i++) {
    MakeMove(MoveStack[i].move, 1);
    WalkLegalTree(depth - 1, visit);
    UnmakeMove();
    if (::testing::Test::HasFatalFailure()) return;
  }
  MoveStackTop = base;
}

// A fresh directory under /tmp for a "values.txt"; the file and the
// directory are removed when it goes out of scope.
struct ValuesDir {
  char path[32] = "/tmp/crv-values-XXXXXX";
  bool made = mkdtemp(path) != nullptr;
  std::string file = std::string(path) + "/values.txt";
  ~ValuesDir() {
    if (!made) return;
    std::remove(file.c_str());
    rmdir(path);
  }
};

// Loads the evaluation values as start-up does, with dir as the working
// directory; what the load prints goes to *printed, or is swallowed.
inline void LoadValuesIn(const char* dir, std::string* printed = nullptr) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir), 0);
  testing::internal::CaptureStdout();
  LoadEvaluationValues();
  std::string output = testing::internal::GetCapturedStdout();
  if (printed != nullptr) *printed = output;
  ASSERT_EQ(chdir(here), 0);
}

// Runs the console command "reload" with dir as the working directory, so
// that it reads dir's "values.txt"; what it prints is swallowed.
inline void ReloadIn(const char* dir) {
  if (Tokens[0] == nullptr) AllocateTokenBuffers();
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir), 0);
  std::strcpy(CommandLine, "reload");
  testing::internal::CaptureStdout();
  ProcessCommand();
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(chdir(here), 0);
}

// Every global of the parameter set, for snapshots and comparisons.
struct ParamArea {
  const char* name;
  void* data;
  size_t bytes;
};
#define AREA(x) ParamArea{#x, (void*)&(x), sizeof(x)}
inline const std::vector<ParamArea>& AllAreas() {
  static const std::vector<ParamArea> areas = {
      AREA(DerivedParamsA), AREA(MaterialOffsets), AREA(DerivedQuadW), AREA(DerivedQuadX), AREA(DerivedQuadY),
      AREA(DerivedQuadZ), AREA(EvalParamsA), AREA(EndgameDriverPair), AREA(EvalParamsB), AREA(EvalParamsB2),
      AREA(EvalParamsC), AREA(QueenShelterMg), AREA(EvalParamsD), AREA(EndingUnitThresholds), AREA(DerivedParamsE),
      AREA(MaterialPawnTable), AREA(DerivedParamsF), AREA(DerivedParamsF2), AREA(EvalCurveA), AREA(EvalCurveB),
      AREA(EvalCurveC), AREA(UnreadBlock24), AREA(ShelterCodeTable), AREA(PawnParams), AREA(PieceSquareParams),
      AREA(KingDangerTable), AREA(ShelterScaleTable), AREA(ShelterPenaltyTable), AREA(EvalParamsN),
      AREA(PawnCountScale), AREA(UnreadBlock40), AREA(UnreadBlock41), AREA(RookEndingFiles), AREA(PruneCounts),
      AREA(PruneTotals), AREA(EndgameClassTable), AREA(KingDistanceClass), AREA(DevelopmentPawnsMg),
      AREA(KingParamsA), AREA(DevelopmentPawnsEg), AREA(KingParamsB), AREA(PressureSigmoidCentre),
      AREA(KingParamsC), AREA(KingParamsD), AREA(SigmoidAndPhaseParams), AREA(PawnPhaseWeightA),
      AREA(PhaseWeightsB), AREA(PawnPhaseWeightB), AREA(EvalParamsO), AREA(KingAttackWeights),
      AREA(PassedPawnParamsA), AREA(PassedOwnKing), AREA(PassedEnemyKing), AREA(PassedKingRace),
      AREA(PassedCodeMg), AREA(PassedCodeEg), AREA(PassedEdgeMg), AREA(PassedPawnParamsQ), AREA(EvalParamsP),
      AREA(UnreadBlock66), AREA(HalfSquareTables), AREA(PackPairs9), AREA(PackPairs17), AREA(MirroredFileTables),
      AREA(MirroredTables64), AREA(EightEntryTables), AREA(KpkWinScore), AREA(EndgameParamsA),
      AREA(QueenShelterEg), AREA(QueenShelterPatternScale), AREA(AttackPatternScale), AREA(DevelopmentIndex),
      AREA(KpkWinValues), AREA(PassedMaterialMg), AREA(PassedMaterialEg), AREA(WeakPawnUnits), AREA(WeakPawnRank),
      AREA(WeakPawnKing),
  };
  return areas;
}
#undef AREA

using Snapshot = std::vector<std::vector<char>>;

// True when the named area of the parameters in force differs from s.
inline bool Differs(const Snapshot& s, const std::string& name) {
  for (size_t i = 0; i < AllAreas().size(); i++)
    if (name == AllAreas()[i].name) return memcmp(AllAreas()[i].data, s[i].data(), s[i].size()) != 0;
  ADD_FAILURE() << "no area " << name;
  return true;
}

inline Snapshot TakeSnapshot() {
  Snapshot s;
  for (const ParamArea& a : AllAreas()) s.emplace_back((char*)a.data, (char*)a.data + a.bytes);
  return s;
}

inline void RestoreSnapshot(const Snapshot& s) {
  for (size_t i = 0; i < AllAreas().size(); i++) memcpy(AllAreas()[i].data, s[i].data(), s[i].size());
}

#ifndef CORVATINE_SOURCE_DIR
#define CORVATINE_SOURCE_DIR ".."
#endif

// The engine's playing parameter set, the "values.txt" shipped in the source
// tree, in force for the lifetime of this record; afterwards the parameters
// in force before (normally the compiled defaults) and their derived tables
// come back.
struct ShippedValuesInForce {
  Snapshot before = TakeSnapshot();
  ShippedValuesInForce() {
    ValuesDir dir;
    std::ifstream in(std::string(CORVATINE_SOURCE_DIR) + "/values.txt", std::ios::binary);
    std::ofstream out(dir.file, std::ios::binary);
    out << in.rdbuf();
    out.close();
    EXPECT_TRUE(in.good() || in.eof()) << "no shipped values.txt";
    LoadValuesIn(dir.path);
  }
  ~ShippedValuesInForce() {
    RestoreSnapshot(before);
    ValuesDir empty;
    LoadValuesIn(empty.path);
  }
};

// Evaluation tests: the evaluation tables built once, an open lazy window
// and an empty evaluation cache for every test.
class EvalTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureEvalReady(); }
  void SetUp() override {
    LazyEvalLow = -INFINITY_SCORE;
    LazyEvalHigh = INFINITY_SCORE;
    ClearEvalHash();
  }
  void TearDown() override {
    LazyEvalLow = -INFINITY_SCORE;
    LazyEvalHigh = INFINITY_SCORE;
  }
};
