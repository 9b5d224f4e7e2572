// Attack, pin and exchange tests: the table lookups are compared with attacks
// found by walking the board square by square; pins, exposed kings and the
// static exchange are checked on hand-made positions.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/searchstack.h"
#include "eval/sliders.h"
#include "test_support.h"

namespace {

class AttacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureTablesReady();
    std::memset(SearchStack, 0, sizeof SearchStack);
    SearchPly = 0;
  }
  void TearDown() override {
    std::memset(SearchStack, 0, sizeof SearchStack);
    SearchPly = 0;
  }
};

int SquareOf(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// A move word from coordinate text, with the codes taken from the board.
Move Word(const char* text) {
  const int from = SquareOf(text), to = SquareOf(text + 2);
  int promotion = 0;
  switch (text[4]) {
    case 'q': promotion = QUEEN; break;
    case 'r': promotion = ROOK; break;
    case 'b': promotion = BISHOP; break;
    case 'n': promotion = KNIGHT; break;
    default: break;
  }
  return MakeMoveWord(from, to, (int)thread_board.Board[from], (int)thread_board.Board[to], promotion);
}

// Squares reached from s by repeating the step (df, dr) up to and including
// the first occupied square.
Bitboard Walk(int s, int df, int dr) {
  Bitboard out = 0;
  int f = (s & 7) + df, r = (s >> 3) + dr;
  while (f >= 0 && f < 8 && r >= 0 && r < 8) {
    const int q = f + 8 * r;
    out |= SquareBit(q);
    if (thread_board.Occupied & SquareBit(q)) break;
    f += df;
    r += dr;
  }
  return out;
}

Bitboard Step(int s, int df, int dr) {
  const int f = (s & 7) + df, r = (s >> 3) + dr;
  return (f >= 0 && f < 8 && r >= 0 && r < 8) ? SquareBit(f + 8 * r) : 0;
}

// The attack set of a piece found by walking the board.
Bitboard WalkedAttacks(int s, int side, int code) {
  Bitboard out = 0;
  switch (code) {
    case KING:
      for (int df = -1; df <= 1; df++)
        for (int dr = -1; dr <= 1; dr++)
          if (df || dr) out |= Step(s, df, dr);
      return out;
    case KNIGHT: {
      static const int jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
      for (const auto& j : jumps) out |= Step(s, j[0], j[1]);
      return out;
    }
    case PAWN: {
      const int dr = side == WHITE ? 1 : -1;
      return Step(s, -1, dr) | Step(s, 1, dr);
    }
    case ROOK: return Walk(s, 1, 0) | Walk(s, -1, 0) | Walk(s, 0, 1) | Walk(s, 0, -1);
    case BISHOP: return Walk(s, 1, 1) | Walk(s, -1, 1) | Walk(s, 1, -1) | Walk(s, -1, -1);
    case QUEEN: return WalkedAttacks(s, side, ROOK) | WalkedAttacks(s, side, BISHOP);
    default: return 0;
  }
}

Bitboard WalkedAttackersOf(int colour, int square) {
  Bitboard out = 0;
  Bitboard own = thread_board.Colour[colour];
  while (own) {
    const int s = PopLSB(&own);
    if (WalkedAttacks(s, colour, (int)thread_board.Board[s]) & SquareBit(square)) out |= SquareBit(s);
  }
  return out;
}

const char* const BUSY_POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 b - - 0 10",
    "1q2k2b/3n4/8/2Q1B3/4r3/1N6/6p1/R3K2R b - - 0 1",
};

// Each position with WHITE to move and with BLACK to move.
std::vector<std::string> BothSidesToMove(const std::vector<std::string>& fens) {
  std::vector<std::string> out;
  for (const std::string& base : fens) {
    for (const char* side : {" w ", " b "}) {
      std::string fen = base;
      fen.replace(fen.find(' '), 3, side);
      out.push_back(fen);
    }
  }
  return out;
}

// Every square of several positions: SquareAttacked, WhiteAttackersOf and
// AttacksFrom agree with the walked attacks.
TEST_F(AttacksTest, LookupsAgreeWithWalkedAttacks) {
  for (const char* fen : BUSY_POSITIONS) {
    ASSERT_TRUE(SetFenPosition(fen)) << fen;
    for (int s = 0; s < 64; s++) {
      const Bitboard white = WalkedAttackersOf(WHITE, s), black = WalkedAttackersOf(BLACK, s);
      EXPECT_EQ(WhiteAttackersOf(s), white) << fen << " square " << s;
      EXPECT_EQ(SquareAttacked(WHITE, s), white != 0) << fen << " square " << s;
      EXPECT_EQ(SquareAttacked(BLACK, s), black != 0) << fen << " square " << s;
      for (int code = 0; code < 8; code++)
        for (int side = 0; side < 2; side++)
          EXPECT_EQ(AttacksFrom(s, side, code), WalkedAttacks(s, side, code))
              << fen << " square " << s << " code " << code << " side " << side;
    }
  }
}

// The evaluation's one-read slider attacks agree with the walked attacks on
// the empty and the full board and on random occupancies of every density.
TEST_F(AttacksTest, SliderTablesAgreeWithWalkedAttacks) {
  const Bitboard saved = thread_board.Occupied;
  uint64_t seed = 0x2545F4914F6CDD1DULL;
  auto next = [&seed]() {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  std::vector<Bitboard> boards = {0, ~0ULL};
  for (int i = 0; i < 3000; i++) {
    Bitboard occupied = next();
    for (int thin = i % 4; thin > 0; thin--) occupied &= next();
    boards.push_back(occupied);
  }
  for (Bitboard occupied : boards) {
    thread_board.Occupied = occupied;
    for (int s = 0; s < 64; s++) {
      ASSERT_EQ(RookAttacksOn(s, occupied), WalkedAttacks(s, WHITE, ROOK)) << occupied << " square " << s;
      ASSERT_EQ(BishopAttacksOn(s, occupied), WalkedAttacks(s, WHITE, BISHOP)) << occupied << " square " << s;
    }
  }
  thread_board.Occupied = saved;
}

// RayAttacks looks against the step: from s, the squares in step -d up to the
// first piece. The steps are given as (file, rank) changes.
TEST_F(AttacksTest, RayAttacksLookAgainstTheStep) {
  static const int steps[8][3] = {{-9, -1, -1}, {-8, 0, -1}, {-7, 1, -1}, {-1, -1, 0},
                                  {1, 1, 0},    {7, -1, 1},  {8, 0, 1},   {9, 1, 1}};
  for (const char* fen : BUSY_POSITIONS) {
    ASSERT_TRUE(SetFenPosition(fen));
    for (int s = 0; s < 64; s++) {
      for (const auto& d : steps)
        EXPECT_EQ(RayAttacks(s, d[0]), Walk(s, -d[1], -d[2])) << fen << " square " << s << " step " << d[0];
      for (int bad : {0, 2, -2, 6, 10, 16})
        EXPECT_EQ(RayAttacks(s, bad), 0u) << bad;
    }
  }
}

TEST_F(AttacksTest, XrayAddsOnlyTheFirstSliderOfTheLineKind) {
  // From e4: a queen beyond the rook on e-file upward, a bishop on the a8-h1
  // diagonal beyond d5, a rook on the b1-h7 diagonal beyond f5 (wrong kind)
  // and a knight on the rank (no slider).
  ASSERT_TRUE(SetFenPosition("4q2k/8/2b3r1/3P1P2/1N2R3/8/8/K7 w - - 0 1"));
  const Bitboard seed = SquareBit(A1);
  const int e5 = SquareOf("e5");
  EXPECT_EQ(AddXrayAttackers(seed, e5, -8), seed | SquareBit(SquareOf("e8")));  // beyond e5 from e4
  EXPECT_EQ(AddXrayAttackers(seed, SquareOf("d5"), -7), seed | SquareBit(SquareOf("c6")));
  EXPECT_EQ(AddXrayAttackers(seed, SquareOf("f5"), -9), seed);   // a rook on the diagonal does not count
  EXPECT_EQ(AddXrayAttackers(seed, SquareOf("d4"), 1), seed);    // the knight on b4 ends the ray
  EXPECT_EQ(AddXrayAttackers(seed, SquareOf("f4"), 1), seed | SquareBit(SquareOf("e4")));
  EXPECT_EQ(AddXrayAttackers(seed, SquareOf("f4"), 2), seed);
}

struct SquareCase {
  const char* fen;
  const char* square;
  int expected;
};

TEST_F(AttacksTest, IsPinned) {
  const SquareCase cases[] = {
      {"4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1", "e2", 1},      // rook behind on the file
      {"4b1k1/8/8/8/8/8/4N3/4K3 w - - 0 1", "e2", 0},      // bishop cannot pin along a file
      {"6k1/8/8/8/7b/8/5N2/4K3 w - - 0 1", "f2", 1},       // bishop on the diagonal
      {"6k1/8/8/8/7q/6P1/5N2/4K3 w - - 0 1", "f2", 0},     // another piece shields the knight
      {"6k1/8/8/8/8/8/8/r2NK3 w - - 0 1", "d1", 1},        // along the rank
      {"6k1/8/8/8/8/8/8/R2NK3 w - - 0 1", "d1", 0},        // own rook behind
      {"6k1/8/8/8/8/8/3N4/4K2r w - - 0 1", "d2", 0},       // not on a line with the king's attacker
      {"4k3/4n3/8/8/8/8/8/4R1K1 b - - 0 1", "e7", 1},      // BLACK to move
  };
  for (const SquareCase& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(IsPinned(SquareOf(c.square)), c.expected) << c.fen << " " << c.square;
  }
}

struct MoveCase {
  const char* fen;
  const char* move;
  int expected;
};

TEST_F(AttacksTest, ExposesKingAndLeavesKingInCheck) {
  const MoveCase exposes[] = {
      {"4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2e5", 0},    // rook stays on the pin line
      {"4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2d2", 1},
      {"4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1", "e2c3", 1},
      {"6k1/8/8/8/7b/8/5P2/4K3 w - - 0 1", "f2f3", 1},     // a push leaves the diagonal
      {"6k1/8/8/8/7b/6P1/5P2/4K3 w - - 0 1", "f2f3", 0},   // shielded by g3
      {"6k1/8/8/8/7b/8/5B2/4K3 w - - 0 1", "f2g3", 0},     // along the diagonal
      {"4k3/4n3/8/8/8/8/8/4R1K1 b - - 0 1", "e7c6", 1},
  };
  for (const MoveCase& c : exposes) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(ExposesKing(Word(c.move)), c.expected) << c.fen << " " << c.move;
    EXPECT_EQ(LeavesKingInCheck(Word(c.move)), c.expected) << c.fen << " " << c.move;
  }
  const MoveCase kingSteps[] = {
      {"3r2k1/8/8/8/8/8/8/4K3 w - - 0 1", "e1d2", 1},
      {"3r2k1/8/8/8/8/8/8/4K3 w - - 0 1", "e1f2", 0},
      {"4k3/8/8/8/8/8/2p5/4K3 w - - 0 1", "e1d1", 1},      // pawn guard
      // The king's own square still blocks the checking line: stepping back
      // along it is not seen (such positions use the evasion generator).
      {"4r1k1/8/8/8/8/8/4K3/8 w - - 0 1", "e2e1", 0},
  };
  for (const MoveCase& c : kingSteps) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(LeavesKingInCheck(Word(c.move)), c.expected) << c.fen << " " << c.move;
  }
}

// The pinned set is the set of pieces IsPinned names, and a move is one that
// ExposesKing finds illegal exactly when it takes a pinned piece off the line
// of its pin: every own piece to every other square, either side to move, on
// busy positions and on one with pins, a doubly shielded line and a check.
TEST_F(AttacksTest, PinnedPiecesAreThePiecesExposesKingHoldsBack) {
  std::vector<std::string> fens(std::begin(BUSY_POSITIONS), std::end(BUSY_POSITIONS));
  fens.push_back("4r1k1/8/8/b7/8/2B5/3PN3/q1N1K2r w - - 0 1");
  fens.push_back("4k3/4n3/8/8/8/8/8/4R1K1 w - - 0 1");
  int pins = 0;
  for (const std::string& fen : BothSidesToMove(fens)) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    const int S = thread_board.SideToMove, king = thread_board.KingSquare[S];
    const Bitboard pinned = PinnedPieces();
    Bitboard named = 0;
    for (Bitboard own = thread_board.Colour[S] & ~thread_board.Pieces[KING][S]; own;) {
      const int from = PopLSB(&own);
      if (IsPinned(from)) named |= SquareBit(from);
      for (int to = 0; to < 64; to++) {
        if (to == from) continue;
        const Move m = MakeMoveWord(from, to, (int)thread_board.Board[from], (int)thread_board.Board[to]);
        const int offLine = Abs(Direction[to][from]) != Abs(Direction[from][king]);
        EXPECT_EQ(ExposesKing(m), ((pinned >> from) & 1) && offLine) << fen << " " << from << "-" << to;
      }
    }
    EXPECT_EQ(pinned, named) << fen;
    pins += PopCount(pinned);
  }
  EXPECT_GE(pins, 4);
}

TEST_F(AttacksTest, MoveUncoversAttack) {
  struct Case {
    const char* fen;
    const char* move;
    const char* target;
    int expected;
  };
  const Case cases[] = {
      {"6k1/8/8/8/8/2N5/8/B3K3 w - - 0 1", "c3d5", "g7", 1},   // knight off the bishop's diagonal
      {"6k1/8/8/8/8/2N5/8/B3K3 w - - 0 1", "c3d5", "h7", 0},   // target not on the line
      {"6k1/8/8/8/8/2B5/8/Q3K3 w - - 0 1", "c3e5", "g7", 0},   // stays on the line
      {"6k1/8/8/8/8/2N5/8/R3K3 w - - 0 1", "c3d5", "g7", 0},   // a rook does not move diagonally
      {"3r2k1/8/8/3n4/8/8/8/3K4 b - - 0 1", "d5f4", "d1", 1},  // BLACK: the rook behind
      {"3R2k1/8/8/3n4/8/8/8/3K4 b - - 0 1", "d5f4", "d1", 0},  // the rook behind is the opponent's
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(MoveUncoversAttack(Word(c.move), SquareOf(c.target)), c.expected) << c.fen << " " << c.move;
  }
}

// The exchange test with an empty attack map (no shortcut): one row per rule.
TEST_F(AttacksTest, StaticExchange) {
  const MoveCase cases[] = {
      // gain >= risk at once: a pawn takes a defended knight.
      {"4k3/8/3p4/4n3/3P4/8/8/4K3 w - - 0 1", "d4e5", 1},
      // A queen takes a pawn guarded by a pawn.
      {"4k3/8/3p4/4p3/8/8/8/4KQ2 w - - 0 1", "f1f2", 1},   // quiet queen move, nothing attacks f2
      {"4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1", "e2e5", 0},
      // A rook takes a knight guarded by a bishop (D = 2 < 4: the swap-off
      // decides; the rook is lost for the knight).
      {"4k3/8/2b5/3n4/8/8/8/3RK3 w - - 0 1", "d1d5", 0},
      // The same with a second rook behind the first: after BxR, RxB the
      // balance is back above zero.
      {"4k3/8/2b5/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 1},
      // A knight takes a pawn guarded by a knight, backed by an own pawn.
      {"4k3/8/2n5/4p3/3P4/5N2/8/4K3 w - - 0 1", "f3e5", 1},
      {"4k3/8/2n5/4p3/8/5N2/8/4K3 w - - 0 1", "f3e5", 0},
      // A knight takes a pawn defended by a rook with a queen behind it; an
      // own rook supports: NxP RxN RxR QxR leaves the knight lost.
      {"3qk3/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5", 0},
      {"4k3/3r4/8/3p4/8/4N3/8/3RK3 w - - 0 1", "e3d5", 1},
      // Balance exactly 0 after a recapture is not a loss: BxP RxB NxR, and
      // a knight move that a bishop takes and a pawn retakes.
      {"4r2k/8/8/4p2q/8/2B2N2/8/K7 w - - 0 1", "c3e5", 1},
      {"7k/8/8/4b3/8/8/1P6/1N2K3 w - - 0 1", "b1c3", 1},
      {"7k/8/8/4b3/8/8/8/1N2K3 w - - 0 1", "b1c3", 0},
      // Undefended target square: nothing attacks it.
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a7", 1},
      // Kings in the exchange: a pawn defended only by its king is taken
      // back; a second rook or the own king next to the square stops that.
      {"8/8/8/2k5/3p4/8/8/3RK3 w - - 0 1", "d1d4", 0},
      {"8/8/8/2k5/3p4/8/3R4/3RK3 w - - 0 1", "d2d4", 1},
      {"8/8/8/2k5/3p4/4K3/8/3R4 w - - 0 1", "d1d4", 1},
      // Promotions: an under-promotion is never safe; a queen promotion onto
      // an unguarded square is.
      {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8n", 0},
      {"7k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", 1},
      {"3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", 0},
      // BLACK to move: mirrored rows.
      {"4k3/8/8/3p4/4N3/3P4/8/4K3 b - - 0 1", "d5e4", 1},
      {"4k3/4q3/8/8/4P3/3P4/8/4K3 b - - 0 1", "e7e4", 0},
      {"3rk3/3r4/8/3N4/2b5/8/8/4K3 b - - 0 1", "d7d5", 1},
  };
  for (const MoveCase& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    const Move m = Word(c.move);
    EXPECT_EQ(SeeNonNegative(m), c.expected) << c.fen << " " << c.move;
    EXPECT_EQ(SeeMoveIsSafe(MoveTo(m), MoveFrom(m), MovePiece(m), MoveCaptured(m), MovePromotion(m)), c.expected)
        << c.fen << " " << c.move;
  }
}

// The attack-map shortcut reads the map of the opponent: [1] when WHITE is
// to move, [0] when BLACK is; an empty map turns it off.
TEST_F(AttacksTest, SeeNonNegativeAttackMapShortcut) {
  // Qe2xe5 loses the queen to the d6 pawn; a map that does not hold e5 or e2
  // answers 1 without looking at the board.
  ASSERT_TRUE(SetFenPosition("4k3/8/3p4/4p3/8/8/4Q3/4K3 w - - 0 1"));
  const Move capture = Word("e2e5");
  const Bitboard elsewhere = SquareBit(A7);
  const Bitboard holdsTarget = SquareBit(SquareOf("e5"));
  const Bitboard holdsFrom = SquareBit(SquareOf("e2"));
  PlyRecord& ply = SearchStack[SearchPly];
  ply.attack_maps[0] = holdsTarget;
  ply.attack_maps[1] = elsewhere;
  EXPECT_EQ(SeeNonNegative(capture), 1);
  EXPECT_EQ(SeeMoveIsSafe(SquareOf("e5"), SquareOf("e2"), QUEEN, PAWN, 0), 0);  // no shortcut there
  ply.attack_maps[1] = holdsTarget;
  EXPECT_EQ(SeeNonNegative(capture), 0);
  ply.attack_maps[1] = holdsFrom;  // the from-square attacked: only a knight skips the swap-off
  EXPECT_EQ(SeeNonNegative(capture), 0);
  ply.attack_maps[1] = 0;
  ply.attack_maps[0] = elsewhere;
  EXPECT_EQ(SeeNonNegative(capture), 0);

  // A knight whose from-square is attacked still takes the shortcut.
  ASSERT_TRUE(SetFenPosition("4k3/8/2n5/4p3/8/5N2/8/4K3 w - - 0 1"));
  ply.attack_maps[1] = SquareBit(SquareOf("f3"));
  EXPECT_EQ(SeeNonNegative(Word("f3e5")), 1);

  // Promotions under the shortcut: a queen promotion 1, an under-promotion 0.
  ASSERT_TRUE(SetFenPosition("3r3k/4P3/8/8/8/8/8/4K3 w - - 0 1"));
  ply.attack_maps[1] = elsewhere;
  EXPECT_EQ(SeeNonNegative(Word("e7e8q")), 1);
  EXPECT_EQ(SeeNonNegative(Word("e7e8n")), 0);

  // BLACK to move reads the first map.
  ASSERT_TRUE(SetFenPosition("4k3/4q3/8/8/4P3/3P4/8/4K3 b - - 0 1"));
  ply.attack_maps[0] = elsewhere;
  ply.attack_maps[1] = SquareBit(SquareOf("e4"));
  EXPECT_EQ(SeeNonNegative(Word("e7e4")), 1);
  ply.attack_maps[0] = SquareBit(SquareOf("e4"));
  ply.attack_maps[1] = elsewhere;
  EXPECT_EQ(SeeNonNegative(Word("e7e4")), 0);

  // The map of the current ply is read, not that of ply 0.
  SearchStack[0].attack_maps[0] = elsewhere;
  SearchPly = 7;
  SearchStack[7].attack_maps[0] = 0;
  EXPECT_EQ(SeeNonNegative(Word("e7e4")), 0);
}

TEST_F(AttacksTest, SeeCaptureIsSafeTakesTheAttackersColour) {
  // WHITE to move, but the question is about BLACK's e7 queen taking e4.
  ASSERT_TRUE(SetFenPosition("4k3/4q3/8/8/4P3/3P4/8/4K3 w - - 0 1"));
  EXPECT_EQ(SeeCaptureIsSafe(SquareOf("e4"), SquareOf("e7")), 0);
  EXPECT_EQ(thread_board.SideToMove, WHITE);
  ASSERT_TRUE(SetFenPosition("4k3/4q3/8/8/4P3/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(SeeCaptureIsSafe(SquareOf("e4"), SquareOf("e7")), 1);
  EXPECT_EQ(thread_board.SideToMove, WHITE);
  // And WHITE's d3 pawn taking a knight while BLACK is to move.
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/4n3/3P4/8/4K3 b - - 0 1"));
  EXPECT_EQ(SeeCaptureIsSafe(SquareOf("e4"), SquareOf("d3")), 1);
  EXPECT_EQ(thread_board.SideToMove, BLACK);
}

// The quiet exchange test with shared attack sets gives the answer of the
// full exchange on every quiet move of busy positions, either side to move,
// and on hand-made rows for its own shortcuts.
TEST_F(AttacksTest, SeeQuietNonNegativeAgreesWithTheFullExchange) {
  const MoveCase rows[] = {
      // The target is unattacked, but the rook leaving e4 opens the e-file
      // to the e8 rook; with the king guarding e3 the rook is safe again.
      {"4r2k/8/8/8/4R3/8/8/K7 w - - 0 1", "e4e3", 0},
      {"4r2k/8/8/8/4R3/8/3K4/8 w - - 0 1", "e4e3", 1},
      // Attacked from-square, unattacked target off the line: safe.
      {"4r2k/8/8/8/4R3/8/8/K7 w - - 0 1", "e4d4", 1},
      // A pawn guards the target: a knight is lost; a pawn push is decided by
      // the exchange (safe with the d3 pawn behind it, lost without).
      {"4k3/8/8/3p4/8/2N5/8/4K3 w - - 0 1", "c3e4", 0},
      {"4k3/8/8/5p2/8/3P4/4P3/4K3 w - - 0 1", "e2e4", 1},
      {"4k3/8/8/5p2/8/8/4P3/4K3 w - - 0 1", "e2e4", 0},
      {"4k3/8/8/5n2/8/8/4P3/4K3 w - - 0 1", "e2e3", 0},
      // BLACK to move, the d6 bishop attacked: leaving along a diagonal with
      // nothing behind it is safe; with the b8 bishop behind it, not.
      {"3q3k/8/3b4/8/8/8/8/3QK3 b - - 0 1", "d6e5", 1},
      {"7k/8/3b4/2P5/8/8/8/3RK3 b - - 0 1", "d6c7", 1},
      {"1B5k/8/3b4/8/8/8/8/3RK3 b - - 0 1", "d6e5", 0},
      // A knight or bishop guards the target: a rook is lost even when
      // defended, a bishop only when nothing retakes.
      {"4k3/8/8/2n5/8/8/3R4/3RK3 w - - 0 1", "d2d3", 0},
      {"4k3/8/8/8/6b1/8/8/3RK3 w - - 0 1", "d1d7", 0},
      {"4k3/8/8/2n5/8/8/8/3RKB2 w - - 0 1", "f1d3", 1},
      {"4k3/8/8/2n5/8/8/8/4KB2 w - - 0 1", "f1d3", 0},
      // A rook guards the target: a queen is lost, a defended rook is not.
      {"3rk3/8/8/8/8/8/8/Q2RK3 w - - 0 1", "a1d4", 0},
      {"3rk3/8/8/8/8/8/R7/R3K3 w - - 0 1", "a2a8", 1},
      {"3rk3/8/8/8/R7/8/8/3RK3 w - - 0 1", "a4d4", 1},
      // No own piece retakes: the pushed pawn is lost; a rook behind it on
      // the file, or behind the attacking bishop on its diagonal, retakes.
      {"4k3/8/8/6b1/8/8/4P3/4K3 w - - 0 1", "e2e3", 0},
      {"4k3/8/8/6b1/8/8/4P3/4R1K1 w - - 0 1", "e2e3", 1},
      {"4k3/8/7Q/6b1/8/8/4P3/6K1 w - - 0 1", "e2e3", 1},
      // BLACK to move: the knight on an attacked square with only the queen
      // it leaves behind on the line is lost; a pawn guarding it saves it.
      {"q3k3/8/8/8/8/8/8/3RK3 b - - 0 1", "a8d5", 0},
      {"4k3/2n5/8/8/8/8/8/3RK3 b - - 0 1", "c7d5", 0},
      {"4k3/2n5/4p3/8/8/8/8/3RK3 b - - 0 1", "c7d5", 1},
  };
  for (const MoveCase& c : rows) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    QuietExchangeSets enemy;
    BeginQuietExchanges(&enemy);
    EXPECT_EQ(SeeQuietNonNegative(Word(c.move), &enemy), c.expected) << c.fen << " " << c.move;
  }

  const char* const extra[] = {
      "4r2k/8/8/8/4R3/8/8/K7 w - - 0 1",
      "2r1r1k1/pp1bqppp/2n2n2/3p4/1bPP4/2N1PN2/PPQ1BPPP/R1B2RK1 w - - 0 1",
      "r2qk2r/1b1nbppp/p3pn2/1p6/3NP3/2N1BP2/PPPQ2PP/2KR1B1R b kq - 0 1",
  };
  std::vector<std::string> fens(std::begin(BUSY_POSITIONS), std::end(BUSY_POSITIONS));
  fens.insert(fens.end(), std::begin(extra), std::end(extra));
  int compared = 0;
  for (const std::string& fen : BothSidesToMove(fens)) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    const int S = thread_board.SideToMove;
    QuietExchangeSets enemy;
    BeginQuietExchanges(&enemy);
    for (Bitboard own = thread_board.Colour[S] & ~thread_board.Pieces[KING][S]; own;) {
      const int from = PopLSB(&own);
      const int code = (int)thread_board.Board[from];
      Bitboard targets = AttacksFrom(from, S, code) & ~thread_board.Occupied;
      if (code == PAWN) {
        const int to = S == WHITE ? from + 8 : from - 8;
        const int rank = to >> 3;
        targets = (rank != 0 && rank != 7 && !(thread_board.Occupied & SquareBit(to))) ? SquareBit(to) : 0;
      }
      for (; targets;) {
        const int to = PopLSB(&targets);
        const Move m = MakeMoveWord(from, to, code);
        EXPECT_EQ(SeeQuietNonNegative(m, &enemy), SeeMoveIsSafe(to, from, code, 0, 0))
            << fen << " " << from << "-" << to;
        compared++;
      }
    }
  }
  EXPECT_GT(compared, 300);
}

// Squares a piece of the code attacks from s when only the squares of
// `occupied` block: WalkedAttacks over a chosen occupancy.
Bitboard WalkedAttacksOver(int s, int side, int code, Bitboard occupied) {
  const Bitboard saved = thread_board.Occupied;
  thread_board.Occupied = occupied;
  const Bitboard out = WalkedAttacks(s, side, code);
  thread_board.Occupied = saved;
  return out;
}

// The exchange rules played out plainly on walked attacks: the weights, the
// cheap refutations and the cheap defence on the board as it stands, then
// the swap-off in which the mover and every piece that has captured leave
// their squares, so the slider behind them joins in (a king that has
// captured in the swap-off still blocks: kings and knights hide nothing).
int PlainExchange(int t, int f, int mover, int captured, int promotion) {
  const int S = thread_board.SideToMove, O = S ^ 1;
  int gain = SeeWeight[captured], risk = SeeWeight[mover];
  if (promotion != 0) {
    if (promotion != QUEEN) return 0;
    gain += 8;
    risk = 9;
  }
  if (gain >= risk) return 1;
  const int D = risk - gain;
  // The pieces of a colour and code that attack t over an occupancy,
  // leaving out the removed ones.
  auto attackers = [&](int colour, int code, Bitboard occupied, Bitboard removed) {
    Bitboard out = 0;
    for (Bitboard set = thread_board.Pieces[code][colour] & ~removed & ~SquareBit(t); set;) {
      const int s = PopLSB(&set);
      if (WalkedAttacksOver(s, colour, code, occupied) & SquareBit(t)) out |= SquareBit(s);
    }
    return out;
  };
  const Bitboard board = thread_board.Occupied;
  if (attackers(O, PAWN, board, 0) && D >= 2) return 0;
  if (attackers(O, KNIGHT, board, 0) && D >= 4) return 0;
  if (attackers(O, BISHOP, board, 0) && D >= 4) return 0;
  if (attackers(O, ROOK, board, 0) && D >= 6) return 0;
  if (risk < 9 && gain > 0 && attackers(S, PAWN, board, 0)) return 1;

  static const int order[6] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING};
  Bitboard removed = SquareBit(f);
  // The cheapest attacker of the colour, taken off; 0 when none.
  auto takeCheapest = [&](int colour) {
    const Bitboard kings = thread_board.Pieces[KING][WHITE] | thread_board.Pieces[KING][BLACK];
    const Bitboard occupied = board & ~SquareBit(f) & ~(removed & ~kings);
    for (int code : order) {
      const Bitboard set = attackers(colour, code, occupied, removed);
      if (set) {
        removed |= SquareBit(LeastSignificantBit(set));
        return code;
      }
    }
    return 0;
  };
  int balance = gain - risk;
  for (;;) {
    int code = takeCheapest(O);
    if (code == 0) return 1;
    balance += SeeWeight[code];
    if (balance < 0) return 0;
    code = takeCheapest(S);
    if (code == 0) return 0;
    if (code == KING && balance > 100) return 1;
    balance -= SeeWeight[code];
    if (balance >= 0) return 1;
  }
}

// The exchange test agrees with the plain exchange on every capture, quiet
// move and promotion of positions full of batteries, x-rays behind movers
// and guards, and kings next to the contested squares, either side to move.
TEST_F(AttacksTest, StaticExchangeAgreesWithThePlainExchange) {
  const char* const extra[] = {
      "3r2k1/1b1r1ppp/p3q3/1p1n4/3P4/1BN1RQ2/PP3PPP/3R2K1 w - - 0 1",
      "2q1r1k1/1b2bppp/p2p1n2/1p1Np3/4P3/1B1Q1N2/PPP2PPP/3RR1K1 w - - 0 1",
      "8/3k4/3p4/2R1N3/3K4/8/8/3r4 w - - 0 1",
      "1k1r4/1pp2q2/p2b4/3Pp3/2B1Pr2/2QR1N2/PP4PP/1K1R4 w - - 0 1",
      "4r1k1/3P1ppp/8/2bB4/1Q6/8/1p3PPP/2R3K1 w - - 0 1",
      "2r3k1/1P3ppp/4b3/3q4/3Q4/4B3/1p3PPP/2R3K1 b - - 0 1",
  };
  std::vector<std::string> fens(std::begin(BUSY_POSITIONS), std::end(BUSY_POSITIONS));
  fens.insert(fens.end(), std::begin(extra), std::end(extra));
  int losing = 0, safe = 0;
  for (const std::string& fen : BothSidesToMove(fens)) {
    ASSERT_TRUE(SetFenPosition(fen.c_str())) << fen;
    const int S = thread_board.SideToMove;
    for (Bitboard own = thread_board.Colour[S]; own;) {
      const int from = PopLSB(&own);
      const int code = (int)thread_board.Board[from];
      Bitboard targets = AttacksFrom(from, S, code) & ~thread_board.Colour[S];
      if (code == PAWN) {
        targets &= thread_board.Colour[S ^ 1];
        const int push = S == WHITE ? from + 8 : from - 8;
        if (!(thread_board.Occupied & SquareBit(push))) targets |= SquareBit(push);
      }
      for (; targets;) {
        const int to = PopLSB(&targets);
        const int victim = (int)thread_board.Board[to];
        const int lastRank = S == WHITE ? 7 : 0;
        for (int promotion : {0, (int)QUEEN, (int)KNIGHT}) {
          if ((promotion != 0) != (code == PAWN && (to >> 3) == lastRank)) continue;
          const int expected = PlainExchange(to, from, code, victim, promotion);
          EXPECT_EQ(SeeMoveIsSafe(to, from, code, victim, promotion), expected)
              << fen << " " << from << "-" << to << " promotion " << promotion;
          (expected ? safe : losing)++;
        }
      }
    }
  }
  // Both answers occur often enough for the comparison to mean something.
  EXPECT_GT(losing, 100);
  EXPECT_GT(safe, 100);
}

TEST_F(AttacksTest, HasWinningThreat) {
  struct Case {
    const char* fen;
    int margin;
    int expected;
  };
  const Case cases[] = {
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", 300, 1},    // a pawn attacks a knight
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", 301, 0},    // the knight is worth less than the margin
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", 901, 0},    // margins above a queen are never met
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", 100, 1},    // pawns count at margin 100
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", 101, 0},    // and not above it
      {"4k3/8/2p5/3n4/8/8/8/3RK3 w - - 0 1", 300, 0},   // rook on a pawn-guarded knight
      {"4k3/8/8/3n4/8/8/8/3RK3 w - - 0 1", 300, 1},     // the same knight hanging
      {"4k3/8/8/8/8/8/8/4K2R w - - 0 1", 900, 0},       // nothing attacked
      {"4k3/8/8/8/8/8/8/4K2R w - - 0 1", 0, 0},
      {"7k/8/8/8/8/8/8/4K2R w - - 0 1", 900, 1},        // an attacked king answers 1
      {"4k3/8/8/8/3r4/3P4/8/4K3 b - - 0 1", 100, 1},    // BLACK's rook on a pawn it wins
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFenPosition(c.fen)) << c.fen;
    EXPECT_EQ(HasWinningThreat(c.margin), c.expected) << c.fen << " margin " << c.margin;
  }
}

}  // namespace
