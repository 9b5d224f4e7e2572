// Captures, promotions and quiet moves: exact lists in generation order,
// safety flags and ordering scores of the adders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/searchstack.h"
#include "search/hashtable.h"
#include "test_support.h"

namespace {

struct Entry {
  Move move;
  int32_t score;
  uint32_t flag;
};

// The ordering statistics and ply records are emptied around every test.
class GeneratorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureTablesReady();
    Clear();
    SearchAge = 3;
  }
  void TearDown() override {
    Clear();
    SearchAge = 0;
  }
  static void Clear() {
    std::memset(HistoryTable, 0, sizeof HistoryTable);
    std::memset(FollowUpMoves, 0, sizeof FollowUpMoves);
    std::memset(CaptureStamp, 0, sizeof CaptureStamp);
    std::memset(CaptureTries, 0, sizeof CaptureTries);
    std::memset(CaptureWins, 0, sizeof CaptureWins);
    std::memset(SearchStack, 0, sizeof SearchStack);
    SearchPly = 0;
    MoveStackTop = 0;
  }
};

std::string Text(Move move) {
  char buffer[16];
  MoveToText(buffer, move);
  return buffer;
}

std::string Texts(const std::vector<Entry>& list) {
  std::string out;
  for (const Entry& e : list) out += (out.empty() ? "" : " ") + Text(e.move);
  return out;
}

const Entry* Find(const std::vector<Entry>& list, const char* text) {
  for (const Entry& e : list)
    if (Text(e.move) == text) return &e;
  return nullptr;
}

// Runs one generator from an empty stack and takes its entries off again.
template <typename Generate>
std::vector<Entry> Collect(Generate generate) {
  MoveStackTop = 0;
  generate();
  std::vector<Entry> list;
  for (int i = 0; i < MoveStackTop; i++) list.push_back({MoveStack[i].move, MoveStack[i].score, MoveStack[i].flag});
  MoveStackTop = 0;
  return list;
}

Bitboard EnemyPieces() {
  const int other = thread_board.SideToMove ^ 1;
  return thread_board.Colour[other] & ~thread_board.Pieces[KING][other];
}

std::vector<Entry> Captures() { return Collect([] { GenerateCaptures(EnemyPieces()); }); }
std::vector<Entry> GoodCaptures() { return Collect([] { GenerateGoodCaptures(EnemyPieces()); }); }
std::vector<Entry> Promotions() { return Collect([] { GeneratePromotions(); }); }
std::vector<Entry> Quiets(uint32_t h = 0) { return Collect([h] { GenerateQuietMoves(h); }); }
std::vector<Entry> SafeQuiets(uint32_t h = 0) { return Collect([h] { GenerateSafeQuietMoves(h); }); }

int CaptureIndex(Move m, int side) {
  return MoveCaptured(m) << 3 | MovePiece(m) | MoveTo(m) << 6 | MoveFrom(m) << 12 | side << 13;
}

TEST_F(GeneratorsTest, ScoreMoveSafeAndQuiet) {
  struct Case {
    Move move;
    int safe;
    int expected;
  };
  const Case cases[] = {
      {MakeMoveWord(E4, D5, PAWN, QUEEN), 1, 108900},          // pawn takes queen
      {MakeMoveWord(E7, D8, PAWN, ROOK, QUEEN), 1, 112900},    // takes a rook, promotes
      {MakeMoveWord(E7, E8, PAWN, 0, QUEEN), 1, 107900},       // plain queen promotion
      {MakeMoveWord(E7, E8, PAWN, 0, KNIGHT), 1, 107900},      // any promotion word when called safe
      {MakeMoveWord(E1, E2, KING, ROOK), 1, 104050},           // king takes rook
      {MakeMoveWord(G1, F3, KNIGHT), 1, 100901},               // no capture, no promotion
      {MakeMoveWord(G1, F3, KNIGHT), 0, 100901},
      {MakeMoveWord(E5, D6, PAWN), 1, 100901},                 // en passant carries no capture code
      {MakeMoveWord(D1, D5, QUEEN, PAWN), 0, 1000 - 900 - 128000},
      {MakeMoveWord(E7, D8, PAWN, ROOK, KNIGHT), 0, 5000 - 100 - 128000},
  };
  thread_board.SideToMove = WHITE;
  for (const Case& c : cases) EXPECT_EQ(ScoreMove(c.move, c.safe), c.expected) << Text(c.move);
}

// A losing capture is scored by its success ratio in the capture history of
// the current search.
TEST_F(GeneratorsTest, LosingCaptureUsesCaptureHistory) {
  thread_board.SideToMove = WHITE;
  const Move m = MakeMoveWord(D1, D5, QUEEN, PAWN);
  const int base = 10 * 100 - 900;
  const int i = CaptureIndex(m, WHITE);
  struct Case {
    int stamp, tries, wins, bonus;
  };
  const Case cases[] = {
      {3, 20, 20, 50000},    // r = 256
      {3, 16, 4, 10000},     // r = 64
      {3, 24, 9, 30000},     // r = 96
      {3, 16, 3, 0},         // r = 48
      {3, 9, 1, -64000},     // r = 28
      {3, 8, 8, -128000},    // too few tries
      {2, 20, 20, -128000},  // an older search: the entry is cleared
  };
  for (const Case& c : cases) {
    CaptureStamp[i] = c.stamp;
    CaptureTries[i] = c.tries;
    CaptureWins[i] = c.wins;
    EXPECT_EQ(ScoreMove(m, 0), base + c.bonus) << c.tries << "/" << c.wins << " stamp " << c.stamp;
  }
  EXPECT_EQ(CaptureStamp[i], 3);
  EXPECT_EQ(CaptureTries[i], 0);
  EXPECT_EQ(CaptureWins[i], 0);

  // An under-promotion never takes the history; a queen promotion does.
  const Move under = MakeMoveWord(E7, D8, PAWN, ROOK, KNIGHT);
  const Move queen = MakeMoveWord(E7, D8, PAWN, ROOK, QUEEN);
  for (Move p : {under, queen}) {
    CaptureStamp[CaptureIndex(p, WHITE)] = 3;
    CaptureTries[CaptureIndex(p, WHITE)] = 20;
    CaptureWins[CaptureIndex(p, WHITE)] = 20;
  }
  EXPECT_EQ(ScoreMove(under, 0), 5000 - 100 - 128000);
  EXPECT_EQ(ScoreMove(queen, 0), 5000 - 100 + 50000);

  // The side bit is bit 1 of the from-square: from e4 (bit clear) the
  // colours keep apart, from d1 (bit set) they share the entry.
  const Move apart = MakeMoveWord(E4, D5, QUEEN, PAWN);
  CaptureStamp[CaptureIndex(apart, WHITE)] = 3;
  CaptureTries[CaptureIndex(apart, WHITE)] = 20;
  CaptureWins[CaptureIndex(apart, WHITE)] = 20;
  CaptureStamp[i] = 3;
  CaptureTries[i] = 20;
  CaptureWins[i] = 20;
  thread_board.SideToMove = BLACK;
  EXPECT_EQ(ScoreMove(apart, 0), base - 128000);
  EXPECT_EQ(ScoreMove(m, 0), base + 50000);
}

// Pawns (capture-promotions queen, knight, rook, bishop), en passant, then
// knights, bishops, rooks, queens and the king, each lowest square first.
TEST_F(GeneratorsTest, CapturesInGenerationOrder) {
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case cases[] = {
      {"r1n1k3/1P6/8/1p1pP3/8/2N4p/6P1/R2QK3 w - d6 0 1",
       "g2h3 b7a8q b7a8n b7a8r b7a8b b7c8q b7c8n b7c8r b7c8b e5d6 c3b5 c3d5 a1a8 d1d5"},
      // The same position with colours and ranks swapped: BLACK's pawns are
      // walked lowest square first as well.
      {"r2qk3/6p1/2n4P/8/1P1Pp3/8/1p6/R1N1K3 b - d3 0 1",
       "b2a1q b2a1n b2a1r b2a1b b2c1q b2c1n b2c1r b2c1b g7h6 e4d3 c6b4 c6d4 a8a1 d8d4"},
      {"4k3/8/8/3p4/2B1r3/8/1b1R1p2/Q3K3 w - - 0 1", "c4d5 d2b2 d2f2 d2d5 a1b2 e1f2"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(Texts(Captures()), c.expected) << c.fen;
  }
}

TEST_F(GeneratorsTest, CaptureFlagsAndScores) {
  ASSERT_TRUE(SetFenPosition("r1n1k3/1P6/8/1p1pP3/8/2N4p/6P1/R2QK3 w - d6 0 1"));
  const std::vector<Entry> list = Captures();
  for (const Entry& e : list) {
    const int promotion = MovePromotion(e.move);
    const uint32_t expected = (promotion != 0 && promotion != QUEEN) ? 0u : 1u;
    EXPECT_EQ(e.flag, expected) << Text(e.move);
    EXPECT_EQ(e.score, ScoreMove(e.move, (int)e.flag)) << Text(e.move);
  }
  EXPECT_EQ(Find(list, "b7a8q")->score, 112900);
  EXPECT_EQ(Find(list, "b7a8n")->score, 5000 - 100 - 128000);
  EXPECT_EQ(Find(list, "g2h3")->score, 100900);
  EXPECT_EQ(Find(list, "e5d6")->score, 100901);

  // The exchange-safe walk drops the under-promotions and nothing else.
  EXPECT_EQ(Texts(GoodCaptures()), "g2h3 b7a8q b7c8q e5d6 c3b5 c3d5 a1a8 d1d5");

  // A queen taking a pawn guarded by a pawn is losing; a king taking a
  // defended pawn is never tested.
  ASSERT_TRUE(SetFenPosition("4k3/2p5/3p4/8/2p5/3p4/4K3/3Q4 w - - 0 1"));
  const std::vector<Entry> mixed = Captures();
  EXPECT_EQ(Texts(mixed), "d1d3 e2d3");
  EXPECT_EQ(Find(mixed, "d1d3")->flag, 0u);
  EXPECT_EQ(Find(mixed, "e2d3")->flag, 1u);
  EXPECT_EQ(Find(mixed, "e2d3")->score, 1000 - 950 + 100000);
  EXPECT_EQ(Texts(GoodCaptures()), "e2d3");
}

// En passant is appended whatever the target set holds, left pawn first,
// never across the board edge and only right after the double step.
TEST_F(GeneratorsTest, EnPassantIgnoresTheTargets) {
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case cases[] = {
      {"4k3/8/8/8/3pPp2/8/8/4K3 b - e3 0 1", "d4e3 f4e3"},
      {"4k3/8/8/3PpP2/8/8/8/4K3 w - e6 0 1", "d5e6 f5e6"},
      {"4k3/8/8/8/Pp6/8/8/4K3 b - a3 0 1", "b4a3"},
      {"4k3/8/8/6pP/8/8/8/4K3 w - g6 0 1", "h5g6"},
      {"4k3/8/8/p7/7P/8/8/4K3 b - h3 0 1", ""},     // a5 is not beside h4
      {"4k3/8/8/8/3pPp2/8/8/4K3 b - - 0 1", ""},    // no double step just played
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    const std::vector<Entry> list = Collect([] { GenerateCaptures(0); });
    EXPECT_EQ(Texts(list), c.expected) << c.fen;
    for (const Entry& e : list) EXPECT_EQ(e.flag, 1u) << Text(e.move);
    EXPECT_EQ(Texts(Collect([] { GenerateGoodCaptures(0); })), c.expected) << c.fen;
  }
}

// Non-capturing promotions from the highest square down, each queen, rook,
// knight, bishop; blocked pawns and captures are not part of it.
TEST_F(GeneratorsTest, PromotionsHighestSquareFirst) {
  ASSERT_TRUE(SetFenPosition("1n2k3/PP1P3P/4P3/8/8/8/8/4K3 w - - 0 1"));
  std::vector<Entry> list = Promotions();
  EXPECT_EQ(Texts(list),
            "h7h8q h7h8r h7h8n h7h8b d7d8q d7d8r d7d8n d7d8b a7a8q a7a8r a7a8n a7a8b");
  EXPECT_EQ(Find(list, "h7h8q")->flag, 1u);
  EXPECT_EQ(Find(list, "h7h8q")->score, 107900);
  EXPECT_EQ(Find(list, "d7d8q")->flag, 0u);  // the king takes on d8
  EXPECT_EQ(Find(list, "d7d8q")->score, -100 - 128000);
  EXPECT_EQ(Find(list, "h7h8r")->flag, 0u);

  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/3p4/pp1p3p/1N2K3 b - - 0 1"));
  EXPECT_EQ(Texts(Promotions()),
            "h2h1q h2h1r h2h1n h2h1b d2d1q d2d1r d2d1n d2d1b a2a1q a2a1r a2a1n a2a1b");
}

TEST_F(GeneratorsTest, QuietMovesInGenerationOrder) {
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
       "b1a3 b1c3 g1f3 g1h3 a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
       "b8a6 b8c6 g8f6 g8h6 h7h6 h7h5 g7g6 g7g5 f7f6 f7f5 e7e6 e7e5 d7d6 d7d5 c7c6 c7c5 b7b6 b7b5 a7a6 a7a5"},
      // Knights, bishops, pawns, rooks, queens, king.
      {"4k3/8/8/8/8/1p6/1P3p2/RB1QK1N1 w - - 0 1",
       "g1e2 g1f3 g1h3 b1a2 b1c2 b1d3 b1e4 b1f5 b1g6 b1h7 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 "
       "d1c1 d1c2 d1d2 d1e2 d1d3 d1f3 d1d4 d1g4 d1d5 d1h5 d1d6 d1d7 d1d8 e1f1 e1d2 e1e2"},
      // Pawns on the seventh rank (their pushes are promotions), blocked
      // pushes and blocked double steps.
      {"7k/4P3/8/8/p7/1p6/PP6/K7 w - - 0 1", "a2a3 a1b1"},
      {"k7/pp6/1P6/P7/8/8/4p3/7K b - - 0 1", "a7a6 a8b8"},
      // Only the home rank double-steps.
      {"k7/8/p7/8/8/P7/8/7K w - - 0 1", "a3a4 h1g1 h1g2 h1h2"},
      {"k7/8/p7/8/8/P7/8/7K b - - 0 1", "a6a5 a8a7 a8b7 a8b8"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(Texts(Quiets()), c.expected) << c.fen;
  }
}

// The castling moves a generator appends, in their order.
std::string CastlingIn(const std::vector<Entry>& list) {
  std::string out;
  for (const Entry& e : list)
    if (e.move == CASTLE_WHITE_SHORT || e.move == CASTLE_WHITE_LONG || e.move == CASTLE_BLACK_SHORT ||
        e.move == CASTLE_BLACK_LONG)
      out += (out.empty() ? "" : " ") + Text(e.move);
  return out;
}

TEST_F(GeneratorsTest, CastlingConditions) {
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1 e1c1"},
      {"6rk/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1"},        // g1 attacked
      {"5r1k/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1"},       // f1 attacked
      {"7k/8/8/8/8/8/8/R3K1NR w KQ - 0 1", "e1c1"},        // g1 occupied
      {"1r5k/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1 e1c1"},  // only b1 attacked
      {"2r4k/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1"},       // c1 attacked
      {"3r3k/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1"},       // d1 attacked
      {"7k/8/8/8/8/8/8/RN2K2R w KQ - 0 1", "e1g1"},        // b1 occupied
      {"4r2k/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1 e1c1"},  // in check: still generated
      {"7k/8/8/8/8/8/8/R3K2R w K - 0 1", "e1g1"},
      {"7k/8/8/8/8/8/8/R3K2R w - - 0 1", ""},
      {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8g8 e8c8"},
      {"r3k2r/8/8/8/8/8/8/4K1R1 b kq - 0 1", "e8c8"},      // g8 attacked
      {"r3k2r/7P/8/8/8/8/8/4K3 b kq - 0 1", "e8c8"},       // g8 attacked by a pawn
      {"r3k2r/8/8/8/8/8/8/1R2K3 b kq - 0 1", "e8g8 e8c8"}, // only b8 attacked
      {"r3k2r/8/8/8/8/8/8/3RK3 b kq - 0 1", "e8g8"},       // d8 attacked
      {"r3k2r/8/8/8/8/8/8/4K3 b q - 0 1", "e8c8"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    const std::vector<Entry> all = Quiets();
    EXPECT_EQ(CastlingIn(all), c.expected) << c.fen;
    EXPECT_EQ(CastlingIn(SafeQuiets()), c.expected) << c.fen;
    // Castling comes first, always flagged safe.
    for (size_t k = 0; k < all.size(); k++)
      if (CastlingIn({all[k]}) != "") {
        EXPECT_LT(k, 2u) << c.fen;
        EXPECT_EQ(all[k].flag, 1u) << c.fen;
      }
  }
}

// Flags and history halves: with an empty attack map a knight move onto a
// pawn-guarded square is losing; king moves are never tested.
TEST_F(GeneratorsTest, QuietSafetyAndHistoryHalves) {
  ASSERT_TRUE(SetFenPosition("4kr2/8/8/8/3p4/8/8/1N2K3 w - - 0 1"));
  const int knight = HistoryClass[KNIGHT];
  HistoryTable[0][0][knight][B1 + 64 * C3][WHITE] = 300;
  HistoryTable[1][0][knight][B1 + 64 * C3][WHITE] = 500;
  HistoryTable[1][0][knight][B1 + 64 * A3][WHITE] = 700;
  HistoryTable[1][1][knight][B1 + 64 * A3][WHITE] = 900;
  HistoryTable[1][0][HistoryClass[KING]][E1 + 64 * F1][WHITE] = 40;
  HistoryTable[0][0][HistoryClass[KING]][E1 + 64 * F1][WHITE] = 41;

  std::vector<Entry> all = Quiets();
  EXPECT_EQ(Texts(all), "b1d2 b1a3 b1c3 e1d1 e1f1 e1d2 e1e2 e1f2");
  EXPECT_EQ(Find(all, "b1c3")->flag, 0u);
  EXPECT_EQ(Find(all, "b1c3")->score, 300);
  EXPECT_EQ(Find(all, "b1a3")->flag, 1u);
  EXPECT_EQ(Find(all, "b1a3")->score, 700);
  EXPECT_EQ(Find(all, "e1f1")->flag, 1u);  // f1 is attacked by the rook
  EXPECT_EQ(Find(all, "e1f1")->score, 40);
  EXPECT_EQ(Find(all, "e1f2")->flag, 1u);

  std::vector<Entry> safe = SafeQuiets();
  EXPECT_EQ(Texts(safe), "b1d2 b1a3 e1d1 e1f1 e1d2 e1e2 e1f2");
  for (const Entry& e : safe) EXPECT_EQ(e.flag, 1u) << Text(e.move);

  // Bit 0 of the argument picks the history block, the other bits are ignored.
  EXPECT_EQ(Find(Quiets(3), "b1a3")->score, 900);
  EXPECT_EQ(Find(Quiets(2), "b1a3")->score, 700);

  // An attack map of the opponent without c3 and b1 makes the move safe
  // without an exchange test.
  SearchStack[SearchPly].attack_maps[1] = SquareBit(H8);
  all = Quiets();
  EXPECT_EQ(Find(all, "b1c3")->flag, 1u);
  EXPECT_EQ(Find(all, "b1c3")->score, 500);
  SearchStack[SearchPly].attack_maps[1] = 0;

  // AddQuietMove appends with flag 1 and the safe half, untested.
  MoveStackTop = 0;
  AddQuietMove(MakeMoveWord(B1, C3, KNIGHT), 0);
  EXPECT_EQ(MoveStackTop, 1);
  EXPECT_EQ(MoveStack[0].flag, 1u);
  EXPECT_EQ(MoveStack[0].score, 500);
  MoveStackTop = 0;
}

// Over a few busy positions the safe-only walks are exactly the safe part of
// the full walks, with the same scores.
TEST_F(GeneratorsTest, SafeWalksAreTheSafePartOfTheFullWalks) {
  const char* const fens[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
      "rnbqkb1r/pp1p1pPp/8/2p1pP2/1P1P4/3P4/P1P1P3/RNBQKBNR w KQkq e6 0 1",
  };
  for (uint32_t slot = 0; slot < 4096; slot++) {
    for (int side = 0; side < 2; side++) {
      HistoryTable[0][0][1][slot][side] = slot % 977;
      HistoryTable[1][0][1][slot][side] = 1000 + slot % 911;
      HistoryTable[1][0][0][slot][side] = 2000 + slot % 601;
    }
  }
  for (const char* fen : fens) {
    ASSERT_TRUE(SetFenPosition(fen)) << fen;
    const auto safePart = [](const std::vector<Entry>& list) {
      std::vector<Entry> out;
      for (const Entry& e : list)
        if (e.flag == 1) out.push_back(e);
      return out;
    };
    const std::vector<Entry> quiets = safePart(Quiets()), safeQuiets = SafeQuiets();
    ASSERT_EQ(Texts(safeQuiets), Texts(quiets)) << fen;
    for (size_t k = 0; k < quiets.size(); k++) EXPECT_EQ(safeQuiets[k].score, quiets[k].score) << fen;
    const std::vector<Entry> captures = safePart(Captures()), good = GoodCaptures();
    ASSERT_EQ(Texts(good), Texts(captures)) << fen;
    for (size_t k = 0; k < good.size(); k++) EXPECT_EQ(good[k].score, captures[k].score) << fen;
  }
}

// The side's own previous move (two plies back) raises the score of the
// remembered first answer by 148/256 and of the second by 138/256.
TEST_F(GeneratorsTest, FollowUpBonus) {
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"));
  const Move c3 = MakeMoveWord(B1, C3, KNIGHT), a3 = MakeMoveWord(B1, A3, KNIGHT), d2 = MakeMoveWord(B1, D2, KNIGHT);
  const int knight = HistoryClass[KNIGHT];
  HistoryTable[1][0][knight][B1 + 64 * C3][WHITE] = 1000;
  HistoryTable[1][0][knight][B1 + 64 * A3][WHITE] = 32700;
  HistoryTable[1][0][knight][B1 + 64 * D2][WHITE] = 1000;
  const Move previous = MakeMoveWord(D2, B1, KNIGHT);  // the knight came to b1
  FollowUpMoves[0][B1][PieceSlot[KNIGHT]][WHITE] = c3;
  FollowUpMoves[1][B1][PieceSlot[KNIGHT]][WHITE] = a3;
  FollowUpMoves[0][B1][PieceSlot[KNIGHT]][BLACK] = d2;  // another side's entry
  GameHistory[0].move = previous;
  GameHistory[1].move = MakeMoveWord(E8, D8, KING);

  struct Case {
    int ply;
    int c3, a3, d2;
  };
  const Case cases[] = {
      {2, 1000 + 578, 32700 + 17627, 1000},
      {1, 1000, 32700, 1000},
      {0, 1000, 32700, 1000},
  };
  for (const Case& c : cases) {
    GamePly = c.ply;
    const std::vector<Entry> list = Quiets();
    EXPECT_EQ(Find(list, "b1c3")->score, c.c3) << "ply " << c.ply;
    EXPECT_EQ(Find(list, "b1a3")->score, c.a3) << "ply " << c.ply;
    EXPECT_EQ(Find(list, "b1d2")->score, c.d2) << "ply " << c.ply;
  }

  // A move remembered as both answers gets only the first bonus.
  FollowUpMoves[1][B1][PieceSlot[KNIGHT]][WHITE] = c3;
  GamePly = 2;
  EXPECT_EQ(Find(Quiets(), "b1c3")->score, 1000 + 578);
  GamePly = 0;
}

}  // namespace
