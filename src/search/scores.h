#pragma once
// Score bounds of the search: centipawns from the side to move; a side mated
// at ply p scores p - InfiniteScore.

constexpr int InfiniteScore = 32000;
constexpr int MateBound = 31743;  // scores beyond +-MateBound are mate scores

constexpr bool isMateScore(int score) { return score > MateBound || score < -MateBound; }
