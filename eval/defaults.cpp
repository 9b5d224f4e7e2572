// Compiled-in defaults of the evaluation parameters, block by block in the
// order of "values.txt". They are the parameter set in force when no file is
// read: the short blocks hold plain fallback values (factors at their neutral
// 64, 100, 128 or 256, a few round numbers), and the engine's playing set,
// authored and tuned, is the "values.txt" shipped beside the program. The material weights, the piece-square parameters, the derived tables
// and the endgame class tables live in eval/defaults_material.cpp. Blocks
// whose terms are not authored yet hold zeros; every block is plain data here
// so that a tuning step can replace it as a whole.
#include "eval/defaults.h"

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

// Block 14: EvalParamsD (26..31 mobility per square of bishop, rook, queen, mg then eg; 32 shelter scale without queen, 62..106 material-case scale factors,
// 74..80 drawish-ending factors, 107..115 rook-against-pawns values, all over 256).
int32_t EvalParamsD[116] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10..19
    0, 0, 0, 0, 0, 0, 4, 4, 2, 4,  // 20..29 (26..31 bishop, rook, queen mobility mg/eg)
    1, 2, 128, 0, 0, 0, 0, 0, 0, 0,  // 30..39
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..49
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 50..59
    0, 0, 128, 128, 128, 128, 128, 128, 128, 128,  // 60..69
    128, 128, 128, 128, 128, 128, 128, 128, 128, 128,  // 70..79
    128, 128, 128, 128, 128, 128, 128, 128, 342, 258,  // 80..89
    342, 128, 128, 128, 128, 128, 128, 128, 128, 128,  // 90..99
    128, 128, 128, 128, 128, 128, 128, 128, 128, 128,  // 100..109
    128, 128, 128, 128, 128, 128,  // 110..115
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

// Block 25: ShelterCodeTable, the shelter of one wing in penalty units, by the
// codes of its three files: near the centre (f or c) in bits 0-2, the middle
// file (g or b) in bits 3-5, the edge file (h or a) in bits 6-8. Per file:
// an own pawn at home costs nothing, one step up a little (most on the middle
// file, where it leaves holes), two steps more, a missing pawn most; a file
// without enemy pawns costs extra when the own pawn is gone too (an open line
// at the king), and two or three missing neighbours cost more than their sum.
int32_t ShelterCodeTable[512] = {
    0, 1, 3, 5, 0, 1, 3, 8, 2, 3, 5, 7, 2, 3, 5, 10,  // 0..
    5, 6, 8, 10, 5, 6, 8, 13, 8, 9, 11, 15, 8, 9, 11, 18,  // 16..
    1, 2, 4, 6, 1, 2, 4, 9, 3, 4, 6, 8, 3, 4, 6, 11,  // 32..
    6, 7, 9, 11, 6, 7, 9, 14, 12, 13, 15, 19, 12, 13, 15, 22,  // 48..
    1, 2, 4, 6, 1, 2, 4, 9, 3, 4, 6, 8, 3, 4, 6, 11,  // 64..
    6, 7, 9, 11, 6, 7, 9, 14, 9, 10, 12, 16, 9, 10, 12, 19,  // 80..
    2, 3, 5, 7, 2, 3, 5, 10, 4, 5, 7, 9, 4, 5, 7, 12,  // 96..
    7, 8, 10, 12, 7, 8, 10, 15, 13, 14, 16, 20, 13, 14, 16, 23,  // 112..
    3, 4, 6, 8, 3, 4, 6, 11, 5, 6, 8, 10, 5, 6, 8, 13,  // 128..
    8, 9, 11, 13, 8, 9, 11, 16, 11, 12, 14, 18, 11, 12, 14, 21,  // 144..
    4, 5, 7, 9, 4, 5, 7, 12, 6, 7, 9, 11, 6, 7, 9, 14,  // 160..
    9, 10, 12, 14, 9, 10, 12, 17, 15, 16, 18, 22, 15, 16, 18, 25,  // 176..
    5, 6, 8, 10, 5, 6, 8, 13, 7, 8, 10, 12, 7, 8, 10, 15,  // 192..
    10, 11, 13, 15, 10, 11, 13, 18, 15, 16, 18, 24, 15, 16, 18, 27,  // 208..
    6, 7, 9, 11, 6, 7, 9, 14, 8, 9, 11, 13, 8, 9, 11, 16,  // 224..
    11, 12, 14, 16, 11, 12, 14, 19, 19, 20, 22, 28, 19, 20, 22, 31,  // 240..
    0, 1, 3, 5, 0, 1, 3, 8, 2, 3, 5, 7, 2, 3, 5, 10,  // 256..
    5, 6, 8, 10, 5, 6, 8, 13, 8, 9, 11, 15, 8, 9, 11, 18,  // 272..
    1, 2, 4, 6, 1, 2, 4, 9, 3, 4, 6, 8, 3, 4, 6, 11,  // 288..
    6, 7, 9, 11, 6, 7, 9, 14, 12, 13, 15, 19, 12, 13, 15, 22,  // 304..
    1, 2, 4, 6, 1, 2, 4, 9, 3, 4, 6, 8, 3, 4, 6, 11,  // 320..
    6, 7, 9, 11, 6, 7, 9, 14, 9, 10, 12, 16, 9, 10, 12, 19,  // 336..
    2, 3, 5, 7, 2, 3, 5, 10, 4, 5, 7, 9, 4, 5, 7, 12,  // 352..
    7, 8, 10, 12, 7, 8, 10, 15, 13, 14, 16, 20, 13, 14, 16, 23,  // 368..
    3, 4, 6, 8, 3, 4, 6, 11, 5, 6, 8, 10, 5, 6, 8, 13,  // 384..
    8, 9, 11, 13, 8, 9, 11, 16, 11, 12, 14, 18, 11, 12, 14, 21,  // 400..
    4, 5, 7, 9, 4, 5, 7, 12, 6, 7, 9, 11, 6, 7, 9, 14,  // 416..
    9, 10, 12, 14, 9, 10, 12, 17, 15, 16, 18, 22, 15, 16, 18, 25,  // 432..
    8, 9, 11, 13, 8, 9, 11, 16, 10, 11, 13, 15, 10, 11, 13, 18,  // 448..
    13, 14, 16, 18, 13, 14, 16, 21, 18, 19, 21, 27, 18, 19, 21, 30,  // 464..
    9, 10, 12, 14, 9, 10, 12, 17, 11, 12, 14, 16, 11, 12, 14, 19,  // 480..
    14, 15, 17, 19, 14, 15, 17, 22, 22, 23, 25, 31, 22, 23, 25, 34,  // 496..
};

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
    0, 5, 17, 27, 41, 48, 61, 82, 92, 102, 112, 122, 133, 143, 153, 163,
    168, 172, 177, 181, 186, 190, 195, 198, 204, 204, 204, 204, 204, 204, 204, 204,
    204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204,
    204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204, 204,
};

// Block 38: EvalParamsN (0..6 safe queen checks, 27..34 a lone knight's
// term by its distance from its own king).
int32_t EvalParamsN[35] = {
    6, 1, 26, 54, 76, 100, 132, 0, 0, 0,  // 0..9
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10..19
    0, 0, 0, 0, 0, 0, 0, 15, 15, 0,  // 20..29
    -10, -20, -30, -30, -30,  // 30..34
};

// Block 40: stored, read by no term.
int32_t UnreadBlock40[384] = {};

// Block 41: stored, read by no term.
int32_t UnreadBlock41[4][64][64][2] = {};

// Block 43: PruneStatistics (numerators and denominators; all 0 until authored).
int64_t PruneCounts[PRUNE_SELECTORS][8][64][64] = {};
int64_t PruneTotals[PRUNE_SELECTORS][8][64][64] = {};

// Block 46: DevelopmentPawnsMg (by the set of pawns still on b2-g2, bit 0 = b2): centre
// pawns at home keep the position closed and the pieces behind them.
int32_t DevelopmentPawnsMg[64] = {
    0, 0, 4, 4, 15, 15, 19, 19,
    15, 15, 19, 19, 30, 30, 34, 34,
    0, 0, 4, 4, 15, 15, 19, 19,
    15, 15, 19, 19, 30, 30, 34, 34,
    0, 0, 4, 4, 15, 15, 19, 19,
    15, 15, 19, 19, 30, 30, 34, 34,
    0, 0, 4, 4, 15, 15, 19, 19,
    15, 15, 19, 19, 30, 30, 34, 34,
};

// Block 47: KingParamsA (0..2 blocked centre pawns mg, 3..8 development scale).
int32_t KingParamsA[9] = {0, 20, 30, 2, 4, 8, 16, 32, 48};

// Block 48: DevelopmentPawnsEg (development no longer matters in the endgame).
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
// By the passer's rank from its own side, in centipawns at a neutral code, edge and material.
int32_t PassedPawnParamsA[18] = {
    0, 3, 3, 8, 73, 145, 145, 0,    // middlegame, ranks 1..8
    0, 5, 14, 35, 83, 163, 232, 0,  // endgame
    50, 50,                         // the king term's logistic: amplitude, slope per 1000
};

// Block 60: PassedOwnKing, PassedEnemyKing, the endgame king term of a passer. Columns: the king's
// file distance to the passer 0, 1, 2, 3+; rows: the king's rank minus the passer's, from the passer's
// side, -2 (or further behind) .. +3 (or further ahead).
int32_t PassedOwnKing[24] = {
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
};
int32_t PassedEnemyKing[24] = {
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
};

// Block 61: PassedKingRace, by 8 + 2 * (own king's distance to the stop square minus the enemy
// king's, -4..4), plus 1 when the own king stands between the passer and the enemy king.
int32_t PassedKingRace[18] = {
    -40, -40, -30, -30, -20, -20, -10, -10, 0, 0, 10, 10, 20, 20, 30, 30, 40, 40,
};

// Block 62: PassedCodeMg, by the advance code (over 64): bit 0 the stop square is free and safe,
// bit 1 a pawn guards the passer or its stop square, bit 2 it is its side's only passed file.
int32_t PassedCodeMg[8] = {100, 100, 100, 100, 100, 100, 100, 100};

// Block 63: PassedCodeEg, by the advance code, plus 8 when the enemy king stands in front of the passer.
int32_t PassedCodeEg[16] = {
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,
};

// Block 64: PassedEdgeMg (P) and PassedPawnParamsQ (Q: edge eg, king-pawn logistic, file span eg).
// Edge tables by the passer's file from the nearer edge (a/h .. d/e, over 64).
int32_t PassedEdgeMg[4] = {64, 64, 64, 64};
int32_t PassedPawnParamsQ[15] = {64, 64, 64, 64, 128, 10, 9, 9, 6, 11, 14, 16, 29, 41, 47};

// Block 65: EvalParamsP (0..8 passed file span eg; 9..22 endgame halves of the packed weights:
// rook on the seventh doubled, with a passer, trapped rook, back rank, trapped bishop, knight
// against blocked pawns, blocked pawn, queen on the back rank, on the seventh, rook on the
// seventh, on a closed file, on a weak pawn's file, on the back rank, fianchetto).
int32_t EvalParamsP[23] = {};

// Block 66: stored, read by no term.
int32_t UnreadBlock66 = 0;

// Block 67: the 20 half square tables (symmetric about the d/e line), from BLACK's side.
int32_t HalfSquareTables[20][64] = {
    {  // 1: breakthrough mg
        0, 0, 0, 0, 0, 0, 0, 0,
        20, 20, 20, 20, 20, 20, 20, 20,
        10, 10, 10, 10, 10, 10, 10, 10,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 2: breakthrough eg
        0, 0, 0, 0, 0, 0, 0, 0,
        50, 50, 50, 50, 50, 50, 50, 50,
        30, 30, 30, 30, 30, 30, 30, 30,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 3: Knight outpost, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        3, 5, 6, 6, 6, 6, 5, 3,
        5, 8, 10, 10, 10, 10, 8, 5,
        3, 6, 7, 7, 7, 7, 6, 3,
        2, 2, 3, 3, 3, 3, 2, 2,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 4: Knight outpost, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 2, 3, 3, 3, 3, 2, 2,
        2, 4, 5, 5, 5, 5, 4, 2,
        2, 2, 3, 3, 3, 3, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 5: Knight outpost protected by a pawn, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        5, 8, 10, 10, 10, 10, 8, 5,
        7, 11, 14, 14, 14, 14, 11, 7,
        6, 9, 11, 11, 11, 11, 9, 6,
        3, 5, 6, 6, 6, 6, 5, 3,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 6: Knight outpost protected by a pawn, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 4, 5, 5, 5, 5, 4, 2,
        3, 6, 7, 7, 7, 7, 6, 3,
        3, 5, 6, 6, 6, 6, 5, 3,
        2, 2, 2, 2, 2, 2, 2, 2,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 7: Knight outpost that a bishop can exchange, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 3, 4, 4, 4, 4, 3, 2,
        3, 5, 6, 6, 6, 6, 5, 3,
        2, 4, 5, 5, 5, 5, 4, 2,
        2, 2, 2, 2, 2, 2, 2, 2,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 8: Knight outpost that a bishop can exchange, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 2, 2, 2, 2, 2, 2, 2,
        2, 2, 3, 3, 3, 3, 2, 2,
        2, 2, 2, 2, 2, 2, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 9: Bishop outpost, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 2, 3, 3, 3, 3, 2, 2,
        2, 4, 5, 5, 5, 5, 4, 2,
        2, 2, 3, 3, 3, 3, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 10: Bishop outpost, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        1, 2, 2, 2, 2, 2, 2, 1,
        2, 2, 2, 2, 2, 2, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 1, 1, 1, 1, 1, 1, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 11: Bishop outpost protected by a pawn, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 4, 5, 5, 5, 5, 4, 2,
        4, 6, 8, 8, 8, 8, 6, 4,
        3, 5, 6, 6, 6, 6, 5, 3,
        2, 2, 3, 3, 3, 3, 2, 2,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 12: Bishop outpost protected by a pawn, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 2, 2, 2, 2, 2, 2, 2,
        2, 3, 4, 4, 4, 4, 3, 2,
        2, 2, 3, 3, 3, 3, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 13: Bishop outpost that a bishop can exchange, mid-game.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        2, 2, 2, 2, 2, 2, 2, 2,
        2, 3, 4, 4, 4, 4, 3, 2,
        2, 2, 3, 3, 3, 3, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    // 14: Bishop outpost that a bishop can exchange, endgame.
    {
        0, 0, 0, 0, 0, 0, 0, 0,
        1, 2, 2, 2, 2, 2, 2, 1,
        2, 2, 2, 2, 2, 2, 2, 2,
        1, 2, 2, 2, 2, 2, 2, 1,
        0, 1, 1, 1, 1, 1, 1, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 15: own rook behind a passer, mg
        0, 0, 0, 0, 0, 0, 0, 0,
        24, 24, 24, 24, 24, 24, 24, 24,
        18, 18, 18, 18, 18, 18, 18, 18,
        14, 14, 14, 14, 14, 14, 14, 14,
        10, 10, 10, 10, 10, 10, 10, 10,
        8, 8, 8, 8, 8, 8, 8, 8,
        6, 6, 6, 6, 6, 6, 6, 6,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 16: own rook behind a passer, eg
        0, 0, 0, 0, 0, 0, 0, 0,
        46, 46, 46, 46, 46, 46, 46, 46,
        36, 36, 36, 36, 36, 36, 36, 36,
        26, 26, 26, 26, 26, 26, 26, 26,
        18, 18, 18, 18, 18, 18, 18, 18,
        14, 14, 14, 14, 14, 14, 14, 14,
        10, 10, 10, 10, 10, 10, 10, 10,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 17: the same with an enemy piece on the stop square, mg
        0, 0, 0, 0, 0, 0, 0, 0,
        12, 12, 12, 12, 12, 12, 12, 12,
        9, 9, 9, 9, 9, 9, 9, 9,
        7, 7, 7, 7, 7, 7, 7, 7,
        5, 5, 5, 5, 5, 5, 5, 5,
        4, 4, 4, 4, 4, 4, 4, 4,
        3, 3, 3, 3, 3, 3, 3, 3,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 18: the same, eg
        0, 0, 0, 0, 0, 0, 0, 0,
        24, 24, 24, 24, 24, 24, 24, 24,
        18, 18, 18, 18, 18, 18, 18, 18,
        13, 13, 13, 13, 13, 13, 13, 13,
        9, 9, 9, 9, 9, 9, 9, 9,
        7, 7, 7, 7, 7, 7, 7, 7,
        5, 5, 5, 5, 5, 5, 5, 5,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 19: candidate mg
        0, 0, 0, 0, 0, 0, 0, 0,
        24, 24, 24, 24, 24, 24, 24, 24,
        16, 16, 16, 16, 16, 16, 16, 16,
        10, 10, 10, 10, 10, 10, 10, 10,
        6, 6, 6, 6, 6, 6, 6, 6,
        4, 4, 4, 4, 4, 4, 4, 4,
        3, 3, 3, 3, 3, 3, 3, 3,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 20: candidate eg
        0, 0, 0, 0, 0, 0, 0, 0,
        48, 48, 48, 48, 48, 48, 48, 48,
        32, 32, 32, 32, 32, 32, 32, 32,
        20, 20, 20, 20, 20, 20, 20, 20,
        12, 12, 12, 12, 12, 12, 12, 12,
        8, 8, 8, 8, 8, 8, 8, 8,
        5, 5, 5, 5, 5, 5, 5, 5,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
};

// Block 68: PackPairs9 (pawn file span mg, passed file span mg), by span 0..8.
int32_t PackPairs9[2][9] = {
    {0, 0, 0, 1, 2, 3, 4, 5, 6},
    {0, 0, 1, 2, 4, 6, 8, 10, 12},
};

// Block 69: PackPairs17 (threat table mg, eg, by 8 + the surplus of threatened pieces; odd
// around entry 8 so that the term is colour-symmetric).
int32_t PackPairs17[2][17] = {
    {-90, -88, -82, -72, -58, -40, -22, -8, 0, 8, 22, 40, 58, 72, 82, 88, 90},
    {-72, -70, -66, -58, -46, -32, -18, -6, 0, 6, 18, 32, 46, 58, 66, 70, 72},
};

// Block 70: the mirrored file tables (rook on an open file mg, eg; on a half-open file mg, eg)
// and 64-entry tables (symmetric about the d/e line).
int32_t MirroredFileTables[4][8] = {
    {22, 24, 26, 28, 28, 26, 24, 22},
    {11, 11, 11, 11, 11, 11, 11, 11},
    {10, 11, 12, 13, 13, 12, 11, 10},
    {5, 5, 5, 5, 5, 5, 5, 5},
};
// The ten 64-entry tables are the weak-pawn penalties, by square as BLACK
// sees it (row 0 is rank 1), lighter on the rook files: isolated and
// backward pawns cost most on a file the enemy rooks can use.
int32_t MirroredTables64[10][64] = {
    {  // 1: isolated on an open file eg
        0, 0, 0, 0, 0, 0, 0, 0,
        15, 17, 17, 17, 17, 17, 17, 15,
        15, 17, 17, 17, 17, 17, 17, 15,
        15, 17, 17, 17, 17, 17, 17, 15,
        15, 17, 17, 17, 17, 17, 17, 15,
        15, 17, 17, 17, 17, 17, 17, 15,
        15, 17, 17, 17, 17, 17, 17, 15,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 2: backward on an open file eg
        0, 0, 0, 0, 0, 0, 0, 0,
        8, 10, 10, 10, 10, 10, 10, 8,
        8, 10, 10, 10, 10, 10, 10, 8,
        8, 10, 10, 10, 10, 10, 10, 8,
        8, 10, 10, 10, 10, 10, 10, 8,
        8, 10, 10, 10, 10, 10, 10, 8,
        8, 10, 10, 10, 10, 10, 10, 8,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 3: isolated on an open file mg
        0, 0, 0, 0, 0, 0, 0, 0,
        15, 19, 21, 21, 21, 21, 19, 15,
        15, 19, 21, 21, 21, 21, 19, 15,
        15, 19, 21, 21, 21, 21, 19, 15,
        15, 19, 21, 21, 21, 21, 19, 15,
        15, 19, 21, 21, 21, 21, 19, 15,
        15, 19, 21, 21, 21, 21, 19, 15,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 4: backward on an open file mg
        0, 0, 0, 0, 0, 0, 0, 0,
        13, 17, 19, 19, 19, 19, 17, 13,
        13, 17, 19, 19, 19, 19, 17, 13,
        13, 17, 19, 19, 19, 19, 17, 13,
        13, 17, 19, 19, 19, 19, 17, 13,
        13, 17, 19, 19, 19, 19, 17, 13,
        13, 17, 19, 19, 19, 19, 17, 13,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 5: isolated mg
        0, 0, 0, 0, 0, 0, 0, 0,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 6: isolated eg
        0, 0, 0, 0, 0, 0, 0, 0,
        13, 15, 17, 17, 17, 17, 15, 13,
        13, 15, 17, 17, 17, 17, 15, 13,
        13, 15, 17, 17, 17, 17, 15, 13,
        13, 15, 17, 17, 17, 17, 15, 13,
        13, 15, 17, 17, 17, 17, 15, 13,
        13, 15, 17, 17, 17, 17, 15, 13,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 7: backward mg
        0, 0, 0, 0, 0, 0, 0, 0,
        5, 7, 7, 7, 7, 7, 7, 5,
        5, 7, 7, 7, 7, 7, 7, 5,
        5, 7, 7, 7, 7, 7, 7, 5,
        5, 7, 7, 7, 7, 7, 7, 5,
        5, 7, 7, 7, 7, 7, 7, 5,
        5, 7, 7, 7, 7, 7, 7, 5,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 8: backward eg
        0, 0, 0, 0, 0, 0, 0, 0,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 9: doubled mg
        0, 0, 0, 0, 0, 0, 0, 0,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        7, 8, 8, 8, 8, 8, 8, 7,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
    {  // 10: doubled eg
        0, 0, 0, 0, 0, 0, 0, 0,
        13, 17, 17, 17, 17, 17, 17, 13,
        13, 17, 17, 17, 17, 17, 17, 13,
        13, 17, 17, 17, 17, 17, 17, 13,
        13, 17, 17, 17, 17, 17, 17, 13,
        13, 17, 17, 17, 17, 17, 17, 13,
        13, 17, 17, 17, 17, 17, 17, 13,
        0, 0, 0, 0, 0, 0, 0, 0,
    },
};

// Block 71: EightEntryTables, then KpkWinScore entries 1..6 (FixValues sets those). Tables 1, 2, 7
// and 8 score the race of unstoppable passers by the moves the first to queen needs: leading by one
// move, queening first with the same count while the new queen covers the other promotion square,
// alone in the race, and leading by two moves or more; 0 here, the parameter file sets them.
int32_t EightEntryTables[8][8] = {};
int32_t KpkWinScore[8] = {0, 800, 820, 840, 860, 880, 900, 0};

// Blocks 72 and 73: EndgameParamsA entries 0..2, then PawnRaceRankBonus.
int32_t EndgameParamsA[9] = {100, 400, 400, 0, 50, 100, 150, 200, 250};

// Block 74: QueenShelterEg (by shelter penalty 0..15; a queen still hunts a bare king late).
int32_t QueenShelterEg[16] = {0, 2, 3, 9, 6, 14, 14, 18, 17, 23, 23, 26, 25, 33, 29, 31};

// Block 75: QueenShelterPatternScale (over 64).
int32_t QueenShelterPatternScale[6] = {64, 64, 64, 64, 64, 64};

// Block 76: AttackPatternScale (over 64).
int32_t AttackPatternScale[6] = {64, 64, 64, 64, 64, 64};

// Block 77: DevelopmentIndex (by the 6-bit set of undeveloped pieces: king on c1-f1, queen d1,
// knights b1, g1, bishops c1, f1): the minor pieces at home plus one for the king in the centre.
int32_t DevelopmentIndex[64] = {
    0, 1, 0, 1, 1, 2, 1, 2,
    1, 2, 1, 2, 2, 3, 2, 3,
    1, 2, 1, 2, 2, 3, 2, 3,
    2, 3, 2, 3, 3, 4, 3, 4,
    1, 2, 1, 2, 2, 3, 2, 3,
    2, 3, 2, 3, 3, 4, 3, 4,
    2, 3, 2, 3, 3, 4, 3, 4,
    3, 4, 3, 4, 4, 5, 4, 5,
};

// Block 79: KpkWinValues.
int32_t KpkWinValues[3][5] = {};

// Block 80: PassedMaterialMg, PassedMaterialEg (over 64), by the passer side's piece units minus the
// other side's, plus 6, within 0..12.
int32_t PassedMaterialMg[13] = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64};
int32_t PassedMaterialEg[13] = {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64};

// Block 81: WeakPawnUnits, WeakPawnRank (over 64).
int32_t WeakPawnUnits[9] = {64, 64, 64, 64, 64, 64, 64, 64, 64};
int32_t WeakPawnRank[5] = {64, 64, 64, 64, 64};

// Block 82: WeakPawnKing [king distance - 1][4 * king file/rank reach + code], centipawns for the
// king's side: an unprotected pawn close to the enemy king is lost soon, more so when it is
// blocked (code 1) or passed (code 2).
int32_t WeakPawnKing[6][24] = {
    {24, 31, 36, 43, 22, 28, 32, 39, 19, 25, 29, 35, 16, 20, 23, 28, 12, 16, 18, 22, 8, 11, 13, 15},
    {16, 21, 24, 29, 14, 19, 22, 26, 13, 17, 19, 23, 10, 14, 16, 19, 8, 10, 12, 14, 6, 7, 8, 10},
    {10, 13, 15, 18, 9, 12, 14, 16, 8, 10, 12, 14, 6, 8, 10, 12, 5, 6, 8, 9, 4, 5, 5, 6},
    {6, 8, 9, 11, 5, 7, 8, 10, 5, 6, 7, 9, 4, 5, 6, 7, 3, 4, 4, 5, 2, 3, 3, 4},
    {3, 4, 4, 5, 3, 4, 4, 5, 2, 3, 4, 4, 2, 3, 3, 4, 2, 2, 2, 3, 1, 1, 2, 2},
    {1, 1, 2, 2, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 1, 1},
};
