#pragma once
// Endgame knowledge for positions with little material (game phase 8 or
// less): dead draws, king and pawn against king from the bitbase, king and
// rook or queen against king, and the scale that shrinks the score of
// drawish minor-piece endings.

#include <cstdint>

#include "eval/score_math.h"

struct Position;

// Bonus for driving the lone king towards a corner, by its square.
extern const int mateCorner[64];

// The scale a position keeps when no ending below applies, in 32nds.
constexpr int FullScale = scoremath::FullScale;

// Material signature of one ending: white's pawns, knights, bishops, rooks,
// queens, then black's (kings implied), in the position's 4-bit fields.
constexpr uint64_t materialSignatureOf(int wp, int wn, int wb, int wr, int wq, int bp, int bn,
                                       int bb, int br, int bq) {
    return uint64_t(wp) << 32 | uint64_t(wn) << 36 | uint64_t(wb) << 40 | uint64_t(wr) << 44 |
           uint64_t(wq) << 48 | uint64_t(bp) | uint64_t(bn) << 4 | uint64_t(bb) << 8 |
           uint64_t(br) << 12 | uint64_t(bq) << 16;
}

// Looks the position's exact material up. Returns true when the ending has a
// known score: finalScore is then the whole evaluation, from the side to
// move. Otherwise returns false and sets scale (FullScale, or 8, 4 or 2 for
// drawish endings). The caller checks the phase first.
bool probeEndgame(const Position& position, int& finalScore, int& scale);
