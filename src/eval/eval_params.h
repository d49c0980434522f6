#pragma once
// The evaluation settings one engine holds: the values of the personality in
// force and the strength settings. Every search thread reads it through a
// pointer; it is written only between searches.

#include <cstdint>
#include <string>

struct EvalParams {
    // Positions in `values`, in the order a personality file is read.
    enum ValueIndex : int {
        PawnValue,
        KnightValue,
        BishopValue,
        RookValue,
        QueenValue,
        BishopPair,
        PawnDoubledMid,
        PawnDoubledEnd,
        PawnIsolatedMid,
        PawnIsolatedEnd,
        PawnBackwardMid,
        PawnBackwardEnd,
        RookOpenFileMid,
        RookOpenFileEnd,
        RookSemiOpenFileMid,
        RookSemiOpenFileEnd,
        Rook7thRankMid,
        Rook7thRankEnd,
        KingSafetyOwn,
        KingSafetyOpp,
        MobilityOwn,
        MobilityOpp,
        Randomness,
        ReduceSpeed,
        ValueCount
    };
    // Values 0 .. WeightValueCount - 1 are copied into the weight globals.
    static constexpr int WeightValueCount = 18;

    bool loaded;                 // a personality's values are in force
    int32_t values[ValueCount];  // one per personality key
    int32_t elo;                 // playing strength in Elo
    bool reducedStrength;        // strength below full: the evaluation adds noise
    int32_t ownColour;           // colour the engine searches for (1 white, 0 black)

    // Reads a personality file (key=value lines). On success stores all
    // values (sizes cut back by limitPersonalityValue), overlays the weight
    // globals with the first 18, sets loaded and
    // returns true. When the file cannot be read (an empty path included)
    // restores the built-in weights, clears loaded, keeps values and returns
    // false. Never touches elo, reducedStrength or ownColour. Rewrites the
    // weight globals, so it must not run while a search is in progress.
    bool loadPersonality(const std::string& path);
};

// Largest size of a weight (positions 0 .. WeightValueCount - 1) and of a
// percentage (king safety, mobility, randomness) that a personality file
// can set: beyond them the evaluation's int sums would overflow (the
// king-safety term divides by startMaterial, which mixed-sign piece values
// can bring down to 1). A larger value reads as the limit of its sign;
// ReduceSpeed is not limited here.
constexpr int32_t personalityWeightLimit = 5000;
constexpr int32_t personalityPercentLimit = 1000;

// The value a personality key gets for the number read from the file.
int32_t limitPersonalityValue(int index, int32_t value);

// Keys of a personality file by ValueIndex (case-sensitive), and the value a
// file that lacks a key gets. These defaults are not all equal to the
// built-in weights used without a personality.
extern const char* const personalityKeys[EvalParams::ValueCount];
extern const int32_t personalityDefaults[EvalParams::ValueCount];
