#pragma once
// Inline attack test for the hottest callers (legality after make, castling
// paths, perft leaves); Position::isAttacked is the out-of-line form.

#include "board/attacks.h"
#include "board/position.h"

// True when a piece of colour `by` attacks `square` with the full occupancy.
// Cheapest tests first: most squares are not attacked, so every test runs.
inline bool squareAttackedBy(const Position& pos, int square, int by) {
    using namespace AttackTables;
    const Bitboard* own = pos.pieces[by];
    return (pawnAttacks[by ^ 1][square] & own[Pawn]) || (knightAttacks[square] & own[Knight]) ||
           (bishopAttacks(square, pos.occupied) & (own[Bishop] | own[Queen])) ||
           (rookAttacks(square, pos.occupied) & (own[Rook] | own[Queen])) ||
           (kingAttacks[square] & own[King]);
}

// The same test for the king of `color`, with the pieces of the other side.
inline bool kingAttacked(const Position& pos, int color) {
    return squareAttackedBy(pos, pos.kingSquare[color], color ^ 1);
}
