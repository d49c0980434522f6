#pragma once
// The engine's levelled diagnostic log: one global Logger writing a plain text
// file or an HTML page, counting the lines of every level.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// Level numbers, as start-up appends them; bit n of the LogLevel setting
// switches level n on.
constexpr int LogInfo = 0;
constexpr int LogDebug = 1;
constexpr int LogTrace = 2;
constexpr int LogWarning = 3;
constexpr int LogError = 4;
constexpr int LogCritical = 5;
constexpr int LogGui = 6;
constexpr int LogLevelCount = 7;

struct LogLevelEntry {
    bool enabled;
    uint64_t count;       // lines written at this level
    std::string name;     // as shown in the file
    std::string cssClass; // class of the level's HTML rows

    LogLevelEntry(const char* levelName, const char* levelCssClass);
};

class Logger {
public:
    std::vector<LogLevelEntry> levels;  // indexed by level number
    std::string fileName;               // also the title of the HTML page
    std::string cssPath = "html/style.css";
    std::string jsPath = "html/logchess.js";
    FILE* file = nullptr;
    bool textFormat = false;  // true: text layout, false: HTML layout
    bool enabled = true;      // false switches all logging off
    bool withPid = false;     // put the process id into the file name

    static constexpr const char* textSuffix = ".txt";
    static constexpr const char* htmlSuffix = ".html";

    Logger() = default;
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Writes one line when logging is on, a file is open and the level exists
    // and is enabled; does nothing otherwise. Safe to call from any thread.
    void log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Writes the footer (when enabled), then closes the file. Calling it again,
    // or before a file was opened, does nothing.
    void close();

    // Start-up helpers. appendStandardLevels adds the seven levels INFO ..
    // GUI, level n enabled when bit n of levelMask is set. openFile opens
    // `name` for writing, remembers it as fileName and, for the HTML layout,
    // writes the page header; false when the file cannot be created (logging
    // then stays silent).
    void appendStandardLevels(unsigned levelMask);
    bool openFile(const std::string& name);
    void writeHtmlHeader();

private:
    // Held for a whole log or close call, so that lines from several threads
    // never interleave and the counters stay exact.
    std::mutex lock;
};

extern Logger logger;
