#include "interface/settings.h"

#include <cstdio>
#include <cstring>

#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "search/hashtable.h"
#include "search/transposition.h"
#include "search/limits.h"

int32_t FritzMode = 0;
int32_t UciDebug = 0;

int32_t UseEGTB = 1;
char tb_path[TB_PATH_SIZE];

void SetPlayDefaults() {
  OwnBook = 1;
  LastBestMove = 0;
  MultiPV = 1;
  strcpy(tb_path, "c:\\tablebases\\");
  UseLearning = 0;
  UseLearningData = 0;
  LogLearningIntoFile = 0;
  Pondering = 1;
  PonderOn = 1;
  UseEGTB = 1;
  UciDebug = 0;
  UciMode = 0;
  FritzMode = 0;
  Limits.Increment = 0;
  Limits.OpponentIncrement = 0;
  Limits.BaseTime = 1000;
  Limits.MovesToGo = 0;
  Limits.OpponentTime = 0;
  Limits.NodeLimit = 0;
}

void SetSizeDefaults() {
  EvalHashEntries = DEFAULT_EVAL_HASH_ENTRIES;
  HashEntries = DEFAULT_HASH_ENTRIES;
  PawnHashEntries = DEFAULT_PAWN_HASH_ENTRIES;
  Aggressivity = DEFAULT_AGGRESSIVITY;
  Cowardice = DEFAULT_COWARDICE;
  ResignValue = DEFAULT_RESIGN_VALUE;
  ResignTimes = DEFAULT_RESIGN_TIMES;
  AggressivityHalf = DEFAULT_AGGRESSIVITY / 2;
  CowardiceHalf = DEFAULT_COWARDICE / 2;
  BookLearningMode = 0;
  UseBookLearning = 1;
  UseBookWeights = 1;
  BookLearningBound = DEFAULT_BOOK_LEARNING_BOUND;
  VarietyOfPlay = DEFAULT_VARIETY_OF_PLAY;
}

static const char* OnOff(int32_t flag) { return flag ? "on" : "off"; }

void PrintSettings() {
  printf("Transposition size is %d entries (%lld bytes)\n", HashEntries,
         (long long)HashEntries * (long long)sizeof(TranspositionEntry));
  printf("Pawn hash size is %d entries (%lld bytes)\n", PawnHashEntries,
         (long long)PawnHashEntries * (long long)sizeof(PawnHashEntry));
  printf("Aggressivity = %d (%d)%%\nCowardice = %d (%d)%%\n", Aggressivity, AggressivityHalf, Cowardice,
         CowardiceHalf);
  printf("ResignValue = %d\nResignTimes = %d\n", ResignValue, ResignTimes);
  printf("UseEGTB = %s\n", OnOff(UseEGTB));
  printf("EGTB path = \"%s\"\n", tb_path);
  printf("UseBookWeights = %s\n", OnOff(UseBookWeights));
  printf("UseBookLearning = %s\n", OnOff(UseBookLearning));
  printf("BookLearningMode = %s\n", BookLearningMode ? "DISCOVER" : "KILL");
  printf("VarietyOfPlay = %d\nBookLearningBound = %d\n", VarietyOfPlay, BookLearningBound);
  printf("UseLearning = %s\n", OnOff(UseLearning));
  printf("UseLearningData = %s\n", OnOff(UseLearningData));
  printf("LogLearningIntoFile = %s\n", OnOff(LogLearningIntoFile));
  printf("Pondering = %s\n\n", OnOff(Pondering));
  fflush(stdout);
}
