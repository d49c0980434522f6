#include "protocol/gui_io.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/log.h"
#include "foundation/tokenizer.h"
#include "protocol/protocol.h"
#include "search/engine.h"

namespace {

std::atomic<bool> inputEnded{false};

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

bool inputHasEnded() { return inputEnded.load(); }

int readAndDispatchInput(Engine& engine) {
    if (inputEnded.load()) return 0;
    // getline grows the buffer to the whole line: a long "position ... moves"
    // line must reach the interpreter in one piece.
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&buffer, &capacity, stdin);
    if (length < 0) {
        std::free(buffer);
        inputEnded = true;
        return 0;
    }
    size_t end = std::strcspn(buffer, "\n");
    buffer[end] = '\0';
    // Lines from a GUI that writes CR LF carry a carriage return that would
    // otherwise stick to the last word.
    while (end > 0 && buffer[end - 1] == '\r') buffer[--end] = '\0';

    logger.log(LogGui, "<< %s", buffer);
    if (end > 0 && engine.protocol != nullptr) {
        Tokenizer line(buffer, ' ');
        if (engine.protocol->handleLine(line) == 0) engine.requestQuit();
        // Whatever the command changed, a search waiting for one looks again.
        engine.wakeSearch();
    }
    std::free(buffer);
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
