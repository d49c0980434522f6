#pragma once
// The perft reports of the engine's game position, each line through
// sendToGui: the leaf count, the count split by the kind of the last move,
// and the count below each root move.

#include <cstdint>
#include <functional>

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

// Runs the count it is given, the count alone: the report is sent after it
// has returned. The protocols watch their input around it
// (protocol/count_watch.h); nothing is needed on the command line.
using CountSetting = std::function<void(const std::function<void()>& count)>;

// A depth below 1 counts one ply.
PerftReport runPerft(Engine& engine, int depth, const CountSetting& setting = nullptr);
PerftReport runPerftDetailed(Engine& engine, int depth, const CountSetting& setting = nullptr);
PerftReport runDivide(Engine& engine, int depth, const CountSetting& setting = nullptr);

// Leaves per second as the reports print it (16 ms when no time passed).
int perftSpeed(uint64_t leaves, double micros);
