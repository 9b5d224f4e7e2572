// The evaluation driver: colour symmetry, the evaluation cache and its
// derived slot, the lazy exit, the fifty-move damping, the tempo, exact
// endgame answers, "reload" and the sanity of the compiled defaults.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "interface/commands.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "search/hashtable.h"
#include "test_support.h"

namespace {

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class EvaluateTest : public EvalTest {};

TEST_F(EvaluateTest, ColourFlippedTwinsEvaluateAlike) {
  std::vector<std::string> fens = SuiteFens();
  ASSERT_GT(fens.size(), 400u);
  for (const std::string& fen : fens) {
    int32_t score = FreshOf(fen);
    EvalInfo info = thread_eval_info;
    for (int c = 0; c < 2; c++) {
      ASSERT_GE(info.shelter_penalty[c], 0) << fen;
      ASSERT_LE(info.shelter_penalty[c], 63) << fen;
      if (info.ENDING[c]) {
        EXPECT_EQ(info.shelter_penalty[c], 0) << fen;
      }
    }
    std::string twin = FlipFen(fen);
    EXPECT_EQ(FreshOf(twin), score) << fen << "  vs  " << twin;
    EXPECT_EQ(thread_eval_info.material_score, -info.material_score) << twin;
    EXPECT_EQ(thread_eval_info.shelter_penalty[WHITE], info.shelter_penalty[BLACK]) << twin;
    EXPECT_EQ(thread_eval_info.shelter_penalty[BLACK], info.shelter_penalty[WHITE]) << twin;
  }
}

// Both sides to move of one placement: White's answer is t - S and Black's
// S + t, so their sum is twice the tempo, plus what the safe queen checks
// (none here, worth EvalParamsN[0]) give the side to move over the other:
// the half that the side not to move does not get, for each queen side.
TEST_F(EvaluateTest, TempoFollowsThePhase) {
  struct Case {
    const char* placement;
    int phase;
    int tempo;
    int queenSides;
  } cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 0, 9, 2},
      {"4k3/4p3/8/8/8/8/4P3/4K3", 256, 5, 0},
  };
  int32_t noChecks = EvalParamsN[0] - EvalParamsN[0] / 2;
  for (const Case& c : cases) {
    int32_t white = FreshOf(std::string(c.placement) + " w - - 0 1");
    EXPECT_EQ(thread_board.current_phase, c.phase) << c.placement;
    int32_t black = FreshOf(std::string(c.placement) + " b - - 0 1");
    EXPECT_EQ(white + black, 2 * c.tempo + c.queenSides * noChecks) << c.placement;
  }
}

TEST_F(EvaluateTest, FiftyMoveCounterDampsEveryAnswer) {
  const std::string fen = "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  int32_t full = FreshOf(fen);
  ASSERT_GT(full, 500);
  struct Case {
    int rule50;
    int factor;
  } cases[] = {{0, 256}, {5, 256}, {8, 256}, {9, 254}, {50, 172}, {100, 72}, {136, 0}, {200, 0}};
  for (const Case& c : cases) {
    SetPosition(fen);
    thread_board.Rule50 = c.rule50;
    ClearEvalHash();
    EXPECT_EQ(Evaluate(), (int32_t)((int64_t)full * c.factor / 256)) << "Rule50 " << c.rule50;
    EXPECT_EQ(Evaluate(), (int32_t)((int64_t)full * c.factor / 256)) << "cached, Rule50 " << c.rule50;
  }
}

// The lazy exit answers the material balance (corrected for advanced pawns)
// when it lies outside the root window and the side ahead can still win.
TEST_F(EvaluateTest, LazyExitOutsideTheWindow) {
  // White: king, knight, eight pawns; Black also has a rook.
  const std::string down = "r3k1n1/pppppppp/8/8/8/8/PPPPPPPP/4K1N1";
  struct Case {
    std::string fen;
    int rootSide;
    int32_t low, high;
    int lazy;
    int32_t answer;  // when lazy
  } cases[] = {
      {down + " w - - 0 1", WHITE, -100, 100, 1, -500},
      {down + " w - - 0 1", WHITE, -600, 100, 0, 0},   // -500 is inside [-600, 100]
      {down + " w - - 0 1", BLACK, -600, 100, 1, -500},  // the window turns: [-100, 600]
      {down + " b - - 0 1", WHITE, -100, 100, 1, 500},
      // A white pawn on its seventh rank is worth 100 to the side behind.
      {"r3k1n1/pPpppppp/1p6/8/8/8/P1PPPPPP/4K1N1 w - - 0 1", WHITE, -100, 100, 1, -400},
      {"r3k1n1/pPpppppp/1p6/8/8/8/P1PPPPPP/4K1N1 w - - 0 1", WHITE, -450, 100, 0, 0},
      // Black to move and ahead: White's pawn on its sixth rank costs 50.
      {"r3k1n1/p1pppppp/1P6/1p6/8/8/P1PPPPPP/4K1N1 b - - 0 1", WHITE, -100, 100, 1, 450},
      // A rook and one pawn cannot be trusted to win: no lazy exit.
      {"r3k3/7p/8/8/8/8/8/4K3 w - - 0 1", WHITE, -100, 100, 0, 0},
  };
  for (const Case& c : cases) {
    SetPosition(c.fen);
    ClearEvalHash();
    int32_t fresh = Fresh();
    RootSide = c.rootSide;
    LazyEvalLow = c.low;
    LazyEvalHigh = c.high;
    thread_eval_info.attack_map[WHITE] = thread_eval_info.attack_map[BLACK] = ~0ULL;
    int32_t answer = Evaluate();
    const EvalHashEntry& entry = EvalHashTable[EvalHashIndex(EvalHashKey())];
    if (c.lazy) {
      EXPECT_EQ(answer, c.answer) << c.fen;
      EXPECT_EQ(thread_eval_info.attack_map[WHITE], 0u) << c.fen;
      EXPECT_EQ(thread_eval_info.attack_map[BLACK], 0u) << c.fen;
      EXPECT_EQ(thread_eval_info.cacheable, 0) << c.fen;
      EXPECT_NE(entry.key, EvalHashKey()) << "a lazy answer was stored: " << c.fen;
    } else {
      EXPECT_EQ(answer, fresh) << c.fen;
      EXPECT_EQ(entry.key, EvalHashKey()) << c.fen;
    }
  }
}

TEST_F(EvaluateTest, CacheKeepsBothSidesAndAnswersFromTheDerivedSlot) {
  const std::string fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
  SetPosition(fen);
  int32_t white = Evaluate();
  ASSERT_EQ(thread_eval_info.derivable, 1);
  int32_t base = thread_eval_info.derive_base;
  Bitboard attacks = thread_eval_info.attack_map[WHITE];
  EvalHashEntry& entry = EvalHashTable[EvalHashIndex(EvalHashKey())];
  ASSERT_EQ(entry.key, EvalHashKey());
  EXPECT_EQ(entry.score[WHITE], white);
  EXPECT_EQ(entry.score[BLACK], base - white);
  EXPECT_EQ(entry.attack_map[WHITE], attacks);

  // Black to move answers from the derived slot, which is what a full
  // evaluation gives.
  thread_board.SideToMove = BLACK;
  RootSide = WHITE;
  int32_t derived = Evaluate();
  EXPECT_EQ(derived, base - white);
  EXPECT_EQ(derived, Fresh());

  // A filled slot is answered as it stands; the maps come from the entry.
  entry.score[BLACK] = 1234;
  thread_eval_info.attack_map[WHITE] = 0;
  EXPECT_EQ(Evaluate(), 1234);
  EXPECT_EQ(thread_eval_info.attack_map[WHITE], attacks);

  // An empty slot runs the full evaluation and fills only that slot.
  entry.score[BLACK] = (int16_t)EVAL_SLOT_EMPTY;
  entry.score[WHITE] = 77;
  EXPECT_EQ(Evaluate(), derived);
  EXPECT_EQ(entry.score[BLACK], derived);
  EXPECT_EQ(entry.score[WHITE], 77);
}

TEST_F(EvaluateTest, SlotOfTheOtherSideStaysEmptyWhenNotDerivable) {
  // No pieces: whether a king stands between the pawns depends on the move.
  SetPosition("8/1k6/1p6/8/8/6P1/6K1/8 w - - 0 1");
  Evaluate();
  ASSERT_EQ(thread_eval_info.derivable, 0);
  const EvalHashEntry& entry = EvalHashTable[EvalHashIndex(EvalHashKey())];
  EXPECT_EQ(entry.score[BLACK], (int16_t)EVAL_SLOT_EMPTY);
}

TEST_F(EvaluateTest, EmptyCacheSizeIsRaisedToAWorkingOne) {
  EvalHashEntries = 0;
  AllocateEvalHash();
  ClearEvalHash();
  EXPECT_GE(EvalHashEntries, 1);
  SetPosition(START_FEN);
  int32_t first = Evaluate();
  EXPECT_EQ(Evaluate(), first);
  EXPECT_EQ(EvalHashTable[EvalHashIndex(EvalHashKey())].key, EvalHashKey());
  EvalHashEntries = 0x80000;
  AllocateEvalHash();
  ClearEvalHash();
}

// A full evaluation damped as Evaluate damps it.
int32_t Damped(int32_t score) {
  int rule50 = thread_board.Rule50;
  int factor = 256 - 2 * (rule50 > 8 ? rule50 - 8 : 0);
  if (factor < 0) factor = 0;
  return (int32_t)((int64_t)score * factor / 256);
}

// Walks every legal move to `depth`: at every node, and with the other side
// to move as well, the cached answer equals a fresh evaluation.
void CompareWalk(int depth, long* nodes) {
  WalkLegalTree(depth, [nodes] {
    ThreadBoard& b = thread_board;
    for (int turn = 0; turn < 2; turn++) {
      int32_t cached = Evaluate();
      int savedRoot = RootSide;
      int32_t fresh = 0;
      EvaluatePosition(&fresh);
      RootSide = savedRoot;
      ASSERT_EQ(cached, Damped(fresh)) << "node " << *nodes << " side " << b.SideToMove;
      b.SideToMove ^= 1;
      ++*nodes;
    }
  });
}

TEST_F(EvaluateTest, CachedAnswersEqualFreshOnesOverAPerftWalk) {
  std::vector<PerftCase> suite = LoadPerftSuite();
  ASSERT_GE(suite.size(), 8u);
  long nodes = 0;
  for (size_t i = 0; i < 8; i++) {
    SetPosition(suite[i].fen);
    RootSide = WHITE;
    MoveStackTop = 0;
    CompareWalk(2, &nodes);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(nodes, 1000);
}

// The evaluation clears only the parts of its record that it adds to; the
// record it leaves must not depend on what the record held before. Each
// position is evaluated over a record full of junk and over a zeroed one,
// from both sides, and every field must come out the same.
TEST_F(EvaluateTest, RecordDoesNotDependOnWhatItHeldBefore) {
  std::vector<std::string> fens = SuiteFens();
  ASSERT_GT(fens.size(), 400u);
  fens.push_back("8/8/4k3/8/8/3BK3/8/8 w - - 0 1");          // decided at once
  fens.push_back("8/5p2/4k3/8/8/3PK3/8/8 b - - 0 1");        // pawns only
  fens.push_back("8/8/4k3/3p4/8/3PK3/8/8 w - - 0 1");        // one pawn each
  auto evaluateOver = [](unsigned char fill, int32_t* score) {
    std::memset(&thread_eval_info, fill, sizeof thread_eval_info);
    *score = Fresh();
    return thread_eval_info;
  };
  for (const std::string& fen : fens) {
    for (int side = 0; side < 2; side++) {
      SetPosition(fen);
      thread_board.SideToMove = side;
      int32_t overJunk = 0, overZero = 0;
      const EvalInfo a = evaluateOver(0xA5, &overJunk), b = evaluateOver(0, &overZero);
      ASSERT_EQ(overJunk, overZero) << fen;
      auto same = [&](const char* name, const auto& x, const auto& y) {
        EXPECT_EQ(std::memcmp(&x, &y, sizeof x), 0) << name << " differs: " << fen << " side " << side;
      };
      same("score", a.score, b.score);
      same("packed_score", a.packed_score, b.packed_score);
      same("side_mg", a.side_mg, b.side_mg);
      same("side_eg", a.side_eg, b.side_eg);
      same("tempo_bonus", a.tempo_bonus, b.tempo_bonus);
      same("queen_attacks", a.queen_attacks, b.queen_attacks);
      same("knight_attacks", a.knight_attacks, b.knight_attacks);
      same("bishop_attacks", a.bishop_attacks, b.bishop_attacks);
      same("rook_attacks", a.rook_attacks, b.rook_attacks);
      same("pawn_attacks_black", a.pawn_attacks_black, b.pawn_attacks_black);
      same("pawn_attacks_white", a.pawn_attacks_white, b.pawn_attacks_white);
      same("blocked_pawns", a.blocked_pawns, b.blocked_pawns);
      same("mobility_class", a.mobility_class, b.mobility_class);
      same("king_zone", a.king_zone, b.king_zone);
      same("zone_safe_attacks", a.zone_safe_attacks, b.zone_safe_attacks);
      same("minor_attacks", a.minor_attacks, b.minor_attacks);
      same("threatened_count", a.threatened_count, b.threatened_count);
      same("check_squares", a.check_squares, b.check_squares);
      same("danger", a.danger, b.danger);
      same("shelter_penalty", a.shelter_penalty, b.shelter_penalty);
      same("ENDING", a.ENDING, b.ENDING);
      same("material_score", a.material_score, b.material_score);
      same("derivable", a.derivable, b.derivable);
      same("cacheable", a.cacheable, b.cacheable);
      same("tapered_score", a.tapered_score, b.tapered_score);
      same("derive_base", a.derive_base, b.derive_base);
      same("attack_value", a.attack_value, b.attack_value);
      same("pressure", a.pressure, b.pressure);
      same("attack_map", a.attack_map, b.attack_map);
      same("threat_map", a.threat_map, b.threat_map);
      same("passed_pawns", a.passed_pawns, b.passed_pawns);
      same("pattern_index", a.pattern_index, b.pattern_index);
      if (HasFailure()) return;
    }
  }
}

TEST_F(EvaluateTest, DecidedEndingsSkipTempoAndLaterTerms) {
  for (const char* fen : {"8/8/4k3/8/8/3BK3/8/8 w - - 0 1", "8/8/4k3/8/8/3BK3/8/8 b - - 0 1",
                          "8/8/4k3/8/8/3NK3/8/8 w - - 0 1", "8/2n5/4k3/8/8/4K3/8/8 b - - 0 1",
                          "8/2n5/4k3/8/8/4K3/8/6N1 w - - 0 1"}) {
    EXPECT_EQ(FreshOf(fen), 0) << fen;
    thread_board.Rule50 = 100;
    ClearEvalHash();
    EXPECT_EQ(Evaluate(), 0) << fen;
  }
}

// The compiled defaults play sound chess: scores for the side to move.
TEST_F(EvaluateTest, CompiledDefaultsAreSound) {
  struct Case {
    const char* what;
    const char* fen;
    int32_t low, high;
  } cases[] = {
      {"start, White to move", START_FEN, -30, 30},
      {"start, Black to move", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", -30, 30},
      {"queen up", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 701, 32000},
      {"queen down", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", -32000, -701},
      {"rook up", "rnbqkbn1/ppppppp1/8/8/8/8/PPPPPPP1/RNBQKBNR w KQq - 0 1", 401, 32000},
      {"rook up, Black", "rnbqkbnr/1ppppppp/8/8/8/8/1PPPPPPP/1NBQKBNR b Kkq - 0 1", 401, 32000},
      {"knight up", "r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 201, 32000},
      {"K+R v K", "8/8/4k3/8/8/4K3/8/R7 w - - 0 1", 300, 32000},
      {"K v K+R", "8/8/4k3/8/8/4K3/8/r7 w - - 0 1", -32000, -300},
      {"K+B v K", "8/8/4k3/8/8/3BK3/8/8 w - - 0 1", 0, 0},
      {"K+N v K", "8/8/4k3/8/8/3NK3/8/8 b - - 0 1", 0, 0},
  };
  for (const Case& c : cases) {
    int32_t score = FreshOf(c.fen);
    EXPECT_GE(score, c.low) << c.what;
    EXPECT_LE(score, c.high) << c.what;
  }
  // A pawn gains value on its way up.
  struct Pair {
    const char* advanced;
    const char* home;
  } pairs[] = {
      {"7k/4P3/8/8/8/8/8/K7 w - - 0 1", "7k/8/8/8/8/8/4P3/K7 w - - 0 1"},
      {"r5k1/P4ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "r5k1/5ppp/8/8/8/8/P4PPP/R5K1 w - - 0 1"},
      {"k7/8/8/8/8/8/3p4/7K b - - 0 1", "k7/3p4/8/8/8/8/8/7K b - - 0 1"},
  };
  for (const Pair& p : pairs) EXPECT_GT(FreshOf(p.advanced), FreshOf(p.home)) << p.advanced;
}

// "reload" rebuilds the parameters and throws away what was cached under
// the old ones, the one-entry pawn block included.
TEST_F(EvaluateTest, ReloadLeavesNoStaleEntry) {
  if (Tokens[0] == nullptr) AllocateTokenBuffers();
  const std::string fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
  SetPosition(fen);
  RootSide = BLACK;
  int32_t before = Evaluate();
  ASSERT_EQ(before, Fresh());

  int32_t savedScale[16], savedDanger[128], savedShelter[64];
  std::memcpy(savedScale, PawnCountScale, sizeof savedScale);
  std::memcpy(savedDanger, KingDangerTable, sizeof savedDanger);
  std::memcpy(savedShelter, ShelterScaleTable, sizeof savedShelter);
  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  for (int i = 0; i < 16; i++) PawnCountScale[i] = 0;  // no piece-square term
  ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
  std::memcpy(PawnCountScale, savedScale, sizeof savedScale);

  thread_board.PawnBlock.key = thread_board.PawnKey;
  ASSERT_NO_FATAL_FAILURE(ReloadIn(scratch.path));
  EXPECT_EQ(PawnCountScale[15], 0);
  EXPECT_EQ(thread_board.PawnBlock.key, PAWN_BLOCK_NO_KEY);
  EXPECT_EQ(EvalHashTable[0].key, ~0ULL);
  int32_t after = Evaluate();
  EXPECT_EQ(after, Fresh());
  EXPECT_NE(after, before);

  // Back to the compiled defaults.
  std::memcpy(PawnCountScale, savedScale, sizeof savedScale);
  std::memcpy(KingDangerTable, savedDanger, sizeof savedDanger);
  std::memcpy(ShelterScaleTable, savedShelter, sizeof savedShelter);
  std::remove(scratch.file.c_str());
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path));
  ClearEvalHash();
  ClearPawnHash();
  EXPECT_EQ(Evaluate(), before);
}

// The compiled defaults written out as "values.txt" and read back give the
// same evaluation of every suite position (the two king tables, which a read
// replaces, are not read by the terms built so far).
TEST_F(EvaluateTest, DefaultsWrittenOutEvaluateTheSame) {
  std::vector<std::string> fens = SuiteFens();
  std::vector<int32_t> before;
  for (const std::string& fen : fens) before.push_back(FreshOf(fen));

  int32_t savedDanger[128], savedShelter[64];
  std::memcpy(savedDanger, KingDangerTable, sizeof savedDanger);
  std::memcpy(savedShelter, ShelterScaleTable, sizeof savedShelter);
  ValuesDir scratch;
  ASSERT_TRUE(scratch.made);
  ASSERT_EQ(WriteValuesFile(scratch.file.c_str()), 1);
  std::string printed;
  ASSERT_NO_FATAL_FAILURE(LoadValuesIn(scratch.path, &printed));
  EXPECT_EQ(printed, "");  // read without error and nothing to repair
  EXPECT_EQ(KingDangerTable[51], 964);
  // Those two king tables take their second built-in set after every read;
  // with the first set back the read parameters must evaluate alike.
  std::memcpy(KingDangerTable, savedDanger, sizeof savedDanger);
  std::memcpy(ShelterScaleTable, savedShelter, sizeof savedShelter);
  ClearEvalHash();
  ClearPawnHash();
  for (size_t i = 0; i < fens.size(); i++) EXPECT_EQ(FreshOf(fens[i]), before[i]) << fens[i];

  std::memcpy(KingDangerTable, savedDanger, sizeof savedDanger);
  std::memcpy(ShelterScaleTable, savedShelter, sizeof savedShelter);
}

}  // namespace
