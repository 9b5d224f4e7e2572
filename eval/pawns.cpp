// Pawn structure, king-shelter values and the pawn hash.
//
// Everything here depends on the pawns alone, so the result is kept under
// PawnKey: in the pawn block of the position record (a one-entry cache) and
// in PawnHashTable. The score is a packed pair from BLACK's side.
#include "eval/pawns.h"

#include "board/attacktables.h"
#include "board/bitmasks.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/hashes.h"
#include "eval/packed.h"
#include "eval/params.h"

namespace {

constexpr Bitboard RANK_1_MASK = 0xffULL;
constexpr Bitboard FILES_A_TO_C = 0x0707070707070707ULL;
constexpr Bitboard FILES_A_TO_D = 0x0f0f0f0f0f0f0f0fULL;
constexpr Bitboard FILES_E_TO_H = 0xf0f0f0f0f0f0f0f0ULL;
constexpr Bitboard FILES_F_TO_H = 0xe0e0e0e0e0e0e0e0ULL;
// Ranks from which a storming pawn's own rank minus 3 is 0..3: its fourth to
// seventh rank. A BLACK pawn there stands on ranks 2 to 5 of the board, a
// WHITE pawn on ranks 4 to 7.
constexpr Bitboard BLACK_STORM_RANKS = 0x000000ffffffff00ULL;
constexpr Bitboard WHITE_STORM_RANKS = 0x00ffffffff000000ULL;

inline Bitboard RankMaskOf(int square) { return RANK_1_MASK << (square & 56); }

// The geometry of one colour's pawns. "Ahead" is toward the colour's
// promotion rank; tables are read by square for BLACK and 63 - square for WHITE.
template <int Us>
struct Side {
  static constexpr int Them = Us == WHITE ? BLACK : WHITE;
  static constexpr int Step = Us == WHITE ? 8 : -8;
  static constexpr int StartRank = Us == WHITE ? 1 : 6;
  static constexpr int DoubleStepRank = Us == WHITE ? 3 : 4;
  static int TableIndex(int s) { return Us == WHITE ? 63 - s : s; }
  static Bitboard FileAhead(int s) { return Us == WHITE ? FileAbove[s] : FileBelow[s]; }
  static Bitboard FileBehind(int s) { return Us == WHITE ? FileBelow[s] : FileAbove[s]; }
  static Bitboard RanksBehind(int s) { return Us == WHITE ? RanksBelow[s] : RanksAbove[s]; }
  static Bitboard RanksAhead(int s) { return Us == WHITE ? RanksAbove[s] : RanksBelow[s]; }
  static Bitboard PassedMask(int s) { return Us == WHITE ? WhitePassedMask[s] : BlackPassedMask[s]; }
  // Squares this pawn attacks.
  static Bitboard Attacks(int s) { return Us == WHITE ? WhitePawnAttacks[s] : BlackPawnAttacks[s]; }
  // Squares from which an own pawn protects s (equally: the squares an enemy
  // pawn on s would attack).
  static Bitboard Protectors(int s) { return Us == WHITE ? BlackPawnAttacks[s] : WhitePawnAttacks[s]; }
  // Squares from which an enemy pawn attacks s.
  static Bitboard EnemyAttackers(int s) { return Us == WHITE ? WhitePawnAttacks[s] : BlackPawnAttacks[s]; }
  // The squares the pawns of a set attack.
  static Bitboard PawnAttacksOf(Bitboard pawns) {
    return Us == WHITE ? ((pawns & ~FileMask[0]) << 7) | ((pawns & ~FileMask[7]) << 9)
                       : ((pawns & ~FileMask[0]) >> 9) | ((pawns & ~FileMask[7]) >> 7);
  }
  // Its sixth and seventh ranks counted from its own side.
  static constexpr Bitboard FAR_RANKS = Us == WHITE ? 0x00FFFF0000000000ULL : 0x0000000000FFFF00ULL;
  // A pawn on its sixth or seventh rank counted from its own side.
  static bool FarAdvanced(int s) {
    int rank = RankOf(s);
    return Us == WHITE ? rank == 5 || rank == 6 : rank == 1 || rank == 2;
  }
};

// One lever of the breakthrough test: an own pawn one rank behind on the
// file `side` steps away, and no enemy pawn on that file, nor on the file
// beyond it when it exists, level with the blocked pawn or ahead of it.
template <int Us>
bool BreakthroughLever(int s, int side, Bitboard own, Bitboard enemy) {
  using S = Side<Us>;
  int file = FileOf(s) + side;
  if (file < 0 || file > 7) return false;
  int helper = s - S::Step + side;
  if (!(own & SquareBit(helper))) return false;
  Bitboard levelOrAhead = RankMaskOf(s) | S::RanksAhead(s);
  Bitboard files = FileMask[file];
  int beyond = file + side;
  if (beyond >= 0 && beyond <= 7) files |= FileMask[beyond];
  return !(enemy & files & levelOrAhead);
}

// A pawn whose neighbours on the files beside it all stand ahead of it is
// backward unless it can step up to one: a neighbour diagonally ahead with
// the square ahead free and not attacked by an enemy pawn, or, from its
// starting rank, a neighbour two ranks up with both squares ahead free and
// not attacked. Even with such a step it is backward while an enemy pawn
// attacks it.
template <int Us>
bool BackwardBehindNeighbours(int s, Bitboard own, Bitboard enemy) {
  using S = Side<Us>;
  const Bitboard all = own | enemy, neighbours = own & AdjacentFiles[s];
  int front = s + S::Step;
  bool escape = (own & S::Attacks(s)) && !(all & SquareBit(front)) && !(enemy & S::EnemyAttackers(front));
  if (!escape && RankOf(s) == S::StartRank && (neighbours & (RANK_1_MASK << (8 * S::DoubleStepRank)))) {
    int second = front + S::Step;
    escape = !(all & (SquareBit(front) | SquareBit(second))) &&
             !(enemy & (S::EnemyAttackers(front) | S::EnemyAttackers(second)));
  }
  return !escape || (enemy & S::EnemyAttackers(s));
}

// An open pawn that is not passed is a candidate when its helpers beside it
// (level or behind) are at least as many as the enemy pawns in its way off
// its own file, and its protectors at least as many as its attackers.
template <int Us>
bool Candidate(int s, Bitboard own, Bitboard enemy) {
  using S = Side<Us>;
  Bitboard levelOrBehind = RankMaskOf(s) | S::RanksBehind(s);
  Bitboard stoppers = enemy & S::PassedMask(s);
  return PopCount(own & AdjacentFiles[s] & levelOrBehind) >= PopCount(stoppers & ~FileMask[FileOf(s)]) &&
         PopCount(own & S::Protectors(s)) >= PopCount(enemy & S::EnemyAttackers(s));
}

// A pawn on its sixth or seventh rank blocked by an enemy pawn that no other
// enemy pawn stops beyond, with a lever beside it.
template <int Us>
bool Breakthrough(int s, Bitboard own, Bitboard enemy) {
  using S = Side<Us>;
  int front = s + S::Step;
  return (enemy & SquareBit(front)) && !(enemy & S::PassedMask(front)) &&
         (BreakthroughLever<Us>(s, 1, own, enemy) || BreakthroughLever<Us>(s, -1, own, enemy));
}

template <int Us>
int Traits(int s, Bitboard own, Bitboard enemy) {
  using S = Side<Us>;
  Bitboard all = own | enemy;
  Bitboard neighbours = own & AdjacentFiles[s];
  Bitboard levelOrBehind = RankMaskOf(s) | S::RanksBehind(s);
  int traits = 0;

  if ((neighbours & RankMaskOf(s)) || (own & S::Protectors(s))) traits |= PAWN_CONNECTED;
  if (own & S::FileBehind(s)) traits |= PAWN_DOUBLED;
  if (!neighbours) {
    traits |= PAWN_ISOLATED;
  } else if (!(neighbours & levelOrBehind) && BackwardBehindNeighbours<Us>(s, own, enemy)) {
    traits |= PAWN_BACKWARD;
  }

  if (!(all & S::FileAhead(s))) {
    traits |= PAWN_OPEN;
    if (!(enemy & S::PassedMask(s))) traits |= PAWN_PASSED;
    else if (Candidate<Us>(s, own, enemy)) traits |= PAWN_CANDIDATE;
  }

  if (S::FarAdvanced(s) && Breakthrough<Us>(s, own, enemy)) traits |= PAWN_BREAKTHROUGH;
  return traits;
}

// The packed sum of one colour's pawn terms (positive is good for Us) and
// its file, passed-file and weak-file bytes.
struct PawnTally {
  int32_t score;
  uint8_t files, passed, weak;
};

// Whole-board shifts and fills of pawn sets.
inline Bitboard FillUp(Bitboard b) {
  b |= b << 8;
  b |= b << 16;
  return b | b << 32;
}
inline Bitboard FillDown(Bitboard b) {
  b |= b >> 8;
  b |= b >> 16;
  return b | b >> 32;
}
inline Bitboard Beside(Bitboard b) { return ((b & ~FileMask[0]) >> 1) | ((b & ~FileMask[7]) << 1); }
// The files of a set as a byte (bit f for file f).
inline uint8_t FileByte(Bitboard b) { return (uint8_t)FillDown(b); }

// The table entries of every pawn of `set`, added to the sum.
template <int Us>
int32_t SumOver(Bitboard set, const int32_t* table) {
  int32_t sum = 0;
  while (set) sum = PackedAdd(sum, table[Side<Us>::TableIndex(PopLSB(&set))]);
  return sum;
}

// The same terms as Traits gives pawn by pawn, found for all pawns of a
// colour at once: the sets of the pawns with each trait come from shifts and
// fills of the pawn sets, and only the few pawns that the rarer traits need
// a closer look at (backward, candidate, breakthrough) are tested one by one.
template <int Us>
PawnTally ScorePawns() {
  using S = Side<Us>;
  const Bitboard own = thread_board.Pieces[PAWN][Us], enemy = thread_board.Pieces[PAWN][S::Them];
  const Bitboard all = own | enemy;
  auto ahead = [](Bitboard b) { return Us == WHITE ? b << 8 : b >> 8; };
  auto behind = [](Bitboard b) { return Us == WHITE ? b >> 8 : b << 8; };
  auto fillAhead = [](Bitboard b) { return Us == WHITE ? FillUp(b) : FillDown(b); };
  auto fillBehind = [](Bitboard b) { return Us == WHITE ? FillDown(b) : FillUp(b); };
  // 1. The sets: pawns with an own pawn beside them or protecting them; with
  // an own pawn behind on their file; with no own pawn on the files beside;
  // with no pawn ahead on their file; and of those, with no enemy pawn ahead
  // on their own or the files beside.
  const Bitboard connected = own & (Beside(own) | S::PawnAttacksOf(own));
  const Bitboard doubled = own & fillAhead(ahead(own));
  const Bitboard isolated = own & ~Beside(FillUp(FillDown(own)));
  const Bitboard open = own & ~fillBehind(behind(all));
  const Bitboard passed = open & ~fillBehind(behind(enemy | Beside(enemy)));
  // 2. The rarer traits, pawn by pawn: backward among the pawns whose
  // neighbours all stand ahead; candidates among the open pawns that are not
  // passed; breakthroughs among the pawns on their sixth or seventh rank
  // blocked by an enemy pawn.
  Bitboard backward = 0, candidates = 0, breakthroughs = 0;
  for (Bitboard b = own & ~isolated & ~fillAhead(Beside(own)); b;) {
    int s = PopLSB(&b);
    if (BackwardBehindNeighbours<Us>(s, own, enemy)) backward |= SquareBit(s);
  }
  for (Bitboard b = open & ~passed; b;) {
    int s = PopLSB(&b);
    if (Candidate<Us>(s, own, enemy)) candidates |= SquareBit(s);
  }
  for (Bitboard b = own & S::FAR_RANKS & behind(enemy); b;) {
    int s = PopLSB(&b);
    if (Breakthrough<Us>(s, own, enemy)) breakthroughs |= SquareBit(s);
  }
  // 3. The terms.
  PawnTally t;
  int32_t score = SumOver<Us>(connected, PawnConnected);
  score = PackedSub(score, SumOver<Us>(doubled, PawnDoubled));
  score = PackedSub(score, SumOver<Us>(isolated & open, PawnIsolatedOpen));
  score = PackedSub(score, SumOver<Us>(isolated & ~open, PawnIsolated));
  score = PackedSub(score, SumOver<Us>(backward & open, PawnBackwardOpen));
  score = PackedSub(score, SumOver<Us>(backward & ~open, PawnBackward));
  score = PackedAdd(score, SumOver<Us>(candidates, PawnCandidate));
  score = PackedAdd(score, SumOver<Us>(breakthroughs, PawnBreakthrough));
  t.score = score;
  t.files = FileByte(own);
  t.passed = FileByte(passed);
  t.weak = FileByte((isolated | backward) & open);
  return t;
}

// Shelter code of the file of `home` (an own pawn's second-rank square);
// `step` leads away from the own side.
inline int ShelterCode(Bitboard own, Bitboard enemy, int home, int step) {
  int code = (own & SquareBit(home))              ? 0
             : (own & SquareBit(home + step))     ? 1
             : (own & SquareBit(home + 2 * step)) ? 2
                                                  : 3;
  return (enemy & FileMask[FileOf(home)]) ? code : code + 4;
}

inline Bitboard WhitePawns() { return thread_board.Pieces[PAWN][WHITE]; }
inline Bitboard BlackPawns() { return thread_board.Pieces[PAWN][BLACK]; }

// The storm of Us's pawns `stormers` against the enemy's shelter pawns
// `targets`: by the stormer's own rank, in contact (it attacks a target),
// blocked (a target stands right in front of it) or free.
template <int Us>
int32_t Storm(Bitboard stormers, Bitboard targets) {
  using S = Side<Us>;
  const int32_t* contact = PawnParams;
  const int32_t* blocked = PawnParams + 4;
  const int32_t* open = PawnParams + 8;
  int32_t sum = 0;
  for (stormers &= Us == WHITE ? WHITE_STORM_RANKS : BLACK_STORM_RANKS; stormers;) {
    int s = PopLSB(&stormers);
    int k = Us == WHITE ? RankOf(s) - 3 : 4 - RankOf(s);
    if (targets & S::Attacks(s)) sum += contact[k];
    else if (targets & SquareBit(s + S::Step)) sum += blocked[k];
    else sum += open[k];
  }
  return sum;
}

inline uint8_t ShelterByte(int64_t value) { return (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value); }

inline int32_t ShelterValue(int near, int middle, int edge) { return ShelterCodeTable[near | middle << 3 | edge << 6]; }

// A pawn result computed afresh into the pawn block (its key is left alone).
void ComputePawnBlock() {
  PawnHashEntry& block = thread_board.PawnBlock;
  EvaluatePawnShelter();
  PawnTally black = ScorePawns<BLACK>();
  PawnTally white = ScorePawns<WHITE>();
  int32_t score = PackedSub(black.score, white.score);
  score = PackedAdd(score, PackedSub(PawnFileSpan[FileSpan(black.files)], PawnFileSpan[FileSpan(white.files)]));
  score = PackedAdd(score, PackedSub(PassedFileSpan[FileSpan(black.passed)], PassedFileSpan[FileSpan(white.passed)]));
  block.score = score;
  block.PassedVector[0] = black.passed;
  block.PassedVector[1] = white.passed;
  block.white_files = white.files;
  block.black_files = black.files;
  block.black_weak_files = black.weak;
  block.white_weak_files = white.weak;
}

}  // namespace

int PawnTraits(int square, int colour) {
  Bitboard white = WhitePawns(), black = BlackPawns();
  return colour == WHITE ? Traits<WHITE>(square, white, black) : Traits<BLACK>(square, black, white);
}

int FileSpan(int fileByte) {
  fileByte &= 0xff;
  return fileByte ? HighBit8[fileByte] - LowBit8[fileByte] + 1 : 0;
}

int GetShelterCodeF2() { return ShelterCode(WhitePawns(), BlackPawns(), F2, 8); }
int GetShelterCodeG2() { return ShelterCode(WhitePawns(), BlackPawns(), G2, 8); }
int GetShelterCodeH2() { return ShelterCode(WhitePawns(), BlackPawns(), H2, 8); }
int GetShelterCodeC2() { return ShelterCode(WhitePawns(), BlackPawns(), C2, 8); }
int GetShelterCodeB2() { return ShelterCode(WhitePawns(), BlackPawns(), B2, 8); }
int GetShelterCodeA2() { return ShelterCode(WhitePawns(), BlackPawns(), A2, 8); }
int GetShelterCodeF7() { return ShelterCode(BlackPawns(), WhitePawns(), F7, -8); }
int GetShelterCodeG7() { return ShelterCode(BlackPawns(), WhitePawns(), G7, -8); }
int GetShelterCodeH7() { return ShelterCode(BlackPawns(), WhitePawns(), H7, -8); }
int GetShelterCodeC7() { return ShelterCode(BlackPawns(), WhitePawns(), C7, -8); }
int GetShelterCodeB7() { return ShelterCode(BlackPawns(), WhitePawns(), B7, -8); }
int GetShelterCodeA7() { return ShelterCode(BlackPawns(), WhitePawns(), A7, -8); }

// A shelter beyond 255 is kept at 255 rather than wrapped to a small value:
// the king shelter clamps it to its worst penalty anyway.
void EvaluatePawnShelter() {
  uint8_t* shelter = thread_board.PawnBlock.shelter;
  Bitboard white = WhitePawns(), black = BlackPawns();
  shelter[0] = ShelterByte((int64_t)ShelterValue(GetShelterCodeF2(), GetShelterCodeG2(), GetShelterCodeH2()) +
                           Storm<BLACK>(black & FILES_E_TO_H, white & FILES_F_TO_H));
  shelter[1] = ShelterByte((int64_t)ShelterValue(GetShelterCodeC2(), GetShelterCodeB2(), GetShelterCodeA2()) +
                           Storm<BLACK>(black & FILES_A_TO_D, white & FILES_A_TO_C));
  shelter[2] = ShelterByte((int64_t)ShelterValue(GetShelterCodeF7(), GetShelterCodeG7(), GetShelterCodeH7()) +
                           Storm<WHITE>(white & FILES_E_TO_H, black & FILES_F_TO_H));
  shelter[3] = ShelterByte((int64_t)ShelterValue(GetShelterCodeC7(), GetShelterCodeB7(), GetShelterCodeA7()) +
                           Storm<WHITE>(white & FILES_A_TO_D, black & FILES_A_TO_C));
}

void ResetPawnBlock() { thread_board.PawnBlock.key = PAWN_BLOCK_NO_KEY; }

// The pawn result of the position: from the one-entry block, the pawn hash
// or a fresh computation, which is then stored in both. With no table the
// result is computed every time and the block holds no key, so nothing of
// it can be taken for another pawn structure later.
void EvaluatePawns() {
  ThreadBoard& b = thread_board;
  PawnHashEntry& block = b.PawnBlock;
  const uint64_t key = b.PawnKey;
  if (PawnHashTable != nullptr && PawnHashAllocated > 0) {
    if (block.key != key) {
      PawnHashEntry& entry = PawnHashTable[PawnHashIndex(key)];
      if (entry.key == key) {
        block = entry;
      } else {
        ComputePawnBlock();
        block.key = key;
        entry = block;
      }
    }
  } else {
    ComputePawnBlock();
    block.key = PAWN_BLOCK_NO_KEY;
  }
  EvalInfo& e = thread_eval_info;
  e.packed_score = PackedAdd(e.packed_score, block.score);
  // Every pawn on a passed file, the ones behind a passed pawn included.
  e.passed_pawns[BLACK] = b.Pieces[PAWN][BLACK] & (0x0101010101010101ULL * block.PassedVector[0]);
  e.passed_pawns[WHITE] = b.Pieces[PAWN][WHITE] & (0x0101010101010101ULL * block.PassedVector[1]);
}
