#include "board/verify.h"

#include "board/position.h"
#include "board/pst.h"
#include "board/zobrist.h"

#include <initializer_list>

const char* PositionFault() {
  const ThreadBoard& b = thread_board;
  Bitboard colour[2] = {0, 0}, pieces[8][2] = {};
  uint32_t fileOcc[8] = {}, diagH1A8[16] = {}, diagA1H8[16] = {};
  int32_t counts[8][2] = {}, material[2] = {0, 0}, units[2] = {0, 0};
  int32_t majors[2] = {0, 0}, minors[2] = {0, 0}, total = 0;
  uint32_t pst = 0;
  uint64_t key = 0, pawnKey = 0;
  static const int32_t unitsOf[8] = {0, 0, 3, 0, 0, 5, 3, 9};
  static const int32_t majorsOf[8] = {0, 0, 0, 0, 0, 1, 0, 2};
  static const int32_t minorsOf[8] = {0, 0, 1, 0, 0, 0, 1, 0};

  for (int s = 0; s < 64; s++) {
    int code = (int)b.Board[s];
    int inWhite = (b.Colour[WHITE] >> s) & 1, inBlack = (b.Colour[BLACK] >> s) & 1;
    if (code == 0) {
      if (inWhite || inBlack) return "Colour (empty square)";
      continue;
    }
    if (code > 7 || code == 4) return "Board (bad code)";
    if (inWhite == inBlack) return "Colour (piece in no colour or both)";
    int c = inBlack ? BLACK : WHITE;
    colour[c] |= SquareBit(s);
    pieces[code][c] |= SquareBit(s);
    int f = s & 7, r = s >> 3;
    fileOcc[f] |= 1u << r;
    diagH1A8[f + r] |= 1u << r;
    diagA1H8[f - r + 7] |= 1u << r;
    counts[code][c]++;
    total++;
    if (code != KING) material[c] += PieceValue[code];
    units[c] += unitsOf[code];
    majors[c] += majorsOf[code];
    minors[c] += minorsOf[code];
    uint32_t v = (uint32_t)PieceSquareTables[code << 7 | c << 6 | s];
    pst = c == BLACK ? pst + v : pst - v;
    key ^= ZobristPieces[c][code][s];
    if (code == PAWN) pawnKey ^= ZobristPieces[c][PAWN][s];
  }

  for (int c = 0; c < 2; c++) {
    if (colour[c] != b.Colour[c]) return "Colour";
    for (int code = 1; code < 8; code++)
      if (pieces[code][c] != b.Pieces[code][c]) return "Pieces";
    for (int code : {KNIGHT, PAWN, ROOK, BISHOP, QUEEN})
      if (counts[code][c] != b.PieceCount[code][c]) return "PieceCount";
    if (counts[KING][c] != 1 || b.KingSquare[c] < 0 || b.KingSquare[c] > 63 ||
        b.Board[b.KingSquare[c]] != KING || !((colour[c] >> b.KingSquare[c]) & 1))
      return "KingSquare";
    if (material[c] != b.Material[c]) return "Material";
    if (units[c] != b.PieceUnits[c]) return "PieceUnits";
    if (majors[c] != b.Majors[c]) return "Majors";
    if (minors[c] != b.Minors[c]) return "Minors";
  }
  if ((colour[WHITE] | colour[BLACK]) != b.Occupied) return "Occupied";
  for (int i = 0; i < 8; i++)
    if (fileOcc[i] != b.FileOcc[i]) return "FileOcc";
  for (int i = 0; i < 16; i++) {
    if (diagH1A8[i] != b.DiagH1A8Occ[i]) return "DiagH1A8Occ";
    if (diagA1H8[i] != b.DiagA1H8Occ[i]) return "DiagA1H8Occ";
  }
  Bitboard rooks = pieces[ROOK][0] | pieces[ROOK][1], bishops = pieces[BISHOP][0] | pieces[BISHOP][1];
  Bitboard queens = pieces[QUEEN][0] | pieces[QUEEN][1];
  if ((rooks | queens) != b.RookQueens) return "RookQueens";
  if ((bishops | queens) != b.BishopQueens) return "BishopQueens";
  if (total != b.PieceTotal) return "PieceTotal";
  if ((int32_t)pst != b.PstSum) return "PstSum";
  if (key != b.HashKey) return "HashKey";
  if (pawnKey != b.PawnKey) return "PawnKey";

  int32_t index = 0;
  bool outside = false;
  static const int32_t weights[8][2] = {
      {0, 0}, {0, 0}, {729, 2187}, {6561, 59049}, {0, 0}, {9, 27}, {81, 243}, {1, 3}};
  for (int c = 0; c < 2; c++) {
    for (int code : {KNIGHT, ROOK, BISHOP, QUEEN}) {
      if (counts[code][c] > 2) outside = true;
      index += counts[code][c] * weights[code][c];
    }
    if (counts[PAWN][c] > 8) outside = true;
    index += counts[PAWN][c] * weights[PAWN][c];
  }
  if (outside ? b.MaterialIndex != MATERIAL_OUTSIDE : b.MaterialIndex != index) return "MaterialIndex";
  if (b.CastleFlags > 15) return "CastleFlags";
  return nullptr;
}
