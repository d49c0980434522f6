// Set-up text may put a pawn on its own last rank. As the lone piece between
// a line piece and the enemy king it has no square ahead to uncover a check
// with, and the quiet-check generator must not look beyond the board for one.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board/movegen_test_support.h"

using namespace movegen_test;

namespace {

struct EdgePawnCase {
    const char* fen;
    int pawnSquare;
};

const EdgePawnCase edgePawnCases[] = {
    {"4k3/8/8/8/8/8/8/2qp1K2 b - - 0 1", 3},   // black pawn d1 between queen c1 and king f1
    {"2QP1k2/8/8/8/8/8/8/4K3 w - - 0 1", 59},  // the same for white on d8
};

TEST(EdgeRankPawn, LoneBlockerOnItsLastRankGivesNoDiscoveredCheck) {
    for (const EdgePawnCase& c : edgePawnCases) {
        Position pos;
        ASSERT_TRUE(positionFromFen(c.fen, pos)) << c.fen;
        ScoredMove list[MaxMoves];
        const int count = pos.generateQuietChecks(list);
        const std::vector<Move> quiets = capturesAndQuiets(pos);
        for (int i = 0; i < count; ++i) {
            const Move m = list[i].move;
            EXPECT_NE(moveFrom(m), c.pawnSquare) << c.fen << " " << moveText(m);
            EXPECT_NE(std::find(quiets.begin(), quiets.end(), m), quiets.end()) << c.fen << " " << moveText(m);
        }
        EXPECT_GT(count, 0) << c.fen;  // the line piece still has its own checks
    }
}

}  // namespace
