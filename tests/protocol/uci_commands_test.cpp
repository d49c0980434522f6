// The UCI interpreter's effect on the engine, command by command, without a
// search being served: options with their ranges and the limits of "go".

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "protocol/uci_protocol.h"
#include "search/engine.h"

namespace {

class UciCommands : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    std::unique_ptr<UciProtocol> uci;

    void SetUp() override {
        engine->init(1);
        engine->newGame();
        engine->settings.useInputThread = 1;  // requests are only handed over
        uci.reset(new UciProtocol(*engine));
        uci->listener.bind(*uci);
    }
    void TearDown() override {
        uci.reset();
        engine->searchRequested = false;
        engine->release();
    }
    void run(const std::string& text) {
        Tokenizer line(text.c_str(), ' ');
        testing::internal::CaptureStdout();
        uci->handleLine(line);
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(UciCommands, OptionsStayWithinTheirAnnouncedRanges) {
    run("setoption name MultiPV value 50");
    EXPECT_EQ(engine->multiPv, 32);
    run("setoption name MultiPV value 0");
    EXPECT_EQ(engine->multiPv, 1);
    run("setoption name DrawScore value 500");
    EXPECT_EQ(engine->settings.drawScore, 100);
    run("setoption name DrawScore value -500");
    EXPECT_EQ(engine->settings.drawScore, -100);
    run("setoption name DrawScore value 25");
    EXPECT_EQ(engine->settings.drawScore, 25);
    // UCI_Elo counts while UCI_LimitStrength is on.
    run("setoption name UCI_LimitStrength value true");
    run("setoption name UCI_Elo value 20000");
    EXPECT_EQ(engine->evalParams.elo, 2700);
    run("setoption name UCI_Elo value 1500");
    EXPECT_EQ(engine->evalParams.elo, 1500);
    EXPECT_TRUE(engine->evalParams.reducedStrength);
    EXPECT_EQ(engine->npsLimit, 150000u);
    run("setoption name UCI_LimitStrength value false");
    EXPECT_FALSE(engine->evalParams.reducedStrength);
    EXPECT_EQ(engine->npsLimit, 0u);
}

TEST_F(UciCommands, FlagsAndNames) {
    run("setoption name Ponder value true");
    EXPECT_TRUE(engine->ponderAllowed);
    EXPECT_EQ(engine->ponderEnabled, 1);
    run("setoption name Ponder value True");
    EXPECT_FALSE(engine->ponderAllowed);
    EXPECT_EQ(engine->ponderEnabled, 0);
    run("setoption name NullMovePruning value false");
    EXPECT_FALSE(engine->useNullMove);
    run("setoption name LateMoveReduction value false");
    EXPECT_FALSE(engine->useLmr);
    run("setoption name UCI_Chess960 value true");
    EXPECT_EQ(engine->position.chess960, 1);
    run("setoption name Book File value games.bin");
    EXPECT_EQ(engine->settings.bookFile, "games.bin");
    // A missing value or a missing "name" changes nothing.
    run("setoption name MultiPV");
    run("setoption name MultiPV value");
    run("setoption MultiPV value 7");
    EXPECT_EQ(engine->multiPv, 1);
}

// New search threads replace thread 0, whose tables the game position uses.
TEST_F(UciCommands, ThreadCountRebindsTheGamePosition) {
    run("setoption name Threads value 3");
    EXPECT_EQ(engine->threadPool.threadCount, 3);
    EXPECT_EQ(engine->position.owner, engine->threadPool.mainThread);
    run("setoption name Threads value 1");
    EXPECT_EQ(engine->position.owner, engine->threadPool.mainThread);
    run("eval");
}

// While a search is asked for, the options it reads or uses are left alone;
// each takes effect once the search is over.
TEST_F(UciCommands, HeavyOptionWaitsForThePendingSearch) {
    run("position startpos");
    run("go depth 5");
    ASSERT_TRUE(engine->searchRequested);
    run("setoption name Threads value 2");
    EXPECT_EQ(engine->threadPool.threadCount, 1);
    EXPECT_EQ(uci->deferredOptionCount(), 1u);
    run("setoption name MultiPV value 4");
    EXPECT_EQ(engine->multiPv, 1);
    EXPECT_EQ(uci->deferredOptionCount(), 2u);
}

// The limits a search started now would obey; empty for an infinite one.
LimitSet limitsInForce(const Engine& engine) {
    LimitSet limits;
    for (const LimitMode mode : {Depth, Nodes, MoveTime, Clock})
        if (engine.limitedBy(mode)) limits |= mode;
    return limits;
}

// Every limit a "go" names applies, and only those: one that names none
// searches until "stop", whatever came before it.
TEST_F(UciCommands, GoLimits) {
    const LimitSet depth = Depth, nodes = Nodes, moveTime = MoveTime, clock = Clock, none = Infinite;
    struct Case {
        const char* go;
        LimitSet limits;
        int32_t moveTime, depth;
        uint64_t nodes;
    };
    const Case cases[] = {
        {"go movetime 1500", moveTime, 1500000, -1, 0},
        {"go movetime -5", moveTime, 0, -1, 0},
        {"go movetime 4294968", moveTime, INT32_MAX, -1, 0},
        {"go movetime 99999999999999999999", moveTime, INT32_MAX, -1, 0},
        {"go depth 0", depth, -1, 1, 0},
        {"go depth 500", depth, -1, 127, 0},
        {"go depth 7", depth, -1, 7, 0},
        // No search keeps a node limit below one node: the first iteration
        // is searched instead.
        {"go nodes -3", depth, -1, 1, 0},
        {"go nodes 0", depth, -1, 1, 0},
        {"go depth 6 nodes 0 movetime 700", depth | moveTime, 700000, 1, 0},
        {"go nodes 1", nodes, -1, -1, 1},
        {"go nodes 5000000000", nodes, -1, -1, 5000000000ULL},
        {"go infinite", none, -1, -1, 0},
        {"go", none, -1, -1, 0},
        {"go mate 3", none, -1, -1, 0},
        {"go movestogo 20", none, -1, -1, 0},
        {"go depth 3 movetime 100", depth | moveTime, 100000, 3, 0},
        {"go movetime 100 depth 3", depth | moveTime, 100000, 3, 0},
        {"go wtime 60000 btime 60000 depth 4", clock | depth, -1, 4, 0},
        {"go nodes 9000 wtime 60000 btime 60000 movetime 700 depth 6",
         depth | nodes | moveTime | clock, 700000, 6, 9000},
        {"go infinite depth 3", none, -1, -1, 0},
    };
    for (const Case& c : cases) {
        engine->searchRequested = false;
        run("go depth 9 nodes 77 movetime 11 wtime 5 btime 5");  // what must not carry over
        engine->searchRequested = false;
        run(c.go);
        EXPECT_EQ(limitsInForce(*engine), c.limits) << c.go;
        EXPECT_EQ(engine->limitedBy(Infinite), c.limits == none) << c.go;
        EXPECT_EQ(engine->bestMoveOwed, c.limits == none ? 1 : 0) << c.go;
        if (c.moveTime >= 0) {
            EXPECT_EQ(engine->moveTime, c.moveTime) << c.go;
        }
        if (c.depth >= 0) {
            EXPECT_EQ(engine->depthLimit, c.depth) << c.go;
        }
        if (c.limits.has(Nodes)) {
            EXPECT_EQ(engine->nodeLimit, c.nodes) << c.go;
        }
        EXPECT_TRUE(engine->searchRequested) << c.go;
    }
}

// The clocks are those of the "go" at hand: a bare "go" has none.
TEST_F(UciCommands, ClocksComeFromEachGoAndNeverTurnNegative) {
    run("go wtime 60000 btime 50000 winc 1000 binc 2000 movestogo 30");
    EXPECT_EQ(limitsInForce(*engine), LimitSet(Clock));
    EXPECT_EQ(engine->clock[White], 60000.0f);
    EXPECT_EQ(engine->clock[Black], 50000.0f);
    EXPECT_EQ(engine->increment[White], 1000);
    EXPECT_EQ(engine->increment[Black], 2000);
    EXPECT_EQ(engine->movesToGo, 30);
    run("go");
    EXPECT_EQ(engine->limits(), LimitSet(Infinite));
    EXPECT_EQ(limitsInForce(*engine), LimitSet(Infinite));
    EXPECT_EQ(engine->clock[White], 0.0f);
    EXPECT_EQ(engine->increment[Black], 0);
    EXPECT_EQ(engine->movesToGo, 0);
    run("go wtime -100 btime 99999999999999 winc -5 binc 99999999999");
    EXPECT_EQ(engine->clock[White], 0.0f);
    EXPECT_EQ(engine->clock[Black], float(INT32_MAX));
    EXPECT_EQ(engine->increment[White], 0);
    EXPECT_EQ(engine->increment[Black], INT32_MAX);
}

TEST_F(UciCommands, GoPonderAndInfinite) {
    run("go ponder wtime 1000 btime 1000");
    EXPECT_EQ(engine->pondering, 1);
    EXPECT_EQ(engine->ponderArg, 1);
    run("go infinite");
    EXPECT_EQ(engine->pondering, 0);
    EXPECT_EQ(engine->bestMoveOwed, 1);
}

}  // namespace
