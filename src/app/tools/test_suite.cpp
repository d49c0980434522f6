#include "app/tools/test_suite.h"

#include <cinttypes>
#include <string>
#include <vector>

#include "app/tools/epd_line.h"
#include "app/tools/san_text.h"
#include "app/tools/tool_io.h"
#include "board/notation.h"
#include "board/perft.h"
#include "foundation/build_config.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "protocol/console_listener.h"
#include "search/engine.h"

namespace {

constexpr const char* suiteName = "test suite";

struct SuiteTotals {
    int32_t positions = 0;
    int32_t correct = 0;
    uint64_t nodes = 0;
    int32_t depthSum = 0;
    int32_t minDepth = 1024;
    int32_t maxDepth = 0;
    std::vector<std::string> failed;
};

// Searches one parsed line; the line itself is kept as read for the list of
// failures.
void runLine(Engine& engine, const ConsoleListener& console, const char* line,
             const EpdLine& epd, SuiteTotals& totals, FILE* out) {
    engine.transpositionTable.clear();
    if (!engine.setFen(epd.position.c_str())) {
        std::fprintf(out, "ERROR : bad FEN !\n");
        totals.failed.push_back(line);
        return;
    }
    ScoredMove moves[MaxMoves];
    int moveCount = engine.position.generateMoves(moves, engine.position.inCheck());
    if (moveCount == 0) {
        totals.failed.push_back(line);
        return;
    }
    engine.think(0);
    if (engine.gameHistory.empty()) {
        std::fprintf(out, "no result !");
        totals.failed.push_back(line);
        return;
    }
    totals.nodes += console.nodes;
    Move played = engine.gameHistory.back().move;
    char san[SanBufferSize];
    char longText[16];
    formatSan(played, moves, moveCount, san);
    formatMoveLong(played, longText);
    bool found = expectedMovesContain(epd.expectedMoves, san, longText);
    bool correct = epd.opcode == 'b' ? found : !found;
    if (correct) {
        std::fprintf(out, "result => '%s' : ok\n", san);
        totals.correct++;
    } else {
        std::fprintf(out, "result => '%s' : bad\n", san);
        totals.failed.push_back(line);
    }
    int depth = console.depth;
    totals.depthSum += depth;
    if (depth < totals.minDepth) totals.minDepth = depth;
    if (depth > totals.maxDepth) totals.maxDepth = depth;
}

}  // namespace

int runTestSuite(PerftRunner& runner, const ConsoleListener& console, const char* fileName,
                 FILE* out) {
    if (runner.engine == nullptr || runner.position == nullptr) {
        logger.log(LogError, "test suite needs an initialised engine");
        return 0;
    }
    FILE* file = tools::openInputFile(suiteName, fileName);
    if (file == nullptr) return 0;
    Engine& engine = *runner.engine;
    engine.toolMode = true;
    std::fprintf(out, "%s version %s\n\n", build::engineName, build::engineVersion);
    std::fprintf(out, "Test suite : %s\n\n", fileName);
    std::fflush(out);
    Timer timer;
    timer.start();
    SuiteTotals totals;
    tools::InputLines lines(file, suiteName, fileName);
    while (char* line = lines.next()) {
        EpdLine epd;
        if (parseEpdLine(line, epd)) {
            std::fprintf(out, "%s\n", std::string(79, '-').c_str());
            std::fprintf(out, "%s %cm %s; id %s;\n\n", epd.position.c_str(), epd.opcode,
                         epd.expectedMoves.c_str(), epd.identifier.c_str());
            // The search prints its thinking lines on standard output.
            std::fflush(out);
            runLine(engine, console, line, epd, totals, out);
        }
        totals.positions++;
    }
    if (!tools::closeInputFile(file, suiteName, fileName)) {
        engine.toolMode = false;
        return 0;
    }
    double elapsed = timer.elapsed();

    if (totals.positions > 0) {
        char duration[durationTextSize];
        formatDuration(duration, elapsed);
        std::fprintf(out, "\nTime : %s\n", duration);
        std::fprintf(out, "\nTotal nodes = %" PRIu64 ", Speed %d\n", totals.nodes,
                     tools::nodesPerSecond(totals.nodes, elapsed));
        std::fprintf(out, "\nDepth min = %u, max = %u, average = %u\n", unsigned(totals.minDepth),
                     unsigned(totals.maxDepth), unsigned(totals.depthSum / totals.positions));
        std::fprintf(out, "\nScore = %d / %d\n", totals.correct, totals.positions);
        std::fprintf(out, "\nBad results : \n\n");
        for (const std::string& failed : totals.failed) std::fprintf(out, "%s", failed.c_str());
    }
    engine.toolMode = false;
    return 1;
}
