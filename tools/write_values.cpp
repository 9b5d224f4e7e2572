// Writes the evaluation parameter set in force after start-up as a parameter
// file: "values.txt", or the path given as the first argument. Run where no
// "values.txt" exists, it writes the compiled-in defaults.
#include <cstdio>

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/zobrist.h"
#include "eval/packed.h"
#include "eval/params.h"

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "values.txt";

  // The tables the parameter load depends on, built in the program's order.
  InitKingAttackWeights();
  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitPieceSquareTables();
  InitKnightDistance();
  LoadEvaluationValues();
  printf("\n");

  if (!WriteValuesFile(path)) {
    printf("Cannot write %s\n", path);
    return 1;
  }
  printf("Parameter set written to %s\n", path);
  return 0;
}
