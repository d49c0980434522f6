#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>

#include "search/engine.h"
#include "support/log_capture.h"

namespace {

class InputCounter : public SearchListener {
public:
    int polls = 0;
    StopState setOnPoll = Running;
    Engine* target = nullptr;
    void pollInput() override {
        polls++;
        if (target && setOnPoll != Running) target->stopState = setOnPoll;
    }
};

// The state a search is in right after it started, without running one.
class PollTest : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();

    void SetUp() override {
        engine->threadPool.threadCount = 4;
        engine->init(1);
        engine->newGame();
        engine->inputThreadInUse = true;
        engine->stopState = Running;
        engine->pollCounter = 0;
        engine->searchTimer.start();
    }
    void TearDown() override {
        engine->listener = &engine->nullListener;
        engine->release();
    }
    void setNodes(uint64_t perThread) {
        for (SearchThread* thread : engine->threadPool.threads) thread->nodes = perThread;
    }
    // Makes the next poll a full check.
    void forceFullCheck() { engine->pollCounter = engine->pollInterval - 1; }
    // Moves the search's start into the past.
    void runFor(double seconds) { engine->searchTimer.seconds -= int64_t(seconds); }
};

TEST_F(PollTest, NodeLimitIsTestedAtEveryPollOverAllThreads) {
    engine->setLimits(Nodes);
    engine->nodeLimit = 1000;
    ASSERT_EQ(engine->threadPool.threads.size(), 4u);
    setNodes(249);
    EXPECT_EQ(engine->poll(), 1);
    EXPECT_EQ(engine->stopState, Running);
    engine->threadPool.threads[3]->nodes = 253;  // 4 x 249 + 4 = 1000
    EXPECT_EQ(engine->poll(), 0);
    EXPECT_EQ(engine->stopState, Stopped);
    EXPECT_EQ(engine->poll(), 0);  // stays stopped
}

TEST_F(PollTest, TimeIsTestedOnlyAtFullChecks) {
    engine->setLimits(MoveTime);
    engine->timeBudget = 1000;
    runFor(1);
    for (int i = 0; i < 100; i++) ASSERT_EQ(engine->poll(), 1);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 0);
    EXPECT_EQ(engine->stopState, Stopped);
    EXPECT_EQ(engine->pollCounter, 0u);
}

TEST_F(PollTest, ClockIsAlsoCheckedEvery1024Polls) {
    // A search past its time must not wait for pollInterval nodes.
    engine->setLimits(Clock);
    engine->timeBudget = 1000;
    runFor(1);
    for (int i = 1; i < 1024; i++) ASSERT_EQ(engine->poll(), 1) << "poll " << i;
    EXPECT_EQ(engine->poll(), 0);
    EXPECT_EQ(engine->stopState, Stopped);
}

TEST_F(PollTest, TimeWithinTheBudgetGoesOn) {
    engine->setLimits(Clock);
    engine->timeBudget = 60000000;
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
    EXPECT_EQ(engine->pollCounter, 0u);
    EXPECT_EQ(engine->stopState, Running);
}

TEST_F(PollTest, LongSearchesNeitherOverflowNorStopInfinite) {
    runFor(3 * 3600);  // longer than 2^31 microseconds
    engine->setLimits(Infinite);
    engine->timeBudget = 2147483647;
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
    engine->setLimits(MoveTime);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 0);
}

TEST_F(PollTest, DepthModeNeverStopsByPoll) {
    engine->setLimits(Depth);
    setNodes(1u << 30);
    runFor(3600);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
}

TEST_F(PollTest, PonderSearchIgnoresLimitsUntilThePonderHit) {
    engine->ponderSearch = true;
    engine->setLimits(Nodes);
    engine->nodeLimit = 10;
    setNodes(100);
    EXPECT_EQ(engine->poll(), 1);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);

    engine->setLimits(MoveTime);
    engine->timeBudget = 1000;
    runFor(1);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
    // The ponder hit as the protocols make it: the first poll checks fully.
    engine->ponderSearch = false;
    engine->pollCounter = engine->pollInterval;
    EXPECT_EQ(engine->poll(), 0);
    EXPECT_EQ(engine->stopState, Stopped);
}

TEST_F(PollTest, StandardInputIsPolledOnlyWithoutAnInputThread) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    ASSERT_EQ(write(pipeEnds[1], "stop\n", 5), 5);
    const int savedInput = dup(STDIN_FILENO);
    ASSERT_GE(savedInput, 0);
    ASSERT_EQ(dup2(pipeEnds[0], STDIN_FILENO), STDIN_FILENO);

    InputCounter input;
    input.target = engine.get();
    engine->listener = &input;
    engine->setLimits(Infinite);

    engine->inputThreadInUse = true;
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
    EXPECT_EQ(input.polls, 0);

    engine->inputThreadInUse = false;
    EXPECT_EQ(engine->poll(), 1);  // between full checks: no input check
    EXPECT_EQ(input.polls, 0);
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 1);
    EXPECT_EQ(input.polls, 1);
    input.setOnPoll = Stopped;  // the line read was a stop
    forceFullCheck();
    EXPECT_EQ(engine->poll(), 0);
    EXPECT_EQ(input.polls, 2);

    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST(Strength, AnchorsAndClamps) {
    const struct {
        int elo;
        int expectedElo;
        bool reduced;
        uint64_t nps;
        bool logged;
    } cases[] = {
        {2699, 2699, true, 5960000, true}, {2050, 2050, true, 200000, true},
        {2000, 2000, true, 150000, true},  {2100, 2100, true, 250000, true},
        {2650, 2650, true, 4000000, true}, {1500, 1500, true, 150000, true},
        {1000, 1000, true, 150000, true},  {999, 1000, true, 150000, true},
        {-50, 1000, true, 150000, true},   {2700, 2700, false, 0, false},
        {3000, 2700, false, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elo);
        Engine engine;
        LogCapture log("strength");
        engine.setStrength(c.elo);
        EXPECT_EQ(engine.evalParams.elo, c.expectedElo);
        EXPECT_EQ(engine.evalParams.reducedStrength, c.reduced);
        EXPECT_EQ(engine.npsLimit, c.nps);
        EXPECT_EQ(log.contains("using reduced strength : " + std::to_string(c.expectedElo) + " ELO"),
                  c.logged);
    }
}

TEST(Strength, FullStrengthKeepsAnEarlierSpeedLimit) {
    Engine engine;
    engine.setStrength(2000);
    engine.setStrength(2700);
    EXPECT_FALSE(engine.evalParams.reducedStrength);
    EXPECT_EQ(engine.npsLimit, 150000u);
    engine.setStrength(3000);
    EXPECT_EQ(engine.evalParams.elo, 2700);
    EXPECT_EQ(engine.npsLimit, 150000u);
    engine.init(1);
    engine.newGame();
    EXPECT_EQ(engine.npsLimit, 150000u);
    engine.release();
}

}  // namespace
