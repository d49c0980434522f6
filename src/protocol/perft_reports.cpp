// The perft reports, each line through sendToGui: what the "perft",
// "perftd" and "divide" commands of both protocols and the perft tools print.

#include "protocol/perft_reports.h"

#include <cinttypes>

#include "board/perft.h"
#include "foundation/timer.h"
#include "protocol/gui_io.h"
#include "search/engine.h"

int perftSpeed(uint64_t leafCount, double micros) {
    const double speed = double(leafCount * 1000000ULL) / (micros == 0.0 ? 16000.0 : micros);
    // Narrowed as a float and then to an int; out-of-range values would be
    // undefined, so they are held at the ends.
    if (!(speed >= 0.0)) return 0;
    if (speed >= 2147483647.0) return 2147483647;
    return int(float(speed));
}

namespace {

// Times `count` alone, inside the caller's setting when there is one.
void runTimed(const CountSetting& setting, double& micros, const std::function<void()>& count) {
    const std::function<void()> timed = [&] {
        Timer timer;
        timer.start();
        count();
        micros = timer.elapsed();
    };
    if (setting) setting(timed);
    else timed();
}

void sendTime(Engine& engine, const char* format, double micros) {
    char text[durationTextSize];
    formatDuration(text, micros);
    sendToGui(engine, format, text);
}

// Counts the game position's tree with `count` (a depth below 1 is counted
// as 1, and reported as what was counted) and sends the depth, the leaves,
// the lines `details` sends, the time and the speed.
template <typename Count, typename Details>
PerftReport sendTimedCount(Engine& engine, int depth, const CountSetting& setting, Count count,
                           Details details) {
    PerftRunner& runner = engine.perftRunner;
    if (depth > MaxPerftDepth) return PerftReport::TooDeep;
    if (runner.position == nullptr) return PerftReport::Sent;  // the engine is not initialised
    depth = depth < 1 ? 1 : depth;
    double micros = 0;
    runTimed(setting, micros, [&] { count(runner, depth); });
    if (runner.stopped()) return PerftReport::Stopped;
    sendToGui(engine, "Depth %d", depth);
    sendToGui(engine, "Nodes = %" PRIu64, runner.nodes);
    details(runner);
    sendTime(engine, "Time = %s", micros);
    sendToGui(engine, "Speed = %d", perftSpeed(runner.nodes, micros));
    return PerftReport::Sent;
}

}  // namespace

PerftReport runPerft(Engine& engine, int depth, const CountSetting& setting) {
    return sendTimedCount(
        engine, depth, setting,
        [](PerftRunner& runner, int plies) {
            runner.nodes = 0;
            runner.perft(plies);
        },
        [](PerftRunner&) {});
}

PerftReport runPerftDetailed(Engine& engine, int depth, const CountSetting& setting) {
    return sendTimedCount(
        engine, depth, setting,
        [](PerftRunner& runner, int plies) {
            runner.nodes = runner.captures = runner.enPassant = runner.promotions = 0;
            runner.castles = runner.checks = runner.mates = 0;
            runner.perftDetailed(plies);
        },
        [&engine](PerftRunner& runner) {
            sendToGui(engine, "Nodes captures = %" PRIu64, runner.captures);
            sendToGui(engine, "Nodes e.p = %" PRIu64, runner.enPassant);
            sendToGui(engine, "Nodes check = %" PRIu64, runner.checks);
            sendToGui(engine, "Nodes mate = %" PRIu64, runner.mates);
            sendToGui(engine, "Nodes promotion = %" PRIu64, runner.promotions);
            sendToGui(engine, "Nodes castle = %" PRIu64, runner.castles);
        });
}

PerftReport runDivide(Engine& engine, int depth, const CountSetting& setting) {
    PerftRunner& runner = engine.perftRunner;
    if (depth > MaxPerftDepth) return PerftReport::TooDeep;
    if (runner.position == nullptr) return PerftReport::Sent;
    double micros = 0;
    runTimed(setting, micros, [&] {
        runner.allocateDivideEntries();
        runner.divideRootMoves(depth);
    });
    if (runner.stopped()) {
        runner.freeDivideEntries();
        return PerftReport::Stopped;
    }
    uint64_t total = 0;
    for (int k = 0; k < runner.divideCount; k++) {
        sendToGui(engine, "%10s : %" PRIu64, runner.divideEntries[k].text,
                  runner.divideEntries[k].count);
        total += runner.divideEntries[k].count;
    }
    sendToGui(engine, "\n     total : %" PRIu64, total);
    sendTime(engine, "\nTime = %s", micros);
    sendToGui(engine, "Speed = %d", perftSpeed(total, micros));
    runner.freeDivideEntries();
    return PerftReport::Sent;
}
