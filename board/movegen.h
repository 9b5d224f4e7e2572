// Move generators and the adders that append to MoveStack with a safety flag
// and an ordering score. Generators append at MoveStackTop and never restore it.
#pragma once
#include "board/position.h"

extern const int32_t CaptureRatioBonus[17];

// Captures and promotions.
void AddCapture(Move move);
void AddGoodCapture(Move move);
int ScoreMove(Move move, int safe);
void GenerateCaptures(Bitboard targets);
void GenerateGoodCaptures(Bitboard targets);
void GeneratePromotions();

// Quiet moves (castling included).
void GenerateQuietMoves(uint32_t historyArgument);
void GenerateSafeQuietMoves(uint32_t historyArgument);
void AddQuietMoveWithSafety(Move move, uint32_t historyArgument);
void AddSafeQuietMove(Move move, uint32_t historyArgument);
void AddQuietMove(Move move, uint32_t historyArgument);

// Check evasions; the side to move must be in check.
int GenerateEvasions(int stage);
int GenerateEvasionsForSearch(int ignored);
void GenerateEvasionsForProbe();
void AddEvasion(Move move);

// Quiet checks and the gives-check tests.
void GenerateQuietChecks(uint32_t historyArgument);
int MoveGivesCheck(Move move);
int MoveGivesDiscoveredCheck(Move move);
