#include "eval/sigmoid.h"

#include <cmath>

#include "board/attacktables.h"
#include "eval/params.h"
#include "platform/parallel.h"

int32_t PawnEndgameSigmoid[301];
int32_t PressureSigmoid[64];
int32_t AttackHorrorSigmoid[512];
int32_t DefendHorrorSigmoid[512];
Bitboard KnightIntercept[48][64];

// table[i] = round(A / (1 + exp(B * (m - i) / 1000)) - A / 2), halves away from zero.
static void FillLogistic(int32_t* table, int size, int32_t amplitude, int32_t slope, int32_t centre) {
  PARALLEL_FOR
  for (int i = 0; i < size; i++) {
    double x = (double)((int64_t)slope * ((int64_t)centre - i)) / 1000.0;
    double v = amplitude / (1.0 + std::exp(x)) - 0.5 * amplitude;
    table[i] = (int32_t)std::round(v);
  }
}

void InitPawnEndgameSigmoid() {
  FillLogistic(PawnEndgameSigmoid, 301, PassedPawnParamsA[PAWN_ENDGAME_SIGMOID_AMPLITUDE],
               PassedPawnParamsA[PAWN_ENDGAME_SIGMOID_SLOPE], 150);
}
void InitPressureSigmoid() {
  FillLogistic(PressureSigmoid, 64, KingParamsB[PRESSURE_SIGMOID_AMPLITUDE], KingParamsB[PRESSURE_SIGMOID_SLOPE],
               PressureSigmoidCentre);
}
void InitAttackHorrorSigmoid() {
  FillLogistic(AttackHorrorSigmoid, 512, SigmoidAndPhaseParams[ATTACK_HORROR_AMPLITUDE],
               SigmoidAndPhaseParams[ATTACK_HORROR_SLOPE], SigmoidAndPhaseParams[ATTACK_HORROR_CENTRE]);
}
void InitDefendHorrorSigmoid() {
  FillLogistic(DefendHorrorSigmoid, 512, SigmoidAndPhaseParams[DEFEND_HORROR_AMPLITUDE],
               SigmoidAndPhaseParams[DEFEND_HORROR_SLOPE], SigmoidAndPhaseParams[DEFEND_HORROR_CENTRE]);
}

// A knight on `knight` reaches the path square in time, directly or by way of
// a square that checks the king (which wins one tempo).
static int KnightStopsOnPath(int pawn, int king, int knight) {
  for (int i = 0; i <= RankOf(pawn); i++) {
    int path = pawn - 8 * i;
    int t = i + 1;
    int distance = KnightDistance[path][knight];
    if (distance <= t) return 1;
    if (distance == t + 1) {
      for (Bitboard checks = KnightAttacks[king]; checks;) {
        int q = PopLSB(&checks);
        if (KnightDistance[q][knight] + KnightDistance[path][q] - 1 <= t) return 1;
      }
    }
  }
  return 0;
}

void InitKnightIntercept() {
  PARALLEL_FOR
  for (int king = 0; king < 64; king++) {
    for (int pawn = 8; pawn < 56; pawn++) {
      Bitboard row = 0;
      for (int knight = 0; knight < 64; knight++)
        if (KnightStopsOnPath(pawn, king, knight)) row |= SquareBit(knight);
      KnightIntercept[pawn - 8][king] = row;
    }
  }
}
