// The text of the search reports: UCI info lines and the console's thinking
// lines, and the report of a rejected move.

#include <gtest/gtest.h>

#include <string>

#include "board/types.h"
#include "protocol/console_listener.h"
#include "protocol/gui_io.h"
#include "protocol/uci_listener.h"

namespace {

TEST(UciInfoText, Scores) {
    struct Case {
        int score;
        Bound bound;
        const char* text;
    };
    const Case cases[] = {
        {32000 - 1, Exact, "mate 1"},      {32000 - 3, Exact, "mate 2"},
        {32000 - 2, Exact, "mate 2"},      {2 - 32000, Exact, "mate -1"},
        {4 - 32000, Exact, "mate -2"},     {31743, Exact, "cp 31743"},
        {-31743, Exact, "cp -31743"},      {35, Upper, "cp 35 upperbound"},
        {-20, Lower, "cp -20 lowerbound"}, {0, Exact, "cp 0"},
    };
    for (const Case& c : cases) EXPECT_EQ(uciScoreText(c.score, c.bound), c.text) << c.score;
}

TEST(UciInfoText, BoundSitsRightBeforeTime) {
    EXPECT_EQ(uciPvInfo(0, 5, 9, 35, Exact, 2000000.0, 1000, "e2e4 e7e5"),
              "depth 5 seldepth 9 score cp 35 time 2000 nodes 1000 nps 500 pv e2e4 e7e5");
    EXPECT_EQ(uciPvInfo(0, 5, 9, 35, Upper, 2000000.0, 1000, "e2e4"),
              "depth 5 seldepth 9 score cp 35 upperbound time 2000 nodes 1000 nps 500 pv e2e4");
    EXPECT_EQ(uciPvInfo(2, 5, 9, -35, Lower, 2000000.0, 1000, "d2d4"),
              "multipv 2 depth 5 seldepth 9 score cp -35 lowerbound time 2000 nodes 1000 nps 500 "
              "pv d2d4");
}

TEST(UciInfoText, NoElapsedTimeCountsSixteenMilliseconds) {
    EXPECT_EQ(uciTimeMillis(0.0), 16);
    EXPECT_EQ(uciNodesPerSecond(32000, 0.0), 2000000);
    EXPECT_EQ(uciTimeMillis(1999.0), 1);
    // Far beyond the int range the speed is held at its end, not wrapped.
    EXPECT_EQ(uciNodesPerSecond(uint64_t(1) << 50, 1.0), 2147483647);
}

TEST(ConsoleText, Scores) {
    struct Case {
        int score;
        const char* text;
    };
    const Case cases[] = {{35, "+0.35"}, {-150, "-1.50"}, {0, "+0.00"},
                          {32000 - 3, "+M2"}, {2 - 32000, "-M1"}, {-5, "-0.05"}};
    for (const Case& c : cases) EXPECT_EQ(consoleScoreText(c.score), c.text) << c.score;
}

TEST(ConsoleText, MovesInLongAlgebraicForm) {
    const Move moves[] = {
        makeMove(G1, F3, Knight),
        makeMove(E5, D6, Pawn, Pawn) | EnPassantFlag,
        makeMove(E7, E8, Pawn, NoPiece, Queen),
        makeMove(E1, H1, King) | CastlingFlag,
        makeMove(E8, A8, King) | CastlingFlag,
    };
    EXPECT_EQ(consoleMoveText(moves, 5), "Ng1-f3 e5xd6e.p e7-e8=Q O-O O-O-O ");
    const Move none[] = {NoMove};
    EXPECT_EQ(consoleMoveText(none, 1), " ");
}

TEST(ConsoleText, ThinkingLineLayout) {
    const Move pv[] = {makeMove(G1, F3, Knight)};
    EXPECT_EQ(consolePvLine(7, 35, pv, 1, 5000000, 2000000.0, 15, Exact),
              " 7/15  00:00:02.000 5000000   2500   +0.35 Ng1-f3 ");
    EXPECT_EQ(consolePvLine(12, -150, pv, 1, 5000000, 2000000.0, 3, Upper),
              "12/3 - 00:00:02.000 5000000   2500   -1.50 Ng1-f3 ");
    EXPECT_EQ(consolePvLine(12, 150, pv, 1, 5000000, 2000000.0, 30, Lower).substr(0, 6), "12/30+");
    // No time passed: the speed counts 16 milliseconds.
    EXPECT_EQ(consolePvLine(1, 0, pv, 1, 16000, 0.0, 1, Exact),
              " 1/1   00:00:00.000 16000   1000   +0.00 Ng1-f3 ");
    EXPECT_EQ(consoleFollowingLine(20, pv, 1, 5000000, 2000000.0),
              "       00:00:02.000 5000000   2500   +0.20 Ng1-f3 ");
}

// A muted console prints nothing but still keeps the result for the tools.
TEST(ConsoleText, MutedListenerStoresTheResult) {
    ConsoleListener console;
    console.muted = true;
    const Move pv[] = {makeMove(E2, E4, Pawn)};
    testing::internal::CaptureStdout();
    console.onPv(3, 10, pv, 1, 100, 1000.0, 4, Exact);
    console.onMultiPv(1, 3, 10, pv, 1, 1000.0, 100, 4, Exact);
    console.onSearchDone(Stopped, pv[0], NoMove, 3, 4, 100, 1000.0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(console.bestMove, pv[0]);
    EXPECT_EQ(console.depth, 3);
    EXPECT_EQ(console.selDepth, 4);
    EXPECT_EQ(console.nodes, 100u);
}

TEST(IllegalMoveText, FourOrFiveCharactersNeverPastTheText) {
    EXPECT_EQ(illegalMoveText("e2e5 g8f6"), "Illegal move: e2e5");
    EXPECT_EQ(illegalMoveText("e7e8q"), "Illegal move: e7e8q");
    EXPECT_EQ(illegalMoveText("e7e8q g8f6"), "Illegal move: e7e8q");
    EXPECT_EQ(illegalMoveText("O-O"), "Illegal move: O-O");
    EXPECT_EQ(illegalMoveText("e2"), "Illegal move: e2");
    EXPECT_EQ(illegalMoveText(""), "Illegal move: ");
}

}  // namespace
