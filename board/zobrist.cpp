// Zobrist keys and the 64-bit Mersenne Twister (MT19937-64) they are drawn
// from. The generator follows the published reference code word for word, and
// the keys are drawn in one fixed order from one fixed seed, so every run and
// every build of the engine has the same keys (the learning file relies on it).
#include "board/zobrist.h"
#include "board/types.h"

uint64_t ZobristPieces[2][8][64];
uint64_t ZobristCastle[16];
uint64_t ZobristEnPassant[8];

constexpr int MT64_WORDS = 312;
constexpr int MT64_SHIFT = 156;
constexpr uint64_t MT64_MATRIX = 0xB5026F5AA96619E9ULL;
constexpr uint64_t MT64_UPPER = 0xFFFFFFFF80000000ULL;  // most significant 33 bits
constexpr uint64_t MT64_LOWER = 0x7FFFFFFFULL;          // least significant 31 bits

uint64_t Mt64State[MT64_WORDS];
int32_t Mt64Index = MT64_WORDS + 1;

// Seeds the state from one value; the next draw regenerates the state.
void SeedRandom64(uint64_t seed) {
  Mt64State[0] = seed;
  for (int i = 1; i < MT64_WORDS; i++)
    Mt64State[i] = 6364136223846793005ULL * (Mt64State[i - 1] ^ (Mt64State[i - 1] >> 62)) + (uint64_t)i;
  Mt64Index = MT64_WORDS;
}

// Seeds the state from an array of key words.
void SeedRandom64ByArray(const uint64_t* key, int length) {
  SeedRandom64(19650218ULL);
  int i = 1, j = 0;
  for (int k = (MT64_WORDS > length ? MT64_WORDS : length); k > 0; k--) {
    Mt64State[i] = (Mt64State[i] ^ ((Mt64State[i - 1] ^ (Mt64State[i - 1] >> 62)) * 3935559000370003845ULL)) +
                   key[j] + (uint64_t)j;
    i++;
    j++;
    if (i >= MT64_WORDS) {
      Mt64State[0] = Mt64State[MT64_WORDS - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (int k = MT64_WORDS - 1; k > 0; k--) {
    Mt64State[i] = (Mt64State[i] ^ ((Mt64State[i - 1] ^ (Mt64State[i - 1] >> 62)) * 2862933555777941757ULL)) -
                   (uint64_t)i;
    i++;
    if (i >= MT64_WORDS) {
      Mt64State[0] = Mt64State[MT64_WORDS - 1];
      i = 1;
    }
  }
  Mt64State[0] = 0x8000000000000000ULL;
}

// Gives the next 64-bit output, regenerating the state after every 312 draws
// (and seeding with the default 5489 when it was never seeded).
uint64_t Random64() {
  if (Mt64Index >= MT64_WORDS) {
    if (Mt64Index == MT64_WORDS + 1) SeedRandom64(5489ULL);
    for (int i = 0; i < MT64_WORDS; i++) {
      uint64_t x = (Mt64State[i] & MT64_UPPER) | (Mt64State[(i + 1) % MT64_WORDS] & MT64_LOWER);
      Mt64State[i] = Mt64State[(i + MT64_SHIFT) % MT64_WORDS] ^ (x >> 1) ^ ((x & 1) ? MT64_MATRIX : 0);
    }
    Mt64Index = 0;
  }
  uint64_t x = Mt64State[Mt64Index++];
  x ^= (x >> 29) & 0x5555555555555555ULL;
  x ^= (x << 17) & 0x71D67FFFEDA60000ULL;
  x ^= (x << 37) & 0xFFF7EEE000000000ULL;
  x ^= x >> 43;
  return x;
}

// Fills the piece, castling and en-passant keys. The draw order is square by
// square, and within a square the twelve colour/piece pairs below; the piece
// codes 0 and 4 get no keys and stay 0.
void InitializeHashKeys() {
  static const uint64_t seed[4] = {0x12345ULL, 0x23456ULL, 0x34567ULL, 0x45678ULL};
  static const int drawOrder[6] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING};
  SeedRandom64ByArray(seed, 4);
  for (int colour = 0; colour < 2; colour++)
    for (int square = 0; square < 64; square++) {
      ZobristPieces[colour][EMPTY][square] = 0;
      ZobristPieces[colour][4][square] = 0;
    }
  for (int square = 0; square < 64; square++)
    for (int piece : drawOrder) {
      ZobristPieces[WHITE][piece][square] = Random64();
      ZobristPieces[BLACK][piece][square] = Random64();
    }
  for (int flags = 0; flags < 16; flags++) ZobristCastle[flags] = Random64();
  for (int file = 0; file < 8; file++) ZobristEnPassant[file] = Random64();
}
