// XBoard commands a GUI sends besides the moves of a game, through the real
// program, with and without the input thread where the two paths differ.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "xboard_test_support.h"

using namespace enginetest;
using namespace xboardtest;

namespace {

const char* const startFen = "^rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ";
const char* const startPlacement = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
const char* const anyResult = "^(1-0|0-1|1/2-1/2) \\{";

struct InputThreadSetting {
    const char* name;
    const char* configuration;
};

const InputThreadSetting inputThreadSettings[] = {
    {"WithInputThread", "Hash=16\n"},
    {"WithoutInputThread", "Hash=16\nUseInputThread=0\n"},
};

std::string settingName(const testing::TestParamInfo<InputThreadSetting>& info) {
    return info.param.name;
}

void PrintTo(const InputThreadSetting& setting, std::ostream* out) { *out << setting.name; }

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Dialogues: the lines sent after "xboard", the answers expected in this
// order, and answers that must not come. The input ends after the last line,
// which lets a search bounded by its limit finish and answer.
struct DialogueCase {
    const char* name;
    std::vector<std::string> input;
    std::vector<std::string> expected;
    std::vector<std::string> forbidden;
};

void PrintTo(const DialogueCase& c, std::ostream* out) { *out << c.name; }

const DialogueCase dialogueCases[] = {
    // "remove" takes back the last two moves.
    {"RemoveTakesBackTwoMovesInForceMode",
     {"new", "force", "e2e4", "d7d5", "remove", "printFEN"},
     {startFen},
     {"^move", "Illegal"}},
    {"RemoveInChess960TakesBackCastling",
     {"new", "variant fischerandom", "force",
      "setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w EAea - 0 1", "a2a3", "O-O", "O-O-O",
      "remove", "printFEN"},
     {"^rk2r3/pppppppp/8/8/8/P7/1PPPPPPP/RK2R3 b "},
     {"Illegal"}},
    // A game that has ended on the engine's turn is answered by its result.
    {"GoInAStalemateAnswersTheResult",
     {"new", "setboard 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go"},
     {"^1/2-1/2 \\{Stalemate\\}$"},
     {"^move"}},
    {"GoWhenBlackIsMatedAnswersTheResult",
     {"new", "setboard R6k/6pp/8/8/8/8/8/6K1 b - - 0 1", "go"},
     {"^1-0 \\{White mates\\}$"},
     {"^move"}},
    {"GoWhenWhiteIsMatedAnswersTheResult",
     {"new", "setboard 6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1", "go"},
     {"^0-1 \\{Black mates\\}$"},
     {"^move"}},
    {"AMoveThatMatesTheEngineIsAnsweredByTheResult",
     {"new", "sd 2", "setboard 7k/8/6K1/8/8/8/8/R7 w - - 0 1", "a1a8"},
     {"^1-0 \\{White mates\\}$"},
     {"^move", "Illegal"}},
    {"AMoveThatStalematesTheEngineIsAnsweredByTheResult",
     {"new", "sd 2", "setboard 7k/5Q2/8/6K1/8/8/8/8 w - - 0 1", "g5g6"},
     {"^1/2-1/2 \\{Stalemate\\}$"},
     {"^move", "Illegal"}},
    {"InForceModeAMateIsPlayedSilently",
     {"new", "force", "setboard 7k/8/6K1/8/8/8/8/R7 w - - 0 1", "a1a8", "ping 1"},
     {"^pong 1$"},
     {anyResult, "^move"}},
    {"AnalysisOfAStalemateStaysSilent",
     {"new", "force", "setboard 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "analyze", "ping 1", "exit",
      "ping 2"},
     {"^pong 1$", "^pong 2$"},
     {anyResult, "^move"}},
    // A refused position is reported at once; the game stays as it was.
    {"SetboardWithABadFenIsReported",
     {"new", "force", "e2e4", "setboard 4k3/8/8/9/8/8/4P3/4K3 w - - 0 1", "printFEN"},
     {"^tellusererror Illegal position$",
      "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 "},
     {}},
    {"SetboardWithTheSideNotToMoveInCheckIsReported",
     {"new", "force", "setboard 4k3/8/8/8/8/8/8/4R2K w - - 0 1", "printFEN"},
     {"^tellusererror Illegal position$", startFen},
     {}},
    {"SetboardWithoutAFenIsReported",
     {"new", "force", "setboard", "printFEN"},
     {"^tellusererror Illegal position$", startFen},
     {}},
    {"SetboardWithAGoodFenIsNotReported",
     {"new", "force", "setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "printFEN"},
     {"^4k3/8/8/8/8/8/4P3/4K3 w - - "},
     {"tellusererror"}},
};

class XBoardCommandDialogue
    : public testing::TestWithParam<std::tuple<DialogueCase, InputThreadSetting>> {};

TEST_P(XBoardCommandDialogue, AnswersAsExpected) {
    const DialogueCase& c = std::get<0>(GetParam());
    TempDir dir;
    dir.write("vorlix.ini", std::get<1>(GetParam()).configuration);
    std::vector<std::string> input = {"xboard"};
    input.insert(input.end(), c.input.begin(), c.input.end());
    int status = 0;
    const auto output = runSession(dir, input, status, answerTimeoutMs);
    expectDialogue(output, c.expected, c.forbidden, status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XBoardCommandDialogue,
    testing::Combine(testing::ValuesIn(dialogueCases), testing::ValuesIn(inputThreadSettings)),
    [](const testing::TestParamInfo<std::tuple<DialogueCase, InputThreadSetting>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// One running engine that has chosen XBoard, with or without the input thread.
class XBoardCommandsLive : public testing::TestWithParam<InputThreadSetting> {
protected:
    TempDir dir;
    std::unique_ptr<XBoardEngine> engine;
    Referee referee;

    void SetUp() override {
        dir.write("vorlix.ini", GetParam().configuration);
        engine.reset(new XBoardEngine(dir));
        ASSERT_TRUE(engine->handshake());
    }
    void TearDown() override { EXPECT_EQ(engine->quit(), 0); }

    std::string readLegalMove() {
        std::string move;
        EXPECT_TRUE(engine->readMove(move));
        EXPECT_TRUE(referee.isLegal(move)) << move << " on " << referee.placement();
        return move;
    }
};

// A GUI goes back to try another line: the engine must follow it back.
TEST_P(XBoardCommandsLive, RemoveKeepsTheGameInStepWithTheGui) {
    engine->send("new");
    engine->send("force");
    engine->send("e2e4");
    ASSERT_TRUE(referee.play("e2e4"));
    engine->send("sd 4");
    engine->send("go");
    ASSERT_TRUE(referee.play(readLegalMove()));
    engine->send("force");
    engine->send("remove");
    referee.reset();
    engine->send("d2d4");
    ASSERT_TRUE(referee.play("d2d4"));
    engine->send("sd 5");
    engine->send("go");
    ASSERT_TRUE(referee.play(readLegalMove()));
    engine->send("force");
    EXPECT_EQ(engine->placement(), referee.placement());
}

// The user takes back his move and the engine's while the engine ponders:
// the expected reply it thinks on goes too.
TEST_P(XBoardCommandsLive, RemoveWhilePonderingTakesBackTheTwoGameMoves) {
    engine->send("new");
    engine->send("hard");
    engine->send("level 0 0:05 0");
    engine->send("e2e4");
    std::string move;
    ASSERT_TRUE(engine->readMove(move));
    ASSERT_TRUE(engine->process.waitFor("^Hint: ", answerTimeoutMs));
    engine->send("remove");
    EXPECT_EQ(engine->placement(), startPlacement);
    // The game goes on from there.
    engine->send("d2d4");
    ASSERT_TRUE(referee.play("d2d4"));
    ASSERT_TRUE(referee.play(readLegalMove()));
}

// During an analysis "remove" goes back two moves and the analysis starts
// again there, as after "undo".
TEST_P(XBoardCommandsLive, RemoveDuringAnAnalysisAnalysesTheEarlierPosition) {
    engine->send("new");
    engine->send("force");
    engine->send("post");
    engine->send("e2e4");
    engine->send("e7e5");
    engine->send("g1f3");
    engine->send("analyze");
    ASSERT_TRUE(engine->process.waitFor("^([3-9]|[1-9][0-9]+) -?[0-9]+ [0-9]+ [0-9]+ ",
                                        answerTimeoutMs));
    engine->send("remove");
    EXPECT_TRUE(engine->process.waitFor("^1 -?[0-9]+ [0-9]+ [0-9]+ ", answerTimeoutMs))
        << "the analysis did not start again";
    engine->send("printFEN");
    EXPECT_TRUE(engine->process.waitFor(
        "^rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ", answerTimeoutMs));
    engine->send("exit");
    ASSERT_TRUE(engine->sync());
    EXPECT_EQ(countMatching(engine->process.transcript, "^move"), 0);
}

// With "hard" the engine's forced move is followed by a reply that ends the
// game: once the reply it names in its hint (a mate, so it has nothing to
// ponder on), once another reply while it ponders on the one it expects (a
// stalemate, the one move a winning side does not play), which ends the
// ponder search.
struct PonderEndCase {
    const char* name;
    const char* limit;
    const char* fen;
    const char* reply;  // null: the hint
    const char* result;
};

void PrintTo(const PonderEndCase& c, std::ostream* out) { *out << c.name; }

const PonderEndCase ponderEndCases[] = {
    {"HintThatMatesAtADepth", "sd 3", "7k/8/8/8/8/p7/P2q4/1K6 w - - 0 1", nullptr,
     "^0-1 \\{Black mates\\}$"},
    {"HintThatMatesUnderAClock", "level 0 1 0", "7k/8/8/8/8/p7/P2q4/1K6 w - - 0 1", nullptr,
     "^0-1 \\{Black mates\\}$"},
    {"OtherReplyStalematesAtADepth", "sd 3", "7k/8/8/8/8/8/3q4/1K6 w - - 0 1", "d2c2",
     "^1/2-1/2 \\{Stalemate\\}$"},
    {"OtherReplyStalematesUnderAClock", "level 0 1 0", "7k/8/8/8/8/8/3q4/1K6 w - - 0 1", "d2c2",
     "^1/2-1/2 \\{Stalemate\\}$"},
};

class XBoardPonderingGameEnd
    : public testing::TestWithParam<std::tuple<PonderEndCase, InputThreadSetting>> {};

TEST_P(XBoardPonderingGameEnd, TheReplyThatEndsTheGameIsAnsweredByTheResult) {
    const PonderEndCase& c = std::get<0>(GetParam());
    TempDir dir;
    dir.write("vorlix.ini", std::get<1>(GetParam()).configuration);
    XBoardEngine engine(dir);
    ASSERT_TRUE(engine.handshake());
    engine.send("new");
    engine.send("hard");
    engine.send(c.limit);
    engine.send(std::string("setboard ") + c.fen);
    engine.send("go");
    std::string move, hint;
    ASSERT_TRUE(engine.readMove(move));
    EXPECT_EQ(move, "b1a1");
    ASSERT_TRUE(engine.process.waitFor("^Hint: ", answerTimeoutMs, nullptr, &hint));
    hint = hint.substr(6);
    if (c.reply != nullptr) {
        ASSERT_NE(hint, c.reply) << "the reply must be a miss";
    }
    pause(100);
    engine.send(c.reply != nullptr ? c.reply : hint);
    std::vector<std::string> before;
    EXPECT_TRUE(engine.process.waitFor(c.result, answerTimeoutMs, &before))
        << joinLines(engine.process.transcript);
    EXPECT_EQ(countMatching(before, "^move|Illegal"), 0) << joinLines(before);
    EXPECT_EQ(engine.quit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XBoardPonderingGameEnd,
    testing::Combine(testing::ValuesIn(ponderEndCases), testing::ValuesIn(inputThreadSettings)),
    [](const testing::TestParamInfo<std::tuple<PonderEndCase, InputThreadSetting>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// Threads of the engine process, from the kernel's list of them.
int processThreads(pid_t pid) {
    int count = 0;
    if (DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str())) {
        while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// "cores" sets the number of search threads, within 1..64; during a search
// the count waits for the search's end.
TEST_P(XBoardCommandsLive, CoresSetsTheSearchThreadsBetweenSearches) {
    const pid_t pid = engine->process.processId();
    // The threads that do not search (the input thread, those of a
    // sanitizer, which may only start with the first thread the program
    // creates) are counted once the engine has made a helper thread.
    engine->send("cores 2");
    ASSERT_TRUE(engine->sync());
    const int single = processThreads(pid) - 1;  // with one search thread
    ASSERT_GT(single, 0);
    struct Case {
        const char* command;
        int searchThreads;
    };
    const Case cases[] = {{"cores 4", 4}, {"cores 1", 1}, {"cores 3", 3}, {"cores 0", 1},
                          {"cores -7", 1}, {"cores 70", 64}, {"cores 2", 2}};
    for (const Case& c : cases) {
        engine->send(c.command);
        ASSERT_TRUE(engine->sync());
        EXPECT_EQ(processThreads(pid), single - 1 + c.searchThreads) << c.command;
    }

    engine->send("new");
    engine->send("st 30");
    engine->send("go");
    pause(100);
    engine->send("cores 5");
    ASSERT_TRUE(engine->sync());
    EXPECT_EQ(processThreads(pid), single + 1) << "changed during the search";
    engine->send("?");
    std::string move;
    ASSERT_TRUE(engine->readMove(move));
    ASSERT_TRUE(engine->sync());
    EXPECT_EQ(processThreads(pid), single + 4) << "not set after the search";

    // The engine still plays with them.
    engine->send("sd 6");
    engine->send("go");
    ASSERT_TRUE(referee.play(move));
    readLegalMove();
}

// The move time of "st" and the seconds of "level" count their fractions.
struct MoveTimeCase {
    const char* name;
    const char* limit;
    double fewestSeconds;
    double mostSeconds;
};

void PrintTo(const MoveTimeCase& c, std::ostream* out) { *out << c.name; }

const MoveTimeCase moveTimeCases[] = {
    {"StOfHalfASecond", "st 0.5", 0.35, 0.95},
    {"StOfOneAndAHalfSeconds", "st 1.5", 1.3, 2.0},
    // One move left on 0.8 seconds: about half of it, never the whole clock.
    {"LevelWithDecimalSeconds", "level 1 0:00.8 0", 0.3, 0.95},
};

class XBoardMoveTime : public testing::TestWithParam<MoveTimeCase> {};

TEST_P(XBoardMoveTime, CountsFractionsOfASecond) {
    const MoveTimeCase& c = GetParam();
    TempDir dir;
    XBoardEngine engine(dir);
    ASSERT_TRUE(engine.handshake());
    engine.send("new");
    engine.send(c.limit);
    ASSERT_TRUE(engine.sync());
    const auto start = std::chrono::steady_clock::now();
    engine.send("go");
    std::string move;
    ASSERT_TRUE(engine.readMove(move));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, c.fewestSeconds);
    EXPECT_LT(seconds, c.mostSeconds + (slowBuild ? 1.5 : 0.0));
    EXPECT_EQ(engine.quit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, XBoardMoveTime, testing::ValuesIn(moveTimeCases),
                         [](const testing::TestParamInfo<MoveTimeCase>& info) {
                             return std::string(info.param.name);
                         });

// A depth from "sd" and a time control from "st" or "level" apply together,
// in either order: the first one reached ends the search. Alone, the limit
// that must not end it would run far longer than `withinMs`.
struct LimitsTogetherCase {
    const char* name;
    std::vector<std::string> limits;
    int withinMs;  // the move comes sooner than this
    int depth;     // deepest thinking line expected (0: not checked)
};

void PrintTo(const LimitsTogetherCase& c, std::ostream* out) { *out << c.name; }

const LimitsTogetherCase limitsTogetherCases[] = {
    // Five seconds on the clock for 40 moves: the move comes well before
    // the flag falls.
    {"ClockBeforeTheDepthOfSdSentAfter", {"level 40 0:05 0", "sd 40", "time 500", "otim 500"}, 4000, 0},
    {"ClockBeforeTheDepthOfSdSentBefore", {"sd 40", "level 40 0:05 0", "time 500", "otim 500"}, 4000, 0},
    {"MoveTimeBeforeTheDepthOfSdSentAfter", {"st 1", "sd 40"}, 3000, 0},
    {"MoveTimeBeforeTheDepthOfSdSentBefore", {"sd 40", "st 1"}, 3000, 0},
    {"DepthOfSdSentAfterBeforeTheClock", {"level 40 5 0", "sd 3"}, 4000, 3},
    {"DepthOfSdSentBeforeBeforeTheClock", {"sd 3", "level 40 5 0"}, 4000, 3},
    {"DepthOfSdSentAfterBeforeTheMoveTime", {"st 60", "sd 3"}, 4000, 3},
    {"DepthOfSdSentBeforeBeforeTheMoveTime", {"sd 3", "st 60"}, 4000, 3},
};

class XBoardLimitsTogether
    : public testing::TestWithParam<std::tuple<LimitsTogetherCase, InputThreadSetting>> {};

TEST_P(XBoardLimitsTogether, TheFirstLimitReachedEndsTheSearch) {
    const LimitsTogetherCase& c = std::get<0>(GetParam());
    TempDir dir;
    dir.write("vorlix.ini", std::get<1>(GetParam()).configuration);
    XBoardEngine engine(dir);
    ASSERT_TRUE(engine.handshake());
    engine.send("new");
    engine.send("post");
    for (const std::string& limit : c.limits) engine.send(limit);
    ASSERT_TRUE(engine.sync());
    const auto start = std::chrono::steady_clock::now();
    engine.send("go");
    std::string move;
    std::vector<std::string> before;
    const bool moved = engine.readMove(move, &before, c.withinMs);
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    ASSERT_TRUE(moved) << "no move within " << c.withinMs << " ms";
    EXPECT_TRUE(Referee().isLegal(move)) << move;
    EXPECT_LT(tookMs, c.withinMs);
    if (c.depth > 0) {
        int deepest = 0;
        for (const std::string& line : before)
            if (isThinkingLine(line)) deepest = std::max(deepest, thinkingDepth(line));
        EXPECT_EQ(deepest, c.depth) << joinLines(before);
    }
    EXPECT_EQ(engine.quit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XBoardLimitsTogether,
    testing::Combine(testing::ValuesIn(limitsTogetherCases), testing::ValuesIn(inputThreadSettings)),
    [](const testing::TestParamInfo<std::tuple<LimitsTogetherCase, InputThreadSetting>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

// A refused "setboard" during a search is reported at once and leaves the
// search running on the game's position.
TEST_P(XBoardCommandsLive, SetboardRefusedDuringASearchIsReportedAtOnce) {
    engine->send("new");
    engine->send("st 30");
    engine->send("go");
    pause(100);
    engine->send("setboard 4k3/8/8/9/8/8/4P3/4K3 w - - 0 1");
    std::vector<std::string> before;
    ASSERT_TRUE(engine->process.waitFor("^tellusererror Illegal position$", 3000, &before));
    EXPECT_EQ(countMatching(before, "^move"), 0) << joinLines(before);
    engine->send("?");
    readLegalMove();
}

INSTANTIATE_TEST_SUITE_P(Settings, XBoardCommandsLive, testing::ValuesIn(inputThreadSettings),
                         settingName);

}  // namespace
