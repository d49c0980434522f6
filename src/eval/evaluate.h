#pragma once
// The static evaluation: a score in centipawns from the side to move.

struct EvalParams;
struct Position;
struct PawnHashTable;

// Score of the position from the side to move. Far outside the window
// [alpha, beta] (material alone more than 325 beyond it) it answers with the
// material difference only; callers that want the full evaluation pass
// -32000 and 32000. `pawnHash` is the table of the thread that owns the
// position: the only memory written. Needs the attack tables and the weight
// globals initialised; never fails, allocates nothing.
int evaluate(const EvalParams& params, const Position& position, PawnHashTable& pawnHash,
             int alpha, int beta);
