// Starting a game and the xboard edit mode: the position after a new game,
// the edit-mode language read from standard input, and the consistency of the
// position when squares are emptied and refilled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "board/verify.h"
#include "interface/gamecontrol.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "piped_input.h"
#include "search/hashtable.h"
#include "search/think.h"
#include "test_support.h"
#include "search/limits.h"

namespace {

const char* const START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The placement field of the FEN of the position on the board.
std::string Placement() {
  std::string text;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      int square = rank * 8 + file;
      int code = (int)thread_board.Board[square];
      if (code == 0) {
        empty++;
        continue;
      }
      if (empty) text += (char)('0' + empty);
      empty = 0;
      char letter = PieceLetters[code];
      text += (thread_board.Colour[BLACK] >> square) & 1 ? (char)(letter - 'A' + 'a') : letter;
    }
    if (empty) text += (char)('0' + empty);
    if (rank) text += '/';
  }
  return text;
}

// Every field the position keeps incrementally agrees with a from-scratch
// set-up of the same placement (keys, counts, material, index, sums).
void ExpectSameAsFreshSetUp(const std::string& where) {
  SCOPED_TRACE(where);
  const char* fault = PositionFault();
  EXPECT_EQ(fault, nullptr) << fault;
  ThreadBoard edited = thread_board;
  std::string fen = Placement() + (edited.SideToMove == WHITE ? " w" : " b") + " - - 0 1";
  ASSERT_EQ(SetFenPosition(fen.c_str()), 1) << fen;
  const ThreadBoard& fresh = thread_board;
  EXPECT_EQ(edited.HashKey, fresh.HashKey);
  EXPECT_EQ(edited.PawnKey, fresh.PawnKey);
  EXPECT_EQ(edited.MaterialIndex, fresh.MaterialIndex);
  EXPECT_EQ(edited.PstSum, fresh.PstSum);
  EXPECT_EQ(0, memcmp(edited.PieceCount, fresh.PieceCount, sizeof fresh.PieceCount));
  EXPECT_EQ(0, memcmp(edited.Pieces, fresh.Pieces, sizeof fresh.Pieces));
  EXPECT_EQ(edited.Material[WHITE], fresh.Material[WHITE]);
  EXPECT_EQ(edited.Material[BLACK], fresh.Material[BLACK]);
  EXPECT_EQ(edited.PieceTotal, fresh.PieceTotal);
  thread_board = edited;
}

class GameControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureEvalReady();
    if (Tokens[0] == nullptr) AllocateTokenBuffers();
  }
  void SetUp() override {
    UciMode = 0;
    FritzMode = 0;
    ASSERT_EQ(SetFenPosition(START), 1);
    GameStartPly = GamePly;
  }
  void TearDown() override {
    UciMode = 0;
    FritzMode = 0;
  }

  // Runs edit mode on the input; gives what it printed.
  static std::string Edit(const std::string& input) {
    PipedInput piped(input);
    testing::internal::CaptureStdout();
    EditBoard();
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(GameControlTest, NewGameSetsUpTheInitialPositionAndTheGameLimits) {
  SetFenPosition("4k3/8/8/8/8/8/8/4K2R b K - 10 40");
  Limits.DepthLimit = 5;
  Limits.TimePerMove = 300;
  Limits.MateLimit = 3;
  EngineSide = 0;
  ForceMode = 1;
  Limits.TimeLeft = 12345;
  NewGame();
  EXPECT_EQ(Placement(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
  EXPECT_EQ(PositionFault(), nullptr);
  EXPECT_EQ(thread_board.CastleFlags, 15u);
  EXPECT_EQ(thread_board.SideToMove, WHITE);
  EXPECT_EQ(thread_board.Rule50, 0);
  EXPECT_EQ(GamePly, 0);
  EXPECT_EQ(Limits.DepthLimit, 998);
  EXPECT_EQ(Limits.TimePerMove, 0);
  EXPECT_EQ(Limits.MateLimit, 0);
  EXPECT_EQ(EngineSide, 1);
  EXPECT_EQ(ForceMode, 0);
  EXPECT_EQ(Limits.TimeLeft, 12345);  // the clock is not the game's to reset
  Limits.TimeLeft = NO_CLOCK;
}

TEST_F(GameControlTest, NewGameKeepsTheStatisticsOnlyInUciAndFritzMode) {
  struct {
    int uci, fritz, cleared;
  } cases[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "uci " << c.uci << " fritz " << c.fritz);
    UciMode = c.uci;
    FritzMode = c.fritz;
    HistoryTable[1][2][3][100][1] = 77;
    SearchStack[5].killer1[BLACK] = 1234;
    SearchStack[190].killer2[WHITE] = 99;
    PrevScore = 50;
    PrevScoreSide = 1;
    MovesOutOfBook = 7;
    NewGame();
    EXPECT_EQ(HistoryTable[1][2][3][100][1], c.cleared ? 0u : 77u);
    EXPECT_EQ(SearchStack[5].killer1[BLACK], c.cleared ? 0u : 1234u);
    EXPECT_EQ(SearchStack[190].killer2[WHITE], c.cleared ? 0u : 99u);
    EXPECT_EQ(PrevScore, c.cleared ? 0 : 50);
    EXPECT_EQ(MovesOutOfBook, c.cleared ? 0 : 7);
  }
}

struct EditCase {
  const char* name;
  const char* input;
  const char* placement;  // expected afterwards
  uint32_t rights;
  const char* output;
};

TEST_F(GameControlTest, EditModeLanguage) {
  const EditCase cases[] = {
      {"rights from king and rook at home", "#\nKe1\nRh1\nc\nKe8\n.\n", "4k3/8/8/8/8/8/8/4K2R", 1, ""},
      {"all four rights", "#KE1RA1RH1CKE8RA8RH8.", "r3k2r/8/8/8/8/8/8/R3K2R", 15, ""},
      {"a king away from home has none", "#\nKd1\nRa1\nRh1\nc\nKe8\nRa8\n.\n", "r3k3/8/8/8/8/8/8/R2K3R", 8, ""},
      {"an unknown letter", "z\n.\n", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15, "Error\n"},
      // The i breaks the square; the 9 is then read as a command of its own.
      {"a square off the board", "Pi9\n.\n", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15, "Error\nError\n"},
      {"a rank off the board", "Pa0\n.\n", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15, "Error\n"},
      {"a tab is not a blank", "\tc.", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15, "Error\n"},
      {"a placed piece replaces what stood there", "Qe2\ncNd1\n.\n",
       "rnbqkbnr/pppppppp/8/8/8/8/PPPPQPPP/RNBnKBNR", 15, ""},
      {"emptying squares", "xa1\nxh8\nxe2\nxe4\n.\n", "rnbqkbn1/pppppppp/8/8/8/8/PPPP1PPP/1NBQKBNR", 9, ""},
      {"a side has one king", "Kd4\n.\n", "rnbqkbnr/pppppppp/8/8/3K4/8/PPPPPPPP/RNBQ1BNR", 12, ""},
      {"a king emptied and placed again", "xe1\nKe1\n.\n", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15, ""},
      {"end of input ends the edit", "#\nKe1\nc\nKe8", "4k3/8/8/8/8/8/8/4K3", 0, ""},
      {"end of input inside a square", "#Ke1cKe8\nQd", "4k3/8/8/8/8/8/8/4K3", 0, ""},
      {"end of input after errors", "zzz", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", 15,
       "Error\nError\nError\n"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(SetFenPosition(START), 1);
    thread_board.SideToMove = BLACK;
    EXPECT_EQ(Edit(c.input), c.output);
    EXPECT_EQ(Placement(), c.placement);
    EXPECT_EQ(thread_board.CastleFlags, c.rights);
    EXPECT_EQ(thread_board.SideToMove, BLACK);  // edit mode leaves the side to move
    ExpectSameAsFreshSetUp(c.name);
  }
}

TEST_F(GameControlTest, EditModeStartsTheGameRecordAnew) {
  ASSERT_EQ(SetFenPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), 1);
  GameStartPly = GamePly;
  ASSERT_EQ(GamePly, 1);
  const uint16_t age = SearchAge;
  HistoryTable[0][0][0][0][0] = 5;
  SearchStack[3].killer2[BLACK] = 42;
  EXPECT_EQ(Edit("Nh3\n.\n"), "");
  EXPECT_EQ(GamePly, 0);
  EXPECT_EQ(GameStartPly, 0);
  EXPECT_EQ((uint16_t)(SearchAge - age), 3);
  EXPECT_EQ(HistoryTable[0][0][0][0][0], 0u);
  EXPECT_EQ(SearchStack[3].killer2[BLACK], 0u);
}

TEST_F(GameControlTest, EditModeRefusesAPositionThatCannotBePlayed) {
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"#\nKe1\n.\n", "Illegal position: a king is missing\n"},
      {"xe8\n.\n", "Illegal position: a king is missing\n"},
      {"Pa8\n.\n", "Illegal position: a pawn on the first or last rank\n"},
      {"cPd1\n.\n", "Illegal position: a pawn on the first or last rank\n"},
      {"Pa3Pb3Pc3.", "Illegal position: more than eight pawns of a side\n"},
      {"cNf3\n.\n", "Illegal position: the side not to move is in check\n"},  // BLACK to move
      {"Kd8\n.\n", "Illegal position: the kings touch\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ASSERT_EQ(SetFenPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), 1);
    const uint64_t key = thread_board.HashKey;
    EXPECT_EQ(Edit(c.input), c.output);
    // The position from before the edit stands, game record included.
    EXPECT_EQ(Placement(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR");
    EXPECT_EQ(thread_board.HashKey, key);
    EXPECT_EQ(thread_board.CastleFlags, 15u);
    EXPECT_EQ(thread_board.SideToMove, BLACK);
    EXPECT_EQ(PositionFault(), nullptr);
    EXPECT_EQ(GamePly, 1);
  }
}

TEST_F(GameControlTest, EditModeTakesTheCharactersAlreadyBuffered) {
  // The line loop read "edit" together with what follows it: the rest of
  // that read stands in InputBuffer and comes first.
  PipedInput piped("cKe8\n.\nafter\n");
  strcpy(InputBuffer, "#\nKe1\nRh1\n");
  testing::internal::CaptureStdout();
  EditBoard();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(Placement(), "4k3/8/8/8/8/8/8/4K2R");
  EXPECT_EQ(thread_board.CastleFlags, 1u);
  // Only what edit mode used is taken: the next line is still there.
  EXPECT_EQ(std::string(InputBuffer).substr(0, 1), "\n");
}

// Every square of a busy position emptied, then filled with another piece,
// then given back its own: the position must agree with a fresh set-up at
// every step (keys, counts, material, material index, piece-square sum).
TEST_F(GameControlTest, SquaresEmptiedAndRefilledKeepThePositionConsistent) {
  const char* fen = "r3k2r/pp1n1ppp/2pbpn2/q2p4/3P1B2/2NBPN2/PPPQ1PPP/R3K2R w KQkq - 0 1";
  ASSERT_EQ(SetFenPosition(fen), 1);
  const uint64_t key = thread_board.HashKey;
  static const int fillers[] = {QUEEN, KNIGHT, BISHOP, ROOK};
  for (int square = 0; square < 64; square++) {
    const int code = (int)thread_board.Board[square];
    if (code == KING) continue;
    const int colour = (thread_board.Colour[BLACK] >> square) & 1 ? BLACK : WHITE;
    const int file = square & 7, rank = square >> 3;
    std::string name = std::string(1, (char)('a' + file)) + (char)('1' + rank);
    RemovePiece(square);
    ExpectSameAsFreshSetUp("emptied " + name);
    int filler = fillers[square % 4];
    AddPiece(square, square & 1, filler);
    ExpectSameAsFreshSetUp("refilled " + name);
    RemovePiece(square);
    if (code != 0) AddPiece(square, colour, code);
    ExpectSameAsFreshSetUp("restored " + name);
  }
  EXPECT_EQ(thread_board.HashKey, key);
}

TEST_F(GameControlTest, MaterialIndexComesBackInsideTheTable) {
  // A third knight takes the material outside the table; taking one away
  // again must give the index of two knights, not leave it outside.
  ASSERT_EQ(SetFenPosition("4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1"), 1);
  const int32_t twoKnights = thread_board.MaterialIndex;
  EXPECT_EQ(Edit("Nd4\n.\n"), "");
  EXPECT_EQ(thread_board.MaterialIndex, MATERIAL_OUTSIDE);
  ExpectSameAsFreshSetUp("three knights");
  EXPECT_EQ(Edit("xb1\n.\n"), "");
  EXPECT_EQ(thread_board.MaterialIndex, twoKnights);
  ExpectSameAsFreshSetUp("two knights again");
}

}  // namespace
