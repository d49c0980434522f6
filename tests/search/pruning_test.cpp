// The pruning rules, each where it fires and where it must not. The node
// rules (razoring, static null move, null move) are watched through the
// search itself: a node searched at ply 2 that is cut before any move was
// made leaves its node count at 0. The move rules (futility, late-move
// pruning, reductions, extensions) are the predicates the search calls for
// every move, fed with what small positions give them.

#include <gtest/gtest.h>

#include <string>

#include "board/notation.h"
#include "search/eval_hook.h"
#include "search/pruning.h"
#include "search_test_support.h"

namespace {

using search_test::EngineOnPosition;

// White a rook up, black a queen up: the evaluation stays within the lazy
// margin of the material for windows near it.
const char* const rookUp = "4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
const char* const queenDown = "3qk3/8/8/8/8/8/8/R3K3 w - - 0 1";
// The same a queen down, with doubled white pawns blocked on the a-file: the
// full evaluation lies below the material, and white has no capture and no
// check.
const char* const weakPawns = "3qk3/8/8/8/p7/P7/P7/R3K3 w - - 0 1";
const char* const pawnsOnly = "4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1";
const char* const inCheckByRook = "4k3/8/8/8/8/8/8/R3K2r w - - 0 1";

// What a case's beta is measured from. Near the margins of one ply the node
// evaluates fully; the wider margins put beta beyond the lazy margin of the
// material, where the node's evaluation is the material balance itself.
enum BetaBase { FromEvaluation, FromMaterial };

struct NodeCase {
    const char* what;
    const char* fen;
    int depth;       // half plies
    int betaOffset;  // beta relative to `base`
    bool isPV;
    bool inCheck;
    bool fires;
    int mateBeta = 0;  // when not 0: this beta instead, a mate score
    BetaBase base = FromEvaluation;
};

class PruningNode : public EngineOnPosition {
protected:
    // The evaluation the node works with, and the node searched with a window
    // of width 1 (PV nodes: the full window) under beta.
    struct Outcome {
        int eval;
        int beta;
        int score;
        uint64_t nodes;
    };
    // The material balance from the side to move's point of view.
    int material() const {
        const Position& position = engine->position;
        const int balance = position.material[White] - position.material[Black];
        return position.sideToMove == White ? balance : -balance;
    }
    Outcome searchNode(const NodeCase& c, Move previousMove) {
        setFen(c.fen);
        engine->transpositionTable.clear();
        const int full = evaluate(engine->evalParams, engine->position, -32000, 32000);
        const int base = c.base == FromMaterial ? material() : full;
        const int beta = c.mateBeta != 0 ? c.mateBeta : base + c.betaOffset;
        // Where the evaluation decides, the node takes it with its own window:
        // the full evaluation, or the lazy exit on material where a case
        // measures from the material.
        if (c.mateBeta == 0 && c.depth <= ShallowDepthLimit && !c.isPV && !c.inCheck &&
            c.fen != pawnsOnly) {
            EXPECT_EQ(evaluate(engine->evalParams, engine->position, beta - 1, beta), base) << c.what;
        }
        auto searcher = context();
        searcher->curMove[1] = previousMove;
        const int alpha = c.isPV ? -32000 : beta - 1;
        const int score = searcher->search(alpha, beta, c.depth, 2, c.isPV, c.inCheck);
        return {full, beta, score, searcher->nodes};
    }
};

constexpr Move someMove = makeMove(E7, E8, King);  // any move that is not the null move

// Static null move: depth 2 gives away 100, depths 5 to 7 give away 300.
TEST_F(PruningNode, StaticNullMove) {
    const NodeCase cases[] = {
        {"at the margin", rookUp, 2, -100, false, false, true},
        {"inside the margin", rookUp, 2, -99, false, false, false},
        {"three plies, at the margin", rookUp, 6, -300, false, false, true},
        {"three plies, inside the margin", rookUp, 6, -299, false, false, false},
        {"last shallow depth", rookUp, 7, -300, false, false, true},
        {"beyond the shallow depths", rookUp, 8, -975, false, false, false},
        {"PV node", rookUp, 2, -300, true, false, false},
        {"side with pawns only", pawnsOnly, 2, -300, false, false, false},
        {"in check", inCheckByRook, 2, -900, false, true, false},
        {"mate-score beta", rookUp, 2, 0, false, false, false, -MateBound - 1},
    };
    for (const NodeCase& c : cases) {
        // A null move just before: the null-move rule stays out of the way.
        const Outcome out = searchNode(c, NoMove);
        if (c.fires) {
            EXPECT_EQ(out.nodes, 0u) << c.what;
            EXPECT_EQ(out.score, staticNullMoveScore(out.eval, c.depth)) << c.what;
            EXPECT_GE(out.score, out.beta) << c.what;
        } else {
            EXPECT_GT(out.nodes, 0u) << c.what;
        }
    }
}

// Razoring: one ply of depth (and the half ply above it) asks quiescence once
// the evaluation is more than 200 below beta, two plies once it is more than
// 400 below, three plies and the last shallow depth more than 600; here
// quiescence has no capture to try, so a razored node makes no move at all.
// The wider margins lie beyond the evaluation's lazy margin, so the node
// razors on the material balance there; quiescence, asked at a window next to
// the material, evaluates fully and stands pat below it in the position with
// the weak pawns. That is what tells a node at the margin, which must search
// its moves, from one that razors.
TEST_F(PruningNode, Razoring) {
    const NodeCase cases[] = {
        {"beyond the margin", queenDown, 2, 201, false, false, true},
        {"at the margin", queenDown, 2, 200, false, false, false},
        {"one and a half plies, beyond the margin", queenDown, 3, 201, false, false, true},
        {"one and a half plies, at the margin", queenDown, 3, 200, false, false, false},
        {"two plies, beyond the margin", weakPawns, 4, 401, false, false, true, 0, FromMaterial},
        {"two plies, at the margin", weakPawns, 4, 400, false, false, false, 0, FromMaterial},
        {"two and a half plies, beyond the margin", weakPawns, 5, 401, false, false, true, 0,
         FromMaterial},
        {"two and a half plies, at the margin", weakPawns, 5, 400, false, false, false, 0,
         FromMaterial},
        {"three plies, beyond the margin", weakPawns, 6, 601, false, false, true, 0, FromMaterial},
        {"three plies, at the margin", weakPawns, 6, 600, false, false, false, 0, FromMaterial},
        {"last shallow depth, beyond the margin", weakPawns, 7, 601, false, false, true, 0,
         FromMaterial},
        {"last shallow depth, at the margin", weakPawns, 7, 600, false, false, false, 0,
         FromMaterial},
        {"beyond the shallow depths", queenDown, 8, 976, false, false, false},
        {"PV node", queenDown, 2, 300, true, false, false},
        {"mate-score beta", queenDown, 2, 0, false, false, false, MateBound + 1},
    };
    setFen(weakPawns);
    ASSERT_LT(evaluate(engine->evalParams, engine->position, -32000, 32000), material());
    for (const NodeCase& c : cases) {
        const Outcome out = searchNode(c, NoMove);
        if (c.fires) {
            EXPECT_EQ(out.nodes, 0u) << c.what;
            EXPECT_LT(out.score, razorBeta(out.beta, c.depth)) << c.what;
        } else {
            EXPECT_GT(out.nodes, 0u) << c.what;
        }
    }

    // A hash move is searched rather than razored.
    setFen(queenDown);
    engine->transpositionTable.clear();
    const int full = evaluate(engine->evalParams, engine->position, -32000, 32000);
    engine->transpositionTable.store(engine->position.key, makeMove(A1, A7, Rook), 0, 0, 2, Exact);
    auto searcher = context();
    searcher->search(full + 300, full + 301, 2, 2, false, false);
    EXPECT_GT(searcher->nodes, 0u);
}

// Null move: from two plies on, not after a null move, only while switched
// on. Beyond the shallow depths the static null move stays out of the way;
// below the null move black has no capture, so a cut makes no move.
TEST_F(PruningNode, NullMove) {
    struct NullCase {
        NodeCase node;
        Move previous;
        bool enabled;
    };
    const NullCase cases[] = {
        {{"four plies", rookUp, 8, -50, false, false, true}, someMove, true},
        {{"after a null move", rookUp, 8, -50, false, false, false}, NoMove, true},
        {{"switched off", rookUp, 8, -50, false, false, false}, someMove, false},
        {{"PV node", rookUp, 8, -50, true, false, false}, someMove, true},
        {{"side with pawns only", pawnsOnly, 8, -50, false, false, false}, someMove, true},
        {{"one ply", rookUp, 2, -50, false, false, false}, someMove, true},
    };
    for (const NullCase& c : cases) {
        engine->useNullMove = c.enabled;
        const Outcome out = searchNode(c.node, c.previous);
        if (c.node.fires) {
            EXPECT_EQ(out.nodes, 0u) << c.node.what;
            EXPECT_GE(out.score, out.beta) << c.node.what;
        } else {
            EXPECT_GT(out.nodes, 0u) << c.node.what;
        }
    }
    EXPECT_TRUE(nullMoveAllowed(4, someMove, true));
    EXPECT_FALSE(nullMoveAllowed(3, someMove, true));
}

// The gates of the node rules: razoring, the static null move and the null
// move never at a PV node, in check, or for a side with pawns only; razoring
// and the static null move only near the leaves and never against a mate
// score.
TEST(PruningGates, NodeRulesStayOutOfPvNodesChecksAndMateScores) {
    const struct {
        bool isPV;
        bool inCheck;
        int ownPhase;
        bool allowed;
    } nodes[] = {
        {false, false, 1, true}, {true, false, 1, false}, {false, true, 1, false},
        {false, false, 0, false}, {true, true, 12, false},
    };
    for (const auto& n : nodes)
        EXPECT_EQ(nodePruningAllowed(n.isPV, n.inCheck, n.ownPhase), n.allowed)
            << n.isPV << n.inCheck << n.ownPhase;

    const struct {
        int depth;
        int beta;
        bool allowed;
    } shallow[] = {
        {7, 0, true},          {8, 0, false},           {2, MateBound, true},
        {2, -MateBound, true}, {2, MateBound + 1, false}, {2, -MateBound - 1, false},
        {2, 31998, false},
    };
    for (const auto& c : shallow)
        EXPECT_EQ(shallowPruningAllowed(c.depth, c.beta), c.allowed) << c.depth << " " << c.beta;
}

class PruningMoves : public EngineOnPosition {
protected:
    // The legal move of the game position written as `text`.
    Move parse(const std::string& text) {
        ScoredMove list[MaxMoves];
        Position& position = engine->position;
        const int count = position.generateLegalMoves(list, position.inCheck());
        for (int i = 0; i < count; i++) {
            char written[8];
            formatMove(position, list[i].move, written);
            if (text == written) return list[i].move;
        }
        ADD_FAILURE() << "no legal move " << text;
        return NoMove;
    }
    int totalPhase() const { return engine->position.phase[White] + engine->position.phase[Black]; }
};

// Futility: allowed near the leaves, outside PV nodes and check, with more
// than 8 phase on the board; it then skips quiet moves after the first whose
// node cannot reach alpha with the margin.
TEST_F(PruningMoves, Futility) {
    // Queen and rook against rook and knight: phase 9 on the board; against a
    // rook alone: 8.
    setFen("4k1nr/8/8/8/8/8/8/3QK2R w - - 0 1");
    const int heavyPhase = totalPhase();
    setFen("4k2r/8/8/8/8/8/8/3QK2R w - - 0 1");
    const int lightPhase = totalPhase();
    ASSERT_EQ(heavyPhase, 9);
    ASSERT_EQ(lightPhase, 8);

    const struct {
        const char* what;
        int depth;
        bool isPV;
        bool inCheck;
        int phase;
        bool allowed;
    } gates[] = {
        {"shallow", 2, false, false, heavyPhase, true},
        {"last shallow depth", 7, false, false, heavyPhase, true},
        {"beyond the shallow depths", 8, false, false, heavyPhase, false},
        {"PV node", 2, true, false, heavyPhase, false},
        {"in check", 2, false, true, heavyPhase, false},
        {"too little on the board", 2, false, false, lightPhase, false},
    };
    for (const auto& g : gates)
        EXPECT_EQ(futilityAllowed(g.depth, g.isPV, g.inCheck, g.phase), g.allowed) << g.what;

    EXPECT_EQ(futilityValueOf(10, 2), 110);
    EXPECT_EQ(futilityValueOf(10, 4), 210);
    EXPECT_EQ(futilityValueOf(10, 6), 310);
    EXPECT_EQ(futilityValueOf(10, 7), 310);

    setFen("3qk2r/6P1/8/8/8/8/8/3QK2R w - - 0 1");
    const Move quiet = parse("h1h5");
    const Move capture = parse("d1d8");
    const Move promotion = parse("g7g8q");
    const struct {
        const char* what;
        bool on;
        int value;
        int alpha;
        int before;
        Move move;
        int extension;
        bool prunes;
    } moves[] = {
        {"quiet, below alpha", true, 90, 100, 1, quiet, 0, true},
        {"quiet, at alpha", true, 100, 100, 1, quiet, 0, true},
        {"quiet, above alpha", true, 101, 100, 1, quiet, 0, false},
        {"first move", true, 90, 100, 0, quiet, 0, false},
        {"capture", true, 90, 100, 1, capture, 0, false},
        {"promotion", true, 90, 100, 1, promotion, 0, false},
        {"extended", true, 90, 100, 1, quiet, 2, false},
        {"futility off", false, 90, 100, 1, quiet, 0, false},
    };
    for (const auto& m : moves)
        EXPECT_EQ(futilityPrunes(m.on, m.value, m.alpha, m.before, m.move, m.extension), m.prunes)
            << m.what;
}

// Late-move pruning: outside PV nodes and check, an ordinary quiet move after
// lateMoveCount[depth in plies] moves is skipped, up to depth 31.
TEST_F(PruningMoves, LateMovePruning) {
    const struct {
        const char* what;
        bool quietStage;
        bool inCheck;
        bool isPV;
        int depth;
        int before;
        int extension;
        bool prunes;
    } cases[] = {
        {"one ply, after 5", true, false, false, 2, 6, 0, true},
        {"one ply, fifth", true, false, false, 2, 5, 0, false},
        {"half a ply", true, false, false, 1, 4, 0, true},
        {"half a ply, fourth", true, false, false, 1, 3, 0, false},
        {"three plies, after 14", true, false, false, 6, 15, 0, true},
        {"three plies, fourteenth", true, false, false, 6, 14, 0, false},
        {"deepest", true, false, false, 31, 220, 0, true},
        {"deepest, at the count", true, false, false, 31, 219, 0, false},
        {"too deep", true, false, false, 32, 1000, 0, false},
        {"not an ordinary quiet move", false, false, false, 2, 50, 0, false},
        {"in check", true, true, false, 2, 50, 0, false},
        {"PV node", true, false, true, 2, 50, 0, false},
        {"extended", true, false, false, 2, 50, 2, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lateMovePrunes(c.quietStage, c.inCheck, c.isPV, c.depth, c.before, c.extension),
                  c.prunes)
            << c.what;
}

// Late-move reductions by depth and move count, one ply less at PV nodes.
TEST_F(PruningMoves, Reductions) {
    EXPECT_TRUE(reductionsAllowed(6, false, true));
    EXPECT_FALSE(reductionsAllowed(5, false, true));
    EXPECT_FALSE(reductionsAllowed(6, true, true));
    EXPECT_FALSE(reductionsAllowed(6, false, false));

    const struct {
        const char* what;
        bool allowed;
        bool quietStage;
        int before;
        int extension;
        int depth;
        bool isPV;
        int plies;
    } cases[] = {
        {"eight plies, tenth move", true, true, 10, 0, 16, false, 1},
        {"eight plies, tenth move, PV", true, true, 10, 0, 16, true, 0},
        {"twenty plies, fortieth move", true, true, 40, 0, 40, false, 4},
        {"twenty plies, fortieth move, PV", true, true, 40, 0, 40, true, 3},
        {"beyond the table", true, true, 200, 0, 200, false, 7},
        {"three moves before", true, true, 3, 0, 200, false, 1},
        {"two moves before", true, true, 2, 0, 200, false, 0},
        {"not an ordinary quiet move", true, false, 40, 0, 40, false, 0},
        {"extended", true, true, 40, 2, 40, false, 0},
        {"not allowed at the node", false, true, 40, 0, 40, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lateMoveReduction(c.allowed, c.quietStage, c.before, c.extension, c.depth, c.isPV),
                  c.plies)
            << c.what;
}

// Extensions: one ply for a check or a pawn reaching its seventh rank; the
// two together still one ply.
TEST_F(PruningMoves, Extensions) {
    const struct {
        const char* fen;
        const char* move;
        int extension;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", 2},        // check
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a7", 0},        // quiet
        {"7k/8/4P3/8/8/8/8/4K3 w - - 0 1", "e6e7", 2},        // to the seventh
        {"4k3/8/8/8/8/4p3/8/K7 b - - 0 1", "e3e2", 2},        // black to its seventh
        {"8/8/3Pk3/8/8/8/8/4K3 w - - 0 1", "d6d7", 2},        // seventh and check
        {"7k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", 2},       // promotes with check
        {"k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8n", 0},       // promotes quietly
        {"7k/8/8/4P3/8/8/8/4K3 w - - 0 1", "e5e6", 0},        // sixth rank
    };
    for (const auto& c : cases) {
        setFen(c.fen);
        const Move move = parse(c.move);
        Position& position = engine->position;
        const int us = position.sideToMove;
        UndoRecord undo;
        position.makeMove(move, undo);
        const bool givesCheck = position.isAttacked(position.kingSquare[us ^ 1], us);
        position.unmakeMove(move, undo);
        EXPECT_EQ(extensionFor(move, givesCheck), c.extension) << c.fen << " " << c.move;
    }
}

}  // namespace
