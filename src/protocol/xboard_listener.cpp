#include "protocol/xboard_listener.h"

#include <cinttypes>
#include <climits>
#include <cstdio>

#include "board/notation.h"
#include "protocol/gui_io.h"
#include "protocol/xboard_protocol.h"
#include "search/engine.h"

std::string xboardThinkingLine(int depth, int score, double elapsedMicros, uint64_t nodes,
                               const std::string& moves) {
    // Centiseconds, truncated; a time that does not fit an int (or is not a
    // number at all) is kept in range rather than wrapped.
    const double centis = elapsedMicros * 0.0001;
    int time = 0;
    if (centis >= double(INT_MAX)) time = INT_MAX;
    else if (centis > 0) time = int(centis);
    char head[96];
    std::snprintf(head, sizeof head, "%d %d %d %" PRIu64 " ", depth, score, time, nodes);
    return head + moves;
}

XBoardProtocol& XBoardListener::xboard() const { return *static_cast<XBoardProtocol*>(protocol); }

void XBoardListener::sendThinking(int depth, int score, const Move* pv, int pvLength,
                                  uint64_t nodes, double elapsedMicros) {
    if (!xboard().postThinking.load()) return;
    if (pvLength < 0) pvLength = 0;
    if (pvLength > MaxPly) pvLength = MaxPly;
    char moves[6 * MaxPly + 1];
    formatMoveList(engine->position, pv, pvLength, moves);
    const std::string line = xboardThinkingLine(depth, score, elapsedMicros, nodes, moves);
    sendLine(line.c_str());
}

void XBoardListener::onSearchDone(StopState state, Move best, Move ponder, int depth,
                                  int selDepth, uint64_t nodes, double elapsedMicros) {
    (void)depth, (void)selDepth, (void)nodes;
    xboard().searchEnded(state, best, ponder, elapsedMicros);
}

void XBoardListener::onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                          double elapsedMicros, int selDepth, Bound bound) {
    (void)selDepth, (void)bound;
    sendThinking(depth, score, pv, pvLength, nodes, elapsedMicros);
}

void XBoardListener::onMultiPv(int line, int depth, int score, const Move* pv, int pvLength,
                               double elapsedMicros, uint64_t nodes, int selDepth, Bound bound) {
    (void)line, (void)selDepth, (void)bound;
    sendThinking(depth, score, pv, pvLength, nodes, elapsedMicros);
}

void XBoardListener::pollInput() { readInputDuringSearch(*engine); }

void XBoardListener::onMessage(const char* text) { sendToGui(*engine, "%s", text); }
