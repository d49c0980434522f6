#include "app/command_line.h"

#include "app/startup.h"
#include "app/tools/benchmark.h"
#include "app/tools/check_fen_suite.h"
#include "app/tools/eval_suite.h"
#include "app/tools/perft_suite.h"
#include "app/tools/search_limits.h"
#include "app/tools/see_test.h"
#include "app/tools/test_suite.h"
#include "book/opening_book.h"
#include "foundation/build_config.h"
#include "foundation/log.h"
#include "protocol/console_listener.h"
#include "protocol/perft_reports.h"
#include "search/engine.h"

namespace {

constexpr const char* engineAuthorName = "Osvane Kreelith";
constexpr int ToolMoveTime = 10000000;  // microseconds; the file tools do not search
constexpr int BookBuildHashMb = 32;

using Args = std::vector<std::string>;

// Exit statuses of the ways a tool ends. A tool that could not run (its
// file cannot be read, its depth is refused) has released the engine
// already or never set it up.
constexpr int OrderlyStop = 0;
constexpr int EndedWithoutStop = 1;
constexpr int ToolFailed = 1;

void prepareFileTool(Engine& engine) {
    engine.init(engine.settings.hashMb);
    engine.newGame();
    engine.setLimits(MoveTime);
    engine.moveTime = ToolMoveTime;
}

enum PerftReport { PlainPerft, DetailedPerft, DividePerft };

// "-perft", "-perftd" and "-divide": depth, optionally "-fen" and one FEN.
bool runPerftSwitch(Engine& engine, const Args& args, PerftReport report, int& exitStatus) {
    size_t n = args.size();
    if (!(n == 2 || (n == 4 && args[2] == "-fen"))) return false;
    int depth = tools::readNumber(args[1]);
    if (depth > MaxPerftDepth) {
        std::fprintf(stderr, "%s : depth %s too large (at most %d)\n", args[0].c_str() + 1,
                     args[1].c_str(), MaxPerftDepth);
        exitStatus = ToolFailed;
        return true;
    }
    engine.init(engine.settings.hashMb);
    engine.newGame();
    engine.bestMoveOwed = 0;
    if (n == 4 && !engine.setFen(args[3].c_str())) {
        std::printf("Bad FEN string !\n");
        std::fflush(stdout);
        engine.quitRequested = true;
        exitStatus = EndedWithoutStop;
        return true;
    }
    switch (report) {
        case PlainPerft:
            runPerft(engine, depth);
            break;
        case DetailedPerft:
            runPerftDetailed(engine, depth);
            break;
        case DividePerft:
            runDivide(engine, depth);
            break;
    }
    engine.release();
    exitStatus = OrderlyStop;
    return true;
}

// "-testsuite <hash> <threads> <depth|time> <value> <file>".
bool runTestSuiteSwitch(Engine& engine, ConsoleListener& console, const Args& args,
                        int& exitStatus) {
    size_t n = args.size();
    // The file name is the sixth string; without it there is nothing to run.
    if (n < 6) return false;
    int hashMb = tools::clampHashMb(tools::readNumber(args[1]));
    int threads = tools::clampThreadCount(tools::readNumber(args[2]));
    bool timeMode = args[3] == "time";
    int value = tools::readNumber(args[4]);

    engine.init(hashMb);
    tools::applyThreadCount(engine, threads);
    engine.newGame();
    engine.toolMode = true;
    engine.bestMoveOwed = 0;
    if (timeMode) {
        tools::setMoveTimeSeconds(engine, value);
    } else {
        tools::setDepthLimit(engine, value);
    }
    // Status 1 whether the file was read or not.
    runTestSuite(engine.perftRunner, console, args[5].c_str());
    std::fflush(stdout);
    engine.release();
    exitStatus = EndedWithoutStop;
    return true;
}

// "-benchmark [<hash> [<threads> [<depth|time> [<value> [<file>]]]]]".
void runBenchmarkSwitch(Engine& engine, ConsoleListener& console, const Args& args) {
    size_t n = args.size();
    BenchmarkSettings settings;
    if (n >= 2) settings.hashMb = tools::readNumber(args[1]);
    if (n >= 3) settings.threads = tools::readNumber(args[2]);
    if (n >= 4) settings.timeMode = args[3] == "time";
    if (n >= 5) settings.value = tools::readNumber(args[4]);
    if (n >= 6) settings.fileName = args[5];
    runBenchmark(engine, console, settings);
}

// Exit status 1, with one line on standard error, when no book was built.
int runBuildBookSwitch(Engine& engine, const Args& args) {
    engine.init(BookBuildHashMb);
    engine.newGame();
    engine.bestMoveOwed = 0;
    OpeningBook book;
    std::string failure;
    if (book.buildFromPgn(args[1], args[2], tools::readNumber(args[3]), tools::readNumber(args[4]),
                          &failure))
        return OrderlyStop;
    std::fprintf(stderr, "build opening book : %s\n", failure.c_str());
    engine.release();
    return EndedWithoutStop;
}

}  // namespace

void printHelp(FILE* out) {
    const char* name = build::engineName;
    std::fprintf(out, "%s %s (%s) by %s\n", name, build::engineVersion, build::wordSizeText,
                 engineAuthorName);
    std::fprintf(out, "Built on %s\n", buildDateText().c_str());
    std::fprintf(out, "%s", build::popcountText);
    std::fprintf(out, "\n");
    std::fprintf(out, "%s -testsuite<htsize> <nbthreads> [depth|time] <value> <filename.epd>\n",
                 name);
    std::fprintf(out, "%s -perftsuite <filename.epd> <depth>\n", name);
    std::fprintf(out, "%s -perft <depth>\n", name);
    std::fprintf(out, "%s -perft <depth> -fen \"<fen-string>\"\n", name);
    std::fprintf(out, "%s -perftd <depth>\n", name);
    std::fprintf(out, "%s -perftd <depth> -fen \"<fen-string>\"\n", name);
    std::fprintf(out, "%s -divide <depth>\n", name);
    std::fprintf(out, "%s -divide <depth> -fen \"<fen-string>\"\n", name);
    std::fprintf(out, "%s -buildbook <file.pgn> <file.bin> <depth> <count>\n", name);
    std::fprintf(out, "%s -benchmark <htsize> <nbthreads> [depth|time] <value> <filename.epd>\n",
                 name);
}

bool runCommandLine(Engine& engine, ConsoleListener& console, const Args& args, int& exitStatus) {
    if (args.empty()) return false;
    const std::string& name = args[0];
    size_t n = args.size();

    if (name == "-help") {
        printHelp();
        exitStatus = OrderlyStop;
        return true;
    }
    if (name == "-testsuite") return runTestSuiteSwitch(engine, console, args, exitStatus);
    if (name == "-perftsuite") {
        if (n != 2 && n != 3) return false;
        const int ran = runPerftSuite(engine, args[1].c_str(), n == 3 ? tools::readNumber(args[2]) : 1);
        exitStatus = ran ? OrderlyStop : ToolFailed;
        return true;
    }
    if (name == "-evalsuite" || name == "-checkfensuite" || name == "-testsee") {
        if (n != 2) return false;
        prepareFileTool(engine);
        int ran;
        if (name == "-evalsuite") {
            engine.bestMoveOwed = 0;
            ran = runEvalSuite(engine.perftRunner, args[1].c_str());
        } else if (name == "-checkfensuite") {
            ran = runCheckFenSuite(args[1].c_str());
        } else {
            ran = runSeeTest(engine.perftRunner, args[1].c_str());
        }
        std::fflush(stdout);
        engine.release();
        exitStatus = ran ? OrderlyStop : ToolFailed;
        return true;
    }
    if (name == "-perftd") return runPerftSwitch(engine, args, DetailedPerft, exitStatus);
    if (name == "-perft") return runPerftSwitch(engine, args, PlainPerft, exitStatus);
    if (name == "-divide") return runPerftSwitch(engine, args, DividePerft, exitStatus);
    if (name == "-buildbook") {
        if (n != 5) return false;
        exitStatus = runBuildBookSwitch(engine, args);
        return true;
    }
    if (name == "-benchmark") {
        runBenchmarkSwitch(engine, console, args);
        exitStatus = EndedWithoutStop;
        return true;
    }
    logger.log(LogWarning, "Unknown command line parameter '%s'", name.c_str());
    return false;
}
