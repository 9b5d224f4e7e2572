// The built-in endgame bitbases: king and pawn against king (two tables) and
// king and rook against king and pawn. All three are solved by our own
// retrograde generators at start-up.
#pragma once
#include <cstdint>
#include "board/types.h"

// KPK, one bit per position: bit side + 2 * pawn + 128 * strong king +
// 8192 * weak king (byte i >> 3, bit i & 7), squares as if the pawn were
// WHITE, side 0 with the pawn's side to move, 1 with the defender to move.
constexpr int KPK_BITS = 2 * 64 * 64 * 64;
constexpr int KPK_BYTES = KPK_BITS / 8;

// Bit set exactly when the pawn's side wins.
extern uint8_t KpkWinBitbase[KPK_BYTES];
// A subset of the wins: the rule is described in eval/bitbases.cpp.
extern uint8_t KpkBitbase[KPK_BYTES];

// KRKP with the rook's side to move, pawn moving toward rank 8 on files e-h,
// ranks 4-7: word rook * 1024 + rook's king * 16 + KrkpPawnIndex[pawn], bit =
// the pawn side's king. A set bit: the rook's side does not win.
constexpr int KRKP_WORDS = 64 * 64 * 16;
extern uint64_t KrkpBitbase[KRKP_WORDS];
extern const int32_t KrkpPawnIndex[64];

// Bit `index` of a KPK table.
inline int KpkBit(const uint8_t* table, int index) { return (table[index >> 3] >> (index & 7)) & 1; }
inline int KpkIndex(int side, int pawn, int strongKing, int weakKing) {
  return side + 2 * pawn + 128 * strongKing + 8192 * weakKing;
}

// Solves KPK and KRKP. Needs KingAttacks, pawn attacks and the line tables
// (InitializeBitBoards).
void InitBitbases();
void InitKpkBitbases();
void InitKrkpBitbase();
