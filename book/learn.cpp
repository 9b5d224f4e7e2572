#include "book/learn.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "platform/filelock.h"

const char LEARNING_HEADER[LEARNING_HEADER_SIZE + 1] = "Corvatine learning file";

FILE* LearnFile = nullptr;
int32_t LearnFileReadOnly = 0;
int32_t LearnLogCount = 0;
LearningQueueEntry LearningQueue[LEARNING_QUEUE_SIZE];
int32_t LearningQueueCount = 0;

int32_t UseLearning = 0;
int32_t UseLearningData = 0;
int32_t LogLearningIntoFile = 0;

// How long an update waits for another program to finish its own update
// before this program stops learning.
constexpr int LEARNING_LOCK_WAIT_MS = 2000;
// Offsets are u32 in the file: the file never grows past this size.
constexpr int64_t LEARNING_FILE_LIMIT = 0xFFFFFFFFLL;

static char LearnPath[1024] = "Learn.cr1";
static const char* const LEARN_LOG_NAME = "learn.log";

// ---------------------------------------------------------------------------
// Little-endian integers and raw access at a file offset.

static void PutU32(unsigned char* p, uint32_t value) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(value >> (8 * i));
}

static uint32_t GetU32(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int ReadAt(int64_t offset, unsigned char* data, size_t size) {
  if (fseeko(LearnFile, (off_t)offset, SEEK_SET) != 0) return 0;
  return fread(data, 1, size, LearnFile) == size;
}

static int WriteAt(int64_t offset, const unsigned char* data, size_t size) {
  if (fseeko(LearnFile, (off_t)offset, SEEK_SET) != 0) return 0;
  return fwrite(data, 1, size, LearnFile) == size && fflush(LearnFile) == 0;
}

static int ReadInt32(int64_t offset, uint32_t* value) {
  unsigned char bytes[4];
  if (!ReadAt(offset, bytes, 4)) return 0;
  *value = GetU32(bytes);
  return 1;
}

static int WriteInt32(int64_t offset, uint32_t value) {
  unsigned char bytes[4];
  PutU32(bytes, value);
  return WriteAt(offset, bytes, 4);
}

static int64_t LearningSlotOffset(uint32_t slot) { return LEARNING_HEADER_SIZE + 4 * (int64_t)slot; }

// A link may be followed only when it names a whole record inside the file
// and lies beyond the record it was read from: records are linked only to
// later records, so a chain always moves forward and a cycle or a stray value
// in a damaged file ends the walk.
static int LinkUsable(int64_t link, int64_t previous, int64_t size) {
  return link >= LEARNING_FIRST_RECORD && (link - LEARNING_FIRST_RECORD) % LEARNING_RECORD_SIZE == 0 &&
         link + LEARNING_RECORD_SIZE <= size && link > previous;
}

// ---------------------------------------------------------------------------
// Faults: one message, then learning is off (or read-only) for the run.

static void LearningOff(const char* why) {
  printf("Learning file \"%s\" %s: learning is off\n", LearnPath, why);
  fflush(stdout);
  if (LearnFile != nullptr) fclose(LearnFile);
  LearnFile = nullptr;
  LearnFileReadOnly = 0;
  LearningQueueCount = 0;
}

static void LearningReadOnly(const char* why) {
  printf("Learning file \"%s\" %s: it is read but nothing is learned into it\n", LearnPath, why);
  fflush(stdout);
  LearnFileReadOnly = 1;
  LearningQueueCount = 0;
}

// ---------------------------------------------------------------------------
// Opening and closing.

// Why the open file is not a learning file, or nullptr when it is one.
static const char* LearningFileFault() {
  const int64_t size = OpenFileSize(LearnFile);
  if (size < 0) return "cannot be read";
  char header[LEARNING_HEADER_SIZE];
  if (size < LEARNING_HEADER_SIZE || !ReadAt(0, (unsigned char*)header, LEARNING_HEADER_SIZE) ||
      memcmp(header, LEARNING_HEADER, LEARNING_HEADER_SIZE) != 0)
    return "is not a learning file (wrong header)";
  if (size < LEARNING_FIRST_RECORD || (size - LEARNING_FIRST_RECORD) % LEARNING_RECORD_SIZE != 0 ||
      size > LEARNING_FILE_LIMIT)
    return "has a wrong size";
  return nullptr;
}

// Writes a new, empty learning file; 0 when it could not be created.
static int CreateLearningFile(const char* path) {
  std::vector<unsigned char> image((size_t)LEARNING_FIRST_RECORD, 0);
  memcpy(image.data(), LEARNING_HEADER, LEARNING_HEADER_SIZE);
  return CreateFileExclusively(path, image.data(), (int64_t)image.size()) >= 0;
}

void OpenLearningFile(const char* path) {
  CloseLearningFile();
  snprintf(LearnPath, sizeof LearnPath, "%s", path);
  LearnFileReadOnly = 0;
  // 1. An existing file is opened for update; a missing one is created
  //    (exclusively: another program may be creating it at the same time).
  LearnFile = fopen(path, "rb+");
  if (LearnFile == nullptr && errno == ENOENT) {
    if (!CreateLearningFile(path)) {
      LearningOff("cannot be created");
      return;
    }
    LearnFile = fopen(path, "rb+");
  }
  // 2. A file that can be read but not written is looked up only.
  int readOnly = 0;
  if (LearnFile == nullptr && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    LearnFile = fopen(path, "rb");
    readOnly = LearnFile != nullptr;
  }
  if (LearnFile == nullptr) {
    LearningOff("cannot be read");
    return;
  }
  // 3. No buffering: other programs may write the file between two reads.
  setvbuf(LearnFile, nullptr, _IONBF, 0);
  // 4. Only a learning file is used.
  const int locked = LockFileShared(LearnFile, LEARNING_LOCK_WAIT_MS);
  const char* fault = LearningFileFault();
  if (locked) UnlockFile(LearnFile);
  if (fault != nullptr) {
    LearningOff(fault);
    return;
  }
  if (readOnly) LearningReadOnly("cannot be written");
}

void CloseLearningFile() {
  if (LearnFile != nullptr) fclose(LearnFile);
  LearnFile = nullptr;
  LearnFileReadOnly = 0;
}

// ---------------------------------------------------------------------------
// Lookups.

static void DecodeRecord(const unsigned char* bytes, LearningRecord* record) {
  record->depth = (int32_t)GetU32(bytes);
  record->score = (int32_t)GetU32(bytes + 4);
  record->move = GetU32(bytes + 8);
  record->key_lo = GetU32(bytes + 12);
  record->key_hi = GetU32(bytes + 16);
  record->next = GetU32(bytes + 20);
}

// Walks the slot's chain in a file of the given size; the caller holds a lock.
static int64_t FindRecordLocked(uint32_t keyLo, uint32_t keyHi, int64_t size, LearningRecord* record) {
  uint32_t link;
  if (!ReadInt32(LearningSlotOffset(keyLo & 0xFFFF), &link)) return 0;
  int64_t previous = 0;
  while (link != 0) {
    if (!LinkUsable(link, previous, size)) return 0;
    unsigned char bytes[LEARNING_RECORD_SIZE];
    if (!ReadAt(link, bytes, sizeof bytes)) return 0;
    DecodeRecord(bytes, record);
    if (record->key_lo == keyLo && record->key_hi == keyHi) return link;
    previous = link;
    link = record->next;
  }
  return 0;
}

int FindLearningRecord(uint32_t keyLo, uint32_t keyHi, int32_t* depth, int32_t* score, Move* move, int64_t* offset) {
  *offset = 0;
  if (LearnFile == nullptr) return 0;
  // A program in the middle of an update is not waited for: the position
  // counts as absent.
  if (!LockFileShared(LearnFile, 0)) return 0;
  LearningRecord record;
  const int64_t found = FindRecordLocked(keyLo, keyHi, OpenFileSize(LearnFile), &record);
  UnlockFile(LearnFile);
  if (found == 0) return 0;
  *depth = record.depth;
  *score = record.score;
  *move = record.move;
  *offset = found;
  return 1;
}

// ---------------------------------------------------------------------------
// Writing (the caller holds the exclusive lock).

// The offset of the link at the end of the slot's chain. A link that cannot
// be followed ends the chain as well: the new record takes its place.
static int64_t FindLearningChainEnd(uint32_t slot, int64_t size) {
  int64_t field = LearningSlotOffset(slot);
  int64_t previous = 0;
  for (;;) {
    uint32_t link;
    if (!ReadInt32(field, &link)) return -1;
    if (link == 0 || !LinkUsable(link, previous, size)) return field;
    previous = link;
    field = (int64_t)link + 20;
  }
}

static void EncodeRecord(unsigned char* bytes, uint32_t keyLo, uint32_t keyHi, int32_t depth, int32_t score,
                         Move move) {
  PutU32(bytes, (uint32_t)depth);
  PutU32(bytes + 4, (uint32_t)score);
  PutU32(bytes + 8, move);
  PutU32(bytes + 12, keyLo);
  PutU32(bytes + 16, keyHi);
  PutU32(bytes + 20, 0);
}

// Appends a record and links it at the end of its chain. The record is on
// the disk before the link that points to it, so an interrupted program never
// leaves a link to a missing record. 1 on success.
static int AppendLearningRecord(uint32_t keyLo, uint32_t keyHi, int32_t depth, int32_t score, Move move) {
  const int64_t size = OpenFileSize(LearnFile);
  if (size < LEARNING_FIRST_RECORD || (size - LEARNING_FIRST_RECORD) % LEARNING_RECORD_SIZE != 0) {
    LearningOff("has a wrong size");
    return 0;
  }
  if (size + LEARNING_RECORD_SIZE > LEARNING_FILE_LIMIT) {
    LearningReadOnly("is full");
    return 0;
  }
  const int64_t field = FindLearningChainEnd(keyLo & 0xFFFF, size);
  unsigned char bytes[LEARNING_RECORD_SIZE];
  EncodeRecord(bytes, keyLo, keyHi, depth, score, move);
  if (field < 0 || !WriteAt(size, bytes, sizeof bytes)) {
    // A partly written record would make the size wrong for every later start.
    TruncateOpenFile(LearnFile, size);
    LearningOff("cannot be written");
    return 0;
  }
  SyncFileData(LearnFile);
  if (!WriteInt32(field, (uint32_t)size)) {
    LearningOff("cannot be written");
    return 0;
  }
  return 1;
}

// Rewrites the found record; its link to the next record stays.
static int UpdateLearningRecord(uint32_t keyLo, uint32_t keyHi, int32_t depth, int32_t score, Move move,
                                int64_t offset) {
  unsigned char bytes[LEARNING_RECORD_SIZE];
  EncodeRecord(bytes, keyLo, keyHi, depth, score, move);
  if (!WriteAt(offset, bytes, LEARNING_RECORD_SIZE - 4)) {
    LearningOff("cannot be written");
    return 0;
  }
  return 1;
}

void LogLearning(const char* tag, int32_t depth, int32_t oldScore, int32_t newScore, const char* text) {
  // "a" creates the log when it is missing and appends otherwise.
  FILE* log = fopen(LEARN_LOG_NAME, "a");
  if (log == nullptr) {
    printf("\"%s\" cannot be written: learning is not logged\n", LEARN_LOG_NAME);
    fflush(stdout);
    LogLearningIntoFile = 0;
    return;
  }
  fprintf(log, "%d%c%s Depth = %d%cOldEvaluation = %d%cEvaluaton = %d%cFEN = %s\n", LearnLogCount, '\t', tag, depth,
          '\t', oldScore, '\t', newScore, '\t', text);
  fclose(log);
  LearnLogCount++;
}

static void WriteLearningEntry(int i) {
  const LearningQueueEntry& e = LearningQueue[i];
  LearningRecord record;
  const int64_t offset = FindRecordLocked(e.key_lo, e.key_hi, OpenFileSize(LearnFile), &record);
  if (offset == 0) {
    if (LogLearningIntoFile) LogLearning("Add:", e.depth, e.old_score, e.new_score, e.text);
    AppendLearningRecord(e.key_lo, e.key_hi, e.depth, e.new_score, e.move);
  } else {
    if (LogLearningIntoFile) LogLearning("Refresh:", e.depth, e.old_score, e.new_score, e.text);
    UpdateLearningRecord(e.key_lo, e.key_hi, e.depth, e.new_score, e.move, offset);
  }
}

void FlushLearning() {
  if (LearnFile != nullptr && !LearnFileReadOnly && LearningQueueCount > 0) {
    if (!LockFileExclusive(LearnFile, LEARNING_LOCK_WAIT_MS)) {
      LearningReadOnly("is locked by another program");
    } else {
      for (int i = 0; i < LearningQueueCount && LearnFile != nullptr && !LearnFileReadOnly; i++) WriteLearningEntry(i);
      if (LearnFile != nullptr) UnlockFile(LearnFile);
    }
  }
  LearningQueueCount = 0;
}

void ClearLearningQueue() { LearningQueueCount = 0; }

void QueueLearningEntry(uint32_t keyLo, uint32_t keyHi, Move move, int32_t oldScore, int32_t newScore, int32_t depth) {
  if (LearningQueueCount >= LEARNING_QUEUE_SIZE) return;
  LearningQueueEntry& e = LearningQueue[LearningQueueCount];
  e.key_lo = keyLo;
  e.key_hi = keyHi;
  e.depth = depth;
  e.old_score = oldScore;
  e.new_score = newScore;
  e.move = move;
  MakeFen(move);
  // A FEN with a move takes at most 87 characters; longer text is cut.
  const size_t length = strnlen(FenText, sizeof e.text - 1);
  memcpy(e.text, FenText, length);
  e.text[length] = 0;
  LearningQueueCount++;
}
