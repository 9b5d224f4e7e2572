// Pawn structure, shelter codes, pawn storms and the pawn hash: the traits
// of single pawns, the bytes of the pawn block, the shelter bytes, colour
// symmetry of random pawn structures, and the pawn hash, its one-entry block
// and the evaluation cache against fresh computations over a perft walk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "eval/pst.h"
#include "interface/commands.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "test_support.h"

namespace {

class PawnsTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    RootSide = WHITE;
    ClearPawnHash();
  }
};

int SquareOf(const char* name) { return (name[1] - '1') * 8 + (name[0] - 'a'); }

// The pawn term alone: what EvaluatePawns adds and fills.
struct PawnResult {
  PawnHashEntry block;
  Bitboard passed[2];
  int32_t score;
};

// The key of an entry of the table, whose packed entries leave it unaligned.
uint64_t KeyOf(const PawnHashEntry& entry) {
  uint64_t key = entry.key;
  return key;
}

PawnResult RunPawns() {
  std::memset(&thread_eval_info, 0, sizeof thread_eval_info);
  EvaluatePawns();
  return {thread_board.PawnBlock, {thread_eval_info.passed_pawns[WHITE], thread_eval_info.passed_pawns[BLACK]},
          thread_eval_info.packed_score};
}

// The same with the pawn hash switched off; the pawn block is put back as it
// was, so a warm block stays warm for the next probe.
PawnResult RunPawnsWithoutHash() {
  PawnHashEntry* table = PawnHashTable;
  PawnHashEntry saved = thread_board.PawnBlock;
  PawnHashTable = nullptr;
  PawnResult r = RunPawns();
  PawnHashTable = table;
  EXPECT_EQ(KeyOf(thread_board.PawnBlock), PAWN_BLOCK_NO_KEY) << "a block computed without the hash kept a key";
  thread_board.PawnBlock = saved;
  return r;
}

// Everything of a pawn result but the key.
std::string Describe(const PawnHashEntry& e) {
  char text[160];
  std::snprintf(text, sizeof text, "score %08x passed %02x/%02x files %02x/%02x weak %02x/%02x shelter %d %d %d %d",
                (uint32_t)e.score, e.PassedVector[0], e.PassedVector[1], e.black_files, e.white_files,
                e.black_weak_files, e.white_weak_files, e.shelter[0], e.shelter[1], e.shelter[2], e.shelter[3]);
  return text;
}

std::string Describe(const PawnResult& r) {
  char text[64];
  std::snprintf(text, sizeof text, " passed sets %016llx %016llx", (unsigned long long)r.passed[WHITE],
                (unsigned long long)r.passed[BLACK]);
  return Describe(r.block) + text;
}

TEST_F(PawnsTest, TraitsOfSinglePawns) {
  const int C = PAWN_CONNECTED, D = PAWN_DOUBLED, I = PAWN_ISOLATED, B = PAWN_BACKWARD, O = PAWN_OPEN,
            P = PAWN_PASSED, K = PAWN_CANDIDATE, T = PAWN_BREAKTHROUGH;
  struct Case {
    const char* what;
    const char* fen;
    const char* square;
    int colour;
    int traits;
  } cases[] = {
      {"front pawn of a doubled pair carries the term", "4k3/8/4p3/4p3/8/8/8/4K3 w - - 0 1", "e5", BLACK, D | I | O | P},
      {"rear pawn of a doubled pair", "4k3/8/4p3/4p3/8/8/8/4K3 w - - 0 1", "e6", BLACK, I},
      {"backward: neighbours ahead, stop square attacked", "4k3/8/8/4p3/2P1P3/3P4/8/4K3 w - - 0 1", "d3", WHITE,
       B | O},
      {"protected by the backward pawn", "4k3/8/8/4p3/2P1P3/3P4/8/4K3 w - - 0 1", "c4", WHITE, C | O | P},
      {"blocked by an enemy pawn: not open", "4k3/8/8/4p3/2P1P3/3P4/8/4K3 w - - 0 1", "e4", WHITE, C},
      {"steps up to its neighbour", "4k3/8/8/8/2P5/3P4/8/4K3 w - - 0 1", "d3", WHITE, O | P},
      {"double step joins the neighbour", "4k3/8/8/8/3P4/8/2P5/4K3 w - - 0 1", "c2", WHITE, O | P},
      {"double step square attacked", "4k3/8/8/1p6/3P4/8/2P5/4K3 w - - 0 1", "c2", WHITE, B | O},
      {"double step free but attacked now", "4k3/8/8/8/3P4/1p6/2P5/4K3 w - - 0 1", "c2", WHITE, B | O},
      {"black start rank, neighbour on the fifth", "4k3/2p5/8/3p4/8/8/8/4K3 w - - 0 1", "c7", BLACK, O | P},
      {"black start rank, double step attacked", "4k3/2p5/8/3p4/1P6/8/8/4K3 w - - 0 1", "c7", BLACK, B | O},
      {"candidate: one helper against one stopper", "4k3/8/p7/8/PP6/8/8/4K3 w - - 0 1", "b4", WHITE, C | O | K},
      {"no candidate: two stoppers", "4k3/8/p1p5/8/PP6/8/8/4K3 w - - 0 1", "b4", WHITE, C | O},
      {"no candidate: attacked and unprotected", "4k3/8/8/2p5/PP6/8/8/4K3 w - - 0 1", "b4", WHITE, C | O},
      {"black breakthrough by the pawn behind on file f+1", "4k3/8/8/8/5p2/4p3/4P3/7K w - - 0 1", "e3", BLACK,
       C | T},
      {"the lever's own stop square is attacked", "4k3/8/8/8/5p2/4p3/4P3/7K w - - 0 1", "f4", BLACK, B | O},
      {"enemy pawn level on file f+2 stops the lever", "4k3/8/8/8/5p2/4p1P1/4P3/7K w - - 0 1", "e3", BLACK, C},
      {"white breakthrough by the pawn behind on file f-1", "k7/3p4/3P4/2P5/8/8/8/K7 w - - 0 1", "d6", WHITE,
       C | T},
      {"h-file pawn: lever only on the g-file side", "k7/7p/7P/6P1/8/8/8/K7 w - - 0 1", "h6", WHITE, C | T},
      {"a-file pawn: enemy pawn level on the file beyond the lever", "k7/p7/P1p5/1P6/8/8/8/7K w - - 0 1", "a6",
       WHITE, C},
      {"a-file pawn without a lever", "k7/p7/P7/8/8/8/8/7K w - - 0 1", "a6", WHITE, I},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    EXPECT_EQ(PawnTraits(SquareOf(c.square), c.colour), c.traits) << c.what << ": " << c.fen;
  }
}

TEST_F(PawnsTest, BytesOfThePawnBlock) {
  struct Case {
    const char* what;
    const char* fen;
    int passedBlack, passedWhite, filesBlack, filesWhite, weakBlack, weakWhite;
    const char* passedSquares;  // every pawn in the passed sets
  } cases[] = {
      {"no pawns", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, 0, 0, 0, 0, 0, ""},
      {"doubled passers: both in the set", "4k3/8/4p3/4p3/8/8/8/4K3 w - - 0 1", 0x10, 0, 0x10, 0, 0x10, 0, "e6e5"},
      {"backward on an open file is weak", "4k3/8/8/4p3/2P1P3/3P4/8/4K3 w - - 0 1", 0, 0x04, 0x10, 0x1c, 0, 0x08,
       "c4"},
      {"isolated behind an enemy pawn is not weak", "4k3/8/3p4/8/3P4/8/8/4K3 w - - 0 1", 0, 0, 0x08, 0x08, 0, 0, ""},
      {"rook pawns on both wings", "4k3/8/8/8/8/8/P6P/4K3 w - - 0 1", 0, 0x81, 0, 0x81, 0, 0x81, "a2h2"},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    PawnResult r = RunPawns();
    EXPECT_EQ(r.block.PassedVector[0], c.passedBlack) << c.what;
    EXPECT_EQ(r.block.PassedVector[1], c.passedWhite) << c.what;
    EXPECT_EQ(r.block.black_files, c.filesBlack) << c.what;
    EXPECT_EQ(r.block.white_files, c.filesWhite) << c.what;
    EXPECT_EQ(r.block.black_weak_files, c.weakBlack) << c.what;
    EXPECT_EQ(r.block.white_weak_files, c.weakWhite) << c.what;
    Bitboard expected = 0;
    for (const char* s = c.passedSquares; *s; s += 2) expected |= SquareBit(SquareOf(s));
    EXPECT_EQ(r.passed[WHITE] | r.passed[BLACK], expected) << c.what;
    EXPECT_EQ(r.passed[WHITE] & thread_board.Pieces[PAWN][BLACK], 0u) << c.what;
  }

  // Without pawns the score is 0 and every wing has the worst shelter.
  SetPosition("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  PawnResult none = RunPawns();
  EXPECT_EQ(none.score, 0);
  for (int w = 0; w < 4; w++) EXPECT_EQ(none.block.shelter[w], ShelterCodeTable[511]) << w;

  EXPECT_EQ(FileSpan(0), 0);
  EXPECT_EQ(FileSpan(0x10), 1);
  EXPECT_EQ(FileSpan(0x81), 8);
  EXPECT_EQ(FileSpan(0x24), 4);
}

// Sign conventions: a structure that is worse for one colour moves both
// halves of the pawn score toward the other.
TEST_F(PawnsTest, WorseStructureFavoursTheOtherSide) {
  struct Case {
    const char* what;
    const char* fen;
    int blackBetter;
  } cases[] = {
      {"white doubled isolated pawns", "4k3/pp6/8/8/8/2P5/2P5/4K3 w - - 0 1", 1},
      {"black doubled isolated pawns", "4k3/2p5/2p5/8/8/8/PP6/4K3 w - - 0 1", 0},
      {"black passer far advanced and protected", "4k3/8/8/8/8/1p6/p7/4K3 w - - 0 1", 1},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    int32_t score = RunPawns().score;
    int mg = PackedMg(score), eg = PackedEg(score);
    if (c.blackBetter) {
      EXPECT_GT(mg + eg, 0) << c.what << " mg " << mg << " eg " << eg;
      EXPECT_GE(eg, 0) << c.what;
    } else {
      EXPECT_LT(mg + eg, 0) << c.what << " mg " << mg << " eg " << eg;
      EXPECT_LE(eg, 0) << c.what;
    }
  }
}

TEST_F(PawnsTest, ShelterCodesByFile) {
  struct Case {
    const char* fen;
    int codes[12];  // F2 G2 H2 C2 B2 A2, then F7 G7 H7 C7 B7 A7
  } cases[] = {
      {"r5k1/5p2/6pp/8/8/7P/PPP2PP1/R5K1 w - - 0 1", {0, 0, 1, 4, 4, 4, 0, 1, 1, 3, 3, 3}},
      {"6k1/8/6P1/8/5P2/8/7P/6K1 w - - 0 1", {6, 7, 4, 7, 7, 7, 3, 3, 3, 7, 7, 7}},
      {"6k1/pp3p2/2p3p1/7p/P7/1P3P2/2P3PP/6K1 w - - 0 1", {1, 0, 0, 0, 1, 2, 0, 1, 2, 1, 0, 0}},
  };
  int (*const functions[12])() = {GetShelterCodeF2, GetShelterCodeG2, GetShelterCodeH2, GetShelterCodeC2,
                                  GetShelterCodeB2, GetShelterCodeA2, GetShelterCodeF7, GetShelterCodeG7,
                                  GetShelterCodeH7, GetShelterCodeC7, GetShelterCodeB7, GetShelterCodeA7};
  for (const Case& c : cases) {
    SetPosition(c.fen);
    for (int i = 0; i < 12; i++) EXPECT_EQ(functions[i](), c.codes[i]) << c.fen << " code " << i;
  }

  // Over the suite: a code is 4..7 exactly when the opponent has no pawn on
  // the file, on every file alike.
  const int files[12] = {5, 6, 7, 2, 1, 0, 5, 6, 7, 2, 1, 0};
  for (const PerftCase& p : LoadPerftSuite()) {
    SetPosition(p.fen);
    for (int i = 0; i < 12; i++) {
      int code = functions[i]();
      ASSERT_GE(code, 0);
      ASSERT_LE(code, 7);
      Bitboard enemy = thread_board.Pieces[PAWN][i < 6 ? BLACK : WHITE];
      EXPECT_EQ(code >= 4, (enemy & FileMask[files[i]]) == 0) << p.fen << " code " << i;
    }
  }
}

// Parameter blocks changed by a test and put back afterwards.
class SavedShelterParams {
 public:
  SavedShelterParams() {
    std::memcpy(codes_, ShelterCodeTable, sizeof codes_);
    std::memcpy(pawn_, PawnParams, sizeof pawn_);
    std::memcpy(king_, KingSquareShelter, sizeof king_);
  }
  ~SavedShelterParams() {
    std::memcpy(ShelterCodeTable, codes_, sizeof codes_);
    std::memcpy(PawnParams, pawn_, sizeof pawn_);
    std::memcpy(KingSquareShelter, king_, sizeof king_);
    ClearPawnHash();
    ClearEvalHash();
  }

 private:
  int32_t codes_[512], pawn_[51], king_[64];
};

TEST_F(PawnsTest, ShelterBytesAddThePawnStorm) {
  SavedShelterParams saved;
  for (int32_t& v : ShelterCodeTable) v = 0;
  const int32_t contact[4] = {1, 2, 3, 4}, blocked[4] = {10, 20, 30, 40}, open[4] = {50, 60, 70, 80};
  for (int k = 0; k < 4; k++) {
    PawnParams[k] = contact[k];
    PawnParams[4 + k] = blocked[k];
    PawnParams[8 + k] = open[k];
  }
  struct Case {
    const char* what;
    const char* fen;
    int shelter[4];  // White king side, White queen side, Black king side, Black queen side
  } cases[] = {
      // h5 free (its 4th rank), g4 in contact with f3 (5th), h3 blocked by h2 (6th), f2 free (7th).
      {"black storm on every rank it can use", "6k1/8/8/7p/6p1/5P1p/5p1P/7K w - - 0 1",
       {open[0] + contact[1] + blocked[2] + open[3], 0, 0, 0}},
      // c4 blocked by c5 (4th), d5 free (5th), b6 in contact with a7 (6th), b7 free (7th);
      // c5 in turn is blocked by c4 (its 4th).
      {"white storm on every rank it can use", "7k/pP6/1P6/2pP4/2P5/8/8/K7 w - - 0 1",
       {0, blocked[0], 0, blocked[0] + open[1] + contact[2] + open[3]}},
      // Pawns on their first three ranks do not storm.
      {"no storm from home", "4k3/3ppppp/5ppp/8/8/PPP5/PPPP4/4K3 w - - 0 1", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    ClearPawnHash();
    PawnResult r = RunPawns();
    for (int w = 0; w < 4; w++) EXPECT_EQ(r.block.shelter[w], c.shelter[w]) << c.what << " wing " << w;
  }

  // The code table by the three codes: the file nearest the centre lowest.
  for (int32_t i = 0; i < 512; i++) ShelterCodeTable[i] = i % 97;
  SetPosition("r5k1/5p2/6pp/8/8/7P/PPP2PP1/R5K1 w - - 0 1");
  ClearPawnHash();
  PawnResult r = RunPawns();
  EXPECT_EQ(r.block.shelter[0], (0 | 0 << 3 | 1 << 6) % 97);
  EXPECT_EQ(r.block.shelter[1], (4 | 4 << 3 | 4 << 6) % 97);
  EXPECT_EQ(r.block.shelter[2], (0 | 1 << 3 | 1 << 6) % 97);
  EXPECT_EQ(r.block.shelter[3], (3 | 3 << 3 | 3 << 6) % 97);
}

// A shelter beyond a byte is kept at 255, not wrapped to a good shelter, and
// the shelter penalty stays within 0..63 at both ends.
TEST_F(PawnsTest, ShelterSaturatesAndThePenaltyIsClamped) {
  SavedShelterParams saved;
  const char* fens[] = {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1",
                        "r1bq1rk1/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQ1RK1 w - - 0 1",
                        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"};
  for (int32_t& v : ShelterCodeTable) v = 300;
  for (const char* fen : fens) {
    SetPosition(fen);
    ClearPawnHash();
    PawnResult r = RunPawns();
    for (int w = 0; w < 4; w++) EXPECT_EQ(r.block.shelter[w], 255) << fen;
    int32_t score = 0;
    EvaluatePosition(&score);
    if (thread_board.CastleFlags == 0) {
      EXPECT_EQ(thread_eval_info.shelter_penalty[WHITE], 63) << fen;
      EXPECT_EQ(thread_eval_info.shelter_penalty[BLACK], 63) << fen;
    }
  }
  for (int32_t& v : ShelterCodeTable) v = 0;
  for (int32_t& v : KingSquareShelter) v = -1000;
  for (const char* fen : fens) {
    SetPosition(fen);
    ClearPawnHash();
    int32_t score = 0;
    EvaluatePosition(&score);
    EXPECT_EQ(thread_eval_info.shelter_penalty[WHITE], 0) << fen;
    EXPECT_EQ(thread_eval_info.shelter_penalty[BLACK], 0) << fen;
  }
}

// A random legal-looking pawn structure with the kings on e1 and e8 (or
// elsewhere when a pawn would attack them), WHITE to move.
std::string RandomPawnFen(std::mt19937& random) {
  char board[64];
  std::memset(board, 0, sizeof board);
  int whiteKing = (int)(random() % 64), blackKing;
  do blackKing = (int)(random() % 64);
  while (std::abs(FileOf(blackKing) - FileOf(whiteKing)) <= 1 && std::abs(RankOf(blackKing) - RankOf(whiteKing)) <= 1);
  board[whiteKing] = 'K';
  board[blackKing] = 'k';
  for (int colour = 0; colour < 2; colour++) {
    int count = (int)(random() % 9);
    for (int n = 0; n < count; n++) {
      int square = 8 + (int)(random() % 48);
      if (board[square]) continue;
      // No pawn gives check: the side not to move must not be in check.
      if (colour == WHITE && (WhitePawnAttacks[square] & SquareBit(blackKing))) continue;
      board[square] = colour == WHITE ? 'P' : 'p';
    }
  }
  return PlacementFen(board) + " w - - 0 1";
}

// The colour-flipped structure gives the colours' bytes exchanged and the
// score negated; the hash, the block and a fresh computation agree.
TEST_F(PawnsTest, RandomStructuresAreColourSymmetricAndHashSafe) {
  std::mt19937 random(20261210);
  int checked = 0;
  for (int n = 0; n < 3000; n++) {
    std::string fen = RandomPawnFen(random);
    if (!SetFenPosition(fen.c_str())) continue;
    PawnResult hashed = RunPawns();
    PawnResult again = RunPawns();  // from the block
    ResetPawnBlock();
    PawnResult table = RunPawns();  // from the table
    PawnResult fresh = RunPawnsWithoutHash();
    ASSERT_EQ(Describe(hashed), Describe(fresh)) << fen;
    ASSERT_EQ(Describe(again), Describe(fresh)) << fen;
    ASSERT_EQ(Describe(table), Describe(fresh)) << fen;
    ASSERT_EQ(hashed.score, fresh.score) << fen;

    std::string twin = FlipFen(fen);
    if (!SetFenPosition(twin.c_str())) continue;
    PawnResult flipped = RunPawns();
    const PawnHashEntry& a = fresh.block;
    const PawnHashEntry& f = flipped.block;
    EXPECT_EQ(PackedMg(f.score), -PackedMg(a.score)) << fen;
    EXPECT_EQ(PackedEg(f.score), -PackedEg(a.score)) << fen;
    EXPECT_EQ(f.PassedVector[0], a.PassedVector[1]) << fen;
    EXPECT_EQ(f.PassedVector[1], a.PassedVector[0]) << fen;
    EXPECT_EQ(f.black_files, a.white_files) << fen;
    EXPECT_EQ(f.black_weak_files, a.white_weak_files) << fen;
    EXPECT_EQ(f.white_weak_files, a.black_weak_files) << fen;
    EXPECT_EQ(f.shelter[0], a.shelter[2]) << fen;
    EXPECT_EQ(f.shelter[1], a.shelter[3]) << fen;
    EXPECT_EQ(f.shelter[2], a.shelter[0]) << fen;
    EXPECT_EQ(f.shelter[3], a.shelter[1]) << fen;
    checked++;
    if (HasFailure()) return;
  }
  EXPECT_GT(checked, 2000);
}

// The pawn block as the traits of each pawn give it, one pawn at a time: the
// plain reference of the whole-board computation in EvaluatePawns.
PawnHashEntry BlockFromTraits() {
  PawnHashEntry block = {};
  int32_t score = 0;
  uint8_t files[2] = {0, 0}, passed[2] = {0, 0}, weak[2] = {0, 0};
  for (int colour = 0; colour < 2; colour++) {
    for (Bitboard pawns = thread_board.Pieces[PAWN][colour]; pawns;) {
      int s = PopLSB(&pawns);
      int traits = PawnTraits(s, colour);
      int i = colour == BLACK ? s : 63 - s;
      uint8_t bit = (uint8_t)(1 << FileOf(s));
      int open = (traits & PAWN_OPEN) != 0;
      int32_t term = 0;
      files[colour] |= bit;
      if (traits & PAWN_CONNECTED) term = PackedAdd(term, PawnConnected[i]);
      if (traits & PAWN_DOUBLED) term = PackedSub(term, PawnDoubled[i]);
      if (traits & PAWN_ISOLATED) term = PackedSub(term, open ? PawnIsolatedOpen[i] : PawnIsolated[i]);
      else if (traits & PAWN_BACKWARD) term = PackedSub(term, open ? PawnBackwardOpen[i] : PawnBackward[i]);
      if ((traits & (PAWN_ISOLATED | PAWN_BACKWARD)) && open) weak[colour] |= bit;
      if (traits & PAWN_PASSED) passed[colour] |= bit;
      if (traits & PAWN_CANDIDATE) term = PackedAdd(term, PawnCandidate[i]);
      if (traits & PAWN_BREAKTHROUGH) term = PackedAdd(term, PawnBreakthrough[i]);
      score = colour == BLACK ? PackedAdd(score, term) : PackedSub(score, term);
    }
  }
  score = PackedAdd(score, PackedSub(PawnFileSpan[FileSpan(files[BLACK])], PawnFileSpan[FileSpan(files[WHITE])]));
  score = PackedAdd(score, PackedSub(PassedFileSpan[FileSpan(passed[BLACK])], PassedFileSpan[FileSpan(passed[WHITE])]));
  block.score = score;
  block.PassedVector[0] = passed[BLACK];
  block.PassedVector[1] = passed[WHITE];
  block.white_files = files[WHITE];
  block.black_files = files[BLACK];
  block.black_weak_files = weak[BLACK];
  block.white_weak_files = weak[WHITE];
  return block;
}

// EvaluatePawns finds the traits of all pawns of a colour at once; its block
// must be the one the traits of the single pawns give, on random structures
// and on the suite positions.
TEST_F(PawnsTest, BlockAgreesWithTheTraitsOfEachPawn) {
  std::vector<std::string> fens = SuiteFens();
  std::mt19937 random(20261211);
  for (int n = 0; n < 4000; n++) fens.push_back(RandomPawnFen(random));
  int checked = 0;
  for (const std::string& fen : fens) {
    if (!SetFenPosition(fen.c_str())) continue;
    PawnHashEntry reference = BlockFromTraits();
    PawnResult fresh = RunPawnsWithoutHash();
    std::memcpy(reference.shelter, fresh.block.shelter, sizeof reference.shelter);
    ASSERT_EQ(Describe(fresh.block), Describe(reference)) << fen;
    checked++;
  }
  EXPECT_GT(checked, 4000);
}

// Both caches warm (small tables, so entries are replaced and shared by many
// keys) against a computation with the pawn hash off and no evaluation cache:
// the pawn block, the pawn-hash entry of the key, EvaluatePosition, Evaluate,
// and Evaluate for the other side to move, answered from the derived slot.
void CompareNode(long* nodes) {
  ThreadBoard& b = thread_board;
  const uint64_t key = b.PawnKey;
  for (int turn = 0; turn < 2; turn++) {
    int32_t cached = Evaluate();
    PawnResult warm = RunPawns();
    ASSERT_EQ(KeyOf(b.PawnBlock), key);
    PawnResult fresh = RunPawnsWithoutHash();
    ASSERT_EQ(Describe(warm), Describe(fresh)) << "node " << *nodes;
    const PawnHashEntry& entry = PawnHashTable[PawnHashIndex(key)];
    if (KeyOf(entry) == key) {
      ASSERT_EQ(Describe(entry), Describe(fresh.block)) << "node " << *nodes;
    }

    int32_t warmFull = 0, coldFull = 0;
    EvaluatePosition(&warmFull);
    PawnHashEntry* table = PawnHashTable;
    PawnHashEntry block = b.PawnBlock;
    PawnHashTable = nullptr;
    EvaluatePosition(&coldFull);
    PawnHashTable = table;
    b.PawnBlock = block;
    ASSERT_EQ(warmFull, coldFull) << "node " << *nodes;
    int rule50 = b.Rule50, factor = 256 - 2 * (rule50 > 8 ? rule50 - 8 : 0);
    // A slot derived from the other side's evaluation may differ by one: the
    // material-case scaling truncates the score and derive_base separately.
    // A stale or mis-keyed entry is off by far more.
    int32_t expected = (int32_t)((int64_t)coldFull * (factor < 0 ? 0 : factor) / 256);
    ASSERT_LE(std::abs(cached - expected), 1)
        << "node " << *nodes << " side " << b.SideToMove << " " << (MakeFen(0), FenText);
    b.SideToMove ^= 1;  // the null-move twin: the derived slot answers
    ++*nodes;
  }
}

void WalkAndCompare(int depth, long* nodes) {
  WalkLegalTree(depth, [nodes] { CompareNode(nodes); });
}

TEST_F(PawnsTest, WarmCachesEqualFreshComputationsOverAPerftWalk) {
  const int32_t pawnEntries = PawnHashEntries, evalEntries = EvalHashEntries;
  PawnHashEntries = 61;
  EvalHashEntries = 127;
  AllocatePawnHash();
  ClearPawnHash();
  AllocateEvalHash();
  ClearEvalHash();
  std::vector<PerftCase> suite = LoadPerftSuite();
  ASSERT_GE(suite.size(), 8u);
  long nodes = 0;
  for (size_t i = 0; i < suite.size() && !HasFatalFailure(); i++) {
    SetPosition(suite[i].fen);
    RootSide = WHITE;
    MoveStackTop = 0;
    WalkAndCompare(i == 0 || i == 2 ? 3 : 2, &nodes);
  }
  EXPECT_GT(nodes, 20000);
  PawnHashEntries = pawnEntries;
  EvalHashEntries = evalEntries;
  AllocatePawnHash();
  ClearPawnHash();
  AllocateEvalHash();
  ClearEvalHash();
}

// "reload" with new pawn weights: no pawn-hash entry or block of the old
// weights answers afterwards.
TEST_F(PawnsTest, ReloadLeavesNoStalePawnEntry) {
  if (Tokens[0] == nullptr) AllocateTokenBuffers();
  const std::string fen = "4k3/pp6/8/8/8/2P5/2P5/4K3 w - - 0 1";
  SetPosition(fen);
  int32_t before = RunPawns().score;
  const uint64_t key = thread_board.PawnKey;
  ASSERT_EQ(KeyOf(PawnHashTable[PawnHashIndex(key)]), key);

  int32_t saved[10][64];
  std::memcpy(saved, MirroredTables64, sizeof saved);
  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  for (int s = 0; s < 64; s++) MirroredTables64[8][s] = MirroredTables64[9][s] = 77;  // doubled pawns
  ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
  std::memcpy(MirroredTables64, saved, sizeof saved);

  ASSERT_NO_FATAL_FAILURE(ReloadIn(scratch.path));
  EXPECT_EQ(MirroredTables64[8][20], 77);
  EXPECT_NE(KeyOf(PawnHashTable[PawnHashIndex(key)]), key);
  EXPECT_EQ(KeyOf(thread_board.PawnBlock), PAWN_BLOCK_NO_KEY);
  PawnResult after = RunPawns();
  EXPECT_EQ(Describe(after), Describe(RunPawnsWithoutHash()));
  EXPECT_NE(after.score, before);

  // Back to the compiled defaults: a load without a file keeps the values in force.
  std::memcpy(MirroredTables64, saved, sizeof saved);
  std::remove(scratch.file.c_str());
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  ClearPawnHash();
  ClearEvalHash();
  EXPECT_EQ(RunPawns().score, before);
}

}  // namespace
