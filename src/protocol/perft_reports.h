#pragma once
// The perft reports of the engine's game position, each line through
// sendToGui: the leaf count, the count split by the kind of the last move,
// and the count below each root move.

#include <cstdint>

#include "board/perft.h"

class Engine;

// Each report refuses a depth above MaxPerftDepth (board/perft.h): it then
// counts and sends nothing and returns false, and the caller says so in its
// own words. A depth below 1 counts one ply.
bool runPerft(Engine& engine, int depth);
bool runPerftDetailed(Engine& engine, int depth);
bool runDivide(Engine& engine, int depth);

// Leaves per second as the reports print it (16 ms when no time passed).
int perftSpeed(uint64_t leaves, double micros);
