#include "interface/startup.h"

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/zobrist.h"
#include "book/book.h"
#include "book/learn.h"
#include "eval/bitbases.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "eval/sigmoid.h"
#include "interface/gamecontrol.h"
#include "search/hashtable.h"
#include "search/think.h"
#include "search/tokens.h"

void BuildStartupTables() {
  InitKingAttackWeights();
  InitializeHashKeys();
  InitializeBitMasks();
  InitializeBitBoards();
  InitPieceSquareTables();
  InitKnightDistance();
  InitKnightIntercept();
  InitBitbases();
  LoadEvaluationValues();
  InitPawnEndgameSigmoid();
  InitPressureSigmoid();
  InitAttackHorrorSigmoid();
  InitDefendHorrorSigmoid();
  // A "new" typed during a search starts the new game through the interface.
  NewGameHandler = NewGame;
}

void ReleaseProgram() {
  FreeHashTables();
  CloseBook();
  CloseLearningFile();
  FreeTokenBuffers();
}
