#include "app/tools/perft_suite.h"

#include <cinttypes>
#include <cstring>

#include "app/tools/tool_io.h"
#include "board/perft.h"
#include "foundation/log.h"
#include "search/engine.h"

namespace {

constexpr int DefaultSuiteDepth = 5;
constexpr const char* suiteName = "perft suite";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<std::string> scanPerftFields(const char* line) {
    enum { FenText, AfterSemicolon, DepthDigits, CountDigits };
    std::vector<std::string> fields;
    std::string slot;
    int state = FenText;
    size_t length = std::strlen(line);
    auto endSlot = [&]() {
        if (fields.size() < size_t(MaxPerftFields)) fields.push_back(slot);
        slot.clear();
    };
    for (size_t i = 0; i < length; i++) {
        char c = line[i];
        bool last = i + 1 == length;
        switch (state) {
            case FenText:
                if (c == ';') {
                    state = AfterSemicolon;
                    slot.clear();
                }
                break;
            case AfterSemicolon:
                if (c == 'D' || c == 'd') {
                    slot += c;
                    state = DepthDigits;
                }
                break;
            case DepthDigits:
                if (isDigit(c)) {
                    slot += c;
                } else if (c == ' ') {
                    slot += c;
                    state = CountDigits;
                }
                break;
            case CountDigits:
                if (c == ' ') {
                    endSlot();
                    state = FenText;
                } else if (c == ';') {
                    endSlot();
                    state = AfterSemicolon;
                } else {
                    if (isDigit(c)) slot += c;
                    // A line that ends inside a count still closes its field.
                    if (last) endSlot();
                }
                break;
        }
    }
    return fields;
}

std::string expectedPerftCount(const std::vector<std::string>& fields, int depth) {
    for (const std::string& field : fields) {
        // "D<depth> <count>": the depth digits run up to the blank.
        size_t blank = field.find(' ');
        if (field.size() < 2 || blank == std::string::npos || blank < 2) continue;
        if (blank > 10) continue;  // more digits than any depth
        long fieldDepth = std::strtol(field.c_str() + 1, nullptr, 10);
        if (fieldDepth == depth) return field.substr(blank + 1);
    }
    return std::string();
}

int runPerftSuiteFile(PerftRunner& runner, const char* fileName, int depth, FILE* out) {
    if (runner.engine == nullptr || runner.position == nullptr) {
        logger.log(LogError, "perft suite needs an initialised engine");
        return 0;
    }
    if (depth > MaxPerftDepth) {
        logger.log(LogError, "perft suite depth %d too large", depth);
        std::fprintf(stderr, "%s : depth %d too large (at most %d)\n", suiteName, depth, MaxPerftDepth);
        return 0;
    }
    FILE* file = tools::openInputFile(suiteName, fileName);
    if (file == nullptr) return 0;
    if (depth < 0) depth = DefaultSuiteDepth;
    if (depth == 0) {
        // Perft counts from depth 1; a zero depth would never reach a leaf.
        logger.log(LogWarning, "perft suite depth 0 raised to 1");
        depth = 1;
    }
    Engine& engine = *runner.engine;
    int score = 0;
    int lines = 0;
    tools::InputLines suiteLines(file, suiteName, fileName);
    while (char* line = suiteLines.next()) {
        tools::blankControlCharacters(line);
        std::vector<std::string> fields = scanPerftFields(line);
        engine.transpositionTable.clear();
        lines++;
        // A rejected FEN must fail its line rather than be counted on the
        // position the previous line left behind.
        if (!engine.setFen(line)) continue;
        runner.nodes = 0;
        runner.perft(depth);
        std::string expected = expectedPerftCount(fields, depth);
        char counted[24];
        std::snprintf(counted, sizeof counted, "%" PRIu64, runner.nodes);
        if (!expected.empty() && expected == counted) score++;
    }
    if (!tools::closeInputFile(file, suiteName, fileName)) return 0;
    std::fprintf(out, "score = %d / %d\n", score, lines);
    return 1;
}

int runPerftSuite(Engine& engine, const char* fileName, int depth, FILE* out) {
    engine.init(engine.settings.hashMb);
    engine.newGame();
    engine.bestMoveOwed = 0;
    const int result = runPerftSuiteFile(engine.perftRunner, fileName, depth, out);
    engine.release();
    return result;
}
