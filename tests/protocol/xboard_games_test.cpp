// A series of fast games between two engine processes through the XBoard
// dialogue, as a GUI plays them: "new", "level", the clocks before every
// move, "result" at the end. One side ponders ("hard"), the other posts its
// thinking. A referee checks every move with the library's legal move
// generator and keeps both clocks in wall time.
//
// VORLIX_XBOARD_GAMES sets the number of games and VORLIX_XBOARD_PLIES the
// ply limit (longer runs by hand).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "xboard_test_support.h"

using namespace enginetest;
using namespace xboardtest;

namespace {

using Clock = std::chrono::steady_clock;

// Kings alone, or with one minor piece: nobody can win.
bool insufficientMaterial(const Position& position) {
    int minors = 0, others = 0;
    for (int square = 0; square < 64; square++) {
        const int type = position.board[square];
        if (type == Knight || type == Bishop) minors++;
        else if (type != NoPiece && type != King) others++;
    }
    return others == 0 && minors <= 1;
}

struct SeriesFigures {
    int games = 0;
    int whiteWins = 0, blackWins = 0, draws = 0;
    int plies = 0;
    double lowestClockMs = 1e9;
    double longestMoveMs = 0;
    std::map<std::string, int> endings;
};

int centiseconds(double millis) { return millis <= 0 ? 0 : int(millis / 10.0); }

TEST(XBoardGames, FastSeriesHasNoIllegalMoveCrashHangOrTimeLoss) {
    const char* requested = std::getenv("VORLIX_XBOARD_GAMES");
    const int games = requested != nullptr && std::atoi(requested) > 0 ? std::atoi(requested)
                                                                        : (slowBuild ? 6 : 20);
    // A clock of one second per game (two in the slow builds), no increment;
    // games longer than the ply limit are scored as draws.
    const int baseSeconds = slowBuild ? 2 : 1;
    const double baseMs = baseSeconds * 1000.0;
    const char* plies = std::getenv("VORLIX_XBOARD_PLIES");
    const int plyLimit = plies != nullptr && std::atoi(plies) > 0 ? std::atoi(plies) : 60;

    TempDir dirA, dirB;
    XBoardEngine a(dirA), b(dirB);
    ASSERT_TRUE(a.handshake());
    ASSERT_TRUE(b.handshake());

    SeriesFigures figures;
    const auto seriesStart = Clock::now();
    for (int game = 0; game < games; game++) {
        XBoardEngine* side[2];  // by colour: [1] white, [0] black
        side[White] = game % 2 == 0 ? &a : &b;
        side[Black] = game % 2 == 0 ? &b : &a;
        for (XBoardEngine* engine : {&a, &b}) {
            engine->send("new");
            engine->send("level 0 0:0" + std::to_string(baseSeconds) + " 0");
            engine->send(engine == &a ? "hard" : "easy");
            engine->send(engine == &a ? "nopost" : "post");
        }
        double clock[2] = {baseMs, baseMs};
        Referee referee;

        int mover = White;
        side[White]->send("time " + std::to_string(centiseconds(clock[White])));
        side[White]->send("otim " + std::to_string(centiseconds(clock[Black])));
        side[White]->send("go");
        auto sent = Clock::now();
        std::string ending;
        for (;;) {
            std::string move;
            std::vector<std::string> before;
            const int patienceMs = int(clock[mover]) + answerTimeoutMs;
            ASSERT_TRUE(side[mover]->readMove(move, &before, patienceMs))
                << "no move in game " << game << " at ply " << referee.plies;
            const double spent =
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
            clock[mover] -= spent;
            figures.longestMoveMs = std::max(figures.longestMoveMs, spent);
            figures.lowestClockMs = std::min(figures.lowestClockMs, clock[mover]);
            ASSERT_GE(clock[mover], 0.0) << "time loss in game " << game << " at ply "
                                          << referee.plies << " (" << spent << " ms)";
            for (const std::string& line : before)
                ASSERT_EQ(line.find("Illegal"), std::string::npos) << line;
            ASSERT_TRUE(referee.play(move))
                << "illegal move " << move << " in game " << game << " at ply " << referee.plies;

            ending = referee.gameOver();
            if (ending.empty() && insufficientMaterial(referee.position)) ending = "material";
            if (ending.empty() && referee.plies >= plyLimit) ending = "ply limit";
            if (!ending.empty()) break;

            const int other = mover ^ 1;
            side[other]->send("time " + std::to_string(centiseconds(clock[other])));
            side[other]->send("otim " + std::to_string(centiseconds(clock[mover])));
            side[other]->send(move);
            sent = Clock::now();
            mover = other;
        }

        std::string result = "1/2-1/2";
        if (ending == "mate") {
            // The side to move is mated: the mover won.
            result = mover == White ? "1-0" : "0-1";
            (mover == White ? figures.whiteWins : figures.blackWins)++;
        } else {
            figures.draws++;
        }
        figures.endings[ending]++;
        figures.plies += referee.plies;
        figures.games++;
        for (XBoardEngine* engine : {&a, &b}) {
            engine->send("result " + result + " {" + ending + "}");
            ASSERT_TRUE(engine->sync()) << "no answer after game " << game;
        }
        for (XBoardEngine* engine : {&a, &b})
            for (const std::string& line : engine->process.transcript)
                ASSERT_EQ(line.find("Illegal"), std::string::npos) << line;
    }
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - seriesStart).count();

    EXPECT_EQ(a.quit(), 0);
    EXPECT_EQ(b.quit(), 0);

    std::string endings;
    for (const auto& entry : figures.endings)
        endings += " " + entry.first + " " + std::to_string(entry.second) + ";";
    std::printf("[ SERIES   ] %d games in %.1f s: white %d, black %d, draws %d;%s %d plies; "
                "lowest clock %.0f ms, longest move %.0f ms\n",
                figures.games, wallSeconds, figures.whiteWins, figures.blackWins, figures.draws,
                endings.c_str(), figures.plies, figures.lowestClockMs, figures.longestMoveMs);
    EXPECT_EQ(figures.games, games);
}

}  // namespace
