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

// Enemy rook behind a passer, by the rank of the table square; endgame half 0.
static const int32_t EnemyRookBehindByRank[8] = {0, 14, 14, 14, 13, 12, 11, 0};

void PackScorePairs() {
  PackScorePairTable(RookVsMinorsBase, RookVsMinorsBase, RookVsMinorsPassers, 9);

  KingBetweenPawns = PackPair(EvalParamsA[6], EvalParamsA[6]);
  BackRankTerm = PackPair(EvalParamsA[13], EvalParamsP[12]);
  TrappedRookTerm = PackPair(EvalParamsC[4], EvalParamsP[11]);
  RookWeakPawnFile = PackPair(EvalParamsC[12], EvalParamsP[20]);
  RookClosedFile = PackPair(EvalParamsC[13], EvalParamsP[19]);
  RookSeventh = PackPair(EvalParamsA[10], EvalParamsP[18]);
  RookSeventhDoubled = PackPair(EvalParamsA[15], EvalParamsP[9]);
  RookSeventhPasser = PackPair(EvalParamsA[11], EvalParamsP[10]);
  RookBackRank = PackPair(EvalParamsA[8], EvalParamsP[21]);
  RookMobility = PackPair(EvalParamsD[28], EvalParamsD[29]);
  BishopMobility = PackPair(EvalParamsD[26], EvalParamsD[27]);
  TrappedBishop = PackPair(EvalParamsC[0], EvalParamsP[13]);
  BadBishopBlocked = PackPair(EvalParamsB[2], EvalParamsB[3]);
  BadBishopPawn = PackPair(EvalParamsB[0], EvalParamsB[1]);
  BishopBothWings = PackPair(EvalParamsA[4], EvalParamsO);
  FianchettoBishop = PackPair(EvalParamsA[5], EvalParamsP[22]);
  KnightVsBlockedPawns = PackPair(EvalParamsB[4], EvalParamsP[14]);
  BlockedPawnTerm = PackPair(EvalParamsB2, EvalParamsP[15]);
  QueenBackRank = PackPair(EvalParamsA[9], EvalParamsP[16]);
  QueenSeventh = PackPair(EvalParamsA[12], EvalParamsP[17]);
  QueenMobility = PackPair(EvalParamsD[30], EvalParamsD[31]);

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
