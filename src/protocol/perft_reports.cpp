// The perft reports, each line through sendToGui: what the "perft",
// "perftd" and "divide" commands of both protocols and the perft tools print.

#include "protocol/perft_reports.h"

#include <sys/time.h>

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

double microsSince(const timeval& start) {
    timeval now;
    gettimeofday(&now, nullptr);
    return double(now.tv_sec - start.tv_sec) * 1000000.0 + double(now.tv_usec - start.tv_usec);
}

void sendTime(Engine& engine, const char* format, double micros) {
    char text[durationTextSize];
    formatDuration(text, micros);
    sendToGui(engine, format, text);
}

}  // namespace

void runPerft(Engine& engine, int depth) {
    PerftRunner& runner = engine.perftRunner;
    if (runner.position == nullptr) return;  // the engine is not initialised
    // A depth below 1 is counted as 1, and reported as what was counted.
    depth = depth < 1 ? 1 : depth;
    runner.nodes = 0;
    timeval start;
    gettimeofday(&start, nullptr);
    runner.perft(depth);
    const double micros = microsSince(start);
    sendToGui(engine, "Depth %d", depth);
    sendToGui(engine, "Nodes = %" PRIu64, runner.nodes);
    sendTime(engine, "Time = %s", micros);
    sendToGui(engine, "Speed = %d", perftSpeed(runner.nodes, micros));
}

void runPerftDetailed(Engine& engine, int depth) {
    PerftRunner& runner = engine.perftRunner;
    if (runner.position == nullptr) return;
    runner.nodes = runner.captures = runner.enPassant = runner.promotions = 0;
    runner.castles = runner.checks = runner.mates = 0;
    depth = depth < 1 ? 1 : depth;
    timeval start;
    gettimeofday(&start, nullptr);
    runner.perftDetailed(depth);
    const double micros = microsSince(start);
    sendToGui(engine, "Depth %d", depth);
    sendToGui(engine, "Nodes = %" PRIu64, runner.nodes);
    sendToGui(engine, "Nodes captures = %" PRIu64, runner.captures);
    sendToGui(engine, "Nodes e.p = %" PRIu64, runner.enPassant);
    sendToGui(engine, "Nodes check = %" PRIu64, runner.checks);
    sendToGui(engine, "Nodes mate = %" PRIu64, runner.mates);
    sendToGui(engine, "Nodes promotion = %" PRIu64, runner.promotions);
    sendToGui(engine, "Nodes castle = %" PRIu64, runner.castles);
    sendTime(engine, "Time = %s", micros);
    sendToGui(engine, "Speed = %d", perftSpeed(runner.nodes, micros));
}

void runDivide(Engine& engine, int depth) {
    PerftRunner& runner = engine.perftRunner;
    if (runner.position == nullptr) return;
    Timer timer;
    timer.start();
    runner.allocateDivideEntries();
    runner.divideRootMoves(depth);
    const double micros = timer.elapsed();
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
}
