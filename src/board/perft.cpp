#include "board/perft.h"

#include <cstring>

#include "board/attacks.h"
#include "board/bitops.h"
#include "board/movegen_attacks.h"
#include "board/notation.h"
#include "board/position.h"

namespace {

// The pseudo-legal moves of a node: evasions in check, otherwise captures
// then quiet moves of the side to move.
int nodeMoves(const Position& position, ScoredMove* list, bool inCheck) {
    if (inCheck) return position.generateEvasions(list);
    int count;
    if (position.sideToMove == White) {
        count = position.generateCapturesWhite(list);
        count += position.generateQuietsWhite(list + count);
    } else {
        count = position.generateCapturesBlack(list);
        count += position.generateQuietsBlack(list + count);
    }
    return count;
}

int nodeMoves(const Position& position, ScoredMove* list) {
    return nodeMoves(position, list, kingAttacked(position, position.sideToMove));
}

// After makeMove: the side that moved left its king safe.
inline bool moverIsSafe(const Position& position) {
    return !kingAttacked(position, position.sideToMove ^ 1);
}

// The side to move's pieces that alone stand between its king and an enemy
// slider on the slider's line.
Bitboard pinnedPieces(const Position& position) {
    using namespace AttackTables;
    const int us = position.sideToMove;
    const int king = position.kingSquare[us];
    const Bitboard* their = position.pieces[us ^ 1];
    Bitboard snipers = (movegen::sliderLines.orthogonal[king] & (their[Rook] | their[Queen])) |
                       (movegen::sliderLines.diagonal[king] & (their[Bishop] | their[Queen]));
    Bitboard pinned = 0;
    while (snipers) {
        const Bitboard blockers = between[king][popLowest(snipers)] & position.occupied;
        if (blockers && !(blockers & (blockers - 1))) pinned |= blockers;
    }
    return pinned & position.byColor[us];
}

// Every leaf is made and tested. Out of check, a move can expose its own
// king only by moving the king, by moving a pinned piece, or by taking en
// passant (which empties two squares), so only those pay for the full attack
// test after make; in check every move does. The mover is a template
// parameter so that make and unmake address its tables at fixed offsets.
// A count asked to stop returns what it has, and every level above it, which
// looks at the flag once per child of three plies or more, stops too.
inline bool askedToStop(int depth, const std::atomic<bool>& stop) {
    return depth > 2 && stop.load(std::memory_order_relaxed);
}

template <int Us>
uint64_t leavesAs(Position& position, int depth, const std::atomic<bool>& stop) {
    ScoredMove list[MaxMoves];
    const bool inCheck = kingAttacked(position, Us);
    int count;
    if (inCheck) {
        count = position.generateEvasions(list);
    } else if (Us == White) {
        count = position.generateCapturesWhite(list);
        count += position.generateQuietsWhite(list + count);
    } else {
        count = position.generateCapturesBlack(list);
        count += position.generateQuietsBlack(list + count);
    }
    // Origins whose moves take the full test: the king's and the pinned
    // pieces' (every origin in check).
    const Bitboard suspects =
        inCheck ? ~Bitboard(0) : pinnedPieces(position) | AttackTables::squareBit[position.kingSquare[Us]];
    uint64_t total = 0;
    UndoRecord undo;
    for (int i = 0; i < count; i++) {
        const Move move = list[i].move;
        moveupdate::makeMoveAs<Us>(position, move, undo);
        const bool suspect = (suspects & AttackTables::squareBit[moveFrom(move)]) || isEnPassant(move);
        if (!suspect || !kingAttacked(position, Us))
            total += depth <= 1 ? 1 : leavesAs<Us ^ 1>(position, depth - 1, stop);
        moveupdate::unmakeMoveAs<Us>(position, move, undo);
        if (askedToStop(depth, stop)) break;
    }
    return total;
}

uint64_t leaves(Position& position, int depth, const std::atomic<bool>& stop) {
    return position.sideToMove == White ? leavesAs<White>(position, depth, stop)
                                        : leavesAs<Black>(position, depth, stop);
}

}  // namespace

void PerftRunner::perft(int depth) { nodes += countLeaves(depth); }

uint64_t PerftRunner::countLeaves(int depth) {
    return leaves(*position, depth < 1 ? 1 : depth, stopRequested);
}

namespace {

// The last ply of a detailed count: every legal move is counted by kind, and
// a move that gives check is tested for mate.
void detailedLeaves(PerftRunner& runner, Position& position, int depth) {
    ScoredMove list[MaxMoves];
    const int count = nodeMoves(position, list);
    UndoRecord undo;
    for (int i = 0; i < count; i++) {
        const Move move = list[i].move;
        position.makeMove(move, undo);
        if (moverIsSafe(position)) {
            if (depth > 1) {
                detailedLeaves(runner, position, depth - 1);
            } else {
                runner.nodes++;
                if (moveCaptured(move)) runner.captures++;
                if (isEnPassant(move)) runner.enPassant++;
                if (movePromotion(move)) runner.promotions++;
                if (isCastling(move)) runner.castles++;
                if (position.inCheck()) {
                    runner.checks++;
                    ScoredMove evasions[MaxMoves];
                    const int evasionCount = position.generateEvasions(evasions);
                    bool escape = false;
                    UndoRecord reply;
                    for (int k = 0; k < evasionCount && !escape; k++) {
                        position.makeMove(evasions[k].move, reply);
                        escape = moverIsSafe(position);
                        position.unmakeMove(evasions[k].move, reply);
                    }
                    if (!escape) runner.mates++;
                }
            }
        }
        position.unmakeMove(move, undo);
        if (askedToStop(depth, runner.stopRequested)) break;
    }
}

}  // namespace

void PerftRunner::perftDetailed(int depth) { detailedLeaves(*this, *position, depth < 1 ? 1 : depth); }

void PerftRunner::divideRootMoves(int depth) {
    Position& board = *position;
    ScoredMove list[MaxMoves];
    const int count = board.generateMoves(list, board.inCheck());
    int k = 0;
    UndoRecord undo;
    for (int i = 0; i < count && k < DivideEntryCount; i++) {
        const Move move = list[i].move;
        board.makeMove(move, undo);
        if (moverIsSafe(board)) {
            DivideEntry& entry = divideEntries[k++];
            entry.count = depth < 2 ? 1 : leaves(board, depth - 1, stopRequested);
            formatMoveLong(move, entry.text);
        }
        board.unmakeMove(move, undo);
        if (stopped()) break;
    }
    divideCount = k;
}

void PerftRunner::allocateDivideEntries() {
    freeDivideEntries();
    divideEntries = new DivideEntry[DivideEntryCount];
    std::memset(divideEntries, 0, sizeof(DivideEntry) * DivideEntryCount);
    divideCount = 0;
}

void PerftRunner::freeDivideEntries() {
    delete[] divideEntries;
    divideEntries = nullptr;
}
