// Writes the evaluation parameter set in force after start-up as a parameter
// file: "values.txt", or the path given as the first argument. Run where no
// "values.txt" exists, it writes the compiled-in defaults.
#include <cstdio>

#include "eval/params.h"
#include "interface/startup.h"

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "values.txt";

  // The start-up tables and the parameter load, in the program's order.
  BuildStartupTables();
  printf("\n");

  if (!WriteValuesFile(path)) {
    printf("Cannot write %s\n", path);
    return 1;
  }
  printf("Parameter set written to %s\n", path);
  return 0;
}
