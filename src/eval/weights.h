#pragma once
// Evaluation weights: process-wide globals written only between searches.

#include <cstdint>

extern int pieceValue[8];  // by piece type
extern int seeValue[8];    // exchange values, never changed by a personality
extern int startMaterial;  // one side's material in the initial position
