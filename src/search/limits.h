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

// The limits of one search: every limit in the set applies and the first
// one reached ends the search. The empty set is Infinite, the absence of
// every limit, so no set holds Infinite together with a limit. Built from
// the modes alone: no other bits can get in.
class LimitSet {
public:
    constexpr LimitSet() = default;  // Infinite
    constexpr LimitSet(LimitMode mode) : bits(mode == Infinite ? 0u : 1u << mode) {}

    constexpr LimitSet operator|(LimitSet other) const { return LimitSet(bits | other.bits); }
    LimitSet& operator|=(LimitSet other) {
        bits |= other.bits;
        return *this;
    }
    constexpr LimitSet without(LimitMode mode) const {
        return LimitSet(bits & ~LimitSet(mode).bits);
    }
    // Infinite is held by the empty set only.
    constexpr bool has(LimitMode mode) const {
        return mode == Infinite ? bits == 0 : (bits >> mode & 1u) != 0;
    }
    constexpr bool operator==(LimitSet other) const { return bits == other.bits; }
    constexpr bool operator!=(LimitSet other) const { return bits != other.bits; }

private:
    constexpr explicit LimitSet(uint32_t value) : bits(value) {}
    uint32_t bits = 0;
};

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
