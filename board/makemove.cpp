// Making and taking back a move. Every incremental field of the position is
// updated in place; the undo record keeps only what the move word cannot
// give back (keys, counters, rights, material index, piece-square sum).
//
// Both operations exist once per side to move: the template argument S is the
// mover's colour, O the other colour, and every square and count follows from
// them, so the WHITE and BLACK paths are separate straight-line code.
//
// Every call ends its caller, so that it is a jump and nothing has to be
// kept in registers across it: MakeMove and UnmakeMove do their share of the
// undo record, the ply and the side first and then go to the side's
// function, and the rare parts (promotion, en passant, castling, the
// material index recomputed from the counts) are functions of their own that
// the side's function goes to last. The common move then keeps fewer values
// in saved registers and on the stack.
#include "board/position.h"
#include "board/pst.h"
#include "board/rotated.h"
#include "board/zobrist.h"

static inline int32_t PstEntry(unsigned code, unsigned colour, unsigned square) {
  return PieceSquareTables[code << 7 | colour << 6 | square];
}

// Adds the piece's piece-square term to PstSum (BLACK adds, WHITE subtracts).
template <int C>
static inline void PstPut(unsigned code, unsigned square) {
  int32_t v = PstEntry(code, C, square);
  thread_board.PstSum = C == BLACK ? PackedAdd(thread_board.PstSum, v) : PackedSub(thread_board.PstSum, v);
}
template <int C>
static inline void PstTake(unsigned code, unsigned square) {
  int32_t v = PstEntry(code, C, square);
  thread_board.PstSum = C == BLACK ? PackedSub(thread_board.PstSum, v) : PackedAdd(thread_board.PstSum, v);
}

// Removes the O piece captured on `to` (captured code not 0) from every
// field but Board and the occupancies of `to`, which the mover now holds.
// Returns 1 when the material index has to be recomputed from the counts
// (a count fell back to 2 from outside the table); the caller does that
// once the rest of the move is made.
template <int O>
static inline int RemoveCaptured(unsigned captured, unsigned to, Bitboard toBit) {
  ThreadBoard& b = thread_board;
  b.PieceTotal--;
  b.Colour[O] &= ~toBit;
  PstTake<O>(captured, to);
  b.Rule50 = 0;
  if (captured == KING) return 0;  // only reached from illegal positions
  b.Pieces[captured][O] &= ~toBit;
  b.HashKey ^= ZobristPieces[O][captured][to];
  b.Material[O] -= PieceValue[captured];
  int count = --b.PieceCount[captured][O];
  switch (captured) {
    case PAWN:
      b.PawnKey ^= ZobristPieces[O][PAWN][to];
      break;
    case KNIGHT:
      b.Minors[O]--;
      b.PieceUnits[O] -= 3;
      break;
    case BISHOP:
      b.BishopQueens ^= toBit;
      b.Minors[O]--;
      b.PieceUnits[O] -= 3;
      break;
    case ROOK:
      b.CastleFlags &= CastleMask[to];
      b.RookQueens ^= toBit;
      b.PieceUnits[O] -= 5;
      b.Majors[O]--;
      break;
    case QUEEN:
      b.RookQueens ^= toBit;
      b.BishopQueens ^= toBit;
      b.PieceUnits[O] -= 9;
      b.Majors[O] -= 2;
      break;
  }
  if (b.MaterialIndex != MATERIAL_OUTSIDE) {
    b.MaterialIndex -= MaterialWeight[captured][O];
    return 0;
  }
  return captured != PAWN && count == 2;
}

// Moves the castling rook between its two squares (used both ways).
template <int S>
static inline void MoveCastlingRook(int rookFrom, int rookTo) {
  ThreadBoard& b = thread_board;
  Bitboard m = SquareBit(rookFrom) | SquareBit(rookTo);
  b.Board[rookTo] = b.Board[rookFrom];
  b.Board[rookFrom] = 0;
  ToggleRotated(rookFrom);
  ToggleRotated(rookTo);
  b.Colour[S] ^= m;
  b.Occupied ^= m;
  b.Pieces[ROOK][S] ^= m;
  b.RookQueens ^= m;
}

// The pawn of S that moved to `to` becomes the promotion piece; `reindex`
// carries the material index recomputation a capture on `to` asked for.
template <int S>
[[gnu::noinline, gnu::cold]] static void PromotePawn(unsigned to, unsigned promotion, int reindex) {
  ThreadBoard& b = thread_board;
  const Bitboard toBit = SquareBit(to);
  if (reindex) IndexMaterial();
  b.Pieces[PAWN][S] &= ~toBit;
  b.PieceCount[PAWN][S]--;
  PstTake<S>(PAWN, to);
  PstPut<S>(promotion, to);
  b.HashKey ^= ZobristPieces[S][PAWN][to] ^ ZobristPieces[S][promotion][to];
  b.Board[to] = promotion;
  b.Pieces[promotion][S] |= toBit;
  b.Material[S] += PieceValue[promotion] - 100;
  int count = ++b.PieceCount[promotion][S];
  switch (promotion) {
    case QUEEN:
      b.PieceUnits[S] += 9;
      b.Majors[S] += 2;
      b.RookQueens |= toBit;
      b.BishopQueens |= toBit;
      break;
    case ROOK:
      b.PieceUnits[S] += 5;
      b.Majors[S] += 1;
      b.RookQueens |= toBit;
      break;
    case BISHOP:
      b.PieceUnits[S] += 3;
      b.Minors[S] += 1;
      b.BishopQueens |= toBit;
      break;
    default:  // knight
      b.PieceUnits[S] += 3;
      b.Minors[S] += 1;
      break;
  }
  if (b.MaterialIndex != MATERIAL_OUTSIDE && count < 3)
    b.MaterialIndex += MaterialWeight[promotion][S] - MaterialWeight[PAWN][S];
  else
    b.MaterialIndex = MATERIAL_OUTSIDE;
}

// The en-passant capture of a pawn of S from `from` to `to`: the captured
// pawn stands beside `to` on the from rank.
template <int S>
[[gnu::noinline, gnu::cold]] static void TakeEnPassant(unsigned from, unsigned to) {
  constexpr int O = S ^ 1;
  ThreadBoard& b = thread_board;
  const unsigned square = (from & 56) | (to & 7);
  const Bitboard bit = SquareBit(square);
  b.Board[square] = 0;
  ClearRotated(square);
  b.Colour[O] &= ~bit;
  b.Pieces[PAWN][O] &= ~bit;
  b.Occupied &= ~bit;
  b.HashKey ^= ZobristPieces[O][PAWN][square];
  b.PawnKey ^= ZobristPieces[O][PAWN][square];
  PstTake<O>(PAWN, square);
  b.PieceTotal--;
  b.Material[O] -= 100;
  b.PieceCount[PAWN][O]--;
  if (b.MaterialIndex != MATERIAL_OUTSIDE) b.MaterialIndex -= MaterialWeight[PAWN][O];
}

// The rook's half of a castling move of S whose king went to `to`, and the
// material index recomputation when `reindex` asks for it.
template <int S>
[[gnu::noinline, gnu::cold]] static void CastleRook(unsigned to, int reindex) {
  ThreadBoard& b = thread_board;
  constexpr int home = S == WHITE ? E1 : E8;
  if (reindex) IndexMaterial();
  if (to == home + 2) {
    MoveCastlingRook<S>(home + 3, home + 1);
    b.HashKey ^= ZobristPieces[S][ROOK][home + 3] ^ ZobristPieces[S][ROOK][home + 1];
    PstTake<S>(ROOK, home + 3);
    PstPut<S>(ROOK, home + 1);
  } else {
    MoveCastlingRook<S>(home - 4, home - 1);
    b.HashKey ^= ZobristPieces[S][ROOK][home - 4] ^ ZobristPieces[S][ROOK][home - 1];
    PstTake<S>(ROOK, home - 4);
    PstPut<S>(ROOK, home - 1);
  }
}

// The move of S; a function of its own (not inlined), so that MakeMove ends
// with a jump to it.
template <int S>
[[gnu::noinline]] static void MakeMoveSide(Move move) {
  constexpr int O = S ^ 1;
  ThreadBoard& b = thread_board;
  const unsigned from = move & 63, to = (move >> 6) & 63;
  const unsigned piece = (move >> 12) & 7, captured = (move >> 15) & 7, promotion = move >> 18;
  Bitboard fromBit = SquareBit(from), toBit = SquareBit(to), m = fromBit | toBit;

  // The mover leaves `from` and arrives on `to`.
  if (piece & 4) {
    if (piece & 1) b.RookQueens ^= m;
    if (piece & 2) b.BishopQueens ^= m;
  }
  b.Colour[S] ^= m;
  b.Pieces[piece][S] ^= m;
  b.HashKey ^= ZobristPieces[S][piece][to] ^ ZobristPieces[S][piece][from];
  ClearRotated(from);
  b.Board[from] = 0;
  b.Board[to] = piece;
  SetRotated(to);
  PstTake<S>(piece, from);
  PstPut<S>(piece, to);

  int reindex = 0;
  if (captured) {
    b.Occupied = (b.Occupied ^ m) | toBit;
    reindex = RemoveCaptured<O>(captured, to, toBit);
  } else {
    b.Occupied ^= m;
    b.Rule50++;
  }

  // The rare parts end the move (each one also takes over the index).
  if (piece == PAWN) {
    b.Rule50 = 0;
    b.PawnKey ^= ZobristPieces[S][PAWN][from];
    if (promotion) return PromotePawn<S>(to, promotion, reindex);
    b.PawnKey ^= ZobristPieces[S][PAWN][to];
    if (!captured && ((from ^ to) & 1)) return TakeEnPassant<S>(from, to);
  } else if (piece == ROOK) {
    b.CastleFlags &= CastleMask[from];
  } else if (piece == KING) {
    b.KingSquare[S] = to;
    b.CastleFlags &= CastleMask[from];
    constexpr int home = S == WHITE ? E1 : E8;
    if (from == home && (to == home + 2 || to == home - 2)) return CastleRook<S>(to, reindex);
  }
  if (reindex) IndexMaterial();
}

// The undo record is written and the ply and side advanced first, so that
// the side's move ends the function.
void MakeMove(Move move, int saveState) {
  ThreadBoard& b = thread_board;
  UndoRecord& record = GameHistory[GamePly];
  if (saveState) {
    record.HashKey = b.HashKey;
    record.Rule50 = b.Rule50;
    record.CastleFlags = b.CastleFlags;
    record.MaterialIndex = b.MaterialIndex;
    record.PstSum = b.PstSum;
  }
  record.move = move;
  GamePly++;
  const int side = b.SideToMove;
  b.SideToMove = side ^ 1;
  if (side == WHITE)
    MakeMoveSide<WHITE>(move);
  else
    MakeMoveSide<BLACK>(move);
}

// Takes back the promotion of a pawn of S on `to`, after the common part
// carried the pawn back and put the captured piece (if any) back on `to`:
// the pawn leaves `to` again and the promoted piece with everything it
// counted goes; the slider sets keep the captured piece.
template <int S>
[[gnu::noinline, gnu::cold]] static void UnpromotePawn(unsigned to, unsigned promotion, unsigned captured) {
  ThreadBoard& b = thread_board;
  const Bitboard toBit = SquareBit(to);
  b.Pieces[promotion][S] &= ~toBit;
  b.Pieces[PAWN][S] &= ~toBit;
  b.PieceCount[promotion][S]--;
  b.PieceCount[PAWN][S]++;
  b.Material[S] -= PieceValue[promotion] - 100;
  switch (promotion) {
    case QUEEN:
      b.PieceUnits[S] -= 9;
      b.Majors[S] -= 2;
      b.RookQueens &= ~toBit;
      b.BishopQueens &= ~toBit;
      break;
    case ROOK:
      b.PieceUnits[S] -= 5;
      b.Majors[S] -= 1;
      b.RookQueens &= ~toBit;
      break;
    case BISHOP:
      b.PieceUnits[S] -= 3;
      b.Minors[S] -= 1;
      b.BishopQueens &= ~toBit;
      break;
    default:
      b.PieceUnits[S] -= 3;
      b.Minors[S] -= 1;
      break;
  }
  if (captured & 4) {
    if (captured & 1) b.RookQueens |= toBit;
    if (captured & 2) b.BishopQueens |= toBit;
  }
}

// Puts back the pawn of the other side that an en-passant capture of S from
// `from` to `to` took.
template <int S>
[[gnu::noinline, gnu::cold]] static void PutBackEnPassant(unsigned from, unsigned to) {
  constexpr int O = S ^ 1;
  ThreadBoard& b = thread_board;
  const unsigned square = (from & 56) | (to & 7);
  const Bitboard bit = SquareBit(square);
  b.Board[square] = PAWN;
  SetRotated(square);
  b.Colour[O] |= bit;
  b.Pieces[PAWN][O] |= bit;
  b.Occupied |= bit;
  b.PawnKey ^= ZobristPieces[O][PAWN][square];
  b.PieceTotal++;
  b.Material[O] += 100;
  b.PieceCount[PAWN][O]++;
}

// The rook's half of taking back a castling move of S whose king went to `to`.
template <int S>
[[gnu::noinline, gnu::cold]] static void UncastleRook(unsigned to) {
  constexpr int home = S == WHITE ? E1 : E8;
  if (to == home + 2)
    MoveCastlingRook<S>(home + 1, home + 3);
  else
    MoveCastlingRook<S>(home - 1, home - 4);
}

// Takes back a move of S from the move word; keys, rights, counters and the
// material index come back from the undo record. A function of its own, like
// MakeMoveSide.
template <int S>
[[gnu::noinline]] static void UnmakeMoveSide(Move move) {
  constexpr int O = S ^ 1;
  ThreadBoard& b = thread_board;
  const unsigned from = move & 63, to = (move >> 6) & 63;
  const unsigned piece = (move >> 12) & 7, captured = (move >> 15) & 7, promotion = move >> 18;
  Bitboard fromBit = SquareBit(from), toBit = SquareBit(to), m = fromBit | toBit;

  // The mover goes back to `from` (a promoted pawn as the pawn, put right
  // at the end).
  if (piece & 4) {
    if (piece & 1) b.RookQueens ^= m;
    if (piece & 2) b.BishopQueens ^= m;
  }
  b.Colour[S] ^= m;
  b.Pieces[piece][S] ^= m;
  b.Board[from] = piece;
  b.Board[to] = captured;
  SetRotated(from);

  if (captured) {
    b.Occupied ^= fromBit;
    b.PieceTotal++;
    b.Colour[O] |= toBit;
    if (captured != KING) {
      b.Pieces[captured][O] |= toBit;
      b.Material[O] += PieceValue[captured];
      b.PieceCount[captured][O]++;
      switch (captured) {
        case PAWN:
          b.PawnKey ^= ZobristPieces[O][PAWN][to];
          break;
        case KNIGHT:
          b.Minors[O]++;
          b.PieceUnits[O] += 3;
          break;
        case BISHOP:
          b.BishopQueens |= toBit;
          b.Minors[O]++;
          b.PieceUnits[O] += 3;
          break;
        case ROOK:
          b.RookQueens |= toBit;
          b.PieceUnits[O] += 5;
          b.Majors[O]++;
          break;
        case QUEEN:
          b.RookQueens |= toBit;
          b.BishopQueens |= toBit;
          b.PieceUnits[O] += 9;
          b.Majors[O] += 2;
          break;
      }
    }
  } else {
    b.Occupied ^= m;
    ClearRotated(to);
  }

  // The rare parts end the take-back.
  if (piece == PAWN) {
    b.PawnKey ^= ZobristPieces[S][PAWN][from];
    if (promotion) return UnpromotePawn<S>(to, promotion, captured);
    b.PawnKey ^= ZobristPieces[S][PAWN][to];
    if (!captured && ((from ^ to) & 1)) return PutBackEnPassant<S>(from, to);
  } else if (piece == KING) {
    b.KingSquare[S] = from;
    constexpr int home = S == WHITE ? E1 : E8;
    if (from == home && (to == home + 2 || to == home - 2)) return UncastleRook<S>(to);
  }
}

// The saved fields come back first, so that the side's take-back ends the
// function.
void UnmakeMove() {
  ThreadBoard& b = thread_board;
  GamePly--;
  const int side = b.SideToMove ^ 1;
  b.SideToMove = side;
  const UndoRecord& record = GameHistory[GamePly];
  b.CastleFlags = record.CastleFlags;
  b.Rule50 = record.Rule50;
  b.PstSum = record.PstSum;
  b.HashKey = record.HashKey;
  b.MaterialIndex = record.MaterialIndex;
  if (side == WHITE)
    UnmakeMoveSide<WHITE>(record.move);
  else
    UnmakeMoveSide<BLACK>(record.move);
}
