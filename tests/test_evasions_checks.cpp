// Check evasions, quiet checks and the gives-check test: hand-made positions
// for the rules that are easy to get wrong, and walks of the perft suite that
// compare the generators with make-and-test answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/searchstack.h"
#include "test_support.h"

namespace {

struct Entry {
  Move move;
  int32_t score;
  uint32_t flag;
};

// Ordering tables and ply records start empty and are emptied again, so a
// test that fills them cannot leak into another.
class EvasionsChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureTablesReady();
    ClearOrdering();
  }
  void TearDown() override { ClearOrdering(); }
  static void ClearOrdering() {
    std::memset(HistoryTable, 0, sizeof HistoryTable);
    std::memset(EvasionRefutation, 0, sizeof EvasionRefutation);
    std::memset(FollowUpMoves, 0, sizeof FollowUpMoves);
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

std::string CurrentFen() {
  MakeFen(0);
  return FenText;
}

std::vector<Entry> TakeList(int start) {
  std::vector<Entry> list;
  for (int i = start; i < MoveStackTop; i++) list.push_back({MoveStack[i].move, MoveStack[i].score, MoveStack[i].flag});
  MoveStackTop = start;
  return list;
}

std::vector<Entry> Evasions() {
  MoveStackTop = 0;
  GenerateEvasionsForSearch(0);
  return TakeList(0);
}

std::vector<Entry> QuietChecks(uint32_t historyArgument = 0) {
  MoveStackTop = 0;
  GenerateQuietChecks(historyArgument);
  return TakeList(0);
}

const Entry* Find(const std::vector<Entry>& list, const std::string& text) {
  for (const Entry& e : list)
    if (Text(e.move) == text) return &e;
  return nullptr;
}

bool IsEnPassant(Move m) { return MovePiece(m) == PAWN && (m >> 15) == 0 && ((MoveFrom(m) ^ MoveTo(m)) & 7) != 0; }
bool IsCastling(Move m) {
  int d = FileOf(MoveFrom(m)) - FileOf(MoveTo(m));
  return MovePiece(m) == KING && (d == 2 || d == -2);
}

// Does the move, once made, leave the enemy king attacked by the mover?
int ChecksAfterMaking(Move move) {
  int side = thread_board.SideToMove;
  MakeMove(move, 1);
  int check = SquareAttacked(side, thread_board.KingSquare[side ^ 1]);
  UnmakeMove();
  return check;
}

// A king step next to the enemy king: "attacks" it without being a check.
bool KingsTouch(Move m) {
  return MovePiece(m) == KING && (KingAttacks[MoveTo(m)] & SquareBit(thread_board.KingSquare[thread_board.SideToMove ^ 1]));
}

// Does the move, once made, leave the mover's own king safe?
bool LegalAfterMaking(Move move) {
  int side = thread_board.SideToMove;
  MakeMove(move, 1);
  bool legal = !SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
  UnmakeMove();
  return legal;
}

// ---------------------------------------------------------------------------
// Evasions in hand-made positions: the full list, in generation order.

struct ListCase {
  const char* name;
  const char* fen;
  const char* expected;
};

TEST_F(EvasionsChecksTest, EvasionListsInGenerationOrder) {
  const ListCase cases[] = {
      // Rook e8 and bishop h7 both check: king steps only, and neither d3 nor
      // e3 (behind the king on a checking line) although nothing sees them
      // yet; the knight that could take either checker stays.
      {"double check", "k3r3/7b/5N2/8/4K3/8/8/8 w - - 0 1", "e4f3 e4d4 e4f4 e4d5"},
      // Rook a1 checks along the first rank: f1 is shaded by the king; d2 and
      // the capture on f2 are fine; then knight and bishop block or capture.
      {"rank check", "7k/8/8/8/8/1N2B3/4Pn2/r3K3 w - - 0 1", "e1d2 e1f2 b3a1 b3c1 e3c1"},
      // The bishop on e2 could take the checking knight but is pinned.
      {"pinned captor", "k7/4r3/8/8/8/3n4/2P1B3/4K3 w - - 0 1", "e1d1 e1f1 e1d2 c2d3"},
      // Blocks by pawns: double pushes first, then single pushes; the pinned
      // g3 pawn does not block.
      {"pawn blocks", "k7/8/8/8/r6K/2P3P1/1P1P4/4b3 w - - 0 1", "h4h3 h4g5 h4h5 b2b4 d2d4 c3c4"},
      // A block on the last rank: queen, rook, bishop, knight.
      {"promotion block", "r6K/3P4/8/8/8/8/8/k7 w - - 0 1", "h8g7 h8h7 d7d8q d7d8r d7d8b d7d8n"},
      // BLACK takes the checking knight with promotions, lowest pawn first.
      {"black capture promotions", "7K/8/8/8/8/8/1p1pk3/2N5 b - - 0 1",
       "e2d1 e2e1 e2f1 e2f2 e2e3 e2f3 b2c1q b2c1r b2c1b b2c1n d2c1q d2c1r d2c1b d2c1n"},
      // The pawn that just moved d7d5 checks: en passant answers it.
      {"en passant", "7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5 e5d6"},
      {"en passant black", "8/8/8/4k3/3Pp3/8/8/7K b - d3 0 1", "e5d4 e5f4 e5d5 e5f5 e5d6 e5e6 e5f6 e4d3"},
      // Only the pin of the capturing pawn is tested: this en passant uncovers
      // the bishop b7 and is still appended.
      {"en passant uncovering", "7k/1b6/8/3pP3/4K3/8/8/8 w - d6 0 1", "e4d3 e4e3 e4f3 e4d4 e4f4 e4f5 e5d6"},
      // The capturing pawn is pinned on the e-file: no en passant.
      {"en passant pinned", "4r2k/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5"},
      // Without the double step there is no en passant.
      {"no double step", "7k/8/8/3pP3/4K3/8/8/8 w - - 0 1", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5"},
  };
  for (const ListCase& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.name;
    EXPECT_EQ(Texts(Evasions()), c.expected) << c.name;
  }
}

TEST_F(EvasionsChecksTest, EntryPointsAndResults) {
  ASSERT_TRUE(SetFenPosition("7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1"));
  SearchStack[SearchPly].tried_count = 5;
  MoveStackTop = 100;
  EXPECT_EQ(GenerateEvasions(13), 0);
  EXPECT_EQ(MoveStackTop, 100);
  EXPECT_EQ(SearchStack[SearchPly].tried_count, 5);

  GenerateEvasionsForProbe();
  EXPECT_EQ(MoveStackTop, 108);
  EXPECT_EQ(SearchStack[SearchPly].tried_count, 5);

  MoveStackTop = 100;
  EXPECT_EQ(GenerateEvasions(14), 12);
  EXPECT_EQ(MoveStackTop, 108);
  EXPECT_EQ(SearchStack[SearchPly].tried_count, 0);

  SearchStack[SearchPly].tried_count = 3;
  MoveStackTop = 100;
  EXPECT_EQ(GenerateEvasionsForSearch(99), 12);
  EXPECT_EQ(MoveStackTop, 108);
  EXPECT_EQ(SearchStack[SearchPly].tried_count, 0);

  // Mate: nothing to append.
  ASSERT_TRUE(SetFenPosition("k7/1Q6/1K6/8/8/8/8/8 b - - 0 1"));
  MoveStackTop = 0;
  EXPECT_EQ(GenerateEvasions(14), 0);
  EXPECT_EQ(GenerateEvasionsForSearch(0), 0);
  EXPECT_EQ(MoveStackTop, 0);
}

TEST_F(EvasionsChecksTest, EvasionFlagsAndScores) {
  // Last move d7d5 (to d5); WHITE king e4.
  ASSERT_TRUE(SetFenPosition("7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1"));
  auto word = [](int from, int to) { return MakeMoveWord(from, to, KING); };
  EvasionRefutation[0][D5][E4][WHITE] = word(E4, E3);
  EvasionRefutation[1][D5][E4][WHITE] = word(E4, F3);
  HistoryTable[1][2][HistoryClass[KING]][E4 + 64 * E3][WHITE] = 1000;
  HistoryTable[1][2][HistoryClass[KING]][E4 + 64 * F3][WHITE] = 2000;
  HistoryTable[1][2][HistoryClass[KING]][E4 + 64 * D3][WHITE] = 32700;
  HistoryTable[0][2][HistoryClass[KING]][E4 + 64 * F4][WHITE] = 777;  // unsafe half: not read for a king
  HistoryTable[1][0][HistoryClass[KING]][E4 + 64 * F4][WHITE] = 555;  // quiet block: not read
  std::vector<Entry> list = Evasions();

  const Entry* ep = Find(list, "e5d6");
  ASSERT_NE(ep, nullptr);
  EXPECT_EQ(MoveCaptured(ep->move), 0);
  EXPECT_EQ(ep->flag, 1u);
  EXPECT_EQ(ep->score, 537131813);

  ASSERT_NE(Find(list, "e4e3"), nullptr);
  EXPECT_EQ(Find(list, "e4e3")->score, 81000);
  EXPECT_EQ(Find(list, "e4f3")->score, 42000);
  EXPECT_EQ(Find(list, "e4d3")->score, 32700);
  EXPECT_EQ(Find(list, "e4f4")->score, 0);
  for (const Entry& e : list) EXPECT_EQ(e.flag, 1u) << Text(e.move);

  const Entry* take = Find(list, "e4d5");
  ASSERT_NE(take, nullptr);
  EXPECT_EQ(take->score, ScoreMove(take->move, 1) + 0x20027100);
  for (const Entry& e : list) {
    if (MoveCaptured(e.move) == 0 && !IsEnPassant(e.move)) {
      EXPECT_GT(take->score, e.score) << Text(e.move);
    }
  }

  // The same quiet move after another last move gets no refutation bonus.
  GameHistory[0].move = MakeMoveWord(C7, C5, PAWN);
  list = Evasions();
  EXPECT_EQ(Find(list, "e4e3")->score, 1000);

  // A queen taking a checking knight guarded by a pawn: losing, flag 0 and
  // the plain (negative) capture score.
  ASSERT_TRUE(SetFenPosition("k7/8/8/8/2p5/3n4/8/3QK3 w - - 0 1"));
  list = Evasions();
  EXPECT_EQ(Texts(list), "e1f1 e1d2 e1e2 d1d3");
  const Entry* losing = Find(list, "d1d3");
  EXPECT_EQ(losing->flag, 0u);
  EXPECT_EQ(losing->score, ScoreMove(losing->move, 0));
  EXPECT_LT(losing->score, 0);

  // A quiet block onto a defended square by a queen is losing: its score
  // comes from the unsafe half of the evasion block.
  ASSERT_TRUE(SetFenPosition("k3r3/8/8/8/8/5b2/3Q4/4K3 w - - 0 1"));
  HistoryTable[0][2][HistoryClass[QUEEN]][D2 + 64 * E2][WHITE] = 321;
  HistoryTable[1][2][HistoryClass[QUEEN]][D2 + 64 * E2][WHITE] = 999;
  list = Evasions();
  const Entry* block = Find(list, "d2e2");
  ASSERT_NE(block, nullptr) << Texts(list);
  EXPECT_EQ(block->flag, (uint32_t)SeeNonNegative(block->move));
  EXPECT_EQ(block->flag, 0u);
  EXPECT_EQ(block->score, 321);
}

// ---------------------------------------------------------------------------
// Quiet checks in hand-made positions.

TEST_F(EvasionsChecksTest, QuietCheckListsInGenerationOrder) {
  const ListCase cases[] = {
      // The knight shields the bishop's diagonal: every safe knight move
      // checks; f3 is guarded by the g4 pawn and dropped.
      {"knight uncovers bishop", "7k/8/8/8/3N2p1/8/8/B6K w - - 0 1", "d4c2 d4e2 d4b3 d4b5 d4f5 d4c6 d4e6"},
      // A rook shielding a diagonal leaves it with every move.
      {"rook uncovers bishop", "7k/8/8/8/3R4/8/8/B6K w - - 0 1",
       "d4d1 d4d2 d4d3 d4a4 d4b4 d4c4 d4e4 d4f4 d4g4 d4h4 d4d5 d4d6 d4d7 d4d8"},
      // Pushing along the rook's file keeps the file closed.
      {"pawn on the file", "4k3/8/8/8/4P3/8/8/K3R3 w - - 0 1", ""},
      // Pushes off the enemy king's rank uncover the rook, single and double.
      {"pawn on the rank", "8/8/8/8/R3P2k/8/8/K7 w - - 0 1", "e4e5"},
      {"pawn on the rank, home", "8/8/8/8/8/8/R3P2k/K7 w - - 0 1", "e2e3 e2e4"},
      // A push to the last rank is left to the promotion generator.
      {"no promotion", "8/R3P2k/8/8/8/8/8/K7 w - - 0 1", ""},
      // Direct checks by pushes; the double push only with the king on the
      // fifth rank.
      {"pawn pushes", "8/8/8/3k4/8/3P4/2P1P3/K7 w - - 0 1", "c2c4 e2e4"},
      {"pawn single pushes", "8/8/3k4/8/2PPP3/8/8/K7 w - - 0 1", "c4c5 e4e5"},
      // The king leaves the rank it shields, onto attacked squares as well.
      {"king uncovers rook", "4r3/8/8/8/R2K3k/8/8/8 w - - 0 1", "d4c3 d4d3 d4e3 d4c5 d4d5 d4e5"},
      // Castling that checks along the f-file; the rook moves first.
      {"castling checks", "8/8/8/5k2/8/8/8/4K2R w K - 0 1", "h1f1 h1h5 e1g1"},
      {"castling through attack", "8/8/8/5k2/8/7n/8/4K2R w K - 0 1", "h1f1"},
      // The king shields the rook on the first rank: its steps off the rank
      // check, and castling long checks back along the rank through e1.
      {"castling long along the rank", "8/8/8/8/8/8/8/R3K2k w Q - 0 1", "e1d2 e1e2 e1f2 e1c1"},
      // A knight check onto a pawn-guarded square is dropped.
      {"losing knight check", "8/5k2/7p/8/8/5N2/8/K7 w - - 0 1", "f3e5"},
      // Queens: diagonal checks first, then rank and file checks; f4 next to
      // the king is losing.
      {"queen checks", "8/8/8/4k3/8/8/8/K1Q5 w - - 0 1", "c1b2 c1c3 c1c7 c1e1 c1e3 c1c5 c1g5"},
  };
  for (const ListCase& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.name;
    EXPECT_EQ(Texts(QuietChecks()), c.expected) << c.name;
  }
}

TEST_F(EvasionsChecksTest, QuietChecksReadTheChosenHistoryBlock) {
  ASSERT_TRUE(SetFenPosition("7k/8/8/8/3N4/8/8/B6K w - - 0 1"));
  HistoryTable[1][1][HistoryClass[KNIGHT]][D4 + 64 * C2][WHITE] = 500;
  EXPECT_EQ(Find(QuietChecks(0), "d4c2")->score, 0);
  EXPECT_EQ(Find(QuietChecks(1), "d4c2")->score, 500);
  EXPECT_EQ(Find(QuietChecks(3), "d4c2")->score, 500);
}

// ---------------------------------------------------------------------------
// The gives-check test in hand-made positions.

struct GivesCheckCase {
  const char* name;
  const char* fen;
  const char* move;
  int check;
  int discovered;
};

TEST_F(EvasionsChecksTest, MoveGivesCheckCases) {
  const GivesCheckCase cases[] = {
      {"queen promotion through the vacated square", "7K/4P3/8/8/8/8/8/4k3 w - - 0 1", "e7e8q", 1, 0},
      {"rook promotion through the vacated square", "7K/4P3/8/8/8/8/8/4k3 w - - 0 1", "e7e8r", 1, 0},
      {"bishop promotion", "7K/4P3/8/8/8/8/8/4k3 w - - 0 1", "e7e8b", 0, 0},
      {"knight promotion", "7K/4P3/3k4/8/8/8/8/8 w - - 0 1", "e7e8n", 1, 0},
      {"capture promotion along the diagonal", "3r4/4P3/8/8/7k/8/8/K7 w - - 0 1", "e7d8q", 1, 0},
      {"capture promotion to a rook", "3r4/4P3/8/8/7k/8/8/K7 w - - 0 1", "e7d8r", 0, 0},
      {"capture promotion to a bishop", "3r4/4P3/8/8/7k/8/8/K7 w - - 0 1", "e7d8b", 1, 0},
      {"promotion uncovering a rook", "8/R3P2k/8/8/8/8/8/K7 w - - 0 1", "e7e8n", 1, 1},
      {"en passant opening the rank", "8/8/8/R2pP2k/8/8/8/K7 w - d6 0 1", "e5d6", 1, 0},
      {"en passant without a rook", "8/8/8/3pP2k/8/8/8/K7 w - d6 0 1", "e5d6", 0, 0},
      {"en passant by BLACK", "k7/8/8/8/r2Pp2K/8/8/8 b - d3 0 1", "e4d3", 1, 0},
      {"castling long, kings on one rank", "8/8/8/8/8/8/8/R3K2k w Q - 0 1", "e1c1", 1, 0},
      {"castling long, a piece between", "8/8/8/8/8/8/8/R3KB1k w Q - 0 1", "e1c1", 0, 0},
      {"castling short along the f-file", "8/8/8/5k2/8/8/8/4K2R w K - 0 1", "e1g1", 1, 0},
      {"castling short along the rank", "8/8/8/8/8/8/8/1k2K2R w K - 0 1", "e1g1", 1, 0},
      {"castling without check", "k7/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0, 0},
      {"castling by BLACK", "r3k3/8/8/8/8/8/8/3K4 b q - 0 1", "e8c8", 1, 0},
      {"knight uncovering the bishop", "7k/8/8/8/3N4/8/8/B6K w - - 0 1", "d4b3", 1, 1},
      {"knight with no line", "7k/8/8/8/3N4/8/8/1B5K w - - 0 1", "d4b3", 0, 0},
      {"king uncovering the rook", "8/8/8/8/R2K3k/8/8/8 w - - 0 1", "d4c3", 1, 1},
      {"king staying on the rank", "8/8/8/8/R2K3k/8/8/8 w - - 0 1", "d4e4", 0, 0},
      {"pawn push", "8/8/3k4/8/4P3/8/8/K7 w - - 0 1", "e4e5", 1, 0},
      {"pawn capture", "8/8/2k5/3n4/4P3/8/8/K7 w - - 0 1", "e4d5", 1, 0},
      {"rook onto the king's rank", "8/8/8/8/7k/8/R7/K7 w - - 0 1", "a2a4", 1, 0},
      {"rook off the king's lines", "8/8/8/8/7k/8/R7/K7 w - - 0 1", "a2a3", 0, 0},
      {"bishop direct", "8/8/8/8/7k/8/8/K1B5 w - - 0 1", "c1f4", 0, 0},
      {"bishop direct diagonal", "8/8/8/8/7k/8/8/K1B5 w - - 0 1", "c1g5", 1, 0},
      {"queen direct", "8/8/8/8/7k/8/8/K1Q5 w - - 0 1", "c1c4", 1, 0},
  };
  for (const GivesCheckCase& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.name;
    Move move = ParseMove(c.move);
    ThreadBoard before = thread_board;
    int ply = GamePly;
    EXPECT_EQ(MoveGivesCheck(move), c.check) << c.name;
    EXPECT_EQ(MoveGivesDiscoveredCheck(move), c.discovered) << c.name;
    EXPECT_EQ(std::memcmp(&before, &thread_board, sizeof before), 0) << c.name;
    EXPECT_EQ(GamePly, ply) << c.name;
    EXPECT_EQ(ChecksAfterMaking(move), c.check) << c.name << " (fixture)";
  }
}

// ---------------------------------------------------------------------------
// Walks of the perft suite: at every position the generators are compared
// with answers found by making the moves.

struct WalkStats {
  long inCheck = 0;
  long doubleCheck = 0;
  long enPassantEvasions = 0;
  long quietCheckNodes = 0;
  long quietChecks = 0;
  long givesCheckMoves = 0;
  long failures = 0;
  std::vector<std::string> checkFens, quietFens;
};

constexpr long MAX_FAILURES = 20;

void Fail(WalkStats& st, const std::string& what) {
  if (++st.failures <= MAX_FAILURES) ADD_FAILURE() << what << "\n  at " << CurrentFen();
}

std::vector<Move> LegalMoves() {
  GenerateLegalMoves(0);
  std::vector<Move> legal;
  for (int i = 0; i < MoveStackTop; i++) legal.push_back(MoveStack[i].move);
  MoveStackTop = 0;
  return legal;
}

// The evasion list, filtered by making each move, is the legal list; king
// steps are legal without filtering; the only moves filtered away are en
// passant captures; flags follow the evasion rule.
void CheckEvasionsHere(const std::vector<Move>& legal, WalkStats& st) {
  MoveStackTop = 0;
  int result = GenerateEvasionsForSearch(0);
  std::vector<Entry> list = TakeList(0);
  if (result != (list.empty() ? 0 : 12)) Fail(st, "evasion result " + std::to_string(result));
  std::set<Move> kept, seen;
  for (const Entry& e : list) {
    if (!seen.insert(e.move).second) Fail(st, "evasion twice: " + Text(e.move));
    if (IsCastling(e.move)) Fail(st, "castling as evasion: " + Text(e.move));
    uint32_t flag = (MovePiece(e.move) == KING || IsEnPassant(e.move)) ? 1 : (uint32_t)SeeNonNegative(e.move);
    if (e.flag != flag) Fail(st, "evasion flag: " + Text(e.move));
    if (IsEnPassant(e.move)) st.enPassantEvasions++;
    if (MovePiece(e.move) != KING && IsPinned(MoveFrom(e.move))) Fail(st, "pinned piece moves: " + Text(e.move));
    if (LegalAfterMaking(e.move))
      kept.insert(e.move);
    else if (!IsEnPassant(e.move))
      Fail(st, "illegal evasion: " + Text(e.move));
  }
  std::set<Move> want(legal.begin(), legal.end());
  if (kept != want) {
    std::string missing, extra;
    for (Move m : want)
      if (!kept.count(m)) missing += " " + Text(m);
    for (Move m : kept)
      if (!want.count(m)) extra += " " + Text(m);
    Fail(st, "evasions differ from legal moves; missing:" + missing + " extra:" + extra);
  }
}

// In a legal position a quiet check of every kind can be produced, so the
// generator must give exactly the quiet moves that check and are king moves,
// castling or exchange-safe, with the same flags.
void CheckQuietChecksHere(WalkStats& st) {
  MoveStackTop = 0;
  GenerateQuietMoves(0);
  std::vector<Entry> quiet = TakeList(0);
  std::map<Move, uint32_t> want;
  for (const Entry& e : quiet)
    if ((MovePiece(e.move) == KING || e.flag == 1) && !KingsTouch(e.move) && ChecksAfterMaking(e.move))
      want[e.move] = e.flag;

  std::vector<Entry> list = QuietChecks();
  st.quietChecks += (long)list.size();
  std::map<Move, uint32_t> got;
  for (const Entry& e : list) {
    if (KingsTouch(e.move)) continue;  // discovered by a step the enemy king would answer by taking
    if (!got.emplace(e.move, e.flag).second) Fail(st, "quiet check twice: " + Text(e.move));
    if ((e.move >> 15) != 0) Fail(st, "capture or promotion as quiet check: " + Text(e.move));
  }
  if (got != want) {
    std::string missing, extra;
    for (auto& [m, f] : want)
      if (!got.count(m)) missing += " " + Text(m);
    for (auto& [m, f] : got)
      if (!want.count(m) || want[m] != f) extra += " " + Text(m) + "/" + std::to_string(f);
    Fail(st, "quiet checks differ; missing:" + missing + " extra or wrong flag:" + extra);
  }
}

// MoveGivesCheck agrees with making the move, for every pseudo-legal move,
// and leaves the position as it was; with the position's check targets it
// and MoveGivesDiscoveredCheck give the same answers.
void CheckGivesCheckHere(bool inCheck, WalkStats& st) {
  MoveStackTop = 0;
  if (inCheck) {
    GenerateEvasionsForProbe();
  } else {
    GenerateCaptures(thread_board.Colour[thread_board.SideToMove ^ 1]);
    GeneratePromotions();
    GenerateQuietMoves(0);
  }
  std::vector<Entry> moves = TakeList(0);
  CheckTargets targets;
  FindCheckTargets(&targets);
  for (const Entry& e : moves) {
    if (KingsTouch(e.move)) continue;
    ThreadBoard before = thread_board;
    int check = MoveGivesCheck(e.move);
    if (MoveGivesCheckWith(e.move, targets) != check) Fail(st, "check by the targets differs for " + Text(e.move));
    int discovered = MoveGivesDiscoveredCheck(e.move);
    if (MoveGivesDiscoveredCheckWith(e.move, targets) != discovered)
      Fail(st, "discovered check by the targets differs for " + Text(e.move));
    if (std::memcmp(&before, &thread_board, sizeof before) != 0) Fail(st, "position changed by " + Text(e.move));
    int want = ChecksAfterMaking(e.move);
    if (check != want) Fail(st, "gives check " + std::to_string(check) + " for " + Text(e.move));
    if (discovered && !want) Fail(st, "discovered check that is none: " + Text(e.move));
    st.givesCheckMoves++;
  }
}

// Checks every position up to `depth` plies deep; the positions one ply
// further are checked only when they are in check.
void Walk(int depth, WalkStats& st) {
  if (st.failures > MAX_FAILURES) return;
  const ThreadBoard& b = thread_board;
  int side = b.SideToMove;
  bool inCheck = SquareAttacked(side ^ 1, b.KingSquare[side]);
  if (depth < 0 && !inCheck) return;

  std::vector<Move> legal = LegalMoves();
  if (inCheck) {
    st.inCheck++;
    Bitboard checkers = 0;
    for (int s = 0; s < 64; s++)
      if ((b.Colour[side ^ 1] >> s) & 1) {
        Bitboard a = AttacksFrom(s, side ^ 1, (int)b.Board[s]);
        if ((a >> b.KingSquare[side]) & 1) checkers |= SquareBit(s);
      }
    if (PopCount(checkers) > 1) st.doubleCheck++;
    CheckEvasionsHere(legal, st);
  } else {
    st.quietCheckNodes++;
    CheckQuietChecksHere(st);
  }
  if (depth < 0) return;
  CheckGivesCheckHere(inCheck, st);
  for (Move m : legal) {
    MakeMove(m, 1);
    Walk(depth - 1, st);
    UnmakeMove();
  }
}

std::vector<std::string> ExtraCheckFens() {
  return {
      "k3r3/7b/5N2/8/4K3/8/8/8 w - - 0 1",         "7k/8/8/8/8/1N2B3/4Pn2/r3K3 w - - 0 1",
      "k7/4r3/8/8/8/3n4/2P1B3/4K3 w - - 0 1",      "k7/8/8/8/r6K/2P3P1/1P1P4/4b3 w - - 0 1",
      "r6K/3P4/8/8/8/8/8/k7 w - - 0 1",            "7K/8/8/8/8/8/1p1pk3/2N5 b - - 0 1",
      "7k/8/8/3pP3/4K3/8/8/8 w - d6 0 1",          "7k/1b6/8/3pP3/4K3/8/8/8 w - d6 0 1",
      "4r2k/8/8/3pP3/4K3/8/8/8 w - d6 0 1",        "k7/8/8/8/2p5/3n4/8/3QK3 w - - 0 1",
      "k3r3/8/8/8/8/5b2/3Q4/4K3 w - - 0 1",        "8/8/8/2k5/3Pp3/8/8/7K b - d3 0 1",
      "8/8/8/2k4Q/3Pp3/8/8/7K b - d3 0 1",          "1k6/8/8/8/8/8/4r3/R2QK2r w - - 0 1",
  };
}

TEST_F(EvasionsChecksTest, PerftSuiteWalkAgreesWithMakingTheMoves) {
  std::vector<PerftCase> suite = LoadPerftSuite();
  ASSERT_FALSE(suite.empty());
  WalkStats st;
  // Lines 3 to 7 are hand-picked tricky positions (checks, pins, en passant,
  // promotions): one ply deeper.
  for (size_t i = 0; i < suite.size(); i++) {
    ASSERT_TRUE(SetFenPosition(suite[i].fen.c_str())) << suite[i].fen;
    MoveStackTop = 0;
    Walk(i >= 2 && i < 7 ? 3 : 2, st);
  }
  for (const std::string& fen : ExtraCheckFens()) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    Walk(1, st);
  }
  EXPECT_EQ(st.failures, 0);
  // The walk must really have met the hard cases.
  EXPECT_GT(st.inCheck, 100000);
  EXPECT_GT(st.doubleCheck, 500);
  EXPECT_GT(st.enPassantEvasions, 20);
  EXPECT_GT(st.quietChecks, 50000);
  std::printf("walk: %ld in check (%ld double, %ld en-passant evasions), %ld quiet-check positions with %ld checks, "
              "%ld gives-check moves\n",
              st.inCheck, st.doubleCheck, st.enPassantEvasions, st.quietCheckNodes, st.quietChecks,
              st.givesCheckMoves);
}

// ---------------------------------------------------------------------------
// The two colours: the colour-flipped twin of a position gets the mirrored
// moves with the same flags and scores.

using Triple = std::tuple<Move, int32_t, uint32_t>;

std::vector<Triple> Mirrored(const std::vector<Entry>& list) {
  std::vector<Triple> out;
  for (const Entry& e : list) {
    Move m = e.move;
    Move flipped = (m & ~(Move)0xFFF) | (Move)(MoveFrom(m) ^ 56) | (Move)(MoveTo(m) ^ 56) << 6;
    out.emplace_back(flipped, e.score, e.flag);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<Triple> Sorted(const std::vector<Entry>& list) {
  std::vector<Triple> out;
  for (const Entry& e : list) out.emplace_back(e.move, e.score, e.flag);
  std::sort(out.begin(), out.end());
  return out;
}

// Collects the FENs of a shallow walk, the positions in check and a sample
// of the others.
void CollectFens(int depth, WalkStats& st) {
  const ThreadBoard& b = thread_board;
  int side = b.SideToMove;
  if (SquareAttacked(side ^ 1, b.KingSquare[side])) {
    st.checkFens.push_back(CurrentFen());
  } else if (++st.quietCheckNodes % 7 == 0) {
    st.quietFens.push_back(CurrentFen());
  }
  if (depth == 0) return;
  for (Move m : LegalMoves()) {
    MakeMove(m, 1);
    CollectFens(depth - 1, st);
    UnmakeMove();
  }
}

TEST_F(EvasionsChecksTest, ColourFlippedTwinsGetMirroredLists) {
  WalkStats st;
  for (const PerftCase& c : LoadPerftSuite()) {
    ASSERT_TRUE(SetFenPosition(c.fen.c_str()));
    CollectFens(2, st);
  }
  for (const std::string& fen : ExtraCheckFens()) st.checkFens.push_back(fen);
  ASSERT_GT(st.checkFens.size(), 1000u);

  long failures = 0;
  for (const std::string& fen : st.checkFens) {
    ASSERT_TRUE(SetFenPosition(fen.c_str()));
    std::vector<Triple> mine = Mirrored(Evasions());
    ASSERT_TRUE(SetFenPosition(FlipFen(fen).c_str()));
    std::vector<Triple> twin = Sorted(Evasions());
    if (mine != twin && ++failures <= 5) ADD_FAILURE() << "evasions of the twin differ: " << fen;
  }
  for (const std::string& fen : st.quietFens) {
    ASSERT_TRUE(SetFenPosition(fen.c_str()));
    std::vector<Triple> mine = Mirrored(QuietChecks());
    ASSERT_TRUE(SetFenPosition(FlipFen(fen).c_str()));
    std::vector<Triple> twin = Sorted(QuietChecks());
    if (mine != twin && ++failures <= 5) ADD_FAILURE() << "quiet checks of the twin differ: " << fen;
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
