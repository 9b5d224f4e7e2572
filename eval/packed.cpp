// The packed term tables and weights built from the parameter set, and the
// prune rates built from the prune statistics.
#include "eval/packed.h"

#include "board/ordering.h"
#include "board/types.h"
#include "eval/params.h"

int32_t RookVsMinorsPassers[9];
int32_t RookOpenFile[8];
int32_t RookHalfOpenFile[8];
int32_t PackedDerived64[64];
int32_t PawnConnected[64];
int32_t PawnBreakthrough[64];
int32_t PawnDoubled[64];
int32_t PawnIsolatedOpen[64];
int32_t PawnIsolated[64];
int32_t PawnBackwardOpen[64];
int32_t PawnBackward[64];
int32_t PawnCandidate[64];
int32_t PawnFileSpan[9];
int32_t PassedFileSpan[9];
int32_t PasserRookBehind[64];
int32_t PasserRookBehindBlocked[64];
int32_t PasserEnemyRookBehind[64];
int32_t PackedHead8[8];
int32_t PackedKpkWin1[5], PackedKpkWin2[5], PackedKpkWin3[5];
int32_t PackedEight1[8], PackedEight2[8], PackedEight3[8], PackedEight4[8];
int32_t PackedEight5[8], PackedEight6[8], PackedEight7[8], PackedEight8[8];
int32_t PackedPawnSteps9A[9];
int32_t PackedPawnSteps9B[9];
int32_t KnightOutpost[64], KnightOutpostProtected[64], KnightOutpostExchangeable[64];
int32_t BishopOutpost[64], BishopOutpostProtected[64], BishopOutpostExchangeable[64];
int32_t ThreatTable[17];

int32_t KingBetweenPawns, BackRankTerm, TrappedRookTerm, RookWeakPawnFile, RookClosedFile;
int32_t RookSeventh, RookSeventhDoubled, RookSeventhPasser, RookBackRank, RookMobility;
int32_t BishopMobility, TrappedBishop, BadBishopBlocked, BadBishopPawn, BishopBothWings;
int32_t FianchettoBishop, KnightVsBlockedPawns, BlockedPawnTerm, QueenBackRank, QueenSeventh;
int32_t QueenMobility;

int32_t RookVsMinorsBase[9];
int32_t PawnConnectedMg[64], PawnConnectedEg[64];
int32_t Derived64Mg[64], Derived64Eg[64];

int32_t PruneRates[2][4][64][64][2];

void PackScorePairTable(const int32_t* mg, const int32_t* eg, int32_t* out, int n) {
  for (int i = 0; i < n; i++) out[i] = PackPair(mg[i], eg[i]);
}

// The slots of the mixed blocks that only the packing reads: the middlegame
// and endgame halves of each packed weight.
enum PackedEvalParamsASlot : int {
  BISHOP_BOTH_WINGS_MG = 4, KING_BETWEEN_PAWNS = 6, ROOK_BACK_RANK_MG = 8, QUEEN_BACK_RANK_MG = 9,
  ROOK_SEVENTH_MG = 10, ROOK_SEVENTH_PASSER_MG = 11, QUEEN_SEVENTH_MG = 12, BACK_RANK_MG = 13,
  ROOK_SEVENTH_DOUBLED_MG = 15
};
enum PackedEvalParamsBSlot : int {
  BAD_BISHOP_PAWN_MG = 0, BAD_BISHOP_PAWN_EG = 1, BAD_BISHOP_BLOCKED_MG = 2, BAD_BISHOP_BLOCKED_EG = 3,
  KNIGHT_VS_BLOCKED_PAWNS_MG = 4
};
enum PackedEvalParamsCSlot : int {
  TRAPPED_BISHOP_MG = 0, TRAPPED_ROOK_MG = 4, ROOK_WEAK_PAWN_FILE_MG = 12, ROOK_CLOSED_FILE_MG = 13
};
enum PackedEvalParamsDSlot : int {
  BISHOP_MOBILITY_MG = 26, BISHOP_MOBILITY_EG = 27, ROOK_MOBILITY_MG = 28, ROOK_MOBILITY_EG = 29,
  QUEEN_MOBILITY_MG = 30, QUEEN_MOBILITY_EG = 31
};
enum PackedEvalParamsPSlot : int {
  ROOK_SEVENTH_DOUBLED_EG = 9, ROOK_SEVENTH_PASSER_EG = 10, TRAPPED_ROOK_EG = 11, BACK_RANK_EG = 12,
  TRAPPED_BISHOP_EG = 13, KNIGHT_VS_BLOCKED_PAWNS_EG = 14, BLOCKED_PAWN_EG = 15, QUEEN_BACK_RANK_EG = 16,
  QUEEN_SEVENTH_EG = 17, ROOK_SEVENTH_EG = 18, ROOK_CLOSED_FILE_EG = 19, ROOK_WEAK_PAWN_FILE_EG = 20,
  ROOK_BACK_RANK_EG = 21, FIANCHETTO_BISHOP_EG = 22
};

// Enemy rook behind a passer, by the rank of the table square; endgame half 0.
static const int32_t EnemyRookBehindByRank[8] = {0, 14, 14, 14, 13, 12, 11, 0};

void PackScorePairs() {
  PackScorePairTable(RookVsMinorsBase, RookVsMinorsBase, RookVsMinorsPassers, 9);

  KingBetweenPawns = PackPair(EvalParamsA[KING_BETWEEN_PAWNS], EvalParamsA[KING_BETWEEN_PAWNS]);
  BackRankTerm = PackPair(EvalParamsA[BACK_RANK_MG], EvalParamsP[BACK_RANK_EG]);
  TrappedRookTerm = PackPair(EvalParamsC[TRAPPED_ROOK_MG], EvalParamsP[TRAPPED_ROOK_EG]);
  RookWeakPawnFile = PackPair(EvalParamsC[ROOK_WEAK_PAWN_FILE_MG], EvalParamsP[ROOK_WEAK_PAWN_FILE_EG]);
  RookClosedFile = PackPair(EvalParamsC[ROOK_CLOSED_FILE_MG], EvalParamsP[ROOK_CLOSED_FILE_EG]);
  RookSeventh = PackPair(EvalParamsA[ROOK_SEVENTH_MG], EvalParamsP[ROOK_SEVENTH_EG]);
  RookSeventhDoubled = PackPair(EvalParamsA[ROOK_SEVENTH_DOUBLED_MG], EvalParamsP[ROOK_SEVENTH_DOUBLED_EG]);
  RookSeventhPasser = PackPair(EvalParamsA[ROOK_SEVENTH_PASSER_MG], EvalParamsP[ROOK_SEVENTH_PASSER_EG]);
  RookBackRank = PackPair(EvalParamsA[ROOK_BACK_RANK_MG], EvalParamsP[ROOK_BACK_RANK_EG]);
  RookMobility = PackPair(EvalParamsD[ROOK_MOBILITY_MG], EvalParamsD[ROOK_MOBILITY_EG]);
  BishopMobility = PackPair(EvalParamsD[BISHOP_MOBILITY_MG], EvalParamsD[BISHOP_MOBILITY_EG]);
  TrappedBishop = PackPair(EvalParamsC[TRAPPED_BISHOP_MG], EvalParamsP[TRAPPED_BISHOP_EG]);
  BadBishopBlocked = PackPair(EvalParamsB[BAD_BISHOP_BLOCKED_MG], EvalParamsB[BAD_BISHOP_BLOCKED_EG]);
  BadBishopPawn = PackPair(EvalParamsB[BAD_BISHOP_PAWN_MG], EvalParamsB[BAD_BISHOP_PAWN_EG]);
  BishopBothWings = PackPair(EvalParamsA[BISHOP_BOTH_WINGS_MG], EvalParamsO);
  FianchettoBishop = PackPair(EvalParamsA[FIANCHETTO_BISHOP_MG], EvalParamsP[FIANCHETTO_BISHOP_EG]);
  KnightVsBlockedPawns = PackPair(EvalParamsB[KNIGHT_VS_BLOCKED_PAWNS_MG], EvalParamsP[KNIGHT_VS_BLOCKED_PAWNS_EG]);
  BlockedPawnTerm = PackPair(EvalParamsB2, EvalParamsP[BLOCKED_PAWN_EG]);
  QueenBackRank = PackPair(EvalParamsA[QUEEN_BACK_RANK_MG], EvalParamsP[QUEEN_BACK_RANK_EG]);
  QueenSeventh = PackPair(EvalParamsA[QUEEN_SEVENTH_MG], EvalParamsP[QUEEN_SEVENTH_EG]);
  QueenMobility = PackPair(EvalParamsD[QUEEN_MOBILITY_MG], EvalParamsD[QUEEN_MOBILITY_EG]);

  PackScorePairTable(MirroredFileTables[0], MirroredFileTables[1], RookOpenFile, 8);
  PackScorePairTable(MirroredFileTables[2], MirroredFileTables[3], RookHalfOpenFile, 8);
  PackScorePairTable(Derived64Mg, Derived64Eg, PackedDerived64, 64);
  PackScorePairTable(PawnConnectedMg, PawnConnectedEg, PawnConnected, 64);
  PackScorePairTable(HalfSquareTables[0], HalfSquareTables[1], PawnBreakthrough, 64);
  PackScorePairTable(MirroredTables64[8], MirroredTables64[9], PawnDoubled, 64);
  PackScorePairTable(MirroredTables64[2], MirroredTables64[0], PawnIsolatedOpen, 64);
  PackScorePairTable(MirroredTables64[4], MirroredTables64[5], PawnIsolated, 64);
  PackScorePairTable(MirroredTables64[3], MirroredTables64[1], PawnBackwardOpen, 64);
  PackScorePairTable(MirroredTables64[6], MirroredTables64[7], PawnBackward, 64);
  PackScorePairTable(HalfSquareTables[18], HalfSquareTables[19], PawnCandidate, 64);
  PackScorePairTable(PackPairs9[0], PassedPawnParamsQ + 6, PawnFileSpan, 9);
  PackScorePairTable(PackPairs9[1], EvalParamsP, PassedFileSpan, 9);
  PackScorePairTable(HalfSquareTables[14], HalfSquareTables[15], PasserRookBehind, 64);
  PackScorePairTable(HalfSquareTables[16], HalfSquareTables[17], PasserRookBehindBlocked, 64);
  for (int square = 0; square < 64; square++)
    PasserEnemyRookBehind[square] = PackPair(EnemyRookBehindByRank[square >> 3], 0);
  PackScorePairTable(PieceSquareParams, PieceSquareParams, PackedHead8, 8);
  PackScorePairTable(KpkWinValues[0], KpkWinValues[0], PackedKpkWin1, 5);
  PackScorePairTable(KpkWinValues[1], KpkWinValues[1], PackedKpkWin2, 5);
  PackScorePairTable(KpkWinValues[2], KpkWinValues[2], PackedKpkWin3, 5);
  int32_t* const eights[8] = {PackedEight1, PackedEight2, PackedEight3, PackedEight4,
                              PackedEight5, PackedEight6, PackedEight7, PackedEight8};
  for (int t = 0; t < 8; t++) PackScorePairTable(EightEntryTables[t], EightEntryTables[t], eights[t], 8);
  PackScorePairTable(PawnParams + 13, PawnParams + 13, PackedPawnSteps9A, 9);
  PackScorePairTable(PawnParams + 22, PawnParams + 22, PackedPawnSteps9B, 9);
  PackScorePairTable(HalfSquareTables[2], HalfSquareTables[3], KnightOutpost, 64);
  PackScorePairTable(HalfSquareTables[4], HalfSquareTables[5], KnightOutpostProtected, 64);
  PackScorePairTable(HalfSquareTables[6], HalfSquareTables[7], KnightOutpostExchangeable, 64);
  PackScorePairTable(HalfSquareTables[8], HalfSquareTables[9], BishopOutpost, 64);
  PackScorePairTable(HalfSquareTables[10], HalfSquareTables[11], BishopOutpostProtected, 64);
  PackScorePairTable(HalfSquareTables[12], HalfSquareTables[13], BishopOutpostExchangeable, 64);
  PackScorePairTable(PackPairs17[0], PackPairs17[1], ThreatTable, 17);
}

// A 64-bit rate saturated to int32.
static int32_t SaturateInt32(int64_t value) {
  return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : (int32_t)value;
}

// n * 1000 / d truncated toward zero, 0 for d = 0, saturated to int32. A
// numerator too large for the product is split into quotient and remainder.
static int32_t PerMille(int64_t n, int64_t d) {
  if (d == 0) return 0;
  if (n >= -INT64_MAX / 1000 && n <= INT64_MAX / 1000) return SaturateInt32(n * 1000 / d);
  if (d == -1) return n < 0 ? INT32_MAX : INT32_MIN;
  int64_t quotient = n / d, remainder = n % d;
  if (quotient > INT32_MAX / 1000) return INT32_MAX;
  if (quotient < INT32_MIN / 1000) return INT32_MIN;
  int64_t part = (int64_t)((long double)remainder * 1000.0L / (long double)d);
  return SaturateInt32(quotient * 1000 + part);
}

// Codes sharing a class (king and knight, pawn and bishop): the first code in
// this order keeps its nonzero rate, the second fills only entries still 0.
void InitPruneRates() {
  static const int sources[6] = {KING, KNIGHT, PAWN, ROOK, BISHOP, QUEEN};
  for (int t = 0; t < PRUNE_SELECTORS; t++)
    for (int c = 0; c < 4; c++)
      for (int to = 0; to < 64; to++)
        for (int from = 0; from < 64; from++) PruneRates[t][c][to][from][0] = PruneRates[t][c][to][from][1] = 0;
  for (int code : sources) {
    int cls = HistoryClass[code];
    for (int from = 0; from < 64; from++) {
      for (int to = 0; to < 64; to++) {
        for (int k = 0; k < 2; k++) {
          int f = k ? from ^ 56 : from, g = k ? to ^ 56 : to;
          for (int t = 0; t < PRUNE_SELECTORS; t++) {
            int32_t& entry = PruneRates[t][cls][to][from][k];
            if (entry == 0) entry = PerMille(PruneCounts[t][code][f][g], PruneTotals[t][code][f][g]);
          }
        }
      }
    }
  }
}
