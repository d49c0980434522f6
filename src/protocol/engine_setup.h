#pragma once
// Carrying the configured settings into the engine, as both interpreters do
// when they start (each in the order of its own start-up) and the UCI options
// do when the GUI changes them.

#include <cstdint>
#include <string>

#include "eval/eval_params.h"
#include "foundation/log.h"
#include "protocol/command_words.h"
#include "search/engine.h"

// Loads a personality file; once it is read, its speed limit becomes the
// engine's nodes-per-second limit. An unreadable file (the empty path
// included) leaves the built-in weights in force.
inline void loadPersonalityFile(Engine& e, const std::string& path) {
    if (e.evalParams.loadPersonality(path))
        e.npsLimit = uint64_t(clamp64(e.evalParams.values[EvalParams::ReduceSpeed], 0, INT32_MAX));
}

inline void loadConfiguredPersonality(Engine& e) {
    if (e.settings.usePersonality != 0) loadPersonalityFile(e, e.settings.personalityFile);
}

// A book that cannot be read switches the Book setting off.
inline void loadConfiguredBook(Engine& e) {
    EngineSettings& s = e.settings;
    if (s.book == 1 && !e.book.load(e, s.bookFile)) s.book = 0;
    e.book.selectivity = s.bookSelectivity;
}

// The pool clamps the count to 1..MaxSearchThreads. A new pool replaces
// thread 0's tables, with which the game position evaluates.
inline void useSearchThreads(Engine& e, int count) {
    logger.log(LogInfo, "Using %d threads", count);
    if (count != e.threadPool.threadCount) {
        e.threadPool.setThreadCount(count);
        e.position.owner = e.threadPool.mainThread;
    }
}

// The strength the UCI options ask for: UCI_Elo counts only while
// UCI_LimitStrength is on and no personality is in use (a personality sets
// its own). Otherwise, and at the top value 2700, the engine plays at full
// strength, whose only speed limit is a loaded personality's.
inline void applyUciStrength(Engine& e) {
    const EngineSettings& s = e.settings;
    if (s.useStrength != 0 && !s.personalityInUse && s.strengthElo < 2700) {
        e.setStrength(s.strengthElo);
        return;
    }
    e.setStrength(2700);
    e.npsLimit = e.evalParams.loaded
                     ? uint64_t(clamp64(e.evalParams.values[EvalParams::ReduceSpeed], 0, INT32_MAX))
                     : 0;
}

// Strength, pruning switches, threads and split depth: the configured
// defaults are the state the engine starts in.
inline void applyConfiguredSearchSettings(Engine& e) {
    EngineSettings& s = e.settings;
    if (s.useStrength != 0) e.setStrength(s.strengthElo);
    e.useNullMove = s.useNullMovePruning != 0;
    e.useLmr = s.useLmr != 0;
    useSearchThreads(e, s.maxThreads);
    e.threadPool.minSplitDepth = 2 * s.minSplitDepth;  // half plies
}
