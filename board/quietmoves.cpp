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

// A history score raised when the move is one of the two remembered answers
// to the side's own previous move.
inline int32_t WithFollowUpBonus(int32_t score, Move move, Move first, Move second) {
  if (move == first)
    score += (score * 148) >> 8;
  else if (move == second)
    score += (score * 138) >> 8;
  return score;
}

// History score of the move in the half of the flag, with the follow-up bonus.
inline int32_t QuietScoreWith(Move move, uint32_t safe, uint32_t historyArgument, int side, Move first, Move second) {
  const int from = MoveFrom(move), to = MoveTo(move);
  const int32_t score =
      (int32_t)HistoryTable[safe][historyArgument & 1][HistoryClass[MovePiece(move)]][from + 64 * to][side];
  return WithFollowUpBonus(score, move, first, second);
}

inline void PushQuietWith(Move move, uint32_t flag, uint32_t historyArgument, Move first, Move second) {
  MoveEntry& entry = MoveStack[MoveStackTop];
  entry.move = move;
  entry.score = QuietScoreWith(move, flag, historyArgument, thread_board.SideToMove, first, second);
  entry.flag = flag;
  MoveStackTop++;
}

inline void PushQuiet(Move move, uint32_t flag, uint32_t historyArgument) {
  Move first, second;
  CurrentFollowUps(&first, &second);
  PushQuietWith(move, flag, historyArgument, first, second);
}

// What the moves of one walk share: the next free entry of MoveStack, the
// history block of the walk for either safety flag and the follow-up moves,
// kept in registers while the walk runs (the walk writes MoveStackTop back
// at its end).
struct WalkState {
  MoveEntry* out;
  const uint32_t (*history[2])[4096][2];
  Move first, second;
};

// Appends the move of colour S from `from` to `to` by `piece` with its
// safety flag, or, unless KEEP_LOSING, only when it is safe. The score is
// QuietScoreWith's, the piece's history class known at compile time.
template <int S, bool KEEP_LOSING>
[[gnu::always_inline]] inline void WalkAdd(WalkState& w, int from, int to, int piece) {
  const Move move = MakeMoveWord(from, to, piece);
  const uint32_t flag = WalkSafety(move);
  if (!KEEP_LOSING && !flag) return;
  const int32_t score = (int32_t)w.history[flag][HistoryClass[piece]][from + 64 * to][S];
  MoveEntry& entry = *w.out++;
  entry.move = move;
  entry.score = WithFollowUpBonus(score, move, w.first, w.second);
  entry.flag = flag;
}

// Appends a move from `from` by `piece` to each square of the set, lowest first.
template <int S, bool KEEP_LOSING>
[[gnu::always_inline]] inline void AddMovesFrom(WalkState& w, int from, int piece, Bitboard destinations) {
  while (destinations) {
    const int to = PopLSB(&destinations);
    WalkAdd<S, KEEP_LOSING>(w, from, to, piece);
  }
}

// The quiet moves of colour S in generation order: castling, knights,
// bishops, pawns, rooks, queens, king. The BLACK path mirrors the WHITE one on
// the ranks (castling on rank 8 with rights 4 and 8, pawns pushing down from
// rank 7), and walks its pawns from the highest square down.
template <int S, bool KEEP_LOSING>
void QuietWalk(uint32_t historyArgument) {
  const ThreadBoard& b = thread_board;
  BeginQuietExchanges(&WalkEnemy);
  WalkState w;
  CurrentFollowUps(&w.first, &w.second);
  w.history[0] = HistoryTable[0][historyArgument & 1];
  w.history[1] = HistoryTable[1][historyArgument & 1];
  const Bitboard occupied = b.Occupied;
  const Bitboard empty = ~occupied;
  const uint32_t rights = b.CastleFlags;

  // 1. Castling, through the general adder.
  constexpr int O = S ^ 1;
  constexpr int home = S == WHITE ? E1 : E8;
  constexpr uint32_t shortRight = S == WHITE ? 1 : 4, longRight = S == WHITE ? 2 : 8;
  if ((rights & shortRight) && !(occupied & (SquareBit(home + 1) | SquareBit(home + 2))) &&
      !SquareAttacked(O, home + 1) && !SquareAttacked(O, home + 2))
    AddQuietMove(S == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT, historyArgument);
  if ((rights & longRight) && !(occupied & (SquareBit(home - 1) | SquareBit(home - 2) | SquareBit(home - 3))) &&
      !SquareAttacked(O, home - 1) && !SquareAttacked(O, home - 2))
    AddQuietMove(S == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG, historyArgument);
  w.out = &MoveStack[MoveStackTop];

  // 2. Knights and bishops.
  for (Bitboard set = b.Pieces[KNIGHT][S]; set;) {
    const int from = PopLSB(&set);
    AddMovesFrom<S, KEEP_LOSING>(w, from, KNIGHT, KnightAttacks[from] & empty);
  }
  for (Bitboard set = b.Pieces[BISHOP][S]; set;) {
    const int from = PopLSB(&set);
    AddMovesFrom<S, KEEP_LOSING>(w, from, BISHOP, BishopLines(from) & empty);
  }

  // 3. Pawn steps, the double step from the second rank.
  if (S == WHITE) {
    Bitboard pawns = b.Pieces[PAWN][WHITE] & ~0x00FF000000000000ULL & (empty >> 8);
    while (pawns) {
      const int from = PopLSB(&pawns);
      WalkAdd<S, KEEP_LOSING>(w, from, from + 8, PAWN);
      if (from < 16 && (empty & SquareBit(from + 16))) WalkAdd<S, KEEP_LOSING>(w, from, from + 16, PAWN);
    }
  } else {
    Bitboard pawns = b.Pieces[PAWN][BLACK] & ~0x000000000000FF00ULL & (empty << 8);
    while (pawns) {
      const int from = MostSignificantBit(pawns);
      pawns ^= SquareBit(from);
      WalkAdd<S, KEEP_LOSING>(w, from, from - 8, PAWN);
      if (from > 47 && (empty & SquareBit(from - 16))) WalkAdd<S, KEEP_LOSING>(w, from, from - 16, PAWN);
    }
  }

  // 4. Rooks, queens and the king.
  for (Bitboard set = b.Pieces[ROOK][S]; set;) {
    const int from = PopLSB(&set);
    AddMovesFrom<S, KEEP_LOSING>(w, from, ROOK, RookLines(from) & empty);
  }
  for (Bitboard set = b.Pieces[QUEEN][S]; set;) {
    const int from = PopLSB(&set);
    AddMovesFrom<S, KEEP_LOSING>(w, from, QUEEN, (RookLines(from) | BishopLines(from)) & empty);
  }
  const int king = b.KingSquare[S];
  AddMovesFrom<S, KEEP_LOSING>(w, king, KING, KingAttacks[king] & empty);
  MoveStackTop = (int32_t)(w.out - MoveStack);
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
void GenerateQuietMoves(uint32_t historyArgument) {
  if (thread_board.SideToMove == WHITE)
    QuietWalk<WHITE, true>(historyArgument);
  else
    QuietWalk<BLACK, true>(historyArgument);
}

// The quiet moves that do not lose material (castling always).
void GenerateSafeQuietMoves(uint32_t historyArgument) {
  if (thread_board.SideToMove == WHITE)
    QuietWalk<WHITE, false>(historyArgument);
  else
    QuietWalk<BLACK, false>(historyArgument);
}
