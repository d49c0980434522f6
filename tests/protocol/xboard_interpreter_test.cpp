// The XBoard interpreter inside the test process: the values its commands
// leave in the engine, and the small rules it is built from.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "foundation/tokenizer.h"
#include "protocol/xboard_listener.h"
#include "protocol/xboard_protocol.h"
#include "search/engine.h"

namespace {

struct LevelCase {
    const char* text;
    bool valid;
    int moves;
    int baseMillis;
    int incrementMillis;
};

TEST(XBoardLevel, ReadsMovesBaseAndIncrement) {
    const LevelCase cases[] = {
        {"40 5 0", true, 40, 300000, 0},
        {"0 2:30 12", true, 0, 150000, 12000},
        {"40 0:30", true, 40, 30000, 0},
        {"0 1 0.5", true, 0, 60000, 500},
        // Seconds with a fraction, to the millisecond.
        {"40 0:30.5 0", true, 40, 30500, 0},
        {"1 0:00.8 0", true, 1, 800, 0},
        {"0 2:07.3 1", true, 0, 127300, 1000},
        {"40 0:99999999999.5 0", true, 40, INT_MAX, 0},
        {"40 0:5.x 0", false, 0, 0, 0},
        {"60 90:00 0", true, 60, 5400000, 0},
        // 64-bit arithmetic, capped to the 32-bit fields instead of wrapping.
        {"99999999999 99999999999 99999999999", true, INT_MAX, INT_MAX, INT_MAX},
        {"40 35792:00 0", true, 40, INT_MAX, 0},
        {"0 5 -3", true, 0, 300000, 0},
        {"", false, 0, 0, 0},
        {"40", false, 0, 0, 0},
        {"-1 5 0", false, 0, 0, 0},
        {"40 five 0", false, 0, 0, 0},
        {"40 5:x 0", false, 0, 0, 0},
        {"40 5 fast", false, 0, 0, 0},
    };
    for (const LevelCase& c : cases) {
        LevelFields fields;
        EXPECT_EQ(parseLevel(c.text, fields), c.valid) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(fields.moves, c.moves) << c.text;
        EXPECT_EQ(fields.baseMillis, c.baseMillis) << c.text;
        EXPECT_EQ(fields.incrementMillis, c.incrementMillis) << c.text;
    }
}

TEST(XBoardPonderHit, ComparesSquaresAndPromotionPiece) {
    struct Case {
        const char* sent;
        const char* pondered;
        bool hit;
    };
    const Case cases[] = {
        {"e2e4", "e2e4", true},
        {"e2e4 e7e5", "e2e4", true},
        {"e7e8q", "e7e8q", true},
        {"e7e8n", "e7e8q", false},
        {"e7e8", "e7e8q", false},
        {"e7e8q", "e7e8r", false},
        {"e2e3", "e2e4", false},
        {"d2e4", "e2e4", false},
        {"e1g1", "e1g1", true},
        {"e2e", "e2e4", false},
    };
    for (const Case& c : cases) EXPECT_EQ(samePonderMove(c.sent, c.pondered), c.hit) << c.sent;
}

TEST(XBoardMovesLeft, AGameJoinedLateStaysWithinTheTimeControl) {
    struct Case {
        int movesLeft, perSession, received, expected;
    };
    const Case cases[] = {
        {40, 40, 20, 30},   // ten moves played of forty
        {40, 40, 0, 40},
        {40, 40, 79, 1},
        {40, 40, 80, 40},   // exactly at the control: a fresh one
        {40, 40, 90, 35},   // five moves into the second control
        {40, 40, 1000, 20},  // five hundred moves: twelve controls and a half
        {0, 0, 60, 0},      // the whole game on one clock
        {5, 0, 30, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(movesLeftWhenJoining(c.movesLeft, c.perSession, c.received), c.expected)
            << c.movesLeft << " " << c.perSession << " " << c.received;
}

TEST(XBoardThinking, LineHoldsDepthScoreCentisecondsNodesAndMoves) {
    EXPECT_EQ(xboardThinkingLine(5, 31, 2500000.0, 123456, "e2e4 e7e5"), "5 31 250 123456 e2e4 e7e5");
    EXPECT_EQ(xboardThinkingLine(5, 31, 25000.0, 7, "e2e4"), "5 31 2 7 e2e4");
    EXPECT_EQ(xboardThinkingLine(3, -31997, 0.0, 0, ""), "3 -31997 0 0 ");
    EXPECT_EQ(xboardThinkingLine(1, 0, 1e30, 1, "a2a3"), "1 0 2147483647 1 a2a3");
}

// A started interpreter on an engine of its own; no search is ever asked for.
class XBoardInterpreter : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    std::unique_ptr<XBoardProtocol> xboard;

    void SetUp() override {
        engine->settings.hashMb = 1;
        engine->inputThreadInUse = true;
        xboard = std::make_unique<XBoardProtocol>(*engine);
        engine->protocol = nullptr;
        xboard->start();
    }
    void TearDown() override {
        xboard.reset();
        engine->release();
    }

    int run(const std::string& text) {
        Tokenizer line(text.c_str(), ' ');
        return xboard->handleLine(line);
    }
};

TEST_F(XBoardInterpreter, StartSetsTheTimeControlUp) {
    EXPECT_EQ(engine->protocol, nullptr);
    EXPECT_EQ(engine->listener, &xboard->listener);
    EXPECT_EQ(engine->movesLeft, 40);
    EXPECT_EQ(engine->movesPerSession, 40);
    EXPECT_EQ(engine->movesToGo, 40);
    EXPECT_TRUE(xboard->postThinking.load());
    EXPECT_FALSE(xboard->forceMode);
}

TEST_F(XBoardInterpreter, LevelExamples) {
    run("level 40 5 0");
    EXPECT_EQ(engine->movesPerSession, 40);
    EXPECT_EQ(engine->movesLeft, 40);
    EXPECT_EQ(engine->movesToGo, 40);
    EXPECT_EQ(engine->clock[White], 300000.0f);
    EXPECT_EQ(engine->increment[White], 0);
    EXPECT_EQ(engine->limits(), LimitSet(Clock));

    run("level 0 2:30 12");
    EXPECT_EQ(engine->movesPerSession, 0);
    EXPECT_EQ(engine->movesLeft, 0);
    EXPECT_EQ(engine->clock[White], 150000.0f);
    EXPECT_EQ(engine->increment[White], 12000);
    EXPECT_EQ(engine->increment[Black], 12000);

    // A malformed command changes nothing.
    engine->setLimits(Depth);
    run("level 40 oops 0");
    run("level");
    EXPECT_EQ(engine->limits(), LimitSet(Depth));
    EXPECT_EQ(engine->clock[White], 150000.0f);
}

TEST_F(XBoardInterpreter, TimeAndOtimSetTheClocksInMilliseconds) {
    // White to move: "time" is the clock of the side not to move.
    run("time 30000");
    EXPECT_EQ(engine->clock[Black], 300000.0f);
    run("otim 30000");
    EXPECT_EQ(engine->clock[White], 300000.0f);
    run("otim 99999999999999");
    EXPECT_EQ(engine->clock[White], float(INT_MAX));
    run("time -50");
    EXPECT_EQ(engine->clock[Black], 0.0f);
    run("time");
    EXPECT_EQ(engine->clock[Black], 0.0f);
}

TEST_F(XBoardInterpreter, StAndSdSetTheirLimits) {
    run("st 10");
    EXPECT_EQ(engine->moveTime, 10000000);
    EXPECT_EQ(engine->limits(), LimitSet(MoveTime));
    run("st 0.5");
    EXPECT_EQ(engine->moveTime, 500000);
    run("st 1.5");
    EXPECT_EQ(engine->moveTime, 1500000);
    run("st 0.0015");
    EXPECT_EQ(engine->moveTime, 1500);
    run("st 2147.5");  // does not fit the 32-bit field: capped
    EXPECT_EQ(engine->moveTime, INT_MAX);
    run("st 3000");  // beyond 2147 seconds: capped, never negative
    EXPECT_EQ(engine->moveTime, INT_MAX);
    run("st -5");
    EXPECT_EQ(engine->moveTime, 0);
    run("sd 0");
    EXPECT_EQ(engine->depthLimit, 1);
    EXPECT_EQ(engine->limits(), LimitSet(MoveTime) | Depth);
    run("sd 200");
    EXPECT_EQ(engine->depthLimit, 127);
    run("st");
    EXPECT_EQ(engine->limits(), LimitSet(MoveTime) | Depth);
}

// The depth of "sd" applies with the time control in either order; "st"
// and "level" replace each other; "new" drops the depth.
TEST_F(XBoardInterpreter, DepthAppliesWithTheTimeControl) {
    struct Case {
        std::vector<std::string> lines;
        LimitSet limits;
    };
    const Case cases[] = {
        {{"level 40 0:05 0", "sd 40"}, LimitSet(Clock) | Depth},
        {{"sd 40", "level 40 0:05 0"}, LimitSet(Clock) | Depth},
        {{"st 1", "sd 40"}, LimitSet(MoveTime) | Depth},
        {{"sd 40", "st 1"}, LimitSet(MoveTime) | Depth},
        {{"sd 40", "level 40 0:05 0", "st 1"}, LimitSet(MoveTime) | Depth},
        {{"st 1", "sd 40", "level 40 0:05 0"}, LimitSet(Clock) | Depth},
        {{"level 40 0:05 0", "st 1"}, LimitSet(MoveTime)},
        {{"st 1", "level 40 0:05 0"}, LimitSet(Clock)},
        {{"sd 4", "new"}, LimitSet(MoveTime)},
    };
    for (const Case& c : cases) {
        run("new");
        std::string sent;
        for (const std::string& line : c.lines) {
            run(line);
            sent += line + "; ";
        }
        for (const LimitMode mode : {Depth, Nodes, MoveTime, Clock, Infinite})
            EXPECT_EQ(engine->limitedBy(mode), c.limits.has(mode)) << sent << "mode " << mode;
    }
}

TEST_F(XBoardInterpreter, ForcePostAndPonderSwitches) {
    run("force");
    EXPECT_TRUE(xboard->forceMode);
    run("nopost");
    EXPECT_FALSE(xboard->postThinking.load());
    run("post");
    EXPECT_TRUE(xboard->postThinking.load());
    run("hard");
    EXPECT_TRUE(engine->ponderAllowed);
    EXPECT_EQ(engine->ponderEnabled, 1);
    engine->ponderMove = 5;
    run("easy");
    EXPECT_EQ(engine->ponderEnabled, 0);
    EXPECT_EQ(engine->ponderMove, 0);
    run("hard");
    run("new");
    EXPECT_FALSE(engine->ponderAllowed);
    EXPECT_EQ(engine->ponderEnabled, 0);
    EXPECT_FALSE(xboard->forceMode);
}

TEST_F(XBoardInterpreter, ForcedMovesAreCountedAndPlayed) {
    run("force");
    run("e2e4 e7e5");
    run("g1f3");
    EXPECT_EQ(xboard->movesReceived, 2);
    EXPECT_EQ(engine->gameHistory.size(), 3u);
    EXPECT_FALSE(xboard->searchOpen());
    run("undo");
    EXPECT_EQ(engine->gameHistory.size(), 2u);
    run("new");
    EXPECT_EQ(xboard->movesReceived, 0);
    EXPECT_TRUE(engine->gameHistory.empty());
}

TEST_F(XBoardInterpreter, QuitEndsTheProgram) {
    EXPECT_EQ(run("quit"), 0);
    EXPECT_EQ(run("ping 3"), 1);
    EXPECT_EQ(run("   "), 1);
}

TEST_F(XBoardInterpreter, TheEnginesMovesCountDownTheTimeControl) {
    run("level 40 5 0");
    const Move e2e4 = makeMove(12, 28, Pawn, 0, 0);
    for (int move = 1; move < 40; move++) {
        xboard->searchEnded(Stopped, e2e4, 0, 1000.0);
        EXPECT_EQ(engine->movesLeft, 40 - move);
    }
    xboard->searchEnded(Stopped, e2e4, 0, 1000.0);  // the fortieth: a new control
    EXPECT_EQ(engine->movesLeft, 40);
    // A search that ended by a stop from outside, or found no move, does not count.
    xboard->searchEnded(Aborted, e2e4, 0, 1000.0);
    xboard->searchEnded(Stopped, 0, 0, 1000.0);
    EXPECT_EQ(engine->movesLeft, 40);
}

TEST_F(XBoardInterpreter, FirstGoOfAGameJoinedLateCorrectsMovesLeft) {
    run("level 40 5 0");
    run("force");
    const char* moves[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 20; i++) run(moves[i % 4]);
    EXPECT_EQ(xboard->movesReceived, 20);
    // The search is asked for but never run here: "go" is the last command.
    run("go");
    EXPECT_EQ(engine->movesLeft, 30);
    EXPECT_EQ(engine->movesToGo, 30);
    EXPECT_TRUE(xboard->searchOpen());
}

TEST_F(XBoardInterpreter, FirstGoLongAfterTheControlNeverGoesNegative) {
    run("level 40 5 0");
    run("force");
    const char* moves[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    for (int i = 0; i < 100; i++) run(moves[i % 4]);
    run("go");
    EXPECT_EQ(engine->movesLeft, 30);  // fifty moves played: ten into the second control
}

}  // namespace
