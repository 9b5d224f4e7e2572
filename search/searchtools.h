// Small helpers shared by the main search, the quiescence search and the
// singular tests: move kinds, picking the next move of a list, legality after
// making a move, the capture statistics and shifts of signed values.
#pragma once
#include <cstdint>
#include "board/attacks.h"
#include "board/ordering.h"
#include "board/position.h"
#include "search/hashtable.h"

// Ordering score written over an entry that was skipped or pruned, so the
// history decay after a cut-off passes it by.
constexpr int32_t ENTRY_NOT_TRIED = INT32_MIN;
// MoveEntry flag of a move whose exchange safety is not known yet.
constexpr uint32_t SAFETY_UNKNOWN = 32700;

// 1 for a pawn move that changes file without a captured piece.
inline int IsEnPassant(Move move) {
  return MovePiece(move) == PAWN && MoveCaptured(move) == 0 && ((MoveFrom(move) ^ MoveTo(move)) & 7) != 0;
}

// 1 for a move that neither captures nor promotes nor takes en passant.
inline int IsQuietMove(Move move) { return MoveCaptured(move) == 0 && MovePromotion(move) == 0 && !IsEnPassant(move); }

// x >> s rounded toward minus infinity, without shifting a negative value.
inline int32_t FloorShift(int32_t x, int s) { return x >= 0 ? x >> s : -((-(x + 1)) >> s) - 1; }

// Moves the entry of highest score in [index, end) to index, keeping the order
// of the others (the earlier of two equal scores comes first). Gives its score.
inline int32_t PickBestEntry(int index, int end) {
  int best = index;
  for (int i = index + 1; i < end; i++)
    if (MoveStack[i].score > MoveStack[best].score) best = i;
  if (best != index) {
    const MoveEntry picked = MoveStack[best];
    for (int i = best; i > index; i--) MoveStack[i] = MoveStack[i - 1];
    MoveStack[index] = picked;
  }
  return MoveStack[index].score;
}

// Sorts [index, end) by descending score, equal scores keeping their order:
// the order in which PickBestEntry hands the entries out one by one.
// Lists come mostly in order already, so an entry not above its left
// neighbour is passed by without being copied.
inline void SortEntries(int index, int end) {
  for (int j = index + 1; j < end; j++) {
    if (MoveStack[j].score <= MoveStack[j - 1].score) continue;
    const MoveEntry entry = MoveStack[j];
    int k = j;
    do {
      MoveStack[k] = MoveStack[k - 1];
      k--;
    } while (k > index && MoveStack[k - 1].score < entry.score);
    MoveStack[k] = entry;
  }
}

// SortEntries for a list whose scores are not negative, such as the quiet
// moves (history values, most of them 0): walking from the back, the zeros
// behind the last entry above 0 stay, the other zeros close up behind them
// in their order, and the entries above 0, taken out on the way, go in
// front, sorted in their order. Out of line, for its buffer.
[[gnu::noinline]] inline void SortScoresNotNegative(int index, int end) {
  constexpr int BUFFER = 256;
  if (end - index > BUFFER) {
    SortEntries(index, end);
    return;
  }
  MoveEntry above[BUFFER];
  int count = 0;
  MoveEntry* const first = &MoveStack[index];
  MoveEntry* read = &MoveStack[end];
  while (read > first && read[-1].score <= 0) read--;
  MoveEntry* write = read;
  while (read > first) {
    --read;
    if (read->score > 0)
      above[count++] = *read;  // the last of the list first
    else
      *--write = *read;
  }
  for (int j = 0; j < count; j++) {
    const MoveEntry entry = above[count - 1 - j];
    MoveEntry* place = first + j;
    for (; place > first && place[-1].score < entry.score; place--) *place = place[-1];
    *place = entry;
  }
}

// Picks handed out by scanning before the rest of a list is sorted: most
// nodes that cut off do so within the first moves, and a node that walks its
// whole list sorts it once instead of scanning it for every move.
constexpr int PICKS_BEFORE_SORT = 2;

// PickBestEntry for a walk that takes every entry of [start, end) in turn:
// the same order, but from the PICKS_BEFORE_SORT-th pick on the rest of the
// list is sorted once and then read in place.
inline int32_t PickNextEntry(int index, int start, int end) {
  const int picked = index - start;
  if (picked < PICKS_BEFORE_SORT) return PickBestEntry(index, end);
  if (picked == PICKS_BEFORE_SORT) SortEntries(index, end);
  return MoveStack[index].score;
}

// Exchange safety of a move not yet made (1 safe, 0 losing); king moves and
// en passant are safe.
inline uint32_t MoveSafety(Move move) {
  return (MovePiece(move) == KING || IsEnPassant(move)) ? 1u : (uint32_t)SeeNonNegative(move);
}

// Exchange safety of an entry, worked out and written back when the entry
// does not hold it yet.
inline uint32_t EntrySafety(MoveEntry& entry) {
  if (entry.flag == SAFETY_UNKNOWN) entry.flag = MoveSafety(entry.move);
  return entry.flag;
}

// 1 when a move of the side to move that is not yet made is illegal by the
// quick tests: a king step onto an attacked square, or another piece that
// uncovers an enemy slider on its own king.
inline int FailsQuickLegality(Move move) {
  const ThreadBoard& b = thread_board;
  if (MovePiece(move) == KING) return SquareAttacked(b.SideToMove ^ 1, MoveTo(move));
  // Only a piece on a line through its king can uncover it.
  if (Direction[MoveFrom(move)][b.KingSquare[b.SideToMove]] == 0) return 0;
  return ExposesKing(move);
}

// FailsQuickLegality with the pinned pieces of the position (PinnedPieces)
// known: a pinned piece may move only along the line of its pin.
inline int FailsQuickLegalityPinned(Move move, Bitboard pinned) {
  const ThreadBoard& b = thread_board;
  if (MovePiece(move) == KING) return SquareAttacked(b.SideToMove ^ 1, MoveTo(move));
  const int from = MoveFrom(move);
  if (!(pinned & SquareBit(from))) return 0;
  return Abs(Direction[MoveTo(move)][from]) != Abs(Direction[from][b.KingSquare[b.SideToMove]]);
}

// 1 when, after a move was made, the king of the side that moved is attacked.
inline int MoverKingAttacked() {
  const ThreadBoard& b = thread_board;
  return SquareAttacked(b.SideToMove, b.KingSquare[b.SideToMove ^ 1]);
}

// Capture statistics after a capture of the side to move was searched:
// a stale entry restarts, tries and (when the score beat the bound) wins
// count up, and both halve once tries pass 64.
inline void RefreshCaptureHistory(Move move, int beatBound) {
  const int index = MoveCaptured(move) << 3 | MovePiece(move) | MoveTo(move) << 6 | MoveFrom(move) << 12 |
                    thread_board.SideToMove << 13;
  if (CaptureStamp[index] != (int32_t)SearchAge) {
    CaptureStamp[index] = SearchAge;
    CaptureTries[index] = 0;
    CaptureWins[index] = 0;
  }
  CaptureTries[index] += 1;
  if (beatBound) CaptureWins[index] += 1;
  if (CaptureTries[index] > 64) {
    CaptureTries[index] >>= 1;
    CaptureWins[index] >>= 1;
  }
}
