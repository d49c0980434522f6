#pragma once
// The writer every generator fills a caller-owned move list through.

#include <cassert>

#include "board/types.h"

// Writes consecutive move words into a list of MaxMoves entries; the score
// fields are left alone. Boards the engine accepts never come near the
// capacity, so release builds write unchecked; debug builds assert it.
class MoveSink {
public:
    explicit MoveSink(ScoredMove* list) : first_(list), next_(list) {}

    void add(Move move) {
        assert(next_ - first_ < MaxMoves && "move list capacity exceeded");
        next_->move = move;
        ++next_;
    }

    int count() const { return int(next_ - first_); }

private:
    ScoredMove* first_;
    ScoredMove* next_;
};
