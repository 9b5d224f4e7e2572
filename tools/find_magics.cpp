// Finds the multipliers of the slider attack tables (board/attacktables.cpp):
// for every square a number that maps each occupancy of the square's
// relevant lines to a table slot without two different attack sets sharing
// a slot. Deterministic (fixed seed); prints the two arrays as C++ source.
//
// Usage: crv_find_magics > magics.txt
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bitboard = uint64_t;

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

// The squares a slider on s reaches in the four steps over the occupancy;
// with edges 0 the relevant mask (edge squares of each line left out).
Bitboard Slide(int s, const int steps[4][2], Bitboard occupied, bool edges) {
  Bitboard result = 0;
  for (int i = 0; i < 4; i++) {
    int f = s % 8 + steps[i][0], r = s / 8 + steps[i][1];
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      const int nf = f + steps[i][0], nr = r + steps[i][1];
      if (!edges && (nf < 0 || nf > 7 || nr < 0 || nr > 7)) break;
      result |= 1ULL << (8 * r + f);
      if (occupied & (1ULL << (8 * r + f))) break;
      f = nf;
      r = nr;
    }
  }
  return result;
}

const int ROOK_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int BISHOP_STEPS[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

uint64_t FindMagic(int s, const int steps[4][2]) {
  const Bitboard mask = Slide(s, steps, 0, false);
  const int bits = __builtin_popcountll(mask);
  std::vector<Bitboard> occupancies, attacks;
  Bitboard subset = 0;
  do {  // every subset of the mask (carry-rippler)
    occupancies.push_back(subset);
    attacks.push_back(Slide(s, steps, subset, true));
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
  std::printf("const uint64_t %s[64] = {\n", name);
  for (int s = 0; s < 64; s++)
    std::printf("%s0x%016llXULL,%s", s % 4 == 0 ? "    " : " ", (unsigned long long)FindMagic(s, steps),
                s % 4 == 3 ? "\n" : "");
  std::printf("};\n");
}

}  // namespace

int main() {
  PrintArray("RookMagic", ROOK_STEPS);
  PrintArray("BishopMagic", BISHOP_STEPS);
  return 0;
}
