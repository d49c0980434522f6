// Start-up: the configuration keys with their clamps, the log file, and the
// fall-back when the input thread cannot start.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/startup.h"
#include "foundation/log.h"
#include "protocol/input_thread.h"
#include "search/engine.h"

namespace {

// Writes a configuration file for one test and removes it afterwards.
class ConfigFile {
public:
    explicit ConfigFile(const std::string& text)
        : path(testing::TempDir() + "vorlix_config_" + std::to_string(getpid()) + ".ini") {
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    ~ConfigFile() { std::remove(path.c_str()); }
    std::string path;
};

EngineSettings read(const std::string& text) {
    ConfigFile file(text);
    EngineSettings settings;
    EXPECT_TRUE(readConfiguration(settings, file.path.c_str()));
    return settings;
}

TEST(Configuration, MissingFileKeepsTheBuiltInValues) {
    EngineSettings settings;
    settings.hashMb = 77;
    EXPECT_FALSE(readConfiguration(settings, "/nonexistent/vorlix.ini"));
    EXPECT_EQ(settings.hashMb, 77);
}

// An existing file gives absent keys their file defaults: no Hash line means
// a 1 MB table, not the built-in 32.
TEST(Configuration, AbsentKeysTakeTheFileDefaults) {
    const EngineSettings s = read("LogLevel=127\n");
    EXPECT_EQ(s.hashMb, 1);
    EXPECT_EQ(s.logLevel, 127);
    EXPECT_EQ(s.maxThreads, 1);
    EXPECT_EQ(s.minSplitDepth, 4);
    EXPECT_EQ(s.bookSelectivity, 100);
    EXPECT_EQ(s.bookFile, "vorlixbook-20.bin");
    EXPECT_EQ(s.useInputThread, 1);
    EXPECT_EQ(s.strengthElo, 2700);
    EXPECT_FALSE(s.personalityInUse);
}

TEST(Configuration, ValuesAreClampedToTheirRanges) {
    struct Case {
        const char* text;
        int EngineSettings::*field;
        int expected;
    };
    const Case cases[] = {
        {"Hash=100000", &EngineSettings::hashMb, 16384},
        {"Hash=-5", &EngineSettings::hashMb, 1},
        {"Hash=64", &EngineSettings::hashMb, 64},
        {"MaxThreads=0", &EngineSettings::maxThreads, 1},
        {"MaxThreads=100", &EngineSettings::maxThreads, 64},
        {"MinSplitDepth=-3", &EngineSettings::minSplitDepth, 1},
        {"BookSelectivity=250", &EngineSettings::bookSelectivity, 100},
        {"BookSelectivity=0", &EngineSettings::bookSelectivity, 1},
        {"UseStrength=0\nStrengthELO=1500", &EngineSettings::strengthElo, 2700},
        {"UseStrength=1\nStrengthELO=1500", &EngineSettings::strengthElo, 1500},
        {"UseStrength=1\nStrengthELO=1500\nUsePersonality=1", &EngineSettings::strengthElo, 2700},
        {"UseStrength=1\nStrengthELO=500", &EngineSettings::strengthElo, 1000},
        {"UsePersonality=2\nUseStrength=1\nStrengthELO=1500", &EngineSettings::strengthElo, 2700},
        {"DrawScore=500", &EngineSettings::drawScore, 100},
        {"DrawScore=-30", &EngineSettings::drawScore, -30},
        {"UseInputThread=0", &EngineSettings::useInputThread, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(read(c.text).*c.field, c.expected) << c.text;
}

// Every key of the file reaches its setting, among lines of keys the engine
// does not know (which it passes over) and later repeats (the first wins).
TEST(Configuration, EveryKeyIsReadAndItsFirstLineWins) {
    const std::string keys =
        "Hash=64\nBook=1\nBookFile=b.bin\nBookSelectivity=50\nUseStrength=1\n"
        "StrengthELO=1500\nMaxThreads=3\nMinSplitDepth=6\nUsePersonality=0\n"
        "PersonalityFile=p.txt\nLogLevel=8\nLogFormat=1\nLogPID=1\nUseNullMovePruning=0\n"
        "UseLMR=0\nDrawScore=-20\nUseInputThread=0\n";
    std::string repeats;
    for (size_t at = 0; at < keys.size(); at = keys.find('\n', at) + 1)
        repeats += keys.substr(at, keys.find('=', at) - at) + "=7\nUnknown=7\n";
    const EngineSettings s = read("Other=1\n" + keys + repeats);
    const int EngineSettings::*const fields[] = {
        &EngineSettings::hashMb,       &EngineSettings::book,          &EngineSettings::bookSelectivity,
        &EngineSettings::useStrength,  &EngineSettings::strengthElo,   &EngineSettings::maxThreads,
        &EngineSettings::minSplitDepth, &EngineSettings::usePersonality, &EngineSettings::logLevel,
        &EngineSettings::logFormat,    &EngineSettings::logPid,        &EngineSettings::useNullMovePruning,
        &EngineSettings::useLmr,       &EngineSettings::drawScore,     &EngineSettings::useInputThread};
    const int expected[] = {64, 1, 50, 1, 1500, 3, 6, 0, 8, 1, 1, 0, 0, -20, 0};
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; i++)
        EXPECT_EQ(s.*fields[i], expected[i]) << i;
    EXPECT_EQ(s.bookFile, "b.bin");
    EXPECT_EQ(s.personalityFile, "p.txt");
}

TEST(Configuration, PersonalityInUseOnlyForOne) {
    EXPECT_TRUE(read("UsePersonality=1\nPersonalityFile=p.txt\n").personalityInUse);
    EXPECT_FALSE(read("UsePersonality=2\n").personalityInUse);
    EXPECT_EQ(read("UsePersonality=1\nPersonalityFile=p.txt\n").personalityFile, "p.txt");
}

// The log file name follows the format and process-id settings.
TEST(LogSetUp, FileNameAndLevels) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string dir = testing::TempDir() + "vorlix_logdir_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);

    EngineSettings s;
    s.logLevel = 127;
    s.logFormat = 1;
    s.logPid = 1;
    const std::string html = setUpLog(s);
    EXPECT_EQ(html, "logfile_" + std::to_string(getpid()) + ".html");
    logger.log(LogGui, ">> %s", "uciok");
    logger.close();

    s.logFormat = 0;
    s.logPid = 0;
    s.logLevel = 1 << LogGui;
    EXPECT_EQ(setUpLog(s), "logfile.txt");
    logger.log(LogInfo, "not written");
    logger.log(LogGui, "written");
    logger.close();
    FILE* file = std::fopen("logfile.txt", "r");
    ASSERT_NE(file, nullptr);
    char text[4096] = {};
    std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    EXPECT_NE(std::string(text).find("written"), std::string::npos);
    EXPECT_EQ(std::string(text).find("not written"), std::string::npos);

    s.logLevel = 0;
    EXPECT_EQ(setUpLog(s), "");
    logger.levels.clear();

    std::remove(html.c_str());
    std::remove("logfile.txt");
    ASSERT_EQ(chdir(cwd), 0);
    rmdir(dir.c_str());
}

TEST(StartUp, BuildDateText) {
    const std::string text = buildDateText();
    // "Mmm dd yyyy at hh:mm:ss"
    ASSERT_EQ(text.size(), 23u) << text;
    EXPECT_EQ(text.substr(11, 4), " at ");
    EXPECT_EQ(text[17], ':');
    EXPECT_EQ(text[20], ':');
}

// An input thread that cannot be created leaves the main thread to read the
// input, instead of waiting for commands nobody reads.
TEST(StartUpThread, InputThreadFailureFallsBackToTheMainThread) {
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    engine->settings.useInputThread = 1;
    engine->inputThreadInUse = true;
    // A stack larger than the address space cannot be mapped.
    EXPECT_FALSE(startInputThread(*engine, size_t(1) << 62));
    EXPECT_EQ(engine->inputThread, nullptr);
    EXPECT_FALSE(engine->inputThreadInUse);
    EXPECT_EQ(engine->settings.useInputThread, 0);
}

TEST(StartUp, ThisProcessorRunsThisBuild) { EXPECT_TRUE(processorSupportsBuild()); }

}  // namespace
