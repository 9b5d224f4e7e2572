// The frame of the static evaluation: the evaluation record read by the
// search, the evaluation cache, the lazy exit, the tapering by game phase,
// the scaling of drawish material and the king shelter.
#pragma once
#include <array>
#include <cstdint>
#include "board/types.h"
#include "eval/hashes.h"

// The working area of the last evaluation and the channel through which the
// search reads its attack information. Pairs are indexed WHITE, BLACK unless
// a line says otherwise. All scores are from BLACK's side.
struct EvalInfo {
  int32_t score;                 // final evaluation, tempo included
  int32_t packed_score;          // running (mg << 16) + eg sum
  int32_t side_mg[2];            // per-colour sums, tapered by that colour's phase
  int32_t side_eg[2];
  int32_t tempo_bonus[2];        // added to the tempo of the side to move
  Bitboard queen_attacks[2];
  Bitboard knight_attacks[2];
  Bitboard bishop_attacks[2];
  Bitboard rook_attacks[2];
  Bitboard pawn_attacks_black;
  Bitboard pawn_attacks_white;
  Bitboard blocked_pawns[2];
  Bitboard mobility_class[4][2];
  Bitboard king_zone[2];
  Bitboard zone_safe_attacks[2];
  Bitboard minor_attacks[2];
  int32_t threatened_count[2];
  Bitboard check_squares[4][2];  // rook, queen, bishop, knight checks of king c
  int32_t danger[2];
  int32_t shelter_penalty[2];    // 0..63
  int32_t ENDING[2];             // king c is in an ending: its safety terms are off
  int32_t material_score;
  int32_t derivable;             // the other side's score follows from derive_base
  int32_t cacheable;
  int32_t tapered_score;
  int32_t derive_base;           // sum of both sides' scores of this position
  int32_t attack_value[2];
  int32_t pressure[2];
  Bitboard attack_map[2];        // every square colour c attacks, king steps included
  Bitboard threat_map[2];
  Bitboard passed_pawns[2];
  int32_t pattern_index[2];
};

extern EvalInfo thread_eval_info;

// One entry of the evaluation cache: the maps the search reads and the score
// for each side to move (EVAL_SLOT_EMPTY where none is known).
struct EvalHashEntry {
  uint64_t key;                  // HashKey ^ ZobristCastle[CastleFlags]
  uint64_t threat_map[2];
  uint64_t attack_map[2];
  int16_t score[2];              // by side to move
  int16_t material_score;
  int16_t unused;
};
static_assert(sizeof(EvalHashEntry) == 48, "EvalHashEntry is 48 bytes");

constexpr int32_t EVAL_SLOT_EMPTY = -32700;

// Window of the lazy exit and the colour the engine plays, set by the root search.
extern int32_t LazyEvalLow, LazyEvalHigh;
extern int32_t RootSide;
// Playing style, in percent (the settings "Aggressivity" and "Cowardice"):
// how much the shelter of the opponent's king and of the engine's own king
// weigh. The shelter term reads the halves.
extern int32_t Aggressivity, AggressivityHalf;
extern int32_t Cowardice, CowardiceHalf;

// The lazy exit shared by Evaluate and Quiesce: the material balance for the
// side to move, moved toward the side behind by that side's advanced pawns,
// goes to *balance; the answer is 1 when it stays above the lazy window (seen
// from the side to move) and that side has material enough to win, -1 when it
// stays below and the other side has, else 0.
int LazyMaterialBalance(int32_t* balance);

// File-byte class 0..38 of the rook-ending table and the king region 0 (edge)
// .. 3 (centre) of the king-distance table.
extern const std::array<int32_t, 256> RookEndingFileIndex;
extern const int32_t KingRegion[64];

// Open for the tests; the engine calls it only inside eval/evaluate.cpp.
// Key of the current position in the evaluation cache.
uint64_t EvalHashKey();

// Slot of a key in the evaluation cache, by the size the table was allocated
// with, so the index never leaves it. Inline: the search asks for the slot's
// lines as soon as a move is made.
inline uint32_t EvalHashIndex(uint64_t key) {
  if (EvalHashAllocated == 0x80000) return (uint32_t)(key & 0x7ffff);
  return EvalHashAllocated > 0 ? (uint32_t)key % (uint32_t)EvalHashAllocated : 0;
}

// Score for the side to move: lazy exit from material, cache, or the full
// evaluation, damped by the fifty-move counter. The lazy exit reads its
// window from LazyEvalLow and LazyEvalHigh.
int32_t Evaluate();
// The full evaluation: fills thread_eval_info, writes the score for the side to move.
void EvaluatePosition(int32_t* score);
// Material term, phases, weighted piece-count sums and ENDING flags from the
// material table, or computed for material outside it.
void EvaluateMaterialAndPhase();
// 1 when king `colour` is in an ending by the piece units of the other side
// (the ENDING rule for material outside the table).
int KingInEnding(int colour);
// score * factor / 256, truncating toward zero.
int32_t ScaleScore(int32_t score, int32_t factor);
// Shelter of the BLACK (WHITE) king, negative when it is poor, to be taken
// off the other side's sum; writes the king's shelter_penalty.
int32_t EvaluateBlackKingCentre();
int32_t EvaluateWhiteKingCentre();
