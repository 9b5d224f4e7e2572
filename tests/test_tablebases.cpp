// Syzygy tablebases: the index tables, the registry and its directory lists,
// the probes against the shared vectors (and their colour-flipped and
// file-mirrored twins), consistency of WDL and DTZ with a one-ply search,
// the bitbases against the tables, damaged table files and the root filter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/position.h"
#include "search/root.h"
#include "search/searchstack.h"
#include "tablebases/tablebases.h"
#include "tablebases/tbcore.h"
#include "test_support.h"

namespace {

struct ProbeVector {
  std::string fen;
  int wdl, dtz;
  bool checked;
};

std::vector<ProbeVector> LoadVectors() {
  std::vector<ProbeVector> out;
  std::ifstream in(SharedPath("testdata/syzygy-probes.txt"));
  std::string line;
  bool header = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (!header) {
      header = true;
      continue;
    }
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) f.push_back(field);
    if (f.size() < 8) continue;
    ProbeVector v;
    v.fen = f[0];
    v.wdl = f[1].empty() ? 99 : std::stoi(f[1]);
    v.dtz = f[2].empty() ? 9999 : std::stoi(f[2]);
    v.checked = f[7] == "yes";
    out.push_back(v);
  }
  return out;
}

// The file-mirrored twin: files a-h exchanged, the en-passant file too.
std::string MirrorFen(const std::string& fen) {
  std::string placement = fen.substr(0, fen.find(' ')), rest = fen.substr(fen.find(' '));
  std::string out, rank;
  auto flush = [&]() {
    std::string expanded;
    for (char c : rank) expanded += c >= '1' && c <= '8' ? std::string(c - '0', '1') : std::string(1, c);
    std::string rev(expanded.rbegin(), expanded.rend());
    int empty = 0;
    for (char c : rev) {
      if (c == '1') {
        empty++;
        continue;
      }
      if (empty) out += (char)('0' + empty);
      empty = 0;
      out += c;
    }
    if (empty) out += (char)('0' + empty);
    rank.clear();
  };
  for (char c : placement) {
    if (c == '/') {
      flush();
      out += '/';
    } else {
      rank += c;
    }
  }
  flush();
  // The en-passant square is the fourth field.
  std::stringstream ss(rest);
  std::string side, castle, ep;
  ss >> side >> castle >> ep;
  if (ep.size() == 2) ep[0] = (char)('h' - (ep[0] - 'a'));
  return out + " " + side + " " + castle + " " + ep;
}

// Sets a position for probing: the root ply with its in-check flag.
void SetProbePosition(const std::string& fen) {
  SetPosition(fen);
  SearchPly = 0;
  MoveStackTop = 0;
  const int side = thread_board.SideToMove;
  SearchStack[0].in_check = (uint32_t)SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
}

class TablebaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureTablesReady();
    init_tablebases(SharedPath("syzygy").c_str());
  }
};

TEST_F(TablebaseTest, RegistryFindsTheSharedTables) {
  init_tablebases(SharedPath("syzygy").c_str());
  EXPECT_EQ(tb_table_count(), 35);
  EXPECT_EQ(tb_largest, 4);
}

TEST_F(TablebaseTest, VectorsAndTheirTwins) {
  init_tablebases(SharedPath("syzygy").c_str());
  int checked = 0;
  for (const ProbeVector& v : LoadVectors()) {
    for (int twin = 0; twin < 3; twin++) {
      std::string fen = twin == 0 ? v.fen : twin == 1 ? FlipFen(v.fen) : MirrorFen(v.fen);
      SetProbePosition(fen);
      int success_wdl, success_dtz;
      int wdl = probe_wdl(&success_wdl);
      int dtz = v.checked && success_wdl ? probe_dtz(&success_dtz) : 0;
      EXPECT_EQ(MoveStackTop, 0);
      EXPECT_EQ(SearchPly, 0);
      if (!v.checked) {
        // Without its own table a position may still be decided by a
        // capture into a smaller table; otherwise the probe fails.
        if (success_wdl && v.wdl != 99) EXPECT_EQ(wdl, v.wdl) << fen;
        continue;
      }
      ASSERT_NE(success_wdl, 0) << fen;
      if (v.wdl != 99) EXPECT_EQ(wdl, v.wdl) << fen;
      EXPECT_NE(success_dtz, 0) << fen;
      if (v.dtz != 9999) EXPECT_EQ(dtz, v.dtz) << fen;
      if (twin == 0) checked++;
    }
  }
  EXPECT_EQ(checked, 202);
}

}  // namespace
