#pragma once
// Shared set-up of the fuzz targets: the global tables the parsers need, a
// log that really formats every message, and scratch files for the readers
// that only take a file name.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/attacks.h"
#include "eval/eval_params.h"
#include "eval/weights.h"
#include "foundation/log.h"

namespace fuzz {

// A file of this process alone: libFuzzer's parallel jobs each get their own.
inline std::string scratchPath(const char* tag) {
    struct stat info;
    const char* dir = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/vorlix-fuzz-" + tag + "-" + std::to_string(getpid());
}

// The log of a fuzz process holds at most about this much: it is emptied
// between inputs once it has grown past it.
constexpr long LogBytesKept = 1L << 20;

// Every log level switched on, into a regular file of this process alone (the
// logger writes only to regular files), so that a message built from hostile
// text is formatted for real. The file leaves its directory as soon as it is
// open: nothing of it stays behind, however the process ends. False when the
// log could not be opened.
inline bool openSessionLog() {
    logger.close();
    logger.levels.clear();
    logger.textFormat = true;
    logger.enabled = true;
    logger.appendStandardLevels(0x7f);
    const std::string path = scratchPath("log");
    if (!logger.openFile(path)) return false;
    unlink(path.c_str());
    return true;
}

// Empties the log once it has passed LogBytesKept. Called between inputs,
// when no thread logs; every line is flushed as it is written, so nothing
// waits in the stream's buffer.
inline void trimSessionLog() {
    if (logger.file == nullptr || std::ftell(logger.file) <= LogBytesKept) return;
    std::rewind(logger.file);
    if (ftruncate(fileno(logger.file), 0) != 0) std::abort();
}

// Called before every input. The tables and the log are set up once per
// process; a process whose log does not open stops at once, since its
// sessions would skip every message.
inline void initOnce() {
    static const bool done = [] {
        initAttackTables();
        EvalParams builtIn{};
        initEvalWeights(builtIn, false);
        if (!openSessionLog()) {
            std::fprintf(stderr, "fuzz: the log %s cannot be opened\n", scratchPath("log").c_str());
            std::abort();
        }
        return true;
    }();
    (void)done;
    trimSessionLog();
}

// The input as a NUL-terminated string (an embedded NUL ends it early for
// the C-string readers, exactly as it would in a file line).
inline std::string asText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline bool writeScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = size == 0 || fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

}  // namespace fuzz
