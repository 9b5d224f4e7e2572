// The evaluation terms that the driver calls in its fixed order: pawn
// structure, passed pawns, pieces and king attack, endgame knowledge and the
// KPK probes, each defined in the source file of its term (pawns, passed,
// pieces, endgame). Several are still stand-ins that add nothing; each says so.
#pragma once
#include <cstdint>

// Key of the one-entry pawn block that no pawn configuration reaches.
constexpr uint64_t PAWN_BLOCK_NO_KEY = ~0ULL;

// Empties the one-entry pawn block in front of the pawn hash.
void ResetPawnBlock();

// Pawn structure: adds the pawn score to packed_score, fills the pawn block
// and the passed-pawn sets.
void EvaluatePawns();
// Passed pawns: gives the new packed_score.
int32_t EvaluatePassedPawns(int32_t packed_score);
// One pawn each and no pieces: 1 when it wrote the final score for the side to move.
int EvaluateKingPawnEnding(int32_t* score);
// Pieces, mobility, threats and king attack.
void EvaluatePieces();
// Safe queen checks after the tapering: gives the new score.
int32_t EvaluateSafeQueenChecks(int32_t score);
// Three pawns on the board: the score, scaled when the ending is drawish.
int32_t ScaleDrawishEndgame(int32_t score);
// Endgame knowledge; see the definition for the contract of score and exact.
int32_t EvaluateEndgame(int32_t* score, int32_t* exact);
// The draw of a side to move that cannot win (endgame steps 2 and 12), taken
// on the real score of the position: a score of at least 0 for it becomes
// 0, and the evaluation is not cached (the draw depends on who moves).
void DrawWhenSideToMoveCannotWin(int32_t* score);
// KPK probes: side 0 when the pawn's side moves, squares as if the pawn were WHITE.
int ProbeKpk(int side, int pawn, int strongKing, int weakKing, int32_t* derivable);
int ProbeKpkFile(int side, int pawn, int strongKing, int weakKing, int32_t* derivable);
