#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "search/engine.h"

namespace {

// Counts finished searches, and notices a search that starts inside another
// or on a thread other than the one that serves requests.
class SearchCounter : public SearchListener {
public:
    std::atomic<int> done{0};
    std::atomic<int> inside{0};
    std::atomic<bool> nested{false};
    std::atomic<bool> wrongThread{false};
    pthread_t server = pthread_self();
    // Requests a ponder search from inside the ending search, once.
    std::atomic<bool> requestFromInside{false};

    void onSearchDone(StopState, Move, Move, int, int, uint64_t, double) override {
        if (inside.fetch_add(1) != 0) nested = true;
        if (!pthread_equal(pthread_self(), server)) wrongThread = true;
        if (requestFromInside.exchange(false)) engine->startSearch(1);
        done.fetch_add(1);
        inside.fetch_sub(1);
    }
};

class SearchHandOff : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    SearchCounter counter;

    void SetUp() override {
        engine->threadPool.threadCount = 2;
        engine->init(1);
        engine->newGame();
        engine->setLimits(Depth);
        engine->depthLimit = 1;
        counter.engine = engine.get();
        engine->listener = &counter;
    }
    void TearDown() override {
        engine->listener = &engine->nullListener;
        engine->release();
    }
};

// The input thread hands requests (and stops, and ponder hits) to the main
// thread, which serves them one at a time, each on the main thread.
TEST_F(SearchHandOff, ThreadRequestsAndStopsWhileTheMainThreadServes) {
    engine->settings.useInputThread = 1;
    engine->inputThreadInUse = true;
    constexpr int searches = 200;

    std::thread input([&] {
        for (int k = 0; k < searches; k++) {
            const int before = counter.done.load();
            engine->startSearch(k % 3 == 0);
            EXPECT_TRUE(engine->searchActive() || counter.done.load() > before);
            if (k % 2 == 0) engine->stopState = Stopped;
            if (k % 5 == 0) {  // a ponder hit, as the protocols make it
                engine->ponderSearch = false;
                engine->pollCounter = engine->pollInterval;
                engine->poll();
            }
            while (counter.done.load() == before) std::this_thread::yield();
        }
        engine->requestQuit();
    });

    int served = 0;
    while (engine->serveSearchRequest()) served++;
    input.join();

    // Every request was served; the loop itself may end one turn early when
    // the quit lands between the last report and the loop's own check.
    EXPECT_EQ(counter.done.load(), searches);
    EXPECT_LE(served, searches);
    EXPECT_FALSE(counter.nested.load());
    EXPECT_FALSE(counter.wrongThread.load());
    EXPECT_FALSE(engine->searchActive());
}

// A stop that arrives after the request but before the main thread has
// started the search is kept: the search answers at once instead of running
// to its limit.
TEST_F(SearchHandOff, StopBetweenRequestAndSearchStartIsKept) {
    engine->settings.useInputThread = 1;
    engine->inputThreadInUse = true;
    engine->setLimits(Infinite);
    engine->startSearch(0);
    engine->stopState = Stopped;  // as the "stop" command writes it
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int k = 0; k < 200 && !finished.load(); k++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished.load()) engine->stopState = Stopped;  // unblock a lost stop
    });
    EXPECT_TRUE(engine->serveSearchRequest());
    finished = true;
    watchdog.join();
    EXPECT_EQ(counter.done.load(), 1);
    uint64_t nodes = 0;
    for (SearchThread* thread : engine->threadPool.threads) nodes += thread->nodes.load();
    EXPECT_LT(nodes, 5000u) << "the stop sent during the hand-over was lost";
}

// A quit that arrives with a request pending drops the request.
TEST_F(SearchHandOff, ConcurrentQuitEndsTheLoopAndDropsAPendingRequest) {
    engine->settings.useInputThread = 1;
    std::atomic<bool> waiting{false};
    std::thread input([&] {
        while (!waiting.load()) std::this_thread::yield();
        engine->requestQuit();
    });
    waiting = true;
    EXPECT_FALSE(engine->serveSearchRequest());
    input.join();
    engine->startSearch(0);  // too late: nobody serves it after quit
    EXPECT_FALSE(engine->serveSearchRequest());
    EXPECT_EQ(counter.done.load(), 0);
}

// Without an input thread the caller serves its own request; a request made
// from inside that search (the search's own input poll) waits until the
// search has returned and is then served on the same thread.
TEST_F(SearchHandOff, RequestFromInsideASearchIsServedAfterIt) {
    engine->settings.useInputThread = 0;
    counter.requestFromInside = true;
    engine->startSearch(0);
    EXPECT_EQ(counter.done.load(), 2);
    EXPECT_FALSE(counter.nested.load());
    EXPECT_EQ(engine->ponderArg, 1);
    EXPECT_FALSE(engine->searchRequested);
    EXPECT_FALSE(engine->searchActive());
}

// A released engine never starts the search that was asked for before.
TEST_F(SearchHandOff, ReleaseDropsAPendingRequest) {
    engine->settings.useInputThread = 1;
    engine->startSearch(0);
    EXPECT_TRUE(engine->searchActive());
    engine->release();
    EXPECT_FALSE(engine->searchActive());
    engine->init(1);
}

}  // namespace
