// The command-line switches of the real program: each run in a directory of
// its own (no configuration file, so the built-in settings apply), its
// standard output read with a time limit, its exit status checked.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tools_test_support.h"

using tools_test::ProgramRun;
using tools_test::TempDir;
using tools_test::countOccurrences;
using tools_test::programPath;
using tools_test::splitLines;
using tools_test::testData;

namespace {

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char* const kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

class ToolsProgram : public testing::Test {
protected:
    TempDir dir;

    ProgramRun run(const std::vector<std::string>& args, int seconds = 60,
                   const std::string& input = "") {
        ProgramRun result = tools_test::runProgram(programPath(), args, dir.path(), seconds, input);
        EXPECT_FALSE(result.timedOut) << args[0];
        return result;
    }
    // The protocol loop announces itself with its banner line and, with
    // standard input at its end, leaves with status 0.
    void expectProtocolLoop(const std::vector<std::string>& args) {
        ProgramRun result = run(args, 20);
        EXPECT_EQ(result.output, "Vorlix 2.1 (64 bits) by Osvane Kreelith\n") << args[0];
        EXPECT_EQ(result.exitStatus, 0) << args[0];
    }
};

int linesOfAtLeastTwoCharacters(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        if (line.size() + (in.eof() ? 0 : 1) >= 2) count++;
    }
    return count;
}

}  // namespace

TEST_F(ToolsProgram, HelpTextLineByLine) {
    ProgramRun result = run({"-help", "ignored", "arguments"});
    EXPECT_EQ(result.exitStatus, 0);
    std::vector<std::string> lines = splitLines(result.output);
    ASSERT_EQ(lines.size(), 14u) << result.output;
    EXPECT_EQ(lines[0], "Vorlix 2.1 (64 bits) by Osvane Kreelith");
    EXPECT_TRUE(std::regex_match(
        lines[1], std::regex("Built on [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << lines[1];
    EXPECT_EQ(lines[2], "Using hardware popcount");
    EXPECT_EQ(lines[3], "");
    const char* usage[] = {
        "Vorlix -testsuite<htsize> <nbthreads> [depth|time] <value> <filename.epd>",
        "Vorlix -perftsuite <filename.epd> <depth>",
        "Vorlix -perft <depth>",
        "Vorlix -perft <depth> -fen \"<fen-string>\"",
        "Vorlix -perftd <depth>",
        "Vorlix -perftd <depth> -fen \"<fen-string>\"",
        "Vorlix -divide <depth>",
        "Vorlix -divide <depth> -fen \"<fen-string>\"",
        "Vorlix -buildbook <file.pgn> <file.bin> <depth> <count>",
        "Vorlix -benchmark <htsize> <nbthreads> [depth|time] <value> <filename.epd>",
    };
    for (int i = 0; i < 10; i++) EXPECT_EQ(lines[size_t(4 + i)], usage[i]);
}

TEST_F(ToolsProgram, PerftReportsOnTheStartPositionAndAFen) {
    ProgramRun perft = run({"-perft", "4"});
    EXPECT_EQ(perft.exitStatus, 0);
    std::vector<std::string> lines = splitLines(perft.output);
    ASSERT_EQ(lines.size(), 4u) << perft.output;
    EXPECT_EQ(lines[0], "Depth 4");
    EXPECT_EQ(lines[1], "Nodes = 197281");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("Time = [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}")));
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Speed = [0-9]+")));

    ProgramRun detailed = run({"-perftd", "3", "-fen", kiwipete});
    EXPECT_EQ(detailed.exitStatus, 0);
    lines = splitLines(detailed.output);
    ASSERT_EQ(lines.size(), 10u) << detailed.output;
    // Published counts for this position at depth 3.
    EXPECT_EQ(lines[1], "Nodes = 97862");
    EXPECT_EQ(lines[2], "Nodes captures = 17102");
    EXPECT_EQ(lines[3], "Nodes e.p = 45");
    EXPECT_EQ(lines[4], "Nodes check = 993");
    EXPECT_EQ(lines[5], "Nodes mate = 1");
    EXPECT_EQ(lines[6], "Nodes promotion = 0");
    EXPECT_EQ(lines[7], "Nodes castle = 3162");

    ProgramRun divide = run({"-divide", "1"});
    EXPECT_EQ(divide.exitStatus, 0);
    EXPECT_EQ(countOccurrences(divide.output, " : 1\n"), 20);
    EXPECT_NE(divide.output.find("\n     total : 20\n"), std::string::npos);

    ProgramRun divideFen = run({"-divide", "2", "-fen", startFen});
    EXPECT_EQ(divideFen.exitStatus, 0);
    EXPECT_NE(divideFen.output.find("\n     total : 400\n"), std::string::npos);
}

TEST_F(ToolsProgram, BadFenEndsWithStatusOne) {
    for (const char* name : {"-perft", "-perftd", "-divide"}) {
        ProgramRun result = run({name, "3", "-fen", "not/a/fen w - -"});
        EXPECT_EQ(result.output, "Bad FEN string !\n") << name;
        EXPECT_EQ(result.exitStatus, 1) << name;
    }
}

TEST_F(ToolsProgram, WrongArgumentsAndUnknownSwitchesEnterTheProtocolLoop) {
    expectProtocolLoop({"-perft", "3", "-fen"});
    expectProtocolLoop({"-perft", "3", "-xyz", startFen});
    expectProtocolLoop({"-perftsuite"});
    expectProtocolLoop({"-evalsuite"});
    expectProtocolLoop({"-checkfensuite", "a", "b"});
    expectProtocolLoop({"-testsee"});
    expectProtocolLoop({"-buildbook", "games.pgn", "book.bin", "10"});
    expectProtocolLoop({"-testsuite", "1", "1", "depth", "1"});  // no file name
    expectProtocolLoop({"-Help"});
    expectProtocolLoop({"-unknown"});
}

TEST_F(ToolsProgram, PerftSuiteScoresEveryLineOfTheSharedFile) {
    // The shared file holds its counts in another layout, so no line agrees,
    // but every line of two characters or more is run and counted.
    std::string path = testData("tricky.perft");
    ProgramRun raw = run({"-perftsuite", path, "1"});
    EXPECT_EQ(raw.exitStatus, 0);
    EXPECT_EQ(raw.output,
              "score = 0 / " + std::to_string(linesOfAtLeastTwoCharacters(path)) + "\n");

    std::string suite = dir.write("suite.txt", std::string(startFen) + " ;D1 20 ;D2 400 ;D3 8902\n" +
                                                   kiwipete + " ;D1 48 ;D2 2039 ;D3 97862\n");
    ProgramRun agreed = run({"-perftsuite", suite, "3"});
    EXPECT_EQ(agreed.output, "score = 2 / 2\n");
    ProgramRun defaultDepth = run({"-perftsuite", suite});
    EXPECT_EQ(defaultDepth.output, "score = 2 / 2\n");
}

TEST_F(ToolsProgram, TestSuiteOnTheBratkoKopecPositions) {
    std::string path = testData("bratko-kopec.epd");
    ProgramRun result = run({"-testsuite", "16", "1", "depth", "2", path}, 120);
    EXPECT_EQ(result.exitStatus, 1);
    const std::string& text = result.output;
    EXPECT_EQ(text.rfind("Vorlix version 2.1\n\nTest suite : " + path + "\n\n" +
                             std::string(79, '-') + "\n" +
                             "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - -  bm Qd1+; id BK.01;\n\n",
                         0),
              0u)
        << text.substr(0, 400);
    EXPECT_EQ(countOccurrences(text, std::string(79, '-') + "\n"), 24);
    EXPECT_EQ(countOccurrences(text, "result => '"), 24);
    EXPECT_TRUE(std::regex_search(text, std::regex("\nTime : [0-9:.]+\n\nTotal nodes = [1-9][0-9]*, Speed [0-9]+\n")));
    EXPECT_NE(text.find("\nDepth min = 2, max = 2, average = 2\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("\nScore = [0-9]+ / 24\n\nBad results : \n\n")));
}

TEST_F(ToolsProgram, TestSuiteLimitsAndMissingFile) {
    std::string file = dir.write("mate.epd", "6k1/5ppp/8/8/8/8/8/R5K1 w - - bm Ra8#; id \"m\";\n");
    // Hash 0 and 0 threads are raised to 1; an unknown mode word means depth.
    ProgramRun result = run({"-testsuite", "0", "0", "plies", "2", file});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.output.find("result => 'Ra8' : ok\n"), std::string::npos);
    EXPECT_NE(result.output.find("\nScore = 1 / 1\n"), std::string::npos);

    ProgramRun missing = run({"-testsuite", "1", "1", "depth", "1", dir.file("absent.epd")});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.output, "");
}

TEST_F(ToolsProgram, EvalSuiteAgreesWithTheEvalCommand) {
    const std::vector<std::string> fens = {
        startFen,
        kiwipete,
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 b - - 0 10",
    };
    std::string content;
    for (const std::string& fen : fens) content += fen + "\n";
    std::string file = dir.write("positions.fen", content + "garbage line\n");
    ProgramRun suite = run({"-evalsuite", file});
    EXPECT_EQ(suite.exitStatus, 0);

    std::string commands = "uci\n";
    for (const std::string& fen : fens) commands += "position fen " + fen + "\neval\n";
    commands += "quit\n";
    ProgramRun uci = run({}, 30, commands);
    std::vector<std::string> evalLines;
    for (const std::string& line : splitLines(uci.output)) {
        if (line.rfind("eval = ", 0) == 0) evalLines.push_back(line);
    }
    ASSERT_EQ(evalLines.size(), fens.size()) << uci.output;
    for (size_t i = 0; i < fens.size(); i++) {
        std::string prefix = fens[i] + "  ; eval ";
        size_t at = suite.output.find(prefix);
        ASSERT_NE(at, std::string::npos) << fens[i];
        int score = std::stoi(suite.output.substr(at + prefix.size()));
        char expected[32];
        std::snprintf(expected, sizeof expected, "eval = %.2f", score * 0.01);
        EXPECT_EQ(evalLines[i], expected) << fens[i];
    }
    EXPECT_EQ(countOccurrences(suite.output, " ; eval "), 4);
    EXPECT_TRUE(std::regex_search(suite.output, std::regex("\nTime : [0-9:.]+\nSpeed : [0-9]+ eval/s\n$")));
}

TEST_F(ToolsProgram, CheckFenSuiteOnValidAndInvalidLines) {
    std::string file = dir.write("check.fen", std::string(startFen) + "\n" +
                                                  "8/8/8/8 w - - 0 1\n" +
                                                  "4k3/8/8/8/8/8/8/K3K3 w - - 0 1\n" + "\n" +
                                                  "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n");
    ProgramRun result = run({"-checkfensuite", file});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output,
              "Check FEN suite : '" + file + "'\n" +
                  "Invalid FEN String : '4k3/8/8/8/8/8/8/K3K3 w - - 0 1\n'\n" +
                  "Invalid FEN String : 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n'\n" +
                  "Checked 2 / 4 valid FEN string\n");
}

TEST_F(ToolsProgram, SeeTestOnTheBratkoKopecPositions) {
    ProgramRun result = run({"-testsee", testData("bratko-kopec.epd")});
    EXPECT_EQ(result.exitStatus, 0);
    std::vector<std::string> lines = splitLines(result.output);
    ASSERT_EQ(lines.size(), 4u) << result.output;
    EXPECT_EQ(lines[0], "Count positions = 24");
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("Count SEE = [1-9][0-9]*")));
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Speed : [0-9]+ SEE/s")));
}

TEST_F(ToolsProgram, BuildBookWritesABookFile) {
    std::string book = dir.file("book.bin");
    ProgramRun result = run({"-buildbook", testData("kasparov-deep-blue-1997.pgn"), book, "10", "1"});
    EXPECT_EQ(result.exitStatus, 0);
    std::string bytes = tools_test::readFile(book);
    ASSERT_GT(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), "BOOK");
    EXPECT_EQ((bytes.size() - 12) % 16, 0u);
}

// A build that cannot read its games or write its book says so in one line
// on standard error, ends with status 1 and leaves no book behind.
TEST_F(ToolsProgram, BuildBookFailuresAreReportedWithStatusOne) {
    const std::string games = dir.write("games.pgn", "1. e4 e5 *\n");
    mkdir(dir.file("folder").c_str(), 0755);
    struct Failure {
        std::string pgn;
        std::string book;
        std::string message;
    };
    const std::vector<Failure> failures = {
        {dir.file("absent.pgn"), dir.file("b1.bin"),
         "build opening book : cannot read " + dir.file("absent.pgn") + " (No such file or directory)\n"},
        {dir.file("folder"), dir.file("b2.bin"),
         "build opening book : cannot read " + dir.file("folder") + " (Is a directory)\n"},
        {games, dir.file("no_such_directory/b3.bin"),
         "build opening book : cannot write " + dir.file("no_such_directory/b3.bin") +
             " (No such file or directory)\n"},
        {games, dir.file("folder"),
         "build opening book : cannot write " + dir.file("folder") + " (Is a directory)\n"},
    };
    for (const Failure& failure : failures) {
        ProgramRun result = run({"-buildbook", failure.pgn, failure.book, "10", "1"});
        EXPECT_EQ(result.exitStatus, 1) << failure.message;
        EXPECT_EQ(result.errors, failure.message);
        EXPECT_EQ(result.output, "") << failure.message;
    }
    for (const char* book : {"b1.bin", "b2.bin"})
        EXPECT_NE(access(dir.file(book).c_str(), F_OK), 0) << book;
    struct stat folder;
    ASSERT_EQ(stat(dir.file("folder").c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));

    ProgramRun built = run({"-buildbook", games, dir.file("book.bin"), "10", "1"});
    EXPECT_EQ(built.exitStatus, 0);
    EXPECT_EQ(built.errors, "");
    EXPECT_EQ(built.output, "");
}

TEST_F(ToolsProgram, BenchmarkNodesAreTheSameOnEveryRunAndInEveryBuild) {
    const std::vector<std::string> args = {"-benchmark", "16", "1", "depth", "5"};
    ProgramRun first = run(args, 120);
    EXPECT_EQ(first.exitStatus, 1);
    EXPECT_EQ(countOccurrences(first.output, "position "), 24);
    EXPECT_EQ(first.output.rfind("Hash table size : 16 Mb\nSearch depth : 5\nNumber of threads : 1\n", 0), 0u);
    std::smatch nodes;
    ASSERT_TRUE(std::regex_search(first.output, nodes, std::regex("\nNodes : [1-9][0-9]*\n")));
    EXPECT_TRUE(std::regex_search(first.output, std::regex("\nAverage speed : [0-9]+ nodes/s\n$")));
    EXPECT_EQ(first.output.find("Average depth"), std::string::npos);

    ProgramRun second = run(args, 120);
    EXPECT_NE(second.output.find(nodes.str()), std::string::npos);

    // The other builds, where they were built alongside, search the same tree.
    for (const char* build : {"vorlix-x64", "vorlix-x64-static", "vorlix-x64-popcnt-static",
                              "vorlix-x86", "vorlix-x86-static"}) {
        std::string path = programPath(build);
        if (access(path.c_str(), X_OK) != 0) continue;
        ProgramRun other = tools_test::runProgram(path, args, dir.path(), 240);
        EXPECT_NE(other.output.find(nodes.str()), std::string::npos) << build;
        EXPECT_EQ(other.exitStatus, 1) << build;
    }
}

TEST_F(ToolsProgram, ToolsGivenMissingEmptyOrGarbageFilesEndCleanly) {
    std::string missing = dir.file("absent.txt");
    std::string empty = dir.write("empty.txt", "");
    std::string noiseText;
    for (int i = 0; i < 4000; i++) noiseText += char((i * 131 + 17) % 256);
    std::string noise = dir.write("noise.txt", noiseText + "\n;D1 5\nbm am ;; id \"\n");

    struct Expectation {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Expectation> runs = {
        {{"-perftsuite", missing}, 1},      {{"-perftsuite", empty}, 0},
        {{"-perftsuite", noise, "1"}, 0},   {{"-evalsuite", missing}, 1},
        {{"-evalsuite", empty}, 0},         {{"-evalsuite", noise}, 0},
        {{"-checkfensuite", missing}, 1},   {{"-checkfensuite", empty}, 0},
        {{"-checkfensuite", noise}, 0},     {{"-testsee", missing}, 1},
        {{"-testsee", empty}, 0},           {{"-testsee", noise}, 0},
        {{"-testsuite", "1", "1", "depth", "1", empty}, 1},
        {{"-testsuite", "1", "1", "depth", "1", noise}, 1},
        {{"-buildbook", missing, dir.file("b1.bin"), "10", "1"}, 1},
        {{"-buildbook", noise, dir.file("b2.bin"), "10", "1"}, 1},  // no game in it
        {{"-benchmark", "1", "1", "depth", "1", missing}, 1},
        {{"-benchmark", "1", "1", "depth", "1", empty}, 1},
    };
    for (const Expectation& expected : runs) {
        ProgramRun result = run(expected.args, 60);
        std::string what = expected.args[0] + " " + expected.args[expected.args.size() > 5 ? 5 : 1];
        EXPECT_EQ(result.exitStatus, expected.status) << what << "\n" << result.output;
    }
    // What each says: nothing on standard output for a missing file (standard
    // error says why), the summary of nothing for an empty one.
    EXPECT_EQ(run({"-perftsuite", missing}).output, "");
    EXPECT_EQ(run({"-perftsuite", empty}).output, "score = 0 / 0\n");
    EXPECT_EQ(run({"-evalsuite", missing}).output, "");
    EXPECT_EQ(run({"-checkfensuite", missing}).output, "");
    EXPECT_EQ(run({"-testsee", missing}).output, "");
    EXPECT_EQ(run({"-checkfensuite", empty}).output,
              "Check FEN suite : '" + empty + "'\nChecked 0 / 0 valid FEN string\n");
    // A benchmark file without a usable line runs the built-in series.
    EXPECT_NE(run({"-benchmark", "1", "1", "depth", "1", empty}).output.find("position 24 / 24\n"),
              std::string::npos);
}
