// Personality values large enough to overflow the evaluation's int sums are
// cut back to the largest size it can carry; the evaluation then stays
// defined (the sanitizer builds check that) on positions that load the
// king-safety and material terms to their limits.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "eval/eval_params.h"
#include "eval/eval_test_support.h"
#include "eval/weights.h"

namespace {

class PersonalityLimits : public testing::Test {
protected:
    std::string path = testing::TempDir() + "vorlix_personality_limits_" + std::to_string(getpid());

    void write(const std::string& content) {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
    void TearDown() override {
        remove(path.c_str());
        initEvalWeights(EvalParams{}, false);
    }
};

// The smallest file that overflowed the start-material sum.
TEST_F(PersonalityLimits, HugeQueenValueIsCutBackBeforeStartMaterialIsSummed) {
    write("QueenValue=99999999998\n");
    EvalParams params = eval_test::plainParams();
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(params.values[EvalParams::QueenValue], personalityWeightLimit);
    EXPECT_EQ(pieceValue[Queen], personalityWeightLimit);
    EXPECT_EQ(startMaterial, 8 * 100 + 2 * 325 + 2 * 325 + 2 * 500 + personalityWeightLimit);
}

TEST_F(PersonalityLimits, EachKindOfValueHasItsOwnLimitAndKeepsItsSign) {
    write("PawnValue=2147483647\nRookValue=-2147483648\nBishopPair=-5001\nRook7thRankEnd=5000\n"
          "KingSafetyOwn=1001\nMobilityOpp=-99999\nRandomness=-1000\nReduceSpeed=2000000000\n"
          "KnightValue=0\nPawnDoubledMid=-7\n");
    EvalParams params = eval_test::plainParams();
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(params.values[EvalParams::PawnValue], 5000);
    EXPECT_EQ(params.values[EvalParams::RookValue], -5000);
    EXPECT_EQ(params.values[EvalParams::BishopPair], -5000);
    EXPECT_EQ(params.values[EvalParams::Rook7thRankEnd], 5000);
    EXPECT_EQ(params.values[EvalParams::KingSafetyOwn], 1000);
    EXPECT_EQ(params.values[EvalParams::MobilityOpp], -1000);
    EXPECT_EQ(params.values[EvalParams::Randomness], -1000);
    EXPECT_EQ(params.values[EvalParams::ReduceSpeed], 2000000000);  // a speed, not a weight
    EXPECT_EQ(params.values[EvalParams::KnightValue], 0);           // zero and small negatives stay
    EXPECT_EQ(params.values[EvalParams::PawnDoubledMid], -7);
}

// Piece values of mixed signs that bring startMaterial down to 1 make the
// king-safety term as large as it gets; with every factor at its limit the
// score must still be an int the search can negate.
TEST_F(PersonalityLimits, ExtremePersonalitiesEvaluateWithinTheIntRange) {
    const char* files[] = {
        // 8 x 5000 + 2 x -5000 + 2 x -5000 + 2 x -4999 + -1 = 1
        "PawnValue=5000\nKnightValue=-5000\nBishopValue=-5000\nRookValue=-4999\nQueenValue=-1\n"
        "KingSafetyOwn=1000\nKingSafetyOpp=-1000\nMobilityOwn=1000\nMobilityOpp=-1000\nRandomness=1000\n",
        "PawnValue=-5000\nKnightValue=5000\nBishopValue=5000\nRookValue=4999\nQueenValue=1\n"
        "KingSafetyOwn=-1000\nKingSafetyOpp=1000\nMobilityOwn=-1000\nMobilityOpp=1000\nRandomness=-1000\n",
        "PawnValue=5000\nKnightValue=5000\nBishopValue=5000\nRookValue=5000\nQueenValue=5000\n"
        "BishopPair=5000\nRookOpenFileMid=5000\nRook7thRankMid=5000\nKingSafetyOwn=1000\n",
    };
    const char* positions[] = {
        "K7/8/qqqqqqqq/qqqqqqq1/8/8/8/7k w - - 0 1",
        "7K/8/8/8/QQQQQQQ1/QQQQQQQQ/8/k7 b - - 0 1",
        "1k6/1pp5/8/8/3RRRRR/3RRRRR/4QQQQ/6K1 b - - 0 1",
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    };
    eval_test::ensureTables();
    std::unique_ptr<PawnHashTable> pawnHash(new PawnHashTable());
    for (const char* content : files) {
        write(content);
        for (int colour : {White, Black}) {
            EvalParams params = eval_test::plainParams();
            params.ownColour = colour;
            ASSERT_TRUE(params.loadPersonality(path));
            pawnHash->clear();
            for (const char* fen : positions) {
                Position position;
                ASSERT_TRUE(eval_test::positionFromFen(fen, position)) << fen;
                const int score = evaluate(params, position, *pawnHash, -32000, 32000);
                EXPECT_GT(score, INT_MIN / 2) << fen;
                EXPECT_LT(score, INT_MAX / 2) << fen;
            }
        }
    }
}

}  // namespace
