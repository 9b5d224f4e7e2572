// Captures, en passant and promotions, and the adders that append a tactical
// move to MoveStack with its exchange-safety flag and its ordering score.
#include "board/attacks.h"
#include "board/movegen.h"
#include "board/ordering.h"
#include "board/searchstack.h"

// Ordering bonus of a losing capture by its success ratio (1/256) >> 4.
const int32_t CaptureRatioBonus[17] = {-128000, -64000, -32000, 0,     10000, 20000, 30000, 40000, 50000,
                                       50000,   50000,  50000,  50000, 50000, 50000, 50000, 50000};

namespace {

constexpr Bitboard FILE_A_SQUARES = 0x0101010101010101ULL;
constexpr Bitboard FILE_H_SQUARES = 0x8080808080808080ULL;

// Safe flag of a tactical move: king moves and en passant are never tested,
// nor a plain capture of a piece worth at least the capturer.
inline uint32_t CaptureSafety(Move move) {
  const int piece = MovePiece(move);
  if (piece == KING) return 1;
  if (piece == PAWN && MoveCaptured(move) == 0 && ((MoveFrom(move) ^ MoveTo(move)) & 1)) return 1;
  if (MovePromotion(move) == 0 && SeeWeight[MoveCaptured(move)] >= SeeWeight[piece]) return 1;
  return (uint32_t)SeeNonNegative(move);
}

// Success ratio in 1/256 of captures like this one in the current search; an
// entry stamped by an older search is cleared first.
inline int CaptureRatio(Move move) {
  const int index = MoveCaptured(move) << 3 | MovePiece(move) | MoveTo(move) << 6 | MoveFrom(move) << 12 |
                    thread_board.SideToMove << 13;
  if (CaptureStamp[index] != (int32_t)SearchAge) {
    CaptureTries[index] = 0;
    CaptureWins[index] = 0;
    CaptureStamp[index] = SearchAge;
    return 0;
  }
  if (CaptureTries[index] > 8) return (CaptureWins[index] * 256) / CaptureTries[index];
  return 0;
}

// The ordering score of a losing tactical move, by its capture history.
inline int LosingCaptureScore(Move move) {
  const int exchange = 10 * MvvLvaValue[MoveCaptured(move)] - MvvLvaValue[MovePiece(move)];
  int ratio = CaptureRatio(move);
  const int promotion = MovePromotion(move);
  if (promotion != 0 && promotion != QUEEN) ratio = 0;
  int slot = ratio >> 4;
  if (slot > 16) slot = 16;  // a ratio above 1 cannot occur unless the history is inconsistent
  if (slot < 0) slot = 0;
  return exchange + CaptureRatioBonus[slot];
}

// ScoreMove (see below), the safe case inline.
inline int TacticalScore(Move move, int safe) {
  if ((move >> 15) == 0) return 100901;
  if (!safe) return LosingCaptureScore(move);
  const int exchange = 10 * MvvLvaValue[MoveCaptured(move)] - MvvLvaValue[MovePiece(move)];
  return exchange + (move >= 0x40000 ? 108000 : 100000);
}

inline void PushEntry(Move move, int32_t score, uint32_t flag) {
  MoveEntry& entry = MoveStack[MoveStackTop++];
  entry.move = move;
  entry.score = score;
  entry.flag = flag;
}

// CaptureSafety for the moves of a walk, with the evaluation's map of the
// opponent's attacks at this ply read once for all of them: the same
// answer, its map shortcut (a target and from-square the opponent does not
// attack) taken here and the full exchange called directly.
[[gnu::always_inline]] inline uint32_t WalkCaptureSafety(Move move, Bitboard enemyMap) {
  const int piece = MovePiece(move), captured = MoveCaptured(move), promotion = MovePromotion(move);
  const int from = MoveFrom(move), to = MoveTo(move);
  if (piece == KING) return 1;
  if (promotion == 0) {
    if (captured == 0 && piece == PAWN) return 1;  // en passant
    if (SeeWeight[captured] >= SeeWeight[piece]) return 1;
  }
  if (enemyMap != 0 && !(enemyMap & SquareBit(to)) && (!(enemyMap & SquareBit(from)) || piece == KNIGHT))
    return (promotion == 0 || promotion == QUEEN) ? 1 : 0;
  return (uint32_t)SeeMoveIsSafe(to, from, piece, captured, promotion);
}

// Writes the move with its safety flag and score at *out and moves past it;
// with GOOD_ONLY only a safe move.
template <bool GOOD_ONLY>
[[gnu::always_inline]] inline void WalkCapture(MoveEntry*& out, Move move, Bitboard enemyMap) {
  const uint32_t flag = WalkCaptureSafety(move, enemyMap);
  if (GOOD_ONLY && !flag) return;
  out->move = move;
  out->score = TacticalScore(move, (int)flag);
  out->flag = flag;
  out++;
}

// Appends each target of the set as a capture from `from` by `piece`.
template <bool GOOD_ONLY>
[[gnu::always_inline]] inline void AddCapturesFrom(MoveEntry*& out, int from, int piece, Bitboard hits,
                                                   Bitboard enemyMap) {
  while (hits) {
    const int to = PopLSB(&hits);
    WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, piece, (int)thread_board.Board[to]), enemyMap);
  }
}

// A pawn capture onto `to`; from the seventh rank it becomes four
// capture-promotions, queen first, then knight, rook, bishop.
template <bool GOOD_ONLY>
[[gnu::always_inline]] inline void AddPawnCapture(MoveEntry*& out, int from, int to, int promotes,
                                                  Bitboard enemyMap) {
  const int captured = (int)thread_board.Board[to];
  if (!promotes) {
    WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, PAWN, captured), enemyMap);
    return;
  }
  WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, PAWN, captured, QUEEN), enemyMap);
  WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, PAWN, captured, KNIGHT), enemyMap);
  WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, PAWN, captured, ROOK), enemyMap);
  WalkCapture<GOOD_ONLY>(out, MakeMoveWord(from, to, PAWN, captured, BISHOP), enemyMap);
}

// Captures of colour S onto the targets, en passant included, in generation
// order: pawns, en passant, then knights to king, each set lowest square
// first. The moves go through a local pointer into MoveStack; MoveStackTop is
// written back once at the end. The BLACK path mirrors the WHITE one: pawns
// attack downwards, the seventh rank is rank 2, the double step to be taken
// went from rank 2 to rank 4, and the en-passant capture lands one rank
// below the stepped pawn.
template <int S, bool GOOD_ONLY>
void CaptureWalk(Bitboard targets) {
  const ThreadBoard& b = thread_board;
  MoveEntry* out = &MoveStack[MoveStackTop];
  const Bitboard enemyMap = SearchStack[SearchPly].attack_maps[S == WHITE ? 1 : 0];
  constexpr int forward = S == WHITE ? 8 : -8;
  const Bitboard ownPawns = b.Pieces[PAWN][S];
  Bitboard pawns = ownPawns & (S == WHITE ? (((targets & ~FILE_A_SQUARES) >> 9) | ((targets & ~FILE_H_SQUARES) >> 7))
                                          : (((targets & ~FILE_H_SQUARES) << 9) | ((targets & ~FILE_A_SQUARES) << 7)));
  while (pawns) {
    const int from = PopLSB(&pawns);
    Bitboard hits = (S == WHITE ? WhitePawnAttacks[from] : BlackPawnAttacks[from]) & targets;
    const int promotes = S == WHITE ? from >= 48 : from < 16;
    while (hits) AddPawnCapture<GOOD_ONLY>(out, from, PopLSB(&hits), promotes, enemyMap);
  }
  if (GamePly > 0) {
    const Move last = GameHistory[GamePly - 1].move;
    if (MovePiece(last) == PAWN && MoveFrom(last) - MoveTo(last) == 2 * forward) {
      const int stepped = MoveTo(last);
      if ((stepped & 7) > 0 && (ownPawns & SquareBit(stepped - 1)))
        WalkCapture<GOOD_ONLY>(out, MakeMoveWord(stepped - 1, stepped + forward, PAWN), enemyMap);
      if ((stepped & 7) < 7 && (ownPawns & SquareBit(stepped + 1)))
        WalkCapture<GOOD_ONLY>(out, MakeMoveWord(stepped + 1, stepped + forward, PAWN), enemyMap);
    }
  }
  for (Bitboard set = b.Pieces[KNIGHT][S]; set;) {
    const int from = PopLSB(&set);
    AddCapturesFrom<GOOD_ONLY>(out, from, KNIGHT, KnightAttacks[from] & targets, enemyMap);
  }
  for (Bitboard set = b.Pieces[BISHOP][S]; set;) {
    const int from = PopLSB(&set);
    AddCapturesFrom<GOOD_ONLY>(out, from, BISHOP, BishopLines(from) & targets, enemyMap);
  }
  for (Bitboard set = b.Pieces[ROOK][S]; set;) {
    const int from = PopLSB(&set);
    AddCapturesFrom<GOOD_ONLY>(out, from, ROOK, RookLines(from) & targets, enemyMap);
  }
  for (Bitboard set = b.Pieces[QUEEN][S]; set;) {
    const int from = PopLSB(&set);
    AddCapturesFrom<GOOD_ONLY>(out, from, QUEEN, (RookLines(from) | BishopLines(from)) & targets, enemyMap);
  }
  const int king = b.KingSquare[S];
  AddCapturesFrom<GOOD_ONLY>(out, king, KING, KingAttacks[king] & targets, enemyMap);
  MoveStackTop = (int32_t)(out - MoveStack);
}

}  // namespace

// The ordering score the adders give a move with the given safety flag: safe
// tactical moves from 100000 up, losing ones by their capture history.
int ScoreMove(Move move, int safe) { return TacticalScore(move, safe); }

// Appends the move with its safety flag and score.
void AddCapture(Move move) {
  const uint32_t flag = CaptureSafety(move);
  PushEntry(move, TacticalScore(move, (int)flag), flag);
}

// Appends the move only when it is exchange-safe.
void AddGoodCapture(Move move) {
  if (!CaptureSafety(move)) return;
  PushEntry(move, TacticalScore(move, 1), 1);
}

// Every capture of the side to move onto the targets, plus en passant.
void GenerateCaptures(Bitboard targets) {
  if (thread_board.SideToMove == WHITE)
    CaptureWalk<WHITE, false>(targets);
  else
    CaptureWalk<BLACK, false>(targets);
}

// The exchange-safe captures onto the targets, plus en passant.
void GenerateGoodCaptures(Bitboard targets) {
  if (thread_board.SideToMove == WHITE)
    CaptureWalk<WHITE, true>(targets);
  else
    CaptureWalk<BLACK, true>(targets);
}

// The non-capturing promotions of the side to move, highest square first,
// each as queen, rook, knight, bishop. BLACK mirrors WHITE: its pawns on
// rank 2 promote one rank down.
void GeneratePromotions() {
  const Bitboard empty = ~thread_board.Occupied;
  if (thread_board.SideToMove == WHITE) {
    Bitboard pawns = thread_board.Pieces[PAWN][WHITE] & 0x00FF000000000000ULL & (empty >> 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      AddCapture(MakeMoveWord(from, from + 8, PAWN, 0, QUEEN));
      AddCapture(MakeMoveWord(from, from + 8, PAWN, 0, ROOK));
      AddCapture(MakeMoveWord(from, from + 8, PAWN, 0, KNIGHT));
      AddCapture(MakeMoveWord(from, from + 8, PAWN, 0, BISHOP));
    }
  } else {
    Bitboard pawns = thread_board.Pieces[PAWN][BLACK] & 0x000000000000FF00ULL & (empty << 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      AddCapture(MakeMoveWord(from, from - 8, PAWN, 0, QUEEN));
      AddCapture(MakeMoveWord(from, from - 8, PAWN, 0, ROOK));
      AddCapture(MakeMoveWord(from, from - 8, PAWN, 0, KNIGHT));
      AddCapture(MakeMoveWord(from, from - 8, PAWN, 0, BISHOP));
    }
  }
}
