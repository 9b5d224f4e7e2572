// FEN set-up and output, move text and the full position key.
#include "board/fen.h"

#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/bitmasks.h"
#include "board/pst.h"
#include "board/zobrist.h"

char FenText[512];
int32_t FenLength = 0;

void AppendFenText(const char* text) {
  size_t used = FenLength > 0 ? (size_t)FenLength : 0;
  if (used >= sizeof FenText) return;
  size_t room = sizeof FenText - 1 - used;
  size_t length = std::strlen(text);
  if (length > room) length = room;
  std::memcpy(FenText + used, text, length);
  FenLength = (int32_t)(used + length);
  FenText[FenLength] = '\0';
}

int FenPieceCode(char c) {
  switch (FoldCase(c)) {
    case 'k': return KING;
    case 'q': return QUEEN;
    case 'r': return ROOK;
    case 'b': return BISHOP;
    case 'n': return KNIGHT;
    case 'p': return PAWN;
  }
  return 0;
}

struct FenPlacement {
  int code[64];
  int colour[64];
  int order[64];  // squares in the order the text names them
  int count;
};

// Reads the placement field into `out`; returns a reason text when the
// placement cannot be a position, nullptr when it is sound. *end gets the
// character after the field.
static const char* ReadPlacement(const char* text, FenPlacement* out, const char** end) {
  int rank = 7, file = 0;
  int kings[2] = {0, 0}, pawns[2] = {0, 0};
  out->count = 0;
  for (int s = 0; s < 64; s++) out->code[s] = 0;
  const char* p = text;
  for (; *p && *p != ' '; p++) {
    char c = *p;
    if (c == '/') {
      if (rank == 0) return "more than eight ranks";
      rank--;
      file = 0;
    } else if (c >= '0' && c <= '9') {
      file += c - '0';
      if (file > 8) return "more than eight files in a rank";
    } else if (int code = FenPieceCode(c)) {
      if (file > 7) return "more than eight files in a rank";
      int colour = (c >= 'a' && c <= 'z') ? BLACK : WHITE;
      int square = rank * 8 + file;
      if (code == KING && ++kings[colour] > 1) return "more than one king of a side";
      if (code == PAWN) {
        if (rank == 0 || rank == 7) return "a pawn on the first or last rank";
        if (++pawns[colour] > 8) return "more than eight pawns of a side";
      }
      out->code[square] = code;
      out->colour[square] = colour;
      out->order[out->count++] = square;
      file++;
    }
    // every other character is skipped
  }
  *end = p;
  if (kings[WHITE] == 0 || kings[BLACK] == 0) return "a king is missing";
  return nullptr;
}

static const char* SkipBlanks(const char* p) {
  while (*p == ' ') p++;
  return p;
}

// The pawn double step that leads to the set-up position, written into the
// first undo record so the en-passant rule sees it. The record is filled
// completely (the key and sums of the position before the step), so a
// take-back of it gives back that real position.
static void FakeDoubleStep(int from, int to, int colour) {
  ThreadBoard& b = thread_board;
  UndoRecord& record = GameHistory[0];
  record.move = MakeMoveWord(from, to, PAWN);
  record.HashKey = b.HashKey ^ ZobristPieces[colour][PAWN][to] ^ ZobristPieces[colour][PAWN][from];
  record.Rule50 = 0;
  record.CastleFlags = b.CastleFlags;
  record.MaterialIndex = b.MaterialIndex;
  int32_t delta = PieceSquareTables[PAWN << 7 | colour << 6 | from] -
                  PieceSquareTables[PAWN << 7 | colour << 6 | to];
  record.PstSum = (int32_t)((uint32_t)b.PstSum + (uint32_t)(colour == BLACK ? delta : -delta));
  GamePly = 1;
}

const char* KingPlacementFault() {
  const ThreadBoard& b = thread_board;
  const int side = b.SideToMove & 1, other = side ^ 1;
  if (KingDistance(b.KingSquare[WHITE] & 63, b.KingSquare[BLACK] & 63) <= 1) return "the kings touch";
  if (SquareAttacked(side, b.KingSquare[other] & 63)) return "the side not to move is in check";
  return nullptr;
}

static void RefuseFen(const char* fault) {
  std::printf("Illegal FEN: %s\n", fault);
  std::fflush(stdout);
}

// Sets the position from FEN text; with checkKings a position whose kings
// cannot stand so is refused as well.
static int SetFen(const char* text, int checkKings) {
  FenPlacement placement;
  const char* p;
  if (const char* fault = ReadPlacement(text, &placement, &p)) {
    RefuseFen(fault);
    return 0;
  }
  ThreadBoard& b = thread_board;
  // The position before, for a placement whose kings cannot stand so.
  static ThreadBoard saved;
  saved = b;
  const int32_t savedPly = GamePly;
  GamePly = 0;
  ClearBoard();
  for (int i = 0; i < placement.count; i++) {
    int square = placement.order[i];
    AddPiece(square, placement.colour[square], placement.code[square]);
  }

  p = SkipBlanks(p);
  b.SideToMove = *p == 'w' ? WHITE : BLACK;
  if (*p) p++;
  if (const char* fault = checkKings ? KingPlacementFault() : nullptr) {
    b = saved;
    GamePly = savedPly;
    RefuseFen(fault);
    return 0;
  }

  p = SkipBlanks(p);
  uint32_t rights = 0;
  if (*p == '-') {
    p++;
  } else {
    for (; *p && *p != ' '; p++) {
      if (*p == 'K') rights |= 1;
      if (*p == 'Q') rights |= 2;
      if (*p == 'k') rights |= 4;
      if (*p == 'q') rights |= 8;
    }
  }
  // Rights stand only where king and rook are at home.
  const Bitboard* rooks = b.Pieces[ROOK];
  if (b.KingSquare[WHITE] != E1 || !(rooks[WHITE] & SquareBit(H1))) rights &= ~1u;
  if (b.KingSquare[WHITE] != E1 || !(rooks[WHITE] & SquareBit(A1))) rights &= ~2u;
  if (b.KingSquare[BLACK] != E8 || !(rooks[BLACK] & SquareBit(H8))) rights &= ~4u;
  if (b.KingSquare[BLACK] != E8 || !(rooks[BLACK] & SquareBit(A8))) rights &= ~8u;
  b.CastleFlags = rights;

  p = SkipBlanks(p);
  int file = FoldCase(p[0]) - 'a';
  if (file >= 0 && file < 8 && p[1] >= '1' && p[1] <= '8') {
    // The field stands only for a double step that can have been played: the
    // pawn beyond the passed square, the passed square and the pawn's start
    // empty. Any other field is dropped, since an en-passant capture onto a
    // taken square would corrupt the board.
    int square = (p[1] - '1') * 8 + file;
    if (b.SideToMove == BLACK && p[1] == '3' && b.Board[square + 8] == PAWN &&
        (b.Colour[WHITE] & SquareBit(square + 8)) && b.Board[square] == 0 && b.Board[square - 8] == 0)
      FakeDoubleStep(square - 8, square + 8, WHITE);
    else if (b.SideToMove == WHITE && p[1] == '6' && b.Board[square - 8] == PAWN &&
             (b.Colour[BLACK] & SquareBit(square - 8)) && b.Board[square] == 0 && b.Board[square + 8] == 0)
      FakeDoubleStep(square + 8, square - 8, BLACK);
  }
  return 1;
}

int SetFenPosition(const char* text) { return SetFen(text, 0); }

int SetGameFenPosition(const char* text) { return SetFen(text, 1); }

// 1 when the last move was a pawn double step with a pawn of the side to move
// beside its destination; *passed gets the square passed over.
static int EnPassantPossible(int* passed) {
  if (GamePly <= 0) return 0;
  Move last = GameHistory[GamePly - 1].move;
  int from = MoveFrom(last), to = MoveTo(last);
  if (MovePiece(last) != PAWN || ((from ^ to) & 8) != 0) return 0;
  Bitboard pawns = thread_board.Pieces[PAWN][thread_board.SideToMove];
  int f = to & 7;
  Bitboard beside = 0;
  if (f > 0) beside |= SquareBit(to - 1);
  if (f < 7) beside |= SquareBit(to + 1);
  if (!(pawns & beside)) return 0;
  *passed = (from + to) / 2;
  return 1;
}

void MakeFen(Move move) {
  const ThreadBoard& b = thread_board;
  FenLength = 0;
  FenText[0] = '\0';
  char text[8];
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      int square = rank * 8 + file;
      int code = b.Board[square];
      if (!code) {
        empty++;
        continue;
      }
      if (empty) {
        text[0] = (char)('0' + empty);
        text[1] = '\0';
        AppendFenText(text);
        empty = 0;
      }
      char letter = PieceLetters[code];
      if (b.Colour[BLACK] & SquareBit(square)) letter = (char)(letter + 32);
      text[0] = letter;
      text[1] = '\0';
      AppendFenText(text);
    }
    if (empty) {
      text[0] = (char)('0' + empty);
      text[1] = '\0';
      AppendFenText(text);
    }
    if (rank) AppendFenText("/");
  }
  AppendFenText(b.SideToMove == WHITE ? " w " : " b ");
  if (b.CastleFlags & 15) {
    if (b.CastleFlags & 1) AppendFenText("K");
    if (b.CastleFlags & 2) AppendFenText("Q");
    if (b.CastleFlags & 4) AppendFenText("k");
    if (b.CastleFlags & 8) AppendFenText("q");
    AppendFenText(" ");
  } else {
    AppendFenText("- ");
  }
  int passed;
  if (EnPassantPossible(&passed)) {
    std::snprintf(text, sizeof text, "%c%c ", 'a' + (passed & 7), '1' + (passed >> 3));
    AppendFenText(text);
  } else {
    AppendFenText("- ");
  }
  if (move) AppendFenText(MoveToString(text, move));
}

char* MoveToText(char* buffer, Move move) {
  if (!move) {
    std::strcpy(buffer, "0000");
    return buffer;
  }
  int from = MoveFrom(move), to = MoveTo(move);
  buffer[0] = (char)('a' + (from & 7));
  buffer[1] = (char)('1' + (from >> 3));
  buffer[2] = (char)('a' + (to & 7));
  buffer[3] = (char)('1' + (to >> 3));
  buffer[4] = PromotionLetters[MovePromotion(move) & 7];
  buffer[5] = '\0';
  return buffer;
}

char* MoveToString(char* buffer, Move move) {
  int from = MoveFrom(move), to = MoveTo(move);
  std::snprintf(buffer, 5, "%c%c%c%c", 'a' + (from & 7), '1' + (from >> 3), 'a' + (to & 7), '1' + (to >> 3));
  return buffer;
}

char* MoveToStringWithPiece(char* buffer, Move move) {
  if (!move) {
    std::strcpy(buffer, "-");
    return buffer;
  }
  int from = MoveFrom(move), to = MoveTo(move);
  std::snprintf(buffer, 6, "%c%c%c%c%c", PieceLetters[MovePiece(move)], 'a' + (from & 7), '1' + (from >> 3),
                'a' + (to & 7), '1' + (to >> 3));
  return buffer;
}

static int IsFileLetter(char c) { return FoldCase(c) >= 'a' && FoldCase(c) <= 'h'; }
static int IsRankDigit(char c) { return c >= '1' && c <= '8'; }

int IsCoordinateMove(const char* text) {
  return IsFileLetter(text[0]) && IsRankDigit(text[1]) && IsFileLetter(text[2]) && IsRankDigit(text[3]);
}

Move ParseMove(const char* text) {
  // Read at most five characters, stopping at the end of the text.
  char c[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < 5 && text[i]; i++) c[i] = text[i];
  return CoordsToMove(c[0], c[1], c[2], c[3], c[4]);
}

Move CoordsToMove(char fromFile, char fromRank, char toFile, char toRank, char promotion) {
  int ff = FoldCase(fromFile) - 'a', fr = fromRank - '1';
  int tf = FoldCase(toFile) - 'a', tr = toRank - '1';
  if (ff < 0 || ff > 7 || fr < 0 || fr > 7 || tf < 0 || tf > 7 || tr < 0 || tr > 7) return 0;
  int from = ff + 8 * fr, to = tf + 8 * tr;
  int code = 0;
  switch (promotion) {
    case 'r': code = ROOK; break;
    case 'n': code = KNIGHT; break;
    case 'b': code = BISHOP; break;
    case 'q': code = QUEEN; break;
  }
  return MakeMoveWord(from, to, thread_board.Board[from], thread_board.Board[to], code);
}

uint64_t PositionKey() {
  uint64_t key = thread_board.HashKey;
  if (GamePly > 0) {
    Move last = GameHistory[GamePly - 1].move;
    int from = MoveFrom(last), to = MoveTo(last);
    if (MovePiece(last) == PAWN && ((from ^ to) & 8) == 0) {
      int f = to & 7;
      Bitboard pawns = thread_board.Pieces[PAWN][thread_board.SideToMove];
      if ((f > 0 && (pawns & SquareBit(to - 1))) || (f < 7 && (pawns & SquareBit(to + 1))))
        key ^= ZobristEnPassant[f];
    }
  }
  return key ^ ZobristCastle[thread_board.CastleFlags & 15];
}
