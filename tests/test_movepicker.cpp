// The staged move picker and the ordering statistics: stage order, the
// special moves and their pseudo-legal test, promotions by depth, history
// arithmetic, killers and move pairs, and a walk over the perft suite that
// checks the stages against the generators' full lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/searchstack.h"
#include "search/movepicker.h"
#include "search/root.h"
#include "search/searchtools.h"
#include "test_support.h"

namespace {

class MovePickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureTablesReady();
    Clear();
    SearchPly = 1;
    IterationDepth = 10;
  }
  void TearDown() override {
    Clear();
    SearchPly = 0;
    IterationDepth = 0;
  }
  static void Clear() {
    std::memset(HistoryTable, 0, sizeof HistoryTable);
    std::memset(CounterMoves, 0, sizeof CounterMoves);
    std::memset(FollowUpMoves, 0, sizeof FollowUpMoves);
    std::memset(ThreatRefutations, 0, sizeof ThreatRefutations);
    std::memset(EvasionRefutation, 0, sizeof EvasionRefutation);
    std::memset(SearchStack, 0, sizeof SearchStack);
    MoveStackTop = 0;
  }
};

std::string Text(Move move) {
  char buffer[16];
  MoveToText(buffer, move);
  return buffer;
}

std::string Texts(const std::vector<Move>& moves) {
  std::string out;
  for (Move m : moves) out += (out.empty() ? "" : " ") + Text(m);
  return out;
}

// Sets the position and the in-check flag of the current ply record.
void SetPosition(const char* fen) {
  ASSERT_TRUE(SetFenPosition(fen)) << fen;
  const int side = thread_board.SideToMove;
  SearchStack[SearchPly].in_check = (uint32_t)SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
}

// Plays moves given as text on the current position.
void Play(std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    const Move m = ParseMove(text);
    ASSERT_NE(m, 0u) << text;
    MakeMove(m, 1);
  }
  const int side = thread_board.SideToMove;
  SearchStack[SearchPly].in_check = (uint32_t)SquareAttacked(side ^ 1, thread_board.KingSquare[side]);
}

Move Word(const char* text) {
  const Move m = ParseMove(text);
  EXPECT_NE(m, 0u) << text;
  return m;
}

struct Stage {
  int number;
  std::vector<MoveEntry> entries;
};

// Every stage the picker hands out, from 14 until it answers 0; each stage's
// entries are taken off the stack again, as the search does.
std::vector<Stage> WalkStages(uint8_t* nodeFlags, int checksOnly = 0, int good = 0, int safe = 0) {
  std::vector<Stage> stages;
  int stage = STAGE_START;
  for (int guard = 0; guard < 16; guard++) {
    const int start = MoveStackTop;
    const int next = GenerateStageMoves(stage, checksOnly, 0, nodeFlags, good, safe);
    if (next == 0) {
      EXPECT_EQ(MoveStackTop, start) << "a stage of 0 appended moves";
      break;
    }
    Stage s{next, {}};
    for (int i = start; i < MoveStackTop; i++) s.entries.push_back(MoveStack[i]);
    MoveStackTop = start;
    EXPECT_FALSE(s.entries.empty()) << "stage " << next << " is empty";
    stages.push_back(s);
    stage = next;
  }
  return stages;
}

// "11:e4d5 10:g1f3 ..." with the quiet stage shown as "2:" and its count.
std::string StageText(const std::vector<Stage>& stages) {
  std::string out;
  for (const Stage& s : stages) {
    if (!out.empty()) out += ' ';
    out += std::to_string(s.number) + ":";
    if (s.number == STAGE_QUIET) {
      out += std::to_string(s.entries.size());
      continue;
    }
    for (size_t i = 0; i < s.entries.size(); i++) out += (i ? "," : "") + Text(s.entries[i].move);
  }
  return out;
}

std::string CurrentFen() {
  MakeFen(0);
  return FenText;
}

std::vector<Move> Generated(void (*generate)()) {
  const int start = MoveStackTop;
  generate();
  std::vector<Move> list;
  for (int i = start; i < MoveStackTop; i++) list.push_back(MoveStack[i].move);
  MoveStackTop = start;
  return list;
}

std::vector<Move> QuietList() {
  return Generated([] { GenerateQuietMoves(0); });
}

// The special moves come one per stage, in the order threat refutations,
// killer, countermoves, each only when set, new at this ply and playable;
// the quiet stage follows with every quiet move.
TEST_F(MovePickerTest, StageOrderAndSpecialMoves) {
  struct Case {
    const char* what;
    int threat;       // 1: the ply has a threat move
    int ply;          // SearchPly
    const char* killer;
    const char* counter2;
    const char* expected;
  };
  const Case cases[] = {
      {"every stage", 1, 1, "f1b5", "h2h3", "11:e4d5 10:g1f3 9:b1c3 8:f1b5 7:d2d4 6:h2h3 2:30"},
      {"a repeated move is offered once", 1, 1, "b1c3", "g1f3", "11:e4d5 10:g1f3 9:b1c3 7:d2d4 2:30"},
      {"no threat move: no refutations", 0, 1, "f1b5", "h2h3", "11:e4d5 8:f1b5 7:d2d4 6:h2h3 2:30"},
      {"at the root no countermoves", 1, 0, "f1b5", "h2h3", "11:e4d5 10:g1f3 9:b1c3 8:f1b5 2:30"},
      {"an unplayable killer is passed over", 1, 1, "f1f3", "h2h3", "11:e4d5 10:g1f3 9:b1c3 7:d2d4 6:h2h3 2:30"},
  };
  for (const Case& c : cases) {
    Clear();
    SearchPly = c.ply;
    SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    Play({"e2e4", "d7d5"});
    PlyRecord& r = SearchStack[SearchPly];
    const Move threat = MakeMoveWord(D8, D6, QUEEN);
    r.threat_move = c.threat ? threat : 0;
    ThreatRefutations[0][D6][PieceSlot[QUEEN]][WHITE] = Word("g1f3");
    ThreatRefutations[1][D6][PieceSlot[QUEEN]][WHITE] = Word("b1c3");
    r.killer1[WHITE] = Word(c.killer);
    r.killer2[WHITE] = Word("a2a3");  // never offered
    CounterMoves[0][D5][PieceSlot[PAWN]][WHITE] = Word("d2d4");
    CounterMoves[1][D5][PieceSlot[PAWN]][WHITE] = Word(c.counter2);
    r.tried_count = 5;  // left from an earlier visit of the ply

    uint8_t flags = 0;
    const std::vector<Stage> stages = WalkStages(&flags);
    EXPECT_EQ(StageText(stages), c.expected) << c.what;
    EXPECT_EQ(flags, 0) << c.what;

    // The special stages carry score 0 and the unknown-safety flag, and are
    // recorded as tried; the quiet stage is the full quiet list.
    int specials = 0;
    for (const Stage& s : stages) {
      if (s.number == STAGE_TACTICAL) continue;
      if (s.number == STAGE_QUIET) {
        std::vector<Move> quiet;
        for (const MoveEntry& e : s.entries) quiet.push_back(e.move);
        EXPECT_EQ(Texts(quiet), Texts(QuietList())) << c.what;
        continue;
      }
      ASSERT_EQ(s.entries.size(), 1u);
      EXPECT_EQ(s.entries[0].score, 0);
      EXPECT_EQ(s.entries[0].flag, 32700u);
      ASSERT_LT(specials, r.tried_count);
      EXPECT_EQ(r.tried_moves[specials], s.entries[0].move) << c.what;
      specials++;
    }
    EXPECT_EQ(r.tried_count, specials) << c.what;
  }
}

// An empty tactical stage marks the node so a later visit skips it; good
// captures only marks it with bit 1 alone. The checks-only quiet stage
// gives quiet checks, unless bit 0 forbids them.
TEST_F(MovePickerTest, NodeFlagsAndQuietVariants) {
  struct Case {
    const char* what;
    const char* fen;
    uint8_t flagsIn;
    int checksOnly, good, safe;
    const char* expected;
    uint8_t flagsOut;
  };
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const char* losing = "4k3/8/2p2n2/3p4/8/8/8/3QK3 w - - 0 1";  // Qxd5 loses the queen
  const Case cases[] = {
      {"no tactical moves", start, 0, 0, 0, 0, "2:20", 2 | 16},
      {"no good tactical moves", losing, 0, 0, 1, 0, "2:17", 2},
      {"the losing capture with all captures", losing, 0, 0, 0, 0, "11:d1d5 2:17", 0},
      {"bit 4 skips the tactical stage", losing, 16, 0, 0, 0, "2:17", 16},
      {"safe quiet moves only: Qg4 and Qh5 meet the knight", losing, 0, 0, 0, 1, "11:d1d5 2:15", 0},
      {"quiet checks: Qe2 (Qh5 meets the knight)", losing, 0, 1, 0, 0, "11:d1d5 2:1", 0},
      {"bit 0 forbids quiet checks", losing, 1, 1, 0, 0, "11:d1d5", 1},
  };
  for (const Case& c : cases) {
    Clear();
    SetPosition(c.fen);
    uint8_t flags = c.flagsIn;
    EXPECT_EQ(StageText(WalkStages(&flags, c.checksOnly, c.good, c.safe)), c.expected) << c.what;
    EXPECT_EQ(flags, c.flagsOut) << c.what;
  }
}

// In check the picker answers the first call with the evasions (12) and
// every other stage number with 0.
TEST_F(MovePickerTest, InCheckOnlyEvasions) {
  SetPosition("4k3/8/8/8/8/8/3q4/4K3 w - - 0 1");
  ASSERT_EQ(SearchStack[SearchPly].in_check, 1u);
  SearchStack[SearchPly].tried_count = 3;
  SearchStack[SearchPly].killer1[WHITE] = Word("e1f1");
  uint8_t flags = 0;
  EXPECT_EQ(StageText(WalkStages(&flags)), "12:e1f1,e1d2");
  EXPECT_EQ(SearchStack[SearchPly].tried_count, 0);
  for (int stage = 1; stage < STAGE_START; stage++) {
    EXPECT_EQ(GenerateStageMoves(stage, 0, 0, &flags, 0, 0), 0) << stage;
    EXPECT_EQ(MoveStackTop, 0) << stage;
  }
  SetPosition("4k3/8/8/8/8/8/3qq3/4K3 w - - 0 1");  // mated: no evasion at all
  EXPECT_EQ(GenerateStageMoves(STAGE_START, 0, 0, &flags, 0, 0), 0);
}

// Near the root all four promotions; deeper than half the iteration depth
// (and with good captures only) the queen and a knight that gives check.
TEST_F(MovePickerTest, PromotionsByDepth) {
  struct Case {
    const char* fen;
    int ply, good;
    const char* expected;
  };
  const char* knightChecks = "8/P1k5/8/8/8/8/8/4K3 w - - 0 1";
  const char* noCheck = "8/P7/8/8/8/4k3/8/4K3 w - - 0 1";
  const char* blackChecks = "4k3/8/8/8/8/8/p1K5/8 b - - 0 1";
  const Case cases[] = {
      {knightChecks, 1, 0, "a7a8q a7a8r a7a8n a7a8b"},
      {knightChecks, 5, 0, "a7a8q a7a8r a7a8n a7a8b"},  // 5 = 10 / 2
      {knightChecks, 6, 0, "a7a8q a7a8n"},
      {noCheck, 6, 0, "a7a8q"},
      {noCheck, 1, 1, "a7a8q"},
      {knightChecks, 1, 1, "a7a8q a7a8n"},
      {blackChecks, 6, 0, "a2a1q a2a1n"},
      {blackChecks, 2, 0, "a2a1q a2a1r a2a1n a2a1b"},
      {"8/P6P/8/8/8/4k3/8/4K3 w - - 0 1", 6, 0, "h7h8q a7a8q"},  // highest square first
      {"n7/P7/8/8/8/4k3/8/4K3 w - - 0 1", 1, 0, ""},             // blocked
  };
  for (const Case& c : cases) {
    Clear();
    SearchPly = c.ply;
    SetPosition(c.fen);
    uint8_t flags = 0;
    const int start = MoveStackTop;
    std::vector<Move> tactical;
    if (GenerateStageMoves(STAGE_START, 0, 0, &flags, c.good, 0) == STAGE_TACTICAL)
      for (int i = start; i < MoveStackTop; i++) tactical.push_back(MoveStack[i].move);
    MoveStackTop = start;
    EXPECT_EQ(Texts(tactical), c.expected) << c.fen << " ply " << c.ply << " good " << c.good;
  }
}

// The pseudo-legal test of remembered moves on the board of now.
TEST_F(MovePickerTest, PseudoLegalTest) {
  struct Case {
    const char* what;
    const char* fen;
    Move move;
    int accepted;
  };
  const char* castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const Case cases[] = {
      {"short castling", castles, CASTLE_WHITE_SHORT, 1},
      {"long castling", castles, CASTLE_WHITE_LONG, 1},
      {"short right gone", "r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1", CASTLE_WHITE_SHORT, 0},
      {"f1 attacked", "r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", CASTLE_WHITE_SHORT, 0},
      {"d1 free of attack though f1 is not", "r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", CASTLE_WHITE_LONG, 1},
      {"b1 occupied", "r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1", CASTLE_WHITE_LONG, 0},
      {"b1 attacked but empty", "1r2k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1", CASTLE_WHITE_LONG, 1},
      {"the king's own square is not tested", "r3k2r/8/8/4r3/8/8/8/R3K2R w KQkq - 0 1", CASTLE_WHITE_SHORT, 1},
      {"black short castling", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", CASTLE_BLACK_SHORT, 1},
      {"f8 and d8 attacked", "r3k2r/4B3/8/8/8/8/8/R3K2R b KQkq - 0 1", CASTLE_BLACK_SHORT, 0},
      {"d8 attacked", "r3k2r/4B3/8/8/8/8/8/R3K2R b KQkq - 0 1", CASTLE_BLACK_LONG, 0},
      {"the other side's castling word", castles, CASTLE_BLACK_SHORT, 0},
      {"double step", start, MakeMoveWord(E2, E4, PAWN), 1},
      {"double step blocked", "rnbqkbnr/pppppppp/8/8/8/4n3/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
       MakeMoveWord(E2, E4, PAWN), 0},
      {"target now occupied", "rnbqkbnr/pppppppp/8/8/4n3/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
       MakeMoveWord(E2, E4, PAWN), 0},
      {"slider blocked", start, MakeMoveWord(F1, C4, BISHOP), 0},
      {"knight jumps", start, MakeMoveWord(G1, F3, KNIGHT), 1},
      {"mover code differs", start, MakeMoveWord(G1, F3, BISHOP), 0},
      {"from square empty", "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R w KQkq - 0 1",
       MakeMoveWord(G1, F3, KNIGHT), 0},
      {"from square holds an enemy piece", start, MakeMoveWord(G8, F6, KNIGHT), 0},
      {"onto an own piece", start, MakeMoveWord(B1, D2, KNIGHT, PAWN), 0},
  };
  for (const Case& c : cases) {
    Clear();
    SetPosition(c.fen);
    EXPECT_EQ(AddMoveIfPseudoLegal(c.move), c.accepted) << c.what;
    ASSERT_EQ(MoveStackTop, c.accepted) << c.what;
    if (c.accepted) {
      EXPECT_EQ(MoveStack[0].move, c.move);
      EXPECT_EQ(MoveStack[0].score, 0);
      EXPECT_EQ(MoveStack[0].flag, 32700u);
    }
  }
}

// e += (32700 - e) * rate >> 10 and e -= e * rate >> 10, with the rate by
// depth / 4 clamped to 0..15, in the entry chosen by safety, block, class,
// squares and side.
TEST_F(MovePickerTest, HistoryArithmetic) {
  struct Case {
    const char* move;
    int depth;
    uint32_t historyArgument;
    int inCheck;
    uint32_t flag;
    int decay;
    uint32_t before, after;
    int safe, block;
  };
  const Case cases[] = {
      {"g1h3", 64, 0, 0, 1, 0, 0, 9516, 1, 0},      // rate 298
      {"g1h3", 400, 0, 0, 1, 0, 0, 9516, 1, 0},     // clamped to 298
      {"g1h3", 3, 0, 0, 1, 0, 0, 479, 1, 0},        // rate 15
      {"g1h3", -9, 0, 0, 1, 0, 0, 479, 1, 0},       // negative depth: rate 15
      {"g1h3", 4, 0, 0, 1, 0, 0, 1820, 1, 0},       // rate 57
      {"g1h3", 40, 3, 0, 1, 0, 16000, 20272, 1, 1}, // rate 262, block by bit 0
      {"g1h3", 40, 2, 1, 1, 0, 32700, 32700, 1, 2}, // in check: block 2, full stays full
      {"g1h3", 64, 0, 0, 1, 1, 10000, 7090, 1, 0},
      {"g1h3", 0, 0, 0, 1, 1, 1000, 986, 1, 0},
      {"g1h3", 0, 0, 0, 1, 1, 0, 0, 1, 0},
      {"g1f3", 8, 0, 0, 0, 0, 0, 3800, 0, 0},       // the caller's flag says losing
      {"g1f3", 8, 0, 0, 32700, 0, 0, 3800, 0, 0},   // worked out: the pawn takes on f3
      {"g1h3", 8, 0, 0, 32700, 0, 0, 3800, 1, 0},
      {"e1d2", 8, 0, 0, 32700, 1, 2000, 1768, 1, 0}, // a king move is safe
  };
  for (const Case& c : cases) {
    Clear();
    SetPosition("4k3/8/8/8/4p3/8/8/4K1N1 w - - 0 1");
    const Move m = Word(c.move);
    uint32_t& e = HistoryTable[c.safe][c.block][HistoryClass[MovePiece(m)]][MoveFrom(m) + 64 * MoveTo(m)][WHITE];
    e = c.before;
    if (c.decay)
      DecayHistory(c.depth, m, c.historyArgument, c.inCheck, c.flag);
    else
      UpdateMoveHistory(c.depth, m, c.historyArgument, c.inCheck, c.flag);
    EXPECT_EQ(e, c.after) << c.move << " depth " << c.depth;
    e = 0;
    for (size_t i = 0; i < sizeof HistoryTable / sizeof(uint32_t); i++)
      ASSERT_EQ((&HistoryTable[0][0][0][0][0])[i], 0u) << "another entry changed: " << c.move << " depth " << c.depth;
  }
}

// A quiet cut-off becomes the first killer and the first of its countermove,
// follow-up and threat-refutation pairs; the old first moves down unless the
// move is first already. In check only the evasion refutation is kept.
TEST_F(MovePickerTest, KillersAndMovePairs) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  Play({"e2e4", "e7e5"});
  PlyRecord& r = SearchStack[SearchPly];
  r.threat_move = MakeMoveWord(D8, H4, QUEEN);
  const Move nf3 = Word("g1f3"), nc3 = Word("b1c3");
  auto pairs = [&]() {
    const int p = PieceSlot[PAWN], q = PieceSlot[QUEEN];
    return Texts({r.killer1[WHITE], r.killer2[WHITE]}) + " | " +
           Texts({CounterMoves[0][E5][p][WHITE], CounterMoves[1][E5][p][WHITE]}) + " | " +
           Texts({FollowUpMoves[0][E4][p][WHITE], FollowUpMoves[1][E4][p][WHITE]}) + " | " +
           Texts({ThreatRefutations[0][H4][q][WHITE], ThreatRefutations[1][H4][q][WHITE]});
  };
  UpdateMoveHistory(8, nf3, 0, 0, 1);
  EXPECT_EQ(pairs(), "g1f3 0000 | g1f3 0000 | g1f3 0000 | g1f3 0000");
  UpdateMoveHistory(8, nc3, 0, 0, 1);
  EXPECT_EQ(pairs(), "b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3");
  UpdateMoveHistory(8, nc3, 0, 0, 1);
  EXPECT_EQ(pairs(), "b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3");
  EXPECT_EQ(SearchStack[SearchPly + 1].killer1[WHITE], 0u);
  EXPECT_EQ(r.killer1[BLACK], 0u);

  // In check: the refutation of the checking move for this king square.
  SetPosition("rnbqkbnr/pppp1ppp/8/4p3/4P3/5P2/PPPP2PP/RNBQKBNR b KQkq - 0 1");
  Play({"d8h4"});
  ASSERT_EQ(r.in_check, 1u);
  const Move g3 = Word("g2g3");
  UpdateMoveHistory(8, g3, 0, 1, 1);
  EXPECT_EQ(EvasionRefutation[0][H4][E1][WHITE], g3);
  EXPECT_EQ(EvasionRefutation[1][H4][E1][WHITE], 0u);
  EXPECT_EQ(pairs(), "b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3 | b1c3 g1f3");
  UpdateMoveHistory(8, Word("e1e2"), 0, 1, 1);
  EXPECT_EQ(Texts({EvasionRefutation[0][H4][E1][WHITE], EvasionRefutation[1][H4][E1][WHITE]}), "e1e2 g2g3");

  // Without game moves there is no pair to key by: only the killer.
  Clear();
  SetPosition("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  ASSERT_EQ(GamePly, 0);
  UpdateMoveHistory(8, nf3, 0, 0, 1);
  EXPECT_EQ(r.killer1[WHITE], nf3);
  for (int slot = 0; slot < 7; slot++) EXPECT_EQ(CounterMoves[0][0][slot][WHITE], 0u);
}

// Killers move two plies toward the root; the last four plies keep theirs.
TEST_F(MovePickerTest, ShiftKillers) {
  for (int p = 0; p < SEARCH_STACK_SIZE; p++) {
    SearchStack[p].killer1[WHITE] = 10 * p + 1;
    SearchStack[p].killer1[BLACK] = 10 * p + 2;
    SearchStack[p].killer2[WHITE] = 10 * p + 3;
    SearchStack[p].killer2[BLACK] = 10 * p + 4;
  }
  ShiftKillers();
  for (int p = 0; p < SEARCH_STACK_SIZE; p++) {
    const uint32_t from = (uint32_t)(p < 192 ? p + 2 : p);
    EXPECT_EQ(SearchStack[p].killer1[WHITE], 10 * from + 1) << p;
    EXPECT_EQ(SearchStack[p].killer1[BLACK], 10 * from + 2) << p;
    EXPECT_EQ(SearchStack[p].killer2[WHITE], 10 * from + 3) << p;
    EXPECT_EQ(SearchStack[p].killer2[BLACK], 10 * from + 4) << p;
  }
}

// Over every perft-suite position and its children, with the special-move
// tables filled from moves of other positions: every move handed out is in
// the generators' full list, the stages together give that list exactly
// once (the quiet stage's repeats of tried moves skipped, as the search
// does), and the pseudo-legal test accepts a remembered quiet move exactly
// when the quiet generator produces it.
TEST_F(MovePickerTest, StagesCoverTheFullListOverThePerftSuite) {
  const std::vector<PerftCase> suite = LoadPerftSuite();
  ASSERT_GT(suite.size(), 100u);
  std::vector<Move> pool[2];  // quiet moves seen so far, per side
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  auto pick = [&](int side, const std::vector<Move>& here) -> Move {
    const uint32_t roll = next() % 8;
    if (roll == 0) return 0;
    if (roll < 4 && !here.empty()) return here[next() % here.size()];
    if (pool[side].empty()) return 0;
    return pool[side][next() % pool[side].size()];
  };
  int nodes = 0, specialsHandedOut = 0, poolRejected = 0;

  auto checkNode = [&]() {
    const ThreadBoard& b = thread_board;
    const int side = b.SideToMove;
    PlyRecord& r = SearchStack[SearchPly];
    r.in_check = (uint32_t)SquareAttacked(side ^ 1, b.KingSquare[side]);
    const std::vector<Move> quiet = r.in_check ? std::vector<Move>{} : QuietList();
    std::vector<Move> full;
    if (r.in_check) {
      full = Generated([] { GenerateEvasions(14); });
    } else {
      full = Generated([] {
        GenerateCaptures(thread_board.Colour[thread_board.SideToMove ^ 1]);
        GeneratePromotions();
        GenerateQuietMoves(0);
      });
    }

    // Remembered moves from here and from elsewhere.
    r.threat_move = pick(side ^ 1, {});
    const Move t = r.threat_move;
    ThreatRefutations[0][MoveTo(t)][PieceSlot[MovePiece(t)]][side] = pick(side, quiet);
    ThreatRefutations[1][MoveTo(t)][PieceSlot[MovePiece(t)]][side] = pick(side, quiet);
    r.killer1[side] = pick(side, quiet);
    const Move last = GamePly > 0 ? GameHistory[GamePly - 1].move : 0;
    CounterMoves[0][MoveTo(last)][PieceSlot[MovePiece(last)]][side] = pick(side, quiet);
    CounterMoves[1][MoveTo(last)][PieceSlot[MovePiece(last)]][side] = pick(side, quiet);

    uint8_t flags = 0;
    const std::vector<Stage> stages = WalkStages(&flags);
    std::vector<Move> handed;
    for (const Stage& s : stages) {
      for (const MoveEntry& e : s.entries) {
        const bool repeat = s.number == STAGE_QUIET &&
                            std::find(r.tried_moves, r.tried_moves + r.tried_count, e.move) != r.tried_moves + r.tried_count;
        EXPECT_NE(std::find(full.begin(), full.end(), e.move), full.end())
            << "not pseudo-legal: " << Text(e.move) << " stage " << s.number << " in " << CurrentFen();
        if (!repeat) handed.push_back(e.move);
        if (s.number != STAGE_QUIET && s.number != STAGE_TACTICAL && s.number != STAGE_EVASIONS) specialsHandedOut++;
      }
    }
    std::vector<Move> a = handed, f = full;
    std::sort(a.begin(), a.end());
    std::sort(f.begin(), f.end());
    EXPECT_EQ(std::adjacent_find(a.begin(), a.end()), a.end()) << "a move handed out twice in " << CurrentFen();
    EXPECT_EQ(a, f) << "stages differ from the full list in " << CurrentFen();

    if (!r.in_check) {
      for (int i = 0; i < 48 && !pool[side].empty(); i++) {
        const Move m = pool[side][next() % pool[side].size()];
        const int inQuiet = std::find(quiet.begin(), quiet.end(), m) != quiet.end();
        const int start = MoveStackTop;
        EXPECT_EQ(AddMoveIfPseudoLegal(m), inQuiet) << Text(m) << " in " << CurrentFen();
        MoveStackTop = start;
        poolRejected += !inQuiet;
      }
      for (Move m : quiet)
        if (pool[side].size() < 600 && next() % 4 == 0) pool[side].push_back(m);
    }
    nodes++;
  };

  for (const PerftCase& c : suite) {
    Clear();
    ASSERT_TRUE(SetFenPosition(c.fen.c_str())) << c.fen;
    checkNode();
    GenerateLegalMoves(0);
    std::vector<Move> legal;
    for (int i = 0; i < MoveStackTop; i++) legal.push_back(MoveStack[i].move);
    MoveStackTop = 0;
    for (Move m : legal) {
      MakeMove(m, 1);
      MoveStackTop = 0;
      checkNode();
      UnmakeMove();
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(nodes, 1500);
  EXPECT_GT(specialsHandedOut, 1000);
  EXPECT_GT(poolRejected, 1000);
}

// The sorts of a move list give the order in which PickBestEntry hands the
// entries out one by one (highest score first, equal scores in list order):
// SortEntries on any scores; SortScoresNotNegative on lists without negative
// scores, mostly zeros with ties among the rest as the quiet moves' history
// scores are, and on one longer than its buffer.
TEST_F(MovePickerTest, SortsGiveThePickOrder) {
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (int)((seed >> 16) & 0x7FFF);
  };
  constexpr int AT = 100;
  for (int round = 0; round < 400; round++) {
    const int length = round == 399 ? 300 : next() % 60;
    const bool notNegative = round % 2 == 0;
    std::vector<MoveEntry> list(length);
    for (int i = 0; i < length; i++) {
      int score = next() % 8 == 0 ? (next() % 5) * 100 : 0;
      if (!notNegative && next() % 3 == 0) score = -(next() % 4) * 100;
      list[i] = {(Move)(i + 1), score, (uint32_t)i};
    }
    auto load = [&]() { std::copy(list.begin(), list.end(), MoveStack + AT); };
    auto same = [&](const std::vector<MoveEntry>& want, const char* sort) {
      for (int i = 0; i < length; i++)
        ASSERT_TRUE(MoveStack[AT + i].move == want[i].move && MoveStack[AT + i].score == want[i].score &&
                    MoveStack[AT + i].flag == want[i].flag)
            << sort << ", round " << round << ", entry " << i;
    };
    load();
    std::vector<MoveEntry> picks;
    for (int i = 0; i < length; i++) {
      PickBestEntry(AT + i, AT + length);
      picks.push_back(MoveStack[AT + i]);
    }
    load();
    SortEntries(AT, AT + length);
    same(picks, "SortEntries");
    if (notNegative) {
      load();
      SortScoresNotNegative(AT, AT + length);
      same(picks, "SortScoresNotNegative");
    }
  }
}

}  // namespace
