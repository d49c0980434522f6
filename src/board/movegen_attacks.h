#pragma once
// Inline attack test for the hottest callers (legality after make, castling
// paths, perft leaves); Position::isAttacked is the out-of-line form.

#include "board/attacks.h"
#include "board/position.h"

namespace movegen {

// The rank and file, and the two diagonals, through each square (the square
// itself left out): where a rook or a bishop must stand to have any chance
// of reaching it. Built at compile time, so the test below reads one word
// for each instead of combining two masks.
struct SliderLines {
    Bitboard orthogonal[64];
    Bitboard diagonal[64];
    constexpr SliderLines() : orthogonal(), diagonal() {
        for (int square = 0; square < 64; square++) {
            for (int other = 0; other < 64; other++) {
                if (other == square) continue;
                const int fileDistance = fileOf(other) - fileOf(square);
                const int rankDistance = rankOf(other) - rankOf(square);
                if (fileDistance == 0 || rankDistance == 0)
                    orthogonal[square] |= Bitboard(1) << other;
                else if (fileDistance == rankDistance || fileDistance == -rankDistance)
                    diagonal[square] |= Bitboard(1) << other;
            }
        }
    }
};
inline constexpr SliderLines sliderLines{};

}  // namespace movegen

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
    const Bitboard diagonal = (own[Bishop] | own[Queen]) & movegen::sliderLines.diagonal[square];
    const Bitboard line = (own[Rook] | own[Queen]) & movegen::sliderLines.orthogonal[square];
    if (__builtin_expect(!(diagonal | line), 1))
        return false;
    return (diagonal && (bishopAttacks(square, pos.occupied) & diagonal)) ||
           (line && (rookAttacks(square, pos.occupied) & line));
}

// The same test for the king of `color`, with the pieces of the other side.
inline bool kingAttacked(const Position& pos, int color) {
    return squareAttackedBy(pos, pos.kingSquare[color], color ^ 1);
}
