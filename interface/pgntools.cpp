// The EPD and PGN tools: "epdevl" writes the static evaluation of every
// position of an EPD file; "pgneval" and "selftest" replay the games of a PGN
// file and append one training row per quiet move to a CSV file.
#include "interface/pgntools.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "board/pst.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "interface/gamecontrol.h"
#include "platform/exit.h"
#include "search/hashtable.h"
#include "search/input.h"

char SanToken[SAN_TOKEN_SIZE];
int32_t GameResult = 0;
int32_t PlyCount = 0;
int32_t SkipGame = 0;
int32_t PgnHitCount = 0;

// ---------------------------------------------------------------------------
// Static evaluation of EPD positions

// The full evaluation of the position for the side to move, with the lazy
// window open, as the "evl" command gives it.
static int32_t StaticEvaluation() {
  const int32_t savedLow = LazyEvalLow, savedHigh = LazyEvalHigh;
  LazyEvalLow = -INFINITY_SCORE;
  LazyEvalHigh = INFINITY_SCORE;
  RootSide = thread_board.SideToMove;
  int32_t score = 0;
  EvaluatePosition(&score);
  LazyEvalLow = savedLow;
  LazyEvalHigh = savedHigh;
  return score;
}

static void PrintFileError(const char* what, const char* path) {
  printf("Error %s file %s...\n", what, path);
  fflush(stdout);
}

void EvaluateEpdFile(const char* path) {
  // The input is opened first, so a missing input leaves "out.epd" as it was.
  FILE* input = fopen(path, "r");
  if (input == nullptr) {
    PrintFileError("opening", path);
    return;
  }
  // Writing out.epd over the file being read would lose it.
  struct stat inputStat, outputStat;
  if (fstat(fileno(input), &inputStat) == 0 && stat(EPD_RESULTS_FILE, &outputStat) == 0 &&
      inputStat.st_dev == outputStat.st_dev && inputStat.st_ino == outputStat.st_ino) {
    printf("Error: %s is the output file %s...\n", path, EPD_RESULTS_FILE);
    fflush(stdout);
    fclose(input);
    return;
  }
  FILE* output = fopen(EPD_RESULTS_FILE, "w");
  if (output == nullptr) {
    PrintFileError("opening", EPD_RESULTS_FILE);
    fclose(input);
    return;
  }
  // Lines are read whole, whatever their length; the last one may lack its
  // line end. A line whose position is refused writes nothing.
  char* line = nullptr;
  size_t size = 0;
  ssize_t length;
  int written = 1;
  while ((length = getline(&line, &size, input)) > 0) {
    if (!SetupFenGame(line, 0)) continue;
    const int32_t score = StaticEvaluation();
    written &= fwrite(line, 1, (size_t)length, output) == (size_t)length;
    if (line[length - 1] != '\n') written &= fputc('\n', output) != EOF;
    written &= fprintf(output, ";%d\n", score) > 0;
  }
  free(line);
  if (fclose(output) != 0) written = 0;
  if (!written) PrintFileError("writing", EPD_RESULTS_FILE);
  fclose(input);
}

// ---------------------------------------------------------------------------
// The PGN reader: the open file through a buffer that can step back over the
// last two bytes read. Every primitive gives 1 at the end of the file.
// Characters are signed bytes, so bytes above 127 count as blanks.

constexpr int PGN_BUFFER_SIZE = 1 << 16;
constexpr int PGN_KEEP_BACK = 2;  // bytes a step back may return over
constexpr int TAG_NAME_SIZE = 33;
constexpr int TAG_VALUE_SIZE = 512;

struct PgnReader {
  FILE* file;
  uint8_t buffer[PGN_BUFFER_SIZE];
  int32_t length;    // bytes in buffer
  int32_t position;  // the next byte to read
  int64_t offset;    // the file position: bytes read less the steps back
};
static PgnReader Pgn;

// 1 when a tag names a refused FEN: the game is read but not played.
static int FenRefused = 0;
// Set when the training rows cannot be written: the run stops.
static int PgnStop = 0;

void ClosePgnFile() {
  if (Pgn.file != nullptr) fclose(Pgn.file);
  Pgn.file = nullptr;
  Pgn.length = Pgn.position = 0;
  Pgn.offset = 0;
}

// Refills the buffer, keeping the last bytes read in front; 0 at the end.
static int FillBuffer() {
  if (Pgn.file == nullptr) return 0;
  const int32_t keep = Min(PGN_KEEP_BACK, Pgn.length);
  memmove(Pgn.buffer, Pgn.buffer + Pgn.length - keep, (size_t)keep);
  const size_t read = fread(Pgn.buffer + keep, 1, (size_t)(PGN_BUFFER_SIZE - keep), Pgn.file);
  Pgn.length = keep + (int32_t)read;
  Pgn.position = keep;
  return read > 0;
}

static int NextChar(int* c) {
  if (Pgn.position == Pgn.length && !FillBuffer()) return 1;
  *c = (signed char)Pgn.buffer[Pgn.position++];
  Pgn.offset++;
  return 0;
}

// Steps back over the last n bytes read (n at most PGN_KEEP_BACK); never
// called after a read that found the end.
static void StepBack(int n) {
  if (n > Pgn.position) n = Pgn.position;
  Pgn.position -= n;
  Pgn.offset -= n;
}

static int PeekChar(int* c) {
  if (NextChar(c)) return 1;
  StepBack(1);
  return 0;
}

// Reads through the next c.
static int SkipPastChar(int c) {
  int next;
  do {
    if (NextChar(&next)) return 1;
  } while (next != c);
  return 0;
}

static int SkipToTagStart() {
  PlyCount = 0;
  return SkipPastChar('[');
}

// Skips characters up to 32 and steps back over the first other one.
static int SkipBlanks() {
  int c;
  do {
    if (NextChar(&c)) return 1;
  } while (c <= 32);
  StepBack(1);
  return 0;
}

// Skips blanks up to the first character above 32, which is stepped back
// over (0), or a ']' (4).
static int SkipTagBlanks() {
  int c;
  for (;;) {
    if (NextChar(&c)) return 1;
    if (c == ']') return 4;
    if (c > 32) break;
  }
  StepBack(1);
  return 0;
}

// Reads the tag name into name (cut to TAG_NAME_SIZE - 1 characters) up to a
// blank (0) or ']' (4).
static int SkipTagName(char* name) {
  int length = 0, c;
  name[0] = 0;
  for (;;) {
    if (NextChar(&c)) return 1;
    if (c == ']') return 4;
    if (c < 33) return 0;
    if (length < TAG_NAME_SIZE - 1) {
      name[length++] = (char)c;
      name[length] = 0;
    }
  }
}

// Reads the tag value up to ']' (cut to TAG_VALUE_SIZE - 1 characters).
static int ReadTagValue(char* value) {
  int length = 0, c;
  value[0] = 0;
  for (;;) {
    if (NextChar(&c)) return 1;
    if (c == ']') return 0;
    if (length < TAG_VALUE_SIZE - 1) {
      value[length++] = (char)c;
      value[length] = 0;
    }
  }
}

static int NameIs(const char* name, const char* tag) {
  for (; *tag != 0; name++, tag++) {
    if (FoldCase(*name) != FoldCase(*tag)) return 0;
  }
  return 1;
}

// The value behind an optional blank and an opening quote.
static const char* UnquotedValue(const char* value) {
  if (*value == ' ') value++;
  if (*value == '"') value++;
  return value;
}

static void ReadResultTag(const char* value) {
  const char* p = UnquotedValue(value);
  if (p[0] == '*') GameResult = 0;
  if (p[0] == '1' && p[1] == '-') GameResult = 1;
  if (p[0] == '1' && p[1] == '/') GameResult = 3;
  if (p[0] == '0' && p[1] == '-') GameResult = 2;
}

// Sets up the FEN of the tag; a refused FEN leaves the game unplayed rather
// than replaying its moves from the initial position.
static void ReadFenTag(const char* value) {
  char fen[TAG_VALUE_SIZE];
  snprintf(fen, sizeof fen, "%s", UnquotedValue(value));
  char* quote = strchr(fen, '"');
  if (quote != nullptr) *quote = 0;
  if (!SetupFenGame(fen, 0)) FenRefused = 1;
}

static void ReadPlyCountTag(const char* value) {
  const char* p = UnquotedValue(value);
  int32_t count = 0;
  for (; *p >= '0' && *p <= '9'; p++) count = Clamp((int64_t)count * 10 + (*p - '0'), 0, 99999999);
  PlyCount = count;
}

// One tag pair: 1 at the end of the file, 2 when another tag follows, 3 when
// the movetext follows.
static int ReadTagPair() {
  int c;
  if (NextChar(&c)) return 1;
  if (c != '[') StepBack(1);
  char name[TAG_NAME_SIZE], value[TAG_VALUE_SIZE];
  int status = SkipTagName(name);
  if (status == 1) return 1;
  if (status == 0) {
    status = SkipTagBlanks();
    if (status == 1) return 1;
    value[0] = 0;
    if (status == 0 && ReadTagValue(value)) return 1;
    if (NameIs(name, "Result")) ReadResultTag(value);
    if (NameIs(name, "FEN")) ReadFenTag(value);
    if (NameIs(name, "PlyCount")) ReadPlyCountTag(value);
  }
  // A pair cut short by ']' still lets the movetext behind it be read.
  if (SkipBlanks()) return 1;
  if (PeekChar(&c)) return 1;
  return c == '[' ? 2 : 3;
}

// A braced comment: reads through its '}'.
static int SkipComment() { return SkipPastChar('}'); }

// A parenthesised variation with the variations and comments inside it.
static int SkipVariation() {
  int depth = 0, c;
  do {
    if (NextChar(&c)) return 1;
    if (c == '(') depth++;
    if (c == ')') depth--;
    if (c == '{' && SkipComment()) return 1;
  } while (depth > 0);
  return 0;
}

static int IsMoveNumberChar(int c) {
  return c < 34 || (c >= '0' && c <= '9') || strchr(".$-#*+/?\\", c) != nullptr;
}

// Skips move numbers, NAGs, results and annotation marks; the first other
// character is stepped back over. "0-0" is castling: its zero and dash are
// stepped back over so that the token reads it.
static int SkipMoveNumber() {
  int previous = 0, c;
  for (;;) {
    if (NextChar(&c)) return 1;
    if (c == '-' && previous == '0') {
      int next;
      if (PeekChar(&next)) return 1;
      if (next == '0') {
        StepBack(2);
        return 0;
      }
    }
    if (!IsMoveNumberChar(c)) {
      StepBack(1);
      return 0;
    }
    previous = c;
  }
}

// Skips everything up to the next move: move numbers, comments and
// variations, until the file position stops moving.
static int SkipToMove() {
  for (;;) {
    const int64_t before = Pgn.offset;
    if (SkipMoveNumber()) return 1;
    int c;
    if (PeekChar(&c)) return 1;
    if (c == '{' && SkipComment()) return 1;
    if (c == '(' && SkipVariation()) return 1;
    if (Pgn.offset == before) return 0;
  }
}

static int IsSanChar(int c) {
  return (c >= 'a' && c <= 'h') || (c >= '0' && c <= '8') || (c != 0 && strchr("KQNBR=-O:x", c) != nullptr);
}

// Reads a SAN token into SanToken; the character that ends it is consumed.
// At the end of the file the token read so far is kept.
static int ReadSanToken() {
  int length = 0, c;
  SanToken[0] = 0;
  for (;;) {
    if (NextChar(&c)) return 1;
    if (!IsSanChar(c)) return 0;
    SanToken[length++] = (char)c;
    SanToken[length] = 0;
    if (length == SAN_TOKEN_SIZE - 1) {
      printf("Error parsing move (move too long): %s...\n", SanToken);
      fflush(stdout);
      ClosePgnFile();
      ExitProgram(2);
    }
  }
}

// ---------------------------------------------------------------------------
// Playing a SAN move

// What a SAN token says of its move; -1 where it says nothing.
struct SanMove {
  int piece;
  int fromFile, fromRank, toFile, toRank;
  int promotion;
  int capture;
};

static void DropFirstChar(char* text) { memmove(text, text + 1, strlen(text)); }

static int PieceOfLetter(char c) {
  switch (c) {
    case 'K': return KING;
    case 'Q': return QUEEN;
    case 'R': return ROOK;
    case 'B': return BISHOP;
    case 'N': return KNIGHT;
    case 'P': return PAWN;
  }
  return 0;
}

static int IsCastlingZero(char c) { return c == 'O' || c == '0'; }

// Reads a file letter and/or a rank digit at *p into file and rank.
static void ReadSquarePart(const char** p, int* file, int* rank) {
  *file = *rank = -1;
  if (**p >= 'a' && **p <= 'h') *file = *(*p)++ - 'a';
  if (**p >= '1' && **p <= '8') *rank = *(*p)++ - '1';
}

// Takes the token apart (it is changed: capture and promotion marks removed).
static void ParseSan(char* token, SanMove* san) {
  san->capture = 0;
  char* out = token;
  for (const char* in = token; *in != 0; in++) {
    if (*in == ':' || *in == 'x') san->capture = 1;
    if (*in != ':' && *in != 'x' && *in != '=') *out++ = *in;
  }
  *out = 0;
  san->promotion = -1;
  const int rank = thread_board.SideToMove == WHITE ? 0 : 7;
  const int length = (int)strlen(token);
  if ((length == 3 || length == 5) && IsCastlingZero(token[0]) && token[1] == '-' && IsCastlingZero(token[2]) &&
      (length == 3 || (token[3] == '-' && IsCastlingZero(token[4])))) {
    *san = {KING, 4, rank, length == 3 ? 6 : 2, rank, -1, 0};
    return;
  }
  san->piece = PAWN;
  if (int piece = PieceOfLetter(token[0])) {
    san->piece = piece;
    DropFirstChar(token);
  }
  const char* p = token;
  int file1, rank1, file2, rank2;
  ReadSquarePart(&p, &file1, &rank1);
  ReadSquarePart(&p, &file2, &rank2);
  if (file2 >= 0 || rank2 >= 0) {
    *san = {san->piece, file1, rank1, file2, rank2, -1, san->capture};
  } else {
    *san = {san->piece, -1, -1, file1, rank1, -1, san->capture};
  }
  if (int promotion = PieceOfLetter(*p)) san->promotion = promotion;
}

static int Agrees(int given, int actual) { return given < 0 || given == actual; }

static int MatchesSan(Move move, const SanMove& san) {
  const int from = MoveFrom(move), to = MoveTo(move);
  if (MovePiece(move) != san.piece) return 0;
  if (!Agrees(san.fromFile, FileOf(from)) || !Agrees(san.fromRank, RankOf(from))) return 0;
  if (!Agrees(san.toFile, FileOf(to)) || !Agrees(san.toRank, RankOf(to))) return 0;
  if (!Agrees(san.promotion, MovePromotion(move))) return 0;
  if (san.capture) {
    if (san.piece == PAWN ? FileOf(from) == FileOf(to) : MoveCaptured(move) == 0) return 0;
  }
  return 1;
}

static int IsQuietMove(Move move) {
  if (MoveCaptured(move) != 0 || MovePromotion(move) != 0) return 0;
  return !(MovePiece(move) == PAWN && FileOf(MoveFrom(move)) != FileOf(MoveTo(move)));
}

// The game's result for the side to move: 1 won, 2 lost, 0 a draw.
static int ResultForSideToMove() {
  if (GameResult == 3) return 0;
  const int whiteWon = GameResult == 1;
  return (thread_board.SideToMove == WHITE) == whiteWon ? 1 : 2;
}

// Appends one row to the training file; 0 when it cannot be written.
static int AppendTrainingRow(const char* row) {
  FILE* file = fopen(TRAINING_ROWS_FILE, "a");
  if (file == nullptr) {
    PrintFileError("opening", TRAINING_ROWS_FILE);
    return 0;
  }
  const int written = fputs(row, file) >= 0;
  if (fclose(file) != 0 || !written) {
    PrintFileError("writing", TRAINING_ROWS_FILE);
    return 0;
  }
  return 1;
}

// The one legal move that agrees with the token, or 0 with the message of a
// token that matches none or more than one.
static Move FindSanMove(const char* token, const SanMove& san) {
  const int savedTop = MoveStackTop;
  GenerateLegalMoves(SCRATCH_LIST_START);
  const int end = MoveStackTop;
  MoveStackTop = savedTop;
  Move found = 0;
  int matches = 0;
  for (int i = SCRATCH_LIST_START; i < end; i++) {
    const Move move = MoveStack[i].move;
    if (!MatchesSan(move, san)) continue;
    if (++matches == 2) {
      char earlier[8], later[8];
      printf("\nAmbigous move: %s... ", token);
      printf("[%s, ", MoveToStringWithPiece(earlier, found));
      printf("%s]\n", MoveToStringWithPiece(later, move));
      fflush(stdout);
    }
    found = move;
  }
  if (matches == 0) {
    printf("\nCan't recognize: %s...\n", token);
    fflush(stdout);
  }
  return matches == 1 ? found : 0;
}

void PlaySanMove() {
  // 1. Keep the token for the messages and take it apart.
  char token[SAN_TOKEN_SIZE], text[SAN_TOKEN_SIZE];
  snprintf(token, sizeof token, "%s", SanToken);
  snprintf(text, sizeof text, "%s", SanToken);
  SanMove san;
  ParseSan(text, &san);
  if (SkipGame) return;
  // 2. A token without a destination square names no move.
  const Move move = san.toFile >= 0 && san.toRank >= 0 ? FindSanMove(token, san) : 0;
  if (move == 0) {
    if (san.toFile < 0 || san.toRank < 0) {
      printf("\nCan't recognize: %s...\n", token);
      fflush(stdout);
    }
    SkipGame = 1;
    return;
  }
  // 3. The row of a quiet move is made before the move, written after it.
  static char row[sizeof FenText + 64];
  const int rowDue = GameResult != 0 && GamePly > 0 && IsQuietMove(move);
  if (rowDue) {
    StaticEvaluation();
    MakeFen(0);
    char moveText[8];
    snprintf(row, sizeof row, "%s;%s;%d;%d;%d\n", FenText, MoveToString(moveText, move), PlyCount - GamePly,
             PlyCount, ResultForSideToMove());
  }
  // 4. A game longer than the game record takes is given up.
  if (!MakeGameMove(move)) {
    SkipGame = 1;
    return;
  }
  if (rowDue && !AppendTrainingRow(row)) PgnStop = 1;
}

// ---------------------------------------------------------------------------
// The PGN file, game by game

// Plays the movetext of one game; 1 at the end of the file or of the run.
static int PlayMovetext() {
  for (;;) {
    if (SkipToMove()) return 1;
    int c;
    if (PeekChar(&c)) return 1;
    if (c == '[') return 0;
    const int end = ReadSanToken();
    if (!end || SanToken[0] != 0) PlaySanMove();
    if (end || PgnStop) return 1;
  }
}

static void CountGame(int* games, double hits) {
  if (++*games % 100 == 0) {
    printf("Processed %d games, hit/game = %1.3f...              \r", *games, hits / *games);
    fflush(stdout);
  }
}

void ProcessPgnFile(const char* path) {
  // 1. Open the file.
  ClosePgnFile();
  Pgn.file = fopen(path, "rb");
  if (Pgn.file == nullptr) {
    PrintFileError("opening", path);
    return;
  }
  // 2. The hit count as a floating value.
  const double hits = PgnHitCount;
  int games = 0;
  PgnStop = 0;
  // 3. For each game: the tags, then the moves; a game is counted when its
  // movetext has been read, also when the file ends in it.
  while (!SkipToTagStart()) {
    GameResult = 0;
    FenRefused = 0;
    NewGame();
    int status;
    do status = ReadTagPair();
    while (status == 2);
    if (status == 1) break;
    SkipGame = FenRefused;
    const int end = PlayMovetext();
    CountGame(&games, hits);
    if (end) break;
  }
  ClosePgnFile();
}

// ---------------------------------------------------------------------------
// Self-test

// Pawn rows 2 to 6 (from the owner's side) of both colours from two blocks
// of 4 files x 5 ranks, file a first, rank 2 first within a file: the
// middlegame values from PawnParams[31..50], the endgame values from
// EvalParamsN[7..26]. File f's value goes to files f and 7 - f.
static void FillSelfTestPawnRows() {
  for (int file = 0; file < 4; file++) {
    for (int rank = 1; rank <= 5; rank++) {
      const int index = file * 5 + rank - 1;
      const int16_t mg = (int16_t)Clamp(PawnParams[31 + index], -32767, 32767);
      const int16_t eg = (int16_t)Clamp(EvalParamsN[7 + index], -32767, 32767);
      for (int colour = WHITE; colour <= BLACK; colour++) {
        const int row = colour == WHITE ? rank : 7 - rank;
        for (int f : {file, 7 - file}) {
          const int square = row * 8 + f;
          PieceSquareMg[PAWN][colour][square] = mg;
          PieceSquareEg[PAWN][colour][square] = eg;
          PieceSquareTables[PAWN * 128 + colour * 64 + square] = PackPair(mg, eg);
        }
      }
    }
  }
}

void SelfTest(const char* path) {
  InitPieceSquareTables();
  FillSelfTestPawnRows();
  // The sums kept by make and unmake were made with the old tables: the game
  // on the board starts anew.
  NewGame();
  PgnHitCount = 0;
  ClearAllTables();
  ProcessPgnFile(path);
}
