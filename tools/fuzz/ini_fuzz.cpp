// libFuzzer target of the settings file "Corvatine.ini": the file is read as
// at start-up and the settings in force are printed. The table sizes it sets
// are not allocated here (a file may ask for a gigabyte); the tables keep
// the size they have. A book the file names is opened and probed.
#include <cstdint>

#include "book/book.h"
#include "eval/hashes.h"
#include "interface/gamecontrol.h"
#include "interface/inifile.h"
#include "interface/settings.h"
#include "search/hashtable.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzStartEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t hashEntries = HashEntries, pawnHashEntries = PawnHashEntries, evalHashEntries = EvalHashEntries;
  SetPlayDefaults();
  SetSizeDefaults();
  FuzzWriteFile("Corvatine.ini", data, size);
  ReadIniFile();
  PrintSettings();
  if (BookLoaded) {
    NewGame();
    ChooseBookMove();
    ListBookMoves();
  }
  CloseBook();
  HashEntries = hashEntries;
  PawnHashEntries = pawnHashEntries;
  EvalHashEntries = evalHashEntries;
  return 0;
}
