// Start-up tables: the MT19937-64 generator and the Zobrist draw order, the
// evaluation's bit masks, and the geometric attack tables checked against
// naive walks over the board.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "board/zobrist.h"

namespace {

void BuildTables() {
  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitKnightDistance();
}

class Tables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildTables(); }
};

Bitboard Squares(std::initializer_list<int> squares) {
  Bitboard set = 0;
  for (int s : squares) set |= SquareBit(s);
  return set;
}

// Squares a slider on s reaches in steps of (df, dr), up to and including the
// first occupied square.
Bitboard NaiveWalk(int s, int df, int dr, Bitboard occupied) {
  Bitboard set = 0;
  for (int f = FileOf(s) + df, r = RankOf(s) + dr; f >= 0 && f < 8 && r >= 0 && r < 8; f += df, r += dr) {
    set |= SquareBit(r * 8 + f);
    if (occupied & SquareBit(r * 8 + f)) break;
  }
  return set;
}

// Loads the four occupancy views the rotated lookups read.
void SetOccupancy(Bitboard occupied) {
  thread_board.Occupied = occupied;
  std::memset(thread_board.FileOcc, 0, sizeof thread_board.FileOcc);
  std::memset(thread_board.DiagH1A8Occ, 0, sizeof thread_board.DiagH1A8Occ);
  std::memset(thread_board.DiagA1H8Occ, 0, sizeof thread_board.DiagA1H8Occ);
  for (int s = 0; s < 64; s++)
    if (occupied & SquareBit(s)) {
      int f = FileOf(s), r = RankOf(s);
      thread_board.FileOcc[f] |= 1u << r;
      thread_board.DiagH1A8Occ[f + r] |= 1u << r;
      thread_board.DiagA1H8Occ[f - r + 7] |= 1u << r;
    }
}

Bitboard FlipVertical(Bitboard b) { return __builtin_bswap64(b); }

// ---------------------------------------------------------------- generator

TEST(Random64, ArraySeedGivesPublishedReferenceOutput) {
  const uint64_t key[4] = {0x12345, 0x23456, 0x34567, 0x45678};
  SeedRandom64ByArray(key, 4);
  const uint64_t expected[5] = {7266447313870364031ULL, 4946485549665804864ULL, 16945909448695747420ULL,
                                16394063075524226720ULL, 4873882236456199058ULL};
  for (uint64_t value : expected) EXPECT_EQ(Random64(), value);
}

// std::mt19937_64 is an independent implementation of the same generator; its
// default seed is 5489, the seed an unseeded generator falls back to.
TEST(Random64, MatchesStandardLibraryAcrossStateRegenerations) {
  Mt64Index = 313;
  std::mt19937_64 unseeded;
  for (int i = 0; i < 1000; i++) ASSERT_EQ(Random64(), unseeded()) << "default seed, draw " << i;

  for (uint64_t seed : {0ULL, 1ULL, 19650218ULL, 0xFFFFFFFFFFFFFFFFULL}) {
    SeedRandom64(seed);
    std::mt19937_64 reference(seed);
    for (int i = 0; i < 700; i++) ASSERT_EQ(Random64(), reference()) << "seed " << seed << ", draw " << i;
  }
}

// ------------------------------------------------------------------ zobrist

TEST_F(Tables, ZobristKeysFollowTheDrawOrder) {
  const uint64_t key[4] = {0x12345, 0x23456, 0x34567, 0x45678};
  SeedRandom64ByArray(key, 4);
  std::vector<uint64_t> draws(1, 0);  // draws[n] is draw number n
  for (int i = 0; i < 792; i++) draws.push_back(Random64());

  struct Case { int draw; uint64_t key; const char* name; };
  const Case cases[] = {
      {1, ZobristPieces[WHITE][PAWN][A1], "white pawn a1"},
      {2, ZobristPieces[BLACK][PAWN][A1], "black pawn a1"},
      {3, ZobristPieces[WHITE][KNIGHT][A1], "white knight a1"},
      {5, ZobristPieces[WHITE][BISHOP][A1], "white bishop a1"},
      {7, ZobristPieces[WHITE][ROOK][A1], "white rook a1"},
      {10, ZobristPieces[BLACK][QUEEN][A1], "black queen a1"},
      {11, ZobristPieces[WHITE][KING][A1], "white king a1"},
      {13, ZobristPieces[WHITE][PAWN][B1], "white pawn b1"},
      {768, ZobristPieces[BLACK][KING][H8], "black king h8"},
      {769, ZobristCastle[0], "castle 0"},
      {784, ZobristCastle[15], "castle 15"},
      {785, ZobristEnPassant[0], "en passant a"},
      {792, ZobristEnPassant[7], "en passant h"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.key, draws[c.draw]) << c.name;
}

TEST_F(Tables, ZobristUnusedCodesAreZeroAndRebuildIsIdentical) {
  for (int colour = 0; colour < 2; colour++)
    for (int s = 0; s < 64; s++) {
      EXPECT_EQ(ZobristPieces[colour][EMPTY][s], 0u);
      EXPECT_EQ(ZobristPieces[colour][4][s], 0u);
    }
  EXPECT_NE(ZobristCastle[0], 0u);

  uint64_t pieces[2][8][64], castle[16], enPassant[8];
  std::memcpy(pieces, ZobristPieces, sizeof pieces);
  std::memcpy(castle, ZobristCastle, sizeof castle);
  std::memcpy(enPassant, ZobristEnPassant, sizeof enPassant);
  InitializeHashKeys();
  EXPECT_EQ(std::memcmp(pieces, ZobristPieces, sizeof pieces), 0);
  EXPECT_EQ(std::memcmp(castle, ZobristCastle, sizeof castle), 0);
  EXPECT_EQ(std::memcmp(enPassant, ZobristEnPassant, sizeof enPassant), 0);
}

// ---------------------------------------------------------------- bit masks

TEST_F(Tables, ToLowerFoldsOnlyUpperCaseLetters) {
  const int cases[][2] = {{'Z', 'z'}, {'A', 'a'}, {'z', 'z'}, {64, 64}, {91, 91}, {200, 200}, {0, 0}, {255, 255}};
  for (const auto& c : cases) EXPECT_EQ(ToLower[c[0]], c[1]) << "code " << c[0];
  EXPECT_EQ(FoldCase((char)0xC8), 200);
}

TEST_F(Tables, ByteTablesAgreeWithBitOperations) {
  EXPECT_EQ(HighBit8[0], 8);
  EXPECT_EQ(LowBit8[0], 8);
  EXPECT_EQ(PopCount8[0], 0);
  EXPECT_EQ(ReverseBits8[0], 0);
  EXPECT_EQ(HighBit8[255], 7);
  EXPECT_EQ(LowBit8[255], 0);
  EXPECT_EQ(ReverseBits8[0x0F], 0xF0);
  EXPECT_EQ(ReverseBits8[1], 128);
  for (int b = 1; b < 256; b++) {
    EXPECT_EQ(HighBit8[b], 31 - __builtin_clz(b)) << b;
    EXPECT_EQ(LowBit8[b], __builtin_ctz(b)) << b;
    EXPECT_EQ(PopCount8[b], __builtin_popcount(b)) << b;
    int reversed = 0;
    for (int i = 0; i < 8; i++)
      if (b >> i & 1) reversed |= 128 >> i;
    EXPECT_EQ(ReverseBits8[b], reversed) << b;
  }
}

TEST_F(Tables, FileAndRankMasks) {
  EXPECT_EQ(NotFileMask[0], 0xFEFEFEFEFEFEFEFEULL);
  EXPECT_EQ(NotFileMask[7], 0x7F7F7F7F7F7F7F7FULL);
  EXPECT_EQ(AdjacentFiles[A5], FileMask[1]);
  EXPECT_EQ(AdjacentFiles[H2], FileMask[6]);
  EXPECT_EQ(AdjacentFiles[E4], FileMask[3] | FileMask[5]);
  EXPECT_EQ(RanksAbove[C8], 0u);
  EXPECT_EQ(RanksBelow[C1], 0u);
  EXPECT_EQ(RanksAbove[D3], 0xFFFFFFFFFF000000ULL);
  EXPECT_EQ(RanksBelow[D3], 0x000000000000FFFFULL);
  EXPECT_EQ(FileAbove[E6], Squares({E7, E8}));
  EXPECT_EQ(FileBelow[E3], Squares({E2, E1}));
  EXPECT_EQ(FileAbove[A8] | FileBelow[A1], 0u);
  EXPECT_EQ(WhiteFrontSquares[A4], Squares({A5, B5}));
  EXPECT_EQ(WhiteFrontSquares[H7], Squares({G8, H8}));
  EXPECT_EQ(WhiteFrontSquares[D8], 0u);
  EXPECT_EQ(BlackFrontSquares[E5], Squares({D4, E4, F4}));
  EXPECT_EQ(BlackFrontSquares[F1], 0u);
  EXPECT_EQ(DarkSquares & SquareBit(A1), SquareBit(A1));
  EXPECT_EQ(DarkSquares ^ LightSquares, ~0ULL);
}

// Every white table seen from the other side is the matching black table.
TEST_F(Tables, BlackMasksMirrorWhiteMasks) {
  for (int s = 0; s < 64; s++) {
    int m = s ^ 56;
    EXPECT_EQ(BlackFrontSquares[s], FlipVertical(WhiteFrontSquares[m])) << s;
    EXPECT_EQ(FileBelow[s], FlipVertical(FileAbove[m])) << s;
    EXPECT_EQ(RanksBelow[s], FlipVertical(RanksAbove[m])) << s;
    EXPECT_EQ(BlackPassedMask[s], FlipVertical(WhitePassedMask[m])) << s;
    EXPECT_EQ(BlackPawnAttacks[s], FlipVertical(WhitePawnAttacks[m])) << s;
    if (s >= A2 && s <= H7) {
      EXPECT_EQ(BlackPawnSquareBtm[s], FlipVertical(WhitePawnSquareWtm[m])) << s;
      EXPECT_EQ(BlackPawnSquareWtm[s], FlipVertical(WhitePawnSquareBtm[m])) << s;
    }
  }
}

TEST_F(Tables, RuleOfTheSquare) {
  struct Case { const Bitboard* table; int pawn; int king; bool inside; };
  const Case cases[] = {
      {WhitePawnSquareWtm, E2, E7, true},   // e2 counts five moves with the double step
      {WhitePawnSquareBtm, E2, E7, true},
      {WhitePawnSquareWtm, E2, A2, false},  // distance 6 from e8
      {WhitePawnSquareBtm, E2, A2, true},   // 6 <= 5 + 1
      {WhitePawnSquareBtm, E2, A1, false},  // distance 7
      {WhitePawnSquareWtm, E3, A3, true},   // e3 needs five moves as well
      {WhitePawnSquareWtm, E4, A4, true},   // four moves, distance 4
      {WhitePawnSquareWtm, E4, A3, false},
      {WhitePawnSquareBtm, E4, A3, true},
      {WhitePawnSquareWtm, H7, F8, false},  // one move, distance 2
      {WhitePawnSquareBtm, H7, F8, true},
      {BlackPawnSquareBtm, D7, D2, true},
      {BlackPawnSquareBtm, D7, H7, false},
      {BlackPawnSquareWtm, D7, H7, true},
      {BlackPawnSquareBtm, D4, H4, false},  // three moves, distance 4 from d1
      {BlackPawnSquareWtm, D4, H4, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ((c.table[c.pawn] & SquareBit(c.king)) != 0, c.inside) << "pawn " << c.pawn << " king " << c.king;
  for (int s = 0; s < 8; s++) {
    EXPECT_EQ(WhitePawnSquareWtm[s] | WhitePawnSquareBtm[s] | BlackPawnSquareWtm[s] | BlackPawnSquareBtm[s], 0u);
    EXPECT_EQ(WhitePawnSquareWtm[s + 56] | BlackPawnSquareBtm[s + 56], 0u);
  }
}

TEST_F(Tables, EdgeOppositionUsesReversedBits) {
  struct Case { int king; Bitboard squares; };
  const Case cases[] = {
      {E1, Squares({E3})}, {B8, Squares({B6})}, {A4, Squares({C4})}, {H6, Squares({F6})},
      {A1, Squares({A3, B3, C1, C2})}, {H1, Squares({H3, G3, F1, F2})},
      {A8, Squares({A6, B6, C8, C7})}, {H8, Squares({H6, G6, F8, F7})},
      {E4, 0}, {B2, 0},
  };
  for (const Case& c : cases) {
    Bitboard reversed = 0;
    for (Bitboard b = c.squares; b;) reversed |= SquareBit(63 - PopLSB(&b));
    EXPECT_EQ(EdgeOpposition[c.king], reversed) << "king " << c.king;
  }
  EXPECT_EQ(EdgeOpposition[E1], SquareBit(63 - 20));
}

TEST_F(Tables, PawnFileClassOfFileSets) {
  const int cases[][2] = {{0x00, 0}, {0x01, 1}, {0x80, 1}, {0x02, 2}, {0x40, 2}, {0x04, 3}, {0x10, 3},
                          {0x20, 3}, {0x03, 4}, {0xC0, 4}, {0x81, 5}, {0x06, 5}, {0x07, 5}, {0xFF, 5}};
  for (const auto& c : cases) EXPECT_EQ(PawnFileClass[c[0]], c[1]) << "files " << c[0];
}

// ---------------------------------------------------------- attack tables

TEST_F(Tables, PawnKnightAndKingAttacks) {
  EXPECT_EQ(WhitePawnAttacks[A2], Squares({B3}));
  EXPECT_EQ(WhitePawnAttacks[H5], Squares({G6}));
  EXPECT_EQ(WhitePawnAttacks[E4], Squares({D5, F5}));
  EXPECT_EQ(WhitePawnAttacks[H8], 0u);
  EXPECT_EQ(BlackPawnAttacks[H1], 0u);
  EXPECT_EQ(BlackPawnAttacks[A7], Squares({B6}));
  EXPECT_EQ(KnightAttacks[A1], Squares({B3, C2}));
  EXPECT_EQ(KnightAttacks[H8], Squares({G6, F7}));
  EXPECT_EQ(KingAttacks[H1], Squares({G1, G2, H2}));
  int knightTotal = 0, kingTotal = 0;
  for (int s = 0; s < 64; s++) {
    knightTotal += PopCount(KnightAttacks[s]);
    kingTotal += PopCount(KingAttacks[s]);
    for (Bitboard b = KnightAttacks[s] | KingAttacks[s]; b;) {
      int t = PopLSB(&b);
      EXPECT_LE(std::abs(FileOf(t) - FileOf(s)), 2) << s << "->" << t;  // no wrap round an edge
    }
  }
  EXPECT_EQ(knightTotal, 336);
  EXPECT_EQ(kingTotal, 420);
}

TEST_F(Tables, LineStateNumbering) {
  int highest = 0;
  std::vector<bool> seen(256, false);
  for (int o = 0; o < 256; o++)
    for (int p = 0; p < 8; p++) {
      if (LineState[o][p] > highest) highest = LineState[o][p];
      seen[LineState[o][p]] = true;
    }
  EXPECT_EQ(highest, 69);
  for (int n = 0; n < 70; n++) EXPECT_TRUE(seen[n]) << n;
  for (int p = 0; p < 8; p++) EXPECT_EQ(LineState[0][p], p);
  EXPECT_EQ(LineState[0x02][0], 8);
  for (int p = 2; p < 8; p++) EXPECT_EQ(LineState[0x02][p], 7 + p);
  EXPECT_EQ(LineState[0x04][0], 15);
  // State 69 is a slider on position 5 between pieces on 4 and 6.
  EXPECT_EQ(LineState[0x50][5], 69);
  EXPECT_EQ(RankAttacks[69 * 8], Squares({E1, G1}));
  // Rook on d4 with pieces on b4 and g4.
  EXPECT_EQ(RankAttacks[LineState[0x4A][3] * 8 + 3], Squares({B4, C4, E4, F4, G4}));
}

// Every line occupancy and position, on every rank and file, against a walk.
TEST_F(Tables, RankAndFileAttacksMatchWalksForEveryLineOccupancy) {
  for (int o = 0; o < 256; o++)
    for (int p = 0; p < 8; p++)
      for (int line = 0; line < 8; line++) {
        Bitboard rankOcc = (Bitboard)o << (8 * line), fileOcc = 0;
        for (int q = 0; q < 8; q++)
          if (o >> q & 1) fileOcc |= SquareBit(q * 8 + line);
        int onRank = line * 8 + p, onFile = p * 8 + line;
        ASSERT_EQ(RankAttacks[LineState[o][p] * 8 + line],
                  NaiveWalk(onRank, 1, 0, rankOcc) | NaiveWalk(onRank, -1, 0, rankOcc))
            << "occupancy " << o << " square " << onRank;
        ASSERT_EQ(FileAttacks[LineState[o][p] * 8 + line],
                  NaiveWalk(onFile, 0, 1, fileOcc) | NaiveWalk(onFile, 0, -1, fileOcc))
            << "occupancy " << o << " square " << onFile;
      }
}

// The line lookups on random boards against walks, and each ray cutting one
// direction out of its line.
TEST_F(Tables, SlidingAttacksMatchWalksOnRandomBoards) {
  std::mt19937_64 random(20240611);
  struct Step { int df, dr; };
  const Step steps[8] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
  for (int trial = 0; trial < 400; trial++) {
    Bitboard occupied = random();
    if (trial % 3 == 1) occupied &= random() & random();
    if (trial % 3 == 2) occupied |= random();
    SetOccupancy(occupied);
    for (int s = 0; s < 64; s++) {
      Bitboard walks[8];
      for (int i = 0; i < 8; i++) walks[i] = NaiveWalk(s, steps[i].df, steps[i].dr, occupied);
      const Bitboard lines[4] = {RankLine(s), FileLine(s), DiagA1H8Line(s), DiagH1A8Line(s)};
      for (int k = 0; k < 4; k++) {
        ASSERT_EQ(lines[k], walks[2 * k] | walks[2 * k + 1]) << "line " << k << " square " << s << " trial " << trial;
        for (int i = 2 * k; i <= 2 * k + 1; i++) {
          int d = steps[i].dr * 8 + steps[i].df;
          ASSERT_EQ(lines[k] & RayOf(-d, s), walks[i]) << "step " << d << " square " << s << " trial " << trial;
        }
      }
    }
  }
}

// The multiplication tables on every occupancy of each square's relevant
// squares, with random squares outside them (the square itself, the line
// ends, the rest of the board) set as well: a slot shared by two different
// attack sets shows here.
TEST_F(Tables, SliderTablesMatchWalksOnEveryRelevantOccupancy) {
  std::mt19937_64 random(7);
  struct Kind { const SliderMagic* magics; int steps[4][2]; const char* name; };
  const Kind kinds[2] = {{RookMagics, {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}, "rook"},
                         {BishopMagics, {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}}, "bishop"}};
  for (const Kind& kind : kinds)
    for (int s = 0; s < 64; s++) {
      const Bitboard mask = kind.magics[s].mask;
      ASSERT_EQ(mask & SquareBit(s), 0u) << kind.name << " " << s;
      Bitboard subset = 0;
      do {
        const Bitboard occupied = subset | (random() & ~mask);
        thread_board.Occupied = occupied;
        Bitboard expected = 0;
        for (const auto& step : kind.steps) expected |= NaiveWalk(s, step[0], step[1], occupied);
        const Bitboard found = kind.magics == RookMagics ? RookLines(s) : BishopLines(s);
        ASSERT_EQ(found, expected) << kind.name << " square " << s << " occupancy " << occupied;
        subset = (subset - mask) & mask;
      } while (subset != 0);
    }
}

TEST_F(Tables, EmptyBoardMovesAndPassedMasks) {
  for (int s = 0; s < 64; s++) {
    EXPECT_EQ(RookMoves[s], (FileMask[FileOf(s)] | (0xFFULL << (8 * RankOf(s)))) ^ SquareBit(s)) << s;
    EXPECT_EQ(RookMoves[s] | BishopMoves[s], RayOf(-1, s) | RayOf(1, s) | RayOf(-8, s) | RayOf(8, s) | RayOf(-7, s) |
                                                 RayOf(7, s) | RayOf(-9, s) | RayOf(9, s)) << s;
  }
  EXPECT_EQ(BishopMoves[A1], 0x8040201008040200ULL);
  EXPECT_EQ(BishopMoves[D4], Squares({A1, B2, C3, E5, F6, G7, H8, A7, B6, C5, E3, F2, G1}));
  EXPECT_EQ(BishopMoves[H3], Squares({G2, F1, G4, F5, E6, D7, C8}));
  EXPECT_EQ(WhitePassedMask[E4], (FileMask[3] | FileMask[4] | FileMask[5]) & 0xFFFFFFFF00000000ULL);
  EXPECT_EQ(WhitePassedMask[A2], (FileMask[0] | FileMask[1]) & ~0xFFFFULL);
  EXPECT_EQ(WhitePassedMask[H8], 0u);
  EXPECT_EQ(BlackPassedMask[H7], (FileMask[6] | FileMask[7]) & 0xFFFFFFFFFFFFULL);
  EXPECT_EQ(BlackPassedMask[C1], 0u);
}

TEST_F(Tables, DirectionAndBetweenCases) {
  struct DirectionCase { int a, b, d; };
  const DirectionCase directions[] = {
      {A1, B2, -9}, {B2, A1, 9}, {A1, H8, -9}, {H1, A8, -7}, {E4, E8, -8}, {E4, A4, 1}, {E4, E4, 0}, {A1, B3, 0}, {H1, A2, 0}};
  for (const auto& c : directions) EXPECT_EQ(Direction[c.a][c.b], c.d) << c.a << " " << c.b;

  struct BetweenCase { int a, b; Bitboard set; };
  const BetweenCase betweens[] = {
      {A1, H8, Squares({A1, B2, C3, D4, E5, F6, G7})},
      {H8, A1, Squares({H8, G7, F6, E5, D4, C3, B2})},
      {E4, E5, Squares({E4})},
      {A1, C2, 0},
      {E4, E4, 0},
      {H1, A1, Squares({H1, G1, F1, E1, D1, C1, B1})},
      {H2, A1, 0},  // would wrap round the board edge
  };
  for (const auto& c : betweens) EXPECT_EQ(Between[c.a][c.b], c.set) << c.a << " " << c.b;
}

// Direction and Between of every pair against file and rank arithmetic.
TEST_F(Tables, DirectionAndBetweenMatchGeometryForAllPairs) {
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++) {
      int df = FileOf(b) - FileOf(a), dr = RankOf(b) - RankOf(a);
      bool onLine = a != b && (df == 0 || dr == 0 || df == dr || df == -dr);
      int expectedDirection = 0;
      Bitboard expectedBetween = 0;
      if (onLine) {
        int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
        expectedDirection = -(sr * 8 + sf);
        for (int s = a; s != b; s += sr * 8 + sf) expectedBetween |= SquareBit(s);
      }
      ASSERT_EQ(Direction[a][b], expectedDirection) << a << " " << b;
      ASSERT_EQ(Between[a][b], expectedBetween) << a << " " << b;
    }
}

TEST_F(Tables, RectangleCases) {
  EXPECT_EQ(Rectangle[E4][E4], Squares({E4}));
  EXPECT_EQ(Rectangle[A1][B2], Squares({A1, B1, A2, B2}));
  EXPECT_EQ(Rectangle[B2][A1], Squares({A1, B1, A2, B2}));
  EXPECT_EQ(Rectangle[H1][A8], ~0ULL);
  EXPECT_EQ(Rectangle[C6][F5], Squares({C5, D5, E5, F5, C6, D6, E6, F6}));
  EXPECT_EQ(Rectangle[D1][D8], FileMask[3]);
}

TEST_F(Tables, KnightDistance) {
  EXPECT_EQ(KnightDistance[B2][A1], 4);
  EXPECT_EQ(KnightDistance[H8][A1], 6);
  EXPECT_EQ(KnightDistance[C2][A1], 1);
  EXPECT_EQ(KnightDistance[E4][E4], 0);
  // Each distance is one more than the best distance from a knight step away.
  for (int from = 0; from < 64; from++)
    for (int to = 0; to < 64; to++) {
      ASSERT_EQ(KnightDistance[to][from], KnightDistance[from][to]);
      if (to == from) continue;
      int best = 99;
      for (Bitboard b = KnightAttacks[from]; b;) {
        int next = PopLSB(&b);
        if (KnightDistance[to][next] < best) best = KnightDistance[to][next];
      }
      ASSERT_EQ(KnightDistance[to][from], best + 1) << from << "->" << to;
    }
}

}  // namespace
