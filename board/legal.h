// Strictly legal moves, the legality test of one move word, perft and the
// console print-outs of the board.
#pragma once
#include "board/position.h"

extern uint64_t PerftCount;

void GenerateLegalMoves(int start);
int IsMoveLegal(Move move);
void Perft(int depth);
void PrintBoard();
void PrintByteBits(int byte);
