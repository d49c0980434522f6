#pragma once
// Inline attack test for the hottest callers (legality after make, castling
// paths, perft leaves); Position::isAttacked is the out-of-line form.

#include "board/attacks.h"
#include "board/position.h"

// True when a piece of colour `by` attacks `square` with the full occupancy.
// Most squares asked about (the mover's king after each move) are not
// attacked, so the leaper tests are joined without branches, and a slider
// lookup is made only when a slider of that kind stands on one of the
// square's lines at all.
inline bool squareAttackedBy(const Position& pos, int square, int by) {
    using namespace AttackTables;
    const Bitboard* own = pos.pieces[by];
    if ((pawnAttacks[by ^ 1][square] & own[Pawn]) | (knightAttacks[square] & own[Knight]) |
        (kingAttacks[square] & own[King]))
        return true;
    const Bitboard diagonal = own[Bishop] | own[Queen];
    const Bitboard line = own[Rook] | own[Queen];
    if ((diagonal & (diagonalA1H8[square] | diagonalH1A8[square])) &&
        (bishopAttacks(square, pos.occupied) & diagonal))
        return true;
    return (line & (fileMask[fileOf(square)] | rankMask[rankOf(square)])) &&
           (rookAttacks(square, pos.occupied) & line);
}

// The same test for the king of `color`, with the pieces of the other side.
inline bool kingAttacked(const Position& pos, int color) {
    return squareAttackedBy(pos, pos.kingSquare[color], color ^ 1);
}
