#include "app/tools/tool_io.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "foundation/log.h"
#include "foundation/regular_file.h"

namespace tools {

namespace {

void reportUnreadable(const char* tool, const char* fileName, const char* reason) {
    std::fprintf(stderr, "%s : cannot read %s (%s)\n", tool, fileName, reason);
    std::fflush(stderr);
}

}  // namespace

FILE* openInputFile(const char* tool, const char* fileName) {
    int reason = 0;
    FILE* file = openRegularFile(fileName, &reason);
    if (file == nullptr) {
        logger.log(LogError, "file not found : %s", fileName);
        reportUnreadable(tool, fileName, fileErrorText(reason));
    }
    return file;
}

bool closeInputFile(FILE* file, const char* tool, const char* fileName) {
    const int reason = errno;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        logger.log(LogError, "error reading file : %s", fileName);
        reportUnreadable(tool, fileName, reason != 0 ? std::strerror(reason) : "read error");
    }
    return !failed;
}

InputLines::InputLines(FILE* file, const char* tool, const char* fileName, size_t minimumLength)
    : reader(file, MaxLineLength), tool(tool), fileName(fileName), minimumLength(minimumLength) {}

char* InputLines::next() {
    while (reader.next()) {
        if (reader.cut()) {
            logger.log(LogError, "line %ld of %s is longer than %zu characters, skipped",
                       reader.number(), fileName, MaxLineLength);
            std::fprintf(stderr, "%s : line %ld of %s is longer than %zu characters, skipped\n", tool,
                         reader.number(), fileName, MaxLineLength);
            std::fflush(stderr);
            continue;
        }
        // Measured as the tools always have: up to a NUL byte, if the line
        // holds one.
        if (std::strlen(reader.text()) >= minimumLength) return reader.text();
    }
    return nullptr;
}

void blankControlCharacters(char* line) {
    for (unsigned char* c = reinterpret_cast<unsigned char*>(line); *c != 0; c++) {
        if (*c < 0x20 || *c >= 0x80) *c = ' ';
    }
}

namespace {

// A quotient outside the int range (or not a number) would make the
// conversion undefined, so it is pinned to the nearest representable speed.
int32_t truncateSpeed(double speed) {
    if (!(speed > 0.0)) return 0;
    if (speed >= 2147483647.0) return INT32_MAX;
    return int32_t(speed);
}

}  // namespace

int32_t ratePerSecond(double count, double micros) {
    if (!(micros > 0.0)) return 0;
    return truncateSpeed(count / (micros * 0.000001));
}

int32_t nodesPerSecond(uint64_t nodes, double micros) {
    if (!(micros > 0.0)) return 0;
    float speed = float(double(nodes * 1000000ULL) / micros);
    return truncateSpeed(double(speed));
}

}  // namespace tools
