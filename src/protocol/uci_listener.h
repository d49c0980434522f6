#pragma once
// Turns the search's reports into UCI lines: "info" during the search,
// "bestmove" at its end when one is owed, "info string" for messages.

#include <cstdint>
#include <string>

#include "protocol/protocol.h"

class UciProtocol;

class UciListener : public ProtocolListener {
public:
    void onSearchDone(StopState state, Move best, Move ponder, int depth, int selDepth,
                      uint64_t nodes, double elapsedMicros) override;
    void onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
              double elapsedMicros, int selDepth, Bound bound) override;
    void onMultiPv(int line, int depth, int score, const Move* pv, int pvLength,
                   double elapsedMicros, uint64_t nodes, int selDepth, Bound bound) override;
    void onHashFull(int permill) override;
    void onDepth(int depth) override;
    void pollInput() override;
    void onCurrentMove(Move move, int number) override;
    void onDepthZeroScore(int score) override;
    void onMessage(const char* text) override;

private:
    UciProtocol& uci() const;
};

// "cp 35", "mate 2", "mate -1", followed by the bound's suffix ("" exact,
// " upperbound" failed low, " lowerbound" failed high).
std::string uciScoreText(int score, Bound bound);
// Milliseconds and nodes per second of an info line (0 microseconds counts
// as 16 milliseconds).
int uciTimeMillis(double micros);
int uciNodesPerSecond(uint64_t nodes, double micros);
// The text after "info " of a principal-variation line; line 0 leaves out
// the "multipv" field.
std::string uciPvInfo(int line, int depth, int selDepth, int score, Bound bound, double micros,
                      uint64_t nodes, const std::string& moves);
