// Writes an opening book file from a text file.
//
//   crv_make_book [--version 0|1] TEXT BOOK
//
// Each line of TEXT is "FEN | move a b; move a b; ..." with moves in
// coordinates (e2e4; a promotion letter is allowed and dropped, a book move
// carries none). Version 1 (the default): a b are the points for and against
// the side to move (0 0 = never played, 255 255 = killed). Version 0: a is
// the weight (255 = excluded) and b is absent. '#' starts a comment; blank
// lines are skipped. Lines of positions with the same book key are merged.
// Each move must be legal in the FEN as written (its castling rights and
// en-passant square included). A bad line is reported with its number and
// no book is written; the book appears whole or not at all.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "book/book.h"
#include "eval/packed.h"
#include "eval/pst.h"

namespace {

constexpr int LEGAL_LIST_START = 1000;
constexpr int LIST_LIMIT = 255;

struct BookEntryText {
  uint8_t from, to, a, b;
};

struct BookPosition {
  uint32_t key1, key2;
  std::vector<BookEntryText> entries;
};

int Version = 1;
std::vector<BookPosition> Positions;

int Fail(int line, const char* what, const std::string& detail) {
  fprintf(stderr, "line %d: %s%s%s\n", line, what, detail.empty() ? "" : ": ", detail.c_str());
  return 0;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// A number 0..255 in decimal, or -1.
int ReadByte(const std::string& word) {
  if (word.empty() || word.size() > 3) return -1;
  int value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= 255 ? value : -1;
}

// The legal move with the coordinates of text in the current position, or 0.
Move FindLegalCoordinateMove(const std::string& text) {
  if (text.size() < 4 || text.size() > 5 || !IsCoordinateMove(text.c_str())) return 0;
  const int from = (text[0] | 32) - 'a' + 8 * (text[1] - '1');
  const int to = (text[2] | 32) - 'a' + 8 * (text[3] - '1');
  const int savedTop = MoveStackTop;
  GenerateLegalMoves(LEGAL_LIST_START);
  Move found = 0;
  for (int i = LEGAL_LIST_START; i < MoveStackTop; i++) {
    if (MoveFrom(MoveStack[i].move) == from && MoveTo(MoveStack[i].move) == to) found = MoveStack[i].move;
  }
  MoveStackTop = savedTop;
  return found;
}

int HasRepeatedMove(const BookPosition& position) {
  const std::vector<BookEntryText>& e = position.entries;
  for (size_t i = 0; i < e.size(); i++) {
    for (size_t j = i + 1; j < e.size(); j++) {
      if (e[i].from == e[j].from && e[i].to == e[j].to) return 1;
    }
  }
  return 0;
}

int AddLine(int number, const std::string& raw) {
  std::string line = raw.substr(0, raw.find('#'));
  if (Trim(line).empty()) return 1;
  const size_t bar = line.find('|');
  if (bar == std::string::npos) return Fail(number, "no '|' between the FEN and the moves", "");
  const std::string fen = Trim(line.substr(0, bar));
  if (fen.empty()) return Fail(number, "no FEN", "");
  if (!SetFenPosition(fen.c_str())) return Fail(number, "bad FEN", fen);
  BookPosition position;
  ComputeBookPositionKey(&position.key1, &position.key2);
  for (const std::string& part : Split(line.substr(bar + 1), ';')) {
    std::vector<std::string> words;
    for (const std::string& word : Split(Trim(part), ' ')) {
      if (!Trim(word).empty()) words.push_back(Trim(word));
    }
    if (words.empty()) continue;  // a trailing ';'
    const size_t wanted = Version == 1 ? 3 : 2;
    if (words.size() != wanted) {
      return Fail(number, Version == 1 ? "expected \"move lo hi\"" : "expected \"move weight\"", Trim(part));
    }
    const Move move = FindLegalCoordinateMove(words[0]);
    if (move == 0) return Fail(number, "not a legal move in the FEN", words[0]);
    const int a = ReadByte(words[1]);
    const int b = Version == 1 ? ReadByte(words[2]) : 0;
    if (a < 0 || b < 0) return Fail(number, "a number must lie in 0..255", Trim(part));
    position.entries.push_back({(uint8_t)MoveFrom(move), (uint8_t)MoveTo(move), (uint8_t)a, (uint8_t)b});
  }
  if (position.entries.empty()) return Fail(number, "no moves", "");
  // Merge with an earlier line of the same key.
  for (BookPosition& earlier : Positions) {
    if (earlier.key1 != position.key1 || earlier.key2 != position.key2) continue;
    for (const BookEntryText& entry : position.entries) earlier.entries.push_back(entry);
    position.entries.clear();
    if (earlier.entries.size() > LIST_LIMIT) return Fail(number, "more than 255 moves in one position", "");
    if (HasRepeatedMove(earlier)) return Fail(number, "a move listed twice for one position", "");
    return 1;
  }
  if (position.entries.size() > LIST_LIMIT) return Fail(number, "more than 255 moves in one position", "");
  if (HasRepeatedMove(position)) return Fail(number, "a move listed twice for one position", "");
  Positions.push_back(position);
  return 1;
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) out[at + i] = (uint8_t)(value >> (8 * i));
}

// The whole book in memory: head, sorted index, move lists.
std::vector<uint8_t> BuildBook() {
  std::sort(Positions.begin(), Positions.end(), [](const BookPosition& x, const BookPosition& y) {
    return CompareBookKeys(x.key1, x.key2, y.key1, y.key2) < 0;
  });
  const size_t count = Positions.size();
  std::vector<uint8_t> out(BOOK_HEAD_SIZE + BOOK_RECORD_SIZE * count, 0);
  memcpy(out.data(), BookMagic, BOOK_MAGIC_SIZE);
  PutU32(out, 24, (uint32_t)Version);
  PutU32(out, 32, (uint32_t)count);
  for (size_t i = 0; i < count; i++) {
    const size_t record = BOOK_HEAD_SIZE + BOOK_RECORD_SIZE * i;
    PutU32(out, record, Positions[i].key1);
    PutU32(out, record + 4, Positions[i].key2);
    PutU32(out, record + 8, (uint32_t)out.size());
    out.push_back((uint8_t)Positions[i].entries.size());
    for (const BookEntryText& entry : Positions[i].entries) {
      out.push_back(entry.from);
      out.push_back(entry.to);
      out.push_back(entry.a);
      if (Version == 1) out.push_back(entry.b);
    }
  }
  return out;
}

// Writes the bytes under a temporary name and renames it into place.
int WriteWhole(const std::vector<uint8_t>& bytes, const char* path) {
  std::string temporary = std::string(path) + ".part" + std::to_string((long)getpid());
  FILE* file = fopen(temporary.c_str(), "wb");
  if (file == nullptr) return 0;
  int ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = fflush(file) == 0 && ok;
  ok = fsync(fileno(file)) == 0 && ok;
  ok = fclose(file) == 0 && ok;
  if (ok && rename(temporary.c_str(), path) == 0) return 1;
  remove(temporary.c_str());
  return 0;
}

int Usage() {
  fprintf(stderr, "usage: crv_make_book [--version 0|1] TEXT BOOK\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  if (arg < argc && strcmp(argv[arg], "--version") == 0) {
    if (arg + 1 >= argc || (strcmp(argv[arg + 1], "0") != 0 && strcmp(argv[arg + 1], "1") != 0)) return Usage();
    Version = argv[arg + 1][0] - '0';
    arg += 2;
  }
  if (argc - arg != 2) return Usage();
  const char* textPath = argv[arg];
  const char* bookPath = argv[arg + 1];

  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitPieceSquareTables();
  InitKnightDistance();

  FILE* text = fopen(textPath, "rb");
  if (text == nullptr) {
    fprintf(stderr, "cannot read %s\n", textPath);
    return 1;
  }
  std::string line;
  int number = 0, bad = 0;
  for (int c = fgetc(text);; c = fgetc(text)) {
    if (c != EOF && c != '\n') {
      line += (char)c;
      continue;
    }
    if (c == EOF && line.empty()) break;
    number++;
    if (!AddLine(number, line)) bad++;
    line.clear();
    if (c == EOF) break;
  }
  fclose(text);
  if (bad > 0) {
    fprintf(stderr, "%d bad line(s): no book written\n", bad);
    return 1;
  }
  if (!WriteWhole(BuildBook(), bookPath)) {
    fprintf(stderr, "cannot write %s\n", bookPath);
    return 1;
  }
  printf("%zu positions written to %s (version %d)\n", Positions.size(), bookPath, Version);
  return 0;
}
