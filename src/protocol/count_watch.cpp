#include "protocol/count_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/thread.h"
#include "foundation/tokenizer.h"
#include "protocol/gui_io.h"
#include "search/engine.h"

namespace {

// The watcher only reads and sends short lines.
constexpr size_t watcherStackBytes = 1024 * 1024;

class CountWatcher : public Thread {
public:
    CountWatcher(Engine& owner, CountLineRule lineRule, int wakeDescriptor)
        : engine(owner), rule(lineRule), wake(wakeDescriptor) {}
    ~CountWatcher() override { join(); }

    // Read by the counting thread once the watcher has been joined.
    std::vector<std::string> waiting;  // lines for after the count
    std::string lineStart;             // a line begun but not ended
    bool inputEnded = false;
    CountEnd end = CountEnd::Finished;

    void run() override {
        // Standard input is read a byte at a time, as the protocol loop reads
        // it (without a buffer), so that nothing beyond the last line taken
        // leaves the pipe: the lines after a stop are the next reader's.
        std::string text;
        for (;;) {
            pollfd sources[2] = {{STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(sources, 2, -1) < 0) {
                if (errno == EINTR) continue;
                logger.log(LogError, "standard input cannot be watched during the count");
                break;
            }
            if (sources[1].revents != 0) break;  // the count has ended
            if (sources[0].revents == 0) continue;
            char c;
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                inputEnded = true;  // the count goes on; the end acts after it
                break;
            }
            if (c != '\n') {
                text += c;
                continue;
            }
            cleanInputLine(text);
            logger.log(LogGui, "<< %s", text.c_str());
            if (take(text)) {
                text.clear();
                break;
            }
            text.clear();
        }
        lineStart = text;
    }

private:
    Engine& engine;
    CountLineRule rule;
    int wake;

    // True when the line ends the watching.
    bool take(const std::string& text) {
        Tokenizer line(text.c_str(), ' ');
        if (!line.next()) return false;  // a blank line does nothing anyway
        switch (rule(line)) {
            case LineDuringCount::Waits:
                waiting.push_back(text);
                return false;
            case LineDuringCount::Answered:
                return false;
            case LineDuringCount::Stops:
                engine.perftRunner.stopRequested = true;
                end = CountEnd::Stopped;
                return true;
            case LineDuringCount::Quits:
                engine.perftRunner.stopRequested = true;
                end = CountEnd::Quit;
                for (const std::string& dropped : waiting)
                    logger.log(LogInfo, "not run, the program ends: %s", dropped.c_str());
                waiting.assign(1, text);
                return true;
        }
        return false;
    }
};

}  // namespace

CountEnd runWatchedCount(Engine& engine, CountLineRule rule, const std::function<void()>& count) {
    engine.perftRunner.stopRequested = false;
    int wake[2];
    if (pipe2(wake, O_CLOEXEC) != 0) {
        logger.log(LogError, "the count runs without reading commands: no pipe (%d)", errno);
        count();
        return CountEnd::Finished;
    }
    CountWatcher watcher(engine, rule, wake[0]);
    if (!watcher.start(watcherStackBytes)) {
        logger.log(LogError, "the count runs without reading commands: no thread");
        close(wake[0]);
        close(wake[1]);
        count();
        return CountEnd::Finished;
    }
    count();
    const char done = 1;
    while (::write(wake[1], &done, 1) < 0 && errno == EINTR) {
    }
    watcher.join();
    close(wake[0]);
    close(wake[1]);
    holdInput(watcher.waiting, watcher.lineStart, watcher.inputEnded);
    return watcher.end;
}
