#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "foundation/log.h"
#include "foundation/thread.h"

namespace {

// A thread that hands a value back and forth with the test's thread through a
// mutex and a condition, and leaves when exitFlag is set.
class PingThread : public Thread {
public:
    Mutex mutex;
    Condition wakeWorker;
    Condition wakeOwner;
    int request = 0;   // guarded by mutex; 0: nothing to do
    int answer = 0;    // guarded by mutex
    int served = 0;    // guarded by mutex

    void run() override {
        mutex.lock();
        while (!exitFlag.load(std::memory_order_relaxed)) {
            if (request != 0) {
                answer = request * 2;
                request = 0;
                served++;
                wakeOwner.signal();
            } else {
                wakeWorker.wait(mutex);
            }
        }
        mutex.unlock();
    }

    int ask(int value) {
        mutex.lock();
        request = value;
        wakeWorker.signal();
        while (request != 0)
            wakeOwner.wait(mutex);
        const int result = answer;
        mutex.unlock();
        return result;
    }

    // Sets exitFlag under the mutex and wakes the thread, as the owner must
    // before the destructor joins it.
    void stop() {
        mutex.lock();
        exitFlag.store(true, std::memory_order_relaxed);
        wakeWorker.signal();
        mutex.unlock();
    }
};

TEST(Thread, MutexConditionHandOff) {
    PingThread thread;
    ASSERT_TRUE(thread.start());
    EXPECT_TRUE(thread.started);
    for (int i = 1; i <= 200; i++)
        ASSERT_EQ(thread.ask(i), 2 * i);
    thread.mutex.lock();
    EXPECT_EQ(thread.served, 200);
    thread.mutex.unlock();
    thread.stop();
    thread.join();
    EXPECT_FALSE(thread.started);
    thread.join();  // a second call does nothing
}

class CountingThread : public Thread {
public:
    std::atomic<int>* runs;
    explicit CountingThread(std::atomic<int>* counter) : runs(counter) {}
    ~CountingThread() override { join(); }
    void run() override { runs->fetch_add(1); }
};

// The subclass's destructor waits for run() before its members go away.
TEST(Thread, DestructorJoinsStartedThread) {
    std::atomic<int> runs{0};
    {
        CountingThread thread(&runs);
        ASSERT_TRUE(thread.start());
    }
    EXPECT_EQ(runs.load(), 1);  // joined: run has finished
}

// Threads that take a mutex by spinning first still exclude each other: a
// plain counter increased under it loses no increment.
TEST(Thread, SpinningLockExcludesTheOtherThreads) {
    class Adder : public Thread {
    public:
        Mutex* mutex = nullptr;
        int64_t* counter = nullptr;
        ~Adder() override { join(); }
        void run() override {
            for (int i = 0; i < 20000; i++) {
                mutex->lockSpinning();
                ++*counter;
                mutex->unlock();
            }
        }
    };
    Mutex mutex;
    int64_t counter = 0;
    {
        Adder adders[4];
        for (Adder& adder : adders) {
            adder.mutex = &mutex;
            adder.counter = &counter;
            ASSERT_TRUE(adder.start());
        }
    }
    EXPECT_EQ(counter, 4 * 20000);
}

TEST(Thread, IdsCountUpInCreationOrder) {
    const int first = Thread::nextId();
    Thread a;
    Thread* b = new Thread;
    Thread c;
    EXPECT_EQ(a.id, first);
    EXPECT_EQ(b->id, first + 1);
    EXPECT_EQ(c.id, first + 2);
    delete b;
    Thread d;  // numbering continues after objects are destroyed
    EXPECT_EQ(d.id, first + 3);
    EXPECT_EQ(Thread::nextId(), first + 4);
    EXPECT_FALSE(a.started);
    EXPECT_FALSE(a.exitFlag.load());
}

// Sets the global logger up on a text file for the duration of a test and
// restores its empty state afterwards.
class GlobalLogFile : public testing::Test {
protected:
    std::string path =
        testing::TempDir() + "vorlix_thread_log_" + std::to_string(getpid()) + ".txt";

    void SetUp() override {
        logger.textFormat = true;
        logger.appendStandardLevels(0x7f);
        ASSERT_TRUE(logger.openFile(path));
    }
    void TearDown() override {
        logger.close();
        logger.levels.clear();
        logger.fileName.clear();
        logger.textFormat = false;
        remove(path.c_str());
    }
    std::string closeAndRead() {
        logger.close();
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// A failed creation is reported to the caller and logged, and the object is
// destroyed without waiting for a thread that does not exist.
TEST_F(GlobalLogFile, ThreadCreationFailureIsReportedAndNotJoined) {
    std::atomic<int> runs{0};
    int id;
    {
        CountingThread thread(&runs);
        id = thread.id;
        // No system can give a thread a stack of half the address space.
        EXPECT_FALSE(thread.start(SIZE_MAX / 2 & ~size_t(0xffff)));
        EXPECT_FALSE(thread.started);
    }  // must neither hang nor crash
    EXPECT_EQ(runs.load(), 0);
    const std::string text = closeAndRead();
    EXPECT_NE(text.find("ERROR      Thread " + std::to_string(id) + " creation error : "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ERROR = 1"), std::string::npos) << text;
}

}  // namespace
