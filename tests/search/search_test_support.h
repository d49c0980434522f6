#pragma once
// Shared support for the search tests: an initialised engine on a position,
// a search context on it, and a brute-force mate finder written apart from
// the search (plain legal-move minimax, no pruning, no table) that serves as
// the ground truth for mate distances.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "search/engine.h"
#include "search/searcher.h"

namespace search_test {

class EngineOnPosition : public testing::Test {
protected:
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();

    void SetUp() override {
        engine->init(1);
        engine->newGame();
        engine->limitMode = Depth;
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
