#pragma once
// Everything a search has to tell goes through a SearchListener; the search
// itself never writes output. The base class is a complete listener that does
// nothing, which the engine uses until a protocol installs its own.

#include <cstdint>

#include "board/types.h"
#include "search/limits.h"
#include "search/tt.h"

class Engine;

class SearchListener {
public:
    Engine* engine = nullptr;  // the engine reported for; null in the engine's own listener
    bool muted = false;        // console output off (read only by the console listener)

    SearchListener() = default;
    explicit SearchListener(Engine* owner) : engine(owner) {}
    virtual ~SearchListener() {}

    // End of a search, exactly once per search.
    virtual void onSearchDone(StopState state, Move best, Move ponder, int depth, int selDepth,
                              uint64_t nodes, double elapsedMicros) {
        (void)state, (void)best, (void)ponder, (void)depth, (void)selDepth, (void)nodes,
            (void)elapsedMicros;
    }
    // One principal variation (single-line search).
    virtual void onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes,
                      double elapsedMicros, int selDepth, Bound bound) {
        (void)depth, (void)score, (void)pv, (void)pvLength, (void)nodes, (void)elapsedMicros,
            (void)selDepth, (void)bound;
    }
    // One line of a multi-line search, numbered from 1.
    virtual void onMultiPv(int line, int depth, int score, const Move* pv, int pvLength,
                           double elapsedMicros, uint64_t nodes, int selDepth, Bound bound) {
        (void)line, (void)depth, (void)score, (void)pv, (void)pvLength, (void)elapsedMicros,
            (void)nodes, (void)selDepth, (void)bound;
    }
    virtual void onHashFull(int permill) { (void)permill; }
    virtual void onDepth(int depth) { (void)depth; }
    // Reads and dispatches one pending input line (no input thread in use).
    virtual void pollInput() {}
    virtual void onCurrentMove(Move move, int number) { (void)move, (void)number; }
    virtual void onDepthZeroScore(int score) { (void)score; }
    virtual void onMessage(const char* text) { (void)text; }
};
