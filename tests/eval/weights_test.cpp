#include <gtest/gtest.h>

#include "board/types.h"
#include "eval/eval_params.h"
#include "eval/weights.h"

namespace {

class BuiltInWeights : public testing::Test {
protected:
    void SetUp() override { initEvalWeights(EvalParams{}, false); }
    void TearDown() override { initEvalWeights(EvalParams{}, false); }
};

TEST_F(BuiltInWeights, PieceValuesAndStartMaterial) {
    const int pieces[8] = {0, 100, 325, 325, 500, 975, 0, 0};
    const int exchange[8] = {0, 100, 325, 325, 500, 975, 5000, 0};
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(pieceValue[t], pieces[t]) << "type " << t;
        EXPECT_EQ(seeValue[t], exchange[t]) << "type " << t;
    }
    EXPECT_EQ(startMaterial, 4075);
}

TEST_F(BuiltInWeights, ScalarAndRankTables) {
    const int scalars[] = {bishopPairMid,   bishopPairEnd,      pawnDoubledMid,      pawnDoubledEnd,
                           pawnIsolatedMid, pawnIsolatedEnd,    pawnBackwardMid,     pawnBackwardEnd,
                           rookOpenFileMid, rookOpenFileEnd,    rookHalfOpenFileMid, rookHalfOpenFileEnd,
                           rookSeventhMid,  rookSeventhEnd,     rookTrapped,         bishopTrapped,
                           knightTrapped,   blockedCentrePawn,  tempoMid,            tempoEnd,
                           noPawnsPenalty};
    const int expected[] = {50, 50, 10, 20, 10, 15, 15, 15, 30, 10, 20, 10, 10, 30, 50, 100, 100, 20, 5, 5, 50};
    ASSERT_EQ(sizeof scalars, sizeof expected);
    for (size_t i = 0; i < sizeof scalars / sizeof scalars[0]; ++i) EXPECT_EQ(scalars[i], expected[i]) << i;

    const int passedMid[8] = {0, 0, 0, 10, 21, 45, 95, 0};
    const int passedEnd[8] = {0, 10, 10, 21, 43, 90, 191, 0};
    const int shelter[8] = {50, 0, 10, 20, 30, 30, 30, 50};
    const int proximity[8] = {0, 0, 25, 20, 15, 10, 5, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(passedPawnMid[i], passedMid[i]);
        EXPECT_EQ(passedPawnEnd[i], passedEnd[i]);
        EXPECT_EQ(kingShelter[i], shelter[i]);
        EXPECT_EQ(kingProximity[i], proximity[i]);
    }
    EXPECT_EQ(kingAttackPenalty[0], 0);
    EXPECT_EQ(kingAttackPenalty[12], 113);
    EXPECT_EQ(kingAttackPenalty[31], 933);
}

struct PstCase {
    const char* what;
    const int (*table)[64];
    int row;
    int square;
    int value;
};

TEST_F(BuiltInWeights, PieceSquareTablesByRankMirror) {
    const PstCase cases[] = {
        {"white king g1 mid", pstMid, 8 + King, G1, 32},
        {"white king e1 mid", pstMid, 8 + King, E1, 0},
        {"black king g8 mid", pstMid, King, G8, 32},
        {"white king e2 mid", pstMid, 8 + King, E2, -16},
        {"white king e4 mid", pstMid, 8 + King, E4, -32},
        {"white pawn d4 mid", pstMid, 8 + Pawn, D4, 20},
        {"black pawn d5 mid", pstMid, Pawn, D5, 20},
        {"white pawn a3 mid", pstMid, 8 + Pawn, A3, -2},
        {"white pawn d5 mid", pstMid, 8 + Pawn, D5, 10},
        {"black bishop b7 mid", pstMid, Bishop, B7, 8},
        {"white bishop b2 mid", pstMid, 8 + Bishop, B2, 8},
        {"black bishop b2 mid", pstMid, Bishop, B2, 0},
        {"white knight c3 mid", pstMid, 8 + Knight, C3, 8},
        {"white knight a1 mid", pstMid, 8 + Knight, A1, -40},
        {"white rook a5 mid", pstMid, 8 + Rook, A5, -4},
        {"white knight d4 end", pstEnd, 8 + Knight, D4, 8},
        {"white bishop d3 end", pstEnd, 8 + Bishop, D3, 4},
        {"white queen d4 end", pstEnd, 8 + Queen, D4, 16},
        {"white queen c3 end", pstEnd, 8 + Queen, C3, 10},
        {"white king d5 end", pstEnd, 8 + King, D5, 32},
        {"white king a1 end", pstEnd, 8 + King, A1, -50},
    };
    for (const PstCase& c : cases) EXPECT_EQ(c.table[c.row][c.square], c.value) << c.what;

    for (int s = 0; s < 64; ++s) {
        EXPECT_EQ(pstEnd[8 + Pawn][s], 0) << s;
        EXPECT_EQ(pstEnd[Rook][s], 0) << s;
        EXPECT_EQ(pstMid[Queen][s], 0) << s;
        for (int row : {0, 7, 8, 15}) {
            EXPECT_EQ(pstMid[row][s], 0);
            EXPECT_EQ(pstEnd[row][s], 0);
        }
        // Knights and bishops share their end-game table.
        EXPECT_EQ(pstEnd[Knight][s], pstEnd[Bishop][s]);
        for (int t = 0; t < 8; ++t) {
            EXPECT_EQ(pstMid[8 + t][s], pstMid[t][s ^ 56]);
            EXPECT_EQ(pstEnd[8 + t][s], pstEnd[t][s ^ 56]);
        }
    }
}

TEST_F(BuiltInWeights, MobilityTablesFollowTheSlopes) {
    const int knightMid[9] = {0, 6, 12, 18, 24, 30, 36, 42, 48};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(knightMobilityMid[k], knightMid[k]);
        EXPECT_EQ(knightMobilityEnd[k], 5 * k);
    }
    for (int k = 0; k < 14; ++k) {
        EXPECT_EQ(bishopMobilityMid[k], 6 * k);
        EXPECT_EQ(bishopMobilityEnd[k], 5 * k);
    }
    for (int k = 0; k < 15; ++k) {
        EXPECT_EQ(rookMobilityMid[k], 4 * k);
        EXPECT_EQ(rookMobilityEnd[k], 5 * k);
    }
    for (int k = 0; k < 28; ++k) {
        EXPECT_EQ(queenMobilityMid[k], 2 * k);
        EXPECT_EQ(queenMobilityEnd[k], 3 * k);
    }
    EXPECT_EQ(rookMobilityEnd[14], 70);
    EXPECT_EQ(queenMobilityEnd[27], 81);
}

TEST_F(BuiltInWeights, MobilityDivisionTruncatesTowardZero) {
    mobilityWeightMid[Knight] = 5;   // 5k / 8
    mobilityWeightEnd[Knight] = -5;  // -5k / 8: -0.625 truncates to 0, not -1
    mobilityOffset[Knight] = 1;
    initEvalTables();
    EXPECT_EQ(knightMobilityMid[1], -1);  // 0 - 1
    EXPECT_EQ(knightMobilityMid[2], 0);   // 1 - 1
    EXPECT_EQ(knightMobilityEnd[1], -1);  // 0 - 1
    EXPECT_EQ(knightMobilityEnd[2], -2);  // -1 - 1
    EXPECT_EQ(knightMobilityEnd[8], -6);  // -5 - 1
}

TEST_F(BuiltInWeights, KnightOutposts) {
    EXPECT_EQ(knightOutpost[White][D6], 32);
    EXPECT_EQ(knightOutpost[Black][D3], 32);
    EXPECT_EQ(knightOutpost[White][D3], 0);
    EXPECT_EQ(knightOutpost[Black][B5], 8);
    EXPECT_EQ(knightOutpost[White][B4], 8);
    EXPECT_EQ(knightOutpost[White][C6], 16);
    EXPECT_EQ(knightOutpost[White][B6], 0);
    EXPECT_EQ(knightOutpost[Black][A4], 0);
    for (int s = 0; s < 64; ++s) EXPECT_EQ(knightOutpost[White][s], knightOutpost[Black][s ^ 56]);
}

TEST_F(BuiltInWeights, OutpostsAreMirroredFromTheQueenSideOfTheBlackRow) {
    knightOutpost[Black][B4] = 99;  // queen side: copied to g4, then to white b5 and g5
    knightOutpost[Black][G3] = 77;  // king side: overwritten from b3
    initEvalTables();
    EXPECT_EQ(knightOutpost[Black][G4], 99);
    EXPECT_EQ(knightOutpost[White][B5], 99);
    EXPECT_EQ(knightOutpost[White][G5], 99);
    EXPECT_EQ(knightOutpost[Black][G3], knightOutpost[Black][B3]);
    EXPECT_EQ(knightOutpost[Black][G3], 0);
}

TEST_F(BuiltInWeights, GenerationAdvancesWheneverTablesAreRebuilt) {
    const uint32_t before = evalWeightsGeneration();
    initEvalTables();
    EXPECT_NE(evalWeightsGeneration(), before);
    const uint32_t afterTables = evalWeightsGeneration();
    initEvalWeights(EvalParams{}, false);
    EXPECT_NE(evalWeightsGeneration(), afterTables);
}

}  // namespace
