// The piece-square tables: the packed per-square table that make and unmake
// sum into PstSum (board/pst.h), its unpacked halves, and the base tables
// behind them.
#include "eval/pst.h"

#include "board/pst.h"
#include "board/types.h"
#include "eval/packed.h"
#include "eval/params.h"

int16_t PieceSquareMg[8][2][64];
int16_t PieceSquareEg[8][2][64];
int32_t KingSquareShelter[64];

int16_t* const PieceSquareBaseMg[8] = {nullptr, PstKingMg, PstKnightMg, PstPawnMg,
                                       nullptr, PstRookMg, PstBishopMg, PstQueenMg};
int16_t* const PieceSquareBaseEg[8] = {nullptr, PstKingEg, PstKnightEg, PstPawnEg,
                                       nullptr, PstRookEg, PstBishopEg, PstQueenEg};

// A BLACK piece on s reads the base tables at s, a WHITE one at s ^ 56, so
// the two colours see the board from their own side.
void InitPieceSquareTables() {
  for (int code = 0; code < 8; code++) {
    for (int colour = WHITE; colour <= BLACK; colour++) {
      for (int square = 0; square < 64; square++) {
        int16_t mg = 0, eg = 0;
        if (PieceSquareBaseMg[code] != nullptr) {
          int base = colour == BLACK ? square : square ^ 56;
          mg = PieceSquareBaseMg[code][base];
          eg = PieceSquareBaseEg[code][base];
        }
        PieceSquareMg[code][colour][square] = mg;
        PieceSquareEg[code][colour][square] = eg;
        PieceSquareTables[code * 128 + colour * 64 + square] = PackPair(mg, eg);
      }
    }
  }
}

// The parameter value as an int16 table entry, saturated.
static int16_t ClampToInt16(int32_t value) {
  return (int16_t)(value < -32767 ? -32767 : value > 32767 ? 32767 : value);
}

// Spreads one half table (file a ranks 1..8, then files b, c, d, ranks from
// the owner's side) over a BLACK-view base table, mirroring files e..h.
static void ExpandHalfTable(const int32_t* half, int16_t* base) {
  for (int file = 0; file < 4; file++) {
    for (int rank = 0; rank < 8; rank++) {
      int16_t value = ClampToInt16(half[file * 8 + rank]);
      base[(7 - rank) * 8 + file] = value;
      base[(7 - rank) * 8 + 7 - file] = value;
    }
  }
}

// The half tables of PieceSquareParams follow the head (8 values) and the
// king-centre table (32 values) in this order.
void LoadPieceSquareBases() {
  static int16_t* const bases[12] = {PstKnightMg, PstKnightEg, PstKingMg,  PstKingEg,
                                     PstBishopMg, PstBishopEg, PstRookMg,  PstRookEg,
                                     PstQueenMg,  PstQueenEg,  PstPawnMg,  PstPawnEg};
  for (int t = 0; t < 12; t++) ExpandHalfTable(PieceSquareParams + 40 + 32 * t, bases[t]);
  // The shelter table is indexed from WHITE's side: rank r, file f is r * 8 + f.
  const int32_t* centre = PieceSquareParams + 8;
  for (int file = 0; file < 4; file++) {
    for (int rank = 0; rank < 8; rank++) {
      KingSquareShelter[rank * 8 + file] = centre[file * 8 + rank];
      KingSquareShelter[rank * 8 + 7 - file] = centre[file * 8 + rank];
    }
  }
}
