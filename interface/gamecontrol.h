// Starting a game: the initial position, the per-game resets and the limits
// of the game record.
#pragma once
#include <cstdint>
#include "board/types.h"

// Plies a game may reach through played moves: the rest of GameHistory is
// kept for the search, which makes its moves on top of the game.
constexpr int GAME_PLY_LIMIT = GAME_HISTORY_SIZE - SEARCH_STACK_SIZE - 8;


// Sets up a game from FEN text (with checkKings, a placement whose kings
// cannot stand so is refused too): on success the game starts at the ply of
// the position and the last search's score is forgotten; gives 1. A refused
// FEN leaves the game as it was and gives 0.
int SetupFenGame(const char* fen, int checkKings);
// Sets up the initial position at game ply 0.
void SetupInitialPosition();
// The initial position, the search limits of a new game and, outside UCI and
// Fritz mode, cleared move-ordering statistics.
void NewGame();
// Clears what a game leaves behind for the next: the move-ordering
// statistics, the last score, the count of moves out of book, the queued
// learning positions and the book-learned flag.
void ClearGameStatistics();
// xboard edit mode: reads the piece placement character by character up to
// '.', then rebuilds the castling rights and starts the game record anew.
void EditBoard();
// xboard analyze mode: analyses the position until "exit", re-analysing
// after every move, take-back or new game.
void AnalyzeMode();
// Makes a move of the game when the game record has room for it; otherwise
// says so and gives 0.
int MakeGameMove(Move move);
// Takes back the last move when one was played since the game started;
// gives 1 when a move was taken back.
int TakeBackMove();
