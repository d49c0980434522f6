// The command-line tools run in-process: the check-FEN automaton, the EPD
// line reader and answer matching, the short move text, the SEE test, the
// eval suite, and the limits and speeds shared by the searching tools.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "app/tools/check_fen_suite.h"
#include "app/tools/epd_line.h"
#include "app/tools/eval_suite.h"
#include "app/tools/san_text.h"
#include "app/tools/search_limits.h"
#include "app/tools/see_test.h"
#include "app/tools/tool_io.h"
#include "board/notation.h"
#include "eval/evaluate.h"
#include "foundation/build_config.h"
#include "search/engine.h"
#include "tools_test_support.h"

using tools_test::CapturedOutput;
using tools_test::TempDir;

namespace {

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class ToolsOnEngine : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    TempDir dir;

    void SetUp() override {
        engine->init(1);
        engine->newGame();
    }
    void TearDown() override { engine->release(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Check-FEN automaton

struct FenCase {
    const char* line;
    bool valid;
};

TEST(ToolsCheckFen, JudgesLinesByTheSuiteRules) {
    const FenCase cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n", true},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", false},   // no blank after e.p.
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ", true},   // blank after e.p.
        {"8/8/8/8 w - - 0 1\n", true},                                     // board of four ranks
        {"4k3/8/8/8/8/8/PPPPPPPP/P3K3 w - - 0 1\n", false},                // nine white pawns
        {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1\n", false},                       // pawn on the eighth
        {"4k3/8/8/8/8/8/8/p3K3 w - - 0 1\n", false},                       // pawn on the first
        {"4k3/8/8/8/8/8/8/K3K3 w - - 0 1\n", false},                       // two white kings
        {"8/8/8/8/8/8/8/8 w - - 0 1\n", true},                             // no kings at all
        {"4k/8/8/8/8/8/8/4K3 w - - 0 1\n", true},                          // short rank then "/"
        {"4k4/8/8/8/8/8/8/4K3 w - - 0 1\n", false},                        // nine squares
        {"4k3/8/8/8/8/8/8/4K3 w KKKK - 0 1\n", true},                      // repeated letters
        {"4k3/8/8/8/8/8/8/4K3 w - e3e 0 1\n", false},                      // square then a file
        {"4k3/8/8/8/8/8/8/4K3 w - e3 0 1\n", true},
        {"4k3/8/8/8/8/8/8/4K3 x - - 0 1\n", false},                        // bad side
        {"4k3/8/8/8/8/8/8/4K3 w X - 0 1\n", false},                        // bad castling letter
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1 bm Kd2; id \"x\";\n", true},       // EPD tail accepted
        {"4k3/8/8/8/8/8/8/4K3 w - - 12 x\n", true},                        // text ends the clock
        {"4k3/8/8/8/8/8/8/4Z3 w - - 0 1\n", false},                        // unknown letter
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1\xc3\xa9\n", false},                // byte above 0x7f
        {"", false},
        {"garbage", false},
    };
    for (const FenCase& c : cases) {
        EXPECT_EQ(checkFenLine(c.line), c.valid) << c.line;
    }
}

TEST(ToolsCheckFen, HalfmoveFieldTakesThirtyDigitsButNotThirtyOne) {
    std::string board = "4k3/8/8/8/8/8/8/4K3 w - - ";
    EXPECT_TRUE(checkFenLine((board + std::string(30, '1') + " 1\n").c_str()));
    EXPECT_FALSE(checkFenLine((board + std::string(31, '1') + " 1\n").c_str()));
    EXPECT_FALSE(checkFenLine((board + "0 " + std::string(31, '2') + "\n").c_str()));
}

TEST(ToolsCheckFen, SuitePrintsRejectedLinesAndTheCount) {
    TempDir dir;
    std::string file = dir.write("fens.txt",
                                 std::string(startFen) + "\n" +
                                     "\n"  // neither checked nor counted
                                     "4k3/8/8/8/8/8/8/K3K3 w - - 0 1\n"
                                     "8/8/8/8 w - - 0 1\n"
                                     "not a fen at all\n");
    CapturedOutput out;
    EXPECT_EQ(runCheckFenSuite(file.c_str(), out.file()), 1);
    EXPECT_EQ(out.text(), "Check FEN suite : '" + file + "'\n" +
                              "Invalid FEN String : '4k3/8/8/8/8/8/8/K3K3 w - - 0 1\n'\n"
                              "Invalid FEN String : 'not a fen at all\n'\n"
                              "Checked 2 / 4 valid FEN string\n");
}

TEST(ToolsCheckFen, MissingFilePrintsNothing) {
    TempDir dir;
    CapturedOutput out;
    EXPECT_EQ(runCheckFenSuite(dir.file("absent.fen").c_str(), out.file()), 0);
    EXPECT_EQ(out.text(), "");
}

TEST(ToolsCheckFen, EmptyAndBinaryFilesEndWithACount) {
    TempDir dir;
    CapturedOutput empty;
    std::string emptyFile = dir.write("empty.fen", "");
    EXPECT_EQ(runCheckFenSuite(emptyFile.c_str(), empty.file()), 1);
    EXPECT_EQ(tools_test::splitLines(empty.text()).back(), "Checked 0 / 0 valid FEN string");

    std::string garbage;
    for (int i = 0; i < 3000; i++) garbage += char((i * 37) % 256);
    CapturedOutput noise;
    std::string noiseFile = dir.write("noise.fen", garbage);
    EXPECT_EQ(runCheckFenSuite(noiseFile.c_str(), noise.file()), 1);
    EXPECT_NE(noise.text().find("Checked 0 / "), std::string::npos);
}

// ---------------------------------------------------------------------------
// EPD lines and answers

TEST(ToolsEpdLine, SplitsPositionOpcodeMovesAndIdentifier) {
    EpdLine epd;
    ASSERT_TRUE(parseEpdLine("1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - bm Qd1+; id \"BK.01\";\n",
                             epd));
    EXPECT_EQ(epd.position, "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - ");
    EXPECT_EQ(epd.opcode, 'b');
    EXPECT_EQ(epd.expectedMoves, "Qd1+");
    EXPECT_EQ(epd.identifier, "BK.01");

    ASSERT_TRUE(parseEpdLine("4k3/8/8/8/8/8/8/R3K3 w Q - am 0-0-0 Ra8; id \"castle\";\n", epd));
    EXPECT_EQ(epd.opcode, 'a');
    EXPECT_EQ(epd.expectedMoves, "O-O-O Ra8");
    EXPECT_EQ(epd.identifier, "castle");
}

TEST(ToolsEpdLine, ShortAndBrokenLinesGiveEmptyTexts) {
    EpdLine epd;
    EXPECT_FALSE(parseEpdLine("4k3/8/8/8/8/8/8/4K3 w - - 0 1\n", epd));
    EXPECT_FALSE(parseEpdLine("b", epd));
    EXPECT_FALSE(parseEpdLine("", epd));

    ASSERT_TRUE(parseEpdLine("x bm", epd));
    EXPECT_EQ(epd.position, "x ");
    EXPECT_EQ(epd.expectedMoves, "");
    EXPECT_EQ(epd.identifier, "");

    ASSERT_TRUE(parseEpdLine("fen bm e4\n", epd));  // no ";" and no id
    EXPECT_EQ(epd.expectedMoves, "e4");
    EXPECT_EQ(epd.identifier, "");

    ASSERT_TRUE(parseEpdLine("fen bm e4;", epd));  // ";" at the very end
    EXPECT_EQ(epd.identifier, "");

    ASSERT_TRUE(parseEpdLine("fen bm e4; c0 \"comment\";\n", epd));  // no "id"
    EXPECT_EQ(epd.identifier, "");

    ASSERT_TRUE(parseEpdLine("fen bm e4; id \"unterminated\n", epd));
    EXPECT_EQ(epd.identifier, "unterminated");
}

struct MatchCase {
    const char* expected;
    const char* move;
    const char* longMove;
    bool found;
};

TEST(ToolsEpdLine, ExpectedMovesMatchAsWholeTokens) {
    const MatchCase cases[] = {
        {"Nf3 Ng5", "Nf3", "Ng1-f3", true},
        {"Nf3 Ng5", "Ng5", "", true},
        {"Nf3+", "Nf3", "", true},
        {"Qxf7#", "Qxf7", "", true},
        {"e4!? d4", "e4", "", true},
        {"Qe4", "e4", "e2-e4", false},
        {"O-O-O", "O-O", "O-O", false},
        {"O-O", "O-O", "O-O", true},
        {"Nf3", "Nf", "", false},
        {"Ng1-f3", "Nf3", "Ng1-f3", true},  // long form accepted as well
        {"", "e4", "e2-e4", false},
        {"e4", "", "", false},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(expectedMovesContain(c.expected, c.move, c.longMove), c.found)
            << c.expected << " / " << c.move;
    }
    // Zeros are read as the letter O, so 0-0 in a file accepts O-O.
    EpdLine epd;
    ASSERT_TRUE(parseEpdLine("fen bm 0-0; id \"z\";", epd));
    EXPECT_TRUE(expectedMovesContain(epd.expectedMoves, "O-O", "O-O"));
}

// ---------------------------------------------------------------------------
// Short move text

namespace {

struct SanCase {
    const char* fen;
    const char* longMove;  // the move, found by its long text among the legal moves
    const char* san;
};

}  // namespace

TEST_F(ToolsOnEngine, ShortMoveTextDisambiguatesFromTheGeneratedMoves) {
    const SanCase cases[] = {
        {"4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", "Nb1-d2", "Nbd2"},
        {"4k3/8/8/8/8/3N4/8/3NK3 w - - 0 1", "Nd1-f2", "N1f2"},
        {"4k3/8/8/8/8/3N4/8/3NK3 w - - 0 1", "Nd3-f2", "N3f2"},
        {"4k3/8/8/8/8/8/8/4K1N1 w - - 0 1", "Ng1-f3", "Nf3"},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "O-O", "O-O"},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "O-O-O", "O-O-O"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5xd6e.p", "exd6"},
        {"8/4P3/8/8/8/8/8/k3K3 w - - 0 1", "e7-e8=Q", "e8=Q"},
        {"4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1", "b2xa1=N", "bxa1=N"},
        {"4k3/8/8/8/8/8/8/R4RK1 w - - 0 1", "Ra1-c1", "Rac1"},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "none", ""},  // the move 0
        {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "Ke1xd2", "Kxd2"},
    };
    for (const SanCase& c : cases) {
        ASSERT_TRUE(engine->setFen(c.fen)) << c.fen;
        Position& position = engine->position;
        ScoredMove pseudo[MaxMoves];
        int pseudoCount = position.generateMoves(pseudo, position.inCheck());
        ScoredMove legal[MaxMoves];
        int legalCount = position.generateLegalMoves(legal, position.inCheck());
        Move move = NoMove;
        for (int i = 0; i < legalCount; i++) {
            char text[16];
            formatMoveLong(legal[i].move, text);
            if (std::string(text) == c.longMove) move = legal[i].move;
        }
        char san[SanBufferSize];
        formatSan(move, pseudo, pseudoCount, san);
        EXPECT_STREQ(san, c.san) << c.fen << " " << c.longMove;
    }
}

// ---------------------------------------------------------------------------
// SEE test and eval suite

TEST_F(ToolsOnEngine, SeeTestSetsUpEveryBestMoveOpcode) {
    std::string file = dir.write(
        "see.epd",
        // Two opcodes on one line: the text before each one is set up.
        std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm e4; bm d4;\n") +
            "\n"
            "not a position bm e4;\n"  // rejected, skipped
            "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n");  // no opcode
    CapturedOutput out;
    EXPECT_EQ(runSeeTest(engine->perftRunner, file.c_str(), out.file()), 1);
    std::vector<std::string> lines = tools_test::splitLines(out.text());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Count positions = 2");
    EXPECT_EQ(lines[1], "Count SEE = 40");
    EXPECT_EQ(lines[2].rfind("Time = ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("Speed : ", 0), 0u);
    EXPECT_EQ(lines[3].substr(lines[3].size() - 6), " SEE/s");
}

TEST_F(ToolsOnEngine, SeeTestMissingFileAndGarbagePrintNoCrash) {
    CapturedOutput missing;
    EXPECT_EQ(runSeeTest(engine->perftRunner, dir.file("absent").c_str(), missing.file()), 0);
    EXPECT_EQ(missing.text(), "");

    std::string garbage = dir.write("garbage.epd", "bmbmbm\nam bm\n\x01\x02 bm\nbm");
    CapturedOutput out;
    EXPECT_EQ(runSeeTest(engine->perftRunner, garbage.c_str(), out.file()), 1);
    EXPECT_EQ(tools_test::splitLines(out.text())[0], "Count positions = 0");
    // Zero exchanges over any time is a speed of zero.
    EXPECT_EQ(tools_test::splitLines(out.text())[3], "Speed : 0 SEE/s");
}

TEST_F(ToolsOnEngine, EvalSuitePrintsTheStaticScoreOfEveryReadablePosition) {
    const char* second = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1";
    std::string file = dir.write("eval.fen", std::string(startFen) + "\n" +
                                                 "this is no position\n" + second + "\n" + "\n");
    CapturedOutput out;
    EXPECT_EQ(runEvalSuite(engine->perftRunner, file.c_str(), out.file()), 1);

    auto staticScore = [&](const char* fen) {
        EXPECT_TRUE(engine->setFen(fen));
        return evaluate(engine->evalParams, engine->position,
                        engine->threadPool.mainThread->pawnHash, -32000, 32000);
    };
    std::string expected = std::string(startFen) + "  ; eval " +
                           std::to_string(staticScore(startFen)) + "\n" + second + "  ; eval " +
                           std::to_string(staticScore(second)) + "\n";
    std::string text = out.text();
    ASSERT_EQ(text.substr(0, expected.size()), expected);
    std::vector<std::string> lines = tools_test::splitLines(text.substr(expected.size()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1].rfind("Time : ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Speed : ", 0), 0u);
}

TEST_F(ToolsOnEngine, EvalSuiteMissingEmptyAndGarbageFiles) {
    CapturedOutput missing;
    EXPECT_EQ(runEvalSuite(engine->perftRunner, dir.file("absent").c_str(), missing.file()), 0);
    EXPECT_EQ(missing.text(), "");

    CapturedOutput empty;
    std::string emptyFile = dir.write("empty.fen", "");
    EXPECT_EQ(runEvalSuite(engine->perftRunner, emptyFile.c_str(), empty.file()), 1);
    EXPECT_EQ(tools_test::splitLines(empty.text()).back(), "Speed : 0 eval/s");

    std::string garbage;
    for (int i = 0; i < 2000; i++) garbage += char((i * 53 + 7) % 256);
    CapturedOutput noise;
    std::string noiseFile = dir.write("noise.fen", garbage);
    EXPECT_EQ(runEvalSuite(engine->perftRunner, noiseFile.c_str(), noise.file()), 1);
    EXPECT_EQ(noise.text().find(" ; eval "), std::string::npos);
}

TEST(ToolsEngineState, FileToolsRefuseAnEngineThatWasNotInitialised) {
    auto engine = std::make_unique<Engine>();
    TempDir dir;
    std::string file = dir.write("one.fen", std::string(startFen) + "\n");
    CapturedOutput out;
    EXPECT_EQ(runEvalSuite(engine->perftRunner, file.c_str(), out.file()), 0);
    EXPECT_EQ(runSeeTest(engine->perftRunner, file.c_str(), out.file()), 0);
    EXPECT_EQ(out.text(), "");
}

// ---------------------------------------------------------------------------
// Limits and speeds

TEST(ToolsLimits, SpeedsNeverDivideByZeroNorOverflow) {
    EXPECT_EQ(tools::ratePerSecond(1000, 0.0), 0);
    EXPECT_EQ(tools::ratePerSecond(1000, -5.0), 0);
    EXPECT_EQ(tools::ratePerSecond(1000, 500000.0), 2000);
    EXPECT_EQ(tools::ratePerSecond(1e12, 1.0), INT32_MAX);
    EXPECT_EQ(tools::nodesPerSecond(123456, 0.0), 0);
    EXPECT_EQ(tools::nodesPerSecond(3000000, 1500000.0), 2000000);
    EXPECT_EQ(tools::nodesPerSecond(uint64_t(1) << 40, 1.0), INT32_MAX);
}

TEST(ToolsLimits, HashThreadsDepthAndMoveTime) {
    EXPECT_EQ(tools::clampHashMb(0), 1);
    EXPECT_EQ(tools::clampHashMb(-7), 1);
    EXPECT_EQ(tools::clampHashMb(64), 64);
    EXPECT_EQ(tools::clampHashMb(100000), build::maxHashMb);
    EXPECT_EQ(tools::clampThreadCount(0), 1);
    EXPECT_EQ(tools::clampThreadCount(65), 64);

    auto engine = std::make_unique<Engine>();
    tools::setDepthLimit(*engine, 500);
    EXPECT_EQ(engine->limits(), LimitSet(Depth));
    EXPECT_EQ(engine->depthLimit, 127);
    tools::setDepthLimit(*engine, 0);
    EXPECT_EQ(engine->depthLimit, 1);

    tools::setMoveTimeSeconds(*engine, 0);
    EXPECT_EQ(engine->limits(), LimitSet(MoveTime));
    EXPECT_EQ(engine->moveTime, 1000000);
    tools::setMoveTimeSeconds(*engine, 2147);
    EXPECT_EQ(engine->moveTime, 2147000000);
    // 2148 s and more do not fit 32 bits of microseconds: held at the top
    // instead of wrapping to a negative time.
    tools::setMoveTimeSeconds(*engine, 2148);
    EXPECT_EQ(engine->moveTime, INT32_MAX);
    tools::setMoveTimeSeconds(*engine, INT32_MAX);
    EXPECT_EQ(engine->moveTime, INT32_MAX);
}

TEST(ToolsLimits, CommandLineNumbers) {
    EXPECT_EQ(tools::readNumber("12"), 12);
    EXPECT_EQ(tools::readNumber("  7x"), 7);
    EXPECT_EQ(tools::readNumber("depth"), 0);
    EXPECT_EQ(tools::readNumber("-3"), -3);
    EXPECT_EQ(tools::readNumber("99999999999999999999"), INT32_MAX);
}

TEST(ToolsLimits, ThreadCountChangeRepointsThePosition) {
    auto engine = std::make_unique<Engine>();
    engine->init(1);
    tools::applyThreadCount(*engine, 2);
    EXPECT_EQ(engine->threadPool.threadCount, 2);
    EXPECT_EQ(engine->position.owner, engine->threadPool.mainThread);
    engine->release();
}
