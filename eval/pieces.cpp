// Piece placement, mobility, threats, the king attack and the safe checks.
// Every sum runs from BLACK's side: each colour collects what favours it in
// gain[colour] and BLACK's gain minus WHITE's goes into packed_score. The
// colour is a template argument, so each colour gets its own straight-line
// code and the two are mirrors of each other by construction.
#include "eval/pieces.h"

#include <array>
#include <cmath>
#if defined(__BMI2__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "board/attacks.h"
#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/sigmoid.h"
#include "eval/sliders.h"

namespace {

// Named entries of the parameter blocks.
inline int32_t KnightPressure() { return KingParamsC[KNIGHT_PRESSURE]; }
inline int32_t BishopPressure() { return KingParamsC[BISHOP_PRESSURE]; }
inline int32_t RookPressure() { return KingParamsC[ROOK_PRESSURE]; }
inline int32_t QueenPressure() { return KingParamsC[QUEEN_PRESSURE]; }
inline int32_t PawnZoneDanger() { return PawnParams[PAWN_ZONE_DANGER]; }
inline int32_t PawnZonePressure() { return KingParamsD[PAWN_ZONE_PRESSURE]; }
inline int32_t BishopCheckDanger() { return EvalCurveA[CHECK_DANGER]; }
inline int32_t QueenCheckDanger() { return EvalCurveB[CHECK_DANGER]; }
inline int32_t KnightCheckDanger() { return EvalCurveC[CHECK_DANGER]; }
inline int32_t KingAttackMgWithQueen() { return KingParamsB[KING_ATTACK_MG_WITH_QUEEN]; }
inline int32_t KingAttackMgNoQueen() { return KingParamsB[KING_ATTACK_MG_NO_QUEEN]; }
inline int32_t MaterialLogisticHeight() { return KingParamsB[MATERIAL_LOGISTIC_HEIGHT]; }
inline int32_t MaterialLogisticSlope() { return KingParamsB[MATERIAL_LOGISTIC_SLOPE]; }
inline const int32_t* QueenCheckSquares() { return EvalParamsN; }
inline const int32_t* DevelopmentBlockedMg() { return KingParamsA + DEVELOPMENT_BLOCKED_MG; }
inline const int32_t* DevelopmentBlockedEg() { return KingParamsB + DEVELOPMENT_BLOCKED_EG; }
inline const int32_t* DevelopmentScale() { return KingParamsA + DEVELOPMENT_SCALE; }

// Check-square kinds of check_squares.
enum CheckKind { ROOK_CHECKS = 0, QUEEN_CHECKS = 1, BISHOP_CHECKS = 2, KNIGHT_CHECKS = 3 };

constexpr Bitboard WINGS_QUEEN_SIDE = 0x0707070707070707ULL;  // files a-c
constexpr Bitboard WINGS_KING_SIDE = 0xE0E0E0E0E0E0E0E0ULL;   // files f-h
constexpr Bitboard RANK_1 = 0xFFULL, RANK_2 = 0xFF00ULL;
constexpr Bitboard RANK_7 = 0x00FF000000000000ULL, RANK_8 = 0xFF00000000000000ULL;

// n times a packed pair; done unsigned so that the halves wrap as a sum would.
inline int32_t PackedTimes(int32_t pair, int n) { return (int32_t)((uint32_t)pair * (uint32_t)n); }

// Squares and ranks seen from colour C: rank 0 is C's first rank.
template <int C> inline int RelativeSquare(int s) { return C == WHITE ? s : s ^ 56; }
inline Bitboard RankMaskOf(int s) { return 0xFFULL << (s & 56); }
template <int C> inline Bitboard RelativeRankMask(int r) { return 0xFFULL << (8 * (C == WHITE ? r : 7 - r)); }
// Entry of a square table kept from BLACK's side.
template <int C> inline int TableSquare(int s) { return C == BLACK ? s : 63 - s; }
template <int C> inline Bitboard Forward(Bitboard b) { return C == WHITE ? b << 8 : b >> 8; }
template <int C> inline Bitboard PawnAttacksOf(Bitboard pawns) {
  return C == WHITE ? ((pawns & ~FileMask[0]) << 7) | ((pawns & ~FileMask[7]) << 9)
                    : ((pawns & ~FileMask[0]) >> 9) | ((pawns & ~FileMask[7]) >> 7);
}
template <int C> inline Bitboard PawnAttacksStored() {
  return C == WHITE ? thread_eval_info.pawn_attacks_white : thread_eval_info.pawn_attacks_black;
}

// What favours each colour, as packed pairs; reset by every EvaluatePieces.
int32_t gain[2];

// MaterialLogistic for |material| <= LOGISTIC_RANGE, filled by the function
// itself, so the entries are its results bit for bit. The table serves only
// while the two weights it was filled with are in force (a test or a reload
// may change them); otherwise the function runs.
constexpr int LOGISTIC_RANGE = 4096;
int32_t MaterialLogisticTable[2 * LOGISTIC_RANGE + 1];
int32_t LogisticTableHeight = 0, LogisticTableSlope = 0;
int LogisticTableFilled = 0;

inline int32_t MaterialLogisticLookup(int32_t material) {
  if (LogisticTableFilled && material >= -LOGISTIC_RANGE && material <= LOGISTIC_RANGE &&
      LogisticTableHeight == MaterialLogisticHeight() && LogisticTableSlope == MaterialLogisticSlope())
    return MaterialLogisticTable[material + LOGISTIC_RANGE];
  return MaterialLogistic(material);
}

// The full exchange test, kept a call: the few squares the attack sets do
// not settle need it, and inlined (as the link-time build did) it crowded
// the registers of the loops that call CaptureIsSafe.
[[gnu::noinline]] int FullExchangeIsSafe(int target, int from) { return SeeCaptureIsSafe(target, from); }

// PieceCaptureIsSafe for a piece of the colour other than `them` on `from`;
// with `kingStep` the target is known to be a step of their king.
template <int them, bool kingStep>
[[gnu::always_inline]] inline int CaptureIsSafe(int target, int from, Bitboard enemyAttacks, Bitboard ownTwice) {
  const ThreadBoard& b = thread_board;
  // 1. Taking a piece worth at least the taker never loses.
  const int risk = SeeWeight[b.Board[from]] - SeeWeight[b.Board[target]];
  if (risk <= 0) return 1;
  const Bitboard bit = SquareBit(target);
  // 2. An enemy pawn takes back anything worth two pawns more than the prize.
  const Bitboard pawnGuards = them == WHITE ? BlackPawnAttacks[target] : WhitePawnAttacks[target];
  if (risk >= 2 && (b.Pieces[PAWN][them] & pawnGuards)) return 0;
  if (enemyAttacks & bit) {
    // 3. Taken back, with no second unit of the taker's side on the target nor
    // any slider of its side on the target's lines to come through later.
    constexpr int us = them ^ 1;
    const Bitboard straight = b.RookQueens & b.Colour[us] & RookMoves[target];
    const Bitboard diagonal = b.BishopQueens & b.Colour[us] & BishopMoves[target];
    if (!(ownTwice & bit) && !((straight | diagonal) & ~SquareBit(from))) return 0;
    return FullExchangeIsSafe(target, from);
  }
  // 4. Past the king, the enemy could take back only with a slider standing
  // behind the from-square on its line to the target.
  const int direction = Direction[target][from];
  const Bitboard behind = direction != 0 ? AddXrayAttackers(0, from, direction) : 0;
  if (behind & b.Colour[them]) return FullExchangeIsSafe(target, from);
  // 5. Nothing takes back; or the king alone does, and then the taker needs
  // a second unit on the target: another attacker, or its own slider behind it.
  if (!kingStep && !(KingAttacks[b.KingSquare[them]] & bit)) return 1;
  return (ownTwice & bit) != 0 || behind != 0;
}

// The pieces of each colour whose attacks meet the enemy king's zone or its
// check squares, kept while the pieces are scanned and settled once every
// attack set of the other colour is known (ResolveKingReach): the exchange
// tests then answer most squares from those sets. One entry per square at
// most, so any position fits.
Bitboard ReachAttacks[2][64];
uint8_t ReachFrom[2][64], ReachKind[2][64];
int ReachCount[2];
// The squares whose attack brings a piece of kind k into the king attack on
// the king of colour c: its zone and its check squares of that kind; empty
// while that king is in an ending. Set at the start of EvaluatePieces.
Bitboard ReachMask[4][2];
// Squares that two or more units of a colour attack, its pawns and king
// included; built up with attack_map.
Bitboard AttackedTwice[2];

// Joins the attacks of one unit of C into attack_map and AttackedTwice.
template <int C>
inline void JoinAttacks(Bitboard attacks) {
  EvalInfo& e = thread_eval_info;
  AttackedTwice[C] |= e.attack_map[C] & attacks;
  e.attack_map[C] |= attacks;
}

// Keeps a piece of C (attacks from `from`) for the king attack on the enemy
// king when it reaches its zone or one of its check squares.
template <int C>
inline void ReachEnemyKing(int from, Bitboard attacks, int kind) {
  if (!(attacks & ReachMask[kind][C ^ 1])) return;
  int n = ReachCount[C]++;
  ReachAttacks[C][n] = attacks;
  ReachFrom[C][n] = (uint8_t)from;
  ReachKind[C][n] = (uint8_t)kind;
}

// The king attack of C's pieces on the enemy king: for each piece its zone
// squares, or else its first safe check. Runs after every piece of both
// colours is scanned, when attack_map[T] holds all of T's attacks but its
// king's steps, and AttackedTwice[C] is complete.
template <int C>
void ResolveKingReach() {
  constexpr int T = C ^ 1;
  EvalInfo& e = thread_eval_info;
  const Bitboard enemyAttacks = e.attack_map[T];
  const Bitboard twice = AttackedTwice[C] | (e.attack_map[C] & KingAttacks[thread_board.KingSquare[C]]);
  for (int i = 0; i < ReachCount[C]; i++) {
    const int from = ReachFrom[C][i], kind = ReachKind[C][i];
    const Bitboard attacks = ReachAttacks[C][i];
    const int32_t pressure = kind == ROOK_CHECKS    ? RookPressure()
                             : kind == KNIGHT_CHECKS ? KnightPressure()
                             : kind == BISHOP_CHECKS ? BishopPressure()
                                                     : QueenPressure();
    Bitboard hit = attacks & e.king_zone[T];
    if (hit) {
      e.pressure[C] += pressure;
      e.threat_map[T] |= hit;
      // Squares already known to be safe need no second exchange test.
      for (Bitboard open = hit & ~thread_board.Colour[C] & ~e.zone_safe_attacks[T]; open;) {
        int q = PopLSB(&open);
        if (CaptureIsSafe<T, true>(q, from, enemyAttacks, twice)) e.zone_safe_attacks[T] |= SquareBit(q);
      }
      continue;
    }
    for (Bitboard checks = attacks & e.check_squares[kind][T]; checks;) {
      int q = PopLSB(&checks);
      if (CaptureIsSafe<T, false>(q, from, enemyAttacks, twice)) {
        e.danger[C] += kind == ROOK_CHECKS    ? RookCheckDanger
                       : kind == KNIGHT_CHECKS ? KnightCheckDanger()
                       : kind == BISHOP_CHECKS ? BishopCheckDanger()
                                               : QueenCheckDanger();
        e.pressure[C] += pressure;
        break;
      }
    }
  }
}

// The rest of Pin, for a piece on `from` on a line with the enemy king; kept
// out of line, so that the rare case does not weigh on the piece loops.
template <int C>
[[gnu::noinline]] void PinOnKingLine(int from) {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  int king = b.KingSquare[T];
  Bitboard between = Between[from][king] & ~SquareBit(from);
  if (between & b.Colour[C]) return;
  Bitboard pinned = between & b.Colour[T];
  if (pinned == 0 || (pinned & (pinned - 1))) return;
  thread_eval_info.threat_map[T] |= pinned;
  gain[C] = PackedAdd(gain[C], PinTerm((int)b.Board[LeastSignificantBit(pinned)]));
}

// A piece on `from` that moves along the lines of `lines` (empty-board moves)
// pins the single enemy piece between it and the enemy king. Most pieces see
// no line to the king at all; that test stays inline.
template <int C>
inline void Pin(int from, Bitboard lines) {
  if (lines & SquareBit(thread_board.KingSquare[C ^ 1])) PinOnKingLine<C>(from);
}

// Back rank and rooks shut in beside the king, for C's king: the other side gains.
template <int C>
void BackRank() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  int king = b.KingSquare[C];
  if (OwnRank(C, king) != 0) return;
  Bitboard second = KingAttacks[king] & RelativeRankMask<C>(1);
  if ((second & b.Pieces[PAWN][C]) == second) gain[T] = PackedAdd(gain[T], BackRankTerm);
  int file = FileOf(king);
  if (file == 3 || file == 4) return;
  // Rows of CornerMasks: h1, a1, h8, a8; the column grows with the king's
  // distance from the corner.
  int row = (file >= 5 ? 0 : 1) + (C == BLACK ? 2 : 0);
  int column = file >= 5 ? 7 - file : file;
  if (b.Pieces[ROOK][C] & CornerMasks[row][column]) gain[T] = PackedAdd(gain[T], TrappedRookTerm);
}

template <int C>
void Rooks(int openFiles) {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  const PawnHashEntry& block = b.PawnBlock;
  int ownFiles = C == WHITE ? block.white_files : block.black_files;
  int enemyWeakFiles = C == WHITE ? block.black_weak_files : block.white_weak_files;
  int enemyKing = b.KingSquare[T];
  // The file byte copied onto every rank: the squares of the open files.
  Bitboard openMask = 0x0101010101010101ULL * (Bitboard)(openFiles & 0xFF);
  Bitboard majors = b.Pieces[ROOK][C] | b.Pieces[QUEEN][C];
  int majorCount = b.PieceCount[ROOK][C] + b.PieceCount[QUEEN][C];
  for (Bitboard rooks = b.Pieces[ROOK][C]; rooks;) {
    int s = PopLSB(&rooks);
    int f = FileOf(s);
    int32_t g = 0;
    Bitboard attacks = RookAttacksOn(s, b.Occupied);
    Bitboard rank = attacks & RankMaskOf(s);
    if (enemyWeakFiles & (1 << f)) g = PackedAdd(g, RookWeakPawnFile);
    if (openFiles & (1 << f)) {
      g = PackedAdd(g, RookOpenFile[f]);
    } else {
      if (!(ownFiles & (1 << f))) g = PackedAdd(g, RookHalfOpenFile[f]);
      // A rook behind its own pawn that cannot swing to an open file.
      else if (e.ENDING[T] && !(rank & openMask)) g = PackedSub(g, RookClosedFile);
    }
    int enemyKingOnFirst = OwnRank(C, enemyKing) == 7;
    if (OwnRank(C, s) == 6 && (enemyKingOnFirst || (b.Pieces[PAWN][T] & RelativeRankMask<C>(6)))) {
      g = PackedAdd(g, RookSeventh);
      if (rank & majors) g = PackedAdd(g, RookSeventhDoubled);
      if (enemyKingOnFirst && e.passed_pawns[C] && !(b.Colour[T] & RelativeRankMask<C>(6) & 0x7E7E7E7E7E7E7E7EULL))
        g = PackedAdd(g, RookSeventhPasser);
    } else if (OwnRank(C, s) == 7 && majorCount > 1 && OwnRank(C, enemyKing) >= 6) {
      g = PackedAdd(g, RookBackRank);
    }
    e.rook_attacks[C] |= attacks;
    JoinAttacks<C>(attacks);
    g = PackedAdd(g, PackedTimes(RookMobility, PopCount(attacks & ~b.Colour[C]) - 7));
    gain[C] = PackedAdd(gain[C], g);
    ReachEnemyKing<C>(s, attacks, ROOK_CHECKS);
    if (!e.ENDING[T] && !(FileAhead(C, s) & b.Pieces[PAWN][C]))
      e.danger[C] += RookFileToKing[Abs(f - FileOf(enemyKing))];
    Pin<C>(s, RookMoves[s]);
  }
}

// The pawns' part of AttackedTwice, once their attacks have joined
// attack_map after the rooks': squares two pawns attack, and squares a pawn
// and a rook attack.
template <int C>
void PawnsJoinAttackedTwice() {
  const EvalInfo& e = thread_eval_info;
  Bitboard pawns = thread_board.Pieces[PAWN][C];
  Bitboard west = C == WHITE ? (pawns & ~FileMask[0]) << 7 : (pawns & ~FileMask[0]) >> 9;
  Bitboard east = C == WHITE ? (pawns & ~FileMask[7]) << 9 : (pawns & ~FileMask[7]) >> 7;
  AttackedTwice[C] |= (west & east) | ((west | east) & e.rook_attacks[C]);
}

// Pawn attacks on the enemy king's zone count for the side whose pawns they are.
template <int C>
void PawnsNearKing() {
  constexpr int T = C ^ 1;
  EvalInfo& e = thread_eval_info;
  if (e.ENDING[T]) return;
  int n = PopCount(e.king_zone[T] & PawnAttacksStored<C>());
  e.danger[C] += PawnZoneDanger() * n;
  e.pressure[C] += PawnZonePressure() * n;
}

// Unprotected pawns of C near the enemy king count for the enemy, while C has
// little material left to guard them.
template <int C>
int64_t WeakPawnsNearKing() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  int units = b.PieceUnits[C];
  if (units >= 9 || units < 0) return 0;
  int king = b.KingSquare[T];
  int kingReach = OwnRank(T, king);
  Bitboard stoppers = PawnAttacksStored<T>() | b.Pieces[PAWN][C] | b.Colour[T];
  int64_t sum = 0;
  for (Bitboard pawns = b.Pieces[PAWN][C] & ~PawnAttacksStored<C>(); pawns;) {
    int p = PopLSB(&pawns);
    int d = Min(KingDistance(p, king), 6);
    int k = Min(Max(Abs(FileOf(p) - FileOf(king)), kingReach), 5);
    int code = ((e.passed_pawns[C] >> p) & 1) * 2 + ((Forward<C>(SquareBit(p)) & stoppers) != 0);
    int64_t term = (int64_t)WeakPawnRank[Max(OwnRank(C, p) - 2, 0)] * WeakPawnUnits[units] *
                   WeakPawnKing[d - 1][4 * k + code];
    sum += ShiftDown(term, 12);
  }
  return sum;
}

// The four square classes of the minor pieces' mobility count.
template <int C>
void MobilityClasses() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  Bitboard c0 = PawnAttacksStored<T>() | RANK_1 | RANK_8;
  Bitboard c1 = (b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK] | RANK_2 | RANK_7) & ~c0;
  Bitboard c2 = b.Colour[C] & ~c0 & ~c1;
  e.mobility_class[0][C] = c0;
  e.mobility_class[1][C] = c1;
  e.mobility_class[2][C] = c2;
  e.mobility_class[3][C] = ~(c0 | c1 | c2);
}

// A side without minors has no mobility classes.
template <int C>
void NoMobilityClasses() {
  EvalInfo& e = thread_eval_info;
  for (int k = 0; k < 4; k++) e.mobility_class[k][C] = 0;
}

// Squares left out of a minor's low-mobility count: enemy pawns guarded by
// pawns, own blocked pawns, and against an enemy without majors and knights
// the squares its pawns attack on the colours where it has no bishop.
template <int C>
Bitboard MinorMobilityExcluded() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  Bitboard enemyPawnAttacks = PawnAttacksStored<T>();
  Bitboard excluded = (b.Pieces[PAWN][T] & enemyPawnAttacks) | e.blocked_pawns[C];
  if (!(b.Pieces[ROOK][T] | b.Pieces[QUEEN][T] | b.Pieces[KNIGHT][T])) {
    Bitboard colours = 0;
    if (!(b.Pieces[BISHOP][T] & DarkSquares)) colours |= DarkSquares;
    if (!(b.Pieces[BISHOP][T] & LightSquares)) colours |= LightSquares;
    excluded |= enemyPawnAttacks & colours;
  }
  return excluded;
}

// Penalty of a knight or bishop on s with few useful squares.
template <int C>
int32_t LowMobility(int s, Bitboard attacks, Bitboard excluded, const int32_t* table) {
  const EvalInfo& e = thread_eval_info;
  if (!MinorMobilityTested[TableSquare<C>(s)]) return 0;
  Bitboard squares = attacks & ~excluded;
  // The classes are disjoint and every term is at least 0, so the weighted
  // count reaches 18 exactly when some partial sum does: the sums of the
  // classes from the best down, each counted once per class at or above it,
  // give the weights 4, 3, 2, 1 without a branch.
  Bitboard best = squares & e.mobility_class[3][C];
  Bitboard good = best | (squares & e.mobility_class[2][C]);
  Bitboard fair = good | (squares & e.mobility_class[1][C]);
  int n = PopCount(best) + PopCount(good) + PopCount(fair) + PopCount(squares);
  if (n >= 18) return 0;
  return PackPlain((int32_t)ShiftDown((int64_t)MinorSquareWeight[TableSquare<C>(s)] * table[n], 6));
}

// Outpost of a minor on s: no enemy pawn can ever attack the square.
template <int C>
int32_t Outpost(int s, const int32_t* base, const int32_t* protectedTerm, const int32_t* exchangeable) {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  if (OwnRank(C, s) < 2 || (PassedMaskOf(C, s) & AdjacentFiles[s] & b.Pieces[PAWN][T])) return 0;
  int t = TableSquare<C>(s);
  int32_t g = base[t];
  Bitboard protectors = PawnGuards(C, s) & b.Pieces[PAWN][C];
  if (protectors) {
    Bitboard colour = (SquareBit(s) & DarkSquares) ? DarkSquares : LightSquares;
    int single = (protectors & (protectors - 1)) == 0;
    g = PackedAdd(g, single && (b.Pieces[BISHOP][T] & colour) ? exchangeable[t] : protectedTerm[t]);
  }
  return g;
}

template <int C>
void Knights(Bitboard excluded) {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int enemyBlocked = PopCount(e.blocked_pawns[T]);
  for (Bitboard knights = b.Pieces[KNIGHT][C]; knights;) {
    int s = PopLSB(&knights);
    Bitboard attacks = KnightAttacks[s];
    e.knight_attacks[C] |= attacks;
    JoinAttacks<C>(attacks);
    int32_t g = PackedTimes(KnightVsBlockedPawns, enemyBlocked);
    g = PackedSub(g, LowMobility<C>(s, attacks, excluded, KnightLowMobility));
    g = PackedAdd(g, Outpost<C>(s, KnightOutpost, KnightOutpostProtected, KnightOutpostExchangeable));
    gain[C] = PackedAdd(gain[C], g);
    ReachEnemyKing<C>(s, attacks, KNIGHT_CHECKS);
  }
}

template <int C>
void Queens() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int enemyKing = b.KingSquare[T];
  Bitboard majors = b.Pieces[ROOK][C] | b.Pieces[QUEEN][C];
  for (Bitboard queens = b.Pieces[QUEEN][C]; queens;) {
    int s = PopLSB(&queens);
    Bitboard attacks = RookAttacksOn(s, b.Occupied) | BishopAttacksOn(s, b.Occupied);
    int32_t g = 0;
    if (OwnRank(C, s) == 7 && OwnRank(C, enemyKing) >= 6) {
      g = QueenBackRank;
    } else if (OwnRank(C, s) == 6 &&
               (OwnRank(C, enemyKing) == 7 || (b.Pieces[PAWN][T] & RelativeRankMask<C>(6))) &&
               (attacks & RankMaskOf(s) & majors)) {
      g = QueenSeventh;
    }
    e.queen_attacks[C] |= attacks;
    JoinAttacks<C>(attacks);
    g = PackedAdd(g, PackedTimes(QueenMobility, PopCount(attacks & ~b.Colour[C]) - 13));
    gain[C] = PackedAdd(gain[C], g);
    ReachEnemyKing<C>(s, attacks, QUEEN_CHECKS);
    if (!e.ENDING[T]) {
      int32_t danger = QueenDistanceDanger[KingDistance(s, enemyKing)];
      if (!(FileAhead(C, s) & b.Pieces[PAWN][C]))
        danger = Max(danger, QueenFileDanger[Abs(FileOf(s) - FileOf(enemyKing))]);
      e.danger[C] += danger;
    }
    Pin<C>(s, RookMoves[s] | BishopMoves[s]);
  }
}

template <int C>
[[gnu::always_inline]] inline void Bishops(Bitboard excluded) {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  for (Bitboard bishops = b.Pieces[BISHOP][C]; bishops;) {
    int s = PopLSB(&bishops);
    Bitboard attacks = BishopAttacksOn(s, b.Occupied);
    e.bishop_attacks[C] |= attacks;
    JoinAttacks<C>(attacks);
    int32_t g = PackedTimes(BishopMobility, PopCount(attacks & ~b.Occupied) - 6);
    g = PackedSub(g, LowMobility<C>(s, attacks, excluded, BishopLowMobility));
    g = PackedAdd(g, Outpost<C>(s, BishopOutpost, BishopOutpostProtected, BishopOutpostExchangeable));
    // A bishop on a7 (h7) caught by a pawn on b6 (g6).
    int rel = RelativeSquare<C>(s);
    if ((rel == A7 && (b.Pieces[PAWN][T] & SquareBit(RelativeSquare<C>(B6)))) ||
        (rel == H7 && (b.Pieces[PAWN][T] & SquareBit(RelativeSquare<C>(G6)))))
      g = PackedSub(g, TrappedBishop);
    gain[C] = PackedAdd(gain[C], g);
    ReachEnemyKing<C>(s, attacks, BISHOP_CHECKS);
    Pin<C>(s, BishopMoves[s]);
  }
  if (b.PieceCount[BISHOP][C] == 0) return;
  int32_t g = 0;
  if (b.PieceCount[BISHOP][C] == 1) {
    // Own pawns fixed on the bishop's colour.
    Bitboard colour = (b.Pieces[BISHOP][C] & DarkSquares) ? DarkSquares : LightSquares;
    Bitboard pawns = b.Pieces[PAWN][C] & colour;
    Bitboard fixed = pawns & Forward<T>(b.Occupied | PawnAttacksStored<T>());
    g = PackedSub(g, PackedTimes(BadBishopPawn, PopCount(pawns)));
    g = PackedSub(g, PackedTimes(BadBishopBlocked, PopCount(fixed)));
  }
  Bitboard allPawns = b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK];
  if (b.PieceUnits[WHITE] == b.PieceUnits[BLACK] && b.PieceUnits[C] < 9 && b.PieceCount[BISHOP][T] == 0 &&
      (allPawns & WINGS_QUEEN_SIDE) && (allPawns & WINGS_KING_SIDE))
    g = PackedAdd(g, BishopBothWings);
  int king = b.KingSquare[C];
  Bitboard g2 = SquareBit(RelativeSquare<C>(G2)), g3 = SquareBit(RelativeSquare<C>(G3));
  Bitboard fianchetto = SquareBit(RelativeSquare<C>(F1)) | SquareBit(RelativeSquare<C>(H1)) | g2;
  if (!e.ENDING[C] && FileOf(king) >= 5 && !(allPawns & g2) && (b.Pieces[PAWN][C] & g3) &&
      (KingAttacks[king] & g2) && (b.Pieces[BISHOP][C] & fianchetto))
    g = PackedAdd(g, FianchettoBishop);
  gain[C] = PackedAdd(gain[C], g);
}

// Pieces of C that stand under a threat.
template <int C>
int ThreatenedCount() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  Bitboard pawnHits = PawnAttacksStored<T>();
  Bitboard minorHits = pawnHits | e.minor_attacks[T];
  Bitboard rookHits = minorHits | e.rook_attacks[T];
  Bitboard attacked = e.attack_map[T] | KingAttacks[b.KingSquare[T]];
  Bitboard defended = e.attack_map[C] | KingAttacks[b.KingSquare[C]];
  Bitboard threatened = ((b.Pieces[KNIGHT][C] | b.Pieces[BISHOP][C]) & pawnHits) | (b.Pieces[ROOK][C] & minorHits) |
                        (b.Pieces[QUEEN][C] & rookHits) |
                        (b.Colour[C] & ~b.Pieces[KING][C] & attacked & ~defended);
  return PopCount(threatened);
}

// Code bits of the pieces still at home, by the home rank's byte of the
// knights on b1 and g1, the bishops on c1 and f1 and the queen on d1 (files
// 1, 6, 2, 5 and 3): the queen 2, the knights 4 (b-file) and 8 (g-file),
// the bishops 16 (c-file) and 32 (f-file).
constexpr std::array<uint8_t, 256> MakeHomePieceCodes() {
  std::array<uint8_t, 256> table{};
  for (int byte = 0; byte < 256; byte++)
    table[byte] = (uint8_t)(((byte >> 3) & 1) << 1 | ((byte >> 1) & 1) << 2 | ((byte >> 6) & 1) << 3 |
                            ((byte >> 2) & 1) << 4 | ((byte >> 5) & 1) << 5);
  return table;
}
constexpr std::array<uint8_t, 256> HomePieceCodes = MakeHomePieceCodes();

// Development: which of C's pieces are still at home, and its centre pawns.
template <int C>
void Development(int64_t* mg, int64_t* eg) {
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  // The home rank as a byte per piece kind: the king on c1-f1 gives bit 0.
  constexpr int rank = C == WHITE ? 0 : 56;
  auto home = [](Bitboard set, Bitboard files) { return (int)((set >> rank) & files); };
  int code = (home(b.Pieces[KING][C], 0x3C) != 0) |
             HomePieceCodes[home(b.Pieces[KNIGHT][C], 0x42) | home(b.Pieces[BISHOP][C], 0x24) |
                            home(b.Pieces[QUEEN][C], 0x08)];
  int index = Clamp(DevelopmentIndex[code], 0, 5);
  e.pattern_index[C] = index;
  // The pawns on b2-g2 (b7-g7) as six bits, b first, and the d- and e-pawns
  // still at home with their square ahead taken.
  const Bitboard ownPawns = b.Pieces[PAWN][C];
  int pawns = (int)((ownPawns >> RelativeSquare<C>(B2)) & 63);
  Bitboard centre = SquareBit(RelativeSquare<C>(D2)) | SquareBit(RelativeSquare<C>(E2));
  int blocked = PopCount(ownPawns & centre & Forward<C ^ 1>(b.Occupied));
  int64_t scale = DevelopmentScale()[index];
  *mg = ((int64_t)DevelopmentPawnsMg[pawns] + DevelopmentBlockedMg()[blocked]) * scale;
  *eg = ((int64_t)DevelopmentPawnsEg[pawns] + DevelopmentBlockedEg()[blocked]) * scale;
}

// Attacker A's queen against the shelter of the enemy king.
template <int A>
void QueenShelter() {
  constexpr int D = A ^ 1;
  EvalInfo& e = thread_eval_info;
  if (thread_board.PieceCount[QUEEN][A] == 0 || e.ENDING[D]) return;
  int s = Clamp(e.shelter_penalty[D], 0, 15);
  int64_t factor = QueenShelterPatternScale[Clamp(e.pattern_index[A], 0, 5)];
  e.side_mg[A] = (int32_t)Clamp64(e.side_mg[A] + QueenShelterMg[s] * factor / 64, INT32_MIN, INT32_MAX);
  e.side_eg[A] = (int32_t)Clamp64(e.side_eg[A] + QueenShelterEg[s] * factor / 64, INT32_MIN, INT32_MAX);
}

// The part of a zone square's feature code fixed by the king's square alone:
// 32 for a square in front of the king of colour d, 64 behind it, 96 on the
// file beside it toward the centre; one byte per zone square, the squares in
// rising order (byte i for the i-th lowest square of the king's steps),
// indexed [d][king].
constexpr std::array<std::array<uint64_t, 64>, 2> MakeZoneLineBytes() {
  std::array<std::array<uint64_t, 64>, 2> table{};
  for (int d = 0; d < 2; d++) {
    for (int king = 0; king < 64; king++) {
      const int kf = king & 7, kr = king >> 3, ahead = d == WHITE ? 1 : -1;
      const int centreFile = kf <= 3 ? kf + 1 : kf - 1;
      int shift = 0;
      for (int q = 0; q < 64; q++) {
        const int f = q & 7, r = q >> 3;
        if (q == king || (f - kf) * (f - kf) > 1 || (r - kr) * (r - kr) > 1) continue;
        const uint64_t code = r == kr + ahead ? 32 : r == kr - ahead ? 64 : f == centreFile ? 96 : 0;
        table[d][king] |= code << shift;
        shift += 8;
      }
    }
  }
  return table;
}
constexpr std::array<std::array<uint64_t, 64>, 2> ZoneLineBytes = MakeZoneLineBytes();
constexpr uint64_t BYTE_ONES = 0x0101010101010101ULL;

// One byte per square of `zone`, in rising square order: byte i is 1 when
// `set` holds the i-th lowest square of the zone, else 0.
inline uint64_t ZoneBytes(Bitboard set, Bitboard zone) {
#if defined(__BMI2__) && defined(__x86_64__)
  return _pdep_u64(_pext_u64(set, zone), BYTE_ONES);
#else
  uint64_t bytes = 0;
  for (int shift = 0; zone; shift += 8) bytes |= ((set >> PopLSB(&zone)) & 1) << shift;
  return bytes;
#endif
}

// The four low bytes of `bytes` moved into the low bytes of four 16-bit lanes.
inline uint64_t ZoneLanes(uint64_t bytes) {
#if defined(__BMI2__) && defined(__x86_64__)
  return _pdep_u64(bytes, 0x00FF00FF00FF00FFULL);
#else
  uint64_t x = bytes & 0xFFFFFFFFULL;
  x = (x | x << 16) & 0x0000FFFF0000FFFFULL;
  return (x | x << 8) & 0x00FF00FF00FF00FFULL;
#endif
}

// Danger of attacker A from the squares around the king of D, each weighted
// by its feature code.
template <int A>
void KingZoneDanger() {
  constexpr int D = A ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (e.ENDING[D]) return;
  const int king = b.KingSquare[D];
  const Bitboard zone = e.king_zone[D], safe = e.zone_safe_attacks[D];
  // 1. The codes of all zone squares at once, one byte each: the base of the
  // king's square and the square's line (bits 0, 1, 5, 6), attacked by the
  // defender (4), holding a defending pawn (8), another defending piece (16)
  // or an attacking unit (24), and neither attacked by A nor safely attacked
  // (128). The parts share no bit, so no byte carries into the next.
  const uint64_t base = (uint64_t)(ZoneBaseCode[RelativeSquare<D>(king)] & 3) * BYTE_ONES;
  uint64_t low = ZoneLineBytes[D][king] | base | ZoneBytes(e.attack_map[D], zone) * 4 |
                 ZoneBytes(b.Pieces[PAWN][D], zone) * 8 | ZoneBytes(b.Colour[D] & ~b.Pieces[PAWN][D], zone) * 16 |
                 ZoneBytes(b.Colour[A], zone) * 24 | ZoneBytes(~e.attack_map[A] & ~safe, zone) * 128;
  // 2. The whole codes in 16-bit lanes, the first four zone squares in one
  // word and the rest in the other, each with bit 8 (256) set for a safely
  // attacked square; such a square is attacked, so 256 and 128 never meet
  // and the code stays below 384.
  uint64_t first = ZoneLanes(low), rest = ZoneLanes(low >> 32);
  const uint64_t high = ZoneBytes(safe, zone);
  first |= ZoneLanes(high) << 8;
  rest |= ZoneLanes(high >> 32) << 8;
  int64_t danger = e.danger[A];
  const int n = PopCount(zone);
  for (int i = Min(n, 4); i > 0; i--, first >>= 16) danger += KingAttackWeights[first & 0xFFFF];
  for (int i = n - 4; i > 0; i--, rest >>= 16) danger += KingAttackWeights[rest & 0xFFFF];
  e.danger[A] = (int32_t)Clamp64(danger, INT32_MIN, INT32_MAX);
}

// The king attack of A on the king of D: danger and pressure, clamped into
// their tables, scaled by the shelter, the material and the development.
template <int A>
void KingAttack() {
  constexpr int D = A ^ 1;
  const ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (e.ENDING[D]) return;
  int danger = Clamp(e.danger[A], 0, KING_DANGER_MAX);
  int pressure = Clamp(e.pressure[A], 0, PRESSURE_MAX);
  e.danger[A] = danger;
  e.pressure[A] = pressure;
  int shelter = Clamp(e.shelter_penalty[D], 0, 63);
  int64_t v = ShiftDown((int64_t)KingDangerTable[danger] * PressureSigmoid[pressure] * ShelterScaleTable[shelter], 15);
  v = Clamp64(v, -(1LL << 30), 1LL << 30);
  int64_t k = b.PieceCount[QUEEN][A] ? KingAttackMgWithQueen() : KingAttackMgNoQueen();
  v = Clamp64(ShiftDown(k * v, 13), -(1LL << 30), 1LL << 30);
  // Without a base there is no attack: every product below is 0.
  if (v == 0) {
    e.attack_value[A] = 0;
    e.tempo_bonus[A] = 0;
    return;
  }
  int64_t attackHorror = Clamp64((int64_t)AttackHorrorSigmoid[Min(b.MaterialWeightSums[2 + A], HORROR_MAX)] + 256,
                                 -(1LL << 15), 1LL << 15);
  int64_t defendHorror = Clamp64((int64_t)DefendHorrorSigmoid[Min(b.MaterialWeightSums[D], HORROR_MAX)] + 256,
                                 -(1LL << 15), 1LL << 15);
  int64_t x = attackHorror * defendHorror * v / 65536;
  x = Clamp64(x, INT32_MIN, INT32_MAX) * AttackPatternScale[Clamp(e.pattern_index[D], 0, 5)];
  e.attack_value[A] = (int32_t)Clamp64(x / 64, INT32_MIN, INT32_MAX);
  e.tempo_bonus[A] = (int32_t)Clamp64(ShiftDown(x < 0 ? x + 63 : x, 9), INT32_MIN, INT32_MAX);
  if (e.attack_value[A] == 0) return;  // the material term below would be 0
  int32_t material = A == BLACK ? e.material_score : -e.material_score;
  int64_t term = ((int64_t)MaterialLogisticLookup(material) + 256) * e.attack_value[A] / 256;
  if (term > 0) e.side_mg[A] = (int32_t)Clamp64(e.side_mg[A] + term, INT32_MIN, INT32_MAX);
}

// Step of the safe queen checks for colour C: the value T of its queen checks.
template <int C>
int32_t SafeQueenChecks() {
  constexpr int T = C ^ 1;
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  if (b.PieceCount[QUEEN][C] == 0) return 0;
  Bitboard safe = e.queen_attacks[C] & e.check_squares[QUEEN_CHECKS][T] & ~e.attack_map[T] & ~b.Colour[C];
  int n = PopCount(safe) + PopCount(safe & ~KingAttacks[b.KingSquare[T]]);
  return QueenCheckSquares()[Min(n, 6)];
}

}  // namespace

int PieceCaptureIsSafe(int target, int from, Bitboard enemyAttacks, Bitboard ownTwice) {
  const int them = (int)((thread_board.Colour[WHITE] >> from) & 1);
  return them == WHITE ? CaptureIsSafe<WHITE, false>(target, from, enemyAttacks, ownTwice)
                       : CaptureIsSafe<BLACK, false>(target, from, enemyAttacks, ownTwice);
}

void EvaluatePawnAttacks() {
  EvalInfo& e = thread_eval_info;
  e.pawn_attacks_white = PawnAttacksOf<WHITE>(thread_board.Pieces[PAWN][WHITE]);
  e.pawn_attacks_black = PawnAttacksOf<BLACK>(thread_board.Pieces[PAWN][BLACK]);
  e.attack_map[WHITE] |= e.pawn_attacks_white;
  e.attack_map[BLACK] |= e.pawn_attacks_black;
}

int32_t MaterialLogistic(int32_t material) {
  double height = MaterialLogisticHeight();
  double x = -(double)material * MaterialLogisticSlope() / 1000.0;
  return (int32_t)std::round(height / (1.0 + std::exp(x)) - height / 2.0);
}

void InitMaterialLogisticTable() {
  for (int m = -LOGISTIC_RANGE; m <= LOGISTIC_RANGE; m++) MaterialLogisticTable[m + LOGISTIC_RANGE] = MaterialLogistic(m);
  LogisticTableHeight = MaterialLogisticHeight();
  LogisticTableSlope = MaterialLogisticSlope();
  LogisticTableFilled = 1;
}

void EvaluatePieces() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  gain[WHITE] = gain[BLACK] = 0;
  ReachCount[WHITE] = ReachCount[BLACK] = 0;
  AttackedTwice[WHITE] = AttackedTwice[BLACK] = 0;

  // 1. Check squares and king zones.
  for (int c = 0; c < 2; c++) {
    int king = b.KingSquare[c];
    Bitboard free = ~b.Colour[c ^ 1];
    Bitboard rook = RookAttacksOn(king, b.Occupied), bishop = BishopAttacksOn(king, b.Occupied);
    e.check_squares[ROOK_CHECKS][c] = rook & free;
    e.check_squares[QUEEN_CHECKS][c] = (rook | bishop) & free;
    e.check_squares[BISHOP_CHECKS][c] = bishop & free;
    e.check_squares[KNIGHT_CHECKS][c] = KnightAttacks[king] & free;
    e.king_zone[c] = KingAttacks[king];
    // A king in an ending draws no king attack.
    const Bitboard live = e.ENDING[c] ? 0 : ~0ULL;
    for (int kind = 0; kind < 4; kind++) ReachMask[kind][c] = (e.king_zone[c] | e.check_squares[kind][c]) & live;
  }

  // 2. Back ranks.
  BackRank<WHITE>();
  BackRank<BLACK>();

  // 3, 4. Rooks with the open files.
  int openFiles = ~(b.PawnBlock.white_files | b.PawnBlock.black_files) & 0xFF;
  Rooks<BLACK>(openFiles);
  Rooks<WHITE>(openFiles);

  // 5. Pawn attacks, pawns against the king zones, blocked pawns.
  EvaluatePawnAttacks();
  PawnsJoinAttackedTwice<WHITE>();
  PawnsJoinAttackedTwice<BLACK>();
  PawnsNearKing<WHITE>();
  PawnsNearKing<BLACK>();
  e.blocked_pawns[WHITE] = b.Pieces[PAWN][WHITE] & ((b.Pieces[PAWN][WHITE] | b.Colour[BLACK]) >> 8);
  e.blocked_pawns[BLACK] = b.Pieces[PAWN][BLACK] & ((b.Pieces[PAWN][BLACK] | b.Colour[WHITE]) << 8);

  // 5a. Weak pawns near the enemy king: White's count for Black and back.
  int64_t weak = WeakPawnsNearKing<WHITE>() - WeakPawnsNearKing<BLACK>();
  e.packed_score = PackedAdd(e.packed_score, PackPlain((int32_t)Clamp64(weak, -30000, 30000)));

  // 5b. Blocked pawns count against their side (the knights' side gains in Knights).
  gain[WHITE] = PackedSub(gain[WHITE], PackedTimes(BlockedPawnTerm, PopCount(e.blocked_pawns[WHITE])));
  gain[BLACK] = PackedSub(gain[BLACK], PackedTimes(BlockedPawnTerm, PopCount(e.blocked_pawns[BLACK])));

  // 6. Mobility classes of the sides with minor pieces.
  Bitboard excluded[2] = {0, 0};
  if (b.Pieces[KNIGHT][WHITE] | b.Pieces[BISHOP][WHITE]) {
    MobilityClasses<WHITE>();
    excluded[WHITE] = MinorMobilityExcluded<WHITE>();
  } else {
    NoMobilityClasses<WHITE>();
  }
  if (b.Pieces[KNIGHT][BLACK] | b.Pieces[BISHOP][BLACK]) {
    MobilityClasses<BLACK>();
    excluded[BLACK] = MinorMobilityExcluded<BLACK>();
  } else {
    NoMobilityClasses<BLACK>();
  }

  // 7, 8. Knights, queens, bishops.
  Knights<BLACK>(excluded[BLACK]);
  Knights<WHITE>(excluded[WHITE]);
  Queens<BLACK>();
  Queens<WHITE>();
  Bishops<BLACK>(excluded[BLACK]);
  Bishops<WHITE>(excluded[WHITE]);
  if (ReachCount[BLACK]) ResolveKingReach<BLACK>();
  if (ReachCount[WHITE]) ResolveKingReach<WHITE>();
  e.minor_attacks[WHITE] = e.knight_attacks[WHITE] | e.bishop_attacks[WHITE];
  e.minor_attacks[BLACK] = e.knight_attacks[BLACK] | e.bishop_attacks[BLACK];

  // 11. Threats, and kings whose zones touch.
  e.threatened_count[WHITE] = ThreatenedCount<WHITE>();
  e.threatened_count[BLACK] = ThreatenedCount<BLACK>();
  int t = e.threatened_count[BLACK] - e.threatened_count[WHITE];
  e.packed_score = PackedAdd(e.packed_score, PackedSub(ThreatTable[Clamp(8 - t, 0, 16)], ThreatTable[Clamp(8 + t, 0, 16)]));
  if (e.king_zone[WHITE] & e.king_zone[BLACK]) {
    for (int a = 0; a < 2; a++) {
      if (e.ENDING[a ^ 1]) continue;
      e.danger[a] += 2;
      e.pressure[a] += 1;
    }
  }
  e.packed_score = PackedAdd(e.packed_score, PackedSub(gain[BLACK], gain[WHITE]));

  // 12. Development.
  int64_t mgWhite, egWhite, mgBlack, egBlack;
  Development<WHITE>(&mgWhite, &egWhite);
  Development<BLACK>(&mgBlack, &egBlack);
  int32_t devMg = (int32_t)Clamp64((mgBlack - mgWhite) / 32, -30000, 30000);
  int32_t devEg = (int32_t)Clamp64((egBlack - egWhite) / 32, -30000, 30000);
  e.packed_score = PackedSub(e.packed_score, PackPair(devMg, devEg));

  // 13. The queens against the enemy king's shelter.
  QueenShelter<WHITE>();
  QueenShelter<BLACK>();

  // 14, 15. King zones and the king attack formula.
  KingZoneDanger<WHITE>();
  KingZoneDanger<BLACK>();
  KingAttack<WHITE>();
  KingAttack<BLACK>();
}

// Safe queen checks weigh fully for the side to move and half for the other;
// derive_base takes the difference between the two cases, so that the score
// derived for the other side to move stays exact.
int32_t EvaluateSafeQueenChecks(int32_t score) {
  EvalInfo& e = thread_eval_info;
  const ThreadBoard& b = thread_board;
  if (!(b.Pieces[QUEEN][WHITE] | b.Pieces[QUEEN][BLACK])) return score;  // both terms are 0
  int32_t black = SafeQueenChecks<BLACK>(), white = SafeQueenChecks<WHITE>();
  int32_t difference = (black - black / 2) + (white - white / 2);
  if (b.SideToMove == BLACK) {
    e.derive_base += difference;
    return score + black - white / 2;
  }
  e.derive_base -= difference;
  return score + black / 2 - white;
}
