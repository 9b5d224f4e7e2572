// Repetition tests: the threefold test of the game, the repetition walk over
// the reversible tail of the game inside the search, and the upcoming-
// repetition test that looks one move ahead through the cycle-move table.
#include "search/repetition.h"

#include <cstdio>
#include <cstring>

#include "board/attacktables.h"
#include "board/fen.h"
#include "board/position.h"
#include "board/zobrist.h"

CycleMoveBucket* CycleMoveTable = nullptr;

namespace {

// 1 for a move that can be taken back: no capture, promotion, pawn move or
// null move (the null move is recorded as the word 0).
inline int IsReversible(Move move) {
  return move != 0 && MovePiece(move) != PAWN && MoveCaptured(move) == 0 && MovePromotion(move) == 0;
}

// Stores the key of one piece move in its bucket: the first slot that is
// empty or already holds the key takes it. A full bucket keeps its four keys
// and the collision is reported.
void StoreCycleMove(uint64_t key, int from, int to, int piece) {
  CycleMoveBucket& bucket = CycleMoveTable[key & (CYCLE_MOVE_BUCKETS - 1)];
  const uint16_t move = (uint16_t)(to << 6 | from | piece << 12);
  for (int slot = 0; slot < 4; slot++) {
    if (bucket.move[slot] == 0 || bucket.key[slot] == key) {
      bucket.key[slot] = key;
      bucket.move[slot] = move;
      return;
    }
  }
  char text[3][16];
  std::printf("[%d: %s, prev: %s, %s]", (int)(key & (CYCLE_MOVE_BUCKETS - 1)), MoveToStringWithPiece(text[0], move),
              MoveToStringWithPiece(text[1], bucket.move[0]), MoveToStringWithPiece(text[2], bucket.move[1]));
}

// Stores every move of one piece kind from `from` to the squares of `targets`,
// for both colours.
void StorePieceMoves(int from, int piece, Bitboard targets) {
  while (targets) {
    const int to = PopLSB(&targets);
    for (int colour = WHITE; colour <= BLACK; colour++) {
      StoreCycleMove(ZobristPieces[colour][piece][from] ^ ZobristPieces[colour][piece][to], from, to, piece);
    }
  }
}

// 1 when the side to move can play the table move from `from` to `to` now:
// its own piece of that kind stands on from, to is empty and nothing stands
// between the two squares.
inline int CanPlayCycleMove(int from, int to, int piece) {
  const ThreadBoard& b = thread_board;
  // Between[to][from] holds to and the squares strictly between.
  return b.Board[from] == (uint32_t)piece && (b.Colour[b.SideToMove] & SquareBit(from)) &&
         (Between[to][from] & b.Occupied) == 0;
}

// 1 when the side to move has a single piece move that turns the position
// into the one whose pieces give the key difference `difference`.
int ReachesByOneMove(uint64_t difference) {
  const CycleMoveBucket& bucket = CycleMoveTable[difference & (CYCLE_MOVE_BUCKETS - 1)];
  for (int slot = 0; slot < 4; slot++) {
    if (bucket.move[slot] == 0 || bucket.key[slot] != difference) continue;
    const Move move = bucket.move[slot];
    const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
    return CanPlayCycleMove(from, to, piece) || CanPlayCycleMove(to, from, piece);
  }
  return 0;
}

}  // namespace

// Fills the table with every single move of a king, knight, bishop, rook or
// queen on an empty board, keyed by the XOR of the piece's keys on its two
// squares. A move and its reverse share the key, so each pair of squares
// keeps the move written last.
void InitCycleMoveTable() {
  if (CycleMoveTable == nullptr) return;
  std::memset(CycleMoveTable, 0, sizeof(CycleMoveBucket) * CYCLE_MOVE_BUCKETS);
  for (int from = 0; from < 64; from++) {
    StorePieceMoves(from, KING, KingAttacks[from]);
    StorePieceMoves(from, KNIGHT, KnightAttacks[from]);
    StorePieceMoves(from, BISHOP, BishopMoves[from]);
    StorePieceMoves(from, QUEEN, BishopMoves[from]);
    StorePieceMoves(from, ROOK, RookMoves[from]);
    StorePieceMoves(from, QUEEN, RookMoves[from]);
  }
}

// 1 when the current position stood twice before in the game with the same
// castling rights and only reversible moves in between.
int IsThreefoldRepetition() {
  const int n = GamePly;
  if (n < 4 || n > GAME_HISTORY_SIZE) return 0;
  const uint32_t rights = thread_board.CastleFlags;
  for (int k = n - 1; k >= n - 2; k--) {
    if (!IsReversible(GameHistory[k].move) || GameHistory[k].CastleFlags != rights) return 0;
  }
  int occurrences = 0;
  for (int k = n - 4; k >= 0; k -= 2) {
    for (int j = k; j <= k + 1; j++) {
      if (!IsReversible(GameHistory[j].move) || GameHistory[j].CastleFlags != rights) return 0;
    }
    if (GameHistory[k].HashKey == thread_board.HashKey && ++occurrences == 2) return 1;
  }
  return 0;
}

// The search's draw test: fifty moves, a repetition of a position of the
// reversible tail (4, 6, 8 ... plies back), and with `upcoming` a position
// 3, 5, 7 ... plies back that the side to move can reach with one move while
// the opponent's moves on the way cancel out. Gives 0 without Rule50 >= 3.
int IsSearchDraw(int upcoming) {
  const ThreadBoard& b = thread_board;
  if (b.Rule50 < 3) return 0;
  if (b.Rule50 >= 100) return 1;
  const int n = GamePly;
  if (n < 3 || n > GAME_HISTORY_SIZE) return 0;
  const uint64_t current = b.HashKey;
  uint64_t after = current;     // key after the move of the record being passed
  uint64_t opponentChange = 0;  // XOR of the key changes of the opponent's moves passed
  for (int i = 1; i <= n; i++) {
    const UndoRecord& record = GameHistory[n - i];
    if (!IsReversible(record.move)) return 0;
    if (i & 1) {
      opponentChange ^= after ^ record.HashKey;
      if (upcoming && i >= 3 && opponentChange == 0 && CycleMoveTable != nullptr &&
          ReachesByOneMove(current ^ record.HashKey))
        return 1;
    } else if (i >= 4 && record.HashKey == current) {
      return 1;
    }
    after = record.HashKey;
  }
  return 0;
}
