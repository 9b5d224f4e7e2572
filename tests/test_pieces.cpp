// Pieces, threats and the king attack: the attack sets and maps that the
// search reads, checked against a square-by-square walk over suite
// positions; their colour symmetry; the clamping of danger and pressure
// before every table; the king attack's edge cases; the safe queen checks
// and the exact score derived for the other side to move.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pieces.h"
#include "search/hashtable.h"
#include "test_support.h"

namespace {

// ---- An independent attack generator: one step at a time on the board. ----

bool OnBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

Bitboard Steps(int square, const int (*steps)[2], int n, bool slide) {
  Bitboard result = 0;
  for (int i = 0; i < n; i++) {
    int f = FileOf(square) + steps[i][0], r = RankOf(square) + steps[i][1];
    while (OnBoard(f, r)) {
      int q = r * 8 + f;
      result |= SquareBit(q);
      if (!slide || thread_board.Board[q] != 0) break;
      f += steps[i][0];
      r += steps[i][1];
    }
  }
  return result;
}

const int ORTHOGONAL[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
const int DIAGONAL[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
const int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
const int KING_STEPS[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

Bitboard RookWalk(int s) { return Steps(s, ORTHOGONAL, 4, true); }
Bitboard BishopWalk(int s) { return Steps(s, DIAGONAL, 4, true); }
Bitboard KnightWalk(int s) { return Steps(s, KNIGHT_STEPS, 8, false); }
Bitboard KingWalk(int s) { return Steps(s, KING_STEPS, 8, false); }
Bitboard PawnWalk(int s, int colour) {
  const int white[2][2] = {{-1, 1}, {1, 1}}, black[2][2] = {{-1, -1}, {1, -1}};
  return Steps(s, colour == WHITE ? white : black, 2, false);
}

int ColourOn(int q) { return (thread_board.Colour[BLACK] >> q) & 1 ? BLACK : WHITE; }

struct Walked {
  Bitboard byCode[8][2] = {};  // attacks by piece code and colour
  Bitboard all[2] = {};        // every attack, king steps included
};

Walked WalkAttacks() {
  Walked w;
  for (int q = 0; q < 64; q++) {
    int code = (int)thread_board.Board[q];
    if (code == 0) continue;
    int c = ColourOn(q);
    Bitboard a = 0;
    switch (code) {
      case KING: a = KingWalk(q); break;
      case KNIGHT: a = KnightWalk(q); break;
      case PAWN: a = PawnWalk(q, c); break;
      case ROOK: a = RookWalk(q); break;
      case BISHOP: a = BishopWalk(q); break;
      case QUEEN: a = RookWalk(q) | BishopWalk(q); break;
    }
    w.byCode[code][c] |= a;
    w.all[c] |= a;
  }
  return w;
}

// The one piece of the king's side between king c and an enemy slider of the
// matching kind, walking out from the king.
Bitboard WalkPinned(int c) {
  Bitboard pinned = 0;
  int king = thread_board.KingSquare[c];
  for (int kind = 0; kind < 2; kind++) {
    const int (*steps)[2] = kind == 0 ? ORTHOGONAL : DIAGONAL;
    int slider = kind == 0 ? ROOK : BISHOP;
    for (int i = 0; i < 4; i++) {
      int f = FileOf(king), r = RankOf(king), first = -1;
      while (true) {
        f += steps[i][0];
        r += steps[i][1];
        if (!OnBoard(f, r)) break;
        int q = r * 8 + f, code = (int)thread_board.Board[q];
        if (code == 0) continue;
        if (first < 0) {
          if (ColourOn(q) != c) break;
          first = q;
          continue;
        }
        if (ColourOn(q) != c && (code == slider || code == QUEEN)) pinned |= SquareBit(first);
        break;
      }
    }
  }
  return pinned;
}

Bitboard FlipBoard(Bitboard b) { return __builtin_bswap64(b); }

class PiecesTest : public EvalTest {};

// The piece terms alone: the material, phases and ENDING flags of the
// driver, the pawn-file bytes and shelter penalties set here, then the
// piece terms.
void EvaluatePiecesAlone(const std::string& fen, int shelterWhite = 0, int shelterBlack = 0) {
  SetPosition(fen);
  EvalInfo& e = thread_eval_info;
  e = EvalInfo{};
  EvaluateMaterialAndPhase();
  auto files = [](Bitboard pawns) {
    uint8_t byte = 0;
    for (int f = 0; f < 8; f++)
      if (pawns & FileMask[f]) byte |= (uint8_t)(1 << f);
    return byte;
  };
  PawnHashEntry& block = thread_board.PawnBlock;
  block.white_files = files(thread_board.Pieces[PAWN][WHITE]);
  block.black_files = files(thread_board.Pieces[PAWN][BLACK]);
  block.white_weak_files = block.black_weak_files = 0;
  block.PassedVector[0] = block.PassedVector[1] = 0;
  e.shelter_penalty[WHITE] = shelterWhite;
  e.shelter_penalty[BLACK] = shelterBlack;
  EvaluatePieces();
}

// Every attack set the search and the later terms read agrees with the walk,
// and the threat map holds exactly the reached zone squares, the pinned
// pieces and the passed pawns.
TEST_F(PiecesTest, AttackMapsAgreeWithAWalkOverTheSuites) {
  std::vector<std::string> fens = SuiteFens();
  ASSERT_GT(fens.size(), 400u);
  int checked = 0;
  for (const std::string& fen : fens) {
    SetPosition(fen);
    Fresh();
    const EvalInfo& e = thread_eval_info;
    if (e.attack_map[WHITE] == 0 && e.attack_map[BLACK] == 0) continue;  // an exact endgame answer
    checked++;
    Walked w = WalkAttacks();
    const ThreadBoard& b = thread_board;
    for (int c = 0; c < 2; c++) {
      int other = c ^ 1;
      EXPECT_EQ(e.attack_map[c], w.all[c]) << fen << " colour " << c;
      EXPECT_EQ(c == WHITE ? e.pawn_attacks_white : e.pawn_attacks_black, w.byCode[PAWN][c]) << fen;
      if (b.PieceUnits[WHITE] == 0 && b.PieceUnits[BLACK] == 0) continue;  // pawns and kings only
      EXPECT_EQ(e.knight_attacks[c], w.byCode[KNIGHT][c]) << fen;
      EXPECT_EQ(e.bishop_attacks[c], w.byCode[BISHOP][c]) << fen;
      EXPECT_EQ(e.rook_attacks[c], w.byCode[ROOK][c]) << fen;
      EXPECT_EQ(e.queen_attacks[c], w.byCode[QUEEN][c]) << fen;
      EXPECT_EQ(e.minor_attacks[c], w.byCode[KNIGHT][c] | w.byCode[BISHOP][c]) << fen;
      int king = b.KingSquare[c];
      Bitboard free = ~b.Colour[other];
      EXPECT_EQ(e.king_zone[c], KingWalk(king)) << fen;
      EXPECT_EQ(e.check_squares[0][c], RookWalk(king) & free) << fen;
      EXPECT_EQ(e.check_squares[1][c], (RookWalk(king) | BishopWalk(king)) & free) << fen;
      EXPECT_EQ(e.check_squares[2][c], BishopWalk(king) & free) << fen;
      EXPECT_EQ(e.check_squares[3][c], KnightWalk(king) & free) << fen;
      Bitboard pieceAttacks = w.byCode[KNIGHT][other] | w.byCode[BISHOP][other] | w.byCode[ROOK][other] |
                              w.byCode[QUEEN][other];
      Bitboard reached = e.ENDING[c] ? 0 : pieceAttacks & KingWalk(king);
      EXPECT_EQ(e.threat_map[c], reached | WalkPinned(c) | e.passed_pawns[c]) << fen << " colour " << c;
      EXPECT_EQ(e.zone_safe_attacks[c] & ~reached, 0u) << fen;
      Bitboard ahead = c == WHITE ? (b.Colour[WHITE] | b.Colour[BLACK]) >> 8 : (b.Colour[WHITE] | b.Colour[BLACK]) << 8;
      Bitboard blocking = c == WHITE ? (b.Pieces[PAWN][WHITE] | b.Colour[BLACK]) >> 8
                                     : (b.Pieces[PAWN][BLACK] | b.Colour[WHITE]) << 8;
      EXPECT_EQ(e.blocked_pawns[c], b.Pieces[PAWN][c] & blocking) << fen;
      EXPECT_EQ(e.blocked_pawns[c] & ~ahead, 0u) << fen;
    }
  }
  EXPECT_GT(checked, 400);
}

// The colour-flipped twin has the mirrored sets and the exchanged king-attack
// figures, danger and pressure stay inside their tables, and the score
// derived for the other side to move is the one a full evaluation gives.
TEST_F(PiecesTest, KingAttackFiguresAreColourSymmetricAndDeriveExactly) {
  int attacked = 0;
  for (const std::string& fen : SuiteFens()) {
    SetPosition(fen);
    int32_t score = Fresh();
    EvalInfo info = thread_eval_info;
    for (int c = 0; c < 2; c++) {
      ASSERT_GE(info.danger[c], 0) << fen;
      ASSERT_LE(info.danger[c], KING_DANGER_MAX) << fen;
      ASSERT_GE(info.pressure[c], 0) << fen;
      ASSERT_LE(info.pressure[c], PRESSURE_MAX) << fen;
      ASSERT_GE(info.pattern_index[c], 0) << fen;
      ASSERT_LE(info.pattern_index[c], 5) << fen;
      if (info.ENDING[c ^ 1]) {
        EXPECT_EQ(info.danger[c], 0) << fen;
        EXPECT_EQ(info.attack_value[c], 0) << fen;
      }
      if (info.attack_value[c] > 0) attacked++;
    }
    SetPosition(FlipFen(fen));
    EXPECT_EQ(Fresh(), score) << fen;
    const EvalInfo& twin = thread_eval_info;
    for (int c = 0; c < 2; c++) {
      int o = c ^ 1;
      EXPECT_EQ(twin.danger[c], info.danger[o]) << fen;
      EXPECT_EQ(twin.pressure[c], info.pressure[o]) << fen;
      EXPECT_EQ(twin.attack_value[c], info.attack_value[o]) << fen;
      EXPECT_EQ(twin.tempo_bonus[c], info.tempo_bonus[o]) << fen;
      EXPECT_EQ(twin.threatened_count[c], info.threatened_count[o]) << fen;
      EXPECT_EQ(twin.pattern_index[c], info.pattern_index[o]) << fen;
      EXPECT_EQ(twin.attack_map[c], FlipBoard(info.attack_map[o])) << fen;
      EXPECT_EQ(twin.threat_map[c], FlipBoard(info.threat_map[o])) << fen;
      EXPECT_EQ(twin.zone_safe_attacks[c], FlipBoard(info.zone_safe_attacks[o])) << fen;
    }
    if (info.derivable) {
      SetPosition(fen);
      thread_board.SideToMove ^= 1;
      EXPECT_EQ(Fresh(), info.derive_base - score) << fen;
    }
  }
  EXPECT_GT(attacked, 100);
}

// The exchange test of the king attack answers from attack sets where they
// settle it; on every square a knight, bishop, rook or queen attacks (no own
// piece, no king on it) it must give what the full exchange gives. Suite
// positions and every position one legal move later, with the enemy sets both
// without and with the enemy king's steps.
TEST_F(PiecesTest, ExchangeShortcutsAgreeWithTheFullExchange) {
  int compared = 0, safe = 0, kingOnlyDefends = 0;
  auto compareAll = [&](const std::string& fen) {
    Walked w = WalkAttacks();
    const ThreadBoard& b = thread_board;
    // Each unit's attacks, then the squares two or more units of a colour attack.
    Bitboard unit[64] = {};
    Bitboard once[2] = {0, 0}, twice[2] = {0, 0};
    for (int s = 0; s < 64; s++) {
      int code = (int)b.Board[s], c = ColourOn(s);
      if (code == 0) continue;
      unit[s] = code == KING ? KingWalk(s) : code == KNIGHT ? KnightWalk(s) : code == PAWN ? PawnWalk(s, c)
              : code == ROOK ? RookWalk(s) : code == BISHOP ? BishopWalk(s) : RookWalk(s) | BishopWalk(s);
      twice[c] |= once[c] & unit[s];
      once[c] |= unit[s];
    }
    for (int s = 0; s < 64; s++) {
      int code = (int)b.Board[s];
      if (code != KNIGHT && code != BISHOP && code != ROOK && code != QUEEN) continue;
      int c = ColourOn(s), t = c ^ 1;
      Bitboard enemy = w.byCode[PAWN][t] | w.byCode[KNIGHT][t] | w.byCode[BISHOP][t] | w.byCode[ROOK][t] |
                       w.byCode[QUEEN][t];
      Bitboard targets = unit[s] & ~b.Colour[c] & ~b.Pieces[KING][t];
      for (Bitboard open = targets; open;) {
        int q = PopLSB(&open);
        int expected = SeeCaptureIsSafe(q, s);
        ASSERT_EQ(PieceCaptureIsSafe(q, s, enemy, twice[c]), expected) << fen << " " << s << "x" << q;
        ASSERT_EQ(PieceCaptureIsSafe(q, s, w.all[t], twice[c]), expected) << fen << " " << s << "x" << q;
        compared++;
        safe += expected;
        kingOnlyDefends += !(enemy & SquareBit(q)) && (KingWalk(b.KingSquare[t]) & SquareBit(q));
      }
    }
  };
  for (const std::string& fen : SuiteFens()) {
    SetPosition(fen);
    compareAll(fen);
    GenerateLegalMoves(0);
    std::vector<Move> legal(MoveStackTop);
    for (int i = 0; i < MoveStackTop; i++) legal[i] = MoveStack[i].move;
    MoveStackTop = 0;
    for (Move m : legal) {
      MakeMove(m, 1);
      compareAll(fen + " then " + std::to_string(m));
      UnmakeMove();
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(compared, 100000);
  EXPECT_GT(safe, compared / 10);
  EXPECT_LT(safe, compared - compared / 10);
  EXPECT_GT(kingOnlyDefends, 1000);
}

// Parameters a test changes, restored when it ends.
struct SavedKingParams {
  int32_t weights[384], pressure[4], attackScale[9], zoneDanger;
  SavedKingParams() {
    std::copy(KingAttackWeights, KingAttackWeights + 384, weights);
    std::copy(KingParamsC, KingParamsC + 4, pressure);
    std::copy(KingParamsB, KingParamsB + 9, attackScale);
    zoneDanger = PawnParams[12];
  }
  ~SavedKingParams() {
    std::copy(weights, weights + 384, KingAttackWeights);
    std::copy(pressure, pressure + 4, KingParamsC);
    std::copy(attackScale, attackScale + 9, KingParamsB);
    PawnParams[12] = zoneDanger;
  }
};

// Both queens aim at the kings: every term of the king attack is on.
constexpr const char* ATTACK_FEN = "r1b2rk1/ppp2ppp/2n5/3q4/3Q4/2N5/PPP2PPP/R1B2RK1 w - - 0 1";

// White's queen, knight and bishop bear on h7; White is a bishop up.
constexpr const char* GREEK_GIFT_FEN = "r1bq1rk1/pppn1ppp/4p3/6NQ/3P4/3B4/PPP2PPP/R1B2RK1 w - - 0 1";

// Danger and pressure are clamped at both ends before they index
// KingDangerTable and PressureSigmoid, and stored clamped; parameter files
// may give negative or huge weights.
TEST_F(PiecesTest, DangerAndPressureAreClampedAtBothEnds) {
  struct Case {
    const char* name;
    int32_t weight, pressure;
    int32_t danger, storedPressure;
  } cases[] = {
      {"huge weights and pressures", 127, 100, KING_DANGER_MAX, PRESSURE_MAX},
      {"negative weights and pressures", -100, -50, 0, 0},
  };
  for (const Case& c : cases) {
    SavedKingParams saved;
    std::fill(KingAttackWeights, KingAttackWeights + 384, c.weight);
    std::fill(KingParamsC, KingParamsC + 4, c.pressure);
    PawnParams[12] = c.weight;
    EvaluatePiecesAlone(ATTACK_FEN, 20, 20);
    const EvalInfo& e = thread_eval_info;
    for (int a = 0; a < 2; a++) {
      EXPECT_EQ(e.danger[a], c.danger) << c.name;
      EXPECT_EQ(e.pressure[a], c.storedPressure) << c.name;
      if (c.danger == 0) EXPECT_EQ(e.attack_value[a], 0) << c.name;  // KingDangerTable[0] is 0
      else EXPECT_GT(e.attack_value[a], 0) << c.name;
    }
  }
}

// The king attack of a side: its parts and the cases where it is off.
TEST_F(PiecesTest, KingAttackEdgeCases) {
  // A king in ENDING (the attacker has only a rook and a knight) takes no
  // danger from any source, even with both pieces next to it.
  EvaluatePiecesAlone("6k1/5ppp/4N3/8/8/8/5PPP/4R1K1 w - - 0 1", 0, 40);
  ASSERT_EQ(thread_eval_info.ENDING[BLACK], 1);
  EXPECT_EQ(thread_eval_info.danger[WHITE], 0);
  EXPECT_EQ(thread_eval_info.pressure[WHITE], 0);
  EXPECT_EQ(thread_eval_info.attack_value[WHITE], 0);
  EXPECT_EQ(thread_eval_info.zone_safe_attacks[BLACK], 0u);

  // The attack grows with the defender's shelter penalty.
  EvaluatePiecesAlone(GREEK_GIFT_FEN, 0, 10);
  int32_t sheltered = thread_eval_info.attack_value[WHITE];
  EvaluatePiecesAlone(GREEK_GIFT_FEN, 0, 40);
  int32_t exposed = thread_eval_info.attack_value[WHITE];
  EXPECT_GT(sheltered, 0);
  EXPECT_GT(exposed, sheltered);

  // A material logistic below -256 gives no king-attack term, never a
  // negative one: side_mg is what it is with the attack switched off.
  {
    SavedKingParams saved;
    const char* ahead = GREEK_GIFT_FEN;  // White a bishop up
    KingParamsB[3] = KingParamsB[4] = 0;
    EvaluatePiecesAlone(ahead, 0, 40);
    int32_t off = thread_eval_info.side_mg[WHITE];
    KingParamsB[3] = KingParamsB[4] = 10922;
    KingParamsB[5] = 2000;  // height: L reaches -1000 for the side far ahead
    ASSERT_LT(MaterialLogistic(300), -256);
    EvaluatePiecesAlone(ahead, 0, 40);
    EXPECT_GT(thread_eval_info.attack_value[WHITE], 0);
    EXPECT_EQ(thread_eval_info.side_mg[WHITE], off);
  }
}

TEST_F(PiecesTest, MaterialLogisticValues) {
  struct Case {
    int32_t material, expected;
  } cases[] = {{0, 0}, {1000, -5}, {-1000, 5}, {5, -1}, {-5, 1}, {-30000, 5}, {30000, -5}};
  for (const Case& c : cases) EXPECT_EQ(MaterialLogistic(c.material), c.expected) << c.material;
}

// White pawns that attack the black king's zone add to White's attack on it,
// never to Black's attack on the white king.
TEST_F(PiecesTest, PawnStormCountsForTheStormingSide) {
  const char* quiet = "r1bq1rk1/ppp2ppp/2n5/8/8/2N5/PPPQ1PPP/R1B2RK1 w - - 0 1";
  const char* storm = "r1bq1rk1/ppp2ppp/2n3P1/8/8/2N5/PPPQ1PP1/R1B2RK1 w - - 0 1";  // h-pawn on g6
  SavedKingParams saved;
  EvaluatePiecesAlone(quiet, 10, 10);
  EvalInfo before = thread_eval_info;
  EvaluatePiecesAlone(storm, 10, 10);
  const EvalInfo& after = thread_eval_info;
  EXPECT_GE(after.danger[WHITE], before.danger[WHITE] + 2 * PawnParams[12]);
  EXPECT_EQ(after.danger[BLACK], before.danger[BLACK]);
}

// Safe queen checks by their count n = squares + those off the king's steps:
// in full for the side to move, halved for the other.
TEST_F(PiecesTest, SafeQueenChecksWeighByTheSideToMove) {
  struct Case {
    const char* placement;
    int n;
  } cases[] = {
      // Ka8 behind a7, b7 and Rb8: the queen's only check square b7 is guarded.
      {"kr6/pp6/8/8/8/2K5/8/7Q", 0},
      // Without the rook: h8 from afar, b7 (a king step, guarded only by the king).
      {"k7/pp6/8/8/8/2K5/8/7Q", 3},
      // Lone Ke8 and Qa1: a8, a4, e1, e5, h8, none next to the king.
      {"4k3/8/8/8/8/8/8/Q6K", 10},
  };
  for (const Case& c : cases) {
    for (int side = 0; side < 2; side++) {
      EvaluatePiecesAlone(std::string(c.placement) + (side == WHITE ? " w" : " b") + " - - 0 1");
      thread_eval_info.derive_base = 0;
      int32_t value = EvalParamsN[std::min(c.n, 6)];
      int32_t expected = side == WHITE ? -value : -(value / 2);
      EXPECT_EQ(EvaluateSafeQueenChecks(0), expected) << c.placement << " side " << side;
      int32_t moved = value - value / 2;
      EXPECT_EQ(thread_eval_info.derive_base, side == WHITE ? -moved : moved) << c.placement;
    }
  }
}

// A pure pawn ending still shows the pawns' attacks to the search.
TEST_F(PiecesTest, PurePawnEndingKeepsThePawnAttacks) {
  SetPosition("8/5k2/4pp2/8/3PP3/8/5K2/8 w - - 0 1");
  Fresh();
  EXPECT_EQ(thread_eval_info.attack_map[WHITE], KingWalk(F2) | PawnWalk(D4, WHITE) | PawnWalk(E4, WHITE));
  EXPECT_EQ(thread_eval_info.attack_map[BLACK], KingWalk(F7) | PawnWalk(E6, BLACK) | PawnWalk(F6, BLACK));
}

}  // namespace
