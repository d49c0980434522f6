// Every file tool of the real program reads a long line as one line: a line
// of more than a thousand characters is handled whole, and a line beyond the
// longest the tools take is refused in one line on standard error and passed
// over as one line. Neither ever turns into several lines.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/tools/tool_io.h"
#include "tools_test_support.h"

using tools_test::ProgramRun;
using tools_test::TempDir;
using tools_test::countOccurrences;
using tools_test::programPath;

namespace {

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char* const mateFen = "6k1/5ppp/8/8/8/8/8/R5K1 w - -";

// Well beyond 1,023 characters, and far beyond any plain position line.
constexpr size_t longPadding = 1200;
// Longer than any line the tools take.
constexpr size_t refusedPadding = tools::MaxLineLength + 100;

struct LineReaderCase {
    const char* name;       // the tool, as its messages name it
    std::vector<std::string> args;  // "{path}" stands for the file
    int exitStatus;
    // One line of the tool's file, `padding` characters longer than its
    // plain form; the file holds it long, too long, and plain.
    std::function<std::string(size_t padding)> line;
    // The output of a run that handled the long and the plain line, each as
    // one line, and nothing else.
    std::function<void(const std::string& output, const std::string& longLine)> check;
};

void PrintTo(const LineReaderCase& c, std::ostream* out) { *out << c.name; }

const std::vector<LineReaderCase>& readerCases() {
    static const std::vector<LineReaderCase> cases = {
        {"perft suite", {"-perftsuite", "{path}", "1"}, 0,
         [](size_t padding) { return std::string(startFen) + std::string(padding, ' ') + " ;D1 20"; },
         [](const std::string& output, const std::string&) { EXPECT_EQ(output, "score = 2 / 2\n"); }},
        {"test suite", {"-testsuite", "1", "1", "depth", "2", "{path}"}, 1,
         [](size_t padding) {
             return std::string(mateFen) + " bm Ra8#; id \"m\"; c0 \"" + std::string(padding, 'x') + "\";";
         },
         [](const std::string& output, const std::string&) {
             EXPECT_EQ(countOccurrences(output, "result => 'Ra8' : ok\n"), 2) << output;
             EXPECT_NE(output.find("\nScore = 2 / 2\n"), std::string::npos) << output;
         }},
        {"eval suite", {"-evalsuite", "{path}"}, 0,
         [](size_t padding) { return std::string(startFen) + std::string(padding, ' '); },
         [](const std::string& output, const std::string& longLine) {
             EXPECT_EQ(countOccurrences(output, " ; eval "), 2) << output;
             // The line is printed whole, its newline a blank.
             EXPECT_EQ(output.find(longLine + "  ; eval "), 0u) << output.substr(0, 200);
         }},
        {"check FEN suite", {"-checkfensuite", "{path}"}, 0,
         [](size_t padding) { return std::string(startFen) + " " + std::string(padding, 'x'); },
         [](const std::string& output, const std::string&) {
             EXPECT_NE(output.find("\nChecked 2 / 2 valid FEN string\n"), std::string::npos) << output;
             EXPECT_EQ(output.find("Invalid"), std::string::npos) << output;
         }},
        {"SEE test", {"-testsee", "{path}"}, 0,
         [](size_t padding) { return std::string(mateFen) + std::string(padding, ' ') + " bm Ra8#;"; },
         [](const std::string& output, const std::string&) {
             EXPECT_EQ(output.find("Count positions = 2\n"), 0u) << output;
         }},
        {"benchmark", {"-benchmark", "1", "1", "depth", "1", "{path}"}, 1,
         [](size_t padding) { return std::string(startFen) + std::string(padding, ' '); },
         [](const std::string& output, const std::string&) {
             EXPECT_NE(output.find("\nposition 1 / 2\nposition 2 / 2\n"), std::string::npos) << output;
             EXPECT_EQ(output.find("position 3 /"), std::string::npos) << output;
         }},
    };
    return cases;
}

class LongLines : public testing::TestWithParam<LineReaderCase> {};

TEST_P(LongLines, AreOneLineEachAndTheTooLongOneIsRefused) {
    const LineReaderCase& c = GetParam();
    TempDir dir;
    const std::string longLine = c.line(longPadding);
    const std::string path =
        dir.write("lines.txt", longLine + "\n" + c.line(refusedPadding) + "\n" + c.line(0) + "\n");
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
        if (arg == "{path}") arg = path;

    const ProgramRun run = tools_test::runProgram(programPath(), args, dir.path(), 120);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    c.check(run.output, longLine);
    EXPECT_EQ(run.errors, std::string(c.name) + " : line 2 of " + path + " is longer than " +
                              std::to_string(tools::MaxLineLength) + " characters, skipped\n");
}

INSTANTIATE_TEST_SUITE_P(Readers, LongLines, testing::ValuesIn(readerCases()),
                         [](const testing::TestParamInfo<LineReaderCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
