// Pieces, mobility, threats and the king attack: the tables of the piece
// terms that the parameter file does not carry (compiled defaults in
// eval/defaults_pieces.cpp) and the pieces of the king-attack formula that the
// tests and "evl" look at. The terms themselves run inside EvaluatePieces.
#pragma once
#include <cstdint>
#include "eval/defaults_pieces.h"

#include "board/types.h"

// Pieces, mobility, threats and king attack.
void EvaluatePieces();
// Safe queen checks after the tapering: gives the new score.
int32_t EvaluateSafeQueenChecks(int32_t score);

// Largest index of the tables the king attack reads.
constexpr int KING_DANGER_MAX = 127;   // KingDangerTable
constexpr int PRESSURE_MAX = 63;       // PressureSigmoid
constexpr int HORROR_MAX = 511;        // AttackHorrorSigmoid, DefendHorrorSigmoid
constexpr int ZONE_CODE_LIMIT = 384;   // KingAttackWeights

// SeeCaptureIsSafe(target, from) for a knight, bishop, rook or queen on
// `from` that attacks `target` (which holds no piece of its colour and no
// king), answered from attack sets wherever they settle it: enemyAttacks
// holds every square the other colour's pawns and pieces attack (its king
// may be left out), ownTwice exactly the squares that two or more units of
// the piece's colour attack, its pawns and king included.
int PieceCaptureIsSafe(int target, int from, Bitboard enemyAttacks, Bitboard ownTwice);

// The pawn attack sets, joined into attack_map: part of EvaluatePieces, and
// all the attack information a pure pawn ending has besides the king steps.
void EvaluatePawnAttacks();

// The material logistic of the king attack for a material score m from the
// attacker's side: round(H / (1 + exp(-m * S / 1000)) - H / 2).
int32_t MaterialLogistic(int32_t material);
// Fills the table of MaterialLogistic over the usual material scores with
// the weights in force; run after every load of the parameter set.
void InitMaterialLogisticTable();
