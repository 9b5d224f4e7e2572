// Index encoding of the tables: a placement of the pieces, in the table's
// piece order, becomes the index of its stored value. The constant tables are
// built from their rules once, with the binomials, by init_index_tables.
#include <algorithm>
#include <cstdlib>

#include "tablebases/tbindex.h"

int32_t binomial[5][64];
int32_t pawn_index[5][24];
int32_t pawn_factor[5][4];
const uint8_t file_fold[8] = {0, 1, 2, 3, 3, 2, 1, 0};
uint8_t lead_pawn_index[64];

static int8_t off_diagonal[64];
static uint8_t flip_diagonal[64];
static uint8_t triangle_index[64];
static uint8_t lower_index[64];
static uint8_t diagonal_index[64];
static int16_t king_pair_index[10][64];
static uint8_t pawn_twist[64];
static uint8_t lead_pawn_square[24];
static const int32_t first_group_size[3] = {31332, 28056, 462};

static int SquareOf(int file, int rank) { return rank * 8 + file; }

// Triangle a1-d1-d4 index of a square: off the diagonal b1 c1 d1 c2 d2 d3,
// then a1 b2 c3 d4 on it.
static int TriangleOf(int sq) {
  int f = sq & 7, r = sq >> 3;
  if (f > 3) f = 7 - f;
  if (r > 3) r = 7 - r;
  if (r > f) std::swap(f, r);
  static const int8_t code[4][4] = {{6, 0, 1, 2}, {-1, 7, 3, 4}, {-1, -1, 8, 5}, {-1, -1, -1, 9}};
  return code[r][f];
}

// The king-pair codes: each triangle square of the first king with every
// square of the second that is neither the same nor a neighbour; with the
// first king on the long diagonal only the second king's squares on or below
// it count, and pairs of two kings on that diagonal come last.
static void BuildKingPairs() {
  static const int first[10] = {1, 2, 3, 10, 11, 19, 0, 9, 18, 27};  // b1 c1 d1 c2 d2 d3 a1 b2 c3 d4
  int held_i[64], held_s[64], held = 0, code = 0;
  for (int i = 0; i < 10; i++) {
    int c = first[i], cf = c & 7, cr = c >> 3;
    for (int s = 0; s < 64; s++) {
      king_pair_index[i][s] = -1;
      int sf = s & 7, sr = s >> 3;
      if (std::max(std::abs(sf - cf), std::abs(sr - cr)) <= 1) continue;
      bool c_diag = cf == cr;
      if (c_diag && sr > sf) continue;
      if (c_diag && sr == sf) {
        held_i[held] = i;
        held_s[held++] = s;
        continue;
      }
      king_pair_index[i][s] = (int16_t)code++;
    }
  }
  for (int h = 0; h < held; h++) king_pair_index[held_i[h]][held_s[h]] = (int16_t)code++;
}

void init_index_tables() {
  // 1. Binomials C(n, k + 1) in 32 bits.
  for (int k = 0; k < 5; k++)
    for (int n = 0; n < 64; n++) {
      int64_t f = 1, l = 1;
      for (int m = 0; m <= k; m++) {
        f *= n - m;
        l *= m + 1;
      }
      binomial[k][n] = (int32_t)(f / l);
    }
  // 2. The square tables.
  for (int sq = 0; sq < 64; sq++) {
    int f = sq & 7, r = sq >> 3;
    off_diagonal[sq] = (int8_t)(f == r ? 0 : f > r ? -1 : 1);
    flip_diagonal[sq] = (uint8_t)SquareOf(r, f);
    triangle_index[sq] = (uint8_t)TriangleOf(sq);
    int a = std::min(f, r), b = std::max(f, r);
    lower_index[sq] = (uint8_t)(a < b ? a * 7 - a * (a - 1) / 2 + (b - a - 1) : 28 + f);
    diagonal_index[sq] = (uint8_t)(f == r ? f : f + r == 7 ? 8 + r : 0);
    if (r >= 1 && r <= 6) {
      lead_pawn_index[sq] = (uint8_t)(6 * file_fold[f] + r - 1);
      pawn_twist[sq] = (uint8_t)(47 - 12 * file_fold[f] - 2 * (r - 1) - (f >= 4 ? 1 : 0));
    } else {
      lead_pawn_index[sq] = 0;
      pawn_twist[sq] = 0;
    }
  }
  for (int j = 0; j < 24; j++) lead_pawn_square[j] = (uint8_t)SquareOf(j / 6, j % 6 + 1);
  BuildKingPairs();
  // 3. Leading-pawn slots: running sums per group of six slots (one file).
  for (int i = 0; i < 5; i++)
    for (int f = 0; f < 4; f++) {
      int32_t s = 0;
      for (int j = 6 * f; j < 6 * f + 6; j++) {
        pawn_index[i][j] = s;
        s += i == 0 ? 1 : binomial[i - 1][pawn_twist[lead_pawn_square[j]]];
      }
      pawn_factor[i][f] = s;
    }
}

// Binomial C(n, k) for k >= 1.
static int64_t Sub(int k, int n) {
  int64_t f = 1, l = 1;
  for (int i = 0; i < k; i++) {
    f *= n - i;
    l *= i + 1;
  }
  return f / l;
}

// Runs of equal codes from position i on.
static int SetRuns(int num, int i, uint8_t* norm, const uint8_t* pieces) {
  while (i < num) {
    int run = 1;
    while (i + run < num && pieces[i + run] == pieces[i]) run++;
    norm[i] = (uint8_t)run;
    i += run;
  }
  return 1;
}

int set_norm_piece(int num, int enc_type, uint8_t* norm, const uint8_t* pieces) {
  for (int i = 0; i < TBPIECES; i++) norm[i] = 0;
  norm[0] = (uint8_t)(enc_type == 0 ? 3 : enc_type == 2 ? 2 : enc_type - 1);
  if (norm[0] > num) return 0;
  return SetRuns(num, norm[0], norm, pieces);
}

int set_norm_pawn(int num, const uint8_t* pawns, uint8_t* norm, const uint8_t* pieces) {
  for (int i = 0; i < TBPIECES; i++) norm[i] = 0;
  if (pawns[0] < 1 || pawns[0] + pawns[1] > num) return 0;
  norm[0] = pawns[0];
  if (pawns[1] > 0) norm[pawns[0]] = pawns[1];
  return SetRuns(num, pawns[0] + pawns[1], norm, pieces);
}

uint64_t calc_factors_piece(int32_t* factor, int num, int order, const uint8_t* norm, int enc_type) {
  int n = 64 - norm[0], i = norm[0];
  uint64_t f = 1;
  bool first_placed = false;
  for (int k = 0; i < num || k == order; k++) {
    if (k == order) {
      factor[0] = (int32_t)f;
      f *= (uint64_t)first_group_size[enc_type];
      first_placed = true;
    } else {
      factor[i] = (int32_t)f;
      f *= (uint64_t)Sub(norm[i], n);
      n -= norm[i];
      i += norm[i];
    }
  }
  return first_placed && f < (1ULL << 40) ? f : 0;
}

uint64_t calc_factors_pawn(int32_t* factor, int num, int order, int order2, const uint8_t* norm, int file) {
  int i = norm[0];
  if (order2 < 15) i += norm[i];
  int n = 64 - i;
  uint64_t f = 1;
  bool first_placed = false, second_placed = order2 >= 15;
  for (int k = 0; i < num || k == order || k == order2; k++) {
    if (k == order) {
      factor[0] = (int32_t)f;
      f *= (uint64_t)pawn_factor[norm[0] - 1][file];
      first_placed = true;
    } else if (k == order2) {
      factor[norm[0]] = (int32_t)f;
      f *= (uint64_t)Sub(norm[norm[0]], 48 - norm[0]);
      second_placed = true;
    } else {
      factor[i] = (int32_t)f;
      f *= (uint64_t)Sub(norm[i], n);
      n -= norm[i];
      i += norm[i];
    }
  }
  return first_placed && second_placed && f < (1ULL << 40) ? f : 0;
}

// Adds the groups from position i on: each group sorted, its squares counted
// past the smaller squares of the earlier groups (minus offset).
static uint64_t EncodeGroups(int num, int i, const uint8_t* norm, int* pos, const int32_t* factor,
                             int offset, int last_group_end) {
  uint64_t idx = 0;
  while (i < num && i < last_group_end) {
    int t = norm[i];
    std::sort(pos + i, pos + i + t);
    uint64_t s = 0;
    for (int m = i; m < i + t; m++) {
      int j = 0;
      for (int l = 0; l < i; l++) j += pos[m] > pos[l];
      s += (uint64_t)binomial[m - i][pos[m] - j - offset];
    }
    idx += s * (uint64_t)(uint32_t)factor[i];
    i += t;
  }
  return idx;
}

uint64_t encode_piece(int num, int enc_type, const uint8_t* norm, int* pos, const int32_t* factor) {
  // 1. Mirror the first piece into the files a-d and the ranks 1-4.
  if (pos[0] & 4)
    for (int i = 0; i < num; i++) pos[i] ^= 7;
  if (pos[0] & 32)
    for (int i = 0; i < num; i++) pos[i] ^= 56;
  // 2. Flip along a1-h8 when the first piece off that diagonal lies above it.
  int i = 0;
  while (i < num && off_diagonal[pos[i]] == 0) i++;
  if (i < (enc_type == 0 ? 3 : 2) && i < num && off_diagonal[pos[i]] > 0)
    for (int k = 0; k < num; k++) pos[k] = flip_diagonal[pos[k]];
  // 3. The first group.
  uint64_t idx;
  if (enc_type == 0) {
    int i1 = pos[1] > pos[0], j1 = (pos[2] > pos[0]) + (pos[2] > pos[1]);
    if (off_diagonal[pos[0]])
      idx = triangle_index[pos[0]] * 3906 + (pos[1] - i1) * 62 + (pos[2] - j1);
    else if (off_diagonal[pos[1]])
      idx = 23436 + diagonal_index[pos[0]] * 1736 + lower_index[pos[1]] * 62 + pos[2] - j1;
    else if (off_diagonal[pos[2]])
      idx = 30380 + diagonal_index[pos[0]] * 196 + (diagonal_index[pos[1]] - i1) * 28 + lower_index[pos[2]];
    else
      idx = 31164 + diagonal_index[pos[0]] * 42 + (diagonal_index[pos[1]] - i1) * 6 + (diagonal_index[pos[2]] - j1);
    i = 3;
  } else if (enc_type == 1) {
    int j1 = (pos[2] > pos[0]) + (pos[2] > pos[1]);
    int kk = king_pair_index[triangle_index[pos[0]]][pos[1]];
    if (kk < 0) return UINT64_MAX;
    if (kk <= 440)
      idx = kk + 441 * (pos[2] - j1);
    else
      idx = 26901 + kk + 21 * lower_index[pos[2]] - (off_diagonal[pos[2]] == 0 ? 21 * j1 : 0);
    i = 3;
  } else {
    int kk = king_pair_index[triangle_index[pos[0]]][pos[1]];
    if (kk < 0) return UINT64_MAX;  // kings side by side: no such position
    idx = (uint64_t)kk;
    i = 2;
  }
  idx *= (uint64_t)(uint32_t)factor[0];
  // 4. The later groups.
  return idx + EncodeGroups(num, i, norm, pos, factor, 0, num);
}

uint64_t encode_pawn(int num, int second_pawns, const uint8_t* norm, int* pos, const int32_t* factor) {
  // 1. Mirror the leading pawn into the files a-d.
  if (pos[0] & 4)
    for (int i = 0; i < num; i++) pos[i] ^= 7;
  // 2. The other leading-side pawns by falling twist.
  std::sort(pos + 1, pos + norm[0], [](int a, int b) { return pawn_twist[a] > pawn_twist[b]; });
  // 3. The leading pawns.
  int t = norm[0] - 1;
  uint64_t idx = (uint64_t)pawn_index[t][lead_pawn_index[pos[0]]];
  for (int i = t; i > 0; i--) idx += (uint64_t)binomial[t - i][pawn_twist[pos[i]]];
  idx *= (uint64_t)(uint32_t)factor[0];
  // 4. The other side's pawns on the 48 pawn squares, then the pieces.
  int i = norm[0];
  if (second_pawns) {
    idx += EncodeGroups(num, i, norm, pos, factor, 8, i + norm[i]);
    i += norm[i];
  }
  return idx + EncodeGroups(num, i, norm, pos, factor, 0, num);
}
