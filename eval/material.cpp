// The material table and everything else that depends only on the piece
// counts: the imbalance rules, the game phase, the material outside the
// table and the quick estimate of a capture for the quiescence search.
#include "eval/material.h"

#include <cstdio>

#include "board/attacktables.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "platform/exit.h"
#include "platform/parallel.h"

MaterialEntry MaterialTable[MATERIAL_OUTSIDE + 1];
int32_t PawnCountBonus[9];

namespace {

// Piece counts of one side.
struct SideCounts {
  int64_t queens, rooks, bishops, knights, pawns;
  int64_t Minors() const { return knights + bishops; }
  int64_t Majors() const { return rooks + 2 * queens; }
  int64_t Units() const { return 3 * knights + 3 * bishops + 5 * rooks + 9 * queens; }
};

// The imbalance offsets: the built-in values moved by MaterialOffsets.
struct Offsets {
  int64_t E, X, Y, Z1, Z2, W;
};

Offsets CurrentOffsets() {
  const int32_t* m = MaterialOffsets;
  return {(int64_t)m[0] + 120, (int64_t)m[1] + 90, (int64_t)m[2] + 60,
          (int64_t)m[3] + 30,  (int64_t)m[4] + 30, (int64_t)m[5] + 60};
}

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

// The imbalance rules from WHITE's side, added to the starting value d: the
// lead of pieces of one kind over another, the queen and minor pairings,
// the rook's worth by the pawns on the board, and the damping of a lead
// that has too few pawns to win.
int64_t ImbalanceRules(const SideCounts& w, const SideCounts& b, int64_t d, const Offsets& o) {
  const int64_t Nw = w.Minors(), Nb = b.Minors(), Hw = w.Majors(), Hb = b.Majors();
  const int64_t Uw = w.Units(), Ub = b.Units();
  const bool Qw = w.queens > 0, Qb = b.queens > 0;
  const int64_t knightWithQueen = EvalParamsC[14], bishopWithHeavy = EvalParamsC[15];
  enum { STEP5, STEP5A, STEP5B } next = STEP5;

  if (Uw < 4 && Ub < 4) {
    // A lone minor piece against pawns, worth more the more pawns it has.
    if (Nw > 0 && Nb == 0) d += PawnCountBonus[Clamp64(w.pawns, 0, 8)];
    else if (Nb > 0 && Nw == 0) d -= PawnCountBonus[Clamp64(b.pawns, 0, 8)];
  } else if (Nw == Nb) {
    if (Hw != Hb) {
      d += Hw > Hb ? o.E : -o.E;
    } else {
      if (Qw && !Qb) d += o.W;
      else if (Qb && !Qw) d -= o.W;
      if (Nw == 1) {
        if (!Qb) {
          next = STEP5A;
        } else {
          if (Qw && w.pawns + b.pawns > 0) {
            if (w.knights > 0 && b.knights == 0) d += knightWithQueen;
            else if (w.knights == 0 && b.knights > 0) d -= knightWithQueen;
          }
          next = STEP5B;
        }
      }
    }
  } else if (Hw == Hb) {
    d += Nw > Nb ? o.E : -o.E;
  } else if (Hw == Hb - 1) {
    if (Nw == Nb + 1) {
      d -= o.Z1;
      if (!Qb) {
        next = STEP5A;
      } else {
        if (!Qw) d -= o.Z2;
        next = STEP5B;
      }
    } else if (Nw > Nb + 1) {
      if (Uw == 6) {
        d += o.X;
      } else if (Qb && !Qw) {
        d += o.Y;
        next = STEP5B;
      } else {
        d += o.E;
      }
    }
  } else if (Hb == Hw - 1) {
    if (Nb == Nw + 1) {
      d += (Qw && !Qb) ? o.Z1 + o.Z2 : o.Z1;
    } else if (Nb > Nw + 1) {
      if (Ub == 6) d -= o.X;
      else if (Qw && !Qb) d -= o.Y;
      else d -= o.E;
    }
  } else if (Abs64(Hw - Hb) == 2) {
    if (Nw > Nb + 2) d += o.E;
    else if (Nb > Nw + 2) d -= o.E;
  }

  if (next == STEP5) next = Qb ? STEP5B : STEP5A;
  bool rookTerms = true;
  if (next == STEP5A) {
    if (!Qw) {
      if (Hb > 0 && b.bishops > 0) d -= bishopWithHeavy;
      if (Hw > 0 && w.bishops > 0) d += bishopWithHeavy;
    }
  } else if (w.rooks == 0 && b.rooks == 0) {
    if (b.knights > 0) d -= knightWithQueen;
    if (Hw > 0 && w.knights > 0) d += knightWithQueen;
    rookTerms = false;
  }

  if (rookTerms) {
    int64_t rookByPawns = MaterialPawnTable[Clamp64(w.pawns + b.pawns, 0, 16)];
    if (w.rooks > 0) d += w.rooks > 1 ? 2 * rookByPawns : rookByPawns;
    if (b.rooks > 0) d -= b.rooks > 1 ? 2 * rookByPawns : rookByPawns;
  }

  const bool whiteLeads = d > 0 && Uw - Ub >= 0 && Uw - Ub < 5;
  const bool blackLeads = d < 0 && Ub - Uw >= 0 && Ub - Uw < 5;
  if (whiteLeads || blackLeads) {
    int64_t pawns = whiteLeads ? w.pawns : b.pawns;
    if (pawns == 0) d /= 4;
    else if (pawns == 1) d /= 2;
    else if (pawns == 2) d = d * 4 / 5;
  }
  return d;
}

// The phase of one side: 0 with all its pieces, 256 with none.
int32_t SidePhase(int64_t minors, int64_t majors) {
  int64_t left = 12 - minors - 2 * majors;
  return (int32_t)(((left > 0 ? left : 0) * 256 + 6) / 12);
}

int32_t BoardPhase(int64_t minors, int64_t majors) {
  int64_t left = 24 - minors - 2 * majors;
  return (int32_t)(((left > 0 ? left : 0) * 256 + 12) / 24);
}

// A side's pieces weighted by one set of phase weights (knight, bishop,
// rook, queen, then pawn), stored in 16 bits.
uint16_t WeightedSum(const SideCounts& s, const int32_t* pieceWeights, int32_t pawnWeight) {
  int64_t sum = s.knights * pieceWeights[0] + s.bishops * pieceWeights[1] + s.rooks * pieceWeights[2] +
                s.queens * pieceWeights[3] + s.pawns * pawnWeight;
  return (uint16_t)(uint64_t)sum;
}

// Kinds of pieces a side can have in a material class: its own pieces
// (0 pawns only .. 17 queen and bishop) and, in six groups, the other side's.
int OwnKind(const SideCounts& s) {
  const int64_t minors = s.Minors();
  const int extra = s.knights > 0 ? 1 : s.bishops > 0 ? 2 : 0;
  if (s.queens > 0) return 15 + extra;
  if (s.rooks == 2) return 12 + extra;
  if (s.rooks == 1) return minors == 0 ? 8 : minors == 1 ? 8 + extra : 11;
  if (minors == 0) return 0;
  if (minors == 1) return extra;
  if (minors == 2) return s.knights == 2 ? 3 : s.bishops == 2 ? 5 : 4;
  return minors == 3 ? 6 : 7;
}

int OtherKind(const SideCounts& s) {
  if (s.queens > 0) return 5;
  if (s.rooks > 0) return s.rooks == 2 ? 4 : 3;
  return s.Minors() >= 2 ? 2 : (int)s.Minors();
}

// Both sides get a class row (6 * own kind + other kind) when each has at
// most one queen and no more than 13 piece units; otherwise neither does.
bool HasEndgameClasses(const SideCounts& w, const SideCounts& b) {
  return w.queens <= 1 && b.queens <= 1 && w.Units() <= 13 && b.Units() <= 13;
}

int EndgameClass(const SideCounts& own, const SideCounts& other) { return 6 * OwnKind(own) + OtherKind(other); }

// Flag byte of one colour: ENDING when the other side cannot mount a king
// attack, cannot-win with at most one minor or two knights and no pawns.
uint8_t SideFlags(const SideCounts& own, const SideCounts& other) {
  uint8_t flags = 0;
  if (other.Units() < 10 || (other.queens == 0 && other.Units() < 15)) flags |= MATERIAL_FLAG_ENDING;
  if (own.pawns == 0 && own.rooks == 0 && own.queens == 0 &&
      (own.Units() < 4 || (own.bishops == 0 && own.Units() < 7)))
    flags |= MATERIAL_FLAG_CANNOT_WIN;
  return flags;
}

int NonPawnSignature(const SideCounts& s) { return (int)(s.queens * 27 + s.rooks * 9 + s.bishops * 3 + s.knights); }

int FullSignature(const SideCounts& s) { return NonPawnSignature(s) * 9 + (int)s.pawns; }

// The extra value of one side's pieces over the board's piece values, as a
// middlegame and an endgame sum: DerivedParamsA gives the knight, bishop,
// rook and bishop-pair pairs; MaterialOffsets 6..11 add queen, pawn and
// bishop-pair pairs; DerivedQuads W/Y give a second rook or queen and X/Z a
// bishop, rook or queen per own pawn (both 0 unless a file sets them).
void SidePieceSums(const SideCounts& s, int64_t* mg, int64_t* eg) {
  const int32_t* a = DerivedParamsA;
  const int32_t* m = MaterialOffsets;
  const int64_t bishopPair = s.bishops >= 2, rookPair = s.rooks >= 2, queenPair = s.queens >= 2;
  *mg = s.knights * a[0] + s.bishops * a[2] + s.rooks * a[4] + s.queens * m[6] + s.pawns * m[8] +
        bishopPair * ((int64_t)a[6] + m[10]) + rookPair * DerivedQuadW[2] + queenPair * DerivedQuadW[3] +
        s.pawns * (s.bishops * DerivedQuadX[1] + s.rooks * DerivedQuadX[2] + s.queens * DerivedQuadX[3]);
  *eg = s.knights * a[1] + s.bishops * a[3] + s.rooks * a[5] + s.queens * m[7] + s.pawns * m[9] +
        bishopPair * ((int64_t)a[7] + m[11]) + rookPair * DerivedQuadY[2] + queenPair * DerivedQuadY[3] +
        s.pawns * (s.bishops * DerivedQuadZ[1] + s.rooks * DerivedQuadZ[2] + s.queens * DerivedQuadZ[3]);
}

// Value of an extra pawn over 100, by the non-pawn units on the board.
int64_t ExtraPawnValue(int64_t units) {
  const int32_t* f = DerivedParamsF;
  int64_t percent = units == 0 ? f[9] : units <= 8 ? f[10] : units <= 20 ? f[11] : f[12];
  return percent - 100 + DerivedParamsF2;
}

// A derived table entry, saturated to the 16 bits of a packed half.
int32_t ClampHalf(int64_t v) { return (int32_t)Clamp64(v, -32767, 32767); }

// The tables derived from the parameters before the material table: the
// pawn-count tables, the extra pawn values (table2 for WHITE's extra pawns,
// table3 for BLACK's, so that colour-swapped material mirrors), the
// connected-pawn table and the pin terms.
void DeriveWorkingTables(int32_t* table2, int32_t* table3) {
  for (int i = 14; i < 17; i++) MaterialPawnTable[i] = MaterialPawnTable[13];
  for (int i = 0; i < 9; i++) PawnCountBonus[i] = DerivedParamsE[i < 4 ? i : 4];
  RookVsMinorsBase[0] = 0;
  for (int i = 1; i < 9; i++) RookVsMinorsBase[i] = DerivedParamsE[i < 4 ? 4 + i : 8];

  for (int w = 0; w < 54; w++) {
    for (int b = 0; b < 54; b++) {
      auto units = [](int sig) { return 9 * (sig / 27) + 5 * (sig / 9 % 3) + 3 * (sig / 3 % 3) + 3 * (sig % 3); };
      int64_t value = ExtraPawnValue(units(w) + units(b));
      table2[w * 54 + b] = (int32_t)Clamp64(value, INT32_MIN, INT32_MAX);
      table3[b * 54 + w] = table2[w * 54 + b];
    }
  }

  // Connected pawns: the rank steps summed up the board, scaled by file group.
  const int32_t* f = DerivedParamsF;
  for (int square = 0; square < 64; square++) {
    int ownRank = 7 - (square >> 3), file = square & 7;
    int64_t steps = 0;
    for (int r = 1; r <= ownRank && ownRank < 7; r++) steps += f[r - 1 < 4 ? r - 1 : 4];
    steps = Clamp64(steps, INT32_MIN, INT32_MAX);
    bool centre = file >= 2 && file <= 5;
    PawnConnectedMg[square] = ClampHalf(steps * (centre ? f[5] : f[7]) / 64);
    PawnConnectedEg[square] = ClampHalf(steps * (centre ? f[6] : f[8]) / 64);
  }

  // Pin terms by the code of the pinned piece; the rest of the table is 0.
  for (int i = 0; i < 64; i++) Derived64Mg[i] = Derived64Eg[i] = 0;
  static const int pinCodes[5] = {KNIGHT, BISHOP, PAWN, ROOK, QUEEN};
  for (int k = 0; k < 5; k++) {
    Derived64Mg[40 + pinCodes[k]] = ClampHalf((int64_t)f[19] * f[14 + k] / 100);
    Derived64Eg[40 + pinCodes[k]] = ClampHalf((int64_t)f[20] * f[14 + k] / 100);
  }
}

// Decodes a material index into the two sides' counts.
void DecodeIndex(int index, SideCounts* w, SideCounts* b) {
  w->queens = index % 3;
  b->queens = index / 3 % 3;
  w->rooks = index / 9 % 3;
  b->rooks = index / 27 % 3;
  w->bishops = index / 81 % 3;
  b->bishops = index / 243 % 3;
  w->knights = index / 729 % 3;
  b->knights = index / 2187 % 3;
  w->pawns = index / 6561 % 9;
  b->pawns = index / 59049;
}

// One entry of the material table.
MaterialEntry BuildEntry(int index, const int32_t* matrix54, const int32_t* table2, const int32_t* table3,
                         const int32_t* matrix486, const int32_t* scale, const Offsets& offsets) {
  SideCounts w, b;
  DecodeIndex(index, &w, &b);
  MaterialEntry e{};
  e.current_phase = (int16_t)BoardPhase(w.Minors() + b.Minors(), w.Majors() + b.Majors());
  e.white_phase = (int16_t)SidePhase(w.Minors(), w.Majors());
  e.black_phase = (int16_t)SidePhase(b.Minors(), b.Majors());
  e.MaterialWeightSums[0] = WeightedSum(w, SigmoidAndPhaseParams + 8, PawnPhaseWeightA);
  e.MaterialWeightSums[1] = WeightedSum(b, SigmoidAndPhaseParams + 8, PawnPhaseWeightA);
  e.MaterialWeightSums[2] = WeightedSum(w, PhaseWeightsB, PawnPhaseWeightB);
  e.MaterialWeightSums[3] = WeightedSum(b, PhaseWeightsB, PawnPhaseWeightB);
  e.flags[WHITE] = SideFlags(w, b);
  e.flags[BLACK] = SideFlags(b, w);
  e.endgame_class[WHITE] = e.endgame_class[BLACK] = -1;
  e.scale = 256;

  int64_t d = 0;
  if (w.queens <= 1 && b.queens <= 1) {
    int w486 = FullSignature(w), b486 = FullSignature(b);
    int w54 = NonPawnSignature(w), b54 = NonPawnSignature(b);
    int64_t m486 = ((int64_t)matrix486[w486 * 486 + b486] - matrix486[b486 * 486 + w486]) / 2;
    int64_t m54 = ((int64_t)matrix54[w54 * 54 + b54] - matrix54[b54 * 54 + w54]) / 2;
    d = -m486 - m54;
    const int32_t* extraPawn = w.pawns < b.pawns ? table3 : table2;
    d -= (b.pawns - w.pawns) * (int64_t)extraPawn[w54 * 54 + b54];
    e.scale = (int16_t)Clamp64(scale[w486 * 486 + b486], -32767, 32767);
    if (HasEndgameClasses(w, b)) {
      e.endgame_class[WHITE] = (int16_t)EndgameClass(w, b);
      e.endgame_class[BLACK] = (int16_t)EndgameClass(b, w);
    }
  }
  d = ImbalanceRules(w, b, d, offsets);

  int64_t mgW, egW, mgB, egB;
  SidePieceSums(w, &mgW, &egW);
  SidePieceSums(b, &mgB, &egB);
  const int64_t phase = e.current_phase;
  int64_t blended = ((mgW - mgB) * (256 - phase) + (egW - egB) * phase) / 256;
  // Saturated well inside 16 bits so that the board's material added to it
  // still fits a packed half.
  e.material = (int16_t)-Clamp64(d + blended, -16000, 16000);
  return e;
}

// Counts of one colour from the position record.
SideCounts BoardCounts(int colour) {
  const ThreadBoard& b = thread_board;
  return {b.PieceCount[QUEEN][colour], b.PieceCount[ROOK][colour], b.PieceCount[BISHOP][colour],
          b.PieceCount[KNIGHT][colour], b.PieceCount[PAWN][colour]};
}

}  // namespace

void InitEvaluationTables(int32_t* matrix54, int32_t* table2, int32_t* table3, int32_t* matrix486, int32_t* scale) {
  FixValues();
  for (int i = 0; i < 54 * 54; i++) table2[i] = table3[i] = 0;
  DeriveWorkingTables(table2, table3);

  const Offsets offsets = CurrentOffsets();
  PARALLEL_FOR
  for (int index = 0; index < MATERIAL_OUTSIDE; index++)
    MaterialTable[index] = BuildEntry(index, matrix54, table2, table3, matrix486, scale, offsets);

  MaterialEntry& fallback = MaterialTable[MATERIAL_OUTSIDE];
  fallback = MaterialEntry{};
  fallback.current_phase = fallback.black_phase = fallback.white_phase = -1;
  fallback.endgame_class[WHITE] = fallback.endgame_class[BLACK] = -1;

  // The evaluator reads both classes or neither: one without the other is a
  // broken table, reported in the fill order with the counts that caused it.
  for (int wq = 0; wq < 3; wq++)
    for (int bq = 0; bq < 3; bq++)
      for (int wr = 0; wr < 3; wr++)
        for (int br = 0; br < 3; br++)
          for (int wb = 0; wb < 3; wb++)
            for (int bb = 0; bb < 3; bb++)
              for (int wn = 0; wn < 3; wn++)
                for (int bn = 0; bn < 3; bn++)
                  for (int wp = 0; wp < 9; wp++)
                    for (int bp = 0; bp < 9; bp++) {
                      int index = wq + 3 * bq + 9 * wr + 27 * br + 81 * wb + 243 * bb + 729 * wn + 2187 * bn +
                                  6561 * wp + 59049 * bp;
                      const MaterialEntry& e = MaterialTable[index];
                      if ((e.endgame_class[WHITE] == -1) != (e.endgame_class[BLACK] == -1)) {
                        printf("{%d %d} %d %d %d %d %d %d %d %d\n", e.endgame_class[WHITE], e.endgame_class[BLACK],
                               wq, bq, wr, br, wb, bb, wn, bn);
                        fflush(stdout);
                        ExitProgram(0);
                      }
                    }

  LoadPieceSquareBases();
  PackScorePairs();
}

int32_t EvaluateMaterial() {
  const ThreadBoard& b = thread_board;
  int64_t d = ImbalanceRules(BoardCounts(WHITE), BoardCounts(BLACK), 0, CurrentOffsets());
  return (int32_t)-Clamp64(d + b.Material[WHITE] - b.Material[BLACK], -30000, 30000);
}

void ComputePhase() {
  ThreadBoard& b = thread_board;
  b.black_phase = SidePhase(b.Minors[BLACK], b.Majors[BLACK]);
  b.white_phase = SidePhase(b.Minors[WHITE], b.Majors[WHITE]);
  b.current_phase = BoardPhase(b.Minors[WHITE] + b.Minors[BLACK], b.Majors[WHITE] + b.Majors[BLACK]);
  SideCounts w = BoardCounts(WHITE), k = BoardCounts(BLACK);
  b.MaterialWeightSums[0] = WeightedSum(w, SigmoidAndPhaseParams + 8, PawnPhaseWeightA);
  b.MaterialWeightSums[1] = WeightedSum(k, SigmoidAndPhaseParams + 8, PawnPhaseWeightA);
  b.MaterialWeightSums[2] = WeightedSum(w, PhaseWeightsB, PawnPhaseWeightB);
  b.MaterialWeightSums[3] = WeightedSum(k, PhaseWeightsB, PawnPhaseWeightB);
}

// Piece units by code (pawns and kings count none here).
static const int32_t CaptureUnits[8] = {0, 0, 3, 0, 0, 5, 3, 9};
// Bonus of a passed pawn by its rank from its owner's side.
static const int32_t PasserRankBonus[8] = {0, 2, 2, 10, 50, 200, 400, 0};

int32_t EstimateMoveEval(Move move) {
  ThreadBoard& b = thread_board;
  const int side = b.SideToMove, enemy = ChangeSide(side);
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move), promotion = MovePromotion(move);
  int captured = MoveCaptured(move);
  int capturedSquare = to;
  if (piece == PAWN && captured == 0 && FileOf(from) != FileOf(to)) {
    captured = PAWN;
    capturedSquare = side == WHITE ? to - 8 : to + 8;
  }
  int64_t gain = PieceValue[captured];

  int newIndex = MATERIAL_OUTSIDE;
  if (b.MaterialIndex == MATERIAL_OUTSIDE || (uint32_t)b.MaterialIndex > (uint32_t)MATERIAL_OUTSIDE) {
    if (captured != 0 && captured != PAWN) gain += CurrentOffsets().E;
  } else {
    newIndex = b.MaterialIndex - MaterialWeight[captured][enemy];
    int64_t change = (int64_t)MaterialTable[newIndex].material - MaterialTable[b.MaterialIndex].material;
    gain += side == BLACK ? change : -change;
  }

  if (b.PieceUnits[enemy] - CaptureUnits[captured] < 6) gain += 25;
  if (captured == QUEEN && b.PieceCount[QUEEN][enemy] == 1) gain += 25;

  const int arriving = promotion ? promotion : piece;
  if (promotion) {
    gain += 900;
  } else {
    const Bitboard* ownMask = side == WHITE ? WhitePassedMask : BlackPassedMask;
    const Bitboard* enemyMask = side == WHITE ? BlackPassedMask : WhitePassedMask;
    if (piece == PAWN && (ownMask[to] & b.Pieces[PAWN][enemy]) == 0)
      gain += PasserRankBonus[side == WHITE ? RankOf(to) : 7 - RankOf(to)];
    if (captured == PAWN && (enemyMask[capturedSquare] & b.Pieces[PAWN][side]) == 0)
      gain += PasserRankBonus[enemy == WHITE ? RankOf(capturedSquare) : 7 - RankOf(capturedSquare)];
  }

  EvalInfo& info = thread_eval_info;
  int32_t phase;
  if (newIndex != MATERIAL_OUTSIDE) {
    const MaterialEntry& e = MaterialTable[newIndex];
    b.current_phase = e.current_phase;
    b.black_phase = e.black_phase;
    b.white_phase = e.white_phase;
    for (int i = 0; i < 4; i++) b.MaterialWeightSums[i] = e.MaterialWeightSums[i];
    info.ENDING[WHITE] = (e.flags[WHITE] & MATERIAL_FLAG_ENDING) != 0;
    info.ENDING[BLACK] = (e.flags[BLACK] & MATERIAL_FLAG_ENDING) != 0;
  } else {
    ComputePhase();
    for (int colour = WHITE; colour <= BLACK; colour++) {
      int other = ChangeSide(colour);
      bool attack = b.PieceUnits[other] > EndingUnitThresholds[0] &&
                    (b.PieceCount[QUEEN][other] > 0 || b.PieceUnits[other] > EndingUnitThresholds[1]);
      info.ENDING[colour] = attack ? 0 : 1;
    }
  }
  phase = b.current_phase;

  int64_t mg = PieceSquareMg[arriving][side][to] - PieceSquareMg[piece][side][from];
  int64_t eg = PieceSquareEg[arriving][side][to] - PieceSquareEg[piece][side][from];
  if (captured != 0) {
    mg += PieceSquareMg[captured][enemy][capturedSquare];
    eg += PieceSquareEg[captured][enemy][capturedSquare];
  }
  gain += (mg * (256 - phase) + eg * phase) >> 8;

  if (arriving == QUEEN) gain += captured == PAWN ? 100 : 160;
  return (int32_t)Clamp64(gain, -30000, 30000);
}
