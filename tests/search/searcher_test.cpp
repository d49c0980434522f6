#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/notation.h"
#include "search/reductions.h"
#include "search_test_support.h"

namespace {

using search_test::EngineOnPosition;
using search_test::mateDistance;
using search_test::SearchResult;
using search_test::searchToDepth;

struct MateCase {
    const char* fen;
    int mateIn;  // moves of the side to move
    int plies;   // iterations searched
};

// Each mate distance is confirmed by the brute-force finder, not by the search.
const MateCase mateCases[] = {
    {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1, 3},
    {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", 2, 4},
    {"r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1", 2, 5},
    {"r1bq2r1/b4pk1/p1pp1p2/1p2pP2/1P2P1PB/3P4/1PPQ2P1/R3K2R w KQ - 0 1", 2, 6},
    {"6k1/8/4K3/8/8/8/8/R7 w - - 0 1", 3, 6},
    {"7k/8/8/4K3/8/8/8/R7 w - - 0 1", 3, 7},
};

class SearchMates : public EngineOnPosition, public testing::WithParamInterface<MateCase> {};

TEST_P(SearchMates, FindsTheMateWithItsExactScore) {
    const MateCase& c = GetParam();
    setFen(c.fen);
    ASSERT_EQ(mateDistance(engine->position, 3), c.mateIn) << "ground truth";
    const SearchResult result = searchToDepth(*engine, c.plies);
    EXPECT_EQ(result.score, 32000 - (2 * c.mateIn - 1));
    ASSERT_GE(result.pvLength, 2 * c.mateIn - 1);
    EXPECT_EQ(result.pv[0], result.bestMove);

    // The line is a mate: play it and the side to move has no legal move, in check.
    Position position = engine->position;
    for (int i = 0; i < 2 * c.mateIn - 1; i++) {
        ASSERT_TRUE(position.isPseudoLegal(result.pv[i])) << "ply " << i;
        UndoRecord undo;
        position.makeMove(result.pv[i], undo);
        ASSERT_FALSE(position.isAttacked(position.kingSquare[position.sideToMove ^ 1],
                                         position.sideToMove));
    }
    ScoredMove replies[MaxMoves];
    EXPECT_TRUE(position.inCheck());
    EXPECT_EQ(position.generateLegalMoves(replies, true), 0);
}

// Every combination of the null-move and reduction switches: the node counts
// move, the forced mate does not.
TEST_P(SearchMates, PruningSwitchesNeverChangeAForcedMate) {
    const MateCase& c = GetParam();
    setFen(c.fen);
    for (int flags = 0; flags < 4; flags++) {
        engine->useNullMove = (flags & 1) != 0;
        engine->useLmr = (flags & 2) != 0;
        engine->transpositionTable.clear();
        const SearchResult result = searchToDepth(*engine, c.plies + 1);
        EXPECT_EQ(result.score, 32000 - (2 * c.mateIn - 1)) << "null " << engine->useNullMove
                                                            << " lmr " << engine->useLmr;
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, SearchMates, testing::ValuesIn(mateCases));

class Search : public EngineOnPosition {
protected:
    SearchResult searchFresh(const char* fen, int plies) {
        setFen(fen);
        engine->transpositionTable.clear();
        return searchToDepth(*engine, plies);
    }
};

constexpr const char* middlegame =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

TEST_F(Search, SwitchesChangeTheNodeCounts) {
    setFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    uint64_t nodes[4];
    for (int flags = 0; flags < 4; flags++) {
        engine->useNullMove = (flags & 1) != 0;
        engine->useLmr = (flags & 2) != 0;
        engine->transpositionTable.clear();
        nodes[flags] = searchToDepth(*engine, 7).nodes;
    }
    EXPECT_NE(nodes[3], nodes[2]) << "null move has no effect";
    EXPECT_NE(nodes[3], nodes[1]) << "late-move reduction has no effect";
    EXPECT_LT(nodes[3], nodes[0]) << "pruning should shrink the tree";
}

TEST_F(Search, SameDepthFreshTableGivesTheSameResult) {
    const SearchResult first = searchFresh(middlegame, 6);
    engine->newGame();
    const SearchResult second = searchFresh(middlegame, 6);
    EXPECT_EQ(first.nodes, second.nodes);
    EXPECT_EQ(first.score, second.score);
    EXPECT_EQ(first.bestMove, second.bestMove);
    EXPECT_EQ(first.selDepth, second.selDepth);
    ASSERT_EQ(first.pvLength, second.pvLength);
    EXPECT_EQ(0, std::memcmp(first.pv, second.pv, sizeof(Move) * size_t(first.pvLength)));
    EXPECT_NE(first.bestMove, NoMove);
}

TEST_F(Search, GettingMatedScoresFromTheRoot) {
    // Black's only move walks into the mate: mated at ply 2.
    const SearchResult result = searchFresh("7k/8/6K1/8/8/8/8/R7 b - - 0 1", 4);
    EXPECT_EQ(result.score, 2 - 32000);
}

TEST_F(Search, FiftyMoveRuleDrawsUnlessTheMoveMates) {
    // The mating move reaches a clock of 100: mate still counts.
    EXPECT_EQ(searchFresh("6k1/5ppp/8/8/8/8/8/R5K1 w - - 99 1", 3).score, 31999);
    // No mate in one, and every move reaches 100: nothing but a draw is left.
    EXPECT_EQ(searchFresh("7k/8/5K2/8/8/8/8/R7 w - - 99 1", 4).score, 0);
}

TEST_F(Search, LoneMinorPieceIsADraw) {
    EXPECT_EQ(searchFresh("8/8/8/4k3/8/8/8/4KN2 w - - 0 1", 5).score, 0);
    EXPECT_EQ(searchFresh("8/8/8/4k3/8/8/8/2B1K3 b - - 0 1", 5).score, 0);
}

TEST_F(Search, LosingSideTakesTheRepetitionOfTheGame) {
    // Black is a queen and more down; stepping the knight back repeats the
    // starting position of the game.
    setFen("4k1n1/8/8/8/8/8/8/QQ2K1N1 w - - 0 1");
    ASSERT_TRUE(engine->applyMoves("g1f3 g8f6 f3g1"));
    engine->transpositionTable.clear();
    SearchResult result = searchToDepth(*engine, 3);
    EXPECT_EQ(result.score, 0);
    char text[8];
    formatMove(engine->position, result.bestMove, text);
    EXPECT_STREQ(text, "f6g8");

    // A draw score makes the draw cost the side that searches.
    engine->settings.drawScore = 50;
    engine->transpositionTable.clear();
    result = searchToDepth(*engine, 3);
    EXPECT_EQ(result.score, -50);
}

TEST_F(Search, NodeLimitStopsWithinANode) {
    setFen(middlegame);
    engine->setLimits(Nodes);
    engine->nodeLimit = 5000;
    const SearchResult result = search_test::searchUnderLimits(*engine);
    EXPECT_NE(engine->stopState.load(), Running);
    EXPECT_LT(result.depth, 30);
    const uint64_t counted = mainThread().nodes.load();
    EXPECT_GE(counted, 5000u);
    EXPECT_LE(counted, 5001u);
}

// Single nodes, searched directly at ply 2.
class SearchNode : public EngineOnPosition {
protected:
    std::unique_ptr<Searcher> at(const char* fen) {
        setFen(fen);
        engine->transpositionTable.clear();
        return context();
    }
};

TEST_F(SearchNode, StalemateIsADrawWithTheDrawScoreOfItsSide) {
    const char* stalemate = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
    auto searcher = at(stalemate);
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, false), 0);

    engine->settings.drawScore = 50;
    searcher = context();  // black to move is the root side
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, false), -50);
    searcher->rootSide = White;
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, false), 50);

    // Neither mate nor stalemate is stored.
    Move move = NoMove;
    int score = 0;
    EXPECT_EQ(engine->transpositionTable.probe(engine->position.key, 0, 2, -32000, 32000, move, score),
              ProbeMiss);
}

TEST_F(SearchNode, MatedNodeScoresByItsPly) {
    auto searcher = at("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, true), 2 - 32000);
    EXPECT_EQ(searcher->searchAtPly1(-32000, 32000, 4, true, true), -31999);
    Move move = NoMove;
    int score = 0;
    EXPECT_EQ(engine->transpositionTable.probe(engine->position.key, 0, 2, -32000, 32000, move, score),
              ProbeMiss);
}

struct FiftyMoveCase {
    const char* fen;
    bool inCheck;
    int expected;  // at ply 2
};

TEST_F(SearchNode, FiftyMoveRuleAndItsCheckmateException) {
    const FiftyMoveCase cases[] = {
        {"7k/8/5K2/8/8/8/8/R7 b - - 100 1", false, 0},            // quiet: draw
        {"R6k/8/5K2/8/8/8/8/8 b - - 100 1", true, 0},             // check with an escape: draw
        {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 1", true, 2 - 32000},  // mate stands
    };
    for (const FiftyMoveCase& c : cases) {
        auto searcher = at(c.fen);
        EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, c.inCheck), c.expected) << c.fen;
        // Quiescence tests the board whatever the caller says.
        EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 2, true, true), c.expected) << c.fen;
        if (c.expected == 0) {
            EXPECT_EQ(searcher->nodes, 0u) << c.fen;
        }
    }
}

TEST_F(SearchNode, InsufficientMaterialTable) {
    const struct {
        const char* fen;
        bool draw;
    } cases[] = {
        {"8/8/8/4k3/8/8/8/4K3 w - - 0 1", true},
        {"8/8/8/4k3/8/8/8/4KN2 w - - 0 1", true},
        {"8/8/8/4k3/8/8/8/2B1K3 w - - 0 1", true},
        {"8/8/8/4k3/8/8/8/1NN1K3 w - - 0 1", false},  // 650 > 325
        {"8/8/8/4kn2/8/8/8/2B1K3 w - - 0 1", false},
        {"8/8/8/4k3/8/8/4P3/4K3 w - - 0 1", false},
    };
    for (const auto& c : cases) {
        auto searcher = at(c.fen);
        EXPECT_EQ(searcher->isDraw(2, true), c.draw) << c.fen;
    }
}

TEST_F(SearchNode, RepetitionWithinTheReversibleHistory) {
    setFen("4k1n1/8/8/8/8/8/8/QQ2K1N1 w - - 0 1");
    ASSERT_TRUE(engine->applyMoves("g1f3 g8f6 f3g1 f6g8"));
    ASSERT_EQ(engine->repKeyCount, 4);
    ASSERT_EQ(engine->repKeys[0], engine->position.key);
    auto searcher = context();
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 2, true, false), 0);
    EXPECT_EQ(searcher->nodes, 0u);

    // The same position with the other side to move is no repetition.
    setFen("4k1n1/8/8/8/8/8/8/QQ2K1N1 b - - 0 1");
    ASSERT_TRUE(engine->applyMoves("g8f6 g1f3 f6g8 f3g1"));
    engine->position.sideToMove ^= 1;
    engine->position.key ^= ZobristKeys::side;
    searcher = context();
    EXPECT_FALSE(searcher->isDraw(2, true));
}

TEST_F(SearchNode, KeepsOnlyTheNewestKeysThatFit) {
    setFen("4k1n1/8/8/8/8/8/8/QQ2K1N1 w - - 10 1");
    std::vector<Key> game(MaxSearchKeys);
    for (size_t i = 0; i < game.size(); i++) game[i] = 0x9e3779b97f4a7c15ULL * (i + 1);
    game[game.size() - 4] = engine->position.key;  // four plies back: a repetition

    Searcher root(*engine, mainThread(), engine->position, game.data(), int(game.size()));
    EXPECT_EQ(root.keyCount, MaxSearchKeys - MaxPly);  // room for a key on every ply
    EXPECT_EQ(root.keys[root.keyCount - 1], game.back());
    EXPECT_TRUE(root.isDraw(2, true));

    Searcher deeper(*engine, mainThread(), engine->position, game.data(), int(game.size()), 20);
    EXPECT_EQ(deeper.keyCount, MaxSearchKeys - MaxPly + 20);

    // A short history is copied whole.
    Searcher small(*engine, mainThread(), engine->position, game.data(), 5);
    EXPECT_EQ(small.keyCount, 5);
    EXPECT_EQ(small.keys[0], game[0]);
}

TEST_F(SearchNode, InvertedOrMateBoundWindowIsNotSearched) {
    auto searcher = at(middlegame);
    EXPECT_EQ(searcher->search(40, 40, 6, 2, false, false), 40);
    EXPECT_EQ(searcher->search(45, 40, 6, 2, false, false), 45);
    // Nothing at ply 2 can beat a mate at ply 2.
    EXPECT_EQ(searcher->search(31998, 32000, 6, 2, true, false), 31998);
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(SearchNode, TableHitAnswersWithoutSearching) {
    auto searcher = at(middlegame);
    engine->transpositionTable.store(engine->position.key, NoMove, 123, 8, 2, Exact);
    EXPECT_EQ(searcher->search(-32000, 32000, 8, 2, true, false), 123);
    EXPECT_EQ(searcher->search(-32000, 32000, 6, 2, false, false), 123);
    EXPECT_EQ(searcher->nodes, 0u);
    // Too shallow an entry does not answer.
    EXPECT_NE(searcher->search(-32000, 32000, 10, 2, true, false), 123);
    EXPECT_GT(searcher->nodes, 0u);
}

TEST_F(SearchNode, StoppedSearchReturnsZeroAtOnce) {
    auto searcher = at(middlegame);
    engine->stopState = Stopped;
    EXPECT_EQ(searcher->search(-32000, 32000, 8, 2, true, false), 0);
    EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 2, true, false), 0);
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(SearchNode, PlyLimitIsADraw) {
    auto searcher = at(middlegame);
    engine->settings.drawScore = 7;
    searcher = context();
    EXPECT_EQ(searcher->search(-32000, 32000, 4, 127, false, false), -7);
    EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 127, false, false), -7);
}

TEST_F(SearchNode, QuietCutOffFeedsKillersAndHistory) {
    // White to move mates with a quiet rook move, the only move that reaches
    // the window: the cut-off is the mate.
    auto searcher = at("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    SearchThread& thread = mainThread();
    std::memset(thread.killers, 0, sizeof(thread.killers));
    std::memset(thread.history, 0, sizeof(thread.history));
    const Move mate = makeMove(A1, A8, Rook);
    thread.killers[2][0] = makeMove(G1, F1, King);
    const int v = searcher->search(31000, 31001, 4, 2, true, false);
    EXPECT_EQ(v, 32000 - 3);
    EXPECT_EQ(thread.killers[2][0], mate);
    EXPECT_EQ(thread.killers[2][1], makeMove(G1, F1, King));
    EXPECT_EQ(thread.history[White][Rook][A8], 4);  // (4 / 2) squared

    // A full history entry is left as it is.
    engine->transpositionTable.clear();
    thread.history[White][Rook][A8] = 9998;
    searcher = context();
    searcher->search(31000, 31001, 4, 2, true, false);
    EXPECT_EQ(thread.history[White][Rook][A8], 9998);
    EXPECT_EQ(thread.killers[2][0], mate);  // already first: unchanged
    EXPECT_EQ(thread.killers[2][1], makeMove(G1, F1, King));
}

}  // namespace
