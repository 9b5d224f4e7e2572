// The opening book: opening and closing the file, the binary search of its
// index, the move choice, the "bkm" listing and book learning.
//
// Every read is checked against the size of the file taken at the opening: a
// record, a move list or a statistic that would lie outside the file counts
// as absent. The file is unbuffered, so a read always sees what another
// program wrote before it, and learning writes under the advisory lock.
#include "book/book.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "board/legal.h"
#include "board/position.h"
#include "platform/filelock.h"
#include "platform/platform.h"

const char BookMagic[BOOK_MAGIC_SIZE + 1] = "~Corvatine openings book";

FILE* BookFile = nullptr;
int32_t BookLoaded = 0;
int32_t BookVersion0 = 0;
uint32_t BookIndexCount = 0;
int64_t BookIndexEnd = 0;
int32_t BookLearned = 1;
int32_t BookReadOnly = 0;
int64_t BookFileSize = 0;

int32_t UseBookWeights = 1;
int32_t UseBookLearning = 1;
int32_t BookLearningMode = 0;
int32_t BookLearningBound = 400;
int32_t VarietyOfPlay = 10;
char BookPath[BOOK_PATH_SIZE];

int32_t BookFrom[BOOK_LIST_SIZE];
int32_t BookTo[BOOK_LIST_SIZE];
int32_t BookStat[BOOK_LIST_SIZE];
int32_t BookMoveCount = 0;

namespace {

constexpr int BOOK_LOCK_WAIT_MS = 2000;   // longest wait for another program's update

int64_t BookListOffset = 0;  // move list of the position found last

// The legal moves of the current position, for checking book entries.
Move LegalMoves[BOOK_LIST_SIZE];
int LegalMoveCount = 0;

uint32_t ReadU32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

int EntrySize() { return BookVersion0 ? 3 : 4; }

// Reads size bytes at offset; 0 when they do not all lie inside the file or
// the read comes up short.
int ReadBookBytes(int64_t offset, uint8_t* buffer, int size) {
  if (BookFile == nullptr || offset < 0 || size < 0 || offset > BookFileSize - size) return 0;
  if (fseeko(BookFile, (off_t)offset, SEEK_SET) != 0) return 0;
  return fread(buffer, 1, (size_t)size, BookFile) == (size_t)size;
}

// Writes size bytes at offset, inside the file only. The seek comes first:
// a stream that was read must be positioned before it is written.
int WriteBookBytes(int64_t offset, const uint8_t* buffer, int size) {
  if (BookFile == nullptr || offset < 0 || offset > BookFileSize - size) return 0;
  if (fseeko(BookFile, (off_t)offset, SEEK_SET) != 0) return 0;
  return fwrite(buffer, 1, (size_t)size, BookFile) == (size_t)size;
}

// Gives up the book after a failed opening: nothing of it is kept.
void RefuseBook(const char* message) {
  CloseBook();
  printf("%s\n", message);
  fflush(stdout);
}

// The legal moves of the current position into LegalMoves.
void CollectLegalMoves() {
  const int savedTop = MoveStackTop;
  GenerateLegalMoves(BOOK_LIST_START);
  LegalMoveCount = 0;
  for (int i = BOOK_LIST_START; i < MoveStackTop && LegalMoveCount < BOOK_LIST_SIZE; i++) {
    LegalMoves[LegalMoveCount++] = MoveStack[i].move;
  }
  MoveStackTop = savedTop;
}

// The legal move from `from` to `to` (a promotion only to a queen), or 0.
// The book key holds neither castling rights nor en passant, so an entry is
// played only when the position allows it.
Move LegalBookMove(int from, int to) {
  if (from > 63 || to > 63) return 0;
  for (int i = 0; i < LegalMoveCount; i++) {
    const Move move = LegalMoves[i];
    if (MoveFrom(move) != from || MoveTo(move) != to) continue;
    if (MovePromotion(move) == 0 || MovePromotion(move) == QUEEN) return move;
  }
  return 0;
}

// Finds the position and reads its list. 0 when there is none.
int LoadBookList() { return BookLoaded && FindBookPosition() && ReadBookList(); }

int StatLo(int stat) { return stat & 255; }
int StatHi(int stat) { return stat >> 8; }

// The score of a version-1 entry in thousandths (500 when never played).
int EntryScore(int stat) {
  const int games = StatLo(stat) + StatHi(stat);
  return games == 0 ? 500 : StatLo(stat) * 1000 / games;
}

void PrintSquarePair(int from, int to) {
  printf("%c%c%c%c ", 'a' + FileOf(from), '1' + RankOf(from), 'a' + FileOf(to), '1' + RankOf(to));
}

// The statistic bytes of entry i written back into the file.
int WriteStat(int i, int lo, int hi) {
  const uint8_t bytes[2] = {(uint8_t)lo, (uint8_t)hi};
  BookStat[i] = lo + 256 * hi;
  return WriteBookBytes(BookListOffset + 1 + 4 * (int64_t)i + 2, bytes, 2);
}

}  // namespace

int CompareBookKeys(uint32_t a1, uint32_t a2, uint32_t b1, uint32_t b2) {
  const int32_t x1 = (int32_t)a1, y1 = (int32_t)b1, x2 = (int32_t)a2, y2 = (int32_t)b2;
  if (x1 != y1) return x1 > y1 ? 1 : -1;
  if (x2 != y2) return x2 > y2 ? 1 : -1;
  return 0;
}

void ComputeBookPositionKey(uint32_t* key1, uint32_t* key2) {
  ComputeBookKey(key1, key2);
  if (thread_board.SideToMove == BLACK) *key1 ^= BOOK_BLACK_TO_MOVE;
}

int NormaliseBookPath(const char* name, char* out, int size) {
  while (*name == ' ' || *name == '\t') name++;
  int length = (int)strnlen(name, BOOK_PATH_SIZE);
  while (length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t' || name[length - 1] == '\r' ||
                        name[length - 1] == '\n')) {
    length--;
  }
  if (length == 0 || length >= size) return 0;
  for (int i = 0; i < length; i++) out[i] = name[i] == '\\' ? '/' : name[i];
  out[length] = 0;
  return 1;
}

void CloseBook() {
  if (BookFile != nullptr) fclose(BookFile);
  BookFile = nullptr;
  BookLoaded = 0;
  BookVersion0 = 0;
  BookReadOnly = 0;
  BookIndexCount = 0;
  BookIndexEnd = 0;
  BookFileSize = 0;
  BookMoveCount = 0;
  BookPath[0] = 0;
}

void OpenBook(const char* path) {
  // 1. Whatever was open before is closed first, also when this one fails.
  CloseBook();
  char name[BOOK_PATH_SIZE];
  if (!NormaliseBookPath(path, name, BOOK_PATH_SIZE)) {
    printf("Error opening \"%s\"!\n", path);
    fflush(stdout);
    return;
  }
  // 2. Open for update; a file that is readable only is used without learning.
  // A name that is not found may be the GUI's Windows spelling of one that
  // is there in another letter case (".\\book.crv" for "Book.crv").
  char found[BOOK_PATH_SIZE];
  if (!FileOpens(name) && FindFileIgnoringCase(name, found, BOOK_PATH_SIZE)) memcpy(name, found, sizeof name);
  FILE* file = fopen(name, "r+b");
  int readOnly = 0;
  if (file == nullptr) {
    file = fopen(name, "rb");
    readOnly = 1;
  }
  if (file == nullptr) {
    printf("Error opening \"%s\"!\n", name);
    fflush(stdout);
    return;
  }
  setvbuf(file, nullptr, _IONBF, 0);
  BookFile = file;
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
    RefuseBook("Invalid book format");
    return;
  }
  BookFileSize = (int64_t)status.st_size;
  // 3. The magic text.
  uint8_t head[BOOK_HEAD_SIZE];
  if (!ReadBookBytes(0, head, BOOK_HEAD_SIZE) || memcmp(head, BookMagic, BOOK_MAGIC_SIZE) != 0) {
    RefuseBook("Invalid book format");
    return;
  }
  // 4. The version: 0 has weights and no statistics; above 1 is unknown.
  const int32_t version = (int32_t)ReadU32(head + 24);
  BookVersion0 = version == 0;
  if (version > 1) {
    char message[64];
    snprintf(message, sizeof message, "Book version %d not supported", version);
    RefuseBook(message);
    return;
  }
  if (BookVersion0) {
    printf("NG: Book learning not supported for book version 0\n");
    fflush(stdout);
    UseBookLearning = 0;
    UseBookWeights = 0;
  }
  // 5. The index must lie inside the file.
  const uint32_t count = ReadU32(head + 32);
  if ((int64_t)BOOK_HEAD_SIZE + (int64_t)BOOK_RECORD_SIZE * count > BookFileSize || count > INT32_MAX - 3) {
    RefuseBook("Invalid book format");
    return;
  }
  BookIndexCount = count;
  BookIndexEnd = (int64_t)count + BOOK_FIRST_RECORD;
  BookReadOnly = readOnly;
  BookLoaded = 1;
  snprintf(BookPath, sizeof BookPath, "%s", name);
  printf("%d nodes in openings book\n", (int)count);
  if (readOnly) printf("Book \"%s\" is read-only: no book learning\n", name);
  fflush(stdout);
}

int FindBookPosition() {
  if (!BookLoaded) return 0;
  uint32_t key1, key2;
  ComputeBookPositionKey(&key1, &key2);
  int64_t lo = BOOK_FIRST_RECORD, hi = BookIndexEnd;
  while (hi > lo) {
    const int64_t mid = (lo + hi) >> 1;
    uint8_t record[BOOK_RECORD_SIZE];
    if (!ReadBookBytes(BOOK_RECORD_SIZE * mid, record, BOOK_RECORD_SIZE)) return 0;
    const int order = CompareBookKeys(ReadU32(record), ReadU32(record + 4), key1, key2);
    if (order == 0) {
      BookListOffset = ReadU32(record + 8);
      return 1;
    }
    if (order < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return 0;
}

int ReadBookList() {
  BookMoveCount = 0;
  uint8_t buffer[1 + 4 * BOOK_LIST_SIZE];
  if (!ReadBookBytes(BookListOffset, buffer, 1)) return 0;
  const int count = buffer[0];
  const int size = EntrySize();
  if (!ReadBookBytes(BookListOffset + 1, buffer + 1, count * size)) return 0;
  for (int i = 0; i < count; i++) {
    const uint8_t* entry = buffer + 1 + i * size;
    BookFrom[i] = entry[0];
    BookTo[i] = entry[1];
    BookStat[i] = BookVersion0 ? entry[2] : entry[2] + 256 * entry[3];
  }
  BookMoveCount = count;
  return 1;
}

Move PickBookMoveV0() {
  if (!LoadBookList()) return 0;
  CollectLegalMoves();
  Move usable[BOOK_LIST_SIZE];
  int count = 0;
  for (int i = 0; i < BookMoveCount; i++) {
    if (BookStat[i] >= BOOK_WEIGHT_EXCLUDED) continue;
    const Move move = LegalBookMove(BookFrom[i], BookTo[i]);
    if (move != 0) usable[count++] = move;
  }
  if (count == 0) return 0;
  return usable[rand() % count];
}

Move ChooseBookMove() {
  if (BookVersion0) return PickBookMoveV0();
  if (!LoadBookList()) return 0;
  CollectLegalMoves();
  // 1. The candidates: entries not killed whose move is legal here.
  Move moves[BOOK_LIST_SIZE];
  int games[BOOK_LIST_SIZE], scores[BOOK_LIST_SIZE];
  int count = 0;
  for (int i = 0; i < BookMoveCount; i++) {
    if (BookStat[i] == BOOK_STAT_KILLED) continue;
    const Move move = LegalBookMove(BookFrom[i], BookTo[i]);
    if (move == 0) continue;
    moves[count] = move;
    games[count] = StatLo(BookStat[i]) + StatHi(BookStat[i]);
    scores[count] = EntryScore(BookStat[i]);
    count++;
  }
  if (count == 0) return 0;
  // 2. Discover: the least tried move, among equals the first best scored.
  if (BookLearningMode != 0) {
    int bestGames = INFINITY_SCORE, bestScore = 0;
    Move choice = 0;
    for (int i = 0; i < count; i++) {
      if (games[i] < bestGames || (games[i] == bestGames && scores[i] > bestScore)) {
        bestGames = games[i];
        bestScore = scores[i];
        choice = moves[i];
      }
    }
    return choice;
  }
  // 3. Kill without weights: any candidate alike.
  if (!UseBookWeights) return moves[rand() % count];
  // 4. Kill with weights: the moves scored within VarietyOfPlay per cent of
  //    the best, alike.
  int best = 0;
  for (int i = 0; i < count; i++) best = Max(best, scores[i]);
  const int threshold = (100 - Clamp(VarietyOfPlay, 0, 100)) * best / 100;
  Move kept[BOOK_LIST_SIZE];
  int keptCount = 0;
  for (int i = 0; i < count; i++) {
    if (scores[i] >= threshold) kept[keptCount++] = moves[i];
  }
  return kept[rand() % keptCount];
}

// Prints the statistic of one listed entry: the weight in a version-0 book,
// else "?" (never played), "-" (killed) or the share of points won.
static void PrintBookStat(int stat) {
  const int lo = StatLo(stat), hi = StatHi(stat);
  if (BookVersion0)
    printf("%d\n", stat);
  else if (stat == BOOK_STAT_UNPLAYED)
    printf("?\n");
  else if (stat == BOOK_STAT_KILLED)
    printf("-\n");
  else
    printf("%d%% (not less than %d game(s))\n", lo * 100 / (lo + hi), (lo + hi) >> 1);
}

void ListBookMoves() {
  if (!LoadBookList()) {
    printf("No moves from current pos in book\n");
    fflush(stdout);
    return;
  }
  int shown = 0;
  for (int i = 0; i < BookMoveCount; i++) shown += BookFrom[i] < 64 && BookTo[i] < 64;
  printf("%d moves from current pos in book:\n", shown);
  fflush(stdout);
  for (int i = 0; i < BookMoveCount; i++) {
    if (BookFrom[i] > 63 || BookTo[i] > 63) continue;
    PrintSquarePair(BookFrom[i], BookTo[i]);
    PrintBookStat(BookStat[i]);
    fflush(stdout);
  }
}

void LearnBookMove(int result, Move move) {
  if (BookVersion0 || BookReadOnly || !LoadBookList()) return;
  // 1. The first entry of the move that is not killed.
  int found = -1;
  for (int i = 0; i < BookMoveCount; i++) {
    if (BookStat[i] != BOOK_STAT_KILLED && BookFrom[i] == MoveFrom(move) && BookTo[i] == MoveTo(move)) {
      found = i;
      break;
    }
  }
  if (found < 0) return;
  // 2. The new statistic: a win 2 points for, a loss 2 against, a draw one each.
  int lo = StatLo(BookStat[found]), hi = StatHi(BookStat[found]);
  if (result == 2) {
    lo++;
    hi++;
  } else if (result == 1) {
    lo += 2;
  } else {
    hi += 2;
  }
  if (lo < 255 && hi < 255) {
    WriteStat(found, lo, hi);
    return;
  }
  // 3. A full byte: every played entry of the list keeps two thirds.
  for (int i = 0; i < BookMoveCount; i++) {
    const int stat = BookStat[i];
    if (i == found || stat == BOOK_STAT_UNPLAYED || stat == BOOK_STAT_KILLED) continue;
    WriteStat(i, 2 * StatLo(stat) / 3, 2 * StatHi(stat) / 3);
  }
  WriteStat(found, 2 * lo / 3, 2 * hi / 3);
}

void LearnBookGame(int result) {
  BookLearned = 1;
  if (!BookLoaded || BookVersion0 || BookReadOnly) return;
  if (!LockFileExclusive(BookFile, BOOK_LOCK_WAIT_MS)) {
    printf("The book is locked by another program: this game is not learned\n");
    fflush(stdout);
    return;
  }
  // 1. Back through the game, two plies at a time, learning the moves of the
  //    side to move; never below the set-up position (a FEN with an
  //    en-passant square starts on a made-up move that cannot be undone).
  const int32_t target = GamePly;
  const int32_t floor = Clamp(GameStartPly, 0, GamePly);
  while (GamePly > floor) {
    UnmakeMove();
    if (GamePly == floor) break;
    UnmakeMove();
    if (GamePly == floor) break;
    LearnBookMove(result, GameHistory[GamePly].move);
  }
  // 2. Forward again to where the game stands.
  while (GamePly < target) MakeMove(GameHistory[GamePly].move, 1);
  fflush(BookFile);
  UnlockFile(BookFile);
}
