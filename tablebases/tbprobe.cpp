// The WDL and DTZ probes of the current position. Tables store positions
// without en passant and without deciding captures; the probes resolve those
// with a small alpha-beta over captures and a one-ply search. They run on the
// global board and move stack and leave both, SearchPly and the ply records
// as they found them.
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/searchstack.h"
#include "platform/platform.h"
#include "tablebases/tablebases.h"
#include "tablebases/tbdecompress.h"
#include "tablebases/tbindex.h"
#include "tablebases/tbregistry.h"

static const int wdl_to_dtz[5] = {-1, -101, 0, 101, 1};
static const int wdl_to_map[5] = {1, 3, 0, 2, 0};
static const uint8_t pa_flags[5] = {8, 0, 0, 0, 4};

static int InCheck() { return SearchStack[SearchPly].in_check != 0; }
static int PlyRoom() {
  return SearchPly + 2 < SEARCH_STACK_SIZE && GamePly + 2 < GAME_HISTORY_SIZE;
}
static void MakeProbeMove(Move move) {
  SearchStack[SearchPly + 1].in_check = (uint32_t)MoveGivesCheck(move);
  MakeMove(move, 1);
  SearchPly++;
}
static void UnmakeProbeMove() {
  UnmakeMove();
  SearchPly--;
}
static bool IsEnPassant(Move move) {
  return MovePiece(move) == PAWN && MoveCaptured(move) == 0 && MovePromotion(move) == 0 &&
         ((MoveFrom(move) ^ MoveTo(move)) & 7) != 0;
}
// Legality of a generated move: in check every evasion is legal; otherwise a
// king may not step onto an attacked square and no other piece may open a
// line to its king.
static bool ProbeMoveLegal(Move move, int in_check) {
  if (in_check) return true;
  if (MovePiece(move) == KING) return !SquareAttacked(thread_board.SideToMove ^ 1, MoveTo(move));
  return !ExposesKing(move);
}
// 1 when the side that just moved left its king attacked.
static bool MoverInCheck() {
  int mover = thread_board.SideToMove ^ 1;
  return SquareAttacked(thread_board.SideToMove, thread_board.KingSquare[mover]) != 0;
}

// En passant is possible after a double pawn step with a pawn of the side to
// move beside the stepped pawn.
static bool EnPassantPossible() {
  if (GamePly <= 0) return false;
  Move last = GameHistory[GamePly - 1].move;
  if (MovePiece(last) != PAWN || ((MoveFrom(last) ^ MoveTo(last)) & 8) != 0 || MoveFrom(last) == MoveTo(last))
    return false;
  int to = MoveTo(last);
  Bitboard beside = 0;
  if ((to & 7) > 0) beside |= SquareBit(to - 1);
  if ((to & 7) < 7) beside |= SquareBit(to + 1);
  return (beside & thread_board.Pieces[PAWN][thread_board.SideToMove]) != 0;
}

// Board pieces of a table piece code under the colour mirror.
static Bitboard PiecesOfCode(int code, int cmirror) {
  return thread_board.Pieces[tb_engine_type[(code & 7) - 1]][((code ^ cmirror) >> 3) & 1];
}

// Squares of pieces[from .. num - 1] in list order: the k-th occurrence of a
// code takes the k-th lowest square of its pieces. 0 when the board does not
// have them.
static int FillSquares(const uint8_t* pieces, int from, int num, int cmirror, int mirror, int* pos) {
  for (int i = from; i < num; i++) {
    int k = 0;
    for (int j = 0; j < i; j++) k += pieces[j] == pieces[i];
    Bitboard b = PiecesOfCode(pieces[i], cmirror);
    for (; k > 0 && b; k--) b &= b - 1;
    if (!b) return 0;
    pos[i] = LeastSignificantBit(b) ^ mirror;
  }
  return 1;
}

// The leading pawns into pos[0 ..], the one with the smallest slot first.
// Gives their number, 0 when the board does not match.
static int FillLeadingPawns(int lead_code, int count, int cmirror, int mirror, int* pos) {
  Bitboard b = PiecesOfCode(lead_code, cmirror);
  if (PopCount(b) != count) return 0;
  for (int i = 0; i < count; i++) pos[i] = PopLSB(&b) ^ mirror;
  int best = 0;
  for (int i = 1; i < count; i++)
    if (lead_pawn_index[pos[i]] < lead_pawn_index[pos[best]]) best = i;
  int t = pos[0];
  pos[0] = pos[best];
  pos[best] = t;
  return count;
}

// Which half and colour mirror serve the side to move.
struct Orientation {
  int cmirror, mirror, bside;
};
static Orientation Orient(const tb_entry* entry, uint64_t key) {
  int black = thread_board.SideToMove == BLACK;
  if (entry->symmetric) return {black ? 8 : 0, black ? 56 : 0, 0};
  if (key == entry->key) return {0, 0, black};
  return {8, 56, !black};
}

// Takes a material out of the hash for the rest of the registry's life.
static void ForgetTable(tb_entry* entry) {
  for (auto& bucket : tb_hash)
    for (auto& slot : bucket)
      if (slot.ptr == entry) slot = {0, nullptr};
}

static void ReportCorruptData(tb_entry* entry, uint64_t key, const char* suffix) {
  char name[TB_NAME_SIZE];
  make_tb_name(name, key != entry->key);
  printf("info string Corrupted data in %s%s; the table is not used.\n", name, suffix);
  fflush(stdout);
}

// Stored WDL of the current position (-2..2); *success 0 when there is none.
static int probe_wdl_table(int* success) {
  // 1. Two kings alone are a draw.
  if (thread_board.PieceTotal < 3) return 0;
  if (thread_board.PieceTotal > TBPIECES) {
    *success = 0;
    return 0;
  }
  // 2. The registered entry of the material.
  uint64_t key = calc_key(0);
  tb_hash_entry* slot = find_tb_slot(key);
  if (slot == nullptr || slot->ptr->num != thread_board.PieceTotal) {
    *success = 0;
    return 0;
  }
  tb_entry* entry = slot->ptr;
  // 3. Load the file on first use.
  if (!entry->ready) {
    TablebaseLock();
    if (!entry->ready) {
      char name[TB_NAME_SIZE];
      make_tb_name(name, key != entry->key);
      if (!init_table_wdl(entry, name)) {
        ForgetTable(entry);
        TablebaseUnlock();
        *success = 0;
        return 0;
      }
      std::atomic_thread_fence(std::memory_order_seq_cst);
      entry->ready = 1;
    }
    TablebaseUnlock();
  }
  // 4. Squares in the table's piece order, the index and the value.
  Orientation o = Orient(entry, key);
  int pos[TBPIECES];
  int value = -1;
  if (!entry->has_pawns) {
    tb_entry_piece* e = (tb_entry_piece*)entry;
    if (FillSquares(e->pieces[o.bside], 0, entry->num, o.cmirror, 0, pos)) {
      uint64_t idx = encode_piece(entry->num, e->enc_type, e->norm[o.bside], pos, e->factor[o.bside]);
      value = decompress_pairs(e->precomp[o.bside], idx);
    }
  } else {
    tb_entry_pawn* e = (tb_entry_pawn*)entry;
    int n = FillLeadingPawns(e->file[0].pieces[0][0], e->pawns[0], o.cmirror, o.mirror, pos);
    if (n > 0) {
      tb_pawn_file& file = e->file[file_fold[pos[0] & 7]];
      if (FillSquares(file.pieces[o.bside], n, entry->num, o.cmirror, o.mirror, pos)) {
        uint64_t idx = encode_pawn(entry->num, e->pawns[1] > 0, file.norm[o.bside], pos, file.factor[o.bside]);
        value = decompress_pairs(file.precomp[o.bside], idx);
      }
    }
  }
  if (value < 0 || value > 4) {
    ReportCorruptData(entry, key, ".rtbw");
    ForgetTable(entry);
    *success = 0;
    return 0;
  }
  return value - 2;
}

// Alpha-beta over the captures on WDL values; *success 2 when a capture
// decides (wins or reaches beta), 1 otherwise, 0 on failure.
static int probe_ab(int alpha, int beta, int* success) {
  if (!PlyRoom()) {
    *success = 0;
    return 0;
  }
  // 1. The captures (evasions in check).
  const int start = MoveStackTop, in_check = InCheck();
  if (in_check)
    GenerateEvasionsForProbe();
  else
    GenerateCaptures(thread_board.Colour[thread_board.SideToMove ^ 1]);
  const int end = MoveStackTop;
  // 2. Search the legal captures.
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (MoveCaptured(move) == 0 || !ProbeMoveLegal(move, in_check)) continue;
    MakeProbeMove(move);
    int v = -probe_ab(-beta, -alpha, success);
    UnmakeProbeMove();
    if (*success == 0) {
      MoveStackTop = start;
      return 0;
    }
    if (v > alpha) {
      if (v >= beta) {
        *success = 2;
        MoveStackTop = start;
        return v;
      }
      alpha = v;
    }
  }
  MoveStackTop = start;
  // 3. The table, unless a capture was at least as good.
  int v = probe_wdl_table(success);
  if (*success == 0) return 0;
  if (alpha >= v) {
    *success = alpha > 0 ? 2 : 1;
    return alpha;
  }
  *success = 1;
  return v;
}

// 1 when a legal move other than en passant is in the list, or (not in
// check) among the quiet moves.
static bool HasLegalNonEnPassant(int start, int end, int in_check) {
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (IsEnPassant(move)) continue;
    if (in_check || !LeavesKingInCheck(move)) return true;
  }
  if (in_check) return false;
  const int top = MoveStackTop;
  GenerateQuietMoves(1);
  bool found = false;
  for (int i = top; i < MoveStackTop && !found; i++) found = !LeavesKingInCheck(MoveStack[i].move);
  MoveStackTop = top;
  return found;
}

// Best value of the legal en-passant captures (-3 when there is none); the
// list of moves stays at start .. MoveStackTop.
static int BestEnPassant(int start, int in_check, int* success) {
  if (in_check) {
    GenerateEvasionsForProbe();
  } else {
    GenerateCaptures(thread_board.Colour[thread_board.SideToMove ^ 1]);
    GeneratePromotions();
  }
  const int end = MoveStackTop;
  int best = -3;
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (!IsEnPassant(move)) continue;
    MakeProbeMove(move);
    if (!in_check && MoverInCheck()) {
      UnmakeProbeMove();
      continue;
    }
    int v = -probe_ab(-2, 2, success);
    UnmakeProbeMove();
    if (*success == 0) return -3;
    if (v > best) best = v;
  }
  return best;
}

int probe_wdl(int* success) {
  // 1. Captures and the table.
  *success = 1;
  int v = probe_ab(-2, 2, success);
  // 2. En passant, which the tables leave out.
  if (!EnPassantPossible() || *success == 0) return *success ? v : 0;
  const int start = MoveStackTop, in_check = InCheck();
  int ep_best = BestEnPassant(start, in_check, success);
  if (*success == 0) {
    MoveStackTop = start;
    return 0;
  }
  // 3. Merge: the capture counts when it is better, or when it is forced.
  if (ep_best > -3) {
    if (ep_best >= v)
      v = ep_best;
    else if (v == 0 && !HasLegalNonEnPassant(start, MoveStackTop, in_check))
      v = ep_best;
  }
  MoveStackTop = start;
  return v;
}

// The DTZ entry of the current material from the cache, loaded on a miss.
static tb_entry* DtzEntry(uint64_t key) {
  // 1. Cached: move the slot to the front.
  for (int i = 0; i < DTZ_ENTRIES; i++) {
    if (dtz_table[i].entry == nullptr && dtz_table[i].key1 == 0) break;
    if (dtz_table[i].key1 == key || dtz_table[i].key2 == key) {
      dtz_table_entry hit = dtz_table[i];
      for (int j = i; j > 0; j--) dtz_table[j] = dtz_table[j - 1];
      dtz_table[0] = hit;
      return hit.entry;
    }
  }
  // 2. A miss: the WDL entry tells the name; a file that failed once is not
  // tried again.
  tb_hash_entry* slot = find_tb_slot(key);
  if (slot == nullptr || slot->ptr->dtz_failed) return nullptr;
  tb_entry* wdl = slot->ptr;
  int mirror = key != wdl->key;
  char name[TB_NAME_SIZE];
  make_tb_name(name, mirror);
  // 3. Drop the least recently used slot.
  free_dtz_entry(dtz_table[DTZ_ENTRIES - 1].entry);
  for (int j = DTZ_ENTRIES - 1; j > 0; j--) dtz_table[j] = dtz_table[j - 1];
  dtz_table[0] = {calc_key(mirror), calc_key(!mirror), nullptr};
  // 4. Map and parse the file.
  size_t bytes = wdl->has_pawns ? sizeof(dtz_entry_pawn) : sizeof(dtz_entry_piece);
  tb_entry* entry = (tb_entry*)calloc(1, bytes);
  if (entry == nullptr) return nullptr;
  entry->key = wdl->key;
  entry->num = wdl->num;
  entry->symmetric = wdl->symmetric;
  entry->has_pawns = wdl->has_pawns;
  if (wdl->has_pawns) {
    ((dtz_entry_pawn*)entry)->pawns[0] = ((tb_entry_pawn*)wdl)->pawns[0];
    ((dtz_entry_pawn*)entry)->pawns[1] = ((tb_entry_pawn*)wdl)->pawns[1];
  } else {
    ((dtz_entry_piece*)entry)->enc_type = ((tb_entry_piece*)wdl)->enc_type;
  }
  if (map_file(name, ".rtbz", &entry->data, &entry->size) <= 0 || !init_table_dtz(entry, name)) {
    free_dtz_entry(entry);
    wdl->dtz_failed = 1;
    return nullptr;
  }
  dtz_table[0].entry = entry;
  return entry;
}

// Raw DTZ of the current position from its table, given its WDL (not 0).
// *success -1 when the table stores only the other side to move.
static int probe_dtz_table(int wdl, int* success) {
  uint64_t key = calc_key(0);
  tb_entry* entry = thread_board.PieceTotal <= TBPIECES ? DtzEntry(key) : nullptr;
  if (entry == nullptr || entry->num != thread_board.PieceTotal) {
    *success = 0;
    return 0;
  }
  Orientation o = Orient(entry, key);
  int pos[TBPIECES];
  int res = -1, flags;
  const uint8_t* map;
  const uint16_t* map_idx;
  const uint8_t* map_len;
  if (!entry->has_pawns) {
    dtz_entry_piece* e = (dtz_entry_piece*)entry;
    flags = e->flags;
    if ((flags & 1) != o.bside && !entry->symmetric) {
      *success = -1;
      return 0;
    }
    map = e->map;
    map_idx = e->map_idx;
    map_len = e->map_len;
    if (FillSquares(e->pieces, 0, entry->num, o.cmirror, 0, pos)) {
      uint64_t idx = encode_piece(entry->num, e->enc_type, e->norm, pos, e->factor);
      res = decompress_pairs(e->precomp, idx);
    }
  } else {
    dtz_entry_pawn* e = (dtz_entry_pawn*)entry;
    int n = FillLeadingPawns(e->file[0].pieces[0], e->pawns[0], o.cmirror, o.mirror, pos);
    if (n == 0) {
      *success = 0;
      return 0;
    }
    int f = file_fold[pos[0] & 7];
    flags = e->flags[f];
    if ((flags & 1) != o.bside) {
      *success = -1;
      return 0;
    }
    map = e->map;
    map_idx = e->map_idx[f];
    map_len = e->map_len[f];
    if (FillSquares(e->file[f].pieces, n, entry->num, o.cmirror, o.mirror, pos)) {
      uint64_t idx = encode_pawn(entry->num, e->pawns[1] > 0, e->file[f].norm, pos, e->file[f].factor);
      res = decompress_pairs(e->file[f].precomp, idx);
    }
  }
  if (res >= 0 && (flags & 2)) {
    int list = wdl_to_map[wdl + 2];
    res = res < map_len[list] ? map[map_idx[list] + res] : -1;
  }
  if (res < 0) {
    ReportCorruptData(entry, key, ".rtbz");
    *success = 0;
    return 0;
  }
  if (!(flags & pa_flags[wdl + 2]) || (wdl & 1)) res *= 2;
  return res;
}

// The moves of the one-ply search: all of them (evasions in check).
static void GenerateAllProbeMoves(int in_check) {
  if (in_check) {
    GenerateEvasionsForProbe();
  } else {
    GenerateCaptures(thread_board.Colour[thread_board.SideToMove ^ 1]);
    GeneratePromotions();
    GenerateQuietMoves(1);
  }
}

// Winning side whose table half is not stored: the shortest win over the
// quiet piece moves (captures and pawn moves were tried before).
static int ShortestWin(int start, int end, int in_check, int* success) {
  int best = 0xFFFF;
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (MoveCaptured(move) || MovePiece(move) == PAWN || !ProbeMoveLegal(move, in_check)) continue;
    MakeProbeMove(move);
    int v = -probe_dtz(success);
    UnmakeProbeMove();
    if (*success == 0) return 0;
    if (v > 0 && v + 1 < best) best = v + 1;
  }
  *success = best < 0xFFFF;
  return *success ? best : 0;
}

// Losing side whose half is not stored: the longest defence over all moves.
static int LongestLoss(int wdl, int start, int end, int in_check, int* success) {
  int best = -1;
  bool any = false;
  for (int i = start; i < end; i++) {
    Move move = MoveStack[i].move;
    if (!ProbeMoveLegal(move, in_check)) continue;
    MakeProbeMove(move);
    if (!in_check && IsEnPassant(move) && MoverInCheck()) {
      UnmakeProbeMove();
      continue;
    }
    int v;
    if (thread_board.Rule50 == 0) {
      if (wdl == -2) {
        v = -1;
      } else {
        *success = 1;
        v = probe_ab(1, 2, success) == 2 ? 0 : -101;
      }
    } else {
      v = -probe_dtz(success) - 1;
    }
    UnmakeProbeMove();
    if (*success == 0) return 0;
    any = true;
    if (v < best) best = v;
  }
  // A mated side has no move and loses at once.
  *success = 1;
  return any ? best : -1;
}

static int probe_dtz_no_ep(int* success) {
  // 1. WDL with the captures resolved.
  int wdl = probe_ab(-2, 2, success);
  if (*success == 0) return 0;
  if (wdl == 0) return 0;
  // 2. A capture decides.
  if (*success == 2) return wdl == 2 ? 1 : 101;
  const int start = MoveStackTop, in_check = InCheck();
  // 3. Winning: a pawn push that keeps the win zeroes at once.
  if (wdl > 0) {
    GenerateAllProbeMoves(in_check);
    const int end = MoveStackTop;
    for (int i = start; i < end; i++) {
      Move move = MoveStack[i].move;
      if (MovePiece(move) != PAWN || MoveCaptured(move) || IsEnPassant(move) || !ProbeMoveLegal(move, in_check))
        continue;
      MakeProbeMove(move);
      int v = -probe_ab(-2, -wdl + 1, success);
      UnmakeProbeMove();
      if (*success == 0) {
        MoveStackTop = start;
        return 0;
      }
      if (v == wdl) {
        MoveStackTop = start;
        return v == 2 ? 1 : 101;
      }
    }
    MoveStackTop = start;
  }
  // 4. The table.
  *success = 1;
  int dtz = 1 + probe_dtz_table(wdl, success);
  if (*success == 0) return 0;
  if (*success > 0) {
    if (wdl & 1) dtz += 100;
    return wdl > 0 ? dtz : -dtz;
  }
  // 5. The other side is stored: one ply of search.
  GenerateAllProbeMoves(in_check);
  const int end = MoveStackTop;
  *success = 1;
  int v = wdl > 0 ? ShortestWin(start, end, in_check, success) : LongestLoss(wdl, start, end, in_check, success);
  MoveStackTop = start;
  return *success ? v : 0;
}

int probe_dtz(int* success) {
  // 1. Without en passant.
  *success = 1;
  int v = probe_dtz_no_ep(success);
  if (*success == 0) return 0;
  if (!EnPassantPossible()) return v;
  // 2. The en-passant captures.
  const int start = MoveStackTop, in_check = InCheck();
  int ep_best = BestEnPassant(start, in_check, success);
  if (*success == 0) {
    MoveStackTop = start;
    return 0;
  }
  // 3. Merge: the capture's value only where it is better for the side to move.
  if (ep_best > -3) {
    int e = wdl_to_dtz[ep_best + 2];
    if (v < -100)
      v = e >= 0 ? e : v;
    else if (v < 0)
      v = e != -1 ? e : v;
    else if (v > 100)
      v = e > 0 ? e : v;
    else if (v > 0)
      v = e == 1 ? e : v;
    else if (e >= 0)
      v = e;
    else if (!HasLegalNonEnPassant(start, MoveStackTop, in_check))
      v = e;
  }
  MoveStackTop = start;
  *success = 1;
  return v;
}
