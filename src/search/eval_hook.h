#pragma once
// The search's form of the static evaluation: the pawn hash is that of the
// thread that owns the position, so every thread fills only its own table.

#include "board/position.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "search/thread_pool.h"

inline int evaluate(const EvalParams& params, const Position& position, int alpha, int beta) {
    return evaluate(params, position, position.owner->pawnHash, alpha, beta);
}
