#pragma once
// The listener in force before a protocol is chosen and during the command
// line tools: human-readable thinking lines, and the result of the last
// search kept for the tools to read back.

#include <cstdint>
#include <string>

#include "protocol/protocol.h"

class ConsoleListener : public ProtocolListener {
public:
    // Result of the last search.
    Move bestMove = NoMove;
    Move ponderMove = NoMove;
    int32_t depth = 0;
    int32_t selDepth = 0;
    uint64_t nodes = 0;
    double elapsedMicros = 0.0;

    void onSearchDone(StopState state, Move best, Move ponder, int searchDepth, int searchSelDepth,
                      uint64_t searchNodes, double micros) override;
    void onPv(int searchDepth, int score, const Move* pv, int pvLength, uint64_t searchNodes,
              double micros, int searchSelDepth, Bound bound) override;
    void onMultiPv(int line, int searchDepth, int score, const Move* pv, int pvLength,
                   double micros, uint64_t searchNodes, int searchSelDepth, Bound bound) override;
};

// The thinking lines, written to standard output and logged at level INFO.
void printConsolePv(ConsoleListener& listener, int depth, int score, const Move* pv, int pvLength,
                    uint64_t nodes, double micros, int selDepth, Bound bound);
void printConsoleMultiPv(ConsoleListener& listener, int line, int depth, int score, const Move* pv,
                         int pvLength, double micros, uint64_t nodes, int selDepth, Bound bound);

// The pieces of a thinking line.
std::string consoleScoreText(int score);        // "+0.35", "-1.50", "+M2", "-M1"
std::string consoleMoveText(const Move* pv, int pvLength);  // "Ng1-f3 e7-e5 "
int consoleSpeed(uint64_t nodes, double micros);  // thousands of nodes per second
std::string consolePvLine(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                          double micros, int selDepth, Bound bound);
std::string consoleFollowingLine(int score, const Move* pv, int pvLength, uint64_t nodes,
                                 double micros);
