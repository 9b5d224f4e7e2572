// Making and taking back a move. Every incremental field of the position is
// updated in place; the undo record keeps only what the move word cannot
// give back (keys, counters, rights, material index, piece-square sum).
//
// Both operations exist once per side to move: the template argument S is the
// mover's colour, O the other colour, and every square and count follows from
// them, so the WHITE and BLACK paths are separate straight-line code.
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
template <int O>
static inline void RemoveCaptured(unsigned captured, unsigned to, Bitboard toBit) {
  ThreadBoard& b = thread_board;
  b.PieceTotal--;
  b.Colour[O] &= ~toBit;
  PstTake<O>(captured, to);
  b.Rule50 = 0;
  if (captured == KING) return;  // only reached from illegal positions
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
  if (b.MaterialIndex != MATERIAL_OUTSIDE)
    b.MaterialIndex -= MaterialWeight[captured][O];
  else if (captured != PAWN && count == 2)
    IndexMaterial();
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

template <int S>
static inline void MakeMoveSide(Move move) {
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

  if (captured) {
    b.Occupied = (b.Occupied ^ m) | toBit;
    RemoveCaptured<O>(captured, to, toBit);
  } else {
    b.Occupied ^= m;
    b.Rule50++;
  }

  if (piece == PAWN) {
    b.Rule50 = 0;
    b.PawnKey ^= ZobristPieces[S][PAWN][from];
    if (promotion) {
      // The pawn does not arrive: the promoted piece takes its place on `to`.
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
    } else {
      b.PawnKey ^= ZobristPieces[S][PAWN][to];
      if (!captured && ((from ^ to) & 1)) {
        // En passant: the captured pawn stands beside `to` on the from rank.
        int square = (from & 56) | (to & 7);
        Bitboard bit = SquareBit(square);
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
    }
  } else if (piece == ROOK) {
    b.CastleFlags &= CastleMask[from];
  } else if (piece == KING) {
    b.KingSquare[S] = to;
    b.CastleFlags &= CastleMask[from];
    constexpr int home = S == WHITE ? E1 : E8;
    if (from == home && to == home + 2) {
      MoveCastlingRook<S>(home + 3, home + 1);
      b.HashKey ^= ZobristPieces[S][ROOK][home + 3] ^ ZobristPieces[S][ROOK][home + 1];
      PstTake<S>(ROOK, home + 3);
      PstPut<S>(ROOK, home + 1);
    } else if (from == home && to == home - 2) {
      MoveCastlingRook<S>(home - 4, home - 1);
      b.HashKey ^= ZobristPieces[S][ROOK][home - 4] ^ ZobristPieces[S][ROOK][home - 1];
      PstTake<S>(ROOK, home - 4);
      PstPut<S>(ROOK, home - 1);
    }
  }
}

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
  if (b.SideToMove == WHITE)
    MakeMoveSide<WHITE>(move);
  else
    MakeMoveSide<BLACK>(move);
  record.move = move;
  GamePly++;
  b.SideToMove ^= 1;
}

// Takes back a move of S from the move word; keys, rights, counters and the
// material index come back from the undo record afterwards.
template <int S>
static inline void UnmakeMoveSide(Move move) {
  constexpr int O = S ^ 1;
  ThreadBoard& b = thread_board;
  const unsigned from = move & 63, to = (move >> 6) & 63;
  const unsigned piece = (move >> 12) & 7, captured = (move >> 15) & 7, promotion = move >> 18;
  Bitboard fromBit = SquareBit(from), toBit = SquareBit(to), m = fromBit | toBit;

  if (promotion) {
    // Replace the promoted piece on `to` by the pawn, so the mover's toggle
    // below carries the pawn back to `from`.
    b.Pieces[promotion][S] &= ~toBit;
    b.Pieces[PAWN][S] |= toBit;
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
  }

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

  if (piece == PAWN) {
    b.PawnKey ^= ZobristPieces[S][PAWN][from];
    if (!promotion) b.PawnKey ^= ZobristPieces[S][PAWN][to];
    if (!captured && !promotion && ((from ^ to) & 1)) {
      int square = (from & 56) | (to & 7);
      Bitboard bit = SquareBit(square);
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
  } else if (piece == KING) {
    b.KingSquare[S] = from;
    constexpr int home = S == WHITE ? E1 : E8;
    if (from == home && to == home + 2)
      MoveCastlingRook<S>(home + 1, home + 3);
    else if (from == home && to == home - 2)
      MoveCastlingRook<S>(home - 1, home - 4);
  }
}

void UnmakeMove() {
  ThreadBoard& b = thread_board;
  GamePly--;
  b.SideToMove ^= 1;
  const UndoRecord& record = GameHistory[GamePly];
  if (b.SideToMove == WHITE)
    UnmakeMoveSide<WHITE>(record.move);
  else
    UnmakeMoveSide<BLACK>(record.move);
  b.CastleFlags = record.CastleFlags;
  b.Rule50 = record.Rule50;
  b.PstSum = record.PstSum;
  b.HashKey = record.HashKey;
  b.MaterialIndex = record.MaterialIndex;
}
