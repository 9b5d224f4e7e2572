// Captures, en passant and promotions, and the adders that append a tactical
// move to MoveStack with its exchange-safety flag and its ordering score.
#include "board/attacks.h"
#include "board/movegen.h"
#include "board/ordering.h"

// Ordering bonus of a losing capture by its success ratio (1/256) >> 4.
const int32_t CaptureRatioBonus[17] = {-128000, -64000, -32000, 0,     10000, 20000, 30000, 40000, 50000,
                                       50000,   50000,  50000,  50000, 50000, 50000, 50000, 50000};

namespace {

constexpr Bitboard FILE_A_SQUARES = 0x0101010101010101ULL;
constexpr Bitboard FILE_H_SQUARES = 0x8080808080808080ULL;

// Safe flag of a tactical move: king moves and en passant are never tested.
inline uint32_t CaptureSafety(Move move) {
  const int piece = MovePiece(move);
  if (piece == KING) return 1;
  if (piece == PAWN && MoveCaptured(move) == 0 && ((MoveFrom(move) ^ MoveTo(move)) & 1)) return 1;
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

inline void PushEntry(Move move, int32_t score, uint32_t flag) {
  MoveEntry& entry = MoveStack[MoveStackTop++];
  entry.move = move;
  entry.score = score;
  entry.flag = flag;
}

// Appends each target of the set as a capture from `from` by `piece`.
template <void (*Add)(Move)>
inline void AddCapturesFrom(int from, int piece, Bitboard hits) {
  while (hits) {
    const int to = PopLSB(&hits);
    Add(MakeMoveWord(from, to, piece, (int)thread_board.Board[to]));
  }
}

// A pawn capture onto `to`; from the seventh rank it becomes four
// capture-promotions, queen first, then knight, rook, bishop.
template <void (*Add)(Move)>
inline void AddPawnCapture(int from, int to, int promotes) {
  const int captured = (int)thread_board.Board[to];
  if (!promotes) {
    Add(MakeMoveWord(from, to, PAWN, captured));
    return;
  }
  Add(MakeMoveWord(from, to, PAWN, captured, QUEEN));
  Add(MakeMoveWord(from, to, PAWN, captured, KNIGHT));
  Add(MakeMoveWord(from, to, PAWN, captured, ROOK));
  Add(MakeMoveWord(from, to, PAWN, captured, BISHOP));
}

// The piece captures of colour S, knights to king, each set lowest square first.
template <int S, void (*Add)(Move)>
inline void PieceCaptures(Bitboard targets) {
  Bitboard set = thread_board.Pieces[KNIGHT][S];
  while (set) {
    const int from = PopLSB(&set);
    AddCapturesFrom<Add>(from, KNIGHT, KnightAttacks[from] & targets);
  }
  set = thread_board.Pieces[BISHOP][S];
  while (set) {
    const int from = PopLSB(&set);
    AddCapturesFrom<Add>(from, BISHOP, BishopLines(from) & targets);
  }
  set = thread_board.Pieces[ROOK][S];
  while (set) {
    const int from = PopLSB(&set);
    AddCapturesFrom<Add>(from, ROOK, RookLines(from) & targets);
  }
  set = thread_board.Pieces[QUEEN][S];
  while (set) {
    const int from = PopLSB(&set);
    AddCapturesFrom<Add>(from, QUEEN, (RookLines(from) | BishopLines(from)) & targets);
  }
  const int king = thread_board.KingSquare[S];
  AddCapturesFrom<Add>(king, KING, KingAttacks[king] & targets);
}

// Captures of the side to move onto the targets, en passant included.
// The BLACK path mirrors the WHITE one: pawns attack downwards, the seventh
// rank is rank 2, the double step to be taken went from rank 2 to rank 4,
// and the en-passant capture lands one rank below the stepped pawn.
template <void (*Add)(Move)>
void CaptureWalk(Bitboard targets) {
  if (thread_board.SideToMove == WHITE) {
    Bitboard pawns = thread_board.Pieces[PAWN][WHITE] &
                     (((targets & ~FILE_A_SQUARES) >> 9) | ((targets & ~FILE_H_SQUARES) >> 7));
    while (pawns) {
      const int from = PopLSB(&pawns);
      Bitboard hits = WhitePawnAttacks[from] & targets;
      while (hits) AddPawnCapture<Add>(from, PopLSB(&hits), from >= 48);
    }
    if (GamePly > 0) {
      const Move last = GameHistory[GamePly - 1].move;
      if (MovePiece(last) == PAWN && MoveFrom(last) - MoveTo(last) == 16) {
        const int stepped = MoveTo(last);
        const Bitboard own = thread_board.Pieces[PAWN][WHITE];
        if ((stepped & 7) > 0 && (own & SquareBit(stepped - 1))) Add(MakeMoveWord(stepped - 1, stepped + 8, PAWN));
        if ((stepped & 7) < 7 && (own & SquareBit(stepped + 1))) Add(MakeMoveWord(stepped + 1, stepped + 8, PAWN));
      }
    }
    PieceCaptures<WHITE, Add>(targets);
  } else {
    Bitboard pawns = thread_board.Pieces[PAWN][BLACK] &
                     (((targets & ~FILE_H_SQUARES) << 9) | ((targets & ~FILE_A_SQUARES) << 7));
    while (pawns) {
      const int from = PopLSB(&pawns);
      Bitboard hits = BlackPawnAttacks[from] & targets;
      while (hits) AddPawnCapture<Add>(from, PopLSB(&hits), from < 16);
    }
    if (GamePly > 0) {
      const Move last = GameHistory[GamePly - 1].move;
      if (MovePiece(last) == PAWN && MoveTo(last) - MoveFrom(last) == 16) {
        const int stepped = MoveTo(last);
        const Bitboard own = thread_board.Pieces[PAWN][BLACK];
        if ((stepped & 7) > 0 && (own & SquareBit(stepped - 1))) Add(MakeMoveWord(stepped - 1, stepped - 8, PAWN));
        if ((stepped & 7) < 7 && (own & SquareBit(stepped + 1))) Add(MakeMoveWord(stepped + 1, stepped - 8, PAWN));
      }
    }
    PieceCaptures<BLACK, Add>(targets);
  }
}

}  // namespace

// The ordering score the adders give a move with the given safety flag: safe
// tactical moves from 100000 up, losing ones by their capture history.
int ScoreMove(Move move, int safe) {
  if ((move >> 15) == 0) return 100901;
  const int captured = MoveCaptured(move), mover = MovePiece(move);
  const int exchange = 10 * MvvLvaValue[captured] - MvvLvaValue[mover];
  if (safe) return exchange + (move >= 0x40000 ? 108000 : 100000);
  int ratio = CaptureRatio(move);
  const int promotion = MovePromotion(move);
  if (promotion != 0 && promotion != QUEEN) ratio = 0;
  int slot = ratio >> 4;
  if (slot > 16) slot = 16;  // a ratio above 1 cannot occur unless the history is inconsistent
  if (slot < 0) slot = 0;
  return exchange + CaptureRatioBonus[slot];
}

// Appends the move with its safety flag and score.
void AddCapture(Move move) {
  const uint32_t flag = CaptureSafety(move);
  PushEntry(move, ScoreMove(move, (int)flag), flag);
}

// Appends the move only when it is exchange-safe.
void AddGoodCapture(Move move) {
  if (!CaptureSafety(move)) return;
  PushEntry(move, ScoreMove(move, 1), 1);
}

// Every capture of the side to move onto the targets, plus en passant.
void GenerateCaptures(Bitboard targets) { CaptureWalk<AddCapture>(targets); }

// The exchange-safe captures onto the targets, plus en passant.
void GenerateGoodCaptures(Bitboard targets) { CaptureWalk<AddGoodCapture>(targets); }

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
