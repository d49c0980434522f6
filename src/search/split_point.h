#pragma once
// A node whose remaining moves several threads search together
// (young brothers wait: a node is shared only after its first move is
// searched). The thread that split it (the master) and every thread it booked
// take moves from the node's one picker (or the root move list) under the
// split point's mutex, search each in a context of their own, and report
// improvements back here. A cut-off here stops every thread working here or
// below.
//
// Lock order: the pool mutex, then a split point's mutex, then a thread's own
// mutex. Words read without the mutex (cutoff, bestScore, slaveMask) are
// relaxed atomics, each read and written whole.

#include <atomic>
#include <cstdint>

#include "board/types.h"
#include "foundation/mutex.h"
#include "search/pv_line.h"

struct MovePicker;
struct Position;
struct SearchThread;

constexpr int MaxSplitPointsPerThread = 8;

// Three cache lines: the mutex; the node and the cut-off flag, read by every
// thread below at every node and written only by the split; the counts and
// scores, written at every move taken here.
struct alignas(64) SplitPoint {
    Mutex mutex;  // guards the fields below, the node's picker and the master's PV rows
    // The master's split point at the moment of the split (null when it worked
    // for none): the chain through which a cut-off above reaches every thread
    // below it.
    alignas(64) SplitPoint* parent = nullptr;
    SearchThread* master = nullptr;

    // The node, in the master's search context, which stays untouched while
    // the split point is active.
    const Position* position = nullptr;
    MovePicker* picker = nullptr;  // the node's picker, or the root move list
    const Key* keys = nullptr;     // repetition keys up to the node
    int32_t keyCount = 0;
    const Move* curMove = nullptr;  // moves of the path to the node
    int32_t* pvLength = nullptr;    // the master's PV table
    Move (*pv)[MaxPly] = nullptr;

    int32_t depth = 0;  // half plies
    int32_t ply = 0;    // 0 for a root split
    int32_t futilityValue = 0;
    int32_t alpha = 0;  // the node's alpha when it split
    int32_t beta = 0;
    bool pvNode = false;  // always set: moves here are searched as in a PV node
    bool inCheck = false;
    bool rootSplit = false;
    bool futilityOn = false;
    std::atomic<bool> cutoff{false};  // a move reached beta: everybody below stops

    alignas(64) int32_t moveCount = 0;  // moves taken so far (inner), next root index (root)
    uint64_t nodes = 0;     // nodes of the threads that left
    int32_t selDepth = 0;
    Move bestMove = NoMove;
    // The best score so far: the node's current alpha for every thread here.
    std::atomic<int32_t> bestScore{0};
    std::atomic<uint64_t> slaveMask{0};  // bits of the threads still working here, master included
    int32_t slaveCount = 0;

    SplitPoint() = default;
    SplitPoint(const SplitPoint&) = delete;
    SplitPoint& operator=(const SplitPoint&) = delete;

    // True when this split point or one above it was cut off.
    bool chainCutOff() const {
        for (const SplitPoint* s = this; s != nullptr; s = s->parent)
            if (s->cutoff.load(std::memory_order_relaxed)) return true;
        return false;
    }
};
