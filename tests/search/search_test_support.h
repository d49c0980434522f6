#pragma once
// Shared support for the search tests: an initialised engine on a position,
// a search context on it, and a brute-force mate finder written apart from
// the search (plain legal-move minimax, no pruning, no table) that serves as
// the ground truth for mate distances.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "search/engine.h"
#include "search/searcher.h"

namespace search_test {

// What one search reported: its last line and its end.
struct SearchResult {
    Move bestMove = NoMove;
    int score = 0;
    int depth = 0;  // iterations completed (plies)
    uint64_t nodes = 0;
    int selDepth = 0;
    int pvLength = 0;
    Move pv[MaxPly] = {};
};

class ResultListener : public SearchListener {
public:
    explicit ResultListener(SearchResult& into) : result(into) {}
    void onPv(int, int score, const Move* pv, int pvLength, uint64_t, double, int, Bound) override {
        result.score = score;
        result.pvLength = pvLength;
        std::copy(pv, pv + pvLength, result.pv);
    }
    void onSearchDone(StopState, Move best, Move, int depth, int selDepth, uint64_t nodes,
                      double) override {
        result.bestMove = best;
        result.depth = depth;
        result.selDepth = selDepth;
        result.nodes = nodes;
    }

private:
    SearchResult& result;
};

// Searches the game position as games are played, through Engine::think
// under the engine's limits, then takes back the move the search played: the
// game stays as it was.
inline SearchResult searchUnderLimits(Engine& engine) {
    SearchResult result;
    ResultListener listener(result);
    SearchListener* previous = engine.listener;
    engine.listener = &listener;
    const size_t gameLength = engine.gameHistory.size();
    engine.think(0);
    if (engine.gameHistory.size() > gameLength) engine.takeBack();
    engine.listener = previous;
    return result;
}

// The same to `plies` iterations.
inline SearchResult searchToDepth(Engine& engine, int plies) {
    engine.setLimits(Depth);
    engine.depthLimit = plies;
    return searchUnderLimits(engine);
}

class EngineOnPosition : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();

    void SetUp() override {
        engine->init(1);
        engine->newGame();
        engine->setLimits(Depth);
        engine->inputThreadInUse = true;  // never poll standard input in tests
    }
    void TearDown() override { engine->release(); }

    void setFen(const std::string& fen) {
        ASSERT_TRUE(engine->setFen(fen.c_str())) << fen;
    }
    SearchThread& mainThread() { return *engine->threadPool.mainThread; }

    // A context on the game position as the root driver builds one, with the
    // stop state running and the root side set to the side to move.
    std::unique_ptr<Searcher> context() {
        engine->stopState = Running;
        engine->rootSide = Color(engine->position.sideToMove);
        return std::make_unique<Searcher>(*engine, mainThread(), engine->position, engine->repKeys,
                                          engine->repKeyCount);
    }
};

// True when the side to move can force mate within `moves` of its moves.
inline bool matesWithin(Position& position, int moves) {
    ScoredMove list[MaxMoves];
    const int count = position.generateLegalMoves(list, position.inCheck());
    for (int i = 0; i < count; i++) {
        UndoRecord undo;
        position.makeMove(list[i].move, undo);
        ScoredMove replies[MaxMoves];
        const bool checked = position.inCheck();
        const int replyCount = position.generateLegalMoves(replies, checked);
        bool forced = replyCount == 0 ? checked : moves > 1;
        for (int r = 0; forced && r < replyCount; r++) {
            UndoRecord replyUndo;
            position.makeMove(replies[r].move, replyUndo);
            forced = matesWithin(position, moves - 1);
            position.unmakeMove(replies[r].move, replyUndo);
        }
        position.unmakeMove(list[i].move, undo);
        if (forced) return true;
    }
    return false;
}

// The fewest moves in which the side to move forces mate, 0 when not within
// `limit`.
inline int mateDistance(Position position, int limit) {
    for (int n = 1; n <= limit; n++)
        if (matesWithin(position, n)) return n;
    return 0;
}

}  // namespace search_test
