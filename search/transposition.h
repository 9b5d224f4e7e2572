// The transposition table: buckets of four entries, each entry holding three
// independent bound slots (upper, lower, exact) of one position and side.
#pragma once
#include <cstdint>
#include "board/position.h"
#include "board/types.h"
#include "board/zobrist.h"
#include "eval/evaluate.h"
#include "search/hashtable.h"

// Bound kinds of a store and of the info field.
constexpr int HASH_UPPER = 1;
constexpr int HASH_LOWER = 2;
constexpr int HASH_EXACT = 3;

constexpr int HASH_BUCKET_SIZE = 4;
constexpr int HASH_SPARE_ENTRIES = 10;  // lets a bucket at the last index run past the end

// Bits of TranspositionEntry::info.
constexpr uint32_t HASH_MOVE_MASK = 0x1FFFFF;   // bits 0-20: the stored move
constexpr int HASH_KIND_SHIFT = 21;             // bits 21-22: bound kind of the last store
constexpr int HASH_SIDE_SHIFT = 23;             // bit 23: side to move
constexpr uint32_t HASH_THREAT_BIT = 1u << 30;  // mate-threat mark of the search

// Bits of TranspositionEntry::flags.
constexpr uint8_t HASH_CALLER_FLAGS = 31;  // bits 0-4: OR of the callers' flags
constexpr uint8_t HASH_UPPER_VALID = 32;
constexpr uint8_t HASH_LOWER_VALID = 64;
constexpr uint8_t HASH_EXACT_VALID = 128;

struct TranspositionEntry {
  uint64_t key;          // full position key; the side to move is in info
  uint32_t info;         // move, last bound kind, side, threat bit
  int16_t upper_score;
  int16_t lower_score;
  int16_t exact_score;   // mate distances counted from this node
  uint16_t age;          // SearchAge of the last store or hit
  uint8_t upper_depth;   // quarter plies
  uint8_t lower_depth;
  uint8_t exact_depth;
  uint8_t flags;         // caller flags and slot valid bits
};
static_assert(sizeof(TranspositionEntry) == 24, "TranspositionEntry is 24 bytes");

// HashEntries + HASH_SPARE_ENTRIES entries; HashEntries 0 means no table.
extern TranspositionEntry* HashTable;

// What the last probe found, for its caller.
extern int32_t HashBoundUsable;  // a deep enough exact or lower slot for the singular test
extern int32_t HashBoundScore;
extern int32_t HashBoundDepth;
extern int32_t HashScoreHint;    // a reachable score from the quiescence and root probes
extern int16_t HashFlags;        // caller flags of the entry found, 0 when none
// Entries newly filled during the current search (hashfull).
extern int32_t HashUsed;

// Main search probe of the position with the given key (PositionKey; a node
// works it out once for its probe and its stores): 0 not in the table; 3
// exact cut, 2 lower cut, 1 upper cut or no cut (then *found is 0).
int ProbeHashAt(uint64_t key, int depth, int32_t* alpha, int32_t* beta, int* threat, Move* move, int* nullAllowed,
                int* found, int noCut);
// ProbeHashAt of the current position.
int ProbeHash(int depth, int32_t* alpha, int32_t* beta, int* threat, Move* move, int* nullAllowed, int* found,
              int noCut);
// Quiescence probe of the position with the given key, without depth tests.
int ProbeHashQuiesceAt(uint64_t key, int32_t* alpha, int32_t* beta, Move* move, int* found, int noCut);
// ProbeHashQuiesceAt of the current position.
int ProbeHashQuiesce(int32_t* alpha, int32_t* beta, Move* move, int* found, int noCut);
// Root probe: the quiescence probe with cut tests always allowed.
int ProbeRootHash(int32_t* alpha, int32_t* beta, Move* move, int* found);
// The stored move of the current position, 0 when none.
Move ProbeHashMove();
// Stores a bound of the position with the given key (PositionKey).
void StoreHashAt(uint64_t key, int depth, Move move, int score, int kind, int threat, int callerFlags);
// StoreHashAt of the current position.
void StoreHash(int depth, Move move, int score, int kind, int threat, int callerFlags);

// Bucket index of a key for a side: the low 32 key bits with the side term,
// modulo the entry count; a power-of-two count is taken by a mask. 0 when
// there is no table.
inline uint32_t HashIndex(uint64_t key, int side) {
  const uint32_t low = (uint32_t)key ^ (uint32_t)(4 * side);
  const uint32_t entries = (uint32_t)HashEntries;
  if (HashEntries <= 0) return 0;
  if ((entries & (entries - 1)) == 0) return low & (entries - 1);
  return low % entries;
}

// Starts loading the bucket of the position just made into the cache, and
// the position's evaluation-cache entry (same key) with it, so that the
// child's probe and its evaluation find them there instead of waiting on
// memory. The key is taken without the en-passant term (rarely present): a
// wrong guess costs only a useless fetch. Always inline: a function that
// holds nothing but prefetches has no effect in gcc's eyes, and its calls are
// dropped, prefetches and all.
[[gnu::always_inline]] inline void PrefetchHash() {
  if (HashTable == nullptr) return;
  const ThreadBoard& b = thread_board;
  const uint64_t key = b.HashKey ^ ZobristCastle[b.CastleFlags & 15];
  const char* bucket = (const char*)(HashTable + HashIndex(key, b.SideToMove));
  // 96 bytes span two or three cache lines: bytes 0, 64 and 95 lie in each.
  __builtin_prefetch(bucket);
  __builtin_prefetch(bucket + 64);
  __builtin_prefetch(bucket + HASH_BUCKET_SIZE * sizeof(TranspositionEntry) - 1);
  if (EvalHashTable != nullptr) {
    // 48 bytes: one or two cache lines.
    const char* entry = (const char*)(EvalHashTable + EvalHashIndex(key));
    __builtin_prefetch(entry);
    __builtin_prefetch(entry + sizeof(EvalHashEntry) - 1);
  }
}
