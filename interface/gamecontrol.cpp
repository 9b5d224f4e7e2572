#include "interface/gamecontrol.h"

#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "book/book.h"
#include "book/learn.h"
#include "interface/settings.h"
#include "search/limits.h"
#include "search/think.h"

int SetupFenGame(const char* fen, int checkKings) {
  if (!(checkKings ? SetGameFenPosition(fen) : SetFenPosition(fen))) return 0;
  GameStartPly = GamePly;
  ForgetPrevScore();
  return 1;
}

void SetupInitialPosition() {
  static const int BackRank[8] = {ROOK, KNIGHT, BISHOP, QUEEN, KING, BISHOP, KNIGHT, ROOK};
  if (!FritzMode && !UciMode) {
    ForgetPrevScore();
  }
  GamePly = 0;
  GameStartPly = 0;
  ClearBoard();
  for (int file = 0; file < 8; file++) AddPiece(A1 + file, WHITE, BackRank[file]);
  for (int file = 0; file < 8; file++) AddPiece(A2 + file, WHITE, PAWN);
  for (int file = 0; file < 8; file++) AddPiece(A8 + file, BLACK, BackRank[file]);
  for (int file = 0; file < 8; file++) AddPiece(A7 + file, BLACK, PAWN);
  thread_board.KingSquare[WHITE] = E1;
  thread_board.KingSquare[BLACK] = E8;
  thread_board.SideToMove = WHITE;
  thread_board.CastleFlags = 15;
}

void NewGame() {
  SetupInitialPosition();
  Limits.DepthLimit = 998;
  Limits.TimePerMove = 0;
  Limits.MateLimit = 0;
  EngineSide = 1;
  ForceMode = 0;
  // In UCI and Fritz mode the statistics live on until "ucinewgame".
  if (!FritzMode && !UciMode) ClearGameStatistics();
}

void ClearGameStatistics() {
  memset(HistoryTable, 0, sizeof(HistoryTable));
  ClearKillers();
  ForgetPrevScore();
  MovesOutOfBook = 0;
  ClearLearningQueue();
  BookLearned = 0;
}

int MakeGameMove(Move move) {
  if (GamePly >= GAME_PLY_LIMIT) {
    printf("Game too long: moves beyond ply %d ignored\n", GAME_PLY_LIMIT);
    fflush(stdout);
    return 0;
  }
  MakeMove(move, 1);
  return 1;
}

int TakeBackMove() {
  if (GamePly <= GameStartPly) return 0;
  UnmakeMove();
  return 1;
}
