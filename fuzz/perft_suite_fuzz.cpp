// Perft-suite files: the field scan and the expected-count look-up of every
// line piece, then the whole suite run on one engine at depth 1 or 2 (a
// line's FEN set up, its leaves counted and compared).

#include <cstdio>
#include <cstring>

#include "app/tools/perft_suite.h"
#include "app/tools/tool_io.h"
#include "board/perft.h"
#include "fuzz_support.h"
#include "search/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::initOnce();
    if (size > 8192) return -1;

    // The scan alone, on the lines the suite reads (each whole).
    std::string line;
    for (size_t k = 0; k <= size; ++k) {
        const bool end = k == size;
        if (!end) line += char(data[k]);
        if (end || data[k] == '\n') {
            tools::blankControlCharacters(&line[0]);
            const std::vector<std::string> fields = scanPerftFields(line.c_str());
            if (fields.size() > size_t(MaxPerftFields)) __builtin_trap();
            for (int depth = -1; depth <= 3; ++depth) (void)expectedPerftCount(fields, depth);
            line.clear();
        }
    }

    // The suite itself, on one engine kept for the process.
    static Engine* engine = [] {
        Engine* e = new Engine();
        e->init(1);
        e->newGame();
        return e;
    }();
    static FILE* sink = std::fopen("/dev/null", "w");
    static const std::string path = fuzz::scratchPath("perftsuite");
    if (!fuzz::writeScratch(path, data, size)) return 0;
    const int depth = size > 0 && (data[size - 1] & 1) ? 2 : 1;
    if (runPerftSuiteFile(engine->perftRunner, path.c_str(), depth, sink) != 1) __builtin_trap();
    return 0;
}
