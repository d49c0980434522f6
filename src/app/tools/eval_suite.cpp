#include "app/tools/eval_suite.h"


#include "app/tools/tool_io.h"
#include "board/perft.h"
#include "eval/evaluate.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "search/engine.h"

namespace {

constexpr const char* suiteName = "eval suite";

}  // namespace

int runEvalSuite(PerftRunner& runner, const char* fileName, FILE* out) {
    if (runner.engine == nullptr || runner.position == nullptr ||
        runner.engine->threadPool.mainThread == nullptr) {
        logger.log(LogError, "eval suite needs an initialised engine");
        return 0;
    }
    FILE* file = tools::openInputFile(suiteName, fileName);
    if (file == nullptr) return 0;
    Engine& engine = *runner.engine;
    // The main search thread's pawn hash, as the "eval" command uses.
    PawnHashTable& pawnHash = engine.threadPool.mainThread->pawnHash;
    int32_t count = 0;
    Timer timer;
    timer.start();
    tools::InputLines lines(file, suiteName, fileName);
    while (char* line = lines.next()) {
        tools::blankControlCharacters(line);
        if (engine.setFen(line)) {
            int score = evaluate(engine.evalParams, *runner.position, pawnHash, -32000, 32000);
            std::fprintf(out, "%s ; eval %d\n", line, score);
        }
        count++;
    }
    if (!tools::closeInputFile(file, suiteName, fileName)) return 0;
    double elapsed = timer.elapsed();
    char duration[durationTextSize];
    formatDuration(duration, elapsed);
    std::fprintf(out, "\nTime : %s\n", duration);
    std::fprintf(out, "Speed : %d eval/s\n", tools::ratePerSecond(double(count), elapsed));
    return 1;
}
