// The command dispatcher of the line loop: xboard, UCI and console commands.
#pragma once
#include <cstdint>
#include "search/tokens.h"

// Runs the command in CommandLine.
void ProcessCommand();
