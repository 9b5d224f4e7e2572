// Quiet moves of the side to move (no captures, no promotions, castling
// included), scored by the quiet history and the follow-up move tables.
#include "board/attacks.h"
#include "board/movegen.h"
#include "board/ordering.h"

namespace {

// King moves and the en-passant shape are safe without an exchange test.
inline bool SafeUntested(Move move) {
  const int piece = MovePiece(move);
  if (piece == KING) return true;
  return piece == PAWN && MoveCaptured(move) == 0 && MovePromotion(move) == 0 &&
         ((MoveFrom(move) ^ MoveTo(move)) & 1);
}

// Exchange-safety of a quiet move: the shapes above are safe untested;
// everything else goes to the exchange test.
inline uint32_t QuietSafety(Move move) {
  if (SafeUntested(move)) return 1;
  return (uint32_t)SeeNonNegative(move);
}

// The opponent's attack sets for the exchange tests of the walk in progress.
QuietExchangeSets WalkEnemy;

// QuietSafety for the moves of a walk: the same answer, sharing the
// opponent's attack sets between the moves.
inline uint32_t WalkSafety(Move move) {
  if (SafeUntested(move)) return 1;
  return (uint32_t)SeeQuietNonNegative(move, &WalkEnemy);
}

// The two remembered answers to the side's own previous move; 0 (no move
// word) when there is no such move yet.
inline void CurrentFollowUps(Move* first, Move* second) {
  *first = *second = 0;
  if (GamePly <= 1) return;
  const Move previous = GameHistory[GamePly - 2].move;
  const int slot = PieceSlot[MovePiece(previous)];
  const int previousTo = MoveTo(previous);
  const int side = thread_board.SideToMove;
  *first = FollowUpMoves[0][previousTo][slot][side];
  *second = FollowUpMoves[1][previousTo][slot][side];
}

// History score of the move in the half of the flag, raised when the move is
// one of the two remembered answers to the side's own previous move.
inline int32_t QuietScoreWith(Move move, uint32_t safe, uint32_t historyArgument, Move first, Move second) {
  const int from = MoveFrom(move), to = MoveTo(move);
  const int side = thread_board.SideToMove;
  int32_t score =
      (int32_t)HistoryTable[safe][historyArgument & 1][HistoryClass[MovePiece(move)]][from + 64 * to][side];
  if (move == first)
    score += (score * 148) >> 8;
  else if (move == second)
    score += (score * 138) >> 8;
  return score;
}

inline void PushQuietWith(Move move, uint32_t flag, uint32_t historyArgument, Move first, Move second) {
  MoveEntry& entry = MoveStack[MoveStackTop];
  entry.move = move;
  entry.score = QuietScoreWith(move, flag, historyArgument, first, second);
  entry.flag = flag;
  MoveStackTop++;
}

inline void PushQuiet(Move move, uint32_t flag, uint32_t historyArgument) {
  Move first, second;
  CurrentFollowUps(&first, &second);
  PushQuietWith(move, flag, historyArgument, first, second);
}

// The follow-up moves of the walk in progress, looked up once for all its moves.
Move WalkFollowUp[2];

// Appends a move from `from` by `piece` to each square of the set, lowest first.
template <void (*Add)(Move, uint32_t)>
inline void AddMovesFrom(int from, int piece, Bitboard destinations, uint32_t historyArgument) {
  while (destinations) {
    const int to = PopLSB(&destinations);
    Add(MakeMoveWord(from, to, piece), historyArgument);
  }
}

// Knights and bishops of colour S onto empty squares.
template <int S, void (*Add)(Move, uint32_t)>
inline void MinorMoves(Bitboard empty, uint32_t historyArgument) {
  Bitboard set = thread_board.Pieces[KNIGHT][S];
  while (set) {
    const int from = PopLSB(&set);
    AddMovesFrom<Add>(from, KNIGHT, KnightAttacks[from] & empty, historyArgument);
  }
  set = thread_board.Pieces[BISHOP][S];
  while (set) {
    const int from = PopLSB(&set);
    AddMovesFrom<Add>(from, BISHOP, BishopLines(from) & empty, historyArgument);
  }
}

// Rooks, queens and the king of colour S onto empty squares.
template <int S, void (*Add)(Move, uint32_t)>
inline void MajorAndKingMoves(Bitboard empty, uint32_t historyArgument) {
  Bitboard set = thread_board.Pieces[ROOK][S];
  while (set) {
    const int from = PopLSB(&set);
    AddMovesFrom<Add>(from, ROOK, RookLines(from) & empty, historyArgument);
  }
  set = thread_board.Pieces[QUEEN][S];
  while (set) {
    const int from = PopLSB(&set);
    AddMovesFrom<Add>(from, QUEEN, (RookLines(from) | BishopLines(from)) & empty, historyArgument);
  }
  const int king = thread_board.KingSquare[S];
  AddMovesFrom<Add>(king, KING, KingAttacks[king] & empty, historyArgument);
}

// The quiet moves in generation order: castling, knights, bishops, pawns,
// rooks, queens, king. The BLACK path mirrors the WHITE one on the ranks
// (castling on rank 8 with rights 4 and 8, pawns pushing down from rank 7),
// and walks its pawns from the highest square down.
template <void (*Add)(Move, uint32_t)>
void QuietWalk(uint32_t historyArgument) {
  BeginQuietExchanges(&WalkEnemy);
  CurrentFollowUps(&WalkFollowUp[0], &WalkFollowUp[1]);
  const Bitboard occupied = thread_board.Occupied;
  const Bitboard empty = ~occupied;
  const uint32_t rights = thread_board.CastleFlags;
  if (thread_board.SideToMove == WHITE) {
    if ((rights & 1) && !(occupied & (SquareBit(F1) | SquareBit(G1))) && !SquareAttacked(BLACK, F1) &&
        !SquareAttacked(BLACK, G1))
      AddQuietMove(CASTLE_WHITE_SHORT, historyArgument);
    if ((rights & 2) && !(occupied & (SquareBit(D1) | SquareBit(C1) | SquareBit(B1))) && !SquareAttacked(BLACK, D1) &&
        !SquareAttacked(BLACK, C1))
      AddQuietMove(CASTLE_WHITE_LONG, historyArgument);
    MinorMoves<WHITE, Add>(empty, historyArgument);
    Bitboard pawns = thread_board.Pieces[PAWN][WHITE] & ~0x00FF000000000000ULL & (empty >> 8);
    while (pawns) {
      const int from = PopLSB(&pawns);
      Add(MakeMoveWord(from, from + 8, PAWN), historyArgument);
      if (from < 16 && (empty & SquareBit(from + 16))) Add(MakeMoveWord(from, from + 16, PAWN), historyArgument);
    }
    MajorAndKingMoves<WHITE, Add>(empty, historyArgument);
  } else {
    if ((rights & 4) && !(occupied & (SquareBit(F8) | SquareBit(G8))) && !SquareAttacked(WHITE, F8) &&
        !SquareAttacked(WHITE, G8))
      AddQuietMove(CASTLE_BLACK_SHORT, historyArgument);
    if ((rights & 8) && !(occupied & (SquareBit(D8) | SquareBit(C8) | SquareBit(B8))) && !SquareAttacked(WHITE, D8) &&
        !SquareAttacked(WHITE, C8))
      AddQuietMove(CASTLE_BLACK_LONG, historyArgument);
    MinorMoves<BLACK, Add>(empty, historyArgument);
    Bitboard pawns = thread_board.Pieces[PAWN][BLACK] & ~0x000000000000FF00ULL & (empty << 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      Add(MakeMoveWord(from, from - 8, PAWN), historyArgument);
      if (from > 47 && (empty & SquareBit(from - 16))) Add(MakeMoveWord(from, from - 16, PAWN), historyArgument);
    }
    MajorAndKingMoves<BLACK, Add>(empty, historyArgument);
  }
}

// The adders of the walk: AddQuietMoveWithSafety and AddSafeQuietMove with
// the shared attack sets and follow-up moves, inlined into the walk (a call
// per move costs more than the work).
[[gnu::always_inline]] inline void WalkAddWithSafety(Move move, uint32_t historyArgument) {
  PushQuietWith(move, WalkSafety(move), historyArgument, WalkFollowUp[0], WalkFollowUp[1]);
}
[[gnu::always_inline]] inline void WalkAddSafe(Move move, uint32_t historyArgument) {
  if (!WalkSafety(move)) return;
  PushQuietWith(move, 1, historyArgument, WalkFollowUp[0], WalkFollowUp[1]);
}

}  // namespace

// Appends the move with its exchange-safety flag.
void AddQuietMoveWithSafety(Move move, uint32_t historyArgument) {
  PushQuiet(move, QuietSafety(move), historyArgument);
}

// Appends the move only when it does not lose material.
void AddSafeQuietMove(Move move, uint32_t historyArgument) {
  if (!QuietSafety(move)) return;
  PushQuiet(move, 1, historyArgument);
}

// Appends the move as safe without testing it (castling, quiet checks).
void AddQuietMove(Move move, uint32_t historyArgument) { PushQuiet(move, 1, historyArgument); }

// Every quiet move of the side to move, each with its safety flag.
void GenerateQuietMoves(uint32_t historyArgument) { QuietWalk<WalkAddWithSafety>(historyArgument); }

// The quiet moves that do not lose material (castling always).
void GenerateSafeQuietMoves(uint32_t historyArgument) { QuietWalk<WalkAddSafe>(historyArgument); }
