// The perft suite, the EPD test suite and the benchmark run in-process on one
// engine, with a console listener reading back each search's result.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/tools/benchmark.h"
#include "app/tools/perft_suite.h"
#include "app/tools/test_suite.h"
#include "protocol/console_listener.h"
#include "search/engine.h"
#include "tools_test_support.h"

using tools_test::CapturedOutput;
using tools_test::TempDir;
using tools_test::countOccurrences;
using tools_test::splitLines;

namespace {

// The published counts of the shared perft file, rewritten as suite lines:
// "<FEN> ;D1 <count> ;D2 <count> ...".
std::string trickyAsSuiteLines(int& positions) {
    std::ifstream in(tools_test::testData("tricky.perft"));
    std::string line;
    std::string result;
    std::string current;
    positions = 0;
    auto flush = [&]() {
        if (!current.empty()) {
            result += current + "\n";
            positions++;
        }
        current.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("epd ", 0) == 0) {
            flush();
            current = line.substr(4);
        } else if (line.rfind("perft ", 0) == 0 && !current.empty()) {
            std::istringstream fields(line.substr(6));
            std::string depth, count;
            fields >> depth >> count;
            current += " ;D" + depth + " " + count;
        }
    }
    flush();
    return result;
}

class ToolsSuiteOnEngine : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    ConsoleListener console;
    TempDir dir;

    void SetUp() override {
        engine->init(1);
        engine->newGame();
        engine->inputThreadInUse = true;  // never poll standard input in tests
        console.engine = engine.get();
        console.muted = true;
        engine->listener = &console;
    }
    void TearDown() override {
        engine->listener = &engine->nullListener;
        engine->release();
    }
};

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

}  // namespace

// ---------------------------------------------------------------------------
// Perft suite

TEST(ToolsPerftSuite, FieldScanKeepsDepthAndCountTexts) {
    EXPECT_EQ(scanPerftFields("fen w - - ;D1 20 ;D2 400 ;D3 8902 "),
              (std::vector<std::string>{"D1 20", "D2 400", "D3 8902"}));
    EXPECT_EQ(scanPerftFields("fen ;  d1 20;D2 4x00"),  // blanks after ";", no blank between
              (std::vector<std::string>{"d1 20", "D2 400"}));
    EXPECT_EQ(scanPerftFields("fen without fields "), std::vector<std::string>{});
    EXPECT_EQ(scanPerftFields("fen ;D1"), std::vector<std::string>{});  // no count yet

    std::string many = "fen";
    for (int i = 1; i <= 20; i++) many += " ;D" + std::to_string(i) + " " + std::to_string(i * 10);
    std::vector<std::string> fields = scanPerftFields((many + " ").c_str());
    ASSERT_EQ(fields.size(), size_t(MaxPerftFields));
    EXPECT_EQ(fields.back(), "D16 160");
}

TEST(ToolsPerftSuite, ExpectedCountIsTheFieldOfTheRequestedDepth) {
    std::vector<std::string> fields = {"D1 20", "D3 8902", "D2 400"};
    EXPECT_EQ(expectedPerftCount(fields, 2), "400");
    EXPECT_EQ(expectedPerftCount(fields, 3), "8902");
    EXPECT_EQ(expectedPerftCount(fields, 4), "");
    EXPECT_EQ(expectedPerftCount({"D 20", "D12345678901 5", "x"}, 1), "");
}

TEST_F(ToolsSuiteOnEngine, PublishedCountsAgreeOnEveryLine) {
    int positions = 0;
    std::string file = dir.write("tricky.suite", trickyAsSuiteLines(positions) + "\n\n");
    ASSERT_GE(positions, 5);
    CapturedOutput out;
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, file.c_str(), 2, out.file()), 1);
    EXPECT_EQ(out.text(), "score = " + std::to_string(positions) + " / " +
                              std::to_string(positions) + "\n");
}

TEST_F(ToolsSuiteOnEngine, RejectedFenWrongCountAndMissingDepthFail) {
    std::string fen = startFen;
    std::string file = dir.write("mixed.suite",
                                 fen + " ;D1 20 ;D2 400\n" +
                                     // Same counts, but no position: must not pass on the
                                     // position the line before left behind.
                                     "not a position ;D1 20 ;D2 400\n" +
                                     fen + " ;D1 20 ;D2 401\n" +  // wrong count
                                     fen + " ;D1 20\n" +          // no field for depth 2
                                     "\n" +                       // neither run nor counted
                                     fen + " ;D2 400 ;D1 20");    // no newline at the end
    CapturedOutput out;
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, file.c_str(), 2, out.file()), 1);
    EXPECT_EQ(out.text(), "score = 2 / 5\n");
}

TEST_F(ToolsSuiteOnEngine, NegativeDepthRunsDepthFive) {
    std::string file = dir.write("five.suite", std::string(startFen) + " ;D5 4865609\n");
    CapturedOutput out;
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, file.c_str(), -1, out.file()), 1);
    EXPECT_EQ(out.text(), "score = 1 / 1\n");
}

TEST_F(ToolsSuiteOnEngine, PerftSuiteMissingEmptyAndGarbageFiles) {
    CapturedOutput missing;
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, dir.file("absent").c_str(), 1,
                                missing.file()),
              0);
    EXPECT_EQ(missing.text(), "");

    CapturedOutput empty;
    std::string emptyFile = dir.write("empty.suite", "");
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, emptyFile.c_str(), 1, empty.file()), 1);
    EXPECT_EQ(empty.text(), "score = 0 / 0\n");

    CapturedOutput noise;
    std::string noiseFile = dir.write("noise.suite", ";;;D\n;D1 ;D2 x\n\xff\xfe;d9 9\n0\n");
    EXPECT_EQ(runPerftSuiteFile(engine->perftRunner, noiseFile.c_str(), 1, noise.file()), 1);
    EXPECT_EQ(noise.text(), "score = 0 / 4\n");
}

// ---------------------------------------------------------------------------
// EPD test suite

TEST_F(ToolsSuiteOnEngine, TestSuiteScoresBestAndAvoidedMoves) {
    engine->setLimits(Depth);
    engine->depthLimit = 2;
    const std::string mate = "6k1/5ppp/8/8/8/8/8/R5K1 w - -";
    const std::string lines[] = {
        mate + " bm Ra8#; id \"mate\";\n",
        mate + " am Ra8; id \"avoid\";\n",
        "no position here bm e4; id \"badfen\";\n",
        "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n",  // no opcode: counted only
        "7k/5Q2/6K1/8/8/8/8/8 b - - bm Kg8; id \"stalemate\";\n",
    };
    std::string content;
    for (const std::string& line : lines) content += line;
    std::string file = dir.write("suite.epd", content + "\n");

    CapturedOutput out;
    EXPECT_EQ(runTestSuite(engine->perftRunner, console, file.c_str(), out.file()), 1);
    std::string text = out.text();
    std::string separator = std::string(79, '-') + "\n";
    EXPECT_EQ(text.rfind("Vorlix version 2.1\n\nTest suite : " + file + "\n\n", 0), 0u);
    EXPECT_EQ(countOccurrences(text, separator), 4);
    // The echo keeps the blank in front of the opcode.
    EXPECT_NE(text.find(separator + mate + "  bm Ra8#; id mate;\n\n" + "result => 'Ra8' : ok\n"),
              std::string::npos);
    EXPECT_NE(text.find(separator + mate + "  am Ra8; id avoid;\n\n" + "result => 'Ra8' : bad\n"),
              std::string::npos);
    EXPECT_NE(text.find("id badfen;\n\nERROR : bad FEN !\n"), std::string::npos);
    EXPECT_EQ(countOccurrences(text, "result => "), 2);
    EXPECT_NE(text.find("\nDepth min = 2, max = 2, average = 0\n"), std::string::npos);
    EXPECT_NE(text.find("\nScore = 1 / 5\n"), std::string::npos);
    std::string bad = "\nBad results : \n\n" + lines[1] + lines[2] + lines[4];
    ASSERT_GE(text.size(), bad.size());
    EXPECT_EQ(text.substr(text.size() - bad.size()), bad);
    EXPECT_FALSE(engine->toolMode);
}

TEST_F(ToolsSuiteOnEngine, TestSuiteMissingEmptyAndGarbageFiles) {
    CapturedOutput missing;
    EXPECT_EQ(runTestSuite(engine->perftRunner, console, dir.file("absent").c_str(),
                           missing.file()),
              0);
    EXPECT_EQ(missing.text(), "");

    std::string emptyFile = dir.write("empty.epd", "");
    CapturedOutput empty;
    EXPECT_EQ(runTestSuite(engine->perftRunner, console, emptyFile.c_str(), empty.file()), 1);
    EXPECT_EQ(empty.text(), "Vorlix version 2.1\n\nTest suite : " + emptyFile + "\n\n");

    engine->setLimits(Depth);
    engine->depthLimit = 1;
    std::string noiseFile = dir.write("noise.epd", "bm\nam;\n\xff\xfe am \"\"\nxx bm ;id\n");
    CapturedOutput noise;
    EXPECT_EQ(runTestSuite(engine->perftRunner, console, noiseFile.c_str(), noise.file()), 1);
    std::string text = noise.text();
    EXPECT_EQ(countOccurrences(text, "ERROR : bad FEN !"), 4);
    EXPECT_NE(text.find("\nDepth min = 1024, max = 0, average = 0\n"), std::string::npos);
    EXPECT_NE(text.find("\nScore = 0 / 4\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Benchmark

TEST_F(ToolsSuiteOnEngine, BenchmarkOfAFileSearchesItsUsableLines) {
    std::string file = dir.write("bench.epd", std::string(startFen) + "\n" + "x\n" + "\n" +
                                                  "4k3/8/8/8/8/8/8/4K2R w K - 0 1\n" + "b\n" +
                                                  "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
    BenchmarkSettings settings;
    settings.hashMb = 1;
    settings.value = 3;
    settings.fileName = file;
    CapturedOutput out;
    EXPECT_EQ(runBenchmark(*engine, console, settings, out.file()), 1);
    std::vector<std::string> lines = splitLines(out.text());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Hash table size : 1 Mb");
    EXPECT_EQ(lines[1], "Search depth : 3");
    EXPECT_EQ(lines[2], "Number of threads : 1");
    EXPECT_EQ(lines[3], "position 1 / 3");
    EXPECT_EQ(lines[5], "position 3 / 3");
    EXPECT_EQ(lines[6].rfind("Time : ", 0), 0u);
    EXPECT_EQ(lines[7].rfind("Nodes : ", 0), 0u);
    EXPECT_NE(lines[7], "Nodes : 0");
    EXPECT_EQ(lines[8].rfind("Average speed : ", 0), 0u);
    engine->init(1);  // the benchmark released it
}

TEST_F(ToolsSuiteOnEngine, BenchmarkWithoutUsableLinesFallsBackToTheBuiltInSeries) {
    std::string file = dir.write("short.epd", "a\nb\n\nc");  // lines of 1 and 2 characters
    BenchmarkSettings settings;
    settings.hashMb = 0;     // raised to 1
    settings.threads = 0;    // raised to 1
    settings.value = 1;
    settings.fileName = file;
    EXPECT_EQ(benchmarkPositions().size(), 24u);
    EXPECT_TRUE(readBenchmarkFile(file).empty());
    EXPECT_TRUE(readBenchmarkFile(dir.file("absent")).empty());
    CapturedOutput out;
    EXPECT_EQ(runBenchmark(*engine, console, settings, out.file()), 1);
    std::string text = out.text();
    EXPECT_EQ(text.rfind("Hash table size : 1 Mb\nSearch depth : 1\nNumber of threads : 1\n", 0),
              0u);
    EXPECT_NE(text.find("position 24 / 24\n"), std::string::npos);
    EXPECT_EQ(text.find("Average depth"), std::string::npos);
    engine->init(1);
}

TEST_F(ToolsSuiteOnEngine, BenchmarkReportsItsDepthHeldTo128) {
    // A mated side has no move to search, so even this depth ends at once.
    std::string file = dir.write("mated.epd", "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1\n");
    BenchmarkSettings settings;
    settings.hashMb = 1;
    settings.value = 500;
    settings.fileName = file;
    CapturedOutput out;
    EXPECT_EQ(runBenchmark(*engine, console, settings, out.file()), 1);
    EXPECT_EQ(out.text().rfind("Hash table size : 1 Mb\nSearch depth : 128\n", 0), 0u);
    EXPECT_EQ(engine->depthLimit, 127);
    engine->init(1);
}

TEST_F(ToolsSuiteOnEngine, BenchmarkNodesAreTheSameOnEveryRun) {
    BenchmarkSettings settings;
    settings.hashMb = 1;
    settings.value = 3;
    auto nodesLine = [&]() {
        CapturedOutput out;
        runBenchmark(*engine, console, settings, out.file());
        engine->init(1);
        for (const std::string& line : splitLines(out.text())) {
            if (line.rfind("Nodes : ", 0) == 0) return line;
        }
        return std::string("no nodes line");
    };
    std::string first = nodesLine();
    EXPECT_NE(first, "no nodes line");
    EXPECT_EQ(nodesLine(), first);
}

TEST_F(ToolsSuiteOnEngine, BenchmarkInTimeModeEndsWithTheDepthLine) {
    std::string file = dir.write("one.epd", std::string(startFen) + "\n");
    BenchmarkSettings settings;
    settings.hashMb = 1;
    settings.timeMode = true;
    settings.value = 0;  // one second
    settings.fileName = file;
    CapturedOutput out;
    EXPECT_EQ(runBenchmark(*engine, console, settings, out.file()), 1);
    std::string text = out.text();
    EXPECT_EQ(text.rfind("Hash table size : 1 Mb\nSearch time : 1 s\n", 0), 0u);
    size_t at = text.rfind("Average depth = ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.find('\n', at), std::string::npos);  // no newline after it
    engine->init(1);
}
