#pragma once
// The perft reports of the engine's game position, each line through
// sendToGui: the leaf count, the count split by the kind of the last move,
// and the count below each root move.

#include <cstdint>

#include "board/perft.h"

class Engine;

enum class PerftReport {
    Sent,
    // A depth above MaxPerftDepth (board/perft.h): nothing was counted or
    // sent, and the caller says so in its own words.
    TooDeep,
    // The count was ended early (PerftRunner::stopRequested): what it had
    // counted is not the tree's, so nothing was sent.
    Stopped,
};

// A depth below 1 counts one ply.
PerftReport runPerft(Engine& engine, int depth);
PerftReport runPerftDetailed(Engine& engine, int depth);
PerftReport runDivide(Engine& engine, int depth);

// Leaves per second as the reports print it (16 ms when no time passed).
int perftSpeed(uint64_t leaves, double micros);
