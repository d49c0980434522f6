#include "search/thread_pool.h"

#include <new>
#include <thread>

#include "foundation/cpu_relax.h"
#include "search/engine.h"

namespace {

// The busy wait of the idle loop, in pauses (a pause takes some tens of
// nanoseconds). Most threads are booked again within a few tens of
// microseconds of leaving a split point, and nine in ten within two hundred,
// while a wake-up through the condition costs the booker a system call and
// the sleeper tens to hundreds of microseconds: a thread that has a core of
// its own waits busily for a few hundred microseconds. When the pool has more
// threads than the machine has cores, a busy thread would take the core from
// one that searches, so it waits busily only briefly.
constexpr int IdleSpinPauses = 9600;
constexpr int IdleSpinPausesSharedCores = 2000;
constexpr int IdlePausesPerTest = 32;

}  // namespace

SearchThread::SearchThread(int32_t threadIndex, ThreadPool* owner, Engine* owningEngine)
    : index(threadIndex),
      bit(uint64_t(1) << threadIndex),
      pool(owner),
      engine(owningEngine),
      evalParams(owningEngine ? &owningEngine->evalParams : nullptr),
      table(owningEngine ? &owningEngine->transpositionTable : nullptr) {}

// The thread must be gone before its mutex, condition and split points are.
SearchThread::~SearchThread() { stop(); }

void SearchThread::stop() {
    if (!started) return;
    mutex.lock();
    exitFlag.store(true, std::memory_order_relaxed);
    condition.signal();
    mutex.unlock();
    join();
}

void SearchThread::run() { idleLoop(nullptr); }

void SearchThread::idleLoop(SplitPoint* waitFor) {
    if (exitFlag.load(std::memory_order_relaxed)) return;
    for (;;) {
        if (working.load(std::memory_order_relaxed)) {
            // Booked (or our own split point): the booker set the split point
            // under the pool mutex before it set `working`.
            THREAD_PROFILE(const uint64_t begin = profileTicks();
                           profile.wakeTicks += begin - profile.bookedAt;)
            pool->lockSpinning();
            THREAD_PROFILE(profile.lockTicks += profileTicks() - begin;)
            SplitPoint* s = currentSplitPoint.load(std::memory_order_relaxed);
            pool->unlock();
            workAt(*s);
        }

        THREAD_PROFILE(const uint64_t waitBegin = profileTicks();
                       auto countWait = [&] {
                           const uint64_t end = profileTicks();
                           profile.countWait(double(end - waitBegin) / profileTicksPerMicro());
                           if (waitFor != nullptr) {
                               profile.masterWaitTicks += end - waitBegin;
                           } else {
                               const uint64_t from = waitBegin > profileSearchStart()
                                                         ? waitBegin : profileSearchStart();
                               if (end > from) profile.idleTicks += end - from;
                           }
                       };)
        // Wait busily first (see IdleSpinPauses).
        auto hasWork = [&] {
            return working.load(std::memory_order_relaxed) ||
                   exitFlag.load(std::memory_order_relaxed) ||
                   (waitFor != nullptr && waitFor->slaveMask.load(std::memory_order_relaxed) == 0);
        };
        for (int k = 0; k < pool->idleSpinPauses && !hasWork(); k += IdlePausesPerTest)
            for (int i = 0; i < IdlePausesPerTest; i++) cpuRelax();

        // Tested under our own mutex: whoever books us sets `working` before
        // it signals under this mutex, and the last thread to leave our split
        // point clears its bit before it does, so no wake-up is lost.
        mutex.lock();
        if (waitFor != nullptr && waitFor->slaveMask.load(std::memory_order_relaxed) == 0) {
            mutex.unlock();
            THREAD_PROFILE(countWait();)
            return;
        }
        if (!exitFlag.load(std::memory_order_relaxed) && !working.load(std::memory_order_relaxed)) {
            THREAD_PROFILE(profile.sleeps++;)
            condition.wait(mutex);  // a spurious wake-up just runs the loop again
        }
        mutex.unlock();
        THREAD_PROFILE(countWait();)

        if (exitFlag.load(std::memory_order_relaxed)) return;
    }
}

void ThreadPool::setThreadCount(int count) {
    threadCount = count <= 0 ? 1 : count > MaxSearchThreads ? MaxSearchThreads : count;
    createThreads();
}

void ThreadPool::createThreads() {
    if (!threads.empty()) destroyThreads();
    threads.reserve(size_t(threadCount));
    // Before any thread starts: they read it without a lock.
    const unsigned cores = std::thread::hardware_concurrency();
    idleSpinPauses = cores != 0 && unsigned(threadCount) > cores ? IdleSpinPausesSharedCores
                                                                  : IdleSpinPauses;

    mainThread = new SearchThread(0, this, engine);
    mainThread->handle = pthread_self();
    threads.push_back(mainThread);

    for (int i = 1; i < threadCount; i++) {
        SearchThread* thread = new SearchThread(int32_t(threads.size()), this, engine);
        if (thread->start(stackBytes)) {
            threads.push_back(thread);
        } else {
            // The failure is logged by start; a thread that does not run must
            // never be booked (the split point would wait for it forever), so
            // it does not join the pool.
            delete thread;
        }
    }
    // The game position evaluates with thread 0's tables; the old thread 0
    // is gone.
    if (engine != nullptr) engine->position.owner = mainThread;
}

void ThreadPool::destroyThreads() {
    for (size_t i = 0; i < threads.size(); i++) {
        SearchThread* thread = threads[i];
        if (i == 0) {
            thread->handle = pthread_t{};  // the calling thread: never joined
        } else {
            thread->stop();
            thread->handle = pthread_t{};
        }
        delete thread;
    }
    mainThread = nullptr;
    threads.clear();
}

bool ThreadPool::helperAvailable(const SearchThread& thread) const {
    for (const SearchThread* other : threads) {
        if (other->id == thread.id || other->working.load(std::memory_order_relaxed)) continue;
        // One read of the count: the thread may open or close a split point
        // meanwhile, and its newest one must be read with the count seen.
        const int count = other->splitPointCount.load(std::memory_order_relaxed);
        if (count == 0) return true;
        const SplitPoint& newest = other->splitPoints[count - 1];
        if (newest.slaveMask.load(std::memory_order_relaxed) & thread.bit) return true;
    }
    return false;
}

#if VORLIX_THREAD_PROFILE
#include <cstdio>

void ThreadPool::printProfile(uint64_t searchTicks, double nodes) const {
    std::printf("thread search%%  idle%% mwait%%  lock%%  splits  booked  stints moves/stint  sleeps"
                " wake_us\n");
    const double total = double(searchTicks);
    const double perMicro = profileTicksPerMicro();
    double searching = 0;
    for (const SearchThread* t : threads) {
        const ThreadProfile& p = t->profile;
        const double other = double(p.idleTicks + p.masterWaitTicks + p.lockTicks);
        searching += total - other;
        std::printf("%6d %7.1f %6.1f %6.1f %6.1f %7llu %7llu %7llu %11.1f %7llu %7.1f\n", t->index,
                    100.0 * (1.0 - other / total), 100.0 * double(p.idleTicks) / total,
                    100.0 * double(p.masterWaitTicks) / total, 100.0 * double(p.lockTicks) / total,
                    (unsigned long long)p.splits, (unsigned long long)p.booked,
                    (unsigned long long)p.stints,
                    p.stints ? double(p.splitMoves) / double(p.stints) : 0.0,
                    (unsigned long long)p.sleeps,
                    p.stints ? double(p.wakeTicks) / double(p.stints) / perMicro : 0.0);
        std::printf("       waits <10us %llu <50 %llu <100 %llu <200 %llu <500 %llu <1000 %llu"
                    " <2000 %llu longer %llu\n",
                    (unsigned long long)p.waitsByLength[0], (unsigned long long)p.waitsByLength[1],
                    (unsigned long long)p.waitsByLength[2], (unsigned long long)p.waitsByLength[3],
                    (unsigned long long)p.waitsByLength[4], (unsigned long long)p.waitsByLength[5],
                    (unsigned long long)p.waitsByLength[6], (unsigned long long)p.waitsByLength[7]);
    }
    std::printf("nodes per second of one searching thread: %.0f\n",
                nodes / (searching / perMicro / 1e6));
}
#endif
