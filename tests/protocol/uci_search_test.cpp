// Searches under the UCI dialogue of the real program: commands that arrive
// while a search runs, pondering, the end of a search and the end of input.

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"

using namespace enginetest;

namespace {

constexpr int answerMs = 10000;  // ample for a stopped search to answer

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A program that has answered "uci" and "isready".
class UciEngine : public testing::Test {
protected:
    TempDir dir;
    std::unique_ptr<EngineProcess> engine;

    void startEngine(const std::string& config = "") {
        if (!config.empty()) dir.write("vorlix.ini", config);
        engine.reset(new EngineProcess(dir.path));
        ASSERT_TRUE(engine->started());
        engine->send("uci");
        ASSERT_TRUE(engine->waitFor("^uciok$", answerMs));
    }
    void SetUp() override { startEngine(); }

    // Lines that arrive within `ms` milliseconds.
    std::vector<std::string> quietFor(int ms) {
        std::vector<std::string> lines;
        std::string line;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  until - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0 || !engine->readLine(line, int(left))) break;
            lines.push_back(line);
        }
        return lines;
    }
    void expectNoBestMove(int ms) {
        const auto lines = quietFor(ms);
        EXPECT_EQ(countMatching(lines, "^bestmove"), 0) << joinLines(lines);
    }
    void expectReady() {
        engine->send("isready");
        std::vector<std::string> before;
        ASSERT_TRUE(engine->waitFor("^readyok$", answerMs, &before));
        EXPECT_EQ(countMatching(before, "^bestmove"), 0) << joinLines(before);
    }
    int quitAndWait() {
        engine->send("quit");
        return engine->waitExit(answerMs);
    }
};

TEST_F(UciEngine, IsReadyIsAnsweredDuringAnInfiniteSearchAndStopAnswersOnce) {
    engine->send("position startpos");
    engine->send("go infinite");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    std::vector<std::string> before;
    engine->send("isready");
    ASSERT_TRUE(engine->waitFor("^readyok$", answerMs, &before));
    EXPECT_EQ(countMatching(before, "^bestmove"), 0);
    engine->send("stop");
    ASSERT_TRUE(engine->waitFor("^bestmove [a-h][1-8][a-h][1-8]$", answerMs));
    expectReady();
    EXPECT_EQ(quitAndWait(), 0);
}

// A "stop" that arrives while the main thread is still taking the search
// over must not be lost: every "go infinite" is answered.
TEST_F(UciEngine, StopRightAfterGoIsNeverLost) {
    engine->send("position startpos");
    for (int k = 0; k < 30; k++) {
        engine->send("go infinite");
        engine->send("stop");
        ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs)) << "search " << k;
    }
    expectReady();
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 30);
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, QuitRightAfterGoEndsTheProgram) {
    engine->send("position startpos");
    engine->send("go infinite");
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, QuitDuringAnInfiniteSearchStillAnswers) {
    engine->send("position startpos");
    engine->send("go infinite");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
    const auto rest = engine->readAll(2000);
    EXPECT_EQ(countMatching(rest, "^bestmove"), 1) << joinLines(rest);
}

TEST_F(UciEngine, QuitDuringABoundedSearchAbortsWithoutAnswer) {
    engine->send("position startpos");
    engine->send("go depth 60");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
    const auto rest = engine->readAll(2000);
    EXPECT_EQ(countMatching(rest, "^bestmove"), 0) << joinLines(rest);
}

// 4294968 ms is 4294968000 us: wrapped to 32 bits it would be under a
// millisecond. Capped, the search runs until told to stop.
TEST_F(UciEngine, LongMoveTimeDoesNotWrap) {
    engine->send("position startpos");
    engine->send("go movetime 4294968");
    expectNoBestMove(500);
    engine->send("stop");
    EXPECT_TRUE(engine->waitFor("^bestmove ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, HugeClocksDoNotWrap) {
    engine->send("position startpos");
    engine->send("go wtime 99999999999999 btime 99999999999999 winc 99999999999 binc 99999999999");
    expectNoBestMove(500);
    engine->send("stop");
    EXPECT_TRUE(engine->waitFor("^bestmove ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, StopAnswersWithThePonderMoveOnlyWhenPonderIsOn) {
    const std::regex withPonder("^bestmove [a-h][1-8][a-h][1-8] ponder [a-h][1-8][a-h][1-8]$");
    const std::regex bestOnly("^bestmove [a-h][1-8][a-h][1-8]$");
    for (bool ponder : {false, true}) {
        engine->send(std::string("setoption name Ponder value ") + (ponder ? "true" : "false"));
        engine->send("position startpos");
        engine->send("go infinite");
        ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
        engine->send("stop");
        std::string answer;
        ASSERT_TRUE(engine->waitFor("^bestmove", answerMs, nullptr, &answer));
        EXPECT_TRUE(std::regex_search(answer, ponder ? withPonder : bestOnly)) << answer;
    }
    EXPECT_EQ(quitAndWait(), 0);
}

// "True" does not begin with "true": the option stays off.
TEST_F(UciEngine, PonderValueIsCaseSensitive) {
    engine->send("setoption name Ponder value True");
    engine->send("position startpos");
    engine->send("go depth 2");
    std::string answer;
    ASSERT_TRUE(engine->waitFor("^bestmove", answerMs, nullptr, &answer));
    EXPECT_TRUE(std::regex_search(answer, std::regex("^bestmove [a-h][1-8][a-h][1-8]$"))) << answer;
    EXPECT_EQ(quitAndWait(), 0);
}

class UciPonder : public UciEngine {
protected:
    void SetUp() override {
        UciEngine::SetUp();
        engine->send("setoption name Ponder value true");
        engine->send("position startpos moves e2e4 e7e5");
    }
};

TEST_F(UciPonder, PonderHitTurnsThePonderSearchIntoANormalOne) {
    engine->send("go ponder wtime 2000 btime 2000");
    expectNoBestMove(700);  // a ponder search ignores the clock
    engine->send("ponderhit");
    std::string answer;
    ASSERT_TRUE(engine->waitFor("^bestmove", answerMs, nullptr, &answer));
    EXPECT_TRUE(std::regex_search(
        answer, std::regex("^bestmove [a-h][1-8][a-h][1-8] ponder [a-h][1-8][a-h][1-8]$")))
        << answer;
    expectReady();
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 1);
    EXPECT_EQ(quitAndWait(), 0);
}

// A ponder search that reached its depth keeps its answer for "ponderhit",
// which then answers at once, and only once.
TEST_F(UciPonder, FinishedPonderSearchAnswersAtPonderHitOnce) {
    engine->send("go ponder depth 2");
    expectNoBestMove(500);
    engine->send("ponderhit");
    std::string answer;
    ASSERT_TRUE(engine->waitFor("^bestmove", 2000, nullptr, &answer));
    EXPECT_TRUE(std::regex_search(
        answer, std::regex("^bestmove [a-h][1-8][a-h][1-8] ponder [a-h][1-8][a-h][1-8]$")))
        << answer;
    engine->send("ponderhit");
    engine->send("stop");
    expectReady();
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 1);
    EXPECT_EQ(quitAndWait(), 0);
}

// A ponder miss: the GUI stops the ponder search and expects its answer.
TEST_F(UciPonder, StopEndsThePonderSearchWithAnAnswer) {
    for (const char* go : {"go ponder infinite", "go ponder depth 2"}) {
        engine->send(go);
        sleepMs(200);
        engine->send("stop");
        std::string answer;
        ASSERT_TRUE(engine->waitFor("^bestmove", answerMs, nullptr, &answer)) << go;
        EXPECT_TRUE(std::regex_search(answer, std::regex("^bestmove [a-h][1-8][a-h][1-8] ponder ")))
            << answer;
    }
    expectReady();
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 2);
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciPonder, PonderHitRightAfterGoIsNeverLost) {
    for (int k = 0; k < 10; k++) {
        engine->send("go ponder movetime 100");
        engine->send("ponderhit");
        ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs)) << "search " << k;
    }
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, GoPonderWithPonderOffIsANormalSearch) {
    engine->send("position startpos");
    engine->send("go ponder depth 3");
    EXPECT_TRUE(engine->waitFor("^bestmove [a-h][1-8][a-h][1-8]$", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
}

TEST_F(UciEngine, NewGameDuringASearchAbortsItAndResetsTheGame) {
    engine->send("position startpos moves e2e4");
    engine->send("go depth 60");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    engine->send("ucinewgame");
    engine->send("printFEN");
    std::vector<std::string> before;
    ASSERT_TRUE(engine->waitFor("^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0$",
                                answerMs, &before));
    EXPECT_EQ(countMatching(before, "^bestmove"), 0) << joinLines(before);
    engine->send("go depth 2");
    EXPECT_TRUE(engine->waitFor("^bestmove ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
}

// The table, the threads and the weights are never rebuilt under a running
// search: such options wait for its end. "eval" meanwhile uses its own pawn
// table.
TEST_F(UciEngine, HeavyOptionsDuringASearchWaitForItsEnd) {
    engine->send("quit");
    ASSERT_EQ(engine->waitExit(answerMs), 0);
    startEngine("LogLevel=127\nHash=4\n");
    engine->send("position startpos");
    engine->send("go infinite");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    engine->send("setoption name Threads value 3");
    engine->send("setoption name Hash value 8");
    engine->send("setoption name Clear Hash");
    engine->send("eval");
    ASSERT_TRUE(engine->waitFor("^eval = ", answerMs));
    engine->send("stop");
    ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs));
    expectReady();
    engine->send("go depth 3");
    ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs));
    EXPECT_EQ(quitAndWait(), 0);

    const std::string log = dir.read("logfile.txt");
    const size_t deferred = log.find("option applied after the search: setoption name Threads");
    const size_t answered = log.find(">> bestmove");
    const size_t threads = log.find("Using 3 threads");
    const size_t resized = log.find("Init main hash table : 8");
    ASSERT_NE(deferred, std::string::npos) << log;
    ASSERT_NE(answered, std::string::npos);
    ASSERT_NE(threads, std::string::npos);
    ASSERT_NE(resized, std::string::npos);
    EXPECT_LT(deferred, answered);
    EXPECT_GT(threads, answered);
    EXPECT_GT(resized, answered);
}

// At the end of input a bounded search finishes and answers, an endless one
// is stopped and answers; then the program ends.
TEST(UciEndOfInput, ActsAsQuitAfterTheSearchHasAnswered) {
    for (const char* config : {"", "UseInputThread=0\n"}) {
        for (const char* go : {"go depth 5", "go infinite", "go ponder infinite"}) {
            TempDir dir;
            if (*config) dir.write("vorlix.ini", config);
            int status = -1;
            const auto output = runSession(
                dir, {"uci", "setoption name Ponder value true", "position startpos", go}, status);
            EXPECT_EQ(countMatching(output, "^bestmove [a-h][1-8][a-h][1-8]"), 1)
                << config << go << "\n" << joinLines(output);
            EXPECT_EQ(status, 0) << config << go;
        }
    }
}

// Without the input thread the search itself reads the commands.
TEST(UciMainThreadReader, CommandsAreReadDuringTheSearch) {
    TempDir dir;
    dir.write("vorlix.ini", "UseInputThread=0\nHash=8\n");
    EngineProcess engine(dir.path);
    engine.send("uci");
    ASSERT_TRUE(engine.waitFor("^uciok$", answerMs));
    engine.send("position startpos");
    engine.send("go infinite");
    ASSERT_TRUE(engine.waitFor("^info depth 2 ", answerMs));
    engine.send("isready");
    std::vector<std::string> before;
    ASSERT_TRUE(engine.waitFor("^readyok$", answerMs, &before));
    EXPECT_EQ(countMatching(before, "^bestmove"), 0);
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("^bestmove ", answerMs));
    engine.send("go depth 3");
    ASSERT_TRUE(engine.waitFor("^bestmove ", answerMs));
    engine.send("go infinite");
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(answerMs), 0);
}

// One thread, a fresh program each time: the same search prints the same
// lines but for time and speed.
TEST(UciDeterminism, SameDepthTwiceGivesTheSameLines) {
    auto run = [] {
        TempDir dir;
        int status = 0;
        auto output = runSession(dir,
                                 {"uci", "position startpos moves e2e4 c7c5 g1f3", "go depth 8"},
                                 status, 60000);
        std::vector<std::string> lines;
        const std::regex timing(" time [0-9]+ nodes ([0-9]+) nps [0-9]+");
        for (const std::string& line : output)
            if (line.rfind("info", 0) == 0 || line.rfind("bestmove", 0) == 0)
                lines.push_back(std::regex_replace(line, timing, " nodes $1"));
        return lines;
    };
    const auto first = run();
    const auto second = run();
    ASSERT_GE(first.size(), 9u);
    EXPECT_EQ(first, second);
}

}  // namespace
