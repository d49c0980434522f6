#include "protocol/uci_listener.h"

#include <cinttypes>
#include <cstdio>

#include "board/notation.h"
#include "protocol/gui_io.h"
#include "protocol/uci_protocol.h"
#include "search/engine.h"

namespace {

std::string pvText(const Engine& engine, const Move* pv, int pvLength) {
    if (pvLength > MaxPly) pvLength = MaxPly;
    char text[6 * MaxPly + 1];
    formatMoveList(engine.position, pv, pvLength < 0 ? 0 : pvLength, text);
    return text;
}

int clampToInt(double value) {
    if (!(value >= 0.0)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    return int(value);
}

}  // namespace

std::string uciScoreText(int score, Bound bound) {
    char text[48];
    if (score > 31743)
        std::snprintf(text, sizeof text, "mate %d", (32000 - score) / 2 + 1);
    else if (score < -31743)
        std::snprintf(text, sizeof text, "mate %d", -((score + 32000) / 2));
    else
        std::snprintf(text, sizeof text, "cp %d", score);
    std::string result = text;
    if (bound == Upper) result += " upperbound";
    else if (bound == Lower) result += " lowerbound";
    return result;
}

int uciTimeMillis(double micros) { return micros == 0.0 ? 16 : clampToInt(micros * 0.001); }

int uciNodesPerSecond(uint64_t nodes, double micros) {
    return clampToInt(double(nodes * 1000000ULL) / (micros == 0.0 ? 16000.0 : micros));
}

std::string uciPvInfo(int line, int depth, int selDepth, int score, Bound bound, double micros,
                      uint64_t nodes, const std::string& moves) {
    char head[256];
    const std::string scoreText = uciScoreText(score, bound);
    int used = 0;
    if (line > 0) used = std::snprintf(head, sizeof head, "multipv %d ", line);
    std::snprintf(head + used, sizeof head - size_t(used),
                  "depth %d seldepth %d score %s time %d nodes %" PRIu64 " nps %d pv ", depth,
                  selDepth, scoreText.c_str(), uciTimeMillis(micros), nodes,
                  uciNodesPerSecond(nodes, micros));
    return head + moves;
}

UciProtocol& UciListener::uci() const { return *static_cast<UciProtocol*>(protocol); }

void UciListener::onSearchDone(StopState state, Move best, Move ponder, int depth, int selDepth,
                               uint64_t nodes, double elapsedMicros) {
    (void)depth, (void)selDepth, (void)nodes, (void)elapsedMicros;
    uci().searchEnded(state, best, ponder);
}

void UciListener::onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                       double elapsedMicros, int selDepth, Bound bound) {
    const std::string info = uciPvInfo(0, depth, selDepth, score, bound, elapsedMicros, nodes,
                                       pvText(*engine, pv, pvLength));
    sendToGui(*engine, "info %s", info.c_str());
}

void UciListener::onMultiPv(int line, int depth, int score, const Move* pv, int pvLength,
                            double elapsedMicros, uint64_t nodes, int selDepth, Bound bound) {
    const std::string info = uciPvInfo(line, depth, selDepth, score, bound, elapsedMicros, nodes,
                                       pvText(*engine, pv, pvLength));
    sendToGui(*engine, "info %s", info.c_str());
}

void UciListener::onHashFull(int permill) { sendToGui(*engine, "info hashfull %d", permill); }

void UciListener::onDepth(int depth) { sendToGui(*engine, "info depth %d", depth); }

void UciListener::pollInput() { readInputDuringSearch(*engine); }

void UciListener::onCurrentMove(Move move, int number) {
    char text[8];
    formatMove(engine->position, move, text);
    sendToGui(*engine, "info currmove %s currmovenumber %d", text, number);
}

void UciListener::onDepthZeroScore(int score) {
    sendToGui(*engine, "info depth 0 score %d", score);
}

void UciListener::onMessage(const char* text) { sendToGui(*engine, "info string %s", text); }
