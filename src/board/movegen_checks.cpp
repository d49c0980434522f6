// Quiet moves that give check, for the first ply of the quiescence search.
// Worked outward from the enemy king: first the moves that uncover a line
// piece, then pieces landing on a checking square, then pawn pushes that
// attack the king. No capture, promotion or castling is listed.

#include "board/movegen_common.h"

namespace movegen {
namespace {

// Every move of the lone blocker on `square` that leaves the line: all of
// them uncover the check, so they are listed even onto attacked squares.
template <int Us>
inline void addDiscoveries(const Position& pos, int square, Bitboard offLine, MoveSink& out) {
    using namespace AttackTables;
    using G = PawnGeometry<Us>;
    const int type = pos.board[square];
    const Move base = Move(square) | Move(type) << 12;
    switch (type) {
    case Pawn: {
        // A pawn already on its last rank (set-up text may put one there)
        // has no square ahead of it.
        if (squareBit[square] & G::lastRank)
            return;
        const int single = square + G::forward;
        if (!(squareBit[single] & offLine) || (squareBit[single] & G::lastRank))
            return;
        out.add(base | Move(single) << 6);
        const int twice = single + G::forward;
        if ((squareBit[twice] & offLine & G::doublePushRank))
            out.add(base | Move(twice) << 6);
        return;
    }
    case Knight:
        addFromOrigin<true>(pos, base, knightAttacks[square] & offLine, out);
        return;
    case Bishop:
        addFromOrigin<true>(pos, base, bishopAttacks(square, pos.occupied) & offLine, out);
        return;
    case Rook:
        addFromOrigin<true>(pos, base, rookAttacks(square, pos.occupied) & offLine, out);
        return;
    case Queen:
        addFromOrigin<true>(pos, base, queenAttacks(square, pos.occupied) & offLine, out);
        return;
    default:
        addFromOrigin<true>(pos, base, kingAttacks[square] & offLine, out);
        return;
    }
}

template <int Us, int Type>
inline void addDirectChecks(const Position& pos, Bitboard checkSquares, Bitboard excluded,
                            MoveSink& out) {
    Bitboard origins = pos.pieces[Us][Type] & ~excluded;
    while (origins) {
        const int from = popLowest(origins);
        addFromOrigin<true>(pos, Move(from) | Move(Type) << 12,
                            pieceAttacks<Type>(from, pos.occupied) & checkSquares, out);
    }
}

template <int Us>
inline void addQuietChecks(const Position& pos, MoveSink& out) {
    using namespace AttackTables;
    using G = PawnGeometry<Us>;
    const int king = pos.kingSquare[Us ^ 1];
    const Bitboard* own = pos.pieces[Us];
    const Bitboard empty = ~pos.occupied;

    // A line piece whose only blocker toward the king is one of ours.
    Bitboard discoverers = 0;
    Bitboard sliders = ((fileMask[fileOf(king)] | rankMask[rankOf(king)]) & (own[Rook] | own[Queen])) |
                       ((diagonalA1H8[king] | diagonalH1A8[king]) & (own[Bishop] | own[Queen]));
    while (sliders) {
        const int slider = popLowest(sliders);
        const Bitboard line = between[king][slider];
        const Bitboard blockers = line & pos.occupied;
        if (!blockers || (blockers & (blockers - 1)) || !(blockers & pos.byColor[Us]))
            continue;
        addDiscoveries<Us>(pos, lowestBit(blockers), ~(line | pos.occupied), out);
        discoverers |= blockers;
    }

    // Pieces that land on a square from which they attack the king; a
    // discoverer's moves were all listed above.
    addDirectChecks<Us, Knight>(pos, knightAttacks[king] & empty, discoverers, out);
    addDirectChecks<Us, Bishop>(pos, bishopAttacks(king, pos.occupied) & empty, discoverers, out);
    addDirectChecks<Us, Rook>(pos, rookAttacks(king, pos.occupied) & empty, discoverers, out);
    addDirectChecks<Us, Queen>(pos, queenAttacks(king, pos.occupied) & empty, discoverers, out);

    // Pawn pushes onto a square attacking the king. A discovering push never
    // lands there, and those squares are never on the last rank.
    const Bitboard pawnChecks = pawnAttacks[Us ^ 1][king] & empty;
    addPawnSet<true>(pos, advance<Us>(own[Pawn], 8) & pawnChecks, G::forward, out);
    addPawnSet<true>(pos,
                     advance<Us>(own[Pawn], 16) & pawnChecks & G::doublePushRank &
                         ~advance<Us>(pos.occupied, 8),
                     2 * G::forward, out);
}

}  // namespace
}  // namespace movegen

int Position::generateQuietChecks(ScoredMove* list) const {
    MoveSink out(list);
    if (sideToMove == White)
        movegen::addQuietChecks<White>(*this, out);
    else
        movegen::addQuietChecks<Black>(*this, out);
    return out.count();
}
