// The EPD and PGN tools: the training rows and messages of PGN games (SAN
// forms, tags, comments, variations, results, faults), the rows of "out.epd"
// and the pawn rows that "selftest" sets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "board/pst.h"
#include "board/searchstack.h"
#include "board/verify.h"
#include "eval/evaluate.h"
#include "eval/packed.h"
#include "eval/params.h"
#include "eval/pst.h"
#include "interface/gamecontrol.h"
#include "interface/pgntools.h"
#include "test_support.h"

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteWhole(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The FEN the rows use for the position on the board.
std::string BoardFen() {
  MakeFen(0);
  return FenText;
}

// Every test runs in its own empty working directory.
class PgnToolsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureEvalReady(); }
  void SetUp() override {
    char pattern[] = "/tmp/crv_pgntools_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
    NewGame();
  }

  struct Run {
    std::vector<std::string> rows;
    std::string output;
  };
  // Reads pgn as "source.pgn" with the training file removed first.
  static Run ReadPgn(const std::string& pgn) {
    WriteWhole("source.pgn", pgn);
    std::filesystem::remove("my_eval.csv");
    testing::internal::CaptureStdout();
    ProcessPgnFile("source.pgn");
    Run run;
    run.output = testing::internal::GetCapturedStdout();
    run.rows = Lines(ReadWhole("my_eval.csv"));
    return run;
  }

  std::filesystem::path dir_, old_dir_;
};

struct PgnCase {
  const char* what;
  const char* pgn;
  std::vector<std::string> rows;
  const char* output;
  const char* endFen;  // the position after the run
};

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ";
const char* const AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ";
const char* const AFTER_E4_E5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - ";
const char* const AFTER_NF3 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - ";

std::string Row(const std::string& fen, const char* rest) { return fen + ";" + rest; }

TEST_F(PgnToolsTest, GamesGiveTheirRowsAndMessages) {
  const PgnCase cases[] = {
      {"Nbd7 takes the knight of the b file; Nd5+ the one that reaches",
       "[Event \"a\"]\n[Result \"0-1\"]\n[PlyCount \"4\"]\n[FEN \"1n2k3/8/5n2/8/8/8/8/4K3 w - - 0 1\"]\n\n"
       "1. Kd2 Nbd7 2. Kc3 Nd5+ 0-1\n",
       {Row("1n2k3/8/5n2/8/8/8/3K4/8 b - - ", "b8d7;3;4;1"), Row("4k3/3n4/5n2/8/8/8/3K4/8 w - - ", "d2c3;2;4;2"),
        Row("4k3/3n4/5n2/8/8/2K5/8/8 b - - ", "f6d5;1;4;1")},
       "", "4k3/3n4/8/3n4/8/2K5/8/8 w - - "},
      {"R1a3 takes the rook of the first rank; no PlyCount gives 0",
       "[Result \"1-0\"]\n[FEN \"4k3/8/8/R7/8/8/8/R3K3 w - - 0 1\"]\n\n1. Kd2 Ke7 2. R1a3 Ke6 1-0\n",
       {Row("4k3/8/8/R7/8/8/3K4/R7 b - - ", "e8e7;-1;0;2"), Row("8/4k3/8/R7/8/8/3K4/R7 w - - ", "a1a3;-2;0;1"),
        Row("8/4k3/8/R7/8/R7/3K4/8 b - - ", "e7e6;-3;0;2")},
       "", "8/8/4k3/R7/8/R7/3K4/8 w - - "},
      {"exd5 is the e pawn's capture, which writes no row",
       "[Result \"1/2-1/2\"]\n[PlyCount \"4\"]\n[FEN \"4k3/8/8/3p4/2P1P3/8/8/4K3 w - - 0 1\"]\n\n"
       "1. Kd2 Kd7 2. exd5 Kd6 1/2-1/2\n",
       {Row("4k3/8/8/3p4/2P1P3/8/3K4/8 b - - ", "e8d7;3;4;0"), Row("8/3k4/8/3P4/2P5/8/3K4/8 b - - ", "d7d6;1;4;0")},
       "", "8/8/3k4/3P4/2P5/8/3K4/8 w - - "},
      {"e8Q promotes to a queen",
       "[Result \"1-0\"]\n[FEN \"8/4P3/8/8/8/8/k7/6K1 w - - 0 1\"]\n\n1. Kf2 Ka3 2. e8Q Kb3 1-0\n",
       {Row("8/4P3/8/8/8/8/k4K2/8 b - - ", "a2a3;-1;0;2"), Row("4Q3/8/8/8/8/k7/5K2/8 b - - ", "a3b3;-3;0;2")},
       "", "4Q3/8/8/8/8/1k6/5K2/8 w - - "},
      {"e8=Q is the same move",
       "[Result \"1-0\"]\n[FEN \"8/4P3/8/8/8/8/k7/6K1 w - - 0 1\"]\n\n1. Kf2 Ka3 2. e8=Q Kb3 1-0\n",
       {Row("8/4P3/8/8/8/8/k4K2/8 b - - ", "a2a3;-1;0;2"), Row("4Q3/8/8/8/8/k7/5K2/8 b - - ", "a3b3;-3;0;2")},
       "", "4Q3/8/8/8/8/1k6/5K2/8 w - - "},
      {"e8=N promotes to a knight",
       "[Result \"1-0\"]\n[FEN \"8/4P3/8/8/8/8/k7/6K1 w - - 0 1\"]\n\n1. Kf2 Ka3 2. e8=N Kb3 1-0\n",
       {Row("8/4P3/8/8/8/8/k4K2/8 b - - ", "a2a3;-1;0;2"), Row("4N3/8/8/8/8/k7/5K2/8 b - - ", "a3b3;-3;0;2")},
       "", "4N3/8/8/8/8/1k6/5K2/8 w - - "},
      {"0-0 and 0-0-0 in the movetext are castling, the result 0-1 is not",
       "[Result \"0-1\"]\n[PlyCount \"4\"]\n[FEN \"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1\"]\n\n"
       "1. Rb1 0-0-0 2.0-0 Rd2 0-1\n",
       {Row("r3k2r/8/8/8/8/8/8/1R2K2R b Kkq - ", "e8c8;3;4;1"), Row("2kr3r/8/8/8/8/8/8/1R2K2R w K - ", "e1g1;2;4;2"),
        Row("2kr3r/8/8/8/8/8/8/1R3RK1 b - - ", "d8d2;1;4;1")},
       "", "2k4r/8/8/8/8/8/3r4/1R3RK1 w - - "},
      {"O-O with letters too",
       "[Result \"1-0\"]\n[FEN \"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1\"]\n\n1. Rb1 O-O-O 2. O-O+ 1-0\n",
       {Row("r3k2r/8/8/8/8/8/8/1R2K2R b Kkq - ", "e8c8;-1;0;2"), Row("2kr3r/8/8/8/8/8/8/1R2K2R w K - ", "e1g1;-2;0;1")},
       "", "2kr3r/8/8/8/8/8/8/1R3RK1 b - - "},
      {"comments, nested variations, NAGs and marks are skipped; tag names in any case",
       "[result \"1-0\"]\n[PLYCOUNT \"3\"]\n\n{opening (comment)} 1. e4 {best (by) test} e5 $1 "
       "(1... c5 (1... e6 {)} 2. d4) 2. Nf3 {x}) 2. Nf3!? $14 1-0\n",
       {Row(AFTER_E4, "e7e5;2;3;2"), Row(AFTER_E4_E5, "g1f3;1;3;1")}, "", AFTER_NF3},
      {"the result * gives no rows, the moves are played",
       "[Result \"*\"]\n\n1. e4 e5 2. Nf3 *\n", {}, "", AFTER_NF3},
      {"no Result tag gives no rows", "[Event \"x\"]\n\n1. e4 e5 2. Nf3\n", {}, "", AFTER_NF3},
      {"the first move writes no row", "[Result \"1-0\"]\n\n1. e4 1-0\n", {}, "", AFTER_E4},
      {"an unmatched move skips the rest of its game; the next game is read",
       "[Result \"1-0\"]\n\n1. e4 e5 2. Ke3 Nf6 3. Nf3 1-0\n\n[Result \"1-0\"]\n\n1. d4 d5 1-0\n",
       {Row(AFTER_E4, "e7e5;-1;0;2"), Row("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - ", "d7d5;-1;0;2")},
       "\nCan't recognize: Ke3...\n", "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq - "},
      {"an ambiguous move writes no row and plays no move",
       "[Result \"0-1\"]\n[FEN \"1n2k3/8/5n2/8/8/8/8/4K3 w - - 0 1\"]\n\n1. Kd2 Nd7 2. Kc3 Ke7 0-1\n", {},
       "\nAmbigous move: Nd7... [Nf6d7, Nb8d7]\n", "1n2k3/8/5n2/8/8/8/3K4/8 b - - "},
      {"a promotion without its piece is ambiguous",
       "[Result \"1-0\"]\n[FEN \"8/4P3/8/8/8/8/k7/6K1 w - - 0 1\"]\n\n1. Kf2 Ka3 2. e8 Ka4 1-0\n",
       {Row("8/4P3/8/8/8/8/k4K2/8 b - - ", "a2a3;-1;0;2")}, "\nAmbigous move: e8... [Pe7e8, Pe7e8]\n",
       "8/4P3/8/8/8/k7/5K2/8 w - - "},
      {"a token without a destination square matches nothing",
       "[Result \"1-0\"]\n\n1. e4 e5 2. Nf Nc6 1-0\n", {Row(AFTER_E4, "e7e5;-1;0;2")}, "\nCan't recognize: Nf...\n",
       AFTER_E4_E5},
      {"a file alone is no destination either", "[Result \"1-0\"]\n\n1. e4 e5 2. Nbd 1-0\n",
       {Row(AFTER_E4, "e7e5;-1;0;2")}, "\nCan't recognize: Nbd...\n", AFTER_E4_E5},
      {"a refused FEN tag skips its game instead of playing from the start",
       "[Result \"1-0\"]\n[FEN \"8/8/8/8/8/8/8/8 w - - 0 1\"]\n\n1. e4 e5 2. Nf3 1-0\n\n"
       "[Result \"1-0\"]\n\n1. d4 d5 1-0\n",
       {Row("rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - ", "d7d5;-1;0;2")},
       "Illegal FEN: a king is missing\n", "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq - "},
      {"movetext starting at move 23 loses no move",
       "[Result \"1-0\"]\n[FEN \"4k3/8/8/8/8/8/8/4K3 w - - 0 23\"]\n\n23. Kd2 Kd7 24. Kc3 1-0\n",
       {Row("4k3/8/8/8/8/8/3K4/8 b - - ", "e8d7;-1;0;2"), Row("8/3k4/8/8/8/8/3K4/8 w - - ", "d2c3;-2;0;1")}, "",
       "8/3k4/8/8/8/2K5/8/8 b - - "},
      {"movetext starting with Black's move 5... loses no move",
       "[Result \"0-1\"]\n[FEN \"4k3/8/8/8/8/8/8/4K3 b - - 0 5\"]\n\n5... Kd7 6. Kd2 Ke6 0-1\n",
       {Row("8/3k4/8/8/8/8/8/4K3 w - - ", "e1d2;-1;0;2"), Row("8/3k4/8/8/8/8/3K4/8 b - - ", "d7e6;-2;0;1")}, "",
       "8/8/4k3/8/8/8/3K4/8 w - - "},
      {"the file ending inside a token keeps the last move",
       "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3", {Row(AFTER_E4, "e7e5;-1;0;2"), Row(AFTER_E4_E5, "g1f3;-2;0;1")}, "",
       AFTER_NF3},
      {"a tag without a value still lets the movetext be read",
       "[Result \"1-0\"]\n[Event]\n1. e4 e5 1-0\n", {Row(AFTER_E4, "e7e5;-1;0;2")}, "", AFTER_E4_E5},
      {"the file ending inside the tags plays nothing", "[Result \"1-0\"]\n[Event \"x", {}, "", START_FEN},
      {"movetext without tags is no game", "1. e4 e5 2. Nf3 1-0\n", {}, "", "4k3/8/8/8/8/8/8/4K3 w - - "},
  };
  for (const PgnCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetFenPosition("4k3/8/8/8/8/8/8/4K3 w - - 0 1");  // any position the run must not keep
    const Run run = ReadPgn(c.pgn);
    EXPECT_EQ(run.rows, c.rows);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(BoardFen(), c.endFen);
    EXPECT_EQ(PositionFault(), nullptr);
  }
}

TEST_F(PgnToolsTest, EveryHundredGamesAProgressLineCountsUnmatchedGamesToo) {
  std::string pgn;
  for (int game = 1; game <= 200; game++) {
    pgn += "[Event \"" + std::to_string(game) + "\"]\n[Result \"*\"]\n\n";
    pgn += game == 50 ? "1. e4 e5 2. Ke3 *\n\n" : "1. d4 d5 *\n\n";
  }
  const Run run = ReadPgn(pgn);
  EXPECT_EQ(run.output,
            "\nCan't recognize: Ke3...\n"
            "Processed 100 games, hit/game = 0.000...              \r"
            "Processed 200 games, hit/game = 0.000...              \r");
}

TEST_F(PgnToolsTest, AGameTooLongForTheGameRecordIsGivenUp) {
  // Knights going out and back: 640 plies, beyond what the game record takes.
  std::string moves;
  for (int turn = 0; turn < 160; turn++) {
    const int number = 2 * turn + 1;
    moves += std::to_string(number) + ". Nf3 Nf6 " + std::to_string(number + 1) + ". Ng1 Ng8 ";
  }
  const Run run =
      ReadPgn("[Result \"1/2-1/2\"]\n\n" + moves + "1/2-1/2\n\n[Result \"1-0\"]\n\n1. e4 e5 1-0\n");
  EXPECT_EQ(run.output, "Game too long: moves beyond ply " + std::to_string(GAME_PLY_LIMIT) + " ignored\n");
  // Rows for plies 1 .. GAME_PLY_LIMIT - 1 of the long game, one of the next.
  ASSERT_EQ(run.rows.size(), (size_t)GAME_PLY_LIMIT);
  EXPECT_EQ(run.rows[0], Row("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - ", "g8f6;-1;0;0"));
  EXPECT_EQ(run.rows.back(), Row(AFTER_E4, "e7e5;-1;0;2"));
}

TEST_F(PgnToolsTest, FileFaultsSayWhichFileAndStop) {
  // A missing input.
  testing::internal::CaptureStdout();
  ProcessPgnFile("missing.pgn");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file missing.pgn...\n");
  // A training file that cannot be opened stops the run after one line.
  WriteWhole("source.pgn", "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n[Result \"1-0\"]\n\n1. d4 d5 1-0\n");
  std::filesystem::create_directory("my_eval.csv");
  testing::internal::CaptureStdout();
  ProcessPgnFile("source.pgn");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file my_eval.csv...\n");
  EXPECT_EQ(BoardFen(), AFTER_E4_E5);
}

TEST_F(PgnToolsTest, EpdRowsHoldTheLineAndItsStaticEvaluation) {
  // A missing input leaves out.epd as it was.
  WriteWhole("out.epd", "kept\n");
  testing::internal::CaptureStdout();
  EvaluateEpdFile("missing.epd");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file missing.epd...\n");
  EXPECT_EQ(ReadWhole("out.epd"), "kept\n");

  // A long line, a refused position, an empty line and a last line without
  // its line end.
  const std::string first = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5; c0 \"" +
                            std::string(700, 'x') + "\";";
  const std::string refused = "8/8/8/8/8/8/8/8 w - - bm e4;";
  const std::string last = "4k3/8/8/8/8/8/4P3/4K3 b - -";
  WriteWhole("positions.epd", first + "\n" + refused + "\n\n" + last);
  testing::internal::CaptureStdout();
  EvaluateEpdFile("positions.epd");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Illegal FEN: a king is missing\nIllegal FEN: a king is missing\n");
  auto score = [](const std::string& fen) {
    SetFenPosition(fen.c_str());
    RootSide = thread_board.SideToMove;
    int32_t value = 0;
    EvaluatePosition(&value);
    return std::to_string(value);
  };
  const std::string expected = first + "\n;" + score(first) + "\n" + last + "\n;" + score(last) + "\n";
  EXPECT_NE(score(first), score(last));
  EXPECT_EQ(ReadWhole("out.epd"), expected);

  // out.epd as the input is refused rather than truncated.
  const std::string rows = ReadWhole("out.epd");
  testing::internal::CaptureStdout();
  EvaluateEpdFile("./out.epd");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: ./out.epd is the output file out.epd...\n");
  EXPECT_EQ(ReadWhole("out.epd"), rows);

  // An output that cannot be opened: one line.
  std::filesystem::remove("out.epd");
  std::filesystem::create_directory("out.epd");
  testing::internal::CaptureStdout();
  EvaluateEpdFile("positions.epd");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file out.epd...\n");
}

TEST_F(PgnToolsTest, SelfTestSetsPawnRowsTwoToSixFromTheParameters) {
  static int32_t savedTables[sizeof PieceSquareTables / 4];
  static int16_t savedHalves[2][8][2][64];
  memcpy(savedTables, PieceSquareTables, sizeof savedTables);
  memcpy(savedHalves[0], PieceSquareMg, sizeof PieceSquareMg);
  memcpy(savedHalves[1], PieceSquareEg, sizeof PieceSquareEg);
  int32_t savedMg[20], savedEg[20];
  for (int i = 0; i < 20; i++) {
    savedMg[i] = PawnParams[31 + i];
    savedEg[i] = EvalParamsN[7 + i];
    PawnParams[31 + i] = 100 + i;
    EvalParamsN[7 + i] = -200 - i;
  }
  SetFenPosition("4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1");
  testing::internal::CaptureStdout();
  SelfTest("missing.pgn");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error opening file missing.pgn...\n");
  // File b (index 1) and its mirror g, rank 4 (index 2 from rank 2).
  const int value = 1 * 5 + 2;
  for (int square : {B4, G4}) {
    EXPECT_EQ(PieceSquareMg[PAWN][WHITE][square], 100 + value);
    EXPECT_EQ(PieceSquareEg[PAWN][WHITE][square], -200 - value);
    EXPECT_EQ(PieceSquareTables[PAWN * 128 + WHITE * 64 + square], (100 + value) * 65536 - 200 - value);
  }
  for (int square : {B5, G5}) EXPECT_EQ(PieceSquareMg[PAWN][BLACK][square], 100 + value);
  // Rank 7 of each side keeps its base value.
  EXPECT_NE(PieceSquareMg[PAWN][WHITE][B7], 100 + 1 * 5 + 5);
  // The game on the board was started anew with the new tables.
  EXPECT_EQ(BoardFen(), START_FEN);
  EXPECT_EQ(PositionFault(), nullptr);
  for (int i = 0; i < 20; i++) {
    PawnParams[31 + i] = savedMg[i];
    EvalParamsN[7 + i] = savedEg[i];
  }
  memcpy(PieceSquareTables, savedTables, sizeof savedTables);
  memcpy(PieceSquareMg, savedHalves[0], sizeof PieceSquareMg);
  memcpy(PieceSquareEg, savedHalves[1], sizeof PieceSquareEg);
  NewGame();
}

}  // namespace
