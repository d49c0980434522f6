#include "protocol/console_listener.h"

#include <cinttypes>
#include <cstdio>

#include "board/notation.h"
#include "foundation/log.h"
#include "foundation/timer.h"

void ConsoleListener::onSearchDone(StopState state, Move best, Move ponder, int searchDepth,
                                   int searchSelDepth, uint64_t searchNodes, double micros) {
    (void)state;
    bestMove = best;
    ponderMove = ponder;
    depth = searchDepth;
    selDepth = searchSelDepth;
    nodes = searchNodes;
    elapsedMicros = micros;
}

void ConsoleListener::onPv(int searchDepth, int score, const Move* pv, int pvLength,
                           uint64_t searchNodes, double micros, int searchSelDepth, Bound bound) {
    if (!muted)
        printConsolePv(*this, searchDepth, score, pv, pvLength, searchNodes, micros,
                       searchSelDepth, bound);
}

void ConsoleListener::onMultiPv(int line, int searchDepth, int score, const Move* pv,
                                int pvLength, double micros, uint64_t searchNodes,
                                int searchSelDepth, Bound bound) {
    if (!muted)
        printConsoleMultiPv(*this, line, searchDepth, score, pv, pvLength, micros, searchNodes,
                            searchSelDepth, bound);
}

std::string consoleScoreText(int score) {
    char text[32];
    if (score > 31743)
        std::snprintf(text, sizeof text, "+M%d", (32000 - score) / 2 + 1);
    else if (score < -31743)
        std::snprintf(text, sizeof text, "-M%d", (score + 32000) / 2);
    else if (score >= 0)
        std::snprintf(text, sizeof text, "+%.2f", double(float(score) * 0.01f));
    else
        std::snprintf(text, sizeof text, "%.2f", double(float(score) * 0.01f));
    return text;
}

std::string consoleMoveText(const Move* pv, int pvLength) {
    std::string text;
    char move[16];
    for (int i = 0; i < pvLength; i++) {
        formatMoveLong(pv[i], move);
        text += move;
        text += ' ';
    }
    return text;
}

int consoleSpeed(uint64_t nodes, double micros) {
    const double speed = double(nodes) * 1000.0 / (micros == 0.0 ? 16000.0 : micros);
    // The conversion of an out-of-range value would be undefined.
    if (!(speed >= 0.0)) return 0;
    if (speed >= 2147483647.0) return 2147483647;
    return int(float(speed));
}

std::string consolePvLine(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                          double micros, int selDepth, Bound bound) {
    static const char boundCharacters[] = " -+";
    char time[durationTextSize];
    formatDuration(time, micros);
    const std::string scoreText = consoleScoreText(score);
    const std::string moves = consoleMoveText(pv, pvLength);
    const char boundCharacter = bound >= Exact && bound <= Lower ? boundCharacters[bound] : ' ';
    char head[160];
    std::snprintf(head, sizeof head, "%2d/%-2u%c %s %" PRIu64 " %6d %7s ", depth,
                  unsigned(selDepth), boundCharacter, time, nodes, consoleSpeed(nodes, micros),
                  scoreText.c_str());
    return head + moves;
}

std::string consoleFollowingLine(int score, const Move* pv, int pvLength, uint64_t nodes,
                                 double micros) {
    char time[durationTextSize];
    formatDuration(time, micros);
    const std::string scoreText = consoleScoreText(score);
    char head[160];
    std::snprintf(head, sizeof head, "       %s %" PRIu64 " %6d %7s ", time, nodes,
                  consoleSpeed(nodes, micros), scoreText.c_str());
    return head + consoleMoveText(pv, pvLength);
}

namespace {

void printThinkingLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    logger.log(LogInfo, "%s", line.c_str());
}

}  // namespace

void printConsolePv(ConsoleListener& listener, int depth, int score, const Move* pv, int pvLength,
                    uint64_t nodes, double micros, int selDepth, Bound bound) {
    (void)listener;
    printThinkingLine(consolePvLine(depth, score, pv, pvLength, nodes, micros, selDepth, bound));
}

void printConsoleMultiPv(ConsoleListener& listener, int line, int depth, int score, const Move* pv,
                         int pvLength, double micros, uint64_t nodes, int selDepth, Bound bound) {
    (void)listener;
    if (line == 1)
        printThinkingLine(consolePvLine(depth, score, pv, pvLength, nodes, micros, selDepth, bound));
    else
        printThinkingLine(consoleFollowingLine(score, pv, pvLength, nodes, micros));
}
