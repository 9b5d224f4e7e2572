// The text side of the board: FEN in and out, move text, the full position key.
#pragma once
#include "board/position.h"

extern char FenText[512];
extern int32_t FenLength;

void AppendFenText(const char* text);
// Sets the position from FEN text. A placement that cannot be a position is
// refused with one message line: the position is left as it was and 0
// returned. SetFenPosition sets up any placement with one king a side (the
// board tests use it); SetGameFenPosition, for the positions of a game, also
// refuses one whose kings cannot stand so (KingPlacementFault).
int SetFenPosition(const char* text);
int SetGameFenPosition(const char* text);
// Why the kings of the position on the board cannot stand as they do: the
// kings touch, or the side not to move is in check (it would be taken).
// nullptr when they can.
const char* KingPlacementFault();
// Piece code of a piece letter (either case), 0 for any other character.
int FenPieceCode(char c);
void MakeFen(Move move);
char* MoveToText(char* buffer, Move move);
char* MoveToString(char* buffer, Move move);
char* MoveToStringWithPiece(char* buffer, Move move);
int IsCoordinateMove(const char* text);
Move ParseMove(const char* text);
Move CoordsToMove(char fromFile, char fromRank, char toFile, char toRank, char promotion);
uint64_t PositionKey();
