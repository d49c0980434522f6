// Perft counts of the engine's perft runner against published values.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/perft.h"
#include "protocol/perft_reports.h"
#include "search/engine.h"

namespace {

class PerftRunnerTest : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    PerftRunner& runner = engine->perftRunner;

    void SetUp() override {
        engine->init(1);
        engine->newGame();
    }
    void TearDown() override { engine->release(); }
    void set(const char* fen) { ASSERT_TRUE(engine->setFen(fen)); }
};

struct Counts {
    const char* fen;
    int depth;
    uint64_t nodes, captures, enPassant, checks, mates, promotions, castles;
};

// Published detailed perft values.
const Counts detailedCases[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, 197281, 1576, 0, 469, 8, 0, 0},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862, 17102, 45,
     993, 1, 0, 3162},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238, 3348, 123, 1680, 17, 0, 0},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467, 1021, 4, 38, 22,
     120, 0},
};

TEST_F(PerftRunnerTest, DetailedCountsMatchPublishedValues) {
    for (const Counts& c : detailedCases) {
        set(c.fen);
        const Key before = engine->position.key;
        runner.nodes = runner.captures = runner.enPassant = runner.checks = 0;
        runner.mates = runner.promotions = runner.castles = 0;
        runner.perftDetailed(c.depth);
        EXPECT_EQ(runner.nodes, c.nodes) << c.fen;
        EXPECT_EQ(runner.captures, c.captures) << c.fen;
        EXPECT_EQ(runner.enPassant, c.enPassant) << c.fen;
        EXPECT_EQ(runner.checks, c.checks) << c.fen;
        EXPECT_EQ(runner.mates, c.mates) << c.fen;
        EXPECT_EQ(runner.promotions, c.promotions) << c.fen;
        EXPECT_EQ(runner.castles, c.castles) << c.fen;
        EXPECT_EQ(engine->position.key, before);  // every move was taken back
    }
}

TEST_F(PerftRunnerTest, StartPositionCounts) {
    const uint64_t expected[] = {0, 20, 400, 8902, 197281};
    for (int depth = 1; depth <= 4; depth++) {
        runner.nodes = 0;
        runner.perft(depth);
        EXPECT_EQ(runner.nodes, expected[depth]);
        EXPECT_EQ(runner.countLeaves(depth), expected[depth]);
    }
}

// A depth below 1 counts one ply rather than recursing without end.
TEST_F(PerftRunnerTest, DepthBelowOneCountsOnePly) {
    for (int depth : {0, -1, -1000}) {
        runner.nodes = 0;
        runner.perft(depth);
        EXPECT_EQ(runner.nodes, 20u);
        EXPECT_EQ(runner.countLeaves(depth), 20u);
        runner.nodes = 0;
        runner.perftDetailed(depth);
        EXPECT_EQ(runner.nodes, 20u);
    }
}

TEST_F(PerftRunnerTest, DivideListsEachLegalRootMove) {
    set("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    runner.allocateDivideEntries();
    runner.divideRootMoves(2);
    ASSERT_EQ(runner.divideCount, 48);
    uint64_t total = 0;
    bool castles = false;
    for (int k = 0; k < runner.divideCount; k++) {
        total += runner.divideEntries[k].count;
        castles |= std::string(runner.divideEntries[k].text) == "O-O";
    }
    EXPECT_EQ(total, 2039u);
    EXPECT_TRUE(castles);
    for (int depth : {1, 0, -3}) {
        runner.divideRootMoves(depth);
        ASSERT_EQ(runner.divideCount, 48);
        for (int k = 0; k < runner.divideCount; k++) EXPECT_EQ(runner.divideEntries[k].count, 1u);
    }
    runner.freeDivideEntries();
    EXPECT_EQ(runner.divideEntries, nullptr);
}

TEST_F(PerftRunnerTest, PositionWithoutLegalMoves) {
    set("7k/5QQ1/8/8/8/8/8/K7 b - - 0 1");
    runner.nodes = 0;
    runner.perft(3);
    EXPECT_EQ(runner.nodes, 0u);
    runner.allocateDivideEntries();
    runner.divideRootMoves(3);
    EXPECT_EQ(runner.divideCount, 0);
    runner.freeDivideEntries();
}

TEST(PerftSpeed, NoElapsedTimeCountsSixteenMilliseconds) {
    EXPECT_EQ(perftSpeed(16000, 0.0), 1000000);
    EXPECT_EQ(perftSpeed(1000, 1000000.0), 1000);
    EXPECT_EQ(perftSpeed(uint64_t(1) << 40, 1.0), 2147483647);
}

}  // namespace
