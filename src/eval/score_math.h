#pragma once
// The integer steps that turn the evaluation's sums into its score. Each
// division truncates toward zero (C++ `/`), products are taken in 64 bits
// before dividing, and no step is reordered: scores must agree to the
// centipawn with any other evaluation of the same rules.

#include <cstdint>

namespace scoremath {

// Phase of the initial position: all middle game.
constexpr int FullPhase = 24;
// Scales are in 32nds.
constexpr int FullScale = 32;

// Middle-game and end-game sums blended by phase. After promotions the phase
// may exceed 24, which makes the end-game weight negative.
constexpr int blendByPhase(int mid, int end, int phase) {
    return int((int64_t(end) * (FullPhase - phase) + int64_t(mid) * phase) / FullPhase);
}

constexpr int applyScale(int score, int scale) {
    return int(int64_t(score) * scale / FullScale);
}

// white x whiteFactor - black x blackFactor, in percent, one division.
constexpr int weightedDifference(int white, int black, int whiteFactor, int blackFactor) {
    return int((int64_t(white) * whiteFactor - int64_t(black) * blackFactor) / 100);
}

// The king-safety term of one king: the attacker's middle-game material
// times (shelter - attack penalty), over startMaterial. Zero when
// startMaterial is 0 (a personality with all piece values 0).
constexpr int64_t kingSafetyTerm(int attackerMid, int shelterMinusPenalty, int startMaterial) {
    return startMaterial == 0
               ? 0
               : int64_t(attackerMid) * shelterMinusPenalty / startMaterial;
}

// term x percent / 100.
constexpr int64_t applyPercent(int64_t term, int percent) { return term * percent / 100; }

// Deterministic noise of a position, -100..99, from its unsigned key.
constexpr int noiseOf(uint64_t key) { return int(key % 200) - 100; }

// percent % of noise mixed into the score, one division.
constexpr int mixNoise(int score, int noise, int percent) {
    return int((int64_t(percent) * noise + int64_t(100 - percent) * score) / 100);
}

}  // namespace scoremath
