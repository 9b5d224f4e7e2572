// Finds the multipliers of the slider attack tables (board/attacktables.cpp):
// for every square a number that maps each occupancy of the square's
// relevant lines to a table slot without two different attack sets sharing
// a slot. Deterministic (fixed seed); prints the two arrays as C++ source.
//
// Usage: crv_find_magics > magics.txt
#include <cstdint>
#include <cstdio>
#include <vector>

#include "board/attacktables.h"

namespace {

uint64_t rng_state = 0x9E3779B97F4A7C15ULL;

// xorshift64*: a fixed sequence, so every run prints the same numbers.
uint64_t NextRandom() {
  rng_state ^= rng_state >> 12;
  rng_state ^= rng_state << 25;
  rng_state ^= rng_state >> 27;
  return rng_state * 0x2545F4914F6CDD1DULL;
}

// Few set bits make good multipliers.
uint64_t SparseRandom() { return NextRandom() & NextRandom() & NextRandom(); }

uint64_t FindMagic(int s, const int steps[4][2]) {
  const Bitboard mask = SlideFrom(s, steps, 0, false);
  const int bits = __builtin_popcountll(mask);
  std::vector<Bitboard> occupancies, attacks;
  Bitboard subset = 0;
  do {  // every subset of the mask (carry-rippler)
    occupancies.push_back(subset);
    attacks.push_back(SlideFrom(s, steps, subset, true));
    subset = (subset - mask) & mask;
  } while (subset != 0);
  std::vector<Bitboard> used(1u << bits);
  std::vector<int> stamp(1u << bits, 0);
  for (int attempt = 1;; attempt++) {
    const uint64_t magic = SparseRandom();
    if (__builtin_popcountll((mask * magic) >> 56) < 6) continue;
    bool ok = true;
    for (size_t i = 0; i < occupancies.size() && ok; i++) {
      const uint32_t index = (uint32_t)((occupancies[i] * magic) >> (64 - bits));
      if (stamp[index] != attempt) {
        stamp[index] = attempt;
        used[index] = attacks[i];
      } else if (used[index] != attacks[i]) {
        ok = false;
      }
    }
    if (ok) return magic;
  }
}

void PrintArray(const char* name, const int steps[4][2]) {
  std::printf("constexpr uint64_t %s[64] = {\n", name);
  for (int s = 0; s < 64; s++)
    std::printf("%s0x%016llXULL,%s", s % 4 == 0 ? "    " : " ", (unsigned long long)FindMagic(s, steps),
                s % 4 == 3 ? "\n" : "");
  std::printf("};\n");
}

}  // namespace

int main() {
  PrintArray("ROOK_MAGIC", ROOK_STEPS);
  PrintArray("BISHOP_MAGIC", BISHOP_STEPS);
  return 0;
}
