// Geometric tables built once at start-up: piece attacks, the slider attacks
// by multiplication and by rotated line states, rays, directions, between and
// rectangle sets, passed-pawn masks and knight distances.
#include "board/attacktables.h"
#include "platform/parallel.h"

Bitboard KnightAttacks[64];
Bitboard KingAttacks[64];
Bitboard WhitePawnAttacks[64];
Bitboard BlackPawnAttacks[64];
Bitboard RankAttacks[70 * 8];
Bitboard FileAttacks[70 * 8];
Bitboard DiagH1A8Attacks[70 * 16];
Bitboard DiagA1H8Attacks[70 * 16];
SliderMagic RookMagics[64], BishopMagics[64];
Bitboard SliderAttackTable[ROOK_SLOTS + BISHOP_SLOTS];
Bitboard DiagH1A8Squares[64], DiagA1H8Squares[64];
Bitboard Rays[8][64];
int8_t Direction[64][64];
Bitboard Between[64][64];
Bitboard Rectangle[64][64];
Bitboard RookMoves[64], BishopMoves[64];
Bitboard WhitePassedMask[64], BlackPassedMask[64];
int32_t KnightDistance[64][64];

namespace {

constexpr int LINE_STATES = 70;

// The attack states of a slider on a line of eight positions. A state is the
// triple (position, lowest, highest attacked-span end); states are numbered in
// order of first appearance with the occupancy in the outer loop and the
// position in the inner loop.
struct LineStateSet {
  uint8_t state[256][8];
  int8_t position[LINE_STATES], low[LINE_STATES], high[LINE_STATES];
  int count;
};

// Gives the numbered attack states of every occupancy and position.
constexpr LineStateSet BuildLineStates() {
  LineStateSet set{};
  for (int occupancy = 0; occupancy < 256; occupancy++)
    for (int p = 0; p < 8; p++) {
      int low = p, high = p;
      while (low > 0 && !(occupancy & (1 << --low))) {}
      while (high < 7 && !(occupancy & (1 << ++high))) {}
      int n = 0;
      while (n < set.count && !(set.position[n] == p && set.low[n] == low && set.high[n] == high)) n++;
      if (n == set.count) {
        set.position[n] = (int8_t)p;
        set.low[n] = (int8_t)low;
        set.high[n] = (int8_t)high;
        set.count++;
      }
      set.state[occupancy][p] = (uint8_t)n;
    }
  return set;
}

constexpr LineStateSet LINE_STATE_SET = BuildLineStates();
static_assert(LINE_STATE_SET.count == LINE_STATES, "a line has 70 attack states");

// Gives the positions a slider of the state attacks, as bits 0..7.
constexpr int StateAttacks(int state) {
  int bits = 0;
  for (int q = LINE_STATE_SET.low[state]; q <= LINE_STATE_SET.high[state]; q++)
    if (q != LINE_STATE_SET.position[state]) bits |= 1 << q;
  return bits;
}

// The multipliers of the slider tables, found by tools/find_magics.cpp: with
// them no two occupancies of different attack sets share a slot.
constexpr uint64_t ROOK_MAGIC[64] = {
    0x1080004008801020ULL, 0x0840092002C03000ULL, 0x1900200010400900ULL, 0x0880100008000480ULL,
    0x4200100420080200ULL, 0x8100020100080400ULL, 0x0200040110886200ULL, 0x0200008040220411ULL,
    0x0404800084400220ULL, 0x0000401000402000ULL, 0x0086001081220440ULL, 0x0408800800100280ULL,
    0x000A001201040820ULL, 0x8848800200840080ULL, 0x4001000100040200ULL, 0x0442000102105084ULL,
    0x9080010020804100ULL, 0x0040404000201009ULL, 0x0000808010002009ULL, 0x2200090021D00100ULL,
    0x0008008008040080ULL, 0x0004004002010040ULL, 0x0011040008015042ULL, 0x00000A0001768104ULL,
    0x0000800080204009ULL, 0x2010004140002001ULL, 0x9800200280100080ULL, 0x1000100080080080ULL,
    0x0442000A00049020ULL, 0x2100040080020080ULL, 0x0800120400900148ULL, 0x0010040A00128541ULL,
    0x2800804000800030ULL, 0x1010002000400041ULL, 0x4000200011004100ULL, 0x0610008410800800ULL,
    0x0400802402800800ULL, 0xC100020080800400ULL, 0x0002000802000401ULL, 0x0182085882000401ULL,
    0x0220204000808000ULL, 0x2860100040024022ULL, 0x0001002004110040ULL, 0x99101042000A0020ULL,
    0x0004080004008080ULL, 0x0010040002008080ULL, 0x2012004881020004ULL, 0x8300842444820011ULL,
    0x0088403882010200ULL, 0x0820400080210100ULL, 0x0110910040A00300ULL, 0x0801100280080480ULL,
    0x0242009008200600ULL, 0x1002000489500200ULL, 0x0040800200010080ULL, 0x0091800041000080ULL,
    0x0000209300488001ULL, 0x04C1002414824001ULL, 0x020020000B001041ULL, 0x7000100004200901ULL,
    0x8002002004100802ULL, 0x30010002084C0007ULL, 0x0888221800813004ULL, 0x4000002840840112ULL,
};
constexpr uint64_t BISHOP_MAGIC[64] = {
    0xA010041108003100ULL, 0x006082020A002900ULL, 0x6810010619200000ULL, 0x08281A0520000408ULL,
    0x0001104001000400ULL, 0x0018901008048400ULL, 0x00040A0210245280ULL, 0x000200210808A402ULL,
    0x9140048410821200ULL, 0x0800091010820041ULL, 0x20504804832202C0ULL, 0x0100091401081000ULL,
    0x8021011140000012ULL, 0x0810020804450400ULL, 0x208B0542109008A2ULL, 0x0080084A08040204ULL,
    0x0040E2A80811244CULL, 0x2505022008008108ULL, 0x0430220100420040ULL, 0x010A040420220040ULL,
    0x1105000290400000ULL, 0x0093001200822120ULL, 0x4000A62048043004ULL, 0x280120048A015004ULL,
    0x006090002A020814ULL, 0x44042000240800D0ULL, 0x01102800040A4400ULL, 0x1004080080220040ULL,
    0x0001001011004024ULL, 0x0010044000805040ULL, 0x0914041200820100ULL, 0x0004821012821480ULL,
    0x0024040500C05021ULL, 0x0088611002080200ULL, 0x0116080A00040020ULL, 0x4000020080080080ULL,
    0x2450450140840040ULL, 0x0000880201484100ULL, 0x0222020404020092ULL, 0x8081110600002E00ULL,
    0x2842101105000801ULL, 0x1100809008001025ULL, 0x00020202221C0400ULL, 0x0422014022009020ULL,
    0x0210046102100C00ULL, 0xC004008082029102ULL, 0x00AA461801101200ULL, 0x0404080080201108ULL,
    0x020542108C205002ULL, 0x0410544804100100ULL, 0x0040910841100000ULL, 0x0400200042021100ULL,
    0x00004204850400C0ULL, 0x0200100410A42102ULL, 0x1040020801210102ULL, 0x0805040410420000ULL,
    0x2884804130100200ULL, 0x800C262201242000ULL, 0x1058000194108800ULL, 0x0014221054420204ULL,
    0x0104000012A02200ULL, 0x0200881003300100ULL, 0x0140400202840100ULL, 0x0402020801010201ULL,
};

// The slots a kind of slider needs: 2^(relevant squares) for every square.
constexpr int SlotCount(const int steps[4][2]) {
  int total = 0;
  for (int s = 0; s < 64; s++) {
    int bits = 0;
    for (Bitboard mask = SlideFrom(s, steps, 0, false); mask; mask &= mask - 1) bits++;
    total += 1 << bits;
  }
  return total;
}
static_assert(SlotCount(ROOK_STEPS) == ROOK_SLOTS && SlotCount(BISHOP_STEPS) == BISHOP_SLOTS,
              "SliderAttackTable holds every slot");

// Fills the slots of one kind of slider from `next` on; gives the slot after
// the last one used.
Bitboard* FillSliderTable(SliderMagic magics[64], const uint64_t multipliers[64], const int steps[4][2],
                          Bitboard* next) {
  for (int s = 0; s < 64; s++) {
    SliderMagic& m = magics[s];
    m.mask = SlideFrom(s, steps, 0, false);
    m.multiplier = multipliers[s];
    m.shift = (uint32_t)(64 - PopCount(m.mask));
    m.attacks = next;
    Bitboard subset = 0;
    do {  // every subset of the mask
      next[(subset * m.multiplier) >> m.shift] = SlideFrom(s, steps, subset, true);
      subset = (subset - m.mask) & m.mask;
    } while (subset != 0);
    next += 1u << (64 - m.shift);
  }
  return next;
}

// Builds the slider tables and the diagonal sets before main runs.
struct SliderTablesBuilder {
  SliderTablesBuilder() {
    Bitboard* filled = FillSliderTable(RookMagics, ROOK_MAGIC, ROOK_STEPS, SliderAttackTable);
    FillSliderTable(BishopMagics, BISHOP_MAGIC, BISHOP_STEPS, filled);
    for (int s = 0; s < 64; s++) {
      DiagH1A8Squares[s] = DiagA1H8Squares[s] = 0;
      for (int t = 0; t < 64; t++) {
        if (FileOf(t) + RankOf(t) == FileOf(s) + RankOf(s)) DiagH1A8Squares[s] |= SquareBit(t);
        if (FileOf(t) - RankOf(t) == FileOf(s) - RankOf(s)) DiagA1H8Squares[s] |= SquareBit(t);
      }
    }
  }
} BuildSliderTables;

// Steps in the storage order of Rays.
constexpr int RAY_STEP[8] = {-8, 8, -1, 1, -9, -7, 7, 9};

// Gives the square one step d from s, or -1 when the step leaves the board or
// wraps round a file edge.
int StepFrom(int s, int d) {
  int t = s + d;
  if (t < 0 || t > 63) return -1;
  int df = FileOf(t) - FileOf(s);
  return (df >= -1 && df <= 1) ? t : -1;
}

// Gives the square at the file and rank offsets from s, or -1 off the board.
int OffsetFrom(int s, int df, int dr) {
  int file = FileOf(s) + df, rank = RankOf(s) + dr;
  return (file >= 0 && file < 8 && rank >= 0 && rank < 8) ? rank * 8 + file : -1;
}

// Gives the set of the offset squares from s that stay on the board.
Bitboard OffsetTargets(int s, const int (*offsets)[2], int count) {
  Bitboard set = 0;
  for (int i = 0; i < count; i++) {
    int t = OffsetFrom(s, offsets[i][0], offsets[i][1]);
    if (t >= 0) set |= SquareBit(t);
  }
  return set;
}

// Gives the squares from s in repeated step d up to the edge, s excluded.
Bitboard WalkToEdge(int s, int d) {
  Bitboard set = 0;
  for (int t = StepFrom(s, d); t >= 0; t = StepFrom(t, d)) set |= SquareBit(t);
  return set;
}

}  // namespace

// Row o of LineState spelled out from the compile-time table, so the table is
// constant data that exists before any code runs.
#define LINE_ROW(o)                                                                        \
  {LINE_STATE_SET.state[(o)][0], LINE_STATE_SET.state[(o)][1], LINE_STATE_SET.state[(o)][2], \
   LINE_STATE_SET.state[(o)][3], LINE_STATE_SET.state[(o)][4], LINE_STATE_SET.state[(o)][5], \
   LINE_STATE_SET.state[(o)][6], LINE_STATE_SET.state[(o)][7]}
#define LINE_ROWS4(o) LINE_ROW(o), LINE_ROW((o) + 1), LINE_ROW((o) + 2), LINE_ROW((o) + 3)
#define LINE_ROWS16(o) LINE_ROWS4(o), LINE_ROWS4((o) + 4), LINE_ROWS4((o) + 8), LINE_ROWS4((o) + 12)
#define LINE_ROWS64(o) LINE_ROWS16(o), LINE_ROWS16((o) + 16), LINE_ROWS16((o) + 32), LINE_ROWS16((o) + 48)

uint8_t LineState[256][8] = {LINE_ROWS64(0), LINE_ROWS64(64), LINE_ROWS64(128), LINE_ROWS64(192)};

#undef LINE_ROWS64
#undef LINE_ROWS16
#undef LINE_ROWS4
#undef LINE_ROW

// Builds every geometric table except the knight distances.
void InitializeBitBoards() {
  static const int knightOffsets[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  static const int kingOffsets[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  static const int whitePawnOffsets[2][2] = {{-1, 1}, {1, 1}};
  static const int blackPawnOffsets[2][2] = {{-1, -1}, {1, -1}};
  for (int s = 0; s < 64; s++) {
    KnightAttacks[s] = OffsetTargets(s, knightOffsets, 8);
    KingAttacks[s] = OffsetTargets(s, kingOffsets, 8);
    WhitePawnAttacks[s] = OffsetTargets(s, whitePawnOffsets, 2);
    BlackPawnAttacks[s] = OffsetTargets(s, blackPawnOffsets, 2);
  }

  // Rotated tables: the attacked positions of each state laid on each line.
  for (int state = 0; state < LINE_STATES; state++) {
    int bits = StateAttacks(state);
    for (int line = 0; line < 8; line++) {
      Bitboard rank = 0, file = 0;
      for (int q = 0; q < 8; q++)
        if (bits & (1 << q)) {
          rank |= SquareBit(line * 8 + q);
          file |= SquareBit(q * 8 + line);
        }
      RankAttacks[state * 8 + line] = rank;
      FileAttacks[state * 8 + line] = file;
    }
    for (int d = 0; d < 16; d++) {
      Bitboard h1a8 = 0, a1h8 = 0;
      for (int q = 0; q < 8; q++)
        if (bits & (1 << q)) {
          int fileH1A8 = d - q, fileA1H8 = d - 7 + q;
          if (d < 15 && fileH1A8 >= 0 && fileH1A8 < 8) h1a8 |= SquareBit(q * 8 + fileH1A8);
          if (d < 15 && fileA1H8 >= 0 && fileA1H8 < 8) a1h8 |= SquareBit(q * 8 + fileA1H8);
        }
      DiagH1A8Attacks[state * 16 + d] = h1a8;
      DiagA1H8Attacks[state * 16 + d] = a1h8;
    }
  }

  PARALLEL_FOR
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++) Between[a][b] = Rectangle[a][b] = 0;

  PARALLEL_FOR
  for (int a = 0; a < 64; a++) {
    int fileLow = FileOf(a), rankLow = RankOf(a);
    for (int b = 0; b < 64; b++) {
      int fileHigh = FileOf(b), rankHigh = RankOf(b);
      int f0 = fileLow < fileHigh ? fileLow : fileHigh, f1 = fileLow < fileHigh ? fileHigh : fileLow;
      int r0 = rankLow < rankHigh ? rankLow : rankHigh, r1 = rankLow < rankHigh ? rankHigh : rankLow;
      Bitboard set = 0;
      for (int r = r0; r <= r1; r++)
        for (int f = f0; f <= f1; f++) set |= SquareBit(r * 8 + f);
      Rectangle[a][b] = set;
    }
  }

  // Rays[i][s] runs from s in step -RAY_STEP[i]; first the rook lines, then
  // the bishop lines.
  PARALLEL_FOR
  for (int s = 0; s < 64; s++)
    for (int i = 0; i < 4; i++) Rays[i][s] = WalkToEdge(s, -RAY_STEP[i]);
  PARALLEL_FOR
  for (int s = 0; s < 64; s++)
    for (int i = 4; i < 8; i++) Rays[i][s] = WalkToEdge(s, -RAY_STEP[i]);

  // Between[a][b]: a and the squares on the way out to b, b excluded.
  for (int a = 0; a < 64; a++)
    for (int i = 0; i < 8; i++) {
      Bitboard running = 0;
      for (int b = a; b >= 0; b = StepFrom(b, RAY_STEP[i])) {
        Between[a][b] = running;
        running |= SquareBit(b);
      }
    }

  PARALLEL_FOR
  for (int a = 0; a < 64; a++) {
    int file = FileOf(a), rank = RankOf(a);
    RookMoves[a] = RankAttacks[LineState[0][file] * 8 + rank] | FileAttacks[LineState[0][rank] * 8 + file];
    BishopMoves[a] = DiagH1A8Attacks[LineState[0][rank] * 16 + file + rank] |
                     DiagA1H8Attacks[LineState[0][rank] * 16 + file - rank + 7];
    for (int b = 0; b < 64; b++) Direction[a][b] = 0;
    for (int i = 0; i < 8; i++)
      for (Bitboard ray = Rays[i][a]; ray;) Direction[a][PopLSB(&ray)] = (int8_t)RAY_STEP[i];
  }

  for (int s = 0; s < 64; s++) {
    Bitboard files = SquareBit(s);
    if (FileOf(s) > 0) files |= SquareBit(s - 1);
    if (FileOf(s) < 7) files |= SquareBit(s + 1);
    WhitePassedMask[s] = BlackPassedMask[s] = 0;
    for (int t = s + 8; t < 64; t += 8) WhitePassedMask[s] |= files << (t - s);
    for (int t = s - 8; t >= 0; t -= 8) BlackPassedMask[s] |= files >> (s - t);
  }
}

// Fills KnightDistance by a breadth-first expansion from every square.
void InitKnightDistance() {
  for (int from = 0; from < 64; from++) {
    KnightDistance[from][from] = 0;
    Bitboard frontier = SquareBit(from), visited = frontier;
    for (int pass = 1; frontier; pass++) {
      Bitboard reached = 0;
      for (Bitboard f = frontier; f;) reached |= KnightAttacks[PopLSB(&f)];
      reached &= ~visited;
      for (Bitboard t = reached; t;) KnightDistance[PopLSB(&t)][from] = pass;
      visited |= reached;
      frontier = reached;
    }
  }
}
