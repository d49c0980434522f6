#pragma once
// Pieces of the root search driver (Engine::think) that stand on their own.

#include <cstdint>

// Microseconds allotted to one search under a clock: `clockMs` left on the
// mover's clock, `movesToGo` to the next time control (0 for the whole game),
// `incrementMs` per move, `searchCount` searches already made this game (the
// first ten get more time). The factors are the engine's single-precision
// constants; the products are taken in double precision and clamped, so a
// long clock cannot overflow, and the result always leaves a reserve of the
// larger of 50 ms and 5 % of the clock untouched.
int32_t clockBudget(float clockMs, int movesToGo, int incrementMs, int searchCount);
