// The opening book: one binary file that maps positions to book moves with
// their learning statistics. It stays open for the whole run; every probe is
// a binary search over the file itself, nothing of it is held in memory.
//
// File layout (all integers little-endian):
//   0  24 bytes  magic "~Corvatine openings book" (no NUL)
//   24 i32       version: 0 (3-byte entries with a weight) or 1 (4-byte
//                entries with the statistic lo, hi)
//   28 4 bytes   reserved
//   32 u32       N, the number of index records
//   36 12 x N    index records {u32 key1, u32 key2, u32 offset of the move
//                list}, sorted ascending by (key1, key2) as signed integers;
//                record i lies at offset 12 x i, the head counts as 0 to 2
//   move lists   u8 count, then count entries {u8 from, u8 to, u8 lo, u8 hi}
//                (version 1) or {u8 from, u8 to, u8 weight} (version 0)
#pragma once
#include <cstdint>
#include <cstdio>

#include "board/types.h"

constexpr int BOOK_MAGIC_SIZE = 24;
constexpr int BOOK_HEAD_SIZE = 36;        // magic, version, reserved word, N
constexpr int BOOK_RECORD_SIZE = 12;      // one index record
constexpr int BOOK_FIRST_RECORD = 3;      // the head counts as records 0 to 2
constexpr int BOOK_LIST_SIZE = 256;       // a move list holds at most 255 entries
constexpr uint32_t BOOK_BLACK_TO_MOVE = 0x7D3ADEB;  // key1 term with BLACK to move
constexpr int BOOK_STAT_UNPLAYED = 0;
constexpr int BOOK_STAT_KILLED = 0xFFFF;  // lo = hi = 255: never chosen
constexpr int BOOK_WEIGHT_EXCLUDED = 255; // version 0: never chosen
constexpr int BOOK_PATH_SIZE = 1024;      // longest book file name kept

extern const char BookMagic[BOOK_MAGIC_SIZE + 1];  // "~Corvatine openings book"

extern FILE* BookFile;           // the open book, nullptr when none
extern int32_t BookLoaded;       // 1 once a book was accepted
extern int32_t BookVersion0;     // 1 for a version-0 book
extern uint32_t BookIndexCount;  // N
extern int64_t BookIndexEnd;     // N + 3
extern int32_t BookLearned;      // the current game has been learned
extern int32_t BookReadOnly;     // opened without write access: no learning
extern int64_t BookFileSize;     // bytes of the open book
extern char BookPath[BOOK_PATH_SIZE];  // the name the open book was read from

// How the book chooses and learns (the settings file and the commands set
// them).
extern int32_t UseBookWeights;     // choose by the statistics, else at random
extern int32_t UseBookLearning;    // learn the results of the games into the book
extern int32_t BookLearningMode;   // 1 discover, 0 kill
extern int32_t BookLearningBound;  // centipawns: a searched score beyond it decides the game
extern int32_t VarietyOfPlay;      // 0..100

// The move list of the last position found: squares, and the statistic
// lo + 256 x hi (version 1) or the weight (version 0).
extern int32_t BookFrom[BOOK_LIST_SIZE];
extern int32_t BookTo[BOOK_LIST_SIZE];
extern int32_t BookStat[BOOK_LIST_SIZE];
extern int32_t BookMoveCount;

// The book key tables and the two key halves of the current position
// (without the side-to-move term).
void ComputeBookKey(uint32_t* key1, uint32_t* key2);
// 1, -1 or 0 comparing (a1, a2) with (b1, b2), key1 first, as signed integers.
int CompareBookKeys(uint32_t a1, uint32_t a2, uint32_t b1, uint32_t b2);
// The book key of the current position with the side-to-move term.
void ComputeBookPositionKey(uint32_t* key1, uint32_t* key2);

// Writes a book file name as a Linux path: backslashes become '/', leading
// and trailing blanks and line ends are dropped. Gives 0 when the name is
// empty or too long for out (size bytes).
int NormaliseBookPath(const char* name, char* out, int size);

// Opens the book given by path (a Windows name is read as a Linux path),
// after closing any book open before. Prints one line: the node count, or
// why no book is loaded.
void OpenBook(const char* path);
// Closes the book file and forgets it; safe with no book open.
void CloseBook();

// 1 when the current position is in the book; its move list offset is kept
// for ReadBookList.
int FindBookPosition();
// Reads the move list of the position found last into BookFrom, BookTo,
// BookStat and BookMoveCount; 0 when the list does not lie inside the file.
int ReadBookList();

// A legal book move for the current position, or 0 (none, all excluded, or
// no book). A pawn move to the last rank gets the queen promotion.
Move ChooseBookMove();
Move PickBookMoveV0();

// "bkm": the book moves of the current position with their statistics.
void ListBookMoves();

// Book learning: result 1 = the side to move at the call won, 0 = it lost,
// 2 = draw. LearnBookGame learns every second move of the game backwards,
// those of the side to move, never below the set-up position, and flushes
// the file once; BookLearned is 1 afterwards.
void LearnBookMove(int result, Move move);
void LearnBookGame(int result);
