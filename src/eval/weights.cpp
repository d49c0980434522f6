#include "eval/weights.h"

// Statically initialised to the built-in values so that the board code can
// use them before the engine runs its weight initialisation.
int pieceValue[8] = {0, 100, 325, 325, 500, 975, 0, 0};
int seeValue[8] = {0, 100, 325, 325, 500, 975, 5000, 0};
int startMaterial = 4075;
