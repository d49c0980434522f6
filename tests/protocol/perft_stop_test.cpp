// Deep counts under the real program. A count of 128 plies from the start
// position never ends in a test's lifetime, so whatever ends one here is a
// command or a signal: "quit" in both dialogues and "stop" under UCI end it,
// "isready" is answered while it runs, and the command-line counts end on
// SIGINT and SIGTERM like any console tool. The sessions run with and
// without the input thread.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine_process.h"

using namespace enginetest;

namespace {

constexpr int answerMs = 10000;  // ample for any answer, loaded machine and sanitizers included

const std::vector<std::string> inputThreadSettings = {"UseInputThread=1\n", "UseInputThread=0\n"};
const std::vector<std::string> countWords = {"perft", "perftd", "divide"};

// Lines that only a finished count sends.
const char* const countLines = "^(Depth |Nodes |Time =|Speed =| *total :|.* : [0-9]+$)";

enum class Dialogue { Uci, XBoard };

std::unique_ptr<EngineProcess> startDialogue(const TempDir& dir, const std::string& settings, Dialogue dialogue) {
    dir.write("vorlix.ini", settings);
    std::unique_ptr<EngineProcess> engine(new EngineProcess(dir.path));
    EXPECT_TRUE(engine->started());
    if (dialogue == Dialogue::Uci) {
        engine->send("uci");
        EXPECT_TRUE(engine->waitFor("^uciok$", answerMs));
    } else {
        engine->send("xboard");
        engine->send("protover 2");
        EXPECT_TRUE(engine->waitFor("^feature done=1$", answerMs));
    }
    return engine;
}

struct DeepCount {
    Dialogue dialogue;
    std::string settings;
    std::string word;
};

std::string caseName(const testing::TestParamInfo<DeepCount>& info) {
    const DeepCount& c = info.param;
    return std::string(c.dialogue == Dialogue::Uci ? "Uci" : "XBoard") + "_" + c.word + "_" +
           (c.settings == inputThreadSettings[0] ? "InputThread" : "MainThreadReads");
}

void PrintTo(const DeepCount& c, std::ostream* out) { *out << c.word << " 128"; }

std::vector<DeepCount> deepCounts(const std::vector<Dialogue>& dialogues) {
    std::vector<DeepCount> cases;
    for (Dialogue dialogue : dialogues)
        for (const std::string& settings : inputThreadSettings)
            for (const std::string& word : countWords) cases.push_back({dialogue, settings, word});
    return cases;
}

class DeepCountQuit : public testing::TestWithParam<DeepCount> {};

TEST_P(DeepCountQuit, QuitEndsTheProgramAtOnceWithoutACount) {
    const DeepCount& c = GetParam();
    TempDir dir;
    auto engine = startDialogue(dir, c.settings, c.dialogue);
    engine->send(c.word + " 128");
    if (c.dialogue == Dialogue::Uci) {
        // Answered only while the count runs: the quit lands on it.
        engine->send("isready");
        ASSERT_TRUE(engine->waitFor("^readyok$", answerMs)) << joinLines(engine->transcript);
    }
    // Commands before the quit would only delay the end: they are not run.
    engine->send(c.dialogue == Dialogue::Uci ? "go infinite" : "analyze");
    engine->send("quit");
    EXPECT_EQ(engine->waitExit(answerMs), 0);
    const std::vector<std::string> rest = engine->readAll(answerMs);
    std::vector<std::string> all = engine->transcript;
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(countMatching(all, countLines), 0) << joinLines(all);
    EXPECT_EQ(countMatching(all, "^(bestmove|move) "), 0) << joinLines(all);
}

INSTANTIATE_TEST_SUITE_P(Counts, DeepCountQuit, testing::ValuesIn(deepCounts({Dialogue::Uci, Dialogue::XBoard})),
                         caseName);

class DeepCountStop : public testing::TestWithParam<DeepCount> {};

TEST_P(DeepCountStop, UciStopEndsTheCountWithoutACountAndTheWaitingCommandsRunAfterIt) {
    const DeepCount& c = GetParam();
    TempDir dir;
    auto engine = startDialogue(dir, c.settings, c.dialogue);
    engine->send(c.word + " 128");
    engine->send("isready");
    ASSERT_TRUE(engine->waitFor("^readyok$", answerMs)) << joinLines(engine->transcript);
    // These wait for the count's end and then run in order.
    engine->send("position startpos moves e2e4");
    engine->send("printFEN");
    engine->send("stop");
    std::vector<std::string> before;
    ASSERT_TRUE(engine->waitFor("^info string stopped, no count: " + c.word + " 128$", answerMs, &before))
        << joinLines(engine->transcript);
    EXPECT_EQ(countMatching(before, countLines), 0) << joinLines(before);
    ASSERT_TRUE(engine->waitFor("^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1$",
                                answerMs, &before))
        << joinLines(engine->transcript);
    EXPECT_EQ(countMatching(before, countLines), 0) << joinLines(before);
    // The next count is whole again.
    engine->send("position startpos");
    engine->send("perft 3");
    EXPECT_TRUE(engine->waitFor("^Nodes = 8902$", answerMs)) << joinLines(engine->transcript);
    engine->send("quit");
    EXPECT_EQ(engine->waitExit(answerMs), 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, DeepCountStop, testing::ValuesIn(deepCounts({Dialogue::Uci})), caseName);

// Commands that arrive during a count that ends on its own change nothing of
// it: the counts are the published ones.
struct WholeCount {
    const char* name;
    Dialogue dialogue;
    std::vector<std::string> lines;     // the count, then commands sent at once behind it
    std::vector<std::string> expected;  // in this order
};

const std::vector<WholeCount> wholeCounts = {
    {"UciPerft", Dialogue::Uci, {"perft 5", "isready"}, {"^Depth 5$", "^Nodes = 4865609$"}},
    {"UciPerftd", Dialogue::Uci, {"perftd 4", "isready"},
     {"^Nodes = 197281$", "^Nodes captures = 1576$", "^Nodes e.p = 0$", "^Nodes check = 469$",
      "^Nodes mate = 8$"}},
    {"UciDivide", Dialogue::Uci, {"divide 3", "isready"}, {"^    Ng1-f3 : 440$", "^     total : 8902$"}},
    {"XBoardPerftThenPing", Dialogue::XBoard, {"perft 4", "ping 7"}, {"^Nodes = 197281$", "^pong 7$"}},
};

void PrintTo(const WholeCount& c, std::ostream* out) { *out << c.name; }

class CountWithCommandsBehind : public testing::TestWithParam<std::tuple<WholeCount, std::string>> {};

TEST_P(CountWithCommandsBehind, CountsTheWholeTree) {
    const WholeCount& c = std::get<0>(GetParam());
    TempDir dir;
    auto engine = startDialogue(dir, std::get<1>(GetParam()), c.dialogue);
    for (const std::string& line : c.lines) engine->send(line);
    engine->closeInput();  // the end of input lets the count finish
    const std::vector<std::string> output = engine->readAll(60000);
    EXPECT_EQ(engine->waitExit(answerMs), 0);
    std::string missing;
    EXPECT_TRUE(containsInOrder(output, c.expected, &missing)) << missing << " in\n" << joinLines(output);
    if (c.dialogue == Dialogue::Uci) {
        EXPECT_EQ(countMatching(output, "^readyok$"), 1) << joinLines(output);
        // An answer given during the count comes before the report, never
        // inside it.
        const std::regex first(c.expected.front()), last(c.expected.back());
        size_t from = 0, to = 0;
        while (from < output.size() && !std::regex_search(output[from], first)) from++;
        for (size_t k = from; k < output.size(); k++)
            if (std::regex_search(output[k], last)) to = k;
        for (size_t k = from; k < to; k++) EXPECT_NE(output[k], "readyok") << joinLines(output);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, CountWithCommandsBehind,
                         testing::Combine(testing::ValuesIn(wholeCounts), testing::ValuesIn(inputThreadSettings)),
                         [](const testing::TestParamInfo<std::tuple<WholeCount, std::string>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == inputThreadSettings[0] ? "_InputThread"
                                                                                        : "_MainThreadReads");
                         });

// The command-line counts read no commands: a signal ends them. The child
// starts with the default action for both signals, whatever the test runner
// inherited (a shell ignores SIGINT in the jobs it starts in the background).
struct SignalledCount {
    const char* name;
    std::vector<std::string> args;  // "{suite}" stands for a suite file
    int signal;
};

const std::vector<SignalledCount> signalledCounts = {
    {"PerftInterrupt", {"-perft", "128"}, SIGINT},
    {"PerftTerminate", {"-perft", "128"}, SIGTERM},
    {"PerftdInterrupt", {"-perftd", "128"}, SIGINT},
    {"DivideTerminate", {"-divide", "128"}, SIGTERM},
    {"SuiteInterrupt", {"-perftsuite", "{suite}", "128"}, SIGINT},
    {"SuiteTerminate", {"-perftsuite", "{suite}", "128"}, SIGTERM},
};

void PrintTo(const SignalledCount& c, std::ostream* out) { *out << c.name; }

class SignalledCommandLineCount : public testing::TestWithParam<SignalledCount> {};

TEST_P(SignalledCommandLineCount, EndsAtOnce) {
    // The default action of a signal is the kernel's, not the engine's code,
    // so a sanitizer adds nothing here; its runtime can hold a signal back
    // for seconds on a busy machine.
    if (sanitizerBuild) GTEST_SKIP() << "the release build checks the signals";
    const SignalledCount& c = GetParam();
    TempDir dir;
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
        if (arg == "{suite}") {
            dir.write("suite.epd", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20\n");
            arg = dir.path + "/suite.epd";
        }
    const launch::ProgramLaunch launcher(programPath(), args);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        sigaction(SIGINT, &defaults, nullptr);
        sigaction(SIGTERM, &defaults, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (chdir(dir.path.c_str()) != 0) _exit(126);
        launcher.execInChild();
    }
    // Meant to land during the count; a signal that comes sooner ends the
    // program all the same, so this wait decides nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WNOHANG), 0) << "ended before the signal";
    kill(child, c.signal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerMs);
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done != child) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        FAIL() << "still counting " << answerMs << " ms after the signal";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
}

INSTANTIATE_TEST_SUITE_P(Switches, SignalledCommandLineCount, testing::ValuesIn(signalledCounts),
                         [](const testing::TestParamInfo<SignalledCount>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
