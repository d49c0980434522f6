#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <regex>
#include <sys/stat.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "foundation/log.h"

namespace {

constexpr unsigned allLevels = 0x7f;

std::string tempPath(const char* name) {
    return testing::TempDir() + "vorlix_log_" + std::to_string(getpid()) + "_" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A private logger on a temporary file, set up the way start-up sets up the
// global one.
class LogFile : public testing::Test {
protected:
    Logger log;
    std::string path;

    void open(bool text, unsigned levelMask, const char* name) {
        path = tempPath(name);
        log.textFormat = text;
        log.appendStandardLevels(levelMask);
        ASSERT_TRUE(log.openFile(path));
    }
    std::string closeAndRead() {
        log.close();
        return readFile(path);
    }
    void TearDown() override {
        log.close();
        if (!path.empty())
            remove(path.c_str());
    }
};

const std::string htmlHeaderPrefix =
    "<!DOCTYPE HTML>\n<html>\n<head>\n<title>";
const std::string htmlHeaderSuffix =
    "</title>\n"
    "<link href=\"html/style.css\" media=\"screen\" rel=\"stylesheet\" type=\"text/css\" />\n"
    "<script type=\"text/javascript\" src=\"html/logchess.js\"></script>\n"
    "</head>\n<body>\n<table id=\"tablelog\">\n";

std::string htmlFooter(const std::vector<unsigned>& counts) {
    static const char* names[] = {"INFO", "DEBUG", "TRACE", "WARNING", "ERROR", "CRITICAL", "GUI"};
    static const char* classes[] = {"info", "debug", "trace", "warning", "error", "critical", "gui"};
    std::string footer = "</table>\n<table id=\"logcount\">\n";
    for (int i = 0; i < 7; i++)
        footer += std::string("<tr><th><a href=\"#\" onclick=\"return showLevel('tablelog', '") +
                  classes[i] + "')\">" + names[i] + "</a></th><td>" + std::to_string(counts[i]) +
                  "</td></tr>\n";
    return footer + "</table>\n</body>\n</html>\n";
}

const std::string timestampPattern = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})";

TEST_F(LogFile, TextLayoutLinesAndFooter) {
    open(true, allLevels, "text.txt");
    log.log(LogInfo, "hello %d", 42);
    log.log(LogWarning, "careful");
    log.log(LogGui, ">> %s", "readyok");
    const std::vector<std::string> lines = splitLines(closeAndRead());

    ASSERT_EQ(lines.size(), 3u + 1u + 7u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(timestampPattern + " INFO       hello 42")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(timestampPattern + " WARNING    careful")))
        << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(timestampPattern + " GUI        >> readyok")))
        << lines[2];
    EXPECT_EQ(lines[3], "");
    const char* footer[] = {"INFO = 1",  "DEBUG = 0",    "TRACE = 0", "WARNING = 1",
                            "ERROR = 0", "CRITICAL = 0", "GUI = 1"};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(lines[4 + i], footer[i]);
}

TEST_F(LogFile, HtmlLayoutHeaderRowsAndFooter) {
    open(false, allLevels, "page.html");
    log.log(LogError, "bad <b>move</b> & more");  // written unescaped
    const std::string text = closeAndRead();

    const std::string header = htmlHeaderPrefix + path + htmlHeaderSuffix;
    ASSERT_EQ(text.compare(0, header.size(), header), 0) << text;
    const std::string footer = htmlFooter({0, 0, 0, 0, 1, 0, 0});
    ASSERT_GE(text.size(), header.size() + footer.size());
    EXPECT_EQ(text.substr(text.size() - footer.size()), footer);

    const std::string row = text.substr(header.size(), text.size() - header.size() - footer.size());
    EXPECT_TRUE(std::regex_match(
        row, std::regex("<tr class=\"error\"><th>" + timestampPattern +
                        "</th><td>ERROR</td><td>bad <b>move</b> & more</td></tr>\n")))
        << row;
}

// Only the GUI level on: every other level is neither written nor counted,
// yet the footer still lists all seven.
TEST_F(LogFile, OnlyEnabledLevelsAreWrittenAndCounted) {
    open(true, 1u << LogGui, "gui_only.txt");
    for (int level = 0; level < LogLevelCount; level++)
        log.log(level, "level %d", level);
    log.log(LogGui, "<< %s", "uci");
    log.log(7, "no such level");
    log.log(-1, "no such level");
    const std::vector<std::string> lines = splitLines(closeAndRead());

    ASSERT_EQ(lines.size(), 2u + 1u + 7u);
    EXPECT_NE(lines[0].find("GUI        level 6"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("GUI        << uci"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "INFO = 0");
    EXPECT_EQ(lines[9], "GUI = 2");
}

TEST_F(LogFile, NoLevelEnabledLeavesHeaderAndFooterOnly) {
    open(false, 0, "empty.html");
    log.log(LogInfo, "dropped");
    log.log(LogGui, "dropped");
    EXPECT_EQ(closeAndRead(),
              htmlHeaderPrefix + path + htmlHeaderSuffix + htmlFooter({0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(LogFile, LoggingSwitchedOffWritesNothingAtAll) {
    open(true, allLevels, "off.txt");
    log.enabled = false;
    log.log(LogInfo, "dropped");
    EXPECT_EQ(closeAndRead(), "");
    EXPECT_EQ(log.levels[LogInfo].count, 0u);
}

TEST_F(LogFile, LongMessageIsCutAt4095Characters) {
    open(true, allLevels, "long.txt");
    const std::string message(5000, 'x');
    log.log(LogInfo, "%s", message.c_str());
    const std::vector<std::string> lines = splitLines(closeAndRead());
    const std::string& line = lines.at(0);
    const size_t start = line.find("INFO       ") + 11;
    EXPECT_EQ(line.size() - start, 4095u);
    EXPECT_EQ(line.find_first_not_of('x', start), std::string::npos);
}

TEST_F(LogFile, CloseTwiceWritesFooterOnce) {
    open(true, allLevels, "twice.txt");
    log.log(LogInfo, "one");
    log.close();
    const std::string once = readFile(path);
    log.close();
    log.log(LogInfo, "after close");  // no file: nothing happens
    EXPECT_EQ(readFile(path), once);
    EXPECT_EQ(splitLines(once).size(), 1u + 1u + 7u);
}

TEST(Logger, CloseAndLogBeforeAnyFileAreHarmless) {
    Logger log;
    log.log(LogInfo, "no levels, no file");
    log.appendStandardLevels(allLevels);
    log.log(LogInfo, "no file");
    log.close();
    log.close();
    EXPECT_EQ(log.levels[LogInfo].count, 0u);
}

TEST(Logger, UnwritableFileLeavesLoggingSilent) {
    Logger log;
    log.appendStandardLevels(allLevels);
    EXPECT_FALSE(log.openFile("/nonexistent-directory/for/sure/logfile.html"));
    EXPECT_EQ(log.file, nullptr);
    log.log(LogInfo, "silently dropped");
    EXPECT_EQ(log.levels[LogInfo].count, 0u);
}

// Only a regular file takes the log: a FIFO or a directory under its name is
// refused at once, so start-up neither blocks in the open nor writes where it
// should not.
TEST(Logger, NameThatIsNotARegularFileIsRefusedWithoutWaiting) {
    struct Case { const char* name; int (*make)(const char*); };
    const Case cases[] = {
        {"fifo", [](const char* path) { return mkfifo(path, 0600); }},
        {"directory", [](const char* path) { return mkdir(path, 0700); }},
    };
    for (const Case& kind : cases) {
        SCOPED_TRACE(kind.name);
        const std::string path = tempPath(kind.name);
        ASSERT_EQ(kind.make(path.c_str()), 0);
        Logger log;
        log.appendStandardLevels(allLevels);
        auto opened = std::async(std::launch::async, [&] { return log.openFile(path); });
        if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Free the blocked open by opening the FIFO's other end.
            std::ifstream reader(path);
            opened.wait();
            ADD_FAILURE() << "the open waited on the FIFO";
        } else {
            EXPECT_FALSE(opened.get());
        }
        log.close();
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_FALSE(S_ISREG(info.st_mode));
        remove(path.c_str());
    }
}

// Several threads log at once: every line must come out whole and the
// counters must be exact.
TEST_F(LogFile, ConcurrentLoggingKeepsLinesWholeAndCountsExact) {
    open(true, allLevels, "concurrent.txt");
    constexpr int threadCount = 4;
    constexpr int linesPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; t++)
        threads.emplace_back([this, t] {
            const std::string payload(200, char('a' + t));
            for (int i = 0; i < linesPerThread; i++)
                log.log(t % 2 == 0 ? LogInfo : LogGui, "thread %d line %d %s", t, i,
                        payload.c_str());
        });
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(log.levels[LogInfo].count, uint64_t(linesPerThread * threadCount / 2));
    EXPECT_EQ(log.levels[LogGui].count, uint64_t(linesPerThread * threadCount / 2));

    const std::vector<std::string> lines = splitLines(closeAndRead());
    ASSERT_EQ(lines.size(), size_t(threadCount * linesPerThread) + 1 + 7);
    const std::regex linePattern(timestampPattern +
                                 " (INFO      |GUI       ) thread (\\d) line \\d+ ([a-d]{200})");
    std::vector<int> perThread(threadCount, 0);
    for (int i = 0; i < threadCount * linesPerThread; i++) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, linePattern)) << lines[i];
        const int t = std::stoi(match[2]);
        EXPECT_EQ(match[3].str(), std::string(200, char('a' + t)));
        perThread[t]++;
    }
    for (int count : perThread)
        EXPECT_EQ(count, linesPerThread);
    EXPECT_EQ(lines[threadCount * linesPerThread + 1 + LogInfo], "INFO = 1000");
    EXPECT_EQ(lines[threadCount * linesPerThread + 1 + LogGui], "GUI = 1000");
}

}  // namespace
