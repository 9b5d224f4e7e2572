#include "eval/evaluate.h"

#include <array>
#include <cstring>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "eval/endgame.h"
#include "eval/hashes.h"
#include "eval/material.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/passed.h"
#include "eval/pawns.h"
#include "eval/pieces.h"
#include "eval/pst.h"

EvalInfo thread_eval_info;
int32_t LazyEvalLow = -INFINITY_SCORE;
int32_t LazyEvalHigh = INFINITY_SCORE;
int32_t RootSide = WHITE;
int32_t Aggressivity = 100, AggressivityHalf = 50;
int32_t Cowardice = 100, CowardiceHalf = 50;

// Rook-ending class of a pawn-file byte: 0 without pawns, else by the
// leftmost pawn file (a, b, c, d or further right) and the number of files.
static constexpr std::array<int32_t, 256> MakeRookEndingFileIndex() {
  std::array<int32_t, 256> table{};
  for (int byte = 1; byte < 256; byte++) {
    int lowest = 0;
    while (!((byte >> lowest) & 1)) lowest++;
    int files = 0;
    for (int f = 0; f < 8; f++) files += (byte >> f) & 1;
    table[byte] = 1 + 8 * (lowest < 3 ? lowest : 3) + files - 1;
  }
  return table;
}
constexpr std::array<int32_t, 256> RookEndingFileIndex = MakeRookEndingFileIndex();

const int32_t KingRegion[64] = {
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 1, 1, 1, 1, 1, 1, 0,
    0, 1, 2, 2, 2, 2, 1, 0,
    0, 1, 2, 3, 3, 2, 1, 0,
    0, 1, 2, 3, 3, 2, 1, 0,
    0, 1, 2, 2, 2, 2, 1, 0,
    0, 1, 1, 1, 1, 1, 1, 0,
    0, 0, 0, 0, 0, 0, 0, 0};

// Positions of the named weights inside EvalParamsD (the other blocks' in
// eval/params.h).
enum EvalParamsDIndex {
  SHELTER_NO_QUEEN_SCALE = 32,
  SCALE_OPPOSITE_BISHOPS_FAR = 62, SCALE_OPPOSITE_BISHOPS = 63, SCALE_OPPOSITE_BISHOPS_PIECES = 64,
  SCALE_OPPOSITE_BISHOPS_MATERIAL = 65, SCALE_PAWNS_IN_KING_ZONE = 66,
  SCALE_LONE_PAWN_WIN_BISHOP = 68, SCALE_LONE_PAWN_DRAW_BISHOP = 69, SCALE_LONE_PAWN_WIN = 70,
  SCALE_LONE_PAWN_DRAW = 71, SCALE_LONE_PAWN_FRONT = 72, SCALE_LONE_PAWN_ASIDE = 73,
  SCALE_FILE_PAWNS_DRAW = 81, SCALE_FILE_PAWNS_WIN_PASSER = 82, SCALE_FILE_PAWNS_WIN_NO_PASSER = 83,
  SCALE_ROOK_PAWN_ROOK_PAWN_FILE = 84, SCALE_ROOK_PAWN_KNIGHT_PAWN_FILE = 85, SCALE_ROOK_PAWN_OTHER_FILE = 86,
  SCALE_ROOK_PAWN_KING_AWAY = 87, SCALE_ROOK_PAWN_ROOK_BETWEEN = 88, SCALE_ROOK_PAWN_KING_BEHIND = 89,
  SCALE_ROOK_PAWN_ROOK_OUTSIDE = 90, SCALE_PAWNLESS_EQUAL = 91, SCALE_QUEEN_MINOR_VS_QUEEN = 92,
  SCALE_ROOK_VS_ROOK = 93, SCALE_MINORS_VS_ROOK = 94, SCALE_ROOK_BISHOP_VS_ROOK_CUT = 95,
  SCALE_ROOK_BISHOP_VS_ROOK = 96, SCALE_ROOK_KNIGHT_VS_ROOK_CUT = 97, SCALE_ROOK_KNIGHT_VS_ROOK = 98,
  SCALE_ROOK_VS_BISHOP = 99, SCALE_ROOK_VS_KNIGHT = 100, SCALE_MINORS_VS_BISHOP = 101,
  SCALE_BISHOPS_VS_KNIGHT = 102, SCALE_MINORS_VS_KNIGHT = 103, SCALE_MINOR_VS_MINOR = 104,
  SCALE_MINORS_VS_MINORS = 105, SCALE_ROOK_MINOR_VS_MINORS = 106
};

static inline int Pawns(int colour) { return thread_board.PieceCount[PAWN][colour]; }
// Passed-file and pawn-file bytes of the pawn block (stored BLACK first / by name).
static inline int PassedByte(int colour) { return thread_board.PawnBlock.PassedVector[colour == BLACK ? 0 : 1]; }
static inline int PawnFiles(int colour) {
  return colour == BLACK ? thread_board.PawnBlock.black_files : thread_board.PawnBlock.white_files;
}

int32_t ScaleScore(int32_t score, int32_t factor) { return (int32_t)((int64_t)score * factor / 256); }

uint64_t EvalHashKey() { return thread_board.HashKey ^ ZobristCastle[thread_board.CastleFlags & 15]; }

// The material entry of the position (the fallback for material outside the table).
static inline const MaterialEntry& CurrentMaterialEntry() {
  uint32_t index = (uint32_t)thread_board.MaterialIndex;
  return MaterialTable[index > (uint32_t)MATERIAL_OUTSIDE ? MATERIAL_OUTSIDE : index];
}

int KingInEnding(int colour) {
  int other = ChangeSide(colour);
  int units = thread_board.PieceUnits[other];
  return !(units > EndingUnitThresholds[0] &&
           (thread_board.PieceCount[QUEEN][other] > 0 || units > EndingUnitThresholds[1]));
}

// Material term, phases, weighted sums and ENDING flags of the position.
void EvaluateMaterialAndPhase() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (b.MaterialIndex == MATERIAL_OUTSIDE) {
    e.material_score = EvaluateMaterial();
    ComputePhase();
    e.ENDING[WHITE] = KingInEnding(WHITE);
    e.ENDING[BLACK] = KingInEnding(BLACK);
    return;
  }
  const MaterialEntry& m = CurrentMaterialEntry();
  e.material_score = b.Material[BLACK] - b.Material[WHITE] + m.material;
  b.current_phase = m.current_phase;
  b.black_phase = m.black_phase;
  b.white_phase = m.white_phase;
  std::memcpy(b.MaterialWeightSums, m.MaterialWeightSums, sizeof b.MaterialWeightSums);
  e.ENDING[WHITE] = (m.flags[WHITE] & MATERIAL_FLAG_ENDING) != 0;
  e.ENDING[BLACK] = (m.flags[BLACK] & MATERIAL_FLAG_ENDING) != 0;
}

// Factor-over-256 steps of the material-case scaling: "scale" also moves
// derive_base, "multiply" does not.
static inline void ScaleBy(int32_t factor) {
  EvalInfo& e = thread_eval_info;
  e.derive_base = ScaleScore(e.derive_base, factor);
  e.score = ScaleScore(e.score, factor);
}
// Both round toward zero, so a position and its colour-flipped twin, whose
// scores differ only in sign, are scaled alike.
static inline void MultiplyBy(int32_t factor) {
  thread_eval_info.score = (int32_t)((int64_t)thread_eval_info.score * factor / 256);
}

// Piece-square sum, both halves weighted by the pawn counts of the side
// ahead and the side behind.
static void AddPieceSquareSum() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int black = Min(3, Pawns(BLACK)), white = Min(3, Pawns(WHITE));
  int index;
  if (e.material_score > 0) index = 4 * black + white;
  else if (e.material_score < 0) index = 4 * white + black;
  else index = 4 * Min(black, white) + Max(black, white);
  int32_t scale = PawnCountScale[index];
  int32_t mg = (int32_t)((int64_t)PackedMg(b.PstSum) * scale / 256);
  int32_t eg = (int32_t)((int64_t)PackedEg(b.PstSum) * scale / 256);
  e.packed_score = PackedAdd(e.packed_score, PackPair(mg, eg));
}

// Rook endings by the pawn files of both sides; other classified endings by
// their pawn-file pattern and the kings' distance and regions. The halves
// round toward zero so that the colour-flipped twin gets the negated term.
static void AddPawnFileImbalance() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int fb = PawnFiles(BLACK), fw = PawnFiles(WHITE);
  if (b.PieceUnits[WHITE] == 5 && b.PieceUnits[BLACK] == 5 && b.AllPawns) {
    int bi = RookEndingFileIndex[fb], wi = RookEndingFileIndex[fw];
    int bm = RookEndingFileIndex[ReverseBits8[fb] & 255], wm = RookEndingFileIndex[ReverseBits8[fw] & 255];
    int64_t sum = (int64_t)RookEndingFiles[bi][wi] - RookEndingFiles[wi][bi] + RookEndingFiles[bm][wm] -
                  RookEndingFiles[wm][bm];
    e.packed_score = PackedAdd(e.packed_score, PackPlain((int32_t)(sum / 2)));
    return;
  }
  const MaterialEntry& m = CurrentMaterialEntry();
  int classBlack = m.endgame_class[BLACK], classWhite = m.endgame_class[WHITE];
  if (classBlack == -1) return;
  int64_t t = 0;
  int difference = b.PieceUnits[BLACK] - b.PieceUnits[WHITE];
  if (difference != 0) {
    int d = Abs(difference);
    int k = d <= 2 ? 0 : d <= 4 ? 1 : 2;
    int stronger = difference > 0 ? BLACK : WHITE;
    int strongKing = b.KingSquare[stronger], weakKing = b.KingSquare[ChangeSide(stronger)];
    int distance = Clamp(KingDistance(strongKing, weakKing), 2, 5) - 2;
    int32_t term = KingDistanceClass[k][distance][4 * KingRegion[strongKing] + KingRegion[weakKing]];
    t = stronger == BLACK ? term : -(int64_t)term;
  }
  int64_t classes = 0;
  if (classBlack >= 0 && classBlack < 114)
    classes += EndgameClassTable[classBlack][Clamp(PawnFileClass[fb], 0, 5)][Pawns(WHITE) > 0];
  if (classWhite >= 0 && classWhite < 114)
    classes -= EndgameClassTable[classWhite][Clamp(PawnFileClass[fw], 0, 5)][Pawns(BLACK) > 0];
  e.packed_score = PackedAdd(e.packed_score, PackPlain((int32_t)(t + classes / 2)));
}

// Rook against two minors with passers, and kings that stand between the
// pawns in pure pawn endings.
static void AddEndingTerms() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  auto rookAlone = [&](int c) { return b.PieceUnits[c] == 5; };
  auto twoMinorsWithKnight = [&](int c) {
    return b.PieceUnits[c] == 6 && b.Minors[c] == 2 && b.PieceCount[KNIGHT][c] > 0;
  };
  if (rookAlone(WHITE) && twoMinorsWithKnight(BLACK)) {
    e.packed_score = PackedSub(e.packed_score, RookVsMinorsPassers[PopCount8[PassedByte(WHITE)]]);
  } else if (twoMinorsWithKnight(WHITE) && rookAlone(BLACK)) {
    e.packed_score = PackedAdd(e.packed_score, RookVsMinorsPassers[PopCount8[PassedByte(BLACK)]]);
  } else if (b.PieceUnits[WHITE] == 0 && b.PieceUnits[BLACK] == 0) {
    e.derivable = 0;
    int fw = FileOf(b.KingSquare[WHITE]), fb = FileOf(b.KingSquare[BLACK]);
    int m = b.SideToMove == BLACK;
    int wFiles = PawnFiles(WHITE), bFiles = PawnFiles(BLACK);
    // With no pawns of a side its leftmost and rightmost files do not exist
    // and the tests on them fail.
    auto leftOf = [](int file, int byte) { return byte != 0 && file < LowBit8[byte]; };
    auto leftOfHigh = [](int file, int byte) { return byte != 0 && file < HighBit8[byte]; };
    auto rightOf = [](int file, int byte) { return byte != 0 && file > HighBit8[byte]; };
    auto rightOfLow = [](int file, int byte) { return byte != 0 && file > LowBit8[byte]; };
    // The white king stands between the black king and Black's pawns.
    if ((fb < fw - m && leftOf(fw, bFiles) && leftOfHigh(fw, wFiles)) ||
        (fb > fw + m && rightOf(fw, bFiles) && rightOfLow(fw, wFiles)))
      e.packed_score = PackedSub(e.packed_score, KingBetweenPawns);
    // The black king stands between the white king and White's pawns.
    if ((fw < fb - 1 + m && leftOf(fb, wFiles) && leftOfHigh(fb, bFiles)) ||
        (fw > fb + 1 - m && rightOf(fb, wFiles) && rightOfLow(fb, bFiles)))
      e.packed_score = PackedAdd(e.packed_score, KingBetweenPawns);
  }
}

// The packed sum blended by the game phase, with the per-colour sums blended
// by the phase of their own colour.
static int32_t TaperedScore() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int64_t mg = PackedMg(e.packed_score), eg = PackedEg(e.packed_score);
  int64_t cp = b.current_phase, bp = b.black_phase, wp = b.white_phase;
  int64_t score = (mg * (256 - cp) + eg * cp) / 256;
  score += ((int64_t)e.side_eg[BLACK] * bp + (int64_t)e.side_mg[BLACK] * (256 - bp)) / 256;
  score -= ((int64_t)e.side_eg[WHITE] * wp + (int64_t)e.side_mg[WHITE] * (256 - wp)) / 256;
  return (int32_t)score;
}

// Exactly one pawn: the lone pawn's chances by the kings and the pieces.
static void ScaleLonePawn() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  e.derivable = 0;
  if (b.PieceUnits[WHITE] != b.PieceUnits[BLACK] || b.Majors[WHITE] != b.Majors[BLACK]) return;
  int pawnSide = Pawns(WHITE) ? WHITE : BLACK, defender = ChangeSide(pawnSide);
  int pawn = LeastSignificantBit(b.Pieces[PAWN][pawnSide]);
  Bitboard front = pawnSide == WHITE ? WhitePassedMask[pawn] : BlackPassedMask[pawn];
  int defenderInFront = (front & SquareBit(b.KingSquare[defender])) != 0;
  int majors = b.Majors[WHITE];
  int minorsBelowTwo = b.Minors[WHITE] < 2 && b.Minors[BLACK] < 2;
  int noMinors = b.Minors[WHITE] == 0 && b.Minors[BLACK] == 0;
  if ((majors == 0 && minorsBelowTwo) || (majors > 0 && noMinors)) {
    int units = b.PieceUnits[WHITE];
    if (units >= 1 && units <= 9)
      MultiplyBy(EvalParamsD[defenderInFront ? SCALE_LONE_PAWN_FRONT : SCALE_LONE_PAWN_ASIDE]);
    return;
  }
  int wins;
  if (b.Majors[pawnSide] == 0) {
    // The KPK probe sees the pawn as WHITE's: a black pawn turns the board.
    if (pawnSide == WHITE)
      wins = ProbeKpk(b.SideToMove == WHITE ? 0 : 1, pawn, b.KingSquare[WHITE], b.KingSquare[BLACK], &e.derivable);
    else
      wins = ProbeKpk(b.SideToMove == BLACK ? 0 : 1, 63 - pawn, 63 - b.KingSquare[BLACK], 63 - b.KingSquare[WHITE],
                      &e.derivable);
  } else {
    wins = !defenderInFront;
  }
  int bishop = b.PieceCount[BISHOP][defender] > 0;
  if (bishop) MultiplyBy(EvalParamsD[wins ? SCALE_LONE_PAWN_WIN_BISHOP : SCALE_LONE_PAWN_DRAW_BISHOP]);
  else MultiplyBy(EvalParamsD[wins ? SCALE_LONE_PAWN_WIN : SCALE_LONE_PAWN_DRAW]);
}

// Rook and one pawn against a rook. The pawn moves toward rank 8 for WHITE
// and toward rank 1 for BLACK; "ahead" follows it.
static void ScaleRookPawnVsRook(int pawnSide) {
  ThreadBoard& b = thread_board;
  int defender = ChangeSide(pawnSide);
  int pawn = LeastSignificantBit(b.Pieces[PAWN][pawnSide]);
  int king = b.KingSquare[defender], ownKing = b.KingSquare[pawnSide];
  int filePawn = FileOf(pawn), fileKing = FileOf(king);
  int fileDistance = Abs(fileKing - filePawn);
  int ahead = pawnSide == WHITE ? RankOf(king) > RankOf(pawn) : RankOf(king) < RankOf(pawn);
  int behind = pawnSide == WHITE ? RankOf(king) < RankOf(pawn) : RankOf(king) > RankOf(pawn);
  int ownRank = pawnSide == WHITE ? RankOf(pawn) : 7 - RankOf(pawn);
  if (fileDistance <= 1 && ahead) {
    int edge = Min(filePawn, 7 - filePawn);
    ScaleBy(EvalParamsD[edge == 0   ? SCALE_ROOK_PAWN_ROOK_PAWN_FILE
                        : edge == 1 ? SCALE_ROOK_PAWN_KNIGHT_PAWN_FILE
                                    : SCALE_ROOK_PAWN_OTHER_FILE]);
  } else if (behind || fileDistance > 1) {
    if (!(KingAttacks[pawn] & SquareBit(ownKing))) {
      ScaleBy(EvalParamsD[SCALE_ROOK_PAWN_KING_AWAY]);
    } else if (fileDistance + ownRank < 6) {
      ScaleBy(EvalParamsD[SCALE_ROOK_PAWN_KING_BEHIND]);
    } else {
      int fileRook = FileOf(LeastSignificantBit(b.Pieces[ROOK][pawnSide]));
      int between = fileRook > Min(fileKing, filePawn) && fileRook < Max(fileKing, filePawn);
      ScaleBy(EvalParamsD[between ? SCALE_ROOK_PAWN_ROOK_BETWEEN : SCALE_ROOK_PAWN_ROOK_OUTSIDE]);
    }
  }
}

// Two pawns against one on few files with equal small material.
static void ScaleFilePawns() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int side = Pawns(WHITE) == 2 ? WHITE : BLACK, defender = ChangeSide(side);
  int files = PawnFiles(side);
  if (b.PieceUnits[side] == 0 && files != 3 && files != 0xc4) return;
  e.derivable = 0;
  int rook = b.PieceCount[ROOK][side] > 0;
  int king = b.KingSquare[defender];
  for (Bitboard pawns = b.Pieces[PAWN][side]; pawns;) {
    int pawn = PopLSB(&pawns);
    if (rook) {
      Bitboard front = side == WHITE ? WhitePassedMask[pawn] : BlackPassedMask[pawn];
      if (!(front & SquareBit(king))) return;
    } else {
      int won = side == WHITE
                    ? ProbeKpkFile(b.SideToMove == WHITE ? 0 : 1, pawn, b.KingSquare[WHITE], king, &e.derivable)
                    : ProbeKpkFile(b.SideToMove == BLACK ? 0 : 1, 63 - pawn, 63 - b.KingSquare[BLACK], 63 - king,
                                   &e.derivable);
      if (won) return;
    }
  }
  if (!rook) ScaleBy(EvalParamsD[SCALE_FILE_PAWNS_DRAW]);
  else ScaleBy(EvalParamsD[PassedByte(side) == 0 ? SCALE_FILE_PAWNS_WIN_NO_PASSER : SCALE_FILE_PAWNS_WIN_PASSER]);
}

// Bishops of opposite colours, one each.
static void ScaleOppositeBishops() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int unitsW = b.PieceUnits[WHITE], unitsB = b.PieceUnits[BLACK];
  if (Abs(Pawns(WHITE) - Pawns(BLACK)) < 3) {
    if (unitsW == 3 && unitsB == 3) ScaleBy(EvalParamsD[SCALE_OPPOSITE_BISHOPS]);
  } else if (unitsW == 3 && unitsB == 3) {
    ScaleBy(EvalParamsD[SCALE_OPPOSITE_BISHOPS_FAR]);
  } else if (unitsW == unitsB) {
    int32_t m = e.material_score;
    if (unitsW == 8) m = ScaleScore(m, EvalParamsD[SCALE_OPPOSITE_BISHOPS_MATERIAL]);
    e.score = (int32_t)(((int64_t)e.score - e.material_score) * EvalParamsD[SCALE_OPPOSITE_BISHOPS_PIECES] / 256 + m);
    e.derive_base = ScaleScore(e.derive_base, EvalParamsD[SCALE_OPPOSITE_BISHOPS_PIECES]);
  }
}

// The pawnless side ahead: the factor of its material case, if any.
static void ScalePawnlessAhead() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  if (e.tapered_score == 0) return;
  if (b.AllPawns == 0 && b.PieceUnits[WHITE] == b.PieceUnits[BLACK]) ScaleBy(EvalParamsD[SCALE_PAWNLESS_EQUAL]);
  int ahead = e.tapered_score > 0 ? BLACK : WHITE, other = ChangeSide(ahead);
  if (Pawns(ahead) != 0) return;
  int a = b.PieceUnits[ahead], d = b.PieceUnits[other];
  int knightsA = b.PieceCount[KNIGHT][ahead], bishopsA = b.PieceCount[BISHOP][ahead];
  if (a == 12 && d == 9) {
    if (b.PieceCount[QUEEN][ahead] == 1 && b.PieceCount[QUEEN][other] == 1)
      ScaleBy(EvalParamsD[SCALE_QUEEN_MINOR_VS_QUEEN]);
  } else if (a == 8 && d == 5) {
    int rook = LeastSignificantBit(b.Pieces[ROOK][ahead]);
    int king = b.KingSquare[other];
    int cut = (FileOf(king) == 0 && FileOf(rook) == 1) || (FileOf(king) == 7 && FileOf(rook) == 6) ||
              (RankOf(king) == 0 && RankOf(rook) == 1) || (RankOf(king) == 7 && RankOf(rook) == 6);
    if (knightsA) ScaleBy(EvalParamsD[cut ? SCALE_ROOK_KNIGHT_VS_ROOK_CUT : SCALE_ROOK_KNIGHT_VS_ROOK]);
    else ScaleBy(EvalParamsD[cut ? SCALE_ROOK_BISHOP_VS_ROOK_CUT : SCALE_ROOK_BISHOP_VS_ROOK]);
  } else if (a == 8 && d == 6) {
    ScaleBy(EvalParamsD[SCALE_ROOK_MINOR_VS_MINORS]);
  } else if (a == 6 && d == 5) {
    ScaleBy(EvalParamsD[SCALE_MINORS_VS_ROOK]);
  } else if (a == 6 && d == 6) {
    ScaleBy(EvalParamsD[SCALE_MINORS_VS_MINORS]);
  } else if (a == 6 && d == 3) {
    if (b.PieceCount[BISHOP][other]) ScaleBy(EvalParamsD[SCALE_MINORS_VS_BISHOP]);
    else if (bishopsA == 2) ScaleBy(EvalParamsD[SCALE_BISHOPS_VS_KNIGHT]);
    else if (knightsA) ScaleBy(EvalParamsD[SCALE_MINORS_VS_KNIGHT]);
  } else if (a == 5 && d == 5) {
    ScaleBy(EvalParamsD[SCALE_ROOK_VS_ROOK]);
  } else if (a == 5 && d == 3) {
    ScaleBy(EvalParamsD[b.PieceCount[BISHOP][other] ? SCALE_ROOK_VS_BISHOP : SCALE_ROOK_VS_KNIGHT]);
  } else if (a == 3 && d == 3) {
    ScaleBy(EvalParamsD[SCALE_MINOR_VS_MINOR]);
  }
}

// Drawish material cases, in their fixed order, on thread_eval_info.score.
static void ScaleMaterialCases() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int pawns = PopCount(b.AllPawns);
  if (pawns == 3) {
    e.derivable = 0;
    e.score = ScaleDrawishEndgame(e.score);
  }
  if (pawns == 1) ScaleLonePawn();
  // Every pawn of the side ahead stands in front of the defending king.
  if (b.PieceUnits[WHITE] <= b.PieceUnits[BLACK] && e.tapered_score < 0 &&
      (b.Pieces[PAWN][WHITE] & ~BlackPassedMask[b.KingSquare[BLACK]]) == 0)
    ScaleBy(EvalParamsD[SCALE_PAWNS_IN_KING_ZONE]);
  else if (b.PieceUnits[BLACK] <= b.PieceUnits[WHITE] && e.tapered_score > 0 &&
           (b.Pieces[PAWN][BLACK] & ~WhitePassedMask[b.KingSquare[WHITE]]) == 0)
    ScaleBy(EvalParamsD[SCALE_PAWNS_IN_KING_ZONE]);

  if ((b.CannotWin[BLACK] && e.tapered_score > 0) || (b.CannotWin[WHITE] && e.tapered_score < 0)) {
    e.score = 0;
    e.derive_base = 0;
  } else if (pawns == 1 && b.PieceUnits[WHITE] == 5 && b.PieceUnits[BLACK] == 5) {
    ScaleRookPawnVsRook(Pawns(WHITE) ? WHITE : BLACK);
  } else if (b.PieceUnits[WHITE] < 12 && b.PieceUnits[BLACK] < 12) {
    if (b.PieceUnits[WHITE] == b.PieceUnits[BLACK] && b.PieceUnits[WHITE] < 6 && pawns == 3 &&
        Pawns(WHITE) != 0 && Pawns(BLACK) != 0 && PopCount8[PassedByte(WHITE)] <= 1 &&
        PopCount8[PassedByte(BLACK)] <= 1 && (b.Pieces[KNIGHT][WHITE] | b.Pieces[KNIGHT][BLACK]) == 0)
      ScaleFilePawns();
    if (b.PieceCount[BISHOP][WHITE] == 1 && b.PieceCount[BISHOP][BLACK] == 1 &&
        ((b.Pieces[BISHOP][WHITE] & DarkSquares) != 0) != ((b.Pieces[BISHOP][BLACK] & DarkSquares) != 0))
      ScaleOppositeBishops();
  }
  ScalePawnlessAhead();
}

// Tempo for the side to move, the sign for WHITE to move, and the king steps
// in the attack maps.
static void FinishScore(int32_t* out) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  // The two sides' tempi differ by their king-attack bonuses; derive_base
  // takes both, so the score derived for the other side to move is exact.
  int stm = b.SideToMove & 1;
  int32_t base = 8 - ShiftDown((int64_t)b.current_phase - 1, 6);
  int32_t t = base + e.tempo_bonus[stm], other = base + e.tempo_bonus[stm ^ 1];
  if (b.SideToMove == BLACK) {
    e.score += t;
    e.derive_base += t + other;
    *out = e.score;
  } else {
    e.score -= t;
    e.derive_base = t + other - e.derive_base;
    *out = -e.score;
  }
  e.attack_map[WHITE] |= KingAttacks[b.KingSquare[WHITE]];
  e.attack_map[BLACK] |= KingAttacks[b.KingSquare[BLACK]];
}

static void EvaluateAllTerms(int32_t* out);

// With little material the endgame knowledge decides whether the side to
// move can win at all; a side that cannot and is not behind by the score of
// the whole evaluation draws.
void EvaluatePosition(int32_t* out) {
  const ThreadBoard& b = thread_board;
  const int reduced =
      b.PieceUnits[WHITE] < EndingUnitThresholds[0] || b.PieceUnits[BLACK] < EndingUnitThresholds[0];
  EvaluateAllTerms(out);
  if (reduced) DrawWhenSideToMoveCannotWin(out);
}

// The fields that the terms of a position with pieces on both sides add to
// or set only in some cases. Every other field of the record is written
// before anything reads it when the piece terms run (the piece terms clear
// the mobility classes of a side without minors themselves).
static void ClearSums(EvalInfo& e) {
  for (int c = 0; c < 2; c++) {
    e.side_mg[c] = e.side_eg[c] = e.tempo_bonus[c] = 0;
    e.queen_attacks[c] = e.knight_attacks[c] = e.bishop_attacks[c] = e.rook_attacks[c] = 0;
    e.zone_safe_attacks[c] = 0;
    e.danger[c] = e.attack_value[c] = e.pressure[c] = 0;
    e.attack_map[c] = e.threat_map[c] = 0;
  }
  e.derive_base = 0;
}

static void EvaluateAllTerms(int32_t* out) {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  // With less material the endgame knowledge may answer at once, and without
  // pieces the piece terms do not run: the whole record starts at 0 then.
  const int threshold = EndingUnitThresholds[0];
  if (b.PieceUnits[WHITE] >= threshold && b.PieceUnits[BLACK] >= threshold &&
      (b.PieceUnits[WHITE] | b.PieceUnits[BLACK]) != 0)
    ClearSums(e);
  else
    std::memset(&e, 0, sizeof e);
  e.derivable = 1;
  e.cacheable = 1;

  if (b.PieceUnits[WHITE] < EndingUnitThresholds[0] || b.PieceUnits[BLACK] < EndingUnitThresholds[0]) {
    e.material_score = b.Material[BLACK] - b.Material[WHITE];
    int32_t score = INFINITY_SCORE, exact = 1;
    int32_t term = EvaluateEndgame(&score, &exact);
    if (exact) {
      *out = score;
      return;
    }
    e.packed_score = PackPlain(term);
  } else {
    EvaluateMaterialAndPhase();
    e.packed_score = PackPlain(e.material_score);
    b.AllPawns = b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK];
    b.CannotWin[WHITE] = b.CannotWin[BLACK] = 0;
  }

  AddPieceSquareSum();
  EvaluatePawns();
  AddPawnFileImbalance();
  e.threat_map[WHITE] |= e.passed_pawns[WHITE];
  e.threat_map[BLACK] |= e.passed_pawns[BLACK];
  if (e.ENDING[WHITE] || e.ENDING[BLACK]) AddEndingTerms();

  if (PassedByte(WHITE) || PassedByte(BLACK)) {
    e.packed_score = EvaluatePassedPawns(e.packed_score);
    if (b.Material[WHITE] == 100 && b.Material[BLACK] == 100 && EvaluateKingPawnEnding(out)) return;
  }

  if (!e.ENDING[BLACK]) e.side_mg[WHITE] -= EvaluateBlackKingCentre();
  else e.shelter_penalty[BLACK] = 0;
  if (!e.ENDING[WHITE]) e.side_mg[BLACK] -= EvaluateWhiteKingCentre();
  else e.shelter_penalty[WHITE] = 0;

  if (b.PieceUnits[WHITE] == 0 && b.PieceUnits[BLACK] == 0) {
    // Pure pawn ending: no piece terms and no material-case scaling; the
    // search still reads the pawns' attacks in the maps.
    EvaluatePawnAttacks();
    e.tapered_score = TaperedScore();
    e.score = e.tapered_score;
    if ((b.CannotWin[BLACK] && e.score > 0) || (b.CannotWin[WHITE] && e.score < 0)) e.score = 0;
    FinishScore(out);
    return;
  }

  EvaluatePieces();
  e.tapered_score = TaperedScore();
  e.score = EvaluateSafeQueenChecks(e.tapered_score);
  int queenThreshold = EndingUnitThresholds[1];
  if (!(b.PieceUnits[WHITE] > queenThreshold && b.PieceUnits[BLACK] > queenThreshold) && e.score != 0)
    ScaleMaterialCases();
  FinishScore(out);
}

// File terms of the king shelter: open, half open (pawns of the other side
// only) or held by an own pawn on its first (0) or second (1) step.
template <int colour>
static int FileShelterTerm(int file, int centre) {
  ThreadBoard& b = thread_board;
  Bitboard mask = FileMask[file];
  Bitboard own = b.Pieces[PAWN][colour] & mask;
  if (!((b.Pieces[PAWN][WHITE] | b.Pieces[PAWN][BLACK]) & mask))
    return centre ? EvalParamsA[CENTRE_FILE_OPEN] : EvalParamsA[SIDE_FILE_OPEN];
  if (!own) return centre ? SigmoidAndPhaseParams[CENTRE_FILE_HALF_OPEN] : SigmoidAndPhaseParams[SIDE_FILE_HALF_OPEN];
  int home = colour == WHITE ? 1 : 6, step = colour == WHITE ? 2 : 5;
  if (own & SquareBit(home * 8 + file)) return 0;
  if (own & SquareBit(step * 8 + file)) return 1;
  return 2;
}

// Shelter penalty of the king of `colour`, from that king's side (larger is
// worse). The WHITE king reads KingSquareShelter by its square, the BLACK king
// by the mirrored square; "home", "b-pawn" and the like follow its colour.
template <int colour>
static int KingShelterPenalty(int32_t* result) {
  ThreadBoard& b = thread_board;
  constexpr int other = colour ^ 1;
  int king = b.KingSquare[colour];
  const PawnHashEntry& block = b.PawnBlock;
  int kingSide = colour == WHITE ? block.shelter[0] : block.shelter[2];
  int queenSide = colour == WHITE ? block.shelter[1] : block.shelter[3];
  uint32_t castleShort = colour == WHITE ? 1 : 4, castleLong = colour == WHITE ? 2 : 8;
  int queenHome = colour == WHITE ? D1 : D8;
  // Squares seen from the king's own side: rank r of WHITE is rank 7 - r of BLACK.
  auto own = [](int square) { return colour == WHITE ? square : square ^ 56; };
  int64_t penalty = KingSquareShelter[colour == WHITE ? king : 63 - king];
  *result = 0;
  if (b.CastleFlags & (castleShort | castleLong)) {
    if (!(b.Pieces[QUEEN][colour] & SquareBit(queenHome))) *result = -EvalParamsA[QUEEN_OFF_HOME_PENALTY];
    int s = FileShelterTerm<colour>(3, 0) + FileShelterTerm<colour>(4, 1) + FileShelterTerm<colour>(5, 0);
    int m = s;
    if (b.CastleFlags & castleLong) m = Min(m, queenSide);
    if (b.CastleFlags & castleShort) m = Min(m, kingSide);
    penalty += (s >> 1) + (Max(m, 0) >> 1);
  } else {
    int file = FileOf(king);
    int queenSideKing = file <= 3;
    penalty += queenSideKing ? queenSide : kingSide;
    int pawnSquare = own(queenSideKing ? B2 : G2), holeSquare = own(queenSideKing ? C3 : F3);
    if (!(b.Pieces[PAWN][colour] & SquareBit(pawnSquare)) &&
        ((b.Pieces[PAWN][other] | b.Pieces[BISHOP][other]) & SquareBit(holeSquare)) && b.PieceCount[QUEEN][other])
      penalty += EvalParamsA[FIANCHETTO_HOLE_PENALTY];
    if (file == 3)
      penalty += FileShelterTerm<colour>(2, 0) + FileShelterTerm<colour>(3, 1) + FileShelterTerm<colour>(4, 0) + 1;
    else if (file == 4)
      penalty += FileShelterTerm<colour>(3, 0) + FileShelterTerm<colour>(4, 1) + FileShelterTerm<colour>(5, 0) + 1;
  }
  if (!b.PieceCount[QUEEN][other]) penalty = ShiftDown(penalty * EvalParamsD[SHELTER_NO_QUEEN_SCALE], 8);
  return (int)(penalty < 0 ? 0 : penalty > 63 ? 63 : penalty);
}

// The shelter term of one king, negative when the king is poorly sheltered.
template <int colour>
static int32_t KingCentreTerm() {
  int32_t result;
  int penalty = KingShelterPenalty<colour>(&result);
  thread_eval_info.shelter_penalty[colour] = penalty;
  int64_t half = RootSide == colour ? CowardiceHalf : AggressivityHalf;
  return (int32_t)(result - half * ShelterPenaltyTable[penalty] / 100);
}

int32_t EvaluateBlackKingCentre() { return KingCentreTerm<BLACK>(); }
int32_t EvaluateWhiteKingCentre() { return KingCentreTerm<WHITE>(); }

// Enough material for the side `colour` to win: the lazy exit may trust the
// material balance only then.
static inline int CanWinByMaterial(int colour) {
  int pawns = Pawns(colour), units = thread_board.PieceUnits[colour];
  return (pawns >= 2 && units > 5) || (pawns <= 1 && units > 9);
}

// Pawn of `colour` on its seventh (100) or sixth (50) rank.
static inline int AdvancedPawnBonus(int colour) {
  Bitboard pawns = thread_board.Pieces[PAWN][colour];
  Bitboard seventh = colour == WHITE ? 0x00ff000000000000ULL : 0xff00ULL;
  Bitboard sixth = colour == WHITE ? 0x0000ff0000000000ULL : 0xff0000ULL;
  return (pawns & seventh) ? 100 : (pawns & sixth) ? 50 : 0;
}

// The body of LazyMaterialBalance, always inline: Evaluate, which runs it
// at every node, shares its loads of the side to move and the material, and
// the link-time build kept it as a call of its own.
[[gnu::always_inline]] static inline int LazyBalance(int32_t* balance) {
  const ThreadBoard& b = thread_board;
  const int stm = b.SideToMove & 1, other = ChangeSide(stm);
  const int32_t low = RootSide == stm ? LazyEvalLow : -LazyEvalHigh;
  const int32_t high = RootSide == stm ? LazyEvalHigh : -LazyEvalLow;
  int32_t m = b.Material[stm] - b.Material[other];
  int side = 0;
  if (m < low && CanWinByMaterial(other)) {
    m += AdvancedPawnBonus(stm);
    if (m < low) side = -1;
  } else if (m > high && CanWinByMaterial(stm)) {
    m -= AdvancedPawnBonus(other);
    if (m > high) side = 1;
  }
  *balance = m;
  return side;
}

int LazyMaterialBalance(int32_t* balance) { return LazyBalance(balance); }

// Asks the memory for the lines the evaluation is about to read, so that
// their misses overlap instead of following one another: the part of the
// cache entry past its key (half the entries reach into the next line) and,
// unless the pawn block already holds the pawn structure, its pawn-hash
// entry, read only if the cache misses.
[[gnu::always_inline]] static inline void RequestProbeLines(const EvalHashEntry* entry) {
  const ThreadBoard& b = thread_board;
  if (entry != nullptr) __builtin_prefetch((const char*)entry + sizeof(EvalHashEntry) - 1);
  if (b.PawnBlock.key != b.PawnKey && PawnHashTable != nullptr && PawnHashAllocated > 0) {
    const PawnHashEntry* pawns = &PawnHashTable[PawnHashIndex(b.PawnKey)];
    __builtin_prefetch(pawns);
    __builtin_prefetch((const char*)pawns + sizeof(PawnHashEntry) - 1);
  }
}

int32_t Evaluate() {
  ThreadBoard& b = thread_board;
  EvalInfo& e = thread_eval_info;
  int stm = b.SideToMove & 1, other = ChangeSide(stm);
  int32_t m = 0;
  const int lazy = LazyBalance(&m) != 0;

  int32_t score = m;
  if (lazy) {
    e.attack_map[WHITE] = e.attack_map[BLACK] = 0;
    e.cacheable = 0;
  } else {
    uint64_t key = EvalHashKey();
    EvalHashEntry* entry = EvalHashTable != nullptr ? &EvalHashTable[EvalHashIndex(key)] : nullptr;
    RequestProbeLines(entry);
    score = EVAL_SLOT_EMPTY;
    if (entry != nullptr && entry->key == key) {
      e.material_score = entry->material_score;
      e.threat_map[WHITE] = entry->threat_map[WHITE];
      e.threat_map[BLACK] = entry->threat_map[BLACK];
      e.attack_map[WHITE] = entry->attack_map[WHITE];
      e.attack_map[BLACK] = entry->attack_map[BLACK];
      score = entry->score[stm];
    }
    e.cacheable = 1;
    if (score <= EVAL_SLOT_EMPTY) {
      EvaluatePosition(&score);
      // A slot holds 16 bits; a score outside (-32700, 32700) is not kept.
      auto fits = [](int64_t v) { return v > EVAL_SLOT_EMPTY && v < INFINITY_SCORE; };
      if (e.cacheable && entry != nullptr && fits(score)) {
        entry->score[stm] = (int16_t)score;
        if (entry->key != key) {
          entry->material_score = (int16_t)Clamp(e.material_score, -32768, 32767);
          entry->threat_map[WHITE] = e.threat_map[WHITE];
          entry->threat_map[BLACK] = e.threat_map[BLACK];
          entry->attack_map[WHITE] = e.attack_map[WHITE];
          entry->attack_map[BLACK] = e.attack_map[BLACK];
          int64_t derived = (int64_t)e.derive_base - score;
          entry->score[other] = (int16_t)(e.derivable && fits(derived) ? derived : EVAL_SLOT_EMPTY);
          entry->key = key;
        }
      }
    }
  }

  // A mate score (a mated bare king) is exact: the damping must not turn it
  // into an ordinary score. Up to a counter of 8 the factor is 256.
  if (score <= -MATE_BOUND || score >= MATE_BOUND || b.Rule50 <= 8) return score;
  int factor = Clamp(256 - 2 * Max(0, b.Rule50 - 8), 0, 256);
  return (int32_t)((int64_t)score * factor / 256);
}
