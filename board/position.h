// The one position of the engine, the move stack, the game history and the
// operations that change the position (set-up helpers, make and unmake).
#pragma once
#include <cstdint>
#include "board/pawnentry.h"
#include "board/types.h"

// One move of a generated list: the word, its ordering score and its
// exchange-safety flag (1 safe, 0 losing, 32700 not yet known).
struct MoveEntry {
  uint32_t move;
  int32_t score;
  uint32_t flag;
};
static_assert(sizeof(MoveEntry) == 12, "MoveEntry is 12 bytes");

// What MakeMove saves of the position before a move; the rest is derived back
// from the move word by UnmakeMove.
#pragma pack(push, 4)
struct UndoRecord {
  uint64_t HashKey;
  int32_t Rule50;
  uint32_t move;
  uint32_t CastleFlags;
  int32_t MaterialIndex;
  int32_t PstSum;
};
#pragma pack(pop)
static_assert(sizeof(UndoRecord) == 28, "UndoRecord is 28 bytes");

// The position record. Every subsystem reads it directly.
struct ThreadBoard {
  int32_t EndgameScratch[2];   // scratch of the endgame evaluation
  int32_t Majors[2];           // rook 1, queen 2
  int32_t Minors[2];           // knights plus bishops
  int32_t PieceTotal;          // pieces on the board, kings included
  int32_t white_phase, black_phase, current_phase;  // written by the evaluation
  uint32_t CastleFlags;        // 1 K, 2 Q, 4 k, 8 q
  int32_t PstSum;              // packed pairs: BLACK entries minus WHITE entries
  int32_t MaterialIndex;       // material signature, MATERIAL_OUTSIDE when outside the table
  int32_t Rule50;              // half moves since the last capture or pawn move
  int32_t StopSearch;          // abort flag of the running search
  int32_t SideToMove;
  Bitboard Colour[2];
  Bitboard Pieces[8][2];       // by piece code and colour; entries 0 and 4 stay empty
  Bitboard Occupied;           // byte r is the occupancy of rank r
  uint32_t FileOcc[8];         // bit r: rank r of the file occupied
  uint32_t DiagH1A8Occ[16];    // diagonal file + rank, bit r: the square on rank r occupied
  uint32_t DiagA1H8Occ[16];    // diagonal file - rank + 7, bit r likewise
  int32_t KingSquare[2];
  Bitboard RookQueens;
  Bitboard BishopQueens;
  int32_t PieceCount[8][2];    // knights, pawns, rooks, bishops, queens
  uint32_t Board[64];          // piece code per square, 0 when empty
  Bitboard AllPawns;           // pawns of both colours, refreshed by the evaluation
  PawnHashEntry PawnBlock;     // current pawn result, also the one-entry pawn cache
  uint64_t HashKey;            // pieces only: no side, castling or en passant
  uint64_t PawnKey;            // pawns only
  int32_t Material[2];         // PieceValue sum without the king
  int32_t PieceUnits[2];       // knight 3, bishop 3, rook 5, queen 9
  uint16_t MaterialWeightSums[4];  // weighted piece counts: WHITE, BLACK by the first weights, then by the second
  int32_t CannotWin[2];        // set by the endgame evaluation
};

extern ThreadBoard thread_board;

extern MoveEntry MoveStack[MOVE_STACK_SIZE];
extern int32_t MoveStackTop;

extern UndoRecord GameHistory[GAME_HISTORY_SIZE];
extern int32_t GamePly;
// Lowest GamePly a take-back may return to. A FEN with an en-passant square
// starts the game at ply 1 with a made-up double step that cannot be undone.
extern int32_t GameStartPly;
// Records a long game keeps when it runs out of room: more than the longest
// reversible tail the repetition and fifty-move tests read back.
constexpr int GAME_KEEP_PLIES = 256;
// Drops the oldest records of the game so that only the last `keep` stay;
// the position and its tail are unchanged, only the dropped moves can no
// longer be taken back.
void DropOldestGamePlies(int keep);

extern const char PieceLetters[9];       // ".KNP?RBQ" by piece code
extern const char PromotionLetters[8];   // NUL, then "knp?rbq" by promotion code
extern const int32_t PieceValue[8];      // {0, 10000, 300, 100, 0, 500, 300, 900}
extern const int32_t MvvLvaValue[8];     // {0, 950, 300, 100, 0, 500, 300, 900}
extern const int32_t SeeWeight[8];       // {0, 200, 3, 1, 0, 5, 3, 9}
extern const uint8_t CastleMask[64];     // rights kept when a move touches the square

// Digit weight of one piece of a code and colour in the material index.
extern const int32_t MaterialWeight[8][2];

// Empties the position (side, rights and king squares are left to the caller).
void ClearBoard();
// Puts one piece on an empty square.
void AddPiece(int square, int colour, int code);
// Takes the piece off a square with everything AddPiece counted for it; an
// empty square stays as it is. A king leaves KingSquare to the caller.
void RemovePiece(int square);
// Recomputes MaterialIndex from the piece counts.
void IndexMaterial();
// Makes a pseudo-legal move of the side to move; saveState 0 means the undo
// record at GamePly already holds the current key, counters and sums.
void MakeMove(Move move, int saveState);
// Takes back the move recorded at GameHistory[GamePly - 1].
void UnmakeMove();
