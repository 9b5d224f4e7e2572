// The blocks of the parameter set whose compiled-in defaults are the plain
// fallback values of eval/defaults.cpp, in the order of "values.txt".
#pragma once
#include <cstdint>

constexpr int PRUNE_SELECTORS = 2;

extern int32_t MaterialOffsets[12];        // block 2, cleared before every read
extern int32_t DerivedQuadW[4], DerivedQuadX[4], DerivedQuadY[4], DerivedQuadZ[4];  // block 3
extern int32_t EvalParamsA[17];            // block 6
extern int32_t EndgameDriverPair[2];       // block 7, set to 35 and 120 after every read
extern int32_t EvalParamsB[5];             // block 9
extern int32_t EvalParamsB2;               // block 10
extern int32_t QueenShelterMg[16];         // block 12
extern int32_t EvalParamsD[116];           // block 14
extern int32_t EndingUnitThresholds[2];    // block 15
extern int32_t EvalCurveA[32];             // block 21
extern int32_t EvalCurveB[32];             // block 22
extern int32_t EvalCurveC[32];             // block 23
extern int32_t UnreadBlock24[17];          // block 24 (stored, never read)
extern int32_t ShelterCodeTable[512];      // block 25
extern int32_t PawnParams[51];             // block 26
extern int32_t KingDangerTable[128];       // block 35
extern int32_t ShelterScaleTable[64];      // block 36
extern int32_t ShelterPenaltyTable[64];    // block 37
extern int32_t EvalParamsN[35];            // block 38
extern int32_t UnreadBlock40[384];         // block 40 (stored, never read)
extern int32_t UnreadBlock41[4][64][64][2];  // block 41 (stored, never read)
extern int64_t PruneCounts[PRUNE_SELECTORS][8][64][64];  // block 43, numerators [selector][code][from][to]
extern int64_t PruneTotals[PRUNE_SELECTORS][8][64][64];  // block 43, denominators
extern int32_t DevelopmentPawnsMg[64];     // block 46
extern int32_t KingParamsA[9];             // block 47
extern int32_t DevelopmentPawnsEg[64];     // block 48
extern int32_t KingParamsB[9];             // block 49
extern int32_t PressureSigmoidCentre;      // block 50
extern int32_t KingParamsC[4];             // block 51
extern int32_t KingParamsD[2];             // block 52
extern int32_t SigmoidAndPhaseParams[12];  // block 53
extern int32_t PawnPhaseWeightA;           // block 54
extern int32_t PhaseWeightsB[4];           // block 55
extern int32_t PawnPhaseWeightB;           // block 56
extern int32_t EvalParamsO;                // block 57
extern int32_t KingAttackWeights[384];     // block 58
extern int32_t PassedPawnParamsA[18];      // block 59
extern int32_t PassedOwnKing[24], PassedEnemyKing[24];  // block 60
extern int32_t PassedKingRace[18];         // block 61
extern int32_t PassedCodeMg[8];            // block 62
extern int32_t PassedCodeEg[16];           // block 63
extern int32_t PassedEdgeMg[4];            // block 64, array P
extern int32_t PassedPawnParamsQ[15];      // block 64, array Q
extern int32_t EvalParamsP[23];            // block 65
extern int32_t UnreadBlock66;              // block 66 (stored, never read)
extern int32_t HalfSquareTables[20][64];   // block 67, numbered 1..20 in file order
extern int32_t PackPairs9[2][9];           // block 68
extern int32_t PackPairs17[2][17];         // block 69
extern int32_t MirroredFileTables[4][8];   // block 70: the four 4-value file tables
extern int32_t MirroredTables64[10][64];   // block 70: the ten 64-entry tables
extern int32_t EightEntryTables[8][8];     // block 71
extern int32_t KpkWinScore[8];             // block 71 tail (entries 1..6), by rank
extern int32_t EndgameParamsA[9];          // blocks 72 (0..2) and 73 (3..8, PawnRaceRankBonus)
extern int32_t QueenShelterEg[16];         // block 74
extern int32_t QueenShelterPatternScale[6];  // block 75
extern int32_t AttackPatternScale[6];      // block 76
extern int32_t DevelopmentIndex[64];       // block 77
extern int32_t KpkWinValues[3][5];         // block 79
extern int32_t PassedMaterialMg[13], PassedMaterialEg[13];  // block 80
extern int32_t WeakPawnUnits[9], WeakPawnRank[5];           // block 81
extern int32_t WeakPawnKing[6][24];        // block 82
