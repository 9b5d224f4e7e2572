// Passed pawns: the term of one passer, the free-advance test on its stop
// square, the unstoppable-passer test and the race between unstoppable
// passers. EvaluatePassedPawns and EvaluateKingPawnEnding put them together;
// the pieces are declared here for the evaluation and its tests.
#pragma once
#include <cstdint>

// Passed pawns: gives the new packed_score.
int32_t EvaluatePassedPawns(int32_t packed_score);
// One pawn each and no pieces: 1 when it wrote the final score for the side to move.
int EvaluateKingPawnEnding(int32_t* score);

// Moves to promotion of a side with no unstoppable passer.
constexpr int NO_UNSTOPPABLE_PASSER = 99;

// The main term of one passer on `square`: a WHITE passer's middlegame and
// endgame values are taken off side_mg[BLACK] and side_eg[BLACK], a BLACK
// passer's off side_mg[WHITE] and side_eg[WHITE], so that each is blended by
// the phase of the side that must stop it.
void EvaluateWhitePassedPawn(int square, int32_t side_mg[2], int32_t side_eg[2]);
void EvaluateBlackPassedPawn(int square, int32_t side_mg[2], int32_t side_eg[2]);

// 1 when the pawn of `colour` on `square` may step onto its empty stop square
// without losing the exchange there; 0 when the square is occupied or lost.
int PasserCanAdvance(int colour, int square);

// 1 when a knight of the other side still catches the pawn of `colour` on
// `square` on its way to promotion (the side to move taken into account).
int KnightStopsPasser(int colour, int square);

// Moves the pawn of `colour` on `square` needs to promote when nothing can
// stop it (clear path; the enemy king outside the square of the pawn or a
// won king-and-pawn ending; no knight in time), else NO_UNSTOPPABLE_PASSER.
// A won or side-dependent answer clears derivable.
int UnstoppablePasserMoves(int colour, int square);

// Race of the fastest unstoppable passers: moves[c] and square[c] of colour
// c (moves NO_UNSTOPPABLE_PASSER when it has none). Gives the packed term
// from BLACK's side; the side to move decides who queens first.
int32_t PassedPawnRace(const int moves[2], const int squares[2]);
