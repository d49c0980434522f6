#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "eval/endgame.h"
#include "eval/eval_test_support.h"
#include "eval/score_math.h"

namespace {

using namespace eval_test;

class Evaluation : public testing::Test {
protected:
    std::unique_ptr<PawnHashTable> pawnHash = newPawnHash();

    void SetUp() override {
        ensureTables();
        initEvalWeights(plainParams(), false);
    }
    void TearDown() override { initEvalWeights(plainParams(), false); }

    Position fen(const std::string& text) {
        Position position;
        EXPECT_TRUE(positionFromFen(text, position)) << text;
        return position;
    }
    // Like the engine before a search, drop pawn entries of earlier weights.
    int score(const EvalParams& params, const Position& position, int alpha = -Infinity,
              int beta = Infinity) {
        pawnHash->clearIfStale();
        return evaluate(params, position, *pawnHash, alpha, beta);
    }
    int score(const std::string& text, int alpha = -Infinity, int beta = Infinity) {
        return score(plainParams(), fen(text), alpha, beta);
    }
    // Score with a pawn hash that holds nothing for this formation.
    int freshScore(const EvalParams& params, const Position& position) {
        pawnHash->slot(position.pawnKey) = PawnHashEntry{};
        return score(params, position);
    }
};

struct ScoreCase {
    const char* what;
    const char* fen;
    int alpha, beta;
    int expected;
};

// Scores worked out by hand from the rules, built-in weights, full strength.
const ScoreCase scoreCases[] = {
    // Tempo is all that does not cancel.
    {"start position, white to move", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     -Infinity, Infinity, 5},
    {"start position, black to move", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1",
     -Infinity, Infinity, 5},
    // mateCorner[h8] 80 + rook 500 + kingProximity[3] 20.
    {"KRK, strong side to move", "7k/8/8/4K3/8/8/8/R7 w - - 0 1", -Infinity, Infinity, 600},
    {"KRK, defender to move", "7k/8/8/4K3/8/8/8/R7 b - - 0 1", -Infinity, Infinity, -600},
    // Black rook: mateCorner[h1] 80 + 500 + kingProximity[4] 15, white (the defender) to move.
    {"KRK, black rook", "r7/8/8/4k3/8/8/8/7K w - - 0 1", -Infinity, Infinity, -595},
    // 80 + queen 975 + 20.
    {"KQK", "7k/8/8/4K3/8/8/8/Q7 w - - 0 1", -Infinity, Infinity, 1075},
    // Pawn 100 + 8 x relative rank 6.
    {"KPK win", "8/P7/8/8/8/2K5/8/7k w - - 0 1", -Infinity, Infinity, 148},
    {"KPK win, black pawn, black to move", "7K/8/2k5/8/8/8/p7/8 b - - 0 1", -Infinity, Infinity,
     148},
    {"KPK win, h-file", "8/7P/8/8/8/5K2/8/k7 w - - 0 1", -Infinity, Infinity, 148},
    {"KPK win, defender to move", "4k3/8/3K4/3P4/8/8/8/8 b - - 0 1", -Infinity, Infinity, -132},
    {"KPK draw", "k7/8/8/8/8/8/P7/K7 w - - 0 1", -Infinity, Infinity, 0},
    {"KPK draw, defender to move", "k7/8/8/8/8/8/P7/K7 b - - 0 1", -Infinity, Infinity, 0},
    {"KNK", "4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", -Infinity, Infinity, 0},
    {"KBK", "4k3/8/8/8/8/8/8/2b1K3 w - - 0 1", -Infinity, Infinity, 0},
    {"bare kings", "4k3/8/8/8/8/8/8/4K3 b - - 0 1", -Infinity, Infinity, 0},
    {"KNNK", "4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", -Infinity, Infinity, 0},
    {"KBKN", "4k3/8/8/6n1/8/8/8/2B1K3 w - - 0 1", -Infinity, Infinity, 0},

    // Lazy exit: a queen up, material beyond the window by more than 325.
    {"lazy exit, queen up", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0, 10,
     975},
    {"lazy exit, queen down", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", 0, 10,
     -975},
    {"lazy exit at beta 649", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", -Infinity,
     649, 975},

    // Kings e1/e8, white pawns a2 a3. Material M = E = 200 - (0 - 50) + tempo 5 = 255; pawns
    // -32 / -50; passed a3: end 10 + (5 - 4 + 1); king safety -50 x -150 / 4075 = 1 and
    // 200 x -150 / 4075 = -7, so M += 8; king squares cancel. Phase 0: score = E = 217.
    {"doubled isolated a-pawns", "4k3/8/8/8/8/P7/P7/4K3 w - - 0 1", -Infinity, Infinity, 217},
    {"doubled isolated a-pawns, black to move", "4k3/8/8/8/8/P7/P7/4K3 b - - 0 1", -Infinity,
     Infinity, -207},
    // c4 passed, d3 backward against e5 (isolated): pawns -17 / 0; passed c4 10 + 5 / 21 + 10
    // + (4 - 3 + 1); E = 105 + 33 = 138.
    {"backward d3", "4k3/8/8/4p3/2P5/3P4/8/4K3 w - - 0 1", -Infinity, Infinity, 138},
    // c3 passed, d3 no longer backward: pawns -1 / 15; passed c3 0 / 10 + (5 - 2 + 1).
    {"d3 supported by c3", "4k3/8/8/4p3/8/2PP4/8/4K3 w - - 0 1", -Infinity, Infinity, 134},

    // K+R against K+B, scale 8. M 218, E 213 (rook a1: pst -4, open file 30/10, mobility
    // 10 squares 40/50; bishop c8: pst -8/-8, mobility 7 squares 42/35; king safety -10 and
    // -16). Phase 3: (213 x 21 + 218 x 3) / 24 = 213; 213 x 8 / 32 = 53.
    {"rook against bishop, scaled", "2b1k3/8/8/8/8/8/8/R3K3 w - - 0 1", -Infinity, Infinity, 53},
    // The colours exchanged, white to move: (-203 x 21 - 208 x 3) / 24 = -203 (not -204),
    // -203 x 8 / 32 = -50 (not -51): truncation toward zero at both steps.
    {"bishop against rook, scaled", "r3k3/8/8/8/8/8/8/2B1K3 w - - 0 1", -Infinity, Infinity, -50},
    {"bishop against rook, scaled, mirrored", "r3k3/8/8/8/8/8/8/2B1K3 b - - 0 1", -Infinity,
     Infinity, 53},

    // Middle game, phase 9. Material -550 + tempo 5; pawns +20 (e4). Knight d5: pst 4/8,
    // outpost 32, 7 squares (f6 covered by a pawn) 42/35. Rook d7: open file 30/10, seventh
    // 10/30, 7 squares 28/35. Rook b8: pst -2, open file 30/10, 12 squares 48/60. Queen a5:
    // pst end -2, 16 squares (d5 covered by a pawn) 32/48. King safety: the d7 rook hits f7
    // next to the black king, 3 units, 1225 x -8 / 4075 = -2. M = -485, E = -511;
    // (-511 x 15 - 485 x 9) / 24 = -501.
    {"middle game", "1r4k1/3R1ppp/8/q2N4/4P3/8/5PPP/6K1 w - - 0 1", -Infinity, Infinity, -501},

    // Pawns on the last ranks (white a8, black h1): no square in front, no pawn attacks; only
    // the king distances of the two passers, (4 - 7 + 1) - (3 - 7 + 1) = 1, and tempo.
    {"pawns on the last ranks", "P3k3/8/8/8/8/8/8/4K2p w - - 0 1", -Infinity, Infinity, 6},
    {"pawns on the last ranks, black to move", "P3k3/8/8/8/8/8/8/4K2p b - - 0 1", -Infinity,
     Infinity, 4},
};

TEST_F(Evaluation, HandWorkedScores) {
    for (const ScoreCase& c : scoreCases)
        EXPECT_EQ(score(c.fen, c.alpha, c.beta), c.expected) << c.what;
}

TEST_F(Evaluation, LazyExitOnlyBeyondTheMargin) {
    const std::string queenUp = "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    const int full = score(queenUp);
    EXPECT_NE(full, 975);
    EXPECT_EQ(score(queenUp, -Infinity, 650), full);  // 975 - 325 is not above 650
    EXPECT_EQ(score(queenUp, 1300, Infinity), full);  // 975 + 325 is not below 1300
    EXPECT_EQ(score(queenUp, 1301, Infinity), 975);
}

TEST(ScoreArithmetic, ExampleValues) {
    // Blend with M 50, E 101, phase 12: 75.5 truncated.
    EXPECT_EQ(scoremath::blendByPhase(50, 101, 12), 75);
    // Scale 8 of -75 is -18.75: toward zero.
    EXPECT_EQ(scoremath::applyScale(-75, 8), -18);
    // Phase 32 after promotions weighs the end game with -8.
    EXPECT_EQ(scoremath::blendByPhase(100, 30, 32), (30 * -8 + 100 * 32) / 24);
    EXPECT_EQ(scoremath::blendByPhase(-100, 30, 32), -143);
    // Mobility with factors 150 (own, white) and 100: one division each.
    EXPECT_EQ(scoremath::weightedDifference(31, 20, 150, 100), 26);
    EXPECT_EQ(scoremath::weightedDifference(20, 10, 150, 100), 20);
    EXPECT_EQ(scoremath::weightedDifference(-1, 0, 150, 100), -1);  // -1.5 toward zero
    // Noise from the unsigned key.
    EXPECT_EQ(scoremath::noiseOf(0), -100);
    EXPECT_EQ(scoremath::noiseOf(199), 99);
    EXPECT_EQ(scoremath::noiseOf(0xffffffffffffffffULL), int(0xffffffffffffffffULL % 200) - 100);
    EXPECT_EQ(scoremath::mixNoise(-31, 40, 50), 4);  // (40 x 50 - 31 x 50) / 100 = 4.5
    EXPECT_EQ(scoremath::mixNoise(31, -40, 50), -4);
}

TEST(ScoreArithmetic, KingSafetyWithoutStartMaterialOrOverflow) {
    // All piece values 0: no division by zero, the term is 0.
    EXPECT_EQ(scoremath::kingSafetyTerm(1234, -933, 0), 0);
    // 4,000,000 x -933 does not fit in 32 bits.
    EXPECT_EQ(scoremath::kingSafetyTerm(4000000, -933, 4075000), -915);
    EXPECT_EQ(scoremath::applyPercent(-915, 150), -1372);
}

TEST_F(Evaluation, ZeroPieceValuesScoreWithoutDividingByZero) {
    const EvalParams params = personality({{EvalParams::PawnValue, 0},
                                           {EvalParams::KnightValue, 0},
                                           {EvalParams::BishopValue, 0},
                                           {EvalParams::RookValue, 0},
                                           {EvalParams::QueenValue, 0}});
    initEvalWeights(params, true);
    ASSERT_EQ(startMaterial, 0);
    EXPECT_EQ(score(params, fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1")), 5);
    // A king under attack: everything but the king-safety term still counts, and
    // the position and its mirror agree.
    const Position attacked = fen("r1b2rk1/ppq2ppp/2n5/3Np1N1/8/5Q2/PPP2PPP/R3K2R w KQ - 0 1");
    EXPECT_EQ(score(params, attacked), score(params, mirrored(attacked)));
}

TEST_F(Evaluation, NoiseFollowsThePositionKey) {
    const Position position = fen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 1");
    Position blackToMove = position;
    blackToMove.sideToMove = Black;
    blackToMove.key ^= ZobristKeys::side;
    const int noise = scoremath::noiseOf(position.key);
    const int blackNoise = scoremath::noiseOf(blackToMove.key);

    // Randomness 100: the score is the noise itself, from the side to move.
    const EvalParams random = personality({{EvalParams::Randomness, 100}});
    initEvalWeights(random, true);
    EXPECT_EQ(score(random, position), noise);
    EXPECT_EQ(score(random, blackToMove), -blackNoise);

    // Randomness 0 with the same weights: no noise.
    const EvalParams calm = personality({});
    const int calmScore = score(calm, position);
    EvalParams calmReduced = calm;
    calmReduced.reducedStrength = true;
    calmReduced.elo = 1000;
    EXPECT_EQ(score(calmReduced, position), calmScore);  // the personality's randomness rules

    // Randomness 30: (30 n + 70 s) / 100.
    const EvalParams some = personality({{EvalParams::Randomness, 30}});
    EXPECT_EQ(score(some, position), (30 * noise + 70 * calmScore) / 100);

    // Reduced strength without a personality: 1000 Elo averages score and noise
    // (white's view, then negated for black to move); 2000 Elo adds none.
    initEvalWeights(plainParams(), false);
    const int plainWhite = score(plainParams(), position);
    const int plainBlack = -score(plainParams(), blackToMove);
    EvalParams weak = plainParams();
    weak.reducedStrength = true;
    weak.elo = 1000;
    EXPECT_EQ(score(weak, position), (noise * 50 + plainWhite * 50) / 100);
    EXPECT_EQ(score(weak, blackToMove), -((blackNoise * 50 + plainBlack * 50) / 100));
    EXPECT_EQ(score(weak, position), score(weak, position));
    weak.elo = 1500;  // w = 75
    EXPECT_EQ(score(weak, position), (noise * 25 + plainWhite * 75) / 100);
    weak.elo = 2000;
    EXPECT_EQ(score(weak, position), plainWhite);
}

TEST_F(Evaluation, PersonalityFactorsWeighOwnAndOtherColour) {
    // Factors of 100 leave the score of the same weights unchanged.
    const Position position = fen("r1b2rk1/ppq2ppp/2n5/3Np1N1/8/5Q2/PPP2PPP/R3K2R w KQ - 0 1");
    const EvalParams neutral = personality({});
    initEvalWeights(neutral, true);
    const int base = score(neutral, position);
    EvalParams asBlack = neutral;
    asBlack.ownColour = Black;
    EXPECT_EQ(score(asBlack, position), base);

    // Own and other factors swap roles with the engine's colour: doubling the
    // own mobility as white equals doubling the other side's as black.
    EvalParams ownWhite = personality({{EvalParams::MobilityOwn, 200}});
    EvalParams oppBlack = personality({{EvalParams::MobilityOpp, 200}});
    oppBlack.ownColour = Black;
    EXPECT_EQ(score(ownWhite, position), score(oppBlack, position));
    EXPECT_NE(score(ownWhite, position), base);
    EvalParams kingOwn = personality({{EvalParams::KingSafetyOwn, 0}});
    EvalParams kingOpp = personality({{EvalParams::KingSafetyOpp, 0}});
    kingOpp.ownColour = Black;
    EXPECT_EQ(score(kingOwn, position), score(kingOpp, position));
}

class EvaluationCorpus : public Evaluation {
protected:
    static const std::vector<Position>& positions() {
        static const std::vector<Position> all = corpus(6, 40);
        return all;
    }
};

TEST_F(EvaluationCorpus, MirroredPositionScoresTheSameForTheMirroredSide) {
    ASSERT_GT(positions().size(), 2000u);
    int failures = 0;
    for (const Position& position : positions()) {
        const int original = score(plainParams(), position);
        const int mirror = score(plainParams(), mirrored(position));
        if (original != mirror && ++failures <= 5) ADD_FAILURE() << original << " vs " << mirror;
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(EvaluationCorpus, CastlingEnPassantAndClocksDoNotChangeTheScore) {
    int failures = 0, withState = 0;
    for (const Position& position : positions()) {
        withState += position.castlingRights || position.epFile || position.halfmoveClock;
        if (score(plainParams(), position) != score(plainParams(), withoutStateFields(position)) &&
            ++failures <= 5)
            ADD_FAILURE() << "state fields change the score";
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(withState, 1000);
}

TEST_F(EvaluationCorpus, PawnHashGivesTheScoresOfAnEmptyHash) {
    // One table shared by the whole corpus against a slot emptied before each
    // call; formations whose keys share a slot evict each other on the way.
    auto shared = newPawnHash();
    std::map<uint64_t, int> firstKeyOfSlot;
    int collisions = 0, failures = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (const Position& position : positions()) {
            const int cached = evaluate(plainParams(), position, *shared, -Infinity, Infinity);
            if (cached != freshScore(plainParams(), position) && ++failures <= 5)
                ADD_FAILURE() << "pawn hash changes a score";
            if (pass == 0 && position.pawnKey) {
                auto inserted = firstKeyOfSlot.emplace(position.pawnKey & PawnHashMask, 0);
                collisions += !inserted.second && inserted.first->first != position.pawnKey;
            }
        }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(collisions, 0);  // the corpus really exercises eviction
    RecordProperty("collisions", collisions);
}

TEST_F(Evaluation, FormationsSharingASlotEvictEachOther) {
    const Position a = fen("4k3/8/8/4p3/2P5/3P4/8/4K3 w - - 0 1");
    const Position b = fen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 1");
    const int scoreA = freshScore(plainParams(), a), scoreB = freshScore(plainParams(), b);
    // Another formation with a's low 16 key bits, its own passers and scores.
    PawnHashEntry& slot = pawnHash->slot(a.pawnKey);
    slot = PawnHashEntry{a.pawnKey ^ (uint64_t(1) << 40), ~uint64_t(0), ~uint64_t(0), 999, -999};
    EXPECT_EQ(score(plainParams(), a), scoreA);
    EXPECT_EQ(slot.key, a.pawnKey);
    // And b's slot taken by a formation with a's scores under b's slot bits.
    PawnHashEntry& other = pawnHash->slot(b.pawnKey);
    other = pawnHash->slot(a.pawnKey);
    other.key = b.pawnKey ^ (uint64_t(1) << 63);
    EXPECT_EQ(score(plainParams(), b), scoreB);
    EXPECT_EQ(other.key, b.pawnKey);
    EXPECT_EQ(score(plainParams(), a), scoreA);
}

}  // namespace
