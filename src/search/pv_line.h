#pragma once
// One line of the root search's multi-line output.

#include <cstdint>

#include "board/types.h"

constexpr int MaxPly = 128;  // per-ply arrays and the longest line
constexpr int MaxLines = 32;

struct PvLine {
    int32_t prevScore;  // score of the previous iteration, the centre of its window
    int32_t score;      // latest score
    int32_t depth;      // iteration (plies) that produced pv
    int32_t pvLength;   // valid moves in pv
    Move pv[MaxPly];
};
