#include <gtest/gtest.h>

#include <string>

#include "eval/endgame.h"
#include "eval/eval_test_support.h"

namespace {

using namespace eval_test;

class Endgame : public testing::Test {
protected:
    void SetUp() override {
        ensureTables();
        initEvalWeights(plainParams(), false);
    }
    void TearDown() override { initEvalWeights(plainParams(), false); }

    static Position fen(const std::string& text) {
        Position position;
        EXPECT_TRUE(positionFromFen(text, position)) << text;
        return position;
    }
};

constexpr int GoesOn = 12345;  // marker: no final score, the evaluation continues

struct EndingCase {
    const char* fen;
    int finalScore;  // GoesOn when the evaluation goes on
    int scale;
};

// Every ending of the signature table, with kings on e1 and e8 where the
// ending allows (mateCorner[e8] 50, kingProximity[7] 0), and a few that are
// not in it.
const EndingCase endingCases[] = {
    {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, FullScale},
    {"4k3/8/8/8/8/8/8/1N2K3 b - - 0 1", 0, FullScale},
    {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", 0, FullScale},
    {"1n2k1n1/8/8/8/8/8/8/4K3 w - - 0 1", 0, FullScale},
    {"4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", 0, FullScale},
    {"1n2k3/8/8/8/8/8/8/1N2K3 w - - 0 1", 0, FullScale},
    {"2b1k3/8/8/8/8/8/8/1N2K3 w - - 0 1", 0, FullScale},
    {"1n2k3/8/8/8/8/8/8/2B1K3 w - - 0 1", 0, FullScale},
    {"2b1k3/8/8/8/8/8/8/2B1K3 w - - 0 1", 0, FullScale},
    {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 50 + 500 + 0, FullScale},
    {"r3k3/8/8/8/8/8/8/4K3 w - - 0 1", -(50 + 500 + 0), FullScale},
    {"4k3/8/8/8/8/8/8/Q3K3 b - - 0 1", -(50 + 975 + 0), FullScale},
    {"q3k3/8/8/8/8/8/8/4K3 b - - 0 1", 50 + 975 + 0, FullScale},
    {"4k3/8/8/8/8/8/8/1N1pK3 w - - 0 1", GoesOn, 8},
    {"4k3/8/8/8/8/8/3p4/2B1K3 w - - 0 1", GoesOn, 8},
    {"1n2k3/8/8/8/8/8/4P3/4K3 w - - 0 1", GoesOn, 8},
    {"2b1k3/8/8/8/8/8/4P3/4K3 w - - 0 1", GoesOn, 8},
    {"r3k3/8/8/8/8/8/8/1N2K3 w - - 0 1", GoesOn, 8},
    {"r3k3/8/8/8/8/8/8/2B1K3 w - - 0 1", GoesOn, 8},
    {"1n2k3/8/8/8/8/8/8/R3K3 w - - 0 1", GoesOn, 8},
    {"2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1", GoesOn, 8},
    {"2b1kb2/8/8/8/8/8/8/1N2K3 w - - 0 1", GoesOn, 4},
    {"2b1kb2/8/8/8/8/8/8/2B1K3 w - - 0 1", GoesOn, 4},
    {"2b1k3/8/8/8/8/8/8/2B1KB2 w - - 0 1", GoesOn, 4},
    {"1n2k3/8/8/8/8/8/8/2B1KB2 w - - 0 1", GoesOn, 4},
    {"1n2k1n1/8/8/8/8/8/8/1N2K1N1 w - - 0 1", GoesOn, 2},
    {"1nb1k3/8/8/8/8/8/8/1N2K3 w - - 0 1", GoesOn, 2},
    {"1n2k1n1/8/8/8/8/8/8/1N2K3 w - - 0 1", GoesOn, 2},
    {"1n2k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", GoesOn, 2},
    {"1n2k1n1/8/8/8/8/8/8/2B1K3 w - - 0 1", GoesOn, 2},
    {"2b1k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", GoesOn, 2},
    {"1nb1k3/8/8/8/8/8/8/2B1K3 w - - 0 1", GoesOn, 2},
    {"2b1k3/8/8/8/8/8/8/1NB1K3 w - - 0 1", GoesOn, 2},
    {"1n2k3/8/8/8/8/8/8/1NB1K3 w - - 0 1", GoesOn, 2},
    // Not in the table.
    {"4k3/8/8/8/8/8/4P3/1N2K3 w - - 0 1", GoesOn, FullScale},
    {"4k3/8/8/8/8/8/8/1NB1K3 w - - 0 1", GoesOn, FullScale},
    {"2r1k3/8/8/8/8/8/8/R3K3 w - - 0 1", GoesOn, FullScale},
    {"4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1", GoesOn, FullScale},
};

TEST_F(Endgame, SignatureTable) {
    for (const EndingCase& c : endingCases) {
        const Position position = fen(c.fen);
        int finalScore = GoesOn, scale = -1;
        const bool final = probeEndgame(position, finalScore, scale);
        EXPECT_EQ(final, c.finalScore != GoesOn) << c.fen;
        if (final)
            EXPECT_EQ(finalScore, c.finalScore) << c.fen;
        else
            EXPECT_EQ(scale, c.scale) << c.fen;
    }
}

TEST_F(Endgame, MateScoreGrowsTowardsTheCornerAndWithCloserKings) {
    auto mate = [](const std::string& text) {
        int finalScore = 0, scale = 0;
        EXPECT_TRUE(probeEndgame(fen(text), finalScore, scale)) << text;
        return finalScore;
    };
    EXPECT_EQ(mate("7k/8/8/4K3/8/8/8/R7 w - - 0 1"), 600);
    EXPECT_EQ(mate("7k/8/8/4K3/8/8/8/R7 b - - 0 1"), -600);
    EXPECT_GT(mate("7k/8/5K2/8/8/8/8/R7 w - - 0 1"), mate("7k/8/8/4K3/8/8/8/R7 w - - 0 1"));
    EXPECT_EQ(mate("8/8/6k1/8/8/3K4/8/R7 w - - 0 1"), 40 + 500 + 20);
    EXPECT_EQ(mateCorner[A1], 80);
    EXPECT_EQ(mateCorner[H8], 80);
    EXPECT_EQ(mateCorner[D4], 0);
    EXPECT_EQ(mateCorner[B7], 60);
    EXPECT_EQ(mateCorner[C6], 20);
}

TEST_F(Endgame, LoneMinorDrawFollowsTheBishopValue) {
    // With a bishop worth less than a knight, a lone knight is no longer
    // within the insufficient-material bound, and king and knight against
    // king is not in the table: the evaluation goes on.
    const EvalParams params = personality({{EvalParams::BishopValue, 300}});
    initEvalWeights(params, true);
    int finalScore = GoesOn, scale = -1;
    EXPECT_FALSE(probeEndgame(fen("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"), finalScore, scale));
    EXPECT_EQ(scale, FullScale);
    EXPECT_TRUE(probeEndgame(fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"), finalScore, scale));
    EXPECT_EQ(finalScore, 0);
}

TEST_F(Endgame, KpkScoreUsesThePawnsOwnRank) {
    int finalScore = 0, scale = 0;
    // White pawn e2 with the king in front: a win, 100 + 8 x 1.
    ASSERT_TRUE(probeEndgame(fen("4k3/8/8/8/8/4K3/4P3/8 w - - 0 1"), finalScore, scale));
    EXPECT_EQ(finalScore, 108);
    // Its mirror: black pawn e7, black to move.
    ASSERT_TRUE(probeEndgame(fen("8/4p3/4k3/8/8/8/8/4K3 b - - 0 1"), finalScore, scale));
    EXPECT_EQ(finalScore, 108);
    // A pawn on its last rank reads a draw entry inside the table.
    ASSERT_TRUE(probeEndgame(fen("P7/8/8/8/8/8/8/k3K3 w - - 0 1"), finalScore, scale));
    EXPECT_EQ(finalScore, 0);
    ASSERT_TRUE(probeEndgame(fen("k3K3/8/8/8/8/8/8/7p b - - 0 1"), finalScore, scale));
    EXPECT_EQ(finalScore, 0);
}

}  // namespace
