#include "app/tools/search_limits.h"

#include <cstdint>
#include <cstdlib>

#include "foundation/build_config.h"
#include "search/engine.h"

namespace tools {

int clampHashMb(int megabytes) {
    if (megabytes < 1) return 1;
    if (megabytes > build::maxHashMb) return build::maxHashMb;
    return megabytes;
}

int clampThreadCount(int threads) {
    if (threads < 1) return 1;
    if (threads > MaxSearchThreads) return MaxSearchThreads;
    return threads;
}

void applyThreadCount(Engine& engine, int threads) {
    if (threads == engine.threadPool.threadCount) return;
    engine.threadPool.setThreadCount(threads);
    // The old main thread, whose pawn hash and history the position pointed
    // to, is gone.
    engine.position.owner = engine.threadPool.mainThread;
}

void setMoveTimeSeconds(Engine& engine, int seconds) {
    int64_t micros = int64_t(seconds < 1 ? 1 : seconds) * 1000000;
    engine.setLimits(MoveTime);
    engine.moveTime = micros > INT32_MAX ? INT32_MAX : int32_t(micros);
}

void setDepthLimit(Engine& engine, int depth) {
    engine.setLimits(Depth);
    engine.depthLimit = depth < 1 ? 1 : depth > MaxToolDepth ? MaxToolDepth : depth;
}

int readNumber(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return int(value);
}

}  // namespace tools
