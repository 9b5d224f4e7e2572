// Retrograde solvers of the built-in bitbases, run once at start-up.
//
// Both solvers keep, for a fixed pawn square, one 64-bit word per
// (first piece, first king) pair whose bits are the squares of the remaining
// king. A move of that king is then a shift of the word, so each solver
// iteration handles 64 positions at once. The pawn only moves forward, so
// the pawn squares are solved from the promotion rank down, each square to
// its fixed point before the next one starts.
#include "eval/bitbases.h"

#include <cstring>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "platform/parallel.h"

uint8_t KpkWinBitbase[KPK_BYTES];
uint8_t KpkBitbase[KPK_BYTES];
uint64_t KrkpBitbase[KRKP_WORDS];

const int32_t KrkpPawnIndex[64] = {
    0, 0, 0, 0, 0,  0,  0,  0,   // rank 1
    0, 0, 0, 0, 0,  0,  0,  0,   // rank 2
    0, 0, 0, 0, 0,  0,  0,  0,   // rank 3
    0, 0, 0, 0, 0,  1,  2,  3,   // rank 4: e4 0, f4 1, g4 2, h4 3
    0, 0, 0, 0, 4,  5,  6,  7,   // rank 5
    0, 0, 0, 0, 8,  9,  10, 11,  // rank 6
    0, 0, 0, 0, 12, 13, 14, 15,  // rank 7
    0, 0, 0, 0, 0,  0,  0,  0,   // rank 8
};

namespace {

// The eight king steps and, for each, the squares k from which k + step is
// on the board without wrapping round a file edge.
const int STEPS[8] = {-9, -8, -7, -1, 1, 7, 8, 9};
Bitboard StepFrom[8];

void InitStepMasks() {
  for (int i = 0; i < 8; i++) {
    StepFrom[i] = 0;
    for (int k = 0; k < 64; k++) {
      int to = k + STEPS[i];
      if (to < 0 || to > 63) continue;
      int df = (to & 7) - (k & 7);
      if (df >= -1 && df <= 1) StepFrom[i] |= SquareBit(k);
    }
  }
}

// Bit k of the result is bit k + step of x (0 where k + step leaves the board).
inline Bitboard StepShift(Bitboard x, int i) {
  int d = STEPS[i];
  return (d > 0 ? x >> d : x << -d) & StepFrom[i];
}

// Positions where every king step of the side to move is bad (leaves the
// board or lands in `bad`), and positions with at least one step into `legal`.
inline Bitboard AllStepsBad(Bitboard bad) {
  Bitboard all = ~0ULL;
  for (int i = 0; i < 8; i++) all &= ~StepFrom[i] | StepShift(bad, i);
  return all;
}
inline Bitboard SomeStepLegal(Bitboard legal) {
  Bitboard some = 0;
  for (int i = 0; i < 8; i++) some |= StepShift(legal, i);
  return some;
}

// Slider attacks from a square on an arbitrary occupancy, up to and
// including the first occupied square each way.
Bitboard SliderAttacks(int square, Bitboard occupied, const int* dirs, int count) {
  Bitboard attacks = 0;
  for (int i = 0; i < count; i++) {
    int df = dirs[2 * i], dr = dirs[2 * i + 1];
    int f = FileOf(square) + df, r = RankOf(square) + dr;
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
      int s = r * 8 + f;
      attacks |= SquareBit(s);
      if (occupied & SquareBit(s)) break;
      f += df;
      r += dr;
    }
  }
  return attacks;
}
const int ROOK_DIRS[8] = {1, 0, -1, 0, 0, 1, 0, -1};
const int QUEEN_DIRS[16] = {1, 0, -1, 0, 0, 1, 0, -1, 1, 1, 1, -1, -1, 1, -1, -1};
inline Bitboard QueenAttacksOn(int s, Bitboard occ) { return SliderAttacks(s, occ, QUEEN_DIRS, 8); }

// King, rook (or queen) against a bare king with the bare king to move: 1
// when the stronger side wins, that is unless the bare king can take the
// piece at once or is stalemated.
int BareKingLoses(int piece, int king, int bare, int queen) {
  Bitboard occ = SquareBit(king);  // the bare king does not block its own flight
  Bitboard attacked = (queen ? QueenAttacksOn(piece, occ) : RookAttacksOn(piece, occ)) | KingAttacks[king];
  Bitboard flights = KingAttacks[bare] & ~attacked & ~SquareBit(king);
  if (flights & SquareBit(piece)) return 0;  // the piece hangs
  if (flights) return 1;
  return (attacked & SquareBit(bare)) != 0;  // mate, or else stalemate
}

// ---------------------------------------------------------------------------
// KPK: Win[side][pawn][strong king] holds the weak-king squares where the
// pawn's side wins (side 0: pawn's side to move).
Bitboard KpkWin[2][64][64];

// The pawn on p promotes on q with the weak king on k to move next: a win
// when a queen (or, where the queen would stalemate, a rook) survives.
int PromotionWins(int q, int strongKing, int weakKing) {
  return BareKingLoses(q, strongKing, weakKing, 1) || BareKingLoses(q, strongKing, weakKing, 0);
}

void SolveKpkPawnSquare(int p) {
  Bitboard promotion[64] = {};
  int q = p + 8;
  if (q >= 56) {
    for (int K = 0; K < 64; K++) {
      if (K == p || K == q) continue;
      for (int k = 0; k < 64; k++) {
        if (k == p || k == q || k == K || (KingAttacks[K] & SquareBit(k))) continue;
        if (PromotionWins(q, K, k)) promotion[K] |= SquareBit(k);
      }
    }
  }
  Bitboard* w0 = KpkWin[0][p];
  Bitboard* w1 = KpkWin[1][p];
  bool changed = true;
  while (changed) {
    changed = false;
    // Pawn's side to move: some move reaches a win.
    for (int K = 0; K < 64; K++) {
      if (K == p) continue;
      Bitboard win = 0;
      for (Bitboard to = KingAttacks[K] & ~SquareBit(p); to;) {
        int K2 = PopLSB(&to);
        win |= w1[K2] & ~(KingAttacks[K2] | SquareBit(K2));
      }
      if (q != K) {
        if (q >= 56) win |= promotion[K];
        else win |= KpkWin[1][q][K] & ~SquareBit(q);
        int q2 = p + 16;
        if (p < 16 && q2 != K) win |= KpkWin[1][q2][K] & ~(SquareBit(q) | SquareBit(q2));
      }
      if (win != w0[K]) {
        w0[K] = win;
        changed = true;
      }
    }
    // Defender to move: every move reaches a win, and there is a move or a check.
    for (int K = 0; K < 64; K++) {
      if (K == p) continue;
      Bitboard pawnAttacks = WhitePawnAttacks[p];
      Bitboard illegal = KingAttacks[K] | SquareBit(K) | pawnAttacks;
      if (KingAttacks[K] & SquareBit(p)) illegal |= SquareBit(p);
      Bitboard bad = illegal | (w0[K] & ~SquareBit(p));
      Bitboard win = AllStepsBad(bad) & (SomeStepLegal(~illegal) | pawnAttacks);
      if (win != w1[K]) {
        w1[K] = win;
        changed = true;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// KRKP: for one pawn square, rookToMove[r][K] and pawnToMove[r][K] hold the
// squares of the pawn's king where the rook's side wins.
struct KrkpSlice {
  Bitboard rookToMove[64][64];
  Bitboard pawnToMove[64][64];
  Bitboard captures[64][64];      // rook to move: wins by taking the pawn at once
  Bitboard rookLines[64][64];     // the rook's attacks with the kings' squares open to it
  Bitboard pushLegal[64][64];     // pawn to move: the push is legal
  Bitboard pushLoses[64][64];     // ... and leads to a rook win
  uint8_t valid[64][64];
};
// One work area per file, so the four files of a rank are solved side by side.
KrkpSlice Slices[4];
Bitboard KrkpRookWins[16][64][64];  // solved slices, by KrkpPawnIndex

// Rook's side to move, with no other pieces than the four; the pawn on p,
// the pawn's king on k: 1 when taking the pawn (by rook or king) wins.
Bitboard CaptureWins(int r, int K, int p) {
  Bitboard wins = 0;
  int rookSees = (RookAttacksOn(r, SquareBit(K)) & SquareBit(p)) != 0;
  int kingSees = (KingAttacks[K] & SquareBit(p)) != 0;
  if (!rookSees && !kingSees) return 0;
  for (int k = 0; k < 64; k++) {
    if (k == r || k == K || k == p || (KingAttacks[K] & SquareBit(k))) continue;
    int win = 0;
    // The pawn's king may stand between rook and pawn.
    if (rookSees && !(Between[r][p] & SquareBit(k))) win = BareKingLoses(p, K, k, 0);
    if (!win && kingSees && !(KingAttacks[k] & SquareBit(p))) win = BareKingLoses(r, p, k, 0);
    if (win) wins |= SquareBit(k);
  }
  return wins;
}

void PrepareKrkpSlice(KrkpSlice& slice, int p) {
  int q = p + 8;
  int next = q < 56 ? KrkpPawnIndex[q] : -1;
  for (int r = 0; r < 64; r++) {
    for (int K = 0; K < 64; K++) {
      slice.rookToMove[r][K] = slice.pawnToMove[r][K] = 0;
      slice.valid[r][K] = r != K && r != p && K != p;
      if (!slice.valid[r][K]) continue;
      slice.captures[r][K] = CaptureWins(r, K, p);
      slice.rookLines[r][K] = RookAttacksOn(r, SquareBit(K) | SquareBit(p));
      Bitboard legal = 0, loses = 0;
      if (q != K && q != r) {
        legal = ~RookAttacksOn(r, SquareBit(K) | SquareBit(q)) & ~SquareBit(q);
        if (next >= 0) {
          loses = KrkpRookWins[next][r][K];
        } else {
          // Promotion: the rook's side wins only by taking the new piece at
          // once and keeping the rook (a skewer or a later win after the
          // promotion is not looked for).
          for (Bitboard ks = legal; ks;) {
            int k = PopLSB(&ks);
            if (k == r || k == K || (KingAttacks[K] & SquareBit(k))) continue;
            int win = 0;
            if ((KingAttacks[K] & SquareBit(q)) && !(KingAttacks[k] & SquareBit(q))) win = BareKingLoses(r, q, k, 0);
            if (!win && (RookAttacksOn(r, SquareBit(K) | SquareBit(k)) & SquareBit(q))) win = BareKingLoses(q, K, k, 0);
            if (win) loses |= SquareBit(k);
          }
        }
      }
      slice.pushLegal[r][K] = legal;
      slice.pushLoses[r][K] = loses;
    }
  }
}

// Pawn's side to move: every move loses, and there is a move or a check.
Bitboard PawnSideLoses(const KrkpSlice& slice, int r, int K, int p) {
  if (WhitePawnAttacks[p] & SquareBit(r)) return 0;  // the pawn takes the rook
  Bitboard lines = slice.rookLines[r][K];
  Bitboard illegal = lines | KingAttacks[K] | SquareBit(K) | SquareBit(p);
  if (KingAttacks[K] & SquareBit(r)) illegal |= SquareBit(r);  // a defended rook
  Bitboard bad = illegal | (slice.rookToMove[r][K] & ~SquareBit(r));
  Bitboard legalPush = slice.pushLegal[r][K];
  Bitboard allBad = AllStepsBad(bad) & (~legalPush | slice.pushLoses[r][K]);
  return allBad & (SomeStepLegal(~illegal) | legalPush | lines);
}

// Rook's side to move: some move wins.
Bitboard RookSideWins(const KrkpSlice& slice, int r, int K, int p) {
  Bitboard win = slice.captures[r][K];
  if (!(WhitePawnAttacks[p] & SquareBit(K))) {
    for (int i = 0; i < 4; i++) {
      int df = ROOK_DIRS[2 * i], dr = ROOK_DIRS[2 * i + 1];
      int f = FileOf(r) + df, rk = RankOf(r) + dr;
      Bitboard passed = 0;
      while (f >= 0 && f < 8 && rk >= 0 && rk < 8) {
        int s = rk * 8 + f;
        if (s == K || s == p) break;
        passed |= SquareBit(s);  // the pawn's king on any of these squares stops the rook
        win |= slice.pawnToMove[s][K] & ~passed;
        f += df;
        rk += dr;
      }
    }
  }
  for (Bitboard to = KingAttacks[K] & ~WhitePawnAttacks[p] & ~SquareBit(r) & ~SquareBit(p); to;) {
    int K2 = PopLSB(&to);
    win |= slice.pawnToMove[r][K2] & ~(KingAttacks[K2] | SquareBit(K2));
  }
  return win;
}

void SolveKrkpPawnSquare(int p) {
  KrkpSlice& slice = Slices[FileOf(p) - 4];
  PrepareKrkpSlice(slice, p);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int r = 0; r < 64; r++)
      for (int K = 0; K < 64; K++)
        if (slice.valid[r][K]) slice.pawnToMove[r][K] = PawnSideLoses(slice, r, K, p);
    for (int r = 0; r < 64; r++)
      for (int K = 0; K < 64; K++) {
        if (!slice.valid[r][K]) continue;
        Bitboard win = RookSideWins(slice, r, K, p);
        if (win != slice.rookToMove[r][K]) {
          slice.rookToMove[r][K] = win;
          changed = true;
        }
      }
  }
  std::memcpy(KrkpRookWins[KrkpPawnIndex[p]], slice.rookToMove, sizeof slice.rookToMove);
}

// KpkBitbase keeps the wins that the pawn earns by running and clears those
// that rest on the strong king's work:
//  - the strong king stands on the pawn's file in front of the pawn (the
//    readers answer that case by the rule of the square instead), or
//  - the weak king stands inside the square of the pawn as counted with the
//    pawn's side to move (WhitePawnSquareWtm), whichever side is to move.
// This clears 50946 of the 222564 wins on legal positions (22.9%), most of
// them with the pawn on a low rank, where the square is large.
int KpkBitbaseKeeps(int p, int K, int k) {
  if (FileOf(K) == FileOf(p) && K > p) return 0;
  return !(WhitePawnSquareWtm[p] & SquareBit(k));
}

}  // namespace

void InitKpkBitbases() {
  InitStepMasks();
  std::memset(KpkWin, 0, sizeof KpkWin);
  for (int p = 55; p >= 8; p--) SolveKpkPawnSquare(p);
  std::memset(KpkWinBitbase, 0, sizeof KpkWinBitbase);
  std::memset(KpkBitbase, 0, sizeof KpkBitbase);
  for (int side = 0; side < 2; side++)
    for (int p = 8; p < 56; p++)
      for (int K = 0; K < 64; K++)
        for (Bitboard ks = KpkWin[side][p][K]; ks;) {
          int k = PopLSB(&ks);
          int index = KpkIndex(side, p, K, k);
          KpkWinBitbase[index >> 3] |= (uint8_t)(1u << (index & 7));
          if (KpkBitbaseKeeps(p, K, k)) KpkBitbase[index >> 3] |= (uint8_t)(1u << (index & 7));
        }
}

void InitKrkpBitbase() {
  InitStepMasks();
  // A pawn only moves up its own file or takes the rook, so the files of one
  // rank are independent; each rank needs the one above it solved.
  for (int rank = 6; rank >= 3; rank--) {
    PARALLEL_FOR
    for (int file = 4; file < 8; file++) SolveKrkpPawnSquare(rank * 8 + file);
  }
  for (int r = 0; r < 64; r++)
    for (int K = 0; K < 64; K++)
      for (int i = 0; i < 16; i++) KrkpBitbase[r * 1024 + K * 16 + i] = ~KrkpRookWins[i][r][K];
}

void InitBitbases() {
  InitKpkBitbases();
  InitKrkpBitbase();
}
