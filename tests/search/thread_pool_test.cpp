// The thread pool: who may help whom, threads that fail to start, and
// sleeping threads told to exit.

#include <gtest/gtest.h>

#include <cstdint>

#include "root_test_support.h"
#include "support/log_capture.h"

namespace {

using root_test::EngineWithThreads;

TEST(ThreadPool, OneThreadNeverHasHelp) {
    EngineWithThreads fixture(1);
    Engine& engine = *fixture.engine;
    EXPECT_FALSE(engine.threadPool.helperAvailable(*engine.threadPool.mainThread));
    engine.depthLimit = 5;
    engine.threadPool.minSplitDepth = 0;
    engine.think(0);
    EXPECT_EQ(engine.threadPool.mainThread->splitPointCount.load(), 0);
    EXPECT_EQ(engine.threadPool.mainThread->currentSplitPoint.load(), nullptr);
}

// A thread with no split point helps anybody; one waiting at its own split
// point helps only a thread that works there; a working thread helps nobody.
// (Threads that are never started, so that their fields can be set freely.)
TEST(ThreadPool, HelpersAreIdleThreadsOrMastersOfTheAsker) {
    ThreadPool pool;
    for (int i = 0; i < 3; i++) pool.threads.push_back(new SearchThread(i, &pool, nullptr));
    SearchThread& main = *pool.threads[0];
    SearchThread& one = *pool.threads[1];
    SearchThread& two = *pool.threads[2];
    EXPECT_TRUE(pool.helperAvailable(main));

    two.working = true;
    EXPECT_TRUE(pool.helperAvailable(main));  // thread 1 is idle
    one.splitPointCount = 1;
    one.splitPoints[0].slaveMask = one.bit | two.bit;
    EXPECT_FALSE(pool.helperAvailable(main));  // it waits for thread 2 only
    EXPECT_TRUE(pool.helperAvailable(two));    // which it may help in turn
    one.splitPoints[0].slaveMask = one.bit | main.bit;
    EXPECT_TRUE(pool.helperAvailable(main));
    one.working = true;
    EXPECT_FALSE(pool.helperAvailable(main));
    // The asker itself never counts.
    one.working = false;
    one.splitPointCount = 0;
    two.working = false;
    pool.threads.resize(1);
    delete &one;
    delete &two;
    EXPECT_FALSE(pool.helperAvailable(main));
}

// A helper whose creation failed is logged and never joins the pool, so no
// split point ever waits for it; the search goes on with the threads there are.
TEST(ThreadPool, ThreadThatFailsToStartStaysOutOfThePool) {
    LogCapture log("thread_start_failure");
    Engine engine;
    engine.threadPool.threadCount = 3;
    engine.threadPool.stackBytes = SIZE_MAX / 2 & ~size_t(0xffff);
    engine.init(1);
    engine.newGame();
    EXPECT_EQ(engine.threadPool.size(), 1);
    EXPECT_TRUE(log.contains("creation error"));
    EXPECT_FALSE(engine.threadPool.helperAvailable(*engine.threadPool.mainThread));

    engine.inputThreadInUse = true;
    engine.setLimits(Depth);
    engine.depthLimit = 4;
    engine.threadPool.minSplitDepth = 0;
    engine.think(0);
    EXPECT_EQ(engine.gameHistory.size(), 1u);

    engine.threadPool.stackBytes = threadStackBytes;
    engine.threadPool.setThreadCount(3);
    EXPECT_EQ(engine.threadPool.size(), 3);
    for (int i = 0; i < 3; i++) EXPECT_EQ(engine.threadPool.threads[i]->index, i);
    engine.release();
}

// Sleeping helpers wake and leave when the pool is destroyed or resized, over
// and over, and the pool keeps working after each resize.
TEST(ThreadPool, SleepingThreadsLeaveWhenThePoolIsRebuilt) {
    EngineWithThreads fixture(4);
    Engine& engine = *fixture.engine;
    for (int count : {2, 8, 1, 4}) {
        engine.threadPool.setThreadCount(count);
        ASSERT_EQ(engine.threadPool.size(), count);
        EXPECT_EQ(engine.position.owner, engine.threadPool.mainThread);
        engine.depthLimit = 5;
        engine.threadPool.minSplitDepth = 2;
        engine.think(0);
        ASSERT_TRUE(engine.takeBack());
    }
    EXPECT_EQ(fixture.recorder.done.size(), 4u);
}

// Words one thread writes at every node (or at every move of a split point)
// must not share a cache line with words the other threads read at every
// node: each write would take the line from all of them.
TEST(ThreadPool, WordsWrittenOftenShareNoCacheLineWithWordsReadEverywhere) {
    EngineWithThreads fixture(2);
    Engine& engine = *fixture.engine;
    const SearchThread& thread = *engine.threadPool.threads[1];
    const SplitPoint& split = thread.splitPoints[1];
    struct Pair {
        const char* what;
        const void* written;
        const void* read;
    };
    const Pair pairs[] = {
        {"poll counter / stop state", &engine.pollCounter, &engine.stopState},
        {"poll counter / node-rate limit", &engine.pollCounter, &engine.npsLimit},
        {"thread node counter / working", &thread.nodes, &thread.working},
        {"thread node counter / split point count", &thread.nodes, &thread.splitPointCount},
        {"thread node counter / current split point", &thread.nodes, &thread.currentSplitPoint},
        {"thread node counter / first split point", &thread.nodes, &thread.splitPoints[0].cutoff},
        {"split point mutex / cut-off", &split.mutex, &split.cutoff},
        {"split point move count / cut-off", &split.moveCount, &split.cutoff},
        {"split point best score / parent", &split.bestScore, &split.parent},
        {"pool mutex / split depth", static_cast<const Mutex*>(&engine.threadPool),
         &engine.threadPool.minSplitDepth},
        {"pool mutex / thread list", static_cast<const Mutex*>(&engine.threadPool),
         &engine.threadPool.threads},
    };
    for (const Pair& pair : pairs) {
        const uintptr_t written = reinterpret_cast<uintptr_t>(pair.written) / 64;
        const uintptr_t read = reinterpret_cast<uintptr_t>(pair.read) / 64;
        EXPECT_NE(written, read) << pair.what;
    }
}

}  // namespace
