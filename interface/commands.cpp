#include "interface/commands.h"

#include <cstdio>
#include <cstring>

#include "board/bitmasks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/ordering.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "book/book.h"
#include "book/learn.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/params.h"
#include "interface/gamecontrol.h"
#include "interface/inifile.h"
#include "interface/pgntools.h"
#include "interface/selfplay.h"
#include "interface/settings.h"
#include "search/tokens.h"
#include "platform/exit.h"
#include "platform/platform.h"
#include "search/commandtable.h"
#include "search/hashtable.h"
#include "search/input.h"
#include "search/root.h"
#include "search/think.h"
#include "tablebases/tablebases.h"
#include "search/limits.h"

// Deepest perft the command runs: the move stack holds the lists of every
// ply and the game record the moves on top of the game.
constexpr int PERFT_DEPTH_LIMIT = 64;

// value * factor without overflow (both far below 2^31 in size after clamping).
static int32_t ScaledNumber(const char* text, int32_t factor) {
  return ClampToInt32((int64_t)ParseNumber(text) * factor);
}

// A move typed in coordinates: played when legal, else refused with a message.
static void PlayTypedMove(const char* line) {
  Move move = ParseMove(line);
  if (!IsMoveLegal(move)) {
    printf("Illegal move: %s\n", line);
    fflush(stdout);
    return;
  }
  // A long game goes on: its oldest moves leave the record.
  if (GamePly >= GAME_PLY_LIMIT) DropOldestGamePlies(GAME_KEEP_PLIES);
  MakeMove(move, 1);
  if (!ForceMode) {
    Limits.UciPonder = 0;
    Limits.SearchMovesCount = 0;
    Think();
  }
}

static void PrintHelp() {
  static const char* const firstPage[] = {
      "analyze ................... Enters analyze mode",
      "black ..................... Sets black to move and engine side to white",
      "brd ....................... Prints a board",
      "bkm ....................... Prints book moves for current position",
      "easy ...................... Toggles pondering off",
      "edit ...................... Edit board position",
      "egtbstat .................. Displays current EGTB status",
      "epdevl <f> ................ Produces static evaluations for EPD-file <f>",
      "evl ....................... Shows static evaluation for current position",
      "force ..................... Toggles autoplay off",
      "go ........................ Starts search",
      "hard ...................... Toggles pondering on",
      "help ...................... Displays this help",
      "level <m> <t> <i> ......... Sets ICS time controls",
      "loadfen <e> ............... Sets FEN-position <e>",
      "moves ..................... Displays all legal moves with ranking priorities",
      "mvd ....................... Shows position flags",
      "new ....................... Starts a new game",
      "nopost .................... Toggles silent mode on",
  };
  static const char* const secondPage[] = {
      "perft <d> ................. Tests the move generator/make_move with depth <d>",
      "post ...................... Toggles silent mode off",
      "q[uit] .................... Exits Corvatine",
      "remove .................... Un-makes last moves of each side",
      "sd <d> .................... Sets max search depth to <d>",
      "st <t> .................... Sets max search time to <t>",
      "time <t> .................. Sets remaining game time in milliseconds to <t>",
      "uci ....................... UCI mode",
      "undo ...................... Un-makes last move of one side",
      "white ..................... Sets white to move and engine side to black",
  };
  static char discarded[INPUT_BUFFER_SIZE];
  printf("Corvatine commands:\n");
  for (int i = 0; i < 78; i++) putchar('-');
  printf("\n");
  printf("\n");
  for (const char* text : firstPage) printf("%s\n", text);
  printf("\nPress <enter> to continue....");
  fflush(stdout);
  GetInputLine(1, discarded);
  printf("\n");
  for (const char* text : secondPage) printf("%s\n", text);
  printf("\n");
  fflush(stdout);
}

// The per-game statistics reset of "reset" and "ucinewgame". A game the
// engine moved last in and did not learn yet is learned as a draw (for
// "reset" only when its last score was 0); the position stays as it was.
static void ResetGameStatistics(int needsZeroScore) {
  if (UseBookLearning && BookFile != nullptr && !BookLearned && (!needsZeroScore || RootScores[0] == 0) &&
      thread_board.SideToMove != RootSide && GamePly > GameStartPly) {
    const Move last = GameHistory[GamePly - 1].move;
    UnmakeMove();
    LearnBookGame(2);
    MakeMove(last, 1);
  }
  ClearGameStatistics();
}

// "bkm": the position's learning-file key pair, then its book moves.
static void ListBookPositionMoves() {
  const uint64_t key = thread_board.HashKey;
  printf("Current nhash1 = %d, nhash2 = %d\n", (int32_t)(uint32_t)key, (int32_t)(uint32_t)(key >> 16));
  if (!BookLoaded) {
    printf("No book loaded...\n");
  } else {
    ListBookMoves();
  }
  fflush(stdout);
}

// The legal moves in the order and with the ordering scores of the root search.
static void ListLegalMoves() {
  int savedTop = MoveStackTop;
  printf("-------------- Legal moves: ----------------\n\n");
  MoveStackTop = 0;
  if (!GenerateRootMoves()) {
    char text[16];
    for (int i = 0; i < MoveStackTop; i++) {
      printf("%s (%d); ", MoveToStringWithPiece(text, MoveStack[i].move), MoveStack[i].score);
    }
  }
  printf("\n");
  fflush(stdout);
  MoveStackTop = savedTop;
}

// A clock value of "go" in milliseconds as centiseconds; a clock is never
// negative (-1 would read as no clock at all).
static int32_t GoClockValue(const char* text) {
  int64_t value = ParseNumber64(text) / 10;
  return value < 0 ? 0 : ClampToInt32(value);
}

// UCI "go" and the xboard/console "go": the limits of the search, then the
// search with its answer.
static void RunGo(int count) {
  ForceMode = 0;
  Limits.UciPonder = 0;
  Limits.SearchMovesCount = 0;
  // A reply still owed from the last search is paid before the next starts,
  // so that every "go" gets its own "bestmove".
  PayOwedBestMove();
  if (count > 1) {
    Limits.MovesToGo = 0;
    Limits.TimePerMove = 0;
    Limits.Increment = 0;
    Limits.OpponentIncrement = 0;
    Limits.NodeLimit = 0;
    Limits.DepthLimit = 998;
    if (UciMode) {
      // Every UCI "go" brings its own limits: a clock or a mate search of an
      // earlier one must not decide this one.
      Limits.TimeLeft = NO_CLOCK;
      Limits.MateLimit = 0;
    }
    const int white = thread_board.SideToMove == WHITE;
    for (int i = 1; i < count; i++) {
      const char* token = Tokens[i];
      const char* value = i + 1 < TOKEN_COUNT ? Tokens[i + 1] : "";
      if (CommandMatches("btime", token)) {
        if (!white) Limits.TimeLeft = Limits.BaseTime = GoClockValue(value);
        else Limits.OpponentTime = GoClockValue(value);
        i++;
      } else if (CommandMatches("wtime", token)) {
        if (white) Limits.TimeLeft = Limits.BaseTime = GoClockValue(value);
        else Limits.OpponentTime = GoClockValue(value);
        i++;
      } else if (CommandMatches("binc", token)) {
        if (!white) Limits.Increment = GoClockValue(value);
        else Limits.OpponentIncrement = GoClockValue(value);
        i++;
      } else if (CommandMatches("winc", token)) {
        if (white) Limits.Increment = GoClockValue(value);
        else Limits.OpponentIncrement = GoClockValue(value);
        i++;
      } else if (CommandMatches("movestogo", token)) {
        Limits.MovesToGo = ParseNumber(value);
        i++;
      } else if (CommandMatches("depth", token)) {
        int32_t depth = ParseNumber(value);
        Limits.DepthLimit = depth < 1 ? 1 : depth;
        i++;
      } else if (CommandMatches("nodes", token)) {
        int64_t nodes = ParseNumber64(value);
        Limits.NodeLimit = nodes < 1 ? 1 : nodes;
        i++;
      } else if (CommandMatches("movetime", token)) {
        // Under ten milliseconds is still a time limit, not none.
        int64_t ms = ParseNumber64(value);
        Limits.TimePerMove = ms <= 0 ? 1 : ClampToInt32(ms < 10 ? 1 : ms / 10);
        i++;
      } else if (CommandMatches("mate", token)) {
        // Under one move is no mate search; a longer one than the scores
        // can tell is the longest they can.
        const int32_t moves = ParseNumber(value);
        Limits.MateLimit = moves < 1 ? 0 : Min(moves, MATE_LIMIT_MAX);
        i++;
      } else if (CommandMatches("infinite", token)) {
        Limits.TimeLeft = INFINITE_TIME;
      } else if (CommandMatches("searchmoves", token)) {
        for (i++; i < count; i++) {
          if (!IsCoordinateMove(Tokens[i]) || Limits.SearchMovesCount >= SEARCH_MOVES_SIZE) continue;
          Limits.SearchMoves[Limits.SearchMovesCount++] = ParseMove(Tokens[i]);
        }
        break;
      } else if (CommandMatches("ponder", token)) {
        Limits.UciPonder = 1;
      }
    }
  }
  Think();
}

// UCI "setoption name N value V".
static void SetUciOption() {
  if (!CommandMatches("name", Tokens[1])) return;
  const char* option = Tokens[2];
  const int hasValue = CommandMatches("value", Tokens[3]);
  const int32_t value = ParseNumber(Tokens[4]);
  if (CommandMatches("Aggressivity", option)) {
    if (!hasValue) return;
    Aggressivity = value;
    AggressivityHalf = value / 2;
  } else if (CommandMatches("Defensivity", option)) {
    if (!hasValue) return;
    Cowardice = value;
    CowardiceHalf = value / 2;
  } else if (CommandMatches("MultiPV", option)) {
    if (!hasValue) return;
    MultiPV = value < 1 ? 1 : value;
  } else if (CommandMatches("Hash", option)) {
    if (hasValue) SetHashSizeMb(value);
  } else if (CommandMatches("PawnHash", option)) {
    if (hasValue) SetPawnHashSizeMb(value);
  } else if (CommandMatches("Clear", option)) {
    if (CommandMatches("Hash", Tokens[3])) ClearTranspositionTable();
  } else if (CommandMatches("OwnBook", option)) {
    if (!hasValue) return;
    if (CommandMatches("false", Tokens[4])) {
      OwnBook = 0;
    } else if (CommandMatches("true", Tokens[4])) {
      OwnBook = 1;
    }
  } else if (CommandMatches("SyzygyPath", option)) {
    // The rest of the line is the directory list, blanks included.
    if (!hasValue || !UseEGTB) return;
    if (!SetEgtbPath(CommandLine + TokenStart[4])) {
      printf("info string SyzygyPath too long; the tables stay as they were\n");
      fflush(stdout);
      return;
    }
    init_tablebases(tb_path);
    tb_probe_limit = tb_largest;
  } else if (CommandMatches("OpeningsBook", option)) {
    if (hasValue) OpenBook(CommandLine + TokenStart[4]);
  }
}

// xboard "level MPS BASE INC", BASE in minutes or minutes:seconds.
static void SetLevel(int count) {
  if (count > 4) {
    Limits.MovesToGo = ParseNumber(Tokens[1]);
    Limits.BaseTime = ClampToInt32((int64_t)ParseNumber(Tokens[2]) * 6000 + (int64_t)ParseNumber(Tokens[3]) * 100);
    Limits.Increment = Limits.OpponentIncrement = ScaledNumber(Tokens[4], 100);
    return;
  }
  if (count >= 2) Limits.MovesToGo = ParseNumber(Tokens[1]);
  if (count >= 3) Limits.BaseTime = ScaledNumber(Tokens[2], 6000);
  if (count >= 4) Limits.Increment = Limits.OpponentIncrement = ScaledNumber(Tokens[3], 100);
}

// Counts the leaves of the tree below the position; the timing starts on a
// fresh tick of the clock.
static void RunPerft(int count) {
  MoveStackTop = 0;
  if (count < 2) return;
  int depth = ParseNumber(Tokens[1]);
  if (depth < 1 || depth > PERFT_DEPTH_LIMIT) {
    printf("Perft depth must be 1 to %d\n", PERFT_DEPTH_LIMIT);
    fflush(stdout);
    return;
  }
  int64_t tick = TimeMs();
  while (TimeMs() == tick) {
  }
  int64_t start = TimeMs();
  PerftCount = 0;
  Perft(depth);
  double seconds = (double)(TimeMs() - start) / 1000.0;
  printf("total moves = %llu time = %.2f\n", (unsigned long long)PerftCount, seconds);
  fflush(stdout);
}

static void PrintUciIdentification() {
  printf("id name Corvatine 1.96\n");
  printf("id author Quendrel\n");
  printf("option name Hash type spin min 0 max 1024 default 10\n");
  printf("option name PawnHash type spin min 0 max 1024 default 7\n");
  printf("option name SyzygyPath type string default c:\\tablebases\\\n");
  printf("option name OpeningsBook type string default .\\book.crv\n");
  printf("option name OwnBook type check default true\n");
  printf("option name MultiPV type spin min 1 max 1024 default 1\n");
  printf("option name Aggressivity type spin min 0 max 300 default %d\n", Aggressivity);
  printf("option name Defensivity type spin min 0 max 300 default %d\n", Cowardice);
  printf("option name Clear Hash type button\n");
  printf("uciok\n");
  fflush(stdout);
}

// UCI "position [startpos | fen FEN] [moves m1 m2 ...]".
static void SetUciPosition(const char* line, int count) {
  if (count < 2) return;
  LastBestMove = 0;
  BestMoveOwed = 0;
  if (CommandMatches("startpos", Tokens[1])) {
    NewGame();
  } else if (CommandMatches("fen", Tokens[1])) {
    // The FEN starts four characters behind where the word stands.
    char key[4] = {0, 0, 0, 0};
    strncpy(key, Tokens[1], 3);
    const char* place = strstr(line, key);
    const char* lineEnd = line + strlen(line);
    const char* fen = (place != nullptr && lineEnd - place >= 4) ? place + 4 : lineEnd;
    // A refused position keeps the old one, and its moves are not played on it.
    if (!SetupFenGame(fen, 1)) return;
  }
  if (count < 4) return;
  int index = 2;
  while (index < count && !CommandMatches("moves", Tokens[index])) index++;
  for (index++; index < count; index++) {
    if (!IsCoordinateMove(Tokens[index])) continue;
    Move move = ParseMove(Tokens[index]);
    if (!IsMoveLegal(move)) continue;
    // Every move of a long game is played: the oldest leave the record, so
    // that the engine searches the position the interface means.
    if (GamePly >= GAME_PLY_LIMIT) DropOldestGamePlies(GAME_KEEP_PLIES);
    MakeMove(move, 1);
  }
}

// Reads "values.txt" again. Cached evaluations and pawn results of the old
// parameters are thrown away with it.
static void ReloadEvaluationValues() {
  LoadEvaluationValues();
  ClearEvalHash();
  ClearPawnHash();
}

// The index moved into a table of `size` entries.
static int ClampIndex(int64_t index, int size) { return index < 0 ? 0 : index >= size ? size - 1 : (int)index; }

// King-attack product of colour c: the danger of the other side's attack on
// king c scaled by c's shelter.
static int32_t KingAttackTerm(int colour) {
  const EvalInfo& e = thread_eval_info;
  int64_t danger = KingDangerTable[ClampIndex((int64_t)e.danger[ChangeSide(colour)] + 8, 128)];
  int64_t scale = ShelterScaleTable[ClampIndex(e.shelter_penalty[colour], 64)];
  int64_t product = danger * scale;
  return (int32_t)(product >= 0 ? product >> 4 : ~((~product) >> 4));
}

// The evaluation of the position term by term.
static void PrintEvaluation() {
  const ThreadBoard& b = thread_board;
  const EvalInfo& e = thread_eval_info;
  RootSide = b.SideToMove;
  int32_t score = 0;
  EvaluatePosition(&score);
  int stm = b.SideToMove & 1, other = ChangeSide(stm);
  int32_t shelter[2] = {ShelterPenaltyTable[ClampIndex(e.shelter_penalty[WHITE], 64)],
                        ShelterPenaltyTable[ClampIndex(e.shelter_penalty[BLACK], 64)]};
  printf("Heuristic = %d\n", score);
  printf("PassedVector[BLACK] = ");
  PrintByteBits(b.PawnBlock.PassedVector[0]);
  printf(" PassedVector[WHITE] = ");
  PrintByteBits(b.PawnBlock.PassedVector[1]);
  printf("\n");
  printf("current_phase = %d, black_phase = %d, white_phase = %d\n", b.current_phase, b.black_phase, b.white_phase);
  printf("Material[WHITE] = %d thread_board.Material[BLACK] = %d EvaluateMaterial() = %d\n", b.Material[WHITE],
         b.Material[BLACK], e.material_score);
  printf("ENDING(WHITE) = %d ENDING(BLACK) = %d\n", KingInEnding(WHITE), KingInEnding(BLACK));
  printf("thread_eval_info.shelter_penalty[BLACK] = %d thread_eval_info.shelter_penalty[WHITE] = %d\n",
         e.shelter_penalty[BLACK], e.shelter_penalty[WHITE]);
  printf("thread_eval_info.danger[BLACK] = %d thread_eval_info.danger[WHITE] = %d\n", e.danger[BLACK],
         e.danger[WHITE]);
  printf("Attacks[ChangeSide(thread_board.SideToMove)] = %d\n", KingAttackTerm(other));
  printf("Attacks[thread_board.SideToMove] = %d\n", KingAttackTerm(stm));
  printf("Shelter[BLACK] = %d Shelter[WHITE] = %d\n", shelter[BLACK], shelter[WHITE]);
  printf("Dng = %d\n", (int)((int64_t)KingAttackTerm(other) + shelter[other]));
  fflush(stdout);
}

// "loadfen FEN": the FEN starts 8 characters into the line.
static void LoadFen(const char* line) {
  size_t length = strlen(line);
  if (SetupFenGame(line + (length < 8 ? length : 8), 1)) ClearLearningQueue();
}

// "xboard": the limits of a UCI search are dropped.
static void EnterXboardMode() {
  Limits.NodeLimit = 0;
  Limits.DepthLimit = 998;
  Limits.MovesToGo = 0;
  Limits.TimePerMove = 0;
  Limits.MateLimit = 0;
  UciMode = 0;
  PonderOn = Pondering;
}

// "egtbstat": the tablebase settings and how many pieces the tables found
// cover.
static void PrintTablebaseStatus() {
  printf("UseEGTB = %s\ntb_path = %s\n", UseEGTB ? "TRUE" : "FALSE", tb_path);
  if (tb_probe_limit != 0)
    printf("%d piece EGTB files found\n", tb_probe_limit);
  else
    printf("EGTB files not found\n");
  fflush(stdout);
}

// UCI "debug on|off"; any other word leaves it as it is.
static void SetUciDebug(int n) {
  if (n < 2) return;
  if (CommandMatches("on", Tokens[1])) {
    UciDebug = 1;
  } else if (CommandMatches("off", Tokens[1])) {
    UciDebug = 0;
  }
}

// Runs the command of one table row on the line (split into n tokens).
static void RunCommand(CommandId id, const char* line, int n) {
  switch (id) {
    case CMD_PGNEVAL: ProcessPgnFile(PGN_SOURCE_FILE); break;
    case CMD_QUIT: ExitProgram(0);
    case CMD_CLEAN: ClearAllTables(); break;
    case CMD_RELOAD: ReloadEvaluationValues(); break;
    case CMD_MOVE: PlayTypedMove(line); break;
    case CMD_HELP: PrintHelp(); break;
    case CMD_NEW: NewGame(); break;
    case CMD_POST: PostMode = 1; break;
    case CMD_RESET: ResetGameStatistics(1); break;
    case CMD_LEVEL: SetLevel(n); break;
    case CMD_MOVES: ListLegalMoves(); break;
    case CMD_EDIT: EditBoard(); break;
    case CMD_LOADFEN: LoadFen(line); break;
    case CMD_EPDEVL: EvaluateEpdFile(Tokens[1]); break;
    case CMD_SELFTEST: SelfTest(PGN_SOURCE_FILE); break;
    case CMD_NOPOST: PostMode = 0; break;
    case CMD_PERFT: RunPerft(n); break;
    case CMD_SD:
      if (n >= 2) Limits.DepthLimit = ParseNumber(Tokens[1]);
      break;
    case CMD_STOP: PayOwedBestMove(); break;
    case CMD_ST:
      if (n >= 2) Limits.TimePerMove = ScaledNumber(Tokens[1], 100);
      break;
    case CMD_GO: RunGo(n); break;
    case CMD_PONDERHIT:
      if (Limits.UciPonder) PayOwedPonderHit();
      break;
    case CMD_WHITE:
      thread_board.SideToMove = WHITE;
      EngineSide = 1;
      break;
    case CMD_REMOVE:
      if (TakeBackMove()) TakeBackMove();
      break;
    case CMD_ANALYZE: AnalyzeMode(); break;
    case CMD_BLACK:
      thread_board.SideToMove = BLACK;
      EngineSide = 0;
      break;
    case CMD_FORCE: ForceMode = 1; break;
    case CMD_BRD: PrintBoard(); break;
    case CMD_TIME:
      // A clock is never negative: -1 would read as no clock at all.
      if (n >= 2) Limits.TimeLeft = ParseNumber(Tokens[1]) < 0 ? 0 : ParseNumber(Tokens[1]);
      break;
    case CMD_OTIM:
      if (n >= 2) Limits.OpponentTime = ParseNumber(Tokens[1]);
      break;
    case CMD_EASY: PonderOn = 0; break;
    case CMD_HARD:
      if (Pondering) PonderOn = 1;
      break;
    case CMD_EVL: PrintEvaluation(); break;
    case CMD_UNDO: TakeBackMove(); break;
    case CMD_FRITZ: FritzMode = 1; break;
    case CMD_XBOARD: EnterXboardMode(); break;
    case CMD_MVD:
      printf("castling flags = %d\n", (int)thread_board.CastleFlags);
      fflush(stdout);
      break;
    case CMD_DEMO: PlayDemoGames(); break;
    case CMD_BKM: ListBookPositionMoves(); break;
    case CMD_UCINEWGAME:
      LastBestMove = 0;
      BestMoveOwed = 0;
      ResetGameStatistics(0);
      break;
    case CMD_UCI:
      PrintUciIdentification();
      UciMode = 1;
      PonderOn = 0;
      break;
    case CMD_SETOPTION: SetUciOption(); break;
    case CMD_ISREADY:
      printf("readyok\n");
      fflush(stdout);
      break;
    case CMD_EGTBSTAT: PrintTablebaseStatus(); break;
    case CMD_POSITION: SetUciPosition(line, n); break;
    case CMD_DEBUG: SetUciDebug(n); break;
    case CMD_STATUS:
    case CMD_EXIT:
    case CMD_RESULT:
    case COMMAND_ID_COUNT: break;  // words of a running search only
  }
}

void ProcessCommand() {
  const char* line = CommandLine;
  const int n = SplitCommandLine(line, CommandMatches("level", line) ? " :" : " ");
  // The first row of the table that matches decides; after a row that goes
  // on, the rows behind it are tried as well.
  for (int row = FindCommand(line, 0, IN_LINE_LOOP); row >= 0; row = FindCommand(line, row + 1, IN_LINE_LOOP)) {
    RunCommand(COMMAND_TABLE[row].id, line, n);
    if (!COMMAND_TABLE[row].goes_on) return;
  }
}
