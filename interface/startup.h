// The start-up of the program and of the tools that run the engine's code,
// and the release at its end.
#pragma once

// Builds the start-up tables of the board and the evaluation and loads the
// parameter set, in the program's order: the parameter load reads the tables
// built before it, the sigmoid tables read the parameters.
void BuildStartupTables();

// Frees the hash and token tables and closes the book and the learning file:
// the release step of ExitProgram, which main sets first of all.
void ReleaseProgram();
