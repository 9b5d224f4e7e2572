// Compiled-in defaults of the evaluation parameters, block by block in the
// order of "values.txt". They are the parameter set in force when no file is
// read. The material weights, the piece-square parameters, the derived tables
// and the endgame class tables live in eval/defaults_material.cpp. Blocks
// whose terms are not authored yet hold zeros; every block is plain data here
// so that a tuning step can replace it as a whole.
#include "eval/params.h"

// Block 2: MaterialOffsets (cleared before every read).
int32_t MaterialOffsets[12] = {};

// Block 3: DerivedQuads (cleared before every read).
int32_t DerivedQuadW[4] = {};
int32_t DerivedQuadX[4] = {};
int32_t DerivedQuadY[4] = {};
int32_t DerivedQuadZ[4] = {};

// Block 6: EvalParamsA (fianchetto hole, open files, queen off home, ...).
int32_t EvalParamsA[17] = {3, 8, 6, 12, 25, 10, 150, 12, 20, 30, 30, 20, 10, 12, 50, 24, 300};

// Block 7: EndgameDriverPair (LoadEvaluationValues overwrites it after every read).
int32_t EndgameDriverPair[2] = {20, 100};

// Block 9: EvalParamsB (bad bishop, knight against blocked pawns).
int32_t EvalParamsB[5] = {2, 4, 4, 6, 3};

// Block 10: EvalParamsB2 (blocked pawns, mid-game).
int32_t EvalParamsB2 = 0;

// Block 12: QueenShelterMg (by shelter penalty 0..15).
int32_t QueenShelterMg[16] = {-2, 9, 11, 30, 21, 46, 48, 62, 60, 79, 81, 91, 87, 116, 105, 109};

// Block 14: EvalParamsD (32 shelter scale without queen, 62..106 material-case scale factors,
// all over 256).
// 74..80 scale the drawish endings with three pawns and no passer: a defending
// king that touches its own pawn, or pawns it can stop, make them drawish.
// 107..115 rook against pawns: 107 per pawn and 108 per rank of the rook (both
// over 256), 109 base and 110 rook near the pawns' king of the decided score
// from the rook's side when one pawn holds the rook; then from the pawns' side:
// 111 two and 112 three holding pawns, 113 one pawn that does not hold, 114 per
// pawn when the king stops them all, 115 per pawn when some run free.
int32_t EvalParamsD[116] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10..19
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20..29
    0, 0, 128, 0, 0, 0, 0, 0, 0, 0,  // 30..39
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..49
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 50..59
    0, 0, 128, 128, 128, 128, 128, 128, 128, 128,  // 60..69
    128, 128, 128, 128, 192, 64, 96, 208, 80, 112,  // 70..79
    96, 128, 128, 128, 128, 128, 128, 128, 342, 258,  // 80..89
    342, 128, 128, 128, 128, 128, 128, 128, 128, 128,  // 90..99
    128, 128, 128, 128, 128, 128, 128, 7680, 2560, 100,  // 100..109
    40, 150, 250, -100, -30, 20,  // 110..115
};

// Block 15: EndingUnitThresholds (endgame threshold, queen threshold in piece units).
int32_t EndingUnitThresholds[2] = {9, 14};

// Block 21: EvalCurveA (entry 1 is the bishop check danger).
int32_t EvalCurveA[32] = {
    0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10, 10, 10, 10, 10, 10,
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
};

// Block 22: EvalCurveB (entry 1 is the queen check danger).
int32_t EvalCurveB[32] = {
    0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// Block 23: EvalCurveC (entry 1 is the knight check danger).
int32_t EvalCurveC[32] = {
    0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// Block 24: stored, read by no term.
int32_t UnreadBlock24[17] = {};

// Block 25: ShelterCodeTable (by three 3-bit shelter codes).
int32_t ShelterCodeTable[512] = {};

// Block 26: PawnParams (0..3 storm contact, 4..7 storm blocked, 8..11 storm free, 12 pawn zone danger).
int32_t PawnParams[51] = {
    0, 5, 7, 3, 0, 0, 6, 7, 0, 1,  // 0..9
    1, 0, 2, 0, 0, 0, 0, 0, 0, 0,  // 10..19
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20..29
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 30..39
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..49
    0,  // 50
};

// Block 35: KingDangerTable, the set in force until a file is read.
int32_t KingDangerTable[128] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    17, 19, 21, 23, 26, 29, 32, 35, 39, 43, 47, 51, 56, 61, 66, 71,
    77, 83, 89, 95, 102, 109, 117, 125, 134, 144, 155, 167, 179, 191, 203, 215,
    225, 235, 245, 255, 265, 275, 285, 295, 305, 315, 325, 335, 345, 350, 354, 357,
    359, 360, 361, 362, 363, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 374,
    375, 376, 377, 378, 379, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380,
    380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380,
    380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380, 380,
};

// Block 36: ShelterScaleTable, the set in force until a file is read.
int32_t ShelterScaleTable[64] = {
    8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
    24, 25, 26, 27, 28, 29, 30, 31, 32, 32, 32, 32, 32, 32, 32, 32,
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32,
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32,
};

// Block 37: ShelterPenaltyTable (by shelter penalty).
int32_t ShelterPenaltyTable[64] = {
    0, 4, 15, 24, 36, 42, 54, 72, 81, 90, 99, 108, 117, 126, 135, 144,
    148, 152, 156, 160, 164, 168, 172, 175, 180, 180, 180, 180, 180, 180, 180, 180,
    180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180,
    180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180, 180,
};

// Block 38: EvalParamsN (0..6 safe queen checks, 27..34 a lone knight's
// penalty by its distance from its own king: a knight far from its king is
// easily lost or cut off).
int32_t EvalParamsN[35] = {
    5, 1, 21, 43, 61, 80, 106, 0, 0, 0,  // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10..19
    0, 0, 0, 0, 0, 0, 0, 0, 0, 5,  // 20..29
    10, 15, 20, 25, 30,  // 30..34
};

// Block 40: stored, read by no term.
int32_t UnreadBlock40[384] = {};

// Block 41: stored, read by no term.
int32_t UnreadBlock41[4][64][64][2] = {};

// Block 43: PruneStatistics (numerators and denominators; all 0 until authored).
int64_t PruneCounts[PRUNE_SELECTORS][8][64][64] = {};
int64_t PruneTotals[PRUNE_SELECTORS][8][64][64] = {};

// Block 46: DevelopmentPawnsMg (by the set of pawns on b2-g2).
int32_t DevelopmentPawnsMg[64] = {};

// Block 47: KingParamsA (0..2 blocked centre pawns mg, 3..8 development scale).
int32_t KingParamsA[9] = {0, 20, 30, 2, 4, 8, 16, 32, 48};

// Block 48: DevelopmentPawnsEg.
int32_t DevelopmentPawnsEg[64] = {};

// Block 49: KingParamsB (0..2 blocked centre pawns eg, king attack scales, material logistic,
// Pressure sigmoid amplitude and slope).
int32_t KingParamsB[9] = {0, 20, 30, 10347, 10922, 10, -120, -1249, -237};

// Block 50: PressureSigmoidCentre.
int32_t PressureSigmoidCentre = 0;

// Block 51: KingParamsC (knight, bishop, rook, queen pressure).
int32_t KingParamsC[4] = {10, 10, 10, 10};

// Block 52: KingParamsD (pawn zone pressure).
int32_t KingParamsD[2] = {};

// Block 53: SigmoidAndPhaseParams (half-open files, AttackHorror and DefendHorror sigmoids,
// first phase weights of knight, bishop, rook, queen).
int32_t SigmoidAndPhaseParams[12] = {4, 3, -8, 8, 200, 8, 8, 200, 30, 30, 50, 100};

// Block 54: PawnPhaseWeightA.
int32_t PawnPhaseWeightA = 0;

// Block 55: PhaseWeightsB (second phase weights of knight, bishop, rook, queen).
int32_t PhaseWeightsB[4] = {30, 30, 50, 100};

// Block 56: PawnPhaseWeightB.
int32_t PawnPhaseWeightB = 0;

// Block 57: EvalParamsO (bishops on both wings, endgame).
int32_t EvalParamsO = 25;

// Block 58: KingAttackWeights (InitKingAttackWeights fills it at start-up).
int32_t KingAttackWeights[384] = {};

// Block 59: PassedPawnParamsA (passer rank mg, rank eg, pawn-endgame sigmoid amplitude and slope).
int32_t PassedPawnParamsA[18] = {0, 3, 3, 8, 73, 145, 145, 0, 0, 5, 14, 35, 83, 163, 232, 0, 50, 50};

// Block 60: PassedOwnKing, PassedEnemyKing.
int32_t PassedOwnKing[24] = {
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
};
int32_t PassedEnemyKing[24] = {
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
};

// Block 61: PassedKingRace.
int32_t PassedKingRace[18] = {
    -40, -40, -30, -30, -20, -20, -10, -10, 0, 0, 10, 10, 20, 20, 30, 30, 40, 40,
};

// Block 62: PassedCodeMg.
int32_t PassedCodeMg[8] = {100, 100, 100, 100, 100, 100, 100, 100};

// Block 63: PassedCodeEg.
int32_t PassedCodeEg[16] = {
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,
};

// Block 64: PassedEdgeMg (P) and PassedPawnParamsQ (Q: edge eg, king-pawn logistic, file span eg).
int32_t PassedEdgeMg[4] = {64, 64, 64, 64};
int32_t PassedPawnParamsQ[15] = {64, 64, 64, 64, 128, 10, 9, 9, 6, 11, 14, 16, 29, 41, 47};

// Block 65: EvalParamsP (endgame halves of the packed weights, passed file span eg).
int32_t EvalParamsP[23] = {};

// Block 66: stored, read by no term.
int32_t UnreadBlock66 = 0;

// Block 67: the 20 half square tables (symmetric about the d/e line).
int32_t HalfSquareTables[20][64] = {};

// Block 68: PackPairs9 (pawn file span mg, passed file span mg).
int32_t PackPairs9[2][9] = {};

// Block 69: PackPairs17 (threat table mg, eg).
int32_t PackPairs17[2][17] = {};

// Block 70: the mirrored file tables and 64-entry tables (symmetric about the d/e line).
int32_t MirroredFileTables[4][8] = {};
int32_t MirroredTables64[10][64] = {};

// Block 71: EightEntryTables, then KpkWinScore entries 1..6 (FixValues sets those).
int32_t EightEntryTables[8][8] = {};
int32_t KpkWinScore[8] = {0, 800, 820, 840, 860, 880, 900, 0};

// Blocks 72 and 73: EndgameParamsA entries 0..2, then PawnRaceRankBonus.
int32_t EndgameParamsA[9] = {100, 400, 400, 0, 50, 100, 150, 200, 250};

// Block 74: QueenShelterEg.
int32_t QueenShelterEg[16] = {};

// Block 75: QueenShelterPatternScale (over 64).
int32_t QueenShelterPatternScale[6] = {64, 64, 64, 64, 64, 64};

// Block 76: AttackPatternScale (over 64).
int32_t AttackPatternScale[6] = {64, 64, 64, 64, 64, 64};

// Block 77: DevelopmentIndex (by the 6-bit set of undeveloped pieces).
int32_t DevelopmentIndex[64] = {};

// Block 79: KpkWinValues.
int32_t KpkWinValues[3][5] = {};

// Block 80: PassedMaterialMg, PassedMaterialEg (over 64).
int32_t PassedMaterialMg[13] = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64};
int32_t PassedMaterialEg[13] = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64};

// Block 81: WeakPawnUnits, WeakPawnRank (over 64).
int32_t WeakPawnUnits[9] = {64, 64, 64, 64, 64, 64, 64, 64, 64};
int32_t WeakPawnRank[5] = {64, 64, 64, 64, 64};

// Block 82: WeakPawnKing.
int32_t WeakPawnKing[6][24] = {};
