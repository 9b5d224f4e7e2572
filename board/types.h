// Shared codes of the whole engine: squares, colours, piece codes, the move
// word, bit scans and the fixed sizes of the global arrays.
#pragma once
#include <cstdint>

using Bitboard = uint64_t;
using Move = uint32_t;  // from 0-5, to 6-11, mover 12-14, captured 15-17, promotion 18-20

enum Colour : int { WHITE = 0, BLACK = 1 };
enum PieceCode : int { EMPTY = 0, KING = 1, KNIGHT = 2, PAWN = 3, ROOK = 5, BISHOP = 6, QUEEN = 7 };

// Squares a1 = 0 .. h8 = 63; file = square & 7, rank = square >> 3.
enum SquareName : int {
  A1, B1, C1, D1, E1, F1, G1, H1,
  A2, B2, C2, D2, E2, F2, G2, H2,
  A3, B3, C3, D3, E3, F3, G3, H3,
  A4, B4, C4, D4, E4, F4, G4, H4,
  A5, B5, C5, D5, E5, F5, G5, H5,
  A6, B6, C6, D6, E6, F6, G6, H6,
  A7, B7, C7, D7, E7, F7, G7, H7,
  A8, B8, C8, D8, E8, F8, G8, H8
};

constexpr int MOVE_STACK_SIZE = 65536;    // entries of MoveStack
constexpr int GAME_HISTORY_SIZE = 768;    // undo records of GameHistory
constexpr int SEARCH_STACK_SIZE = 196;    // ply records of SearchStack
constexpr int MATERIAL_OUTSIDE = 531441;  // material index sentinel: a count above 2
constexpr int INFINITY_SCORE = 32700;

// Regions of MoveStack. A search fills it from 0 up: the root list, then one
// list per ply on top. Lists built beside it start higher: the scratch list
// of the legality test and the move-text lookup, the book's legal list, the
// list of the game-end test, and, kept while the search runs, the legal moves
// of the position the opponent is to move in (typed moves are looked up there).
constexpr int SCRATCH_LIST_START = 5000;
constexpr int BOOK_LIST_START = 60000;
constexpr int PONDER_LIST_START = 63536;
constexpr int FINAL_TEST_LIST_START = PONDER_LIST_START - 1024;

// Mate scores. The side mated at ply p scores p - MATE_SCORE, its winner
// MATE_SCORE - p, so a nearer mate scores higher. Scores beyond MATE_BOUND in
// size are mates or tablebase wins; a tablebase win found at ply p scores
// TB_WIN_SCORE - p. Scores beyond MATE_BOUND become node-relative in the
// transposition table and "mate N" in the output.
constexpr int MATE_SCORE = INFINITY_SCORE;
constexpr int MATE_BOUND = 31000;
constexpr int TB_WIN_SCORE = 31700;
constexpr int MatedScore(int ply) { return ply - MATE_SCORE; }
constexpr int MateScore(int ply) { return MATE_SCORE - ply; }

// Castling moves as move words (king moves of two files).
constexpr Move CASTLE_WHITE_SHORT = 4484;  // e1g1
constexpr Move CASTLE_WHITE_LONG = 4228;   // e1c1
constexpr Move CASTLE_BLACK_SHORT = 8124;  // e8g8
constexpr Move CASTLE_BLACK_LONG = 7868;   // e8c8

inline int ChangeSide(int colour) { return colour ^ 1; }
inline int FileOf(int square) { return square & 7; }
inline int RankOf(int square) { return square >> 3; }

// Small integer helpers shared by the board, the evaluation and the search.
inline int Min(int a, int b) { return a < b ? a : b; }
inline int Max(int a, int b) { return a > b ? a : b; }
inline int Abs(int v) { return v < 0 ? -v : v; }
inline int64_t Clamp64(int64_t v, int64_t low, int64_t high) { return v < low ? low : v > high ? high : v; }
inline int Clamp(int64_t v, int low, int high) { return (int)Clamp64(v, low, high); }
inline int32_t ClampToInt32(int64_t v) { return (int32_t)Clamp64(v, INT32_MIN, INT32_MAX); }
// v / 2^n rounded toward minus infinity, without shifting a negative value.
inline int64_t ShiftDown(int64_t v, int n) { return v >= 0 ? v >> n : ~((~v) >> n); }
// Moves a king needs from a to b on an empty board.
inline int KingDistance(int a, int b) { return Max(Abs(FileOf(a) - FileOf(b)), Abs(RankOf(a) - RankOf(b))); }
inline Bitboard SquareBit(int square) { return 1ULL << square; }

inline int MoveFrom(Move m) { return m & 63; }
inline int MoveTo(Move m) { return (m >> 6) & 63; }
inline int MovePiece(Move m) { return (m >> 12) & 7; }
inline int MoveCaptured(Move m) { return (m >> 15) & 7; }
inline int MovePromotion(Move m) { return m >> 18; }
inline Move MakeMoveWord(int from, int to, int piece, int captured = 0, int promotion = 0) {
  return (Move)from | (Move)to << 6 | (Move)piece << 12 | (Move)captured << 15 | (Move)promotion << 18;
}

// Bit scans; the set must not be empty. On a 32-bit target the 64-bit
// builtins become library calls (__ctzdi2, __clzdi2), so the scans work on
// the two halves there.
#ifdef __LP64__
inline int LeastSignificantBit(Bitboard b) { return __builtin_ctzll(b); }
inline int MostSignificantBit(Bitboard b) { return 63 - __builtin_clzll(b); }
#else
inline int LeastSignificantBit(Bitboard b) {
  uint32_t low = (uint32_t)b;
  return low ? __builtin_ctz(low) : 32 + __builtin_ctz((uint32_t)(b >> 32));
}
inline int MostSignificantBit(Bitboard b) {
  uint32_t high = (uint32_t)(b >> 32);
  return high ? 63 - __builtin_clz(high) : 31 - __builtin_clz((uint32_t)b);
}
#endif
inline int PopLSB(Bitboard* b) {
  int square = LeastSignificantBit(*b);
  *b &= *b - 1;
  return square;
}
// Without the POPCNT instruction the builtin becomes a library call; the
// inline bit-parallel count is faster than that call. A 32-bit target counts
// the two halves, which spares it a 64-bit multiplication.
#if defined(__POPCNT__)
inline int PopCount(Bitboard b) { return __builtin_popcountll(b); }
#elif defined(__LP64__)
inline int PopCount(Bitboard b) {
  b = b - ((b >> 1) & 0x5555555555555555ULL);
  b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
  b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return (int)((b * 0x0101010101010101ULL) >> 56);
}
#else
inline int PopCount32(uint32_t v) {
  v = v - ((v >> 1) & 0x55555555U);
  v = (v & 0x33333333U) + ((v >> 2) & 0x33333333U);
  v = (v + (v >> 4)) & 0x0F0F0F0FU;
  return (int)((v * 0x01010101U) >> 24);
}
inline int PopCount(Bitboard b) { return PopCount32((uint32_t)b) + PopCount32((uint32_t)(b >> 32)); }
#endif
