#include "app/startup.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "foundation/build_config.h"
#include "foundation/config.h"
#include "foundation/log.h"
#include "protocol/gui_io.h"
#include "protocol/input_thread.h"
#include "protocol/protocol_detector.h"
#include "search/engine.h"

namespace {

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

}  // namespace

bool processorSupportsBuild() {
#if defined(VORLIX_HW_POPCNT)
    __builtin_cpu_init();
    return __builtin_cpu_supports("popcnt");
#else
    return true;
#endif
}

bool raiseStackLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return true;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < programStackBytes) {
        limit.rlim_cur = programStackBytes;
        if (setrlimit(RLIMIT_STACK, &limit) != 0) {
            logger.log(LogWarning, "unable to set program stack limit");
            return false;
        }
    }
    return true;
}

bool readConfiguration(EngineSettings& s, const char* fileName) {
    Config config({"Hash", "Book", "BookFile", "BookSelectivity", "UseStrength", "StrengthELO",
                   "MaxThreads", "MinSplitDepth", "UsePersonality", "PersonalityFile", "LogLevel",
                   "LogFormat", "LogPID", "UseNullMovePruning", "UseLMR", "DrawScore",
                   "UseInputThread"});
    if (!config.readFile(fileName)) return false;
    // An existing file gives every key it lacks the value in the second
    // argument, which is not always the built-in default.
    s.hashMb = clampInt(config.getInt("Hash", 0), 1, build::maxHashMb);
    s.book = config.getInt("Book", 0);
    s.bookFile = config.getString("BookFile", "vorlixbook-20.bin");
    s.bookSelectivity = clampInt(config.getInt("BookSelectivity", 100), 1, 100);
    s.useStrength = config.getInt("UseStrength", 0);
    // Kept within the range the UCI_Elo option announces.
    s.strengthElo = s.useStrength != 0 ? clampInt(config.getInt("StrengthELO", 2700), 1000, 2700)
                                       : 2700;
    s.maxThreads = clampInt(config.getInt("MaxThreads", 1), 1, 64);
    s.minSplitDepth = config.getInt("MinSplitDepth", 4);
    if (s.minSplitDepth < 1) s.minSplitDepth = 1;
    s.usePersonality = config.getInt("UsePersonality", 0);
    s.personalityFile = config.getString("PersonalityFile", "");
    s.personalityInUse = s.usePersonality == 1;
    if (s.usePersonality != 0) s.strengthElo = 2700;
    s.logLevel = config.getInt("LogLevel", 0);
    s.logFormat = config.getInt("LogFormat", 0);
    s.logPid = config.getInt("LogPID", 0);
    s.useNullMovePruning = config.getInt("UseNullMovePruning", 1);
    s.useLmr = config.getInt("UseLMR", 1);
    // Kept within the range the DrawScore option announces.
    s.drawScore = clampInt(config.getInt("DrawScore", 0), -100, 100);
    s.useInputThread = config.getInt("UseInputThread", 1);
    return true;
}

std::string setUpLog(const EngineSettings& s) {
    logger.close();
    logger.levels.clear();
    logger.appendStandardLevels(unsigned(s.logLevel));
    logger.textFormat = s.logFormat == 0;
    logger.enabled = s.logLevel != 0;
    logger.withPid = s.logPid != 0;
    if (!logger.enabled) return std::string();
    std::string name = "logfile";
    if (logger.withPid) name += "_" + std::to_string(getpid());
    name += logger.textFormat ? Logger::textSuffix : Logger::htmlSuffix;
    // A log that cannot be created leaves the program running without one.
    return logger.openFile(name) ? name : std::string();
}

std::string buildDateText() { return std::string(__DATE__) + " at " + __TIME__; }

void installProtocolDetector(Engine& engine) {
    if (engine.protocol != nullptr) {
        engine.listener = &engine.nullListener;
        delete engine.protocol;
    }
    ProtocolDetector* detector = new ProtocolDetector(engine);
    detector->console.muted = false;
    engine.quitRequested = false;
    engine.protocol = detector;
    detector->start();
}

bool startInputThread(Engine& engine, size_t stackBytes) {
    engine.searchRequested = false;
    InputThread* thread = new InputThread(engine);
    engine.inputThread = thread;
    if (thread->start(stackBytes)) return true;
    // Nobody else would ever read the GUI's commands: the main thread does.
    delete thread;
    engine.inputThread = nullptr;
    engine.inputThreadInUse = false;
    engine.settings.useInputThread = 0;
    logger.log(LogWarning, "reading the input on the main thread");
    return false;
}

int runProtocolLoop(Engine& engine) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // A search without the input thread asks the operating system whether a
    // command waits; a line already sitting in a stdio buffer would be
    // invisible to it, so standard input is read without one.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    // The banner goes first, so that it never stands among the answer to
    // the GUI's first command.
    sendToGui(engine, "%s %s (%s) by %s", build::engineName, build::engineVersion,
              build::wordSizeText, build::engineAuthor);
    engine.inputThreadInUse = engine.settings.useInputThread != 0;
    if (engine.inputThreadInUse) startInputThread(engine, threadStackBytes);

    if (engine.inputThreadInUse) {
        while (engine.serveSearchRequest()) {
        }
    } else {
        while (!engine.quitRequested.load()) {
            if (readAndDispatchInput(engine) == 0) {
                handleEndOfInput(engine);
                break;
            }
        }
    }
    return 0;
}

void orderlyStop(Engine& engine) {
    if (engine.searching.load()) engine.stopState = Aborted;
    engine.ponderAllowed = false;
    engine.ponderEnabled = 0;
    engine.ponderSearch = false;
    engine.release();
}

void shutDown(Engine& engine) {
    if (engine.inputThread != nullptr) {
        // It has left its loop: only its own "quit" ends the protocol loop.
        engine.inputThread->join();
        delete engine.inputThread;
        engine.inputThread = nullptr;
    }
    engine.listener = &engine.nullListener;
    delete engine.protocol;
    engine.protocol = nullptr;
    logger.log(LogInfo, "End.");
    logger.close();
}

int runProgram(int argc, char** argv) {
    raiseStackLimit();
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) args.push_back(argv[i]);

    Engine engine;
    const bool configRead = readConfiguration(engine.settings, configFileName);
    setUpLog(engine.settings);
    if (!configRead)
        logger.log(LogWarning, "Config file %s not found, using default parameters",
                   configFileName);
    logger.log(LogInfo, "%s %s %s", build::engineName, build::engineVersion, build::wordSizeText);
    logger.log(LogInfo, "Compiled on %s", buildDateText().c_str());

    installProtocolDetector(engine);
    ConsoleListener& console = static_cast<ProtocolDetector*>(engine.protocol)->console;

    // A tool that ends with status 0 leaves the engine to the orderly stop;
    // the others have released it already or leave it to its destructor.
    int status = 0;
    if (!runCommandLine(engine, console, args, status)) status = runProtocolLoop(engine);
    if (status == 0) orderlyStop(engine);
    shutDown(engine);
    return status;
}
