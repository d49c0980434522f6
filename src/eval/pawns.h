#pragma once
// Pawn structure and the per-thread pawn hash. The pawn-structure score
// depends on the pawns alone, so it is computed once per formation and kept,
// together with the passed-pawn sets, under the formation's pawn key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "board/position.h"
#include "board/types.h"
#include "foundation/kept_blocks.h"

// One formation: its full pawn key, the passed pawns of each colour that are
// not doubled, and the piece-square plus doubled/isolated/backward score,
// white minus black, for each game phase.
struct PawnHashEntry {
    uint64_t key;
    uint64_t blackPassed;
    uint64_t whitePassed;
    int32_t mid;
    int32_t end;
};
static_assert(sizeof(PawnHashEntry) == 32, "pawn hash entries are 32 bytes");

constexpr int PawnHashSize = 65536;
constexpr uint64_t PawnHashMask = PawnHashSize - 1;

// The pawn hash of one search thread: a fixed array embedded in the thread's
// record, never resized. A zero-filled table (as the thread record starts) is
// an empty one, since key 0 is never looked up.
struct PawnHashTable {
    std::array<PawnHashEntry, PawnHashSize> entries;
    // Weight generation (evalWeightsGeneration) the entries were computed
    // under; 0 in a zero-filled table.
    uint32_t weightsGeneration;

    PawnHashEntry& slot(uint64_t key) { return entries[key & PawnHashMask]; }

    // A table made on its own (the position reports keep one per
    // interpreter, made again with every session) keeps its storage for the
    // next one (foundation/kept_blocks.h).
    static void* operator new(size_t bytes) { return newKept<PawnHashTable>(bytes); }
    static void operator delete(void* table, size_t bytes) { deleteKept<PawnHashTable>(table, bytes); }

    // Empties every entry and adopts the current weight generation.
    void clear();

    // Entries hold scores computed from the weights of their time, and a
    // personality loaded or dropped since would leave them stale. The engine
    // calls this on every thread's table before each search: it clears the
    // table when the weights changed after it was filled, and returns whether
    // it did.
    bool clearIfStale();
};

// Scores a pawn formation from the current weights: the result carries the
// two passed sets and the mid/end scores; its key field is 0.
PawnHashEntry scorePawnStructure(Bitboard whitePawns, Bitboard blackPawns);

// Pawn-structure result for the position: from the table when the slot of the
// position's pawn key holds exactly that key, else computed and stored in
// that slot (always replacing). A position without pawns (pawn key 0) gives
// zero scores and empty sets and never touches the table.
inline PawnHashEntry probePawns(uint64_t pawnKey, Bitboard whitePawns, Bitboard blackPawns,
                                PawnHashTable& table) {
    if (pawnKey == 0) return PawnHashEntry{0, 0, 0, 0, 0};
    PawnHashEntry& entry = table.slot(pawnKey);
    if (entry.key == pawnKey) return entry;
    entry = scorePawnStructure(whitePawns, blackPawns);
    entry.key = pawnKey;
    return entry;
}

inline PawnHashEntry probePawns(const Position& position, PawnHashTable& table) {
    return probePawns(position.pawnKey, position.pieces[White][Pawn], position.pieces[Black][Pawn],
                      table);
}
