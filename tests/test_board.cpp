// Position record, make/unmake, FEN and perft.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/movegen.h"
#include "board/pst.h"
#include "board/verify.h"
#include "test_support.h"

namespace {

// Fills the piece-square tables with random packed pairs so that PstSum is
// checked for real; restores them (all zero until the evaluation fills
// them) afterwards.
class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureTablesReady();
    std::memcpy(saved_, PieceSquareTables, sizeof saved_);
    std::mt19937 rng(12345);
    for (int code = 1; code < 8; code++)
      for (int i = 0; i < 128; i++) {
        int mg = (int)(rng() % 401) - 200, eg = (int)(rng() % 401) - 200;
        PieceSquareTables[code * 128 + i] = code == 4 ? 0 : mg * 65536 + eg;
      }
  }
  void TearDown() override { std::memcpy(PieceSquareTables, saved_, sizeof saved_); }
  int32_t saved_[8 * 2 * 64];
};

bool SameBoard(const ThreadBoard& a, const ThreadBoard& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

unsigned long long RunPerft(const std::string& fen, int depth) {
  EXPECT_TRUE(SetFenPosition(fen.c_str())) << fen;
  MoveStackTop = 0;
  PerftCount = 0;
  Perft(depth);
  return PerftCount;
}

// Walks every pseudo-legal move to `depth`, checking after each make and
// unmake that the incremental fields match a recomputation and that unmake
// restores the record exactly.
void CheckedWalk(int depth, long* checked) {
  if (depth == 0) return;
  ThreadBoard& b = thread_board;
  int base = MoveStackTop, side = b.SideToMove;
  GenerateCaptures(b.Colour[side ^ 1] & ~b.Pieces[KING][side ^ 1]);
  GeneratePromotions();
  GenerateQuietMoves(1);
  int end = MoveStackTop;
  for (int i = base; i < end; i++) {
    ThreadBoard before = b;
    int ply = GamePly;
    Move move = MoveStack[i].move;
    MakeMove(move, 1);
    const char* fault = PositionFault();
    ASSERT_EQ(fault, nullptr) << "after make of " << move;
    if (!SquareAttacked(b.SideToMove, b.KingSquare[side])) CheckedWalk(depth - 1, checked);
    UnmakeMove();
    ASSERT_EQ(GamePly, ply);
    ASSERT_TRUE(SameBoard(before, b)) << "unmake of " << move << " did not restore the position";
    ++*checked;
  }
  MoveStackTop = base;
}

TEST_F(BoardTest, MakeUnmakeKeepEveryIncrementalField) {
  long checked = 0;
  for (const PerftCase& c : LoadPerftSuite()) {
    ASSERT_TRUE(SetFenPosition(c.fen.c_str()));
    ASSERT_EQ(PositionFault(), nullptr) << c.fen;
    MoveStackTop = 0;
    CheckedWalk(3, &checked);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(checked, 100000);
}

TEST_F(BoardTest, PerftSuiteShallowDepths) {
  for (const PerftCase& c : LoadPerftSuite())
    for (auto [depth, count] : c.counts) {
      if (count > 200000) continue;
      EXPECT_EQ(RunPerft(c.fen, depth), count) << c.fen << " depth " << depth;
    }
}

// A colour-flipped position has the same tree; a mismatch points at one of
// the two colour paths.
TEST_F(BoardTest, PerftOfColourFlippedTwinIsEqual) {
  for (const PerftCase& c : LoadPerftSuite()) {
    for (auto [depth, count] : c.counts) {
      if (count > 100000) continue;
      EXPECT_EQ(RunPerft(FlipFen(c.fen), depth), count) << FlipFen(c.fen) << " depth " << depth;
    }
  }
}

TEST_F(BoardTest, KiwipeteCastlingInCheckIsNotCounted) {
  EXPECT_EQ(RunPerft("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3), 97862ull);
}

TEST_F(BoardTest, FenRoundTrip) {
  for (const PerftCase& c : LoadPerftSuite()) {
    ASSERT_TRUE(SetFenPosition(c.fen.c_str()));
    ThreadBoard first = thread_board;
    uint64_t key = PositionKey();
    MakeFen(0);
    std::string written = FenText;
    ASSERT_TRUE(SetFenPosition(written.c_str()));
    EXPECT_TRUE(SameBoard(first, thread_board)) << c.fen << " -> " << written;
    EXPECT_EQ(PositionKey(), key) << written;
    MakeFen(0);
    EXPECT_EQ(written, FenText);
  }
}

TEST_F(BoardTest, EnPassantFieldOfFen) {
  ASSERT_TRUE(SetFenPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"));
  EXPECT_EQ(GamePly, 1);
  EXPECT_EQ(GameHistory[0].move, MakeMoveWord(E2, E4, PAWN));
  EXPECT_EQ(PositionKey(), thread_board.HashKey ^ ZobristCastle[15]);  // no black pawn beside e4
  MakeFen(0);
  EXPECT_STREQ(FenText, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ");

  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1"));
  EXPECT_EQ(PositionKey(), thread_board.HashKey ^ ZobristCastle[0] ^ ZobristEnPassant[4]);
  MakeFen(0);
  EXPECT_STREQ(FenText, "4k3/8/8/8/3pP3/8/8/4K3 b - e3 ");
  // The set-up double step can be taken back into a consistent position.
  UnmakeMove();
  EXPECT_EQ(PositionFault(), nullptr);
  EXPECT_EQ(thread_board.Board[E2], (uint32_t)PAWN);
  EXPECT_EQ(GamePly, 0);
}

// An en-passant field whose double step cannot have been played (the passed
// square or the pawn's start taken) is dropped: no capture onto a taken
// square, and every move keeps the board consistent.
TEST_F(BoardTest, EnPassantFieldOfAnImpossibleDoubleStepIsDropped) {
  const char* const fens[] = {
      "rnbqkbnr/p7/pp1p1pp1/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",  // f6 taken
      "rnbqkbnr/pppppb1p/8/4Pp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",    // f7 taken
      "4k3/8/8/8/3pP3/4N3/8/4K3 b - e3 0 1",                            // e3 taken
      "4k3/8/8/8/3pP3/8/4B3/4K3 b - e3 0 1",                            // e2 taken
  };
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    ASSERT_TRUE(SetFenPosition(fen));
    EXPECT_EQ(GamePly, 0);
    MoveStackTop = 0;
    GenerateLegalMoves(0);
    const int count = MoveStackTop;
    for (int i = 0; i < count; i++) {
      MakeMove(MoveStack[i].move, 1);
      EXPECT_EQ(PositionFault(), nullptr) << "after " << MoveStack[i].move;
      UnmakeMove();
    }
    MoveStackTop = 0;
  }
}

TEST_F(BoardTest, CastlingRightsNeedKingAndRookAtHome) {
  struct Case { const char* fen; uint32_t rights; } cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 15},
      {"r3k3/8/8/8/8/8/8/R3K1R1 w KQkq - 0 1", 2 | 8},
      {"r3k2r/8/8/8/8/8/8/R2K3R w KQkq - 0 1", 4 | 8},
      {"1r2k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", 1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen));
    EXPECT_EQ(thread_board.CastleFlags, c.rights) << c.fen;
  }
}

TEST_F(BoardTest, BadFenIsRefusedAndPositionKept) {
  const char* bad[] = {
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",    // nine files
      "rnbqkbnrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // nine pieces in a rank
      "8/rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",     // nine ranks
      "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",      // no black king
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNK w kq - 0 1",      // two white kings
      "rnbqkbnr/pppppppp/8/8/8/P7/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // nine white pawns
      "rnbqkbnp/pppppppp/8/8/8/8/PPPPPPP1/RNBQKBNR w KQq - 0 1",     // pawn on the last rank
      "4k3/8/8/8/8/8/8/P3K3 w - - 0 1",                              // pawn on the first rank
      "",
      "K7/8/8/8/8/8/8/k6Q w - - 0 1",                                 // the side not to move in check
      "k6q/8/8/8/8/8/8/K7 b - - 0 1",
      "8/8/8/3kK3/8/8/8/8 w - - 0 1",                                 // the kings touch
      "8/8/8/8/8/8/1k6/K7 b - - 0 1",
  };
  ASSERT_TRUE(SetFenPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
  ThreadBoard kept = thread_board;
  int ply = GamePly;
  for (const char* fen : bad) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(SetGameFenPosition(fen), 0) << fen;
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Illegal FEN: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_TRUE(SameBoard(kept, thread_board)) << fen;
    EXPECT_EQ(GamePly, ply);
  }
  // (A game position: the kings must be able to stand as they do.)
  // The side to move may stand in check, and kings two squares apart are fine.
  for (const char* fen : {"K7/8/8/8/8/8/8/k6Q b - - 0 1", "8/8/8/2k1K3/8/8/8/8 w - - 0 1"}) {
    EXPECT_EQ(SetGameFenPosition(fen), 1) << fen;
  }
  // What a refused position is told.
  const struct {
    const char* fen;
    const char* message;
  } told[] = {
      {"K7/8/8/8/8/8/8/k6Q w - - 0 1", "Illegal FEN: the side not to move is in check\n"},
      {"8/8/8/3kK3/8/8/8/8 b - - 0 1", "Illegal FEN: the kings touch\n"},
  };
  for (const auto& t : told) {
    testing::internal::CaptureStdout();
    SetGameFenPosition(t.fen);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), t.message);
    // The board tests may set up such a placement.
    EXPECT_EQ(SetFenPosition(t.fen), 1);
  }
}

// Makes a move given as text in the current position (it must be legal).
void Play(const char* text) {
  Move move = ParseMove(text);
  ASSERT_TRUE(IsMoveLegal(move)) << text;
  MakeMove(move, 1);
  ASSERT_EQ(PositionFault(), nullptr) << text;
}

TEST_F(BoardTest, MaterialIndexSentinelAndBack) {
  // A third white knight leaves the table; capturing it brings the exact index back.
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/2n5/1N1N4/1N2K3 b - - 0 1"));
  EXPECT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);
  Play("c3b1");
  EXPECT_EQ(thread_board.MaterialIndex, 2 * 729 + 2187);
  UnmakeMove();
  EXPECT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);

  // A promotion to a third queen leaves the table; unmake restores the index.
  ASSERT_TRUE(SetFenPosition("4k3/P7/8/8/8/8/8/QQ2K3 w - - 0 1"));
  int32_t before = thread_board.MaterialIndex;
  EXPECT_EQ(before, 2 * 1 + 6561);
  Play("a7a8q");
  EXPECT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);
  UnmakeMove();
  EXPECT_EQ(thread_board.MaterialIndex, before);
}

TEST_F(BoardTest, CastlingAndRightsChanges) {
  ASSERT_TRUE(SetFenPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  Play("e1g1");
  EXPECT_EQ(thread_board.Board[F1], (uint32_t)ROOK);
  EXPECT_EQ(thread_board.Board[H1], 0u);
  EXPECT_EQ(thread_board.CastleFlags, 4u | 8u);
  UnmakeMove();
  EXPECT_EQ(thread_board.CastleFlags, 15u);

  ASSERT_TRUE(SetFenPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  Play("h1h8");
  EXPECT_EQ(thread_board.CastleFlags, 2u | 8u);  // the moving rook and the captured one
  Play("e8d7");
  EXPECT_EQ(thread_board.CastleFlags, 2u);
}

TEST_F(BoardTest, EnPassantCaptureRemovesThePawn) {
  ASSERT_TRUE(SetFenPosition("4k3/3p4/8/4P3/8/8/8/4K3 b - - 5 1"));
  Play("d7d5");
  Play("e5d6");
  EXPECT_EQ(thread_board.Board[D5], 0u);
  EXPECT_EQ(thread_board.PieceCount[PAWN][BLACK], 0);
  EXPECT_EQ(thread_board.Rule50, 0);
}

TEST_F(BoardTest, MoveText) {
  char buffer[16];
  EXPECT_STREQ(MoveToText(buffer, MakeMoveWord(E7, E8, PAWN, 0, QUEEN)), "e7e8q");
  EXPECT_STREQ(MoveToText(buffer, MakeMoveWord(G1, F3, KNIGHT)), "g1f3");
  EXPECT_STREQ(MoveToText(buffer, 0), "0000");
  EXPECT_STREQ(MoveToStringWithPiece(buffer, MakeMoveWord(G1, F3, KNIGHT)), "Ng1f3");
  EXPECT_STREQ(MoveToStringWithPiece(buffer, 0), "-");
  EXPECT_STREQ(MoveToString(buffer, MakeMoveWord(E7, E8, PAWN, 0, QUEEN)), "e7e8");

  struct Coord { const char* text; int expected; } coords[] = {
      {"e2e4", 1}, {"E2E4", 1}, {"h8a1q", 1}, {"e2e", 0}, {"i2e4", 0}, {"e0e4", 0}, {"e2e9", 0}, {"", 0}};
  for (const Coord& c : coords) EXPECT_EQ(IsCoordinateMove(c.text), c.expected) << c.text;
  // Text that is no move never reads outside the board.
  EXPECT_EQ(ParseMove("z9z9"), 0u);
  EXPECT_EQ(ParseMove("e2"), 0u);
}

TEST_F(BoardTest, LegalityTests) {
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/8/4r3/R3K2R w KQ - 0 1"));
  EXPECT_EQ(IsMoveLegal(CASTLE_WHITE_SHORT), 0);  // in check
  EXPECT_EQ(IsMoveLegal(ParseMove("e1e2")), 1);
  ASSERT_TRUE(SetFenPosition("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1"));
  EXPECT_EQ(IsMoveLegal(ParseMove("e2c3")), 0);   // pinned knight
  EXPECT_EQ(IsMoveLegal(ParseMove("e1d1")), 1);
  EXPECT_EQ(RunPerft("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 1), 20ull);
  EXPECT_EQ(RunPerft("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 2), 400ull);
}

}  // namespace
