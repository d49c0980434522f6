#pragma once
// The rules by which the search skips, shortens or lengthens work, each a
// small predicate that the search calls at the point where it decides.
// Depths are in half plies; the margin tables are indexed by depth in plies.
// (The reduction and late-move-count tables are built at initialisation,
// search/reductions.h.)

#include <cstdint>

#include "board/types.h"
#include "search/reductions.h"
#include "search/scores.h"

constexpr int32_t futilityMargin[8] = {0, 100, 200, 300, 975, 975, 975, 975};
constexpr int32_t razorMargin[8] = {0, 200, 400, 600, 975, 975, 975, 975};

// Node-level pruning (razoring, static null move, futility) works near the
// leaves only.
constexpr int ShallowDepthLimit = 7;
// Late-move pruning reads lateMoveCount, which covers depths up to here.
constexpr int LateMovePruningDepthLimit = 31;
// Futility needs more than this much phase on the board (both sides).
constexpr int FutilityPhaseMinimum = 8;

// No captured piece and no promotion; castling counts as quiet.
constexpr bool isQuiet(Move move) {
    return moveCaptured(move) == NoPiece && movePromotion(move) == NoPiece;
}

// Razoring, the static null move and the null move skip a node's moves on a
// guess, which a PV node, a node in check, or a side to move with nothing but
// pawns (where zugzwang is common) cannot afford.
constexpr bool nodePruningAllowed(bool isPV, bool inCheck, int ownPhase) {
    return !isPV && !inCheck && ownPhase != 0;
}

// Razoring and the static null move trust the evaluation near the leaves
// only, and never against a mate score, which no evaluation can stand for.
constexpr bool shallowPruningAllowed(int depth, int beta) {
    return depth <= ShallowDepthLimit && !isMateScore(beta);
}

// Razoring: a node without a hash move whose evaluation is this far below
// beta asks quiescence whether it can reach even the lowered beta
// razorBeta(...); when the answer stays below, the node fails low with it.
constexpr bool razoringTried(int eval, int beta, int depth, Move hashMove) {
    return hashMove == NoMove && eval + razorMargin[depth / 2] < beta;
}
constexpr int razorBeta(int beta, int depth) { return beta - razorMargin[depth / 2]; }

// Static null move: an evaluation still at beta after the futility margin is
// given away fails high with what is left.
constexpr int staticNullMoveScore(int eval, int depth) { return eval - futilityMargin[depth / 2]; }
constexpr bool staticNullMoveCuts(int eval, int beta, int depth) {
    return staticNullMoveScore(eval, depth) >= beta;
}

// Null move: from two plies of depth, never twice in a row (the move before
// was a null move), and only while it is switched on.
constexpr bool nullMoveAllowed(int depth, Move previousMove, bool enabled) {
    return depth >= 4 && previousMove != NoMove && enabled;
}

// Depth left for the search below a null move: one ply for the move, three
// plies of reduction and one more for each full eight plies of depth.
constexpr int nullMoveDepth(int depth) { return depth - 2 - (6 + 2 * (depth / 16)); }

// Futility: near the leaves, outside PV nodes and check, with enough pieces
// on the board for the margin to hold, a quiet move that cannot lift the
// evaluation plus the margin above alpha is skipped.
constexpr bool futilityAllowed(int depth, bool isPV, bool inCheck, int totalPhase) {
    return depth <= ShallowDepthLimit && !isPV && !inCheck && totalPhase > FutilityPhaseMinimum;
}
constexpr int futilityValueOf(int eval, int depth) { return eval + futilityMargin[depth / 2]; }
// `movesBefore`: moves already taken at the node; the first is always searched.
constexpr bool futilityPrunes(bool futilityOn, int futilityValue, int alpha, int movesBefore,
                              Move move, int extension) {
    return extension == 0 && futilityOn && movesBefore > 0 && isQuiet(move) &&
           futilityValue <= alpha;
}

// Late-move pruning: outside PV nodes and check, an ordinary quiet move that
// comes after lateMoveCount moves at its depth is skipped.
inline bool lateMovePrunes(bool quietStage, bool inCheck, bool isPV, int depth, int movesBefore,
                           int extension) {
    return extension == 0 && quietStage && !inCheck && !isPV &&
           depth <= LateMovePruningDepthLimit && movesBefore > lateMoveCount[depth / 2];
}

// Late-move reductions, at a node where they are allowed (from three plies
// of depth, not in check, switched on): an ordinary quiet move after the
// first three, with no extension, is searched this many plies shallower
// first; one ply less at a PV node.
constexpr bool reductionsAllowed(int depth, bool inCheck, bool enabled) {
    return depth > 5 && !inCheck && enabled;
}
inline int lateMoveReduction(bool allowed, bool quietStage, int movesBefore, int extension,
                             int depth, bool isPV) {
    if (!(movesBefore > 2 && quietStage && allowed && extension == 0)) return 0;
    const int row = depth / 2 < 63 ? depth / 2 : 63;
    const int r = lmrTable[row][movesBefore < 63 ? movesBefore : 63];
    return isPV && r > 0 ? r - 1 : r;
}

// A check, or a pawn arriving on its seventh rank, is searched one ply deeper.
// The causes do not add up.
constexpr int extensionFor(Move move, bool givesCheck) {
    return givesCheck || (movePiece(move) == Pawn &&
                          (rankOf(moveTo(move)) == 6 || rankOf(moveTo(move)) == 1))
               ? 2
               : 0;
}

static_assert(nullMoveDepth(4) == -4 && nullMoveDepth(16) == 6 && nullMoveDepth(32) == 20,
              "null-move depth rule");
