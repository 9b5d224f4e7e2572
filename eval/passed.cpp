// Passed pawns: each passer by its rank, file, free advance, support, the
// kings around it and the material; rooks behind passers; the race of
// unstoppable passers; and the king-and-pawn shortcut with one pawn each.
// Sums run from BLACK's side. Each colour has its own straight-line path,
// generated from one template: WHITE's pawns run toward rank 8, BLACK's
// toward rank 1, and "rank" below is counted from the pawn's own side.
#include "eval/passed.h"

#include <cmath>

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "eval/endgame.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pieces.h"
#include "eval/sigmoid.h"
#include "eval/sliders.h"

namespace {

// Named parts of the parameter blocks.
inline const int32_t* PassedRankMg() { return PassedPawnParamsA + PASSED_RANK_MG; }
inline const int32_t* PassedRankEg() { return PassedPawnParamsA + PASSED_RANK_EG; }
inline const int32_t* PassedEdgeEg() { return PassedPawnParamsQ + PASSED_EDGE_EG; }
inline int32_t KingPawnLogisticHeight() { return PassedPawnParamsQ[KING_PAWN_LOGISTIC_HEIGHT]; }
inline int32_t KingPawnLogisticSlope() { return PassedPawnParamsQ[KING_PAWN_LOGISTIC_SLOPE]; }

// Parameters come from a file and may hold anything: every product is taken
// in 64 bits and saturated, and one passer's term is kept within this bound,
// far beyond any sound value, so that no sum of terms can overflow.
constexpr int64_t TERM_LIMIT = 1 << 20;
// A decided king-and-pawn score stays clear of the mate scores.
constexpr int64_t KING_PAWN_LIMIT = 30000;
constexpr Bitboard PAWN_RANKS = 0x00ffffffffffff00ULL;

inline int64_t Saturate(int64_t v, int64_t limit) { return Clamp64(v, -limit, limit); }
inline int32_t Saturate32(int64_t v) { return (int32_t)Saturate(v, INT32_MAX); }
inline Bitboard FlipVertical(Bitboard b) { return __builtin_bswap64(b); }

// Passed-file byte of a colour (the pawn block keeps BLACK's first).
inline int PassedByte(int colour) { return thread_board.PawnBlock.PassedVector[colour == BLACK ? 0 : 1]; }

template <int C> constexpr int Forward() { return C == WHITE ? 8 : -8; }

// Exchange on the empty stop square t of the pawn of colour C on s, with the
// pawn placed there: 1 when C does not lose material. The rook or queen
// behind the pawn on its file joins in, since the pawn's step uncovers it.
template <int C>
int StopSquareHolds(int s, int t) {
  const ThreadBoard& b = thread_board;
  constexpr int O = C ^ 1;
  Bitboard attackers = (b.Pieces[PAWN][WHITE] & BlackPawnAttacks[t]) | (b.Pieces[PAWN][BLACK] & WhitePawnAttacks[t]) |
                       ((b.Pieces[KNIGHT][WHITE] | b.Pieces[KNIGHT][BLACK]) & KnightAttacks[t]) |
                       ((b.Pieces[KING][WHITE] | b.Pieces[KING][BLACK]) & KingAttacks[t]) |
                       (b.RookQueens & RookAttacksOn(t, b.Occupied)) |
                       (b.BishopQueens & BishopAttacksOn(t, b.Occupied));
  attackers = AddXrayAttackers(attackers, s, Direction[t][s]) & ~SquareBit(s);
  if (attackers == 0) return 1;
  // C's balance once O has taken the pawn: the pawn is lost.
  int balance = -SeeWeight[PAWN];
  for (;;) {
    int q;
    int code = CheapestAttacker(attackers, O, &q);
    if (code == 0) return 1;
    attackers = RemoveAttacker(attackers, q, code, t);
    balance += SeeWeight[code];
    if (balance < 0) return 0;
    code = CheapestAttacker(attackers, C, &q);
    if (code == 0) return 0;
    // O's last capture was by its king onto a square C still guards.
    if (code == KING && balance > 100) return 1;
    attackers = RemoveAttacker(attackers, q, code, t);
    balance -= SeeWeight[code];
    if (balance >= 0) return 1;
  }
}

template <int C>
int CanAdvance(int s) {
  const int t = s + Forward<C>();
  if (thread_board.Occupied & SquareBit(t)) return 0;
  return StopSquareHolds<C>(s, t);
}

// Index of a king's place relative to the passer: the file distance (3 for
// three or more) and the rank difference seen from the passer's side,
// -2 (two or more behind) .. 3 (three or more ahead).
template <int C>
inline int KingPlace(int king, int file, int rank) {
  return Min(Abs(FileOf(king) - file), 3) + 4 * (Clamp(OwnRank(C, king) - rank, -2, 3) + 2);
}

template <int C>
void PassedPawnTerm(int s, int32_t side_mg[2], int32_t side_eg[2]) {
  const ThreadBoard& b = thread_board;
  constexpr int O = C ^ 1;
  const int t = s + Forward<C>();
  const int file = FileOf(s), rank = OwnRank(C, s);
  const int ownKing = b.KingSquare[C], enemyKing = b.KingSquare[O];

  const int advance = CanAdvance<C>(s);
  const int support = (b.Pieces[PAWN][C] & (PawnGuards(C, s) | PawnGuards(C, t))) != 0;
  const int code = advance | (support ? 2 : 0) | (PopCount8[PassedByte(C)] < 2 ? 4 : 0);
  const int edge = Min(file, 7 - file);
  const int material = Clamp(b.PieceUnits[C] - b.PieceUnits[O] + 6, 0, 12);

  int64_t mg = Saturate32((int64_t)PassedRankMg()[rank] * PassedCodeMg[code]);
  mg = Saturate32(mg * PassedEdgeMg[edge] / 4096);
  mg = Saturate(mg * PassedMaterialMg[material] / 64, TERM_LIMIT);

  const int ownDistance = KingDistance(ownKing, t), enemyDistance = KingDistance(enemyKing, t);
  const int shoulder = (Rectangle[s][enemyKing] & SquareBit(ownKing)) != 0;
  const int race = 8 + 2 * Clamp(ownDistance - enemyDistance, -4, 4) + shoulder;
  const int64_t kings = (int64_t)PassedOwnKing[KingPlace<C>(ownKing, file, rank)] +
                        PassedEnemyKing[KingPlace<C>(enemyKing, file, rank)] + PassedKingRace[race];
  const int blocked = (PassedMaskOf(C, s) & SquareBit(enemyKing)) != 0;
  int64_t eg = Saturate32((int64_t)PassedCodeEg[code + (blocked ? 8 : 0)] +
                          PawnEndgameSigmoid[Saturate(kings, 150) + 150]);
  eg = Saturate32(eg * PassedRankEg()[rank]);
  eg = Saturate32(eg * PassedEdgeEg()[edge] / 4096);
  eg = Saturate(eg * PassedMaterialEg[material] / 64, TERM_LIMIT);

  side_mg[O] -= (int32_t)mg;
  side_eg[O] -= (int32_t)eg;
}

// A rook behind the passer on its file with nothing between: the own rook
// helps it on (less when an enemy piece blocks the stop square), the enemy
// rook holds it back. Packed, from C's side; the tables are from BLACK's
// side, so WHITE reads the rank-mirrored square.
template <int C>
int32_t RookBehindTerm(int s) {
  const ThreadBoard& b = thread_board;
  constexpr int O = C ^ 1;
  const Bitboard behind = RookAttacksOn(s, b.Occupied) & FileBehind(C, s) & b.Occupied;
  if (behind == 0) return 0;
  const int square = C == BLACK ? s : s ^ 56;
  if (behind & b.Pieces[ROOK][C]) {
    const int blocked = (b.Colour[O] & SquareBit(s + Forward<C>())) != 0;
    return blocked ? PasserRookBehindBlocked[square] : PasserRookBehind[square];
  }
  if (behind & b.Pieces[ROOK][O]) return PackedSub(0, PasserEnemyRookBehind[square]);
  return 0;
}

// A knight of the other side catches the pawn. When C is to move the pawn
// steps first (two squares from its second rank; the path is known empty).
// A pawn that queens at once is caught by a knight that takes the new queen
// or forks it with the king; otherwise the knight-intercept table answers,
// which is laid out for pawns running toward rank 1: WHITE reads it through
// the rank mirror.
template <int C>
int KnightCatches(int s) {
  const ThreadBoard& b = thread_board;
  const Bitboard knights = b.Pieces[KNIGHT][C ^ 1];
  if (knights == 0) return 0;
  int q = s;
  if (b.SideToMove == C) q += OwnRank(C, s) == 1 ? 2 * Forward<C>() : Forward<C>();
  const int king = b.KingSquare[C];
  if (OwnRank(C, q) == 7) {
    const Bitboard targets = SquareBit(q) | (KnightAttacks[q] & KnightAttacks[king]);
    for (Bitboard set = knights; set;)
      if (KnightAttacks[PopLSB(&set)] & targets) return 1;
    return 0;
  }
  if (C == BLACK) return (KnightIntercept[q - 8][king] & knights) != 0;
  return (FlipVertical(KnightIntercept[(q ^ 56) - 8][king ^ 56]) & knights) != 0;
}

// The squares from which the enemy king catches the pawn of colour C on s
// (the rule of the square, a double step counted), with C to move or not.
template <int C> inline Bitboard CatchingSquares(int s, int toMove) {
  if (C == WHITE) return toMove ? WhitePawnSquareWtm[s] : WhitePawnSquareBtm[s];
  return toMove ? BlackPawnSquareBtm[s] : BlackPawnSquareWtm[s];
}

// A pawn with a clear path runs when the enemy king stands outside its
// square, or when the king-and-pawn table gives its side the win (its king
// escorts it); a knight in time still stops it.
template <int C>
int MovesIfUnstoppable(int s) {
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (FileAhead(C, s) & b.Occupied) return NO_UNSTOPPABLE_PASSER;
  const int toMove = b.SideToMove == C;
  const Bitboard enemyKing = SquareBit(b.KingSquare[C ^ 1]);
  const int caught = (CatchingSquares<C>(s, toMove) & enemyKing) != 0;
  // The answer with the other side to move differs: nothing can be derived.
  if (caught != ((CatchingSquares<C>(s, !toMove) & enemyKing) != 0)) e.derivable = 0;
  // The probe sees the pawn as WHITE's: BLACK's board is mirrored rank for
  // rank, which keeps the files and so the colour symmetry exact.
  const int side = toMove ? 0 : 1;
  const int wins = !caught ||
                   (C == WHITE ? ProbeKpk(side, s, b.KingSquare[WHITE], b.KingSquare[BLACK], &e.derivable)
                               : ProbeKpk(side, s ^ 56, b.KingSquare[BLACK] ^ 56, b.KingSquare[WHITE] ^ 56,
                                          &e.derivable));
  if (!wins) return NO_UNSTOPPABLE_PASSER;
  e.derivable = 0;
  if (KnightCatches<C>(s)) return NO_UNSTOPPABLE_PASSER;
  const int rank = OwnRank(C, s);
  return 7 - rank - (rank == 1 ? 1 : 0);
}

// Scores the passers of colour C (the front pawn of each passed file) and
// their rooks into the packed sum; finds C's fastest unstoppable passer when
// the other side has no rook, queen or bishop to stop it.
template <int C>
int32_t PassersOfColour(int32_t packed, int* raceMoves, int* raceSquare) {
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  constexpr int O = C ^ 1;
  const int races = (b.Pieces[ROOK][O] | b.Pieces[QUEEN][O] | b.Pieces[BISHOP][O]) == 0;
  for (int files = PassedByte(C); files; files &= files - 1) {
    // Pawns stand on ranks 2 to 7 only; the mask keeps every stop square
    // and rank index on the board even for a position set up by hand.
    const Bitboard onFile = e.passed_pawns[C] & FileMask[LowBit8[files]] & PAWN_RANKS;
    if (onFile == 0) continue;
    const int s = C == WHITE ? MostSignificantBit(onFile) : LeastSignificantBit(onFile);
    PassedPawnTerm<C>(s, e.side_mg, e.side_eg);
    const int32_t rooks = RookBehindTerm<C>(s);
    packed = C == BLACK ? PackedAdd(packed, rooks) : PackedSub(packed, rooks);
    if (races) {
      const int moves = MovesIfUnstoppable<C>(s);
      if (moves < *raceMoves) {
        *raceMoves = moves;
        *raceSquare = s;
      }
    }
  }
  return packed;
}

// The promotion square of the pawn of a colour on a square.
inline int PromotionSquare(int colour, int square) { return colour == WHITE ? 56 + FileOf(square) : FileOf(square); }

}  // namespace

void EvaluateWhitePassedPawn(int square, int32_t side_mg[2], int32_t side_eg[2]) {
  PassedPawnTerm<WHITE>(square, side_mg, side_eg);
}
void EvaluateBlackPassedPawn(int square, int32_t side_mg[2], int32_t side_eg[2]) {
  PassedPawnTerm<BLACK>(square, side_mg, side_eg);
}

int PasserCanAdvance(int colour, int square) {
  return colour == WHITE ? CanAdvance<WHITE>(square) : CanAdvance<BLACK>(square);
}

int KnightStopsPasser(int colour, int square) {
  return colour == WHITE ? KnightCatches<WHITE>(square) : KnightCatches<BLACK>(square);
}

int UnstoppablePasserMoves(int colour, int square) {
  return colour == WHITE ? MovesIfUnstoppable<WHITE>(square) : MovesIfUnstoppable<BLACK>(square);
}

// Counted in plies, the side to move making the first: a side with c moves
// to go queens at ply 2c - 1 when it is to move, at 2c otherwise, so one side
// always queens first. With a lead of five plies or more it has time to
// stop the other pawn; with three it wins by one move; with one (the same
// number of moves, the side to move first) only when its new queen covers
// the other pawn's promotion square on the board as it will be then.
int32_t PassedPawnRace(const int moves[2], const int squares[2]) {
  const int stm = thread_board.SideToMove == BLACK ? BLACK : WHITE;
  const int white = moves[WHITE], black = moves[BLACK];
  if (white >= NO_UNSTOPPABLE_PASSER && black >= NO_UNSTOPPABLE_PASSER) return 0;
  if (black >= NO_UNSTOPPABLE_PASSER) return PackedSub(0, PasserRaceWin[Clamp(white, 0, 7)]);
  if (white >= NO_UNSTOPPABLE_PASSER) return PasserRaceWin[Clamp(black, 0, 7)];
  const int plyWhite = 2 * white - (stm == WHITE), plyBlack = 2 * black - (stm == BLACK);
  const int first = plyWhite < plyBlack ? WHITE : BLACK, other = ChangeSide(first);
  const int lead = Abs(plyWhite - plyBlack);
  const int index = Clamp(moves[first], 0, 7);
  int32_t term = 0;
  if (lead >= 5) {
    term = PasserRaceLead[index];
  } else if (lead >= 3) {
    term = PasserRaceLeadOne[index];
  } else {
    const int queen = PromotionSquare(first, squares[first]);
    const int target = PromotionSquare(other, squares[other]);
    const Bitboard board = thread_board.Occupied & ~(SquareBit(squares[first]) | SquareBit(squares[other]));
    const Bitboard between = Between[queen][target] & ~SquareBit(queen);
    if (Direction[target][queen] != 0 && (between & board) == 0) term = PasserRaceEqual[index];
  }
  return first == BLACK ? term : PackedSub(0, term);
}

int32_t EvaluatePassedPawns(int32_t packed_score) {
  int moves[2] = {NO_UNSTOPPABLE_PASSER, NO_UNSTOPPABLE_PASSER};
  int squares[2] = {0, 0};
  int32_t packed = PassersOfColour<BLACK>(packed_score, &moves[BLACK], &squares[BLACK]);
  packed = PassersOfColour<WHITE>(packed, &moves[WHITE], &squares[WHITE]);
  if (moves[WHITE] < NO_UNSTOPPABLE_PASSER || moves[BLACK] < NO_UNSTOPPABLE_PASSER) {
    thread_eval_info.derivable = 0;
    packed = PackedAdd(packed, PassedPawnRace(moves, squares));
  }
  return packed;
}

// One pawn each and no pieces: the endgame sum d is squeezed by a logistic
// of its size, which pulls small leads (mostly draws) toward 0 and leaves
// large ones (a pawn that queens) almost whole. No tempo and no scaling.
int EvaluateKingPawnEnding(int32_t* score) {
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (b.Material[WHITE] != 100 || b.Material[BLACK] != 100) return 0;
  const int64_t d =
      Saturate((int64_t)e.side_eg[BLACK] - e.side_eg[WHITE] + PackedEg(e.packed_score), INT32_MAX);
  const int64_t height = KingPawnLogisticHeight();
  const double x = (double)(-(int64_t)KingPawnLogisticSlope() * (d < 0 ? -d : d)) / 1000.0;
  const double r = std::round((double)height / (1.0 + std::exp(x)) - 0.5 * (double)height);
  const int64_t result = Saturate((int64_t)r * d / 64, KING_PAWN_LIMIT);
  e.score = e.tapered_score = (int32_t)result;
  e.derive_base = 0;
  EvaluatePawnAttacks();  // the search reads the pawns' attacks in the maps
  e.attack_map[WHITE] |= KingAttacks[b.KingSquare[WHITE]];
  e.attack_map[BLACK] |= KingAttacks[b.KingSquare[BLACK]];
  *score = b.SideToMove == WHITE ? -(int32_t)result : (int32_t)result;
  return 1;
}
