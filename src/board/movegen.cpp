// Captures, quiet moves, the full pseudo-legal list and the legal filter.
// The generation order is part of the engine's behaviour (move ordering ties
// and divide output depend on it), so every group below runs in a fixed order
// and walks its sets from the lowest square up.

#include <algorithm>

#include "board/movegen_attacks.h"
#include "board/movegen_common.h"

namespace movegen {
namespace {

// Castling is generated as the king taking its own rook, which serves
// standard chess and Chess960 alike. The king may not stand on, pass or land
// on an attacked square; the rook's path need only be empty.
template <int Us>
inline void addCastling(const Position& pos, MoveSink& out) {
    constexpr int shortRight = Us == White ? WhiteShort : BlackShort;
    constexpr int longRight = Us == White ? WhiteLong : BlackLong;
    constexpr int shortTarget = Us == White ? G1 : G8;
    constexpr int longTarget = Us == White ? C1 : C8;
    if (!(pos.castlingRights & (shortRight | longRight)))
        return;
    const int king = pos.kingStart[Us];
    auto pathSafe = [&](int target) {
        for (int s = std::min(king, target), last = std::max(king, target); s <= last; ++s)
            if (squareAttackedBy(pos, s, Us ^ 1))
                return false;
        return true;
    };
    if ((pos.castlingRights & shortRight) && !(pos.castleEmptyMask[ShortWing][Us] & pos.occupied) &&
        pathSafe(shortTarget))
        out.add(CastlingFlag | Move(King) << 12 | Move(pos.rookStart[ShortWing][Us]) << 6 | Move(king));
    if ((pos.castlingRights & longRight) && !(pos.castleEmptyMask[LongWing][Us] & pos.occupied) &&
        pathSafe(longTarget))
        out.add(CastlingFlag | Move(King) << 12 | Move(pos.rookStart[LongWing][Us]) << 6 | Move(king));
}

template <int Us>
inline void addQuiets(const Position& pos, MoveSink& out) {
    using G = PawnGeometry<Us>;
    const Bitboard empty = ~pos.occupied;
    const Bitboard pawns = pos.pieces[Us][Pawn];
    addCastling<Us>(pos, out);
    addMinorAndMajorMoves<Us, true>(pos, empty, out);
    addFromOrigin<true>(pos, Move(pos.kingSquare[Us]) | Move(King) << 12,
                        AttackTables::kingAttacks[pos.kingSquare[Us]] & empty, out);
    // Pushes onto the last rank are promotions and belong to the captures.
    addPawnSet<true>(pos, advance<Us>(pawns, 8) & empty & innerRanks, G::forward, out);
    addPawnSet<true>(pos, advance<Us>(pawns, 16) & empty & ~advance<Us>(pos.occupied, 8) & G::doublePushRank,
               2 * G::forward, out);
}

}  // namespace
}  // namespace movegen

int Position::generateCapturesWhite(ScoredMove* list) const {
    MoveSink out(list);
    movegen::addCaptures<White, true>(*this, out);
    return out.count();
}

int Position::generateCapturesBlack(ScoredMove* list) const {
    MoveSink out(list);
    movegen::addCaptures<Black, true>(*this, out);
    return out.count();
}

int Position::generateQuietsWhite(ScoredMove* list) const {
    MoveSink out(list);
    movegen::addQuiets<White>(*this, out);
    return out.count();
}

int Position::generateQuietsBlack(ScoredMove* list) const {
    MoveSink out(list);
    movegen::addQuiets<Black>(*this, out);
    return out.count();
}

int Position::generateQsearchCaptures(ScoredMove* list) const {
    MoveSink out(list);
    if (sideToMove == White)
        movegen::addCaptures<White, false>(*this, out);
    else
        movegen::addCaptures<Black, false>(*this, out);
    return out.count();
}

int Position::generateMoves(ScoredMove* list, bool inCheck) const {
    if (inCheck)
        return generateEvasions(list);
    MoveSink out(list);
    if (sideToMove == White) {
        movegen::addCaptures<White, true>(*this, out);
        movegen::addQuiets<White>(*this, out);
    } else {
        movegen::addCaptures<Black, true>(*this, out);
        movegen::addQuiets<Black>(*this, out);
    }
    return out.count();
}

int Position::generateLegalMoves(ScoredMove* list, bool inCheck) {
    ScoredMove candidates[MaxMoves];
    const int count = generateMoves(candidates, inCheck);
    const int mover = sideToMove;
    MoveSink out(list);
    for (int i = 0; i < count; ++i) {
        const Move move = candidates[i].move;
        UndoRecord undo;
        makeMove(move, undo);
        const bool legal = !kingAttacked(*this, mover);
        unmakeMove(move, undo);
        if (legal)
            out.add(move);
    }
    return out.count();
}
