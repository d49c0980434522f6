#pragma once
// Which limit ends a search, and whether (and why) a running search must end.

#include <atomic>
#include <cstdint>

enum LimitMode : int {
    Depth = 0,     // iteration depthLimit complete
    Nodes = 1,     // the threads' node counters together reach nodeLimit
    MoveTime = 2,  // moveTime microseconds passed
    Clock = 3,     // the budget from the clock passed (or an end-of-iteration rule)
    Infinite = 4,  // only a stop from outside ends it
};

// Several limits at once, one bit per LimitMode: a search given more than
// one ends at the first it reaches. Infinite is never in a set; it is the
// absence of every limit.
using LimitSet = uint32_t;
constexpr LimitSet limitBit(LimitMode mode) { return LimitSet(1) << mode; }

// Any value other than Running makes every search thread unwind at its next
// node. Value 4 is not used.
enum StopState : int {
    Running = 0,
    Stopped = 1,
    PonderStopped = 2,
    Aborted = 3,
    PonderFinished = 5,
};

static_assert(std::atomic<StopState>::is_always_lock_free, "the stop state is one whole word");
