#include "protocol/gui_io.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "foundation/log.h"
#include "foundation/tokenizer.h"
#include "protocol/protocol.h"
#include "search/engine.h"

namespace {

std::atomic<bool> inputEnded{false};

// Input that another reader took while the reading thread was busy with a
// count (protocol/count_watch.h): whole lines, already logged, then the start
// of a line whose end had not come yet. Only the reading thread touches
// them; the other reader hands them over when it has finished.
std::deque<std::string> heldLines;
std::string heldStart;

// Writes the line and its newline with one call, so that a line sent by the
// main thread and one sent by the input thread at the same moment never mix.
void writeLine(const char* text, size_t length) {
    std::string line;
    line.reserve(length + 1);
    line.append(text, length);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    logger.log(LogGui, ">> %s", text);
}

// A search that only a command could end (an infinite or ponder search)
// would run for ever once no command can come: stop it so that it answers.
void stopEndlessSearch(Engine& engine) {
    if ((engine.limitedBy(Infinite) || engine.ponderSearch.load()) &&
        engine.stopState.load() == Running) {
        engine.stopState = Stopped;
        engine.wakeSearch();
    }
}

}  // namespace

void cleanInputLine(std::string& text) {
    text.resize(std::strcspn(text.c_str(), "\n"));
    // Lines from a GUI that writes CR LF carry a carriage return that would
    // otherwise stick to the last word.
    while (!text.empty() && text.back() == '\r') text.pop_back();
}

namespace {

// The next line: a held one first (logged when it was read), then one of
// standard input. False at the end of input.
bool nextInputLine(std::string& text) {
    if (!heldLines.empty()) {
        text = std::move(heldLines.front());
        heldLines.pop_front();
        return true;
    }
    if (inputEnded.load()) {
        // A last line without its newline, cut off by the end of input.
        if (heldStart.empty()) return false;
        text.swap(heldStart);
        heldStart.clear();
    } else {
        // getline grows the buffer to the whole line: a long "position ...
        // moves" line must reach the interpreter in one piece.
        char* buffer = nullptr;
        size_t capacity = 0;
        const ssize_t length = getline(&buffer, &capacity, stdin);
        if (length < 0) inputEnded = true;
        if (length < 0 && heldStart.empty()) {
            std::free(buffer);
            return false;
        }
        text.swap(heldStart);
        heldStart.clear();
        if (length > 0) text.append(buffer, size_t(length));
        std::free(buffer);
    }
    cleanInputLine(text);
    logger.log(LogGui, "<< %s", text.c_str());
    return true;
}

}  // namespace

bool inputHasEnded() { return inputEnded.load() && heldLines.empty() && heldStart.empty(); }

void holdInput(std::vector<std::string>& lines, const std::string& lineStart, bool ended) {
    for (std::string& line : lines) heldLines.push_back(std::move(line));
    lines.clear();
    heldStart += lineStart;
    if (ended) inputEnded = true;
}

int readAndDispatchInput(Engine& engine) {
    std::string text;
    if (!nextInputLine(text)) return 0;
    if (!text.empty() && engine.protocol != nullptr) {
        Tokenizer line(&text[0], ' ');
        if (engine.protocol->handleLine(line) == 0) engine.requestQuit();
        // Whatever the command changed, a search waiting for one looks again.
        engine.wakeSearch();
    }
    return 1;
}

void readInputDuringSearch(Engine& engine) {
    if (inputHasEnded() || readAndDispatchInput(engine) == 0) stopEndlessSearch(engine);
}

void handleEndOfInput(Engine& engine) {
    while (engine.searchActive()) {
        stopEndlessSearch(engine);
        usleep(1000);
    }
    char quit[] = "quit";
    Tokenizer line(quit, ' ');
    if (engine.protocol == nullptr || engine.protocol->handleLine(line) == 0) engine.requestQuit();
    // Whatever the protocol makes of it, there is nothing more to read.
    engine.requestQuit();
}

void sendToGui(Engine& engine, const char* format, ...) {
    (void)engine;
    char buffer[4096];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) return;
    if (size_t(length) < sizeof buffer) {
        writeLine(buffer, size_t(length));
        return;
    }
    std::string longLine(size_t(length) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&longLine[0], longLine.size(), format, args);
    va_end(args);
    writeLine(longLine.c_str(), size_t(length));
}

void sendLine(const char* text) { writeLine(text, std::strlen(text)); }

std::string illegalMoveText(const char* text) {
    size_t length = strnlen(text, 5);
    if (length == 5 && text[4] == ' ') length = 4;
    return "Illegal move: " + std::string(text, length);
}

int reportIllegalMove(Engine& engine, const char* text) {
    const std::string message = illegalMoveText(text);
    engine.listener->onMessage(message.c_str());
    logger.log(LogError, "%s", message.c_str());
    return 0;
}
