#pragma once
// Perft: counts the leaves of the legal move tree of a position (the
// engine's game position), the standard check of move generation and
// make/unmake: the leaf count, the count split by the kind of the last move,
// and the count below each root move. The reports that print them are
// protocol/perft_reports.h.

#include <atomic>
#include <cstdint>

struct Position;
class Engine;  // the engine the tools reach through the runner

struct DivideEntry {
    uint64_t count;
    char text[16];  // the root move in long algebraic form
};

// More than the legal moves of any chess position.
constexpr int DivideEntryCount = 256;

// The deepest count the runner takes; its callers refuse deeper ones. The
// walk recurses once per ply with that ply's move lists in its frame (2 to
// 8 KB a ply by count and build), so a depth without a bound exhausts any
// stack. 128 plies, the longest line the search handles, take less than
// 1 MB in every build, the 32-bit and the address-sanitizer ones included:
// a quarter of the 4 MB stack of the threads that run the counts.
constexpr int MaxPerftDepth = 128;

struct PerftRunner {
    Engine* engine = nullptr;
    Position* position = nullptr;
    DivideEntry* divideEntries = nullptr;
    int32_t divideCount = 0;
    uint64_t nodes = 0;
    uint64_t captures = 0;
    uint64_t enPassant = 0;
    uint64_t promotions = 0;
    uint64_t castles = 0;
    uint64_t checks = 0;
    uint64_t mates = 0;
    // Set by another thread to end a count early (a command that a protocol
    // reads while the count holds its reading thread). Looked at once per
    // subtree of three plies or more, so a stop takes effect within
    // microseconds and costs the count nothing measurable. The owner of a
    // count clears it before the count starts.
    std::atomic<bool> stopRequested{false};

    PerftRunner() = default;
    ~PerftRunner() { freeDivideEntries(); }
    PerftRunner(const PerftRunner&) = delete;
    PerftRunner& operator=(const PerftRunner&) = delete;

    // Each count takes a depth of at most MaxPerftDepth. A count that
    // stopRequested ended early leaves a partial result behind, which is not
    // the tree's: its caller must not report it as a count (see stopped).
    // Adds the legal leaves at the depth to `nodes`. A depth below 1 counts
    // as 1: the walk always ends.
    void perft(int depth);
    // As perft, and counts the kinds of the last ply's moves.
    void perftDetailed(int depth);
    // The legal leaves at the depth; changes nothing else.
    uint64_t countLeaves(int depth);
    // Fills divideEntries (which must hold DivideEntryCount entries) with the
    // legal root moves and their leaf counts; depth below 2 counts each move
    // once.
    void divideRootMoves(int depth);

    // Whether the last count was ended early by stopRequested.
    bool stopped() const { return stopRequested.load(std::memory_order_relaxed); }

    void allocateDivideEntries();
    void freeDivideEntries();
};
