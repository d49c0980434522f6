// Searches shared among threads at split points: every search ends with a
// legal move, finds what one thread finds, counts the helpers' nodes, and
// stops cleanly at any moment.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "root_test_support.h"
#include "search/split_point.h"
#include "search/tt.h"

namespace {

using root_test::EngineWithThreads;
using root_test::helperNodes;
using root_test::isLegalIn;

const char* const positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 1",
    "4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1",
};

class ParallelSearch : public testing::TestWithParam<int> {};

// Split points from shallow depths on, so that small searches share work.
void splitEagerly(Engine& engine) { engine.threadPool.minSplitDepth = 2; }

TEST_P(ParallelSearch, EndsWithALegalMoveAndCountsTheHelpersNodes) {
    EngineWithThreads fixture(GetParam());
    Engine& engine = *fixture.engine;
    ASSERT_EQ(engine.threadPool.size(), GetParam());
    splitEagerly(engine);
    uint64_t helped = 0;
    for (const char* fen : positions) {
        fixture.setFen(fen);
        const Position before = engine.position;
        const size_t reports = fixture.recorder.done.size();
        engine.depthLimit = 6;
        engine.think(0);
        ASSERT_EQ(fixture.recorder.done.size(), reports + 1) << fen;
        const root_test::DoneCall& done = fixture.recorder.done.back();
        EXPECT_EQ(done.state, Stopped);
        EXPECT_EQ(done.depth, 6);
        EXPECT_TRUE(isLegalIn(before, done.best)) << fen;
        // Every node a helper searched flows back into the reported count.
        const uint64_t helpers = helperNodes(engine);
        EXPECT_GT(done.nodes, helpers) << fen;
        helped += helpers;
        for (SearchThread* thread : engine.threadPool.threads) {
            EXPECT_FALSE(thread->working.load());
            EXPECT_EQ(thread->splitPointCount.load(), 0);
        }
        EXPECT_EQ(engine.threadPool.mainThread->currentSplitPoint.load(), nullptr);
    }
    EXPECT_GT(helped, 0u) << "no split point ever got help";
}

// Mate distances do not depend on who searched which move.
TEST_P(ParallelSearch, FindsTheExactMateScores) {
    struct MateCase {
        const char* fen;
        int mateIn, plies;
    };
    const MateCase cases[] = {
        {"r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1", 2, 5},
        {"r1bq2r1/b4pk1/p1pp1p2/1p2pP2/1P2P1PB/3P4/1PPQ2P1/R3K2R w KQ - 0 1", 2, 6},
        {"7k/8/8/4K3/8/8/8/R7 w - - 0 1", 3, 7},
    };
    EngineWithThreads fixture(GetParam());
    Engine& engine = *fixture.engine;
    splitEagerly(engine);
    for (const MateCase& c : cases) {
        engine.newGame();
        engine.setLimits(Depth);
        engine.depthLimit = c.plies;
        fixture.setFen(c.fen);
        engine.think(0);
        ASSERT_FALSE(fixture.recorder.pvs.empty());
        EXPECT_EQ(fixture.recorder.pvs.back().score, 32000 - (2 * c.mateIn - 1)) << c.fen;
    }
}

// Root split points skip the moves that earlier lines took.
TEST_P(ParallelSearch, MultiPvLinesStayDistinct) {
    EngineWithThreads fixture(GetParam());
    Engine& engine = *fixture.engine;
    splitEagerly(engine);
    fixture.setFen(positions[1]);
    engine.multiPv = 4;
    engine.depthLimit = 5;
    engine.think(0);
    const auto& multis = fixture.recorder.multis;
    ASSERT_EQ(multis.size(), 20u);
    for (size_t first = 0; first < multis.size(); first += 4)
        for (int j = 0; j < 4; j++) {
            ASSERT_FALSE(multis[first + j].pv.empty());
            for (int k = j + 1; k < 4; k++)
                EXPECT_NE(multis[first + j].pv[0], multis[first + k].pv[0]);
            if (j > 0) { EXPECT_GE(multis[first + j - 1].score, multis[first + j].score); }
        }
}

// A root entry as the table holds it: what a pass stored at the root.
struct RootResult {
    int depth = 0;  // half plies; 0 when nothing was stored
    int bound = Exact;
    int score = 0;
};

RootResult rootEntryOf(const TranspositionTable& table, Key key) {
    RootResult result;
    const TTEntry* bucket = table.entries + (uint32_t(key) & table.indexMask);
    for (int i = 0; i < 4; i++) {
        const uint64_t data = bucket[i].data.load(std::memory_order_relaxed);
        if ((bucket[i].check.load(std::memory_order_relaxed) ^ data) != key) continue;
        result = {int(entryDepth(data)), entryBound(data), entryScore(data)};
    }
    return result;
}

// A pass stopped inside a root split point must leave the table alone, as one
// stopped anywhere else: the root's entry is never deeper than the last pass
// that finished, and when it is as deep it is that pass's result. The last
// pass to finish is the one that completed the last iteration, or a later
// aspiration pass that failed low or high (reported with its bound); the
// re-search after such a pass may be stopped at its first node, since the main
// thread makes no node-limit check while it waits at a root split. (Only the
// main thread's poll sets the stop here, always inside a pass.)
TEST_P(ParallelSearch, PassStoppedInsideARootSplitStoresNothing) {
    EngineWithThreads fixture(GetParam());
    Engine& engine = *fixture.engine;
    splitEagerly(engine);
    engine.toolMode = true;  // every pass that finishes with a fail is reported
    const auto& reports = fixture.recorder.pvs;
    // From limits that stop the first iteration (the pre-sort's nodes count
    // too) to ones that stop the seventh, often after a failed pass of it.
    for (uint64_t limit :
         {3000u, 9000u, 20000u, 30000u, 45000u, 60000u, 80000u, 110000u, 150000u, 200000u}) {
        engine.newGame();
        fixture.setFen(positions[1]);
        engine.setLimits(Nodes);
        engine.nodeLimit = limit;
        const Key rootKey = engine.position.key;
        const size_t firstReport = reports.size();
        engine.think(0);
        const root_test::DoneCall& done = fixture.recorder.done.back();
        ASSERT_EQ(done.state, Stopped);
        const int completed = done.depth;

        // The report that completed the last iteration, then the failed
        // passes of the next one.
        RootResult lastFinished;
        size_t next = firstReport;
        for (size_t r = firstReport; r < reports.size(); r++)
            if (completed > 0 && reports[r].bound == Exact && reports[r].depth == completed) {
                lastFinished = {2 * completed, Exact, reports[r].score};
                next = r + 1;
            }
        ASSERT_EQ(lastFinished.depth, 2 * completed)
            << "no report completed iteration " << completed << ", node limit " << limit;
        for (size_t r = next; r < reports.size(); r++)
            if (reports[r].bound != Exact)
                lastFinished = {2 * (completed + 1), reports[r].bound, reports[r].score};

        const RootResult entry = rootEntryOf(engine.transpositionTable, rootKey);
        EXPECT_LE(entry.depth, lastFinished.depth)
            << "a root entry deeper than the last finished pass, node limit " << limit;
        if (entry.depth == lastFinished.depth && entry.depth > 0) {
            EXPECT_EQ(entry.bound, lastFinished.bound) << "node limit " << limit;
            EXPECT_EQ(entry.score, lastFinished.score) << "node limit " << limit;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, ParallelSearch, testing::Values(2, 4, 8));

// Many short searches, each stopped at a random moment by another thread:
// none hangs, each reports once and answers with a legal move, and the pool
// is idle after each.
TEST(ConcurrentStops, ShortSearchesStoppedAtRandomMoments) {
    EngineWithThreads fixture(4);
    Engine& engine = *fixture.engine;
    splitEagerly(engine);
    std::mt19937 random(12345);
    for (int k = 0; k < 100; k++) {
        engine.newGame();
        fixture.setFen(positions[k % 5]);
        engine.setLimits(k % 2 == 0 ? Infinite : MoveTime);
        engine.moveTime = 400000;
        const Position before = engine.position;
        const int delayMicros = int(random() % 4000);
        const StopState state = k % 7 == 3 ? Aborted : Stopped;
        // The stop is repeated until the search has ended: one that lands
        // before the search has started is overwritten by its start.
        std::atomic<bool> finished{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
            while (!finished.load()) {
                engine.stopState = state;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const size_t reports = fixture.recorder.done.size();
        engine.think(0);
        finished = true;
        stopper.join();
        ASSERT_EQ(fixture.recorder.done.size(), reports + 1);
        const root_test::DoneCall& done = fixture.recorder.done.back();
        EXPECT_EQ(done.state, state);
        EXPECT_TRUE(isLegalIn(before, done.best)) << "search " << k;
        for (SearchThread* thread : engine.threadPool.threads) {
            EXPECT_FALSE(thread->working.load());
            EXPECT_EQ(thread->splitPointCount.load(), 0);
        }
    }
}

}  // namespace
