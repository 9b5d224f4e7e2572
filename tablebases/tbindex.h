// The index encoding of the tablebase positions: the tables built at start-up
// and the encoders.
#pragma once
#include <cstdint>
#include "tablebases/tbcore.h"

extern int32_t binomial[5][64];
extern int32_t pawn_index[5][24];
extern int32_t pawn_factor[5][4];
extern const uint8_t file_fold[8];
extern uint8_t lead_pawn_index[64];
void init_index_tables();
// Fills norm from the piece list; 0 when the list cannot be a valid table.
int set_norm_piece(int num, int enc_type, uint8_t* norm, const uint8_t* pieces);
int set_norm_pawn(int num, const uint8_t* pawns, uint8_t* norm, const uint8_t* pieces);
// Table size, 0 when the order nibbles do not fit the groups.
uint64_t calc_factors_piece(int32_t* factor, int num, int order, const uint8_t* norm, int enc_type);
uint64_t calc_factors_pawn(int32_t* factor, int num, int order, int order2, const uint8_t* norm, int file);
uint64_t encode_piece(int num, int enc_type, const uint8_t* norm, int* pos, const int32_t* factor);
uint64_t encode_pawn(int num, int second_pawns, const uint8_t* norm, int* pos, const int32_t* factor);
