// Move generators and the adders that append to MoveStack with a safety flag
// and an ordering score. Generators append at MoveStackTop and never restore it.
#pragma once
#include "board/attacktables.h"
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

// What decides, for the many moves of one position, whether a move of the
// side to move checks the enemy king: the squares from which a piece of each
// kind checks it on the current occupancy, and the own pieces that stand alone
// between it and an own slider of that line.
struct CheckTargets {
  Bitboard knight, pawn, diagonal, straight;
  Bitboard discoverers;
  int enemyKing;
};
void FindCheckTargets(CheckTargets* targets);

// MoveGivesDiscoveredCheck with the position's check targets at hand: a
// discoverer uncovers its slider unless it moves along the same line.
inline int MoveGivesDiscoveredCheckWith(Move move, const CheckTargets& targets) {
  const int from = MoveFrom(move);
  if (!(targets.discoverers & SquareBit(from))) return 0;
  return Abs(Direction[MoveTo(move)][from]) != Abs(Direction[from][targets.enemyKing]);
}

// MoveGivesCheck with the position's check targets at hand: the same answer,
// the rare shapes (king moves, promotions, en passant) left to it.
inline int MoveGivesCheckWith(Move move, const CheckTargets& targets) {
  const int from = MoveFrom(move), to = MoveTo(move), piece = MovePiece(move);
  if (piece == KING || MovePromotion(move) != 0 ||
      (piece == PAWN && MoveCaptured(move) == 0 && ((from ^ to) & 7) != 0))
    return MoveGivesCheck(move);
  Bitboard direct = 0;
  switch (piece) {
    case KNIGHT: direct = targets.knight; break;
    case PAWN: direct = targets.pawn; break;
    case ROOK: direct = targets.straight; break;
    case BISHOP: direct = targets.diagonal; break;
    case QUEEN: direct = targets.straight | targets.diagonal; break;
    default: break;
  }
  if (direct & SquareBit(to)) return 1;
  return MoveGivesDiscoveredCheckWith(move, targets);
}
