#include "app/tools/see_test.h"

#include <cstring>
#include <string>

#include "app/tools/tool_io.h"
#include "board/perft.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "search/engine.h"

namespace {

constexpr const char* toolName = "SEE test";

}  // namespace

int runSeeTest(PerftRunner& runner, const char* fileName, FILE* out) {
    if (runner.engine == nullptr || runner.position == nullptr) {
        logger.log(LogError, "SEE test needs an initialised engine");
        return 0;
    }
    FILE* file = tools::openInputFile(toolName, fileName);
    if (file == nullptr) return 0;
    Engine& engine = *runner.engine;
    Position& position = *runner.position;
    int32_t positions = 0;
    int32_t exchanges = 0;
    ScoredMove moves[MaxMoves];
    Timer timer;
    timer.start();
    tools::InputLines lines(file, toolName, fileName);
    while (char* line = lines.next()) {
        const size_t length = std::strlen(line);
        // Every "bm" opcode of the line sets up the text in front of it.
        for (size_t i = 0; i + 1 < length; i++) {
            if (line[i] != 'b' || line[i + 1] != 'm') continue;
            std::string fen(line, i);
            engine.transpositionTable.clear();
            if (!engine.setFen(fen.c_str())) continue;
            int count = position.generateLegalMoves(moves, position.inCheck());
            for (int k = 0; k < count; k++) (void)position.see(moves[k].move);
            positions++;
            exchanges += count;
        }
    }
    if (!tools::closeInputFile(file, toolName, fileName)) return 0;
    double elapsed = timer.elapsed();
    char duration[durationTextSize];
    formatDuration(duration, elapsed);
    std::fprintf(out, "Count positions = %d\n", positions);
    std::fprintf(out, "Count SEE = %d\n", exchanges);
    std::fprintf(out, "Time = %s\n", duration);
    std::fprintf(out, "Speed : %d SEE/s\n", tools::ratePerSecond(double(exchanges), elapsed));
    return 1;
}
