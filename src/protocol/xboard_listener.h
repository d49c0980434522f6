#pragma once
// Turns the search's reports into XBoard lines: thinking lines while posting
// is on, and at the end of a search the engine's "move" with what follows it
// (the move countdown of the time control, the hint and the ponder search).

#include <cstdint>
#include <string>

#include "protocol/protocol.h"

class XBoardProtocol;

class XBoardListener : public ProtocolListener {
public:
    void onSearchDone(StopState state, Move best, Move ponder, int depth, int selDepth,
                      uint64_t nodes, double elapsedMicros) override;
    void onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
              double elapsedMicros, int selDepth, Bound bound) override;
    void onMultiPv(int line, int depth, int score, const Move* pv, int pvLength,
                   double elapsedMicros, uint64_t nodes, int selDepth, Bound bound) override;
    void pollInput() override;
    void onMessage(const char* text) override;

private:
    XBoardProtocol& xboard() const;
    void sendThinking(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                      double elapsedMicros);
};

// A thinking line: depth, score in centipawns, time in centiseconds, nodes and
// the moves of the principal variation.
std::string xboardThinkingLine(int depth, int score, double elapsedMicros, uint64_t nodes,
                               const std::string& moves);
