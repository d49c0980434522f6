#pragma once
// The constant rules by which the search skips, shortens or lengthens work.
// Depths are in half plies; the margin tables are indexed by depth in plies.
// (The reduction and late-move-count tables are built at initialisation,
// search/reductions.h.)

#include <cstdint>

#include "board/types.h"

constexpr int32_t futilityMargin[8] = {0, 100, 200, 300, 975, 975, 975, 975};
constexpr int32_t razorMargin[8] = {0, 200, 400, 600, 975, 975, 975, 975};

// Node-level pruning (razoring, static null move, futility) works near the
// leaves only.
constexpr int ShallowDepthLimit = 7;
// Late-move pruning reads lateMoveCount, which covers depths up to here.
constexpr int LateMovePruningDepthLimit = 31;
// Futility needs more than this much phase on the board (both sides).
constexpr int FutilityPhaseMinimum = 8;

// Depth left for the search below a null move: one ply for the move, three
// plies of reduction and one more for each full eight plies of depth.
constexpr int nullMoveDepth(int depth) { return depth - 2 - (6 + 2 * (depth / 16)); }

// A check, or a pawn arriving on its seventh rank, is searched one ply deeper.
// The causes do not add up.
constexpr int extensionFor(Move move, bool givesCheck) {
    return givesCheck || (movePiece(move) == Pawn &&
                          (rankOf(moveTo(move)) == 6 || rankOf(moveTo(move)) == 1))
               ? 2
               : 0;
}

// No captured piece and no promotion; castling counts as quiet.
constexpr bool isQuiet(Move move) {
    return moveCaptured(move) == NoPiece && movePromotion(move) == NoPiece;
}

static_assert(nullMoveDepth(4) == -4 && nullMoveDepth(16) == 6 && nullMoveDepth(32) == 20,
              "null-move depth rule");
