// Pieces, mobility, threats and the king attack: the tables of the piece
// terms that the parameter file does not carry (compiled defaults in
// eval/defaults_pieces.cpp) and the pieces of the king-attack formula that the
// tests and "evl" look at. The terms themselves run inside EvaluatePieces.
#pragma once
#include <cstdint>

// Pieces, mobility, threats and king attack.
void EvaluatePieces();
// Safe queen checks after the tapering: gives the new score.
int32_t EvaluateSafeQueenChecks(int32_t score);

// Bits 0-1 of a king-zone feature code, by king square seen from the king's
// own side (a1 = 0): 0 in the corners, 1 on c1-f1, 2 on the second rank, 3 elsewhere.
extern const int32_t ZoneBaseCode[64];
// Danger of the first safe check square of a rook.
extern const int32_t RookCheckDanger;
// Danger by file distance between a rook with no own pawn ahead and the enemy king.
extern const int32_t RookFileToKing[8];
// Danger by the queen's king distance to the enemy king, and its floor by
// file distance when no own pawn stands ahead of the queen.
extern const int32_t QueenDistanceDanger[8];
extern const int32_t QueenFileDanger[8];
// Low-mobility penalty of knights and bishops: square factor (BLACK's side),
// the factor by weighted mobility count, and the squares where it is tested.
extern const int32_t MinorSquareWeight[64];
extern const int32_t KnightLowMobility[18];
extern const int32_t BishopLowMobility[18];
extern const int32_t MinorMobilityTested[64];

// Largest index of the tables the king attack reads.
constexpr int KING_DANGER_MAX = 127;   // KingDangerTable
constexpr int PRESSURE_MAX = 63;       // PressureSigmoid
constexpr int HORROR_MAX = 511;        // AttackHorrorSigmoid, DefendHorrorSigmoid
constexpr int ZONE_CODE_LIMIT = 384;   // KingAttackWeights

// The pawn attack sets, joined into attack_map: part of EvaluatePieces, and
// all the attack information a pure pawn ending has besides the king steps.
void EvaluatePawnAttacks();

// The material logistic of the king attack for a material score m from the
// attacker's side: round(H / (1 + exp(-m * S / 1000)) - H / 2).
int32_t MaterialLogistic(int32_t material);
// Fills the table of MaterialLogistic over the usual material scores with
// the weights in force; run after every load of the parameter set.
void InitMaterialLogisticTable();
