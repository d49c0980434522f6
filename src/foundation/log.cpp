#include "foundation/log.h"

#include <cinttypes>
#include <cstdarg>
#include <ctime>
#include <sys/time.h>

#include "foundation/output_file.h"

Logger logger;

namespace {

constexpr size_t messageBufferSize = 4096;
constexpr size_t timestampBufferSize = 32;

struct StandardLevel {
    const char* name;
    const char* cssClass;
};

constexpr StandardLevel standardLevels[LogLevelCount] = {
    {"INFO", "info"},       {"DEBUG", "debug"}, {"TRACE", "trace"}, {"WARNING", "warning"},
    {"ERROR", "error"},     {"CRITICAL", "critical"}, {"GUI", "gui"},
};

void formatTimestamp(char* buffer) {
    timeval now;
    gettimeofday(&now, nullptr);
    time_t seconds = now.tv_sec;
    tm local;
    // The reentrant form: lines may be logged from several threads.
    localtime_r(&seconds, &local);
    // The remainders only tell the compiler the fields' ranges, so that it can
    // see the text always fits the buffer.
    snprintf(buffer, timestampBufferSize, "%04u/%02u/%02u %02u:%02u:%02u.%03ld",
             unsigned(local.tm_year + 1900) % 10000u, unsigned(local.tm_mon + 1) % 100u,
             unsigned(local.tm_mday) % 100u, unsigned(local.tm_hour) % 100u,
             unsigned(local.tm_min) % 100u, unsigned(local.tm_sec) % 100u,
             long(now.tv_usec / 1000) % 1000);
}

}  // namespace

LogLevelEntry::LogLevelEntry(const char* levelName, const char* levelCssClass)
    : enabled(true), count(0), name(levelName), cssClass(levelCssClass) {}

Logger::~Logger() {
    close();
}

void Logger::log(int level, const char* format, ...) {
    std::lock_guard<std::mutex> guard(lock);
    if (!enabled || file == nullptr || level < 0 || size_t(level) >= levels.size())
        return;
    LogLevelEntry& entry = levels[level];
    if (!entry.enabled)
        return;

    char message[messageBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);

    entry.count++;
    char timestamp[timestampBufferSize];
    formatTimestamp(timestamp);

    if (textFormat)
        fprintf(file, "%s %-10s %s\n", timestamp, entry.name.c_str(), message);
    else
        fprintf(file, "<tr class=\"%s\"><th>%s</th><td>%s</td><td>%s</td></tr>\n",
                entry.cssClass.c_str(), timestamp, entry.name.c_str(), message);
    // Flushed at once, so the file is complete even if the program dies.
    fflush(file);
}

void Logger::close() {
    std::lock_guard<std::mutex> guard(lock);
    if (file == nullptr)
        return;
    if (enabled) {
        if (textFormat) {
            fputs("\n", file);
            for (const LogLevelEntry& entry : levels)
                fprintf(file, "%s = %" PRIu64 "\n", entry.name.c_str(), entry.count);
        } else {
            fputs("</table>\n", file);
            fputs("<table id=\"logcount\">\n", file);
            for (const LogLevelEntry& entry : levels)
                fprintf(file,
                        "<tr><th><a href=\"#\" onclick=\"return showLevel('tablelog', '%s')\">%s</a>"
                        "</th><td>%" PRIu64 "</td></tr>\n",
                        entry.cssClass.c_str(), entry.name.c_str(), entry.count);
            fputs("</table>\n", file);
            fputs("</body>\n", file);
            fputs("</html>\n", file);
        }
    }
    fflush(file);
    fclose(file);
    file = nullptr;
}

void Logger::appendStandardLevels(unsigned levelMask) {
    for (int level = 0; level < LogLevelCount; level++) {
        levels.emplace_back(standardLevels[level].name, standardLevels[level].cssClass);
        levels.back().enabled = (levelMask >> level) & 1u;
    }
}

bool Logger::openFile(const std::string& name) {
    fileName = name;
    // A FIFO or a device under the log's name would hold the program in its
    // open or take its lines: the log is written only to a regular file.
    OutputFile target;
    std::string refusal;
    if (!findOutputFile(name, target, refusal))
        return false;
    file = fopen(name.c_str(), "w");
    if (file == nullptr)
        return false;
    if (!textFormat)
        writeHtmlHeader();
    return true;
}

void Logger::writeHtmlHeader() {
    if (file == nullptr)
        return;
    fputs("<!DOCTYPE HTML>\n", file);
    fputs("<html>\n", file);
    fputs("<head>\n", file);
    fprintf(file, "<title>%s</title>\n", fileName.c_str());
    fprintf(file, "<link href=\"%s\" media=\"screen\" rel=\"stylesheet\" type=\"text/css\" />\n",
            cssPath.c_str());
    fprintf(file, "<script type=\"text/javascript\" src=\"%s\"></script>\n", jsPath.c_str());
    fputs("</head>\n", file);
    fputs("<body>\n", file);
    fputs("<table id=\"tablelog\">\n", file);
    fflush(file);
}
