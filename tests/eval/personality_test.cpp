#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "board/types.h"
#include "eval/eval_params.h"
#include "eval/weights.h"
#include "foundation/log.h"

namespace {

std::string tempPath(const char* name) {
    return testing::TempDir() + "vorlix_personality_" + std::to_string(getpid()) + "_" + name;
}

class PersonalityFile : public testing::Test {
protected:
    EvalParams params{};
    std::string path = tempPath("test.ini");

    void write(const std::string& content) {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
    void SetUp() override {
        params.elo = 2700;
        initEvalWeights(params, false);
    }
    void TearDown() override {
        remove(path.c_str());
        initEvalWeights(EvalParams{}, false);
    }
};

TEST_F(PersonalityFile, FileWithoutKnownKeysPutsTheFileDefaultsInForce) {
    write("# nothing this loader knows\nSomethingElse=5\n");
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_TRUE(params.loaded);
    const int defaults[EvalParams::ValueCount] = {100, 325, 325, 500, 975, 50, 10, 10, 20, 20, 10, 10,
                                                  20,  20,  10,  10,  20,  20, 100, 100, 100, 100, 0, 0};
    for (int i = 0; i < EvalParams::ValueCount; ++i) EXPECT_EQ(params.values[i], defaults[i]) << i;

    // The file defaults differ from the built-in weights.
    EXPECT_EQ(pawnDoubledMid, 10);
    EXPECT_EQ(pawnDoubledEnd, 10);   // built-in 20
    EXPECT_EQ(pawnIsolatedMid, 20);  // built-in 10
    EXPECT_EQ(pawnIsolatedEnd, 20);  // built-in 15
    EXPECT_EQ(pawnBackwardMid, 10);  // built-in 15
    EXPECT_EQ(pawnBackwardEnd, 10);
    EXPECT_EQ(rookOpenFileMid, 20);  // built-in 30
    EXPECT_EQ(rookOpenFileEnd, 20);
    EXPECT_EQ(rookHalfOpenFileMid, 10);
    EXPECT_EQ(rookHalfOpenFileEnd, 10);
    EXPECT_EQ(rookSeventhMid, 20);
    EXPECT_EQ(rookSeventhEnd, 20);
    EXPECT_EQ(bishopPairMid, 50);
    EXPECT_EQ(bishopPairEnd, 50);
    EXPECT_EQ(startMaterial, 4075);
    // Weights without a key keep their built-in values.
    EXPECT_EQ(tempoMid, 5);
    EXPECT_EQ(knightTrapped, 100);
    EXPECT_EQ(queenMobilityEnd[27], 81);
    // The loader leaves the strength settings alone.
    EXPECT_EQ(params.elo, 2700);
    EXPECT_FALSE(params.reducedStrength);
}

TEST_F(PersonalityFile, PieceValuesReachStartMaterialButNotExchangeValues) {
    write("PawnValue=90\nQueenValue=1000\n");
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(pieceValue[Pawn], 90);
    EXPECT_EQ(pieceValue[Queen], 1000);
    EXPECT_EQ(startMaterial, 4020);
    EXPECT_EQ(pawnDoubledEnd, 10);
    EXPECT_EQ(rookOpenFileMid, 20);
    const int exchange[8] = {0, 100, 325, 325, 500, 975, 5000, 0};
    for (int t = 0; t < 8; ++t) EXPECT_EQ(seeValue[t], exchange[t]);
    EXPECT_EQ(pieceValue[King], 0);
}

TEST_F(PersonalityFile, EveryKeyLandsInItsWeight) {
    write("PawnValue=1\nKnightValue=2\nBishopValue=3\nRookValue=4\nQueenValue=5\nBishopPair=6\n"
          "PawnDoubledMid=7\nPawnDoubledEnd=8\nPawnIsolatedMid=9\nPawnIsolatedEnd=10\n"
          "PawnBackwardMid=11\nPawnBackwardEnd=12\nRookOpenFileMid=13\nRookOpenFileEnd=14\n"
          "RookSemiOpenFileMid=15\nRookSemiOpenFileEnd=16\nRook7thRankMid=17\nRook7thRankEnd=18\n"
          "KingSafetyOwn=19\nKingSafetyOpp=20\nMobilityOwn=21\nMobilityOpp=22\nRandomness=23\n"
          "ReduceSpeed=24\n");
    ASSERT_TRUE(params.loadPersonality(path));
    for (int i = 0; i < EvalParams::ValueCount; ++i) EXPECT_EQ(params.values[i], i + 1) << i;
    const int weights[] = {pieceValue[1],       pieceValue[2],       pieceValue[3],   pieceValue[4],
                           pieceValue[5],       bishopPairMid,       pawnDoubledMid,  pawnDoubledEnd,
                           pawnIsolatedMid,     pawnIsolatedEnd,     pawnBackwardMid, pawnBackwardEnd,
                           rookOpenFileMid,     rookOpenFileEnd,     rookHalfOpenFileMid,
                           rookHalfOpenFileEnd, rookSeventhMid,      rookSeventhEnd};
    for (int i = 0; i < EvalParams::WeightValueCount; ++i) EXPECT_EQ(weights[i], i + 1) << i;
    EXPECT_EQ(bishopPairEnd, 6);
    EXPECT_EQ(startMaterial, 8 * 1 + 2 * 2 + 2 * 3 + 2 * 4 + 5);
}

TEST_F(PersonalityFile, KeysAreCaseSensitiveAndExact) {
    write("queenvalue=900\nQUEENVALUE=901\nQueenValue =902\n QueenValue=903\nPawnValue=abc\n"
          "KnightValue=-30\nKnightValue=400\n");
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(pieceValue[Queen], 975);  // no exact match: the file default
    EXPECT_EQ(pieceValue[Pawn], 0);     // not a number reads as 0, taken as it is
    EXPECT_EQ(pieceValue[Knight], -30); // first entry wins, no range check
}

TEST_F(PersonalityFile, MissingFileFailsAndLeavesBuiltInWeights) {
    params.values[EvalParams::QueenValue] = 1234;
    EXPECT_FALSE(params.loadPersonality(tempPath("does_not_exist.ini")));
    EXPECT_FALSE(params.loaded);
    EXPECT_EQ(params.values[EvalParams::QueenValue], 1234);
    EXPECT_EQ(pieceValue[Queen], 975);
    EXPECT_EQ(pawnDoubledEnd, 20);
    EXPECT_EQ(startMaterial, 4075);
}

TEST_F(PersonalityFile, FailedLoadDropsTheEarlierPersonalityButKeepsItsValues) {
    write("QueenValue=900\nReduceSpeed=5000\n");
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(pieceValue[Queen], 900);
    EXPECT_EQ(startMaterial, 4000);

    EXPECT_FALSE(params.loadPersonality(""));
    EXPECT_FALSE(params.loaded);
    EXPECT_EQ(pieceValue[Queen], 975);
    EXPECT_EQ(startMaterial, 4075);
    EXPECT_EQ(pawnDoubledEnd, 20);
    EXPECT_EQ(params.values[EvalParams::QueenValue], 900);
    EXPECT_EQ(params.values[EvalParams::ReduceSpeed], 5000);
}

// A personality may zero every piece value; startMaterial then is 0 and the
// loader must neither reject the file nor divide by it.
TEST_F(PersonalityFile, ZeroPieceValuesGiveZeroStartMaterial) {
    write("PawnValue=0\nKnightValue=0\nBishopValue=0\nRookValue=0\nQueenValue=0\n");
    ASSERT_TRUE(params.loadPersonality(path));
    EXPECT_EQ(startMaterial, 0);
    for (int t = 0; t < 8; ++t) EXPECT_EQ(pieceValue[t], 0);
    initEvalTables();  // rebuilding on these weights is harmless too
    EXPECT_EQ(startMaterial, 0);
}

TEST_F(PersonalityFile, LoadingLogsThePathAndTheOverlay) {
    if (logger.file != nullptr || !logger.levels.empty()) GTEST_SKIP() << "global log in use";
    const std::string logPath = tempPath("log.txt");
    logger.textFormat = true;
    logger.appendStandardLevels(1u << LogInfo);
    ASSERT_TRUE(logger.openFile(logPath));
    write("QueenValue=900\n");
    EXPECT_TRUE(params.loadPersonality(path));
    EXPECT_FALSE(params.loadPersonality(""));
    logger.close();
    logger.levels.clear();
    logger.fileName.clear();
    logger.textFormat = false;

    std::ifstream in(logPath);
    std::stringstream text;
    text << in.rdbuf();
    remove(logPath.c_str());
    const std::string log = text.str();
    EXPECT_NE(log.find("load personality " + path + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("init personality\n"), std::string::npos) << log;
    // One load, one overlay: the failed load logs nothing.
    EXPECT_EQ(log.find("load personality", log.find("load personality") + 1), std::string::npos);
    EXPECT_EQ(log.find("init personality", log.find("init personality") + 1), std::string::npos);
}

}  // namespace
