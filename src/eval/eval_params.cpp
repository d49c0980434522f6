#include "eval/eval_params.h"

#include "eval/weights.h"
#include "foundation/config.h"
#include "foundation/log.h"

const char* const personalityKeys[EvalParams::ValueCount] = {
    "PawnValue",       "KnightValue",     "BishopValue",         "RookValue",
    "QueenValue",      "BishopPair",      "PawnDoubledMid",      "PawnDoubledEnd",
    "PawnIsolatedMid", "PawnIsolatedEnd", "PawnBackwardMid",     "PawnBackwardEnd",
    "RookOpenFileMid", "RookOpenFileEnd", "RookSemiOpenFileMid", "RookSemiOpenFileEnd",
    "Rook7thRankMid",  "Rook7thRankEnd",  "KingSafetyOwn",       "KingSafetyOpp",
    "MobilityOwn",     "MobilityOpp",     "Randomness",          "ReduceSpeed",
};

const int32_t personalityDefaults[EvalParams::ValueCount] = {
    100, 325, 325, 500, 975, 50,   // piece values, bishop pair
    10,  10,  20,  20,  10,  10,   // doubled, isolated, backward pawns
    20,  20,  10,  10,  20,  20,   // rook on open, half-open file, seventh rank
    100, 100, 100, 100, 0,   0,    // king safety, mobility, randomness, speed
};

int32_t limitPersonalityValue(int index, int32_t value) {
    // Zero and negative values are a personality's own business; only sizes
    // that would overflow the evaluation's integer sums are cut back.
    int32_t limit = 0;
    if (index < EvalParams::WeightValueCount)
        limit = personalityWeightLimit;
    else if (index <= EvalParams::Randomness)
        limit = personalityPercentLimit;
    else
        return value;
    return value > limit ? limit : value < -limit ? -limit : value;
}

bool EvalParams::loadPersonality(const std::string& path) {
    Config config(std::vector<std::string>(personalityKeys, personalityKeys + ValueCount));
    if (!config.readFile(path.c_str())) {
        // Dropping a personality is a load of an unreadable path: back to
        // the built-in weights, silently.
        initEvalWeights(*this, false);
        loaded = false;
        return false;
    }
    logger.log(LogInfo, "load personality %s", path.c_str());
    for (int i = 0; i < ValueCount; ++i)
        values[i] = limitPersonalityValue(i, config.getInt(personalityKeys[i], personalityDefaults[i]));
    initEvalWeights(*this, true);
    loaded = true;
    return true;
}
