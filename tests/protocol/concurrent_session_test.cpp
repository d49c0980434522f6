// The real program in a protocol session whose "stop", "ponderhit", moves,
// "?" and "quit" arrive at random moments while searches with several threads
// run, start or end. Every search must answer once, and the program must leave
// with status 0 and without a sanitizer report. The names carry "Concurrent"
// so that the thread-sanitizer run of the tests drives its own (instrumented)
// build of the program through these sessions; there a data race ends the
// program at once (halt_on_error) and its report is shown here.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine_process.h"
#include "xboard_test_support.h"

using namespace enginetest;

namespace {

using xboardtest::answerTimeoutMs;
using xboardtest::Referee;

// Sanitizer options for the child program: halt at the first report and
// write it into the session's directory, where the test looks for it.
class SanitizerReports {
public:
    explicit SanitizerReports(const TempDir& dir) : dir(dir) {
        for (const char* name : {"TSAN_OPTIONS", "ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
            const char* old = std::getenv(name);
            saved.push_back({name, old ? old : "", old != nullptr});
            const std::string value = std::string(old ? old : "") + " halt_on_error=1 log_path=" +
                                      dir.path + "/sanitizer";
            setenv(name, value.c_str(), 1);
        }
    }
    ~SanitizerReports() {
        for (const Saved& entry : saved) {
            if (entry.present) setenv(entry.name, entry.value.c_str(), 1);
            else unsetenv(entry.name);
        }
    }
    // Every report the program wrote, empty when there is none.
    std::string reports() const {
        std::string text;
        for (const std::string& name : dir.files())
            if (name.compare(0, 9, "sanitizer") == 0) text += dir.read(name);
        return text;
    }

private:
    struct Saved {
        const char* name;
        std::string value;
        bool present;
    };
    const TempDir& dir;
    std::vector<Saved> saved;
};

void pause(std::mt19937& random, int maxMs) {
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (maxMs * 1000 + 1)));
}

std::string movesOf(const std::vector<std::string>& moves) {
    std::string text;
    for (const std::string& move : moves) text += " " + move;
    return text;
}

TEST(ConcurrentProtocolSessions, UciStopPonderhitAndQuitAtRandomMoments) {
    for (int session = 0; session < 3; session++) {
        std::mt19937 random(7919u * unsigned(session) + 17u);
        TempDir dir;
        SanitizerReports sanitizer(dir);
        EngineProcess engine(dir.path);
        ASSERT_TRUE(engine.started());
        engine.send("uci");
        ASSERT_TRUE(engine.waitFor("^uciok$", answerTimeoutMs));
        engine.send("setoption name Threads value " + std::to_string(2 + random() % 3));
        engine.send("setoption name Hash value 4");
        engine.send("setoption name Ponder value true");
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("^readyok$", answerTimeoutMs)) << sanitizer.reports();

        Referee referee;
        std::vector<std::string> played;
        for (int round = 0; round < 10; round++) {
            engine.send("position startpos" + (played.empty() ? "" : " moves" + movesOf(played)));
            switch (random() % 4) {
                case 0:  // a ponder search that is hit or missed
                    engine.send("go ponder wtime 2000 btime 2000 winc 10 binc 10");
                    pause(random, 30);
                    engine.send(random() % 2 ? "ponderhit" : "stop");
                    break;
                case 1:
                    engine.send("go infinite");
                    pause(random, 30);
                    engine.send("stop");
                    break;
                case 2:
                    engine.send("go movetime 20");
                    break;
                default:  // a clock search, asked whether it is ready meanwhile
                    engine.send("go wtime 600 btime 600 winc 10 binc 10");
                    pause(random, 15);
                    engine.send("isready");
                    break;
            }
            std::string answer;
            ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs, nullptr, &answer))
                << "session " << session << " round " << round << "\n"
                << sanitizer.reports() << joinLines(engine.transcript);
            const std::string move = answer.substr(9, answer.find(' ', 9) - 9);
            ASSERT_TRUE(referee.play(move)) << answer;
            played.push_back(move);
            if (!referee.gameOver().empty()) {
                referee.reset();
                played.clear();
                engine.send("ucinewgame");
            }
        }
        // The last search is left running, or just started, when "quit" comes.
        engine.send("position startpos" + (played.empty() ? "" : " moves" + movesOf(played)));
        engine.send(random() % 2 ? "go infinite" : "go ponder wtime 1000 btime 1000");
        pause(random, 20);
        engine.send("quit");
        EXPECT_EQ(engine.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
        EXPECT_EQ(sanitizer.reports(), "");
    }
}

// Options that the search threads read, set during a search with several
// threads: each waits for the search's end and then takes effect, in order.
// With and without the input thread.
struct OptionDuringSearchCase {
    const char* name;
    std::vector<std::string> options;  // sent while the search runs
    const char* effect;  // a log line that shows the effect after the answer; nullptr: none
};

const OptionDuringSearchCase optionDuringSearchCases[] = {
    {"Strength",
     {"setoption name UCI_LimitStrength value true", "setoption name UCI_Elo value 1500"},
     "using reduced strength : 1500 ELO"},
    {"PruningSwitches",
     {"setoption name NullMovePruning value false", "setoption name LateMoveReduction value false"},
     nullptr},
    {"Lines", {"setoption name MultiPV value 3"}, ">> info multipv 3 "},
    {"DrawScore", {"setoption name DrawScore value 50"}, nullptr},
};

void PrintTo(const OptionDuringSearchCase& c, std::ostream* out) { *out << c.name; }

class ConcurrentUciOptions
    : public testing::TestWithParam<std::tuple<OptionDuringSearchCase, bool>> {};

TEST_P(ConcurrentUciOptions, SetDuringASearchTheyWaitForItsEnd) {
    const OptionDuringSearchCase& c = std::get<0>(GetParam());
    const bool inputThread = std::get<1>(GetParam());
    TempDir dir;
    dir.write("vorlix.ini", std::string("LogLevel=127\nHash=4\n") +
                                (inputThread ? "" : "UseInputThread=0\n"));
    SanitizerReports sanitizer(dir);
    EngineProcess engine(dir.path);
    ASSERT_TRUE(engine.started());
    engine.send("uci");
    engine.send("setoption name Threads value 3");
    engine.send("position startpos");
    engine.send("go infinite");
    ASSERT_TRUE(engine.waitFor("^info depth 4 ", answerTimeoutMs)) << sanitizer.reports();
    for (const std::string& option : c.options) engine.send(option);
    engine.send("isready");
    ASSERT_TRUE(engine.waitFor("^readyok$", answerTimeoutMs)) << sanitizer.reports();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs)) << sanitizer.reports();
    engine.send("go depth 4");
    ASSERT_TRUE(engine.waitFor("^bestmove ", answerTimeoutMs)) << sanitizer.reports();
    engine.send("quit");
    EXPECT_EQ(engine.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
    EXPECT_EQ(sanitizer.reports(), "");

    const std::string log = dir.read("logfile.txt");
    const size_t answered = log.find(">> bestmove");
    ASSERT_NE(answered, std::string::npos) << log;
    for (const std::string& option : c.options) {
        const size_t deferred = log.find("option applied after the search: " + option);
        ASSERT_NE(deferred, std::string::npos) << option << "\n" << log;
        EXPECT_LT(deferred, answered) << option;
    }
    if (c.effect) {
        const size_t effect = log.find(c.effect);
        ASSERT_NE(effect, std::string::npos) << log;
        EXPECT_GT(effect, answered);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ConcurrentUciOptions,
    testing::Combine(testing::ValuesIn(optionDuringSearchCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<OptionDuringSearchCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WithInputThread" : "WithoutInputThread");
    });

TEST(ConcurrentProtocolSessions, XBoardMovesMoveNowAndQuitAtRandomMoments) {
    for (int session = 0; session < 3; session++) {
        std::mt19937 random(104729u * unsigned(session) + 3u);
        TempDir dir;
        dir.write("vorlix.ini", "Hash=4\nMaxThreads=" + std::to_string(2 + session) + "\n");
        SanitizerReports sanitizer(dir);
        xboardtest::XBoardEngine engine(dir);
        ASSERT_TRUE(engine.handshake()) << sanitizer.reports();
        engine.send("new");
        engine.send("level 0 0:03 0.02");
        engine.send("hard");  // pondering: our replies hit or miss its guess
        engine.send("post");
        ASSERT_TRUE(engine.sync()) << sanitizer.reports();

        Referee referee;
        engine.send("go");  // it plays white
        for (int round = 0; round < 10; round++) {
            std::string move;
            if (random() % 4 == 0) {
                pause(random, 20);
                engine.send("?");  // move now, perhaps just as it moves anyway
            }
            ASSERT_TRUE(engine.readMove(move))
                << "session " << session << " round " << round << "\n"
                << sanitizer.reports() << joinLines(engine.process.transcript);
            ASSERT_TRUE(referee.play(move)) << move;
            if (!referee.gameOver().empty()) break;
            pause(random, 30);
            const std::vector<std::string> replies = referee.legalMoves();
            const std::string reply = replies[random() % replies.size()];
            referee.play(reply);
            if (!referee.gameOver().empty()) break;
            engine.send("time 300");
            engine.send("otim 300");
            engine.send(reply);
        }
        pause(random, 20);
        engine.send("quit");
        EXPECT_EQ(engine.process.waitExit(answerTimeoutMs), 0) << sanitizer.reports();
        EXPECT_EQ(sanitizer.reports(), "");
    }
}

}  // namespace
