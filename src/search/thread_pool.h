#pragma once
// The search threads and the pool that owns them. The calling thread is
// thread 0 and runs the root search; the others sleep on their own condition
// until a searching thread books them for a split point, and go back to sleep
// when they leave it. A master waiting for the threads that help it sleeps in
// the same loop, where one of them may book it in turn.
//
// Lock order: the pool mutex, then a split point's mutex, then a thread's own
// mutex; a thread waits on its condition holding only its own mutex. Words of
// one thread that others read without a lock (working, splitPointCount, nodes)
// are relaxed atomics.

#include <atomic>
#include <cstdint>
#include <vector>

#include "board/types.h"
#include "eval/pawns.h"
#include "foundation/kept_blocks.h"
#include "foundation/mutex.h"
#include "foundation/thread.h"
#include "search/pv_line.h"
#include "search/split_point.h"
#include "search/thread_profile.h"

class Engine;
struct EvalParams;
struct TranspositionTable;
struct ThreadPool;

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
    // The split point the thread was last booked on, or works at as master.
    // Changed by others only while the thread is not working, under the pool
    // mutex. This line is read by others looking for help; the node counter
    // below, written at every node, keeps a line of its own.
    alignas(64) std::atomic<SplitPoint*> currentSplitPoint{nullptr};
    std::atomic<bool> working{false};  // booked on a split point, or searching as master
    std::atomic<int32_t> splitPointCount{0};  // active split points this thread is master of
    // Nodes searched in the current search; summed by the node limit while
    // this thread counts on.
    alignas(64) std::atomic<uint64_t> nodes{0};
    SplitPoint splitPoints[MaxSplitPointsPerThread];  // a stack: the newest is [splitPointCount - 1]
    alignas(64) Move killers[MaxPly][2] = {};
    uint16_t history[2][8][64] = {};  // [colour][piece type][to square]
    PawnHashTable pawnHash{};
    THREAD_PROFILE(ThreadProfile profile;)

    SearchThread(int32_t threadIndex, ThreadPool* owner, Engine* owningEngine);
    ~SearchThread() override;
    // The record is megabytes (the pawn table) and every engine
    // initialisation makes it again: its storage is kept for the next one
    // (foundation/kept_blocks.h).
    static void* operator new(size_t bytes) { return newKept<SearchThread>(bytes); }
    static void operator delete(void* record, size_t bytes) { deleteKept<SearchThread>(record, bytes); }
    void run() override;

    // The thread's work loop: works at the split point it is booked on,
    // sleeps while it has no work, returns when told to exit. A master calls
    // it with its own new split point `waitFor` and returns once every thread
    // has left that split point.
    void idleLoop(SplitPoint* waitFor);

    // One stint at split point `s` (booked, or s's master): searches the
    // node's moves in a fresh context on this thread's stack until none are
    // left, a cut-off or a stop, then leaves `s`.
    void workAt(SplitPoint& s);

    // Stops a thread that still runs: wakes it with the exit flag set and
    // joins it. Nothing happens for a thread that never started.
    void stop();
};

// The pool mutex is the pool itself.
struct ThreadPool : public Mutex {
    // The mutex is written at every split and every stint; the fields, read
    // at every node deep enough to split, keep lines of their own.
    alignas(64) Engine* engine = nullptr;
    SearchThread* mainThread = nullptr;
    std::vector<SearchThread*> threads;  // in index order, thread 0 first
    int32_t threadCount = 1;
    // Nodes deeper than this many half plies may be split (twice the minimum
    // split depth in plies; the protocols set it from MinSplitDepth).
    int32_t minSplitDepth = 8;
    // Stack of every helper thread (4 MB; a parameter only so that a failed
    // creation can be exercised).
    size_t stackBytes = threadStackBytes;
    // How long an idle thread waits busily before it sleeps (pauses); set by
    // createThreads from the number of threads and cores.
    int idleSpinPauses = 0;

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

    // True when another thread could help `thread` now: one that is not
    // working and either masters no split point or waits at one where
    // `thread` works (so it helps the thread that helps it). Reads without
    // the pool mutex; a stale answer costs at most a missed or empty booking.
    bool helperAvailable(const SearchThread& thread) const;

    THREAD_PROFILE(void printProfile(uint64_t searchTicks, double nodes) const;)

    // Threads in the pool (those that failed to start are never in it).
    int size() const { return int(threads.size()); }
};
