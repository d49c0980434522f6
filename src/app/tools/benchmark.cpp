#include "app/tools/benchmark.h"

#include <cinttypes>
#include <cstdint>

#include "app/tools/search_limits.h"
#include "app/tools/tool_io.h"
#include "foundation/build_config.h"
#include "foundation/regular_file.h"
#include "foundation/timer.h"
#include "protocol/console_listener.h"
#include "search/engine.h"

namespace {

constexpr int MaxBenchmarkDepth = 128;

}  // namespace

const std::vector<std::string>& benchmarkPositions() {
    static const std::vector<std::string> positions = {
        "r2qkbnr/ppp2p1p/2n5/3P4/2BP1pb1/2N2p2/PPPQ2PP/R1B2RK1 b kq -  ",
        "r2qkbnr/ppp2p1p/8/nB1P4/3P1pb1/2N2p2/PPPQ2PP/R1B2RK1 b kq - ",
        "r2qkbnr/pp3p1p/2p5/nB1P4/3P1Qb1/2N2p2/PPP3PP/R1B2RK1 b kq - ",
        "r2qkb1r/pp3p1p/2p2n2/nB1P4/3P1Qb1/2N2p2/PPP3PP/R1B1R1K1 b kq - ",
        "r2q1b1r/pp1k1p1p/2P2n2/nB6/3P1Qb1/2N2p2/PPP3PP/R1B1R1K1 b - - ",
        "r2q1b1r/p2k1p1p/2p2n2/nB6/3PNQb1/5p2/PPP3PP/R1B1R1K1 b - - ",
        "r2q1b1r/p2k1p1p/2p5/nB6/3Pn1Q1/5p2/PPP3PP/R1B1R1K1 b - - ",
        "r2q1b1r/p1k2p1p/2p5/nB6/3PR1Q1/5p2/PPP3PP/R1B3K1 b - - ",
        "r2q1b1r/p1k2p1p/8/np6/3PR3/5Q2/PPP3PP/R1B3K1 b - - ",
        "r4b1r/p1kq1p1p/8/np6/3P1R2/5Q2/PPP3PP/R1B3K1 b - - ",
        "r6r/p1kqbR1p/8/np6/3P4/5Q2/PPP3PP/R1B3K1 b - - ",
        "5r1r/p1kqbR1p/8/np6/3P1B2/5Q2/PPP3PP/R5K1 b - - ",
        "5r1r/p2qbR1p/1k6/np2B3/3P4/5Q2/PPP3PP/R5K1 b - - ",
        "5rr1/p2qbR1p/1k6/np2B3/3P4/2P2Q2/PP4PP/R5K1 b - - ",
        "5rr1/p2qbR1p/1kn5/1p2B3/3P4/2P2Q2/PP4PP/4R1K1 b - - ",
        "4qRr1/p3b2p/1kn5/1p2B3/3P4/2P2Q2/PP4PP/4R1K1 b - - ",
        "5qr1/p3b2p/1kn5/1p1QB3/3P4/2P5/PP4PP/4R1K1 b - - ",
        "5q2/p3b2p/1kn5/1p1QB1r1/P2P4/2P5/1P4PP/4R1K1 b - - ",
        "5q2/p3b2p/1kn5/3QB1r1/p1PP4/8/1P4PP/4R1K1 b - - ",
        "5q2/p3b2p/1k6/3QR1r1/p1PP4/8/1P4PP/6K1 b - - ",
        "5q2/p3b2p/1k6/4Q3/p1PP4/8/1P4PP/6K1 b - - ",
        "3q4/p3b2p/1k6/2P1Q3/p2P4/8/1P4PP/6K1 b - - ",
        "3q4/p3b2p/8/1kP5/p2P4/8/1P2Q1PP/6K1 b - - ",
        "3q4/p3b2p/8/2P5/pk1P4/3Q4/1P4PP/6K1 b - - ",
    };
    return positions;
}

std::vector<std::string> readBenchmarkFile(const std::string& fileName) {
    std::vector<std::string> positions;
    if (fileName.empty()) return positions;
    FILE* file = openRegularFile(fileName.c_str());
    if (file == nullptr) return positions;
    // Lines of fewer than 3 characters, the line feed counted, hold no position.
    tools::InputLines lines(file, "benchmark", fileName.c_str(), 3);
    while (const char* line = lines.next()) positions.push_back(line);
    // A file that fails part way is taken as one that cannot be read.
    if (std::ferror(file)) positions.clear();
    std::fclose(file);
    return positions;
}

int runBenchmark(Engine& engine, ConsoleListener& console, BenchmarkSettings settings,
                 FILE* out) {
    std::vector<std::string> positions = readBenchmarkFile(settings.fileName);
    // A file without a usable line would leave nothing to search and
    // nothing to average over; the built-in series stands in for it.
    if (positions.empty()) positions = benchmarkPositions();

    if (settings.value < 1) settings.value = 1;
    if (!settings.timeMode && settings.value > MaxBenchmarkDepth) settings.value = MaxBenchmarkDepth;
    settings.hashMb = tools::clampHashMb(settings.hashMb);
    settings.threads = tools::clampThreadCount(settings.threads);

    engine.init(settings.hashMb);
    tools::applyThreadCount(engine, settings.threads);
    engine.newGame();
    engine.toolMode = true;
    if (settings.timeMode) {
        tools::setMoveTimeSeconds(engine, settings.value);
    } else {
        tools::setDepthLimit(engine, settings.value);
    }
    console.muted = true;

    std::fprintf(out, "Hash table size : %d Mb\n", settings.hashMb);
    if (settings.timeMode) {
        std::fprintf(out, "Search time : %d s\n", settings.value);
    } else {
        std::fprintf(out, "Search depth : %d\n", settings.value);
    }
    std::fprintf(out, "Number of threads : %d\n", settings.threads);

    int count = int(positions.size());
    uint64_t nodeSum = 0;
    int depthSum = 0;
    int minDepth = 128;
    int maxDepth = 1;
    Timer timer;
    timer.start();
    for (int k = 0; k < count; k++) {
        std::fprintf(out, "position %d / %d\n", k + 1, count);
        std::fflush(out);
        engine.transpositionTable.clear();
        // A rejected position is searched where the previous one left off.
        engine.setFen(positions[size_t(k)].c_str());
        engine.think(0);
        nodeSum += console.nodes;
        depthSum += console.depth;
        if (console.depth < minDepth) minDepth = console.depth;
        if (console.depth > maxDepth) maxDepth = console.depth;
    }
    double elapsed = timer.elapsed();

    char duration[durationTextSize];
    formatDuration(duration, elapsed);
    std::fprintf(out, "Time : %.2f s (%s)\n", elapsed * 0.000001, duration);
    std::fprintf(out, "Nodes : %" PRIu64 "\n", nodeSum);
    std::fprintf(out, "Average speed : %d nodes/s\n", tools::nodesPerSecond(nodeSum, elapsed));
    if (settings.timeMode) {
        std::fprintf(out, "Average depth = %d, min = %d, max = %d", depthSum / count, minDepth,
                     maxDepth);
    }
    std::fflush(out);
    engine.release();
    return 1;
}
