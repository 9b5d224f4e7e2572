// Syzygy tablebases: the index tables, the registry and its directory lists,
// the probes against the shared vectors (and their colour-flipped and
// file-mirrored twins), consistency of WDL and DTZ with a one-ply search,
// the bitbases against the tables, damaged table files and the root filter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
#include "board/searchstack.h"
#include "eval/bitbases.h"
#include "search/root.h"
#include "tablebases/tablebases.h"
#include "tablebases/tbdecompress.h"
#include "tablebases/tbindex.h"
#include "tablebases/tbregistry.h"
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
        if (success_wdl && v.wdl != 99) {
          EXPECT_EQ(wdl, v.wdl) << fen;
        }
        continue;
      }
      ASSERT_NE(success_wdl, 0) << fen;
      if (v.wdl != 99) {
        EXPECT_EQ(wdl, v.wdl) << fen;
      }
      EXPECT_NE(success_dtz, 0) << fen;
      if (v.dtz != 9999) {
        EXPECT_EQ(dtz, v.dtz) << fen;
      }
      if (twin == 0) checked++;
    }
  }
  EXPECT_EQ(checked, 202);
}


// --- Index tables -------------------------------------------------------

TEST_F(TablebaseTest, IndexTablesFollowTheirRules) {
  EXPECT_EQ(binomial[0][17], 17);
  EXPECT_EQ(binomial[4][63], 63 * 62 * 61 * 60 * 59 / 120);
  for (int k = 0; k < 5; k++) EXPECT_EQ(binomial[k][k], 0);
  for (int f = 0; f < 4; f++) EXPECT_EQ(pawn_factor[0][f], 6);
  const int rises[5] = {47, 45, 43, 41, 39};
  for (int j = 0; j < 5; j++) EXPECT_EQ(pawn_index[1][j + 1] - pawn_index[1][j], rises[j]);
}

// --- Registry and directory lists ---------------------------------------

std::string MakeTempDir() {
  char name[] = "/tmp/crv-tb-XXXXXX";
  EXPECT_NE(mkdtemp(name), nullptr);
  return name;
}

void CopyFile(const std::string& from, const std::string& to, long keep = -1) {
  std::ifstream in(from, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (keep >= 0 && keep < (long)data.size()) data.resize(keep);
  std::ofstream out(to, std::ios::binary);
  out.write(data.data(), (std::streamsize)data.size());
}

void RemoveTree(const std::string& dir) {
  std::string command = "rm -rf '" + dir + "'";
  EXPECT_EQ(system(command.c_str()), 0);
}

// Runs init_tablebases and gives what it printed.
std::string InitCaptured(const std::string& path) {
  testing::internal::CaptureStdout();
  init_tablebases(path.c_str());
  return testing::internal::GetCapturedStdout();
}

TEST_F(TablebaseTest, DirectoryListsCountTheirTables) {
  const std::string shared = SharedPath("syzygy");
  std::string a = MakeTempDir(), b = MakeTempDir();
  for (const char* name : {"KQvK", "KRvK"}) CopyFile(shared + "/" + name + ".rtbw", a + "/" + name + ".rtbw");
  CopyFile(shared + "/KRvKP.rtbw", b + "/KRvKP.rtbw");
  struct Case {
    std::string path, printed;
    int count, largest;
  } cases[] = {
      {"", "", 0, 0},
      {"<empty>", "", 0, 0},
      {"/no/such/directory", "info string Found 0 tablebases.\n", 0, 0},
      {a, "info string Found 2 tablebases.\n", 2, 3},
      {a + ";;" + b, "info string Found 3 tablebases.\n", 3, 4},
      {" \"" + a + "\" :" + b + "\r", "info string Found 3 tablebases.\n", 3, 4},
      {shared, "info string Found 35 tablebases.\n", 35, 4},
      {std::string(300, 'x') + ";" + a, "", 2, 3},
  };
  for (const Case& c : cases) {
    std::string printed = InitCaptured(c.path);
    if (!c.printed.empty() || c.path.empty()) {
      EXPECT_EQ(printed, c.printed) << c.path;
    }
    EXPECT_EQ(tb_table_count(), c.count) << c.path;
    EXPECT_EQ(tb_largest, c.largest) << c.path;
  }
  EXPECT_NE(InitCaptured(std::string(300, 'x') + ";" + a).find("too long"), std::string::npos);
  // After an empty list nothing stays registered.
  InitCaptured(shared);
  InitCaptured("");
  EXPECT_EQ(tb_table_count(), 0);
  EXPECT_EQ(tb_largest, 0);
  RemoveTree(a);
  RemoveTree(b);
}

// --- Consistency with a one-ply search ----------------------------------

// WDL of the position after a legal move, from the mover's view; 2-piece
// positions are draws.
int ChildValue(Move move, bool* ok) {
  MakeMove(move, 1);
  SearchPly++;
  const int side = thread_board.SideToMove;
  SearchStack[SearchPly].in_check = (uint32_t)SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
  int success = 1, v = 0;
  if (thread_board.PieceTotal > 2) v = probe_wdl(&success);
  SearchPly--;
  UnmakeMove();
  *ok = success != 0;
  return -v;
}

// Checks one position: WDL against the best child, DTZ sign against WDL.
void CheckConsistent(const std::string& fen, int* checked) {
  SetProbePosition(fen);
  int success;
  int wdl = probe_wdl(&success);
  ASSERT_NE(success, 0) << fen;
  GenerateLegalMoves(0);
  const int end = MoveStackTop;
  std::vector<Move> moves;
  for (int i = 0; i < end; i++) moves.push_back(MoveStack[i].move);
  MoveStackTop = 0;
  int best = -3;
  for (Move m : moves) {
    bool ok;
    int v = ChildValue(m, &ok);
    ASSERT_TRUE(ok) << fen;
    best = std::max(best, v);
  }
  if (moves.empty()) best = SearchStack[0].in_check ? -2 : 0;
  bool plain = (wdl == 0 || wdl == 2 || wdl == -2) && (best == 0 || best == 2 || best == -2);
  if (plain) {
    EXPECT_EQ(wdl, best) << fen;
  } else {
    EXPECT_EQ(wdl > 0, best > 0) << fen;
    EXPECT_EQ(wdl < 0, best < 0) << fen;
  }
  SetProbePosition(fen);
  int dtz = probe_dtz(&success);
  ASSERT_NE(success, 0) << fen;
  EXPECT_EQ(dtz > 0, wdl > 0) << fen;
  EXPECT_EQ(dtz < 0, wdl < 0) << fen;
  if (wdl == 2 || wdl == -2) {
    EXPECT_LE(std::abs(dtz), 100) << fen;
  } else if (wdl != 0) {
    EXPECT_GT(std::abs(dtz), 100) << fen;
  }
  ++*checked;
}

// A legal placement as a FEN, or "" when the side not to move is in check
// or the pieces cannot stand so.
std::string PlacementToFen(const char board[64], int side) {
  for (int sq = 0; sq < 64; sq++)
    if ((board[sq] == 'P' || board[sq] == 'p') && (sq < 8 || sq >= 56)) return "";
  std::string fen = PlacementFen(board) + (side == WHITE ? " w - - 0 1" : " b - - 0 1");
  if (!SetFenPosition(fen.c_str())) return "";
  const int other = side ^ 1;
  if (SquareAttacked(side, thread_board.KingSquare[other])) return "";
  return fen;
}

// Number of positions in CI; CRV_TB_FULL=1 runs every 3-piece position and
// a hundred times the 4-piece sample (tools/tb_check.sh).
bool FullRun() { return getenv("CRV_TB_FULL") != nullptr; }

TEST_F(TablebaseTest, WdlAndDtzAgreeWithAOnePlySearch) {
  init_tablebases(SharedPath("syzygy").c_str());
  std::mt19937 random(12345);
  int checked = 0;
  // 1. Three pieces: every placement in a full run, a sample in CI.
  const int stride3 = FullRun() ? 1 : 97;
  int counter = 0;
  for (char extra : {'Q', 'R', 'B', 'N', 'P', 'q', 'r', 'b', 'n', 'p'})
    for (int K = 0; K < 64; K++)
      for (int k = 0; k < 64; k++)
        for (int x = 0; x < 64; x++)
          for (int side = 0; side < 2; side++) {
            if (K == k || K == x || k == x || KingDistance(K, k) < 2) continue;
            if (counter++ % stride3) continue;
            char board[64] = {0};
            board[K] = 'K';
            board[k] = 'k';
            board[x] = extra;
            std::string fen = PlacementToFen(board, side);
            if (!fen.empty()) CheckConsistent(fen, &checked);
            if (HasFatalFailure()) return;
          }
  // 2. Four pieces: random placements of every 4-piece table.
  const char* materials[] = {"KQvKQ", "KQvKR", "KQvKB", "KQvKN", "KQvKP", "KRvKR", "KRvKB", "KRvKN", "KRvKP",
                             "KBvKB", "KBvKN", "KBvKP", "KNvKN", "KNvKP", "KPvKP", "KQQvK", "KQRvK", "KQBvK",
                             "KQNvK", "KQPvK", "KRRvK", "KRBvK", "KRNvK", "KRPvK", "KBBvK", "KBNvK", "KBPvK",
                             "KNNvK", "KNPvK", "KPPvK"};
  const int per_material = FullRun() ? 20000 : 60;
  for (const char* material : materials) {
    for (int n = 0; n < per_material; n++) {
      char board[64] = {0};
      bool black = false;
      for (const char* c = material; *c; c++) {
        if (*c == 'v') {
          black = true;
          continue;
        }
        int sq;
        do sq = (int)(random() % 64);
        while (board[sq]);
        board[sq] = black ? (char)(*c + 32) : *c;
      }
      int K = -1, k = -1;
      for (int sq = 0; sq < 64; sq++) {
        if (board[sq] == 'K') K = sq;
        if (board[sq] == 'k') k = sq;
      }
      if (KingDistance(K, k) < 2) continue;
      std::string fen = PlacementToFen(board, (int)(random() % 2));
      if (!fen.empty()) CheckConsistent(fen, &checked);
      if (HasFatalFailure()) return;
    }
  }
  std::printf("consistent positions: %d\n", checked);
  EXPECT_GT(checked, 1000);
}

// --- The built-in bitbases against the tables ---------------------------

TEST_F(TablebaseTest, KpkBitbasesAgreeWithTheTable) {
  EnsureEvalReady();
  init_tablebases(SharedPath("syzygy").c_str());
  int disagreements = 0, subset_faults = 0, positions = 0;
  for (int p = 8; p < 56; p++)
    for (int K = 0; K < 64; K++)
      for (int k = 0; k < 64; k++)
        for (int side = 0; side < 2; side++) {
          if (p == K || p == k || K == k || KingDistance(K, k) < 2) continue;
          char board[64] = {0};
          board[p] = 'P';
          board[K] = 'K';
          board[k] = 'k';
          std::string fen = PlacementToFen(board, side);
          if (fen.empty()) continue;
          SetProbePosition(fen);
          int success;
          int wdl = probe_wdl(&success);
          ASSERT_NE(success, 0) << fen;
          int white_wins = side == WHITE ? wdl > 0 : wdl < 0;
          int index = KpkIndex(side, p, K, k);
          positions++;
          if (KpkBit(KpkWinBitbase, index) != white_wins) disagreements++;
          if (KpkBit(KpkBitbase, index) && !white_wins) subset_faults++;
        }
  std::printf("KPK: %d positions, %d disagreements, %d subset faults\n", positions, disagreements, subset_faults);
  EXPECT_EQ(disagreements, 0);
  EXPECT_EQ(subset_faults, 0);
}

TEST_F(TablebaseTest, KrkpBitbaseAgreesWithTheTable) {
  EnsureEvalReady();
  init_tablebases(SharedPath("syzygy").c_str());
  int false_wins = 0, missed_wins = 0, positions = 0;
  const int stride = FullRun() ? 1 : 7;
  int counter = 0;
  for (int p = 0; p < 64; p++) {
    if ((p & 7) < 4 || (p >> 3) < 3 || (p >> 3) > 6) continue;
    for (int R = 0; R < 64; R++)
      for (int Kr = 0; Kr < 64; Kr++) {
        if (counter++ % stride) continue;
        for (int Kp = 0; Kp < 64; Kp++) {
          if (R == p || R == Kr || R == Kp || Kr == p || Kr == Kp || Kp == p || KingDistance(Kr, Kp) < 2) continue;
          // The pawn's side is WHITE (moving up), the rook's side BLACK, to move.
          char board[64] = {0};
          board[p] = 'P';
          board[Kp] = 'K';
          board[R] = 'r';
          board[Kr] = 'k';
          std::string fen = PlacementToFen(board, BLACK);
          if (fen.empty()) continue;
          SetProbePosition(fen);
          int success;
          int wdl = probe_wdl(&success);
          ASSERT_NE(success, 0) << fen;
          uint64_t word = KrkpBitbase[R * 1024 + Kr * 16 + KrkpPawnIndex[p]];
          int not_win = (int)((word >> Kp) & 1);
          positions++;
          if (!not_win && wdl <= 0) {
            if (false_wins < 5) std::printf("KRKP claims a win: %s wdl %d\n", fen.c_str(), wdl);
            false_wins++;
          }
          if (not_win && wdl > 0) {
            if (missed_wins < 3) std::printf("KRKP misses a win: %s wdl %d\n", fen.c_str(), wdl);
            missed_wins++;
          }
        }
      }
  }
  // The bitbase may miss wins that need play after the promotion (it does not
  // look for them), but a win it claims must be one.
  std::printf("KRKP: %d positions, %d claimed wins that are none, %d wins missed\n", positions, false_wins,
              missed_wins);
  EXPECT_EQ(false_wins, 0);
}


// --- Damaged files ------------------------------------------------------

// Probes KQvK (white and black to move) and KQvKR; gives the number of probes
// that succeeded. None may crash or read outside the files.
int ProbeAFew(std::string* printed) {
  testing::internal::CaptureStdout();
  int ok = 0;
  for (const char* fen : {"8/8/8/8/8/2k5/8/K6Q w - - 0 1", "8/8/8/8/8/2k5/8/K6Q b - - 0 1",
                          "8/8/8/8/3r4/2k5/8/K6Q w - - 0 1"}) {
    SetProbePosition(fen);
    int success;
    probe_wdl(&success);
    ok += success != 0;
    probe_dtz(&success);
    ok += success != 0;
  }
  *printed = testing::internal::GetCapturedStdout();
  return ok;
}

TEST_F(TablebaseTest, DamagedFilesAreReportedAndNotUsed) {
  const std::string shared = SharedPath("syzygy");
  std::ifstream in(shared + "/KQvK.rtbw", std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  struct Case {
    const char* what;
    std::string wdl;  // content of KQvK.rtbw, or "dir" for a directory of that name
  } cases[] = {
      {"empty", ""},
      {"4 bytes", good.substr(0, 4)},
      {"half", good.substr(0, good.size() / 2)},
      {"bad magic", "\x00" + good.substr(1)},
      {"header only", good.substr(0, 40)},
      {"directory", "dir"},
  };
  for (const Case& c : cases) {
    std::string dir = MakeTempDir();
    if (c.wdl == "dir") {
      ASSERT_EQ(mkdir((dir + "/KQvK.rtbw").c_str(), 0755), 0);
    } else {
      std::ofstream out(dir + "/KQvK.rtbw", std::ios::binary);
      out.write(c.wdl.data(), (std::streamsize)c.wdl.size());
    }
    CopyFile(shared + "/KQvK.rtbz", dir + "/KQvK.rtbz");
    InitCaptured(dir);
    std::string printed;
    EXPECT_EQ(ProbeAFew(&printed), 0) << c.what;
    EXPECT_FALSE(printed.empty()) << c.what;
    // Reported once: the second round prints nothing more.
    EXPECT_EQ(ProbeAFew(&printed), 0) << c.what;
    EXPECT_EQ(printed, "") << c.what;
    RemoveTree(dir);
  }
  // Flipped bytes all over a copy of every file: any answer or none, but
  // nothing outside the mapping (the sanitizers watch).
  std::mt19937 random(7);
  for (int round = 0; round < 6; round++) {
    std::string dir = MakeTempDir();
    for (const char* name : {"KQvK.rtbw", "KQvK.rtbz", "KQvKR.rtbw", "KQvKR.rtbz"}) {
      std::ifstream file(shared + "/" + name, std::ios::binary);
      std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      for (int k = 0; k < 40; k++) data[random() % data.size()] ^= (char)(1 + random() % 255);
      std::ofstream out(dir + "/" + name, std::ios::binary);
      out.write(data.data(), (std::streamsize)data.size());
    }
    InitCaptured(dir);
    std::string printed;
    ProbeAFew(&printed);
    RemoveTree(dir);
  }
  // A damaged DTZ file leaves the WDL probes working.
  std::string dir = MakeTempDir();
  CopyFile(shared + "/KQvK.rtbw", dir + "/KQvK.rtbw");
  CopyFile(shared + "/KQvK.rtbz", dir + "/KQvK.rtbz", 100);
  InitCaptured(dir);
  std::string printed;
  EXPECT_EQ(ProbeAFew(&printed), 2);  // the two WDL probes of KQvK
  RemoveTree(dir);
  init_tablebases(shared.c_str());
}

// A decoder of one block holding the values 0..3, every one the symbol 0
// that stands for the value 5, and one index entry. The entry's block
// number comes from the file: a damaged one that lies past the size table
// gives no value, also when the walk back to an earlier block would start
// there (it read outside the table).
TEST_F(TablebaseTest, IndexEntriesNamingABlockPastTheSizeTableGiveNoValue) {
  struct Case {
    uint32_t block;
    uint16_t offset;
    int value;
  } cases[] = {
      {0, 2, 5},            // the sound entry: block 0, value 0 of it
      {1, 2, -1},           // one past the table
      {2, 0, -1},           // past it, walking back to the block before
      {0xFFFFFFF0u, 0, -1}, // far past it, walking back
  };
  for (const Case& c : cases) {
    uint8_t index[6] = {(uint8_t)c.block, (uint8_t)(c.block >> 8), (uint8_t)(c.block >> 16),
                        (uint8_t)(c.block >> 24), (uint8_t)c.offset, (uint8_t)(c.offset >> 8)};
    uint8_t sizes[2] = {3, 0};
    uint8_t data[64] = {};
    uint8_t offsets[2] = {0, 0};
    uint8_t sympat[3] = {5, 0xF0, 0xFF};
    uint8_t symlen[1] = {0};
    pairs_data d{};
    d.indextable = index;
    d.sizetable = sizes;
    d.data = data;
    d.offset = offsets;
    d.sympat = sympat;
    d.symlen = symlen;
    d.index_entries = 1;
    d.data_size = sizeof data;
    d.num_blocks = 1;
    d.real_num_blocks = 1;
    d.num_syms = 1;
    d.blocksize = 6;
    d.idxbits = 2;
    d.min_len = 1;
    d.max_len = 1;
    EXPECT_EQ(decompress_pairs(&d, 0), c.value) << "block " << c.block;
  }
}

TEST_F(TablebaseTest, ReinitialisingReleasesOnceAndProbesSeeOnlyTheNewTables) {
  const std::string shared = SharedPath("syzygy");
  std::string only = MakeTempDir();
  for (const char* name : {"KRvK.rtbw", "KRvK.rtbz"}) CopyFile(shared + "/" + name, only + "/" + name);
  const std::string lists[] = {shared, only, "", shared};
  for (const std::string& list : lists) {
    InitCaptured(list);
    int success;
    SetProbePosition("8/8/8/8/8/2k5/8/K6Q w - - 0 1");
    int wdl = probe_wdl(&success);
    EXPECT_EQ(success != 0, list == shared) << list;
    if (success) {
      EXPECT_EQ(wdl, 2);
    }
    SetProbePosition("8/8/8/8/8/2k5/8/K6R b - - 0 1");
    wdl = probe_wdl(&success);
    EXPECT_EQ(success != 0, !list.empty()) << list;
    if (success) {
      EXPECT_EQ(wdl, -2);
    }
    probe_dtz(&success);
    EXPECT_EQ(success != 0, !list.empty()) << list;
  }
  RemoveTree(only);
}

// --- Root filter --------------------------------------------------------

// The legal moves of the position as the root list, with their check flags
// and scores that mark each move.
void SetRootList(const std::string& fen) {
  SetProbePosition(fen);
  GenerateLegalMoves(0);
  for (int i = 0; i < MoveStackTop; i++) {
    RootGivesCheck[i] = MoveGivesCheck(MoveStack[i].move);
    RootScores[i] = 1000 + (int)MoveStack[i].move % 997;
  }
}

TEST_F(TablebaseTest, RootFiltersKeepTheResultAndTheRootScores) {
  init_tablebases(SharedPath("syzygy").c_str());
  struct Case {
    const char* fen;
    int wdl;  // of the root
  } cases[] = {
      {"8/8/8/8/8/2k5/8/K6Q w - - 0 1", 2},      // KQvK, won
      {"8/8/8/3k4/8/8/2K5/R7 w - - 40 1", 2},    // KRvK with a used counter
      {"8/8/4r3/8/3K4/8/2k5/R7 w - - 0 1", 0},   // KRvKR, drawn
      {"8/8/8/8/8/2k5/2p5/K7 w - - 0 1", -2},    // KvKP, lost
      {"8/8/2k5/8/8/8/2K5/2Q4q b - - 0 1", 0},   // KQvKQ: the queens come off
  };
  for (const Case& c : cases) {
    for (int dtz_filter = 1; dtz_filter >= 0; dtz_filter--) {
      SetRootList(c.fen);
      int success;
      const int wdl = probe_wdl(&success);
      ASSERT_EQ(wdl, c.wdl) << c.fen;
      const int n = MoveStackTop;
      int score = 0;
      int ok = dtz_filter ? root_probe(&score) : root_probe_wdl(&score);
      ASSERT_EQ(ok, 1) << c.fen;
      ASSERT_GT(MoveStackTop, 0) << c.fen;
      EXPECT_LE(MoveStackTop, n);
      EXPECT_EQ(score > 0, wdl > 0) << c.fen;
      EXPECT_EQ(score < 0, wdl < 0) << c.fen;
      // Every kept move holds the root's result, and its score came along.
      const int kept = MoveStackTop;
      std::vector<Move> moves;
      for (int i = 0; i < kept; i++) {
        moves.push_back(MoveStack[i].move);
        EXPECT_EQ(RootScores[i], 1000 + (int)MoveStack[i].move % 997) << c.fen;
        EXPECT_EQ(RootGivesCheck[i], MoveGivesCheck(MoveStack[i].move)) << c.fen;
      }
      SearchPly = 0;
      MoveStackTop = 0;
      for (Move m : moves) {
        bool probed;
        int v = ChildValue(m, &probed);
        EXPECT_TRUE(probed);
        if (wdl > 0) {
          EXPECT_GT(v, 0) << c.fen;
        } else if (wdl == 0) {
          EXPECT_EQ(v, 0) << c.fen;
        }
      }
    }
  }
  // Without tables both filters fail and leave the list as it was.
  init_tablebases("");
  SetRootList("8/8/8/8/8/2k5/8/K6Q w - - 0 1");
  const int n = MoveStackTop;
  int score = 12345;
  EXPECT_EQ(root_probe(&score), 0);
  EXPECT_EQ(root_probe_wdl(&score), 0);
  EXPECT_EQ(MoveStackTop, n);
  EXPECT_EQ(score, 12345);
  init_tablebases(SharedPath("syzygy").c_str());
}


}  // namespace
