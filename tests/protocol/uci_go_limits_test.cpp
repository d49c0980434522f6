// The limits of "go" through the real program, with and without the input
// thread: every limit a "go" names applies and the first one reached ends the
// search; what it does not name does not limit it, whatever the "go" before
// it named.

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "engine_process.h"

using namespace enginetest;

namespace {

// Ample for a stopped search to answer; sanitizer builds start and run
// several times slower, more so on busy cores.
constexpr int answerMs = sanitizerBuild ? 30000 : 10000;

// A program that has answered "uci", with or without the input thread.
std::unique_ptr<EngineProcess> startEngine(const TempDir& dir, bool inputThread) {
    if (!inputThread) dir.write("vorlix.ini", "UseInputThread=0\n");
    std::unique_ptr<EngineProcess> engine(new EngineProcess(dir.path));
    engine->send("uci");
    if (!engine->waitFor("^uciok$", answerMs)) return nullptr;
    return engine;
}

std::string threadName(bool inputThread) {
    return inputThread ? "WithInputThread" : "WithoutInputThread";
}

// The deepest "info depth" line among the lines.
int deepestIteration(const std::vector<std::string>& lines) {
    const std::regex depth("^info depth ([0-9]+) ");
    int deepest = 0;
    std::smatch match;
    for (const std::string& line : lines)
        if (std::regex_search(line, match, depth)) deepest = std::max(deepest, std::stoi(match[1]));
    return deepest;
}

// A "go" naming several limits; alone, the limit other than the one that
// must end it would run far longer than `withinMs`.
struct TogetherCase {
    const char* name;
    const char* go;
    int withinMs;   // the answer comes sooner than this
    int maxDepth;   // deepest iteration reported (0: not checked)
};

const TogetherCase togetherCases[] = {
    {"DepthEndsBeforeTheMoveTime", "go depth 4 movetime 60000", 5000, 4},
    {"MoveTimeEndsBeforeTheDepth", "go movetime 300 depth 100", 5000, 0},
    {"DepthEndsBeforeTheClock", "go wtime 600000 btime 600000 depth 4", 5000, 4},
    {"DepthNamedFirstEndsBeforeTheClock", "go depth 4 wtime 600000 btime 600000", 5000, 4},
    {"ClockEndsBeforeTheDepth", "go wtime 500 btime 500 depth 100", 5000, 0},
    {"NodesEndBeforeTheDepth", "go nodes 20000 depth 100", 5000, 0},
    {"DepthEndsBeforeTheNodes", "go depth 3 nodes 2000000000", 5000, 3},
    {"MoveTimeEndsBeforeTheNodes", "go movetime 300 nodes 2000000000", 5000, 0},
    {"MoveTimeEndsBeforeTheClock", "go movetime 300 wtime 600000 btime 600000", 5000, 0},
};

void PrintTo(const TogetherCase& c, std::ostream* out) { *out << c.name; }

class UciLimitsTogether : public testing::TestWithParam<std::tuple<TogetherCase, bool>> {};

TEST_P(UciLimitsTogether, TheFirstLimitReachedEndsTheSearch) {
    const TogetherCase& c = std::get<0>(GetParam());
    TempDir dir;
    auto engine = startEngine(dir, std::get<1>(GetParam()));
    ASSERT_TRUE(engine);
    engine->send("position startpos");
    const auto start = std::chrono::steady_clock::now();
    engine->send(c.go);
    std::vector<std::string> lines;
    const bool answered = engine->waitFor("^bestmove [a-h][1-8][a-h][1-8]$", c.withinMs, &lines);
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    EXPECT_TRUE(answered) << "no answer within " << c.withinMs << " ms\n" << joinLines(lines);
    if (c.maxDepth > 0) {
        EXPECT_LE(deepestIteration(lines), c.maxDepth) << joinLines(lines);
    }
    if (!answered) engine->send("stop");
    engine->send("isready");
    ASSERT_TRUE(engine->waitFor("^readyok$", answerMs));
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 1) << "after " << tookMs << " ms";
    engine->send("quit");
    EXPECT_EQ(engine->waitExit(answerMs), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UciLimitsTogether, testing::Combine(testing::ValuesIn(togetherCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<TogetherCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + threadName(std::get<1>(info.param));
    });

// A "go" that names no limit the engine obeys searches until "stop" (an
// analysis, as "go infinite"), whatever limit the "go" before it named; it
// then answers once.
struct UnlimitedCase {
    const char* name;
    std::vector<std::string> before;  // an earlier search, answered on its own or stopped
    const char* go;
};

const UnlimitedCase unlimitedCases[] = {
    {"BareGoAfterADepth", {"go depth 4"}, "go"},
    {"MateCountAfterAMoveTime", {"go movetime 200"}, "go mate 3"},
    {"MateCountAfterAnAnalysis", {"go infinite", "stop"}, "go mate 3"},
    {"MovesToGoAfterAClock", {"go wtime 300 btime 300"}, "go movestogo 1"},
    {"SearchMovesAfterNodes", {"go nodes 5000"}, "go searchmoves e2e4 d2d4"},
    {"IncrementsAfterAClock", {"go wtime 300 btime 300 winc 100 binc 100"}, "go winc 100 binc 100"},
};

void PrintTo(const UnlimitedCase& c, std::ostream* out) { *out << c.name; }

class UciGoWithoutLimits : public testing::TestWithParam<std::tuple<UnlimitedCase, bool>> {};

TEST_P(UciGoWithoutLimits, SearchesUntilStopWhateverCameBefore) {
    const UnlimitedCase& c = std::get<0>(GetParam());
    TempDir dir;
    auto engine = startEngine(dir, std::get<1>(GetParam()));
    ASSERT_TRUE(engine);
    engine->send("position startpos");
    for (const std::string& line : c.before) engine->send(line);
    ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs)) << joinLines(engine->transcript);
    engine->send("position startpos");
    engine->send(c.go);
    EXPECT_FALSE(engine->waitFor("^bestmove", 1000)) << "answered without \"stop\"";
    engine->send("stop");
    ASSERT_TRUE(engine->waitFor("^bestmove [a-h][1-8][a-h][1-8]$", answerMs))
        << joinLines(engine->transcript);
    engine->send("isready");
    ASSERT_TRUE(engine->waitFor("^readyok$", answerMs));
    EXPECT_EQ(countMatching(engine->transcript, "^bestmove"), 2) << joinLines(engine->transcript);
    engine->send("quit");
    EXPECT_EQ(engine->waitExit(answerMs), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UciGoWithoutLimits, testing::Combine(testing::ValuesIn(unlimitedCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<UnlimitedCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + threadName(std::get<1>(info.param));
    });

// A node limit below one node, which no search could keep, still gives a
// searched move: the first iteration is complete and its line names the move
// played.
struct NoNodesCase {
    const char* name;
    const char* go;
};

const NoNodesCase noNodesCases[] = {
    {"Zero", "go nodes 0"},
    {"Negative", "go nodes -5"},
    {"ZeroWithADeeperDepth", "go depth 6 nodes 0"},
};

void PrintTo(const NoNodesCase& c, std::ostream* out) { *out << c.name; }

class UciNodeLimitBelowOne : public testing::TestWithParam<std::tuple<NoNodesCase, bool>> {};

TEST_P(UciNodeLimitBelowOne, SearchesTheFirstIteration) {
    const NoNodesCase& c = std::get<0>(GetParam());
    TempDir dir;
    auto engine = startEngine(dir, std::get<1>(GetParam()));
    ASSERT_TRUE(engine);
    engine->send("position startpos");
    engine->send(c.go);
    std::vector<std::string> lines;
    std::string answer;
    ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs, &lines, &answer)) << joinLines(lines);
    const std::regex firstIteration("^info depth 1 .* pv ([a-h][1-8][a-h][1-8][qrbn]?)");
    std::smatch match;
    std::string lineMove;
    for (const std::string& line : lines)
        if (std::regex_search(line, match, firstIteration)) lineMove = match[1];
    ASSERT_FALSE(lineMove.empty()) << "no line of depth 1\n" << joinLines(lines);
    EXPECT_EQ(answer, "bestmove " + lineMove) << joinLines(lines);
    EXPECT_EQ(deepestIteration(lines), 1) << joinLines(lines);
    engine->send("quit");
    EXPECT_EQ(engine->waitExit(answerMs), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UciNodeLimitBelowOne, testing::Combine(testing::ValuesIn(noNodesCases), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<NoNodesCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + threadName(std::get<1>(info.param));
    });

// Only a search started with no limit answers "quit": an analysis before it
// leaves nothing owed to the bounded search that follows.
TEST(UciGoLimits, QuitAfterAnAnalysisLeavesABoundedSearchUnanswered) {
    for (const bool inputThread : {true, false}) {
        TempDir dir;
        auto engine = startEngine(dir, inputThread);
        ASSERT_TRUE(engine);
        engine->send("position startpos");
        engine->send("go infinite");
        engine->send("stop");
        ASSERT_TRUE(engine->waitFor("^bestmove ", answerMs));
        engine->send("go depth 100");
        ASSERT_TRUE(engine->waitFor("^info depth 3 ", answerMs));
        engine->send("quit");
        EXPECT_EQ(engine->waitExit(answerMs), 0);
        const auto rest = engine->readAll(2000);
        EXPECT_EQ(countMatching(rest, "^bestmove"), 0)
            << threadName(inputThread) << "\n" << joinLines(rest);
    }
}

}  // namespace
