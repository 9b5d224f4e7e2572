// The evaluation parameter file "values.txt": one number per line, no keys,
// the position of a line is its meaning. One walk over the blocks in file
// order serves both the reader and the writer, so the two cannot drift apart.
// Also the load driver and the sanity pass over the values read.
#include "eval/params.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/types.h"
#include "eval/material.h"
#include "eval/packed.h"
#include "eval/pieces.h"
#include "platform/exit.h"

int32_t FixCheckCount;

constexpr int MATRIX54_ENTRIES = MATRIX54_SIZE * MATRIX54_SIZE;
constexpr int MATRIX486_ENTRIES = MATRIX486_SIZE * MATRIX486_SIZE;

// The king tables that replace whatever a read file held for them (the
// entries past the listed ones are 964 and 28).
static const int32_t KingDangerAfterRead[52] = {
    0,   2,   4,   6,   8,   10,  12,  15,  18,  21,  25,  29,  33,  38,  44,  50,  56,  63,
    71,  80,  89,  99,  110, 122, 135, 148, 163, 179, 196, 213, 232, 252, 274, 297, 320, 346,
    372, 400, 430, 461, 494, 528, 563, 601, 640, 681, 723, 768, 814, 862, 912, 964,
};
static const int32_t ShelterScaleAfterRead[16] = {8, 9, 10, 11, 13, 14, 15, 16, 18, 19, 20, 21, 23, 24, 25, 26};

// The ScaleFactorMatrix entries written after every read, as (WHITE
// signature, BLACK signature, factor over 256); a signature is six base-3
// digits of queens, rooks, bishops, knights and the pawn count (two digits).
struct FixedScaleFactor {
  char row[7];
  char column[7];
  int32_t value;
};
static const FixedScaleFactor FixedScaleFactors[112] = {
    {"121121", "121121", 308}, {"122220", "122220", 308}, {"122221", "122221", 335}, {"122222", "122222", 340},
    {"122121", "122121", 325}, {"121221", "122121", 334}, {"122121", "121221", 334}, {"122120", "122120", 297},
    {"121120", "121120", 307}, {"121222", "122122", 339}, {"122122", "121222", 339}, {"121221", "121221", 302},
    {"121220", "122120", 318}, {"122120", "121220", 318}, {"122122", "122122", 329}, {"010002", "010002", 126},
    {"121020", "121020", 285}, {"010010", "010010", 143}, {"121222", "121222", 316}, {"010011", "010011", 172},
    {"122021", "121121", 327}, {"121121", "122021", 327}, {"121120", "122020", 320}, {"122020", "121120", 320},
    {"121122", "121122", 281}, {"122220", "122221", 348}, {"122221", "122220", 348}, {"010002", "010010", 164},
    {"010010", "010002", 164}, {"122221", "122222", 391}, {"122222", "122221", 391}, {"010002", "010001", 117},
    {"010001", "010002", 117}, {"010001", "010001", 74},  {"021120", "021120", 240}, {"121021", "121021", 300},
    {"121112", "121112", 270}, {"011011", "011011", 171}, {"122120", "122121", 323}, {"122121", "122120", 323},
    {"010010", "010011", 156}, {"010011", "010010", 156}, {"121020", "120120", 310}, {"120120", "121020", 310},
    {"011012", "011012", 179}, {"022120", "022120", 270}, {"021121", "021121", 225}, {"121220", "121220", 306},
    {"122021", "122021", 263}, {"022121", "022121", 251}, {"011010", "011010", 143}, {"021020", "021020", 201},
    {"010012", "010012", 191}, {"010002", "010000", 110}, {"010000", "010002", 110}, {"121021", "120121", 311},
    {"120121", "121021", 311}, {"121012", "121012", 277}, {"111012", "111012", 248}, {"111020", "111020", 217},
    {"010001", "010000", 117}, {"010000", "010001", 117}, {"122020", "122020", 288}, {"120121", "120121", 245},
    {"122112", "122112", 305}, {"011020", "011020", 235}, {"111120", "111120", 266}, {"022121", "021221", 296},
    {"021221", "022121", 296}, {"110011", "110011", 177}, {"022221", "022221", 354}, {"010111", "011011", 191},
    {"011011", "010111", 191}, {"121120", "121121", 314}, {"121121", "121120", 314}, {"021012", "021012", 207},
    {"110012", "110012", 163}, {"121112", "121120", 322}, {"121120", "121112", 322}, {"011010", "011011", 159},
    {"011011", "011010", 159}, {"120120", "120120", 266}, {"022220", "022220", 237}, {"011012", "010112", 214},
    {"010112", "011012", 214}, {"010001", "010010", 99},  {"010010", "010001", 99},  {"011112", "011112", 230},
    {"122120", "121221", 349}, {"121221", "122120", 349}, {"122112", "122120", 295}, {"122120", "122112", 295},
    {"021112", "021112", 246}, {"011002", "011002", 107}, {"120221", "121121", 334}, {"121121", "120221", 334},
    {"020120", "021020", 257}, {"021020", "020120", 257}, {"010110", "011010", 150}, {"011010", "010110", 150},
    {"120020", "120020", 253}, {"011011", "011012", 195}, {"011012", "011011", 195}, {"011120", "011120", 273},
    {"100010", "100010", 94},  {"000010", "000010", 236}, {"011002", "011010", 153}, {"011010", "011002", 153},
    {"022020", "021120", 258}, {"021120", "022020", 258}, {"010012", "010011", 182}, {"010011", "010012", 182},
};

// Gives the material signature of six base-3 digits.
static int SignatureOfDigits(const char* digits) {
  int signature = 0;
  for (int i = 0; i < 6; i++) signature = signature * 3 + (digits[i] - '0');
  return signature;
}

// ---------------------------------------------------------------------------
// Numbers

// Reads one decimal integer as "%lld" would (white space skipped, an optional
// sign, digits) but saturates at low or high instead of overflowing. Gives 1
// when a number was read, 0 at the end of the file or at a token that is no
// number; that token stays in the stream, so every later read stops there too.
static int ReadBoundedNumber(FILE* file, int64_t low, int64_t high, int64_t* value) {
  int c = getc(file);
  while (c != EOF && isspace(c)) c = getc(file);
  int negative = 0;
  if (c == '+' || c == '-') {
    negative = (c == '-');
    c = getc(file);
  }
  if (c == EOF || !isdigit(c)) {
    if (c != EOF) ungetc(c, file);
    return 0;
  }
  // The largest magnitude allowed: high, or -low for a negative number.
  const uint64_t limit = negative ? (uint64_t)(-(low + 1)) + 1 : (uint64_t)high;
  uint64_t magnitude = 0;
  while (c != EOF && isdigit(c)) {
    uint64_t digit = (uint64_t)(c - '0');
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    c = getc(file);
  }
  if (c != EOF) ungetc(c, file);
  if (!negative) *value = (int64_t)magnitude;
  else *value = magnitude == 0 ? 0 : -(int64_t)(magnitude - 1) - 1;
  return 1;
}

// Reads one "%d" value into *dest; gives 0 (dest untouched) when none could be read.
static int ReadInt32(FILE* file, int32_t* dest) {
  int64_t value;
  if (!ReadBoundedNumber(file, INT32_MIN, INT32_MAX, &value)) return 0;
  *dest = (int32_t)value;
  return 1;
}

// Reads n values into dest[0..n-1]; an entry whose value cannot be read stays.
void ReadValues(FILE* file, int32_t* dest, int n) {
  for (int i = 0; i < n; i++) ReadInt32(file, &dest[i]);
}

// Each value read also goes to the entry with the mirrored file (the low
// three index bits j become 7 - j), so later values overwrite earlier mirrors.
void ReadValuesMirrored(FILE* file, int32_t* dest, int n) {
  for (int i = 0; i < n; i++) {
    ReadInt32(file, &dest[i]);
    dest[i ^ 7] = dest[i];
  }
}

// Reads files a-d of a 64-entry table in square order and mirrors each onto
// files h-e.
void ReadHalfSquareTable(FILE* file, int32_t* dest) {
  for (int square = 0; square < 64; square++) {
    if ((square & 7) >= 4) continue;
    ReadInt32(file, &dest[square]);
    dest[square ^ 7] = dest[square];
  }
}

// ---------------------------------------------------------------------------
// The walk over the blocks: reads while ValuesWriting is 0, writes each value
// in force on its own line while it is 1.

static int ValuesWriting;

static void TransferOne(FILE* file, int32_t* value) {
  if (ValuesWriting) fprintf(file, "%d\n", *value);
  else ReadInt32(file, value);
}

static void TransferValues(FILE* file, int32_t* dest, int n) {
  for (int i = 0; i < n; i++) TransferOne(file, &dest[i]);
}

// The writer gives every entry a reader of n mirrored values takes; for a
// table symmetric about the d/e line that reads back unchanged.
static void TransferMirrored(FILE* file, int32_t* dest, int n) {
  if (ValuesWriting) TransferValues(file, dest, n);
  else ReadValuesMirrored(file, dest, n);
}

static void TransferHalfSquareTable(FILE* file, int32_t* dest) {
  if (!ValuesWriting) {
    ReadHalfSquareTable(file, dest);
    return;
  }
  for (int square = 0; square < 64; square++)
    if ((square & 7) < 4) TransferOne(file, &dest[square]);
}

// Values read one from each table in turn: first[0], second[0], first[1], ...
static void TransferPairs(FILE* file, int32_t* first, int32_t* second, int n) {
  for (int i = 0; i < n; i++) {
    TransferOne(file, &first[i]);
    TransferOne(file, &second[i]);
  }
}

// Lines read and dropped (written as 0).
static void TransferDiscarded(FILE* file, int n) {
  int32_t scratch = 0;
  for (int i = 0; i < n; i++) {
    scratch = 0;
    TransferOne(file, &scratch);
  }
}

// A material matrix in interleaved-digit order: the row's most significant
// digit outermost, then the column's, then the row's next digit, and so on;
// the column's last digit runs fastest. radix and weight list the digits from
// the most significant one. Without a matrix (the writer) zeros are written.
static void TransferInterleavedMatrix(FILE* file, int32_t* matrix, int size, const int* radix, const int* weight,
                                      int digits) {
  int count = 1;
  for (int d = 0; d < digits; d++) count *= radix[d] * radix[d];
  for (int index = 0; index < count; index++) {
    int rest = index, row = 0, column = 0;
    for (int d = digits - 1; d >= 0; d--) {
      column += (rest % radix[d]) * weight[d];
      rest /= radix[d];
      row += (rest % radix[d]) * weight[d];
      rest /= radix[d];
    }
    int32_t zero = 0;
    TransferOne(file, matrix != nullptr ? &matrix[row * size + column] : &zero);
  }
}

// Block 4: all four digits (queens, rooks, bishops, knights) of row and column.
static void TransferMatrix54(FILE* file, int32_t* matrix) {
  static const int radix[4] = {2, 3, 3, 3};
  static const int weight[4] = {27, 9, 3, 1};
  TransferInterleavedMatrix(file, matrix, MATRIX54_SIZE, radix, weight, 4);
}

// Block 78: the digits 243, 81, 27, 9 and 1; the 3-digit stays 0, so only
// pawn counts 0..2 are in the file.
static void TransferMatrix486(FILE* file, int32_t* matrix) {
  static const int radix[5] = {2, 3, 3, 3, 3};
  static const int weight[5] = {243, 81, 27, 9, 1};
  TransferInterleavedMatrix(file, matrix, MATRIX486_SIZE, radix, weight, 5);
}

// Block 43: a numerator line and a denominator line per (selector, piece code,
// from, to); piece code 4 names no piece and is skipped.
static void TransferPruneStatistics(FILE* file) {
  static const int codes[6] = {KING, KNIGHT, PAWN, ROOK, BISHOP, QUEEN};
  for (int selector = 0; selector < PRUNE_SELECTORS; selector++)
    for (int code : codes)
      for (int from = 0; from < 64; from++)
        for (int to = 0; to < 64; to++) {
          int64_t* count = &PruneCounts[selector][code][from][to];
          int64_t* total = &PruneTotals[selector][code][from][to];
          if (ValuesWriting) {
            fprintf(file, "%lld\n%lld\n", (long long)*count, (long long)*total);
            continue;
          }
          int64_t value;
          if (!ReadBoundedNumber(file, INT64_MIN, INT64_MAX, &value)) continue;
          *count = value;
          if (value < 0) printf("Error! Negative prune stats value: %lld\n", (long long)value);
          if (ReadBoundedNumber(file, INT64_MIN, INT64_MAX, &value)) *total = value;
        }
}

// Every block of the file in order; the block numbers are those of the file
// layout (29 to 34 are not used).
static void TransferBlocks(FILE* file, int32_t* matrix54, int32_t* matrix486) {
  TransferValues(file, DerivedParamsA, 8);    // 1
  TransferValues(file, MaterialOffsets, 12);  // 2
  int32_t* const quads[10] = {&DerivedQuadW[3], &DerivedQuadY[3], &DerivedQuadX[1], &DerivedQuadZ[1],
                              &DerivedQuadW[2], &DerivedQuadY[2], &DerivedQuadX[2], &DerivedQuadZ[2],
                              &DerivedQuadX[3], &DerivedQuadZ[3]};
  for (int32_t* quad : quads) TransferOne(file, quad);  // 3
  TransferMatrix54(file, matrix54);                     // 4
  TransferDiscarded(file, 2);                           // 5
  TransferValues(file, EvalParamsA, 17);                // 6
  TransferValues(file, EndgameDriverPair, 2);           // 7
  TransferDiscarded(file, 1);                           // 8
  TransferValues(file, EvalParamsB, 5);                 // 9
  TransferOne(file, &EvalParamsB2);                     // 10
  TransferValues(file, EvalParamsC, 16);                // 11
  TransferValues(file, QueenShelterMg, 16);             // 12
  TransferDiscarded(file, 2);                           // 13
  TransferValues(file, EvalParamsD, 116);               // 14
  TransferValues(file, EndingUnitThresholds, 2);        // 15
  TransferValues(file, DerivedParamsE, 9);              // 16
  TransferValues(file, MaterialPawnTable, 14);          // 17
  TransferValues(file, DerivedParamsF, 24);             // 18
  TransferOne(file, &DerivedParamsF2);                  // 19
  TransferValues(file, MaterialPawnTable + 14, 3);      // 20
  TransferValues(file, EvalCurveA, 32);                 // 21
  TransferValues(file, EvalCurveB, 32);                 // 22
  TransferValues(file, EvalCurveC, 32);                 // 23
  TransferValues(file, UnreadBlock24, 17);              // 24
  TransferValues(file, ShelterCodeTable, 512);          // 25
  TransferValues(file, PawnParams, 51);                 // 26
  TransferDiscarded(file, 110);                         // 27
  TransferDiscarded(file, 110);
  TransferDiscarded(file, 100);
  TransferValues(file, PieceSquareParams, 424);    // 28
  TransferValues(file, KingDangerTable, 128);      // 35
  TransferValues(file, ShelterScaleTable, 64);     // 36
  TransferValues(file, ShelterPenaltyTable, 64);   // 37
  TransferValues(file, EvalParamsN, 35);           // 38
  TransferValues(file, PawnCountScale, 16);        // 39
  TransferValues(file, UnreadBlock40, 384);        // 40
  for (auto& plane : UnreadBlock41)                // 41
    for (auto& row : plane)
      for (auto& entry : row) TransferValues(file, entry, 2);
  for (auto& row : RookEndingFiles) TransferValues(file, row, 39);  // 42
  TransferPruneStatistics(file);                                    // 43
  for (auto& row : EndgameClassTable)                               // 44
    for (auto& entry : row) TransferValues(file, entry, 2);
  for (auto& plane : KingDistanceClass)  // 45
    for (auto& row : plane) TransferValues(file, row, 16);
  TransferValues(file, DevelopmentPawnsMg, 64);                // 46
  TransferValues(file, KingParamsA, 9);                        // 47
  TransferValues(file, DevelopmentPawnsEg, 64);                // 48
  TransferValues(file, KingParamsB, 9);                        // 49
  TransferOne(file, &PressureSigmoidCentre);                   // 50
  TransferValues(file, KingParamsC, 4);                        // 51
  TransferValues(file, KingParamsD, 2);                        // 52
  TransferValues(file, SigmoidAndPhaseParams, 12);             // 53
  TransferOne(file, &PawnPhaseWeightA);                        // 54
  TransferValues(file, PhaseWeightsB, 4);                      // 55
  TransferOne(file, &PawnPhaseWeightB);                        // 56
  TransferOne(file, &EvalParamsO);                             // 57
  TransferValues(file, KingAttackWeights, 384);                // 58
  TransferValues(file, PassedPawnParamsA, 18);                 // 59
  TransferPairs(file, PassedOwnKing, PassedEnemyKing, 24);     // 60
  TransferValues(file, PassedKingRace, 18);                    // 61
  TransferValues(file, PassedCodeMg, 8);                       // 62
  TransferValues(file, PassedCodeEg, 16);                      // 63
  TransferPairs(file, PassedEdgeMg, PassedPawnParamsQ, 3);     // 64: P[0], Q[0], ..., Q[2], P[3]
  TransferOne(file, &PassedEdgeMg[3]);
  TransferValues(file, PassedPawnParamsQ + 3, 12);
  TransferValues(file, EvalParamsP, 23);                       // 65
  TransferOne(file, &UnreadBlock66);                           // 66
  for (auto& table : HalfSquareTables) TransferHalfSquareTable(file, table);  // 67
  TransferPairs(file, PackPairs9[0], PackPairs9[1], 9);                       // 68
  TransferPairs(file, PackPairs17[0], PackPairs17[1], 17);                    // 69
  TransferMirrored(file, MirroredFileTables[0], 4);                           // 70
  TransferMirrored(file, MirroredFileTables[1], 4);
  for (auto& table : MirroredTables64) TransferMirrored(file, table, 64);
  TransferMirrored(file, MirroredFileTables[2], 4);
  TransferMirrored(file, MirroredFileTables[3], 4);
  for (auto& table : EightEntryTables) TransferValues(file, table, 8);  // 71
  TransferValues(file, KpkWinScore + 1, 6);
  TransferValues(file, EndgameParamsA, 3);              // 72
  TransferValues(file, EndgameParamsA + 3, 6);          // 73
  TransferValues(file, QueenShelterEg, 16);             // 74
  TransferValues(file, QueenShelterPatternScale, 6);    // 75
  TransferValues(file, AttackPatternScale, 6);          // 76
  TransferValues(file, DevelopmentIndex, 64);           // 77
  TransferMatrix486(file, matrix486);                   // 78
  for (auto& table : KpkWinValues) TransferValues(file, table, 5);  // 79
  TransferValues(file, PassedMaterialMg, 13);                       // 80
  TransferValues(file, PassedMaterialEg, 13);
  TransferValues(file, WeakPawnUnits, 9);  // 81
  TransferValues(file, WeakPawnRank, 5);
  for (auto& row : WeakPawnKing) TransferValues(file, row, 24);  // 82
}

// ---------------------------------------------------------------------------
// Reading and writing the file

// A read file's values for these two tables are replaced by a fixed second set.
static void SetKingTablesAfterRead() {
  for (int i = 0; i < 128; i++) KingDangerTable[i] = i < 52 ? KingDangerAfterRead[i] : 964;
  for (int i = 0; i < 64; i++) ShelterScaleTable[i] = i < 16 ? ShelterScaleAfterRead[i] : 28;
}

void ReadValuesFile(int32_t* matrix54, int32_t* matrix486, int32_t* scale) {
  FILE* file = fopen("values.txt", "r");
  memset(MaterialOffsets, 0, sizeof(MaterialOffsets));
  memset(DerivedQuadW, 0, sizeof(DerivedQuadW));
  memset(DerivedQuadX, 0, sizeof(DerivedQuadX));
  memset(DerivedQuadY, 0, sizeof(DerivedQuadY));
  memset(DerivedQuadZ, 0, sizeof(DerivedQuadZ));
  for (int i = 0; i < MATRIX54_ENTRIES; i++) matrix54[i] = 0;
  for (int i = 0; i < MATRIX486_ENTRIES; i++) {
    scale[i] = 256;
    matrix486[i] = 0;
  }
  if (file == nullptr) {
    printf("Error loading values.txt\n");
    fflush(stdout);
    return;
  }
  ValuesWriting = 0;
  TransferBlocks(file, matrix54, matrix486);
  fclose(file);
  fflush(stdout);
  SetKingTablesAfterRead();
}

int WriteValuesFile(const char* path) {
  FILE* file = fopen(path, "w");
  if (file == nullptr) return 0;
  ValuesWriting = 1;
  TransferBlocks(file, nullptr, nullptr);
  ValuesWriting = 0;
  int written = !ferror(file);
  if (fclose(file) != 0) written = 0;
  return written;
}

// ---------------------------------------------------------------------------
// The driver

// Gives a heap table of the given number of int32 entries; running out of
// memory ends the program.
static int32_t* AllocateWorkTable(int entries) {
  int32_t* table = (int32_t*)malloc((size_t)entries * sizeof(int32_t));
  if (table == nullptr) {
    printf("An error occured while memory allocation!\n");
    fflush(stdout);
    ExitProgram(1);
  }
  return table;
}

void LoadEvaluationValues() {
  int32_t* matrix54 = AllocateWorkTable(MATRIX54_ENTRIES);
  int32_t* table2 = AllocateWorkTable(MATRIX54_ENTRIES);
  int32_t* table3 = AllocateWorkTable(MATRIX54_ENTRIES);
  int32_t* matrix486 = AllocateWorkTable(MATRIX486_ENTRIES);
  int32_t* scale = AllocateWorkTable(MATRIX486_ENTRIES);

  ReadValuesFile(matrix54, matrix486, scale);
  InitPruneRates();
  EndgameDriverPair[0] = 35;
  EndgameDriverPair[1] = 120;
  for (const FixedScaleFactor& entry : FixedScaleFactors)
    scale[SignatureOfDigits(entry.row) * MATRIX486_SIZE + SignatureOfDigits(entry.column)] = entry.value;
  InitEvaluationTables(matrix54, table2, table3, matrix486, scale);
  InitMaterialLogisticTable();

  free(matrix54);
  free(table2);
  free(table3);
  free(matrix486);
  free(scale);
}

void InitKingAttackWeights() {
  for (int i = 0; i < 384; i++) KingAttackWeights[i] = i < 128 ? 1 : i < 256 ? 0 : 4;
}

// ---------------------------------------------------------------------------
// The sanity pass

// Stores the repaired value and reports it (no line break).
static void FixTo(int32_t* value, int32_t fixed, int check) {
  printf("fix [%d, %d to %d]; ", check, *value, fixed);
  *value = fixed;
}

static void FixAtLeast(int32_t* value, int32_t low, int check) {
  if (*value < low) FixTo(value, low, check);
}

static void FixAtMost(int32_t* value, int32_t high, int check) {
  if (*value > high) FixTo(value, high, check);
}

static void FixRange(int32_t* value, int32_t low, int32_t high, int check) {
  FixAtLeast(value, low, check);
  FixAtMost(value, high, check);
}

static void FixTableAtLeast(int32_t* table, int n, int32_t low, int check) {
  for (int i = 0; i < n; i++) FixAtLeast(&table[i], low, check);
}

// One counted check: a negative value becomes 0.
void FixNonNegative(int32_t* value) {
  FixCheckCount++;
  FixAtLeast(value, 0, FixCheckCount);
}

void MirrorSquareTable(int32_t* table) {
  for (int square = 0; square < 64; square++)
    if ((square & 7) >= 4) table[square] = table[square ^ 7];
}

void MirrorFileTable(int32_t* table) {
  for (int file = 4; file < 8; file++) table[file] = table[7 - file];
}

void FixValues() {
  FixCheckCount = 0;

  MirrorFileTable(MirroredFileTables[2]);
  MirrorFileTable(MirroredFileTables[3]);
  MirrorFileTable(MirroredFileTables[0]);
  MirrorFileTable(MirroredFileTables[1]);
  for (auto& table : MirroredTables64) MirrorSquareTable(table);
  for (auto& table : HalfSquareTables) MirrorSquareTable(table);

  FixNonNegative(&EvalParamsA[FIANCHETTO_HOLE_PENALTY]);
  FixNonNegative(&EvalParamsA[CENTRE_FILE_OPEN]);
  FixNonNegative(&EvalParamsA[SIDE_FILE_OPEN]);
  FixNonNegative(&SigmoidAndPhaseParams[CENTRE_FILE_HALF_OPEN]);
  FixNonNegative(&SigmoidAndPhaseParams[SIDE_FILE_HALF_OPEN]);
  FixNonNegative(&EvalParamsA[FIANCHETTO_BISHOP_MG]);
  for (int i = 3; i <= 25; i++) FixNonNegative(&EvalParamsD[i]);
  FixNonNegative(&EndingUnitThresholds[0]);
  FixNonNegative(&EndingUnitThresholds[1]);

  int check = ++FixCheckCount;
  for (int32_t& weight : KingAttackWeights) FixAtMost(&weight, 127, check);

  check = ++FixCheckCount;
  FixTableAtLeast(EvalCurveA, 32, 0, check);

  // Divisors.
  check = ++FixCheckCount;
  for (int i = 0; i < 6; i++) {
    FixAtLeast(&KingParamsA[DEVELOPMENT_SCALE + i], 1, check);
    FixAtLeast(&AttackPatternScale[i], 1, check);
    FixAtLeast(&QueenShelterPatternScale[i], 1, check);
  }

  check = ++FixCheckCount;
  for (int square = 0; square < 64; square++) {
    FixRange(&DevelopmentIndex[square], 0, 5, check);
    FixRange(&DevelopmentPawnsMg[square], -200, 200, check);
    FixRange(&DevelopmentPawnsEg[square], -200, 200, check);
  }

  check = ++FixCheckCount;
  for (int rank = 1; rank <= 6; rank++) {
    int32_t fixed = 780 + 20 * rank;
    if (KpkWinScore[rank] != fixed) FixTo(&KpkWinScore[rank], fixed, check);
  }

  check = ++FixCheckCount;
  for (int rank = 0; rank < 8; rank++) {
    FixAtLeast(&PassedPawnParamsA[PASSED_RANK_EG + rank], 0, check);
    FixAtLeast(&PassedPawnParamsA[PASSED_RANK_MG + rank], 0, check);
  }

  check = ++FixCheckCount;
  FixTableAtLeast(EvalCurveB, 32, 0, check);
  FixTableAtLeast(EvalCurveC, 32, 0, check);
  FixTableAtLeast(ShelterCodeTable, 512, 0, check);

  check = ++FixCheckCount;
  FixTableAtLeast(PawnParams, 12, 0, check);
  FixNonNegative(&PawnParams[PAWN_ZONE_DANGER]);

  check = ++FixCheckCount;
  FixTableAtLeast(PieceSquareParams + 8, 32, 0, check);

  check = ++FixCheckCount;
  FixTableAtLeast(KingDangerTable, 128, 0, check);
  FixTableAtLeast(ShelterScaleTable, 64, 1, check);
  FixTableAtLeast(ShelterPenaltyTable, 64, 0, check);
  fflush(stdout);
}
