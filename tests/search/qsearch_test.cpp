#include <gtest/gtest.h>

#include "search/eval_hook.h"
#include "search_test_support.h"

namespace {

using search_test::EngineOnPosition;

class Quiescence : public EngineOnPosition {
protected:
    std::unique_ptr<Searcher> at(const char* fen) {
        setFen(fen);
        return context();
    }
    int standPat() {
        return evaluate(engine->evalParams, engine->position, -32000, 32000);
    }
};

TEST_F(Quiescence, MatedInCheckScoresByPly) {
    auto searcher = at("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(searcher->quiesceAtPly1(-32000, 32000, 0, true, true), -31999);
    EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 5, true, true), 5 - 32000);
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(Quiescence, InCheckEveryEvasionIsSearchedWithoutStandPat) {
    // The knight forks king and rook: only king steps answer the check, and
    // the rook falls after each, far below what standing pat would claim.
    auto searcher = at("4k3/8/8/8/8/8/2n5/R3K2R w - - 0 1");
    const int pat = standPat();
    const int v = searcher->quiesceAtPly1(-32000, 32000, 0, true, true);
    EXPECT_GT(searcher->nodes, 0u);
    EXPECT_LT(v, pat);
}

TEST_F(Quiescence, QuietPositionStandsPat) {
    auto searcher = at("4k3/pppp4/8/8/8/8/4PPPP/4K3 w - - 0 1");
    const int pat = standPat();
    EXPECT_EQ(searcher->quiesce(-32000, 32000, -1, 2, true, false), pat);
    EXPECT_EQ(searcher->quiesce(pat + 10, pat + 20, -1, 2, true, false), pat + 10) << "fail hard low";
    EXPECT_EQ(searcher->quiesce(pat - 20, pat - 10, -1, 2, true, false), pat) << "fail soft high";
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(Quiescence, StalemateIsNotDetected) {
    auto searcher = at("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    const int pat = standPat();
    EXPECT_LT(pat, -500);
    EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 2, true, false), pat);
}

TEST_F(Quiescence, QueenPushOnlyWhenItsExchangeHolds) {
    // The rook on h8 guards a8: promoting there loses the queen.
    auto searcher = at("7r/P6k/8/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(searcher->quiesce(-32000, 32000, -1, 2, true, false), standPat());
    EXPECT_EQ(searcher->nodes, 0u);

    searcher = at("8/P6k/8/8/8/8/7r/K7 w - - 0 1");
    EXPECT_GT(searcher->quiesce(-32000, 32000, -1, 2, true, false), standPat() + 500);
    EXPECT_GT(searcher->nodes, 0u);
}

TEST_F(Quiescence, LosingCaptureIsSkippedWinningOneSearched) {
    // Qxd5 is answered by cxd5; Rxd5 wins a pawn... only when nothing guards d5.
    auto searcher = at("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(searcher->quiesce(-32000, 32000, -1, 2, true, false), standPat());
    EXPECT_EQ(searcher->nodes, 0u);

    searcher = at("4k3/8/8/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_GT(searcher->quiesce(-32000, 32000, -1, 2, true, false), standPat() + 50);
}

TEST_F(Quiescence, QuietChecksOnlyAtTheFirstPly) {
    // Ra8 is a quiet check that mates.
    auto searcher = at("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    EXPECT_EQ(searcher->quiesceAtPly1(-32000, 32000, 0, true, false), 32000 - 2);
    EXPECT_EQ(searcher->pvLength[1], 1);
    EXPECT_EQ(searcher->pv[1][0], makeMove(A1, A8, Rook));

    searcher = at("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    EXPECT_EQ(searcher->quiesceAtPly1(-32000, 32000, -1, true, false), standPat());
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(Quiescence, InvertedWindowIsNotSearched) {
    auto searcher = at("4k3/8/8/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(searcher->quiesce(45, 40, 0, 2, true, false), 45);
    EXPECT_EQ(searcher->quiesce(40, 40, 0, 2, true, false), 40);
    EXPECT_EQ(searcher->nodes, 0u);
}

TEST_F(Quiescence, FiftyMoveDrawEvenWhenTheCallerSaysCheck) {
    auto searcher = at("4k3/pppp4/8/8/8/8/4PPPP/4K3 w - - 100 1");
    EXPECT_EQ(searcher->quiesce(-32000, 32000, 0, 2, true, true), 0);
}

TEST_F(Quiescence, CountsEveryLegalMoveItMakes) {
    // Two pawn captures, both legal and both searched.
    auto searcher = at("4k3/8/8/2p1p3/3P4/8/8/4K3 w - - 0 1");
    searcher->quiesce(-32000, 32000, -1, 2, true, false);
    EXPECT_GE(searcher->nodes, 2u);
    EXPECT_EQ(mainThread().nodes.load(), searcher->nodes);
}

}  // namespace
