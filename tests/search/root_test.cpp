// The root driver with one thread: limits, answers, reports, pondering,
// MultiPV and the clock allotment.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "root_test_support.h"
#include "search/root.h"

namespace {

using root_test::EngineWithThreads;
using root_test::isLegalIn;

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class RootSearch : public testing::Test {
protected:
    EngineWithThreads fixture{1};
    Engine& engine = *fixture.engine;
    root_test::Recorder& recorder = fixture.recorder;

    void setFen(const char* fen) { fixture.setFen(fen); }
    // Stops the search from another thread after `ms`.
    std::thread stopAfter(int ms, StopState state) {
        return std::thread([this, ms, state] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            engine.stopState = state;
        });
    }
};

TEST_F(RootSearch, NoLegalMoveReportsOnceAndChangesNothing) {
    setFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
    const Key before = engine.position.key;
    engine.stopState = Aborted;  // left as it is
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    const root_test::DoneCall& done = recorder.done[0];
    EXPECT_EQ(done.state, Stopped);
    EXPECT_EQ(done.best, NoMove);
    EXPECT_EQ(done.ponder, NoMove);
    EXPECT_EQ(done.depth, 0);
    EXPECT_EQ(done.nodes, 0u);
    EXPECT_TRUE(recorder.pvs.empty());
    EXPECT_EQ(engine.position.key, before);
    EXPECT_EQ(engine.stopState, Aborted);
    EXPECT_FALSE(engine.searching);
}

// One line under two seconds: one onPv per iteration and one onSearchDone,
// nothing else; the move is played on the game.
TEST_F(RootSearch, DepthLimitIteratesAndPlaysTheBestMove) {
    engine.depthLimit = 3;
    const Key before = engine.position.key;
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    const root_test::DoneCall& done = recorder.done[0];
    EXPECT_EQ(done.state, Stopped);
    EXPECT_EQ(done.depth, 3);
    EXPECT_TRUE(done.searchingDuringCall);
    ASSERT_EQ(recorder.pvs.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(recorder.pvs[i].depth, i + 1);
        EXPECT_EQ(recorder.pvs[i].bound, Exact);
        ASSERT_FALSE(recorder.pvs[i].pv.empty());
    }
    EXPECT_EQ(done.best, recorder.pvs.back().pv[0]);
    EXPECT_EQ(done.nodes, recorder.pvs.back().nodes);
    EXPECT_TRUE(recorder.multis.empty());
    EXPECT_EQ(recorder.depthCalls, 0);
    EXPECT_EQ(recorder.currentMoveCalls, 0);

    ASSERT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.gameHistory[0].move, done.best);
    EXPECT_NE(engine.position.key, before);
    EXPECT_EQ(engine.repKeyCount, 1);
    EXPECT_EQ(engine.repKeys[0], before);
    EXPECT_EQ(engine.stopState, Stopped);
    EXPECT_FALSE(engine.searching);
    EXPECT_EQ(engine.searchCount, 1);
}

// A search that completes no pass still answers with a legal move: the best
// of the quiescence pre-sort (here the capture of a hanging queen), never
// "no move".
TEST_F(RootSearch, SearchStoppedBeforeItsFirstMoveAnswersWithThePreSortedFirst) {
    const char* fen = "4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1";
    setFen(fen);
    const Move capture = makeMove(makeSquare(3, 1), makeSquare(3, 4), Rook, Queen);
    ASSERT_TRUE(isLegalIn(engine.position, capture));

    // No iteration at all: the pre-sort alone.
    engine.depthLimit = 0;
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].depth, 0);
    EXPECT_EQ(recorder.done[0].best, capture);
    EXPECT_TRUE(recorder.pvs.empty());

    // A node limit just past the pre-sort stops the first root move.
    uint64_t preSortNodes = engine.threadPool.mainThread->nodes.load();
    ASSERT_GT(preSortNodes, 0u);
    setFen(fen);
    engine.setLimits(Nodes);
    engine.nodeLimit = preSortNodes + 1;
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 2u);
    EXPECT_TRUE(recorder.pvs.empty());
    EXPECT_EQ(recorder.done[1].state, Stopped);
    EXPECT_EQ(recorder.done[1].depth, 0);
    EXPECT_EQ(recorder.done[1].best, capture);
    ASSERT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.gameHistory[0].move, capture);
}

TEST_F(RootSearch, SingleLegalMoveUnderAClockIsAnsweredAfterOneIteration) {
    setFen("7k/8/5K2/8/8/8/8/6R1 b - - 0 1");  // only Kh7
    engine.setLimits(Clock);
    engine.clock[0] = engine.clock[1] = 60000.0f;
    engine.movesToGo = 0;
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.pvs.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, Stopped);
    EXPECT_EQ(moveFrom(recorder.done[0].best), 63);
    EXPECT_EQ(moveTo(recorder.done[0].best), 55);
    EXPECT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.timeBudget, 3000000);
}

TEST_F(RootSearch, InfiniteSearchReportsItsMoveWithoutPlayingIt) {
    engine.setLimits(Infinite);
    const Key before = engine.position.key;
    std::thread stopper = stopAfter(30, Stopped);
    engine.think(0);
    stopper.join();
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, Stopped);
    EXPECT_TRUE(isLegalIn(engine.position, recorder.done[0].best));
    EXPECT_EQ(engine.position.key, before);
    EXPECT_TRUE(engine.gameHistory.empty());
    EXPECT_EQ(engine.timeBudget, INT32_MAX);
}

TEST_F(RootSearch, AbortedSearchReportsAbortedAndPlaysNothing) {
    engine.setLimits(Infinite);
    const Key before = engine.position.key;
    std::thread stopper = stopAfter(20, Aborted);
    engine.think(0);
    stopper.join();
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, Aborted);
    EXPECT_FALSE(recorder.done[0].searchingDuringCall);
    EXPECT_EQ(engine.position.key, before);
    EXPECT_TRUE(engine.gameHistory.empty());
}

// Ponder searches end with the pondered move taken back, and report the best
// and ponder moves they found; the listeners decide what to print.
TEST_F(RootSearch, PonderSearchTakesThePonderedMoveBack) {
    engine.ponderAllowed = true;
    ASSERT_TRUE(engine.applyMoves("e2e4 e7e5"));
    const Key afterFirst = engine.gameHistory[1].key;

    engine.depthLimit = 3;
    engine.think(1);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, PonderFinished);
    EXPECT_EQ(recorder.done[0].depth, 3);
    EXPECT_NE(recorder.done[0].best, NoMove);
    EXPECT_NE(recorder.done[0].ponder, NoMove);
    EXPECT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.position.key, afterFirst);
    EXPECT_FALSE(engine.ponderSearch);

    // A ponder search ignores the clock; a stop ends it as stopped.
    ASSERT_TRUE(engine.applyMoves("e7e5"));
    engine.setLimits(MoveTime);
    engine.moveTime = 1;
    std::thread stopper = stopAfter(30, PonderStopped);
    engine.think(1);
    stopper.join();
    ASSERT_EQ(recorder.done.size(), 2u);
    EXPECT_EQ(recorder.done[1].state, PonderStopped);
    EXPECT_GT(recorder.done[1].depth, 1);  // ran past the 1 microsecond budget
    EXPECT_EQ(engine.gameHistory.size(), 1u);
    EXPECT_EQ(engine.position.key, afterFirst);
}

// Without a ponder request the argument is ignored when pondering is not
// allowed; when it is, a normal search names a legal reply to ponder on.
TEST_F(RootSearch, PonderMoveIsALegalReplyToTheBestMove) {
    engine.depthLimit = 4;
    engine.think(1);  // pondering not allowed: an ordinary search
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_EQ(recorder.done[0].state, Stopped);
    EXPECT_EQ(engine.gameHistory.size(), 1u);

    engine.ponderAllowed = true;
    engine.depthLimit = 1;  // one ply: the line holds no reply, the table or generator gives one
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 2u);
    const Move best = recorder.done[1].best;
    ASSERT_EQ(engine.gameHistory.back().move, best);
    EXPECT_TRUE(isLegalIn(engine.position, recorder.done[1].ponder));
}

TEST_F(RootSearch, MultiPvLinesHaveDistinctFirstMovesOrderedByScore) {
    engine.multiPv = 3;
    engine.depthLimit = 5;
    engine.setLimits(Depth);
    engine.think(0);
    // Reported together after the third line of every iteration.
    ASSERT_EQ(recorder.multis.size(), 15u);
    EXPECT_TRUE(recorder.pvs.empty());
    for (int iteration = 0; iteration < 5; iteration++) {
        const root_test::LineCall* lines = &recorder.multis[3 * iteration];
        for (int j = 0; j < 3; j++) {
            EXPECT_EQ(lines[j].line, j + 1);
            EXPECT_EQ(lines[j].depth, iteration + 1);
            EXPECT_EQ(lines[j].bound, Exact);
            ASSERT_FALSE(lines[j].pv.empty());
        }
        EXPECT_GE(lines[0].score, lines[1].score);
        EXPECT_GE(lines[1].score, lines[2].score);
        EXPECT_NE(lines[0].pv[0], lines[1].pv[0]);
        EXPECT_NE(lines[0].pv[0], lines[2].pv[0]);
        EXPECT_NE(lines[1].pv[0], lines[2].pv[0]);
    }
    EXPECT_EQ(recorder.done[0].best, recorder.multis[12].pv[0]);
    EXPECT_EQ(engine.linesInUse, 3);
}

TEST_F(RootSearch, MultiPvAsksNoMoreLinesThanMoves) {
    setFen("7k/8/8/8/8/P7/r7/7K w - - 0 1");  // Kg1 and a4
    engine.multiPv = 3;
    engine.depthLimit = 2;
    engine.think(0);
    ASSERT_EQ(recorder.multis.size(), 4u);
    EXPECT_EQ(recorder.multis[0].line, 1);
    EXPECT_EQ(recorder.multis[1].line, 2);
    EXPECT_NE(recorder.multis[2].pv[0], recorder.multis[3].pv[0]);
    EXPECT_EQ(engine.linesInUse, 2);
}

// Under a clock there is one line whatever MultiPV says.
TEST_F(RootSearch, ClockSearchUsesOneLine) {
    setFen("7k/8/8/8/8/P7/r7/7K w - - 0 1");
    engine.multiPv = 3;
    engine.setLimits(Clock);
    engine.clock[0] = engine.clock[1] = 100.0f;  // a tenth of a second left
    engine.movesToGo = 0;
    engine.think(0);
    ASSERT_EQ(recorder.done.size(), 1u);
    EXPECT_TRUE(recorder.multis.empty());
    EXPECT_EQ(engine.linesInUse, 1);
    EXPECT_EQ(engine.timeBudget, 5000);
    EXPECT_EQ(engine.gameHistory.size(), 1u);
}

// Same depth, fresh table, one thread: the same nodes, score and move.
TEST_F(RootSearch, OneThreadIsDeterministic) {
    const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    root_test::DoneCall first{};
    int firstScore = 0;
    for (int run = 0; run < 2; run++) {
        engine.newGame();
        engine.setLimits(Depth);
        engine.depthLimit = 6;
        setFen(fen);
        engine.think(0);
        ASSERT_EQ(recorder.done.size(), size_t(run + 1));
        if (run == 0) {
            first = recorder.done[0];
            firstScore = recorder.pvs.back().score;
            continue;
        }
        EXPECT_EQ(recorder.done[1].nodes, first.nodes);
        EXPECT_EQ(recorder.done[1].best, first.best);
        EXPECT_EQ(recorder.done[1].selDepth, first.selDepth);
        EXPECT_EQ(recorder.pvs.back().score, firstScore);
    }
}

TEST(ClockBudget, AllotmentExamples) {
    struct Case {
        float clockMs;
        int movesToGo, incrementMs, searchCount;
        int32_t budget;
    };
    const Case cases[] = {
        {60000, 0, 0, 0, 3000000},
        {60000, 0, 0, 5, 2250000},
        {60000, 0, 0, 9, 1649999},  // 2.0 - 9 x 0.1 is 1.0999999 in single precision
        {60000, 0, 0, 10, 1500000},
        {60000, 0, 0, 40, 1500000},
        {60000, 0, 2000, 0, 8000000},
        {60000, 20, 0, 0, 6000000},
        {300000, 40, 0, 0, 15000000},
        {60000, -3, 0, 10, 30000000},  // a negative count is one move to go
        // One move to go would spend the whole clock: 5 % stays in reserve.
        {60000, 1, 0, 0, 57000000},
        // The reserve is at least 50 ms.
        {100, 1, 0, 10, 50000},
        {40, 0, 0, 0, 0},
        {-500, 0, 0, 0, 0},
        // A long clock clamps to the 32-bit range instead of overflowing.
        {1.0e8f, 1, 0, 0, INT32_MAX},
        {1.0e9f, 2, 0, 0, INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clockBudget(c.clockMs, c.movesToGo, c.incrementMs, c.searchCount), c.budget)
            << c.clockMs << " ms, " << c.movesToGo << " to go, +" << c.incrementMs << ", search "
            << c.searchCount;
}

TEST(ClockBudget, NeverSpendsTheReserve) {
    std::srand(7);
    for (int k = 0; k < 2000; k++) {
        const float clockMs = float(std::rand() % 600000);
        const int movesToGo = std::rand() % 4;
        const int increment = std::rand() % 3 == 0 ? std::rand() % 60000 : 0;
        const int searchCount = std::rand() % 12;
        const double budget = clockBudget(clockMs, movesToGo, increment, searchCount);
        const double reserve = clockMs * 1000.0 * 0.05 > 50000.0 ? clockMs * 1000.0 * 0.05 : 50000.0;
        EXPECT_GE(budget, 0.0);
        EXPECT_LE(budget, clockMs * 1000.0 - reserve > 0 ? clockMs * 1000.0 - reserve : 0.0)
            << clockMs << " " << movesToGo << " " << increment << " " << searchCount;
    }
}

}  // namespace
