// Position learning: positions after which the engine's score fell sharply
// are stored with the later, worse score in the file "Learn.cr1", so that a
// later search can take that score instead of its own.
//
// File layout (all integers u32, least significant byte first): the 23-byte
// text LEARNING_HEADER, then 65536 chain heads (file offset of the first
// record of each slot, 0 = empty), then 24-byte records appended in arrival
// order: depth, score, move, key_lo, key_hi, next.
#pragma once
#include <cstdint>
#include <cstdio>

#include "board/types.h"

constexpr int LEARNING_HEADER_SIZE = 23;
constexpr int LEARNING_SLOTS = 65536;
constexpr int LEARNING_RECORD_SIZE = 24;
constexpr int64_t LEARNING_FIRST_RECORD = LEARNING_HEADER_SIZE + 4 * (int64_t)LEARNING_SLOTS;  // 262167
constexpr int LEARNING_QUEUE_SIZE = 3;
constexpr int LEARNING_TEXT_SIZE = 128;
extern const char LEARNING_HEADER[LEARNING_HEADER_SIZE + 1];

struct LearningRecord {
  int32_t depth;   // quarter plies
  int32_t score;   // centipawns, for the side to move in the position
  uint32_t move;   // the move played from the position
  uint32_t key_lo; // bits 0-31 of the position's HashKey
  uint32_t key_hi; // bits 16-47
  uint32_t next;   // file offset of the next record of the slot, 0 = end
};
static_assert(sizeof(LearningRecord) == LEARNING_RECORD_SIZE, "a learning record is 24 bytes");

// A position waiting to be written until the game shows whether its drop in
// score was real.
struct LearningQueueEntry {
  uint32_t key_lo;
  uint32_t key_hi;
  int32_t depth;
  int32_t old_score;
  int32_t new_score;
  uint32_t move;
  char text[LEARNING_TEXT_SIZE];  // FEN of the position followed by the move
};

extern FILE* LearnFile;          // the open learning file, nullptr when learning is off
extern int32_t LearnFileReadOnly;// 1: the file is only read (not writable, or locked by another program)
extern int32_t LearnLogCount;    // lines written to "learn.log" in this run
extern LearningQueueEntry LearningQueue[LEARNING_QUEUE_SIZE];
extern int32_t LearningQueueCount;

// Settings of position learning.
extern int32_t UseLearning;          // learn after each engine move
extern int32_t UseLearningData;      // the search takes the scores of the file
extern int32_t LogLearningIntoFile;  // log every write into "learn.log"

// Opens (or creates) the learning file. A file that cannot be read or is not a
// learning file leaves learning off with one message.
void OpenLearningFile(const char* path);
void CloseLearningFile();

// Looks a position up; *offset is the record's file offset, 0 when absent.
// Gives 1 when found.
int FindLearningRecord(uint32_t keyLo, uint32_t keyHi, int32_t* depth, int32_t* score, Move* move, int64_t* offset);

// The two halves of a position key as the learning file keeps them.
inline uint32_t LearningKeyLo(uint64_t key) { return (uint32_t)key; }
inline uint32_t LearningKeyHi(uint64_t key) { return (uint32_t)(key >> 16); }

// Queues a position with its drop in score (nothing when the queue is full).
void QueueLearningEntry(uint32_t keyLo, uint32_t keyHi, Move move, int32_t oldScore, int32_t newScore, int32_t depth);
// Writes every queued entry into the file and empties the queue.
void FlushLearning();
// Forgets the queued entries (a new game or a new position).
void ClearLearningQueue();
// Appends one line to "learn.log".
void LogLearning(const char* tag, int32_t depth, int32_t oldScore, int32_t newScore, const char* text);
