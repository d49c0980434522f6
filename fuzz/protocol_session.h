#pragma once
// Runs one protocol session in-process: a fresh engine with a small hash, no
// input thread and standard input at its end, the protocol detector in
// front, and the input's lines handed over one by one as the line reader
// would hand them. Only what makes a session costly is held small: every
// search ends after a few nodes whatever limits the input sets, a perft
// count (which costs like a search) stays shallow, and the threads that
// search and the size of their table stay small. Every other number reaches
// the front ends as written. A fresh engine per input costs little: its
// tables and thread records reuse the storage that the previous session gave
// back (foundation/kept_blocks.h).

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "board/perft.h"
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

// Perft and divide count a tree whose size grows with the depth as a
// search's does: depths beyond this are held to it.
constexpr long PerftCostDepth = 2;

// Perft depths beyond what the counter can hold reach the front ends
// unchanged, so that their refusal is exercised.
constexpr long PerftDepthsPassedFrom = MaxPerftDepth + 1;

// Every token that starts with a number (as the interpreters read numbers:
// a sign, then digits) has that number held to at most `limit` in size; the
// rest of the token stays. A number that the interpreters read as
// `passedFrom` or more (in 64 bits, then held within an int) stays as it is.
inline std::string capNumbers(const std::string& line, long limit, long passedFrom = LONG_MAX) {
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
        const long value = std::strtol(token.c_str(), nullptr, 10);
        const bool passes = (value < INT_MAX ? value : long(INT_MAX)) >= passedFrom;
        if (digits > first && !passes && (digits - first > 9 || std::labs(value) > limit))
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
        return capNumbers(line, PerftCostDepth, PerftDepthsPassedFrom);
    if (containsWord(line, "hread") || containsWord(line, "cores")) return capNumbers(line, 2);
    if (containsWord(line, "ash") || containsWord(line, "emory")) return capNumbers(line, 4);
    return line;
}

// Every search ends after this many nodes. Pondering and analysis ignore
// limits; they end where the poll finds the input at its end, which it looks
// for every PollInterval nodes.
constexpr int SearchNodes = 32;
constexpr uint32_t PollInterval = 32;

// UCI: a "go" sets its own limits, so a node limit ends the line (the last
// limit read wins; the "0" goes to a last word that waits for a number).
inline std::vector<std::string> tameUciLine(const std::string& line) {
    if (firstWordStartsWith(line, "go"))
        return {line + " 0 nodes " + std::to_string(SearchNodes)};
    return {capCosts(line)};
}

// XBoard: the engine searches after the opponent's moves under the limits
// in force, which runSession holds to the node limit before every line. The
// interpreter also keeps the game's limits apart while it analyses, and
// limits that come during a search wait for the next one; both come back in
// the line that starts a search. So every command that may set a limit is
// followed by a move time of 0 ("st" sets the limit mode last): a search
// under those limits ends at its first look at the clock.
inline std::vector<std::string> tameXBoardLine(const std::string& line) {
    static const char* const timeCommands[] = {"xboard", "new", "st", "sd", "level", "time", "otim"};
    for (const char* word : timeCommands)
        if (firstWordStartsWith(line, word)) return {capCosts(line), "st 0"};
    return {capCosts(line)};
}

// Before every line: a search that a later line starts (XBoard searches
// after the opponent's moves under the limits in force) ends after
// SearchNodes nodes, unless it is an analysis. A search under limits that a
// line brings back (XBoard's, above) reads the clocks or the move time:
// short ones, which the poll reads often.
inline void holdSearchLimits(Engine& engine) {
    if (!engine.limitedBy(Infinite)) {
        engine.setLimits(Nodes);
        engine.nodeLimit = SearchNodes;
    }
    engine.clock[White] = engine.clock[Black] = 2.0f;
    engine.moveTime = 2000;
    engine.pollInterval = PollInterval;
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
            holdSearchLimits(engine);
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
