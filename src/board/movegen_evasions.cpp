// Answers to a check. Against a single checker: king moves to safe squares,
// then captures of the checker and interpositions; against two, king moves
// only. Only the king moves are tested for safety here.

#include "board/movegen_common.h"

namespace movegen {
namespace {

// The king's flight squares are tested with the king lifted from the board,
// so a square behind the king on a checking slider's line counts as attacked.
template <int Us>
inline void addSafeKingMoves(const Position& pos, MoveSink& out) {
    using namespace AttackTables;
    const int king = pos.kingSquare[Us];
    const Bitboard* their = pos.pieces[Us ^ 1];
    const Bitboard withoutKing = pos.occupied & ~squareBit[king];
    const Bitboard diagonal = their[Bishop] | their[Queen];
    const Bitboard line = their[Rook] | their[Queen];
    Bitboard flights = kingAttacks[king] & ~pos.byColor[Us];
    while (flights) {
        const int to = popLowest(flights);
        if ((pawnAttacks[Us][to] & their[Pawn]) || (knightAttacks[to] & their[Knight]) ||
            (kingAttacks[to] & their[King]) || (bishopAttacks(to, withoutKing) & diagonal) ||
            (rookAttacks(to, withoutKing) & line))
            continue;
        out.add(Move(king) | Move(to) << 6 | Move(King) << 12 | Move(pos.board[to]) << 15);
    }
}

template <int Us, bool Underpromotions>
inline void addEvasions(const Position& pos, MoveSink& out) {
    using namespace AttackTables;
    using G = PawnGeometry<Us>;
    const int king = pos.kingSquare[Us];
    const Bitboard* their = pos.pieces[Us ^ 1];
    const Bitboard checkers = (rookAttacks(king, pos.occupied) & (their[Rook] | their[Queen])) |
                              (knightAttacks[king] & their[Knight]) |
                              (pawnAttacks[Us][king] & their[Pawn]) |
                              (bishopAttacks(king, pos.occupied) & (their[Bishop] | their[Queen]));
    addSafeKingMoves<Us>(pos, out);
    if (!checkers || (checkers & (checkers - 1)))
        return;  // double check (or none): only the king can move

    const Bitboard blocks = between[king][lowestBit(checkers)];
    const Bitboard pawns = pos.pieces[Us][Pawn];
    addMinorAndMajorMoves<Us>(pos, (checkers | blocks) & ~pos.byColor[Us], out);

    const Bitboard left = advance<Us>(pawns, 7) & checkers & G::leftMask;
    const Bitboard right = advance<Us>(pawns, 9) & checkers & G::rightMask;
    addPawnSet(pos, left & innerRanks, G::captureLeft, out);
    addPawnSet(pos, right & innerRanks, G::captureRight, out);
    addEnPassant<Us>(pos, checkers, blocks, out);
    addPromotionSet<Underpromotions>(pos, left & G::lastRank, G::captureLeft, out);
    addPromotionSet<Underpromotions>(pos, right & G::lastRank, G::captureRight, out);

    const Bitboard pushes = advance<Us>(pawns, 8) & blocks & ~pos.occupied;
    addPawnSet<true>(pos, pushes & innerRanks, G::forward, out);
    addPawnSet<true>(pos,
                     advance<Us>(pawns, 16) & blocks & G::doublePushRank & ~pos.occupied &
                         ~advance<Us>(pos.occupied, 8),
                     2 * G::forward, out);
    addPromotionSet<Underpromotions>(pos, pushes & G::lastRank, G::forward, out);
}

}  // namespace
}  // namespace movegen

int Position::generateEvasions(ScoredMove* list) const {
    MoveSink out(list);
    if (sideToMove == White)
        movegen::addEvasions<White, true>(*this, out);
    else
        movegen::addEvasions<Black, true>(*this, out);
    return out.count();
}

int Position::generateQsearchEvasions(ScoredMove* list) const {
    MoveSink out(list);
    if (sideToMove == White)
        movegen::addEvasions<White, false>(*this, out);
    else
        movegen::addEvasions<Black, false>(*this, out);
    return out.count();
}
