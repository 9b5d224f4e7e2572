// The transposition table: key and index, the three bound slots with their
// keep-or-replace rules, mate distances, cut tests, replacement in a full
// bucket, and the sizing of the hash memories.
#include <gtest/gtest.h>

#include <cstring>

#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "board/zobrist.h"
#include "eval/hashes.h"
#include "interface/settings.h"
#include "search/hashtable.h"
#include "search/transposition.h"
#include "test_support.h"

namespace {

const char* const MIDGAME = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
const Move SOME_MOVE = MakeMoveWord(F3, G5, KNIGHT);

// A small table for every test; the default-sized one is put back after.
class TranspositionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureTablesReady(); }
  static void TearDownTestSuite() {
    HashEntries = 0x80000;
    AllocateTranspositionTable();
    ClearTranspositionTable();
  }
  void SetUp() override {
    HashEntries = 1024;
    AllocateTranspositionTable();
    ClearTranspositionTable();
    SearchAge = 5;
    SearchPly = 0;
    HashUsed = 0;
    ASSERT_TRUE(SetFenPosition(MIDGAME));
  }

  // The entry of the current position, or nullptr.
  static TranspositionEntry* Current() {
    TranspositionEntry* bucket = HashTable + HashIndex(PositionKey(), thread_board.SideToMove);
    for (int i = 0; i < HASH_BUCKET_SIZE; i++) {
      if (bucket[i].info == 0) return nullptr;
      if (bucket[i].key == PositionKey() &&
          (int)((bucket[i].info >> HASH_SIDE_SHIFT) & 1) == thread_board.SideToMove)
        return &bucket[i];
    }
    return nullptr;
  }
};

struct Probe {
  int result;
  int32_t alpha;
  int found;
  Move move;
  int threat;
  int nullAllowed;
};

Probe RunProbe(int depth, int32_t alpha, int32_t beta, int noCut) {
  Probe p{0, alpha, -1, 0, 0, 1};
  p.result = ProbeHash(depth, &p.alpha, &beta, &p.threat, &p.move, &p.nullAllowed, &p.found, noCut);
  return p;
}

Probe RunQuiesceProbe(int32_t alpha, int32_t beta, int noCut) {
  Probe p{0, alpha, -1, 0, 0, 1};
  p.result = ProbeHashQuiesce(&p.alpha, &beta, &p.move, &p.found, noCut);
  return p;
}

// The side to move is not in the key but in the index and in the entry: the
// same board with the other side to move is another position.
TEST_F(TranspositionTest, SideToMoveSeparatesPositions) {
  const uint64_t key = PositionKey();
  thread_board.SideToMove = BLACK;
  StoreHash(20, SOME_MOVE, 35, HASH_EXACT, 0, 0);
  EXPECT_EQ(ProbeHashMove(), SOME_MOVE);
  thread_board.SideToMove = WHITE;
  EXPECT_EQ(PositionKey(), key);
  EXPECT_EQ(ProbeHashMove(), 0u);
  EXPECT_EQ(RunProbe(4, -100, 100, 0).result, 0);

  // The index takes the low 32 key bits XOR 4 * side, by mask for a power of
  // two and by modulo otherwise.
  struct Case {
    int32_t entries;
    uint32_t white, black;
  };
  const uint32_t low = (uint32_t)key;
  const Case cases[] = {
      {0x80000, low & 0x7FFFF, (low ^ 4) & 0x7FFFF},
      {1024, low & 1023, (low ^ 4) & 1023},
      {1000, low % 1000, (low ^ 4) % 1000},
  };
  for (const Case& c : cases) {
    HashEntries = c.entries;
    EXPECT_EQ(HashIndex(key, WHITE), c.white) << c.entries;
    EXPECT_EQ(HashIndex(key, BLACK), c.black) << c.entries;
  }
  HashEntries = 1024;

  // Castling rights and a possible en-passant capture are part of the key.
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/3pP3/8/8/R3K3 b Q e3 0 1"));
  const uint64_t withEp = PositionKey();
  EXPECT_EQ(withEp, thread_board.HashKey ^ ZobristCastle[2] ^ ZobristEnPassant[4]);
  StoreHash(8, 0, 10, HASH_LOWER, 0, 0);
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/3pP3/8/8/R3K3 b Q - 0 1"));
  EXPECT_EQ(RunQuiesceProbe(-50, 50, 0).result, 0);
}

// Two stores of the same position, slot by slot.
TEST_F(TranspositionTest, SlotsKeepDeeperAndTighterBounds) {
  struct Store {
    int depth, score, kind;
  };
  struct Case {
    const char* what;
    Store first, second;
    int expectedDepth, expectedScore;
  };
  const Case cases[] = {
      {"lower, same depth, smaller score kept out", {12, 50, HASH_LOWER}, {12, 30, HASH_LOWER}, 12, 50},
      {"lower, same depth, larger score taken", {12, 30, HASH_LOWER}, {12, 50, HASH_LOWER}, 12, 50},
      {"lower, shallower store ignored", {12, 50, HASH_LOWER}, {8, 90, HASH_LOWER}, 12, 50},
      {"lower, deeper store replaces", {8, 90, HASH_LOWER}, {12, 50, HASH_LOWER}, 12, 50},
      {"upper, same depth, larger score kept out", {12, 50, HASH_UPPER}, {12, 70, HASH_UPPER}, 12, 50},
      {"upper, same depth, smaller score taken", {12, 70, HASH_UPPER}, {12, 50, HASH_UPPER}, 12, 50},
      {"upper, shallower store ignored", {12, 50, HASH_UPPER}, {4, -90, HASH_UPPER}, 12, 50},
      {"exact, same depth always replaces", {12, 50, HASH_EXACT}, {12, 20, HASH_EXACT}, 12, 20},
      {"exact, shallower store ignored", {12, 50, HASH_EXACT}, {8, 20, HASH_EXACT}, 12, 50},
      {"exact, depth above 255 is held as 255", {12, 50, HASH_EXACT}, {300, 20, HASH_EXACT}, 255, 20},
      {"lower mate bound clamped", {12, 50, HASH_LOWER}, {16, 32690, HASH_LOWER}, 16, 31000},
      {"upper mated bound clamped", {12, 50, HASH_UPPER}, {16, -32690, HASH_UPPER}, 16, -31000},
  };
  for (const Case& c : cases) {
    ClearTranspositionTable();
    SearchAge = 5;
    StoreHash(c.first.depth, SOME_MOVE, c.first.score, c.first.kind, 0, 0);
    StoreHash(c.second.depth, SOME_MOVE, c.second.score, c.second.kind, 0, 0);
    const TranspositionEntry* e = Current();
    ASSERT_NE(e, nullptr) << c.what;
    const int kind = c.second.kind;
    const int depth = kind == HASH_UPPER ? e->upper_depth : kind == HASH_LOWER ? e->lower_depth : e->exact_depth;
    const int score = kind == HASH_UPPER ? e->upper_score : kind == HASH_LOWER ? e->lower_score : e->exact_score;
    EXPECT_EQ(depth, c.expectedDepth) << c.what;
    EXPECT_EQ(score, c.expectedScore) << c.what;
  }
}

// The three slots live side by side; a store without a move keeps the old
// one; caller flags are OR-ed and the threat bit follows the last write.
TEST_F(TranspositionTest, SlotsAreIndependent) {
  StoreHash(8, SOME_MOVE, -20, HASH_UPPER, 0, 1);
  StoreHash(12, 0, 40, HASH_LOWER, 1, 4);
  StoreHash(10, 0, 15, HASH_EXACT, 0, 0);
  const TranspositionEntry* e = Current();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->flags, HASH_UPPER_VALID | HASH_LOWER_VALID | HASH_EXACT_VALID | 1 | 4);
  EXPECT_EQ(e->upper_depth, 8);
  EXPECT_EQ(e->upper_score, -20);
  EXPECT_EQ(e->lower_depth, 12);
  EXPECT_EQ(e->lower_score, 40);
  EXPECT_EQ(e->exact_depth, 10);
  EXPECT_EQ(e->exact_score, 15);
  EXPECT_EQ(e->info, SOME_MOVE | (uint32_t)HASH_EXACT << HASH_KIND_SHIFT);
  EXPECT_EQ(HashUsed, 1);

  // A kept-out store still merges its flags and refreshes the age.
  SearchAge = 6;
  StoreHash(4, 0, 0, HASH_LOWER, 1, 16);
  EXPECT_EQ(e->age, 6);
  EXPECT_EQ(e->flags & HASH_CALLER_FLAGS, 1 | 4 | 16);
  EXPECT_EQ(e->lower_depth, 12);
  EXPECT_EQ(e->info & HASH_THREAT_BIT, 0u);

  Probe p = RunProbe(4, -100, 100, 0);
  EXPECT_EQ(HashFlags, 1 | 4 | 16);
  EXPECT_EQ(p.move, SOME_MOVE);
}

// Exact scores hold mate distances from the node, so a mate found at one
// ply reads back correctly at another; bounds are returned as stored.
TEST_F(TranspositionTest, MateScoresMoveWithThePly) {
  struct Case {
    int storePly, score, held, readPly, read;
  };
  const Case cases[] = {
      {3, 32690, 32693, 5, 32688},
      {3, -32690, -32693, 5, -32688},
      {0, 32690, 32690, 7, 32683},
      {4, 31000, 31000, 9, 31000},  // not beyond 31000: no mate distance
      {4, 250, 250, 9, 250},
  };
  for (const Case& c : cases) {
    ClearTranspositionTable();
    SearchAge = 5;
    SearchPly = c.storePly;
    StoreHash(20, SOME_MOVE, c.score, HASH_EXACT, 0, 0);
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->exact_score, c.held) << c.score;
    SearchPly = c.readPly;
    Probe p = RunProbe(20, -32700, 32700, 0);
    EXPECT_EQ(p.result, 3);
    EXPECT_EQ(p.alpha, c.read) << c.score;
    Probe q = RunQuiesceProbe(-32700, 32700, 1);
    EXPECT_EQ(q.result, 3);
    EXPECT_EQ(q.alpha, c.read) << c.score;
    EXPECT_EQ(HashScoreHint, c.read);
  }
}

// The cut tests of the main probe, with noCut forbidding all but the exact
// slot.
TEST_F(TranspositionTest, CutTestsOfTheMainProbe) {
  struct Case {
    const char* what;
    int kind, storedDepth, score;
    int depth, alpha, beta, noCut;
    int result, found, alphaOut;
  };
  const Case cases[] = {
      {"exact deep enough", HASH_EXACT, 16, 30, 16, -50, 50, 0, 3, 1, 30},
      {"exact deep enough cuts under noCut", HASH_EXACT, 16, 30, 16, -50, 50, 1, 3, 1, 30},
      {"exact too shallow", HASH_EXACT, 12, 30, 16, -50, 50, 0, 1, 0, -50},
      {"lower at beta", HASH_LOWER, 16, 50, 16, -50, 50, 0, 2, 1, 50},
      {"lower below beta", HASH_LOWER, 16, 49, 16, -50, 50, 0, 1, 0, -50},
      {"lower under noCut", HASH_LOWER, 16, 80, 16, -50, 50, 1, 1, 0, -50},
      {"lower too shallow", HASH_LOWER, 15, 80, 16, -50, 50, 0, 1, 0, -50},
      {"upper at alpha", HASH_UPPER, 16, -50, 16, -50, 50, 0, 1, 1, -50},
      {"upper below alpha", HASH_UPPER, 20, -70, 16, -50, 50, 0, 1, 1, -70},
      {"upper above alpha", HASH_UPPER, 20, -49, 16, -50, 50, 0, 1, 0, -50},
      {"upper under noCut", HASH_UPPER, 20, -90, 16, -50, 50, 1, 1, 0, -50},
  };
  for (const Case& c : cases) {
    ClearTranspositionTable();
    SearchAge = 5;
    StoreHash(c.storedDepth, SOME_MOVE, c.score, c.kind, 0, 0);
    Probe p = RunProbe(c.depth, c.alpha, c.beta, c.noCut);
    EXPECT_EQ(p.result, c.result) << c.what;
    EXPECT_EQ(p.found, c.found) << c.what;
    EXPECT_EQ(p.alpha, c.alphaOut) << c.what;
    EXPECT_EQ(p.move, SOME_MOVE) << c.what;
  }
}

// The slot of the last store is tried first; the null move is forbidden by
// an upper or exact bound below beta whatever its depth; the singular test
// gets the exact slot before the lower one within two plies of depth.
TEST_F(TranspositionTest, ProbeSideEffects) {
  StoreHash(20, SOME_MOVE, 10, HASH_EXACT, 0, 0);
  StoreHash(20, SOME_MOVE, 60, HASH_LOWER, 1, 0);
  Probe p = RunProbe(20, -50, 50, 0);
  EXPECT_EQ(p.result, 2);  // the lower slot was written last
  EXPECT_EQ(p.alpha, 60);
  EXPECT_EQ(p.threat, 1);
  EXPECT_EQ(p.nullAllowed, 0);  // the exact 10 is below beta
  EXPECT_EQ(HashBoundUsable, 1);
  EXPECT_EQ(HashBoundScore, 10);
  EXPECT_EQ(HashBoundDepth, 20);

  struct Case {
    int depth, beta;
    int usable, boundScore, nullAllowed;
  };
  ClearTranspositionTable();
  SearchAge = 5;
  StoreHash(4, SOME_MOVE, 20, HASH_UPPER, 0, 0);
  StoreHash(24, SOME_MOVE, 70, HASH_LOWER, 0, 0);
  StoreHash(16, SOME_MOVE, 40, HASH_EXACT, 0, 0);
  const Case cases[] = {
      {24, 100, 1, 40, 0},  // exact within 8 quarter plies overrides the lower slot
      {25, 100, 1, 70, 0},  // only the lower slot is deep enough
      {32, 20, 1, 70, 1},   // neither bound below beta 20
      {33, 30, 0, 0, 0},    // nothing for the singular test
  };
  for (const Case& c : cases) {
    HashBoundScore = 0;
    Probe q = RunProbe(c.depth, -100, c.beta, 1);
    EXPECT_EQ(HashBoundUsable, c.usable) << c.depth;
    if (c.usable) {
      EXPECT_EQ(HashBoundScore, c.boundScore) << c.depth;
    }
    EXPECT_EQ(q.nullAllowed, c.nullAllowed) << c.depth;
  }

  // A miss clears the published values and leaves *found alone.
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
  HashFlags = 7;
  HashBoundUsable = 1;
  Probe miss = RunProbe(4, -100, 100, 0);
  EXPECT_EQ(miss.result, 0);
  EXPECT_EQ(miss.found, -1);
  EXPECT_EQ(HashFlags, 0);
  EXPECT_EQ(HashBoundUsable, 0);
}

// The quiescence and root probes ignore depth and report a reachable score.
TEST_F(TranspositionTest, QuiescenceProbeAndScoreHint) {
  struct Case {
    const char* what;
    int lower, upper;  // 0: slot not stored
    int alpha, beta, noCut;
    int result, found, alphaOut, hint;
  };
  const Case cases[] = {
      {"lower cuts", 60, 0, -50, 50, 0, 2, 1, 60, 60},
      {"lower below beta is the hint", 20, 0, -50, 50, 0, 1, 0, -50, 20},
      {"upper cuts with the lower hint", 20, -80, -50, 50, 0, 1, 1, -80, 20},
      {"upper cuts, no lower", 0, -80, -50, 50, 0, 1, 1, -80, -32700},
      {"noCut: no bound is used", 60, -80, -50, 50, 1, 1, 0, -50, -32700},
  };
  for (const Case& c : cases) {
    ClearTranspositionTable();
    SearchAge = 5;
    if (c.upper) StoreHash(0, SOME_MOVE, c.upper, HASH_UPPER, 0, 2);
    if (c.lower) StoreHash(0, SOME_MOVE, c.lower, HASH_LOWER, 0, 2);
    Probe p = RunQuiesceProbe(c.alpha, c.beta, c.noCut);
    EXPECT_EQ(p.result, c.result) << c.what;
    EXPECT_EQ(p.found, c.found) << c.what;
    EXPECT_EQ(p.alpha, c.alphaOut) << c.what;
    EXPECT_EQ(HashScoreHint, c.hint) << c.what;
    EXPECT_EQ(HashFlags, 2) << c.what;
    if (!c.noCut) {
      int32_t alpha = c.alpha, beta = c.beta;
      Move move = 0;
      int found = -1;
      EXPECT_EQ(ProbeRootHash(&alpha, &beta, &move, &found), c.result) << c.what;
      EXPECT_EQ(alpha, c.alphaOut) << c.what;
    }
  }
  ASSERT_TRUE(SetFenPosition("4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
  HashFlags = 3;
  EXPECT_EQ(RunQuiesceProbe(-50, 50, 0).result, 0);
  EXPECT_EQ(HashScoreHint, -32700);
  EXPECT_EQ(HashFlags, 0);
}

// A store of another position into a full bucket: older entries go first,
// then (among one age) an entry without move or depth, else the first one;
// an entry of this search is overwritten only by a store as deep as its
// deepest slot.
TEST_F(TranspositionTest, ReplacementInAFullBucket) {
  struct Case {
    const char* what;
    int ages[4];
    int depths[4];
    int storeDepth;
    int replaced;  // -1: dropped
    int used;      // HashUsed after the store
  };
  const Case cases[] = {
      {"all deeper, this search: dropped", {5, 5, 5, 5}, {40, 40, 40, 40}, 20, -1, 0},
      {"as deep as the first: first replaced", {5, 5, 5, 5}, {20, 40, 40, 40}, 20, 0, 0},
      {"an older entry goes first, however deep", {5, 5, 4, 5}, {10, 10, 60, 10}, 8, 2, 1},
      {"first of the older entries", {4, 5, 4, 4}, {10, 10, 60, 10}, 8, 0, 1},
      {"an empty-handed entry of one age", {5, 5, 5, 5}, {40, 40, 0, 40}, 20, 2, 0},
  };
  const uint64_t key = PositionKey();
  const uint32_t index = HashIndex(key, WHITE);
  for (const Case& c : cases) {
    ClearTranspositionTable();
    SearchAge = 5;
    HashUsed = 0;
    TranspositionEntry* bucket = HashTable + index;
    for (int i = 0; i < 4; i++) {
      bucket[i] = TranspositionEntry{};
      bucket[i].key = key + 1 + (uint64_t)i;
      bucket[i].age = (uint16_t)c.ages[i];
      bucket[i].lower_depth = (uint8_t)c.depths[i];
      bucket[i].flags = c.depths[i] ? HASH_LOWER_VALID : 0;
      bucket[i].info = (uint32_t)HASH_LOWER << HASH_KIND_SHIFT | (c.depths[i] ? SOME_MOVE : 0);
    }
    StoreHash(c.storeDepth, SOME_MOVE, 25, HASH_EXACT, 0, 3);
    int where = -1;
    for (int i = 0; i < 4; i++)
      if (bucket[i].key == key) where = i;
    EXPECT_EQ(where, c.replaced) << c.what;
    EXPECT_EQ(HashUsed, c.used) << c.what;
    if (where >= 0) {
      const TranspositionEntry& e = bucket[where];
      EXPECT_EQ(e.flags, HASH_EXACT_VALID | 3) << c.what;
      EXPECT_EQ(e.lower_depth, 0) << c.what;
      EXPECT_EQ(e.exact_depth, c.storeDepth) << c.what;
      EXPECT_EQ(e.age, 5) << c.what;
    }
  }
}

// Clearing empties every entry and the age; the first key is all ones.
TEST_F(TranspositionTest, ClearingEmptiesTheTable) {
  StoreHash(12, SOME_MOVE, 5, HASH_EXACT, 0, 0);
  HashTable[HashEntries + HASH_SPARE_ENTRIES - 1].info = 1;
  ClearTranspositionTable();
  EXPECT_EQ(SearchAge, 0);
  EXPECT_EQ(HashTable[0].key, ~0ULL);
  EXPECT_EQ(HashTable[0].info, 0u);
  EXPECT_EQ(HashTable[HashEntries + HASH_SPARE_ENTRIES - 1].info, 0u);
  EXPECT_EQ(ProbeHashMove(), 0u);
}

// Without entries every probe misses and every store does nothing; a size
// of 0 MB is such a table; sizes above the option's range are held to it.
TEST_F(TranspositionTest, SizesAndAnEmptyTable) {
  HashEntries = 0;
  StoreHash(12, SOME_MOVE, 5, HASH_EXACT, 0, 0);
  EXPECT_EQ(RunProbe(4, -100, 100, 0).result, 0);
  EXPECT_EQ(RunQuiesceProbe(-100, 100, 0).result, 0);
  EXPECT_EQ(ProbeHashMove(), 0u);
  EXPECT_EQ(HashUsed, 0);

  struct Case {
    int mb;
    uint64_t entryBytes;
    int32_t entries;
  };
  const Case cases[] = {
      {0, 24, 0},
      {-3, 24, 0},
      {10, 24, 10 * 1048576 / 24},
      {1024, 24, 44739242},
      {1025, 24, 44739242},        // above the advertised maximum: held to it
      {99999, 24, 44739242},
      {1 << 30, 22, 48806446},
  };
  for (const Case& c : cases) EXPECT_EQ(HashEntriesForMb(c.mb, c.entryBytes), c.entries) << c.mb;

  SetHashSizeMb(0);
  EXPECT_EQ(HashEntries, 0);
  EXPECT_EQ(SearchAge, 0);
  StoreHash(12, SOME_MOVE, 5, HASH_EXACT, 0, 0);
  EXPECT_EQ(ProbeHashMove(), 0u);
  EXPECT_EQ(HashUsed, 0);
  EXPECT_EQ(RunProbe(4, -100, 100, 0).result, 0);

  // The pawn hash gets 1 MB for 0: every evaluation indexes it.
  const int32_t pawnEntries = PawnHashEntries;
  SetPawnHashSizeMb(0);
  EXPECT_EQ(PawnHashEntries, (int32_t)(1048576 / sizeof(PawnHashEntry)));
  EXPECT_EQ(PawnHashTable[0].key, ~0ULL);
  PawnHashEntries = pawnEntries;
  AllocatePawnHash();
  ClearPawnHash();

  // A settings-file size of 0 entries stays 0 as well.
  HashEntries = 0;
  AllocateTranspositionTable();
  EXPECT_EQ(HashEntries, 0);
}

}  // namespace
