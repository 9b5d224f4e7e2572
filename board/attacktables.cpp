// Geometric tables built once at start-up: piece attacks, the rotated-bitboard
// slider attacks, rays, directions, between and rectangle sets, passed-pawn
// masks and knight distances.
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
