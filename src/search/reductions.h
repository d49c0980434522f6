#pragma once
// Tables of the late-move rules, filled by engine initialisation before any
// search runs and only read afterwards, by every thread.

#include <cstdint>

// Reduction in plies by [min(depth in plies, 63)][min(move count, 63)].
extern int32_t lmrTable[64][64];
// Moves searched before late-move pruning starts, by depth in plies.
extern int32_t lateMoveCount[16];

// Fills both tables; the same values on every call.
void initReductionTables();
