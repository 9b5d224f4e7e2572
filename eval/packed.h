// Packed score pairs and the packed tables built from the parameter set:
// piece-square tables, the term tables the evaluator reads, the named
// packed weights and the prune rates.
#pragma once
#include <cstdint>
#include "board/packedpair.h"
#include "eval/defaults_material.h"

// Square tables below are read from BLACK's side: a BLACK piece on square s
// uses entry s, a WHITE piece entry 63 - s (or s ^ 56 where a term says so).

// Packed term tables, rebuilt by PackScorePairs at every parameter load.
extern int32_t RookVsMinorsPassers[9];     // by number of passed files
extern int32_t RookOpenFile[8];            // by file
extern int32_t RookHalfOpenFile[8];
extern int32_t PackedDerived64[64];        // entries 40 + code are the pin terms
extern int32_t PawnConnected[64];
extern int32_t PawnBreakthrough[64];
extern int32_t PawnDoubled[64];
extern int32_t PawnIsolatedOpen[64];
extern int32_t PawnIsolated[64];
extern int32_t PawnBackwardOpen[64];
extern int32_t PawnBackward[64];
extern int32_t PawnCandidate[64];
extern int32_t PawnFileSpan[9];            // by span of the pawn files
extern int32_t PassedFileSpan[9];          // by span of the passed files
extern int32_t PasserRookBehind[64];
extern int32_t PasserRookBehindBlocked[64];
extern int32_t PasserEnemyRookBehind[64];
extern int32_t PackedHead8[8];
extern int32_t PackedKpkWin1[5], PackedKpkWin2[5], PackedKpkWin3[5];
extern int32_t PackedEight1[8], PackedEight2[8], PackedEight3[8], PackedEight4[8];
extern int32_t PackedEight5[8], PackedEight6[8], PackedEight7[8], PackedEight8[8];
// The passed-pawn race tables among the eight-entry tables.
inline constexpr int32_t (&PasserRaceLeadOne)[8] = PackedEight1;
inline constexpr int32_t (&PasserRaceEqual)[8] = PackedEight2;
inline constexpr int32_t (&PasserRaceWin)[8] = PackedEight7;
inline constexpr int32_t (&PasserRaceLead)[8] = PackedEight8;
extern int32_t PackedPawnSteps9A[9];
extern int32_t PackedPawnSteps9B[9];
extern int32_t KnightOutpost[64], KnightOutpostProtected[64], KnightOutpostExchangeable[64];
extern int32_t BishopOutpost[64], BishopOutpostProtected[64], BishopOutpostExchangeable[64];
extern int32_t ThreatTable[17];

// The pin term by piece code of the pinned piece.
inline int32_t PinTerm(int code) { return PackedDerived64[40 + code]; }

// The named packed weights (one pair each).
extern int32_t KingBetweenPawns, BackRankTerm, TrappedRookTerm, RookWeakPawnFile, RookClosedFile;
extern int32_t RookSeventh, RookSeventhDoubled, RookSeventhPasser, RookBackRank, RookMobility;
extern int32_t BishopMobility, TrappedBishop, BadBishopBlocked, BadBishopPawn, BishopBothWings;
extern int32_t FianchettoBishop, KnightVsBlockedPawns, BlockedPawnTerm, QueenBackRank, QueenSeventh;
extern int32_t QueenMobility;

// The piece-square tables are declared in eval/defaults_material.h.

// Per-mille prune rates [table][HistoryClass][to][from][mirrored].
extern int32_t PruneRates[2][4][64][64][2];

// The unpacked tables that the material load derives and PackScorePairs packs.
extern int32_t RookVsMinorsBase[9];
extern int32_t PawnConnectedMg[64], PawnConnectedEg[64];
extern int32_t Derived64Mg[64], Derived64Eg[64];

// out[i] = PackPair(mg[i], eg[i]) for i = 0..n-1.
void PackScorePairTable(const int32_t* mg, const int32_t* eg, int32_t* out, int n);
// Fills every packed table and weight from the parameter set.
void PackScorePairs();
// Turns PruneCounts / PruneTotals into PruneRates.
void InitPruneRates();
