#include "eval/sliders.h"

SliderMagic RookMagics[64];
SliderMagic BishopMagics[64];

namespace {

// Multipliers found by a random search (sparse 64-bit numbers tried until
// no two occupancies with different attacks share an index).
constexpr Bitboard ROOK_MULTIPLIERS[64] = {
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
    0x8002002004100802ULL, 0x30010002084C0007ULL, 0x0888221800813004ULL, 0x4000002840840112ULL};
constexpr Bitboard BISHOP_MULTIPLIERS[64] = {
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
    0x0104000012A02200ULL, 0x0200881003300100ULL, 0x0140400202840100ULL, 0x0402020801010201ULL};

// Sizes of the tables: the sum over the squares of 2 to the number of
// relevant occupancy squares.
constexpr int ROOK_TABLE_SIZE = 102400;
constexpr int BISHOP_TABLE_SIZE = 5248;
Bitboard RookTable[ROOK_TABLE_SIZE];
Bitboard BishopTable[BISHOP_TABLE_SIZE];

constexpr int ROOK_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BISHOP_STEPS[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};

// The attacks from the square along the four steps, each ray ending on the
// first occupied square.
Bitboard WalkAttacks(int square, Bitboard occupied, const int (*steps)[2]) {
  Bitboard attacks = 0;
  for (int i = 0; i < 4; i++) {
    int f = FileOf(square) + steps[i][0], r = RankOf(square) + steps[i][1];
    for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += steps[i][0], r += steps[i][1]) {
      attacks |= SquareBit(8 * r + f);
      if (occupied & SquareBit(8 * r + f)) break;
    }
  }
  return attacks;
}

// The squares whose occupancy matters: each ray without its edge square.
Bitboard RelevantMask(int square, const int (*steps)[2]) {
  Bitboard mask = 0;
  for (int i = 0; i < 4; i++) {
    int f = FileOf(square) + steps[i][0], r = RankOf(square) + steps[i][1];
    for (; f + steps[i][0] >= 0 && f + steps[i][0] < 8 && r + steps[i][1] >= 0 && r + steps[i][1] < 8;
         f += steps[i][0], r += steps[i][1])
      mask |= SquareBit(8 * r + f);
  }
  return mask;
}

// Fills one kind's records and table slices; gives the entries used.
int FillSlider(SliderMagic* magics, const Bitboard* multipliers, Bitboard* table, int size,
               const int (*steps)[2]) {
  int used = 0;
  for (int square = 0; square < 64; square++) {
    SliderMagic& m = magics[square];
    m.mask = RelevantMask(square, steps);
    m.multiplier = multipliers[square];
    const int bits = PopCount(m.mask);
    m.shift = (uint32_t)(64 - bits);
    if (used + (1 << bits) > size) return -1;
    m.attacks = table + used;
    // Every subset of the mask, by the carry-rippler walk.
    Bitboard occupied = 0;
    do {
      table[used + ((occupied * m.multiplier) >> m.shift)] = WalkAttacks(square, occupied, steps);
      occupied = (occupied - m.mask) & m.mask;
    } while (occupied);
    used += 1 << bits;
  }
  return used;
}

// Built before main runs, so every program and test finds the tables ready
// whatever its start-up order.
struct SliderTablesBuilder {
  SliderTablesBuilder() {
    FillSlider(RookMagics, ROOK_MULTIPLIERS, RookTable, ROOK_TABLE_SIZE, ROOK_STEPS);
    FillSlider(BishopMagics, BISHOP_MULTIPLIERS, BishopTable, BISHOP_TABLE_SIZE, BISHOP_STEPS);
  }
} BuildSliderTables;

}  // namespace
