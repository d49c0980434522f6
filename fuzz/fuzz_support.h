#pragma once
// Shared set-up of the fuzz targets: the global tables the parsers need, a
// log that really formats every message (into /dev/null), and scratch files
// for the readers that only take a file name.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "board/attacks.h"
#include "eval/eval_params.h"
#include "eval/weights.h"
#include "foundation/log.h"

namespace fuzz {

// Built once per process. Every log level is switched on and written to
// /dev/null, so a message built from hostile text is formatted for real.
inline void initOnce() {
    static const bool done = [] {
        initAttackTables();
        EvalParams builtIn{};
        initEvalWeights(builtIn, false);
        logger.textFormat = true;
        logger.appendStandardLevels(0x7f);
        logger.openFile("/dev/null");
        return true;
    }();
    (void)done;
}

// The input as a NUL-terminated string (an embedded NUL ends it early for
// the C-string readers, exactly as it would in a file line).
inline std::string asText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A file of this process alone: libFuzzer's parallel jobs each get their own.
inline std::string scratchPath(const char* tag) {
    struct stat info;
    const char* dir = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/vorlix-fuzz-" + tag + "-" + std::to_string(getpid());
}

inline bool writeScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = size == 0 || fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

}  // namespace fuzz
