#pragma once
// Runs one protocol session in-process: a fresh engine with a small hash, no
// input thread and standard input at its end, the protocol detector in
// front, and the input's lines handed over one by one as the line reader
// would hand them. Searches are held to a tiny limit, and commands whose
// cost grows with a number (perft depths, hash size, threads) are capped.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "foundation/tokenizer.h"
#include "fuzz_support.h"
#include "protocol/gui_io.h"
#include "protocol/protocol.h"
#include "search/engine.h"

namespace fuzz {

inline bool firstWordStartsWith(const std::string& line, const char* word) {
    const size_t start = line.find_first_not_of(' ');
    return start != std::string::npos && line.compare(start, std::strlen(word), word) == 0;
}

inline bool containsWord(const std::string& line, const char* word) {
    return line.find(word) != std::string::npos;
}

// Every token that starts with a number (as the interpreters read numbers:
// a sign, then digits) has that number held to at most `limit` in size; the
// rest of the token stays.
inline std::string capNumbers(const std::string& line, long limit) {
    std::string out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            out += line[i++];
            continue;
        }
        size_t end = line.find(' ', i);
        if (end == std::string::npos) end = line.size();
        const std::string token = line.substr(i, end - i);
        size_t digits = token[0] == '-' || token[0] == '+' ? 1 : 0;
        const size_t first = digits;
        while (digits < token.size() && token[digits] >= '0' && token[digits] <= '9') ++digits;
        if (digits > first &&
            (digits - first > 9 || std::labs(std::strtol(token.c_str(), nullptr, 10)) > limit))
            out += (token[0] == '-' ? "-" : "") + std::to_string(limit) + token.substr(digits);
        else
            out += token;
        i = end;
    }
    return out;
}

// Numbers that make a command's cost grow, capped.
inline std::string capCosts(const std::string& line) {
    if (firstWordStartsWith(line, "perft") || firstWordStartsWith(line, "divide"))
        return capNumbers(line, 2);
    if (containsWord(line, "hread") || containsWord(line, "cores")) return capNumbers(line, 2);
    if (containsWord(line, "ash") || containsWord(line, "emory")) return capNumbers(line, 4);
    return line;
}

// UCI: the numbers of a "go" are held small (milliseconds, nodes, depth),
// and a depth limit ends the line (the last limit read wins).
inline std::vector<std::string> tameUciLine(const std::string& line) {
    if (firstWordStartsWith(line, "go")) return {capNumbers(line, 3) + " depth 2"};
    return {capCosts(line)};
}

// XBoard: the engine searches after the opponent's moves under the time
// control in force, so every command that may set one is followed by a
// depth limit ("sd" sets the limit mode last).
inline std::vector<std::string> tameXBoardLine(const std::string& line) {
    static const char* const timeCommands[] = {"xboard", "new", "st", "sd", "level", "time", "otim"};
    for (const char* word : timeCommands)
        if (firstWordStartsWith(line, word)) return {capNumbers(capCosts(line), 3), "sd 2"};
    return {capCosts(line)};
}

inline void runSession(const char* firstLine, const uint8_t* data, size_t size,
                       std::vector<std::string> (*tame)(const std::string&)) {
    static const bool stdinAtEnd = [] {
        // A search's own input poll then meets the end of input, which stops
        // the searches only a command could end.
        return std::freopen("/dev/null", "r", stdin) != nullptr;
    }();
    (void)stdinAtEnd;
    initOnce();

    Engine engine;
    engine.settings.hashMb = 1;
    engine.settings.useInputThread = 0;
    engine.settings.maxThreads = 1;
    engine.inputThreadInUse = false;
    installProtocolDetector(engine);

    std::vector<std::string> lines;
    std::string current = firstLine != nullptr ? std::string(firstLine) + "\n" : std::string();
    std::string input = current + std::string(reinterpret_cast<const char*>(data), size);
    current.clear();
    for (const char c : input) {
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);

    bool ended = false;
    for (std::string line : lines) {
        // As the line reader does: a NUL ends the text, trailing carriage
        // returns go.
        line = std::string(line.c_str());
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        for (const std::string& tamed : tame(line)) {
            // A search that no limit of the line reached falls back on the
            // clocks and the move time: keep those short too.
            engine.clock[White] = engine.clock[Black] = 30.0f;
            engine.moveTime = 30000;
            std::vector<char> text(tamed.begin(), tamed.end());
            text.push_back('\0');
            Tokenizer tokens(text.data(), ' ');
            if (engine.protocol == nullptr || engine.protocol->handleLine(tokens) == 0 ||
                engine.quitRequested.load()) {
                ended = true;
                break;
            }
        }
        if (ended) break;
    }

    // The orderly end of a session that met the end of its input.
    if (!engine.quitRequested.load()) handleEndOfInput(engine);
    orderlyStop(engine);
    engine.listener = &engine.nullListener;
    delete engine.protocol;
    engine.protocol = nullptr;
}

}  // namespace fuzz
