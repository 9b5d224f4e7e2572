// The transposition table. Each entry keeps three bound slots of one position
// and side to move, so a later search at any window finds the most useful
// bound. Exact scores are held with mate distances counted from the node;
// upper and lower bounds are held as they come, only clamped.
#include "search/transposition.h"

#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "search/hashtable.h"

TranspositionEntry* HashTable = nullptr;
int32_t HashBoundUsable = 0;
int32_t HashBoundScore = 0;
int32_t HashBoundDepth = 0;
int32_t HashScoreHint = -INFINITY_SCORE;
int16_t HashFlags = 0;
int32_t HashUsed = 0;

namespace {

constexpr int MAX_STORED_DEPTH = 255;

// The exact score made root-relative again (node-relative in the table).
inline int ExactFromTable(int score) {
  if (score > MATE_BOUND) return score - SearchPly;
  if (score < -MATE_BOUND) return score + SearchPly;
  return score;
}

// The exact score made node-relative for the table.
inline int ExactToTable(int score) {
  if (score > MATE_BOUND) return score + SearchPly;
  if (score < -MATE_BOUND) return score - SearchPly;
  return score;
}

inline uint32_t EntrySide(const TranspositionEntry& e) { return (e.info >> HASH_SIDE_SHIFT) & 1; }
inline int EntryKind(const TranspositionEntry& e) { return (int)((e.info >> HASH_KIND_SHIFT) & 3); }

// The entry of the current position and side to move, or nullptr; the scan
// ends at the first empty entry of the bucket.
TranspositionEntry* FindEntry(uint64_t key, int side) {
  if (HashEntries <= 0 || HashTable == nullptr) return nullptr;
  TranspositionEntry* bucket = HashTable + HashIndex(key, side);
  for (int i = 0; i < HASH_BUCKET_SIZE; i++) {
    TranspositionEntry& e = bucket[i];
    if (e.info == 0) return nullptr;
    if (e.key == key && EntrySide(e) == (uint32_t)side) return &e;
  }
  return nullptr;
}

// The slots in the order the cut tests take them, by the kind of the last
// store: that kind first, then exact, lower, upper.
constexpr int SLOT_ORDER[4][3] = {{HASH_EXACT, HASH_LOWER, HASH_UPPER},
                                  {HASH_UPPER, HASH_EXACT, HASH_LOWER},
                                  {HASH_LOWER, HASH_EXACT, HASH_UPPER},
                                  {HASH_EXACT, HASH_LOWER, HASH_UPPER}};

// The depth-free probe shared by the quiescence search and the root.
int ProbeWithoutDepth(uint64_t key, int32_t* alpha, int32_t* beta, Move* move, int* found, int noCut) {
  HashFlags = 0;
  TranspositionEntry* e = FindEntry(key, thread_board.SideToMove);
  if (e == nullptr) {
    HashScoreHint = -INFINITY_SCORE;
    return 0;
  }
  e->age = SearchAge;
  *move = e->info & HASH_MOVE_MASK;
  HashFlags = (int16_t)(e->flags & HASH_CALLER_FLAGS);

  int hint = -INFINITY_SCORE;
  for (int kind : SLOT_ORDER[EntryKind(*e)]) {
    if (kind == HASH_EXACT) {
      if (!(e->flags & HASH_EXACT_VALID)) continue;
      *alpha = ExactFromTable(e->exact_score);
      HashScoreHint = *alpha;
      *found = 1;
      return 3;
    }
    if (noCut) continue;
    if (kind == HASH_LOWER) {
      if (!(e->flags & HASH_LOWER_VALID)) continue;
      if (e->lower_score >= *beta) {
        *alpha = e->lower_score;
        HashScoreHint = e->lower_score;
        *found = 1;
        return 2;
      }
      hint = e->lower_score;
    } else {
      if (!(e->flags & HASH_UPPER_VALID) || e->upper_score > *alpha) continue;
      *alpha = e->upper_score;
      HashScoreHint = hint;
      *found = 1;
      return 1;
    }
  }
  *found = 0;
  HashScoreHint = hint;
  return 1;
}

// The info word of a store.
inline uint32_t InfoWord(Move move, int kind, int threat) {
  return (move & HASH_MOVE_MASK) | (uint32_t)kind << HASH_KIND_SHIFT |
         (uint32_t)thread_board.SideToMove << HASH_SIDE_SHIFT | (threat ? HASH_THREAT_BIT : 0u);
}

// 0 for an entry that holds no move and no depth, 1 otherwise: the tie-break
// weight of replacement (a lighter entry goes first).
inline int ReplacementWeight(const TranspositionEntry& e) {
  return ((e.info & HASH_MOVE_MASK) != 0 || e.upper_depth != 0 || e.lower_depth != 0 || e.exact_depth != 0) ? 1 : 0;
}

// The entry of the bucket that a store of another position overwrites.
TranspositionEntry* ChooseVictim(TranspositionEntry* bucket) {
  TranspositionEntry* candidate = bucket;
  for (int i = 1; i < HASH_BUCKET_SIZE; i++) {
    TranspositionEntry* e = bucket + i;
    const bool candidateCurrent = candidate->age == SearchAge;
    const bool entryCurrent = e->age == SearchAge;
    if (!entryCurrent && candidateCurrent)
      candidate = e;
    else if (entryCurrent == candidateCurrent && ReplacementWeight(*e) < ReplacementWeight(*candidate))
      candidate = e;
  }
  return candidate;
}

inline int MaxDepth(const TranspositionEntry& e) {
  int d = e.upper_depth;
  if (e.lower_depth > d) d = e.lower_depth;
  if (e.exact_depth > d) d = e.exact_depth;
  return d;
}

// Adds a bound of the same position to its entry, keeping a deeper slot and,
// at equal depth, the tighter upper or lower bound.
void MergeSlot(TranspositionEntry* e, int depth, Move move, int score, int kind, int threat, int callerFlags) {
  uint8_t valid;
  if (kind == HASH_UPPER) {
    if (score < -MATE_BOUND) score = -MATE_BOUND;
    if ((e->flags & HASH_UPPER_VALID) &&
        (e->upper_depth > depth || (e->upper_depth == depth && score >= e->upper_score)))
      return;
    e->upper_depth = (uint8_t)depth;
    e->upper_score = (int16_t)score;
    valid = HASH_UPPER_VALID;
  } else if (kind == HASH_LOWER) {
    if (score > MATE_BOUND) score = MATE_BOUND;
    if ((e->flags & HASH_LOWER_VALID) &&
        (e->lower_depth > depth || (e->lower_depth == depth && score <= e->lower_score)))
      return;
    e->lower_depth = (uint8_t)depth;
    e->lower_score = (int16_t)score;
    valid = HASH_LOWER_VALID;
  } else {
    score = ExactToTable(score);
    if ((e->flags & HASH_EXACT_VALID) && e->exact_depth > depth) return;
    e->exact_depth = (uint8_t)depth;
    e->exact_score = (int16_t)score;
    valid = HASH_EXACT_VALID;
  }
  e->info = InfoWord(move, kind, threat);
  e->flags = (uint8_t)(e->flags | valid | (callerFlags & HASH_CALLER_FLAGS));
}

// Writes a fresh entry of the current position holding one slot.
void WriteNewEntry(TranspositionEntry* e, uint64_t key, int depth, Move move, int score, int kind, int threat,
                   int callerFlags) {
  *e = TranspositionEntry{};
  e->key = key;
  e->info = InfoWord(move, kind, threat);
  e->age = SearchAge;
  uint8_t valid;
  if (kind == HASH_UPPER) {
    e->upper_depth = (uint8_t)depth;
    e->upper_score = (int16_t)(score < -MATE_BOUND ? -MATE_BOUND : score);
    valid = HASH_UPPER_VALID;
  } else if (kind == HASH_LOWER) {
    e->lower_depth = (uint8_t)depth;
    e->lower_score = (int16_t)(score > MATE_BOUND ? MATE_BOUND : score);
    valid = HASH_LOWER_VALID;
  } else {
    e->exact_depth = (uint8_t)depth;
    e->exact_score = (int16_t)ExactToTable(score);
    valid = HASH_EXACT_VALID;
  }
  e->flags = (uint8_t)((callerFlags & HASH_CALLER_FLAGS) | valid);
}

}  // namespace

// Main search probe: 3 exact cut, 2 lower-bound cut, 1 upper-bound cut or a
// hit without cut (*found 0), 0 not in the table.
int ProbeHashAt(uint64_t key, int depth, int32_t* alpha, int32_t* beta, int* threat, Move* move, int* nullAllowed,
                int* found, int noCut) {
  TranspositionEntry* e = FindEntry(key, thread_board.SideToMove);
  if (e == nullptr) {
    HashFlags = 0;
    HashBoundUsable = 0;
    return 0;
  }
  e->age = SearchAge;
  HashFlags = (int16_t)(e->flags & HASH_CALLER_FLAGS);
  if (e->info & HASH_THREAT_BIT) *threat = 1;
  *move = e->info & HASH_MOVE_MASK;

  // A bound below beta says the null move is unlikely to fail high.
  if (((e->flags & HASH_UPPER_VALID) && e->upper_score < *beta) ||
      ((e->flags & HASH_EXACT_VALID) && e->exact_score < *beta))
    *nullAllowed = 0;

  // The bound that the singular-move test measures the other moves against.
  HashBoundUsable = 0;
  if ((e->flags & HASH_LOWER_VALID) && depth <= e->lower_depth + 8) {
    HashBoundUsable = 1;
    HashBoundDepth = e->lower_depth;
    HashBoundScore = e->lower_score;
  }
  if ((e->flags & HASH_EXACT_VALID) && depth <= e->exact_depth + 8) {
    HashBoundUsable = 1;
    HashBoundDepth = e->exact_depth;
    HashBoundScore = e->exact_score;
  }

  for (int kind : SLOT_ORDER[EntryKind(*e)]) {
    if (kind == HASH_EXACT) {
      if (!(e->flags & HASH_EXACT_VALID) || e->exact_depth < depth) continue;
      *alpha = ExactFromTable(e->exact_score);
      *found = 1;
      return 3;
    }
    if (noCut) continue;
    if (kind == HASH_LOWER) {
      if (!(e->flags & HASH_LOWER_VALID) || e->lower_depth < depth || e->lower_score < *beta) continue;
      *alpha = e->lower_score;
      *found = 1;
      return 2;
    }
    if (!(e->flags & HASH_UPPER_VALID) || e->upper_depth < depth || e->upper_score > *alpha) continue;
    *alpha = e->upper_score;
    *found = 1;
    return 1;
  }
  *found = 0;
  return 1;
}

int ProbeHash(int depth, int32_t* alpha, int32_t* beta, int* threat, Move* move, int* nullAllowed, int* found,
              int noCut) {
  return ProbeHashAt(PositionKey(), depth, alpha, beta, threat, move, nullAllowed, found, noCut);
}

// Quiescence probe: the slots without depth tests; HashScoreHint gets a
// score known to be reachable.
int ProbeHashQuiesceAt(uint64_t key, int32_t* alpha, int32_t* beta, Move* move, int* found, int noCut) {
  return ProbeWithoutDepth(key, alpha, beta, move, found, noCut);
}

int ProbeHashQuiesce(int32_t* alpha, int32_t* beta, Move* move, int* found, int noCut) {
  return ProbeWithoutDepth(PositionKey(), alpha, beta, move, found, noCut);
}

// Root probe: the quiescence probe with every cut test allowed.
int ProbeRootHash(int32_t* alpha, int32_t* beta, Move* move, int* found) {
  return ProbeWithoutDepth(PositionKey(), alpha, beta, move, found, 0);
}

// The stored move of the current position, 0 when none; touches nothing.
Move ProbeHashMove() {
  const TranspositionEntry* e = FindEntry(PositionKey(), thread_board.SideToMove);
  return e == nullptr ? 0 : (e->info & HASH_MOVE_MASK);
}

// Stores a bound of the current position: into its own entry (merged slot by
// slot), an empty entry, or a victim of the bucket. An entry of another
// position stored or found in this search is only overwritten by a store at
// least as deep as its deepest slot.
void StoreHashAt(uint64_t key, int depth, Move move, int score, int kind, int threat, int callerFlags) {
  if (HashEntries <= 0 || HashTable == nullptr) return;
  if (kind < HASH_UPPER || kind > HASH_EXACT) return;
  if (depth > MAX_STORED_DEPTH) depth = MAX_STORED_DEPTH;
  if (depth < 0) depth = 0;

  const int side = thread_board.SideToMove;
  TranspositionEntry* bucket = HashTable + HashIndex(key, side);
  TranspositionEntry* chosen = nullptr;
  for (int i = 0; i < HASH_BUCKET_SIZE; i++) {
    TranspositionEntry* e = bucket + i;
    if (e->info == 0) {
      chosen = e;
      break;
    }
    if (e->key == key && EntrySide(*e) == (uint32_t)side) {
      e->flags = (uint8_t)(e->flags | (callerFlags & HASH_CALLER_FLAGS));
      e->age = SearchAge;
      if (move == 0) move = e->info & HASH_MOVE_MASK;
      MergeSlot(e, depth, move, score, kind, threat, callerFlags);
      return;
    }
  }
  if (chosen == nullptr) chosen = ChooseVictim(bucket);

  if (chosen->info != 0 && chosen->age == SearchAge) {
    if (depth < MaxDepth(*chosen)) return;
  } else {
    HashUsed += 1;
  }
  WriteNewEntry(chosen, key, depth, move, score, kind, threat, callerFlags);
}

void StoreHash(int depth, Move move, int score, int kind, int threat, int callerFlags) {
  StoreHashAt(PositionKey(), depth, move, score, kind, threat, callerFlags);
}
