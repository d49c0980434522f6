// The deepest perft every front end runs: a depth above the limit is refused
// in the front end's own words (the walk recursing once per ply would
// exhaust the stack), and the limit itself is counted. The position has one
// legal move at every ply, so a count at the limit walks its whole depth at
// once. Driven through the real program, the protocols with and without the
// input thread.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "board/perft.h"
#include "tools_test_support.h"

using tools_test::ProgramRun;
using tools_test::TempDir;
using tools_test::programPath;

namespace {

// Both kings shuttle between two corner squares; everything else is locked.
const std::string oneMoveFen = "5bk1/4p1p1/4P1P1/8/8/1p1p4/1P1P4/1KB5 w - - 0 1";

// The sessions end with their input: a "quit" read while a count runs would
// end the count.
std::string uci(const std::string& command) {
    return "uci\nposition fen " + oneMoveFen + "\n" + command + "\nisready\n";
}

std::string xboard(const std::string& command) {
    return "xboard\nprotover 2\nsetboard " + oneMoveFen + "\n" + command + "\nping 7\n";
}

struct DepthCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;      // a protocol session, run with and without the input thread
    std::string output;     // must stand in standard output; empty: no output at all
    std::string errors;     // standard error, whole
    int exitStatus;
};

const std::string countedAtLimit = "Depth 128\nNodes = 1\n";
const std::string dividedAtLimit = "    Kb1-a1 : 1\n\n     total : 1\n";

const std::vector<DepthCase> depthCases = {
    {"UciPerftRefused", {}, uci("perft 2000"),
     "\ninfo string depth too large (at most 128): perft 2000\nreadyok\n", "", 0},
    {"UciPerftdRefused", {}, uci("perftd 129"),
     "\ninfo string depth too large (at most 128): perftd 129\nreadyok\n", "", 0},
    {"UciDivideRefused", {}, uci("divide 99999999999"),
     "\ninfo string depth too large (at most 128): divide 99999999999\nreadyok\n", "", 0},
    {"UciPerftAtLimit", {}, uci("perft 128"), countedAtLimit, "", 0},
    {"UciPerftdAtLimit", {}, uci("perftd 128"), countedAtLimit, "", 0},
    {"UciDivideAtLimit", {}, uci("divide 128"), dividedAtLimit, "", 0},
    {"XBoardPerftRefused", {}, xboard("perft 2000"), "\nError (depth too large): perft 2000\npong 7\n", "",
     0},
    {"XBoardPerftdRefused", {}, xboard("perftd 129"), "\nError (depth too large): perftd 129\npong 7\n",
     "", 0},
    {"XBoardDivideRefused", {}, xboard("divide 5000"), "\nError (depth too large): divide 5000\npong 7\n",
     "", 0},
    {"XBoardPerftAtLimit", {}, xboard("perft 128"), countedAtLimit, "", 0},
    {"XBoardPerftdAtLimit", {}, xboard("perftd 128"), countedAtLimit, "", 0},
    {"XBoardDivideAtLimit", {}, xboard("divide 128"), dividedAtLimit, "", 0},
    {"SwitchPerftRefused", {"-perft", "100000", "-fen", oneMoveFen}, "", "",
     "perft : depth 100000 too large (at most 128)\n", 1},
    {"SwitchPerftdRefused", {"-perftd", "129"}, "", "", "perftd : depth 129 too large (at most 128)\n", 1},
    {"SwitchDivideRefused", {"-divide", "2000", "-fen", oneMoveFen}, "", "",
     "divide : depth 2000 too large (at most 128)\n", 1},
    {"SwitchPerftAtLimit", {"-perft", "128", "-fen", oneMoveFen}, "", countedAtLimit, "", 0},
    {"SwitchPerftdAtLimit", {"-perftd", "128", "-fen", oneMoveFen}, "", countedAtLimit, "", 0},
    {"SwitchDivideAtLimit", {"-divide", "128", "-fen", oneMoveFen}, "", dividedAtLimit, "", 0},
    {"SuiteRefused", {"-perftsuite", "{suite}", "5000"}, "", "",
     "perft suite : depth 5000 too large (at most 128)\n", 1},
    {"SuiteAtLimit", {"-perftsuite", "{suite}", "128"}, "", "score = 1 / 1\n", "", 0},
};

void PrintTo(const DepthCase& depthCase, std::ostream* out) { *out << depthCase.name; }

class PerftDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(PerftDepth, DeeperThanTheLimitIsRefusedTheLimitIsCounted) {
    const DepthCase& c = GetParam();
    ASSERT_EQ(MaxPerftDepth, 128);
    // The sessions run once with the input thread and once without it.
    const std::vector<std::string> configurations =
        c.input.empty() ? std::vector<std::string>{""}
                        : std::vector<std::string>{"UseInputThread=1\n", "UseInputThread=0\n"};
    for (const std::string& configuration : configurations) {
        SCOPED_TRACE(configuration);
        TempDir dir;
        if (!configuration.empty()) dir.write("vorlix.ini", configuration);
        std::vector<std::string> args = c.args;
        for (std::string& arg : args)
            if (arg == "{suite}") arg = dir.write("suite.epd", oneMoveFen + " ;D128 1\n");
        const ProgramRun run = tools_test::runProgram(programPath(), args, dir.path(), 60, c.input);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output << run.errors;
        EXPECT_EQ(run.errors, c.errors);
        if (c.output.empty())
            EXPECT_EQ(run.output, "");
        else
            EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
    }
}

INSTANTIATE_TEST_SUITE_P(FrontEnds, PerftDepth, testing::ValuesIn(depthCases),
                         [](const testing::TestParamInfo<DepthCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
