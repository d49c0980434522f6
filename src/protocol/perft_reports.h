#pragma once
// The perft reports of the engine's game position, each line through
// sendToGui: the leaf count, the count split by the kind of the last move,
// and the count below each root move.

#include <cstdint>

class Engine;

void runPerft(Engine& engine, int depth);
void runPerftDetailed(Engine& engine, int depth);
void runDivide(Engine& engine, int depth);

// Leaves per second as the reports print it (16 ms when no time passed).
int perftSpeed(uint64_t leaves, double micros);
