#pragma once
// The transposition table shared by every search thread, without locks.
//
// Entries are two 64-bit words, `check` = key XOR `data` and the packed
// `data`. A reader that meets an entry half-way through another thread's store
// (or words of two different stores) finds that check XOR data is not its key
// and treats the entry as absent, so no lock is needed. The words are relaxed
// atomics: on x86 a relaxed 64-bit load or store is one plain move, and the
// static_assert below refuses any build in which a 64-bit atomic would need a
// lock (the i386 builds use an SSE move for it), so every word is always read
// and written whole.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "board/types.h"

static_assert(std::atomic<uint64_t>::is_always_lock_free,
              "table entries must be written whole without a lock");

enum Bound : int { Exact = 0, Upper = 1, Lower = 2 };

// Probe results.
constexpr int ProbeExact = 0;
constexpr int ProbeFailLow = 1;
constexpr int ProbeFailHigh = 2;
constexpr int ProbeMiss = 3;

// Scores beyond this are mate scores, kept relative to the entry's position.
constexpr int TTMateThreshold = 31744;

struct TTEntry {
    std::atomic<uint64_t> check;
    std::atomic<uint64_t> data;
};
static_assert(sizeof(TTEntry) == 16, "four entries share one cache line");

// Packing of the data word: bound 0-1, depth 2-9, age 10-15, score 16-31
// (signed 16 bits), move 32-63.
constexpr uint64_t packEntry(Move move, int score, uint32_t age, uint32_t depth, int bound) {
    return uint64_t(move) << 32 |
           uint64_t((uint32_t(score) & 0xffff) << 16 | (age & 63) << 10 | (depth & 0xff) << 2 |
                    (uint32_t(bound) & 3));
}
constexpr int entryBound(uint64_t data) { return int(data & 3); }
constexpr uint32_t entryDepth(uint64_t data) { return uint32_t(data >> 2) & 0xff; }
constexpr uint32_t entryAge(uint64_t data) { return uint32_t(data >> 10) & 63; }
constexpr int entryScore(uint64_t data) { return int(int16_t(uint16_t(data >> 16))); }
constexpr Move entryMove(uint64_t data) { return Move(data >> 32); }

// Search scores count a mate from the root; the table counts it from the
// entry's own position, so an entry stays right wherever it is met again.
constexpr int scoreToTable(int score, int ply) {
    return score > TTMateThreshold ? score + ply : score < -TTMateThreshold ? score - ply : score;
}
constexpr int scoreFromTable(int score, int ply) {
    return score > TTMateThreshold ? score - ply : score < -TTMateThreshold ? score + ply : score;
}

struct TranspositionTable {
    TTEntry* entries = nullptr;  // 64-byte aligned view of memory
    void* memory = nullptr;      // as allocated
    uint32_t entryCount = 0;     // a power of two, at least 65536 once allocated
    uint32_t indexMask = 0;      // entryCount - 4: selects the first entry of a bucket
    uint32_t age = 0;            // current search number modulo 64

    TranspositionTable() = default;
    ~TranspositionTable() { release(); }
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    // Sizes the table to a power of two of megabytes. When that size cannot be
    // represented or allocated it is halved down to 1 MB; false (with the
    // out-of-memory messages) only when not even 1 MB could be had, and then
    // the table has no memory: probes miss and stores do nothing.
    bool resize(int megabytes);
    // resize with a given allocator (zero-filled memory that std::free
    // releases, null on failure), so that the fall-back path can be exercised.
    bool resizeWith(int megabytes, void* (*allocateZeroed)(size_t bytes));
    // The megabytes that the power-of-two rounding gives for a request.
    static uint64_t roundedMegabytes(int megabytes);
    // True when a table of that many megabytes can be addressed by a 32-bit
    // entry count and an allocation of at most sizeLimit bytes.
    static bool representable(uint64_t megabytes, uint64_t sizeLimit);
    // Age 0 and every entry zero.
    void clear();
    // Frees the memory; entry count and mask keep their values.
    void release();

    // ProbeExact, ProbeFailLow, ProbeFailHigh or ProbeMiss. The move is
    // written whenever the key has an entry, the score whenever that entry is
    // deep enough.
    int probe(Key key, int depth, int ply, int alpha, int beta, Move& move, int& score);
    void store(Key key, Move move, int score, int depth, int ply, Bound bound);

    // Size of the allocation behind `entryCount` entries (with the alignment
    // slack), the amount clear() zeroes.
    size_t allocationBytes() const { return size_t(entryCount) * sizeof(TTEntry) + 63; }
};

inline int TranspositionTable::probe(Key key, int depth, int ply, int alpha, int beta, Move& move,
                                     int& score) {
    if (entries == nullptr) return ProbeMiss;
    TTEntry* bucket = entries + (uint32_t(key) & indexMask);
    for (int i = 0; i < 4; i++) {
        TTEntry& entry = bucket[i];
        uint64_t data = entry.data.load(std::memory_order_relaxed);
        uint64_t check = entry.check.load(std::memory_order_relaxed);
        if ((check ^ data) != key) continue;

        move = entryMove(data);
        if (entryDepth(data) < uint32_t(depth)) return ProbeMiss;
        int s = scoreFromTable(entryScore(data), ply);
        score = s;
        int result;
        switch (entryBound(data)) {
            case Upper:
                if (s > alpha) return ProbeMiss;
                result = ProbeFailLow;
                break;
            case Exact:
                result = ProbeExact;
                break;
            case Lower:
                if (s < beta) return ProbeMiss;
                result = ProbeFailHigh;
                break;
            default:
                return ProbeMiss;
        }
        // An entry the current search relies on is protected from replacement.
        if (entryAge(data) != age) {
            uint64_t refreshed = (data & ~(uint64_t(63) << 10)) | uint64_t(age & 63) << 10;
            entry.data.store(refreshed, std::memory_order_relaxed);
            entry.check.store(key ^ refreshed, std::memory_order_relaxed);
        }
        return result;
    }
    return ProbeMiss;
}

inline void TranspositionTable::store(Key key, Move move, int score, int depth, int ply,
                                      Bound bound) {
    if (entries == nullptr) return;
    TTEntry* bucket = entries + (uint32_t(key) & indexMask);
    TTEntry* target = nullptr;
    uint32_t lowestWorth = ~0u;
    for (int i = 0; i < 4; i++) {
        TTEntry& entry = bucket[i];
        uint64_t data = entry.data.load(std::memory_order_relaxed);
        uint64_t check = entry.check.load(std::memory_order_relaxed);
        if ((check ^ data) == key || check == data) {
            target = &entry;
            break;
        }
        uint32_t worth = entryDepth(data) + (entryAge(data) == age ? 2048 : 0);
        if (worth < lowestWorth) {
            lowestWorth = worth;
            target = &entry;
        }
    }
    uint64_t data = packEntry(move, scoreToTable(score, ply), age, uint32_t(depth), bound);
    target->data.store(data, std::memory_order_relaxed);
    target->check.store(key ^ data, std::memory_order_relaxed);
}
