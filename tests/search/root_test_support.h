#pragma once
// Shared support for the root driver and parallel search tests: a listener
// that records every report, and an initialised engine with a chosen number
// of threads that reports to it.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/position.h"
#include "search/engine.h"

namespace root_test {

struct DoneCall {
    StopState state;
    Move best;
    Move ponder;
    int depth;
    int selDepth;
    uint64_t nodes;
    bool searchingDuringCall;
};

struct LineCall {
    int line;  // 0 for onPv
    int depth;
    int score;
    std::vector<Move> pv;
    uint64_t nodes;
    Bound bound;
};

// Records every call; onCurrentMove may come from helping threads.
class Recorder : public SearchListener {
public:
    std::vector<DoneCall> done;
    std::vector<LineCall> pvs;
    std::vector<LineCall> multis;
    int depthCalls = 0;
    int currentMoveCalls = 0;
    std::mutex lock;

    void onSearchDone(StopState state, Move best, Move ponder, int depth, int selDepth,
                      uint64_t nodes, double) override {
        done.push_back({state, best, ponder, depth, selDepth, nodes, engine->searching.load()});
    }
    void onPv(int depth, int score, const Move* pv, int pvLength, uint64_t nodes, double, int,
              Bound bound) override {
        pvs.push_back({0, depth, score, std::vector<Move>(pv, pv + pvLength), nodes, bound});
    }
    void onMultiPv(int line, int depth, int score, const Move* pv, int pvLength, double,
                   uint64_t nodes, int, Bound bound) override {
        multis.push_back({line, depth, score, std::vector<Move>(pv, pv + pvLength), nodes, bound});
    }
    void onDepth(int) override { depthCalls++; }
    void onCurrentMove(Move, int) override {
        std::lock_guard<std::mutex> guard(lock);
        currentMoveCalls++;
    }
};

inline bool isLegalIn(Position position, Move move) {
    ScoredMove list[MaxMoves];
    const int count = position.generateLegalMoves(list, position.inCheck());
    for (int i = 0; i < count; i++)
        if (list[i].move == move) return true;
    return false;
}

inline uint64_t helperNodes(const Engine& engine) {
    uint64_t total = 0;
    for (size_t i = 1; i < engine.threadPool.threads.size(); i++)
        total += engine.threadPool.threads[i]->nodes.load();
    return total;
}

// An engine with `threads` search threads, a Depth limit, no input polling,
// reporting to a Recorder.
class EngineWithThreads {
public:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
    Recorder recorder;

    explicit EngineWithThreads(int threads) {
        engine->threadPool.threadCount = threads;
        engine->init(1);
        engine->newGame();
        engine->setLimits(Depth);
        engine->inputThreadInUse = true;  // never poll standard input in tests
        recorder.engine = engine.get();
        engine->listener = &recorder;
    }
    ~EngineWithThreads() {
        engine->listener = &engine->nullListener;
        engine->release();
    }
    void setFen(const std::string& fen) { ASSERT_TRUE(engine->setFen(fen.c_str())) << fen; }
};

}  // namespace root_test
