// Searches under the UCI dialogue of the real program: commands that arrive
// while a search runs, pondering, the end of a search and the end of input.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <tuple>
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
// The counts walk the game position, which a search's end changes: during a
// search they say in a line that they do not run.
TEST_F(UciEngine, PerftDuringASearchSaysWhyItDoesNotRun) {
    engine->send("position startpos");
    engine->send("go infinite");
    ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
    for (const char* command : {"perft 3", "perftd 2", "divide 2"}) {
        engine->send(command);
        ASSERT_TRUE(engine->waitFor("^info string perft is not run during a search$", answerMs))
            << command;
    }
    engine->send("stop");
    ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs));
    engine->send("perft 3");
    EXPECT_TRUE(engine->waitFor("^Nodes = 8902$", answerMs));
    EXPECT_EQ(quitAndWait(), 0);
}

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

// Every "go" is answered once: a search that "ucinewgame" ends answers before
// the new game is set up.
TEST_F(UciEngine, NewGameDuringASearchAnswersItAndResetsTheGame) {
    for (const char* go : {"go depth 60", "go infinite"}) {
        engine->send("position startpos moves e2e4");
        engine->send(go);
        ASSERT_TRUE(engine->waitFor("^info depth 2 ", answerMs));
        engine->send("ucinewgame");
        engine->send("printFEN");
        std::vector<std::string> before;
        ASSERT_TRUE(engine->waitFor("^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0$",
                                    answerMs, &before));
        EXPECT_EQ(countMatching(before, "^bestmove [a-h][1-8][a-h][1-8]$"), 1)
            << go << "\n" << joinLines(before);
        engine->send("go depth 2");
        EXPECT_TRUE(engine->waitFor("^bestmove ", answerMs));
    }
    expectReady();
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 4);
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

// Processor time (user and system) the process has used so far, in
// milliseconds; -1 where the system does not tell.
long long cpuMillis(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    // Fields 3 to 13 come before utime (14) and stime (15).
    for (int k = 3; k <= 13 && fields >> field; k++) {
    }
    if (!(fields >> user >> system)) return -1;
    return (long long)((user + system) * 1000ULL / (unsigned long long)sysconf(_SC_CLK_TCK));
}

// Ends a search that waits for its end with `ending` (nullptr: the end of
// input) and checks that it answers once, with `answer`; a search that
// `ending` leaves running (`stillRuns`) is stopped after a while. The engine
// then still answers and quits cleanly.
void endWithOneAnswer(EngineProcess& engine, const char* ending, const char* answer,
                      bool stillRuns) {
    const bool quits = ending == nullptr || std::string(ending) == "quit";
    if (ending) engine.send(ending);
    else engine.closeInput();
    if (stillRuns) {
        EXPECT_FALSE(engine.waitFor("^bestmove", 400)) << "ended by " << ending;
        engine.send("stop");
    }
    ASSERT_TRUE(engine.waitFor(answer, answerMs)) << joinLines(engine.transcript);
    if (!quits) {
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("^readyok$", answerMs));
        engine.send("quit");
    }
    EXPECT_EQ(engine.waitExit(answerMs), 0);
    EXPECT_EQ(countMatching(engine.transcript, "^bestmove"), 1) << joinLines(engine.transcript);
}

// A mate in one runs its 127 iterations in a moment. An analysis or a ponder
// search that has run out of iterations then sleeps, sending nothing, until
// the command that ends it; then it answers once, without a ponder move it
// does not have. With and without the input thread.
struct EndingCase {
    const char* name;
    std::vector<std::string> before;  // after "uci"
    const char* go;
    const char* ending;  // nullptr: the end of input
    bool stillRuns;      // the search goes on after `ending`, until "stop"
};

const EndingCase endingCases[] = {
    {"StopEndsAnAnalysis", {}, "go infinite", "stop", false},
    {"PonderhitEndsAPonderSearch", {"setoption name Ponder value true"},
     "go ponder wtime 10000 btime 10000", "ponderhit", false},
    {"StopEndsAPonderSearch", {"setoption name Ponder value true"},
     "go ponder wtime 10000 btime 10000", "stop", false},
    {"PonderhitLeavesAnInfinitePonderSearchRunning", {"setoption name Ponder value true"},
     "go ponder infinite", "ponderhit", true},
    {"QuitEndsAnAnalysis", {}, "go infinite", "quit", false},
    {"NewGameEndsAnAnalysis", {}, "go infinite", "ucinewgame", false},
    {"PositionEndsAnAnalysis", {}, "go infinite", "position startpos", false},
    {"EndOfInputEndsAnAnalysis", {}, "go infinite", nullptr, false},
};

void PrintTo(const EndingCase& c, std::ostream* out) { *out << c.name; }

class UciEndlessSearch : public testing::TestWithParam<std::tuple<EndingCase, bool>> {};

TEST_P(UciEndlessSearch, WaitsAtItsLastIterationForTheCommandThatEndsIt) {
    const EndingCase& c = std::get<0>(GetParam());
    const bool inputThread = std::get<1>(GetParam());
    TempDir dir;
    if (!inputThread) dir.write("vorlix.ini", "UseInputThread=0\n");
    EngineProcess engine(dir.path);
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    for (const std::string& line : c.before) engine.send(line);
    engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    engine.send(c.go);
    ASSERT_TRUE(engine.waitFor("^info depth 127 ", answerMs));

    const long long cpuBefore = cpuMillis(engine.processId());
    EXPECT_FALSE(engine.waitFor("^bestmove", 600)) << "answered without a command";
    const long long cpuAfter = cpuMillis(engine.processId());
    if (cpuBefore >= 0 && cpuAfter >= 0) {
        EXPECT_LT(cpuAfter - cpuBefore, 200) << "the wait used a core";
    }

    endWithOneAnswer(engine, c.ending, "^bestmove a1a8$", c.stillRuns);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, UciEndlessSearch, testing::Combine(testing::ValuesIn(endingCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<EndingCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WithInputThread" : "WithoutInputThread");
    });

// With no legal move (the side to move is stalemated or mated) an analysis
// or a ponder search still waits for the command that ends it, then answers
// once with the null move. With and without the input thread.
struct NoMoveCase {
    const char* name;
    const char* fen;
    std::vector<std::string> before;  // after "uci"
    const char* go;
    const char* ending;  // nullptr: the end of input
};

const char* const stalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
const char* const checkmate = "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";

const NoMoveCase noMoveCases[] = {
    {"StopEndsAnAnalysis", stalemate, {}, "go infinite", "stop"},
    {"StopEndsAnAnalysisOfAMate", checkmate, {}, "go infinite", "stop"},
    {"StopEndsAGoWithoutLimits", stalemate, {}, "go", "stop"},
    {"PonderhitEndsAPonderSearch", stalemate, {"setoption name Ponder value true"},
     "go ponder wtime 10000 btime 10000", "ponderhit"},
    {"StopEndsAPonderSearch", stalemate, {"setoption name Ponder value true"},
     "go ponder wtime 10000 btime 10000", "stop"},
    {"QuitEndsAnAnalysis", stalemate, {}, "go infinite", "quit"},
    {"NewGameEndsAnAnalysis", stalemate, {}, "go infinite", "ucinewgame"},
    {"EndOfInputEndsAnAnalysis", stalemate, {}, "go infinite", nullptr},
};

void PrintTo(const NoMoveCase& c, std::ostream* out) { *out << c.name; }

class UciNoLegalMove : public testing::TestWithParam<std::tuple<NoMoveCase, bool>> {};

TEST_P(UciNoLegalMove, AnEndlessSearchWaitsForTheCommandThatEndsIt) {
    const NoMoveCase& c = std::get<0>(GetParam());
    const bool inputThread = std::get<1>(GetParam());
    TempDir dir;
    if (!inputThread) dir.write("vorlix.ini", "UseInputThread=0\n");
    EngineProcess engine(dir.path);
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    for (const std::string& line : c.before) engine.send(line);
    engine.send(std::string("position fen ") + c.fen);
    engine.send(c.go);
    EXPECT_FALSE(engine.waitFor("^bestmove", 600)) << "answered without a command";

    endWithOneAnswer(engine, c.ending, "^bestmove 0000$", false);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, UciNoLegalMove, testing::Combine(testing::ValuesIn(noMoveCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<NoMoveCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WithInputThread" : "WithoutInputThread");
    });

// An analysis of a book position waits for its end like any other: the
// book move is the answer, sent once, after "stop".
TEST(UciBookAnalysis, WaitsForStopBeforeAnsweringWithTheBookMove) {
    for (const bool inputThread : {true, false}) {
        TempDir dir;
        dir.write("games.pgn", "1. e4 e5 2. Nf3 Nc6 1-0\n");
        if (!inputThread) dir.write("vorlix.ini", "UseInputThread=0\n");
        {
            EngineProcess builder(dir.path, {"-buildbook", "games.pgn", "book.bin", "10", "1"});
            ASSERT_TRUE(builder.started());
            ASSERT_EQ(builder.waitExit(answerMs), 0);
        }
        EngineProcess engine(dir.path);
        ASSERT_TRUE(engine.started());
        engine.send("uci");
        engine.send("setoption name Book File value book.bin");
        engine.send("setoption name OwnBook value true");
        engine.send("position startpos");
        engine.send("go infinite");
        EXPECT_FALSE(engine.waitFor("^bestmove", 600))
            << "answered without a command: " << joinLines(engine.transcript);
        engine.send("stop");
        ASSERT_TRUE(engine.waitFor("^bestmove e2e4$", answerMs)) << joinLines(engine.transcript);
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(answerMs), 0);
        EXPECT_EQ(countMatching(engine.transcript, "^bestmove"), 1) << joinLines(engine.transcript);
    }
}

// UCI_Elo limits the engine only while UCI_LimitStrength is on; switched
// off, the engine is back at full speed, switched on it takes the last
// UCI_Elo. The limit at 1500 Elo is 150000 nodes per second. Each search is
// the same tree from an empty table, so the speeds compare.
TEST_F(UciEngine, EloCountsOnlyWhileLimitStrengthIsOn) {
    engine->send("quit");
    ASSERT_EQ(engine->waitExit(answerMs), 0);
    startEngine("LogLevel=127\n");
    auto speed = [this](const char* option) {
        engine->send(option);
        engine->send("ucinewgame");
        engine->send("position startpos");
        engine->send("go depth 9");
        std::string last;
        EXPECT_TRUE(engine->waitFor("^info depth 9 ", answerMs, nullptr, &last));
        EXPECT_TRUE(engine->waitFor("^bestmove", answerMs));
        std::smatch match;
        return std::regex_search(last, match, std::regex(" nps ([0-9]+) "))
                   ? std::stoll(match[1])
                   : -1;
    };
    const long long eloAlone = speed("setoption name UCI_Elo value 1500");
    const long long limited = speed("setoption name UCI_LimitStrength value true");
    const long long restored = speed("setoption name UCI_LimitStrength value false");
    EXPECT_GT(limited, 0);
    EXPECT_LT(limited, 200000);
    if (!sanitizerBuild) {  // there full speed comes close to the limit
        EXPECT_GT(eloAlone, 2 * limited);
        EXPECT_GT(restored, 2 * limited);
    }
    EXPECT_EQ(quitAndWait(), 0);
    const std::string log = dir.read("logfile.txt");
    size_t count = 0;
    for (size_t at = log.find("using reduced strength"); at != std::string::npos;
         at = log.find("using reduced strength", at + 1))
        count++;
    EXPECT_EQ(count, 1u) << log;
    EXPECT_NE(log.find("using reduced strength : 1500 ELO"), std::string::npos);
}

// After the strength was limited to 2000 Elo, the options that follow leave
// it limited or give back full speed: UCI_Elo at its top value 2700 does, as
// switching UCI_LimitStrength off does. Each search is the same tree from an
// empty table, so the speeds compare.
struct StrengthCase {
    const char* name;
    std::vector<std::string> options;  // after the limit to 2000 Elo
    bool limited;
};

const StrengthCase strengthCases[] = {
    {"TopEloGivesFullSpeed", {"setoption name UCI_Elo value 2700"}, false},
    {"EloAboveTheTopGivesFullSpeed", {"setoption name UCI_Elo value 3000"}, false},
    {"LimitOffGivesFullSpeed", {"setoption name UCI_LimitStrength value false"}, false},
    {"TopEloStaysFullWhenTheLimitComesBack",
     {"setoption name UCI_Elo value 2700", "setoption name UCI_LimitStrength value false",
      "setoption name UCI_LimitStrength value true"},
     false},
    {"LowerEloAfterTheTopLimitsAgain",
     {"setoption name UCI_Elo value 2700", "setoption name UCI_Elo value 2000"}, true},
    {"LimitBackOnKeepsTheLastElo",
     {"setoption name UCI_LimitStrength value false",
      "setoption name UCI_LimitStrength value true"},
     true},
};

void PrintTo(const StrengthCase& c, std::ostream* out) { *out << c.name; }

class UciStrength : public UciEngine, public testing::WithParamInterface<StrengthCase> {
protected:
    // The speed of the deepest iteration of a search to depth 9.
    long long speedOfASearch() {
        engine->send("ucinewgame");
        engine->send("position startpos");
        engine->send("go depth 9");
        std::string last;
        EXPECT_TRUE(engine->waitFor("^info depth 9 ", answerMs, nullptr, &last));
        EXPECT_TRUE(engine->waitFor("^bestmove", answerMs));
        std::smatch match;
        return std::regex_search(last, match, std::regex(" nps ([0-9]+) ")) ? std::stoll(match[1])
                                                                              : -1;
    }
};

TEST_P(UciStrength, LimitedOrFullAsTheLastOptionsSay) {
    if (sanitizerBuild)
        GTEST_SKIP() << "a sanitizer build searches too slowly for the speed limit to show";
    const StrengthCase& c = GetParam();
    engine->send("setoption name UCI_LimitStrength value true");
    engine->send("setoption name UCI_Elo value 2000");
    const long long limited = speedOfASearch();
    EXPECT_GT(limited, 0);
    EXPECT_LT(limited, 200000);  // 150000 nodes per second at 2000 Elo
    for (const std::string& option : c.options) engine->send(option);
    const long long speed = speedOfASearch();
    if (c.limited) {
        EXPECT_LT(speed, 200000);
    } else {
        EXPECT_GT(speed, 2 * limited);
    }
    EXPECT_EQ(quitAndWait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Options, UciStrength, testing::ValuesIn(strengthCases),
                         [](const testing::TestParamInfo<StrengthCase>& info) {
                             return std::string(info.param.name);
                         });

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
