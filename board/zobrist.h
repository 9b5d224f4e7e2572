// Zobrist keys, drawn once at start-up from the 64-bit Mersenne Twister.
#pragma once
#include <cstdint>

extern uint64_t ZobristPieces[2][8][64];  // [colour][piece code][square]; codes 0 and 4 hold 0
extern uint64_t ZobristCastle[16];        // by castling rights
extern uint64_t ZobristEnPassant[8];      // by file of the double step's destination

extern uint64_t Mt64State[312];
extern int32_t Mt64Index;                 // 313 until the generator is seeded

// Open for the tests; the engine calls it only inside board/zobrist.cpp.
void SeedRandom64(uint64_t seed);
void SeedRandom64ByArray(const uint64_t* key, int length);
uint64_t Random64();
// Seeds the generator with the fixed key array and fills the three key tables.
void InitializeHashKeys();
