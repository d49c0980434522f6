#pragma once
// The search threads and the pool that owns them. The calling thread is
// thread 0 and runs the root search; the others sleep until work is handed to
// them. Work sharing itself is built on top of these objects.

#include <atomic>
#include <cstdint>
#include <vector>

#include "board/types.h"
#include "eval/pawns.h"
#include "foundation/mutex.h"
#include "foundation/thread.h"
#include "search/pv_line.h"

class Engine;
struct EvalParams;
struct TranspositionTable;
struct ThreadPool;
struct SplitPoint;

constexpr int MaxSearchThreads = 64;

struct SearchThread : public Thread {
    Mutex mutex;
    Condition condition;  // the thread sleeps on it while it has no work
    int32_t index;        // position in the pool, 0 for the main thread
    uint64_t bit;         // 1 << index
    ThreadPool* pool;
    Engine* engine;
    const EvalParams* evalParams;
    TranspositionTable* table;
    SplitPoint* currentSplitPoint = nullptr;
    std::atomic<bool> working{false};
    std::atomic<int32_t> splitPointCount{0};
    // Nodes searched in the current search; summed by the node limit while
    // this thread counts on.
    std::atomic<uint64_t> nodes{0};
    Move killers[MaxPly][2] = {};
    uint16_t history[2][8][64] = {};  // [colour][piece type][to square]
    PawnHashTable pawnHash{};

    SearchThread(int32_t threadIndex, ThreadPool* owner, Engine* owningEngine);
    ~SearchThread() override;
    void run() override;

    // Sleeps until told to exit.
    void idleLoop();
};

// The pool mutex is the pool itself.
struct ThreadPool : public Mutex {
    Engine* engine = nullptr;
    SearchThread* mainThread = nullptr;
    std::vector<SearchThread*> threads;  // in index order, thread 0 first
    int32_t threadCount = 1;

    ThreadPool() = default;
    ~ThreadPool() override { destroyThreads(); }

    // Clamps the count to 1..64 and recreates the threads.
    void setThreadCount(int count);
    // Destroys any threads, then makes thread 0 for the calling thread and
    // starts threads 1 .. threadCount - 1. A thread that cannot be started is
    // left out of the pool, so no work is ever handed to it.
    void createThreads();
    // Deletes thread 0 (the caller, not stopped) and stops, joins and deletes
    // the others.
    void destroyThreads();
};
