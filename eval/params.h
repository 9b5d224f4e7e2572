// The evaluation parameter set: every block of "values.txt", in file order,
// with its compiled-in defaults (eval/defaults.cpp), the reader and the
// sanity pass.
#pragma once
#include <cstdint>
#include <cstdio>

// Block sizes of the parameter file.
constexpr int MATRIX54_SIZE = 54;
constexpr int MATRIX486_SIZE = 486;
constexpr int PRUNE_SELECTORS = 2;

// Blocks 1-3: derived material weights.
extern int32_t DerivedParamsA[8];          // block 1
extern int32_t MaterialOffsets[12];        // block 2, cleared before every read
extern int32_t DerivedQuadW[4], DerivedQuadX[4], DerivedQuadY[4], DerivedQuadZ[4];  // block 3
// Block 4 (MaterialMatrix54) and block 78 (MaterialMatrix486) are work tables
// of LoadEvaluationValues only.
extern int32_t EvalParamsA[17];            // block 6
extern int32_t EndgameDriverPair[2];       // block 7, set to 35 and 120 after every read
extern int32_t EvalParamsB[5];             // block 9
extern int32_t EvalParamsB2;               // block 10
extern int32_t EvalParamsC[16];            // block 11
extern int32_t QueenShelterMg[16];         // block 12
extern int32_t EvalParamsD[116];           // block 14
extern int32_t EndingUnitThresholds[2];    // block 15
extern int32_t DerivedParamsE[9];          // block 16
extern int32_t MaterialPawnTable[17];      // blocks 17 (0..13) and 20 (14..16)
extern int32_t DerivedParamsF[24];         // block 18
extern int32_t DerivedParamsF2;            // block 19
extern int32_t EvalCurveA[32];             // block 21
extern int32_t EvalCurveB[32];             // block 22
extern int32_t EvalCurveC[32];             // block 23
extern int32_t UnreadBlock24[17];          // block 24 (stored, never read)
extern int32_t ShelterCodeTable[512];      // block 25
extern int32_t PawnParams[51];             // block 26
extern int32_t PieceSquareParams[424];     // block 28
extern int32_t KingDangerTable[128];       // block 35
extern int32_t ShelterScaleTable[64];      // block 36
extern int32_t ShelterPenaltyTable[64];    // block 37
extern int32_t EvalParamsN[35];            // block 38
extern int32_t PawnCountScale[16];         // block 39
extern int32_t UnreadBlock40[384];         // block 40 (stored, never read)
extern int32_t UnreadBlock41[4][64][64][2];  // block 41 (stored, never read)
extern int32_t RookEndingFiles[39][39];    // block 42
extern int64_t PruneCounts[PRUNE_SELECTORS][8][64][64];  // block 43, numerators [selector][code][from][to]
extern int64_t PruneTotals[PRUNE_SELECTORS][8][64][64];  // block 43, denominators
extern int32_t EndgameClassTable[114][6][2];  // block 44
extern int32_t KingDistanceClass[3][4][16];   // block 45
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

// Positions of the named weights inside the mixed blocks (a name standing
// for a run of weights marks its first entry). EvalParamsD and the blocks
// read only by the endgame code name their slots where they are read.
enum EvalParamsASlot : int {
  FIANCHETTO_HOLE_PENALTY = 0, CENTRE_FILE_OPEN = 1, SIDE_FILE_OPEN = 2, QUEEN_OFF_HOME_PENALTY = 3,
  FIANCHETTO_BISHOP_MG = 5
};
enum EvalCurveSlot : int { CHECK_DANGER = 1 };  // of EvalCurveA (bishop), B (queen), C (knight)
enum PawnParamsSlot : int { PAWN_ZONE_DANGER = 12 };
enum KingParamsASlot : int { DEVELOPMENT_BLOCKED_MG = 0, DEVELOPMENT_SCALE = 3 };
enum KingParamsBSlot : int {
  DEVELOPMENT_BLOCKED_EG = 0, KING_ATTACK_MG_WITH_QUEEN = 3, KING_ATTACK_MG_NO_QUEEN = 4,
  MATERIAL_LOGISTIC_HEIGHT = 5, MATERIAL_LOGISTIC_SLOPE = 6, PRESSURE_SIGMOID_AMPLITUDE = 7, PRESSURE_SIGMOID_SLOPE = 8
};
enum KingParamsCSlot : int { KNIGHT_PRESSURE = 0, BISHOP_PRESSURE = 1, ROOK_PRESSURE = 2, QUEEN_PRESSURE = 3 };
enum KingParamsDSlot : int { PAWN_ZONE_PRESSURE = 0 };
enum SigmoidAndPhaseSlot : int {
  CENTRE_FILE_HALF_OPEN = 0, SIDE_FILE_HALF_OPEN = 1,
  ATTACK_HORROR_AMPLITUDE = 2, ATTACK_HORROR_SLOPE = 3, ATTACK_HORROR_CENTRE = 4,
  DEFEND_HORROR_AMPLITUDE = 5, DEFEND_HORROR_SLOPE = 6, DEFEND_HORROR_CENTRE = 7
};
enum PassedPawnParamsASlot : int {
  PASSED_RANK_MG = 0, PASSED_RANK_EG = 8, PAWN_ENDGAME_SIGMOID_AMPLITUDE = 16, PAWN_ENDGAME_SIGMOID_SLOPE = 17
};
enum PassedPawnParamsQSlot : int { PASSED_EDGE_EG = 0, KING_PAWN_LOGISTIC_HEIGHT = 4, KING_PAWN_LOGISTIC_SLOPE = 5 };

// Running number of the sanity checks, printed in "fix" messages.
extern int32_t FixCheckCount;

// Fills KingAttackWeights with its start-up values (1, 0, 4 by thirds).
void InitKingAttackWeights();
// Reads "values.txt" and rebuilds every table derived from the parameters.
void LoadEvaluationValues();
// Open for the tests; the engine calls it only inside eval/params.cpp.
// Reads the file into the parameter set and the three work matrices.
void ReadValuesFile(int32_t* matrix54, int32_t* matrix486, int32_t* scale);
void ReadValues(FILE* file, int32_t* dest, int n);
void ReadValuesMirrored(FILE* file, int32_t* dest, int n);
void ReadHalfSquareTable(FILE* file, int32_t* dest);
// Clamps the parameters to their legal ranges, printing "fix" messages.
void FixValues();
void FixNonNegative(int32_t* value);
void MirrorSquareTable(int32_t* table);
void MirrorFileTable(int32_t* table);
// Writes the parameter set in force in file order (the material matrices,
// which exist only while a file is read, as zeros), so that reading the file
// back gives the same set. Returns 0 when the file cannot be written.
int WriteValuesFile(const char* path);
